#include "WDProtocol.h"

#include "families/common/TagStateBlock.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

namespace orvid {

namespace {

struct ErrorEntry {
    const char* code;
    const char* text; // UTF-8
};

const ErrorEntry kErrors[] = {
    {"10", "Übertragungsfehler"},
    {"11", "Attributfehler"},
    {"12", "Fehler der obersten Adrresse"},
    {"13", "Anzahl fehlerhafter Bytes"},
    {"14", "Übertragungsziel Fehler oberste Adresse"},
    {"15", "Fehler Stationsnummer"},
    {"16", "Schreib/Lesekopffehler"},
    {"17", "Befehlskennzeichnungsfehler"},
    {"18", "Schutzfehler"},
    {"19", "Datencodefehler"},
    {"1A", "Funktionsspeicherfehler"},
    {"1B", "Fehler beim Schutz der eingestellten Daten"},
    {"1C", "Codeauswahlfehler"},
    {"1D", "Prüfsummenfehler 1"},
    {"1E", "Prüfsummenfehler 2"},
    {"1F", "\"CR\"-Fehler"},
    {"20", "Kein Schreib/Lesekopf 0 angeschlossen"},
    {"21", "Kein Schreib/Lesekopf 1 angeschlossen"},
    {"25", "RAM-Fehler"},
    {"26", "ROM-Fehler"},
    {"27", "Alarm wegen niedriger Batteriespannung"},
    {"30", "RAM-Fehler"},
    {"31", "ROM-Fehler"},
    {"34", "Blocktestfehler"},
    {"35", "Kopierzielblock Prüfsummenfehler"},
    {"36", "ID Prüffehler"},
    {"37", "Kopierziel ID Vergleichsfehler"},
    {"3A", "Batteriespannungsalarm"},
    {"3B", "Fehler wegen Batterienutzung"},
    {"40", "Kein Datenträger"},
    {"41", "Asynchroner Systemfehler"},
    {"42", "Timeoutfehler bei den letzten empfangenen Daten"},
    {"43", "Bytezähler Fehler"},
    {"44", "Prüfsummenfehler"},
    {"45", "Grammatikalischer Fehler"},
    {"46", "Zeitüberlauffehler"},
    {"47", "Prüffehler"},
    {"48", "Kein Datenträger beim Kopierziel"},
    {"49", "Asynchroner Systemfehler am Kopierziel"},
    {"4A", "Time out-Fehler der letzten empfangenen Daten am Kopierziel"},
    {"4B", "Fehler bei der Bytezählung am Kopierziel"},
    {"4C", "Prüfsummenfehler am Kopierziel"},
    {"4D", "Grammatikalischer Fehler am Kopierziel"},
    {"4E", "Zeitfehler am Kopierziel"},
    {"4F", "Prüffehler am Kopierziel"},
    {"60", "Fehler bei der Befehlsausführung"},
    {"61", "Fehler beim Halten des Befehls"},
    {"62", "Blockierung durch Fehler bei der Befehlsausführung"},
    {"63", "Blockierung der Befehlsausführung wenn Triggereingang OFF ist"},
    {"64", "Kein Befehlsspeicher Fehler"},
    {"65", "Kein Startup Command Fehler"},
    {"66", "Einstellungsfehler beim Coummunication Startup-System"},
    {"67", "Register nicht verfügbar"},
    {"68", "Fehler beim Empfang des Haltbefehls"},
    {"69", "Fehler beim Empfang der Empfangsquittung"},
    {"70", "Time out zwischen zwei Codes"},
    {"72", "Time out zwischen Station Nummer \"0\" und Station Nummer \"N\""},
    {"73", "Prüfsummenfehler zwischen der Station Nummer \"0\" und Station Nummer \"N\""},
    {"74", "\"CR\" Fehler zwischen der Station Nummer \"0\" und Station Nummer \"N\""},
};

// The stored form of a number setting: decimal with the blank a non-negative number gets.
QString numberText(int value)
{
    return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

// The four digit pairs of an 8-character code in reverse order (7-8, 5-6, 3-4, 1-2).
QByteArray reversePairs(const QByteArray& s8)
{
    return s8.mid(6, 2) + s8.mid(4, 2) + s8.mid(2, 2) + s8.mid(0, 2);
}

QByteArray digit(int value)
{
    return QByteArray::number(value);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Telegrams

WDProtocol::WDProtocol(AppContext& ctx, IWDView* view) : FamilyProtocol(ctx, kSection, view), view_(view) {}

QByteArray WDProtocol::Wrap(const QByteArray& command, int station, int head, const QByteArray& suffix)
{
    QByteArray text = command;
    if (!text.startsWith("::"))
        text = "::" + digit(station) + digit(head) + text;
    return text + "@@" + suffix;
}

QByteArray WDProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    return Wrap(command, Station, HeadNumber, suffix);
}

int16_t WDProtocol::GetLKResultExt(QByteArray& reply, int16_t length)
{
    if (length >= 7 && reply.startsWith("::")) {
        length = static_cast<int16_t>(length - 6);
        reply = reply.mid(4, length);
        return length;
    }
    return 0;
}

int16_t WDProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption)
{
    length = GetLKResultExt(reply, length);
    if (length >= 1 && reply == "$") {
        // The unit acknowledged; the real reply follows (one more, not any number).
        QByteArray next;
        const int16_t n = receiveReply(next, logOption);
        reply = next;
        length = GetLKResultExt(reply, n);
    }
    return length;
}

QByteArray WDProtocol::IDWireForm(const QByteArray& id)
{
    QByteArray s = id;
    if (s.size() < 8)
        s = QByteArray(8 - s.size(), '0') + s;
    return reversePairs(s.right(8));
}

QByteArray WDProtocol::ReadDataCommand(int accessType, quint16 address, int length, const QByteArray& wireId)
{
    return "?10**" + digit(accessType) + HexString(address, "0000") + HexString(length, "0000") + "H"
        + (accessType >= 1 ? wireId : QByteArray());
}

QByteArray WDProtocol::ReadIDCommand(int accessType, const QByteArray& wireId)
{
    return "?12**" + digit(accessType) + "H" + (accessType >= 1 ? wireId : QByteArray());
}

QByteArray WDProtocol::WriteDataCommand(int accessType, quint16 address, const QByteArray& data,
                                        const QByteArray& wireId)
{
    return "?20**" + digit(accessType) + HexString(address, "0000") + HexString(data.size(), "0000") + "H"
        + (accessType >= 1 ? wireId : QByteArray()) + data.toHex().toUpper();
}

QByteArray WDProtocol::WriteIDCommand(int accessType, const QByteArray& wireId, const QByteArray& newId)
{
    return "?22**" + digit(accessType) + "H" + (accessType != 0 ? wireId : QByteArray()) + newId;
}

QByteArray WDProtocol::ScanCommand(char letter, const QByteArray& wireCode)
{
    return QByteArray("?20**") + letter + "00000001H" + wireCode + "00";
}

QByteArray WDProtocol::TagStateCommand(int accessType, const QByteArray& wireId)
{
    return "?50**" + digit(accessType) + "0000" + "0000" + "H" + (accessType > 0 ? wireId : QByteArray());
}

QByteArray WDProtocol::OutputsCommand(const QList<bool>& outputs)
{
    QByteArray command = "?72";
    for (bool on : outputs)
        command += on ? '1' : '0';
    return command;
}

QString WDProtocol::BuiltinErrorText(const QByteArray& code)
{
    for (const ErrorEntry& e : kErrors) {
        if (code == e.code)
            return QString::fromUtf8(e.text);
    }
    return QStringLiteral("Unbekannter Fehler");
}

// ---------------------------------------------------------------------------------------
// Link helpers

int16_t WDProtocol::exchange(const QByteArray& command, QByteArray& reply, const QVariant& logOption)
{
    bool ok = false;
    return sendCommand(command, reply, logOption, ok);
}

void WDProtocol::sendOnly(const QByteArray& command, const QVariant& logOption)
{
    FamilyProtocol::sendOnly(command, QByteArray(), logOption);
}

int16_t WDProtocol::receiveReply(QByteArray& reply, const QVariant& logOption)
{
    reply.clear();
    const int16_t n = receive(reply, logOption);
    return n > 0 ? n : 0;
}

// ---------------------------------------------------------------------------------------
// ISystemForm operations

void WDProtocol::Init(bool)
{
    Station = 0;
    HeadNumber = 0;
    if (ctx_.ports) {
        ctx_.ports->SetFramingType(5);
        ctx_.ports->SetLinkProtocol("\r");
        // The unit acknowledges with "$" and answers when the tag has been reached: a
        // time-out of its own, not whatever the family selected before happened to leave.
        ctx_.ports->SetTimeout(kReplyTimeout);
        ctx_.ports->FlushInput();
    }
    stopUnit();
    // That stop ended whatever the unit was doing: a loop or a scan that ran is over.
    ScanPause();
    if (ctx_.frame) {
        ctx_.frame->setMenuEnabled(MenuEntry::IO, true);
        ctx_.frame->setMenuEnabled(MenuEntry::State, true);
    }
    // A selection switches polling off. The open window is polled (its loop and scan, and
    // the unit-state window's automatic refresh, ride on the poll steps): once the
    // selection is over, and system D is the current system then, it is polled again.
    const auto polled = [this] { return (view_ && view_->Loaded()) || (stateView_ && stateView_->AutoMode()); };
    if (ctx_.lk && polled()) {
        ctx_.lk->WhenIdle(&stateView_, &Exchanges(), [this, polled] {
            if (polled() && CurrentSystem() == kSystemEntry)
                ctx_.lk->EnablePolling(true);
        });
    }
}

bool WDProtocol::Check()
{
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }
    QByteArray reply;
    const int16_t n = exchange("?16H", reply);
    const bool found = n == kCheckReplyLength && reply.startsWith("#16");
    if (found && ctx_.lk)
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray(kHeadType));
    SetRWFrameTitle(found ? QString::fromLatin1(kHeadType) : QString());
    return found;
}

