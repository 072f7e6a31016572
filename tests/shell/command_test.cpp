// The command window: escape conversion, reply rendering, the history and its storage,
// sending and collecting replies through the link on both routes, and the popup menus.

#include "support/FakeShell.h"
#include "support/FakeSystems.h"
#include "support/PtyHarness.h"
#include "support/RealInput.h"
#include "support/TestContext.h"

#include "link/LK.h"
#include "link/Ports.h"
#include "shell/PopupMenu.h"
#include "shell/frmCommand.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace orvid;
using namespace orvid::test;

namespace {

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray out;
    for (int c : codes)
        out += char(c);
    return out;
}

// ---- escapes, bytes, rendering -------------------------------------------------------

TEST(CommandEscapes, ConvertsDecimalHexAndDoubledCharacters)
{
    struct Case {
        const char* typed;
        QByteArray sent;
    };
    const Case cases[] = {
        {"A\\7B", bytes({'A', 7, 'B'})},
        {"\\2", bytes({2})},
        {"\\065", "A"},
        {"\\300", bytes({30, '0'})},          // longest run that still fits a byte
        {"\\999", bytes({99, '9'})},
        {"\\256", bytes({25, '6'})},
        {"\\255", bytes({255})},
        {"\\0", bytes({0})},
        {"\\0001", bytes({0, '1'})},          // at most three digits
        {"\\", "\\"},                         // lone at the end
        {"\\x", "\\x"},
        {".0d.0a", "\r\n"},
        {".0D", "\r"},
        {".1b", bytes({27})},
        {".F", bytes({15})},
        {".fff", bytes({255, 'f'})},          // at most two hex digits
        {".x", ".x"},
        {".G", ".G"},
        {".", "."},
        {"\\\\2", "\\2"},
        {"..41", ".41"},
        {"\\\\..", "\\."},
        {"\\\\\\65", bytes({'\\', 65})},      // "\\" is consumed, then "\65" read afresh
        {" RD 1 ", " RD 1 "},                 // not trimmed
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frmCommand::ConvertEscapes(QByteArray(c.typed)), c.sent) << c.typed;
}

TEST(CommandEscapes, TypedTextBecomesOneBytePerCharacter)
{
    QByteArray out;
    ASSERT_TRUE(frmCommand::TextToBytes(QStringLiteral("\u00A7RD"), out));
    EXPECT_EQ(out, QByteArray("\xA7RD"));
    ASSERT_TRUE(frmCommand::TextToBytes(QStringLiteral("\u00FF"), out));
    EXPECT_EQ(out, bytes({255}));
    // A character without a single-byte code cannot be sent as typed.
    EXPECT_FALSE(frmCommand::TextToBytes(QStringLiteral("A\u20ACB"), out));
}

TEST(CommandReply, OneCharacterWithHexCodeLongerOnesByName)
{
    EXPECT_EQ(frmCommand::RenderReply(bytes({6})), QStringLiteral("\x06 (HEX=06)"));
    EXPECT_EQ(frmCommand::RenderReply("A"), QStringLiteral("A (HEX=41)"));
    EXPECT_EQ(frmCommand::RenderReply(bytes({0xAB})), QString(QChar(0xAB)) + QStringLiteral(" (HEX=AB)"));
    // 0x80 is the euro sign in the code page the monitor and the reply names use.
    EXPECT_EQ(frmCommand::RenderReply(bytes({0x80})), QString(QChar(0x20AC)) + QStringLiteral(" (HEX=80)"));
    EXPECT_EQ(frmCommand::RenderReply(bytes({2, '0', '0', 3})), QStringLiteral("<STX>00<ETX>"));
    EXPECT_EQ(frmCommand::RenderReply(bytes({6, 6})), QStringLiteral("<ACK><ACK>"));
    EXPECT_EQ(frmCommand::RenderReply(QByteArray()), QString());
}

// ---- history -------------------------------------------------------------------------

class CommandWindowTest : public ::testing::Test {
protected:
    CommandWindowTest()
    {
        tc.ctx.frame = &frame;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        window = std::make_unique<frmCommand>(tc.ctx);
        tc.ctx.command = window.get();
    }
    ~CommandWindowTest() override
    {
        tc.ctx.command = nullptr;
        SetPopupMenuRunner({});
    }

