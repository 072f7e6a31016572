#include "HXProtocol.h"

#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "families/common/KRConfigWord.h"
#include "families/common/TagStateBlock.h"
#include "families/common/TagPassword.h"
#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Network.h"
#include "link/Ports.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace orvid {

using hx::HXCommand;

namespace {

constexpr char kSYN = 22;
const QByteArray kTerminator("#\r");
constexpr int16_t kSerialTimeout = 200;
constexpr int kStateWord = 0x2011;
constexpr int kStateWords = 4;

const char* const kCommandList[] = {
    "VE Version", "CT Change tag", "QU Quit command", "CI Configure interface", "GS Get state",
    "RS Reset", "MM Set multiplexed mode", "TM Set triggermode", "SF Single read fixcode",
    "EF Enhanced buffered read fixcode", "SR Single read words", "ER Enhanced buffered read words",
    "SW Single write words", "EW Enhanced buffered write words", "PM Set password mode (QTX03)",
    "PC Change password(QTX03)", "PS Set password (QTX03)", "SG Single get configuration",
    "EG Enhanced buffered get configuration", "SC Single write configuration",
    "EC Enhanced buffered write configuration", "SX Single write fixcode (QTX11)",
    "EX Enhanced buffered write fixcode (QTX11)", "SS Single read special fixcode (QTX11)",
    "ES Enhanced read special fixcode (QTX11)", "SP Single read special fixcode (ZKX-..-1K)",
    "EP Enhanced read special fixcode (ZKX-..-1K)",
};

// The lines of the refusals, in the order of HXProtocol::Refusal: language key, German text.
const char* const kRefusals[][2] = {
    {"NoCommand", "Fehler: Betriebsart ohne Befehl."},
    {"TooManyWords", "Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm."},
    {"TooManyWordsNet", "Fehler: Über Ethernet höchstens 15 Wörter (60 Bytes) in einem Telegramm."},
    {"NoFixcodeNet", "Fehler: Fixcodes können über Ethernet nicht geschrieben werden."},
    {"BadTelegram", "Fehler: Ungültige Telegrammdaten."},
    {"WholeBlocks", "Fehler: Ohne Rücklesen nur ganze Blöcke schreiben (Adresse und Länge in Blöcken zu %s Bytes)."},
    {nullptr, nullptr},   // PasswordInvalid: the text both password families show
    {"SpecialFixcodeInvalid", "Fehler: Der Fixcode muss aus höchstens 6 Hexadezimalziffern bestehen (0 bis FFFFFF)."},
    {"VNBCodeTooLong", "Fehler: Der Code ist länger als 14 Bytes."},
    {"WTXCodeTooLong", "Fehler: Der Fixcode ist länger als 4 Bytes."},
    {"NCXCodeInvalid", "Fehler: Der Chipcode muss aus 7 Hexadezimalziffern bestehen."},
    {"NoReply", "Fehler: Keine Antwort."},
};

// Commands the unit answers with a status of its own, no data: a stop, the settings and
// the writes (SP/EP with a code are writes).
bool answersWithStatus(HXCommand c, const QByteArray& data)
{
    switch (c) {
    case HXCommand::QU: case HXCommand::CT: case HXCommand::PM: case HXCommand::PS: case HXCommand::PC:
    case HXCommand::SC: case HXCommand::SW: case HXCommand::BW: case HXCommand::AW: case HXCommand::EW:
    case HXCommand::SX: case HXCommand::AX: case HXCommand::BX: case HXCommand::EX: case HXCommand::MM:
    case HXCommand::TM: case HXCommand::WP:
        return true;
    case HXCommand::SP: case HXCommand::EP:
        return !data.isEmpty();
    default:
        return false;
    }
}

QByteArray hexWordData(int startWord, int count)
{
    return HexString(startWord, "0000") + HexString(count, "00");
}

// The text between a marker and the next "</td>", cutting page after both.
QString cutAfter(QString& page, const QString& marker)
{
    const qsizetype at = page.indexOf(marker);
    page = at < 0 ? QString() : page.mid(at + marker.size());
    return page;
}

QString cellText(QString& page)
{
    const qsizetype end = page.indexOf(QLatin1String("</td>"));
    QString cell = end < 0 ? page : page.left(end);
    return cell.replace(QLatin1String("<br>"), QLatin1String("\r\n"));
}

QString firstLine(const QString& text)
{
    return text.section(QLatin1String("\r\n"), 0, 0).trimmed();
}

} // namespace

HXProtocol::HXProtocol(AppContext& ctx, IHXView* view) : FamilyProtocol(ctx, kSection, view), view_(view) {}

// ---- what the link calls ------------------------------------------------------------------

void HXProtocol::useSerialLink()
{
    if (!ctx_.ports)
        return;
    ctx_.ports->SetFramingType(0);
    ctx_.ports->SetLinkProtocol(kTerminator);
    ctx_.ports->SetTimeout(kSerialTimeout);
}

void HXProtocol::Init(bool ethernet)
{
    // Reads still running are stopped on the transport that started them before they are
    // forgotten: they would answer on, unlisted, and a later read would take their repeats
    // for its own reply. (Another serial system may have set the framing meanwhile.)
    if (AnyChannelBusy()) {
        if (!EthernetMode)
            useSerialLink();
        stopBusyHeads();
    }
    EthernetMode = ethernet;
    BlockSize = BlockSizeOf(TagType);
    MultiTag = false;
    commandList_.clear();
    if (!ethernet) {
        useSerialLink();
        int id = 1;
        for (const char* text : kCommandList)
            commandList_.Add(id++, QString::fromLatin1(text));
    }
    if (headFile_.Path().isEmpty()) {
        // The head-type file lies next to the program, like the layout and language files.
        const QString folder = ctx_.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : ctx_.programDir;
        headFile_ = hx::HXHeadFile(hx::HXHeadFile::FindFile(folder));
    }
    ChannelBusy.fill(false);
    repeatLength_.fill(0);
}

