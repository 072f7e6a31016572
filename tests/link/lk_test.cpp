// The system table, selection and recognition, the dispatch to the current window and the
// poll step, driven through fake windows that journal every call.

#include "support/FakeShell.h"
#include "support/FakeSystems.h"
#include "support/TestContext.h"

#include "foundations/MainFrame.h"
#include "link/LK.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

// A main-window stand-in that also journals the family menu marks, so the order of
// clearing and setting a mark can be checked.
class JournalFrame final : public IMainFrame {
public:
    explicit JournalFrame(Journal& j) : journal(j) {}
    bool menuChecked(MenuEntry e) const override { return checked.value(int(e), false); }
    void setMenuChecked(MenuEntry e, bool c) override { checked[int(e)] = c; }
    bool menuEnabled(MenuEntry e) const override { return enabled.value(int(e), false); }
    void setMenuEnabled(MenuEntry e, bool on) override { enabled[int(e)] = on; }
    void setMenuArrayChecked(const QString& array, int index, bool c) override
    {
        marks[array + QString::number(index)] = c;
        journal.add(QStringLiteral("mark %1(%2)=%3").arg(array).arg(index).arg(c ? 1 : 0));
    }
    void setPortLabel(const QString&) override {}
    void setPortLabelEnabled(bool) override {}
    void setSystemLabel(const QString& caption, bool on) override
    {
        systemLabel = caption;
        systemLabelEnabled = on;
    }
    int portLabelHeight() const override { return 17; }

    Journal& journal;
    QHash<int, bool> checked;
    QHash<int, bool> enabled;
    QHash<QString, bool> marks;
    QString systemLabel;
    bool systemLabelEnabled = false;
};

class LkTest : public ::testing::Test {
protected:
    LkTest()
    {
        ctx().frame = &frame;
        ctx().progress = &progress;
        ctx().command = &command;
        lk = std::make_unique<LK>(ctx());
        ctx().lk = lk.get();
        lk->InitSystems();

        // The real table's sharing: 1 and 10 one window, 2 and 3 one window, 7 and 8 one
        // I/O window. Entries 4 and 5 stay unregistered (families not built).
        lk->RegisterSystem(1, [this] { return &hx; });
        lk->RegisterSystem(2, [this] { return &kr; });
        lk->RegisterSystem(3, [this] { return &kr; });
        lk->RegisterSystem(6, [this] { return &wd; }, [this] { return &wdIO; },
                           [this] { return &wdState; });
        lk->RegisterSystem(7, [this] { return &l; }, [this] { return &wlIO; });
        lk->RegisterSystem(8, [this] { return &wl; }, [this] { return &wlIO; },
                           [this] { return &wlState; });
        lk->RegisterSystem(9, [this] { return &klx; }, [this] { return &klxIO; });
        lk->RegisterSystem(10, [this] { return &hx; });

        wd.initEnablesIO = wd.initEnablesState = true;
        wl.initEnablesIO = wl.initEnablesState = true;
        l.initEnablesIO = true;
        klx.directMode = false; // its receives take the serial route
    }

    AppContext& ctx() { return tc.ctx; }
    int16_t current() const { return tc.state.CurrentSystem; }
    bool select(int16_t system, bool askRetry = false) { return lk->SelectSystem(system, askRetry); }
    bool mark(const char* key) const { return frame.marks.value(QString::fromLatin1(key), false); }

    TestContext tc;
    Journal journal;
    JournalFrame frame{journal};
    FakeProgressBox progress{journal};
    FakeCommandWindow command{journal};
    std::unique_ptr<LK> lk;

    FakeDirectForm hx{ctx(), QStringLiteral("frmSystemHX"), journal};
    FakeSystemForm kr{ctx(), QStringLiteral("frmSystemKR"), journal};
    FakeSystemForm wd{ctx(), QStringLiteral("frmSystemWD"), journal};
    FakeSystemForm l{ctx(), QStringLiteral("frmSystemL"), journal};
    FakeSystemForm wl{ctx(), QStringLiteral("frmSystemWL"), journal};
    FakeDirectForm klx{ctx(), QStringLiteral("frmSystemWKLX9000"), journal};
    FakeToolWindow wdIO{QStringLiteral("frmSystemWDIO"), journal};
    FakeToolWindow wdState{QStringLiteral("frmSystemWDState"), journal};
    FakeToolWindow wlIO{QStringLiteral("frmSystemWLIO"), journal};
    FakeToolWindow wlState{QStringLiteral("frmSystemWLState"), journal};
    FakeToolWindow klxIO{QStringLiteral("frmSystemWKLX9000IO"), journal};
};

