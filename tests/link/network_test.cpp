// The TCP link against a scripted loopback peer: connecting (made, refused, cancelled,
// given up), text lines with their time-out and escaping, event lines, binary frames,
// a lost connection, and the HTTP GET.
#include "link/DeviceWait.h"
#include "link/Network.h"
#include "support/FakeShell.h"
#include "support/TcpHarness.h"
#include "support/TestContext.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <thread>
#include <unistd.h>

using namespace orvid;
using namespace orvid::test;

namespace {

class RecordingCallback final : public IEventCallback {
public:
    void Error(const QString& text) override { errors.append(text); }
    void EventReceived(const QByteArray& text) override
    {
        ++depth;
        maxDepth = qMax(maxDepth, depth);
        events.append(text);
        if (onEvent)
            onEvent(text);
        --depth;
    }
    QStringList errors;
    QList<QByteArray> events;
    std::function<void(const QByteArray&)> onEvent;
    int depth = 0;
    int maxDepth = 0;
};

// Connecting box stand-in: cancels at once, or waits like the real box until the attempt
// has ended by itself.
class FakeConnectingBox final : public IConnectingBox {
public:
    bool ShowDialog(QTcpSocket* socket) override
    {
        ++shown;
        stateWhenShown = socket->state();
        if (cancel)
            return false;
        QElapsedTimer clock;
        clock.start();
        while ((socket->state() == QAbstractSocket::ConnectingState
                || socket->state() == QAbstractSocket::HostLookupState)
               && clock.elapsed() < 10000)
            DeviceWait::wait(50);
        return true;
    }
    bool cancel = false;
    int shown = 0;
    QAbstractSocket::SocketState stateWhenShown = QAbstractSocket::UnconnectedState;
};

bool waitFor(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        DeviceWait::wait(10);
    }
    return true;
}

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tc.ctx.monitor = &monitor;
        net = std::make_unique<Network>(tc.ctx);
        tc.ctx.network = net.get();
        net->LoadNetworkSettings();
        net->SetNetAddress(QStringLiteral("127.0.0.1"));
    }

    bool connectToPeer(IEventCallback* cb = nullptr)
    {
        return net->NetConnect(cb ? cb : &callback, peer.port()) && peer.waitForClient();
    }

    QList<QByteArray> linesWithPrefix(const QByteArray& prefix) const
    {
        QList<QByteArray> out;
        for (const QByteArray& l : monitor.lines)
            if (l.startsWith(prefix))
                out.append(l.mid(prefix.size()));
        return out;
    }

    TestContext tc;
    RecordingMonitor monitor;
    RecordingCallback callback;
    TcpHarness peer;
    std::unique_ptr<Network> net;
};

} // namespace

// --- escaping and framing, without a socket -----------------------------------------

TEST(NetworkEscaping, EncodesOnlyTheSixCharactersAndDecodesBack)
{
    EXPECT_EQ(Network::UrlEncode("a=b;c,d%"), QByteArray("a%3Db%3Bc%2Cd%25"));
    EXPECT_EQ(Network::UrlEncode(QByteArray("x\ny\0z", 5)), QByteArray("x%0Ay%00z"));
    EXPECT_EQ(Network::UrlEncode("&?+ /\r\xA7"), QByteArray("&?+ /\r\xA7"));
    // "%" goes first, so an escape already in the text is escaped itself.
    EXPECT_EQ(Network::UrlEncode("%3D="), QByteArray("%253D%3D"));

    QByteArray all;
    for (int c = 0; c < 256; ++c)
        all.append(char(c));
    EXPECT_EQ(Network::UrlDecode(Network::UrlEncode(all)), all);
}

TEST(NetworkEscaping, DecodesHexPairsInEitherCase)
{
    EXPECT_EQ(Network::UrlDecode("a%3Db%3Bc%2Cd%25"), QByteArray("a=b;c,d%"));
    EXPECT_EQ(Network::UrlDecode("%41%42"), QByteArray("AB"));
    EXPECT_EQ(Network::UrlDecode("%4a%4A%ff"), QByteArray("JJ\xFF"));
    EXPECT_EQ(Network::UrlDecode("%00x"), QByteArray("\0x", 2));
    EXPECT_EQ(Network::UrlDecode("no escapes"), QByteArray("no escapes"));
    EXPECT_EQ(Network::UrlDecode(""), QByteArray());
}

TEST(NetworkEscaping, DropsAPercentThatIntroducesNoCode)
{
    EXPECT_EQ(Network::UrlDecode("%4"), QByteArray("4"));
    EXPECT_EQ(Network::UrlDecode("ab%"), QByteArray("ab"));
    // Characters that are no hexadecimal digits are kept, never turned into other bytes.
    EXPECT_EQ(Network::UrlDecode("%zz1"), QByteArray("zz1"));
    EXPECT_EQ(Network::UrlDecode("%4g"), QByteArray("4g"));
    EXPECT_EQ(Network::UrlDecode("%%41"), QByteArray("A"));
}

