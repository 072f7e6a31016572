// The microwave system D from the user's side, end to end: the system is selected through
// the link on a pseudo-terminal with a simulated unit and tags; reads, writes by ID code
// through the real modal dialogs, the ID-code scan, the tag-state window and the
// unit-state and outputs windows, checked in the windows and in the simulated tags.

#include "sim/SimWD.h"
#include "support/FamilyFixture.h"
#include "support/RealInput.h"
#include "support/PortDrain.h"
#include "support/WhenModal.h"

#include "families/wd/RegisterWD.h"
#include "families/common/Lamp.h"
#include "families/wd/frmSystemWD.h"
#include "families/wd/frmSystemWDIO.h"
#include "families/wd/frmSystemWDState.h"
#include "families/common/frmSystemWDTagState.h"
#include "families/wd/frmSystemWDWrite.h"
#include "families/wd/frmSystemWDWriteIDCode.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/ctrlList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QDate>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvid::test {
namespace {

class WDEndToEnd : public PtyFamilyFixture<SimWD> {
protected:
    WDEndToEnd()
    {
        tc.state.ReadHeadError = true;
        RegisterSystemWD(ctx());
        frmSystemWDWriteIDCode::RememberedIDCode().clear();
    }

    AppContext& ctx() { return tc.ctx; }
    frmSystemWD* select()
    {
        if (!PtyFamilyFixture::select(6))
            return nullptr;
        auto* w = dynamic_cast<frmSystemWD*>(lk->CurrentWindow());
        if (w)
            w->Show();
        return w;
    }
};

TEST_F(WDEndToEnd, RecognisesTheUnitAndReadsDataAndIdCodes)
{
    const int a = sim.addTag(0x11111111);
    const int b = sim.addTag(0x2233AABB);
    sim.writeMemory(a, 0x10, QByteArray("abc"));
    sim.writeMemory(b, 0x10, QByteArray("ABC"));
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(lk->CurrentSystemIndex(), 6);
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("WDN-S2-2NWZ"));
    EXPECT_TRUE(frame.menuEnabled(MenuEntry::IO));
    EXPECT_TRUE(frame.menuEnabled(MenuEntry::State));

    // Data of the tag with the second ID code.
    w->rdIDCode[1]->click();
    w->txtIDCode->setText(QStringLiteral("2233aabb"));
    w->txtAddress->setText(QStringLiteral("0010"));
    w->txtLength->setText(QStringLiteral("3"));
    w->btRead->click();
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("ANT 0: DATA =ABC"))) << w->list->text().toStdString();
    EXPECT_EQ(w->protocol().LastDataRead(), QByteArray("ABC"));
    EXPECT_TRUE(sim.commandsStartingWith("?10**1").constLast().toUpper().endsWith("BBAA3322"));

    // The ID code of "another" tag, on antenna 1.
    w->rdIDCode[2]->click();
    w->cmbHeadNumber->setCurrentIndex(1);
    w->btIdCodeRead->click();
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("ANT 1: ID-Code =11111111"))) << w->list->text().toStdString();

    // No tag answers: the unit's error reaches the list.
    sim.removeAllTags();
    w->btRead->click();
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("STATUS: 40 - Kein Datenträger")));
}

