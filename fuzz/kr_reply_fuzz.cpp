// System R reply decoding fed arbitrary bytes: the status of a reply (GetLKResult) and the
// reading of replies of a known length, whose data may hold the "#" CR that ends a reply
// (KRProtocol::ReceiveReply), and the data a read hands out (Poll).
//
// Input layout: byte 0 the expected data length (0..255), byte 1 picks the path (bit 0:
// ReceiveReply until nothing is left, else one read and one poll step; bits 1..7 the
// start address of that read), then frames as the link hands them over: a length byte and
// that many bytes each (a frame of length 0 is skipped: the link never hands one out).
//
// Checked: GetLKResult keeps its contract; ReceiveReply loses, duplicates and reorders
// nothing (every frame comes back, in order, either alone or joined to the reply before
// it by "#" CR); a poll step hands out only bytes of the reply it received.

#include "families/kr/KRProtocol.h"
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

// The system R entry with the frames of the input as its device: the link's direct route
// hands them out one by one; telegrams go nowhere.
class FrameSource : public fuzz::FrameSource {
public:
    FrameSource() : fuzz::FrameSource(QStringLiteral("frmSystemKR")) {}
    QByteArray SetLKString(const QByteArray& c, const QByteArray& s) override { return KRProtocol::SetLKString(c, s); }
    int16_t GetLKResult(QByteArray& r, int16_t n, const QVariant& o) override { return KRProtocol::GetLKResult(r, n, o); }
};

void checkResult(const QByteArray& raw)
{
    for (int16_t length : {int16_t(-3), int16_t(0), static_cast<int16_t>(raw.size())}) {
        QByteArray reply = raw;
        const int16_t n = KRProtocol::GetLKResult(reply, length);
        if (length <= 0) {
            if (n != length || reply != raw)
                fail("a length without data is passed on");
            continue;
        }
        const bool digit = !raw.isEmpty() && raw.at(0) >= '0' && raw.at(0) <= '9';
        if (!digit || raw.at(0) == '0') {
            if (n != length - 1 || reply != raw.mid(1))
                fail("a good reply loses exactly its status");
        } else if (n != -(raw.at(0) - '0') || reply != raw) {
            fail("a status is its negative digit, the reply untouched");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::SourceLink<FrameSource> link({2});
    if (size < 2)
        return 0;
    const int expected = data[0];
    const bool replies = (data[1] & 1) != 0;
    const int address = data[1] >> 1;
    const QList<QByteArray> frames = fuzz::SplitFrames(data, size, 2);
    for (const QByteArray& f : frames)
        checkResult(f);

    link.source.load(frames);
    KRProtocol kr(link.ctx);
    kr.Init();
    if (replies) {
        // A frame that is one blank stands for an empty piece: it may come back empty.
        bool blank = false;
        for (const QByteArray& f : frames)
            blank = blank || f == " ";
        QByteArray got, sent;
        QByteArray reply;
        int rounds = 0;
        while (kr.ReceiveReply(reply, expected, QVariant()) > 0) {
            if (++rounds > frames.size())
                fail("more replies than frames");
            got += reply + "#\r";
        }
        for (const QByteArray& f : frames)
            sent += f + "#\r";
        if (!blank && got != sent)
            fail("frames lost, duplicated or reordered");
        if (blank && got.size() > sent.size())
            fail("bytes made up");
    } else {
        kr.PutData(101, address);
        kr.PutData(102, expected);
        kr.Tagcode = 0;
        kr.ReadDataExt(true, 0, 0, kr.StartWord, kr.WordCount, false, QByteArray());
        kr.AutoRead = false;
        const QByteArray shown = kr.Poll(false, true);
        const QByteArray last = kr.LastReply();
        if (!shown.isEmpty() && !last.mid(1).contains(shown))
            fail("a read hands out bytes it did not receive");
        if (kr.DataLength > 0 && shown.size() > kr.DataLength)
            fail("a read hands out more than asked for");
    }
    link.source.clear();
    return 0;
}
