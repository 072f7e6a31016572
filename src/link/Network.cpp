#include "Network.h"

#include "DeviceWait.h"
#include "NetworkConnect.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/SettingsStore.h"
#include "foundations/SystemError.h"
#include "foundations/Utils.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvid {

namespace {

const QString kSection = QStringLiteral("Network");
const QString kAddressKey = QStringLiteral("Address");
const QString kNoConnectionDefault = QStringLiteral("Keine Verbindung zu <%s>");
const QByteArray kEventTag = QByteArrayLiteral("EVNT");

// Message numbers of the failed connection and of the lost connection.
constexpr int16_t kMsgConnectFailed = 7;
constexpr int16_t kMsgConnectionLost = 8;
constexpr int kInfoButtons = 64;

// The error part of messages 7 and 8: "number - description", or the description alone.
QString errorArgument(int number, const QString& description)
{
    return number > 0 ? QString::number(number) + QStringLiteral(" - ") + description : description;
}

// A socket failure as the user is told it (see Network::SocketErrorText).
struct SocketFailure {
    int number = 0;
    QString text;
};

// The network's own texts in the program's language, the built-in German by default.
QString networkText(const Language* language, const QString& key, const QString& german)
{
    return language ? language->Translate(kSection, key, german) : german;
}

SocketFailure socketFailure(int systemError, const Language* language)
{
    static const QHash<int, int> kNumbers = {
        {EACCES, 10013},       {EPERM, 10013},        {EINVAL, 10022},       {EMFILE, 10024},
        {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
        {ENETUNREACH, 10051},  {ENETRESET, 10052},    {ECONNABORTED, 10053}, {ECONNRESET, 10054},
        {ENOBUFS, 10055},      {ENOTCONN, 10057},     {EPIPE, 10058},        {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061}, {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    };
    return {kNumbers.value(systemError),
            language ? language->SystemErrorText(systemError) : SystemErrorText(systemError)};
}

// A name the lookup did not find has its number; one it could not look up at all has none.
SocketFailure lookupFailure(NetworkConnect::Lookup lookup, const Language* language)
{
    if (lookup == NetworkConnect::Lookup::NotFound)
        return {11001, networkText(language, QStringLiteral("HostNotFound"), QStringLiteral("Der Host wurde nicht gefunden"))};
    return {0, networkText(language, QStringLiteral("LookupFailed"),
                           QStringLiteral("Der Name des Hosts konnte nicht aufgelöst werden"))};
}

// The peer ended the connection in order: no error of the socket layer, so no number.
SocketFailure closedByPeer(const Language* language)
{
    return {0, networkText(language, QStringLiteral("ClosedByPeer"),
                           QStringLiteral("Der entfernte Rechner hat die Verbindung geschlossen"))};
}

// Why a connection that stood failed, asked of a second descriptor of its socket: the
// toolkit closes its own before it reports, and reports a reset peer, one that closed in
// order, and a lost route alike as a closed connection or a network error.
SocketFailure connectionFailure(int descriptor, QAbstractSocket::SocketError kind, const QString& toolkitText,
                                const Language* language)
{
    int pending = 0;
    socklen_t size = sizeof pending;
    if (descriptor >= 0 && ::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending != 0)
        return socketFailure(pending, language);
    tcp_info info {};
    size = sizeof info;
    if (descriptor >= 0 && ::getsockopt(descriptor, IPPROTO_TCP, TCP_INFO, &info, &size) == 0) {
        // The peer's FIN came, and nothing went wrong after it.
        if (info.tcpi_state == TCP_CLOSE_WAIT || info.tcpi_state == TCP_LAST_ACK)
            return closedByPeer(language);
        // Otherwise the connection is gone without the peer's FIN: a reset, which the
        // toolkit reads as a close and whose error it has taken.
        if (kind == QAbstractSocket::RemoteHostClosedError)
            return socketFailure(ECONNRESET, language);
    }
    return {0, toolkitText};
}

// The connection's socket. While the program's own attempt runs (NetworkConnect) it shows
// that attempt's state, as the toolkit's socket does while it connects: the connecting box
// follows it.
class LinkSocket : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;
    void showAttempt(SocketState state, const QString& host)
    {
        setPeerName(host);
        if (state == this->state())
            return;
        setSocketState(state);
        emit stateChanged(state);
    }
    bool attemptShown() const
    {
        return state() == HostLookupState || state() == ConnectingState;
    }
};

int frameStatusOf(uchar high, uchar low, qint64 available)
{
    const int length = high * 256 + low;
    if (length < 2 || length > Network::kMaxFrameLength)
        return -1;
    return available >= length ? length : 0;
}


int16_t clampLength(qsizetype n)
{
    return static_cast<int16_t>(qMin<qsizetype>(n, 32767));
}

} // namespace

struct Network::Impl {
    explicit Impl(AppContext& c) : ctx(c) {}

