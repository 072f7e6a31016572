#pragma once
// The one serial port of the program: its settings, opening and closing, the framing of
// outgoing telegrams (types 0..6), and the cutting of replies out of the received stream
// by a fixed length or a terminator with an optional additive ("~") or XOR ("^") check
// character. Waits for replies run window events (DeviceWait); a nesting depth with one
// set-aside reply slot per level keeps the replies of nested exchanges apart.
// Every telegram and reply goes to the traffic monitor.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <optional>
#include <cstdint>

namespace orvid {

struct AppContext;
class CommPort;

class Ports : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxDepth = 10; // nesting levels 1..10 (slot 0 unused)

    // The longest reply a receive can hand out: its length travels as a 16-bit number.
    // The longest telegram the framing allows is that reply with its check character and
    // terminator (a DLE before a special check character stays in the reply); input that
    // runs past it without a complete reply is no reply of this device.
    static constexpr int kMaxReplyLength = 32767;
    static int MaxTelegramLength(int count, const QByteArray& terminator)
    {
        return count > 0 ? count : kMaxReplyLength + 1 + static_cast<int>(terminator.size());
    }
    // A receive that keeps getting bytes ends at the latest after this many time-outs, so a
    // device that drips bytes cannot hold the program in a receive.
    static constexpr int kDeadlineTimeouts = 8;
    // Bytes taken from the port at one time while a receive runs; the port itself buffers
    // at most CommPort::kReadBufferSize, so a flood waits in the driver instead of memory.
    static constexpr int kReadChunk = 4096;
    // The monitor's text for a receive ended by input that cannot be a reply.
    static constexpr const char* kProtocolError = "<PROTOCOL ERROR>";

    explicit Ports(AppContext& ctx, QObject* parent = nullptr);
    ~Ports() override;

    CommPort& comm();

    // Reads "Settings"/"DetectTimeout" and the "Port" section; does not open the port.
    void InitPort();
    // Opens or reconfigures the port; an empty port reports the current configuration.
    // protocol: 0 none, 1 RTS/CTS on input; on output the handshake value in use (0 or 2).
    void OpenPort(QString& port, QString& settings, int16_t& protocol, bool showMessage);
    // Closes the port and writes the "Port" section.
    void SavePortSettings();

    void SetLinkProtocol(const QByteArray& protocol);
    QByteArray GetLinkProtocol() const;
    // For a "^" protocol whose replies DLE-escape their data: the number of bytes at the
    // start of a reply (its unescaped header) after which a DLE escapes the next byte, so an
    // escaped terminator in the data never ends the reply, whatever the check so far says.
    // A negative value (the default) means the replies are not escaped. Setting a link
    // protocol clears it again, so it holds only for the family that asked for it.
    void SetEscapedFrom(int headerLength);
    int EscapedFrom() const;
    void SetFramingType(int16_t type);
    int16_t GetFramingType() const;
    int16_t SetTimeout(int16_t ms);   // returns the previous time-out
    int16_t GetTimeout() const;

    bool PortDataAvailable() const;
    // Frames the first count bytes of data and writes them, however many: a telegram is
    // never cut before its framing (a reply's length is bounded, a telegram's is not).
    void SendTelegram(const QByteArray& data, qsizetype count, const QVariant& logOption = QVariant());
    // count > 0: exactly count bytes; count <= 0: up to the reply terminator.
    // Returns the reply length, 0 on time-out or with the port closed. A port that fails
    // during the wait ends it at once like a time-out. Input that runs past the longest
    // telegram or past the deadline is discarded and returns 0, logged as kProtocolError.
    // A frame with a wrong check character is dropped (logged "F: ") when a good one
    // follows it. A receive nested deeper than
    // kMaxDepth is refused: it returns 0 at once, leaves reply alone and logs nothing.
    // The wait also ends as soon as a nested flush has set this level's reply aside.
    int16_t ReceiveTelegram(QByteArray& reply, int16_t& count, const QVariant& logOption = QVariant(),
                            bool log = true, bool noCheck = false);
    void FlushInput();
    void WaitTimeout();

    // The serial devices of this machine, sorted by their number, optionally after `first`.
    QStringList FillComPorts(const QString& first = QString()) const;

    bool PortOpenFlag() const;
    QString PortName() const;
    int16_t DetectTimeout() const;
    int16_t ReceiveDepth() const;