TEST(NetworkFraming, FrameIsCompleteWhenItsLengthHasArrived)
{
    EXPECT_EQ(Network::FrameStatus(QByteArray()), 0);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0", 1)), 0);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\5ab", 4)), 0);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\5abc", 5)), 5);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\5abcdef", 8)), 5);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\2", 2)), 2);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\1\0", 2)), 0); // 256 bytes announced
}

TEST(NetworkFraming, LengthsNoFrameCanHaveAreRefused)
{
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\0", 2)), -1);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\0\1x", 3)), -1);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\x80\0", 2)), -1);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\xFF\xFF", 2)), -1);
    EXPECT_EQ(Network::FrameStatus(QByteArray("\x7F\xFF", 2)), 0); // 32767 is allowed
}

// --- settings ---------------------------------------------------------------------------

TEST(NetworkSettings, AddressComesFromTheStoreAndGoesBack)
{
    TestContext tc;
    {
        Network net(tc.ctx);
        net.LoadNetworkSettings();
        EXPECT_EQ(net.GetNetAddress(), QString::fromLatin1(Network::kDefaultAddress));
        EXPECT_EQ(net.GetNetTerminator(), QByteArray("\n"));
        EXPECT_EQ(net.GetNetTimeout(), Network::kDefaultTimeoutMs);
        net.SetNetAddress(QStringLiteral(" 10.1.2.3 "));
        net.SaveNetworkSettings();
    }
    EXPECT_EQ(tc.settings->read("Network", "Address", ""), QStringLiteral("10.1.2.3"));
    Network again(tc.ctx);
    again.LoadNetworkSettings();
    EXPECT_EQ(again.GetNetAddress(), QStringLiteral("10.1.2.3"));
}

TEST(NetworkSettings, NoConnectionTextFollowsTheLanguage)
{
    TestContext tc;
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n"
                        "[Network]\r\nNoConnection=No link to %s (%s)\r\n");
    tc.language->LoadLanguageList();
    int16_t english = 1;
    tc.language->SelectLanguage(english);
    Network net(tc.ctx);
    net.LoadNetworkSettings();
    RecordingCallback cb;
    TcpHarness peer;
    net.SetNetAddress(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(net.NetConnect(&cb, peer.port()));
    net.ShowNetError(1, QStringLiteral("gone")); // the connection is lost
    EXPECT_FALSE(net.NetSend("X", false));
    EXPECT_EQ(cb.errors, QStringList{QStringLiteral("No link to 127.0.0.1 (127.0.0.1)")});
}

// --- connecting -------------------------------------------------------------------------

TEST_F(NetworkTest, ConnectsAndRegistersTheCallback)
{
    ASSERT_TRUE(connectToPeer());
    EXPECT_TRUE(net->NetIsConnected());
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    // A second connect closes the first connection and makes a new one.
    ASSERT_TRUE(net->NetConnect(&callback, peer.port()));
    EXPECT_TRUE(waitFor([&] { return peer.connectionCount() == 2; }));
    EXPECT_TRUE(net->NetIsConnected());
    EXPECT_TRUE(tc.presenter.requests.isEmpty()); // closing our own side is no lost link
}

