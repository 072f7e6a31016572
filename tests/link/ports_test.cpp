// The serial port on a real pseudo-terminal: telegrams on the wire, replies cut from the
// stream, time-outs, nested exchanges, hang-ups and opening failures.

#include "support/FakeShell.h"
#include "support/LanguageWalk.h"
#include "support/PtyHarness.h"
#include "support/TestContext.h"
#include "link/CommPort.h"
#include "link/DeviceWait.h"
#include "link/Ports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace orvid;
using orvid::test::PtyHarness;

namespace {

QByteArray B(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(static_cast<char>(c));
    return b;
}

// Stray bytes on the line, a pause longer than a unit's inter-character time-out, then a
// telegram the device takes.
void strayBytesThenAGoodTelegram(PtyHarness& device)
{
    device.setRule("\r", [](const QByteArray&) { return PtyHarness::Script(); });
    device.start();
    const int fd = ::open(device.slavePath().toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "\x01zz", 3), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * PtyHarness::kInterCharacterTimeoutMs));
    EXPECT_EQ(::write(fd, "GOOD\r", 5), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return device.telegrams().contains("GOOD\r"); }, 2000));
    ::close(fd);
}

double cpuSeconds()
{
    rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

class PortsOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isValid());
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        ports = std::make_unique<Ports>(tc.ctx);
        tc.ctx.ports = ports.get();
        ports->InitPort();
        pty.start();
        QString port = pty.slavePath();
        QString settings = QStringLiteral("38400,n,8,1");
        int16_t protocol = 0;
        ports->OpenPort(port, settings, protocol, false);
        ASSERT_TRUE(ports->PortOpenFlag()) << CommPort::FailureText(ports->comm().failure()).toStdString();
    }
    void TearDown() override { ports.reset(); }

    int16_t receive(QByteArray& reply, int16_t count = 0, bool log = true, bool noCheck = false)
    {
        return ports->ReceiveTelegram(reply, count, QVariant(), log, noCheck);
    }
    int timeouts() const { return static_cast<int>(monitor.lines.count("R: <TIMEOUT>")); }

    test::TestContext tc;
    test::FakeMainFrame frame;
    test::RecordingMonitor monitor;
    PtyHarness pty;
    std::unique_ptr<Ports> ports;
};

} // namespace

TEST_F(PortsOnPty, TelegramsLeaveFramedByteForByte)
{
    struct Case {
        int type;
        QByteArray protocol;
        QByteArray data;
        int count;
        QByteArray wire;
    } cases[] = {
        {0, "\r", "R0001", 5, "R0001"},
        {1, "\r", "AB", 2, B({'A', 'B', 3})},
        {2, B({'~', 3}), "AB", 2, B({'A', 'B', 131, 3})},
        {3, "\r", "AB", 2, "AB\r\n"},
        {4, "\r", "AB", 2, B({'A', 'B', 131, 3, 13, 10})},
        {5, "\r", "AB", 2, "AB\r"},
        {6, B({'^', 3}), "AB", 2, B({2, 'A', 'B', 1, 3})},
        {6, B({'^', 3}), "A@", 2, B({2, 'A', '@', 16, 3, 3})}, // BCC is ETX: DLE in front
        {6, B({'~', 3}), "A@", 2, B({2, 'A', '@', 3, 3})},     // additive mode knows no specials
        {2, "\r", "ABCD", 2, B({'A', 'B', 131, 3})},            // only count characters
        {0, "\r", "AB", 0, ""},                                 // nothing of the data
        {2, "\r", "~AB", 3, "AB\r\n"},                          // "~": CR LF this once
        {6, "\r", "~ABC", 2, "A\r\n"},                          // ... and one character less
        {9, "\r", "AB", 2, "AB"},
    };
    QByteArray expected;
    QList<QByteArray> lines;
    for (const Case& c : cases) {
        ports->SetFramingType(static_cast<int16_t>(c.type));
        ports->SetLinkProtocol(c.protocol);
        ports->SendTelegram(c.data, static_cast<int16_t>(c.count), QVariant(7));
        expected += c.wire;
        lines << "W: " + c.wire;
    }
    ASSERT_TRUE(pty.waitForBytes(expected.size(), 3000));
    QTest::qWait(20); // nothing more may follow
    EXPECT_EQ(pty.transcript().toHex(' '), expected.toHex(' '));
    EXPECT_EQ(monitor.lines, lines);
    EXPECT_EQ(ports->GetFramingType(), 9); // the "~" rule does not change the framing type
}