void WDProtocol::CloseLK()
{
    stopUnit();
    // Only what this run set (the window's entries at its close, the data items, the head
    // of the last tag access) is stored.
    Stored.Save(ctx_);
}

void WDProtocol::StopBuffered()
{
    stopUnit();
}

void WDProtocol::stopUnit(QList<QByteArray>* passed)
{
    sendStop("?70", QByteArray(), [](const QByteArray& frame) {
        QByteArray payload = frame;
        return GetLKResultExt(payload, static_cast<int16_t>(payload.size())) > 0 && payload.startsWith("#70");
    }, passed);
}

bool WDProtocol::PutData(int16_t id, const QVariant& value)
{
    const int16_t v = CInt16(value.typeId() == QMetaType::QByteArray ? Val(value.toByteArray())
                                                                      : value.toDouble());
    switch (id) {
    case WDItem::DataRepresentation: DataRepresentation = v; return true;
    case WDItem::OperationMode: OperationMode = v; Stored.OperationMode = WDSettings::Number(v); return true;
    case WDItem::HeadNumber: HeadNumber = v; Stored.HeadNumber = WDSettings::Number(v); return true;
    case WDItem::DataFormat: DataFormat = v; return true;
    case WDItem::StartAddress:
        // In the hex form the window reads back.
        StartAddress = v;
        Stored.StartAddress = QString::fromLatin1(HexString(static_cast<quint16>(v), "0000"));
        return true;
    case WDItem::DataLength: DataLength = v; Stored.DataLength = WDSettings::Number(v); return true;
    case WDItem::Tagcode: Tagcode = v; Stored.Tagcode = WDSettings::Number(v); return true;
    }
    return false;
}