    QComboBox* combo() const { return window->findChild<QComboBox*>(QStringLiteral("cmbCommand")); }
    QLineEdit* reply() const { return window->findChild<QLineEdit*>(QStringLiteral("txtSensor")); }
    QCheckBox* buffered() const { return window->findChild<QCheckBox*>(QStringLiteral("chkBuffered")); }
    QPushButton* button(const char* name) const
    {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    void type(const QString& text) { combo()->setEditText(text); }
    void add(const QString& text)
    {
        type(text);
        window->AddCommand();
    }
    QStringList listEntries() const
    {
        QStringList out;
        for (int i = 0; i < combo()->count(); ++i)
            out.append(combo()->itemText(i));
        return out;
    }
    QString stored(int i) const
    {
        return tc.settings->read(QStringLiteral("Command"), QStringLiteral("Command%1").arg(i),
                                 QStringLiteral("<none>"));
    }

    TestContext tc;
    FakeMainFrame frame;
    std::unique_ptr<LK> lk;
    std::unique_ptr<frmCommand> window;
};

TEST_F(CommandWindowTest, HistoryKeepsTenMostRecentFirstWithoutDuplicates)
{
    window->Init();
    for (int i = 1; i <= 10; ++i)
        add(QStringLiteral("C%1").arg(i));
    EXPECT_EQ(window->history().size(), 10);
    EXPECT_EQ(window->history().first(), QStringLiteral("C10"));

    // Sending one that is already there moves it up and keeps the count.
    add(QStringLiteral("  C3 "));
    EXPECT_EQ(window->history().size(), 10);
    EXPECT_EQ(window->history().first(), QStringLiteral("C3"));
    EXPECT_EQ(window->history().count(QStringLiteral("C3")), 1);
    EXPECT_EQ(combo()->currentText(), QStringLiteral("C3"));

    // An eleventh distinct command pushes the oldest out.
    add(QStringLiteral("C11"));
    EXPECT_EQ(window->history().size(), 10);
    EXPECT_FALSE(window->history().contains(QStringLiteral("C1")));
    EXPECT_EQ(window->history().last(), QStringLiteral("C2"));

    // Comparison is exact: another case is another command.
    add(QStringLiteral("c11"));
    EXPECT_EQ(window->history().mid(0, 2), (QStringList{QStringLiteral("c11"), QStringLiteral("C11")}));

    // Blank text is not kept.
    add(QStringLiteral("   "));
    EXPECT_EQ(window->history().first(), QStringLiteral("c11"));

    // The list shows the history and nothing else.
    EXPECT_EQ(listEntries(), window->history());
}

TEST_F(CommandWindowTest, HistorySurvivesInTheSettingsAndAGapEndsIt)
{
    window->Init();
    add(QStringLiteral("first"));
    add(QStringLiteral("second"));
    add(QStringLiteral("third"));
    window->Save();
    EXPECT_EQ(stored(1), QStringLiteral("third"));
    EXPECT_EQ(stored(3), QStringLiteral("first"));

    frmCommand again(tc.ctx);
    again.Init();
    EXPECT_EQ(again.history(),
              (QStringList{QStringLiteral("third"), QStringLiteral("second"), QStringLiteral("first")}));

    // A missing Command3 ends the history even though Command4 exists.
    tc.settings->write(QStringLiteral("Command"), QStringLiteral("Command3"), QString());
    tc.settings->write(QStringLiteral("Command"), QStringLiteral("Command4"), QStringLiteral("stale"));
    frmCommand gap(tc.ctx);
    gap.Init();
    EXPECT_EQ(gap.history().size(), 2);

    // Saving after such a load must not let the old value behind the gap come back.
    gap.Save();
    frmCommand later(tc.ctx);
    later.Init();
    EXPECT_EQ(later.history().size(), 2);
    gap.findChild<QComboBox*>(QStringLiteral("cmbCommand"))->setEditText(QStringLiteral("new"));
    gap.AddCommand();
    gap.Save();
    frmCommand last(tc.ctx);
    last.Init();
    EXPECT_EQ(last.history(),
              (QStringList{QStringLiteral("new"), QStringLiteral("third"), QStringLiteral("second")}));
}

TEST_F(CommandWindowTest, LivesInTheMainWindowAreaAndUnloadsWhenItsFrameCloses)
{
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    QMdiSubWindow* sub = area.addSubWindow(window.get());
    frame.setMenuChecked(MenuEntry::Command, true);
    window->Init();
    window->Show();
    ASSERT_TRUE(window->Loaded());
    EXPECT_TRUE(sub->isVisible());
    // Half the client width, in the bottom-left corner, and a height of its own.
    EXPECT_NEAR(window->width(), area.viewport()->width() / 2, 20);
    EXPECT_EQ(sub->x(), 0);
    EXPECT_EQ(sub->geometry().bottom(), area.viewport()->height() - 1);
    // The window sits right under the title bar, and its frame keeps the window's height
    // however it was stored or stretched: a taller frame would centre the window in it
    // and leave an empty strip under the title bar.
    const int height = window->height();
    const int top = sub->contentsRect().top();
    const int border = sub->height() - height;
    EXPECT_EQ(window->y(), top);
    sub->resize(sub->width(), sub->height() + 80);
    EXPECT_EQ(window->height(), height);
    EXPECT_EQ(sub->height(), height + border);
    EXPECT_EQ(window->y(), top);

    // The user closes the frame: the window unloads, clears its menu mark, keeps its place.
    sub->close();
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::Command));
    EXPECT_FALSE(tc.settings->read(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QString()).isEmpty());
    tc.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QStringLiteral("620x200+0+160"));
    window->Show();
    EXPECT_TRUE(window->Loaded());
    EXPECT_TRUE(sub->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sub->geometry(), QRect(0, 160, 620, height + border));
    EXPECT_EQ(window->y(), top);
    window->Unload();
    EXPECT_FALSE(sub->isVisible());
    area.removeSubWindow(window.get());
    window->setParent(nullptr);
}