QStringList names(const LK& lk, std::initializer_list<int> indices)
{
    QStringList out;
    for (int i : indices)
        out.append(lk.SystemName(i));
    return out;
}

// ---------------------------------------------------------------------------------------
// Table

TEST_F(LkTest, TableNamesAndPollTimerDefaults)
{
    EXPECT_EQ(lk->SystemName(0), "kein Orvidsystem erkannt");
    EXPECT_EQ(lk->SystemName(10), "Orvid System HX Ethernet");
    lk->SetNoSystemName(QStringLiteral("no system"));
    EXPECT_EQ(lk->SystemName(0), "no system");
    EXPECT_EQ(lk->SystemName(11), QString());
    EXPECT_EQ(lk->SystemName(-1), QString());

    EXPECT_EQ(lk->PollInterval(), 1000);
    EXPECT_FALSE(lk->PollTimer()->isActive());
    EXPECT_FALSE(lk->PollTimerEnabled());
    // Entries 2 and 3 (and 1 and 10) hand out one and the same window.
    EXPECT_EQ(lk->entry(2).main(), lk->entry(3).main());
    EXPECT_EQ(lk->entry(1).main(), lk->entry(10).main());
    EXPECT_FALSE(lk->entry(4).main);
}

TEST_F(LkTest, PollIntervalFromSettings)
{
    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("AutoTimeout"), QStringLiteral(" 250 ms"));
    lk->InitSystems();
    EXPECT_EQ(lk->PollInterval(), 250);
    EXPECT_EQ(lk->PollTimer()->interval(), 250);

    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("AutoTimeout"), QStringLiteral("&H1F4"));
    lk->InitSystems();
    EXPECT_EQ(lk->PollInterval(), 500);

    // A timer holds at most 65535 ms.
    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("AutoTimeout"), QStringLiteral("99999999999"));
    lk->InitSystems();
    EXPECT_EQ(lk->PollInterval(), 65535);

    // 0 or no number: the switch can be set, but the timer never ticks (instead of
    // ticking on every pass of the event loop).
    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("AutoTimeout"), QStringLiteral("aus"));
    lk->InitSystems();
    EXPECT_EQ(lk->PollInterval(), 0);
    EXPECT_FALSE(lk->EnablePolling(true));
    EXPECT_TRUE(lk->PollTimerEnabled());
    EXPECT_FALSE(lk->PollTimer()->isActive());
    EXPECT_TRUE(lk->EnablePolling(false));
}

// ---------------------------------------------------------------------------------------
// Recognition