bool WDProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case WDItem::DataRepresentation: value = int(DataRepresentation); return true;
    case WDItem::OperationMode: value = int(OperationMode); return true;
    case WDItem::HeadNumber: value = int(HeadNumber); return true;
    case WDItem::DataFormat: value = int(DataFormat); return true;
    case WDItem::StartAddress: value = int(StartAddress); return true;
    case WDItem::DataLength: value = int(DataLength); return true;
    case WDItem::Tagcode: value = int(Tagcode); return true;
    }
    return false;
}

bool WDProtocol::ApplyLanguage()
{
    int16_t current = 0;
    if (ctx_.language) {
        current = -1;
        ctx_.language->SelectLanguage(current);
    }
    const bool changed = current != appliedLanguage_;
    if (changed) {
        appliedLanguage_ = current;
        ErrorText = Translate(QStringLiteral("ErrorStr"), defaultErrorText_);
        NoHeadText = Translate(QStringLiteral("NoHead"), defaultNoHeadText_);
    }
    // The head type found by Check belongs in the frame title in every language, the
    // built-in one included.
    QVariant head;
    if (ctx_.lk)
        ctx_.lk->LkGetData(LinkItem::HeadType, head);
    SetRWFrameTitle(QString::fromLatin1(head.toByteArray()));
    return changed;
}

