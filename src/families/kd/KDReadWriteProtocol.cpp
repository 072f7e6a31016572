#include "KDReadWriteProtocol.h"

#include "KDItems.h"
#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/MainFrame.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

namespace orvid {

namespace {
QByteArray hexField(qint64 value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}
} // namespace

KDReadWriteProtocol::KDReadWriteProtocol(AppContext& ctx, IFamilyView* view)
    : FamilyProtocol(ctx, kSection, view)
{
}

void KDReadWriteProtocol::enablePolling(bool on)
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(on);
}

// ---- framing and recognition ---------------------------------------------------------------

void KDReadWriteProtocol::Init(bool)
{
    if (ctx_.frame)
        ctx_.frame->setMenuEnabled(MenuEntry::IO, false);
    if (ctx_.ports) {
        ctx_.ports->SetFramingType(2);
        ctx_.ports->SetLinkProtocol("~\x03");
        ctx_.ports->FlushInput();
    }
    stopUnit(QVariant());
}

QByteArray KDReadWriteProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    LastCommand = command.toUpper();
    return command + suffix;
}

bool KDReadWriteProtocol::Check()
{
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }
    QByteArray reply;
    bool ok = false;
    const int16_t n = sendCommand("V", reply, QVariant(), ok);
    if (n <= 0 || !reply.startsWith('V'))
        return false;
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray(kType));
        ctx_.lk->LkPutData(LinkItem::VersionText, reply.mid(1, n - 1));
    }
    return true;
}

// ---- telegram fields ---------------------------------------------------------------------------

QByteArray KDReadWriteProtocol::AddressField(quint16 address, int tagCode)
{
    return hexField(address, tagCode == 3 ? 4 : 2);
}

QByteArray KDReadWriteProtocol::ReadCommand(int mode, int head, quint16 address, int length, int tagCode)
{
    const bool autoMode = mode == 1;
    if (tagCode < 1)
        return (autoMode ? "I" : "i") + kd::HeadText(head);
    return (autoMode ? "W" : "w") + kd::HeadText(head) + AddressField(address, tagCode) + hexField(length, 2);
}

QByteArray KDReadWriteProtocol::WriteCommand(int mode, int head, quint16 address, int tagCode,
                                             const QByteArray& data)
{
    return (mode == 1 ? "K" : "k") + kd::HeadText(head) + AddressField(address, tagCode)
        + hexField(data.size(), 2) + data;
}

int16_t KDReadWriteProtocol::WriteTimeout(int16_t kept, int length)
{
    // A unit writes byte by byte; an empty write still waits the ordinary time.
    const qint64 extended = qint64(length) * kept + 2;
    return static_cast<int16_t>(qMin<qint64>(kMaxTimeout, qMax<qint64>(kept, extended)));
}

// ---- reads and writes ------------------------------------------------------------------------

bool KDReadWriteProtocol::stopUnit(const QVariant& flag)
{
    // What the unit answers to "q" and "o" is its own business: the frames it gave while
    // nothing of a read or write was left to come. "q" ends what runs; "o" follows it.
    const int stops = Exchanges().StopCount();
    if (sendDeviceStop("\xA7q", repliesMayCome_, flag))
        repliesMayCome_ = false;
    if (Exchanges().StopCount() != stops)
        return false;
    sendDeviceStop("o", repliesMayCome_, flag);
    return Exchanges().StopCount() == stops;
}

bool KDReadWriteProtocol::preamble(int tagCode, int doubleSided, const QVariant& flag)
{
    const int stops = Exchanges().StopCount();
    if (!stopUnit(flag))
        return false;
    QList<QByteArray> commands = {"d" + QByteArray::number(tagCode)};
    if (doubleSided == 1)
        commands.append("b");
    for (const QByteArray& c : commands) {
        sendCommand(c, flag);
        if (Exchanges().StopCount() != stops)
            return false;
    }
    return true;
}

bool KDReadWriteProtocol::ReadDataExt(int mode, int head, quint16 address, int length, int tagCode,
                                      int doubleSided, const QVariant& flag)
{
    enablePolling(false);
    if (!preamble(tagCode, doubleSided, flag))
        return false;
    LastHead = static_cast<int16_t>(head >= 0 && head <= 3 ? head : 4);
    ExpectedReplies = LastHead == 4 ? 4 : 1;
    if (mode == 1)
        ExpectedReplies = -1;
    // Polling collects the replies of an Auto read and of a read of all heads.
    enablePolling(mode == 1 || ExpectedReplies > 1);
    repliesMayCome_ = true;
    sendOnly(ReadCommand(mode, head, address, length, tagCode), QByteArray(), flag);
    rearmDue_ = false;
    WritePending = false;
    return true;
}

void KDReadWriteProtocol::ReadData()
{
    SetBusy(true);
    if (ReadDataExt(OperationMode, HeadNumber, StartAddress, DataLength, Tagcode, DoubleSided))
        Poll(true, true);
    SetBusy(false);
}

