// The one exchange policy of the families: a scope refuses while another exchange runs,
// pauses the poll timer and restores it unless Stop came; a Stop requested while the link
// waits runs once the link is idle, never inside the wait; an action the user asks for
// during a poll step runs once after it, while one during the user's own exchange is refused.

#include "support/FakeSystems.h"
#include "support/RealInput.h"
#include "support/TestContext.h"

#include "families/common/Exchange.h"
#include "link/LK.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

class ExchangePolicy : public ::testing::Test {
protected:
    ExchangePolicy()
    {
        tc.state.CurrentSystem = 2;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(2, [this] { return &form; });
    }
    // Runs fn inside a poll step of the link (the link is Busy there).
    void insidePoll(std::function<void()> fn)
    {
        const bool was = lk->PollingEnabled();
        lk->EnablePolling(true);
        form.pollHook = std::move(fn);
        lk->LkPoll();
        form.pollHook = nullptr;
        lk->EnablePolling(was);
    }

    TestContext tc;
    Journal journal;
    FakeSystemForm form{tc.ctx, QStringLiteral("frmSystemKR"), journal};
    std::unique_ptr<LK> lk;
    ExchangeGate gate{tc.ctx};
};

TEST_F(ExchangePolicy, ScopesPausePollingAndRestoreItUnlessStopped)
{
    using P = ExchangeScope::Polling;
    const struct {
        const char* what;
        P polling;
        bool pollingBefore;
        bool stopInside;
        bool actionSwitchesOn;   // the action switches polling on itself (a repeated read)
        bool pollingAfter;
    } cases[] = {
        {"restored", P::SuspendAndRestore, true, false, false, true},
        {"stays off", P::SuspendAndRestore, false, false, false, false},
        {"stop keeps it off", P::SuspendAndRestore, true, true, false, false},
        {"the action's own switch stays", P::SuspendAndRestore, false, false, true, true},
        {"suspend only", P::Suspend, true, false, false, false},
        {"kept", P::Keep, true, false, false, true},
    };
    for (const auto& c : cases) {
        lk->EnablePolling(c.pollingBefore);
        {
            ExchangeScope scope(gate, c.polling);
            ASSERT_TRUE(scope) << c.what;
            EXPECT_EQ(gate.Depth(), 1) << c.what;
            EXPECT_EQ(lk->PollTimerEnabled(), c.polling == P::Keep && c.pollingBefore) << c.what;
            EXPECT_EQ(scope.WasPolling(), c.polling != P::Keep && c.pollingBefore) << c.what;
            if (c.stopInside)
                gate.NoteStop();
            EXPECT_EQ(scope.Stopped(), c.stopInside) << c.what;
            if (c.actionSwitchesOn)
                lk->EnablePolling(true);
        }
        EXPECT_EQ(gate.Depth(), 0) << c.what;
        EXPECT_EQ(lk->PollTimerEnabled(), c.pollingAfter) << c.what;
    }
}

TEST_F(ExchangePolicy, ASecondExchangeIsRefusedWhileOneRuns)
{
    lk->EnablePolling(true);
    {
        ExchangeScope outer(gate);
        ASSERT_TRUE(outer);
        ExchangeScope inner(gate);
        EXPECT_FALSE(inner);
        EXPECT_EQ(gate.Depth(), 1);
        EXPECT_TRUE(gate.Running());
    }
    // A refused scope changes nothing: the outer one restored polling.
    EXPECT_TRUE(lk->PollTimerEnabled());

    // Inside the link's own exchange (a poll step) every scope is refused.
    bool refused = false, running = false;
    insidePoll([&] {
        ExchangeScope scope(gate, ExchangeScope::Polling::SuspendAndRestore, false);
        refused = !scope;
        running = gate.Running();
    });
    EXPECT_TRUE(refused);
    EXPECT_TRUE(running);
    EXPECT_FALSE(gate.Running());
}

