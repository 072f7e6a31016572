// Family windows built on first use: one instance per window however many entries share
// it, adopted into the main window's MDI area when there is one and deleted at the end
// when not, and a system's main window linked with its small windows in any opening order.

#include "support/TestContext.h"

#include "families/Families.h"
#include "families/FamilyWindows.h"
#include "link/LK.h"
#include "shell/frmMain.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

struct Probe : QWidget {
    explicit Probe(AppContext&) { ++built; }
    static inline int built = 0;
};
struct ProbeIO : QWidget {
    explicit ProbeIO(AppContext&) {}
};
struct ProbeState : QWidget {
    explicit ProbeState(AppContext&) {}
};

TEST(FamilyWindows, OneWindowBuiltOnFirstUseSharedByCopiesAndDeletedWithTheLast)
{
    TestContext tc;
    Probe::built = 0;
    QPointer<Probe> window;
    {
        auto first = OnFirstUse<Probe>(tc.ctx);
        EXPECT_EQ(Probe::built, 0);
        const auto second = first;
        window = second();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(first(), window.data());
        EXPECT_EQ(Probe::built, 1);
        EXPECT_EQ(window->parentWidget(), nullptr);   // no main window: top-level
        first = nullptr;
        EXPECT_NE(window, nullptr);                  // the other copy still holds it
    }
    EXPECT_EQ(window, nullptr);

    // A window deleted by someone else is built again rather than handed out dangling.
    auto get = OnFirstUse<Probe>(tc.ctx);
    delete get();
    EXPECT_NE(get(), nullptr);
    EXPECT_EQ(Probe::built, 3);
}

TEST(FamilyWindows, WithAMainWindowTheyGoIntoItsAreaAndBelongToIt)
{
    TestContext tc;
    auto frame = std::make_unique<frmMain>(tc.ctx);
    QPointer<Probe> window;
    {
        const auto get = OnFirstUse<Probe>(tc.ctx);
        window = get();
        auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        ASSERT_NE(sub, nullptr);
        EXPECT_TRUE(frame->mdiArea()->subWindowList().contains(sub));
    }
    EXPECT_NE(window, nullptr);   // kept by its sub-window, not deleted by the holder
    frame.reset();
    EXPECT_EQ(window, nullptr);
}

TEST(FamilyWindows, MainWindowIsLinkedWithItsSmallWindowsInAnyOrder)
{
    TestContext tc;
    struct Call {
        QWidget* main;
        QWidget* io;
        QWidget* state;
        bool operator==(const Call&) const = default;
    };
    QList<Call> calls;
    const auto link = [&calls](Probe& m, ProbeIO* io, ProbeState* state) { calls.append({&m, io, state}); };

    auto late = OnFirstUse<Probe, ProbeIO, ProbeState>(tc.ctx, link);
    ProbeIO* io = late.io();
    EXPECT_TRUE(calls.isEmpty());   // nothing to link yet
    Probe* main = late.main();
    ProbeState* state = late.state();
    EXPECT_EQ(late.io(), io);
    EXPECT_EQ(late.main(), main);
    EXPECT_EQ(calls, (QList<Call>{{main, io, nullptr}, {main, io, state}}));

    calls.clear();
    auto early = OnFirstUse<Probe, ProbeIO, ProbeState>(tc.ctx, link);
    main = early.main();
    state = early.state();
    io = early.io();
    EXPECT_EQ(calls, (QList<Call>{{main, nullptr, nullptr}, {main, nullptr, state}, {main, io, state}}));
}

TEST(FamilyWindows, RegisteredFamiliesShareAndSplitTheirWindowsAsTheirEntriesNeed)
{
    TestContext tc;
    LK lk(tc.ctx);
    tc.ctx.lk = &lk;
    struct Unset {
        AppContext& ctx;
        ~Unset() { ctx.lk = nullptr; }
    } unset{tc.ctx};
    lk.InitSystems();
    RegisterFamilies(tc.ctx);
    ASSERT_TRUE(lk.entry(2).main && lk.entry(3).main && lk.entry(6).main);
    EXPECT_EQ(lk.entry(2).main(), lk.entry(3).main());
    ASSERT_TRUE(lk.entry(6).io && lk.entry(6).state);
    IToolWindow* io = lk.entry(6).io();
    IToolWindow* state = lk.entry(6).state();
    ASSERT_NE(io, nullptr);
    ASSERT_NE(state, nullptr);
    EXPECT_NE(io, state);
    EXPECT_EQ(lk.entry(6).io(), io);
    EXPECT_NE(static_cast<void*>(lk.entry(6).main()), static_cast<void*>(lk.entry(2).main()));
    EXPECT_EQ(io->Name(), QStringLiteral("frmSystemWDIO"));
    EXPECT_EQ(state->Name(), QStringLiteral("frmSystemWDState"));
}

} // namespace
} // namespace orvid::test