bool HXProtocol::Check()
{
    UnitPicture.clear();
    ChannelCount = 4;
    shownChannels_ = 0;
    for (int i = 0; i < 4; ++i) {
        HeadText[i].clear();
        HeadTypeName[i].clear();
        HeadFamily[i].clear();
    }
    TagTypePending = PasswordPending = true;
    ProtocolType = 0;
    UnitStateText.clear();
    UnitModel.clear();
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }

    auto lookUpModel = [this](const QString& model) {
        if (const auto unit = headFile_.UnitModel(model)) {
            // A model section without TYPE=HEAD (or a count the unit cannot have) gives 4.
            ChannelCount = (unit->headCount < 1 || unit->headCount > 4) ? 4 : unit->headCount;
            UnitPicture = unit->picturePath;
            ProtocolType = unit->protocolType;
        }
    };

    bool result = false;
    if (!EthernetMode) {
        QByteArray channel, reply;
        bool ok = false;
        const int16_t n = HXRead(HXCommand::VE, channel, QByteArray(), reply, false, ok);
        const QByteArray upper = reply.toUpper();
        if (n > 0 && upper.contains("ORVID") && upper.contains("HX-LM")) {
            QByteArray model = upper.mid(upper.indexOf("HX-LM"));
            const qsizetype end = model.indexOf("\r\n");
            if (end >= 0)
                model.truncate(end);
            // Blanks the unit sends after the model would hide a known model.
            UnitModel = QString::fromLatin1(model).trimmed();
            if (ctx_.lk) {
                ctx_.lk->LkPutData(LinkItem::HeadType, UnitModel.toLatin1());
                ctx_.lk->LkPutData(LinkItem::VersionText, upper);
            }
            lookUpModel(UnitModel);
            // The unit sends the lines of the channels it has, in order: where they end,
            // no further line comes.
            for (int i = 0; i < ChannelCount; ++i) {
                QByteArray line;
                if (receive(line, QVariant(false)) <= 0)
                    break;
                ++shownChannels_;
                GetLKResult(line, static_cast<int16_t>(line.size()));
                const qsizetype blank = line.indexOf(' ');
                const QString text = QString::fromLatin1(blank < 0 ? line : line.mid(blank + 1));
                HeadText[i] = text;
                HeadTypeName[i] = firstLine(text);
            }
            result = true;
            QByteArray state;
            HXRead(HXCommand::GS, channel, QByteArray(), state, false, ok);
            UnitStateText = state;
        }
    } else if (ctx_.network) {
        ctx_.network->SetNetTerminator(QByteArray());
        if (ctx_.network->NetConnect(nullptr, unitPort)) {
            result = true;
            unit_ = ctx_.network->GetNetAddress() + QLatin1Char(':') + QString::number(unitPort);
            // Heads of this unit left reading when its last connection went get their stop
            // first; what another unit is owed stays its own.
            if (const auto owed = quitOwed_.find(unit_); owed != quitOwed_.end()) {
                for (int head = 1; head <= 4; ++head)
                    if ((*owed)[head - 1])
                        (*owed)[head - 1] = !sendQuit(QByteArray::number(head));
                if (std::none_of(owed->begin(), owed->end(), [](bool b) { return b; }))
                    quitOwed_.erase(owed);
            }
            const QString url = pageUrl.isEmpty() ? QStringLiteral("http://") + ctx_.network->GetNetAddress() : pageUrl;
            QString page = QString::fromLatin1(ctx_.network->HttpGet(url));
            cutAfter(page, QStringLiteral("Valdrecht ORVID<br>"));
            QString version = cellText(page);
            UnitModel = firstLine(version);
            const qsizetype eol = version.indexOf(QLatin1String("\r\n"));
            version = eol < 0 ? QString() : version.mid(eol + 2);
            if (ctx_.lk) {
                ctx_.lk->LkPutData(LinkItem::HeadType, UnitModel.toLatin1());
                ctx_.lk->LkPutData(LinkItem::VersionText, version.toLatin1());
            }
            lookUpModel(UnitModel);
            for (int i = 0; i < ChannelCount; ++i) {
                const QString channelMark = QStringLiteral("RFID CH") + QString::number(i + 1);
                shownChannels_ += page.contains(channelMark) ? 1 : 0;
                cutAfter(page, channelMark);
                cutAfter(page, QStringLiteral("Version:"));
                cutAfter(page, QStringLiteral("<td class=\"inputdescription\">"));
                HeadText[i] = cellText(page);
                HeadTypeName[i] = firstLine(HeadText[i]);
            }
        }
    }
    for (int i = 0; i < ChannelCount; ++i)
        SetHeadInfo(i + 1, HeadTypeName[i], HeadText[i]);
    if ((result || (view_ && view_->Loaded())) && view_)
        view_->UnitRecognised();
    if (result)
        countryProfiles();
    return result;
}

void HXProtocol::countryProfiles()
{
    for (int i = 1; i <= ChannelCount; ++i) {
        const hx::HXHeadType* head = headFile_.HeadType(HeadTypeName[i - 1]);
        // An empty group offers nothing to choose, and no ID may be written for it.
        if (!head || !head->profiles || head->profiles->isEmpty())
            continue;
        QByteArray channel = QByteArray::number(i);
        QByteArray reply;
        bool ok = false;
        const int16_t n = HXRead(HXCommand::RP, channel, parameterData("RC"), reply, false, ok);
        if (n < 2 || reply.size() < 2 || hx::WordAt(reply, 0) != 0)
            continue;
        chooseCountryProfile(i, *head);
    }
}

bool HXProtocol::SetHeadInfo(int channel, const QString& name, const QString& text)
{
    if (channel < 1 || channel > 4)
        return false;
    HeadText[channel - 1] = text;
    HeadTypeName[channel - 1] = name;
    const hx::HXHeadType* head = headFile_.HeadType(name);
    HeadFamily[channel - 1] = head ? head->typ : QString();
    return head != nullptr;
}

bool HXProtocol::HasFamily(const QString& family, const QString& channel) const
{
    if (channel == QLatin1String("x")) {
        for (int i = 0; i < ChannelCount; ++i)
            if (HeadFamily[i] == family)
                return true;
        return false;
    }
    const int c = channel.toInt();
    return c >= 1 && c <= 4 && HeadFamily[c - 1] == family;
}

QString HXProtocol::PollStep(const QVariant& a, const QVariant& b)
{
    Poll(a.isValid() ? a.toBool() : true, b.isValid() ? b.toBool() : false);
    return QString();
}

void HXProtocol::CloseLK()
{
    // The stops go out while the connection is still there.
    StopBuffered();
    if (EthernetMode && ctx_.network)
        ctx_.network->NetDisconnect();
}

void HXProtocol::StopBuffered()
{
    if (AnyChannelBusy())
        stopBusyHeads();
    else
        StopBuffered(false, false);
}

QByteArray HXProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    return command + suffix + kTerminator;
}

int16_t HXProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant&)
{
    return GetLKResult(reply, length);
}

int16_t HXProtocol::GetLKResult(QByteArray& reply, int16_t length) const
{
    return hx::GetLKResult(reply, length, ProtocolType);
}

// ---- ILkDirectAccess ------------------------------------------------------------------------

bool HXProtocol::DataAvailable()
{
    if (EthernetMode)
        return ctx_.network && ctx_.network->NetDataAvailable();
    return ctx_.ports && ctx_.ports->PortDataAvailable();
}

int16_t HXProtocol::netReadFrame(QByteArray& reply, const QVariant& logOption)
{
    bool log = true;
    QByteArray frame;
    if (!ctx_.network || ctx_.network->NetReceiveBytes(frame, log, logOption) <= 0)
        return 0;
    QByteArray further;
    if (hx::AnnouncesFurtherFrame(frame)) {
        log = true;
        ctx_.network->NetReceiveBytes(further, log, logOption);
    }
    hx::HXReply r;
    if (!hx::DecodeEthernetReply(frame, further, r))
        return 0;
    reply = r.text;
    lastStatus_ = r.status;
    return static_cast<int16_t>(std::min<qsizetype>(reply.size(), 32767));
}

