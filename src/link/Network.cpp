#include "Network.h"

#include "DeviceWait.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/SettingsStore.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QCursor>
#include <QGuiApplication>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

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

bool stillConnecting(const QTcpSocket* socket)
{
    // A name lookup is part of making the connection, just as the TCP handshake is.
    const auto state = socket->state();
    return state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState;
}

int frameStatusOf(uchar high, uchar low, qint64 available)
{
    const int length = high * 256 + low;
    if (length < 2 || length > Network::kMaxFrameLength)
        return -1;
    return available >= length ? length : 0;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int16_t clampLength(qsizetype n)
{
    return static_cast<int16_t>(qMin<qsizetype>(n, 32767));
}

} // namespace

struct Network::Impl {
    explicit Impl(AppContext& c) : ctx(c) {}

    AppContext& ctx;
    QTcpSocket* socket = nullptr;
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
    bool delivering = false;
    bool checkPosted = false;
    int receiving = 0; // receives running (nested ones included)

    void log(const QByteArray& prefix, const QByteArray& data, const QVariant& flag) const
    {
        if (ctx.monitor)
            ctx.monitor->Add(prefix, data, flag);
    }
};

Network::Network(AppContext& ctx, QObject* parent) : QObject(parent), d(new Impl(ctx))
{
    d->socket = new QTcpSocket(this);
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
    connect(s, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        ShowNetError(static_cast<int>(error), d->socket->errorString());
        DeviceWait::wake();
    });
}