    AppContext& ctx;
    LinkSocket* socket = nullptr;
    NetworkConnect* attempt = nullptr;
    // A second descriptor of the connected socket, which outlives the toolkit's own: what it
    // still tells after a failure says why the connection failed.
    int watch = -1;
    QNetworkAccessManager* http = nullptr;

    QString address = QString::fromLatin1(kDefaultAddress);
    QByteArray terminator = QByteArrayLiteral("\n");
    int timeoutMs = kDefaultTimeoutMs;
    int connectLimitMs = kConnectLimitMs;
    int httpTimeoutMs = kHttpTimeoutMs;
    bool connected = false;
    int errorNumber = 0;
    QString errorText;
    IEventCallback* callback = nullptr;
    QString errorTemplate = kNoConnectionDefault;

    // Event lines taken off the input but not yet handed to the callback, and whether a
    // hand-over is running (a callback that waits for a reply must not receive the next
    // event before it has returned).
    QList<QByteArray> pendingEvents;
    bool eventsDropped = false;
    bool delivering = false;
    bool checkPosted = false;
    int receiving = 0; // receives running (nested ones included)

    // Bytes taken off the socket and not yet handed out. Receives and the event check
    // read the socket only through it, in bounded pieces, so each arrival is searched
    // once and nothing grows past one longest line (the socket holds the rest back).
    QByteArray input;
    qint64 consumed = 0;        // bytes ever taken off the head of input
    qint64 pulled = 0;          // bytes ever taken off the socket
    qsizetype eventScanned = 0; // head bytes the event check found no terminator in
    qint64 eventScanConsumed = 0;

    // The head of the input is the rest of a line that ran past the longest line (or past a
    // receive's deadline): it was reported once and goes, up to and including its
    // terminator, as it arrives; the lines behind it are read as usual. The rest of a line
    // a receive's time-out cut off goes the same way, shown as discarded input.
    bool skipping = false;
    bool skipShown = false;
    // The line being skipped was cut by a receive: the device may have lost its end, so
    // where the family finds that a line of its own begins in the rest, the rest ends and
    // that line is read as its own. restHead: the cut line's first bytes (up to
    // ILineStructure::kHeadBytes), by which the family tells what line it was.
    bool skipToLineStart = false;
    bool restStart = false; // nothing of the rest has gone yet: the line stalled right there
    QByteArray restHead;
    qint64 skipped = 0; // bytes of that line dropped so far
    // What the family knows of its lines (none: a line ends at its terminator only).
    const ILineStructure* lines = nullptr;
    // The last receive ended in the middle of a line (its time-out, its deadline, or a
    // line longer than any) and took that line; cutLine holds its start, decoded.
    bool lineCut = false;
    QByteArray cutLine;
    // The last receive's reply lost its terminator: a line of the family began right behind it.
    bool lostEnd = false;