TEST_F(LkTest, RecognitionTriesTheGivenEntryFirstThenTheSerialEntries)
{
    struct Case {
        int16_t system;
        QStringList expected;
    };
    const QList<Case> cases = {
        {-10, names(*lk, {10, 1, 2, 3, 4, 5, 6, 7, 8})},
        {0, names(*lk, {1, 2, 3, 4, 5, 6, 7, 8})},
        {-3, names(*lk, {3, 1, 2, 4, 5, 6, 7, 8})},
        {-9, names(*lk, {9, 1, 2, 3, 4, 5, 6, 7, 8})},
        {-8, names(*lk, {8, 1, 2, 3, 4, 5, 6, 7})},
        {-11, names(*lk, {1, 2, 3, 4, 5, 6, 7, 8})}, // beyond the table: every candidate
        {-32768, names(*lk, {1, 2, 3, 4, 5, 6, 7, 8})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        progress.statuses.clear();
        journal.clear();
        EXPECT_FALSE(select(c.system));
        EXPECT_EQ(progress.statuses, c.expected);
        EXPECT_EQ(current(), 0);
        EXPECT_EQ(journal.lines.first(), "frmState.ShowForm(8)");
        EXPECT_EQ(journal.count("frmState.Unload"), 1);
        EXPECT_EQ(journal.count("frmState.IncBar(8)"), 0);
        EXPECT_EQ(frame.systemLabel, lk->SystemName(0));
        EXPECT_FALSE(frame.systemLabelEnabled);
        EXPECT_TRUE(tc.presenter.requests.isEmpty()); // no retry question without askRetry
    }
}

TEST_F(LkTest, RecognitionInitialisesEachCandidateBeforeItsCheck)
{
    EXPECT_FALSE(select(-10));
    // Entry 10 is checked over Ethernet, entry 1 over the serial link, both on one window.
    EXPECT_EQ(journal.matching("frmSystemHX."),
              QStringList({"frmSystemHX.Init(true)", "frmSystemHX.Check", "frmSystemHX.Init(false)",
                           "frmSystemHX.Check"}));
    EXPECT_EQ(journal.matching("frmSystemKR."),
              QStringList({"frmSystemKR.Init(false)", "frmSystemKR.Check", "frmSystemKR.Init(false)",
                           "frmSystemKR.Check"}));
    // Entry 9 is not among the later candidates.
    EXPECT_TRUE(journal.matching("frmSystemWKLX9000.").isEmpty());
}

TEST_F(LkTest, RecognitionStopsAtTheFirstEntryThatAnswers)
{
    frame.checked[int(MenuEntry::OrvidWindow)] = true;
    wd.checkResult = true;
    EXPECT_TRUE(select(-2));
    EXPECT_EQ(current(), 6);
    EXPECT_EQ(progress.statuses, names(*lk, {2, 1, 3, 4, 5, 6}));
    // The bar is filled after the successful check, then the box goes.
    const int check = journal.indexOf("frmSystemWD.Check");
    ASSERT_GE(check, 0);
    EXPECT_EQ(journal.lines.at(check + 1), "frmState.IncBar(8)");
    EXPECT_EQ(journal.lines.at(check + 2), "frmState.Unload");
    EXPECT_TRUE(journal.matching("frmSystemWL.").isEmpty());
    EXPECT_EQ(frame.systemLabel, "ORVID-M System D");
    EXPECT_TRUE(frame.systemLabelEnabled);
    EXPECT_TRUE(mark("mnOrvidSystem4"));
    EXPECT_TRUE(wd.loaded); // shown because mnOrvidWindow carries its mark
}

TEST_F(LkTest, FirstCandidateFoundSkipsTheRest)
{
    kr.checkResult = true;
    EXPECT_TRUE(select(-3));
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(progress.statuses, names(*lk, {3}));
    EXPECT_EQ(journal.ending(".Check"), QStringList({"frmSystemKR.Check"}));
    EXPECT_TRUE(mark("mnOrvidSystemKR4"));
    EXPECT_FALSE(mark("mnOrvidSystemKR3"));
}

TEST_F(LkTest, CancelInTheProgressBoxEndsRecognition)
{
    // First candidate 6; then entry 1 is tried, and the user cancels before entry 2.
    progress.incBarResults = {true, true, false};
    kr.checkResult = true; // would answer, but is never asked
    EXPECT_FALSE(select(-6));
    EXPECT_EQ(progress.statuses, names(*lk, {6, 1, 2}));
    EXPECT_EQ(journal.ending(".Check"), QStringList({"frmSystemWD.Check", "frmSystemHX.Check"}));
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(journal.count("frmState.Unload"), 1);
    EXPECT_FALSE(frame.systemLabelEnabled);
}

TEST_F(LkTest, RetryQuestionRepeatsUntilCancelOrFound)
{
    // Nothing answers: Retry once, then Cancel.
    tc.presenter.answers = {Msg::Retry, Msg::Cancel};
    EXPECT_FALSE(select(2, true));
    ASSERT_EQ(tc.presenter.numbers(), QList<int>({1, 1}));
    EXPECT_EQ(tc.presenter.requests.first().buttons & 0xFF, int(Msg::RetryCancel));
    EXPECT_EQ(journal.ending(".Check").size(), 2);

    // The device answers on the second try: one question only.
    tc.presenter.requests.clear();
    journal.clear();
    tc.presenter.answers = {Msg::Retry};
    kr.checkResults = {false, true};
    EXPECT_TRUE(select(2, true));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>({1}));
    EXPECT_EQ(journal.ending(".Check").size(), 2);
    EXPECT_EQ(current(), 2);

    // A recognition is repeated as a whole.
    tc.presenter.requests.clear();
    progress.statuses.clear();
    tc.presenter.answers = {Msg::Retry, Msg::Cancel};
    kr.checkResult = false;
    EXPECT_FALSE(select(0, true));
    EXPECT_EQ(progress.statuses.size(), 16);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>({1, 1}));
}