void WDProtocol::SetRWFrameTitle(const QString& title)
{
    if (view_)
        view_->SetRWFrameTitle(title.isEmpty() ? NoHeadText : title);
}

// ---------------------------------------------------------------------------------------
// Errors

QString WDProtocol::ErrorLine(const QByteArray& reply, bool withHead) const
{
    if (!reply.startsWith('%'))
        return QString();
    const QByteArray code = reply.mid(3, 2);
    QString text = Translate(QStringLiteral("ERROR_") + QString::fromLatin1(code), QString());
    if (text.isEmpty())
        text = BuiltinErrorText(code);
    return (withHead ? ErrorText : QString()) + QLatin1Char(' ') + QString::fromLatin1(code)
        + QStringLiteral(" - ") + text;
}

QString WDProtocol::GetError(QByteArray& reply, bool withHead)
{
    if (reply.isEmpty())
        reply = rememberedReply_;
    rememberedReply_ = reply;
    return ErrorLine(reply, withHead);
}

QString WDProtocol::GetError(const QByteArray& reply, bool withHead)
{
    QByteArray copy = reply;
    return GetError(copy, withHead);
}

// ---------------------------------------------------------------------------------------
// Reads and writes

void WDProtocol::ReadData(bool isData)
{
    SetBusy(true);
    LastData.clear();
    const int16_t f = view_ ? static_cast<int16_t>(view_->AccessType()) : 0;
    const int16_t head = view_ ? static_cast<int16_t>(view_->HeadIndex()) : 0;
    const quint16 address = view_ ? static_cast<quint16>(static_cast<quint32>(
                                        Val(QStringLiteral("&H") + view_->AddressText())))
                                  : 0;
    const int length = view_ ? static_cast<int>(Val(view_->LengthText())) : 0;
    ReadDataExt(isData, head, address, length, f, view_ ? view_->IDCodeText() : QString(), true, true);
    SetBusy(false);
}

QByteArray WDProtocol::ReadDataExt(bool isData, int16_t head, quint16 address, int length,
                                   int16_t accessType, const QString& idCode, bool logOption,
                                   bool followUp)
{
    LoopMode = false;
    // The tag's memory ends at FFFF: a read beyond it would wrap or be cut by the unit.
    if (isData && (length < 0 || address + length > kAddressSpace)) {
        if (ctx_.language)
            ctx_.language->ShowMessage(81, 0, 0,
                                       QString::fromUtf8("Länge|0|") + QString::number(kAddressSpace - address));
        return QByteArray();
    }
    const QVariant log(logOption);
    QByteArray stopReply;
    exchange("?70", stopReply, log);
    ResultLabel.clear();
    const QByteArray wire = accessType != 0 ? IDWireForm(idCode) : QByteArray();
    if (isData) {
        LastCommand = ReadDataCommand(accessType, address, length, wire);
        ResultKind = "2";
        ExpectedPrefix = "#10**";
        ResultLabel = "DATA =";
    } else {
        LastCommand = ReadIDCommand(accessType, wire);
        ResultKind = "1";
        ExpectedPrefix = "#12**";
        ResultLabel = "ID-Code =";
    }
    HeadNumber = head;
    Stored.HeadNumber = WDSettings::Number(head);
    sendOnly(LastCommand, log);
    if (followUp) {
        LoopMode = view_ && view_->LoopChecked();
        Poll(true, false, true);
        return QByteArray();
    }
    return ReadResult(true, false);
}

QByteArray WDProtocol::ReadResult(bool quiet, bool show)
{
    const QVariant log(!quiet);
    QByteArray reply;
    int16_t n = receiveReply(reply, log);
    if (n > 0)
        n = ReplyResult(reply, n, log);
    return takeResult(reply, n, show);
}

