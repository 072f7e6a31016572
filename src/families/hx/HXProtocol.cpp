#include "HXProtocol.h"

#include "families/common/DataItems.h"
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
#include <QDir>

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

void HXProtocol::Init(bool ethernet)
{
    EthernetMode = ethernet;
    BlockSize = BlockSizeOf(TagType);
    MultiTag = false;
    commandList_.clear();
    if (!ethernet) {
        if (ctx_.ports) {
            ctx_.ports->SetFramingType(0);
            ctx_.ports->SetLinkProtocol(kTerminator);
            ctx_.ports->SetTimeout(kSerialTimeout);
        }
        int id = 1;
        for (const char* text : kCommandList)
            commandList_.Add(id++, QString::fromLatin1(text));
    }
    if (headFile_.Path().isEmpty())
        headFile_ = hx::HXHeadFile(hx::HXHeadFile::FindFile(QCoreApplication::applicationDirPath()));
    ChannelBusy.fill(false);
}

bool HXProtocol::Check()
{
    UnitPicture.clear();
    ChannelCount = 4;
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
            ChannelCount = std::clamp(unit->headCount, 1, 4);
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
            for (int i = 0; i < ChannelCount; ++i) {
                QByteArray line;
                receive(line, QVariant(false));
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
                cutAfter(page, QStringLiteral("RFID CH") + QString::number(i + 1));
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
        const QByteArray pad = EthernetMode ? QByteArray(1, '\0') : QByteArray();
        QByteArray reply;
        bool ok = false;
        const int16_t n = HXRead(HXCommand::RP, channel, pad + "URC" + QByteArray(2, '\0'), reply, false, ok);
        if (n < 2 || reply.size() < 2 || (static_cast<uchar>(reply.at(0)) << 8 | static_cast<uchar>(reply.at(1))) != 0)
            continue;
        const int position = chooseProfile ? chooseProfile(i, *head) : 0;
        if (position <= 0 || position > head->profiles->size())
            continue;
        const qint32 id = head->profiles->at(position - 1).id;
        QByteArray data = pad + "URC" + QByteArray("\x00\x02", 2);
        data.append(static_cast<char>((id >> 8) & 0xFF)).append(static_cast<char>(id & 0xFF));
        const int16_t w = HXRead(HXCommand::WP, channel, data, reply, false, ok);
        if (w < 0)
            FailWrite(QString(), reply);
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
    if (EthernetMode && ctx_.network)
        ctx_.network->NetDisconnect();
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
    ctx_.ports->FlushInput();
    QByteArray text = command;
    bool noCheck = false;
    if (text.at(0) == '\xA7') {
        text.remove(0, 1);
        noCheck = true;
    }
    const QByteArray telegram = BuildTelegram(text, QByteArray());
    ctx_.ports->SendTelegram(telegram, static_cast<int16_t>(std::min<qsizetype>(telegram.size(), 32767)), QVariant(log));
    int16_t count = 0;
    int16_t n = ctx_.ports->ReceiveTelegram(reply, count, QVariant(log), true, noCheck);
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
    ctx_.ports->SendTelegram(telegram, static_cast<int16_t>(std::min<qsizetype>(telegram.size(), 32767)), QVariant(log));
    return -1;
}

// ---- telegram layer -------------------------------------------------------------------------

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
        ShowLine(Translate(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl.")));
        return false;
    case hx::FrameRefusal::WordCount:
        ShowLine(Translate(QStringLiteral("TooManyWordsNet"),
                           QStringLiteral("Fehler: Über Ethernet höchstens 15 Wörter (60 Bytes) in einem Telegramm.")));
        return false;
    case hx::FrameRefusal::Fixcode:
        ShowLine(Translate(QStringLiteral("NoFixcodeNet"),
                           QStringLiteral("Fehler: Fixcodes können über Ethernet nicht geschrieben werden.")));
        return false;
    case hx::FrameRefusal::BadData:
        ShowLine(Translate(QStringLiteral("BadTelegram"), QStringLiteral("Fehler: Ungültige Telegrammdaten.")));
        return false;
    }
    if (!ctx_.network || connectionLost())
        return false;
    ctx_.network->NetFlushInput();
    return ctx_.network->NetSend(frame, true, QVariant(log));
}

int16_t HXProtocol::receiveReply(QByteArray& reply, int expected, const QVariant& logOption)
{
    const int16_t n = receive(reply, logOption);
    if (EthernetMode || expected <= 0 || n <= 0 || reply.isEmpty() || reply.at(0) != '0')
        return n;
    // A good reply shorter than its known length ended at a "#" CR inside its data: the
    // rest follows at once.
    const int header = hx::HeaderLength(ProtocolType);
    while (reply.size() - header < expected) {
        QByteArray piece;
        if (receive(piece, logOption) <= 0)
            break;
        reply += kTerminator + (piece == " " ? QByteArray() : piece);
    }
    return static_cast<int16_t>(std::min<qsizetype>(reply.size(), 32767));
}

int16_t HXProtocol::HXRead(HXCommand command, QByteArray& channel, const QByteArray& data, QByteArray& reply,
                           bool log, bool& ok, bool readAll, int expected)
{
    reply.clear();
    int16_t result = 0;
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
        if (expected > 0) {
            sendOnly(hx::CommandField(command, false) + channel, data, QVariant(log));
            const int16_t n = receiveReply(reply, expected, QVariant(log));
            if (n > 0) {
                ok = true;
                result = GetLKResult(reply, n);
            }
        } else {
            bool got = false;
            result = sendCommand(hx::CommandField(command, false) + channel + data, reply, QVariant(log), got);
            ok = ok || got;
        }
    } else {
        const bool lostBefore = ctx_.network && !ctx_.network->NetIsConnected();
        if (!HXWrite(command, channel, data, log))
            return (hx::Info(command).code < 0 && !lostBefore) ? -4 : 0;
        QByteArray text;
        const int16_t n = netReadFrame(text, QVariant(log));
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
    if (channel == "x" && readAll) {
        QByteArray scratch;
        for (int i = 1; i < ChannelCount; ++i)
            if (receive(scratch, QVariant(false)) <= 0)
                break;
    }
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

void HXProtocol::showError(const QByteArray& reply, int status)
{
    QByteArray shown = reply;
    // Multi-tag heads answer "F" where a single head says "no tag".
    if (MultiTag && status == 15 && !shown.isEmpty())
        shown[0] = '5';
    ShowLine(GetError(shown));
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
        if (!ParsePassword(view_->PasswordText(), value)) {
            ShowLine(Translate(QString::fromLatin1(PasswordInvalidKey()), PasswordInvalidText()));
            return false;
        }
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
    if (!HasFamily(QStringLiteral("VNB"), QStringLiteral("x")))
        return;
    const QByteArray pad = EthernetMode ? QByteArray(1, '\0') : QByteArray();
    auto readQV = [&](const QByteArray& channelText) {
        QByteArray channel = channelText, reply;
        bool ok = false;
        const int16_t n = HXRead(HXCommand::RP, channel, pad + "UQV" + QByteArray(2, '\0'), reply, false, ok);
        return n > 0 && reply.startsWith('M');
    };
    if (Channel == QLatin1String("x")) {
        for (int i = 1; i <= ChannelCount; ++i)
            MultiTagChannel[i] = readQV(QByteArray::number(i));
    } else {
        // The unit answers for the channel the head parameter is read on.
        MultiTag = readQV(Channel.toLatin1());
        MultiTagChannel[slot()] = MultiTag;
    }
}

void HXProtocol::ChangeTag(int tagType)
{
    if (!TagTypePending && (tagType < 0 || tagType == TagType))
        return;
    if (tagType < 0)
        tagType = TagType;
    const int16_t previous = (!EthernetMode && ctx_.ports) ? ctx_.ports->SetTimeout(3000) : 0;
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    HXRead(HXCommand::CT, channel, QByteArray::number(tagType).rightJustified(2, '0'), reply, false, ok, true);
    TagTypePending = false;
    if (previous > 0 && ctx_.ports)
        ctx_.ports->SetTimeout(previous);
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

bool HXProtocol::triggered(int sensor, const QString& channel) const
{
    return view_ && view_->TriggerMode(sensor) > 0 && QString::number(view_->TriggerSource(sensor)) == channel;
}

void HXProtocol::SetChannelBusy(bool state, bool allChannels)
{
    if (allChannels || Channel == QLatin1String("x")) {
        for (int i = 0; i < ChannelCount; ++i)
            ChannelBusy[i] = state;
    } else if (slot() >= 1) {
        ChannelBusy[slot() - 1] = state;
    }
    if (!ctx_.lk)
        return;
    if (state || !AnyChannelBusy())
        ctx_.lk->EnablePolling(state);
}

bool HXProtocol::AnyChannelBusy() const
{
    return std::any_of(ChannelBusy.begin(), ChannelBusy.end(), [](bool b) { return b; });
}

void HXProtocol::ReadData(bool words)
{
    SetBusy(true);
    if (words && TagType == 2) {
        ShowMessage(40);
    } else if (!words && TagType == 1) {
        ShowMessage(41);
    } else {
        const int count = TagType == 10 ? 0 : WordCount;
        const int limit = EthernetMode ? hx::kMaxEthernetWords : hx::kMaxSerialWords;
        HXCommand command{};
        if (!hx::ReadCommand(OperationMode, !words, command)) {
            ShowLine(Translate(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl.")));
        } else if (words && count > limit) {
            ShowLine(EthernetMode ? Translate(QStringLiteral("TooManyWordsNet"),
                                              QStringLiteral("Fehler: Über Ethernet höchstens 15 Wörter (60 Bytes) in einem Telegramm."))
                                  : Translate(QStringLiteral("TooManyWords"),
                                              QStringLiteral("Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm.")));
        } else if (sendPasswordMode(Channel.toLatin1())) {
            CheckMultitagMode();
            ChangeTag(-1);
            // The kind of read decides how its replies are shown: on "x" for every head.
            if (Channel == QLatin1String("x"))
                FixcodeRead.fill(!words);
            else
                FixcodeRead[slot()] = !words;
            expected_ = words ? (count == 0 ? 12 : count * 4) : 0;
            QByteArray channel = Channel.toLatin1();
            if (HXWrite(command, channel, words ? hexWordData(StartWord, count) : QByteArray(), false)) {
                const int16_t previous = (!EthernetMode && OperationMode != 3 && ctx_.ports) ? ctx_.ports->SetTimeout(5000) : 0;
                const int calls = Channel == QLatin1String("x") ? ChannelCount : 1;
                for (int i = 0; i < calls; ++i) {
                    LastReply.clear();
                    Poll(true, true);
                    if (LastReply.isEmpty())
                        break;
                }
                if (previous > 0 && ctx_.ports)
                    ctx_.ports->SetTimeout(previous);
                // The sensors shown for the unit's channel count decide whether a trigger
                // keeps the channel reading.
                const int first = ChannelCount >= 3 ? 2 : 0;
                if (OperationMode == 1 || OperationMode == 3 || triggered(first, Channel) || triggered(first + 1, Channel))
                    SetChannelBusy(true, false);
            }
        }
    }
    SetBusy(false);
}

QByteArray HXProtocol::Poll(bool show, bool wait)
{
    if (merge_ && !wait)
        return QByteArray();
    QByteArray collected;
    for (;;) {
        QByteArray reply;
        int16_t n = receiveReply(reply, expected_, QVariant(!wait));
        LastReply = n > 0 ? reply : QByteArray();
        const int header = hx::HeaderLength(ProtocolType);
        const int position = hx::ChannelPosition(ProtocolType);
        int ch = reply.size() > position ? reply.at(position) - '0' : 0;
        if (ch < 0 || ch > 4)
            ch = 0;
        const int status = EthernetMode && n > 0 ? lastStatus_ : hx::SerialStatus(reply);
        if (n <= 0)
            break;
        if (reply.at(0) == kSYN || reply.size() <= header) {
            if (ReadHeadError() && show && reply.at(0) != kSYN && status != 0)
                showError(reply, status);
            if (wait || !DataAvailable())
                break;
            continue;
        }
        if (reply.at(0) == 'F' && reply.size() == header + 4 && (MultiTag || MultiTagChannel[ch])) {
            if (show)
                ShowLine(Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ') + QChar(reply.at(position))
                         + QStringLiteral(": Tags found: ") + QString::number(reply.mid(header, 4).toInt(nullptr, 16)));
            break;
        }
        if (reply.at(0) == 'B' && reply.size() >= 3) {
            if (show)
                ShowLine(Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ') + QChar(reply.at(position))
                         + QStringLiteral(": Diag: ") + QString::fromLatin1(reply.mid(header).trimmed()));
            if (wait || !DataAvailable())
                break;
            continue;
        }
        if (status != 0) {
            if (ReadHeadError() && show)
                showError(reply, status);
            break;
        }
        const QByteArray data = reply.mid(header);
        const QByteArray headPrefix = ToCp1252(Translate(QStringLiteral("Head"), QStringLiteral("Kopf"))) + ' '
                                      + QByteArray(1, reply.at(position)) + ": ";
        if (MultiTag || MultiTagChannel[ch]) {
            // One tag of a multi-tag head: UII length (2 bytes), UII, 2 bytes, then TID or data.
            const int n = data.size() >= 2 ? (static_cast<uchar>(data.at(0)) << 8 | static_cast<uchar>(data.at(1))) : 0;
            QByteArray prefix = headPrefix;
            QByteArray rest;
            if (data.size() >= 2 && n <= data.size() - 2) {
                prefix += "UII: " + data.mid(2, n).toHex(' ').toUpper() + ' ';
                if (data.size() - 2 > n) {
                    const bool fixcodeRead = LastCommand.size() == 2 && LastCommand.at(1) == 'F';
                    prefix += fixcodeRead ? "TID: " : "DATA: ";
                }
                rest = data.mid(2 + n + 2);
            }
            if (show && View())
                View()->ShowData(2, prefix, rest);
            else if (!show)
                collected += rest;
            if (wait && !(show && OperationMode != 3))
                break;
            if (!DataAvailable())
                break;
            continue;
        }
        const Record& rec = Records[ch];
        const qint32 address = ch == 0 ? DisplayAddress : rec.address;
        const int length = ch == 0 ? DisplayLength : rec.length;
        const int block = BlockSizeOf(ch == 0 ? TagType : rec.tagType);
        const bool fixcode = FixcodeRead[ch];
        const int offset = fixcode ? 0 : static_cast<int>(address % block);
        QByteArray shown = data.mid(offset);
        if (!fixcode && (length > 0 || (TagType != 0 && TagType != 3)))
            shown = shown.left(length);
        if (show) {
            if (!fixcode && ctx_.lk)
                ctx_.lk->LkPutData(LinkItem::LastData, shown);   // exactly the bytes shown
            if (View())
                View()->ShowData(2, headPrefix, shown);
        } else {
            collected += shown;
        }
        break;
    }
    return collected;
}

bool HXProtocol::WriteTag(int16_t tagType, int16_t mode, bool fixcode, int32_t address, int length,
                          const QByteArray& data, const QByteArray& channelIn)
{
    const bool fixcodeWrite = fixcode && tagType == 10;
    HXCommand command{};
    if (!hx::WriteCommand(mode, fixcodeWrite, command))
        return FailWrite(Translate(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl.")), QByteArray());
    if (address < 0 || address > 0xFFFF || length <= 0)
        return FailWrite(QString(), QByteArray());
    if (AnyChannelBusy())
        StopBuffered(true, true);

    QByteArray bytes = data.left(length);
    bytes.append(QByteArray(length - bytes.size(), '\0'));
    const int block = BlockSizeOf(tagType);
    const int startWord = (address / block) * (block / 4);
    int count = ((address % block) + length + block - 1) / block * (block / 4);
    if (tagType == 10 && count >= 2)
        count = 3;
    const int limit = EthernetMode ? hx::kMaxEthernetWords : hx::kMaxSerialWords;
    if (!fixcodeWrite && count > limit)
        return FailWrite(EthernetMode ? Translate(QStringLiteral("TooManyWordsNet"),
                                                  QStringLiteral("Fehler: Über Ethernet höchstens 15 Wörter (60 Bytes) in einem Telegramm."))
                                      : Translate(QStringLiteral("TooManyWords"),
                                                  QStringLiteral("Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm.")),
                         QByteArray());
    if (fixcodeWrite && EthernetMode)
        return FailWrite(Translate(QStringLiteral("NoFixcodeNet"),
                                   QStringLiteral("Fehler: Fixcodes können über Ethernet nicht geschrieben werden.")),
                         QByteArray());

    const bool noReadBack = channelIn == "x" || tagType == 60;
    if (!fixcodeWrite && noReadBack && (address % block != 0 || length % block != 0))
        // Nothing is read back here: the rest of a block would be overwritten with filler.
        return FailWrite(Translate(QStringLiteral("WholeBlocks"),
                                   QStringLiteral("Fehler: Ohne Rücklesen nur ganze Blöcke schreiben (Adresse und Länge in Blöcken zu %s Bytes).")
                                       .replace(QLatin1String("%s"), QString::number(block))),
                         QByteArray());

    SetBusy(true);
    const int16_t previous = (!EthernetMode && ctx_.ports) ? ctx_.ports->GetTimeout() : 0;
    auto finish = [&](bool result) {
        if (previous > 0 && ctx_.ports)
            ctx_.ports->SetTimeout(previous);
        SetBusy(false);
        return result;
    };

    const QString savedChannel = Channel;
    Channel = QString::fromLatin1(channelIn);
    CheckMultitagMode();
    QByteArray image = bytes;
    if (!fixcodeWrite && !noReadBack) {
        merge_ = true;
        HXCommand read{};
        hx::ReadCommand(mode, false, read);
        QByteArray channel = channelIn;
        sendPasswordMode(channel);
        ChangeTag(tagType);
        const int savedSlot = slot();
        const Record savedRec = Records[savedSlot];
        const bool savedFix = FixcodeRead[savedSlot];
        Records[savedSlot] = Record{tagType, mode, startWord * 4, count * 4};
        FixcodeRead[savedSlot] = false;
        const qint32 savedAddress = DisplayAddress;
        const int savedLength = DisplayLength;
        DisplayAddress = startWord * 4;
        DisplayLength = count * 4;
        expected_ = count * 4;
        QByteArray old;
        if (HXWrite(read, channel, hexWordData(startWord, count), false)) {
            if (!EthernetMode && ctx_.ports)
                ctx_.ports->SetTimeout(2000);
            old = Poll(false, true);
        }
        Records[savedSlot] = savedRec;
        FixcodeRead[savedSlot] = savedFix;
        DisplayAddress = savedAddress;
        DisplayLength = savedLength;
        merge_ = false;
        if (old.size() != count * 4) {
            // Without the tag's own bytes around the data, the blocks would be written with
            // bytes nobody read: nothing is written.
            Channel = savedChannel;
            const QByteArray failed = LastReply;
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
    if (channel == "x") {
        // Every head answers; each refusal is reported.
        for (int i = 1; i < ChannelCount; ++i) {
            QByteArray more;
            const int16_t m = receive(more, QVariant(false));
            if (m <= 0)
                break;
            if (hx::SerialStatus(more) != 0) {
                showError(more, hx::SerialStatus(more));
                good = false;
            }
        }
    }
    const int first = ChannelCount >= 3 ? 2 : 0;
    if (mode == 1 || mode == 3 || triggered(first, Channel) || triggered(first + 1, Channel))
        SetChannelBusy(true, false);
    Channel = savedChannel;
    return finish(good);
}

bool HXProtocol::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    HXCommand command{};
    // Single, Buffered and Auto all write with "SX" here; only Enhanced differs.
    if (mode < 0 || mode > 3)
        return FailWrite(Translate(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl.")), QByteArray());
    command = mode == 3 ? HXCommand::EX : HXCommand::SX;
    if (EthernetMode)
        return FailWrite(Translate(QStringLiteral("NoFixcodeNet"),
                                   QStringLiteral("Fehler: Fixcodes können über Ethernet nicht geschrieben werden.")),
                         QByteArray());
    SetBusy(true);
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    const QByteArray code = (fixcode + QByteArray(5, '\0')).left(5);
    const int16_t n = HXRead(command, channel, QByteArray(writeProtect ? "02" : "11") + "05" + code, reply, false, ok);
    bool good = ok && n >= 0;
    if (!good)
        FailWrite(QString(), n < 0 ? reply : QByteArray());
    if (channel == "x") {
        for (int i = 1; i < ChannelCount; ++i) {
            QByteArray more;
            if (receive(more, QVariant(false)) <= 0)
                break;
            if (hx::SerialStatus(more) != 0) {
                showError(more, hx::SerialStatus(more));
                good = false;
            }
        }
    }
    SetBusy(false);
    return good;
}

void HXProtocol::StopBuffered(bool force, bool allChannels)
{
    const bool polling = ctx_.lk && ctx_.lk->PollingEnabled();
    if (!force && !polling)
        return;
    QByteArray channel = allChannels ? QByteArray("x") : Channel.toLatin1(), reply;
    bool ok = false;
    HXRead(HXCommand::QU, channel, QByteArray(), reply, false, ok);
    // Replies of the stopped read may still be ahead of the answers to "QU", and on "x"
    // every head answers: all are taken here, so the next command reads its own reply.
    const int header = hx::HeaderLength(ProtocolType);
    const int wanted = channel == "x" ? ChannelCount : 1;
    int answers = (ok && reply.size() <= header) ? 1 : 0;
    while (ok && answers < wanted) {
        QByteArray more;
        if (receive(more, QVariant(false)) <= 0)
            break;
        if (more.size() <= header)
            ++answers;
    }
    if (allChannels)
        SetChannelBusy(false, true);
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

bool HXProtocol::WriteConfiguration(const QByteArray& control, const QByteArray& protection)
{
    if (control.size() != krconfig::kWordBytes || protection.size() != krconfig::kWordBytes) {
        ShowMessage(61);
        return false;
    }
    StopBuffered(false, false);
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
    if (!ParsePassword(oldText, oldValue) || !ParsePassword(newText, newValue)) {
        ShowLine(Translate(QString::fromLatin1(PasswordInvalidKey()), PasswordInvalidText()));
        return false;
    }
    StopBuffered(true, false);
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

// ---- code writers of special tag types ------------------------------------------------------

bool HXProtocol::refuseCode(const QString& key, const QString& text)
{
    ShowLine(Translate(key, text));
    return false;
}

bool HXProtocol::writeCode(HXCommand command, const QByteArray& data, bool continuousCheck, int16_t serialTimeout)
{
    if (EthernetMode && command != HXCommand::SP && command != HXCommand::EP)
        return refuseCode(QStringLiteral("NoFixcodeNet"),
                          QStringLiteral("Fehler: Fixcodes können über Ethernet nicht geschrieben werden."));
    SetBusy(true);
    // A continuous command on any channel would answer in between: end them all first.
    if (std::any_of(ChannelBusy.begin(), ChannelBusy.begin() + std::clamp(ChannelCount, 0, 4), [](bool b) { return b; }))
        StopBuffered(true, true);
    QByteArray channel = Channel.toLatin1(), reply;
    if (!sendPasswordMode(channel)) {
        SetBusy(false);
        return false;
    }
    ChangeTag(-1);
    CheckMultitagMode();
    const int16_t previous = (serialTimeout > 0 && !EthernetMode && ctx_.ports) ? ctx_.ports->SetTimeout(serialTimeout) : 0;
    bool ok = false;
    const int16_t n = HXRead(command, channel, data, reply, false, ok);
    bool good = ok && n >= 0;
    // Failures are listed whatever the read-error option says: the dialog stays open.
    if (n < 0)
        showError(reply, hx::SerialStatus(reply) != 0 ? hx::SerialStatus(reply) : -n);
    else if (!ok)
        ShowLine(Translate(QStringLiteral("NoReply"), QStringLiteral("Fehler: Keine Antwort.")));
    if (channel == "x") {
        for (int i = 1; i < ChannelCount; ++i) {
            QByteArray more;
            if (receive(more, QVariant(false)) <= 0)
                break;
            const int status = hx::SerialStatus(more);
            if (status != 0) {
                showError(more, status);
                good = false;
            }
        }
    }
    if (previous > 0 && ctx_.ports)
        ctx_.ports->SetTimeout(previous);
    if (continuousCheck) {
        const int first = ChannelCount >= 3 ? 2 : 0;
        const int16_t mode = command == HXCommand::AX || command == HXCommand::EX || command == HXCommand::EP ? 3 : 0;
        if (mode == 3 || triggered(first, Channel) || triggered(first + 1, Channel))
            SetChannelBusy(true, false);
    }
    SetBusy(false);
    return good;
}

bool HXProtocol::WriteSpecialFixcode(int16_t mode, const QByteArray& code)
{
    // Six hex digits at most: a longer or non-hex code would be cut or sent as garbage.
    static const QByteArray hexDigits("0123456789ABCDEFabcdef");
    const bool hex = std::all_of(code.begin(), code.end(), [](char c) { return hexDigits.contains(c); });
    if (code.size() > 6 || !hex)
        return refuseCode(QStringLiteral("SpecialFixcodeInvalid"),
                          QStringLiteral("Fehler: Der Fixcode muss aus höchstens 6 Hexadezimalziffern bestehen (0 bis FFFFFF)."));
    if (mode != 0 && mode != 3)
        return refuseCode(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl."));
    return writeCode(mode == 3 ? HXCommand::EP : HXCommand::SP, "6" + code.leftJustified(6, '0'), true, 0);
}

bool HXProtocol::WriteVNBFixcode(const QByteArray& code)
{
    if (code.size() > 14)
        return refuseCode(QStringLiteral("VNBCodeTooLong"), QStringLiteral("Fehler: Der Code ist länger als 14 Bytes."));
    return writeCode(HXCommand::SP, "E" + code.leftJustified(14, '\0'), false, 5000);
}

bool HXProtocol::WriteWTXFixcode(int16_t mode, const QByteArray& code)
{
    if (code.size() > 4)
        return refuseCode(QStringLiteral("WTXCodeTooLong"), QStringLiteral("Fehler: Der Fixcode ist länger als 4 Bytes."));
    // Buffered sends "AX" and Auto "BX", as the fixcode write of WriteTag does.
    static const HXCommand commands[] = {HXCommand::SX, HXCommand::AX, HXCommand::BX, HXCommand::EX};
    if (mode < 0 || mode > 3)
        return refuseCode(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl."));
    return writeCode(commands[mode], "6004" + code.leftJustified(4, '\0'), true, 0);
}

bool HXProtocol::WriteNCXTag(int16_t mode, const QByteArray& code)
{
    static const QByteArray hexDigits("0123456789ABCDEFabcdef");
    const bool hex = std::all_of(code.begin(), code.end(), [](char c) { return hexDigits.contains(c); });
    if (code.size() != 7 || !hex)
        return refuseCode(QStringLiteral("NCXCodeInvalid"),
                          QStringLiteral("Fehler: Der Chipcode muss aus 7 Hexadezimalziffern bestehen."));
    static const HXCommand commands[] = {HXCommand::SX, HXCommand::AX, HXCommand::BX, HXCommand::EX};
    if (mode < 0 || mode > 3)
        return refuseCode(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl."));
    return writeCode(commands[mode], "5207" + code, true, 0);
}

void HXProtocol::ReadSpecialFixcode()
{
    if (OperationMode != 0 && OperationMode != 3) {
        ShowLine(Translate(QStringLiteral("NoCommand"), QStringLiteral("Fehler: Betriebsart ohne Befehl.")));
        return;
    }
    SetBusy(true);
    if (std::any_of(ChannelBusy.begin(), ChannelBusy.begin() + std::clamp(ChannelCount, 0, 4), [](bool b) { return b; }))
        StopBuffered(true, true);
    QByteArray channel = Channel.toLatin1();
    if (!sendPasswordMode(channel)) {
        SetBusy(false);
        return;
    }
    ChangeTag(-1);
    CheckMultitagMode();
    QString family;
    if (Channel == QLatin1String("x")) {
        for (const QString& f : HeadFamily)
            if (!f.trimmed().isEmpty()) {
                family = f.trimmed();
                break;
            }
    } else {
        family = HeadFamily[std::clamp(slot(), 1, 4) - 1];
    }
    const QByteArray data = family == QLatin1String("VNB") ? "0" : "6";
    if (!HXWrite(OperationMode == 3 ? HXCommand::ES : HXCommand::SS, channel, data, false)) {
        SetBusy(false);
        return;
    }
    const int16_t previous = (!EthernetMode && OperationMode != 3 && ctx_.ports) ? ctx_.ports->SetTimeout(5000) : 0;
    FixcodeRead[slot()] = true;
    const bool all = Channel == QLatin1String("x");
    for (int calls = 0; calls < (all ? ChannelCount : 1); ++calls) {
        Poll(true, true);
        if (LastReply.isEmpty())
            break;
    }
    if (previous > 0 && ctx_.ports)
        ctx_.ports->SetTimeout(previous);
    const int first = ChannelCount >= 3 ? 2 : 0;
    if (OperationMode == 3 || triggered(first, Channel) || triggered(first + 1, Channel))
        SetChannelBusy(true, false);
    SetBusy(false);
}

// ---- VNB head parameters ------------------------------------------------------------------------

int16_t HXProtocol::ReadCmd(clsParameter& p, bool asDefault, const QByteArray& channelIn, bool* replied)
{
    QByteArray channel = channelIn.isEmpty() ? Channel.toLatin1() : channelIn, reply;
    const QByteArray pad = EthernetMode ? QByteArray(1, '\0') : QByteArray();
    bool ok = false;
    const int16_t r = HXRead(HXCommand::RP, channel, pad + "U" + p.Name().toLatin1() + QByteArray(2, '\0'), reply, false, ok);
    if (replied)
        *replied = ok && r >= 0;
    if (r >= 0 && ok && !reply.isEmpty()) {
        if (asDefault)
            p.DefaultValue(QString::fromLatin1(reply));
        else
            p.setValue(QString::fromLatin1(reply));
    }
    return r;
}

int16_t HXProtocol::WriteCmd(clsParameter& p)
{
    // The head stores parameters slowly, and a factory reset takes longer still.
    const int16_t previous = (!EthernetMode && ctx_.ports)
        ? ctx_.ports->SetTimeout(p.Name() == QLatin1String("RD") ? 15000 : 5000) : 0;
    const QByteArray value = hx::ValueBytes(p);
    QByteArray data = EthernetMode ? QByteArray(1, '\0') : QByteArray();
    data += "U" + p.Name().toLatin1();
    data.append(static_cast<char>((value.size() >> 8) & 0xFF)).append(static_cast<char>(value.size() & 0xFF));
    data += value;
    QByteArray channel = Channel.toLatin1(), reply;
    bool ok = false;
    int16_t r = HXRead(HXCommand::WP, channel, data, reply, false, ok);
    if (r == 0 && ok)
        r = 1;
    if (previous > 0 && ctx_.ports)
        ctx_.ports->SetTimeout(previous);
    return r;
}

QString HXProtocol::ParameterError(const QString& name, int16_t result) const
{
    const QString code = QString::number(-result, 16).toUpper();
    QString text = Translate(QStringLiteral("ERROR_QTB_") + code, QString());
    if (text.isEmpty())
        text = hx::BuiltInStatusText(code.toLatin1());
    if (text.isEmpty() || result == 0)
        text = Translate(QStringLiteral("ERROR_QTB"), QStringLiteral("Unbekannter Fehler."));
    return Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS:")) + QLatin1Char(' ')
           + Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ') + Channel + QStringLiteral(": ")
           + name + QStringLiteral(": ") + code + QStringLiteral(" - ") + text;
}

void HXProtocol::EditParameters(int channelNumber)
{
    if (channelNumber < 1 || channelNumber > 4)
        return;
    const hx::HXHeadType* head = headFile_.HeadType(HeadTypeName[channelNumber - 1]);
    if (!head)
        return;
    Channel = QString::number(channelNumber);
    const bool withProfile = head->profiles && !head->profiles->isEmpty();
    hx::ParameterList params = hx::NewParameters(withProfile);
    if (withProfile) {
        clsParameter rc;
        rc.Init(QStringLiteral("RC"), QString());
        bool replied = false;
        const int16_t r = ReadCmd(rc, true, QByteArray(), &replied);
        const QByteArray id = hx::ValueBytes(rc);
        if (r >= 0 && replied && id == QByteArray(2, '\0')) {
            const int position = chooseProfile ? chooseProfile(channelNumber, *head) : 0;
            if (position <= 0 || position > head->profiles->size())
                return;
            const qint32 chosen = head->profiles->at(position - 1).id;
            QByteArray value;
            value.append(static_cast<char>((chosen >> 8) & 0xFF)).append(static_cast<char>(chosen & 0xFF));
            rc.Init(QStringLiteral("RC"), QString::fromLatin1(value));
            const int16_t w = WriteCmd(rc);
            if (w < 1)
                ShowLine(ParameterError(rc.Name(), w));
        }
    }
    QString failed;
    const int16_t r = hx::ReadAllParameters(*this, params, &failed);
    if (r < 0) {
        // The head refused a read: the action ends, but says why.
        ShowLine(ParameterError(failed, r));
        return;
    }
    if (!parameterDialog || !parameterDialog(*head, params))
        return;
    SetBusy(true);
    for (clsParameter& p : params) {
        if (!p.Changed() || !p.Available())
            continue;
        const int16_t w = WriteCmd(p);
        if (w < 1)
            ShowLine(ParameterError(p.Name(), w));
    }
    SetBusy(false);
}

} // namespace orvid