TEST_F(PortsOnPty, RepliesAreCutAtTheirCheckedTerminator)
{
    ports->SetTimeout(1000);
    QByteArray reply;

    // No check: up to the terminator; the monitor gets reply and terminator.
    ports->SetLinkProtocol("\r");
    pty.send("OK 12\rNEXT\r");
    EXPECT_EQ(receive(reply), 5);
    EXPECT_EQ(reply, "OK 12");
    EXPECT_EQ(receive(reply), 4); // the second reply was kept for the next receive
    EXPECT_EQ(reply, "NEXT");
    EXPECT_EQ(monitor.lines, (QList<QByteArray>{"R: OK 12\r", "R: NEXT\r"}));

    // Additive check with an ETX inside the data: that ETX fails the check and is skipped.
    monitor.lines.clear();
    ports->SetLinkProtocol(B({'~', 3}));
    const QByteArray frame = B({'A', 3, 'B', (65 + 3 + 66) & 0xFF, 3});
    pty.send(frame);
    EXPECT_EQ(receive(reply), 3);
    EXPECT_EQ(reply, B({'A', 3, 'B'}));
    EXPECT_EQ(monitor.lines, QList<QByteArray>{"R: " + frame});

    // A wrong check character is never handed out: the receive times out, the bytes
    // stay for the next flush.
    monitor.lines.clear();
    ports->SetTimeout(150);
    const QByteArray wrong = B({'X', 'Y', 0x10, 3});
    pty.send(wrong);
    EXPECT_EQ(receive(reply), 0);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_TRUE(ports->PortDataAvailable());
    // ... unless the caller asks for no check: then it is the reply, check character kept.
    EXPECT_EQ(receive(reply, 0, true, true), 3);
    EXPECT_EQ(reply, B({'X', 'Y', 0x10}));
    EXPECT_EQ(monitor.lines, (QList<QByteArray>{"R: <TIMEOUT>", "R: " + wrong}));

    // XOR check: a DLE in front of a special check character is not covered by the XOR
    // and stays at the end of the reply.
    monitor.lines.clear();
    ports->SetLinkProtocol(B({'^', 3}));
    const QByteArray xorFrame = B({'A', 'C', 16, 2, 3}); // 'A' ^ 'C' = 2
    pty.send(xorFrame);
    EXPECT_EQ(receive(reply), 3);
    EXPECT_EQ(reply, B({'A', 'C', 16}));
    EXPECT_EQ(monitor.lines, QList<QByteArray>{"R: " + xorFrame});
}

TEST_F(PortsOnPty, EmptyReplyIsOneBlankOnlyWhenLogged)
{
    ports->SetTimeout(1000);
    ports->SetLinkProtocol("\r");
    QByteArray reply = "old";
    pty.send("\r");
    EXPECT_EQ(receive(reply), 1);
    EXPECT_EQ(reply, " ");
    pty.send("\r");
    EXPECT_EQ(receive(reply, 0, false), 0);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_TRUE(monitor.lines.isEmpty()); // neither is logged
}

TEST_F(PortsOnPty, WithoutATerminatorTheReplyIsWhatArrivedUntilTheLineFellQuiet)
{
    // Before any system has set its framing there is no terminator: a hand-typed command
    // must still bring back the device's answer, in pieces or whole, not an empty reply.
    ports->SetTimeout(200);
    ports->SetLinkProtocol(QByteArray());
    pty.send("OK");
    QTimer::singleShot(80, [this] { pty.send(B({6, 13})); });
    QByteArray reply;
    EXPECT_EQ(receive(reply), 4);
    EXPECT_EQ(reply, B({'O', 'K', 6, 13}));
    EXPECT_EQ(monitor.lines, QList<QByteArray>({QByteArray("R: OK\x06\r")}));

    // Nothing at all is still a time-out.
    monitor.lines.clear();
    EXPECT_EQ(receive(reply), 0);
    EXPECT_EQ(timeouts(), 1);
}

TEST_F(PortsOnPty, RepliesInPiecesAndFixedCounts)
{
    // Each pause is below the time-out, the whole reply is not: the time-out limits the
    // pause between two arrivals.
    ports->SetTimeout(300);
    ports->SetFramingType(5);
    ports->SetLinkProtocol("\r");
    pty.expect("GET\r", PtyHarness::Split({"AB", "CD", "EF", "GH\r"}, 150));
    pty.expect("LEN\r", PtyHarness::Split({"123", "45", "678"}, 120));
    QByteArray reply;
    QElapsedTimer watch;
    watch.start();
    ports->SendTelegram("GET", 3);
    EXPECT_EQ(receive(reply), 8);
    EXPECT_EQ(reply, "ABCDEFGH");
    EXPECT_GT(watch.elapsed(), 300);

    // A fixed count takes exactly that many bytes; the surplus waits for the next receive.
    ports->SendTelegram("LEN", 3);
    EXPECT_EQ(receive(reply, 5), 5);
    EXPECT_EQ(reply, "12345");
    EXPECT_EQ(receive(reply, 3), 3);
    EXPECT_EQ(reply, "678");
    EXPECT_EQ(pty.mismatches(), 0);
    EXPECT_EQ(monitor.lines, (QList<QByteArray>{"W: GET\r", "R: ABCDEFGH\r", "W: LEN\r", "R: 12345", "R: 678"}));
}

