#include "KRProtocol.h"

#include "families/common/DataItems.h"
#include "families/common/HashCrWire.h"

#include "families/common/KRTagTypes.h"
#include "families/common/TagPassword.h"
#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <algorithm>

namespace orvid {

namespace {

constexpr char kSYN = 22;
const QByteArray kTerminator("#\r");
// A QTX10 data read names no word count ("00"); the tag answers with its three words.
constexpr int kQTX10Words = 3;

const char* const kCommandList[] = {
    "VE Version",
    "CT Change tag",
    "QU Quit command",
    "CI Configure interface",
    "GS Get state",
    "RS Reset",
    "SR Single read",
    "BR Buffered read",
    "AR Auto read",
    "EH Enhanced read",
    "SW Single write",
    "BW Buffered write",
    "AW Auto write",
    "EW Enhanced write",
    "SF Single read fixcode",
    "BF Buffered read fixcode",
    "AF Auto read fixcode",
    "EF Enhanced read fixcode",
    "SG Single get configuration",
    "EH Enhanced get configuration",
    "SC Single configuration",
    "EC Enhanced configuration",
    "PM Password mode (QTX03)",
    "PS Password set (QTX03)",
    "PC Password change (QTX03)",
    "SX Single write fixcode (QTX10)",
    "EX Enhanced write fixcode (QTX10)",
};

// A number with at least two digits, as the tag code goes into "CT".
QByteArray twoDigits(int value)
{
    const QByteArray digits = QByteArray::number(value < 0 ? -value : value).rightJustified(2, '0');
    return value < 0 ? "-" + digits : digits;
}

bool modeValid(int16_t mode)
{
    return mode >= 0 && mode <= 3;
}

} // namespace

KRProtocol::KRProtocol(AppContext& ctx, IKRView* view) : FamilyProtocol(ctx, kSection, view), view_(view) {}

// ---- framing ----------------------------------------------------------------------------

QByteArray KRProtocol::SetLKString(const QByteArray& command, const QByteArray& parameter)
{
    return HashCrTelegram(command, parameter);
}

int16_t KRProtocol::GetLKResult(QByteArray& reply, int16_t length, const QVariant&)
{
    return HashCrResult(reply, length);
}

// ---- what the link calls ---------------------------------------------------------------

QString KRProtocol::PollStep(const QVariant& a, const QVariant& b)
{
    return QString::fromLatin1(Poll(a, b));
}

QByteArray KRProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    // Every telegram flushes the input first: replies kept for later are stale now.
    DropKeptReplies();
    // "QU" ends a repeating read on the head, whoever sends it, and what a late answer it
    // overtakes was is the stop's to sort out. A read answers in the form of a repeat: its
    // answer is never taken for one.
    const QByteArray letters = command.left(2);
    const auto among = [&letters](const std::array<QByteArray, 4>& row) {
        return std::find(row.begin(), row.end(), letters) != row.end();
    };
    if (repeatingRead_.TelegramGoingOut(command, among(cmd_.ReadData) || among(cmd_.ReadFixcode)))
        overdue_ = false;
    return SetLKString(command, suffix);
}

int16_t KRProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption)
{
    return GetLKResult(reply, length, logOption);
}

// ---- link operations --------------------------------------------------------------------

