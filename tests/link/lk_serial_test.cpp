// The link's serial route against a device on a pseudo-terminal: what goes on the wire for
// a command with and without a system window, the "§" rule, and which selections open
// the port.

#include "support/FakeShell.h"
#include "support/FakeSystems.h"
#include "support/PtyHarness.h"
#include "support/TestContext.h"

#include "link/LK.h"
#include "link/Ports.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

constexpr char kETX = 3;

class LkSerialTest : public ::testing::Test {
protected:
    LkSerialTest()
    {
        pty.start();
        tc.settings->write(QStringLiteral("Port"), QStringLiteral("Port"), pty.slavePath());
        tc.settings->write(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"), QStringLiteral("100"));
        ctx().frame = &frame;
        ctx().monitor = &monitor;
        ctx().command = &command;
        ports = std::make_unique<Ports>(ctx());
        ctx().ports = ports.get();
        ports->InitPort();
        lk = std::make_unique<LK>(ctx());
        ctx().lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(2, [this] { return &kr; });
        lk->RegisterSystem(3, [this] { return &kr; });
        lk->RegisterSystem(6, [this] { return &wd; });
        lk->RegisterSystem(9, [this] { return &klx; });
        lk->RegisterSystem(10, [this] { return &hx; });
        // System R style: additive check character and ETX on both sides.
        kr.initFraming = 2;
        kr.initProtocol = QByteArray("~") + kETX;
        kr.telegramPrefix = "K";
        wd.initFraming = 5; // text and CR
        wd.initProtocol = "\r";
    }
    ~LkSerialTest() override
    {
        lk.reset();
        ports.reset();
        pty.stop();
    }

    AppContext& ctx() { return tc.ctx; }
    bool select(int16_t system, bool askRetry = false) { return lk->SelectSystem(system, askRetry); }
    static QByteArray withSum(const QByteArray& text)
    {
        quint8 sum = 0;
        for (char c : text)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        return text + char(sum) + kETX;
    }

    PtyHarness pty;
    TestContext tc;
    Journal journal;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    FakeCommandWindow command{journal};
    std::unique_ptr<Ports> ports;
    std::unique_ptr<LK> lk;
    FakeSystemForm kr{ctx(), QStringLiteral("frmSystemKR"), journal};
    FakeSystemForm wd{ctx(), QStringLiteral("frmSystemWD"), journal};
    FakeDirectForm klx{ctx(), QStringLiteral("frmSystemWKLX9000"), journal};
    FakeDirectForm hx{ctx(), QStringLiteral("frmSystemHX"), journal};
};

TEST_F(LkSerialTest, OnlySerialEntriesAndRecognitionOpenThePort)
{
    ASSERT_TRUE(pty.isValid());
    klx.checkResult = true;
    EXPECT_TRUE(select(9));
    EXPECT_FALSE(ports->PortOpenFlag());
    hx.checkResult = true;
    EXPECT_TRUE(select(10));
    EXPECT_FALSE(ports->PortOpenFlag());

    kr.checkResult = true;
    EXPECT_TRUE(select(3));
    EXPECT_TRUE(ports->PortOpenFlag());
    EXPECT_EQ(ports->PortName(), pty.slavePath());
}

TEST_F(LkSerialTest, RecognitionOpensThePortEvenForANetworkCandidate)
{
    EXPECT_FALSE(select(-10));
    EXPECT_TRUE(ports->PortOpenFlag());
}

TEST_F(LkSerialTest, CommandWithoutSystemGoesOutWithCarriageReturn)
{
    QString port, settings;
    int16_t protocol = 0;
    ports->OpenPort(port, settings, protocol, false);
    ports->OpenPort(port, settings, protocol, false);
    ASSERT_TRUE(ports->PortOpenFlag());
    tc.state.CurrentSystem = 0;
    ports->SetLinkProtocol("\r");

    pty.expect("ABC\r", "XYZ\r");
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(lk->SendCommand("ABC", reply, QVariant(), ok), 3);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, "XYZ");
    EXPECT_EQ(pty.transcript(), "ABC\r");
    EXPECT_EQ(pty.mismatches(), 0);

