// The serial port receiving a scripted byte stream on a real pseudo-terminal: the device
// sends in chunks, the program receives (terminated or fixed count, checked or not),
// flushes and sends telegrams, and exchanges run nested inside the wait of another, as a
// timer tick starts them in the program.
//
// Input layout: byte 0 picks the check mode (none, "~", "^") and the reply terminator;
// byte 1 the framing type and the time-out (0 or 1 ms); then operations, one byte each
// with its arguments:
//   0 device sends the next (n % 48) bytes      1 receive (count, no-check, log in the op)
//   2 flush                                     3 program sends (length, count)
//   4 the next (1 + n % 3) operations run from a timer inside the next wait
//
// Checked: every logged reply, flush and set-aside reply is a piece of what the device
// sent; a checked reply carries the right check character and the terminator; a fixed
// count gives that many bytes; a telegram is on the wire exactly as logged and carries its
// data; receives return the reply length; the nesting depth comes back to 0; with
// everything logged, the monitor accounts for every byte the device sent. A receive ends
// with a time-out, or as a protocol error when device bytes kept coming in from
// operations nested in its wait past its deadline.

#include "foundations/AppContext.h"
#include "link/CommPort.h"
#include "link/LinkInterfaces.h"
#include "link/Ports.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace orvid;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "ports_fuzz: %s\n", what);
    std::abort();
}

const QByteArray kXorSpecials("\x02\x03\x16\x10\x06\x15", 6);

struct Entry {
    QByteArray prefix;
    QByteArray data;
    bool timeout = false; // the "<TIMEOUT>" note of a receive, not device bytes
};

class Recorder final : public IMonitor {
public:
    void Add(const QByteArray& prefix, const QByteArray& data, const QVariant&) override
    {
        entries.append({prefix, data, false});
        // "F<level>: " logs a reply a flush set aside for the receive of that level.
        if (prefix.startsWith('F') && prefix != "F: ") {
            bool ok = false;
            const int level = prefix.mid(1, prefix.size() - 3).toInt(&ok);
            if (!ok || level < 1 || level > Ports::kMaxDepth || !prefix.endsWith(": "))
                std::abort();
            setAside = true;
        }
    }
    QList<Entry> entries;
    bool setAside = false;
};

struct Rig {
    int master = -1;
    int slave = -1; // kept open, so the line never hangs up between inputs
    AppContext ctx;
    Recorder monitor;
    std::unique_ptr<Ports> ports;
};

Rig* makeRig()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "ports_fuzz";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    auto* rig = new Rig;
    char path[256] = {};
    if (::openpty(&rig->master, &rig->slave, path, nullptr, nullptr) != 0)
        fail("no pseudo-terminal");
    termios tio {};
    for (int fd : {rig->master, rig->slave}) {
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::fcntl(rig->master, F_SETFL, ::fcntl(rig->master, F_GETFL) | O_NONBLOCK);
    rig->ctx.monitor = &rig->monitor;
    rig->ports = std::make_unique<Ports>(rig->ctx);
    rig->ports->InitPort();
    QObject::connect(rig->ports.get(), &Ports::portFailed, [](const QString& reason) {
        std::fprintf(stderr, "ports_fuzz: port failed: %s\n", qUtf8Printable(reason));
    });
    QString port = QString::fromLocal8Bit(path);
    QString settings = QStringLiteral("38400,n,8,1");
    int16_t protocol = 0;
    rig->ports->OpenPort(port, settings, protocol, false);
    if (!rig->ports->PortOpenFlag())
        fail("pseudo-terminal did not open");
    return rig;
}

Rig& rig()
{
    static Rig* r = makeRig();
    return *r;
}

// What the device has written to the master so far, and what the program wrote to it.
class Session {
public:
    Session(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    void run()
    {
        Rig& r = rig();
        Ports& p = *r.ports;
        reset();
        const uint8_t mode = take();
        const uint8_t setup = take();
        static const QByteArray terminators[] = {QByteArray("\x03", 1), QByteArray("\r"),
                                                 QByteArray("\r\n"), QByteArray()};
        mode_ = mode % 3 == 1 ? QByteArray("~") : mode % 3 == 2 ? QByteArray("^") : QByteArray();
        term_ = terminators[(mode / 3) % 4];
        p.SetLinkProtocol(mode_ + term_);
        if (p.GetLinkProtocol() != mode_ + term_)
            fail("link protocol not kept");
        framing_ = static_cast<int16_t>(setup % 8);
        p.SetFramingType(framing_);
        p.SetTimeout(static_cast<int16_t>((setup >> 3) & 1));

        runOps(parseOps(0), 0);
        // Timers of nested operations that no wait has run yet run now.
        for (int guard = 0; armed_ > 0 && guard < 1000; ++guard)
            QCoreApplication::processEvents();
        if (armed_ > 0)
            fail("a nested operation never ran");
        if (p.ReceiveDepth() != 0)
            fail("nesting depth did not come back");
        p.FlushInput();
        if (!p.PortOpenFlag() || !p.comm().isOpen())
            fail("the port closed");
        checkAccounting();
    }

private:
    struct Op {
        uint8_t code = 0;
        QByteArray bytes;
        uint8_t arg = 0;
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
            switch (op.code % 5) {
            case 0:
            case 3: {
                const int n = take() % 48;
                for (int i = 0; i < n && more(); ++i)
                    op.bytes.append(static_cast<char>(take()));
                op.arg = take();
                break;
            }
            case 4:
                if (depth < 12)
                    op.inner = parseOps(depth + 1, 1 + take() % 3);
                break;
            default:
                break;
            }
            ops.append(op);
        }
        return ops;
    }

