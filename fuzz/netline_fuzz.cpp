// The TCP line receive against a scripted peer on a loopback connection in the same
// process: the peer sends pieces of lines, event lines ("EVNT...") and frames; the program
// receives lines and frames, checks for events, flushes and sends; an event's callback
// may run an exchange of its own.
//
// Input layout: byte 0 picks the terminator ("\n", "\r\n", "\r" or none), the time-out
// (0 or 1 ms) and whether the link knows the KLX9000's lines; then operations, one byte
// each with its arguments:
//   0 peer sends the next (n % 48) bytes   1 receive a line   2 flush   3 program sends
//   4 check for events   5 receive a frame   6 the next (1 + n % 3) operations run in the
//   callback of the next event
//
// Checked: the monitor accounts for every byte the peer sent, in order: replies are the
// decoded lines, event lines are logged as read and handed to the callback decoded, once
// and in order, and never become a reply; frames come whole with their announced length;
// callbacks never run inside one another. Without the family's lines a line ends at its
// terminator only, and a time-out is the only way to get no reply. With them, a line that
// lost its end where a line of the reader begins in it ends there, shown as discarded
// input; a receive whose reply lost its end so ends at once as a cut reply. An event line
// handed over is always the whole line up to its terminator, a tag report with whatever
// follows its class's data included.

#include "families/wklx/KLXProtocol.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"
#include "link/Network.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>

using namespace orvid;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "netline_fuzz: %s\n", what);
    std::abort();
}

const QByteArray kEventTag("EVNT");

struct Entry {
    enum Kind { Unmarked, Reply, LostEnd, Frame, Timeout, EmptyLine, Cut };
    QByteArray prefix;
    QByteArray data;
    bool eventFlag = false; // logged by the event check
    int owner = 0;          // the operation that was running when it was logged
    Kind kind = Unmarked;
};

class Recorder final : public IMonitor {
public:
    void Add(const QByteArray& prefix, const QByteArray& data, const QVariant& flag) override
    {
        entries.append({prefix, data, flag.typeId() == QMetaType::Bool && flag.toBool(), current});
    }
    QList<Entry> entries;
    int current = 0;
};

class Callback final : public IEventCallback {
public:
    void Error(const QString&) override { ++errors; }
    void EventReceived(const QByteArray& text) override
    {
        if (inside)
            fail("a callback ran inside another");
        inside = true;
        events.append(text);
        if (onEvent) {
            auto run = std::move(onEvent);
            onEvent = nullptr;
            run();
        }
        inside = false;
    }
    QList<QByteArray> events;
    std::function<void()> onEvent;
    int errors = 0;
    bool inside = false;
};

struct Rig {
    AppContext ctx;
    Recorder monitor;
    Callback callback;
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    std::unique_ptr<Network> net;
};

void connectRig(Rig& r)
{
    if (r.peer)
        r.peer->deleteLater();
    r.peer = nullptr;
    if (!r.net->NetConnect(&r.callback, r.server.serverPort()))
        fail("no loopback connection");
    QElapsedTimer clock;
    clock.start();
    while (!r.server.hasPendingConnections() && clock.elapsed() < 2000)
        r.server.waitForNewConnection(10);
    r.peer = r.server.nextPendingConnection();
    if (!r.peer)
        fail("the peer saw no connection");
}

Rig& rig()
{
    static Rig* r = [] {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "netline_fuzz";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
        auto* rig = new Rig;
        rig->ctx.monitor = &rig->monitor;
        if (!rig->server.listen(QHostAddress::LocalHost, 0))
            fail("cannot listen on the loopback");
        rig->net = std::make_unique<Network>(rig->ctx);
        rig->ctx.network = rig->net.get();
        rig->net->SetNetAddress(QStringLiteral("127.0.0.1"));
        connectRig(*rig);
        return rig;
    }();
    return *r;
}

