#include "NetworkConnect.h"

#include <QHostInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace orvid {

namespace {

// The system's form of address and port; its length, 0 for an address of no family the
// system connects to.
socklen_t socketAddress(const QHostAddress& address, quint16 port, sockaddr_storage& out)
{
    std::memset(&out, 0, sizeof out);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&out);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof(sockaddr_in);
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        // A link-local address names its interface ("fe80::1%eth0").
        const QString scope = address.scopeId();
        bool numeric = false;
        const uint index = scope.toUInt(&numeric);
        in6->sin6_scope_id = numeric ? index : ::if_nametoindex(scope.toLocal8Bit().constData());
        return sizeof(sockaddr_in6);
    }
    return 0;
}

} // namespace

NetworkConnect::NetworkConnect(QObject* parent) : QObject(parent) {}

NetworkConnect::~NetworkConnect()
{
    if (lookingUp_)
        QHostInfo::abortHostLookup(lookupId_);
    closeSocket();
}

void NetworkConnect::start(const QString& host, quint16 port)
{
    cancel(ECANCELED);
    closeSocket();
    running_ = true;
    connected_ = false;
    port_ = port;
    lookup_ = Lookup::Found;
    error_ = 0;
    const QHostAddress address(host);
    if (!address.isNull()) {
        addresses_ = {address};
        tryNext();
        return;
    }
    // A name found before may be answered at once, before the lookup's number is known.
    lookingUp_ = true;
    const int id = QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) { lookedUp(info); });
    if (lookingUp_)
        lookupId_ = id;
}

void NetworkConnect::cancel(int error)
{
    if (!running_)
        return;
    if (lookingUp_) {
        QHostInfo::abortHostLookup(lookupId_);
        lookingUp_ = false;
    }
    addresses_.clear();
    closeSocket();
    noteFailure(error);
    finish();
}

int NetworkConnect::takeDescriptor()
{
    if (!connected_)
        return -1;
    connected_ = false;
    return std::exchange(fd_, -1);
}

void NetworkConnect::lookedUp(const QHostInfo& info)
{
    lookingUp_ = false;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        lookup_ = info.error() == QHostInfo::HostNotFound || info.error() == QHostInfo::NoError
                      ? Lookup::NotFound
                      : Lookup::Failed;
        finish();
        return;
    }
    addresses_ = info.addresses();
    // IPv4 first: the units have no other.
    std::stable_partition(addresses_.begin(), addresses_.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    emit progressed();
    tryNext();
}

void NetworkConnect::tryNext()
{
    while (!addresses_.isEmpty()) {
        sockaddr_storage target;
        const socklen_t length = socketAddress(addresses_.takeFirst(), port_, target);
        if (length == 0) {
            noteFailure(EAFNOSUPPORT);
            continue;
        }
        fd_ = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            noteFailure(errno);
            continue;
        }
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&target), length) == 0) {
            connected_ = true;
            finish();
            return;
        }
        if (errno == EINPROGRESS || errno == EINTR) {
            // The handshake goes on; the socket is writable once it has ended either way.
            writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
            connect(writable_, &QSocketNotifier::activated, this, &NetworkConnect::connectionSettled);
            return;
        }
        noteFailure(errno);
        closeSocket();
    }
    finish();
}

void NetworkConnect::connectionSettled()
{
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    delete std::exchange(writable_, nullptr);
    if (error == 0) {
        connected_ = true;
        finish();
        return;
    }
    noteFailure(error);
    closeSocket();
    tryNext();
}

void NetworkConnect::noteFailure(int error)
{
    // The first address's failure says most: later ones are usually a family the
    // network does not carry.
    if (error_ == 0)
        error_ = error;
}

void NetworkConnect::finish()
{
    running_ = false;
    emit progressed();
}

void NetworkConnect::closeSocket()
{
    delete std::exchange(writable_, nullptr);
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    connected_ = false;
}

} // namespace orvid
