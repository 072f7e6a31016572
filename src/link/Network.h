#pragma once
// The one TCP connection of the program: the device address in the settings, connecting
// with a visible wait, text lines with a terminator and percent escaping, length-prefixed
// binary frames, "EVNT" lines handed to the registered IEventCallback, and an HTTP GET.

#include "LinkInterfaces.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>

class QTcpSocket;

namespace orvid {

struct AppContext;

class Network : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 6000;
    static constexpr int kMaxFrameLength = 32767;
    static constexpr const char* kDefaultAddress = "169.254.1.1";

    explicit Network(AppContext& ctx, QObject* parent = nullptr);
    ~Network() override;

    QTcpSocket* socket() const;

    void LoadNetworkSettings();
    void SaveNetworkSettings();
    void LoadNetTexts();
    void SetNetAddress(const QString& address);
    QString GetNetAddress() const;
    void SetNetTerminator(const QByteArray& terminator);
    QByteArray GetNetTerminator() const;
    void SetNetTimeout(int ms);                // tests shorten the 6000 ms
    int GetNetTimeout() const;
    // Upper bound of one connection attempt, connecting box included (tests shorten it).
    static constexpr int kConnectLimitMs = 10000;
    void SetNetConnectLimit(int ms);
    // Upper bound of an HTTP GET without any progress.
    static constexpr int kHttpTimeoutMs = 5000;
    void SetHttpTimeout(int ms);

    bool NetConnect(IEventCallback* callback, quint16 port);
    bool NetDisconnect();
    bool NetIsConnected() const;
    bool NetDataAvailable() const;
    bool NetSend(const QByteArray& text, bool log, const QVariant& logOption = QVariant());
    int16_t NetReceiveLine(QByteArray& reply, bool& log, const QVariant& logOption = QVariant());
    int16_t NetReceiveBytes(QByteArray& reply, bool& log, const QVariant& logOption = QVariant());
    bool CheckNetEvents();
    void NetFlushInput();
    void ShowNetError(int number, const QString& description);
    void NotifyNetError(const QString& text);

    static QByteArray UrlEncode(const QByteArray& text);
    static QByteArray UrlDecode(const QByteArray& text);
    // The body of an HTTP GET without the local cache; empty on failure.
    QByteArray HttpGet(const QString& url);

    // What the buffered input says about the binary frame at its head: 0 while it is not
    // complete, the frame length when it is, -1 when the length field is refused (below 2
    // or above kMaxFrameLength). Pure, so it can be checked without a socket.
    static int FrameStatus(const QByteArray& buffered);

private:
    void postEventCheck();
    struct Impl;
    Impl* d;
};

} // namespace orvid
