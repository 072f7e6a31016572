#include "WLFramedLayer.h"

#include "WLParameterString.h"
#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "families/common/MicrowaveWrite.h"
#include "foundations/AppContext.h"
#include "foundations/MainFrame.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <utility>

namespace orvid {

using namespace wlframed;

namespace {
constexpr int16_t kTimeout = 500;
constexpr int kParameterLine = 37; // "$" and the 36 characters
const QByteArray kResync("~\x16");
const QByteArray kNextLine("$\x05");
const QByteArray kCreateInput[3] = {QByteArray("KA\x00\x00\xF6\x1C\x80\x00\x06", 9),
                                    QByteArray("KA\x00\x00\xF6\x1C\x80\x01\x07", 9),
                                    QByteArray("KA\x00\x00\xF6\x1C\x80\x02\x08", 9)};
const QByteArray kCreateOutput[2] = {QByteArray("JA\x00\x00\xFE\x8E\x80\x02", 8),
                                     QByteArray("JA\x00\x00\xFE\x8E\x80\x03", 8)};

// Sends command until a call returns less than 2 data characters or max calls were made.
template <class F>
void Drain(int max, F call)
{
    for (int i = 0; i < max; ++i)
        if (call() < 2)
            return;
}
} // namespace

WLFramedProtocol::WLFramedProtocol(AppContext& ctx, IWLFramedView* view)
    : FamilyProtocol(ctx, kSection, view), view_(view), link_(ctx, LinkWatch::Transport::Serial, [this] {
          if (WriteProgress > 0)
              finishWrite("WriteError", WriteErrorText);
      })
{
}

QByteArray WLFramedProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    handToggle_.reset();
    if (!std::exchange(ownTelegram_, false))
        handToggle_ = ToggleBit;
    return FrameBody(command, suffix, BusAddress, ToggleBit);
}

int16_t WLFramedProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant&)
{
    if (handToggle_ && AcceptReply(reply, length, BusAddress, *handToggle_))
        ToggleBit = 1 - *handToggle_;
    handToggle_.reset();
    return length;
}

void WLFramedProtocol::Init(bool)
{
    if (ctx_.frame) {
        ctx_.frame->setMenuEnabled(MenuEntry::IO, true);
        ctx_.frame->setMenuEnabled(MenuEntry::State, true);
    }
    // The framing only: the link calls Init again after the recognition (the previous
    // system's close-down replaced the framing), and the bus address and toggle that
    // Check found and left must hold for the exchanges that follow it. They start afresh
    // where the talk with the reader starts, in Check.
    if (ctx_.ports) {
        ctx_.ports->SetFramingType(6);
        ctx_.ports->SetLinkProtocol(QByteArray("^\x03"));
        // Only the data of a reply is escaped: an escaped ETX there is data.
        ctx_.ports->SetEscapedFrom(kHeaderLength);
        ctx_.ports->SetTimeout(kTimeout);
        ctx_.ports->FlushInput();
    }
}

void WLFramedProtocol::resync(const QVariant& logOption)
{
    sendOnly(kResync, QByteArray(), logOption);
}

int WLFramedProtocol::transaction(const QByteArray& command, QByteArray& reply, const QVariant& logOption)
{
    for (int round = 0; round < 2; ++round) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            bool ok = false;
            const int n = sendCommand(command, reply, logOption, ok);
            if (AcceptReply(reply, n, BusAddress, ToggleBit)) {
                ToggleBit = 1 - ToggleBit;
                return n;
            }
        }
        if (round == 0) {
            ToggleBit = 0;
            resync(logOption);
            ToggleBit = 1;
            ++resyncs_;
        }
    }
    return 0;
}

int WLFramedProtocol::LKRead(const QByteArray& command, QByteArray& reply, const QVariant& logOption)
{
    ++lkDepth_;
    ReadErrorFlag = false;
    const int n = transaction(command, reply, logOption);
    --lkDepth_;
    if (n <= 0) {
        ReadErrorFlag = true;
        return 0;
    }
    const Reply r = StripHeader(reply, n);
    ReadErrorFlag = r.error;
    reply = r.data;
    return static_cast<int>(reply.size());
}