void KRProtocol::Init(bool)
{
    cmd_.Version = "VE";
    cmd_.Quit = "QU";
    cmd_.ChangeTag = "CT";
    cmd_.DisplayMode = "DM0";
    cmd_.PasswordMode = "PM";
    cmd_.PasswordSet = "PS";
    cmd_.PasswordChange = "PC";
    cmd_.GetConfig = "SG";
    cmd_.SetConfig = "SC";
    cmd_.ReadData = {"SR", "BR", "AR", "ER"};
    cmd_.WriteData = {"SW", "BW", "AW", "EW"};
    cmd_.ReadFixcode = {"SF", "BF", "AF", "EF"};
    // The device takes "AX" for Buffered and "BX" for Auto: this row runs S, A, B, E.
    cmd_.WriteFixcode = {"SX", "AX", "BX", "EX"};

    if (ctx_.ports) {
        ctx_.ports->SetFramingType(0);
        ctx_.ports->SetLinkProtocol(kTerminator);
        ctx_.ports->SetTimeout(500);
    }
    commandList_.clear();
    int id = 1;
    for (const char* text : kCommandList)
        commandList_.Add(id++, QString::fromLatin1(text));
    if (view_ && view_->Loaded())
        view_->FillTagCodes();
    // "QU" ends any read, the automatic one included: the next read is what it is asked to be.
    // The input goes before it goes out, but not an automatic read's answer still on its
    // way (the link takes it first): left there, it would be the answer to "QU", and every
    // later answer of the selection one behind, "VE"'s too.
    AutoRead = false;
    sendCommand(cmd_.Quit);
    sendCommand(cmd_.DisplayMode);
}

bool KRProtocol::Check()
{
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }
    QByteArray reply;
    bool ok = false;
    if (sendCommand(cmd_.Version.isEmpty() ? QByteArray("VE") : cmd_.Version, reply, QVariant(), ok) <= 0)
        return false;
    const QByteArray upper = reply.toUpper();
    const int16_t system = CurrentSystem();
    bool found = false;
    QByteArray type;
    if (system == 2) {
        found = upper.contains("ORVID-I") && (upper.contains("QTR-AX") || upper.contains("QTB-A3"));
        type = upper.contains("QTR-AX") ? QByteArray("QTR-AX") : QByteArray("QTB-A3");
    } else if (system == 3) {
        found = upper.contains("QTR1-AX") && upper.contains("ORVID-I");
        type = "QTR1-AX";
    }
    if (found && ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, type);
        ctx_.lk->LkPutData(LinkItem::VersionText, upper);
    }
    return found;
}

int16_t KRProtocol::ReceiveReply(QByteArray& reply, int expectedData, const QVariant& logOption)
{
    return replies_.ReceiveReply([this](QByteArray& r, const QVariant& l) { return receive(r, l); }, ctx_.ports,
                                 reply, expectedData, logOption);
}

int16_t KRProtocol::SendCommandExpect(const QByteArray& command, QByteArray& reply, int expectedData,
                                      const QVariant& logOption, bool& ok)
{
    ok = false;
    reply.clear();
    if (!ctx_.lk || command.isEmpty())
        return 0;
    sendOnly(command, QByteArray(), logOption);
    int16_t n = ReceiveReply(reply, expectedData, logOption);
    if (n > 0) {
        n = GetLKResult(reply, n);
        ok = true;
    }
    return n;
}

QByteArray KRProtocol::Poll(const QVariant& display, const QVariant& direct)
{
    return Poll(display.isValid() ? display.toBool() : true, direct.isValid() ? direct.toBool() : false);
}

QByteArray KRProtocol::Poll(bool display, bool direct)
{
    if (WriteBusy && !direct)
        return QByteArray();
    QByteArray result;
    int byteCount = DataLength;
    QByteArray reply;
    // Each read of the automatic cycle is answered once: with none owed (the first step,
    // or its answer taken before a command went out) there is nothing to wait for.
    const bool awaited = readAnswer_.due() || direct || !AutoRead;
    readAnswer_.settle();
    int n = awaited ? ReceiveReply(reply, expectedReply_, QVariant(!direct)) : 0;
    lastReply_ = n > 0 ? reply : QByteArray();
    if (n > 0)
        overdue_ = false;
    repeatingRead_.Note(FixcodeRead, reply, n);
    if (!reply.isEmpty() && reply.at(0) == kSYN)
        n = 2;
    if (n <= 2) {
        // Nothing, a keep-alive or a bare status.
        if (ReadHeadError() && n > 0 && display)
            ShowLine(GetError(reply));
    } else if (reply.at(0) == '0') {
        const QByteArray data = reply.mid(1);
        if (!data.isEmpty()) {
            if ((Tagcode == TagCode::Auto || Tagcode == TagCode::QTX03) && byteCount == 0)
                byteCount = static_cast<int>(data.size());
            byteCount = std::max(byteCount, 0);
            // A fixcode has no address: only data words are shifted by the start offset.
            const int offset = FixcodeRead ? 0 : StartAddress % 4;
            if (display) {
                QByteArray shown = data.mid(offset);
                if (!FixcodeRead) {
                    shown = shown.left(byteCount);
                    if (ctx_.lk)
                        ctx_.lk->LkPutData(LinkItem::LastData, shown);
                }
                if (view_)
                    view_->ShowData(2, QByteArray(), shown);
            } else {
                result = FixcodeRead ? data.mid(offset) : data.mid(offset, byteCount);
            }
        }
    }
    // The window's own calls never start the automatic cycle in the middle of a read or
    // a write of theirs.
    if (direct)
        return result;

    if (AutoRead) {
        // Never more words than a telegram names (a stored length may ask for more).
        const int count = AutoSRLength > 0 ? std::min((AutoSRLength + 3) / 4, kMaxWords) : 5;
        const bool dataRead = AutoToggle == 0;
        AutoToggle = static_cast<int16_t>((AutoToggle + 1) % 2);
        ReadDataExt(dataRead, 0, TagCode::Auto, 0, count, true, HeadNumber.toLatin1());
    }
    return QByteArray();
}