    // No reply: 0 and not ok.
    pty.clearTranscript();
    EXPECT_EQ(lk->SendCommand("Q", reply, QVariant(), ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(pty.transcript(), "Q\r");

    // An empty command sends nothing and empties the reply.
    pty.clearTranscript();
    reply = "stale";
    ok = true;
    EXPECT_EQ(lk->SendCommand(QByteArray(), reply, QVariant(), ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reply.isEmpty());

    // SendOnly without a system: command and CR, no reply read.
    EXPECT_EQ(lk->SendOnly("ST", "9"), -1);
    ASSERT_TRUE(pty.waitForBytes(3, 2000));
    EXPECT_EQ(pty.transcript(), "ST\r");
    EXPECT_EQ(lk->SendOnly(QByteArray(), "9"), 0);
}

TEST_F(LkSerialTest, SectionSignKeepsTheCheckCharacter)
{
    kr.checkResult = true;
    ASSERT_TRUE(select(2));
    ASSERT_TRUE(ports->PortOpenFlag());
    journal.clear();

    // A well-formed reply: the window frames the command, the link cuts the check
    // character and passes the reply to GetLKResult.
    pty.expect(withSum("KGV"), withSum("OK"));
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(lk->SendCommand("GV", reply, QVariant(), ok), 2);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, "OK");

    // With "§" the sign is not sent, and the reply comes back with its check character,
    // which is not tested (here it is wrong on purpose).
    const QByteArray badReply = QByteArray("OK") + char(0x55) + kETX;
    pty.expect(withSum("KGV"), badReply);
    EXPECT_EQ(lk->SendCommand("\xA7GV", reply, QVariant(), ok), 3);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, QByteArray("OK") + char(0x55));
    EXPECT_EQ(journal.matching("frmSystemKR.SetLKString"),
              QStringList({"frmSystemKR.SetLKString(GV,)", "frmSystemKR.SetLKString(GV,)"}));
    EXPECT_EQ(journal.matching("frmSystemKR.GetLKResult"),
              QStringList({"frmSystemKR.GetLKResult(2)", "frmSystemKR.GetLKResult(3)"}));

    // The same wrong reply without "§" is refused: nothing valid arrives.
    pty.expect(withSum("KGV"), badReply);
    EXPECT_EQ(lk->SendCommand("GV", reply, QVariant(), ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(pty.mismatches(), 0);

    // A reply that GetLKResult finds invalid still counts as a reply.
    kr.resultOverride = 0;
    pty.expect(withSum("KGV"), withSum("OK"));
    EXPECT_EQ(lk->SendCommand("GV", reply, QVariant(), ok), 0);
    EXPECT_TRUE(ok);
}

TEST_F(LkSerialTest, StaleInputIsFlushedBeforeTheCommand)
{
    wd.checkResult = true;
    ASSERT_TRUE(select(6));
    pty.send("late\r");
    ASSERT_TRUE(QTest::qWaitFor([this] { return lk->LkDataAvailable(); }, 2000));
    pty.expect("?70\r", "A1\r");
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(lk->SendCommand("?70", reply, QVariant(), ok), 2);
    EXPECT_EQ(reply, "A1");
    EXPECT_TRUE(monitor.lines.contains(QByteArray("F: late\r"))) << monitor.lines.join('|').toStdString();
    EXPECT_EQ(lk->SendOnly("?71", QByteArray()), -1);
    ASSERT_TRUE(pty.waitForBytes(8, 2000));
    EXPECT_EQ(pty.transcript(), "?70\r?71\r") << monitor.lines.join("|").toStdString();
}

TEST_F(LkSerialTest, RecognitionFindsTheDeviceThatAnswersItsProbe)
{
    // Only an R-type device is attached: it answers "KV" and nothing else.
    pty.allowDroppedInput(); // the system D probe ends in CR, which this ETX device cannot finish
    pty.setRule(QByteArray(1, kETX), [](const QByteArray& telegram) {
        if (telegram.endsWith(withSum("KV")))
            return PtyHarness::Script({PtyHarness::Send(withSum("QTR-AX"))});
        return PtyHarness::Script();
    });
    wd.probeCommand = "?70";
    wd.probeReply = "A";
    kr.probeCommand = "V";
    kr.probeReply = "QTR";
    EXPECT_TRUE(select(-6));
    EXPECT_EQ(tc.state.CurrentSystem, 2);
    EXPECT_EQ(wd.probeReplies, QList<QByteArray>({QByteArray()}));
    EXPECT_EQ(kr.probeReplies, QList<QByteArray>({QByteArray("QTR-AX")}));
    EXPECT_EQ(frame.systemLabel, "Orvid-I System R (QTR-AX)");
    EXPECT_TRUE(frame.systemLabelEnabled);
    EXPECT_TRUE(frame.arrayChecks.value("mnOrvidSystemKR3"));
}

} // namespace
} // namespace orvid::test
