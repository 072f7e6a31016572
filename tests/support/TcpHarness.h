#pragma once
// A scripted TCP peer on 127.0.0.1 for tests and device simulators.
//
// The peer runs in a thread of its own (so the code under test may block or wait in the
// test thread) and accepts one client at a time. Incoming bytes are cut into requests by a
// splitter (a line terminator by default, or any framing a simulator needs); for each
// request a handler returns the steps to play: send bytes, pause, close the connection.
// Steps queue up in order, so a reply split into pieces with pauses between them, event
// lines interleaved with replies, or a peer that falls silent are all one short script.
// Every byte the peer received is kept in a transcript for byte-exact checks.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <functional>
#include <memory>

class QObject;
class QThread;

namespace orvid::test {

// One step the peer plays.
struct TcpStep {
    enum Kind { Send, Pause, Close, Reset };
    Kind kind = Send;
    QByteArray bytes; // Send
    int ms = 0;       // Pause

    static TcpStep send(const QByteArray& b) { return {Send, b, 0}; }
    static TcpStep pause(int ms) { return {Pause, {}, ms}; }
    static TcpStep close() { return {Close, {}, 0}; }
    // The connection is dropped with a reset (RST), not closed in order.
    static TcpStep reset() { return {Reset, {}, 0}; }
};
using TcpScript = QList<TcpStep>;

class TcpHarness {
public:
    // Length of the first complete request in the buffer, 0 while none is complete.
    using Splitter = std::function<qsizetype(const QByteArray& buffer)>;
    // The steps that answer one request (called in the peer thread).
    using Handler = std::function<TcpScript(const QByteArray& request)>;

    // port 0: any free port (tests); a fixed one for a simulator a user points at.
    explicit TcpHarness(quint16 port = 0);
    ~TcpHarness();
    // False when the port could not be taken (a fixed port in use).
    bool listening() const;
    TcpHarness(const TcpHarness&) = delete;
    TcpHarness& operator=(const TcpHarness&) = delete;

    quint16 port() const;

    // Requests end with this terminator (LF unless changed); the terminator is included.
    void setLineRequests(const QByteArray& terminator = QByteArrayLiteral("\n"));
    // Requests are cut by the given function.
    void setSplitter(Splitter splitter);
    // Answers each request; no handler means silence.
    void setHandler(Handler handler);
    // Answers every request with the scripted replies in order (one script per request),
    // silence once they are used up.
    void setReplies(const QList<TcpScript>& replies);

    // Plays steps at once, without a request (unsolicited lines, a hang-up).
    void play(const TcpScript& steps);

    // Blocks until a client is connected (or ms have passed).
    bool waitForClient(int ms = 2000);
    // Blocks until the transcript holds at least n bytes (or ms have passed).
    bool waitForReceived(qsizetype n, int ms = 2000);
    // Blocks until every queued step has been played (or ms have passed).
    bool waitIdle(int ms = 2000);

    // All bytes received from every client so far, and the requests cut from them.
    QByteArray transcript() const;
    QList<QByteArray> requests() const;
    int connectionCount() const;
    bool clientConnected() const;
    void clearTranscript();

    // Stops listening (later connection attempts are refused).
    void stopListening();

    struct Shared; // state shared with the peer thread
private:
    std::shared_ptr<Shared> s_;
    QThread* thread_ = nullptr;
    QObject* peer_ = nullptr; // lives in thread_
};

// A listener on 127.0.0.1 whose accept queue is full, so a connection attempt to it stays
// in the "connecting" state until it is given up (for tests of the connecting wait).
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;
    quint16 port() const { return port_; }
    bool ok() const { return port_ != 0; }

private:
    int listenFd_ = -1;
    int fillerFd_ = -1;
    quint16 port_ = 0;
};

// A closed port on 127.0.0.1: a connection attempt to it is refused at once.
quint16 unusedLocalPort();

// A one-page HTTP server on 127.0.0.1 answering every GET with the body and closing.
class HttpPageServer {
public:
    explicit HttpPageServer(const QByteArray& body, int status = 200);
    ~HttpPageServer();
    quint16 port() const;
    QList<QByteArray> requests() const; // the raw request heads received
    // Accept but never answer (for time-out tests).
    void setSilent(bool silent);

private:
    std::unique_ptr<TcpHarness> peer_;
    QByteArray response_;
};

} // namespace orvid::test