class Session {
public:
    Session(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    void run()
    {
        Rig& r = rig();
        if (!r.net->NetIsConnected() || r.peer->state() != QAbstractSocket::ConnectedState)
            connectRig(r);
        reset();
        const uint8_t setup = take();
        static const QByteArray terminators[] = {QByteArray("\n"), QByteArray("\r\n"), QByteArray("\r"),
                                                 QByteArray()};
        term_ = terminators[setup % 4];
        structured_ = (setup >> 3) & 1;
        r.net->SetNetTerminator(term_, structured_ ? &KLXProtocol::Lines() : nullptr);
        r.net->SetNetTimeout((setup >> 2) & 1);

        runOps(parseOps(0));
        r.callback.onEvent = nullptr;
        // Event checks still posted run now, then what is left is flushed.
        deliver();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        flushes_.append(call([] { rig().net->NetFlushInput(); }));
        if (r.callback.errors != 0 || !r.net->NetIsConnected())
            fail("the connection reported an error");
        if (r.callback.inside)
            fail("callback still marked running");
        checkAccounting();
    }

private:
    struct Op {
        uint8_t code = 0;
        QByteArray bytes;
        QList<Op> inner;
    };

    uint8_t take() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool more() const { return pos_ < size_; }

    QList<Op> parseOps(int depth, int limit = -1)
    {
        QList<Op> ops;
        while (more() && (limit < 0 || ops.size() < limit)) {
            Op op;
            op.code = take();
            const int kind = op.code % 7;
            if (kind == 0 || kind == 3) {
                const int n = take() % 48;
                for (int i = 0; i < n && more(); ++i)
                    op.bytes.append(static_cast<char>(take()));
            } else if (kind == 6 && depth < 8) {
                op.inner = parseOps(depth + 1, 1 + take() % 3);
            }
            ops.append(op);
        }
        return ops;
    }

    void runOps(const QList<Op>& ops)
    {
        for (const Op& op : ops) {
            switch (op.code % 7) {
            case 0: peerSends(op.bytes); break;
            case 1: receiveLine(); break;
            case 2: flushes_.append(call([] { rig().net->NetFlushInput(); })); break;
            case 3: programSends(op.bytes); break;
            case 4: call([] { rig().net->CheckNetEvents(); }); break;
            case 5: receiveFrame(); break;
            case 6: {
                const QList<Op> inner = op.inner;
                rig().callback.onEvent = [this, inner] { runOps(inner); };
                break;
            }
            }
        }
    }

    // Runs one call of the link, so the entries it logs name it as their owner.
    int call(const std::function<void()>& f)
    {
        Recorder& m = rig().monitor;
        const int id = ++lastId_;
        const int saved = m.current;
        m.current = id;
        f();
        m.current = saved;
        return id;
    }

    // The entries `id` logged itself (not those of the event check or nested calls).
    Entry* ownLast(int id)
    {
        QList<Entry>& entries = rig().monitor.entries;
        for (qsizetype i = entries.size() - 1; i >= 0; --i) {
            if (entries[i].owner == id && !entries[i].eventFlag)
                return &entries[i];
        }
        return nullptr;
    }

    void reset()
    {
        Rig& r = rig();
        deliver();
        QCoreApplication::processEvents();
        r.net->NetFlushInput();
        r.peer->readAll();
        r.monitor.entries.clear();
        r.callback.events.clear();
        r.callback.onEvent = nullptr;
    }

    // Waits until the program's socket has taken in everything the peer wrote.
    void deliver()
    {
        Rig& r = rig();
        r.peer->flush();
        const int fd = int(r.net->socket()->socketDescriptor());
        const int peerFd = int(r.peer->socketDescriptor());
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            QCoreApplication::processEvents();
            // Delivered: the program's side has acknowledged every byte the peer wrote
            // (nothing left in the peer's send queue) and has read them all.
            int unread = 0;
            int unacknowledged = 0;
            if (fd >= 0)
                ::ioctl(fd, FIONREAD, &unread);
            if (peerFd >= 0)
                ::ioctl(peerFd, TIOCOUTQ, &unacknowledged);
            if (unread == 0 && unacknowledged == 0 && r.peer->bytesToWrite() == 0)
                return;
            if (clock.elapsed() > 500) {
                late_ = true;
                return;
            }
            pollfd pfd {fd, POLLIN, 0};
            ::poll(&pfd, 1, 1);
        }
    }

    void peerSends(const QByteArray& bytes)
    {
        rig().peer->write(bytes);
        stream_ += bytes;
        deliver();
    }