bool WLFramedProtocol::Check()
{
    ++lkDepth_; // no poll step runs inside the recognition's waits
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{lkDepth_};
    if (view_ && view_->Loaded())
        view_->SetParameterEnabled(false);
    BusAddress = 1;
    ToggleBit = 0;
    ReaderParameters.clear();
    InputHandles = {};
    OutputHandles = {};
    resync();
    ToggleBit = 1 - ToggleBit;

    QByteArray reply;
    Drain(101, [&] { return LKRead(kNextLine, reply); });
    LKRead(QByteArray("$\x04\x01S", 4), reply);
    Drain(201, [&] {
        const int n = LKRead(kNextLine, reply);
        // Each parameter line applies at once (the next request goes to the bus address it
        // names), a later one replacing it; motion reports of the same length are none.
        if (n == kParameterLine && reply.startsWith('$') && !reply.startsWith("$Mov"))
            applyParameters(reply.mid(1));
        return n;
    });
    if (ReaderParameters.isEmpty())
        applyParameters(QByteArray());

    QByteArray type, version;
    if (LKRead("QA", reply) < 1 || !ParseReaderInfo(reply, type, version)) {
        if (ctx_.lk) {
            ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
            ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
        }
        // No reader of this window answers, and nothing is polled after a failed
        // recognition: what it was doing for the window can no longer be followed.
        ScanActive = false;
        setDbCodeMode(false);
        if (WriteProgress > 0)
            endWrite("WriteError", WriteErrorText);
        return false;
    }
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, type);
        ctx_.lk->LkPutData(LinkItem::VersionText, version);
    }
    // A handle is the first byte of a good reply, 00 included; no reply gives none.
    const auto handle = [&](const QByteArray& create) -> std::optional<char> {
        if (LKRead(create, reply) >= 1 && !ReadErrorFlag)
            return reply.at(0);
        return std::nullopt;
    };
    for (int k = 0; k < 3; ++k)
        InputHandles[k] = handle(kCreateInput[k]);
    for (int k = 0; k < 2; ++k)
        OutputHandles[k] = handle(kCreateOutput[k]);
    for (const std::optional<char>& output : OutputHandles)
        if (output)
            LKRead("JB" + QByteArray(1, *output) + '\x01', reply);
    if (NormalMode) {
        Drain(11, [&] { return LKRead(kNextLine, reply); });
        LKRead("CM", reply);
    }
    // Polling starts once the reader is recognised, for whatever needs it: mode Normal, and
    // - selected again - a read, a write's progress or the small windows' refresh.
    updatePolling();
    return true;
}

void WLFramedProtocol::applyParameters(const QByteArray& parameters)
{
    const QByteArray previous = ReaderParameters;
    ReaderParameters = parameters;
    const bool loaded = view_ && view_->Loaded();
    if (loaded)
        view_->SetParameterEnabled(true);
    NormalMode = parameters.isEmpty() || parameters.startsWith("On");
    if (NormalMode)
        ScanActive = false;
    BusAddress = BusAddressOf(parameters);
    if (loaded) {
        view_->ModeChanged(NormalMode);
        if (NormalMode && parameters != previous)
            ShowMessage(parameters.isEmpty() ? 50 : 51);
    }
}

bool WLFramedProtocol::SetReaderVariables(const QByteArray& parameters, bool write)
{
    if (write) {
        // To the address the reader has now; the new one holds once it has the string.
        QByteArray reply;
        LKRead(QByteArray("$\x04$", 3) + parameters, reply);
        if (ReadErrorFlag) {
            ShowLine(Translate(QStringLiteral("ParameterFailed"), ParameterFailedText));
            return false;
        }
    }
    applyParameters(parameters);
    if (write) {
        resync();
        ToggleBit = 1 - ToggleBit;
    }
    ScanEnable(NormalMode);
    return true;
}

void WLFramedProtocol::ScanEnable(bool flag)
{
    setDbCodeMode(false);
    if (ctx_.lk)
        ctx_.lk->EnablePolling(flag || NeedsPolling());
}

bool WLFramedProtocol::NeedsPolling() const
{
    return ScanActive || DbCodeMode || WriteProgress > 0 || NormalMode || (view_ && view_->AutoRefresh());
}

void WLFramedProtocol::updatePolling()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(NeedsPolling());
}

void WLFramedProtocol::setDbCodeMode(bool on)
{
    DbCodeMode = on;
    if (view_)
        view_->DbCodeModeChanged(on);
}

void WLFramedProtocol::ReadData(bool fixcode)
{
    SetBusy(true);
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    QByteArray r;
    LKRead(QByteArray("CA") + Power, r);
    LKRead(QByteArray("CC") + Sensitivity, r);
    LKRead(QByteArray("CD\x80", 3) + static_cast<char>(std::clamp(Frequency, 1, 100)), r);
    LKRead(QByteArray("CG") + Bit, r);
    LKRead(QByteArray("CT\x00", 3), r);
    LKRead("CS" + MakeLong(1), r);
    LKRead(QByteArray("C\\\x00", 3), r);
    LKRead(QByteArray("CV\x00", 3), r);
    LKRead(QByteArray("CX\x00", 3), r);
    LKRead("CM", r);
    FixcodeMode = fixcode;
    ScanActive = true;
    ScanEnable(true);
    SetBusy(false);
}