TEST_F(LkTest, UnbuiltEntryDoesNotAnswer)
{
    EXPECT_FALSE(select(4));
    // Direct selection keeps the entry, shown greyed.
    EXPECT_EQ(current(), 4);
    EXPECT_EQ(frame.systemLabel, "ORVID-I System D (Fixcode)");
    EXPECT_FALSE(frame.systemLabelEnabled);
    EXPECT_EQ(lk->CurrentWindow(), nullptr);
    // Dispatch with an entry but no window goes nowhere and does not crash.
    QVariant v = 7;
    lk->LkGetData(200, v);
    EXPECT_EQ(v.toInt(), 7);
    EXPECT_TRUE(lk->LkCommandList().isEmpty());
    EXPECT_EQ(lk->LkPoll(), QString());
    lk->CloseSystem();
}

TEST_F(LkTest, SelectionBeyondTheTableIsRefused)
{
    EXPECT_FALSE(select(11));
    EXPECT_EQ(current(), 0);
    EXPECT_TRUE(journal.lines.isEmpty());
}

// ---------------------------------------------------------------------------------------
// Change of system

TEST_F(LkTest, SelectingTheCurrentEntryAgainChecksWithoutClosing)
{
    frame.checked[int(MenuEntry::OrvidWindow)] = true;
    kr.checkResult = true;
    ASSERT_TRUE(select(2));
    EXPECT_TRUE(kr.loaded);
    journal.clear();

    EXPECT_TRUE(select(2));
    EXPECT_EQ(journal.matching("frmSystemKR."),
              QStringList({"frmSystemKR.Init(false)", "frmSystemKR.Check"}));
    EXPECT_EQ(journal.matching("mark "),
              QStringList({"mark mnOrvidSystemKR(3)=0", "mark mnOrvidSystemKR(3)=1"}));
    EXPECT_TRUE(kr.loaded);
}

TEST_F(LkTest, ChangeBetweenTheTwoEntriesOfOneWindow)
{
    frame.checked[int(MenuEntry::OrvidWindow)] = true;
    frame.checked[int(MenuEntry::Command)] = true;
    hx.onUnload = [this] { frame.checked[int(MenuEntry::OrvidWindow)] = false; };
    hx.checkResult = true;
    ASSERT_TRUE(select(1));
    EXPECT_TRUE(hx.loaded);
    EXPECT_TRUE(command.loaded);
    EXPECT_TRUE(frame.enabled.value(int(MenuEntry::Command)));
    journal.clear();

    ASSERT_TRUE(select(10));
    EXPECT_EQ(journal.matching("frmSystemHX."),
              QStringList({"frmSystemHX.Init(true)", "frmSystemHX.Check",
                           "frmSystemHX.Init(false)", "frmSystemHX.CloseLK", "frmSystemHX.Unload",
                           "frmSystemHX.Init(true)", "frmSystemHX.Show"}));
    EXPECT_TRUE(hx.lastEthernet);
    // The window's own Unload cleared its mark; the mark is kept as it was.
    EXPECT_TRUE(frame.checked.value(int(MenuEntry::OrvidWindow)));
    EXPECT_FALSE(mark("mnOrvidControl0"));
    EXPECT_TRUE(mark("mnOrvidControl1"));
    // No command window on the Ethernet entry.
    EXPECT_FALSE(frame.enabled.value(int(MenuEntry::Command)));
    EXPECT_FALSE(command.loaded);
    EXPECT_EQ(frame.systemLabel, "Orvid System HX Ethernet");

    // Back to serial: the window closes down in its Ethernet mode (so it ends its own
    // connection), and the command window comes back as its mark says.
    journal.clear();
    ASSERT_TRUE(select(1));
    EXPECT_EQ(journal.matching("frmSystemHX."),
              QStringList({"frmSystemHX.Init(false)", "frmSystemHX.Check",
                           "frmSystemHX.Init(true)", "frmSystemHX.CloseLK", "frmSystemHX.Unload",
                           "frmSystemHX.Init(false)", "frmSystemHX.Show"}));
    EXPECT_FALSE(hx.lastEthernet);
    EXPECT_TRUE(frame.enabled.value(int(MenuEntry::Command)));
    EXPECT_TRUE(command.loaded);
    EXPECT_EQ(journal.lines.last(), "frmCommand.RefreshForm");
}