TEST_F(CommandWindowTest, TranslatesItsCaptionsButNotTheMultiReplyControls)
{
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n"
                        "[frmCommand]\r\nfrmCommand=Send command\r\nbtSend=&Send\r\n"
                        "lblSensor=Reply:\r\nbtCommand=&L|Command list\r\n"
                        "chkBuffered=several replies\r\nbtStop=Halt\r\n");
    tc.language->LoadLanguageList();
    int16_t english = 1;
    tc.language->SelectLanguage(english);
    window->Show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Send command"));
    EXPECT_EQ(button("btSend")->text(), QStringLiteral("&Send"));
    EXPECT_EQ(button("btCommand")->text(), QStringLiteral("&L"));
    EXPECT_EQ(button("btCommand")->toolTip(), QStringLiteral("Command list"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblSensor"))->text(), QStringLiteral("Reply:"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblCommand"))->text(), QStringLiteral("Befehl:"));
    EXPECT_EQ(buffered()->text(), QStringLiteral("mehrere &Antworten"));
    EXPECT_EQ(button("btStop")->text(), QStringLiteral("&Stop"));

    int16_t german = 0;
    tc.language->SelectLanguage(german);
    window->SetLanguage();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Befehl senden"));
    EXPECT_EQ(button("btCommand")->text(), QStringLiteral("&C"));
    window->Unload();
}

// ---- sending on the direct route ------------------------------------------------------

class CommandDirectTest : public CommandWindowTest {
protected:
    CommandDirectTest() : form(tc.ctx, QStringLiteral("frmDirect"), journal)
    {
        lk->RegisterSystem(9, [this]() -> ISystemForm* { return &form; });
        tc.state.CurrentSystem = 9;
        window->Init();
        window->Show();
    }

    Journal journal;
    FakeDirectForm form;
};

TEST_F(CommandDirectTest, SendConvertsEscapesAndShowsTheReply)
{
    form.readReply = bytes({2, 'O', 'K', 3});
    type(QStringLiteral("RD\\0021 .0d"));
    button("btSend")->click();
    ASSERT_EQ(form.readCommands.size(), 1);
    EXPECT_EQ(form.readCommands.first(), QByteArray("RD\x02" "1 \r"));
    EXPECT_EQ(reply()->text(), QStringLiteral("<STX>OK<ETX>"));
    EXPECT_EQ(window->history().first(), QStringLiteral("RD\\0021 .0d"));
    EXPECT_FALSE(window->sending());
    EXPECT_TRUE(button("btSend")->isEnabled());

    // An empty command still goes out but is not kept.
    type(QString());
    button("btSend")->click();
    EXPECT_EQ(form.readCommands.size(), 2);
    EXPECT_EQ(form.readCommands.last(), QByteArray());
    EXPECT_EQ(window->history().size(), 1);
}