    // Pure framing of one telegram (used by SendTelegram, tests and the fuzzers).
    static QByteArray FrameTelegram(int16_t framingType, const QByteArray& data,
                                    const QByteArray& specialChars);

    // Pure cutting of one reply from the front of buffer (used by ReceiveTelegram and the
    // fuzzers). count > 0: exactly count bytes; else up to terminator with the check of
    // mode ("~", "^" or empty). Returns kIncomplete and leaves buffer alone when no reply
    // is complete; otherwise removes the reply, its check character and terminator from
    // buffer and returns the reply length (0 for an empty reply). escapedFrom >= 0: the
    // reply's bytes from that offset on are DLE-escaped (see SetEscapedFrom).
    static constexpr int kIncomplete = -1;
    static int CutReply(QByteArray& buffer, int count, const QByteArray& mode,
                        const QByteArray& terminator, const QByteArray& specialChars,
                        bool noCheck, QByteArray* reply, QByteArray* tail, int escapedFrom = -1);

    // Where the search for a terminated reply in a growing buffer stopped, so that each
    // arrival is searched once (a receive is linear in the bytes it reads). With resync a
    // frame may also start behind a terminator whose check failed: a frame with a wrong
    // check character is then dropped (into *dropped) and the good frame behind it is
    // handed out. The earliest start whose check is right wins, so a terminator inside the
    // data of a good frame still counts as data.
    struct ReplyScan {
        struct Start {
            qsizetype at;
            quint8 sum; // sum and XOR of the bytes before `at`
            quint8 xr;
        };
        // Frame starts behind the first that are still tried; more failed terminators
        // than this within one frame drop the oldest of them (the start of the buffer is
        // always kept).
        static constexpr int kMaxStarts = 16;
        bool resync = true;
        qsizetype scanned = 0; // bytes before this have been searched
        quint8 sum = 0;        // of the bytes before `scanned`
        quint8 xr = 0;
        QList<Start> starts;
        // The framing the state belongs to.
        QByteArray mode;
        QByteArray terminator;
        bool noCheck = false;
        int escapedFrom = -1;
        void reset();
    };
    // CutReply continuing from scan (reset when the framing differs from its last call).
    static int CutReply(QByteArray& buffer, int count, const QByteArray& mode,
                        const QByteArray& terminator, const QByteArray& specialChars,
                        bool noCheck, QByteArray* reply, QByteArray* tail, ReplyScan& scan,
                        QByteArray* dropped, int escapedFrom = -1);

    // The device path for a port name: a stored "COMn" becomes "/dev/ttyS<n-1>"; anything
    // else is taken as a path already.
    static QString DevicePath(const QString& name);
    static constexpr const char* kDefaultPort = "/dev/ttyS0";

signals:
    // The port was closed because of a device error (unplugged, hung up); shown once. The
    // reason is in the program's language.
    void portFailed(const QString& reason);

private:
    void onCommFailed();
    void setLabel(const QString& caption);
    void setLabelEnabled(bool enabled);
    void log(const char* prefix, const QByteArray& data, const QVariant& logOption);
    void discardBuffered();

    AppContext& ctx_;
    CommPort* comm_ = nullptr;
    QString portName_;
    bool portOpenFlag_ = false;
    int16_t detectTimeout_ = 200;
    int16_t currentTimeout_ = 200;
    int16_t portTimeoutFlag_ = 0;
    int16_t framingType_ = 0;
    QByteArray checksumMode_;
    QByteArray replyTerminator_;
    QByteArray specialChars_;
    int escapedFrom_ = -1;
    QByteArray receiveBuffer_;
    ReplyScan scan_;
    int16_t receiveDepth_ = 0;
    // Replies a flush set aside for the receive waiting at each level (an empty reply, a
    // bare terminator, is a reply too).
    std::array<std::optional<QByteArray>, kMaxDepth + 1> pendingReplies_;
    bool lastReplyTaken_ = false; // the last receive ended with a reply, maybe an empty one
    // What the receive at each level asked for, so a reply set aside for it is cut the way
    // it would have cut it itself (a fixed count, the check of its check character).
    struct Request {
        int16_t count = 0;
        bool noCheck = false;
    };
    std::array<Request, kMaxDepth + 1> requests_;
};

} // namespace orvid