TEST_F(NetworkTest, ConnectsToAHostName)
{
    // The name lookup is part of connecting and must not end the wait early.
    net->SetNetAddress(QStringLiteral("localhost"));
    EXPECT_TRUE(connectToPeer());
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(NetworkTest, RefusedConnectionShowsMessage7WithAddressAndError)
{
    EXPECT_FALSE(net->NetConnect(&callback, unusedLocalPort()));
    EXPECT_FALSE(net->NetIsConnected());
    ASSERT_EQ(tc.presenter.numbers(), QList<int>{7});
    const MessageRequest& m = tc.presenter.requests.first();
    // The socket layer's number for a refusal, never the toolkit's list position 0.
    EXPECT_TRUE(m.args.startsWith(QStringLiteral("127.0.0.1|10061 - "))) << qPrintable(m.args);
    EXPECT_TRUE(m.text.contains(QStringLiteral("<127.0.0.1>"))) << qPrintable(m.text);
    // The failed attempt leaves no window registered: nothing to tell.
    EXPECT_FALSE(net->NetSend("X", true));
    EXPECT_TRUE(callback.errors.isEmpty());
}

// The calling thread in a network namespace of its own, with no interface up and no
// route: every other address is unreachable there. Making one takes root's rights.
class IsolatedNetwork {
public:
    IsolatedNetwork() : home_(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        active_ = home_ >= 0 && ::unshare(CLONE_NEWNET) == 0;
    }
    ~IsolatedNetwork()
    {
        if (active_)
            ::setns(home_, CLONE_NEWNET);
        if (home_ >= 0)
            ::close(home_);
    }
    bool active() const { return active_; }

private:
    int home_;
    bool active_ = false;
};

// Messages 7 and 8 say what happened, told by the system's error: the number the unit's
// home platform gives it and what it means. A peer that closed in order is no error.
TEST_F(NetworkTest, ErrorsSayWhatHappened)
{
    StalledListener stalled;
    ASSERT_TRUE(stalled.ok());
    net->SetNetConnectLimit(1000);
    enum How { Refused, NoRoute, GivenUp, Closed, Reset };
    struct Case {
        How how;
        int message;
        QString args;
    } cases[] = {
        {Refused, 7, "127.0.0.1|10061 - Der Zielrechner hat die Verbindung verweigert"},
        {NoRoute, 7, "192.0.2.1|10051 - Das Netzwerk ist nicht erreichbar"},
        {GivenUp, 7, "127.0.0.1|10060 - Das Zeitlimit für die Verbindung wurde überschritten"},
        {Closed, 8, "127.0.0.1|Der entfernte Rechner hat die Verbindung geschlossen"},
        {Reset, 8, "127.0.0.1|10054 - Die Verbindung wurde vom entfernten Rechner zurückgesetzt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.args));
        tc.presenter.requests.clear();
        net->SetNetAddress(c.args.section('|', 0, 0));
        if (c.how == NoRoute) {
            IsolatedNetwork isolated;
            ASSERT_TRUE(isolated.active() || ::geteuid() != 0) << "no network namespace for root";
            if (!isolated.active())
                continue;
            EXPECT_FALSE(net->NetConnect(&callback, 9999));
        } else if (c.how == Closed || c.how == Reset) {
            ASSERT_TRUE(connectToPeer());
            peer.play({c.how == Closed ? TcpStep::close() : TcpStep::reset()});
            ASSERT_TRUE(waitFor([&] { return !net->NetIsConnected(); }));
        } else {
            EXPECT_FALSE(net->NetConnect(&callback, c.how == Refused ? unusedLocalPort() : stalled.port()));
        }
        ASSERT_EQ(tc.presenter.numbers(), QList<int>{c.message});
        EXPECT_EQ(tc.presenter.requests.first().args, c.args);
    }
    // Causes this machine cannot be made to show: the numbers they are given.
    EXPECT_EQ(Network::SocketErrorText(EHOSTUNREACH), "10065 - Der Host kann nicht erreicht werden");
    EXPECT_EQ(Network::SocketErrorText(ENETDOWN), "10050 - Das Netzwerk ist ausgefallen");
}

TEST_F(NetworkTest, CancelInTheConnectingBoxEndsWithoutMessage)
{
    StalledListener stalled;
    ASSERT_TRUE(stalled.ok());
    FakeConnectingBox box;
    box.cancel = true;
    tc.ctx.connecting = &box;
    EXPECT_FALSE(net->NetConnect(&callback, stalled.port()));
    EXPECT_EQ(box.shown, 1);
    EXPECT_EQ(box.stateWhenShown, QAbstractSocket::ConnectingState);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    EXPECT_EQ(net->socket()->state(), QAbstractSocket::UnconnectedState);
}

TEST_F(NetworkTest, AnAttemptThatNeverEndsIsGivenUp)
{
    StalledListener stalled;
    ASSERT_TRUE(stalled.ok());
    net->SetNetConnectLimit(1500);

    // Without a box, and with a box that waits for the attempt to end by itself.
    FakeConnectingBox box;
    for (IConnectingBox* shown : {static_cast<IConnectingBox*>(nullptr),
                                  static_cast<IConnectingBox*>(&box)}) {
        tc.presenter.requests.clear();
        tc.ctx.connecting = shown;
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(net->NetConnect(&callback, stalled.port()));
        EXPECT_LT(clock.elapsed(), 5000);
        ASSERT_EQ(tc.presenter.numbers(), QList<int>{7});
        EXPECT_TRUE(tc.presenter.requests.first().args.startsWith("127.0.0.1|10060 - "));
        EXPECT_EQ(net->socket()->state(), QAbstractSocket::UnconnectedState);
    }
    EXPECT_EQ(box.shown, 1);
}

// --- sending and text replies ---------------------------------------------------------

TEST_F(NetworkTest, SendsTheLineWithTerminatorAndLogsIt)
{
    ASSERT_TRUE(connectToPeer());
    EXPECT_TRUE(net->NetSend("HELO", true, 3));
    EXPECT_TRUE(net->NetSend("QUIET", false));
    net->SetNetTerminator(QByteArray());
    EXPECT_TRUE(net->NetSend(QByteArray("\0\4\xA7\n", 4), false));
    ASSERT_TRUE(peer.waitForReceived(15));
    EXPECT_EQ(peer.transcript(), QByteArray("HELO\nQUIET\n\0\4\xA7\n", 15));
    EXPECT_EQ(linesWithPrefix("W: "), QList<QByteArray>{"HELO\n"});
}

TEST_F(NetworkTest, SplitReplyIsCutAtTheTerminatorAndTheRestStays)
{
    peer.setReplies({{TcpStep::send("RPLY"), TcpStep::pause(80), TcpStep::send("HE"),
                      TcpStep::pause(80), TcpStep::send("LO\nNEXT%3D1\nPART")}});
    ASSERT_TRUE(connectToPeer());
    ASSERT_TRUE(net->NetSend("HELO", true));

    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveLine(reply, log, 7), 8);
    EXPECT_EQ(reply, QByteArray("RPLYHELO"));
    // The second line came in the same piece: it waits for the next receive, decoded then.
    EXPECT_EQ(net->NetReceiveLine(reply, log), 6);
    EXPECT_EQ(reply, QByteArray("NEXT=1"));
    EXPECT_TRUE(net->NetDataAvailable());
    EXPECT_EQ(linesWithPrefix("R: "), (QList<QByteArray>{"RPLYHELO\n", "NEXT=1\n"}));

    net->NetFlushInput();
    EXPECT_FALSE(net->NetDataAvailable());
    EXPECT_EQ(linesWithPrefix("F: "), QList<QByteArray>{"PART"});
}

TEST_F(NetworkTest, TimeOutCountsFromTheLastByteThatArrived)
{
    net->SetNetTimeout(400);
    // Five pieces 150 ms apart: 600 ms in all, but never 400 ms without a byte.
    peer.setReplies({{TcpStep::send("A"), TcpStep::pause(150), TcpStep::send("B"),
                      TcpStep::pause(150), TcpStep::send("C"), TcpStep::pause(150),
                      TcpStep::send("D"), TcpStep::pause(150), TcpStep::send("\n")},
                     {TcpStep::send("HALF")}});
    ASSERT_TRUE(connectToPeer());
    QByteArray reply;
    bool log = true;
    ASSERT_TRUE(net->NetSend("Q", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 4);
    EXPECT_EQ(reply, QByteArray("ABCD"));

    // A reply that stops half way ends with the time-out and the monitor says so.
    ASSERT_TRUE(net->NetSend("Q", false));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(linesWithPrefix("R: ").last(), QByteArray("<TIMEOUT>"));
}

TEST_F(NetworkTest, EmptyLineBecomesABlankWhenLogged)
{
    peer.setReplies({{TcpStep::send("\n\n")}});
    ASSERT_TRUE(connectToPeer());
    ASSERT_TRUE(net->NetSend("Q", false));
    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveLine(reply, log), 1);
    EXPECT_EQ(reply, QByteArray(" "));
    log = false;
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_TRUE(linesWithPrefix("R: ").isEmpty());
}

// --- event lines ----------------------------------------------------------------------

TEST_F(NetworkTest, EventLinesAreDeliveredAndNeverTakenAsTheReply)
{
    // Two events before the reply in one piece, one more behind it.
    peer.setReplies({{TcpStep::send("EVNT%20one\nEVNT two%2C2\nRPLYX\nEVNTthree\n")}});
    ASSERT_TRUE(connectToPeer());
    ASSERT_TRUE(net->NetSend("Q", false));
    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveLine(reply, log), 5);
    EXPECT_EQ(reply, QByteArray("RPLYX"));
    EXPECT_EQ(callback.events, (QList<QByteArray>{" one", " two,2"}));
    // The event behind the reply is handled once the receive has returned.
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 3; }));
    EXPECT_EQ(callback.events.last(), QByteArray("three"));
    EXPECT_FALSE(net->NetDataAvailable());
    // Event lines appear in the monitor as they were read.
    EXPECT_EQ(linesWithPrefix("R: ").first(), QByteArray("EVNT%20one\n"));
}

