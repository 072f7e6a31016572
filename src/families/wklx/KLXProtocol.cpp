#include "KLXProtocol.h"

#include "families/common/MicrowaveWrite.h"
#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/GeneralClasses.h"
#include "foundations/MainFrame.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Network.h"

#include <QScopeGuard>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

namespace orvid {

namespace {

constexpr char kHello[] = "HELO";
constexpr char kStop[] = "PUSHTAG STOP";

int code(const QByteArray& s, int position) // 1-based, 0 outside
{
    return position >= 1 && position <= s.size() ? static_cast<unsigned char>(s[position - 1]) : 0;
}

// Ties to the even neighbour, as the reader's own firmware rounds.
long long roundEven(double v)
{
    return static_cast<long long>(std::nearbyint(v));
}

// A reader that ends its lines with CR LF: the CR is the line end's, not the reply's payload.
QByteArray replyText(const QByteArray& line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

// A tag report's class, from the type byte in its 9th and 10th characters.
enum TagClass { Mini = 0, Full = 1, Quarter = 2, NoData = 3 };
TagClass tagClass(int s9, int s10)
{
    const int t = static_cast<int>(roundEven(s9 * 64 + s10 / 4.0)) & 254;
    return static_cast<TagClass>((t >> 3) & 3);
}

// Where the fields of a tag report begin in its event line (decoded): "EVNT", "TAG ", the 17
// characters the program skips, then s1..s10 and the data.
constexpr qsizetype kReportStart = 8 + 17;
constexpr qsizetype kReportHeader = kReportStart + 10;
// The data each class carries behind s1..s10.
constexpr qsizetype kClassData[] = {2, 72, 20, 0};

// The reader's line shapes (see KLXProtocol::Lines).
class KLXLines final : public ILineStructure {
public:
    Break LineBreak(QByteArrayView line, qsizetype from, bool terminated, bool stalled) const override
    {
        const Shape own = shape(line, terminated);
        if (own.kind == Kind::Undecided)
            return {-1, false, from};
        // Up to dataEnd (a report's class data, or all of a reply's or another event's free
        // text) only a whole tag report proves that a line began: the rest is data, whatever
        // it spells. Behind it (bytes of the reader's own behind a report's data, or a line of
        // no shape), and where the line stalled, any line whole by its shape does.
        const qsizetype dataEnd = own.kind == Kind::Report ? own.end : own.kind == Kind::FreeText ? line.size() : 0;
        qsizetype nextEvent = -1;
        qsizetype nextReply = -1;
        for (qsizetype at = from;; ++at) {
            if (nextEvent < at)
                nextEvent = indexOr(line, kEvent, at);
            if (nextReply < at)
                nextReply = indexOr(line, kReply, at);
            at = std::min(nextEvent, nextReply);
            if (at >= line.size())
                break;
            const bool reportsOnly = at < dataEnd && !(stalled && at == from);
            if (reportsOnly && at != nextEvent)
                continue;
            const Kind next = shape(line.sliced(at), terminated).kind;
            if (next == Kind::Report || (next == Kind::FreeText && !reportsOnly))
                return {at, own.kind == Kind::FreeText || (own.kind == Kind::Report && at >= own.end), 0};
            if (next == Kind::Undecided)
                return {-1, false, at};
        }
        // A line tag whose first letters have come may still begin at the end.
        for (qsizetype at = std::max(from, line.size() - 3); !terminated && at < line.size(); ++at) {
            const QByteArrayView tail = line.sliced(at);
            if (kEvent.startsWith(tail) || ((at >= dataEnd || (stalled && at == from)) && kReply.startsWith(tail)))
                return {-1, false, at};
        }
        return {-1, false, line.size()};
    }

private:
    static constexpr QByteArrayView kEvent = "EVNT";
    static constexpr QByteArrayView kReply = "RPLY";
    static constexpr QByteArrayView kTagEvent = "EVNTTAG ";

    enum class Kind {
        None,      // no line of the reader (or one short of its shape)
        Undecided, // too little has come to tell
        Report,    // a tag report whole for its class
        FreeText,  // a reply (with its status digits), or another event
    };
    struct Shape {
        Kind kind = Kind::None;
        qsizetype end = -1; // a report's: where its class's data ends
    };
    static qsizetype indexOr(QByteArrayView line, QByteArrayView tag, qsizetype from)
    {
        const qsizetype at = line.indexOf(tag, from);
        return at < 0 ? line.size() : at;
    }
    static Shape shape(QByteArrayView line, bool terminated)
    {
        const bool event = line.startsWith(kEvent);
        if (!event && !line.startsWith(kReply))
            return {terminated || line.size() >= 4 || !(kEvent.startsWith(line) || kReply.startsWith(line)) ? Kind::None
                                                                                                         : Kind::Undecided};
        // Before its terminator has come, a line decodes for sure only up to an escape whose
        // digits may still be on the way.
        qsizetype settled = line.size();
        if (!terminated)
            for (qsizetype at = std::max<qsizetype>(line.size() - 2, 0); at < line.size(); ++at)
                if (line[at] == '%') {
                    settled = at;
                    break;
                }
        const QByteArrayView known = line.first(settled);
        const Kind tooShort = terminated ? Kind::None : Kind::Undecided;
        const QByteArray h = Network::UrlDecode(known.first(std::min<qsizetype>(known.size(), 3 * kReportHeader)).toByteArray());
        if (!event) {
            if (h.size() < 10)
                return {tooShort};
            return {std::isdigit(uchar(h[8])) && std::isdigit(uchar(h[9])) ? Kind::FreeText : Kind::None};
        }
        if (h.size() < 8)
            return {tooShort};
        if (!h.startsWith(kTagEvent))
            return {Kind::FreeText};
        if (h.size() < kReportHeader)
            return {tooShort};
        const TagClass c = tagClass(uchar(h[kReportHeader - 2]), uchar(h[kReportHeader - 1]));
        const qsizetype end = Network::EncodedLength(known, kReportHeader + kClassData[c]);
        return end < 0 ? Shape{tooShort} : Shape{Kind::Report, end};
    }
};

} // namespace

KLXProtocol::KLXProtocol(AppContext& ctx, IKLXView* view, IEventCallback* events)
    : FamilyProtocol(ctx, kSection, view), view_(view), events_(events),
      link_(ctx, LinkWatch::Transport::Network, [this] { failPendingWrite(); })
{
    clock_.start();
    if (ctx.network)
        QObject::connect(ctx.network, &Network::lineDiscarded, &link_,
                         [this](const QByteArray& line) { lateReplyGone(replyText(line)); });
}

void KLXProtocol::LoadTexts()
{
    WriteStartText = Translate(QStringLiteral("WriteStart"), QStringLiteral("Tag schreiben aktiv"));
    WriteDoneText = Translate(QStringLiteral("WriteDone"), QStringLiteral("Tag erfolgreich beschrieben"));
    WriteCancelText = Translate(QStringLiteral("WriteCancel"), QStringLiteral("Tag schreiben abgebrochen"));
    WriteFailedText = Translate(QStringLiteral("WriteFailed"), QStringLiteral("Tag schreiben fehlgeschlagen"));
    ErrorLabel = Translate(QStringLiteral("Error"), QStringLiteral("FEHLER: "));
}

void KLXProtocol::addLine(const QByteArray& line)
{
    if (view_ && !line.isEmpty())
        view_->ShowData(1, QByteArray(), line);
}

void KLXProtocol::addLine(const QString& line)
{
    addLine(ToCp1252(line));
}

void KLXProtocol::failPendingWrite()
{
    if (!WritePending)
        return;
    WritePending = false;
    addLine(WriteFailedText);
}

// ---- the link ----------------------------------------------------------------------------

bool KLXProtocol::Check()
{
    Network* net = ctx_.network;
    // Selected again: the connection is made anew, and a write the reader still holds
    // could never be reported on the new one. It is stopped on the old one first.
    if (WritePending && ownConnectionUp()) {
        cancelPendingWrite();
        sendStop();
    }
    connected_ = false;
    left_ = false;
    // Nothing is owed on a new connection.
    owed_.clear();
    if (!net || !net->NetConnect(events_, Port))
        return false;
    net->SetNetTerminator(QByteArrayLiteral("\n"), &Lines());
    QByteArray reply;
    int status = -1;
    QByteArray version;
    if (SendReaderCommand(kHello, reply, false, ReplyUse::Raw, status) > 0 && reply.startsWith("RPLYHELO")) {
        const QByteArray rest = reply.mid(reply.indexOf("RPLYHELO") + 8);
        if (rest.size() >= 3)
            version = rest.mid(2);
    }
    if (!version.isEmpty()) {
        const QByteArray protocolVersion = version.startsWith("TAGP/1.") ? version.left(8) : QByteArray("TAGP/1.5");
        QByteArray second;
        SendReaderCommand(kHello + protocolVersion, second, false, ReplyUse::Checked, status);
        if (status == 0) {
            if (ctx_.lk) {
                ctx_.lk->LkPutData(1, QByteArray("KLX9000"));
                ctx_.lk->LkPutData(2, version);
            }
            if (view_)
                view_->SetParameterEnabled(true);
            connected_ = true;
            return true;
        }
    }
    // The connection stays open: the user may select again without a new connect.
    if (ctx_.lk) {
        ctx_.lk->LkPutData(1, QByteArray());
        ctx_.lk->LkPutData(2, QByteArray());
        ctx_.lk->EnablePolling(false);
    }
    if (view_)
        view_->SetParameterEnabled(false);
    return false;
}

void KLXProtocol::Init(bool)
{
    if (ctx_.frame) {
        ctx_.frame->setMenuEnabled(MenuEntry::IO, true);
        ctx_.frame->setMenuEnabled(MenuEntry::State, false);
    }
}

void KLXProtocol::CloseLK()
{
    // The user leaves the reader: a write still pending is cancelled, not failed. What
    // runs on the reader is ended there while the connection is still the reader's: the
    // Stop action, and an output a Beep left on. The window closing later has nothing
    // more to send.
    const std::function<void()> step = std::exchange(closingStep_, {});
    if (ownConnectionUp()) {
        Stop();
        if (step && closingOwner_)
            step();
    } else {
        Reading = false;
        cancelPendingWrite();
    }
    connected_ = false;
    left_ = true;
    owed_.clear();
    if (ctx_.network)
        ctx_.network->NetDisconnect();
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
}

int16_t KLXProtocol::ReadData(const QByteArray& command, QByteArray& reply, bool log, bool&)
{
    int status = -1;
    return SendReaderCommand(command, reply, log, ReplyUse::Checked, status);
}

// ---- exchanges ---------------------------------------------------------------------------

int16_t KLXProtocol::SendReaderCommand(const QByteArray& command, QByteArray& reply, bool monitorFlag,
                                       ReplyUse use, int& status)
{
    status = -1;
    outcome_ = Outcome::NoReply;
    Sent self = sentCommand(command, use);
    failureLine_ = ToCp1252(ErrorLabel) + ' ' + self.name + " <TIMEOUT>";
    failureListed_ = false;
    linkErrorListed_ = false;
    Network* net = ctx_.network;
    if (!net)
        return 0;
    if (!net->NetSend(command, true, monitorFlag))
        return noConnection();
    self.at = clock_.elapsed();
    const auto owe = [this, &self] {
        owed_.append(self);
        // A reader that answers nothing at all does not make the list grow without end.
        if (owed_.size() > kMaxSkippedReplies)
            owed_.removeFirst();
    };
    // A reply that the oldest owed command and this one could both have (the same name,
    // nothing in it to tell them apart) is, by the order, the owed one's late answer. A
    // command that uses its reply holds it while it waits as long again as the reader took
    // for the owed one, and half a time-out more: a reader that slow answers this command
    // by then too. That window counts from the hold; events coming meanwhile are handled
    // and do not lengthen it. When no further reply has come, the one held was this
    // command's own, and the owed command was never answered. A command that does not use
    // its reply takes it at once as its own: whose it is would change nothing for it.
    std::optional<QByteArray> held;
    qint64 heldUntil = 0;
    QByteArray line;
    for (int skipped = 0;; ++skipped) {
        line.clear();
        int16_t n;
        if (held) {
            n = net->NetReceiveLineWithin(static_cast<int>(qMax<qint64>(heldUntil - clock_.elapsed(), 1)), line, false);
        } else {
            bool log = true;
            n = net->NetReceiveLine(line, log, false);
        }
        if (n < 0)
            return noConnection();
        line = replyText(line);
        // A line cut off (at the time-out, or as no line at all) was someone's answer too.
        bool cut = n == 0 && net->NetLineCut();
        const QByteArray got = cut ? net->NetCutLine() : line;
        const qsizetype from = held ? 1 : 0;
        forgetExpired(from);
        qsizetype late = n > 0 || cut ? owedAnswerable(got, from) : -1;
        const bool mine = (n > 0 || cut) && canAnswer(self, got);
        // A reply that lost its LF to the line behind it may have lost more: it answers the
        // command it goes to only where nothing of it can be missing; else it was cut.
        if (n > 0 && net->NetLineLostEnd() && (late >= 0 || mine)
            && !canAnswer(late >= 0 ? owed_[late] : self, got, true))
            cut = true;
        if (late < 0 && !mine) {
            if (n > 0 && skipped < kMaxSkippedReplies)
                continue;   // a reply to nothing sent
            if (!held) {
                owe();
                return 0;
            }
            // Nothing more came: the reply held was this command's.
            owed_.clear();
            line = *held;
            break;
        }
        if (held) {
            // Another answer followed it: the reply held was the owed command's.
            lateAnswer(*std::exchange(held, std::nullopt));
            --late;
        }
        if (late < 0) {
            // This command's answer: whatever was owed before it will not come now. A reply
            // cut off costs this command alone.
            owed_.clear();
            if (cut)
                return 0;
            break;
        }
        owed_.remove(0, late);
        if (cut) {
            // The owed command's late answer was cut off; this one's has not come.
            owed_.removeFirst();
            owe();
            return 0;
        }
        if (mine && use == ReplyUse::Ignored) {
            owed_.clear();
            break;
        }
        if (mine) {
            held = line;
            const qint64 now = clock_.elapsed();
            heldUntil = now + (now - owed_.first().at) + qMax(net->GetNetTimeout(), 1) / 2;
            continue;
        }
        lateAnswer(line);
        if (skipped >= kMaxSkippedReplies) {
            owe();
            return 0;
        }
    }
    if (use != ReplyUse::Checked) {
        status = 0;
        outcome_ = Outcome::Good;
        reply = line;
        return static_cast<int16_t>(qMin<qsizetype>(line.size(), 32767));
    }
    const QByteArray refusal = refusalLine(self.name, line);
    if (refusal.isEmpty()) {
        status = 0;
        outcome_ = Outcome::Good;
        reply = line.mid(10);
        return static_cast<int16_t>(qMin<qsizetype>(reply.size(), 32767));
    }
    outcome_ = line.size() < 10 ? Outcome::Short : Outcome::BadStatus;
    const int number = line.size() < 10 ? 0 : static_cast<int>(Val(line.mid(8, 2)));
    if (number != 0)
        status = number;
    failureLine_ = refusal;
    if (ReadHeadError()) {
        addLine(failureLine_);
        failureListed_ = true;
    }
    return 0;
}

int16_t KLXProtocol::noConnection()
{
    outcome_ = Outcome::NoConnection;
    owed_.clear();
    failureLine_ = ToCp1252(ErrorLabel + QLatin1Char(' ') + (ctx_.network ? ctx_.network->NoConnectionText() : QString()));
    // The link has reported it to the window already, listed when head errors are shown.
    failureListed_ = linkErrorListed_;
    return 0;
}

KLXProtocol::Sent KLXProtocol::sentCommand(const QByteArray& command, ReplyUse use)
{
    Sent sent;
    sent.name = command.left(4);
    sent.key = sent.name.toUpper();   // commands typed in lower case match too
    if (sent.key == "GET ")
        sent.parameter = command.mid(4).trimmed().toUpper();
    const Kind kind = std::exchange(nextKind_, Kind::Read);
    sent.kind = use == ReplyUse::Checked ? kind : Kind::Unchecked;
    return sent;
}

bool KLXProtocol::canAnswer(const Sent& command, const QByteArray& line, bool complete)
{
    // A line that names no command may be anyone's answer.
    if (!line.startsWith("RPLY") || line.size() < 8)
        return true;
    if (line.mid(4, 4).toUpper() != command.key)
        return false;
    if (command.parameter.isEmpty() || line.mid(8, 2) != "00")
        return true;
    // A good GET reply names its parameter: "LED=GREEN" answers no GET RELAY.
    const QByteArray payload = line.mid(10).toUpper();
    if (payload.contains(command.parameter + '='))
        return true;
    if (complete)
        return false;
    const QByteArray named = payload.left(payload.indexOf('='));
    return named.isEmpty() || named.size() == payload.size()
           || !std::all_of(named.begin(), named.end(), [](char c) {
                  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
              });
}

void KLXProtocol::forgetExpired(qsizetype from)
{
    const qint64 bound = qint64(kLateTimeouts) * (ctx_.network ? ctx_.network->GetNetTimeout() : Network::kDefaultTimeoutMs);
    const qint64 now = clock_.elapsed();
    while (owed_.size() > from && now - owed_[from].at > bound)
        owed_.removeAt(from);
}

qsizetype KLXProtocol::owedAnswerable(const QByteArray& line, qsizetype from) const
{
    for (qsizetype i = from; i < owed_.size(); ++i)
        if (canAnswer(owed_[i], line))
            return i;
    return -1;
}

QByteArray KLXProtocol::refusalLine(const QByteArray& name, const QByteArray& line) const
{
    const QByteArray label = ToCp1252(ErrorLabel) + ' ' + name;
    if (line.size() < 10)
        return label + " Invalid response <" + line + '>';
    const QByteArray digits = line.mid(8, 2);
    return digits == "00" ? QByteArray() : label + ' ' + digits + " - " + line.mid(10);
}

void KLXProtocol::lateAnswer(const QByteArray& line)
{
    const Sent command = owed_.takeFirst();
    if (command.kind == Kind::Unchecked)
        return;
    const QByteArray refusal = refusalLine(command.name, line);
    if (refusal.isEmpty())
        return;
    if (command.kind == Kind::TagWrite && WritePending) {
        // The write that is still pending was refused: no WRIT event will come for it.
        addLine(refusal);
        failPendingWrite();
    } else if (command.kind == Kind::Set || ReadHeadError()) {
        addLine(refusal);
    }
}

void KLXProtocol::lateReplyGone(const QByteArray& line)
{
    forgetExpired(0);
    const qsizetype late = owedAnswerable(line, 0);
    if (late < 0)
        return;
    owed_.remove(0, late);
    lateAnswer(line);
}

void KLXProtocol::ListLastFailure()
{
    if (outcome_ != Outcome::Good && !failureListed_) {
        addLine(failureLine_);
        failureListed_ = true;
    }
}

int16_t KLXProtocol::ReadCmd(clsParameter& parameter, bool asDefault)
{
    const QByteArray name = parameter.Name().toLatin1();
    QByteArray reply;
    bool ok = false;
    // An exchange the link does not start counts as failed, not as the last one's outcome.
    outcome_ = Outcome::NoReply;
    const int16_t n = sendCommand("GET " + name, reply, QVariant(false), ok);
    const QByteArray key = name + '=';
    const qsizetype at = n > 0 ? reply.indexOf(key) : -1;
    if (at >= 0 && at + key.size() < reply.size()) {
        const QString value = FromCp1252(reply.mid(at + key.size()));
        if (asDefault)
            parameter.DefaultValue(value);
        else
            parameter.setValue(value);
    }
    return n;
}

int16_t KLXProtocol::WriteCmd(clsParameter& parameter)
{
    QByteArray reply;
    bool ok = false;
    outcome_ = Outcome::NoReply;
    // A refusal that comes late is still listed, as any failed setting is.
    nextKind_ = Kind::Set;
    const auto reset = qScopeGuard([this] { nextKind_ = Kind::Read; });
    return sendCommand("SET " + parameter.Name().toLatin1() + '=' + ToCp1252(parameter.value()), reply,
                       QVariant(false), ok);
}

void KLXProtocol::cancelPendingWrite()
{
    if (!WritePending)
        return;
    WritePending = false;
    addLine(WriteCancelText);
}

void KLXProtocol::sendStop()
{
    QByteArray reply;
    int status = -1;
    SendReaderCommand(kStop, reply, false, ReplyUse::Ignored, status);
}

void KLXProtocol::Stop()
{
    Reading = false;
    cancelPendingWrite();
    sendStop();
}

bool KLXProtocol::ownConnectionUp() const
{
    return connected_ && ctx_.network && ctx_.network->NetIsConnected();
}

void KLXProtocol::SetClosingStep(const QObject* owner, std::function<void()> step)
{
    closingOwner_ = owner;
    closingStep_ = std::move(step);
}

void KLXProtocol::StartReading()
{
    Reading = ctx_.network && ctx_.network->NetIsConnected();
}

QByteArray KLXProtocol::WriteTagCommand(int memorySize, int dataSpeed, int intervalType, int intervalLength,
                                        const QString& idCode, const QByteArray& data)
{
    QByteArray format;
    format += memorySize == 1 ? 'Q' : memorySize == 2 ? 'F' : 'M';
    format += intervalType == 1 ? 'R' : 'C';
    format += intervalLength == 1 ? '4' : intervalLength == 2 ? '8' : intervalLength == 3 ? '6' : '0';
    format += dataSpeed != 0 ? 'L' : 'H';
    QByteArray payload;
    if (memorySize == 1) {
        payload = data.left(20).leftJustified(20, ' ');
    } else if (memorySize == 2) {
        payload = data.left(72).leftJustified(72, ' ');
    } else if (memorySize == 0) {
        // The reader takes 14 bits; anything else would be sent as a different number.
        const std::optional<double> value = MiniValue(QString::fromLatin1(data));
        if (!value)
            return QByteArray();
        payload = MakeReaderInteger(*value * 4);
    }
    const QByteArray target = idCode.isEmpty() ? QByteArray("*") : idCode.toLatin1();
    return "PUSHTAG " + target + ';' + format + ';' + Network::UrlEncode(payload);
}

bool KLXProtocol::WriteTag(int memorySize, int dataSpeed, int intervalType, int intervalLength,
                           const QString& idCode, const QByteArray& data)
{
    const QByteArray command = WriteTagCommand(memorySize, dataSpeed, intervalType, intervalLength, idCode, data);
    if (command.isEmpty()) {
        ShowMessage(20);
        return false;
    }
    Stop();
    // A write sent before, still owed its answer, is no longer the one reported.
    for (Sent& sent : owed_)
        if (sent.kind == Kind::TagWrite)
            sent.kind = Kind::Read;
    addLine(WriteStartText);
    WritePending = true;
    link_.Watch();
    QByteArray reply;
    bool ok = false;
    outcome_ = Outcome::NoReply;
    // A refusal that comes late ends this write too.
    nextKind_ = Kind::TagWrite;
    const auto reset = qScopeGuard([this] { nextKind_ = Kind::Read; });
    sendCommand(command, reply, QVariant(false), ok);
    // A refused write will never report WRIT; a reply that did not come may still, unless
    // the connection is gone.
    if (WritePending
        && (outcome_ == Outcome::BadStatus || outcome_ == Outcome::Short || outcome_ == Outcome::NoConnection))
        ListLastFailure();
    if (outcome_ == Outcome::BadStatus || outcome_ == Outcome::Short || !link_.Up())
        failPendingWrite();
    return true;
}

// ---- events ------------------------------------------------------------------------------

void KLXProtocol::EventReceived(const QByteArray& text)
{
    if (!view_ || !view_->Loaded() || text.size() < 4)
        return;
    const QByteArray name = text.left(4);
    QByteArray line;
    if (name == "TAG ") {
        if (Reading)
            line = ParseTagReport(text.mid(4));
    } else if (name == "WRIT") {
        if (WritePending) {
            WritePending = false;
            line = ToCp1252(WriteDoneText);
        }
    }
    addLine(line);
}

void KLXProtocol::LinkError(const QString& text)
{
    if (ReadHeadError()) {
        addLine(ErrorLabel + QLatin1Char(' ') + text);
        linkErrorListed_ = true;
    }
}

// ---- decoding ----------------------------------------------------------------------------

QByteArray KLXProtocol::ParseTagReport(const QByteArray& text)
{
    const QByteArray s = text.size() >= 18 ? text.mid(17) : QByteArray();
    QByteArray result;
    if (s.size() >= 5) {
        const quint32 id = (static_cast<quint32>(code(s, 2) & 63) << 22) + (static_cast<quint32>(code(s, 3)) << 14)
                           + (static_cast<quint32>(code(s, 4)) << 6) + ((code(s, 5) & 252) >> 2);
        result = "IDCODE: " + QByteArray::number(id).rightJustified(8, '0') + ' ';
    }
    if (s.size() >= 11) {
        switch (tagClass(code(s, 9), code(s, 10))) {
        case Mini:
            result += "MINI: ";
            result += s.size() < 10 + kClassData[Mini] ? QByteArray("<NO DATA>")
                                    : QByteArray::number((code(s, 11) * 256 + code(s, 12)) / 4);
            break;
        case Full:
            result += "FULL: ";
            result += s.size() < 10 + kClassData[Full] ? QByteArray("<NO DATA>")
                                    : s.mid(10, 71) + static_cast<char>(code(s, 82) & 254);
            break;
        case Quarter:
            result += "QUARTER: ";
            result += s.size() < 10 + kClassData[Quarter] ? QByteArray("<NO DATA>")
                                    : s.mid(10, 19) + static_cast<char>(code(s, 30) & 192);
            break;
        case NoData:
            result += "N/A";
            break;
        }
    }
    return result;
}

const ILineStructure& KLXProtocol::Lines()
{
    static const KLXLines lines;
    return lines;
}

} // namespace orvid