QByteArray WDProtocol::takeResult(QByteArray& reply, int16_t n, bool show)
{
    if (n <= 0)
        return QByteArray();

    const QString err = GetError(reply);
    if (!err.isEmpty()) {
        if (show && ReadHeadError() && !ScanMode)
            ShowLine(err);
        return QByteArray();
    }
    if (ExpectedPrefix.isEmpty() || !reply.startsWith(ExpectedPrefix))
        return QByteArray();

    const QByteArray label = AntennaText + numberText(HeadNumber).toLatin1() + ": " + ResultLabel;
    QByteArray result;
    if (ResultKind == "1") {
        result = reversePairs((reply.mid(7) + "00000000").left(8));
    } else if (ResultKind == "2") {
        quint32 count = 0;
        if (!ParseHexDigits(reply.mid(10, 4), count) || reply.size() < 14)
            return QByteArray();
        const QByteArray hex = reply.mid(15, static_cast<int>(count) * 2);
        // A reply that carries fewer bytes than it announces is cut, one with characters
        // that are not hex digits is garbled: show nothing of either (the hex digits handed
        // out without showing are read as data by the caller).
        quint32 digits = 0;
        if (hex.size() != static_cast<qsizetype>(count) * 2 || (!hex.isEmpty() && !ParseHexDigits(hex, digits)))
            return QByteArray();
        if (show) {
            result = QByteArray::fromHex(hex);
            if (result.size() != static_cast<qsizetype>(count))
                return QByteArray();
            LastData = result;
        } else {
            result = hex;
        }
    }
    if (!result.isEmpty() && show && !ScanMode && view_)
        view_->ShowData(2, label.trimmed(), result);
    return result;
}

bool WDProtocol::failWrite(const QByteArray& reply)
{
    // No reply must not bring back the error text of an older exchange.
    if (!reply.isEmpty())
        rememberedReply_ = reply;
    return FailWrite(QString(), reply);
}

bool WDProtocol::WriteTag(bool isData, int16_t head, int16_t accessType, const QString& idCode,
                          quint16 address, int length, const QByteArray& data)
{
    LoopMode = false;
    // length sets the byte count on the wire: it must not promise more bytes than there
    // are, nor reach past the end of the tag memory.
    if (isData && (length < 0 || length > data.size() || address + length > kAddressSpace))
        return failWrite(QByteArray());

    const QByteArray wire = accessType != 0 ? IDWireForm(idCode) : QByteArray();
    sendCommand("?70");
    ResultLabel.clear();
    ResultKind = "0";
    if (isData) {
        LastCommand = WriteDataCommand(accessType, address, data.left(length), wire);
        ExpectedPrefix = "#20**";
    } else {
        LastCommand = WriteIDCommand(accessType, wire, data);
        ExpectedPrefix = "#22**";
    }
    HeadNumber = head;
    Stored.HeadNumber = WDSettings::Number(head);
    sendOnly(LastCommand);

    // The unit's answer tells whether the tag took the data: read and test it.
    QByteArray reply;
    int16_t n = receiveReply(reply, true);
    if (n > 0)
        n = ReplyResult(reply, n, true);
    bool ok = n > 0 && reply.startsWith(ExpectedPrefix);
    if (!ok && (n <= 0 || !reply.startsWith('%'))) {
        // Without its result (an acknowledgement whose reply is late, or no answer at
        // all) the unit may still hold the write and carry it out when a tag comes: it is
        // stopped before anything is reported. The result may yet come ahead of the stop's
        // answer; then it tells what happened, a good one or an error alike. An error reply
        // ended the write on the unit.
        QList<QByteArray> late;
        stopUnit(&late);
        const QByteArray refused = '%' + ExpectedPrefix.mid(1, 2);
        for (QByteArray frame : late) {
            const int16_t m = GetLKResultExt(frame, static_cast<int16_t>(frame.size()));
            if (m > 0 && (frame.startsWith(ExpectedPrefix) || frame.startsWith(refused))) {
                reply = frame;
                n = m;
                ok = frame.startsWith(ExpectedPrefix);
                break;
            }
        }
    }
    if (!ok)
        failWrite(n > 0 ? reply : QByteArray());
    Poll(true, true);
    return ok;
}

// ---------------------------------------------------------------------------------------
// Poll, loop and scan

QString WDProtocol::PollStep(const QVariant& show, const QVariant& quiet)
{
    Poll(show.isValid() ? show.toBool() : true, quiet.isValid() ? quiet.toBool() : false);
    return QString();
}

QByteArray WDProtocol::Poll(bool show, bool quiet, bool force)
{
    if (force || LoopMode) {
        if (ScanMode) {
            scanStep(quiet, show);
        } else if (force || loopAnswer_.due()) {
            // A loop read whose answer the link took before a telegram of its own has
            // nothing left to wait for.
            loopAnswer_.settle();
            ReadResult(quiet, show);
        }
    }
    if (stateView_ && stateView_->Loaded() && stateView_->AutoMode())
        GetState();
    if (LoopMode && !ScanMode && Val(ResultKind) != 0) {
        sendCommand("?70");
        sendOnly(LastCommand);
        loopAnswer_.expect(ctx_.ports ? ctx_.ports->GetTimeout() : 0);
    }
    return QByteArray();
}

