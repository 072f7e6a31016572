// Inductive system D reply decoding fed arbitrary bytes: the poll steps of the fixcode
// and the read/write telegram layers (status lines, data lines, the reply count), the
// joining of the fixcode unit's two version lines, and the status texts.
//
// Input layout: byte 0 picks the case (bits 0..2: head, taken modulo 5; bit 3: a write is
// pending; bit 4: the window's mode is Auto; bit 5: the fixcode unit, else read/write),
// then frames as the link hands them over: a length byte and that many bytes each (a
// frame of length 0 is skipped: the link never hands one out).
//
// Checked: a data line shows the head label and only bytes of the reply it came from (the
// read/write unit's from character 4 on, or 5 for all heads); a status line is shown only
// for a reply GetError names; the expected-reply count stays within -1..4; the version is
// the first line, CR LF and the second.

#include "families/common/FamilyProtocol.h"
#include "families/kd/KDFixcodeProtocol.h"
#include "families/kd/KDReadWriteProtocol.h"
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

// The system entry with the input's frames as its device, handed out one by one.
class FrameSource : public fuzz::FrameSource {
public:
    FrameSource() : fuzz::FrameSource(QStringLiteral("frmSystemKD")) {}
};

class View : public IFamilyView {
public:
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override
    {
        shown.append({kind, caption, data});
    }
    bool Loaded() const override { return true; }
    void SetBusy(bool) override {}
    struct Line {
        int kind;
        QByteArray caption, data;
    };
    QList<Line> shown;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::SourceLink<FrameSource> link({5, 4}, true);
    if (size < 1)
        return 0;
    const int head = (data[0] & 7) % 5;
    const bool pending = (data[0] & 8) != 0;
    const bool autoMode = (data[0] & 16) != 0;
    const bool fixcode = (data[0] & 32) != 0;
    const QList<QByteArray> frames = fuzz::SplitFrames(data, size, 1);
    View view;
    if (fixcode) {
        KDFixcodeProtocol p(link.ctx, &view);
        p.LastHead = static_cast<int16_t>(head);
        if (!frames.isEmpty()) {
            // The version's second line.
            link.source.load(frames.mid(1, 1));
            QByteArray reply = frames.first();
            p.BuildTelegram("ver", QByteArray());
            const int16_t n = p.ReplyResult(reply, static_cast<int16_t>(frames.first().size()), QVariant());
            if (!reply.startsWith(frames.first() + "\r\n") || n != qMin<qsizetype>(reply.size(), 32767))
                fail("the version is both lines joined");
        }
        link.source.load(frames);
        for (const QByteArray& f : frames) {
            view.shown.clear();
            p.Poll(true, false);
            const QString status = p.GetError(f);
            if (view.shown.size() != 1 || (view.shown[0].kind == 1) != !status.isEmpty())
                fail("each line is listed once, as data or as its status");
            if (view.shown[0].kind == 2 && (view.shown[0].data != f || !view.shown[0].caption.startsWith("KOPF ")))
                fail("a data line is the head label and the line");
        }
    } else {
        KDReadWriteProtocol p(link.ctx, &view);
        p.LastHead = static_cast<int16_t>(head);
        p.ExpectedReplies = head == 4 ? 4 : 1;
        p.WritePending = pending;
        p.OperationMode = autoMode ? 1 : 0;
        for (const QByteArray& f : frames) {
            link.source.load({f});
            view.shown.clear();
            p.WritePending = pending;
            const bool all = p.LastHead == 4;
            const QString status = p.GetError(f);
            p.Poll(true, false);
            if (p.ExpectedReplies < -1 || p.ExpectedReplies > 4)
                fail("the reply count leaves its range");
            if (status.isEmpty()) {
                if (view.shown.size() != 1 || view.shown[0].kind != 2 || !view.shown[0].caption.startsWith("KOPF "))
                    fail("a reply without status is a data line");
                if (view.shown[0].data != f.mid(all ? 4 : 3))
                    fail("a data line holds the reply's data");
            } else if (view.shown.size() != 1 || view.shown[0].kind != 1) {
                fail("a status is one line");
            }
        }
    }
    link.source.clear();
    return 0;
}