TEST_F(PortsOnPty, TimeOutAndTheLatePass)
{
    ports->SetLinkProtocol("\r");
    ports->SetTimeout(100);
    QByteArray reply = "old";
    QElapsedTimer watch;
    watch.start();
    EXPECT_EQ(receive(reply), 0);
    EXPECT_GE(watch.elapsed(), 100);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(monitor.lines, QList<QByteArray>{"R: <TIMEOUT>"});
    EXPECT_EQ(receive(reply, 0, false), 0);
    EXPECT_EQ(monitor.lines.size(), 1); // unlogged time-outs stay quiet

    // The program is busy past the time-out (a handler inside the wait) while the reply
    // reaches the driver, and the wait ends before the port has read it (another
    // transport woke the waits): the one extra pass over the events still takes it.
    monitor.lines.clear();
    pty.expect("PING\r", {PtyHarness::Pause(20), PtyHarness::Send("PONG\r")});
    QTimer::singleShot(5, [this] {
        // Busy (no events) until the time-out has passed and the reply is in the driver.
        QElapsedTimer busy;
        busy.start();
        const int fd = ports->comm().device().handle();
        int waiting = 0;
        while (busy.elapsed() <= 150 || waiting < 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ::ioctl(fd, FIONREAD, &waiting);
        }
        DeviceWait::wake();
    });
    ports->SetFramingType(5);
    ports->SendTelegram("PING", 4);
    EXPECT_EQ(receive(reply), 4);
    EXPECT_EQ(reply, "PONG");
}

TEST_F(PortsOnPty, NestedExchangeSetsTheOuterReplyAside)
{
    ports->SetLinkProtocol("\r");
    ports->SetFramingType(5);
    ports->SetTimeout(1000);
    pty.expect("OUT\r", {PtyHarness::Pause(100), PtyHarness::Send("R1\r")});
    pty.expect("IN\r", "R2\r");

    // A timer tick inside the outer wait runs an exchange of its own, the way a command
    // does: flush, send, receive.
    QByteArray inner;
    int16_t innerResult = -1;
    int innerDepth = 0;
    QTimer::singleShot(20, [&] {
        innerDepth = ports->ReceiveDepth();
        ports->FlushInput();
        ports->SendTelegram("IN", 2);
        int16_t count = 0;
        innerResult = ports->ReceiveTelegram(inner, count);
    });
    ports->SendTelegram("OUT", 3);
    QByteArray outer;
    QElapsedTimer watch;
    watch.start();
    const int16_t outerResult = receive(outer);

    EXPECT_EQ(innerDepth, 1);
    EXPECT_EQ(innerResult, 2);
    EXPECT_EQ(inner, "R2");
    // The outer receive gets its own reply from the slot, without waiting for more input.
    EXPECT_EQ(outerResult, 2);
    EXPECT_EQ(outer, "R1");
    EXPECT_LT(watch.elapsed(), 900);
    EXPECT_EQ(ports->ReceiveDepth(), 0);
    EXPECT_EQ(monitor.lines,
              (QList<QByteArray>{"W: OUT\r", "F1: R1", "W: IN\r", "R: R2\r", "R: R1"}));
    EXPECT_EQ(pty.mismatches(), 0);
}

TEST_F(PortsOnPty, FlushDiscardsAndLogsWhatWaits)
{
    ports->SetLinkProtocol("\r");
    pty.send("stale1\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 2000));
    // part in the receive buffer (a time-out left it there), part still in the driver
    ports->SetTimeout(50);
    ports->SetLinkProtocol(B({'~', 3}));
    QByteArray reply;
    EXPECT_EQ(receive(reply, 0, false), 0);
    pty.send("xy");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ports->comm().inBufferCount() > 0; }, 2000));
    ports->FlushInput();
    EXPECT_FALSE(ports->PortDataAvailable());
    EXPECT_EQ(monitor.lines, QList<QByteArray>{"F: stale1\rxy"});
    ports->FlushInput(); // nothing left: no line
    EXPECT_EQ(monitor.lines.size(), 1);
}

TEST_F(PortsOnPty, EleventhNestedReceiveIsRefused)
{
    ports->SetLinkProtocol("\r");
    ports->SetTimeout(30);
    int16_t refused = -1;
    int depthAtRefusal = -1;
    QByteArray refusedReply = "untouched";
    int linesBeforeRefusal = -1;
    int linesAfterRefusal = -1;
    std::function<void(int)> nest = [&](int level) {
        if (level > Ports::kMaxDepth) {
            depthAtRefusal = ports->ReceiveDepth();
            linesBeforeRefusal = static_cast<int>(monitor.lines.size());
            int16_t count = 0;
            refused = ports->ReceiveTelegram(refusedReply, count);
            linesAfterRefusal = static_cast<int>(monitor.lines.size());
            return;
        }
        QTimer::singleShot(0, [&, level] { nest(level + 1); });
        QByteArray reply;
        int16_t count = 0;
        ports->ReceiveTelegram(reply, count);
    };
    nest(1);
    EXPECT_EQ(depthAtRefusal, Ports::kMaxDepth);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(refusedReply, "untouched");
    EXPECT_EQ(linesAfterRefusal, linesBeforeRefusal);
    EXPECT_EQ(timeouts(), Ports::kMaxDepth); // the ten real levels each timed out
    EXPECT_EQ(ports->ReceiveDepth(), 0);
    // The link works normally afterwards.
    pty.send("ok\r");
    QByteArray reply;
    ports->SetTimeout(1000);
    EXPECT_EQ(receive(reply), 2);
}