TEST_F(NetworkTest, EventsArrivingWhileIdleAreAllHandled)
{
    ASSERT_TRUE(connectToPeer());
    peer.play({TcpStep::send("EVNT a\nEVNT b\nEVNT c\n"), TcpStep::pause(50),
               TcpStep::send("EVNT d\n")});
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 4; }));
    EXPECT_EQ(callback.events, (QList<QByteArray>{" a", " b", " c", " d"}));
    // While nothing waits, a line that is not an event is a stray reply: it goes to the
    // monitor and away, and the events behind it are not held up.
    QByteArray reports;
    for (int i = 0; i < 50; ++i)
        reports += "EVNT tag" + QByteArray::number(i) + "\n";
    peer.play({TcpStep::send("RPLYXXXX00stray\n" + reports)});
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 54; }));
    EXPECT_EQ(callback.events.value(53), QByteArray(" tag49"));
    EXPECT_EQ(linesWithPrefix("F: "), QList<QByteArray>{"RPLYXXXX00stray\n"});
    EXPECT_FALSE(net->NetDataAvailable());
}

// What a receive that timed out leaves is no reply to a later request: the unfinished line
// goes with the time-out and its rest up to its terminator when it comes (during the next
// receive), and a late reply goes when it comes, with the events behind it handed over at
// once.
TEST_F(NetworkTest, WhatATimedOutReceiveLeavesIsNoReplyToTheNextRequest)
{
    net->SetNetTimeout(200);
    peer.setHandler([](const QByteArray& request) {
        if (request == "A\n")
            return TcpScript{TcpStep::send("RPLYA 00first half"), TcpStep::pause(350), TcpStep::send(" second half\n")};
        if (request == "Q\n")
            return TcpScript{TcpStep::pause(400), TcpStep::send("RPLYQ late\nEVNT x\nEVNT y\n")};
        if (request == "E\n")
            return TcpScript{TcpStep::send("EVNT pa"), TcpStep::pause(350), TcpStep::send("rt\n")};
        return TcpScript{TcpStep::send("RPLY" + request)};
    });
    ASSERT_TRUE(connectToPeer());
    QByteArray reply;
    bool log = true;
    ASSERT_TRUE(net->NetSend("A", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    ASSERT_TRUE(net->NetSend("B", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 5);
    EXPECT_EQ(reply, QByteArray("RPLYB"));

    ASSERT_TRUE(net->NetSend("Q", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 2; }, 1500));
    EXPECT_EQ(callback.events, (QList<QByteArray>{" x", " y"}));
    EXPECT_EQ(linesWithPrefix("F: "), (QList<QByteArray>{"RPLYA 00first half", " second half\n", "RPLYQ late\n"}));
    // An event line still coming at the time-out is no reply cut off: it is handed over whole.
    ASSERT_TRUE(net->NetSend("E", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 3; }, 1500));
    EXPECT_EQ(callback.events.value(2), QByteArray(" part"));
    ASSERT_TRUE(net->NetSend("C", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 5);
    EXPECT_EQ(reply, QByteArray("RPLYC"));
}

TEST_F(NetworkTest, CallbackMayRunAnExchangeWithoutNestedEvents)
{
    // The answer to the callback's own request carries the next event in front of it.
    peer.setHandler([](const QByteArray& request) {
        if (request == "Q\n")
            return TcpScript{TcpStep::send("EVNT b\nANSWER\n")};
        return TcpScript{};
    });
    ASSERT_TRUE(connectToPeer());
    QList<QByteArray> answers;
    callback.onEvent = [&](const QByteArray& text) {
        if (text != " a")
            return;
        QByteArray reply;
        bool log = false;
        net->NetSend("Q", false);
        net->NetReceiveLine(reply, log);
        answers.append(reply);
    };
    peer.play({TcpStep::send("EVNT a\n")});
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 2; }));
    EXPECT_EQ(answers, QList<QByteArray>{"ANSWER"});
    EXPECT_EQ(callback.events, (QList<QByteArray>{" a", " b"}));
    EXPECT_EQ(callback.maxDepth, 1);
}

