#include "Ports.h"

#include "CommPort.h"
#include "DeviceWait.h"
#include "LinkInterfaces.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/MessagePresenter.h"
#include "foundations/SettingsStore.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <utility>

namespace orvid {

namespace {
constexpr char kSTX = 2;
constexpr char kETX = 3;
constexpr char kCR = 13;
constexpr char kLF = 10;
constexpr char kDLE = 16;
constexpr char kACK = 6;
constexpr char kNAK = 21;
constexpr char kSYN = 22;
// In XOR mode these check characters travel behind a DLE.
constexpr char kXorSpecials[] = {kSTX, kETX, kSYN, kDLE, kACK, kNAK};

const char* const kDefaultSettings = "38400,n,8,1";

quint8 sumOf(const char* p, qsizetype n)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < n; ++i)
        sum += static_cast<quint8>(p[i]);
    return static_cast<quint8>(sum & 0xFF);
}

quint8 xorOf(const char* p, qsizetype n, quint8 start)
{
    quint8 x = start;
    for (qsizetype i = 0; i < n; ++i)
        x ^= static_cast<quint8>(p[i]);
    return x;
}

// A whole 16-bit number, or the fallback when the text is none.
int16_t toInt16(const QString& text, int16_t fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        return fallback;
    return static_cast<int16_t>(v);
}

int16_t clampLength(qsizetype n)
{
    return static_cast<int16_t>(std::min<qsizetype>(n, std::numeric_limits<int16_t>::max()));
}
} // namespace

Ports::Ports(AppContext& ctx, QObject* parent) : QObject(parent), ctx_(ctx)
{
    comm_ = new CommPort(this);
    comm_->setSettings(QString::fromLatin1(kDefaultSettings));
    portName_ = QString::fromLatin1(kDefaultPort);
    comm_->setPortName(portName_);
    // Every wait for the device ends when bytes arrive; the waiting code re-checks.
    connect(comm_, &CommPort::readyRead, this, [] { DeviceWait::wake(); });
    connect(comm_, &CommPort::failed, this, &Ports::onCommFailed);
}

Ports::~Ports()
{
    comm_->disconnect(this);
    comm_->close();
}

CommPort& Ports::comm()
{
    return *comm_;
}

void Ports::setLabel(const QString& caption)
{
    if (ctx_.frame)
        ctx_.frame->setPortLabel(caption);
}

void Ports::setLabelEnabled(bool enabled)
{
    if (ctx_.frame)
        ctx_.frame->setPortLabelEnabled(enabled);
}

void Ports::log(const char* prefix, const QByteArray& data, const QVariant& logOption)
{
    if (ctx_.monitor)
        ctx_.monitor->Add(QByteArray(prefix), data, logOption);
}

QString Ports::DevicePath(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^\\s*COM(\\d{1,3})\\s*:?\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(name);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return name.trimmed();
}