    // Moves at most maxBytes from the socket to input; returns how many.
    qint64 pull(qint64 maxBytes)
    {
        if (maxBytes <= 0 || socket->bytesAvailable() < 1)
            return 0;
        const QByteArray piece = socket->read(maxBytes);
        input += piece;
        pulled += piece.size();
        return piece.size();
    }
    // Bytes of the line being skipped went: the family still tells that line by its start.
    void skippedBytes(QByteArrayView bytes)
    {
        restStart = restStart && bytes.isEmpty();
        if (skipToLineStart && restHead.size() < ILineStructure::kHeadBytes)
            restHead += bytes.first(std::min(bytes.size(), ILineStructure::kHeadBytes - restHead.size()));
    }
    void endSkip()
    {
        skipping = false;
        skipToLineStart = false;
        restHead.clear();
    }
    void drop(qsizetype n)
    {
        skippedBytes(QByteArrayView(input).first(n));
        input.remove(0, n);
        consumed += n;
        skipped += n;
    }
    // shown: the dropped bytes go to the monitor as discarded input (the rest of a cut
    // line); an overlong line was reported once and is dropped unseen. head: the bytes of a
    // cut line already taken.
    void startSkipping(bool shown = false, bool toLineStart = false, const QByteArray& head = {})
    {
        skipping = true;
        skipShown = shown;
        skipToLineStart = toLineStart && lines;
        restStart = skipToLineStart;
        restHead = head.left(ILineStructure::kHeadBytes);
        skipped = 0;
    }
    // Where the complete line at the head of the input, whose terminator stands at pos, has
    // lost its end (at pos, whole, when it runs to its terminator): the family judges that
    // line alone, never what is queued behind it.
    ILineStructure::Break lineEnd(qsizetype pos) const
    {
        const ILineStructure::Break found = lines ? lines->LineBreak(QByteArrayView(input).first(pos), 1, true)
                                                  : ILineStructure::Break{};
        return found.at >= 1 && found.at < pos ? found : ILineStructure::Break{pos, true};
    }
    // A receive takes the unfinished line at the head of the input as its cut-off reply:
    // up to `end` when the family says it lost its end there, else up to where the family
    // finds a line of its own beginning in it, else all that came that can be judged, and
    // then its rest as it arrives. shown: the bytes go to the monitor as discarded input.
    void cutHead(const QByteArray& term, bool shown, qsizetype end = -1)
    {
        lineCut = true;
        ILineStructure::Break found{end, false, input.size()};
        if (end < 0 && lines)
            found = lines->LineBreak(input, 1, false);
        const QByteArray head = take(found.at >= 0 ? found.at : found.undecided);
        cutLine = Network::UrlDecode(head.left(64));
        if (shown && !head.isEmpty())
            log(QByteArrayLiteral("F: "), head, false);
        if (found.at < 0) {
            startSkipping(shown, true, head);
            skipLine(term);
        }
    }
    // Drops the line being skipped up to and including its terminator (or up to a line of
    // the family that begins in the rest of a cut line), taking what the socket holds in
    // bounded pieces. True once it has gone, false while its end has not arrived yet.
    bool skipLine(const QByteArray& term)
    {
        while (skipping && !term.isEmpty()) {
            const qsizetype pos = input.indexOf(term);
            qsizetype n = pos >= 0 ? pos + term.size() : std::max<qsizetype>(input.size() - (term.size() - 1), 0);
            bool ended = pos >= 0;
            if (skipToLineStart && lines) {
                // The rest is judged behind the line's start, and only what can be judged goes.
                const QByteArray line = restHead + input.first(pos >= 0 ? pos : input.size());
                const ILineStructure::Break found = lines->LineBreak(line, std::max<qsizetype>(restHead.size(), 1), ended, restStart);
                if (found.at >= 0) {
                    n = found.at - restHead.size();
                    ended = true;
                } else if (!ended) {
                    n = std::min(n, found.undecided - restHead.size());
                }
            }
            if (skipShown && n > 0)
                log(QByteArrayLiteral("F: "), input.left(n), false);
            drop(n);
            if (ended) {
                endSkip();
                if (!skipShown)
                    qWarning("orvid: TCP line of %lld bytes discarded", static_cast<long long>(skipped));
                break;
            }
            if (pull(64 * 1024) == 0)
                return false;
        }
        return true;
    }
    // Fills input up to `size` bytes while the socket has some.
    void fill(qsizetype size)
    {
        while (input.size() < size && pull(size - input.size()) > 0) {
        }
    }
    QByteArray take(qsizetype n)
    {
        QByteArray head = input.left(n);
        input.remove(0, head.size());
        consumed += head.size();
        return head;
    }
    QByteArray takeAll()
    {
        input += socket->readAll();
        return take(input.size());
    }
    bool hasInput() const { return !input.isEmpty() || socket->bytesAvailable() > 0; }
    // Input at the head that is becoming a reply: neither the rest of a line being skipped
    // nor (the start of) an event line, which the event check takes whole.
    bool replyBegun() const
    {
        return !skipping && !input.isEmpty() && !kEventTag.startsWith(input.left(kEventTag.size()));
    }
    // The connection ends: its unread input goes with it.
    void abort()
    {
        attempt->cancel(ECANCELED);
        socket->abort();
        closeWatch();
        consumed += input.size();
        input.clear();
        endSkip();
    }
    void closeWatch()
    {
        if (watch >= 0)
            ::close(std::exchange(watch, -1));
    }
    // The attempt moved on: the socket shows where it stands, and takes the connection.
    void attemptProgressed(const QString& host)
    {
        if (attempt->running()) {
            socket->showAttempt(attempt->lookingUp() ? QAbstractSocket::HostLookupState
                                                     : QAbstractSocket::ConnectingState, host);
            return;
        }
        const int descriptor = attempt->takeDescriptor();
        if (descriptor >= 0) {
            closeWatch();
            watch = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
            if (socket->setSocketDescriptor(descriptor)) {
                socket->setReadBufferSize(kReadBufferSize);
                return;
            }
            ::close(descriptor);
            closeWatch();
        }
        if (socket->attemptShown())
            socket->showAttempt(QAbstractSocket::UnconnectedState, host);
    }