// The two network entries share one connection: the entry left closes down before the
// other one's Check connects; its window is unloaded afterwards as on any change.
TEST_F(LkTest, ChangeBetweenTheNetworkEntriesClosesThePreviousFirst)
{
    frame.checked[int(MenuEntry::OrvidWindow)] = true;
    hx.checkResult = klx.checkResult = true;
    ASSERT_TRUE(select(9));
    journal.clear();
    ASSERT_TRUE(select(10));
    EXPECT_EQ(journal.matching("frmSystem"),
              QStringList({"frmSystemWKLX9000.Init(false)", "frmSystemWKLX9000.CloseLK", "frmSystemHX.Init(true)",
                           "frmSystemHX.Check", "frmSystemWKLX9000.Unload", "frmSystemHX.Init(true)",
                           "frmSystemHX.Show"}));
    journal.clear();
    ASSERT_TRUE(select(9));
    EXPECT_EQ(journal.matching("frmSystem").mid(0, 4),
              QStringList({"frmSystemHX.Init(true)", "frmSystemHX.CloseLK", "frmSystemWKLX9000.Init(false)",
                           "frmSystemWKLX9000.Check"}));
}

// A window whose mode lives on the poll steps switches polling on in its Check; the
// previous window's close-down, which switches polling off for itself, runs afterwards and
// must not leave the new one unpolled. Polling stays off when the new entry did not ask.
TEST_F(LkTest, ThePreviousWindowsCloseDownKeepsThePollingTheNewCheckAskedFor)
{
    for (FakeSystemForm* old : std::initializer_list<FakeSystemForm*>{&wd, &klx}) {
        old->checkResult = true;
        old->closeHook = [this] { lk->EnablePolling(false); };
    }
    for (bool asked : {true, false}) {
        SCOPED_TRACE(asked);
        wl.checkHook = [this, asked] {
            lk->EnablePolling(asked);
            return true;
        };
        for (int16_t from : {6, 9}) {
            ASSERT_TRUE(select(from));
            ASSERT_TRUE(select(8));
            EXPECT_EQ(lk->PollingEnabled(), asked) << "from " << from;
        }
    }
}

TEST_F(LkTest, ChangeClosesThePreviousWindowsAndOpensTheNewOnesByTheirMarks)
{
    for (MenuEntry e : {MenuEntry::OrvidWindow, MenuEntry::IO, MenuEntry::State})
        frame.checked[int(e)] = true;
    wdIO.onUnload = [this] { frame.checked[int(MenuEntry::IO)] = false; };
    wd.checkResult = true;
    wl.checkResult = true;

    ASSERT_TRUE(select(6));
    EXPECT_TRUE(wd.loaded && wdIO.loaded && wdState.loaded);
    EXPECT_TRUE(frame.enabled.value(int(MenuEntry::OrvidWindow)));
    EXPECT_TRUE(frame.enabled.value(int(MenuEntry::IO)));
    journal.clear();

    ASSERT_TRUE(select(8));
    // The old window closes in its own framing before the new one takes over, and the
    // new window is initialised again after that.
    const QStringList expected = {
        "frmSystemWL.Init(false)", "frmSystemWL.Check",
        "frmSystemWD.Init(false)", "frmSystemWD.CloseLK", "frmSystemWD.Unload",
        "frmSystemWDIO.Unload", "frmSystemWDState.Unload",
        "frmSystemWL.Init(false)",
        "mark mnOrvidSystem(4)=0", "mark mnOrvidSystemL(2)=1",
        "frmSystemWL.Show", "frmSystemWLIO.Show", "frmSystemWLState.Show",
        "frmCommand.RefreshForm"};
    EXPECT_EQ(journal.lines, expected);
    EXPECT_TRUE(frame.checked.value(int(MenuEntry::IO)));

    // Entry 7 shares the I/O window, has no state window, and gets a menu mark of its own.
    l.checkResult = true;
    journal.clear();
    ASSERT_TRUE(select(7));
    EXPECT_TRUE(mark("mnOrvidSystemL1"));
    EXPECT_FALSE(mark("mnOrvidSystemL2"));
    EXPECT_FALSE(frame.enabled.value(int(MenuEntry::State)));
    EXPECT_EQ(journal.count("frmSystemWLIO.Unload"), 1);
    EXPECT_EQ(journal.count("frmSystemWLIO.Show"), 1);
    EXPECT_EQ(journal.count("frmSystemWLState.Unload"), 1);
    EXPECT_EQ(journal.count("frmSystemWLState.Show"), 0);

    // Nothing answers any more: everything closes and the menu entries are disabled,
    // while their marks stay for the next system.
    l.checkResult = false;
    wl.checkResult = false;
    wd.checkResult = false;
    journal.clear();
    EXPECT_FALSE(select(-7));
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(journal.count("frmSystemL.CloseLK"), 1);
    EXPECT_EQ(journal.count("frmSystemL.Unload"), 1);
    EXPECT_FALSE(frame.enabled.value(int(MenuEntry::OrvidWindow)));
    EXPECT_FALSE(frame.enabled.value(int(MenuEntry::IO)));
    EXPECT_FALSE(frame.enabled.value(int(MenuEntry::State)));
    EXPECT_TRUE(frame.checked.value(int(MenuEntry::OrvidWindow)));
    EXPECT_FALSE(mark("mnOrvidSystemL1"));
    EXPECT_EQ(frame.systemLabel, lk->SystemName(0));
    EXPECT_FALSE(frame.systemLabelEnabled);
}

