// The family base as a new family uses it: a window on FamilyForm over a telegram layer on
// FamilyProtocol, here a family that moves its own telegrams (a reader over TCP, entry 10):
// the link reaches its transport through DirectFamilyForm, the lifecycle runs the family's
// steps once, poll ticks wait for the family's own exchanges, and Stop is deferred.

#include "support/FakeShell.h"
#include "support/FakeSystems.h"
#include "support/RealInput.h"
#include "support/TestContext.h"

#include "families/common/Exchange.h"
#include "families/common/FamilyForm.h"
#include "foundations/SettingsStore.h"
#include "link/DeviceWait.h"
#include "link/LK.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

// A telegram layer with a scripted transport: every telegram is recorded and answered
// with "OK" + the telegram.
class TcpProtocol : public FamilyProtocol, public ILkDirectAccess {
public:
    TcpProtocol(AppContext& ctx, IFamilyView* view) : FamilyProtocol(ctx, "frmSystemTCP", view) {}

    bool Check() override
    {
        QByteArray reply;
        bool ok = false;
        return sendCommand("VE", reply, QVariant(), ok) > 0 && reply == "OKVE";
    }
    void Init(bool ethernet) override { inits.append(ethernet); }
    QString PollStep(const QVariant&, const QVariant&) override
    {
        ++polls;
        if (pollHook)
            pollHook();
        return QStringLiteral("polled");
    }
    void CloseLK() override {}
    void StopBuffered() override { sent.append("STOP"); }
    QByteArray BuildTelegram(const QByteArray& c, const QByteArray& s) override { return c + s + '\n'; }
    int16_t ReplyResult(QByteArray&, int16_t length, const QVariant&) override { return length; }
    ILkDirectAccess* DirectAccess() override { return this; }

    bool DataAvailable() override { return false; }
    bool DirectModeSupported() override { return true; }
    int16_t DirectRead(QByteArray& reply, int16_t&, const QVariant&, bool, bool) override
    {
        reply.clear();
        return 0;
    }
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool, bool& ok) override
    {
        sent.append(BuildTelegram(command, QByteArray()));
        if (hook)
            hook();
        reply = "OK" + command;
        ok = true;
        return static_cast<int16_t>(reply.size());
    }
    int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool) override
    {
        sent.append(BuildTelegram(command, suffix));
        return -1;
    }

    QList<bool> inits;
    QList<QByteArray> sent;
    int polls = 0;
    std::function<void()> hook;       // runs inside an exchange
    std::function<void()> pollHook;   // runs inside a poll step
};

class frmSystemTCP : public DirectFamilyForm {
public:
    explicit frmSystemTCP(AppContext& ctx) : DirectFamilyForm(ctx, QStringLiteral("frmSystemTCP"))
    {
        auto p = std::make_unique<TcpProtocol>(ctx, this);
        proto = p.get();
        setProtocol(std::move(p));
    }
    void SetLanguage() override {}
    void stop() { requestStop(); }

    TcpProtocol* proto = nullptr;
    int loads = 0, placed = 0, unloads = 0;

protected:
    void OnLoad() override { ++loads; }
    void OnPlaced() override { ++placed; }
    void OnUnload() override { ++unloads; }
};

class FamilyBase : public ::testing::Test {
protected:
    FamilyBase()
    {
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(10, [this] { return &window; });
        lk->RegisterSystem(2, [this] { return &other; });
        other.checkResult = true;
    }

    TestContext tc;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    frmSystemTCP window{tc.ctx};
    Journal journal;
    FakeSystemForm other{tc.ctx, QStringLiteral("sys2"), journal};
    std::unique_ptr<LK> lk;
};

TEST_F(FamilyBase, ADirectFamilyIsReachedThroughItsOwnTransport)
{
    bool askRetry = false;
    ASSERT_TRUE(lk->SelectSystem(10, askRetry));
    EXPECT_EQ(window.proto->inits, QList<bool>{true});
    EXPECT_EQ(lk->GetDirectAccess(), static_cast<ILkDirectAccess*>(&window));
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(lk->SendCommand("RD", reply, QVariant(), ok), 4);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, "OKRD");
    EXPECT_EQ(lk->SendOnly("WR", "xy"), -1);
    EXPECT_EQ(window.proto->sent, (QList<QByteArray>{"VE\n", "RD\n", "WRxy\n"}));
}

TEST_F(FamilyBase, LifecycleRunsTheFamilysStepsOnceAndKeepsThePlacement)
{
    window.Show();
    window.Show();
    EXPECT_TRUE(window.Loaded());
    EXPECT_EQ(window.loads, 1);
    EXPECT_EQ(window.placed, 1);
    window.resize(420, 260);
    frame.setMenuChecked(MenuEntry::OrvidWindow, true);
    window.Unload();
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(window.unloads, 1);
    EXPECT_FALSE(frame.menuChecked(MenuEntry::OrvidWindow));
    EXPECT_FALSE(tc.settings->read(QStringLiteral("Windows"), QStringLiteral("frmSystemTCP"), QString()).isEmpty());
    // Closing an unloaded window runs nothing again; a loaded one unloads once.
    window.close();
    EXPECT_EQ(window.unloads, 1);
    window.Show();
    window.close();
    EXPECT_EQ(window.loads, 2);
    EXPECT_EQ(window.unloads, 2);

    // The busy cursor nests and is given back.
    window.SetBusy(true);
    window.SetBusy(true);
    window.SetBusy(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    window.SetBusy(false);
    window.SetBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FamilyBase, PollTicksAndStopWaitForTheFamilysExchanges)
{
    bool askRetry = false;
    ASSERT_TRUE(lk->SelectSystem(10, askRetry));
    EXPECT_EQ(window.Poll(), QStringLiteral("polled"));
    {
        ExchangeScope scope(window.protocol().Exchanges());
        ASSERT_TRUE(scope);
        EXPECT_TRUE(window.ExchangeRunning());
        EXPECT_EQ(window.Poll(), QString());
    }
    EXPECT_EQ(window.proto->polls, 1);

    // Stop inside an exchange of the link: after it, not inside.
    window.proto->sent.clear();
    window.proto->hook = [this] { window.stop(); };
    QByteArray reply;
    bool ok = false;
    lk->SendCommand("RD", reply, QVariant(), ok);
    window.proto->hook = nullptr;
    EXPECT_EQ(window.proto->sent, QList<QByteArray>{"RD\n"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.proto->sent.size() == 2; }, 1000));
    EXPECT_EQ(window.proto->sent.last(), "STOP");
}

