#include "WLProtocol.h"

#include "families/common/DataItems.h"
#include "foundations/AppContext.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/LinkInterfaces.h"
#include "link/Ports.h"
#include "foundations/MainFrame.h"

#include <algorithm>

namespace orvid {

namespace {
const QByteArray kTerminator("#\r");
const QByteArray kListingTerminator("\r\n");
constexpr int16_t kTimeout = 500;
constexpr int16_t kFirstReplyTimeout = 5000;
constexpr int16_t kListingTimeout = 1000;
// A "GI" reply holds the outputs at characters 7 and 8 and the inputs at 14 to 16.
constexpr int kIOReplyLength = 16;
const char* const kReadCommands[] = {"SR", "BR", "AR"};
const char* const kFixcodeCommands[] = {"SF", "BF", "AF"};
} // namespace

WLProtocol::WLProtocol(AppContext& ctx, IWLView* view)
    : FamilyProtocol(ctx, kSection, view), view_(view), link_(ctx, LinkWatch::Transport::Serial, [this] { linkLost(); })
{
}

// ---- framing ----------------------------------------------------------------------------

QString WLProtocol::GetError(const QByteArray& reply, bool withPrefix) const
{
    return HashCrStatusLine(*this, reply, StatusPrefix, withPrefix, [](char code) {
        switch (code) {
        case '4': return QStringLiteral("Falscher oder ungültiger Befehl");
        case '5': return QStringLiteral("Lese-/Schreibfehler");
        default: return QString();
        }
    });
}

QByteArray WLProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    replies_.Drop();
    const QByteArray letters = command.left(2);
    const auto among = [&letters](const char* const (&row)[3]) {
        return std::find(std::begin(row), std::end(row), letters) != std::end(row);
    };
    bufferedRead_.TelegramGoingOut(command, among(kReadCommands) || among(kFixcodeCommands));
    return HashCrTelegram(command, suffix);
}

int16_t WLProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant&)
{
    return HashCrResult(reply, length);
}

// ---- link operations --------------------------------------------------------------------

void WLProtocol::Init(bool)
{
    if (ctx_.frame)
        ctx_.frame->setMenuEnabled(MenuEntry::IO, true);
    if (ctx_.ports) {
        ctx_.ports->SetFramingType(0);
        ctx_.ports->SetLinkProtocol(kTerminator);
        ctx_.ports->SetTimeout(kTimeout);
        ctx_.ports->FlushInput();
    }
    // "QU" ends whatever the unit was doing: a Buffered read sends no more replies, and a
    // write's progress would count the silence after it as success. The write ends before
    // the unit could report it, so it is listed as failed: nothing tells it was done.
    ScanActive = false;
    if (WriteProgress > 0) {
        writeFailed(QByteArray());
        endWrite();
    }
    LKRead("QU");
    // The loaded window's bit-rate list holds the user's choice: the telegrams follow what
    // it shows. Before the window loads (recognition) the low rate stands in.
    if (!view_ || !view_->Loaded())
        BitRate = 1;
}

bool WLProtocol::Check()
{
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }
    QByteArray reply;
    if (LKRead("VE", reply) <= 0)
        return false;
    const QByteArray upper = reply.toUpper();
    if (!upper.contains("ORVID-M") || !upper.contains("VALDRECHT"))
        return false;
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray("ORVID-M"));
        ctx_.lk->LkPutData(LinkItem::VersionText, upper);
    }
    // Selected again, the I/O window's automatic refresh goes on (the selection stopped it).
    ScanEnable(false);
    return true;
}

QString WLProtocol::PollStep(const QVariant& a, const QVariant& b)
{
    return QString::fromLatin1(Poll(a.isValid() ? a.toBool() : true, b.isValid() ? b.toBool() : false));
}

bool WLProtocol::ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
{
    return bufferedRead_.Claim(FixcodeMode, frame, length, inAnswer, [this](const QByteArray& f) {
        // Listed as the poll step lists it, a reply cut at a "#" CR in its data made whole.
        replies_.Keep(f);
        showReading(true, QVariant(false));
    });
}

void WLProtocol::StopBuffered()
{
    // The answer is the bare status; the replies of a read it ended carry data.
    sendStop("QU", QByteArray(), [](const QByteArray& reply) { return reply == "0"; });
}

void WLProtocol::CloseLK()
{
    StopBuffered();
}

// ---- exchanges --------------------------------------------------------------------------