    void log(const QByteArray& prefix, const QByteArray& data, const QVariant& flag) const
    {
        if (ctx.monitor)
            ctx.monitor->Add(prefix, data, flag);
    }
};

Network::Network(AppContext& ctx, QObject* parent) : QObject(parent), d(new Impl(ctx))
{
    d->socket = new LinkSocket(this);
    d->socket->setReadBufferSize(kReadBufferSize);
    d->attempt = new NetworkConnect(this);
    connect(d->attempt, &NetworkConnect::progressed, this, [this] {
        d->attemptProgressed(d->address);
        DeviceWait::wake();
    });
    QTcpSocket* s = d->socket;
    // Every change of the socket may end a wait: the waiting code re-checks its condition.
    connect(s, &QTcpSocket::connected, this, [] { DeviceWait::wake(); });
    connect(s, &QTcpSocket::disconnected, this, [] { DeviceWait::wake(); });
    connect(s, &QTcpSocket::stateChanged, this, [] { DeviceWait::wake(); });
    connect(s, &QTcpSocket::readyRead, this, [this] {
        DeviceWait::wake();
        // A running receive takes the event lines itself (and looks again when it ends).
        if (d->receiving == 0)
            postEventCheck();
    });
    // Only a connection that stood reports through the socket: the attempt to make one
    // reports its own failure.
    connect(s, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        const SocketFailure why = connectionFailure(d->watch, error, d->socket->errorString(), d->ctx.language);
        d->closeWatch();
        ShowNetError(why.number, why.text);
        DeviceWait::wake();
    });
}

Network::~Network()
{
    // No signal of the closing socket may reach this half-destroyed object.
    d->socket->disconnect(this);
    d->attempt->disconnect(this);
    d->abort();
    delete d;
}

QTcpSocket* Network::socket() const
{
    return d->socket;
}

void Network::LoadNetworkSettings()
{
    LoadNetTexts();
    d->terminator = QByteArrayLiteral("\n");
    d->connected = false;
    d->timeoutMs = kDefaultTimeoutMs;
    const QString fallback = QString::fromLatin1(kDefaultAddress);
    d->address = d->ctx.settings ? d->ctx.settings->read(kSection, kAddressKey, fallback).trimmed()
                                 : fallback;
}

void Network::SaveNetworkSettings()
{
    d->abort();
    d->callback = nullptr;
    d->connected = false;
    if (d->ctx.settings)
        d->ctx.settings->write(kSection, kAddressKey, d->address);
}

void Network::LoadNetTexts()
{
    d->errorTemplate = d->ctx.language
                           ? d->ctx.language->Translate(kSection, QStringLiteral("NoConnection"),
                                                        kNoConnectionDefault)
                           : kNoConnectionDefault;
}

void Network::SetNetAddress(const QString& address)
{
    d->address = address.trimmed();
}

QString Network::GetNetAddress() const
{
    return d->address;
}

void Network::SetNetTerminator(const QByteArray& terminator, const ILineStructure* lines)
{
    // A line being skipped ended with the old terminator, or was framed by another family.
    if (terminator != d->terminator || lines != d->lines)
        d->endSkip();
    d->terminator = terminator;
    d->lines = lines;
}

QByteArray Network::GetNetTerminator() const
{
    return d->terminator;
}

void Network::SetNetTimeout(int ms)
{
    d->timeoutMs = ms;
}

int Network::GetNetTimeout() const
{
    return d->timeoutMs;
}

void Network::SetNetConnectLimit(int ms)
{
    d->connectLimitMs = qMax(ms, 1);
}

void Network::SetHttpTimeout(int ms)
{
    d->httpTimeoutMs = qMax(ms, 1);
}

bool Network::NetConnect(IEventCallback* callback, quint16 port)
{
    QTcpSocket* s = d->socket;
    NetworkConnect* attempt = d->attempt;
    d->connected = false;
    d->errorNumber = 0;
    d->errorText.clear();
    // The window of the previous connection no longer hears about this one.
    d->callback = nullptr;
    d->abort();
    attempt->start(d->address, port);
    d->attemptProgressed(d->address);

    QElapsedTimer clock;
    clock.start();

    // A first short wait without the box (busy pointer only): most attempts end well
    // within it.
    constexpr int kQuietWaitMs = 1000;
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (gui)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The program closing ends the attempt like a cancel: no box, no message.
    bool cancelled = DeviceWait::waitUntil([attempt] { return !attempt->running(); }, kQuietWaitMs)
                     == DeviceWait::Outcome::Aborted;
    if (gui)
        QGuiApplication::restoreOverrideCursor();

    if (attempt->running() && !cancelled) {
        // An unanswered handshake can take minutes: the attempt ends at the limit, with or
        // without the box.
        const qint64 left = qMax<qint64>(d->connectLimitMs - clock.elapsed(), 1);
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, attempt, [attempt] { attempt->cancel(ETIMEDOUT); });
        limit.start(int(left));
        if (d->ctx.connecting) {
            cancelled = !d->ctx.connecting->ShowDialog(s);
        } else {
            // The limit ends the attempt, which ends this wait.
            cancelled = DeviceWait::waitUntil([attempt] { return !attempt->running(); }, int(left) + 1)
                        == DeviceWait::Outcome::Aborted;
        }
        limit.stop();
        // The box closed while the attempt still ran: the user's cancel, or the limit.
        attempt->cancel(cancelled ? ECANCELED : ETIMEDOUT);
    }

    if (s->state() == QAbstractSocket::ConnectedState && !cancelled) {
        d->callback = callback;
        d->connected = true;
        return true;
    }

    d->abort();
    const SocketFailure why = attempt->lookup() != NetworkConnect::Lookup::Found
                                  ? lookupFailure(attempt->lookup(), d->ctx.language)
                                  : socketFailure(attempt->error(), d->ctx.language);
    d->errorNumber = why.number;
    d->errorText = why.text;
    if (!cancelled && d->ctx.language) {
        d->ctx.language->ShowMessage(kMsgConnectFailed, kInfoButtons, 0,
                                     d->address + QLatin1Char('|') + errorArgument(why.number, why.text));
    }
    return false;
}

