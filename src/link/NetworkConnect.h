#pragma once
// One attempt to connect to the device, made with the system's own calls so that a failure
// is known by the system's error number: the toolkit tells an unreachable network, an
// unreachable host and a time-out apart only in its (English) wording, as one "network
// error". The name is looked up first (an address needs no lookup); then its addresses are
// tried in turn, IPv4 first, until one connects. The connected socket is handed over.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QHostInfo;
class QSocketNotifier;

namespace orvid {

class NetworkConnect : public QObject {
    Q_OBJECT
public:
    // How the name lookup ended.
    enum class Lookup { Found, NotFound, Failed };

    explicit NetworkConnect(QObject* parent = nullptr);
    ~NetworkConnect() override;

    // Starts an attempt, ending one that still runs; it may end before this returns.
    void start(const QString& host, quint16 port);
    // Ends a running attempt as failed with error (an errno value).
    void cancel(int error);
    bool running() const { return running_; }
    bool lookingUp() const { return lookingUp_; }

    // The connected socket, now the caller's; -1 unless the attempt has connected.
    int takeDescriptor();
    // Why the attempt failed: the lookup's end, and the system's error number (errno) of
    // the first address that failed (0 when the lookup gave none).
    Lookup lookup() const { return lookup_; }
    int error() const { return error_; }

signals:
    // The attempt moved on: the name was found, or it ended (connected or failed).
    void progressed();

private:
    void lookedUp(const QHostInfo& info);
    void tryNext();
    void connectionSettled();
    void noteFailure(int error);
    void finish();
    void closeSocket();

    bool running_ = false;
    bool lookingUp_ = false;
    int lookupId_ = -1;
    quint16 port_ = 0;
    QList<QHostAddress> addresses_;
    int fd_ = -1;
    bool connected_ = false;
    QSocketNotifier* writable_ = nullptr;
    Lookup lookup_ = Lookup::Found;
    int error_ = 0;
};

} // namespace orvid