TEST_F(PortsOnPty, HangUpMidReplyClosesOnceAndStaysQuiet)
{
    ports->SetLinkProtocol("\r");
    ports->SetFramingType(5);
    ports->SetTimeout(5000);
    int serialErrors = 0;
    QObject::connect(&ports->comm().device(), &QSerialPort::errorOccurred,
                     [&](QSerialPort::SerialPortError e) {
                         if (e != QSerialPort::NoError)
                             ++serialErrors;
                     });
    QSignalSpy failed(ports.get(), &Ports::portFailed);
    pty.expect("READ\r", {PtyHarness::Send("PAR"), PtyHarness::Pause(30), PtyHarness::HangUp()});

    ports->SendTelegram("READ", 4);
    QByteArray reply;
    QElapsedTimer watch;
    watch.start();
    EXPECT_EQ(receive(reply), 0);
    EXPECT_LT(watch.elapsed(), 4000); // ended by the failure, not by the time-out
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(ports->PortOpenFlag());
    EXPECT_FALSE(ports->comm().isOpen());
    EXPECT_FALSE(frame.portLabelEnabled);

    // Afterwards the program is idle: no further errors, next to no CPU.
    const double cpu0 = cpuSeconds();
    QTest::qWait(300);
    const double cpu = cpuSeconds() - cpu0;
    EXPECT_EQ(failed.count(), 1);
    EXPECT_LE(serialErrors, 2);
    EXPECT_LT(cpu, 0.15);

    // With the port closed nothing is sent, received or flushed.
    monitor.lines.clear();
    ports->SendTelegram("READ", 4);
    ports->FlushInput();
    EXPECT_EQ(receive(reply), 0);
    EXPECT_TRUE(monitor.lines.isEmpty());
}

TEST_F(PortsOnPty, HangUpWhileIdleIsNoticedOnce)
{
    QSignalSpy failed(ports.get(), &Ports::portFailed);
    pty.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.count() > 0; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(pty.slavePath()));
    EXPECT_FALSE(ports->PortOpenFlag());
    EXPECT_FALSE(frame.portLabelEnabled);
}

TEST_F(PortsOnPty, WaitTimeoutIsNotCutShortByArrivingBytes)
{
    ports->SetTimeout(150);
    pty.expect("X", {PtyHarness::Pause(10), PtyHarness::Send("noise")});
    ports->SendTelegram("X", 1);
    QElapsedTimer watch;
    watch.start();
    ports->WaitTimeout();
    EXPECT_GE(watch.elapsed(), 150);
    EXPECT_TRUE(ports->PortDataAvailable());

    // A time-out of zero does not wait for ever.
    ports->SetTimeout(0);
    watch.restart();
    ports->WaitTimeout();
    EXPECT_LT(watch.elapsed(), 1000);
}

TEST_F(PortsOnPty, WaitTimeoutEndsWithAReceiveOrFlushRunInsideIt)
{
    // A receive started by a timer inside the paced wait times out after 200 ms: the wait
    // of 1000 ms ends with it instead of running its full time.
    ports->SetLinkProtocol("\r");
    ports->SetTimeout(1000);
    qint64 innerEnded = -1;
    QElapsedTimer watch;
    QTimer::singleShot(20, [&] {
        ports->SetTimeout(200);
        QByteArray reply;
        EXPECT_EQ(receive(reply, 0, false), 0);
        innerEnded = watch.elapsed();
    });
    watch.start();
    ports->WaitTimeout();
    const qint64 waited = watch.elapsed();
    ASSERT_GE(innerEnded, 200);
    EXPECT_GE(waited, innerEnded);
    EXPECT_LT(waited, 700);

    // The same for a flush of the input.
    ports->SetTimeout(1000);
    QTimer::singleShot(20, [&] { ports->FlushInput(); });
    watch.restart();
    ports->WaitTimeout();
    EXPECT_LT(watch.elapsed(), 600);

    // Without either the wait keeps its time.
    ports->SetTimeout(120);
    watch.restart();
    ports->WaitTimeout();
    EXPECT_GE(watch.elapsed(), 120);
}

TEST_F(PortsOnPty, OpenPortKeepsAnUnchangedPortAndReopensAChangedOne)
{
    QSignalSpy closing(&ports->comm().device(), &QIODevice::aboutToClose);
    QString port = pty.slavePath();
    QString settings = QStringLiteral("38400,n,8,1");
    int16_t protocol = 0;
    ports->OpenPort(port, settings, protocol, true);
    EXPECT_EQ(closing.count(), 0);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());

    settings = QStringLiteral("9600,e,7,2");
    protocol = 1;
    ports->OpenPort(port, settings, protocol, true);
    EXPECT_EQ(protocol, 2); // RTS/CTS as the port counts it
    EXPECT_EQ(closing.count(), 1);
    EXPECT_TRUE(ports->PortOpenFlag());
    EXPECT_EQ(frame.portLabel, pty.slavePath() + QStringLiteral(",9600,e,7,2"));
    EXPECT_TRUE(frame.portLabelEnabled);
    EXPECT_EQ(ports->comm().device().baudRate(), 9600);
    EXPECT_EQ(ports->comm().device().parity(), QSerialPort::EvenParity);

    // An empty port name reports the configuration and touches nothing.
    QString qPort, qSettings;
    int16_t qProtocol = -5;
    ports->OpenPort(qPort, qSettings, qProtocol, true);
    EXPECT_EQ(qPort, pty.slavePath());
    EXPECT_EQ(qSettings, QStringLiteral("9600,e,7,2"));
    EXPECT_EQ(qProtocol, 1);
    EXPECT_EQ(closing.count(), 1);

    // The same settings written differently are still the same settings.
    settings = QStringLiteral("9600,E,7,2");
    protocol = 1;
    ports->OpenPort(port, settings, protocol, true);
    EXPECT_EQ(closing.count(), 1);
}