void KRProtocol::StopBuffered()
{
    stopHead();
}

bool KRProtocol::stopHead(QList<QByteArray>* ahead, bool lateAnswerMayCome)
{
    // The answer is the bare status; the replies of a read it ended carry data.
    return sendStop(cmd_.Quit.isEmpty() ? QByteArray("QU") : cmd_.Quit, QByteArray(),
                    [](const QByteArray& reply) { return reply == "0"; }, ahead, QVariant(), lateAnswerMayCome);
}

int KRProtocol::ReplyOwed() const
{
    return readAnswer_.msLeft();
}

void KRProtocol::OwedReply(QByteArray& reply, int16_t length)
{
    readAnswer_.settle();
    // A head slower than its time-out may still answer, ahead of the next telegram's answer.
    overdue_ = length <= 0;
    if (length > 0)
        listFrame(reply);
}

bool KRProtocol::ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
{
    return repeatingRead_.Claim(FixcodeRead, frame, length, inAnswer, [this](const QByteArray& f) { listFrame(f); });
}

void KRProtocol::listFrame(const QByteArray& frame)
{
    // Listed as the poll step lists it, a reply cut at a "#" CR in its data made whole.
    replies_.Keep(frame);
    Poll(true, true);
}

void KRProtocol::CloseLK()
{
    StopBuffered();
    if (!ctx_.settings)
        return;
    KRSettings k;
    k.Tagcode = Tagcode;
    k.OperationMode = OperationMode;
    k.StartAddress = StartAddress;
    k.DataLength = DataLength;
    k.DataRepresentation = DataRepresentation;
    k.PasswordFlag = PasswordFlag;
    k.SaveSelection(ctx_);
}

// ---- reads and writes -------------------------------------------------------------------

bool KRProtocol::SetPasswordMode(bool logFlag, const QByteArray& head)
{
    const QVariant log(logFlag);
    if (view_ && view_->PasswordChecked() && Tagcode == TagCode::QTX03) {
        quint32 value = 0;
        if (!ParsePassword(view_->PasswordText(), value)) {
            // A typing slip must not become the password sent to the tag.
            ShowLine(Translate(QString::fromLatin1(PasswordInvalidKey()), PasswordInvalidText()));
            return false;
        }
        sendCommand(cmd_.PasswordMode + head + "1", log);
        sendCommand(cmd_.PasswordSet + head + MKL(static_cast<qint32>(value)), log);
    } else {
        sendCommand(cmd_.PasswordMode + head + "0", log);
    }
    return true;
}