TEST_F(WDEndToEnd, WritesDataAndIdCodesByIdThroughTheDialogs)
{
    const int a = sim.addTag(0x01020304);
    const int b = sim.addTag(0xCAFE0001);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->rdIDCode[1]->click();
    w->txtIDCode->setText(QStringLiteral("CAFE0001"));
    w->txtAddress->setText(QStringLiteral("0100"));

    whenModal<frmSystemWDWrite>([](frmSystemWDWrite* d) {
        EXPECT_EQ(d->txtAddress->text(), QStringLiteral("0100"));
        EXPECT_TRUE(d->rdIDCode[1]->isChecked());
        d->rdDataMode[1]->click();
        d->txtData->setText(QStringLiteral("68 65 0D 00 FF"));
        d->btOk->click();
    });
    w->btWrite->click();
    EXPECT_EQ(sim.readMemory(b, 0x100, 5), QByteArray("he\r\0\xFF", 5));
    EXPECT_EQ(sim.readMemory(a, 0x100, 5), QByteArray(5, '\0'));

    // A new ID code for the same tag; a following ID read shows it in display order.
    whenModal<frmSystemWDWriteIDCode>([](frmSystemWDWriteIDCode* d) {
        EXPECT_EQ(d->txtIDCode->text(), QStringLiteral("CAFE0001"));
        d->txtIDCodeWrite->setText(QStringLiteral("1A2B3C4D"));
        d->btOk->click();
    });
    w->btIdCodeWrite->click();
    EXPECT_EQ(sim.tagId(b), 0x1A2B3C4Du);
    EXPECT_EQ(sim.tagId(a), 0x01020304u);
    w->txtIDCode->setText(QStringLiteral("1A2B3C4D"));
    w->btIdCodeRead->click();
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("ID-Code =1A2B3C4D"))) << w->list->text().toStdString();

    // A protected tag refuses: the error is shown and the dialog stays open until cancelled.
    sim.setTagProtected(b, true);
    bool stayedOpen = false;
    whenModal<frmSystemWDWrite>([&](frmSystemWDWrite* d) {
        d->txtData->setText(QStringLiteral("7A"));
        d->btOk->click();
        stayedOpen = d->isVisible();
        d->btCancel->click();
    });
    w->btWrite->click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(tc.presenter.numbers().contains(4));
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("STATUS: 18 - Schutzfehler")));
    EXPECT_EQ(sim.readMemory(b, 0x100, 1), QByteArray("h"));

    // Acknowledged, the result after the time-out but ahead of the stop's answer: it tells
    // what happened.
    sim.setTagProtected(b, false);
    sim.setAckDelay(650);
    for (const bool refused : {false, true}) {
        tc.presenter.requests.clear();
        if (refused)
            sim.failNext("?20", "40");
        whenModal<frmSystemWDWrite>([&](frmSystemWDWrite* d) {
            d->txtData->setText(refused ? QStringLiteral("7C") : QStringLiteral("7B"));
            clickOn(d->btOk);
            if (d->isVisible())   // not written
                d->reject();
        });
        ASSERT_TRUE(clickOn(w->btWrite));
        EXPECT_EQ(tc.presenter.numbers(), refused ? QList<int>{4} : QList<int>{});
    }
    EXPECT_EQ(sim.readMemory(b, 0x100, 2), QByteArray("7B"));
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("STATUS: 40 - Kein Datentr\u00E4ger")));

    // Acknowledged, the result after the stop's wait too: not written, and the unit is
    // stopped right after the write telegram, so it cannot write later.
    sim.setAckDelay(2000);
    tc.presenter.requests.clear();
    whenModal<frmSystemWDWrite>([&](frmSystemWDWrite* d) {
        d->txtData->setText(QStringLiteral("7A"));
        clickOn(d->btOk);
        clickOn(d->btCancel);
    });
    ASSERT_TRUE(clickOn(w->btWrite));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    ASSERT_TRUE(Drained(sim, ports->comm()));
    const QList<QByteArray> sent = sim.commands();
    EXPECT_TRUE(sent.at(sent.size() - 2).startsWith("?20**1"));
    EXPECT_EQ(sent.last(), QByteArray("?70"));
}

TEST_F(WDEndToEnd, ScanFillsSlotsOnceAndFollowsTheTagsInTheField)
{
    const int a = sim.addTag(0x12345678);
    const int b = sim.addTag(0x9ABCDEF0);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->btCodeScan->click();
    w->btScanStart->click();
    for (int i = 0; i < 4; ++i)
        lk->LkPoll();
    QStringList codes;
    for (QLineEdit* box : w->txtScan) {
        if (!box->text().isEmpty())
            codes.append(box->text());
    }
    codes.sort();
    EXPECT_EQ(codes, (QStringList{QStringLiteral("12345678"), QStringLiteral("9ABCDEF0")}));
    const int slotB = w->txtScan[0]->text() == QStringLiteral("9ABCDEF0") ? 0 : 1;
    EXPECT_TRUE(w->cirScan[0]->lit());
    EXPECT_TRUE(w->cirScan[1]->lit());
    // No list lines while scanning.
    EXPECT_FALSE(w->list->text().contains(QStringLiteral("ID-Code =")));

    sim.setTagPresent(b, false);
    lk->LkPoll();
    EXPECT_FALSE(w->cirScan[slotB]->lit());
    EXPECT_TRUE(w->cirScan[1 - slotB]->lit());
    (void)a;

    w->btStop->click();
    EXPECT_FALSE(w->protocol().ScanMode);
    for (Lamp* lamp : w->cirScan)
        EXPECT_FALSE(lamp->lit());
}