TEST_F(PortsOnPty, OpenPortFailuresAskRetryOrCancelWithTheReason)
{
    // A port that does not exist: Retry tries again, Cancel gives up.
    tc.presenter.answers = {Msg::Retry, Msg::Cancel};
    // A name of this process alone: the lock file of a name that another test run tries
    // at the same moment would make it look busy instead.
    const QString missing = QStringLiteral("/dev/ttyNOSUCH%1").arg(QCoreApplication::applicationPid());
    QString port = missing;
    QString settings = QStringLiteral("38400,n,8,1");
    int16_t protocol = 0;
    ports->OpenPort(port, settings, protocol, true);
    ASSERT_EQ(tc.presenter.requests.size(), 2);
    for (const MessageRequest& r : tc.presenter.requests) {
        EXPECT_EQ(r.number, 2);
        EXPECT_EQ(r.buttons & 0xFF, int(Msg::RetryCancel));
        EXPECT_TRUE(r.text.contains(QStringLiteral("gibt es nicht"))) << r.text.toStdString();
    }
    EXPECT_FALSE(ports->PortOpenFlag());
    EXPECT_FALSE(frame.portLabelEnabled);
    EXPECT_EQ(frame.portLabel, missing + QStringLiteral(",38400,n,8,1"));

    // The reason is in the language chosen when it is shown, as the message is, and says
    // what happened also where the system refuses the path (a local socket: ENXIO).
    InstallShippedLanguage(tc);
    QLocalServer socket;
    ASSERT_TRUE(socket.listen(tc.dir.filePath(QStringLiteral("socket"))));
    const QString messages[] = {QStringLiteral("Fehler bei der Initialisierung der seriellen Schnittstelle!\r\r"),
                                QStringLiteral("Error initialising the serial port!\r\r")};
    const struct {
        int16_t language;
        QString device, reason;
    } reasons[] = {
        {1, missing, QStringLiteral("The serial port %1 does not exist.")},
        {0, missing, QStringLiteral("Die Schnittstelle %1 gibt es nicht.")},
        {1, socket.fullServerName(), QStringLiteral("The serial port %1 cannot be opened: No such device or address")},
        {0, socket.fullServerName(),
         QStringLiteral("Die Schnittstelle %1 kann nicht geöffnet werden: Das Gerät oder die Adresse gibt es nicht")},
    };
    for (const auto& r : reasons) {
        int16_t index = r.language;
        tc.language->SelectLanguage(index);
        tc.presenter.requests.clear();
        tc.presenter.answers = {Msg::Cancel};
        port = r.device;
        ports->OpenPort(port, settings, protocol, true);
        ASSERT_EQ(tc.presenter.requests.size(), 1);
        EXPECT_EQ(tc.presenter.requests[0].text, messages[r.language] + r.reason.arg(r.device));
    }

    // Without showMessage the failure is silent.
    tc.presenter.requests.clear();
    port = missing + QStringLiteral("b");
    ports->OpenPort(port, settings, protocol, false);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    EXPECT_FALSE(ports->PortOpenFlag());

    // Malformed settings never open the port with older ones.
    tc.presenter.answers = {Msg::Cancel};
    port = pty.slavePath();
    settings = QStringLiteral("38400,x,8,1");
    ports->OpenPort(port, settings, protocol, true);
    ASSERT_EQ(tc.presenter.requests.size(), 1);
    EXPECT_TRUE(tc.presenter.requests[0].text.contains(QStringLiteral("Ungültige Einstellungen")));
    EXPECT_FALSE(ports->comm().isOpen());

    // Well-formed settings this device cannot take (1.5 stop bits) fail the opening.
    tc.presenter.requests.clear();
    tc.presenter.answers = {Msg::Cancel};
    settings = QStringLiteral("38400,n,8,1.5");
    ports->OpenPort(port, settings, protocol, true);
    ASSERT_EQ(tc.presenter.requests.size(), 1);
    EXPECT_TRUE(tc.presenter.requests[0].text.contains(QStringLiteral("unterstützt")))
        << tc.presenter.requests[0].text.toStdString();
    EXPECT_FALSE(ports->PortOpenFlag());

    // A port that another program holds is reported as busy.
    settings = QStringLiteral("38400,n,8,1");
    ports->OpenPort(port, settings, protocol, false);
    ASSERT_TRUE(ports->PortOpenFlag());
    test::TestContext other;
    Ports second(other.ctx);
    other.presenter.answers = {Msg::Cancel};
    QString samePort = pty.slavePath();
    QString sameSettings = settings;
    int16_t sameProtocol = 0;
    second.OpenPort(samePort, sameSettings, sameProtocol, true);
    EXPECT_FALSE(second.PortOpenFlag());
    ASSERT_EQ(other.presenter.requests.size(), 1);
    EXPECT_TRUE(other.presenter.requests[0].text.contains(QStringLiteral("belegt")))
        << other.presenter.requests[0].text.toStdString();
    EXPECT_TRUE(ports->PortOpenFlag()); // the first holder keeps working
}