int16_t HXProtocol::DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption, bool log, bool noCheck)
{
    if (EthernetMode)
        return netReadFrame(reply, logOption);
    if (!ctx_.ports)
        return 0;
    return ctx_.ports->ReceiveTelegram(reply, count, logOption, log, noCheck);
}

int16_t HXProtocol::ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok)
{
    reply.clear();
    if (EthernetMode || command.isEmpty() || !ctx_.ports)
        return 0;
    // The replies carry no check character: a leading section sign has nothing to switch off.
    const QByteArray text = command.startsWith('\xA7') ? command.mid(1) : command;
    // A command sent by hand meets the heads' reads as the window's own telegrams do: what
    // a busy head sent before it is listed, and its answer is its head's (the unit's, when
    // it names none), past the repeats that come meanwhile.
    telegramGoingOut();
    ctx_.ports->FlushInput();
    const QByteArray telegram = BuildTelegram(text, QByteArray());
    ctx_.ports->SendTelegram(telegram, telegram.size(), QVariant(log));
    HXCommand known{};
    const bool named = hx::CommandOf(text, known);
    const QByteArray channel = named ? text.mid(2, 1) : QByteArray();
    const bool head = channel.size() == 1 && QByteArray("1234x").contains(channel.at(0));
    const int expected = named && answersWithStatus(known, text.mid(3)) ? kStatusAnswer : 0;
    int16_t n = receiveOwn(head ? channel : QByteArray(), reply, expected, QVariant(log));
    if (n > 0) {
        n = GetLKResult(reply, n);
        ok = true;
    }
    return n;
}

int16_t HXProtocol::WriteData(const QByteArray& command, const QByteArray& suffix, bool log)
{
    if (!ctx_.ports)
        return -1;
    ctx_.ports->FlushInput();
    const QByteArray telegram = BuildTelegram(command, suffix);
    ctx_.ports->SendTelegram(telegram, telegram.size(), QVariant(log));
    return -1;
}

// ---- telegram layer -------------------------------------------------------------------------

HXProtocol::SerialTimeout::SerialTimeout(HXProtocol& p) : p_(p)
{
    if (!p_.EthernetMode && p_.ctx_.ports)
        previous_ = p_.ctx_.ports->GetTimeout();
}

HXProtocol::SerialTimeout::~SerialTimeout()
{
    if (previous_ > 0 && p_.ctx_.ports)
        p_.ctx_.ports->SetTimeout(previous_);
}

void HXProtocol::SerialTimeout::set(int16_t ms)
{
    if (ms > 0 && previous_ > 0)
        p_.ctx_.ports->SetTimeout(ms);
}

bool HXProtocol::connectionLost()
{
    if (!ctx_.network || ctx_.network->NetIsConnected())
        return false;
    // Said as a lost connection, not as a command the unit refused.
    QString text = Context().language
                       ? Context().language->Translate(QStringLiteral("Network"), QStringLiteral("NoConnection"),
                                                       QStringLiteral("Keine Verbindung zu <%s>"))
                       : QStringLiteral("Keine Verbindung zu <%s>");
    ShowLine(FormatArgs(text, ctx_.network->GetNetAddress()));
    return true;
}

bool HXProtocol::HXWrite(HXCommand command, QByteArray& channel, const QByteArray& data, bool log)
{
    LastCommand = hx::Info(command).text;
    if (!EthernetMode) {
        sendOnly(hx::CommandField(command, false) + channel, data, QVariant(log));
        return true;
    }
    QByteArray frame;
    const hx::FrameRefusal refusal = hx::EthernetFrame(command, channel, data, frame);
    switch (refusal) {
    case hx::FrameRefusal::None:
        break;
    case hx::FrameRefusal::NoCode:
        // Buffered and Auto have no frame on Ethernet: said so, rather than a read that
        // silently never starts.
        return refuse(Refusal::NoCommand);
    case hx::FrameRefusal::WordCount:
        return refuse(Refusal::TooManyWordsNet);
    case hx::FrameRefusal::Fixcode:
        return refuse(Refusal::NoFixcodeNet);
    case hx::FrameRefusal::BadData:
        return refuse(Refusal::BadTelegram);
    }
    if (!ctx_.network || connectionLost())
        return false;
    telegramGoingOut();
    ctx_.network->NetFlushInput();
    return ctx_.network->NetSend(frame, true, QVariant(log));
}

int16_t HXProtocol::receiveReply(QByteArray& reply, const QByteArray& channel, int expected,
                                 const QVariant& logOption)
{
    const int16_t n = receive(reply, logOption);
    if (EthernetMode || n <= 0 || reply.isEmpty() || reply.at(0) != '0')
        return n;
    const int header = hx::HeaderLength(ProtocolType);
    const int head = replyHead(reply);
    const bool own = expected != kByChannel && answers(head, channel);
    // The answer a status exchange waits for has no data: only a reply of its head that
    // carries some is a repeat, which may have been cut.
    if (!own || (expected == kStatusAnswer && reply.size() > header))
        expected = head >= 1 ? repeatLength_[head] : 0;
    // A good reply shorter than its known length ended at a "#" CR inside its data: the
    // rest follows at once.
    while (expected > 0 && reply.size() - header < expected) {
        QByteArray piece;
        if (receive(piece, logOption) <= 0)
            break;
        reply += kTerminator + (piece == " " ? QByteArray() : piece);
    }
    return static_cast<int16_t>(std::min<qsizetype>(reply.size(), 32767));
}

int HXProtocol::replyHead(const QByteArray& reply) const
{
    const int position = hx::ChannelPosition(ProtocolType);
    const int head = reply.size() > position ? reply.at(position) - '0' : 0;
    return head >= 1 && head <= 4 ? head : 0;
}

bool HXProtocol::answers(int head, const QByteArray& channel) const
{
    if (head == 0 || channel == "x")
        return true;
    if (channel.isEmpty())
        return !ChannelBusy[head - 1];
    return head == channel.toInt();
}

bool HXProtocol::dataWaiting()
{
    // Through the link, as every receive here goes.
    return ctx_.lk ? ctx_.lk->LkDataAvailable() : DataAvailable();
}

int16_t HXProtocol::receiveOwn(const QByteArray& channel, QByteArray& reply, int expected, const QVariant& logOption)
{
    QElapsedTimer waited;
    waited.start();
    const int timeout = replyTimeout();
    for (;;) {
        const int16_t n = receiveReply(reply, channel, expected, logOption);
        const int head = replyHead(reply);
        if (n <= 0 || (answers(head, channel) && !(expected == kStatusAnswer && readsReply(reply, head))))
            return n;
        // A read repeating on another head (or on this one, ahead of a status answer): its
        // reply goes to the list under that head.
        QByteArray unused;
        if (ChannelBusy[head - 1])
            takeReply(reply, true, unused);
        if (waited.elapsed() > timeout) {
            reply.clear();
            return 0;
        }
    }
}