KDWriteResult KDReadWriteProtocol::WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                                            const QByteArray& data)
{
    // A telegram whose fields do not fit would put the data somewhere else on the tag.
    if (!AddressFits(address, tagCode) || data.size() > kMaxWriteLength) {
        ShowMessage(20);
        return KDWriteResult::Refused;
    }
    const int16_t kept = ctx_.ports ? ctx_.ports->GetTimeout() : 0;
    enablePolling(false);
    const int stops = Exchanges().StopCount();
    if (!preamble(tagCode, doubleSided, QVariant()))
        return KDWriteResult::NotWritten;   // stopped
    LastHead = static_cast<int16_t>(head >= 0 && head <= 3 ? head : 4);
    ExpectedReplies = LastHead == 4 ? 4 : 1;
    if (mode == 1)
        ExpectedReplies = -1;
    const bool single = ExpectedReplies == 1;
    repliesMayCome_ = true;
    sendOnly(WriteCommand(mode, head, address, tagCode, data), QByteArray());
    if (single && ctx_.ports)
        ctx_.ports->SetTimeout(WriteTimeout(kept, static_cast<int>(data.size())));
    WritePending = true;
    const Received first = Poll(true, true);
    if (ctx_.ports)
        ctx_.ports->SetTimeout(kept);
    if (single) {
        if (first == Received::Nothing || first == Received::Status) {
            ShowMessage(4);
            return KDWriteResult::NotWritten;
        }
        return KDWriteResult::Written;
    }
    // The other heads' replies, or the Auto write's, come later: polling takes them.
    if (ExpectedReplies != 0 && Exchanges().StopCount() == stops)
        enablePolling(true);
    return KDWriteResult::Written;
}

QString KDReadWriteProtocol::PollStep(const QVariant& show, const QVariant& forced)
{
    Poll(show.isValid() ? show.toBool() : true, forced.toBool());
    return QString();
}

KDReadWriteProtocol::Received KDReadWriteProtocol::Poll(bool show, bool)
{
    if (rearmDue_ && OperationMode == 1)
        ReadDataExt(OperationMode, HeadNumber, StartAddress, DataLength, Tagcode, DoubleSided);
    QByteArray reply;
    const int16_t n = receive(reply, QVariant());
    if (n <= 0) {
        // Ten silent steps count as one reply that will not come.
        if (++SilentPolls >= kSilentPollsPerReply) {
            SilentPolls = 0;
            if (ExpectedReplies > 0 && --ExpectedReplies == 0)
                enablePolling(false);
        }
        return Received::Nothing;
    }
    return takeReply(reply.left(n), show, true);
}

KDReadWriteProtocol::Received KDReadWriteProtocol::takeReply(const QByteArray& reply, bool show, bool rearmNow)
{
    SilentPolls = 0;
    // Decoded now: an Auto re-arm below ends the pending write and names the window's
    // head, while this reply is the write's, from the head it was sent to.
    const bool wasWrite = WritePending;
    const QString status = GetError(reply);
    const bool all = LastHead == 4;
    const QString head = all ? FromCp1252(reply.mid(3, 1)) : QString::number(LastHead + 1);
    if (ExpectedReplies > 0 && --ExpectedReplies == 0)
        repliesMayCome_ = false;   // the last one came
    if (ExpectedReplies < 1) {
        // A reply the link took before a telegram of its own is re-armed by the next poll
        // step, after that telegram.
        if (OperationMode == 1 && rearmNow)
            ReadDataExt(OperationMode, HeadNumber, StartAddress, DataLength, Tagcode, DoubleSided);
        else if (OperationMode == 1)
            rearmDue_ = true;
        else if (ExpectedReplies == 0)
            enablePolling(false);
    }
    const Received kind = status.isEmpty()                      ? Received::Data
        : wasWrite && reply.mid(1, 2) == "00"                   ? Received::WriteOk
                                                                : Received::Status;
    if (kind == Received::Data)
        lastReply_.note(reply);
    if (show && View()) {
        if (status.isEmpty()) {
            View()->ShowData(2, ToCp1252(HeadLabel + QLatin1Char(' ') + head + QStringLiteral(": ")),
                             reply.mid(all ? 4 : 3));
        } else if (ReadHeadError() || wasWrite) {
            // A write's outcome is always shown; read errors only when the user wants them.
            ShowLine(status);
        }
    }
    return kind;
}

bool KDReadWriteProtocol::ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
{
    // A tag access ("I", "W", "K") answers in the read's form.
    const QByteArray reply = frame.left(length);
    const bool access = !LastCommand.isEmpty() && QByteArray("IWK").contains(LastCommand.at(0));
    if (inAnswer && !lastReply_.echoes(reply, access))
        return false;
    takeReply(reply, true, false);
    return true;
}