namespace {

// A device that speaks STX data [DLE] BCC ETX both ways: it checks each telegram's BCC and
// answers "A" followed by the data, framed the same way.
class BlockCheckDevice final : public PtyHarness {
public:
    ~BlockCheckDevice() override { stop(); }
    static QByteArray frame(const QByteArray& d)
    {
        char bcc = 2;
        for (char c : d)
            bcc ^= c;
        QByteArray t = "\x02" + d;
        if (QByteArray("\x02\x03\x16\x10\x06\x15", 6).contains(bcc))
            t += '\x10';
        return t + bcc + '\x03';
    }
    int badTelegrams = 0;

protected:
    qsizetype onBytes(const QByteArray& buffer) override
    {
        if (!buffer.startsWith('\x02'))
            return 1; // out of step: drop a byte
        // The ETX that ends the frame comes after the BCC (which may itself be an ETX).
        for (qsizetype end = 2; end < buffer.size(); ++end) {
            if (buffer[end] != '\x03')
                continue;
            // The byte before the BCC is either data or the DLE of a special BCC.
            for (qsizetype length : {end - 2, end - 3}) {
                const QByteArray data = buffer.mid(1, std::max<qsizetype>(length, 0));
                if (length < 0 || frame(data) != buffer.left(end + 1))
                    continue;
                recordTelegram(buffer.left(end + 1));
                send(frame("A" + data));
                return end + 1;
            }
        }
        return 0;
    }
};

} // namespace

// A simulator forgets input it could not take once the line falls quiet, as a unit does;
// the running test fails on those bytes, naming them, unless it expects them. So stray
// bytes from the program in front of a good telegram do not pass unseen.
TEST(PortsDevice, InputTheDeviceForgotFailsTheTestUnlessExpected)
{
    EXPECT_NONFATAL_FAILURE(
        {
            PtyHarness device;
            strayBytesThenAGoodTelegram(device);
        },
        "3 bytes that no telegram took (forgotten once the line fell quiet): \"\\x01zz\"");
    PtyHarness device;
    device.allowDroppedInput();
    strayBytesThenAGoodTelegram(device);
    EXPECT_EQ(device.droppedInput(), QByteArray("\x01zz"));
}

TEST(PortsDevice, BlockCheckedExchangesBothWays)
{
    test::TestContext tc;
    test::RecordingMonitor monitor;
    tc.ctx.monitor = &monitor;
    BlockCheckDevice device;
    device.start();
    Ports ports(tc.ctx);
    ports.InitPort();
    QString port = device.slavePath();
    QString settings = QStringLiteral("38400,n,8,1");
    int16_t protocol = 0;
    ports.OpenPort(port, settings, protocol, false);
    ASSERT_TRUE(ports.PortOpenFlag());
    ports.SetFramingType(6);
    ports.SetLinkProtocol(QByteArray("^\x03", 2));
    ports.SetTimeout(1000);

    // Check characters that need a DLE on the way out ("@A": 3, "": 2) or on the way back
    // ("R0001" answers with BCC 16), data with ETX and DLE inside, and plain ones.
    const QList<QByteArray> data = {"R0001", "@A", QByteArray("\x03\x10", 2), "W12", ""};
    for (const QByteArray& d : data) {
        SCOPED_TRACE(d.toHex().constData());
        ports.FlushInput();
        ports.SendTelegram(d, static_cast<int16_t>(d.size()));
        QByteArray reply;
        int16_t count = 0;
        const int16_t n = ports.ReceiveTelegram(reply, count);
        const QByteArray wire = BlockCheckDevice::frame("A" + d);
        // The reply is everything before the BCC: STX, "A", the data and a DLE if one
        // stood before the BCC.
        const QByteArray expected = wire.left(wire.size() - 2);
        EXPECT_EQ(reply.toHex(), expected.toHex());
        EXPECT_EQ(n, expected.size());
    }
    EXPECT_EQ(device.telegrams().size(), data.size());
}