// Send pressed (twice) while a poll step of the system window waits: the command goes
// out once, after the step, not inside its wait.
TEST_F(CommandDirectTest, SendAskedForDuringAPollStepGoesOutOnceAfterIt)
{
    type(QStringLiteral("RD"));
    lk->EnablePolling(true);
    qsizetype sentInsideTheStep = -1;
    form.pollHook = [&] {
        clickOn(button("btSend"));
        clickOn(button("btSend"));
        sentInsideTheStep = form.readCommands.size();
    };
    lk->LkPoll();
    form.pollHook = nullptr;
    EXPECT_EQ(sentInsideTheStep, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.readCommands.isEmpty(); }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(form.readCommands, QList<QByteArray>{"RD"});
}

TEST_F(CommandDirectTest, MultiReplyModeCollectsFurtherRepliesUntilStop)
{
    form.readReply = "R1";
    buffered()->setChecked(true);
    button("btSend")->click();
    EXPECT_EQ(reply()->text(), QStringLiteral("<1> R1"));
    EXPECT_TRUE(button("btStop")->isEnabled());
    EXPECT_TRUE(lk->BufferedPolling());
    EXPECT_TRUE(lk->PollTimerEnabled());
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(journal.count(QStringLiteral("frmDirect.StopBuffered")), 1);

    // Nothing waiting: the poll step reads nothing and keeps the counter.
    form.dataWaiting = false;
    lk->LkPoll();
    EXPECT_EQ(reply()->text(), QStringLiteral("<1> R1"));

    form.dataWaiting = true;
    form.readReply = bytes({2, '7', 3});
    lk->LkPoll();
    EXPECT_EQ(reply()->text(), QStringLiteral("<2> <STX>7<ETX>"));
    form.readReply = "9";
    lk->LkPoll();
    EXPECT_EQ(reply()->text(), QStringLiteral("<3> 9 (HEX=39)"));
    // The direct route reads complete replies: no serial-route interpretation.
    EXPECT_TRUE(journal.matching(QStringLiteral("frmDirect.GetLKResult")).isEmpty());
    // The system window's own poll stays off meanwhile.
    EXPECT_TRUE(journal.matching(QStringLiteral("frmDirect.Poll")).isEmpty());

    button("btStop")->click();
    EXPECT_FALSE(button("btStop")->isEnabled());
    EXPECT_FALSE(buffered()->isChecked());
    EXPECT_FALSE(lk->PollTimerEnabled());
    EXPECT_EQ(journal.count(QStringLiteral("frmDirect.StopBuffered")), 2);
    lk->LkPoll();
    EXPECT_EQ(reply()->text(), QStringLiteral("<3> 9 (HEX=39)"));

    // Normal polling switched on again ends the mode as well.
    buffered()->setChecked(true);
    button("btSend")->click();
    EXPECT_TRUE(button("btStop")->isEnabled());
    lk->EnablePolling(true);
    EXPECT_FALSE(button("btStop")->isEnabled());
    EXPECT_FALSE(buffered()->isChecked());

    // A selection switches the polling for it off: the window shows that nothing runs.
    buffered()->setChecked(true);
    button("btSend")->click();
    form.checkResult = true;
    bool retry = false;
    ASSERT_TRUE(lk->SelectSystem(9, retry));
    EXPECT_FALSE(button("btStop")->isEnabled());
    EXPECT_FALSE(buffered()->isChecked());

    // Closing the window while a read runs ends it with the family's stop, as Stop does.
    buffered()->setChecked(true);
    button("btSend")->click();
    const int stops = journal.count(QStringLiteral("frmDirect.StopBuffered"));
    window->close();
    EXPECT_EQ(journal.count(QStringLiteral("frmDirect.StopBuffered")), stops + 1);
    EXPECT_FALSE(lk->BufferedPolling());
    EXPECT_FALSE(lk->PollTimerEnabled());
}

