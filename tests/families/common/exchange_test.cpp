// The one exchange policy of the families: a scope refuses while another exchange runs,
// pauses the poll timer and restores it unless Stop came; a Stop requested while the link
// waits runs once the link is idle, never inside the wait; the user's input during a poll
// step waits for its end, while a click during the user's own exchange is refused.

#include "support/FakeSystems.h"
#include "support/TestContext.h"

#include "families/common/Exchange.h"
#include "link/LK.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
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

// A click that comes while a poll step waits is not refused: it reaches its button once
// the step has ended, with the link free. A click during the user's own exchange comes at
// once, and the scope it opens is refused.
TEST_F(ExchangePolicy, AClickDuringAPollStepRunsAfterIt)
{
    QPushButton button(QStringLiteral("OK"));
    button.show();
    QList<bool> refusedAtClick;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ExchangeScope scope(gate, ExchangeScope::Polling::SuspendAndRestore, false);
        refusedAtClick.append(!scope);
    });
    insidePoll([&] {
        PollStepScope step;
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClick(&button, Qt::Key_Space);
        EXPECT_TRUE(refusedAtClick.isEmpty());
        EXPECT_EQ(PollStepScope::HeldInput(), 4);   // press, release, key press, release
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return refusedAtClick.size() == 2; }, 1000));
    EXPECT_EQ(refusedAtClick, (QList<bool>{false, false}));
    EXPECT_EQ(PollStepScope::HeldInput(), 0);

    // A window the step opens itself (a message) is answered while the step waits.
    insidePoll([&] {
        PollStepScope step;
        QDialog message;
        message.setModal(true);
        QPushButton ok(QStringLiteral("OK"), &message);
        int answered = 0;
        QObject::connect(&ok, &QPushButton::clicked, [&] { ++answered; });
        message.show();
        QTest::mouseClick(&ok, Qt::LeftButton);
        EXPECT_EQ(answered, 1);
        EXPECT_EQ(PollStepScope::HeldInput(), 0);
    });

    // Input while the user's own exchange waits: delivered at once and refused there.
    {
        ExchangeScope own(gate);
        ASSERT_TRUE(own);
        QTest::mouseClick(&button, Qt::LeftButton);
    }
    EXPECT_EQ(refusedAtClick, (QList<bool>{false, false, true}));
}

TEST_F(ExchangePolicy, TheLinkSaysWhenItBecomesIdle)
{
    QSignalSpy idle(lk.get(), &LK::Idle);
    // Free now: still from the event loop, never inside the request.
    lk->RequestIdleNotice();
    EXPECT_EQ(idle.count(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle.count() == 1; }, 1000));

    // Asked inside a poll step: after it, once.
    insidePoll([&] {
        lk->RequestIdleNotice();
        lk->RequestIdleNotice();
    });
    EXPECT_EQ(idle.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle.count() == 2; }, 1000));
    QCoreApplication::processEvents();
    EXPECT_EQ(idle.count(), 2);

    // Nobody asked: no notice however many exchanges end.
    insidePoll([] {});
    QCoreApplication::processEvents();
    EXPECT_EQ(idle.count(), 2);
}

} // namespace
} // namespace orvid::test