TEST(PortsSettings, StoredValuesAreReadAtStartAndWrittenAtEnd)
{
    test::TestContext tc;
    tc.settings->write(QStringLiteral("Port"), QStringLiteral("Port"), QStringLiteral("COM3"));
    tc.settings->write(QStringLiteral("Port"), QStringLiteral("PortSettings"), QStringLiteral("9600,o,7,2"));
    tc.settings->write(QStringLiteral("Port"), QStringLiteral("PortProtocol"), QStringLiteral("1"));
    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"), QStringLiteral("350"));
    Ports ports(tc.ctx);
    ports.InitPort();
    EXPECT_EQ(ports.PortName(), QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(ports.DetectTimeout(), 350);
    EXPECT_EQ(ports.GetTimeout(), 350);
    EXPECT_FALSE(ports.PortOpenFlag());
    QString port, settings;
    int16_t protocol = 0;
    ports.OpenPort(port, settings, protocol, false);
    EXPECT_EQ(settings, QStringLiteral("9600,o,7,2"));
    EXPECT_EQ(protocol, 1);
    EXPECT_EQ(ports.comm().handshaking(), int(CommPort::RtsCts)); // hardware, not XON/XOFF

    ports.SavePortSettings();
    const SettingsStore file(tc.settingsPath()); // the values must come back from the file
    EXPECT_EQ(file.read(QStringLiteral("Port"), QStringLiteral("Port"), {}).toStdString(), "/dev/ttyS2");
    EXPECT_EQ(file.read(QStringLiteral("Port"), QStringLiteral("PortSettings"), {}).toStdString(), "9600,o,7,2");
    EXPECT_EQ(file.read(QStringLiteral("Port"), QStringLiteral("PortProtocol"), {}).toStdString(), "1");

    // Defaults, and values that are not usable, fall back instead of stopping the start.
    test::TestContext bad;
    bad.settings->write(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"), QStringLiteral("fast"));
    bad.settings->write(QStringLiteral("Port"), QStringLiteral("PortSettings"), QStringLiteral("garbage"));
    Ports defaults(bad.ctx);
    defaults.InitPort();
    EXPECT_EQ(defaults.DetectTimeout(), 200);
    EXPECT_EQ(defaults.PortName(), QString::fromLatin1(Ports::kDefaultPort));
    port.clear();
    defaults.OpenPort(port, settings, protocol, false);
    EXPECT_EQ(settings.toStdString(), "38400,n,8,1");
    EXPECT_EQ(protocol, 0);
}

namespace {

// A device that writes to the line as fast as it takes bytes, from a thread of its own,
// until stopped or until it has written `cap` bytes.
class Flood {
public:
    Flood(PtyHarness& pty, QByteArray unit, qint64 cap)
        : thread_([this, &pty, unit, cap] {
              while (!stop_ && written_ < cap && pty.send(unit))
                  written_ += unit.size();
              done_ = true;
          })
    {
    }
    // The writer may be blocked on a full line: the program's side is emptied until the
    // writer has seen the stop.
    void stop(Ports& ports)
    {
        stop_ = true;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            if (ports.comm().isOpen())
                ports.comm().discardInput();
            return done_.load();
        }, 10000));
        thread_.join();
    }
    ~Flood()
    {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
    }
    qint64 written() const { return written_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<qint64> written_{0};
    std::thread thread_;
};

QByteArray repeated(const QByteArray& unit, int times)
{
    QByteArray b;
    for (int i = 0; i < times; ++i)
        b += unit;
    return b;
}

} // namespace

TEST_F(PortsOnPty, FloodIsHeldBackAndEndsTheReceiveAtTheLongestTelegram)
{
    struct Case {
        const char* what;
        QByteArray protocol;
        QByteArray unit;
    } cases[] = {
        {"terminator that never comes", "\r", QByteArray(512, 'A')},
        {"no terminator: until quiet", {}, QByteArray(512, 'A')},
        {"additive check, every frame wrong", B({'~', 3}), repeated(B({'X', 'Y', 0x10, 3}), 128)},
        {"XOR check, every frame wrong", B({'^', 3}), repeated(B({'X', 'Y', 0x55, 3}), 128)},
    };
    // Far more than the port keeps and the longest telegram: a program that does not
    // hold the flood back takes all of it.
    constexpr qint64 kCap = 4 * 1024 * 1024;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        monitor.lines.clear();
        ports->SetLinkProtocol(c.protocol);
        ports->SetTimeout(200);
        Flood flood(pty, c.unit, kCap);

        // Nothing receives: the port fills up to its buffer and then holds the line back.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return ports->comm().inBufferCount() >= CommPort::kReadBufferSize || flood.written() >= kCap; },
            10000));
        QTest::qWait(50); // the flood goes on meanwhile
        EXPECT_LE(ports->comm().inBufferCount(), CommPort::kReadBufferSize);
        EXPECT_LT(flood.written(), kCap);

        // A receive ends once the bytes pass the longest telegram, as one protocol error.
        QByteArray reply = "old";
        int16_t count = 0;
        EXPECT_EQ(ports->ReceiveTelegram(reply, count), 0);
        EXPECT_TRUE(reply.isEmpty());
        EXPECT_EQ(monitor.lines.count("R: " + QByteArray(Ports::kProtocolError)), 1);
        EXPECT_EQ(timeouts(), 0);
        EXPECT_LE(ports->comm().inBufferCount(), CommPort::kReadBufferSize);
        EXPECT_LT(flood.written(), kCap);
        flood.stop(*ports);

        // The link works again once the flood is over.
        ports->FlushInput();
        ports->SetLinkProtocol("\r");
        pty.send("ok\r");
        ports->SetTimeout(1000);
        EXPECT_EQ(receive(reply), 2);
    }
}