int WDProtocol::ReplyOwed() const
{
    return loopAnswer_.msLeft();
}

void WDProtocol::OwedReply(QByteArray& reply, int16_t length)
{
    const int16_t n = GetLKResultExt(reply, length);
    if (n >= 1 && reply == "$") {
        // The unit acknowledged: its result follows, within a time-out of its own.
        loopAnswer_.expect(ctx_.ports ? ctx_.ports->GetTimeout() : 0);
        return;
    }
    loopAnswer_.settle();
    takeResult(reply, n, true);
}

void WDProtocol::Stop()
{
    LoopMode = false;
    // Inside another exchange's wait the "?70" would take that exchange's reply away: the
    // gate sends it once the link is idle, if system D is still the current system then.
    // A loop read asked for before the Stop has run by then: the loop ends again. A scan
    // running then was started after the Stop (which paused it) and goes on.
    Exchanges().RequestStop([this] {
        if (!ScanMode) {
            LoopMode = false;
            LastCommand.clear();
        }
        StopBuffered();
    }, [this] { return CurrentSystem() == kSystemEntry; });
    LastCommand.clear();
    if (ScanMode)
        ScanPause();
}

void WDProtocol::ScanStart(const QStringList& slotTexts)
{
    ScanCount = 0;
    for (int i = 0; i < kScanSlots; ++i) {
        ScanCodes[i] = slotTexts.value(i).trimmed().toLatin1().toUpper();
        ScanFound[i] = false;
        if (!ScanCodes[i].isEmpty())
            ++ScanCount;
    }
    ScanMode = true;
    LoopMode = true;
}

void WDProtocol::ScanPause(bool endLoop)
{
    for (int i = 1; i <= kScanSlots; ++i) {
        if (view_)
            view_->SetScanLED(i, false);
    }
    // A running scan owns the loop: ending the scan without it would leave every poll
    // tick re-sending the scan's last read.
    if (endLoop || ScanMode)
        LoopMode = false;
    ScanMode = false;
}

void WDProtocol::ClearScan()
{
    for (int i = 0; i < kScanSlots; ++i) {
        if (view_) {
            view_->SetScanText(i + 1, QString());
            view_->SetScanLED(i + 1, false);
        }
        ScanCodes[i].clear();
        ScanFound[i] = false;
    }
    ScanCount = 0;
}

QByteArray WDProtocol::scanExchange(const QByteArray& command)
{
    // The slot holds the code as it is shown; the unit takes and gives it in wire order.
    sendOnly(command);
    QByteArray reply;
    int16_t n = receiveReply(reply);
    if (n > 0) {
        n = GetLKResultExt(reply, n);
        if (n >= 1 && reply == "$") {
            n = receiveReply(reply);
            if (n > 0)
                n = ReplyResult(reply, n);
        }
    }
    if (n > 0)
        rememberedReply_ = reply;
    if (n >= 1 && reply.startsWith("#20**")) {
        const QByteArray code = reply.mid(15, 8);
        quint32 check = 0;
        if (code.size() == 8 && ParseHexDigits(code, check))
            return IDWireForm(code).toUpper();
    }
    sendCommand("?70");
    return QByteArray();
}

void WDProtocol::scanLamps()
{
    if (!view_)
        return;
    for (int i = 0; i < kScanSlots; ++i)
        view_->SetScanLED(i + 1, ScanMode && ScanFound[i]);
}