TEST_F(NetworkTest, WithoutTerminatorNothingIsAnEvent)
{
    ASSERT_TRUE(connectToPeer());
    net->SetNetTerminator(QByteArray());
    peer.play({TcpStep::send(QByteArray("EVNT\0\x09x\n", 8))});
    EXPECT_TRUE(waitFor([&] { return net->NetDataAvailable(); }));
    DeviceWait::wait(50);
    EXPECT_FALSE(net->CheckNetEvents());
    EXPECT_TRUE(callback.events.isEmpty());
    EXPECT_TRUE(net->NetDataAvailable());
}

// --- binary frames --------------------------------------------------------------------

TEST_F(NetworkTest, BinaryFrameIsHandedOutWholeWithItsLength)
{
    peer.setSplitter([](const QByteArray& b) { return qMax(Network::FrameStatus(b), 0); });
    peer.setReplies({{TcpStep::send(QByteArray("\0", 1)), TcpStep::pause(60),
                      TcpStep::send(QByteArray("\5ab", 3)), TcpStep::pause(60),
                      TcpStep::send(QByteArray("c\0\3Z\0", 5))}});
    ASSERT_TRUE(connectToPeer());
    net->SetNetTerminator(QByteArray());
    ASSERT_TRUE(net->NetSend(QByteArray("\0\2", 2), false));
    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveBytes(reply, log, 1), 5);
    EXPECT_EQ(reply, QByteArray("\0\5abc", 5));
    EXPECT_EQ(net->NetReceiveBytes(reply, log), 3);
    EXPECT_EQ(reply, QByteArray("\0\3Z", 3));
    EXPECT_EQ(linesWithPrefix("R: ").first(), QByteArray("\0\5abc", 5));
}

