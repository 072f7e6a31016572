// Microwave system D reply decoding fed arbitrary bytes: unwrapping (GetLKResultExt), the
// ID code's wire form, error lines, the tag's state block, and the replies of a data read,
// an ID-code read, a write, a scan step, the tag state and the unit state as the telegram
// layer receives them through the link.
//
// Input layout: byte 0 picks the exchange (0 data read, 1 ID-code read, 2 data write,
// 3 scan step, 4 tag state, 5 unit state and outputs), byte 1 the data length of a read;
// then frames as the link hands them over: a length byte and that many bytes each (a frame
// of length 0 is skipped: the link never hands one out). Every frame is also decoded on
// its own.
//
// Checked: unwrapping keeps its contract; the wire form turned twice gives the code back;
// an error line names the error's code; a decoded state block gives a battery share within
// 0..100 and a bar within its box; a read hands out only hex digits the unit sent, whole
// bytes; a write counts as done only when the unit confirmed it; scan slots
// hold nothing but eight hex digits; lamps light only for a state digit.

#include "families/common/TagStateBlock.h"
#include "families/wd/WDProtocol.h"
#include "foundations/AppContext.h"
#include "foundations/Options.h"
#include "link/LK.h"
#include "FrameSource.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <array>
#include <cstdint>
#include <memory>

using namespace orvid;