void WDProtocol::scanStep(bool quiet, bool show)
{
    ScanFound.fill(false);
    sendCommand("?70");
    if (ScanCount == 0) {
        LastCommand = "?12**0H";
        ExpectedPrefix = "#12**";
        ResultKind = "1";
        sendOnly(LastCommand);
        const QByteArray code = ReadResult(quiet, show);
        if (!code.isEmpty()) {
            ScanCodes[0] = code;
            ScanFound[0] = true;
            if (view_)
                view_->SetScanText(1, QString::fromLatin1(code));
            ++ScanCount;
        }
        scanLamps();
        return;
    }

    // "C": every known tag names another tag in the field. A pause pressed while a reply
    // is awaited keeps what that reply found and stops before the next exchange.
    for (int i = 0; i < kScanSlots && ScanMode; ++i) {
        if (ScanCodes[i].isEmpty())
            continue;
        const QByteArray c = scanExchange(ScanCommand('C', IDWireForm(ScanCodes[i])));
        if (c.isEmpty())
            continue;
        int known = -1;
        for (int j = 0; j < kScanSlots; ++j) {
            if (!ScanCodes[j].isEmpty() && ScanCodes[j] == c) {
                known = j;
                break;
            }
        }
        if (known >= 0) {
            ScanFound[known] = true;
            continue;
        }
        for (int k = 0; k < kScanSlots; ++k) {
            if (ScanCodes[k].isEmpty()) {
                ScanCodes[k] = c;
                ScanFound[k] = true;
                if (view_)
                    view_->SetScanText(k + 1, QString::fromLatin1(c));
                ++ScanCount;
                break;
            }
        }
    }
    // "B": is the slot's own tag still here.
    for (int i = 0; i < kScanSlots && ScanMode; ++i) {
        if (ScanCodes[i].isEmpty() || ScanFound[i])
            continue;
        if (!scanExchange(ScanCommand('B', IDWireForm(ScanCodes[i]))).isEmpty())
            ScanFound[i] = true;
    }
    scanLamps();
}

// ---------------------------------------------------------------------------------------
// Tag state, unit state, outputs

void WDProtocol::GetTagState(ITagStateView& view)
{
    SetBusy(true);
    const int16_t f = view_ ? static_cast<int16_t>(view_->AccessType()) : 0;
    const QString idText = view_ ? view_->IDCodeText() : QString();
    const int16_t head = view_ ? static_cast<int16_t>(view_->HeadIndex()) : 0;
    const QByteArray wire = f != 0 ? IDWireForm(idText) : QByteArray();

    TagStateDisplay display;
    sendCommand("?70");
    sendOnly(TagStateCommand(f, wire));
    // The state line tells about this request only: no reply means no error text, not the
    // error of some older exchange.
    QByteArray reply;
    int16_t n = receiveReply(reply, false);
    if (n > 0)
        n = ReplyResult(reply, n, false);
    if (n <= 0)
        reply.clear();
    rememberedReply_ = reply;
    display.state = ErrorLine(reply, false);

    const QByteArray id = ReadDataExt(false, head, 0, 0, f, idText, false, false);
    QByteArray block;
    if (!id.isEmpty())
        block = ReadDataExt(true, head, kStateBlockAddress, TagStateBlock::kLength, f, idText, false, false);
    TagStateBlock decoded;
    if (!id.isEmpty() && TagStateBlock::Decode(block, decoded)) {
        const QString state = display.state;
        display = decoded.Display(QString::fromLatin1(id), clock ? clock() : QDate::currentDate());
        display.state = state;
    }
    view.ShowTagState(display);
    SetBusy(false);
}

void WDProtocol::GetState()
{
    if (!stateView_ || !stateView_->Loaded())
        return;
    QByteArray reply;
    const int16_t n = exchange("?73", reply);
    if (n > 0) {
        const QString err = GetError(reply);
        if (err.isEmpty()) {
            for (int i = 0; i <= 6; ++i)
                stateView_->SetStateLamp(i, false);
            // Only a state digit lights a lamp; anything else is no state.
            const char c = reply.size() >= 4 ? reply.at(3) : '\0';
            if (c >= '0' && c <= '6')
                stateView_->SetStateLamp(c - '0', true);
        } else if (ReadHeadError()) {
            ShowLine(err);
        }
    } else {
        for (int i = 0; i <= 6; ++i)
            stateView_->SetStateLamp(i, false);
    }
}

bool WDProtocol::OutputSet()
{
    if (!outputsView_)
        return false;
    QList<bool> outputs;
    for (int i = 0; i < outputsView_->OutputCount(); ++i)
        outputs.append(outputsView_->OutputChecked(i));
    sendCommand("?70");
    QByteArray reply;
    const int16_t n = exchange(OutputsCommand(outputs), reply);
    // A lamp shows an output the unit switched, not merely the box the user ticked.
    const bool ok = n > 0 && reply.startsWith("#72");
    for (int i = 0; i < outputs.size(); ++i)
        outputsView_->SetOutputLamp(i, ok && outputs.at(i));
    if (!ok && n > 0) {
        const QString err = GetError(reply);
        if (!err.isEmpty() && ReadHeadError())
            ShowLine(err);
    }
    return ok;
}

} // namespace orvid