TEST_F(NetworkTest, FrameWithImpossibleLengthIsRefusedAndFlushed)
{
    ASSERT_TRUE(connectToPeer());
    net->SetNetTerminator(QByteArray());
    for (const QByteArray& bad : {QByteArray("\x80\0rest", 6), QByteArray("\0\0rest", 6),
                                  QByteArray("\0\1rest", 6)}) {
        monitor.lines.clear();
        peer.play({TcpStep::send(bad)});
        QByteArray reply("old");
        bool log = true;
        EXPECT_EQ(net->NetReceiveBytes(reply, log), 0);
        EXPECT_TRUE(reply.isEmpty());
        EXPECT_FALSE(net->NetDataAvailable());
        EXPECT_FALSE(linesWithPrefix("F: ").isEmpty());
    }
    // The stream is usable again afterwards.
    peer.play({TcpStep::send(QByteArray("\0\3!", 3))});
    QByteArray reply;
    bool log = false;
    EXPECT_EQ(net->NetReceiveBytes(reply, log), 3);
}

// --- a lost connection ----------------------------------------------------------------

TEST_F(NetworkTest, LostConnectionIsShownOnceThenReportedToTheWindow)
{
    ASSERT_TRUE(connectToPeer());
    peer.play({TcpStep::close()});
    ASSERT_TRUE(waitFor([&] { return !net->NetIsConnected(); }));
    ASSERT_EQ(tc.presenter.numbers(), QList<int>{8});

    const QString noConnection = QStringLiteral("Keine Verbindung zu <127.0.0.1>");
    EXPECT_FALSE(net->NetSend("X", true));
    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveLine(reply, log), -1);
    EXPECT_EQ(net->NetReceiveBytes(reply, log), -1);
    EXPECT_EQ(callback.errors, QStringList(3, noConnection));
    net->ShowNetError(1, QStringLiteral("again"));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{8});
    EXPECT_TRUE(linesWithPrefix("W: ").isEmpty());
}

TEST_F(NetworkTest, ConnectionLostDuringAWaitEndsTheWait)
{
    peer.setReplies({{TcpStep::send("PART"), TcpStep::pause(50), TcpStep::close()}});
    ASSERT_TRUE(connectToPeer());
    ASSERT_TRUE(net->NetSend("Q", false));
    QByteArray reply;
    bool log = true;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(net->NetReceiveLine(reply, log), -1);
    EXPECT_LT(clock.elapsed(), 3000); // far below the 6 s time-out
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{8});
    EXPECT_EQ(callback.errors.size(), 1);
}