void WLFramedProtocol::ReadDbCode(bool on)
{
    if (on) {
        ReadData(true);
        ScanActive = false;
    } else {
        StopReading();
    }
    setDbCodeMode(on);
    updatePolling();
}

void WLFramedProtocol::StopReading()
{
    QByteArray r;
    LKRead("CN", r);
    LKRead("DB", r);
}

void WLFramedProtocol::EndReading()
{
    ScanActive = false;
    setDbCodeMode(false);
}

void WLFramedProtocol::StopBuffered()
{
    StopReading();
}

void WLFramedProtocol::CloseLK()
{
    // The next system is not polled unasked.
    ScanActive = false;
    setDbCodeMode(false);
    // A write still in progress is left unreported: its buttons must not stay disabled for
    // the next time the reader is selected.
    if (WriteProgress > 0) {
        WriteProgress = 0;
        if (view_)
            view_->SetWriteRunning(false);
    }
    NormalMode = false;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    StopReading();
    QByteArray r;
    for (const std::optional<char>& input : InputHandles)
        if (input)
            LKRead("KB" + QByteArray(1, *input), r);
    InputHandles = {};
    if (ctx_.settings) {
        SettingsSection s(ctx_, kSettings);
        s.Write("OperationMode", QString::number(OperationMode));
        s.Write("StartAddress", QString::number(StartAddress));
        s.Write("DataLength", QString::number(DataLength));
    }
}

bool WLFramedProtocol::PutData(int16_t id, const QVariant& value)
{
    int16_t* item = id == WLFramedItem::OperationMode ? &OperationMode
                    : id == WLFramedItem::FourthValue  ? &FourthValue
                    : id == WLFramedItem::StartAddress ? &StartAddress
                    : id == WLFramedItem::DataLength   ? &DataLength
                                                       : nullptr;
    if (!item)
        return false;
    *item = CInt16(value.toDouble());
    return true;
}

bool WLFramedProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case WLFramedItem::OperationMode: value = static_cast<int>(OperationMode); return true;
    case WLFramedItem::FourthValue: value = static_cast<int>(FourthValue); return true;
    case WLFramedItem::StartAddress: value = static_cast<int>(StartAddress); return true;
    case WLFramedItem::DataLength: value = static_cast<int>(DataLength); return true;
    default: return false;
    }
}

QString WLFramedProtocol::PollStep(const QVariant&, const QVariant&)
{
    Poll();
    return QString();
}

void WLFramedProtocol::Poll()
{
    // One transaction at a time: a tick inside another exchange's wait sends nothing.
    if (lkDepth_ > 0 || Exchanges().Depth() > 0)
        return;
    QByteArray reply;
    if (WriteProgress > 0) {
        // A port that is gone answers nothing: no "CO" could ever report the write.
        if (!link_.Up()) {
            finishWrite("WriteError", WriteErrorText);
            return;
        }
        if (WriteProgress == 1)
            ShowLine(Translate(QStringLiteral("WriteActive"), WriteActiveText));
        ++WriteProgress;
        const int n = LKRead("CO", reply);
        // The port failed during the exchange: the write has been ended there.
        if (WriteProgress == 0)
            return;
        if (n >= 2 && !ReadErrorFlag && reply.at(0) == '\0' && reply.at(1) == '\0')
            finishWrite("WriteDone", WriteDoneText);
        else if (WriteProgress > kWriteTicks)
            finishWrite("WriteError", WriteErrorText);
        else
            return;
    }
    if (view_)
        view_->RefreshSmallWindows();
    const bool loaded = view_ && view_->Loaded();
    if (loaded && NormalMode) {
        if (LKRead(kNextLine, reply) > 1) {
            QByteArray line = reply.mid(1);
            if (line.size() == 29 && line.at(8) == ' ' && Val(line) > 0)
                line = line.left(27) + MiniText(line.mid(27, 2)).toLatin1();
            if (view_ && !line.isEmpty())
                view_->ShowData(2, QByteArray(), line);
        }
    }
    if (loaded && (ScanActive || DbCodeMode)) {
        if (LKRead("PA", reply) < 1)
            return;
        const Reading reading = DecodeReading(reply);
        if (!reading.valid)
            return;
        if (DbCodeMode) {
            setDbCodeMode(false);
            view_->ShowDbCode(reading.idText);
            // The reading ran for this one ID.
            StopReading();
            updatePolling();
        } else if (FixcodeMode) {
            ShowLine(QStringLiteral("Fixcode: ") + reading.idText);
        } else if (reading.hasData) {
            // The tag's bytes go to the list as they came: it names those without a printable form.
            view_->ShowData(2, reading.prefix, reading.data);
        }
    }
}

