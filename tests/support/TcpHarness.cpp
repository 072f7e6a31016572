#include "TcpHarness.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvid::test {

struct TcpHarness::Shared {
    mutable QMutex mutex;
    QWaitCondition changed;
    QByteArray transcript;
    QList<QByteArray> requests;
    int connections = 0;
    bool clientConnected = false;
    bool idle = true;
    quint16 port = 0;
    Splitter splitter;
    Handler handler;
    QList<TcpScript> replies;
    bool useReplies = false;
};

namespace {

qsizetype splitAt(const QByteArray& buffer, const QByteArray& terminator)
{
    const qsizetype pos = buffer.indexOf(terminator);
    return pos < 0 ? 0 : pos + terminator.size();
}

// Lives in the peer thread: the server, the one client and the queue of steps.
class Peer : public QObject {
public:
    explicit Peer(std::shared_ptr<TcpHarness::Shared> shared) : s_(std::move(shared)) {}

    bool listen(quint16 port)
    {
        server_ = new QTcpServer(this);
        if (!server_->listen(QHostAddress::LocalHost, port))
            return false;
        {
            QMutexLocker lock(&s_->mutex);
            s_->port = server_->serverPort();
        }
        connect(server_, &QTcpServer::newConnection, this, [this] { accept(); });
        return true;
    }

    void stopListening()
    {
        if (server_)
            server_->close();
    }

    void play(const TcpScript& steps)
    {
        queue_ += steps;
        pump();
    }

private:
    void accept()
    {
        while (QTcpSocket* next = server_->nextPendingConnection()) {
            if (client_) {
                client_->disconnect(this);
                client_->abort();
                client_->deleteLater();
            }
            client_ = next;
            buffer_.clear();
            {
                QMutexLocker lock(&s_->mutex);
                ++s_->connections;
                s_->clientConnected = true;
                s_->changed.wakeAll();
            }
            connect(next, &QTcpSocket::readyRead, this, [this] { receive(); });
            connect(next, &QTcpSocket::disconnected, this, [this, next] { dropped(next); });
        }
        pump();
    }

    void dropped(QTcpSocket* socket)
    {
        if (socket != client_)
            return;
        client_->deleteLater();
        client_ = nullptr;
        // Steps of a connection that is gone are not played to the next one.
        queue_.clear();
        QMutexLocker lock(&s_->mutex);
        s_->clientConnected = false;
        if (!pausing_)
            s_->idle = true;
        s_->changed.wakeAll();
    }

    void receive()
    {
        const QByteArray data = client_->readAll();
        buffer_ += data;
        TcpHarness::Splitter splitter;
        {
            QMutexLocker lock(&s_->mutex);
            s_->transcript += data;
            splitter = s_->splitter;
            s_->changed.wakeAll();
        }
        for (;;) {
            const qsizetype n = splitter ? splitter(buffer_) : splitAt(buffer_, "\n");
            if (n <= 0 || n > buffer_.size())
                break;
            const QByteArray request = buffer_.left(n);
            buffer_.remove(0, n);
            TcpScript answer;
            TcpHarness::Handler handler;
            {
                QMutexLocker lock(&s_->mutex);
                s_->requests.append(request);
                if (s_->useReplies) {
                    if (!s_->replies.isEmpty())
                        answer = s_->replies.takeFirst();
                } else {
                    handler = s_->handler;
                }
            }
            if (handler)
                answer = handler(request);
            queue_ += answer;
        }
        pump();
    }