TEST_F(LkTest, UnmarkedWindowsAreNeitherUnloadedNorShown)
{
    wd.checkResult = true;
    kr.checkResult = true;
    ASSERT_TRUE(select(6));
    EXPECT_FALSE(wd.loaded);
    wd.loaded = true; // opened by the user, but its mark was cleared meanwhile
    journal.clear();
    ASSERT_TRUE(select(2));
    EXPECT_EQ(journal.count("frmSystemWD.CloseLK"), 1);
    EXPECT_EQ(journal.count("frmSystemWD.Unload"), 0);
    EXPECT_EQ(journal.count("frmSystemKR.Show"), 0);
}

TEST_F(LkTest, CloseSystemClosesOnlyASelectedSystem)
{
    lk->CloseSystem();
    EXPECT_TRUE(journal.lines.isEmpty());
    kr.checkResult = true;
    ASSERT_TRUE(select(3));
    journal.clear();
    lk->CloseSystem();
    EXPECT_EQ(journal.lines, QStringList({"frmSystemKR.CloseLK"}));
}

// ---------------------------------------------------------------------------------------
// Re-entrance

TEST_F(LkTest, SecondSelectionWhileOneRunsIsRefused)
{
    bool nestedResult = true;
    bool busyInside = false;
    kr.checkHook = [&] {
        busyInside = lk->Busy();
        nestedResult = select(6);
        return true;
    };
    EXPECT_FALSE(lk->Busy());
    EXPECT_TRUE(select(2));
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(nestedResult);
    EXPECT_TRUE(journal.matching("frmSystemWD.").isEmpty());
    EXPECT_EQ(current(), 2);
    EXPECT_FALSE(lk->Busy());
}

TEST_F(LkTest, SelectionStartedDuringAPollStepIsRefused)
{
    kr.checkResult = true;
    ASSERT_TRUE(select(2));
    bool nested = true;
    command.pollHook = [&] { nested = select(6); };
    lk->LkPoll();
    EXPECT_FALSE(nested);
    EXPECT_EQ(current(), 2);
    EXPECT_FALSE(lk->Busy());
}

// ---------------------------------------------------------------------------------------
// Dispatch

TEST_F(LkTest, DirectRouteHandsTheWholeExchangeToTheWindow)
{
    hx.checkResult = true;
    ASSERT_TRUE(select(1));
    journal.clear();

    QByteArray reply = "old";
    bool ok = false;
    // An empty command is passed on; the log flag is false when no log option is given.
    EXPECT_EQ(lk->SendCommand(QByteArray(), reply, QVariant(), ok), 5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, "REPLY");
    EXPECT_EQ(lk->SendCommand("\xA7GV", reply, true, ok), 5);
    EXPECT_EQ(hx.readCommands, QList<QByteArray>({QByteArray(), QByteArray("\xA7GV")}));
    EXPECT_EQ(hx.readLogFlags, QList<bool>({false, true}));
    EXPECT_EQ(journal.matching("frmSystemHX.SetLKString").size(), 0);

    EXPECT_EQ(lk->SendOnly("ST", "1", true), -1);
    EXPECT_EQ(lk->SendOnly(QByteArray(), "1"), 0);
    EXPECT_EQ(journal.matching("frmSystemHX.WriteData"), QStringList({"frmSystemHX.WriteData(ST,1)"}));

    // Receives go to the window only while it supports direct mode.
    QByteArray r;
    int16_t count = 0;
    EXPECT_EQ(lk->LkReceive(r, count, QVariant(), true, true), 5);
    EXPECT_EQ(journal.count("frmSystemHX.DirectRead(0,noCheck)"), 1);
    hx.dataWaiting = true;
    EXPECT_TRUE(lk->LkDataAvailable());
    hx.directMode = false;
    journal.clear();
    EXPECT_FALSE(lk->LkDataAvailable()); // no port in this context
    EXPECT_EQ(lk->LkReceive(r, count), 0);
    EXPECT_TRUE(journal.lines.isEmpty());
}