Network::~Network()
{
    // No signal of the closing socket may reach this half-destroyed object.
    d->socket->disconnect(this);
    d->socket->abort();
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
    d->socket->abort();
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

void Network::SetNetTerminator(const QByteArray& terminator)
{
    d->terminator = terminator;
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
    d->connected = false;
    d->errorNumber = 0;
    d->errorText.clear();
    // The window of the previous connection no longer hears about this one.
    d->callback = nullptr;
    s->abort();
    s->connectToHost(d->address, port);

    QElapsedTimer clock;
    clock.start();

    // A first short wait without the box (busy pointer only): most attempts end well
    // within it.
    constexpr int kQuietWaitMs = 1000;
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (gui)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The program closing ends the attempt like a cancel: no box, no message.
    bool cancelled = false;
    while (stillConnecting(s)) {
        const qint64 left = kQuietWaitMs - clock.elapsed();
        if (left < 0)
            break;
        if (DeviceWait::wait(int(left) + 1) == DeviceWait::Outcome::Aborted) {
            cancelled = true;
            break;
        }
    }
    if (gui)
        QGuiApplication::restoreOverrideCursor();

    bool timedOut = false;
    if (stillConnecting(s) && !cancelled) {
        // An unanswered handshake can take minutes: the attempt ends at the limit, with or
        // without the box.
        const qint64 left = qMax<qint64>(d->connectLimitMs - clock.elapsed(), 1);
        QTimer limit;
        limit.setSingleShot(true);
        QPointer<QTcpSocket> guarded(s);
        connect(&limit, &QTimer::timeout, this, [&timedOut, guarded] {
            if (guarded && stillConnecting(guarded)) {
                timedOut = true;
                guarded->abort();
            }
        });
        limit.start(int(left));
        if (d->ctx.connecting) {
            cancelled = !d->ctx.connecting->ShowDialog(s);
        } else {
            while (stillConnecting(s) && limit.isActive()) {
                if (DeviceWait::wait(d->connectLimitMs) == DeviceWait::Outcome::Aborted) {
                    cancelled = true;
                    break;
                }
            }
        }
        limit.stop();
        if (stillConnecting(s) && !cancelled) {
            // The box closed while the attempt still ran.
            timedOut = true;
        }
    }

    if (s->state() == QAbstractSocket::ConnectedState && !cancelled) {
        d->callback = callback;
        d->connected = true;
        return true;
    }

    s->abort();
    if (timedOut && d->errorText.isEmpty()) {
        d->errorNumber = static_cast<int>(QAbstractSocket::SocketTimeoutError);
        d->errorText = QStringLiteral("Connection timed out");
    }
    if (!d->errorText.isEmpty() && !cancelled && d->ctx.language) {
        d->ctx.language->ShowMessage(kMsgConnectFailed, kInfoButtons, 0,
                                     d->address + QLatin1Char('|')
                                         + QString::number(d->errorNumber)
                                         + QStringLiteral(" - ") + d->errorText);
    }
    return false;
}

bool Network::NetDisconnect()
{
    d->socket->abort();
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
    return d->connected && d->socket->bytesAvailable() >= 1;
}

bool Network::NetSend(const QByteArray& text, bool log, const QVariant& logOption)
{
    if (!d->connected) {
        NotifyNetError(QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address));
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
    if (!d->connected) {
        NotifyNetError(QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address));
        return -1;
    }
    QTcpSocket* s = d->socket;
    const QByteArray term = d->terminator;
    reply.clear();
    ++d->receiving;
    const auto leave = qScopeGuard([this] { --d->receiving; });
    int16_t result = 0;
    bool timedOut = false;
    bool got = false;
    QElapsedTimer clock;
    clock.start();
    qint64 seen = 0;

    for (;;) {
        const qint64 available = s->bytesAvailable();
        if (available != seen) {
            // The time-out counts from the last growth of the input, not from the start.
            clock.restart();
            seen = available;
            // Without a terminator no line can be cut (binary frames use NetReceiveBytes).
            if (!term.isEmpty()) {
                if (CheckNetEvents()) {
                    seen = -1; // look at what follows the event lines on the next pass
                    continue;
                }
                const QByteArray data = s->peek(available);
                const qsizetype pos = data.indexOf(term);
                if (pos >= 0) {
                    QByteArray line = s->read(pos + term.size());
                    line.chop(term.size());
                    reply = UrlDecode(line);
                    result = clampLength(reply.size());
                    got = true;
                    break;
                }
            }
        }
        if (!d->connected) {
            NotifyNetError(QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address));
            return -1;
        }
        const qint64 left = d->timeoutMs - clock.elapsed();
        if (left < 0) {
            timedOut = true;
            break;
        }
        if (DeviceWait::wait(int(left) + 1) == DeviceWait::Outcome::Aborted) {
            timedOut = true;
            break;
        }
    }

    // Event lines behind the reply are handled once this receive has returned.
    if (got && s->bytesAvailable() > 0)
        postEventCheck();

    if (log) {
        if (result > 0) {
            d->log(QByteArrayLiteral("R: "), reply + term, logOption);
        } else if (timedOut) {
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
        NotifyNetError(QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address));
        return -1;
    }
    QTcpSocket* s = d->socket;
    reply.clear();
    ++d->receiving;
    const auto leave = qScopeGuard([this] {
        --d->receiving;
        if (d->socket->bytesAvailable() > 0)
            postEventCheck();
    });
    int16_t result = 0;
    bool timedOut = false;
    bool refused = false;
    QElapsedTimer clock;
    clock.start();
    qint64 seen = 0;

    for (;;) {
        const qint64 available = s->bytesAvailable();
        if (available != seen) {
            clock.restart();
            seen = available;
            if (available >= 2) {
                const QByteArray head = s->peek(2);
                const int status = frameStatusOf(uchar(head[0]), uchar(head[1]), available);
                if (status < 0) {
                    // A length the frames cannot have: what follows cannot be framed
                    // either, so the input is dropped and the receive fails.
                    refused = true;
                    break;
                }
                if (status > 0) {
                    reply = s->read(status);
                    result = clampLength(reply.size());
                    break;
                }
            }
        }
        if (!d->connected) {
            NotifyNetError(QString(d->errorTemplate).replace(QStringLiteral("%s"), d->address));
            return -1;
        }
        const qint64 left = d->timeoutMs - clock.elapsed();
        if (left < 0) {
            timedOut = true;
            break;
        }
        if (DeviceWait::wait(int(left) + 1) == DeviceWait::Outcome::Aborted) {
            timedOut = true;
            break;
        }
    }

    if (refused) {
        NetFlushInput();
        return 0;
    }
    if (log) {
        if (result > 0)
            d->log(QByteArrayLiteral("R: "), reply + d->terminator, logOption);
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
    QTcpSocket* s = d->socket;
    const QByteArray term = d->terminator;
    bool took = false;
    // Every complete event line at the head of the input is taken, also several that came
    // in one piece; an event line is read before it is handed on, so it is never seen twice.
    while (!term.isEmpty() && s->bytesAvailable() >= kEventTag.size()) {
        const QByteArray data = s->peek(s->bytesAvailable());
        if (!data.startsWith(kEventTag))
            break;
        const qsizetype pos = data.indexOf(term);
        if (pos < 0)
            break;
        const QByteArray line = s->read(pos + term.size());
        d->log(QByteArrayLiteral("R: "), line, true);
        d->pendingEvents.append(UrlDecode(line.mid(kEventTag.size(), pos - kEventTag.size())));
        took = true;
    }

    // Hand the events over one after the other; a call made from within a callback only
    // queues them, so the order holds and no callback runs inside another.
    if (!d->delivering) {
        d->delivering = true;
        while (!d->pendingEvents.isEmpty()) {
            const QByteArray text = d->pendingEvents.takeFirst();
            if (d->callback)
                d->callback->EventReceived(text);
        }
        d->delivering = false;
    }
    return took;
}

void Network::NetFlushInput()
{
    if (!d->connected || d->socket->bytesAvailable() < 1)
        return;
    const QByteArray data = d->socket->readAll();
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
                                         d->address + QLatin1Char('|') + QString::number(number)
                                             + QStringLiteral(" - ") + description);
        }
    }
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
            const int hi = hexValue(text[i]);
            const int lo = hexValue(text[i + 1]);
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
            }
        }
    }
    return out;
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

    QElapsedTimer clock;
    clock.start();
    connect(reply, &QNetworkReply::finished, reply, [] { DeviceWait::wake(); });
    connect(reply, &QNetworkReply::readyRead, reply, [&clock] {
        clock.restart(); // a page that keeps coming is not cut off
        DeviceWait::wake();
    });

    while (!reply->isFinished()) {
        const qint64 left = d->httpTimeoutMs - clock.elapsed();
        if (left < 0 || DeviceWait::wait(int(left) + 1) == DeviceWait::Outcome::Aborted) {
            reply->abort();
            break;
        }
    }
    reply->disconnect();
    QByteArray body;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
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