bool HXProtocol::readsReply(const QByteArray& reply, int head) const
{
    const int header = hx::HeaderLength(ProtocolType);
    if (head < 1 || reply.size() <= header)
        return false;
    // A multi-tag head ends its read with the count of tags it found, a little after its
    // records: a count that comes late is still its read's.
    const bool count = reply.at(0) == 'F' && reply.size() == header + 4 && (MultiTag || MultiTagChannel[head]);
    return count || ChannelBusy[head - 1];
}

int HXProtocol::replyTimeout() const
{
    return EthernetMode ? (ctx_.network ? ctx_.network->GetNetTimeout() : 0) : (ctx_.ports ? ctx_.ports->GetTimeout() : 0);
}

void HXProtocol::telegramGoingOut()
{
    // What came while the link was busy is taken whole; heads that send faster than their
    // replies can be listed hold the telegram back no longer than a time-out.
    QByteArray unused;
    QElapsedTimer taking;
    taking.start();
    while (AnyChannelBusy() && dataWaiting() && taking.elapsed() < replyTimeout()) {
        QByteArray reply;
        if (receiveReply(reply, QByteArray(), kByChannel, QVariant(true)) <= 0)
            break;
        takeReply(reply, true, unused);
    }
}

int16_t HXProtocol::HXRead(HXCommand command, QByteArray& channel, const QByteArray& data, QByteArray& reply,
                           bool log, bool& ok, bool readAll, int expected)
{
    reply.clear();
    int16_t result = 0;
    if (expected <= 0 && answersWithStatus(command, data))
        expected = kStatusAnswer;
    if (!EthernetMode) {
        // The word count goes out as two hex digits. A fixcode write has type and length
        // in front and its code where a word read has the count: any bytes go.
        const bool fixcodeWrite = command == HXCommand::SX || command == HXCommand::AX || command == HXCommand::BX
                                  || command == HXCommand::EX;
        if (hx::Info(command).rule == hx::PayloadRule::Word && !fixcodeWrite && data.size() >= 6) {
            quint32 count = 0;
            if (!ParseHexDigits(QByteArrayView(data).sliced(4, 2), count))
                return 0;
        }
        LastCommand = hx::Info(command).text;
        sendOnly(hx::CommandField(command, false) + channel, data, QVariant(log));
        const int16_t n = receiveOwn(channel, reply, expected, QVariant(log));
        if (n > 0) {
            ok = true;
            result = GetLKResult(reply, n);
        }
    } else {
        const bool lostBefore = ctx_.network && !ctx_.network->NetIsConnected();
        if (!HXWrite(command, channel, data, log))
            return (hx::Info(command).code < 0 && !lostBefore) ? -4 : 0;
        QByteArray text;
        const int16_t n = receiveOwn(channel, text, expected, QVariant(log));
        if (n > 0) {
            ok = true;
            reply = text;
            result = hx::GetLKResult(reply, n, ProtocolType, lastStatus_);
            if (command == HXCommand::RP && result >= 2)
                reply.remove(0, 2);
        } else if (connectionLost()) {
            return 0;
        }
    }
    if (readAll)
        drainReplies(channel, false);
    return result;
}

QString HXProtocol::GetError(const QByteArray& reply, bool withPrefix) const
{
    if (reply.isEmpty())
        return QString();
    const QByteArray status = reply.left(1);
    const int position = hx::ChannelPosition(ProtocolType);
    const QString channel = reply.size() > position ? QString(QLatin1Char(reply.at(position))) : QStringLiteral("-");
    QString code = QString::fromLatin1(status);
    QString text = Translate(QStringLiteral("ERROR_QTB_") + code, QString());
    if (text.isEmpty())
        text = hx::BuiltInStatusText(status);
    if (text.isEmpty())
        text = Translate(QStringLiteral("ERROR_QTB"), QStringLiteral("Unbekannter Fehler."));
    // A status the unit's table cannot name is shown by its number.
    if (status == "?" && lastStatus_ > 15)
        code = QString::number(lastStatus_);
    const QString prefix = withPrefix ? Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS:")) : QString();
    return prefix + QLatin1Char(' ') + Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ')
           + channel + QStringLiteral(": ") + code + QStringLiteral(" - ") + text;
}

void HXProtocol::showError(const QByteArray& reply, int status, bool multiTagRule)
{
    QByteArray shown = reply;
    // Multi-tag heads answer "F" where a single head says "no tag".
    if (multiTagRule && MultiTag && status == 15 && !shown.isEmpty())
        shown[0] = '5';
    ShowLine(GetError(shown));
}

bool HXProtocol::drainReplies(const QByteArray& channel, bool report)
{
    if (channel != "x")
        return true;
    bool good = true;
    for (int i = 1; i < answersOnAll(); ++i) {
        QByteArray more;
        if (receive(more, QVariant(false)) <= 0)
            break;
        const int status = hx::SerialStatus(more);
        if (report && status != 0) {
            showError(more, status);
            good = false;
        }
    }
    return good;
}

QString HXProtocol::refusalText(Refusal refusal) const
{
    if (refusal == Refusal::PasswordInvalid)
        return Translate(QString::fromLatin1(PasswordInvalidKey()), PasswordInvalidText());
    const auto& entry = kRefusals[static_cast<int>(refusal)];
    return Translate(QString::fromLatin1(entry[0]), QString::fromUtf8(entry[1]));
}

bool HXProtocol::refuse(Refusal refusal)
{
    ShowLine(refusalText(refusal));
    return false;
}

// ---- tag operations ------------------------------------------------------------------------

bool HXProtocol::sendPasswordMode(const QByteArray& channel)
{
    if (channel == "x" || !PasswordPending || !HasFamily(QStringLiteral("I"), QString::fromLatin1(channel)))
        return true;
    QByteArray ch = channel, reply;
    bool ok = false;
    if (TagType == 3 && view_ && view_->PasswordChecked()) {
        quint32 value = 0;
        if (!ParsePassword(view_->PasswordText(), value))
            return refuse(Refusal::PasswordInvalid);
        HXRead(HXCommand::PM, ch, "1", reply, false, ok);
        HXRead(HXCommand::PS, ch, MKL(static_cast<qint32>(value)), reply, false, ok);
    } else {
        HXRead(HXCommand::PM, ch, "0", reply, false, ok);
    }
    PasswordPending = false;
    return true;
}

void HXProtocol::CheckMultitagMode()
{
    MultiTag = false;
    MultiTagChannel.fill(false);
    // Only VNB heads have the parameter: the others would answer status 4 to every read.
    auto readQV = [this](int ch) {
        if (ch < 1 || ch > 4 || HeadFamily[ch - 1] != QLatin1String("VNB"))
            return false;
        QByteArray channel = QByteArray::number(ch), reply;
        bool ok = false;
        const int16_t n = HXRead(HXCommand::RP, channel, parameterData("QV"), reply, false, ok);
        return n > 0 && reply.startsWith('M');
    };
    if (Channel == QLatin1String("x")) {
        for (int i = 1; i <= ChannelCount; ++i)
            MultiTagChannel[i] = readQV(i);
    } else {
        MultiTag = readQV(slot());
        MultiTagChannel[slot()] = MultiTag;
    }
}