QString KDReadWriteProtocol::BuiltinStatusText(const QByteArray& status)
{
    static const char* const texts[] = {
        "OK",
        "Befehl ist nicht definiert",
        "Lesekopf ist nicht betriebsbereit",
        "Kein Datentr\xE4ger vorhanden",
        "Schreibfehler",
        "Fehler im EPROM",
        "Checksummenfehler(serielle Schnittstelle)",
        "Fehler im RAM",
        "Checksummenfehler(Datentr\xE4ger)",
        "Adresse oder Anzahl der Daten im unzul\xE4ssigem Bereich",
        "Schreib/Lesekopf ist nicht ansprechbar",
        "Watchdog Reset",
        "Echofehler in der induktiven \xDC\x62\x65rtragung",
        "Funktion ist nicht verf\xFCgbar",
        "Schreib/Lesekopf nicht kompatibel zur Auswerteeinheit",
        "Synchronisationsfehler in der Auswerteeinheit",
    };
    if (status.size() != 2 || status.at(0) != '0')
        return QString();
    const int digit = HexDigitValue(QChar::fromLatin1(status.at(1)).unicode());
    // Upper-case digits only, as the unit sends them.
    if (digit < 0 || (status.at(1) >= 'a' && status.at(1) <= 'f'))
        return QString();
    return QString::fromLatin1(texts[digit]);
}

QString KDReadWriteProtocol::GetError(const QByteArray& reply) const
{
    if (reply.size() < 3)
        return QString();
    const QByteArray status = reply.mid(1, 2);
    const QString code = FromCp1252(status);
    if (status == "00") {
        // Status 00 is data after a read, the confirmation after a write.
        if (!WritePending)
            return QString();
        const QString text = Translate(QStringLiteral("ERROR_00"), QString());
        return WriteLabel + code + QStringLiteral(" - ") + (text.isEmpty() ? QStringLiteral("OK") : text);
    }
    QString text = Translate(QStringLiteral("ERROR_") + code, QString());
    if (text.isEmpty())
        text = BuiltinStatusText(status);
    if (text.isEmpty())
        return QString();
    return StatusLabel + code + QStringLiteral(" - ") + text;
}

// ---- stop, close, items, settings --------------------------------------------------------------

void KDReadWriteProtocol::StopBuffered()
{
    // The stop's answer comes behind what the read it ends still sends.
    if (sendDeviceStop("\xA7q", repliesMayCome_))
        repliesMayCome_ = false;
}

void KDReadWriteProtocol::CloseLK()
{
    sendDeviceStop("o", repliesMayCome_);
    SaveSettings(false);
}

quint16 KDReadWriteProtocol::AddressFromNumber(double value)
{
    return static_cast<quint16>(static_cast<qint64>(value) & 0xFFFF);
}

bool KDReadWriteProtocol::PutData(int16_t id, const QVariant& value)
{
    const auto v = static_cast<int16_t>(value.toInt());
    switch (id) {
    case KDItem::OperationMode: OperationMode = v; return true;
    case KDItem::HeadNumber: HeadNumber = v; return true;
    case KDItem::DataFormat: DataFormat = v; return true;
    case KDItem::StartAddress: StartAddress = AddressFromNumber(value.toDouble()); return true;
    case KDItem::DataLength: DataLength = v; return true;
    case KDItem::Tagcode: Tagcode = v; return true;
    case KDItem::DoubleSided: DoubleSided = v; return true;
    default: return false;
    }
}

bool KDReadWriteProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case KDItem::OperationMode: value = OperationMode; return true;
    case KDItem::HeadNumber: value = HeadNumber; return true;
    case KDItem::DataFormat: value = DataFormat; return true;
    case KDItem::StartAddress: value = int(StartAddress); return true;
    case KDItem::DataLength: value = DataLength; return true;
    case KDItem::Tagcode: value = Tagcode; return true;
    case KDItem::DoubleSided: value = DoubleSided; return true;
    default: return false;
    }
}

void KDReadWriteProtocol::LoadSettings()
{
    const SettingsSection s(ctx_, kSettings);
    Tagcode = CInt16(s.Number("Tagcode", "0"));
    OperationMode = CInt16(s.Number("OperationMode", "0"));
    StartAddress = AddressFromNumber(s.Number("StartAddress", "0"));
    DataLength = CInt16(s.Number("DataLength", "0"));
    HeadNumber = CInt16(s.Number("HeadNumber", "0"));
    DoubleSided = CInt16(s.Number("DoubleSided", "0"));
}

void KDReadWriteProtocol::SaveSettings(bool withDoubleSided)
{
    SettingsSection s(ctx_, kSettings);
    s.Write("Tagcode", Tagcode);
    s.Write("OperationMode", OperationMode);
    s.Write("StartAddress", int(StartAddress));
    s.Write("DataLength", DataLength);
    s.Write("HeadNumber", HeadNumber);
    if (withDoubleSided)
        s.Write("DoubleSided", DoubleSided);
}

} // namespace orvid