bool KRProtocol::ReadDataExt(bool dataRead, int16_t mode, int16_t tagCode, int startWord, int wordCount,
                             bool logFlag, const QByteArray& head)
{
    Q_UNUSED(head); // this family's telegrams carry no head number
    if (dataRead && (wordCount < 0 || wordCount > kMaxWords || startWord < 0 || startWord > 0x3FFF)) {
        ShowLine(Translate(QStringLiteral("TooManyWords"),
                           QStringLiteral("Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm.")));
        return false;
    }
    if (view_ && view_->PasswordChecked() && Tagcode == TagCode::QTX03) {
        quint32 value = 0;
        if (!ParsePassword(view_->PasswordText(), value))
            return SetPasswordMode(logFlag, QByteArray()); // reports it, sends nothing
    }
    FixcodeRead = !dataRead;
    const QVariant log(logFlag);
    sendCommand(cmd_.Quit, log);
    SetPasswordMode(logFlag, QByteArray());
    sendCommand(cmd_.ChangeTag + twoDigits(tagCode), log);

    QByteArray parameter;
    if (modeValid(mode))
        CurrentCommand = dataRead ? cmd_.ReadData[mode] : cmd_.ReadFixcode[mode];
    if (dataRead) {
        parameter = HexString(startWord, "0000") + HexString(wordCount, "00");
        // A QTX10 tag answers "no count" with its three words: a known length as well.
        const int words = wordCount == 0 && tagCode == TagCode::QTX10 ? kQTX10Words : wordCount;
        expectedReply_ = 4 * words;
    } else {
        // The fixcode tags carry five bytes (their write telegrams say "05"); how long the
        // code of another tag type (or of an unknown one) is, nothing says.
        const bool fixcodeTag = tagCode == TagCode::QTX10 || tagCode == TagCode::QTX11
                                || tagCode == TagCode::QTX14;
        expectedReply_ = fixcodeTag ? kFixcodeLength : 0;
    }
    sendOnly(CurrentCommand, parameter, log);
    readAnswer_.expect(ctx_.ports ? ctx_.ports->GetTimeout() : 0);
    return true;
}

void KRProtocol::ReadData(bool dataRead)
{
    // A read asked for ends the automatic cycle (its "QU" ends the cycle's read on the
    // head): the poll steps collecting this read must not bring the cycle back.
    AutoRead = false;
    SetBusy(true);
    if (dataRead && Tagcode == TagCode::QTX02) {
        ShowMessage(40);
    } else if (!dataRead && Tagcode == TagCode::QTX01) {
        ShowMessage(41);
    } else {
        const int count = Tagcode == TagCode::QTX10 ? 0 : WordCount;
        const int stops = StopCount();
        if (ReadDataExt(dataRead, OperationMode, Tagcode, StartWord, count, false, HeadNumber.toLatin1())) {
            const int16_t previous = ctx_.ports ? ctx_.ports->SetTimeout(5000) : 0;
            Poll(true, true);
            if (ctx_.ports)
                ctx_.ports->SetTimeout(previous);
            // An Auto read no tag answered stays armed on the head: a tag coming later
            // would answer no one (a Stop pressed meanwhile sends its own "QU").
            if (OperationMode == 2 && lastReply_.isEmpty() && stops == StopCount())
                stopHead();
            // A Stop pressed while the first reply was awaited ends the repeated read.
            if ((OperationMode == 1 || OperationMode == 3) && ctx_.lk && stops == StopCount()) {
                repeatingRead_.Start();
                ctx_.lk->EnablePolling(true);
            }
        }
    }
    SetBusy(false);
}