    void receiveLine()
    {
        QByteArray reply = "untouched";
        int16_t result = -2;
        const int id = call([&] {
            bool log = true;
            result = rig().net->NetReceiveLine(reply, log);
        });
        Entry* own = ownLast(id);
        if (result == 0 && own && own->data == Network::kProtocolError && structured_) {
            // A reply that lost its end: its start went to the monitor as discarded input
            // right before, and a line of the reader begins behind it.
            QList<Entry>& entries = rig().monitor.entries;
            const qsizetype at = own - entries.data();
            if (!rig().net->NetLineCut() || at < 1 || entries[at - 1].prefix != "F: ")
                fail("a cut reply without its discarded start");
            entries[at - 1].kind = Entry::Cut;
            own->kind = Entry::Timeout;
            return;
        }
        if (result <= 0) {
            if (result < 0 || !reply.isEmpty())
                fail("no reply without a time-out");
            if (!own || own->data != "<TIMEOUT>")
                fail("time-out not logged");
            own->kind = Entry::Timeout;
            return;
        }
        if (result != qMin<qsizetype>(reply.size(), 32767))
            fail("result is not the reply length");
        if (own && own->kind == Entry::Unmarked && own->data == reply + term_ && !rig().net->NetLineLostEnd()) {
            own->kind = Entry::Reply;
            return;
        }
        if (own && own->kind == Entry::Unmarked && own->data == reply && structured_ && rig().net->NetLineLostEnd()) {
            own->kind = Entry::LostEnd;
            return;
        }
        // An empty line is handed out as one blank and not logged.
        if (reply != " ")
            fail("reply not logged");
        Entry marker;
        marker.kind = Entry::EmptyLine;
        marker.owner = id;
        rig().monitor.entries.append(marker);
    }

    void receiveFrame()
    {
        QByteArray reply = "untouched";
        int16_t result = -2;
        const int id = call([&] {
            bool log = true;
            result = rig().net->NetReceiveBytes(reply, log);
        });
        flushes_.append(id); // a frame not whole flushes the input
        Entry* own = ownLast(id);
        if (result < 0)
            fail("frame receive failed while connected");
        if (result == 0) {
            if (!reply.isEmpty())
                fail("no frame, yet frame bytes");
            if (own && own->prefix == "R: " && own->data == "<TIMEOUT>")
                own->kind = Entry::Timeout;
            else if (!own || own->prefix != "F: ")
                fail("a frame receive ended without a time-out or a refusal");
            return;
        }
        if (result != reply.size() || reply.size() < 2
            || uchar(reply[0]) * 256 + uchar(reply[1]) != reply.size())
            fail("frame does not have its announced length");
        // Frames are logged with the line terminator behind them.
        if (!own || own->data != reply + term_)
            fail("frame not logged");
        own->kind = Entry::Frame;
        own->data = reply;
    }