TEST_F(CommandDirectTest, UnloadedWindowLeavesItsControlsAlone)
{
    window->Unload();
    EXPECT_FALSE(window->Loaded());
    window->SetBuffered(true);
    EXPECT_FALSE(button("btStop")->isEnabled());
    EXPECT_FALSE(buffered()->isChecked());
    form.dataWaiting = true;
    buffered()->setChecked(true);
    lk->LkPoll();
    EXPECT_TRUE(reply()->text().isEmpty());
    EXPECT_TRUE(journal.matching(QStringLiteral("frmDirect.DirectRead")).isEmpty());
}

TEST_F(CommandDirectTest, CommandListPopupTakesTheTextBeforeTheFirstBlank)
{
    // No list, or an empty one: the button stays off.
    window->RefreshForm();
    EXPECT_FALSE(button("btCommand")->isEnabled());

    form.commands.Add(7, QStringLiteral("RD 0 10 read ten words"));
    form.commands.Add(8, QStringLiteral("ST"));
    window->RefreshForm();
    EXPECT_TRUE(button("btCommand")->isEnabled());

    QStringList shown;
    int pick = 1;
    SetPopupMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        shown.clear();
        for (QAction* a : menu.actions())
            shown.append(a->text());
        return menu.actions().value(pick);
    });
    button("btCommand")->click();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("RD 0 10 read ten words"), QStringLiteral("ST")}));
    EXPECT_EQ(combo()->currentText(), QStringLiteral("ST"));
    pick = 0;
    button("btCommand")->click();
    EXPECT_EQ(combo()->currentText(), QStringLiteral("RD"));
    // Dismissed: the text stays.
    pick = -1;
    button("btCommand")->click();
    EXPECT_EQ(combo()->currentText(), QStringLiteral("RD"));
}

// ---- sending on the serial route, against a device on a pseudo-terminal ---------------

class CommandSerialTest : public CommandWindowTest {
protected:
    CommandSerialTest() : form(tc.ctx, QStringLiteral("frmSerial"), journal)
    {
        ports = std::make_unique<Ports>(tc.ctx);
        tc.ctx.ports = ports.get();
        ports->InitPort();
        pty.start();
        QString path = pty.slavePath();
        QString settings = QStringLiteral("38400,n,8,1");
        int16_t protocol = 0;
        ports->OpenPort(path, settings, protocol, false);
        ports->SetFramingType(5);       // telegram + CR
        ports->SetLinkProtocol("\r");   // replies end with CR
        ports->SetTimeout(300);         // the family's own time-out
        lk->RegisterSystem(1, [this]() -> ISystemForm* { return &form; });
        tc.state.CurrentSystem = 1;
        window->Init();
        window->Show();
    }
    ~CommandSerialTest() override
    {
        window.reset();
        tc.ctx.ports = nullptr;
        ports.reset();
        pty.stop();
    }

    // Runs poll steps as the poll timer would, until the reply box shows text.
    bool pollUntil(const QString& text, int timeoutMs = 3000)
    {
        return QTest::qWaitFor([&] {
            lk->LkPoll();
            return reply()->text() == text;
        }, timeoutMs);
    }

    Journal journal;
    FakeSystemForm form;
    std::unique_ptr<Ports> ports;
    PtyHarness pty;
};

