// The interface units' telegram layer fed arbitrary replies through the link, as the unit
// would send them: the poll step (data records, multi-tag records and their "Tags found"
// count, diagnosis and status replies, on either transport, Ethernet frames with status-255
// further frames), a read waited for, a write's read-back, the WTX60 tag state, the
// configuration words and the VNB head parameters with the parameter dialog's form; and
// the head-type file on arbitrary file contents.
//
// Input layout: byte 0 picks the case (bit 0: Ethernet frames, else serial replies; bit 1:
// the diagnose header; bits 2..3: channel 1, 2, 3 or "x"; bit 4: the heads work in
// multi-tag mode; bits 5..7: the operation, see below), byte 1 the data length a read
// expects; then replies as the link hands them over: a length byte and that many bytes
// each (length 0 skipped). For the head-type file the bytes after byte 1 are the file.
//
// Checked: every poll-timer line comes from one reply (no reply is joined to another, the
// timer knowing no read's length here) and is labelled with a head; a count of tags found
// only from a multi-tag head; a read-back lists nothing; a tag state is decoded only with
// a battery share within 0..100; a configuration word is four bytes or none; a parameter
// read holds a reply's bytes; the head-type file gives channel counts of 1..4 for models
// only, profiles with distinct IDs, channel values above 0 and power limits within the
// profile's.

#include "families/common/DataItems.h"
#include "families/common/TagStateView.h"
#include "families/hx/HXProtocol.h"
#include "foundations/AppContext.h"
#include "foundations/Options.h"
#include "link/LK.h"
#include "FrameSource.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QTemporaryDir>
#include <QFile>
#include <cstdint>
#include <memory>

using namespace orvid;