    void runOps(const QList<Op>& ops, int level)
    {
        for (const Op& op : ops) {
            switch (op.code % 5) {
            case 0: deviceSends(op.bytes); break;
            case 1: receive(op.code); break;
            case 2: flush(); break;
            case 3: programSends(op.bytes, op.arg); break;
            case 4: arm(op.inner, level + 1); break;
            }
        }
    }

    void arm(const QList<Op>& inner, int level)
    {
        ++armed_;
        QTimer::singleShot(0, [this, inner, level] {
            --armed_;
            runOps(inner, level);
        });
    }

    void reset()
    {
        Rig& r = rig();
        drainMaster(-1, 0);
        // Bytes of an earlier input still on their way are flushed before this one starts.
        for (int round = 0; round < 100; ++round) {
            pollfd pfd {r.slave, POLLIN, 0};
            const bool waiting = ::poll(&pfd, 1, 0) > 0;
            QCoreApplication::processEvents();
            r.ports->FlushInput();
            if (!waiting)
                break;
        }
        r.monitor.entries.clear();
        r.monitor.setAside = false;
    }

    // Reads what the program wrote; stops once `want` bytes came (or at once for -1).
    QByteArray drainMaster(qsizetype want, int ms)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            char buf[512];
            const ssize_t n = ::read(rig().master, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, n);
                continue;
            }
            if (want < 0 || got.size() >= want || clock.elapsed() > ms)
                return got;
            pollfd pfd {rig().master, POLLIN, 0};
            ::poll(&pfd, 1, 5);
        }
    }

    void deviceSends(const QByteArray& bytes)
    {
        Rig& r = rig();
        CommPort& comm = r.ports->comm();
        const qint64 target = comm.inBufferCount() + bytes.size();
        qsizetype at = 0;
        QElapsedTimer clock;
        clock.start();
        while (at < bytes.size()) {
            const ssize_t n = ::write(r.master, bytes.constData() + at, size_t(bytes.size() - at));
            if (n > 0)
                at += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                fail("cannot write to the pseudo-terminal");
            else if (clock.elapsed() > 2000)
                fail("pseudo-terminal does not take bytes");
            else
                comm.device().waitForReadyRead(5);
        }
        stream_ += bytes;
        ++sends_;
        // Let the port take the bytes in, so the next receive sees them whatever its
        // time-out. The port reads them itself rather than through the event loop: a
        // flush run by a timer in the same pass as the port's read notification would
        // close the port (a fault of the link, reported; not what this target looks for).
        while (comm.inBufferCount() < target && clock.elapsed() < 500)
            comm.device().waitForReadyRead(5);
        if (comm.inBufferCount() < target)
            late_ = true;
    }

    void receive(uint8_t code)
    {
        Ports& p = *rig().ports;
        const bool fixed = (code / 5) % 2 != 0;
        const bool noCheck = (code / 10) % 2 != 0;
        const bool log = (code / 20) % 4 != 0; // mostly logged
        int16_t count = fixed ? static_cast<int16_t>(1 + (code / 40) % 6) : 0;
        const int16_t askedCount = count;
        const int depth = p.ReceiveDepth();
        QList<Entry>& entries = rigEntries();
        const qsizetype before = entries.size();
        QByteArray reply = "untouched";
        const int sendsBefore = sends_;
        const int16_t result = p.ReceiveTelegram(reply, count, QVariant(), log, noCheck);
        if (p.ReceiveDepth() != depth)
            fail("receive changed the depth");
        if (!log)
            unlogged_ = true;
        if (depth >= Ports::kMaxDepth) {
            if (result != 0 || reply != "untouched" || entries.size() != before)
                fail("a receive beyond the deepest level did something");
            return;
        }
        if (result < 0)
            fail("negative receive result");
        if (result == 0) {
            if (!reply.isEmpty())
                fail("no reply, yet reply bytes");
            if (log) {
                if (entries.size() <= before)
                    fail("time-out not logged");
                // Bytes the device sent from operations nested in this wait kept coming
                // in: past the deadline they end the receive as a protocol error, and go.
                const bool dripped = sends_ != sendsBefore && entries.last().data == Ports::kProtocolError;
                if (entries.last().data != "<TIMEOUT>" && !dripped)
                    fail("time-out not logged");
                entries.last().timeout = true;
                unlogged_ = unlogged_ || dripped;
            }
            return;
        }
        if (result != qMin<qsizetype>(reply.size(), 32767))
            fail("result is not the reply length");
        if (log && reply == " ") {
            // An empty reply becomes one blank and is not logged, so its terminator goes
            // unaccounted; a blank the device sent reads the same.
            unlogged_ = true;
            return;
        }
        const bool ownLog = log && entries.size() > before && entries.last().prefix == "R: ";
        if (!ownLog) {
            if (log)
                fail("reply not logged");
            return;
        }
        const QByteArray logged = entries.last().data;
        if (!logged.startsWith(reply))
            fail("logged reply does not start with the reply");
        const QByteArray tail = logged.mid(reply.size());
        // A reply a nested flush set aside was cut at the terminator, whatever this receive
        // asked for, and comes without its tail.
        const bool setAside = rig().monitor.setAside;
        if (askedCount > 0) {
            if (!tail.isEmpty() || (reply.size() != askedCount && !setAside))
                fail("fixed count");
            return;
        }
        if (setAside && tail.isEmpty())
            return;
        if (term_.isEmpty())
            return;
        if (!tail.endsWith(term_))
            fail("reply does not end with the terminator");
        const bool checked = !mode_.isEmpty() && !noCheck;
        if (tail.size() != term_.size() + (checked ? 1 : 0))
            fail("tail length");
        if (!((mode_ == "~" && !noCheck) || mode_ == "^"))
            return;
        // Without the check split off (no-check in XOR mode) it ends the reply itself.
        const QByteArray framed = reply + tail.left(tail.size() - term_.size());
        if (framed.isEmpty())
            fail("checked reply without a check character");
        const quint8 check = static_cast<quint8>(framed.back());
        const QByteArray covered = framed.left(framed.size() - 1);
        quint8 v = 0;
        if (mode_ == "~") {
            for (char c : covered)
                v = static_cast<quint8>(v + static_cast<quint8>(c));
        } else {
            // A DLE (or whatever stands there) before a special check character is not covered.
            const qsizetype n = kXorSpecials.contains(static_cast<char>(check)) ? covered.size() - 1 : covered.size();
            for (qsizetype i = 0; i < n; ++i)
                v ^= static_cast<quint8>(covered.at(i));
        }
        if (v != check)
            fail("check character does not match");
    }

    void flush()
    {
        Ports& p = *rig().ports;
        const int depth = p.ReceiveDepth();
        p.FlushInput();
        if (p.ReceiveDepth() != depth)
            fail("flush changed the depth");
    }

    void programSends(const QByteArray& bytes, uint8_t arg)
    {
        Ports& p = *rig().ports;
        QList<Entry>& entries = rigEntries();
        const qsizetype before = entries.size();
        const int16_t count = static_cast<int16_t>(int(arg % (bytes.size() + 3)) - 1);
        p.SendTelegram(bytes, count);
        // A leading "~" asks for CR LF on this one telegram and is not sent.
        int16_t type = framing_;
        QByteArray d = bytes;
        int n = count;
        if (d.startsWith('~')) {
            type = 3;
            d.remove(0, 1);
            n -= 1;
        }
        d = n < 1 ? QByteArray() : d.left(n);
        const QByteArray expected = Ports::FrameTelegram(type, d, mode_ == "^" ? kXorSpecials : QByteArray());
        if (entries.size() != before + 1)
            fail(p.PortOpenFlag() ? "telegram not logged" : "telegram not sent: the port closed");
        if (entries.last().prefix != "W: " || entries.last().data != expected)
            fail("telegram not logged as framed");
        if (expected.mid(type == 6 ? 1 : 0, d.size()) != d)
            fail("telegram lost its data");
        const QByteArray wire = drainMaster(expected.size(), 1000);
        if (wire != expected)
            fail("wire differs from the logged telegram");
    }

    static QList<Entry>& rigEntries() { return rig().monitor.entries; }

    void checkAccounting() const
    {
        qsizetype logged = 0;
        for (const Entry& e : rigEntries()) {
            if (e.prefix == "W: " || e.timeout)
                continue;
            if (!stream_.contains(e.data))
                fail("logged bytes the device never sent");
            // A set-aside reply is logged when it is set aside and again when its receive
            // takes it: count it once.
            if (e.prefix == "R: " || e.prefix == "F: ")
                logged += e.data.size();
        }
        if (logged > stream_.size())
            fail("more bytes logged than sent");
        if (!late_ && !unlogged_ && !rig().monitor.setAside && logged != stream_.size())
            fail("bytes went missing without a trace");
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    QByteArray mode_;
    QByteArray term_;
    int16_t framing_ = 0;
    QByteArray stream_;
    int armed_ = 0;
    bool late_ = false;     // some bytes had not reached the port when the next step ran
    bool unlogged_ = false; // a receive consumed bytes without logging them
    int sends_ = 0;         // device sends so far
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    Session(data, size).run();
    return 0;
}