TEST_F(LkTest, WindowWithoutDirectAccessTakesTheSerialRoute)
{
    kr.checkResult = true;
    ASSERT_TRUE(select(2));
    EXPECT_EQ(lk->GetDirectAccess(), nullptr);
    EXPECT_EQ(lk->CurrentWindow(), &kr);
    klx.checkResult = true;
    ASSERT_TRUE(select(9));
    EXPECT_EQ(lk->GetDirectAccess(), static_cast<ILkDirectAccess*>(&klx));
    EXPECT_EQ(lk->CurrentIOWindow(), &klxIO);
    EXPECT_EQ(lk->CurrentStateWindow(), nullptr);
}

TEST_F(LkTest, DataItemsOneToThreeAreHeldByTheLink)
{
    QVariant v = QStringLiteral("untouched");
    lk->LkGetData(2, v);
    EXPECT_EQ(v.toByteArray(), QByteArray()); // empty at start
    lk->LkPutData(2, QByteArray("V2.31\xB5"));
    lk->LkPutData(1, QStringLiteral("QTR-AX \u00B5")); // text is kept one byte per character
    lk->LkGetData(2, v);
    EXPECT_EQ(v.toByteArray(), QByteArray("V2.31\xB5"));
    lk->LkGetData(1, v);
    EXPECT_EQ(v.toByteArray(), QByteArray("QTR-AX \xB5"));

    // Other ids with no system: dropped, value untouched.
    lk->LkPutData(200, 3);
    v = QStringLiteral("untouched");
    lk->LkGetData(200, v);
    EXPECT_EQ(v.toString(), "untouched");
    EXPECT_TRUE(journal.lines.isEmpty());

    wd.checkResult = true;
    ASSERT_TRUE(select(6));
    journal.clear();
    lk->LkPutData(201, 4);
    lk->LkGetData(201, v);
    EXPECT_EQ(v.toInt(), 4);
    // Ids 1 to 3 never reach the window, also with a system selected.
    lk->LkPutData(3, QByteArray("tag\0data", 8));
    lk->LkGetData(3, v);
    EXPECT_EQ(v.toByteArray(), QByteArray("tag\0data", 8));
    EXPECT_EQ(journal.lines, QStringList({"frmSystemWD.PutData(201)", "frmSystemWD.GetData(201)"}));
}

TEST_F(LkTest, CommandListAndStopGoToTheCurrentWindow)
{
    EXPECT_TRUE(lk->LkCommandList().isEmpty());
    lk->LkStopBuffered();
    EXPECT_TRUE(journal.lines.isEmpty());

    kr.commands.Add(1, QStringLiteral("Version"));
    kr.checkResult = true;
    ASSERT_TRUE(select(2));
    EXPECT_FALSE(lk->EnablePolling(true));
    journal.clear();
    EXPECT_EQ(lk->LkCommandList().count(), 1);
    lk->LkStopBuffered();
    EXPECT_FALSE(lk->PollTimerEnabled());
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(journal.lines, QStringList({"frmSystemKR.CommandList", "frmSystemKR.StopBuffered"}));
}

// ---------------------------------------------------------------------------------------
// Polling

TEST_F(LkTest, EnablePollingReturnsThePreviousState)
{
    EXPECT_FALSE(lk->EnablePolling(true));
    EXPECT_TRUE(lk->PollTimer()->isActive());
    EXPECT_TRUE(lk->PollingEnabled());
    // Switching on ends a multi-reply command's mode; switching off does not touch it.
    EXPECT_EQ(journal.lines, QStringList({"frmCommand.SetBuffered(false)"}));
    EXPECT_TRUE(lk->EnablePolling(true));

    // A caller that switches off around its own exchange restores what it found.
    const bool previous = lk->EnablePolling(false);
    EXPECT_TRUE(previous);
    EXPECT_FALSE(lk->PollTimer()->isActive());
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_FALSE(lk->EnablePolling(previous));
    EXPECT_TRUE(lk->PollTimer()->isActive());
    EXPECT_EQ(journal.count("frmCommand.SetBuffered(false)"), 3);
}

TEST_F(LkTest, NestedEnablePollingIsIgnored)
{
    // The command window's SetBuffered runs inside EnablePolling and tries to switch
    // polling off again.
    class Reentrant final : public FakeCommandWindow {
    public:
        Reentrant(Journal& j, LK& link) : FakeCommandWindow(j), lk(link) {}
        void SetBuffered(bool on) override
        {
            FakeCommandWindow::SetBuffered(on);
            nested = lk.EnablePolling(false);
            nestedCalls++;
        }
        LK& lk;
        bool nested = true;
        int nestedCalls = 0;
    } reentrant(journal, *lk);
    ctx().command = &reentrant;

    EXPECT_FALSE(lk->EnablePolling(true));
    EXPECT_EQ(reentrant.nestedCalls, 1);
    EXPECT_FALSE(reentrant.nested);
    EXPECT_TRUE(lk->PollTimer()->isActive()); // the outer switch stands
    EXPECT_TRUE(lk->PollingEnabled());
    ctx().command = &command;
}