bool KRProtocol::WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                          const QByteArray& data, const QByteArray& head)
{
    // Nothing to write, or a request no telegram can carry: refused before anything is sent.
    if (!modeValid(mode) || address < 0 || address > 0xFFFF || length <= 0)
        return FailWrite(QString(), QByteArray());
    const bool fixcodeWrite = fixcode && tagCode == TagCode::QTX10;
    // A fixcode is written once and for good: more bytes than it holds are not cut silently.
    if (fixcodeWrite && length > kFixcodeLength)
        return FailWrite(Translate(QStringLiteral("FixcodeTooLong"),
                                   QStringLiteral("Fehler: Ein Fixcode hat höchstens 5 Bytes.")),
                         QByteArray());
    const quint16 addr = static_cast<quint16>(address);
    QByteArray bytes = data.left(length);
    if (bytes.size() < length)
        bytes.append(QByteArray(length - bytes.size(), '\0'));
    const int startWord = addr / 4;
    int count = WordsFor(addr, length);
    if (tagCode == TagCode::QTX10 && count >= 2)
        count = 3;
    if (count > kMaxWords)
        return FailWrite(Translate(QStringLiteral("TooManyWords"),
                                   QStringLiteral("Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm.")),
                         QByteArray());
    if (startWord + count > 0x4000)
        return FailWrite(Translate(QStringLiteral("BeyondEnd"),
                                   QStringLiteral("Fehler: Die Daten reichen über die Adresse FFFF hinaus.")),
                         QByteArray());

    const int16_t previous = ctx_.ports ? ctx_.ports->GetTimeout() : 0;
    auto finish = [&](bool result) {
        SetBusy(false);
        if (ctx_.ports)
            ctx_.ports->SetTimeout(previous);
        CurrentCommand.clear();
        return result;
    };
    SetBusy(true);

    // Read back the words the data touches, with the write's own mode letter.
    WriteBusy = true;
    QByteArray old;
    const bool asked = ReadDataExt(true, mode, tagCode, startWord, count, false, head);
    if (asked) {
        if (ctx_.ports)
            ctx_.ports->SetTimeout(2000);
        const quint16 savedWord = StartWord, savedAddress = StartAddress;
        const int savedCount = WordCount, savedLength = DataLength;
        StartWord = static_cast<quint16>(startWord);
        StartAddress = static_cast<quint16>(startWord * 4);
        WordCount = count;
        DataLength = count * 4;
        old = Poll(false, true);
        StartWord = savedWord;
        StartAddress = savedAddress;
        WordCount = savedCount;
        DataLength = savedLength;
    }
    WriteBusy = false;
    if (!asked) {
        ShowMessage(4);
        return finish(false);
    }
    if (old.size() != count * 4) {
        // Without the current bytes around the data the merge would put zeros over bytes
        // the user never entered: write nothing. A running repeated read is stopped.
        stopHead();
        FailWrite(QString(), lastReply_);
        return finish(false);
    }

    const int offset = addr % 4;
    QByteArray merged = old.left(offset) + bytes + old.mid(offset + length);

    sendCommand(cmd_.Quit);
    SetPasswordMode(false, QByteArray());
    sendCommand(cmd_.ChangeTag + twoDigits(tagCode));

    CurrentCommand = fixcodeWrite ? cmd_.WriteFixcode[mode] + "0205" : cmd_.WriteData[mode];
    merged = merged.left(count * 4);
    if (merged.size() < count * 4)
        merged.append(QByteArray(count * 4 - merged.size(), '\0'));
    // The permanent fixcode holds the user's bytes only, never tag bytes around them.
    const QByteArray parameter = fixcodeWrite
        ? (bytes + QByteArray(kFixcodeLength, '\0')).left(kFixcodeLength)
        : HexString(startWord, "0000") + HexString(count, "00") + merged;

    QByteArray reply;
    bool ok = false;
    const int16_t n = sendCommand(CurrentCommand + parameter, reply, QVariant(), ok);
    // The sign of the result tells a status; the data of a good reply is never read as one.
    if (!ok || n < 0) {
        QByteArray status = reply;
        if (!ok && endUnanswered(mode, status))
            return finish(true);
        FailWrite(QString(), status);
        return finish(false);
    }
    return finish(true);
}

bool KRProtocol::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    const QByteArray command = modeValid(mode) ? cmd_.WriteFixcode[mode] : QByteArray();
    if (command.isEmpty())
        return FailWrite(QString(), QByteArray());
    const QByteArray code = (fixcode + QByteArray(kFixcodeLength, '\0')).left(kFixcodeLength);
    QByteArray reply;
    bool ok = false;
    const int16_t n = sendCommand(command + (writeProtect ? "02" : "11") + "05" + code, reply, QVariant(), ok);
    if (!ok || n < 0) {
        QByteArray status = reply;
        return (!ok && endUnanswered(mode, status)) || FailWrite(QString(), status);
    }
    return true;
}