void HXProtocol::ChangeTag(int tagType)
{
    if (!TagTypePending && (tagType < 0 || tagType == TagType))
        return;
    if (tagType < 0)
        tagType = TagType;
    SerialTimeout timeout(*this, 3000);
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    HXRead(HXCommand::CT, channel, QByteArray::number(tagType).rightJustified(2, '0'), reply, false, ok, true);
    TagTypePending = false;
}

void HXProtocol::SetTrigger(int sensor, int source, int mode)
{
    QByteArray channel, reply;
    bool ok = false;
    HXRead(HXCommand::TM, channel, QByteArray::number(sensor + 1) + QByteArray::number(source) + QByteArray::number(mode),
           reply, false, ok);
}

void HXProtocol::SetMultiplexed(bool on)
{
    QByteArray channel, reply;
    bool ok = false;
    HXRead(HXCommand::MM, channel, on ? "1" : "0", reply, false, ok);
}

bool HXProtocol::TriggerShown(int sensor, int channelCount)
{
    return sensor < 2 ? channelCount == 2 : channelCount >= 3;
}

bool HXProtocol::triggered(int sensor, const QString& channel) const
{
    return view_ && view_->TriggerMode(sensor) > 0 && QString::number(view_->TriggerSource(sensor)) == channel;
}

void HXProtocol::continuousCheck(int mode, int length)
{
    bool trigger = false;
    for (int sensor = 0; sensor < 4; ++sensor)
        trigger = trigger || (TriggerShown(sensor, ChannelCount) && triggered(sensor, Channel));
    if (mode != 1 && mode != 3 && !trigger)
        return;
    SetChannelBusy(true, false);
    if (Channel == QLatin1String("x"))
        repeatLength_.fill(length);
    else
        repeatLength_[slot()] = length;
}

void HXProtocol::stopBusyHeads()
{
    if (AnyChannelBusy())
        StopBuffered(true, true);
}

void HXProtocol::KeepBusyHeadsPolled()
{
    if (AnyChannelBusy() && ctx_.lk && !ctx_.lk->PollingEnabled())
        ctx_.lk->EnablePolling(true);
}

void HXProtocol::SetChannelBusy(bool state, bool allChannels)
{
    if (allChannels || Channel == QLatin1String("x")) {
        for (int i = 0; i < ChannelCount; ++i)
            ChannelBusy[i] = state;
    } else if (slot() >= 1) {
        ChannelBusy[slot() - 1] = state;
    }
    // A read that ends takes the length of its replies along.
    for (int i = 0; i < 4; ++i)
        if (!ChannelBusy[i])
            repeatLength_[i + 1] = 0;
    if (!ctx_.lk)
        return;
    if (state || !AnyChannelBusy())
        ctx_.lk->EnablePolling(state);
}

void HXProtocol::SetFixcodeMode(const QByteArray& channel, bool state)
{
    // The kind of read decides how its replies are shown: on "x" for every head, since
    // each answers with its own channel.
    if (channel == "x")
        FixcodeRead.fill(state);
    else
        FixcodeRead[std::clamp(channel.toInt(), 0, 4)] = state;
}

bool HXProtocol::AnyChannelBusy() const
{
    return std::any_of(ChannelBusy.begin(), ChannelBusy.end(), [](bool b) { return b; });
}

bool HXProtocol::readRefused(bool dataWords, int16_t mode, int count)
{
    HXCommand command{};
    if (!hx::ReadCommand(mode, !dataWords, command))
        return !refuse(Refusal::NoCommand);
    if (dataWords && count > (EthernetMode ? hx::kMaxEthernetWords : hx::kMaxSerialWords))
        return !refuse(EthernetMode ? Refusal::TooManyWordsNet : Refusal::TooManyWords);
    return false;
}

bool HXProtocol::ReadDataExt(bool dataWords, int16_t mode, int startWord, int count, QByteArray& channel,
                             int16_t tagType)
{
    HXCommand command{};
    if (readRefused(dataWords, mode, count) || !hx::ReadCommand(mode, !dataWords, command))
        return false;
    SetFixcodeMode(channel, !dataWords);
    if (!sendPasswordMode(channel))
        return false;
    ChangeTag(tagType);
    return HXWrite(command, channel, dataWords ? hexWordData(startWord, count) : QByteArray(), false);
}

void HXProtocol::ReadData(bool words)
{
    SetBusy(true);
    const int count = TagType == 10 ? 0 : WordCount;
    if (words && TagType == 2) {
        ShowMessage(40);
    } else if (!words && TagType == 1) {
        ShowMessage(41);
    } else if (!readRefused(words, OperationMode, count)) {
        CheckMultitagMode();
        QByteArray channel = Channel.toLatin1();
        if (ReadDataExt(words, OperationMode, StartWord, count, channel)) {
            SerialTimeout timeout(*this, OperationMode != 3 ? 5000 : 0);
            // A QTX10 read names no count: the unit answers its three words. Multi-tag
            // records have no length of their own.
            const bool multi = std::any_of(MultiTagChannel.begin(), MultiTagChannel.end(), [](bool m) { return m; });
            const int expected = words && !multi ? (count == 0 ? 12 : count * 4) : 0;
            const int calls = Channel == QLatin1String("x") ? answersOnAll() : 1;
            for (int i = 0; i < calls; ++i) {
                Poll(true, true, expected);
                if (LastReply.isEmpty())
                    break;
            }
            continuousCheck(OperationMode, expected);
        }
    }
    SetBusy(false);
}

QByteArray HXProtocol::Poll(bool show, bool wait, int expected)
{
    LastReply.clear();
    if (merge_ && !wait)
        return QByteArray();
    // The timer takes what has come; a reply that never comes is not waited for.
    if (!wait && !dataWaiting())
        return QByteArray();
    QByteArray collected;
    const QByteArray own = Channel.toLatin1();
    for (;;) {
        QByteArray reply;
        // The timer takes every head's replies; a read waits for its own head's.
        const int16_t n = wait ? receiveOwn(own, reply, expected, QVariant(false))
                               : receiveReply(reply, QByteArray(), kByChannel, QVariant(true));
        LastReply = n > 0 ? reply : QByteArray();
        if (n <= 0)
            break;
        if (!takeReply(reply, show, collected))
            break;
        // The reply waited for ends the loop, except that a multi-tag head's further
        // records and its count follow a little later (bounded by the time-out); the timer
        // takes every reply that is there.
        const bool multi = MultiTag || MultiTagChannel[replyHead(reply)];
        if (!(wait ? show && multi && OperationMode != 3 : dataWaiting()))
            break;
    }
    return collected;
}

