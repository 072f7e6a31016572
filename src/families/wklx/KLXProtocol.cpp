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
    End LineEnd(QByteArrayView line) const override
    {
        const Shape found = shape(line);
        if (found.kind == Kind::Report)
            return {found.end, true};
        if (found.kind == Kind::FreeText) {
            // The free text was closed by a whole tag report: the reader lost the line's end.
            for (qsizetype at = line.indexOf(kTagEvent, 1); at > 0; at = line.indexOf(kTagEvent, at + 1)) {
                if (reportEnd(line.sliced(at), head(line.sliced(at))) == line.size() - at)
                    return {at, false};
            }
            return {line.size(), true};
        }
        // No line of the reader as it stands: it ended where a whole one begins in it.
        for (qsizetype at = 1; at + 4 <= line.size(); ++at) {
            const QByteArrayView rest = line.sliced(at);
            if ((rest.startsWith(kEvent) || rest.startsWith(kReply)) && shape(rest).kind != Kind::None)
                return {at, false};
        }
        return {line.size(), true};
    }
    QByteArray ReplyTag() const override { return kReply.toByteArray(); }

private:
    static constexpr QByteArrayView kEvent = "EVNT";
    static constexpr QByteArrayView kReply = "RPLY";
    static constexpr QByteArrayView kTagEvent = "EVNTTAG ";

    enum class Kind {
        None,     // no line of the reader, or one not whole yet
        Report,   // a tag report whole for its class: it ends where its class ends
        FreeText, // a reply or another event: it runs to its terminator
    };
    struct Shape {
        Kind kind = Kind::None;
        qsizetype end = -1; // a report's
    };
    // The decoded start of line, as far as a report's fields reach.
    static QByteArray head(QByteArrayView line)
    {
        return Network::UrlDecode(line.first(std::min<qsizetype>(line.size(), 3 * kReportHeader)).toByteArray());
    }
    static Shape shape(QByteArrayView line)
    {
        if (!line.startsWith(kEvent) && !line.startsWith(kReply))
            return {};
        const QByteArray h = head(line);
        if (line.startsWith(kReply)) {
            const bool status = h.size() >= 10 && std::isdigit(uchar(h[8])) && std::isdigit(uchar(h[9]));
            return {status ? Kind::FreeText : Kind::None};
        }
        if (h.size() < 8)
            return {};
        if (!h.startsWith(kTagEvent))
            return {Kind::FreeText};
        const qsizetype end = reportEnd(line, h);
        return {end >= 0 ? Kind::Report : Kind::None, end};
    }
    // Where the tag report at the start of line (h: its decoded head) ends: the end of its
    // class's data, or the terminator for a report without data; -1 while it is shorter
    // than its class.
    static qsizetype reportEnd(QByteArrayView line, const QByteArray& h)
    {
        if (h.size() < kReportHeader || !h.startsWith(kTagEvent))
            return -1;
        const TagClass c = tagClass(uchar(h[kReportHeader - 2]), uchar(h[kReportHeader - 1]));
        if (c == NoData)
            return line.size();
        return Network::EncodedLength(line, kReportHeader + kClassData[c]);
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
                         [this](const QByteArray& line) { lateReplyGone(line); });
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
        // A line cut off (at the time-out, or as no line at all) was someone's answer too.
        const bool cut = n == 0 && net->NetLineCut();
        const QByteArray got = cut ? net->NetCutLine() : line;
        const qsizetype from = held ? 1 : 0;
        forgetExpired(from);
        qsizetype late = n > 0 || cut ? owedAnswerable(got, from) : -1;
        const bool mine = (n > 0 || cut) && canAnswer(self, got);
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

bool KLXProtocol::canAnswer(const Sent& command, const QByteArray& line)
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