// A command sent by hand waits for its reply: no poll step runs inside that wait (it would
// take the reply). A click on a device button meanwhile is queued; a message box that
// opens while the outer wait goes on takes the user's click at once; the action runs once,
// after the outer exchange has ended.
TEST_F(FamilyBase, AMessageBoxDuringAnOuterWaitTakesItsInputAndTheActionRunsAfterIt)
{
    bool askRetry = false;
    ASSERT_TRUE(lk->SelectSystem(10, askRetry));
    auto* button = new QPushButton(QStringLiteral("Lesen"), &window);
    QList<bool> entered;
    ConnectAction(tc.ctx, button, &QPushButton::clicked, &window, [&] {
        ExchangeScope scope(window.protocol().Exchanges());
        entered.append(static_cast<bool>(scope));
    });
    window.Show();
    ASSERT_TRUE(activate(&window));
    lk->EnablePolling(true);
    int polledInside = 0;
    window.proto->pollHook = [&] { ++polledInside; };

    int answer = -1;
    int ranInsideTheOuterWait = -1;
    window.proto->hook = [&] {
        bool replied = false;
        QTimer::singleShot(0, &window, [&] {
            lk->LkPoll();
            clickOn(button);
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Orvid"), QStringLiteral("Verbindung getrennt"),
                            QMessageBox::Ok | QMessageBox::Cancel, &window);
            QTimer::singleShot(30, &box, [&box] { clickOn(box.button(QMessageBox::Ok)); });
            QTimer::singleShot(2000, &box, [&box] { box.reject(); });   // a held click never comes
            answer = box.exec();
            ranInsideTheOuterWait = static_cast<int>(entered.size());
            replied = true;
            DeviceWait::wake();
        });
        DeviceWait::waitUntil([&] { return replied; }, 5000);
    };
    QByteArray reply;
    bool ok = false;
    lk->SendCommand("RD", reply, QVariant(), ok);
    window.proto->hook = nullptr;
    window.proto->pollHook = nullptr;
    EXPECT_EQ(polledInside, 0);
    EXPECT_EQ(answer, QMessageBox::Ok);
    EXPECT_EQ(ranInsideTheOuterWait, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !entered.isEmpty(); }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(entered, QList<bool>{true});
}

// Clicked during a poll step, a write (its stop, its dialog, its telegram) and then a
// system menu entry: the selection waits for the whole write, dialog included. A button of
// the window that was left, clicked meanwhile, does not run for the new system.
TEST_F(FamilyBase, AQueuedActionWaitsForTheActionAheadOfItAndItsDialog)
{
    bool askRetry = false;
    ASSERT_TRUE(lk->SelectSystem(10, askRetry));
    auto* write = new QPushButton(QStringLiteral("Schreiben"), &window);
    auto* read = new QPushButton(QStringLiteral("Lesen"), &window);
    read->move(0, write->sizeHint().height() + 5);
    QStringList steps;
    ConnectAction(tc.ctx, write, &QPushButton::clicked, &window, [&] {
        window.stop();
        QDialog dialog(&window);
        QTimer::singleShot(30, &dialog, &QDialog::accept);
        steps << QStringLiteral("dialog on %1").arg(lk->CurrentSystemIndex());
        dialog.exec();
        ExchangeScope scope(window.protocol().Exchanges());
        lk->SendOnly("WR", QByteArray());
        steps << QStringLiteral("written on %1").arg(lk->CurrentSystemIndex());
    });
    ConnectAction(tc.ctx, read, &QPushButton::clicked, &window, [&] { steps << QStringLiteral("read"); });
    window.Show();
    ASSERT_TRUE(activate(&window));
    lk->EnablePolling(true);
    const int menuEntry = 0;
    window.proto->pollHook = [&] {
        clickOn(write);
        lk->UserAction(&menuEntry, &window, [&] {
            bool retry = false;
            lk->SelectSystem(2, retry);
            steps << QStringLiteral("selected %1").arg(lk->CurrentSystemIndex());
        });
        clickOn(read);
    };
    window.proto->sent.clear();
    lk->LkPoll();
    window.proto->pollHook = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return lk->CurrentSystemIndex() == 2; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(steps, (QStringList{QStringLiteral("dialog on 10"), QStringLiteral("written on 10"),
                                  QStringLiteral("selected 2")}));
    EXPECT_EQ(window.proto->sent, (QList<QByteArray>{"STOP", "WR\n"}));
}

} // namespace
} // namespace orvid::test