bool KRProtocol::endUnanswered(int16_t mode, QByteArray& answer)
{
    answer.clear();
    // Buffered and Auto wait for a tag on the head (mode 1 and 2); Single is done.
    if (mode != 1 && mode != 2)
        return false;
    // Nothing else runs on the head: a frame ahead of the stop's answer is the command's
    // own, come just after its time ("0" too: then the stop's follows it).
    QList<QByteArray> ahead;
    stopHead(&ahead, true);
    if (ahead.isEmpty())
        return false;
    answer = ahead.first();
    QByteArray decoded = answer;
    return GetLKResult(decoded, static_cast<int16_t>(std::min<qsizetype>(decoded.size(), 32767))) >= 0;
}

QString KRProtocol::GetError(const QByteArray& reply, bool withPrefix) const
{
    return HashCrStatusLine(*this, reply, StatusPrefix, withPrefix, [](char code) {
        switch (code) {
        case '4': return QStringLiteral("Falscher oder ungültiger Befehl");
        case '5': return QStringLiteral("Kein Tag im Lesebereich");
        case '6': return QStringLiteral("Hardware Fehler (Schreiblesekopf nicht erkannt)");
        case '7': return QStringLiteral("Software Fehler (ungültiges Befehlargument)");
        default: return QString();
        }
    });
}

// ---- data items and settings ------------------------------------------------------------

bool KRProtocol::PutData(int16_t id, const QVariant& value)
{
    switch (id) {
    case KRItem::OperationMode:
        OperationMode = static_cast<int16_t>(value.toInt());
        return true;
    case KRItem::StartAddress:
        // Addresses from 8000 hex on may come as negative 16-bit values: the same address.
        StartAddress = static_cast<quint16>(value.toLongLong() & 0xFFFF);
        StartWord = static_cast<quint16>(StartAddress / 4);
        PutData(KRItem::DataLength, DataLength);
        return true;
    case KRItem::DataLength:
        DataLength = std::max(0, value.toInt());
        WordCount = WordsFor(StartAddress, DataLength);
        return true;
    case KRItem::DataRepresentation:
        DataRepresentation = static_cast<int16_t>(value.toInt());
        return true;
    case KRItem::Tagcode:
        Tagcode = static_cast<int16_t>(value.toInt());
        return true;
    case KRItem::PasswordFlag:
        PasswordFlag = value.toBool();
        return true;
    case KRItem::HeadNumber:
        HeadNumber = value.toString();
        return true;
    default:
        return false;
    }
}

bool KRProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case KRItem::OperationMode: value = static_cast<int>(OperationMode); return true;
    case KRItem::StartAddress: value = static_cast<int>(StartAddress); return true;
    case KRItem::DataLength: value = DataLength; return true;
    case KRItem::DataRepresentation: value = static_cast<int>(DataRepresentation); return true;
    case KRItem::Tagcode: value = static_cast<int>(Tagcode); return true;
    case KRItem::PasswordFlag: value = PasswordFlag; return true;
    case KRItem::HeadNumber: value = HeadNumber; return true;
    default: return false;
    }
}

void KRProtocol::LoadSettings()
{
    if (!ctx_.settings)
        return;
    const KRSettings k = KRSettings::Load(ctx_);
    Tagcode = k.Tagcode;
    OperationMode = k.OperationMode;
    PutData(KRItem::StartAddress, static_cast<qlonglong>(k.StartAddress));
    PutData(KRItem::DataLength, k.DataLength);
    DataRepresentation = k.DataRepresentation;
    PasswordFlag = k.PasswordFlag;
    HeadNumber = k.HeadNumber;
    AutoDataRepRead = k.AutoDataRepRead;
    AutoDataRepFixed = k.AutoDataRepFixed;
    // One telegram carries at most 255 words: a longer stored length reads those.
    AutoSRLength = static_cast<int16_t>(std::min<int>(k.AutoSRLength, 4 * kMaxWords));
}