bool WLFramedProtocol::WriteTag(const WLWriteValues& values)
{
    WriteRequest request;
    request.id = values.idCode.toLatin1();
    request.speed = values.dataSpeed;
    request.intervalType = values.intervalType;
    request.memory = values.memorySize;
    request.intervalLength = values.intervalLength;
    request.data = QString::fromLatin1(values.data);
    ScanActive = false;
    StopReading();
    QByteArray reply;
    LKRead("CO", reply);
    if (view_)
        view_->SetWriteRunning(true);
    link_.Watch();
    LKRead("CP" + WriteBlock(request), reply);
    WriteProgress = 1;
    updatePolling();
    // The port failed under the write telegram: nothing will ever report the write.
    if (!link_.Up())
        finishWrite("WriteError", WriteErrorText);
    return true;
}

void WLFramedProtocol::endWrite(const char* key, const QString& text)
{
    WriteProgress = 0;
    ShowLine(Translate(QString::fromLatin1(key), text));
    if (view_)
        view_->SetWriteRunning(false);
}

void WLFramedProtocol::finishWrite(const char* key, const QString& text)
{
    endWrite(key, text);
    QByteArray reply;
    if (NormalMode && link_.Up())
        LKRead("CM", reply);
    updatePolling();
}

std::optional<std::array<bool, 5>> WLFramedProtocol::InputSet()
{
    std::array<bool, 5> lit{};
    bool any = false;
    QByteArray reply;
    for (int k = 0; k < 5; ++k) {
        const std::optional<char> handle = k < 3 ? InputHandles[k] : OutputHandles[k - 3];
        if (!handle)
            continue;
        const int n = LKRead((k < 3 ? "KC" : "JC") + QByteArray(1, *handle), reply);
        // Lit on 00; a failed read stays dark.
        lit[k] = n >= 1 && !ReadErrorFlag && reply.at(0) == '\0';
        any = any || (n >= 1 && !ReadErrorFlag);
    }
    if (!any)
        return std::nullopt;
    return lit;
}

void WLFramedProtocol::OutputSet(bool output1, bool output2)
{
    QByteArray reply;
    const bool on[2] = {output1, output2};
    for (int k = 0; k < 2; ++k)
        if (OutputHandles[k])
            LKRead("JB" + QByteArray(1, *OutputHandles[k]) + (on[k] ? '\0' : '\x01'), reply);
}

std::optional<Status> WLFramedProtocol::StatusSet()
{
    QByteArray reply;
    LKRead("CO", reply);
    // Two characters, as "CO" is defined; an error reply lights nothing.
    if (reply.size() < 2 || ReadErrorFlag)
        return std::nullopt;
    return DecodeStatus(reply, ReadErrorFlag);
}

std::optional<QList<quint32>> WLFramedProtocol::ReadDatabase()
{
    // A resync during the walk leaves it open whether the reader stepped on: when a
    // request was done but both its replies were lost, the request after the resync goes
    // out with the other toggle and the reader takes it as a new one, skipping an entry.
    // The walk then starts over from "FE", once.
    for (int walk = 0; walk < 2; ++walk) {
        bool resynced = false;
        std::optional<QList<quint32>> ids = walkDatabase(resynced);
        if (!resynced)
            return ids;
    }
    return std::nullopt;
}

std::optional<QList<quint32>> WLFramedProtocol::walkDatabase(bool& resynced)
{
    QList<quint32> ids;
    QByteArray reply;
    // A reply with the error flag is no data, whatever it carries.
    const auto first = [&] { return LKRead("FE", reply) >= 1 && !ReadErrorFlag; };
    if (!first() && !first())
        return std::nullopt;
    // A resync during "FE" loses nothing: "FE" starts at the first entry whatever came before.
    const int resyncs = resyncs_;
    // An entry is 01 and the ID; anything else ends the list.
    while (reply.size() >= 5 && reply.at(0) == '\x01' && !ReadErrorFlag) {
        const quint32 id = MakeIntelLong(reply.mid(1, 4));
        // The reader holds no ID twice: one seen again means it started over.
        if (ids.contains(id))
            break;
        ids.append(id);
        if (ids.size() >= kMaxDatabase || LKRead("FF", reply) < 1)
            break;
    }
    resynced = resyncs_ != resyncs;
    return ids;
}

bool WLFramedProtocol::AddDatabase(quint32 id)
{
    QByteArray reply;
    LKRead("FB" + MakeLong(id) + QByteArray(2, '\0'), reply);
    return !ReadErrorFlag;
}

bool WLFramedProtocol::DeleteDatabase(quint32 id)
{
    QByteArray reply;
    LKRead("FC" + MakeLong(id), reply);
    return !ReadErrorFlag;
}

bool WLFramedProtocol::Clear()
{
    QByteArray reply;
    LKRead("QF", reply);
    return !ReadErrorFlag;
}

} // namespace orvid