void Ports::InitPort()
{
    receiveBuffer_.clear();
    scan_.reset();
    portOpenFlag_ = false;
    QString port = QString::fromLatin1(kDefaultPort);
    QString settings = QString::fromLatin1(kDefaultSettings);
    QString protocol = QStringLiteral("0");
    QString timeout = QStringLiteral("200");
    if (ctx_.settings) {
        timeout = ctx_.settings->read(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"), timeout);
        port = ctx_.settings->read(QStringLiteral("Port"), QStringLiteral("Port"), port);
        settings = ctx_.settings->read(QStringLiteral("Port"), QStringLiteral("PortSettings"), settings);
        protocol = ctx_.settings->read(QStringLiteral("Port"), QStringLiteral("PortProtocol"), protocol);
    }
    // A value that is not a number keeps the default rather than stopping the start-up.
    detectTimeout_ = toInt16(timeout, 200);
    currentTimeout_ = detectTimeout_;
    portName_ = DevicePath(port);
    if (portName_.isEmpty())
        portName_ = QString::fromLatin1(kDefaultPort);
    comm_->setPortName(portName_);
    if (!comm_->setSettings(settings))
        comm_->setSettings(QString::fromLatin1(kDefaultSettings));
    // The stored "1" means hardware handshake, which is RTS/CTS on the port.
    comm_->setHandshaking(toInt16(protocol, 0) == 0 ? CommPort::NoHandshake : CommPort::RtsCts);
}

void Ports::OpenPort(QString& port, QString& settings, int16_t& protocol, bool showMessage)
{
    if (port.isEmpty()) {
        port = portName_;
        settings = comm_->settings();
        protocol = comm_->handshaking() == 0 ? 0 : 1;
        return;
    }
    protocol = protocol == 0 ? 0 : 2;
    const QString device = DevicePath(port);

    CommPort::LineSettings wanted;
    const bool settingsValid = CommPort::parseSettings(settings, &wanted);
    if (device == portName_ && comm_->isOpen() && portOpenFlag_ && settingsValid
        && CommPort::formatSettings(wanted) == comm_->settings() && comm_->handshaking() == protocol)
        return;

    portName_ = device;
    setLabel(device + QLatin1Char(',') + settings);
    comm_->close();
    comm_->setPortName(device);
    // Malformed settings are reported like a port that cannot be opened; they never open
    // the port silently with the previous values.
    const bool applied = settingsValid && comm_->setSettings(settings);
    comm_->setHandshaking(protocol);

    for (;;) {
        CommPort::Failure failure;
        if (!applied)
            failure = {CommPort::Failure::InvalidSettings, device, settings, 0};
        else if (comm_->open()) {
            portOpenFlag_ = true;
            setLabelEnabled(true);
            return;
        } else
            failure = comm_->failure();
        qWarning("orvid: serial port not opened: %s", qUtf8Printable(CommPort::FailureText(failure)));

        // Said anew for each question, in the language chosen at that moment.
        bool retry = false;
        if (showMessage && ctx_.language)
            retry = ctx_.language->ShowMessageWithDetail(2, Msg::RetryCancel,
                                                         CommPort::FailureText(failure, ctx_.language))
                == Msg::Retry;
        if (!retry) {
            portOpenFlag_ = false;
            setLabelEnabled(false);
            return;
        }
    }
}

void Ports::SavePortSettings()
{
    portOpenFlag_ = false;
    portTimeoutFlag_ = 1;
    comm_->close();
    if (!ctx_.settings)
        return;
    ctx_.settings->write(QStringLiteral("Port"), QStringLiteral("Port"), portName_);
    ctx_.settings->write(QStringLiteral("Port"), QStringLiteral("PortSettings"), comm_->settings());
    ctx_.settings->write(QStringLiteral("Port"), QStringLiteral("PortProtocol"),
                         comm_->handshaking() == 0 ? QStringLiteral("0") : QStringLiteral("1"));
}

void Ports::onCommFailed()
{
    portOpenFlag_ = false;
    setLabelEnabled(false);
    emit portFailed(CommPort::FailureText(comm_->failure(), ctx_.language));
    // A receive waiting on the port ends now instead of at its time-out.
    DeviceWait::wake();
}

void Ports::SetLinkProtocol(const QByteArray& protocol)
{
    QByteArray p = protocol;
    specialChars_.clear();
    escapedFrom_ = -1;
    if (p.startsWith('~')) {
        checksumMode_ = "~";
        p.remove(0, 1);
    } else if (p.startsWith('^')) {
        checksumMode_ = "^";
        specialChars_ = QByteArray(kXorSpecials, sizeof kXorSpecials);
        p.remove(0, 1);
    } else {
        checksumMode_.clear();
    }
    replyTerminator_ = p;
}

QByteArray Ports::GetLinkProtocol() const
{
    return checksumMode_ + replyTerminator_;
}

void Ports::SetEscapedFrom(int headerLength)
{
    escapedFrom_ = headerLength < 0 ? -1 : headerLength;
}

int Ports::EscapedFrom() const
{
    return escapedFrom_;
}

void Ports::SetFramingType(int16_t type)
{
    framingType_ = type;
}

int16_t Ports::GetFramingType() const
{
    return framingType_;
}

int16_t Ports::SetTimeout(int16_t ms)
{
    const int16_t previous = currentTimeout_;
    currentTimeout_ = ms;
    return previous;
}

int16_t Ports::GetTimeout() const
{
    return currentTimeout_;
}

bool Ports::PortDataAvailable() const
{
    return comm_->inBufferCount() >= 1 || !receiveBuffer_.isEmpty();
}

QByteArray Ports::FrameTelegram(int16_t framingType, const QByteArray& d, const QByteArray& specialChars)
{
    QByteArray t;
    t.reserve(d.size() + 6);
    switch (framingType) {
    case 1:
        t = d;
        t.append(static_cast<char>(xorOf(d.constData(), d.size(), 0)));
        break;
    case 2:
        t = d;
        t.append(static_cast<char>(sumOf(d.constData(), d.size())));
        t.append(kETX);
        break;
    case 3:
        t = d;
        t.append(kCR);
        t.append(kLF);
        break;
    case 4:
        t = d;
        t.append(static_cast<char>(sumOf(d.constData(), d.size())));
        t.append(kETX);
        t.append(kCR);
        t.append(kLF);
        break;
    case 5:
        t = d;
        t.append(kCR);
        break;
    case 6: {
        const char bcc = static_cast<char>(xorOf(d.constData(), d.size(), static_cast<quint8>(kSTX)));
        t.append(kSTX);
        t.append(d);
        if (specialChars.contains(bcc))
            t.append(kDLE);
        t.append(bcc);
        t.append(kETX);
        break;
    }
    default:
        t = d;
        break;
    }
    return t;
}

void Ports::SendTelegram(const QByteArray& data, qsizetype count, const QVariant& logOption)
{
    if (!portOpenFlag_)
        return;
    int16_t type = framingType_;
    QByteArray d = data;
    qsizetype n = count;
    // A leading "~" asks for this one telegram to end with CR LF.
    if (d.startsWith('~')) {
        type = 3;
        d.remove(0, 1);
        n -= 1;
    }
    d = n < 1 ? QByteArray() : d.left(n);
    const QByteArray telegram = FrameTelegram(type, d, specialChars_);
    if (!comm_->output(telegram))
        return; // the port failed under us: nothing went out, so nothing is logged
    log("W: ", telegram, logOption);
}

void Ports::ReplyScan::reset()
{
    scanned = 0;
    sum = 0;
    xr = 0;
    starts.clear();
}

int Ports::CutReply(QByteArray& buffer, int count, const QByteArray& mode, const QByteArray& terminator,
                    const QByteArray& specialChars, bool noCheck, QByteArray* reply, QByteArray* tail,
                    int escapedFrom)
{
    ReplyScan scan;
    scan.resync = false;
    return CutReply(buffer, count, mode, terminator, specialChars, noCheck, reply, tail, scan, nullptr,
                    escapedFrom);
}

int Ports::CutReply(QByteArray& buffer, int count, const QByteArray& mode, const QByteArray& terminator,
                    const QByteArray& specialChars, bool noCheck, QByteArray* reply, QByteArray* tail,
                    ReplyScan& scan, QByteArray* dropped, int escapedFrom)
{
    if (dropped)
        dropped->clear();
    if (count > 0) {
        if (buffer.size() < count)
            return kIncomplete;
        if (reply)
            *reply = buffer.left(count);
        if (tail)
            tail->clear();
        buffer.remove(0, count);
        scan.reset();
        return count;
    }

    const bool additive = mode == "~";
    const bool xorCheck = mode == "^";
    const bool tested = (additive && !noCheck) || xorCheck;
    // A framing change (or a buffer shorter than what was searched: it was emptied) makes
    // the search start over.
    if (scan.mode != mode || scan.terminator != terminator || scan.noCheck != noCheck
        || scan.escapedFrom != escapedFrom || scan.scanned > buffer.size()) {
        scan.mode = mode;
        scan.terminator = terminator;
        scan.noCheck = noCheck;
        scan.escapedFrom = escapedFrom;
        scan.reset();
    }
    if (scan.starts.isEmpty() || scan.starts.front().at != 0)
        scan.starts.prepend({0, 0, 0});
    // An empty terminator would make every position a frame end: no resync there.
    const bool resync = scan.resync && tested && !terminator.isEmpty();
    const qsizetype step = std::max<qsizetype>(terminator.size(), 1);
    const char* data = buffer.constData();

    auto advance = [&](qsizetype to) {
        for (qsizetype i = scan.scanned; i < to; ++i) {
            scan.sum = static_cast<quint8>(scan.sum + static_cast<quint8>(data[i]));
            scan.xr ^= static_cast<quint8>(data[i]);
        }
        scan.scanned = to;
    };

    for (;;) {
        if (scan.scanned >= buffer.size())
            return kIncomplete;
        const qsizetype pos = buffer.indexOf(terminator, scan.scanned);
        if (pos < 0) {
            // Only the last bytes may still become the start of a terminator.
            advance(std::max(scan.scanned, buffer.size() - terminator.size() + 1));
            return kIncomplete;
        }
        advance(pos);

        qsizetype frameStart = tested ? -1 : 0;
        // An escaped terminator (escaped for every frame start) is data: no frame starts
        // behind it.
        bool escapedEverywhere = false;
        if (tested) {
            // The sums of the bytes before the check character, and before the DLE in
            // front of it, follow from the running sums by taking those bytes out again.
            const quint8 check = pos >= 1 ? static_cast<quint8>(data[pos - 1]) : 0;
            const quint8 sumBeforeCheck = static_cast<quint8>(scan.sum - check);
            const quint8 xorBeforeCheck = static_cast<quint8>(scan.xr ^ check);
            const bool special = specialChars.contains(static_cast<char>(check));
            // Escaped data: the DLEs right before the terminator. An odd run of them (counted
            // from where a frame's data begins) escapes it, so it is data of that frame.
            // The run stops at the first byte that is not a DLE (the previous terminator at
            // the latest), so each byte is counted at most once in a receive.
            qsizetype dleRun = 0;
            if (xorCheck && escapedFrom >= 0) {
                while (pos - dleRun - 1 >= 0 && data[pos - dleRun - 1] == kDLE)
                    ++dleRun;
            }
            escapedEverywhere = dleRun > 0;
            for (const ReplyScan::Start& s : std::as_const(scan.starts)) {
                // A terminator right at a frame start leaves no room for a check character:
                // it cannot close a frame, so it is taken as data like any failed check.
                if (pos - s.at < 1)
                    continue;
                if (dleRun > 0) {
                    const qsizetype dataStart = s.at + escapedFrom;
                    const qsizetype run = std::min(dleRun, std::max<qsizetype>(pos - dataStart, 0));
                    if (run % 2 == 1)
                        continue;
                }
                escapedEverywhere = false;
                bool ok;
                if (additive) {
                    ok = static_cast<quint8>(sumBeforeCheck - s.sum) == check;
                } else {
                    // A DLE (or whatever stands there) before a special check character is
                    // not covered by the XOR.
                    quint8 covered = xorBeforeCheck;
                    if (special && pos - 2 >= s.at)
                        covered ^= static_cast<quint8>(data[pos - 2]);
                    ok = static_cast<quint8>(covered ^ s.xr) == check;
                }
                if (ok) {
                    frameStart = s.at;
                    break;
                }
            }
        }
        if (frameStart < 0) {
            // The terminator was part of the data, or it closed a frame with a wrong check
            // character: look behind it. An empty terminator still moves on by one, so the
            // search always ends.
            advance(std::min(pos + step, buffer.size()));
            if (resync && !escapedEverywhere) {
                scan.starts.append({scan.scanned, scan.sum, scan.xr});
                if (scan.starts.size() > ReplyScan::kMaxStarts + 1)
                    scan.starts.removeAt(1);
            }
            continue;
        }

        if (dropped)
            *dropped = buffer.left(frameStart);
        QByteArray r = buffer.mid(frameStart, pos - frameStart);
        QByteArray t = terminator;
        if (!mode.isEmpty() && !noCheck && !r.isEmpty()) {
            t.prepend(r.back());
            r.chop(1);
        }
        buffer.remove(0, pos + terminator.size());
        scan.reset();
        const int result = static_cast<int>(r.size());
        if (reply)
            *reply = std::move(r);
        if (tail)
            *tail = std::move(t);
        return result;
    }
}

int16_t Ports::ReceiveTelegram(QByteArray& reply, int16_t& count, const QVariant& logOption, bool log,
                               bool noCheck)
{
    lastReplyTaken_ = false;
    if (!portOpenFlag_)
        return 0;
    // Nesting deeper than the slots provide is refused: no reply, nothing waited for.
    if (receiveDepth_ >= kMaxDepth) {
        qWarning("orvid: receive refused, %d receives already wait", int(receiveDepth_));
        return 0;
    }
    reply.clear();
    QByteArray tail;
    const int level = ++receiveDepth_;
    requests_[level] = {count, noCheck};
    bool timedOut = false;
    bool overlong = false;
    int result = 0;
    // Without a terminator (no system has set its framing yet) nothing marks the end of a
    // reply: everything that arrived until the line fell quiet is the reply, so a command
    // typed before any recognition still shows what the device answered.
    const bool untilQuiet = count <= 0 && replyTerminator_.isEmpty();
    const qsizetype longest = untilQuiet ? kMaxReplyLength : MaxTelegramLength(count, replyTerminator_);
    qint64 arrived = 0;

    auto complete = [&]() -> bool {
        std::optional<QByteArray>& slot = pendingReplies_[level];
        if (slot) {
            reply = std::move(*slot);
            slot.reset();
            result = static_cast<int>(reply.size());
            return true;
        }
        for (;;) {
            if (!untilQuiet) {
                QByteArray dropped;
                const int cut = CutReply(receiveBuffer_, count, checksumMode_, replyTerminator_,
                                         specialChars_, noCheck, &reply, &tail, scan_, &dropped,
                                         escapedFrom_);
                // A frame with a wrong check character is discarded input, so that the
                // good frames behind it are not held up by it.
                if (!dropped.isEmpty())
                    this->log("F: ", dropped, QVariant());
                if (cut != kIncomplete) {
                    result = cut;
                    return true;
                }
            }
            if (receiveBuffer_.size() > longest) {
                overlong = true;
                return true;
            }
            if (!portOpenFlag_ || !comm_->isOpen()) {
                // The port failed (or was closed) while we waited: no reply will come.
                timedOut = true;
                return true;
            }
            if (comm_->inBufferCount() < 1)
                return false;
            // In bounded pieces, so the buffer never runs far past the longest telegram.
            const QByteArray piece = comm_->input(kReadChunk);
            receiveBuffer_ += piece;
            arrived += piece.size();
        }
    };

    portTimeoutFlag_ = 0;
    DeviceWait::UntilOptions options;
    // The time-out limits the pause between two arrivals, not the whole reply.
    options.progress = [&arrived] { return arrived; };
    options.deadlineMs = std::max<int>(currentTimeout_, 1) * kDeadlineTimeouts;
    options.latePass = true;
    const DeviceWait::Outcome outcome = DeviceWait::waitUntil(complete, currentTimeout_, options);
    if (outcome == DeviceWait::Outcome::DeadlinePassed)
        overlong = true;
    else if (outcome != DeviceWait::Outcome::Done)
        timedOut = true;

    if (timedOut && untilQuiet && !receiveBuffer_.isEmpty() && outcome == DeviceWait::Outcome::TimedOut) {
        reply = receiveBuffer_;
        receiveBuffer_.clear();
        scan_.reset();
        result = static_cast<int>(reply.size());
        timedOut = false;
    }
    if (overlong) {
        // Input that runs past the longest telegram, or keeps coming past the deadline, is
        // no reply: it goes, with what waits behind it, and the receive ends once, as a
        // protocol error rather than a reply or a time-out.
        const qsizetype discarded = receiveBuffer_.size() + comm_->inBufferCount();
        discardBuffered();
        qWarning("orvid: serial receive ended without a reply after %lld bytes (%s); %lld bytes discarded",
                 static_cast<long long>(arrived),
                 outcome == DeviceWait::Outcome::DeadlinePassed ? "deadline passed" : "longer than any telegram",
                 static_cast<long long>(discarded));
        reply.clear();
        tail.clear();
        result = 0;
    }

    portTimeoutFlag_ = 1;
    lastReplyTaken_ = !timedOut && !overlong;
    if (log) {
        if (result > 0) {
            this->log("R: ", reply + tail, logOption);
        } else if (overlong) {
            this->log("R: ", QByteArray(kProtocolError), logOption);
        } else if (!timedOut) {
            reply = " ";
            result = 1;
        } else {
            this->log("R: ", QByteArrayLiteral("<TIMEOUT>"), logOption);
        }
    }
    --receiveDepth_;
    // A paced wait further out (WaitTimeout) ends when a receive inside it ends; it only
    // re-checks the time-out flag when something wakes it.
    DeviceWait::wake();
    return clampLength(result);
}

void Ports::discardBuffered()
{
    comm_->discardInput();
    receiveBuffer_.clear();
    scan_.reset();
}

void Ports::FlushInput()
{
    if (!portOpenFlag_)
        return;
    const int level = receiveDepth_;
    if (level > 0 && level <= kMaxDepth && !pendingReplies_[level]) {
        // A receive further out is waiting: keep its reply, if it comes, for it.
        QByteArray slot;
        int16_t count = requests_[level].count;
        ReceiveTelegram(slot, count, QVariant(), false, requests_[level].noCheck);
        if (lastReplyTaken_) {
            pendingReplies_[level] = slot;
            log(("F" + QByteArray::number(level) + ": ").constData(), slot, QVariant());
            // Let that receive see its reply as soon as it runs again, without waiting
            // for more input.
            DeviceWait::wake();
        }
    }
    const QByteArray rest = receiveBuffer_ + comm_->input();
    if (!rest.isEmpty())
        log("F: ", rest, QVariant());
    discardBuffered();
    portTimeoutFlag_ = 1;
    // As at the end of a receive: a running WaitTimeout ends now.
    DeviceWait::wake();
}

void Ports::WaitTimeout()
{
    portTimeoutFlag_ = 0;
    if (currentTimeout_ <= 0) {
        DeviceWait::wait(0);
        portTimeoutFlag_ = 1;
        return;
    }
    // Ends at the time-out, or earlier when a receive or flush run meanwhile ends.
    DeviceWait::waitUntil([this] { return portTimeoutFlag_ != 0; }, currentTimeout_);
    portTimeoutFlag_ = 1;
}

QStringList Ports::FillComPorts(const QString& first) const
{
    struct Entry {
        qint64 number;
        QString name;
    };
    QList<Entry> found;
    static const QRegularExpression trailing(QStringLiteral("(\\d+)$"));
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.systemLocation().isEmpty() ? info.portName() : info.systemLocation();
        if (name.isEmpty() || name == first)
            continue;
        if (std::any_of(found.cbegin(), found.cend(), [&](const Entry& e) { return e.name == name; }))
            continue;
        const QRegularExpressionMatch m = trailing.match(name);
        found.append({m.hasMatch() ? m.captured(1).toLongLong() : 0, name});
    }
    std::stable_sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        return a.number != b.number ? a.number < b.number : a.name < b.name;
    });
    QStringList list;
    if (!first.isEmpty())
        list << first;
    else if (found.isEmpty())
        list << QString::fromLatin1(kDefaultPort);
    for (const Entry& e : found)
        list << e.name;
    return list;
}

bool Ports::PortOpenFlag() const
{
    return portOpenFlag_;
}

QString Ports::PortName() const
{
    return portName_;
}

int16_t Ports::DetectTimeout() const
{
    return detectTimeout_;
}

int16_t Ports::ReceiveDepth() const
{
    return receiveDepth_;
}

} // namespace orvid