    void programSends(const QByteArray& text)
    {
        Rig& r = rig();
        bool sent = false;
        const int id = call([&] { sent = r.net->NetSend(text, true); });
        if (!sent)
            fail("send refused while connected");
        Entry* own = ownLast(id);
        if (!own || own->prefix != "W: " || own->data != text + term_)
            fail("send not logged with its terminator");
        const QByteArray line = text + term_;
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < line.size() && clock.elapsed() < 1000) {
            if (r.peer->bytesAvailable() == 0)
                r.peer->waitForReadyRead(10);
            got += r.peer->read(line.size() - got.size());
        }
        if (got != line)
            fail("the peer did not get the line as sent");
    }

    void checkAccounting() const
    {
        const Rig& r = rig();
        qsizetype at = 0;
        QList<QByteArray> expectedEvents;
        for (const Entry& e : r.monitor.entries) {
            if (e.prefix == "W: " || e.kind == Entry::Timeout)
                continue;
            if (e.kind == Entry::EmptyLine) {
                // A line that decodes to nothing ("" or a lone "%").
                const qsizetype end = term_.isEmpty() ? -1 : stream_.indexOf(term_, at);
                if (end < 0 || !Network::UrlDecode(stream_.mid(at, end - at)).isEmpty())
                    fail("blank reply without an empty line");
                at = end + term_.size();
                continue;
            }
            if (e.prefix == "F: " || e.kind == Entry::Frame) {
                if (stream_.mid(at, e.data.size()) != e.data)
                    fail("flushed or framed bytes out of order");
                at += e.data.size();
                if (e.kind == Entry::Cut && !lineTagAt(at))
                    fail("a reply cut where no line begins");
                // A tag report is never discarded for what follows its class's data: only
                // where a line of the reader begins behind it, or by a flush (a frame's too).
                if (structured_ && !flushes_.contains(e.owner) && e.data.startsWith("EVNTTAG ")
                    && wholeReport(e.data.endsWith(term_) ? e.data.chopped(term_.size()) : e.data) && !lineTagAt(at))
                {
                    std::fprintf(stderr, "discarded: %s\nbehind it: %s\n", e.data.toPercentEncoding().constData(),
                                 stream_.mid(at, 64).toPercentEncoding().constData());
                    fail("a whole tag report discarded");
                }
                continue;
            }
            if (e.prefix != "R: " || term_.isEmpty())
                fail("unexpected monitor entry");
            const qsizetype end = stream_.indexOf(term_, at);
            if (end < 0)
                fail("a line was logged before its terminator came");
            QByteArray raw = stream_.mid(at, end - at);
            at = end + term_.size();
            // A line that lost its end, whole by its shape, runs up to a line tag in it.
            const qsizetype lost = lostEnd(e, raw);
            if (lost >= 0) {
                at -= raw.size() + term_.size() - lost;
                raw.truncate(lost);
                if (e.eventFlag)
                    expectedEvents.append(Network::UrlDecode(raw.mid(kEventTag.size())));
                else if (e.kind != Entry::LostEnd || raw.startsWith(kEventTag))
                    fail("a line that lost its end was taken by no receive");
                continue;
            }
            if (e.eventFlag) {
                // Whole to its terminator: what a device puts behind a report's data is the
                // report's.
                if (!raw.startsWith(kEventTag) || e.data != raw + term_)
                    fail("event line not logged whole as read");
                expectedEvents.append(Network::UrlDecode(raw.mid(kEventTag.size())));
            } else {
                if (e.kind != Entry::Reply)
                    fail("a line was logged by no receive");
                if (raw.startsWith(kEventTag))
                    fail("an event line became the reply");
                if (e.data != Network::UrlDecode(raw) + term_)
                    fail("reply is not the decoded line");
            }
        }
        if (at > stream_.size() || (!late_ && at != stream_.size()))
            fail("bytes went missing without a trace");
        if (r.callback.events != expectedEvents)
            fail("events not handed over once and in order");
    }

    bool lineTagAt(qsizetype at) const
    {
        return stream_.mid(at, 4) == kEventTag || stream_.mid(at, 4) == "RPLY";
    }
    // Whole for its class: what follows it does not change what the window lists for it.
    static bool wholeReport(const QByteArray& raw)
    {
        const QByteArray data = Network::UrlDecode(raw).mid(8);
        return data.size() >= 27
               && KLXProtocol::ParseTagReport(data + QByteArray(80, '\0')) == KLXProtocol::ParseTagReport(data + QByteArray(80, '\xff'));
    }
    static bool tagIn(const QByteArray& raw, qsizetype at) { return raw.mid(at, 4) == kEventTag || raw.mid(at, 4) == "RPLY"; }
    // How much of raw (a line up to its terminator) the entry e took as a line that lost its
    // end at a line tag; -1 when it took the whole line.
    qsizetype lostEnd(const Entry& e, const QByteArray& raw) const
    {
        if (!structured_ || (e.eventFlag ? e.data == raw + term_ : e.kind != Entry::LostEnd))
            return -1;
        for (qsizetype at = 1; at < raw.size(); ++at) {
            if (tagIn(raw, at) && (e.eventFlag ? e.data == raw.left(at) : e.data == Network::UrlDecode(raw.left(at))))
                return at;
        }
        fail("a line cut where no line tag begins");
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    QByteArray term_;
    bool structured_ = false;
    QByteArray stream_;
    int lastId_ = 0;
    bool late_ = false;
    QList<int> flushes_; // the calls that may flush the input
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    Session(data, size).run();
    return 0;
}