bool Network::NetDisconnect()
{
    d->abort();
    d->callback = nullptr;
    // A closed connection must not let later sends report success.
    d->connected = false;
    return true;
}

bool Network::NetIsConnected() const
{
    return d->connected;
}

bool Network::NetDataAvailable() const
{
    return d->connected && d->hasInput();
}

bool Network::NetSend(const QByteArray& text, bool log, const QVariant& logOption)
{
    if (!d->connected) {
        NotifyNetError(NoConnectionText());
        return false;
    }
    const QByteArray line = text + d->terminator;
    // A failed write shows up as a socket error (message 8); the send itself still counts.
    d->socket->write(line);
    d->socket->flush();
    if (log)
        d->log(QByteArrayLiteral("W: "), line, logOption);
    return true;
}

int16_t Network::NetReceiveLine(QByteArray& reply, bool& log, const QVariant& logOption)
{
    return receiveLine(reply, log, logOption, d->timeoutMs, false);
}

int16_t Network::NetReceiveLineWithin(int ms, QByteArray& reply, const QVariant& logOption)
{
    return receiveLine(reply, true, logOption, std::max(ms, 1), true);
}

int16_t Network::receiveLine(QByteArray& reply, bool log, const QVariant& logOption, int timeoutMs, bool window)
{
    if (!d->connected) {
        NotifyNetError(NoConnectionText());
        return -1;
    }
    const QByteArray term = d->terminator;
    reply.clear();
    d->lineCut = false;
    d->lostEnd = false;
    d->cutLine.clear();
    ++d->receiving;
    const auto leave = qScopeGuard([this] { --d->receiving; });
    int16_t result = 0;
    bool got = false;
    bool lost = false;
    bool overlong = false;
    bool broken = false;      // the reply lost its end: another line begins in it
    bool windowPassed = false;
    bool windowShut = false;  // the window passed with no reply begun
    const auto shut = [&] { return windowShut = windowPassed && !d->replyBegun(); };
    const qsizetype longest = kMaxLineLength + term.size();
    qsizetype searched = 0; // head bytes of the input known to hold no terminator
    qint64 consumedSeen = d->consumed;
    const qint64 pulledBefore = d->pulled;

    auto done = [&]() -> bool {
        for (;;) {
            // Without a terminator no line can be cut (binary frames use NetReceiveBytes).
            if (term.isEmpty())
                return lost = !d->connected;
            if (!d->skipLine(term)) {
                if (!d->connected)
                    return lost = true;
                return shut();
            }
            if (d->consumed != consumedSeen) {
                // Something else took input (the event lines, a nested receive).
                consumedSeen = d->consumed;
                searched = 0;
            }
            const qsizetype from = std::max<qsizetype>(searched - term.size() + 1, 0);
            const qsizetype pos = d->input.indexOf(term, from);
            if (pos >= 0) {
                if (d->input.startsWith(kEventTag)) {
                    CheckNetEvents(); // takes this event line and any that follow it
                    continue;
                }
                // A reply that lost its end where the line behind it begins is this
                // receive's: as it came when it is whole by its shape, else cut. The line
                // behind it is read as its own.
                const ILineStructure::Break end = d->lineEnd(pos);
                if (!end.whole) {
                    d->cutHead(term, true, end.at);
                    return broken = true;
                }
                d->lostEnd = end.at < pos;
                QByteArray line = d->take(d->lostEnd ? end.at : pos + term.size());
                line.truncate(end.at);
                reply = UrlDecode(line);
                result = clampLength(reply.size());
                got = true;
                return true;
            }
            searched = d->input.size();
            if (d->input.size() >= longest) {
                if (d->input.startsWith(kEventTag)) {
                    // An event line that long is the event check's to report and skip;
                    // the reply may still come behind it.
                    CheckNetEvents();
                    continue;
                }
                // A line longer than any reply came in its place.
                overlong = true;
                return true;
            }
            if (!d->connected) {
                lost = true;
                return true;
            }
            if (d->pull(std::min<qint64>(longest - d->input.size(), 64 * 1024)) == 0)
                return shut();
        }
    };

    DeviceWait::UntilOptions options;
    // The time-out counts from the last growth of the input, not from the start.
    options.progress = [this] { return d->pulled; };
    options.deadlineMs = std::max(timeoutMs, 1) * kDeadlineTimeouts;
    // The window's end is looked at when it comes, however much input keeps arriving.
    QTimer windowEnd;
    if (window) {
        windowEnd.setSingleShot(true);
        windowEnd.setTimerType(Qt::PreciseTimer);
        connect(&windowEnd, &QTimer::timeout, this, [&windowPassed] {
            windowPassed = true;
            DeviceWait::wake();
        });
        windowEnd.start(timeoutMs);
    }
    const DeviceWait::Outcome outcome = DeviceWait::waitUntil(done, timeoutMs, options);
    windowEnd.stop();
    if (lost) {
        NotifyNetError(NoConnectionText());
        return -1;
    }
    // Input that is still becoming an event line, or the rest of a line already taken, is
    // left to the event check: the receive has simply not had its reply.
    const bool lineInHand = !got && !overlong && !broken && !windowShut && !term.isEmpty() && d->replyBegun();
    // A line that keeps dripping past the deadline is no reply either.
    const bool dripped = lineInHand && outcome == DeviceWait::Outcome::DeadlinePassed;
    overlong = overlong || dripped;
    const bool timedOut = !got && !overlong && !broken;
    // The unfinished line a time-out leaves goes (logged as discarded input), and so does
    // its rest up to its terminator when it comes: neither may become the next request's
    // reply. A line that begins behind it is not part of it.
    if (lineInHand && outcome == DeviceWait::Outcome::TimedOut)
        d->cutHead(term, true);
    if (overlong) {
        // Reported once; the line goes up to and including its terminator, now or as it
        // arrives, and the line behind it is the next one read.
        qWarning("orvid: TCP receive ended without a line after %lld bytes (%s)",
                 static_cast<long long>(d->pulled - pulledBefore),
                 outcome == DeviceWait::Outcome::DeadlinePassed ? "deadline passed" : "line too long");
        if (dripped) {
            d->cutHead(term, false);
        } else {
            d->lineCut = true;
            d->cutLine = UrlDecode(d->input.left(64));
            d->startSkipping();
            d->skipLine(term);
        }
    }

    // Event lines behind the reply (and the rest of a line being skipped) are handled once
    // this receive has returned.
    if (d->hasInput())
        postEventCheck();

    if (log) {
        if (result > 0) {
            d->log(QByteArrayLiteral("R: "), d->lostEnd ? reply : reply + term, logOption);
        } else if (overlong || broken) {
            d->log(QByteArrayLiteral("R: "), QByteArray(kProtocolError), logOption);
        } else if (timedOut) {
            if (!window || d->lineCut)
                d->log(QByteArrayLiteral("R: "), QByteArrayLiteral("<TIMEOUT>"), logOption);
        } else {
            reply = QByteArrayLiteral(" ");
            result = 1;
        }
    }
    return result;
}