bool HXProtocol::takeReply(const QByteArray& reply, bool show, QByteArray& collected)
{
    const int header = hx::HeaderLength(ProtocolType);
    const int position = hx::ChannelPosition(ProtocolType);
    const int ch = replyHead(reply);
    const bool multi = MultiTag || MultiTagChannel[ch];
    const int status = hx::SerialStatus(reply);
    if (reply.at(0) == kSYN || reply.size() <= header) {
        // An error the user has asked to see ends the read: no record follows it.
        const bool listed = ReadHeadError() && reply.at(0) != kSYN && status != 0;
        if (listed && show)
            showError(reply, status);
        return !listed;
    }
    const QByteArray headPrefix = ToCp1252(Translate(QStringLiteral("Head"), QStringLiteral("Kopf"))) + ' '
                                  + QByteArray(1, reply.at(position)) + ": ";
    if (reply.at(0) == 'F' && reply.size() == header + 4 && multi) {
        if (show)
            ShowLine(QString::fromLatin1(headPrefix) + QStringLiteral("Tags found: ")
                     + QString::number(reply.mid(header, 4).toInt(nullptr, 16)));
        return false;
    }
    if (reply.at(0) == 'B' && reply.size() >= 3) {
        if (show)
            ShowLine(QString::fromLatin1(headPrefix) + QStringLiteral("Diag: ") + QString::fromLatin1(reply.mid(header).trimmed()));
        return true;
    }
    // A failure that carries data is not listed (one without data is, above).
    if (status != 0)
        return false;
    const QByteArray data = reply.mid(header);
    if (multi) {
        // One tag of a multi-tag head: UII length (2 bytes), UII, 2 bytes, then TID or data.
        const int uii = data.size() >= 2 ? (static_cast<uchar>(data.at(0)) << 8 | static_cast<uchar>(data.at(1))) : 0;
        QByteArray prefix = headPrefix;
        QByteArray rest;
        if (data.size() >= 2 && uii <= data.size() - 2) {
            prefix += "UII: " + data.mid(2, uii).toHex(' ').toUpper() + ' ';
            if (data.size() - 2 > uii) {
                const bool fixcodeRead = LastCommand.size() == 2 && LastCommand.at(1) == 'F';
                prefix += fixcodeRead ? "TID: " : "DATA: ";
            }
            rest = data.mid(2 + uii + 2);
        }
        if (show && View())
            View()->ShowData(2, prefix, rest);
        else if (!show)
            collected += rest;
        return true;
    }
    // The reply's own channel decides the cut: its read, its tag type.
    const Record& rec = Records[ch];
    const qint32 address = ch == 0 ? DisplayAddress : rec.address;
    const int length = ch == 0 ? DisplayLength : rec.length;
    const int tagType = ch == 0 ? TagType : rec.tagType;
    const int block = BlockSizeOf(tagType);
    const bool fixcode = FixcodeRead[ch];
    const int offset = fixcode ? 0 : static_cast<int>(address % block);
    QByteArray shown = data.mid(offset);
    if (!fixcode && (length > 0 || (tagType != 0 && tagType != 3)))
        shown = shown.left(length);
    if (show) {
        if (!fixcode && ctx_.lk)
            ctx_.lk->LkPutData(LinkItem::LastData, shown);   // exactly the bytes shown
        if (View())
            View()->ShowData(2, headPrefix, shown);
    } else {
        collected += shown;
    }
    return true;
}

bool HXProtocol::WriteTag(int16_t tagType, int16_t mode, bool fixcode, int32_t address, int length,
                          const QByteArray& data, const QByteArray& channelIn)
{
    const bool fixcodeWrite = fixcode && tagType == 10;
    HXCommand command{};
    if (!hx::WriteCommand(mode, fixcodeWrite, command))
        return FailWrite(refusalText(Refusal::NoCommand), QByteArray());
    if (address < 0 || address > 0xFFFF || length <= 0)
        return FailWrite(QString(), QByteArray());
    stopBusyHeads();

    QByteArray bytes = data.left(length);
    bytes.append(QByteArray(length - bytes.size(), '\0'));
    const int block = BlockSizeOf(tagType);
    const int startWord = (address / block) * (block / 4);
    int count = ((address % block) + length + block - 1) / block * (block / 4);
    if (tagType == 10 && count >= 2)
        count = 3;
    const int limit = EthernetMode ? hx::kMaxEthernetWords : hx::kMaxSerialWords;
    if (!fixcodeWrite && count > limit)
        return FailWrite(refusalText(EthernetMode ? Refusal::TooManyWordsNet : Refusal::TooManyWords), QByteArray());
    if (fixcodeWrite && EthernetMode)
        return FailWrite(refusalText(Refusal::NoFixcodeNet), QByteArray());

    const bool noReadBack = channelIn == "x" || tagType == 60;
    if (!fixcodeWrite && noReadBack && (address % block != 0 || length % block != 0))
        // Nothing is read back here: the rest of a block would be overwritten with filler.
        return FailWrite(FormatArgs(refusalText(Refusal::WholeBlocks), QString::number(block)), QByteArray());

    SetBusy(true);
    SerialTimeout timeout(*this);
    auto finish = [&](bool result) {
        SetBusy(false);
        return result;
    };

    const QString savedChannel = Channel;
    Channel = QString::fromLatin1(channelIn);
    CheckMultitagMode();
    QByteArray image = bytes;
    if (!fixcodeWrite && !noReadBack) {
        // The blocks are read first, so the bytes around the data stay the tag's own.
        merge_ = true;
        QByteArray channel = channelIn;
        const int savedSlot = slot();
        const Record savedRec = Records[savedSlot];
        const bool savedFix = FixcodeRead[savedSlot];
        Records[savedSlot] = Record{tagType, mode, startWord * 4, count * 4};
        const qint32 savedAddress = DisplayAddress;
        const int savedLength = DisplayLength;
        DisplayAddress = startWord * 4;
        DisplayLength = count * 4;
        QByteArray old;
        const bool readBack = ReadDataExt(true, mode, startWord, count, channel, tagType);
        if (readBack) {
            timeout.set(2000);
            old = Poll(false, true, count * 4);
        }
        Records[savedSlot] = savedRec;
        FixcodeRead[savedSlot] = savedFix;
        DisplayAddress = savedAddress;
        DisplayLength = savedLength;
        merge_ = false;
        if (old.size() != count * 4) {
            // Without the tag's own bytes around the data, the blocks would be written with
            // bytes nobody read: nothing is written.
            const QByteArray failed = LastReply;
            // A read-back in Buffered, Auto or Enhanced goes on by itself on the head (a
            // unit may answer it only once a tag comes): it ends with the write, before
            // the refusal is shown.
            if (readBack && mode != 0)
                StopBuffered(true, false);
            Channel = savedChannel;
            FailWrite(QString(), hx::SerialStatus(failed) != 0 ? failed : QByteArray());
            return finish(false);
        }
        const int offset = address % block;
        image = old.left(offset) + bytes + old.mid(offset + length);
    }

    QByteArray channel = channelIn;
    if (!sendPasswordMode(channel)) {
        Channel = savedChannel;
        return finish(false);
    }
    ChangeTag(tagType);
    QByteArray payload;
    if (fixcodeWrite) {
        payload = (bytes + QByteArray(5, '\0')).left(5);
    } else {
        image = image.left(count * 4);
        image.append(QByteArray(count * 4 - image.size(), '\0'));
        payload = hexWordData(startWord, count) + image;
    }
    QByteArray reply;
    bool ok = false;
    const int16_t n = HXRead(command, channel, payload, reply, false, ok);
    bool good = ok && n >= 0;
    if (!good)
        FailWrite(QString(), n < 0 ? reply : QByteArray());
    // Every head answers on "x"; each refusal is reported.
    good = drainReplies(channel, true) && good;
    continuousCheck(mode, 0);
    Channel = savedChannel;
    return finish(good);
}