int16_t WLProtocol::LKRead(const QByteArray& command, QByteArray& reply, const QVariant& logOption)
{
    int16_t result = 0;
    int tries = 0;
    bool ok = false;
    do {
        result = sendCommand(command, reply, logOption, ok);
        ++tries;
    } while (tries < MaxRetries && result < 0);
    return result;
}

QByteArray WLProtocol::configTelegramCM() const
{
    // A channel that is no number 1..99 never goes out: the default stands in.
    QString channel = WLSettings::FrequencyText(Frequency);
    if (channel.isEmpty())
        channel = QStringLiteral("50");
    const int range = Range >= 1 && Range <= 4 ? Range : 4;
    return "CM" + channel.toLatin1() + "," + QByteArray::number(range);
}

void WLProtocol::SetTagConfig(const QVariant& logOption)
{
    QByteArray reply;
    LKRead("QU", reply, logOption);
    LKRead(configTelegramCM(), reply, logOption);
    LKRead("MI" + QByteArray::number(BitRate), reply, logOption);
    LKRead("TC030," + QByteArray::number(BitRate) + ",C00", reply, logOption);
}

void WLProtocol::ReadDataExt(bool dataRead, int16_t mode, int startWord, int wordCount, const QVariant& logOption)
{
    if (mode < 0 || mode > 2)
        mode = 0;
    FixcodeMode = !dataRead;
    SetTagConfig(logOption);
    if (dataRead) {
        expectedReply_ = 4 * wordCount;
        sendOnly(kReadCommands[mode],
                 HexString(startWord & 0xFFFF, "0000") + HexString(wordCount & 0xFF, "00"), logOption);
    } else {
        expectedReply_ = 0;   // a fixcode's length is the unit's
        sendOnly(kFixcodeCommands[mode], QByteArray(), logOption);
    }
}

void WLProtocol::ReadData(bool dataRead)
{
    SetBusy(true);
    ReadDataExt(dataRead, OperationMode, StartWord, WordCount);
    const int16_t previous = ctx_.ports ? ctx_.ports->SetTimeout(kFirstReplyTimeout) : 0;
    Poll(true, true);
    if (ctx_.ports)
        ctx_.ports->SetTimeout(previous);
    if (OperationMode == 1) {
        bufferedRead_.Start();
        ScanEnable(true, true);
    }
    SetBusy(false);
}

int16_t WLProtocol::receiveReply(QByteArray& reply, int expectedData, const QVariant& logOption)
{
    return replies_.ReceiveReply([this](QByteArray& r, const QVariant& l) { return receive(r, l); }, ctx_.ports,
                                 reply, expectedData, logOption);
}

void WLProtocol::writeFailed(const QByteArray& statusReply)
{
    ShowLine(WriteErrorText);
    // The option governs only the unit's own status line, never whether a failure shows.
    if (ReadHeadError() && !statusReply.isEmpty())
        ShowLine(GetError(statusReply));
}

void WLProtocol::endWrite()
{
    WriteProgress = 0;
    if (view_)
        view_->SetWriteRunning(false);
}

void WLProtocol::finishWrite()
{
    endWrite();
    ScanEnable(false, false);
}

void WLProtocol::linkLost()
{
    if (WriteProgress == 0)
        return;
    writeFailed(QByteArray());
    finishWrite();
}

QByteArray WLProtocol::Poll(bool show, bool wait)
{
    if (WriteProgress > 0) {
        // A port that is gone answers nothing, which the count below would take for success.
        if (!link_.Up()) {
            linkLost();
            return QByteArray();
        }
        if (WriteProgress == 1 && show)
            ShowLine(WriteActiveText);
        QByteArray reply;
        const int16_t n = receive(reply, QVariant(!wait));
        // The port failed during the wait: the write has been ended there.
        if (WriteProgress == 0)
            return QByteArray();
        if (n > 0 && !reply.isEmpty() && reply.at(0) >= '1' && reply.at(0) <= '9') {
            writeFailed(reply);
        } else if (++WriteProgress < kWriteTicks) {
            if (view_)
                view_->AppendToLastLine(".");
            return QByteArray();
        } else {
            ShowLine(WriteDoneText);
        }
        finishWrite();
    }

    const QByteArray last = ScanActive || wait ? showReading(show, QVariant(!wait)) : QByteArray();
    // The inputs last, the read's own waited step included: a tag reply waiting for this
    // step is listed before their "GI" goes out.
    if (view_ && view_->IOAutoRefresh())
        view_->RefreshInputs();
    return wait ? last : QByteArray();
}

