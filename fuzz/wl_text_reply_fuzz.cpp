// System L text-protocol reply decoding fed arbitrary bytes: the status of a reply
// (GetLKResult), the display of a data or fixcode reply (FormatData), a poll step on a
// read whose reply may have been cut at "#" CR, and the reading of a "GI" reply.
//
// Input layout: byte 0 the data length asked for (0..255), byte 1 the path and view
// (bits 0..1 the view 0..2, bit 2 a fixcode read, bits 3..7 the start address), byte 2
// the line width, then frames as the link hands them over: a length byte and that many
// bytes each (a frame of length 0 is skipped: the link never hands one out).
//
// Checked: GetLKResult keeps its contract; the display never shows more characters than
// the bytes it was given allow, in lines no wider than the width (a line always holds
// at least one cell); a "GI" decoding never reads past its reply; a poll step and the
// listing end with the frames (the listing may stop at its longest).

#include "families/wl/WLProtocol.h"
#include "foundations/AppContext.h"
#include "foundations/Options.h"
#include "link/LK.h"
#include "FrameSource.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <memory>

using namespace orvid;

namespace {

[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

// Entry 7 with the frames of the input as its device: the link's direct route hands them
// out one by one; telegrams go nowhere, a command's reply is the next frame.
class FrameSource : public fuzz::FrameSource {
public:
    FrameSource() : fuzz::FrameSource(QStringLiteral("frmSystemL")) {}
    QByteArray SetLKString(const QByteArray& c, const QByteArray& s) override { return WLProtocol::SetLKString(c, s); }
    int16_t GetLKResult(QByteArray& r, int16_t n, const QVariant&) override { return WLProtocol::GetLKResult(r, n); }
    // A command's reply is the next frame, unwrapped as the link would.
    int16_t ReadData(const QByteArray&, QByteArray& reply, bool, bool& ok) override
    {
        next(reply);
        ok = !reply.isEmpty();
        const auto n = static_cast<int16_t>(reply.size());
        return ok ? WLProtocol::GetLKResult(reply, n) : 0;
    }
    int16_t WriteData(const QByteArray&, const QByteArray&, bool) override { return 0; }
};

class NullView : public IWLView {
public:
    void ShowData(int, const QByteArray&, const QByteArray& data) override { shown.append(data); }
    bool Loaded() const override { return false; }
    void SetBusy(bool) override {}
    void AppendToLastLine(const QByteArray&) override {}
    void SetWriteRunning(bool) override {}
    bool IOAutoRefresh() const override { return false; }
    void RefreshInputs() override {}
    int LineWidth() const override { return width; }
    QList<QByteArray> shown;
    int width = 80;
};

void checkResult(const QByteArray& raw)
{
    QByteArray reply = raw;
    const auto length = static_cast<int16_t>(raw.size());
    const int16_t n = WLProtocol::GetLKResult(reply, length);
    const bool digit = !raw.isEmpty() && raw.at(0) >= '0' && raw.at(0) <= '9';
    if (!digit || raw.at(0) == '0') {
        if (n != length - 1 || reply != raw.mid(1))
            fail("a good reply loses exactly its status");
    } else if (n != -(raw.at(0) - '0') || reply != raw) {
        fail("a status is its negative digit, the reply untouched");
    }
}

void checkFormat(const QByteArray& data, int skip, int length, bool fixcode, int rep, int width)
{
    const int step = rep == 1 ? 3 : rep == 2 ? 4 : 1;
    const QList<QByteArray> lines = WLProtocol::FormatData(data, skip, length, fixcode, rep, width);
    qsizetype cells = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || line.size() % step != 0)
            fail("a line holds whole cells, at least one");
        if (line.size() > std::max(step, width))
            fail("a line wider than the list");
        cells += line.size() / step;
    }
    const qsizetype available = fixcode ? data.size() : std::max<qsizetype>(0, std::min<qsizetype>(data.size() - skip, length));
    if (cells != available)
        fail("the display shows exactly the bytes asked for");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::SourceLink<FrameSource> link({7});
    if (size < 3)
        return 0;
    const int expected = data[0];
    const int rep = (data[1] & 3) % 3;
    const bool fixcode = (data[1] & 4) != 0;
    const int address = data[1] >> 3;
    const int width = data[2];
    const QList<QByteArray> frames = fuzz::SplitFrames(data, size, 3);
    for (const QByteArray& f : frames) {
        checkResult(f);
        checkFormat(f, address & 3, expected, fixcode, rep, width);
    }

    NullView view;
    view.width = width;
    WLProtocol wl(link.ctx, &view);
    wl.MaxRetries = 1;
    wl.PutData(WLItem::StartAddress, address);
    wl.PutData(WLItem::DataLength, expected);
    wl.DataRepresentation = static_cast<int16_t>(rep);

    // A read: its four configuration replies, then the data reply and what follows.
    link.source.load(frames);
    wl.ReadDataExt(!fixcode, 0, wl.StartWord, wl.WordCount);
    const QByteArray last = wl.Poll(true, true);
    for (const QByteArray& line : view.shown) {
        if (line.size() > std::max(4, width) && line.size() > 4)
            fail("a shown line wider than the list");
    }
    (void)last;

    // "GI" on what is left, and the listing on the rest.
    const std::optional<WLIOState> io = wl.InputSet();
    (void)io;
    const qsizetype shownBefore = view.shown.size();
    wl.ListConfiguration();
    // A unit that keeps talking is cut off after the longest listing.
    if (!link.source.frames.isEmpty() && view.shown.size() - shownBefore < WLProtocol::kMaxListingLines)
        fail("the listing ends only with the frames or at its longest");
    link.source.clear();
    return 0;
}