void HXProtocol::StopBuffered(bool force, bool allChannels)
{
    const bool polling = ctx_.lk && ctx_.lk->PollingEnabled();
    if (!force && !polling)
        return;
    const QByteArray channel = allChannels ? QByteArray("x") : Channel.toLatin1();
    const bool sent = sendQuit(channel);
    // A head left reading where the stop could not go (the unit's connection is gone) is
    // not forgotten: it would go on repeating on the next connection, unlisted, and a later
    // exchange would take its repeats.
    if (EthernetMode && !unit_.isEmpty()) {
        std::array<bool, 4>& owed = quitOwed_[unit_];
        for (int head = 1; head <= 4; ++head)
            if (answers(head, channel))
                owed[head - 1] = !sent && (ChannelBusy[head - 1] || owed[head - 1]);
        if (std::none_of(owed.begin(), owed.end(), [](bool b) { return b; }))
            quitOwed_.remove(unit_);
    }
    if (allChannels)
        SetChannelBusy(false, true);
}

bool HXProtocol::sendQuit(const QByteArray& channelIn)
{
    QByteArray channel = channelIn;
    if (!HXWrite(HXCommand::QU, channel, QByteArray(), false))
        return false;
    // Replies of the stopped read may still be ahead of the answers to "QU", and on "x"
    // every head answers: all are taken here, so the next command reads its own reply.
    const int header = hx::HeaderLength(ProtocolType);
    const int wanted = channel == "x" ? answersOnAll() : 1;
    for (int got = 0, passed = 0; got < wanted && passed <= repliesAhead();) {
        QByteArray reply;
        if (receiveReply(reply, channel, kStatusAnswer, QVariant(false)) <= 0)
            break;
        const int head = replyHead(reply);
        if (answers(head, channel)) {
            // The answer, or a repeat of the read it ends.
            reply.size() <= header ? ++got : ++passed;
            continue;
        }
        ++passed;
        // Another head reads on: its reply is listed, as the timer would list it.
        QByteArray unused;
        if (ChannelBusy[head - 1])
            takeReply(reply, true, unused);
    }
    return true;
}

void HXProtocol::StopCurrentRead()
{
    Exchanges().NoteStop();
    StopChannel(Channel);
}

void HXProtocol::StopChannel(const QString& channel)
{
    const QString current = Channel;
    Channel = channel;
    StopBuffered(true, false);
    SetChannelBusy(false, false);
    Channel = current;
}

bool HXProtocol::ReadConfiguration(const QByteArray& channelIn, QByteArray& control, QByteArray& protection)
{
    control.clear();
    protection.clear();
    QByteArray channel = channelIn, reply;
    bool ok = false;
    const QByteArray one = EthernetMode ? QByteArray("\x00\x01", 2) : QByteArray("1");
    const QByteArray two = EthernetMode ? QByteArray("\x00\x02", 2) : QByteArray("2");
    int16_t n = HXRead(HXCommand::SG, channel, two, reply, false, ok, false, krconfig::kWordBytes);
    if (n == krconfig::kWordBytes)
        control = reply;
    else if (n < 0 && ReadHeadError())
        ShowLine(GetError(reply));
    n = HXRead(HXCommand::SG, channel, one, reply, false, ok, false, krconfig::kWordBytes);
    if (n == krconfig::kWordBytes)
        protection = reply;
    else if (n < 0 && ReadHeadError())
        ShowLine(GetError(reply));
    return !control.isEmpty() || !protection.isEmpty();
}

bool HXProtocol::prepareConfiguration()
{
    if (!sendPasswordMode(Channel.toLatin1()))
        return false;
    ChangeTag(-1);
    return true;
}

QList<QByteArray> HXProtocol::channelsOfCurrent() const
{
    if (ChannelIsSingle())
        return {Channel.toLatin1()};
    QList<QByteArray> channels;
    for (int ch = 1; ch <= ChannelCount; ++ch)
        channels.append(QByteArray::number(ch));
    return channels;
}

void HXProtocol::ListConfiguration(const krconfig::LineTexts& texts)
{
    if (!prepareConfiguration())
        return;
    const QString head = Translate(QStringLiteral("Head"), QStringLiteral("Kopf"));
    for (const QByteArray& ch : channelsOfCurrent()) {
        QByteArray control, protection;
        ReadConfiguration(ch, control, protection);
        for (QString line : krconfig::ConfigurationLines(control, protection, texts)) {
            // Each block's header names the head it belongs to.
            if (line == texts.control.value(0) || line == texts.protection.value(0))
                line = head + QLatin1Char(' ') + QString::fromLatin1(ch) + QStringLiteral(": ") + line;
            ShowLine(line);
        }
    }
}

bool HXProtocol::ConfigurationForDialog(QByteArray& control, QByteArray& protection)
{
    control.clear();
    protection.clear();
    if (!prepareConfiguration())
        return false;
    for (const QByteArray& ch : channelsOfCurrent()) {
        QByteArray c, p;
        if (ReadConfiguration(ch, c, p) && control.isEmpty() && protection.isEmpty()) {
            control = c;
            protection = p;
        }
    }
    return true;
}

bool HXProtocol::WriteConfiguration(const QByteArray& control, const QByteArray& protection)
{
    if (control.size() != krconfig::kWordBytes || protection.size() != krconfig::kWordBytes) {
        ShowMessage(61);
        return false;
    }
    if (!sendPasswordMode(Channel.toLatin1()))
        return false;
    ChangeTag(-1);
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    const QByteArray one = EthernetMode ? QByteArray("\x00\x01", 2) : QByteArray("1");
    const QByteArray two = EthernetMode ? QByteArray("\x00\x02", 2) : QByteArray("2");
    bool good = true;
    for (const auto& [selector, word] : {std::pair(one, protection), std::pair(two, control)}) {
        ok = false;
        const int16_t n = HXRead(HXCommand::SC, channel, selector + word, reply, false, ok);
        if (!ok || n < 0) {
            good = false;
            ShowLine(ok ? GetError(reply) : QString());
        }
    }
    if (!good)
        ShowMessage(4);
    return good;
}