int16_t Network::NetReceiveBytes(QByteArray& reply, bool& log, const QVariant& logOption)
{
    if (!d->connected) {
        NotifyNetError(NoConnectionText());
        return -1;
    }
    reply.clear();
    ++d->receiving;
    const auto leave = qScopeGuard([this] {
        --d->receiving;
        if (d->hasInput())
            postEventCheck();
    });
    int16_t result = 0;
    bool lost = false;
    bool refused = false;
    qint64 arrived = 0;

    auto done = [&]() -> bool {
        for (;;) {
            const int status = FrameStatus(d->input);
            if (status < 0) {
                // A length the frames cannot have: what follows cannot be framed either,
                // so the input is dropped and the receive fails.
                refused = true;
                return true;
            }
            if (status > 0) {
                reply = d->take(status);
                result = clampLength(reply.size());
                return true;
            }
            if (!d->connected) {
                lost = true;
                return true;
            }
            // Only what the frame still lacks: the next frame stays in the socket.
            qint64 missing = 2 - d->input.size();
            if (missing <= 0)
                missing = (uchar(d->input[0]) * 256 + uchar(d->input[1])) - d->input.size();
            const qint64 n = d->pull(missing);
            if (n == 0)
                return false;
            arrived += n;
        }
    };

    DeviceWait::UntilOptions options;
    options.progress = [&arrived] { return arrived; };
    options.deadlineMs = std::max(d->timeoutMs, 1) * kDeadlineTimeouts;
    const DeviceWait::Outcome outcome = DeviceWait::waitUntil(done, d->timeoutMs, options);
    if (lost) {
        NotifyNetError(NoConnectionText());
        return -1;
    }
    if (refused) {
        NetFlushInput();
        return 0;
    }
    const bool timedOut = result == 0;
    if (timedOut) {
        // The start of a frame that did not come whole must not become the start of the
        // next one: it goes (logged as discarded input).
        NetFlushInput();
    }
    const bool overlong = outcome == DeviceWait::Outcome::DeadlinePassed;
    if (overlong)
        qWarning("orvid: TCP frame not complete within the deadline after %lld bytes",
                 static_cast<long long>(arrived));
    if (log) {
        if (result > 0)
            d->log(QByteArrayLiteral("R: "), reply + d->terminator, logOption);
        else if (overlong)
            d->log(QByteArrayLiteral("R: "), QByteArray(kProtocolError), logOption);
        else if (timedOut)
            d->log(QByteArrayLiteral("R: "), QByteArrayLiteral("<TIMEOUT>"), logOption);
    }
    return result;
}