QByteArray WLProtocol::showReading(bool show, const QVariant& logOption)
{
    const int rep = show ? DataRepresentation : 0;
    QByteArray reply;
    const int n = receiveReply(reply, FixcodeMode ? 0 : expectedReply_, logOption);
    bufferedRead_.Note(FixcodeMode, reply, n);
    if (n <= 2) {
        if (ReadHeadError() && n >= 1 && show)
            ShowLine(GetError(reply));
        return QByteArray();
    }
    const qsizetype p = reply.indexOf('0');
    if (p < 0 || p + 1 >= reply.size())
        return QByteArray();
    const QList<QByteArray> lines = FormatData(reply.mid(p + 1), StartAddress & 3, DataLength, FixcodeMode, rep,
                                               view_ ? view_->LineWidth() : 80);
    if (show && view_) {
        for (const QByteArray& line : lines)
            view_->ShowData(2, QByteArray(), line);
    }
    return lines.isEmpty() ? QByteArray() : lines.last();
}

QList<QByteArray> WLProtocol::FormatData(const QByteArray& data, int skip, int length, bool fixcode, int rep,
                                         int lineWidth)
{
    QList<QByteArray> lines;
    const int step = rep == 1 ? 3 : rep == 2 ? 4 : 1;
    const qsizetype end = fixcode ? data.size() : std::min<qsizetype>(data.size(), qsizetype(skip) + length);
    QByteArray line;
    // A fixcode has no address: only data reads skip to the start byte.
    for (qsizetype i = fixcode ? 0 : std::max(0, skip); i < end; ++i) {
        const auto code = static_cast<quint8>(data.at(i));
        QByteArray cell;
        if (rep == 1)
            cell = HexString(code, "00") + " ";
        else if (rep == 2)
            cell = QByteArray::number(code).rightJustified(3, '0') + " ";
        else
            cell = QByteArray(1, static_cast<char>(code < 32 ? code + 161 : code));
        if (!line.isEmpty() && line.size() + step >= lineWidth) {
            lines.append(line);
            line.clear();
        }
        line += cell;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

bool WLProtocol::WriteTag(int16_t intervalType, int16_t intervalLength, QByteArray data)
{
    const int words = static_cast<int>((data.size() + 3) / 4);
    if (words > kMaxWords) {
        ShowLine(Translate(QStringLiteral("TooManyWords"),
                           QStringLiteral("Fehler: Höchstens 255 Wörter (1020 Bytes) in einem Telegramm.")));
        return false;
    }
    // Nothing escapes a "#" CR: the unit would end the telegram there.
    if (data.contains(kTerminator)) {
        ShowLine(Translate(QStringLiteral("TerminatorInData"),
                           QStringLiteral("Fehler: Die Daten enthalten \"#\" und CR, das Ende eines Telegramms.")));
        return false;
    }
    QByteArray reply;
    LKRead("QU", reply);
    LKRead(configTelegramCM(), reply);
    LKRead("MI" + QByteArray::number(BitRate), reply);
    QByteArray code = intervalType == 0 ? "C" : "R";
    static const char* const kLengths[] = {"00", "04", "08", "16"};
    if (intervalLength >= 0 && intervalLength <= 3)
        code += kLengths[intervalLength];
    LKRead("TC030," + QByteArray::number(BitRate) + "," + code, reply);

    if (view_)
        view_->SetWriteRunning(true);
    link_.Watch();
    data.append(QByteArray(words * 4 - data.size(), ' '));
    const QByteArray count = QByteArray::number(words).rightJustified(2, '0');
    const int16_t n = LKRead("SW0000" + count + data, reply);
    if (n < 0 || !link_.Up()) {
        writeFailed(n < 0 ? reply : QByteArray());
        if (view_)
            view_->SetWriteRunning(false);
        return true;
    }
    WriteProgress = 1;
    ScanEnable(true, true);
    return true;
}

void WLProtocol::ListConfiguration()
{
    QByteArray reply;
    LKRead("QU", reply);
    const QByteArray protocol = ctx_.ports ? ctx_.ports->GetLinkProtocol() : QByteArray();
    const int16_t timeout = ctx_.ports ? ctx_.ports->GetTimeout() : 0;
    if (ctx_.ports) {
        ctx_.ports->SetTimeout(kListingTimeout);
        ctx_.ports->SetLinkProtocol(kListingTerminator);
    }
    const int16_t n = LKRead("LS", reply);
    if (n < 0) {
        if (ReadHeadError())
            ShowLine(GetError(reply));
        reply.clear();
    }
    // The first line came with the status (a bare "0" is an empty line); after an error or
    // no reply it is the empty line that opens the listing all the same.
    if (view_)
        view_->ShowData(2, QByteArray(), reply);
    // A unit that never stops talking ends the listing after so many lines.
    for (int lines = 0; lines < kMaxListingLines; ++lines) {
        QByteArray line;
        if (receive(line, QVariant()) <= 0)
            break;
        if (view_)
            view_->ShowData(2, QByteArray(), line);
    }
    if (ctx_.ports) {
        ctx_.ports->SetTimeout(timeout);
        ctx_.ports->SetLinkProtocol(protocol);
    }
}

void WLProtocol::OutputSet(bool output1, bool output2)
{
    LKRead(QByteArray("DO000000") + (output2 ? '1' : '0') + (output1 ? '1' : '0'));
}

std::optional<WLIOState> WLProtocol::InputSet()
{
    QByteArray reply;
    const int16_t n = LKRead("GI", reply);
    // No reply, an error or a short one tells nothing: no lamp may light on it.
    if (n < kIOReplyLength || reply.size() < kIOReplyLength)
        return std::nullopt;
    WLIOState s;
    for (int i = 0; i < 3; ++i)
        s.inputs[i] = reply.at(15 - i) != '0';
    for (int i = 0; i < 2; ++i)
        s.outputs[i] = reply.at(7 - i) != '0';
    return s;
}

void WLProtocol::ScanEnable(bool flag, std::optional<bool> scanState)
{
    if (scanState)
        ScanActive = *scanState;
    if (!flag)
        flag = (view_ && view_->IOAutoRefresh()) || ScanActive;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(flag);
}

// ---- data items and settings ------------------------------------------------------------

bool WLProtocol::PutData(int16_t id, const QVariant& value)
{
    switch (id) {
    case WLItem::OperationMode:
        OperationMode = static_cast<int16_t>(std::clamp(value.toInt(), 0, 2));
        return true;
    case WLItem::StartAddress:
        StartAddress = static_cast<quint16>(value.toLongLong() & 0xFFFF);
        StartWord = static_cast<quint16>(StartAddress / 4);
        WordCount = WordsFor(StartAddress, DataLength);
        return true;
    case WLItem::DataLength:
        DataLength = std::clamp(value.toInt(), 0, kMaxLength);
        WordCount = WordsFor(StartAddress, DataLength);
        return true;
    case WLItem::DataRepresentation:
        DataRepresentation = static_cast<int16_t>(std::clamp(value.toInt(), 0, 2));
        return true;
    case WLItem::Frequency:
        Frequency = value.toString();
        return true;
    case WLItem::Range:
        Range = static_cast<int16_t>(value.toInt());
        return true;
    case WLItem::BitRate:
        BitRate = static_cast<int16_t>(value.toInt());
        return true;
    case WLItem::TagSpeed:
        TagSpeed = static_cast<int16_t>(value.toInt());
        return true;
    default:
        return false;
    }
}

bool WLProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case WLItem::OperationMode: value = static_cast<int>(OperationMode); return true;
    case WLItem::StartAddress: value = static_cast<int>(StartAddress); return true;
    case WLItem::DataLength: value = DataLength; return true;
    case WLItem::DataRepresentation: value = static_cast<int>(DataRepresentation); return true;
    default: return false;
    }
}

void WLProtocol::LoadSettings()
{
    if (!ctx_.settings)
        return;
    const WLSettings s = WLSettings::Load(ctx_);
    OperationMode = s.OperationMode;
    PutData(WLItem::StartAddress, static_cast<int>(s.StartAddress));
    PutData(WLItem::DataLength, s.DataLength);
    DataRepresentation = s.DataRepresentation;
    Frequency = s.Frequency;
    Range = s.Range;
    BitRate = s.BitRate;
    TagSpeed = s.TagSpeed;
    MaxRetries = s.MaxRetries;
}

void WLProtocol::SaveSettings() const
{
    if (!ctx_.settings)
        return;
    WLSettings s;
    s.OperationMode = OperationMode;
    s.StartAddress = StartAddress;
    s.DataLength = DataLength;
    s.DataRepresentation = DataRepresentation;
    s.Frequency = Frequency;
    s.Range = Range;
    s.BitRate = BitRate;
    s.TagSpeed = TagSpeed;
    s.Save(ctx_);
}

} // namespace orvid