TEST_F(CommandSerialTest, MultiReplyCommandCollectsEveryReplyInTurn)
{
    ASSERT_TRUE(ports->PortOpenFlag());
    pty.setRule("\r", [](const QByteArray& telegram) -> PtyHarness::Script {
        if (telegram != "SC\r")
            return {};
        return {PtyHarness::Send("A1\r"), PtyHarness::Pause(80), PtyHarness::Send("A2\r"),
                PtyHarness::Pause(80), PtyHarness::Send(QByteArray("\x02" "B\x03\r"))};
    });
    type(QStringLiteral("SC"));
    buffered()->setChecked(true);
    button("btSend")->click();
    EXPECT_EQ(reply()->text(), QStringLiteral("<1> A1"));
    EXPECT_EQ(ports->GetTimeout(), 300);   // the family's time-out is back
    EXPECT_TRUE(pollUntil(QStringLiteral("<2> A2")));
    EXPECT_TRUE(pollUntil(QStringLiteral("<3> <STX>B<ETX>")));
    EXPECT_EQ(window->replyCounter(), 3);
    // Each reply went through the window's interpretation.
    EXPECT_EQ(journal.matching(QStringLiteral("frmSerial.GetLKResult")).size(), 3);
    EXPECT_EQ(pty.telegrams(), QList<QByteArray>{QByteArray("SC\r")});

    button("btStop")->click();
    EXPECT_FALSE(lk->PollTimerEnabled());
    pty.send("A4\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 2000));
    lk->LkPoll();
    EXPECT_EQ(reply()->text(), QStringLiteral("<3> <STX>B<ETX>"));
}

TEST_F(CommandSerialTest, SecondSendWhileWaitingIsRefused)
{
    pty.setRule("\r", [](const QByteArray& telegram) -> PtyHarness::Script {
        return {PtyHarness::Pause(300), PtyHarness::Send(telegram.startsWith("RD") ? "OK\r" : "NO\r")};
    });
    int timeoutDuringWait = 0;
    bool sendingDuringWait = false;
    QTimer::singleShot(100, [&] {
        timeoutDuringWait = ports->GetTimeout();
        sendingDuringWait = window->sending();
        type(QStringLiteral("XX"));
        window->send();                 // Enter or a click while the first waits
        button("btSend")->click();
        lk->LkPoll();                   // a tick of the system's continuous read
    });
    lk->EnablePolling(true);
    type(QStringLiteral("RD"));
    window->send();
    EXPECT_TRUE(journal.matching(QStringLiteral("frmSerial.Poll")).isEmpty());
    EXPECT_TRUE(sendingDuringWait);
    EXPECT_EQ(timeoutDuringWait, 1000);   // a command gets a second to answer
    EXPECT_EQ(ports->GetTimeout(), 300);
    EXPECT_EQ(reply()->text(), QStringLiteral("OK"));
    EXPECT_EQ(pty.telegrams(), QList<QByteArray>{QByteArray("RD\r")});
    // The history holds what was sent; what was typed meanwhile stays in the box.
    EXPECT_EQ(window->history(), QStringList{QStringLiteral("RD")});
    EXPECT_EQ(combo()->currentText(), QStringLiteral("XX"));
    EXPECT_FALSE(window->sending());
    EXPECT_TRUE(button("btSend")->isEnabled());
}

TEST_F(CommandSerialTest, NoReplyShowsNothingAndSectionSignIsOneByte)
{
    type(QStringLiteral("\u00A7ST"));
    buffered()->setChecked(true);
    button("btSend")->click();
    EXPECT_EQ(reply()->text(), QStringLiteral("<1> "));
    ASSERT_TRUE(pty.waitForBytes(3, 1000));
    EXPECT_EQ(pty.transcript(), QByteArray("ST\r"));   // the marker is taken by the link
    EXPECT_EQ(window->history().first(), QStringLiteral("\u00A7ST"));
}

// ---- popup menus ---------------------------------------------------------------------

TEST(PopupMenu, SeparatorsDisabledEntriesAndIds)
{
    Menues m;
    EXPECT_EQ(m.Add(11, QStringLiteral("Eins")).position, 1);
    m.Add(12, QStringLiteral("-"));
    const Menue& third = m.Add(13, QStringLiteral("Zwei & Drei"), 0, false);
    EXPECT_EQ(third.position, 3);
    EXPECT_FALSE(third.enabled);
    m.Add(13, QStringLiteral("Vier"));   // same id, enabled: independent of the entry above
    m.Add(15, QStringLiteral("Fünf"));
    EXPECT_EQ(m.item(5).id, QVariant(15));
    EXPECT_EQ(m.item(5).Caption, QStringLiteral("Fünf"));
    EXPECT_EQ(m.item(5).parentid, 0);
    std::unique_ptr<QMenu> menu(BuildPopupMenu(m, nullptr));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled());
    EXPECT_TRUE(actions[3]->isEnabled());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Zwei && Drei"));
    EXPECT_EQ(PopupMenuActionId(actions[0]), 11);
    EXPECT_EQ(PopupMenuActionId(actions[1]), 0);
    EXPECT_EQ(PopupMenuActionId(actions[2]), 0);   // greyed: cannot be chosen
    EXPECT_EQ(PopupMenuActionId(actions[3]), 13);
    EXPECT_EQ(PopupMenuActionId(nullptr), 0);

    SetPopupMenuRunner([](QMenu& menu, const QPoint&) { return menu.actions().value(3); });
    EXPECT_EQ(ShowPopupMenu(m, nullptr, QPoint()), 13);
    SetPopupMenuRunner([](QMenu&, const QPoint&) -> QAction* { return nullptr; });
    EXPECT_EQ(ShowPopupMenu(m, nullptr, QPoint()), 0);
    SetPopupMenuRunner({});
}