namespace {

[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

bool isHex(const QByteArray& text)
{
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// The system D entry with the frames of the input as its device: the link's direct route
// hands them out one by one, as received frames, and as replies to commands unwrapped the
// way the link unwraps them (the window's GetLKResult).
class FrameSource : public fuzz::FrameSource,
                    public IWDStateView,
                    public IWDOutputsView,
                    public ITagStateView {
public:
    FrameSource() : fuzz::FrameSource(QStringLiteral("frmSystemWD")) { keepReceived = true; }
    bool Loaded() const override { return true; }
    QByteArray SetLKString(const QByteArray& c, const QByteArray& s) override { return WDProtocol::Wrap(c, 0, 0, s); }
    int16_t GetLKResult(QByteArray& r, int16_t n, const QVariant&) override { return WDProtocol::GetLKResultExt(r, n); }
    int16_t ReadData(const QByteArray&, QByteArray& reply, bool, bool& ok) override
    {
        const int16_t n = GetLKResult(reply, next(reply), QVariant());
        ok = n > 0;
        return n;
    }
    int16_t WriteData(const QByteArray&, const QByteArray&, bool) override { return 0; }

    // IWDStateView, IWDOutputsView, ITagStateView
    bool AutoMode() const override { return false; }
    void SetStateLamp(int index, bool lit) override
    {
        if (index < 0 || index > 6)
            fail("state lamp out of range");
        lamps[index] = lit;
    }
    int OutputCount() const override { return 4; }
    bool OutputChecked(int index) const override { return index % 2 == 0; }
    void SetOutputLamp(int index, bool) override
    {
        if (index < 0 || index >= 4)
            fail("output lamp out of range");
    }
    void ShowTagState(const TagStateDisplay& d) override { display = d; }

    std::array<bool, 7> lamps{};
    TagStateDisplay display;
};

void checkFrame(const QByteArray& raw)
{
    for (int16_t length : {int16_t(-2), int16_t(6), static_cast<int16_t>(qMin<qsizetype>(raw.size(), 32767))}) {
        QByteArray reply = raw;
        const int16_t n = WDProtocol::GetLKResultExt(reply, length);
        if (length >= 7 && raw.startsWith("::")) {
            if (n != length - 6 || reply != raw.mid(4, length - 6))
                fail("unwrapping drops more or less than station, head and trailer");
        } else if (n != 0 || reply != raw) {
            fail("a reply that is not wrapped is passed on untouched");
        }
    }
    QByteArray padded = raw.right(8);
    padded = QByteArray(8 - padded.size(), '0') + padded;
    if (WDProtocol::IDWireForm(WDProtocol::IDWireForm(raw)) != padded)
        fail("the wire form turned twice is not the code");

    TagStateBlock block;
    if (TagStateBlock::Decode(raw, block)) {
        for (const QDate& today : {QDate(1990, 1, 1), QDate(2026, 12, 7), QDate(2100, 6, 30)}) {
            const double left = block.BatteryRemaining(today);
            if (!(left >= 0.0 && left <= 100.0))
                fail("battery share outside 0..100");
            const TagStateDisplay d = block.Display(QStringLiteral("12345678"), today);
            if (d.barWidth(160) < 0 || d.barWidth(160) > 160)
                fail("battery bar outside its box");
        }
        if (!block.TimeText(block.ledOnMs).endsWith(QLatin1String("ms ")))
            fail("time text");
    }
}

bool receivedHolds(const QList<QByteArray>& received, const QByteArray& part)
{
    for (const QByteArray& r : received) {
        if (r.contains(part))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::SourceLink<FrameSource> link({WDProtocol::kSystemEntry});
    if (size < 2)
        return 0;
    const int path = data[0] % 6;
    const int length = data[1];
    const QList<QByteArray> frames = fuzz::SplitFrames(data, size, 2);
    for (const QByteArray& f : frames)
        checkFrame(f);

    FrameSource& source = link.source;
    source.load(frames);
    source.lamps.fill(false);
    source.display = TagStateDisplay();
    WDProtocol wd(link.ctx);
    wd.clock = [] { return QDate(2026, 12, 7); };
    wd.setStateView(&source);
    wd.setOutputsView(&source);
    const QString id = QStringLiteral("12345678");

    for (const QByteArray& f : frames) {
        QByteArray payload = f;
        WDProtocol::GetLKResultExt(payload, static_cast<int16_t>(qMin<qsizetype>(f.size(), 32767)));
        const QString line = wd.ErrorLine(payload);
        if (payload.startsWith('%') != !line.isEmpty() || (!line.isEmpty() && !line.contains(QLatin1String(" - "))))
            fail("an error line for anything but an error reply, or without its code");
    }

    switch (path) {
    case 0: {
        const QByteArray hex = wd.ReadDataExt(true, 0, 0x10, length, 1, id, false, false);
        // The count is the reply's own (it echoes the range it read).
        if (!hex.isEmpty() && (hex.size() % 2 != 0 || !isHex(hex) || !receivedHolds(source.received, hex)))
            fail("a read hands out data the unit did not send");
        break;
    }
    case 1: {
        const QByteArray code = wd.ReadDataExt(false, 1, 0, 0, 2, id, false, false);
        if (!code.isEmpty() && code.size() != 8)
            fail("an ID code that is not eight characters");
        break;
    }
    case 2: {
        const bool ok = wd.WriteTag(true, 0, 0, QString(), 0x20, 3, QByteArray("abc"));
        if (ok && !receivedHolds(source.received, "#20**"))
            fail("a write counted as done without the unit's confirmation");
        break;
    }
    case 3: {
        wd.ScanStart({QStringLiteral("12345678"), QString(), QStringLiteral("0A0B0C0D")});
        wd.Poll(true, true, true);
        wd.Poll(true, true, true);
        for (const QByteArray& code : wd.ScanCodes) {
            if (!code.isEmpty() && (code.size() != 8 || !isHex(code)))
                fail("a scan slot that is not an ID code");
        }
        break;
    }
    case 4:
        wd.GetTagState(source);
        if (source.display.valid && (source.display.remaining < 0 || source.display.remaining > 100))
            fail("tag state battery outside 0..100");
        break;
    default: {
        wd.GetState();
        int lit = 0;
        for (bool on : source.lamps)
            lit += on ? 1 : 0;
        if (lit > 1)
            fail("more than one unit state at once");
        wd.OutputSet();
        break;
    }
    }
    source.clear();
    return 0;
}