TEST_F(PortsOnPty, DrippingDeviceEndsTheReceiveAtTheDeadline)
{
    // One byte well within each time-out, never a terminator: the time-out alone would
    // never end the receive.
    ports->SetLinkProtocol("\r");
    ports->SetTimeout(60);
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread drip([&] {
        while (!stop && sent < 2000) {
            pty.send("A");
            ++sent;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    QByteArray reply;
    EXPECT_EQ(receive(reply), 0);
    const int sentWhenEnded = sent;
    stop = true;
    drip.join();
    EXPECT_LT(sentWhenEnded, 2000);
    EXPECT_EQ(monitor.lines, QList<QByteArray>{"R: " + QByteArray(Ports::kProtocolError)});
}

TEST_F(PortsOnPty, AFrameWithAWrongCheckIsDroppedAndTheGoodOnesFollow)
{
    auto sumFrame = [](const QByteArray& d) {
        quint8 s = 0;
        for (char c : d)
            s = static_cast<quint8>(s + static_cast<quint8>(c));
        return d + char(s) + '\x03';
    };
    auto xorFrame = [](const QByteArray& d) {
        quint8 x = 0;
        for (char c : d)
            x ^= static_cast<quint8>(c);
        return d + char(x) + '\x03';
    };
    struct Case {
        const char* what;
        QByteArray protocol;
        QByteArray bad;
        QList<QByteArray> good; // data of the good frames
        std::function<QByteArray(const QByteArray&)> frame;
    } cases[] = {
        {"additive", B({'~', 3}), B({'X', 'Y', 0x10, 3}), {"ONE", B({'T', 3, 'O'}), "THREE"}, sumFrame},
        {"XOR", B({'^', 3}), B({'X', 'Y', 0x55, 3}), {"ONE", B({'T', 3, 'O'}), "THREE"}, xorFrame},
        {"two bad in a row", B({'~', 3}), B({'X', 3, 'Y', 0x10, 3}), {"A", "B"}, sumFrame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ports->FlushInput();
        monitor.lines.clear();
        ports->SetLinkProtocol(c.protocol);
        ports->SetTimeout(300);
        QByteArray stream = c.bad;
        for (const QByteArray& d : c.good)
            stream += c.frame(d);
        pty.send(stream);
        // A continuous read: receive after receive, no flush between them.
        for (const QByteArray& d : c.good) {
            QByteArray reply;
            EXPECT_EQ(receive(reply), d.size());
            EXPECT_EQ(reply.toHex(), d.toHex());
        }
        EXPECT_EQ(monitor.lines.value(0), "F: " + c.bad);
        EXPECT_EQ(timeouts(), 0);
    }
}

// A flush that empties the driver in the same event-loop pass in which the port's read
// notification fired leaves that read nothing to take (EAGAIN). That is no lost device:
// the port stays open and the next bytes still arrive.
TEST_F(PortsOnPty, FlushRacingTheReadNotificationKeepsThePortOpen)
{
    QSignalSpy failed(ports.get(), &Ports::portFailed);
    ports->SetLinkProtocol("\r");
    const int fd = ports->comm().device().handle();
    for (int round = 0; round < 40 && failed.isEmpty(); ++round) {
        pty.send("abc");
        // Busy until the bytes are in the driver, so the next pass sees the port readable.
        int waiting = 0;
        for (int i = 0; i < 2000 && waiting < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            ::ioctl(fd, FIONREAD, &waiting);
        }
        QTimer::singleShot(0, ports.get(), [this] { ports->FlushInput(); });
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(failed.isEmpty()) << failed.value(0).value(0).toString().toStdString();
    ASSERT_TRUE(ports->PortOpenFlag());
    pty.send("ok\r");
    QByteArray reply;
    EXPECT_EQ(receive(reply, 0, false), 2);
    EXPECT_EQ(reply, "ok");
}

// A flush inside a fixed-count receive sets the reply aside as that receive would have
// taken it: the whole count, a terminator inside it being data. An empty reply (a bare
// terminator) set aside is a reply too, not lost to a time-out.
TEST_F(PortsOnPty, ReplySetAsideForAFixedCountKeepsItsCount)
{
    ports->SetLinkProtocol("\r");
    ports->SetFramingType(5);
    ports->SetTimeout(1000);
    pty.expect("OUT\r", {PtyHarness::Pause(100), PtyHarness::Send("ab\rcd")});
    QTimer::singleShot(20, [&] { ports->FlushInput(); });
    ports->SendTelegram("OUT", 3);
    QByteArray outer;
    EXPECT_EQ(receive(outer, 5), 5);
    EXPECT_EQ(outer, "ab\rcd");
    EXPECT_EQ(ports->ReceiveDepth(), 0);

    pty.expect("EMPTY\r", {PtyHarness::Pause(100), PtyHarness::Send("\r")});
    QTimer::singleShot(20, [&] { ports->FlushInput(); });
    ports->SendTelegram("EMPTY", 5);
    QElapsedTimer watch;
    watch.start();
    EXPECT_EQ(receive(outer), 1);
    EXPECT_EQ(outer, " ");
    EXPECT_LT(watch.elapsed(), 900);
}