TEST_F(NetworkTest, DisconnectEndsSendingAndDropsTheWindow)
{
    ASSERT_TRUE(connectToPeer());
    EXPECT_TRUE(net->NetDisconnect());
    EXPECT_FALSE(net->NetIsConnected());
    EXPECT_FALSE(net->NetSend("X", true));
    EXPECT_TRUE(callback.errors.isEmpty()); // no window is registered any more
    EXPECT_TRUE(waitFor([&] { return !peer.clientConnected(); }));
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

// --- HTTP -----------------------------------------------------------------------------

TEST_F(NetworkTest, HttpGetReturnsTheBodyFetchedFromTheNetwork)
{
    const QByteArray page = "<html>Unit \xA7 1</html>";
    HttpPageServer server(page);
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    EXPECT_EQ(net->HttpGet(url), page);
    EXPECT_EQ(net->HttpGet(url), page);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_TRUE(server.requests().first().startsWith("GET / HTTP/1.1\r\n"));
    // Read past any cache on the way: the unit's page changes with its state.
    EXPECT_TRUE(server.requests().first().contains("\r\nCache-Control: no-cache\r\n"));
}

TEST_F(NetworkTest, HttpGetFailuresGiveAnEmptyPage)
{
    EXPECT_TRUE(net->HttpGet(QStringLiteral("http://127.0.0.1:%1").arg(unusedLocalPort())).isEmpty());
    EXPECT_TRUE(net->HttpGet(QString()).isEmpty());

    HttpPageServer missing("not here", 404);
    EXPECT_TRUE(net->HttpGet(QStringLiteral("http://127.0.0.1:%1").arg(missing.port())).isEmpty());

    HttpPageServer silent("never sent");
    silent.setSilent(true);
    net->SetHttpTimeout(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(net->HttpGet(QStringLiteral("http://127.0.0.1:%1").arg(silent.port())).isEmpty());
    EXPECT_LT(clock.elapsed(), 3000);
}

// --- misbehaving peers ----------------------------------------------------------------

TEST_F(NetworkTest, EndlessOrDrippingLineEndsAsOneProtocolError)
{
    TcpScript endless;
    for (int i = 0; i < 8; ++i) // four longest lines and more, never a terminator
        endless << TcpStep::send(QByteArray(Network::kMaxLineLength / 2, 'A'));
    TcpScript drip;
    for (int i = 0; i < 400; ++i) // a byte well within each time-out, for 20 s
        drip << TcpStep::send("B") << TcpStep::pause(50);
    struct Case {
        const char* what;
        TcpScript script;
    } cases[] = {{"endless line", endless}, {"dripping line", drip}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcpHarness peerOfCase;
        peerOfCase.setReplies({c.script});
        ASSERT_TRUE(net->NetConnect(&callback, peerOfCase.port()) && peerOfCase.waitForClient());
        net->SetNetTimeout(250);
        monitor.lines.clear();
        ASSERT_TRUE(net->NetSend("Q", false));
        QByteArray reply = "old";
        bool log = true;
        EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
        EXPECT_TRUE(reply.isEmpty());
        EXPECT_EQ(linesWithPrefix("R: "), QList<QByteArray>{Network::kProtocolError});
        // What the socket keeps stays bounded.
        EXPECT_LE(net->socket()->bytesAvailable(), Network::kReadBufferSize);
        net->NetDisconnect();
    }
}

// A line longer than any the unit sends is reported once and skipped up to and including
// its terminator, however long it runs on; the lines behind it are read as usual, whether
// it comes while nothing waits, while a reply is awaited, or in place of the reply.
TEST_F(NetworkTest, OverlongLineIsSkippedToItsEndAndTheNextLinesAreRead)
{
    const QByteArray body(200 * 1024, 'x');
    ASSERT_TRUE(connectToPeer());
    const auto protocolErrors = [this] {
        return linesWithPrefix("R: ").count(QByteArray(Network::kProtocolError));
    };

    // An event line while idle, in one piece and in pieces, then events behind it.
    const TcpScript idleCases[] = {
        {TcpStep::send("EVNT" + body + "\nEVNT a\nEVNT b\n")},
        {TcpStep::send("EVNT" + body.left(70000)), TcpStep::pause(30), TcpStep::send(body.left(90000)),
         TcpStep::pause(30), TcpStep::send(body + "\nEV"), TcpStep::pause(30), TcpStep::send("NT a\nEVNT b\n")},
    };
    for (const TcpScript& script : idleCases) {
        callback.events.clear();
        monitor.lines.clear();
        peer.play(script);
        ASSERT_TRUE(waitFor([&] { return callback.events.size() == 2; }));
        EXPECT_EQ(callback.events, (QList<QByteArray>{" a", " b"}));
        EXPECT_EQ(protocolErrors(), 1);
        EXPECT_FALSE(net->NetDataAvailable());
    }

    // An event line while a reply is awaited: the reply behind it is still the reply.
    callback.events.clear();
    monitor.lines.clear();
    peer.setHandler([&](const QByteArray& request) {
        if (request == "Q\n")
            return TcpScript{TcpStep::send("EVNT" + body + "\nRPLYX\nEVNT c\n")};
        if (request == "L\n")
            return TcpScript{TcpStep::send("R" + body), TcpStep::pause(30), TcpStep::send(body + "\nNEXT\n")};
        return TcpScript{};
    });
    QByteArray reply;
    bool log = true;
    ASSERT_TRUE(net->NetSend("Q", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 5);
    EXPECT_EQ(reply, QByteArray("RPLYX"));
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 1; }));
    EXPECT_EQ(callback.events, QList<QByteArray>{" c"});
    EXPECT_EQ(protocolErrors(), 1);

    // A reply line that long is the failed reply; its rest does not become the next one.
    monitor.lines.clear();
    ASSERT_TRUE(net->NetSend("L", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_EQ(protocolErrors(), 1);
    EXPECT_EQ(net->NetReceiveLine(reply, log), 4);
    EXPECT_EQ(reply, QByteArray("NEXT"));
    EXPECT_EQ(protocolErrors(), 1);

    // The longest line itself is still a line.
    peer.setHandler([&](const QByteArray&) {
        return TcpScript{TcpStep::send(QByteArray(Network::kMaxLineLength, 'y') + "\nEVNT d\n")};
    });
    ASSERT_TRUE(net->NetSend("M", false));
    EXPECT_EQ(net->NetReceiveLine(reply, log), 32767);
    EXPECT_EQ(reply.size(), Network::kMaxLineLength);
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 2; }));
    EXPECT_EQ(protocolErrors(), 1);
}