TEST_F(LkTest, TemporaryPollingCollectsOnlyTheCommandWindowsReplies)
{
    wd.checkResult = true;
    wd.pollResult = QStringLiteral("polled");
    ASSERT_TRUE(select(6));
    journal.clear();

    EXPECT_FALSE(lk->EnablePolling(true, true));
    EXPECT_TRUE(lk->PollTimer()->isActive());
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_TRUE(lk->BufferedPolling());
    EXPECT_TRUE(journal.lines.isEmpty()); // the multi-reply mode is not ended
    EXPECT_EQ(lk->LkPoll(), QString());
    EXPECT_EQ(journal.lines, QStringList({"frmCommand.Poll"}));

    journal.clear();
    EXPECT_TRUE(lk->EnablePolling(true));
    EXPECT_FALSE(lk->BufferedPolling());
    EXPECT_EQ(lk->LkPoll(1, QStringLiteral("x")), "polled");
    EXPECT_EQ(journal.lines, QStringList({"frmCommand.SetBuffered(false)", "frmCommand.Poll",
                                          "frmSystemWD.Poll(1,x)"}));
}

TEST_F(LkTest, PollStepIsSkippedWithoutSystemAndWhileRunning)
{
    lk->EnablePolling(true);
    journal.clear();
    EXPECT_EQ(lk->LkPoll(), QString());
    EXPECT_TRUE(journal.lines.isEmpty());

    kr.checkResult = true;
    kr.pollResult = QStringLiteral("outer");
    ASSERT_TRUE(select(2));
    EXPECT_FALSE(lk->PollingEnabled()); // the selection leaves polling off
    lk->EnablePolling(true);
    QString inner = QStringLiteral("not run");
    kr.pollHook = [&] { inner = lk->LkPoll(); };
    journal.clear();
    EXPECT_EQ(lk->LkPoll(), "outer");
    EXPECT_EQ(inner, QString());
    EXPECT_EQ(journal.lines, QStringList({"frmCommand.Poll", "frmSystemKR.Poll(,)"}));
    EXPECT_FALSE(lk->Busy());

    // After the step a new one runs again.
    kr.pollHook = nullptr;
    EXPECT_EQ(lk->LkPoll(), "outer");

    // Nor does one run while a selection sets the windows up, polling on or not.
    inner = QStringLiteral("not run");
    kr.checkHook = [&] { lk->EnablePolling(true); inner = lk->LkPoll(); return true; };
    ASSERT_TRUE(select(2));
    EXPECT_EQ(inner, QString());
}

TEST_F(LkTest, SelectionSwitchesPollingOff)
{
    EXPECT_FALSE(lk->EnablePolling(true));
    kr.checkHook = [&] {
        EXPECT_FALSE(lk->PollTimer()->isActive());
        return true;
    };
    ASSERT_TRUE(select(2));
    EXPECT_FALSE(lk->PollTimerEnabled());
    EXPECT_FALSE(lk->PollingEnabled());
}

TEST_F(LkTest, WorksWithoutOptionalContextMembers)
{
    ctx().frame = nullptr;
    ctx().progress = nullptr;
    ctx().command = nullptr;
    ctx().state = nullptr;
    kr.checkResult = true;
    EXPECT_TRUE(select(-3));
    EXPECT_EQ(lk->CurrentSystemIndex(), 3);
    EXPECT_EQ(lk->CurrentWindow(), &kr);
    EXPECT_FALSE(lk->EnablePolling(true));
    EXPECT_EQ(lk->LkPoll(), QString());
    kr.checkResult = false;
    bool ask = true;
    ctx().language = nullptr; // no one to ask: no retry loop
    EXPECT_FALSE(lk->SelectSystem(0, ask));
    EXPECT_EQ(lk->CurrentSystemIndex(), 0);
    QByteArray reply;
    bool ok = true;
    EXPECT_EQ(lk->SendCommand("X", reply, QVariant(), ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lk->SendOnly("X", QByteArray()), 0);
}

} // namespace
} // namespace orvid::test