TEST(PopupMenu, SubmenusCheckMarksAndLostEntries)
{
    Menues m;
    m.Add(0, QStringLiteral("Leer"), 0, true, true);                       // 1, checked
    m.Add(0, QStringLiteral("Köpfe"));                                      // 2, opens a submenu
    m.Add(QStringLiteral("21"), QStringLiteral("Kopf A"), 2);              // 3, id given as text
    m.Add(22, QStringLiteral("Kopf B"), 2, true, true);                    // 4
    m.Add(23, QStringLiteral("-"), 2);                                     // 5
    m.Add(24, QStringLiteral("Kopf C"), 2, false);                         // 6
    m.Add(31, QStringLiteral("Weit"), 8);                                  // 7, its parent comes later
    m.Add(0, QStringLiteral("Weitere"));                                    // 8
    m.Add(99, QStringLiteral("Verloren"), 42);                             // 9, no such parent
    m.Add(50, QStringLiteral("Eigen"), 10);                                // 10, its own parent

    std::unique_ptr<QMenu> menu(BuildPopupMenu(m, nullptr));
    const QList<QAction*> top = menu->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_TRUE(top[0]->isCheckable() && top[0]->isChecked());
    EXPECT_EQ(PopupMenuActionId(top[0]), 0);
    ASSERT_NE(top[1]->menu(), nullptr);
    EXPECT_EQ(top[1]->text(), QStringLiteral("Köpfe"));
    EXPECT_EQ(PopupMenuActionId(top[1]), 0);   // opening a submenu chooses nothing
    const QList<QAction*> heads = top[1]->menu()->actions();
    ASSERT_EQ(heads.size(), 4);
    EXPECT_EQ(PopupMenuActionId(heads[0]), 21);
    EXPECT_FALSE(heads[0]->isChecked());
    EXPECT_TRUE(heads[1]->isChecked());
    EXPECT_TRUE(heads[2]->isSeparator());
    EXPECT_FALSE(heads[3]->isEnabled());
    ASSERT_NE(top[2]->menu(), nullptr);
    ASSERT_EQ(top[2]->menu()->actions().size(), 1);
    EXPECT_EQ(PopupMenuActionId(top[2]->menu()->actions()[0]), 31);

    // Neither the entry without a parent nor the one inside itself is reachable.
    QStringList reachable;
    std::function<void(QMenu*)> walk = [&](QMenu* mm) {
        for (QAction* a : mm->actions()) {
            reachable << a->text();
            if (a->menu())
                walk(a->menu());
        }
    };
    walk(menu.get());
    EXPECT_FALSE(reachable.contains(QStringLiteral("Verloren")));
    EXPECT_FALSE(reachable.contains(QStringLiteral("Eigen")));

    SetPopupMenuRunner([](QMenu& root, const QPoint&) { return root.actions()[1]->menu()->actions()[1]; });
    EXPECT_EQ(ShowPopupMenu(m, nullptr, QPoint()), 22);
    SetPopupMenuRunner({});
}

TEST(PopupMenu, RemoveRenumbersTheEntriesAfterIt)
{
    Menues m;
    m.Add(1, QStringLiteral("a"));
    m.Add(2, QStringLiteral("b")).Tag = QStringLiteral("mine");
    m.Add(3, QStringLiteral("c"));
    m.Remove(1);
    m.Remove(0);   // outside: nothing
    m.Remove(3);
    ASSERT_EQ(m.count(), 2);
    EXPECT_EQ(m.item(1).Caption, QStringLiteral("b"));
    EXPECT_EQ(m.item(1).position, 1);
    EXPECT_EQ(m.item(1).Tag, QVariant(QStringLiteral("mine")));
    EXPECT_EQ(m.item(2).position, 2);
    EXPECT_EQ(m.Add(4, QStringLiteral("d")).position, 3);
}

TEST(PopupMenu, RealMenuClosesWithoutChoiceOnEscape)
{
    Menues m;
    m.Add(1, QStringLiteral("Eins"));
    QTimer::singleShot(100, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Escape);
    });
    EXPECT_EQ(ShowPopupMenu(m, nullptr, QPoint(10, 10)), 0);
}

} // namespace