// A receive held up longer than its deadline (here by a window busy with an event) that
// then finds half a reply waiting has seen no drip: it ends as a time-out.
TEST_F(NetworkTest, ReceiveHeldUpPastItsDeadlineFindingHalfAReplyTimesOut)
{
    net->SetNetTimeout(100);
    peer.setHandler([](const QByteArray&) { return TcpScript{TcpStep::send("EVNT x\nPART")}; });
    ASSERT_TRUE(connectToPeer());
    callback.onEvent = [](const QByteArray&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100 * Network::kDeadlineTimeouts + 200));
    };
    ASSERT_TRUE(net->NetSend("Q", false));
    QByteArray reply;
    bool log = true;
    EXPECT_EQ(net->NetReceiveLine(reply, log), 0);
    EXPECT_EQ(callback.events, QList<QByteArray>{" x"});
    EXPECT_EQ(linesWithPrefix("R: ").last(), QByteArray("<TIMEOUT>"));
}

TEST_F(NetworkTest, TimedOutFrameIsDiscardedAndTheNextStandsAlone)
{
    peer.setSplitter([](const QByteArray& b) { return qMax(Network::FrameStatus(b), 0); });
    peer.setReplies({{TcpStep::send(QByteArray("\0\5ab", 4))}, {TcpStep::send(QByteArray("\0\3Z", 3))}});
    ASSERT_TRUE(connectToPeer());
    net->SetNetTerminator(QByteArray());
    net->SetNetTimeout(200);
    QByteArray reply;
    bool log = true;
    ASSERT_TRUE(net->NetSend(QByteArray("\0\2", 2), false));
    EXPECT_EQ(net->NetReceiveBytes(reply, log), 0);
    EXPECT_EQ(linesWithPrefix("F: "), QList<QByteArray>{QByteArray("\0\5ab", 4)});
    EXPECT_EQ(linesWithPrefix("R: "), QList<QByteArray>{"<TIMEOUT>"});
    ASSERT_TRUE(net->NetSend(QByteArray("\0\2", 2), false));
    EXPECT_EQ(net->NetReceiveBytes(reply, log), 3);
    EXPECT_EQ(reply, QByteArray("\0\3Z", 3));
}

TEST_F(NetworkTest, EventsWaitingForTheWindowAreBounded)
{
    // While the window handles the first event it runs an exchange; the unit meanwhile
    // sends more events than are kept.
    const int sent = Network::kMaxPendingEvents + 40;
    QByteArray burst;
    for (int i = 0; i < sent; ++i)
        burst += "EVNT" + QByteArray::number(i) + "\n";
    peer.setHandler([&](const QByteArray& request) {
        if (request == "Q\n")
            return TcpScript{TcpStep::send(burst + "ANSWER\n")};
        return TcpScript{};
    });
    ASSERT_TRUE(connectToPeer());
    QByteArray answer;
    callback.onEvent = [&](const QByteArray& text) {
        if (text != "first")
            return;
        bool log = false;
        net->NetSend("Q", false);
        net->NetReceiveLine(answer, log);
    };
    peer.play({TcpStep::send("EVNTfirst\n")});
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == 1 + Network::kMaxPendingEvents; }));
    DeviceWait::wait(100);
    EXPECT_EQ(answer, QByteArray("ANSWER"));
    EXPECT_EQ(callback.events.size(), 1 + Network::kMaxPendingEvents);
    EXPECT_EQ(callback.events.value(1), QByteArray("0"));
    // Once the window has caught up, events are delivered again.
    peer.play({TcpStep::send("EVNTlater\n")});
    EXPECT_TRUE(waitFor([&] { return callback.events.last() == "later"; }));
}

// The bound is for events that arrive while the window is busy with one: a burst far
// larger than it, arriving while nothing else runs, reaches the window whole and in order.
TEST_F(NetworkTest, BurstOfEventsReachesTheWindowWhole)
{
    const int sent = Network::kMaxPendingEvents * 8;
    QByteArray burst;
    for (int i = 0; i < sent; ++i)
        burst += "EVNT" + QByteArray::number(i) + "\n";
    ASSERT_TRUE(connectToPeer());
    peer.play({TcpStep::send(burst)});
    EXPECT_TRUE(waitFor([&] { return callback.events.size() == sent; }));
    ASSERT_EQ(callback.events.size(), sent);
    for (int i = 0; i < sent; ++i)
        ASSERT_EQ(callback.events.at(i), QByteArray::number(i));
}

TEST_F(NetworkTest, HttpBodyLargerThanAnyPageIsRefused)
{
    HttpPageServer large(QByteArray(Network::kMaxHttpBody + 1000, 'x'));
    EXPECT_TRUE(net->HttpGet(QStringLiteral("http://127.0.0.1:%1").arg(large.port())).isEmpty());
    const QByteArray fits(Network::kMaxHttpBody, 'y');
    HttpPageServer largest(fits);
    EXPECT_EQ(net->HttpGet(QStringLiteral("http://127.0.0.1:%1").arg(largest.port())), fits);
}