void KRProtocol::SaveHeadNumber()
{
    if (ctx_.settings)
        KRSettings::SaveHeadNumber(ctx_, HeadNumber);
}

// ---- configuration words and the tag password -------------------------------------------

void KRProtocol::showStatus(const QByteArray& reply)
{
    // The line goes to the list even when the code has no text (an empty line marks it).
    if (view_)
        view_->ShowData(1, QByteArray(), ToCp1252(GetError(reply)));
}

bool KRProtocol::selectTagForConfiguration()
{
    QByteArray reply;
    bool ok = false;
    ctx_.lk->SendCommand(cmd_.Quit, reply, QVariant(), ok);
    if (!SetPasswordMode(false, QByteArray()))
        return false;
    ctx_.lk->SendCommand(cmd_.ChangeTag + twoDigits(Tagcode), reply, QVariant(), ok);
    return true;
}

int16_t KRProtocol::readWord(const QByteArray& command, QByteArray& word, bool& answered)
{
    QByteArray reply;
    bool ok = false;
    const int16_t n = SendCommandExpect(command, reply, kConfigWordBytes, QVariant(), ok);
    word.clear();
    answered = false;
    if (n < 0) {
        if (ReadHeadError())
            showStatus(reply);
    } else if (ok) {
        answered = true;
        // Only a whole word can be decoded or written back.
        if (reply.size() == kConfigWordBytes)
            word = reply;
    }
    return n;
}

bool KRProtocol::ReadConfiguration(QByteArray& controlWord, QByteArray& protectionWord, bool* cut)
{
    controlWord.clear();
    protectionWord.clear();
    if (cut)
        *cut = false;
    if (!ctx_.lk || !selectTagForConfiguration())
        return false;
    bool controlAnswered = false, protectionAnswered = false;
    readWord(cmd_.GetConfig + "2", controlWord, controlAnswered);
    readWord(cmd_.GetConfig + "1", protectionWord, protectionAnswered);
    // A good answer that does not hold a whole word cannot be decoded.
    if (cut)
        *cut = (controlAnswered && controlWord.isEmpty()) || (protectionAnswered && protectionWord.isEmpty());
    return true;
}

bool KRProtocol::writeWord(const QByteArray& command, const QByteArray& word)
{
    QByteArray reply;
    bool ok = false;
    const int16_t n = ctx_.lk->SendCommand(command + word, reply, QVariant(), ok);
    if (ok && n >= 0)
        return true;
    if (ok)
        showStatus(reply);
    return false;
}

bool KRProtocol::WriteConfiguration(const QByteArray& controlWord, const QByteArray& protectionWord)
{
    // Only whole words go to the tag: a word that was never read (or came back cut) is
    // never replaced by zeros, and half a configuration is not written either.
    if (controlWord.size() != kConfigWordBytes || protectionWord.size() != kConfigWordBytes) {
        ShowMessage(61);
        return false;
    }
    if (!ctx_.lk || !selectTagForConfiguration())
        return false;
    // The second word is written even when the first was refused; one message for both.
    const bool protection = writeWord(cmd_.SetConfig + "1", protectionWord);
    const bool control = writeWord(cmd_.SetConfig + "2", controlWord);
    if (protection && control)
        return true;
    ShowMessage(4);
    return false;
}

bool KRProtocol::ChangePassword(quint32 oldValue, quint32 newValue)
{
    if (!ctx_.lk)
        return false;
    QByteArray reply;
    bool ok = false;
    ctx_.lk->SendCommand(cmd_.ChangeTag + twoDigits(Tagcode), reply, QVariant(), ok);
    const int16_t n = ctx_.lk->SendCommand(cmd_.PasswordChange + MKL(static_cast<qint32>(oldValue))
                                               + MKL(static_cast<qint32>(newValue)),
                                           reply, QVariant(), ok);
    if (ok && n >= 0)
        return true;
    // A refusal (or no answer) is always reported: the status line when the device sent
    // one, and the message that the tag was not written.
    if (ok)
        showStatus(reply);
    ShowMessage(4);
    return false;
}

} // namespace orvid