    void pump()
    {
        while (!pausing_ && client_ && !queue_.isEmpty()) {
            const TcpStep step = queue_.takeFirst();
            switch (step.kind) {
            case TcpStep::Send:
                client_->write(step.bytes);
                client_->flush();
                break;
            case TcpStep::Pause:
                pausing_ = true;
                QTimer::singleShot(step.ms, this, [this] {
                    pausing_ = false;
                    pump();
                });
                break;
            case TcpStep::Close:
                client_->flush();
                client_->disconnectFromHost();
                break;
            case TcpStep::Reset: {
                const linger now{1, 0};
                ::setsockopt(int(client_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
                client_->abort();
                break;
            }
            }
        }
        QMutexLocker lock(&s_->mutex);
        s_->idle = !pausing_ && (queue_.isEmpty() || !client_);
        s_->changed.wakeAll();
    }

    std::shared_ptr<TcpHarness::Shared> s_;
    QTcpServer* server_ = nullptr;
    QPointer<QTcpSocket> client_;
    QByteArray buffer_;
    TcpScript queue_;
    bool pausing_ = false;
};

} // namespace

TcpHarness::TcpHarness(quint16 port) : s_(std::make_shared<Shared>()), thread_(new QThread)
{
    auto* peer = new Peer(s_);
    peer->setObjectName(QStringLiteral("tcpPeer"));
    peer->moveToThread(thread_);
    QObject::connect(thread_, &QThread::finished, peer, &QObject::deleteLater);
    thread_->start();
    bool ok = false;
    QMetaObject::invokeMethod(peer, [peer, &ok, port] { ok = peer->listen(port); },
                              Qt::BlockingQueuedConnection);
    Q_ASSERT(ok || port != 0);
    peer_ = peer;
}

TcpHarness::~TcpHarness()
{
    thread_->quit();
    thread_->wait();
    delete thread_;
}

bool TcpHarness::listening() const
{
    return port() != 0;
}

quint16 TcpHarness::port() const
{
    QMutexLocker lock(&s_->mutex);
    return s_->port;
}

void TcpHarness::setLineRequests(const QByteArray& terminator)
{
    setSplitter([terminator](const QByteArray& b) { return splitAt(b, terminator); });
}

void TcpHarness::setSplitter(Splitter splitter)
{
    QMutexLocker lock(&s_->mutex);
    s_->splitter = std::move(splitter);
}

void TcpHarness::setHandler(Handler handler)
{
    QMutexLocker lock(&s_->mutex);
    s_->handler = std::move(handler);
    s_->useReplies = false;
}

void TcpHarness::setReplies(const QList<TcpScript>& replies)
{
    QMutexLocker lock(&s_->mutex);
    s_->replies = replies;
    s_->useReplies = true;
}

void TcpHarness::play(const TcpScript& steps)
{
    auto* peer = static_cast<Peer*>(peer_);
    {
        QMutexLocker lock(&s_->mutex);
        s_->idle = false;
    }
    QMetaObject::invokeMethod(peer, [peer, steps] { peer->play(steps); }, Qt::QueuedConnection);
}

bool TcpHarness::waitForClient(int ms)
{
    QDeadlineTimer deadline(ms);
    QMutexLocker lock(&s_->mutex);
    while (!s_->clientConnected) {
        if (!s_->changed.wait(&s_->mutex, deadline))
            return s_->clientConnected;
    }
    return true;
}

bool TcpHarness::waitForReceived(qsizetype n, int ms)
{
    QDeadlineTimer deadline(ms);
    QMutexLocker lock(&s_->mutex);
    while (s_->transcript.size() < n) {
        if (!s_->changed.wait(&s_->mutex, deadline))
            return s_->transcript.size() >= n;
    }
    return true;
}

bool TcpHarness::waitIdle(int ms)
{
    QDeadlineTimer deadline(ms);
    QMutexLocker lock(&s_->mutex);
    while (!s_->idle) {
        if (!s_->changed.wait(&s_->mutex, deadline))
            return s_->idle;
    }
    return true;
}

QByteArray TcpHarness::transcript() const
{
    QMutexLocker lock(&s_->mutex);
    return s_->transcript;
}

QList<QByteArray> TcpHarness::requests() const
{
    QMutexLocker lock(&s_->mutex);
    return s_->requests;
}

int TcpHarness::connectionCount() const
{
    QMutexLocker lock(&s_->mutex);
    return s_->connections;
}

bool TcpHarness::clientConnected() const
{
    QMutexLocker lock(&s_->mutex);
    return s_->clientConnected;
}

void TcpHarness::clearTranscript()
{
    QMutexLocker lock(&s_->mutex);
    s_->transcript.clear();
    s_->requests.clear();
}

void TcpHarness::stopListening()
{
    auto* peer = static_cast<Peer*>(peer_);
    QMetaObject::invokeMethod(peer, [peer] { peer->stopListening(); },
                              Qt::BlockingQueuedConnection);
}

// --- StalledListener -----------------------------------------------------------------

StalledListener::StalledListener()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    // A backlog of 0 holds one finished handshake; the filler takes that place and the
    // listener never accepts, so every later attempt waits for an answer that never comes.
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::listen(listenFd_, 0) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    fillerFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fillerFd_ < 0)
        return;
    ::fcntl(fillerFd_, F_SETFL, O_NONBLOCK);
    ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    pollfd p{fillerFd_, POLLOUT, 0};
    if (::poll(&p, 1, 2000) != 1)
        return;
    port_ = ntohs(addr.sin_port);
}

StalledListener::~StalledListener()
{
    if (fillerFd_ >= 0)
        ::close(fillerFd_);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

quint16 unusedLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// --- HttpPageServer ------------------------------------------------------------------

HttpPageServer::HttpPageServer(const QByteArray& body, int status)
    : peer_(std::make_unique<TcpHarness>())
{
    const QByteArray reason = status == 200 ? QByteArrayLiteral("OK") : QByteArrayLiteral("Error");
    response_ = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n"
                "Content-Type: text/html\r\n"
                "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                "Connection: close\r\n\r\n" + body;
    peer_->setLineRequests(QByteArrayLiteral("\r\n\r\n"));
    setSilent(false);
}

HttpPageServer::~HttpPageServer() = default;

quint16 HttpPageServer::port() const
{
    return peer_->port();
}

QList<QByteArray> HttpPageServer::requests() const
{
    return peer_->requests();
}

void HttpPageServer::setSilent(bool silent)
{
    if (silent) {
        peer_->setHandler({});
        return;
    }
    const QByteArray response = response_;
    peer_->setHandler([response](const QByteArray&) {
        return TcpScript{TcpStep::send(response), TcpStep::close()};
    });
}

} // namespace orvid::test