void Network::postEventCheck()
{
    // The event lines are handled after the socket's signal has returned: a callback that
    // starts an exchange of its own would otherwise wait inside readyRead, and the socket
    // does not signal new data to a wait nested in its own signal.
    if (d->checkPosted)
        return;
    d->checkPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            d->checkPosted = false;
            CheckNetEvents();
        },
        Qt::QueuedConnection);
}

bool Network::CheckNetEvents()
{
    const QByteArray term = d->terminator;
    bool took = false;
    // The outermost call hands each event over as soon as it is taken, so a burst of any
    // length reaches the window. A call made from within a callback (a receive the window
    // runs while it handles an event) only queues what it takes, so the order holds and no
    // callback runs inside another; that queue is what the bound limits.
    const bool outermost = !d->delivering;
    d->delivering = true;
    const auto deliverQueued = [this] {
        while (!d->pendingEvents.isEmpty()) {
            const QByteArray text = d->pendingEvents.takeFirst();
            if (d->callback)
                d->callback->EventReceived(text);
        }
    };
    // Every complete event line at the head of the input is taken, also several that came
    // in one piece; an event line is read before it is handed on, so it is never seen twice.
    // While no receive waits, a line that is not an event is a late or stray reply: it is
    // logged as discarded input and goes, so the events behind it are not held up. While a
    // receive waits, such a line is that receive's.
    const qsizetype longest = kMaxLineLength + term.size();
    while (!term.isEmpty()) {
        if (!d->skipLine(term))
            break;
        // Enough to hold one longest line; the socket keeps the rest back.
        d->fill(longest);
        const bool event = d->input.startsWith(kEventTag);
        if (!event && d->receiving > 0)
            break;
        if (d->eventScanConsumed != d->consumed) {
            d->eventScanConsumed = d->consumed;
            d->eventScanned = 0;
        }
        const qsizetype pos = d->input.indexOf(term, std::max<qsizetype>(d->eventScanned - term.size() + 1, 0));
        if (pos < 0 && d->input.size() >= longest) {
            // A line longer than any the unit sends: reported once and skipped to its end,
            // so the lines behind it still come through.
            qWarning("orvid: TCP line longer than %lld bytes while no reply was awaited",
                     static_cast<long long>(longest));
            d->log(QByteArrayLiteral("R: "), QByteArray(kProtocolError), true);
            d->startSkipping();
            took = took || event;
            continue;
        }
        if (pos < 0) {
            d->eventScanned = d->input.size();
            break;
        }
        // A line the family says lost its end before its terminator goes alone, and what
        // follows it is read as a line of its own. An event whole by its shape is handed on
        // as it came; one cut short is no event and is shown as discarded input.
        const ILineStructure::Break end = d->lineEnd(pos);
        const qsizetype length = end.at;
        const QByteArray line = d->take(length < pos ? length : pos + term.size());
        if (!event || !end.whole) {
            d->log(QByteArrayLiteral("F: "), line, false);
            if (!event)
                emit lineDiscarded(UrlDecode(line.left(length)));
            continue;
        }
        d->log(QByteArrayLiteral("R: "), line, true);
        took = true;
        if (d->pendingEvents.size() >= kMaxPendingEvents) {
            if (!d->eventsDropped)
                qWarning("orvid: more than %d events wait for the window; further events are dropped",
                         kMaxPendingEvents);
            d->eventsDropped = true;
            continue;
        }
        d->pendingEvents.append(UrlDecode(line.mid(kEventTag.size(), length - kEventTag.size())));
        if (outermost)
            deliverQueued();
    }
    if (outermost) {
        deliverQueued();
        d->eventsDropped = false;
        d->delivering = false;
    }
    return took;
}

void Network::NetFlushInput()
{
    if (!d->connected || !d->hasInput())
        return;
    const QByteArray data = d->takeAll();
    // The line being skipped may have ended among the bytes discarded.
    if (d->skipping && data.contains(d->terminator))
        d->endSkip();
    else if (d->skipping)
        d->skippedBytes(data);
    d->log(QByteArrayLiteral("F: "), data, false);
}

