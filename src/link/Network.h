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
class Language;

class Network : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 6000;
    static constexpr int kMaxFrameLength = 32767;
    static constexpr const char* kDefaultAddress = "169.254.1.1";
    // The longest text line a reply can come in: a reply's length travels as a 16-bit
    // number (at most 32767 characters) and each character takes at most three on the
    // line ("%0A"). Input that runs past it without a terminator is no line of the unit:
    // it is reported once (kProtocolError in the monitor) and skipped up to and including
    // its terminator, however long it runs on, and the line behind it is read as usual.
    static constexpr int kMaxLineLength = 3 * 32767;
    // A receive that keeps getting bytes ends at the latest after this many time-outs, so a
    // peer that drips bytes cannot hold the program in a receive.
    static constexpr int kDeadlineTimeouts = 4;
    // Event lines taken off the input while a callback still handles an earlier one (the
    // window runs a receive of its own meanwhile): one screenful of a unit's state changes.
    // Beyond it new events are dropped (and reported): a unit that sends faster than the
    // window handles them must not fill the memory. Outside a callback every event is handed
    // over as it is taken, however many came at once.
    static constexpr int kMaxPendingEvents = 256;
    // The unit's web page is a few kilobytes; a body larger than this is no such page.
    static constexpr qint64 kMaxHttpBody = 1024 * 1024;
    // What the socket keeps of unread input: when it is full the socket stops reading and
    // TCP holds the peer back.
    static constexpr qint64 kReadBufferSize = 64 * 1024;
    // The monitor's text for a receive ended by input that cannot be a reply.
    static constexpr const char* kProtocolError = "<PROTOCOL ERROR>";

    explicit Network(AppContext& ctx, QObject* parent = nullptr);
    ~Network() override;

    QTcpSocket* socket() const;

    void LoadNetworkSettings();
    void SaveNetworkSettings();
    void LoadNetTexts();
    void SetNetAddress(const QString& address);
    QString GetNetAddress() const;
    // lines: what the family knows of its lines (see ILineStructure), kept until the next
    // call; without it a line is what comes up to its terminator.
    void SetNetTerminator(const QByteArray& terminator, const ILineStructure* lines = nullptr);
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
    // As NetReceiveLine with logging, but for a window of ms from the call: it ends when
    // the window has passed and no reply has begun by then, showing no "<TIMEOUT>" (the
    // caller decides what that silence means). Event lines coming meanwhile are handed on
    // and do not lengthen the window; a reply begun within it is read to its end, with
    // pauses of up to ms. A line cut off is shown as usual.
    int16_t NetReceiveLineWithin(int ms, QByteArray& reply, const QVariant& logOption = QVariant());
    int16_t NetReceiveBytes(QByteArray& reply, bool& log, const QVariant& logOption = QVariant());
    bool CheckNetEvents();
    void NetFlushInput();
    void ShowNetError(int number, const QString& description);
    // The error part of messages 7 and 8 for a system error (errno): the number the socket
    // layer of the unit's home platform gives it, which the unit's documentation and the
    // technicians know, " - " and what it means; the meaning alone where it has no number.
    // In the language's texts when one is given, else in the built-in German.
    static QString SocketErrorText(int systemError, const Language* language = nullptr);
    void NotifyNetError(const QString& text);
    // What a send or receive without the connection reports ("Keine Verbindung zu <address>").
    QString NoConnectionText() const;
    // The last NetReceiveLine ended with part of a line in hand (its time-out, its deadline,
    // a line longer than any, or a line the family says lost its end before its terminator): that
    // line was taken and discarded, and its rest goes up to its terminator as it arrives, or
    // up to where the family finds a line of its own beginning in it (the device lost the
    // line's end there).
    // NetCutLine: its start, decoded.
    bool NetLineCut() const;
    QByteArray NetCutLine() const;
    // The last NetReceiveLine's reply lost its terminator: the family found a line of its own
    // beginning right behind it, and the reply is whole by its shape (shown without the
    // terminator). Whether nothing else of it was lost is for the family to judge.
    bool NetLineLostEnd() const;

    static QByteArray UrlEncode(const QByteArray& text);
    static QByteArray UrlDecode(const QByteArray& text);
    // How many bytes of text decode (UrlDecode) to its first `chars` characters, a "%" right
    // behind them that decodes to nothing included; -1 when text decodes to fewer.
    static qsizetype EncodedLength(QByteArrayView text, qsizetype chars);
    // The body of an HTTP GET without the local cache; empty on failure.
    QByteArray HttpGet(const QString& url);

    // What the buffered input says about the binary frame at its head: 0 while it is not
    // complete, the frame length when it is, -1 when the length field is refused (below 2
    // or above kMaxFrameLength). Pure, so it can be checked without a socket.
    static int FrameStatus(const QByteArray& buffered);

signals:
    // A complete line that is no event came while no receive waited: a late or stray
    // reply, discarded (decoded, without its terminator).
    void lineDiscarded(const QByteArray& line);

private:
    // window: timeoutMs is also a window from the call (NetReceiveLineWithin).
    int16_t receiveLine(QByteArray& reply, bool log, const QVariant& logOption, int timeoutMs, bool window);
    void postEventCheck();
    struct Impl;
    Impl* d;
};

} // namespace orvid