bool HXProtocol::ChangePassword(const QString& oldText, const QString& newText)
{
    quint32 oldValue = 0, newValue = 0;
    if (!ParsePassword(oldText, oldValue) || !ParsePassword(newText, newValue))
        return refuse(Refusal::PasswordInvalid);
    StopCurrentRead();
    ChangeTag(-1);
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    const int16_t n = HXRead(HXCommand::PC, channel, MKL(static_cast<qint32>(oldValue)) + MKL(static_cast<qint32>(newValue)),
                             reply, false, ok);
    if (ok && n >= 0)
        return true;
    return FailWrite(QString(), n < 0 ? reply : QByteArray());
}

void HXProtocol::GetTagState(ITagStateView& view)
{
    TagStateDisplay failed;
    SetBusy(true);
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    const int16_t n = HXRead(HXCommand::SF, channel, QByteArray(), reply, false, ok);
    if (n < 4) {
        if (n < 0 && ReadHeadError())
            ShowLine(GetError(reply));
        view.ShowTagState(failed);
        SetBusy(false);
        return;
    }
    const QString idCode = QString::fromLatin1(reply.toHex().toUpper());
    failed.idCode = idCode;
    const int16_t m = HXRead(HXCommand::SR, channel, hexWordData(kStateWord, kStateWords), reply, false, ok,
                             false, kStateWords * 4);
    TagStateBlock block;
    // Only a whole state record of a good reply is decoded.
    if (m >= TagStateBlock::kLength && TagStateBlock::Decode(reply.left(TagStateBlock::kLength).toHex(), block)) {
        view.ShowTagState(block.Display(idCode, today()));
    } else {
        if (m < 0 && ReadHeadError())
            ShowLine(GetError(reply));
        view.ShowTagState(failed);
    }
    SetBusy(false);
}

// ---- data items ------------------------------------------------------------------------------

void HXProtocol::LoadSettings(const char* section)
{
    SettingsSection s(ctx_, section);
    const int tag = static_cast<int>(s.Number("Tagcode", "99"));
    const int length = static_cast<int>(s.Number("DataLength", "12"));
    Record r;
    r.tagType = static_cast<int16_t>(tag == 0 ? 99 : tag);
    r.mode = static_cast<int16_t>(s.Number("OperationMode", "0"));
    r.address = static_cast<qint32>(s.Number("StartAddress", "0")) & 0xFFFF;
    r.length = length == 0 ? 12 : length;
    Records.fill(r);
    DataRepresentation = static_cast<int16_t>(s.Number("DataRepresentation", "0"));
    PasswordFlag = s.Number("PasswordFlag", "0") != 0;
    PutData(KRItem::HeadNumber, s.Read("HeadNumber", QStringLiteral("1")).trimmed());
}

void HXProtocol::SaveSettings(const char* section) const
{
    SettingsSection s(ctx_, section);
    s.Write("Tagcode", TagType);
    s.Write("OperationMode", OperationMode);
    s.Write("StartAddress", DisplayAddress);
    s.Write("DataLength", DisplayLength);
    s.Write("DataRepresentation", DataRepresentation);
    s.Write("PasswordFlag", PasswordFlag ? -1 : 0);
    if (!Channel.isEmpty())
        s.Write("HeadNumber", Channel);
}

void HXProtocol::recalc()
{
    BlockSize = BlockSizeOf(TagType);
    StartWord = (DisplayAddress / BlockSize) * (BlockSize / 4);
    WordCount = ((DisplayAddress % BlockSize) + DisplayLength + BlockSize - 1) / BlockSize * (BlockSize / 4);
}

bool HXProtocol::PutData(int16_t id, const QVariant& value)
{
    auto store = [this](auto apply) {
        if (Channel == QLatin1String("x"))
            for (Record& r : Records)
                apply(r);
        else
            apply(Records[slot()]);
    };
    switch (id) {
    case KRItem::OperationMode:
        OperationMode = static_cast<int16_t>(value.toInt());
        store([this](Record& r) { r.mode = OperationMode; });
        return true;
    case KRItem::StartAddress:
        DisplayAddress = static_cast<qint32>(value.toLongLong() & 0xFFFF);
        store([this](Record& r) { r.address = DisplayAddress; });
        PutData(KRItem::DataLength, DisplayLength);
        return true;
    case KRItem::DataLength:
        DisplayLength = std::max(0, value.toInt());
        recalc();
        store([this](Record& r) { r.length = DisplayLength; });
        return true;
    case KRItem::DataRepresentation:
        DataRepresentation = static_cast<int16_t>(value.toInt());
        return true;
    case KRItem::Tagcode:
        TagTypePending = true;
        TagType = static_cast<int16_t>(value.toInt());
        store([this](Record& r) { r.tagType = TagType; });
        recalc();
        return true;
    case KRItem::PasswordFlag:
        PasswordPending = true;
        PasswordFlag = value.toBool();
        return true;
    case KRItem::HeadNumber: {
        PasswordPending = TagTypePending = true;
        Channel = value.toString();
        const Record r = Records[slot()];
        if (Channel == QLatin1String("x"))
            Records.fill(r);
        TagType = r.tagType;
        OperationMode = r.mode;
        DisplayAddress = r.address;
        DisplayLength = r.length;
        recalc();
        return true;
    }
    default:
        return false;
    }
}

bool HXProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case KRItem::OperationMode: value = static_cast<int>(OperationMode); return true;
    case KRItem::StartAddress: value = static_cast<int>(DisplayAddress); return true;
    case KRItem::DataLength: value = DisplayLength; return true;
    case KRItem::DataRepresentation: value = static_cast<int>(DataRepresentation); return true;
    case KRItem::Tagcode: value = static_cast<int>(TagType); return true;
    case KRItem::PasswordFlag: value = PasswordFlag; return true;
    case KRItem::HeadNumber: value = Channel; return true;
    case KRItem::ModeFrameEnabled:
    case KRItem::HeadFrameVisible: value = true; return true;
    case KRItem::InductiveHead: value = HasFamily(QStringLiteral("I"), Channel); return true;
    case KRItem::MicrowaveHead: value = HasFamily(QStringLiteral("M"), Channel); return true;
    case KRItem::ZLBHead: value = HasFamily(QStringLiteral("ZLB"), Channel); return true;
    case KRItem::RMBHead: value = HasFamily(QStringLiteral("RMB"), Channel); return true;
    case KRItem::RMB1Head: value = HasFamily(QStringLiteral("RMB1"), Channel); return true;
    case KRItem::VNBHead: value = HasFamily(QStringLiteral("VNB"), Channel); return true;
    case KRItem::RMB2Head: value = HasFamily(QStringLiteral("RMB2"), Channel); return true;
    default: return false;
    }
}

} // namespace orvid