TEST_F(ExchangePolicy, AStopDuringAnExchangeRunsOnceTheLinkIsIdle)
{
    int stops = 0;
    const auto stop = [&] { ++stops; };

    // The link is free: at once.
    gate.RequestStop(stop);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(gate.StopCount(), 1);

    // Requested (twice) inside a poll step: not inside it, once afterwards, and only from
    // the event loop (the code that ended the exchange may send the next telegram first).
    insidePoll([&] {
        gate.RequestStop(stop);
        gate.RequestStop(stop);
        EXPECT_TRUE(gate.StopPending());
    });
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(gate.StopCount(), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stops == 2; }, 1000));
    EXPECT_FALSE(gate.StopPending());
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 2);

    // Not wanted any more by then (another system was selected): dropped.
    insidePoll([&] { gate.RequestStop(stop, [] { return false; }); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !gate.StopPending(); }, 1000));
    EXPECT_EQ(stops, 2);
}

// A device action asked for while a poll step waits is not refused and does not run inside
// the step's wait: it is queued and runs once after the step, with the link free; asked
// again while it waits, it is refused. The input itself is never held: typing during the
// step reaches its box at once. No poll step starts while an action waits, and an action
// whose window has gone is dropped. A Stop keeps its turn behind an action asked before it.
TEST_F(ExchangePolicy, AnActionAskedForDuringAPollStepRunsOnceAfterIt)
{
    QWidget top;
    auto* layout = new QVBoxLayout(&top);
    auto* button = new QPushButton(QStringLiteral("Lesen"));
    auto* box = new QLineEdit;
    layout->addWidget(button);
    layout->addWidget(box);
    QList<bool> entered;
    ConnectAction(tc.ctx, button, &QPushButton::clicked, &top, [&] {
        ExchangeScope scope(gate, ExchangeScope::Polling::SuspendAndRestore, false);
        entered.append(static_cast<bool>(scope));
    });
    ASSERT_TRUE(activate(&top));

    int waiting = 0;
    insidePoll([&] {
        clickOn(button);
        clickOn(button);   // the same action again while it waits: refused
        clickOn(box);
        typeKeys(QStringLiteral("ab"));
        EXPECT_EQ(box->text(), QStringLiteral("ab"));
        EXPECT_TRUE(entered.isEmpty());
        waiting = lk->ActionsWaiting();
    });
    EXPECT_EQ(waiting, 1);
    // The poll tick that comes first lets the action go before it.
    journal.clear();
    insidePoll([] {});
    EXPECT_FALSE(journal.lines.join(' ').contains(QStringLiteral("Poll(")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !entered.isEmpty(); }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(entered, QList<bool>{true});
    EXPECT_EQ(lk->ActionsWaiting(), 0);

    // Asked for, then Stop, in one step: the action (its own stop first), then the stop, once each.
    QStringList order;
    insidePoll([&] {
        RunUserAction(tc.ctx, button, &top, [&] { gate.RequestStop([&] { order << "own stop"; }); order << "action"; });
        gate.RequestStop([&] { order << QStringLiteral("stop"); });
        gate.RequestStop([&] { order << QStringLiteral("stop"); });
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 3; }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(order, (QStringList{"own stop", "action", "stop"}));

    // The window asking has gone by its turn: nothing runs.
    bool ran = false;
    {
        QObject gone;
        insidePoll([&] { RunUserAction(tc.ctx, &gone, &gone, [&] { ran = true; }); });
    }
    QTest::qWait(50);
    EXPECT_FALSE(ran);
    EXPECT_EQ(lk->ActionsWaiting(), 0);

    // Input while the user's own exchange waits: at once, and refused there.
    {
        ExchangeScope own(gate);
        ASSERT_TRUE(own);
        clickOn(button);
    }
    EXPECT_EQ(entered, (QList<bool>{true, false}));
}

} // namespace
} // namespace orvid::test