TEST_F(WDEndToEnd, ActionButtonsPauseARunningScanAndItsPolling)
{
    sim.addTag(0x12345678);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    // A scan with empty slots: its first step reads a code, which leaves a read behind
    // that a loop left running would repeat on every tick.
    const auto startScan = [&] {
        w->btClear[1]->click();
        w->btCodeScan->click();
        w->btScanStart->click();
        lk->LkPoll();
        EXPECT_EQ(w->txtScan[0]->text(), QStringLiteral("12345678"));
    };
    const auto pollTraffic = [&] {
        const qsizetype before = sim.commands().size();
        lk->LkPoll();
        lk->LkPoll();
        EXPECT_TRUE(Drained(sim, ports->comm()));
        return sim.commands().size() - before;
    };
    const auto expectScanPaused = [&](const char* button) {
        EXPECT_FALSE(w->protocol().ScanMode) << button;
        EXPECT_FALSE(w->protocol().LoopMode) << button;
        EXPECT_FALSE(w->ScanFrameShown()) << button;
        EXPECT_TRUE(w->btScanStart->isEnabled()) << button;
        EXPECT_FALSE(w->btScanPause->isEnabled()) << button;
        EXPECT_FALSE(w->txtScan[0]->isReadOnly()) << button;
    };

    // The ID-code write dialog stays open as long as the user likes: the poll ticks meanwhile
    // must not keep the unit reading.
    startScan();
    qsizetype whileOpen = -1;
    whenModal<frmSystemWDWriteIDCode>([&](frmSystemWDWriteIDCode* d) {
        whileOpen = pollTraffic();
        d->reject();
    });
    w->btIdCodeWrite->click();
    EXPECT_EQ(whileOpen, 0);
    expectScanPaused("btIdCodeWrite");

    int writeDialogs = 0;
    w->showWriteDialog = [&] { ++writeDialogs; };
    for (QPushButton* button : {w->btRead, w->btIdCodeRead, w->btWrite}) {
        startScan();
        button->click();
        expectScanPaused(button->objectName().toLatin1().constData());
        EXPECT_EQ(pollTraffic(), 0) << button->objectName().toStdString();
    }
    EXPECT_EQ(writeDialogs, 1);
}