void Network::ShowNetError(int number, const QString& description)
{
    d->errorNumber = number;
    d->errorText = description;
    if (d->connected) {
        // Only the first error of a connection is shown: the flag is down from here on.
        d->connected = false;
        if (d->ctx.language) {
            d->ctx.language->ShowMessage(kMsgConnectionLost, kInfoButtons, 0,
                                         d->address + QLatin1Char('|')
                                             + errorArgument(number, description));
        }
    }
}

QString Network::SocketErrorText(int systemError, const Language* language)
{
    const SocketFailure failure = socketFailure(systemError, language);
    return errorArgument(failure.number, failure.text);
}

QString Network::NoConnectionText() const
{
    return QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address);
}

bool Network::NetLineCut() const
{
    return d->lineCut;
}

bool Network::NetLineLostEnd() const
{
    return d->lostEnd;
}

QByteArray Network::NetCutLine() const
{
    return d->cutLine;
}

void Network::NotifyNetError(const QString& text)
{
    if (d->callback)
        d->callback->Error(text);
}

QByteArray Network::UrlEncode(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        switch (c) {
        case '%': out += "%25"; break;
        case '\0': out += "%00"; break;
        case '\n': out += "%0A"; break;
        case ',': out += "%2C"; break;
        case ';': out += "%3B"; break;
        case '=': out += "%3D"; break;
        default: out += c; break;
        }
    }
    return out;
}

QByteArray Network::UrlDecode(const QByteArray& text)
{
    // Each "%" is dropped; when it is followed by two hexadecimal digits they become the
    // character of that code. Anything else behind it (one last character, or characters
    // that are no hexadecimal digits) is kept as it stands.
    QByteArray out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype pct = text.indexOf('%', i);
        if (pct < 0) {
            out.append(text.constData() + i, n - i);
            break;
        }
        out.append(text.constData() + i, pct - i);
        i = pct + 1;
        if (n - i >= 2) {
            const int hi = HexDigitValue(uchar(text[i]));
            const int lo = HexDigitValue(uchar(text[i + 1]));
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
            }
        }
    }
    return out;
}

qsizetype Network::EncodedLength(QByteArrayView text, qsizetype chars)
{
    // The same steps as UrlDecode, counting instead of copying.
    const auto escape = [&text](qsizetype at) {
        return text.size() - at >= 3 && HexDigitValue(uchar(text[at + 1])) >= 0
               && HexDigitValue(uchar(text[at + 2])) >= 0;
    };
    qsizetype i = 0;
    for (qsizetype got = 0; got < chars; ++got) {
        while (i < text.size() && text[i] == '%' && !escape(i))
            ++i;
        if (i >= text.size())
            return -1;
        i += text[i] == '%' ? 3 : 1;
    }
    while (i < text.size() && text[i] == '%' && !escape(i))
        ++i;
    return i;
}

QByteArray Network::HttpGet(const QString& url)
{
    const QUrl target(url);
    if (!target.isValid() || target.scheme().isEmpty())
        return {};
    if (!d->http)
        d->http = new QNetworkAccessManager(this);

    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Dunvel:INET"));
    QNetworkReply* reply = d->http->get(request);

    // The reply keeps no more than one byte past the largest body; a larger one ends the
    // wait and is refused.
    reply->setReadBufferSize(kMaxHttpBody + 1);
    qint64 received = 0;
    connect(reply, &QNetworkReply::finished, reply, [] { DeviceWait::wake(); });
    connect(reply, &QNetworkReply::downloadProgress, reply, [&received](qint64 got, qint64) {
        received = got;
        DeviceWait::wake();
    });
    connect(reply, &QNetworkReply::readyRead, reply, [] { DeviceWait::wake(); });

    bool tooLarge = false;
    DeviceWait::UntilOptions options;
    // A page that keeps coming is not cut off by the time-out, only by the deadline.
    options.progress = [&received] { return received; };
    options.deadlineMs = d->httpTimeoutMs * kDeadlineTimeouts;
    const DeviceWait::Outcome outcome = DeviceWait::waitUntil(
        [&] {
            tooLarge = reply->bytesAvailable() > kMaxHttpBody;
            return tooLarge || reply->isFinished();
        },
        d->httpTimeoutMs, options);
    if (outcome != DeviceWait::Outcome::Done || tooLarge) {
        if (tooLarge)
            qWarning("orvid: HTTP body larger than %lld bytes refused", static_cast<long long>(kMaxHttpBody));
        reply->abort();
    }
    reply->disconnect();
    QByteArray body;
    if (!tooLarge && reply->isFinished() && reply->error() == QNetworkReply::NoError)
        body = reply->readAll();
    reply->deleteLater();
    return body;
}

int Network::FrameStatus(const QByteArray& buffered)
{
    if (buffered.size() < 2)
        return 0;
    return frameStatusOf(uchar(buffered[0]), uchar(buffered[1]), buffered.size());
}

} // namespace orvid