namespace {

[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

// The unit: serial replies as the port hands them over (terminator gone), or Ethernet
// frames brought into the same text form as the window's own route does it.
class Unit : public fuzz::FrameSource {
public:
    Unit() : fuzz::FrameSource(QStringLiteral("frmSystemHX")) { keepReceived = true; }
    int16_t DirectRead(QByteArray& reply, int16_t&, const QVariant&, bool, bool) override
    {
        if (!ethernet)
            return next(reply);
        QByteArray frame, further;
        next(frame);
        if (hx::AnnouncesFurtherFrame(frame))
            next(further);
        hx::HXReply r;
        if (!hx::DecodeEthernetReply(frame, further, r))
            return 0;
        reply = r.text;
        return static_cast<int16_t>(qMin<qsizetype>(reply.size(), 32767));
    }
    // A command's reply: the next one, its header taken off as the link does.
    int16_t ReadData(const QByteArray&, QByteArray& reply, bool, bool& ok) override
    {
        const int16_t n = next(reply);
        if (n <= 0)
            return 0;
        ok = true;
        return hx::GetLKResult(reply, n, protocolType);
    }
    bool ethernet = false;
    int protocolType = 0;
};

class View : public IHXView {
public:
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override
    {
        shown.append({kind, caption, data});
    }
    bool Loaded() const override { return true; }
    void SetBusy(bool) override {}
    bool PasswordChecked() const override { return false; }
    QString PasswordText() const override { return QString(); }
    int TriggerSource(int) const override { return 0; }
    int TriggerMode(int) const override { return 0; }
    void UnitRecognised() override {}
    struct Line {
        int kind;
        QByteArray caption, data;
    };
    QList<Line> shown;
};

class StateView : public ITagStateView {
public:
    void ShowTagState(const TagStateDisplay& d) override { last = d; }
    TagStateDisplay last;
};

// The replies of one poll-timer step: every line from one reply, labelled with a head.
void checkTimerPoll(HXProtocol& p, View& view, Unit& unit, int header, bool multi)
{
    for (int step = 0; step < 64 && unit.DataAvailable(); ++step) {
        view.shown.clear();
        const qsizetype before = unit.received.size();
        p.Poll(true, false);
        if (unit.received.size() == before)
            fail("a step with replies waiting took none");
        QList<QByteArray> data;
        for (const QByteArray& r : unit.received.mid(before))
            data.append(r.mid(header));
        for (const View::Line& line : view.shown) {
            if (line.kind == 1) {
                if (line.data.contains("Tags found") && !multi)
                    fail("a count of tags from a head not in multi-tag mode");
                continue;
            }
            if (!line.caption.startsWith("Kopf ") || line.caption.size() < 8 || line.caption.at(6) != ':')
                fail("a data line without its head");
            bool fromOne = false;
            for (const QByteArray& d : data)
                fromOne = fromOne || d.contains(line.data);
            if (!fromOne)
                fail("a line joined from two replies");
        }
    }
}

void checkHeadFile(const QByteArray& contents)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ORVIDHX.INI"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    f.write(contents);
    f.close();
    const hx::HXHeadFile file(path);
    for (const hx::HXHeadType& head : file.HeadTypes()) {
        if (head.typ == QLatin1String("HEAD") || head.headCount != 0)
            fail("a unit model among the head types");
        if (head.profiles) {
            QSet<qint32> ids;
            for (const hx::HXProfile& profile : *head.profiles) {
                if (ids.contains(profile.id))
                    fail("two profiles with one ID");
                ids.insert(profile.id);
                for (qint32 cd : profile.cdValues)
                    if (cd <= 0)
                        fail("a channel value of 0 or below");
                if (head.PTMin(&profile) < profile.ptMin || head.PTMax(&profile) > profile.ptMax)
                    fail("a power limit wider than the profile allows");
            }
        }
    }
    for (const QString& section : file.Sections()) {
        const auto model = file.UnitModel(section);
        if (model && model->typ == QLatin1String("HEAD") && (model->headCount < 1 || model->headCount > 4))
            fail("a unit model with a channel count outside 1..4");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::SourceLink<Unit> link({1, 10}, true);
    if (size < 2)
        return 0;
    const int op = data[0] >> 5;
    if (op == 6) {
        checkHeadFile(QByteArray(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2)));
        return 0;
    }
    const bool ethernet = (data[0] & 1) != 0 && (op <= 2 || op == 7);
    const int protocolType = (data[0] >> 1) & 1;
    static const char* const channels[] = {"1", "2", "3", "x"};
    const QString channel = QString::fromLatin1(channels[(data[0] >> 2) & 3]);
    const bool multi = (data[0] & 16) != 0;
    const int expected = data[1];
    const QList<QByteArray> frames = fuzz::SplitFrames(data, size, 2);

    link.state.CurrentSystem = ethernet ? 10 : 1;
    link.source.ethernet = ethernet;
    link.source.protocolType = protocolType;
    link.source.load(frames);
    View view;
    HXProtocol p(link.ctx, &view);
    p.EthernetMode = ethernet;
    p.ProtocolType = protocolType;
    p.ChannelCount = 4;
    p.TagTypePending = p.PasswordPending = false;
    p.PutData(KRItem::HeadNumber, channel);
    p.MultiTag = multi;
    p.MultiTagChannel.fill(multi);
    const int header = hx::HeaderLength(protocolType);

    switch (op) {
    case 1:   // a read waited for and listed
        p.Poll(true, true, expected);
        break;
    case 2: { // a write's read-back: nothing listed, no more than came
        qsizetype total = 0;
        for (const QByteArray& f : frames)
            total += f.size();
        const QByteArray got = p.Poll(false, true, expected);
        for (const View::Line& line : view.shown)
            if (line.kind == 2)
                fail("a read-back listed data");
        if (got.size() > total + 2 * frames.size())
            fail("a read-back returned more than came");
        break;
    }
    case 3: { // the WTX60 tag state
        StateView state;
        p.GetTagState(state);
        if (state.last.valid && (state.last.remaining < 0 || state.last.remaining > 100))
            fail("a battery share outside 0..100");
        if (state.last.barWidth(120) > 120)
            fail("a battery bar wider than its box");
        break;
    }
    case 4: { // the configuration words
        QByteArray control, protection;
        p.ReadConfiguration(channel == QLatin1String("x") ? QByteArray("1") : channel.toLatin1(), control, protection);
        if ((!control.isEmpty() && control.size() != 4) || (!protection.isEmpty() && protection.size() != 4))
            fail("a configuration word that is not four bytes");
        break;
    }
    case 5: { // the VNB head parameters and the dialog's form
        hx::HXHeadType head;
        head.name = QStringLiteral("UHF");
        head.typ = QStringLiteral("VNB");
        head.profiles = std::make_shared<QList<hx::HXProfile>>(
            QList<hx::HXProfile>{hx::HXProfile{1, QStringLiteral("A"), QStringLiteral("G_1"), false, false, {4, 7}, 20, 200, {}}});
        hx::ParameterList params = hx::NewParameters(true);
        hx::ReadAllParameters(p, params);
        for (const clsParameter& param : params) {
            if (!param.Available())
                continue;
            const QByteArray value = hx::ValueBytes(param);
            bool fromReply = false;
            for (const QByteArray& r : link.source.received)
                fromReply = fromReply || r.endsWith(value);
            if (!fromReply)
                fail("a parameter value that no reply held");
        }
        const hx::VNBForm form = hx::FillVNBForm(params, head);
        for (int cd : form.cd)
            if (!form.cdItems.contains(cd))
                fail("a channel box showing a channel it does not offer");
        break;
    }
    case 7:   // the multi-tag question of the VNB heads
        p.HeadFamily.fill(QStringLiteral("VNB"));
        p.CheckMultitagMode();
        break;
    default:
        break;
    }
    // Whatever is left: the poll timer's.
    checkTimerPoll(p, view, link.source, header, p.MultiTag || multi
                                                   || std::any_of(p.MultiTagChannel.begin(), p.MultiTagChannel.end(),
                                                                  [](bool m) { return m; }));
    link.source.clear();
    return 0;
}