// The system selected again: Init's "?70" stops the unit, so a loop or a scan that ran is
// over, in the window too; a loop read and the unit-state window's refresh are polled again.
// Schreiben (the dialog cancelled) and Scan end a loop so too: its next read, sent at the
// end of every step, does not go on unfollowed.
TEST_F(WDEndToEnd, ASecondSelectionEndsTheLoopAndTheScanAndPollsAgain)
{
    sim.addTag(0x11223344);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    auto* state = dynamic_cast<frmSystemWDState*>(lk->CurrentStateWindow());
    ASSERT_NE(state, nullptr);
    const auto reselect = [&] {
        ASSERT_EQ(select(), w);
        EXPECT_TRUE(QTest::qWaitFor([&] { return lk->PollingEnabled(); }, 2000));
        ASSERT_TRUE(activate(w));
    };
    const auto readings = [&] { return w->list->text().count(QStringLiteral("ID-Code =11223344")); };

    ASSERT_TRUE(activate(w));
    ASSERT_TRUE(clickOn(w->chkLoop));
    // The link's stop (the command window's Stop) asked while the loop's first read waits
    // for its reply: the read keeps its reply, and the loop ends with "?70" after it.
    sim.delayNext("?12", 300);
    sim.clearCommands();
    whenSeen([&] { return !sim.commandsStartingWith("?12").isEmpty(); }, [&] { lk->LkStopBuffered(); });
    ASSERT_TRUE(clickOn(w->btIdCodeRead));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commands().endsWith("?70"); }, 2000));
    EXPECT_EQ(readings(), 1);
    EXPECT_FALSE(w->protocol().LoopMode);
    ASSERT_TRUE(clickOn(w->btIdCodeRead));
    ASSERT_TRUE(w->protocol().LoopMode);
    reselect();
    EXPECT_FALSE(w->protocol().LoopMode);
    const int before = readings();
    ASSERT_TRUE(clickOn(w->btIdCodeRead));
    lk->LkPoll();
    lk->LkPoll();
    EXPECT_EQ(readings(), before + 3);
    const auto endedOnTheUnit = [&] {
        EXPECT_TRUE(Drained(sim, ports->comm()));
        EXPECT_EQ(sim.commands().constLast(), QByteArray("?70"));
        EXPECT_FALSE(w->protocol().LoopMode);
        ASSERT_TRUE(activate(w));
    };
    whenModal<frmSystemWDWrite>([](frmSystemWDWrite* d) { d->reject(); });
    ASSERT_TRUE(clickOn(w->btWrite));
    endedOnTheUnit();
    ASSERT_TRUE(clickOn(w->btIdCodeRead));
    lk->LkPoll();

    ASSERT_TRUE(clickOn(w->btCodeScan));
    endedOnTheUnit();
    ASSERT_TRUE(clickOn(w->txtScan[0]));
    typeKeys(QStringLiteral("11223344"));
    ASSERT_TRUE(clickOn(w->btScanStart));
    ASSERT_TRUE(w->protocol().ScanMode);
    reselect();
    EXPECT_FALSE(w->protocol().ScanMode);
    EXPECT_FALSE(w->btScanPause->isEnabled());
    EXPECT_FALSE(w->txtScan[0]->isReadOnly());

    state->Show();
    ASSERT_TRUE(activate(state));
    ASSERT_TRUE(clickOn(state->chkAuto));
    reselect();
    sim.setUnitState('2');
    lk->LkPoll();
    EXPECT_TRUE(state->lampLit(2));
    // Polling off by the link's stop: the box ticked again has its poll steps. The stop's
    // "#70" comes late, and is not taken for the refresh's reply.
    sim.delayNext("?70", 150);
    lk->LkStopBuffered();
    ASSERT_TRUE(activate(state));
    ASSERT_TRUE(clickOn(state->chkAuto));
    ASSERT_TRUE(clickOn(state->chkAuto));
    sim.setUnitState('6');
    lk->LkPoll();
    EXPECT_TRUE(state->lampLit(6));
}

// A loop runs and the unit is slow to answer "?70": Stop, and Stop again while the first
// stop's "?70" waits. The second is the same stop: one "?70" goes out.
TEST_F(WDEndToEnd, StopAskedAgainWhileItsStopWaitsGoesOutOnce)
{
    sim.addTag(0x11223344);
    frmSystemWD* w = select();
    ASSERT_TRUE(w && activate(w));
    ASSERT_TRUE(clickOn(w->chkLoop));
    ASSERT_TRUE(clickOn(w->btIdCodeRead));
    ASSERT_TRUE(w->protocol().LoopMode);
    ASSERT_TRUE(Drained(sim, ports->comm()));
    ports->SetTimeout(1500);
    sim.delayNext("?70", 1000);
    sim.clearCommands();
    whenSeen([&] { return !sim.commands().isEmpty(); }, [w] { clickOn(w->btStop); });
    ASSERT_TRUE(clickOn(w->btStop));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lk->Busy() && lk->ActionsWaiting() == 0; }, 3000));
    EXPECT_TRUE(Drained(sim, ports->comm()));
    EXPECT_EQ(sim.commands(), QList<QByteArray>{"?70"});
}

TEST_F(WDEndToEnd, TagStateWindowShowsTheStateBlock)
{
    const int a = sim.addTag(0x00C0FFEE);
    sim.setStateBlock(a, 5, 99, 1234, 3723004, 0);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->protocol().clock = [] { return QDate(1999, 5, 20); };
    QString id, date, cycles, off, battery, state;
    int bar = -1;
    whenModal<frmSystemWDTagState>([&](frmSystemWDTagState* d) {
        id = d->lblCIdCode->text();
        date = d->lblCDate->text();
        cycles = d->lblCCycle->text();
        off = d->lblCLEDOff->text();
        battery = d->lblCBattery->text();
        bar = d->shpBattery->width();
        // The tag leaves: the next reading empties the values and names the error.
        sim.removeAllTags();
        d->btReload->click();
        state = d->lblState->text();
        EXPECT_TRUE(d->lblCIdCode->text().isEmpty());
        EXPECT_EQ(d->lblCBattery->text(), QStringLiteral("0.0 %"));
        d->btOk->click();
    });
    w->btTagInfo->click();
    EXPECT_EQ(id, QStringLiteral("00C0FFEE"));
    EXPECT_EQ(date, QStringLiteral("05/99"));
    EXPECT_EQ(cycles, QStringLiteral("1234"));
    EXPECT_EQ(off, QStringLiteral("1h 2min 3sec 4ms "));
    EXPECT_TRUE(battery.endsWith(QLatin1Char('%')));
    EXPECT_GT(bar, 0);
    EXPECT_EQ(state, QStringLiteral(" 40 - Kein Datenträger"));
}

TEST_F(WDEndToEnd, UnitStateAndOutputsWindows)
{
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    auto* state = dynamic_cast<frmSystemWDState*>(lk->CurrentStateWindow());
    auto* io = dynamic_cast<frmSystemWDIO*>(lk->CurrentIOWindow());
    ASSERT_NE(state, nullptr);
    ASSERT_NE(io, nullptr);
    state->Show();
    sim.setUnitState('3');
    state->btSet->click();
    for (int i = 0; i < frmSystemWDState::kStates; ++i)
        EXPECT_EQ(state->lampLit(i), i == 3) << i;
    sim.setUnitState('x');
    state->btSet->click();
    for (int i = 0; i < frmSystemWDState::kStates; ++i)
        EXPECT_FALSE(state->lampLit(i)) << i;

    // Automatic refresh rides on the poll step while the window is open.
    state->chkAuto->click();
    sim.setUnitState('5');
    lk->LkPoll();
    EXPECT_TRUE(state->lampLit(5));
    state->Unload();
    const auto states = sim.commandsStartingWith("?73").size();
    lk->LkPoll();
    EXPECT_EQ(sim.commandsStartingWith("?73").size(), states);

    io->Show();
    io->chkOutput[0]->click();
    io->chkOutput[2]->click();
    io->btSet->click();
    EXPECT_EQ(sim.outputs(), QByteArray("1010"));
    EXPECT_TRUE(io->lampLit(0));
    EXPECT_FALSE(io->lampLit(1));
    EXPECT_TRUE(io->lampLit(2));
    // The unit refuses: no lamp claims an output it did not switch.
    sim.failNext("?72", "17");
    io->chkOutput[1]->click();
    io->btSet->click();
    for (int i = 0; i < frmSystemWDIO::kOutputs; ++i)
        EXPECT_FALSE(io->lampLit(i)) << i;

    // Closed, the window forgets the boxes ticked: reopened, it sends nothing, and
    // Aktualisieren sets only what the user ticks anew.
    ASSERT_TRUE(activate(io));
    ASSERT_TRUE(clickOn(io->chkOutput[3]));
    ASSERT_TRUE(io->OutputChecked(3));
    io->close();
    const qsizetype sets = sim.commandsStartingWith("?72").size();
    io->Show();
    ASSERT_TRUE(activate(io));
    for (int i = 0; i < frmSystemWDIO::kOutputs; ++i)
        EXPECT_FALSE(io->OutputChecked(i)) << i;
    EXPECT_EQ(sim.commandsStartingWith("?72").size(), sets);
    ASSERT_TRUE(clickOn(io->chkOutput[1]));
    ASSERT_TRUE(clickOn(io->btSet));
    EXPECT_EQ(sim.outputs(), QByteArray("0100"));
    (void)w;
}

} // namespace
} // namespace orvid::test
