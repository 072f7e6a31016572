// The framed system L windows offscreen on the simulated reader: the main window's mode,
// settings and frequency box, its database view, the state and I/O lamps, and the
// parameter dialog.

#include "sim/SimWL.h"
#include "support/FamilyFixture.h"
#include "support/LanguageWalk.h"
#include "support/RealInput.h"
#include "support/TestContext.h"
#include "support/WhenModal.h"

#include "families/common/TagDataList.h"
#include "families/common/frmSystemWLWrite.h"
#include "families/wl/RegisterWL.h"
#include "families/wl/RegisterWLFramed.h"
#include "families/wl/frmSystemWL.h"
#include "families/wl/frmSystemWLIO.h"
#include "families/wl/frmSystemWLParameter.h"
#include "families/wl/frmSystemWLState.h"
#include "foundations/MessagePresenter.h"
#include "link/LK.h"
#include "shell/frmCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

const QByteArray kMorsek = "OF5003HIOF23019601 nOnOFFoALOFdo05OF";

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

class WLFramedWindowTest : public PtyFamilyFixture<SimWL> {
protected:
    WLFramedWindowTest() { RegisterSystemWLFramed(tc.ctx, RegisterSystemL(tc.ctx)); }
    frmSystemWL* window() { return dynamic_cast<frmSystemWL*>(lk->entry(8).main()); }
    // A Mini write of 1000 through Schreiben and the dialog, with the user's clicks and
    // keys; polls: the poll steps to give its progress.
    void writeThousand(frmSystemWL* w, int polls)
    {
        whenModal<frmSystemWLWrite>([](frmSystemWLWrite* d) {
            clickOn(d->txtData);
            typeKeys(QStringLiteral("1000"));
            clickOn(d->findChild<QPushButton*>(QStringLiteral("btOk")));
        });
        ASSERT_TRUE(clickOn(w->btWrite));
        for (int i = 0; i < polls && w->Protocol().WriteProgress > 0; ++i)
            lk->LkPoll();
    }
    QString setting(const char* key)
    {
        return tc.settings->read(QStringLiteral("OrvidWL"), QString::fromLatin1(key), QStringLiteral("<none>"));
    }
};

TEST_F(WLFramedWindowTest, ModeSettingsAndFrequency)
{
    tc.settings->write(QStringLiteral("OrvidWL"), QStringLiteral("Power"), QStringLiteral("1"));
    tc.settings->write(QStringLiteral("OrvidWL"), QStringLiteral("Bit"), QStringLiteral("7")); // outside: 0
    tc.settings->write(QStringLiteral("OrvidWL"), QStringLiteral("Frequency"), QStringLiteral("250"));
    sim.setParameters(kMorsek);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    ASSERT_NE(w, nullptr);
    w->Show();
    EXPECT_EQ(w->windowTitle(), "ORVID-M System L (Morsek-Mode)");
    EXPECT_TRUE(w->btRead->isEnabled());
    EXPECT_EQ(w->cmbPower->currentIndex(), 1);
    EXPECT_EQ(w->cmbBit->currentIndex(), 0);
    EXPECT_EQ(w->txtFrequency->text(), "100");
    struct Freq {
        QString typed, shown;
    } freqs[] = {{"12a", "012"}, {"0", "001"}, {"", "001"}, {"77", "077"}};
    for (const Freq& f : freqs) {
        w->txtFrequency->setText(f.typed);
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(w->txtFrequency, &out);
        EXPECT_EQ(w->txtFrequency->text(), f.shown) << f.typed.toStdString();
    }
    // Reading with the shown settings: the ID line comes with the next poll step.
    sim.setTag(true, 4711);
    w->btFixcode_Click();
    w->Poll();
    EXPECT_EQ(w->lstTagData->item(w->lstTagData->count() - 1)->text(), "Fixcode: 00004711");
    w->btStop_Click();
    // Data bytes read as in the other lists: by their names where they have no printable
    // form.
    sim.setTag(true, 4711, 1, QByteArray("A\x80\x9F\x03\x01", 5) + QByteArray(15, 'q'));
    clickOn(w->btRead);
    w->Poll();
    EXPECT_EQ(w->lstTagData->item(w->lstTagData->count() - 1)->text(),
              "Quarter: A<128><159><ETX><1>" + QString(15, 'q'));
    clickOn(w->btStop);

    // Mode Normal from the parameter dialog's string, and back.
    w->parameterDialog = [w] { w->Protocol().SetReaderVariables("On" + kMorsek.mid(2), true); };
    w->btParameter_Click();
    EXPECT_EQ(w->windowTitle(), "ORVID-M System L (Normal-Mode)");
    EXPECT_FALSE(w->btRead->isEnabled());
    EXPECT_EQ(tc.presenter.numbers().last(), 51);
    w->parameterDialog = [w] { w->Protocol().SetReaderVariables(kMorsek, true); };
    w->btParameter_Click();
    EXPECT_TRUE(w->btDatabase->isEnabled());

    w->Unload();
    EXPECT_EQ(setting("Power"), "1");
    EXPECT_EQ(setting("Bit"), "0");
    EXPECT_EQ(setting("Frequency"), "077");
}

TEST_F(WLFramedWindowTest, DatabaseViewAddsAndDeletes)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    w->Show();
    sim.setDatabase({});
    w->btDatabase_Click();
    EXPECT_FALSE(w->frameDatabase->isHidden());
    EXPECT_EQ(entries(w->lstDatabase), QStringList{QString::fromUtf8("Keine Einträge gefunden")});
    // Deleting the text line does nothing; a new ID goes to the reader and comes back.
    w->btDBDelete_Click();
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    w->txtDBIdcode->setText("4294967295");
    w->btNew_Click();
    EXPECT_EQ(entries(w->lstDatabase), QStringList{"4294967295"});
    w->txtDBIdcode->setText("12a");
    EXPECT_EQ(w->txtDBIdcode->text(), "12");
    w->btNew_Click();
    EXPECT_EQ(sim.database(), (QList<quint32>{0xFFFFFFFFu, 12}));
    w->btNew_Click(); // already listed: nothing sent
    EXPECT_EQ(sim.database().size(), 2);

    w->lstDatabase->setCurrentRow(-1);
    w->btDBDelete_Click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{53});
    w->lstDatabase->setCurrentRow(1);
    tc.presenter.answers = {Msg::No};
    w->btDBDelete_Click();
    EXPECT_EQ(sim.database().size(), 2);
    w->lstDatabase->setCurrentRow(1);
    tc.presenter.answers = {Msg::Yes};
    w->btDBDelete_Click();
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{53, 52, 52}));
    EXPECT_EQ(entries(w->lstDatabase), QStringList{"4294967295"});

    // Opening the small windows with their boxes as stored neither ends "Code lesen" nor
    // leaves the database view.
    w->btDBCode_Click();
    lk->entry(8).io()->Show();
    lk->entry(8).state()->Show();
    EXPECT_FALSE(w->frameDatabase->isHidden());
    EXPECT_TRUE(w->Protocol().DbCodeMode);
    EXPECT_EQ(w->btDBCode->text(), w->btStop->text());
    w->btDBCode_Click();

    // A reader that stays silent: the list says so.
    sim.setSilent(true);
    w->ShowDatabase();
    EXPECT_EQ(entries(w->lstDatabase), QStringList{"Allgemeiner Lesefehler"});
    sim.setSilent(false);
    // So does one that answers twice with the error flag: that is no list, empty or not.
    sim.faults().add({SimFault::Status, "FE", QByteArray(1, '\0'), 0, 2});
    w->ShowDatabase();
    EXPECT_EQ(entries(w->lstDatabase), QStringList{"Allgemeiner Lesefehler"});
    // Any scan shows the tag list again.
    w->ScanEnable(false);
    EXPECT_TRUE(w->frameDatabase->isHidden());
}

TEST_F(WLFramedWindowTest, WriteFromTheDatabaseViewStopsItFirst)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    w->Show();
    ASSERT_TRUE(activate(w));
    sim.setDatabase({7});
    sim.setTag(true, 4711, 1, QByteArray(20, 'q'));
    const auto write = [&] { writeThousand(w, 10); };
    // The write's progress shows in the tag list, which the write brought back.
    clickOn(w->btDatabase);
    ASSERT_TRUE(w->frameTagData->isHidden());
    write();
    EXPECT_TRUE(w->frameDatabase->isHidden());
    EXPECT_TRUE(w->lstTagData->isVisible());
    EXPECT_EQ(sim.tagData().toHex(), "0fa0");
    const int rows = w->lstTagData->count();
    ASSERT_GE(rows, 2);
    EXPECT_EQ(w->lstTagData->item(rows - 2)->text(), "Tag schreiben aktiv");
    EXPECT_EQ(w->lstTagData->item(rows - 1)->text(), "Tag erfolgreich beschrieben");

    // "Code lesen" ends with the write: its caption returns, and the next reading is the
    // list's, not the database box's.
    clickOn(w->btDatabase);
    clickOn(w->btDBCode);
    ASSERT_EQ(w->btDBCode->text(), w->btStop->text());
    write();
    EXPECT_FALSE(w->Protocol().DbCodeMode);
    EXPECT_EQ(w->btDBCode->text(), "Code lesen");
    clickOn(w->btFixcode);
    lk->LkPoll();
    EXPECT_TRUE(w->txtDBIdcode->text().isEmpty());
    EXPECT_EQ(w->lstTagData->item(w->lstTagData->count() - 1)->text(), "Fixcode: 00004711");
}

// "Code lesen" reads for one ID: the reader stops reading once the ID is in the box, on the
// second click, and when a small window's refresh changes (which ends "Code lesen"). A
// selection that finds no reader ends it too, and its button says so.
TEST_F(WLFramedWindowTest, CodeLesenEndsTheReadingItStarted)
{
    sim.setParameters(kMorsek);
    sim.setTag(true, 4711);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    w->Show();
    ASSERT_TRUE(activate(w) && clickOn(w->btDatabase));
    auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(8).io());
    const std::function<void()> ends[] = {[&] { lk->LkPoll(); }, [&] { clickOn(w->btDBCode); },
                                          [&] { io->Show(); clickOn(io->chkAuto); }};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(clickOn(w->btDBCode) && sim.reading());
        ends[i]();
        EXPECT_FALSE(sim.reading());
        EXPECT_EQ(lk->PollingEnabled(), io->AutoRefresh());
    }
    EXPECT_EQ(w->txtDBIdcode->text(), "00004711");
    ASSERT_TRUE(activate(w) && clickOn(w->btDatabase) && clickOn(w->btDBCode));
    ASSERT_EQ(w->btDBCode->text(), w->btStop->text());
    sim.setInfo("x\\A\\B\\C\\D");
    EXPECT_FALSE(select(8));
    EXPECT_FALSE(w->Protocol().DbCodeMode);
    EXPECT_EQ(w->btDBCode->text(), "Code lesen");
}

TEST_F(WLFramedWindowTest, StateAndIOLamps)
{
    // Both small windows shown by the selection (their menu marks set): they ask the reader
    // once the selection has ended.
    frame.setMenuChecked(MenuEntry::IO, true);
    frame.setMenuChecked(MenuEntry::State, true);
    sim.setParameters(kMorsek);
    sim.setStatus(0x00, 0x20);
    sim.setInputs(false, false, true);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    w->Show();
    auto* state = dynamic_cast<frmSystemWLState*>(lk->entry(8).state());
    auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(8).io());
    ASSERT_TRUE(state && io);
    ASSERT_TRUE(state->Loaded() && io->Loaded());
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->StateLit(1) && io->InputLit(2); }, 3000));
    sim.setStatus(0x81, 0x40);
    w->StatusSet(QString());
    EXPECT_TRUE(state->StateLit(0));
    EXPECT_FALSE(state->StateLit(1));
    EXPECT_TRUE(state->ErrorLit(0));
    EXPECT_TRUE(state->ErrorLit(6));
    EXPECT_FALSE(state->ErrorLit(1));
    sim.faults().add({SimFault::Status, "CO", {}, 0, 1});
    w->StatusSet(QString()); // an error reply lights nothing
    EXPECT_FALSE(state->StateLit(0));
    EXPECT_FALSE(state->ErrorLit(0));

    sim.setInputs(false, true, false);
    w->InputSet();
    EXPECT_FALSE(io->InputLit(0));
    EXPECT_TRUE(io->InputLit(1));

    // Automatic refresh rides on the poll steps: inputs and outputs, then the state, then
    // the reading; a parameter write in mode Morsek leaves it on.
    const auto step = [&] {
        sim.clearBodies();
        lk->LkPoll();
        QByteArray letters;
        for (const QByteArray& b : sim.bodies())
            if (b.size() > 2) // not a resync still on its way from the last exchange
                letters += b.mid(1, 2) + ' ';
        return letters;
    };
    io->chkAuto->click();
    state->chkAuto->click();
    ASSERT_TRUE(lk->PollingEnabled());
    sim.setInputs(true, false, false);
    EXPECT_EQ(step(), "KC KC KC JC JC CO ");
    EXPECT_TRUE(io->InputLit(0));
    sim.setTag(true, 4711);
    w->btFixcode_Click();
    EXPECT_EQ(step(), "KC KC KC JC JC CO PA ");
    // A command with several answers, then the command window's Stop: the reading is over,
    // and the refresh, switched on again, polls it no more.
    frmCommand command(tc.ctx);
    tc.ctx.command = &command;
    const auto gone = qScopeGuard([&] { tc.ctx.command = nullptr; });
    command.Show();
    command.findChild<QComboBox*>(QStringLiteral("cmbCommand"))->setEditText(QStringLiteral("QA"));
    // A command sent by hand is a transaction of the reader's: the window's next one (an
    // output switched) goes with the other toggle, and the reader carries it out.
    ASSERT_TRUE(clickOn(command.findChild<QPushButton*>(QStringLiteral("btSend"))));
    ASSERT_TRUE(clickOn(io->chkOutput[0]));
    EXPECT_EQ(sim.outputs()[0], 0);
    ASSERT_TRUE(clickOn(command.findChild<QCheckBox*>(QStringLiteral("chkBuffered"))));
    ASSERT_TRUE(clickOn(command.findChild<QPushButton*>(QStringLiteral("btSend"))));
    ASSERT_TRUE(clickOn(command.findChild<QPushButton*>(QStringLiteral("btStop"))));
    io->chkAuto->click();
    io->chkAuto->click();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(step(), "KC KC KC JC JC CO ");
    w->btStop_Click();
    w->parameterDialog = [w] { w->Protocol().SetReaderVariables(kMorsek, true); };
    w->btParameter_Click();
    EXPECT_TRUE(lk->PollingEnabled());
    EXPECT_EQ(step(), "KC KC KC JC JC CO ");
    io->chkAuto->click();
    state->chkAuto->click();
    EXPECT_FALSE(lk->PollingEnabled());
}

// From entry 7 to entry 8 with both small windows marked: the link's second Init, after
// the recognition, keeps the bus address and toggle that the recognition found, so the
// windows' first reads and every read after them get their own replies - at bus address 1,
// and at 5, where only the broadcast address reaches the reader.
TEST_F(WLFramedWindowTest, AfterAChangeOfSystemTheReadsGoOnWithTheReaderFound)
{
    sim.allowDroppedInput(); // entry 7's telegrams reach this reader too
    frame.setMenuChecked(MenuEntry::IO, true);
    frame.setMenuChecked(MenuEntry::State, true);
    sim.setStatus(0x00, 0x20);
    for (const QByteArray& bus : {QByteArray("01"), QByteArray("05")}) {
        SCOPED_TRACE(bus.toStdString());
        select(7); // no text-protocol unit answers, yet entry 7 is the current one
        ASSERT_EQ(lk->CurrentSystemIndex(), 7);
        sim.setParameters(kMorsek.left(12) + bus + kMorsek.mid(14));
        sim.setBusAddress(bus.toInt());
        sim.setInputs(true, false, true);
        ASSERT_TRUE(select(8));
        auto* state = dynamic_cast<frmSystemWLState*>(lk->entry(8).state());
        auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(8).io());
        ASSERT_TRUE(state && io && state->Loaded() && io->Loaded());
        EXPECT_TRUE(QTest::qWaitFor([&] { return io->InputLit(0) && state->StateLit(1); }, 3000));
        EXPECT_FALSE(io->InputLit(1));
        EXPECT_TRUE(io->InputLit(2));
        sim.setInputs(false, true, false);
        ASSERT_TRUE(clickOn(io->btSet));
        EXPECT_FALSE(io->InputLit(0));
        EXPECT_TRUE(io->InputLit(1));
    }
}

// Leaving the reader while a write's progress runs does not leave Schreiben disabled: back
// on the reader, a new write runs to its result.
TEST_F(WLFramedWindowTest, AWriteLeftRunningByAChangeOfSystemGivesItsButtonsBack)
{
    sim.allowDroppedInput(); // entry 7's telegrams reach this reader too
    frame.setMenuChecked(MenuEntry::OrvidWindow, true);
    sim.setParameters(kMorsek);
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    ASSERT_TRUE(w->isVisible());
    ASSERT_TRUE(activate(w));
    sim.setTag(true, 4711, 1, QByteArray(20, 'q'));
    sim.setWriteTicks(100);
    writeThousand(w, 1);
    ASSERT_GT(w->Protocol().WriteProgress, 0);
    ASSERT_FALSE(w->btWrite->isEnabled());

    select(7);
    ASSERT_TRUE(select(8));
    ASSERT_TRUE(w->isVisible());
    EXPECT_TRUE(w->btWrite->isEnabled());
    EXPECT_TRUE(w->btStop->isEnabled());
    sim.setWriteTicks(2);
    ASSERT_TRUE(activate(w));
    writeThousand(w, 10);
    ASSERT_GT(w->lstTagData->count(), 0);
    EXPECT_EQ(w->lstTagData->item(w->lstTagData->count() - 1)->text(), "Tag erfolgreich beschrieben");
    EXPECT_EQ(sim.tagData().toHex(), "0fa0");
    EXPECT_TRUE(w->btWrite->isEnabled());
}

// Selected again while the reader reads or writes and the state window refreshes, each goes
// on being polled to its end. A selection that recognises no reader polls nothing and ends
// the write as failed.
TEST_F(WLFramedWindowTest, ASelectionAgainLeavesTheReadTheWriteAndTheRefreshPolled)
{
    frame.setMenuChecked(MenuEntry::OrvidWindow, true);
    frame.setMenuChecked(MenuEntry::State, true);
    sim.setParameters(kMorsek);
    sim.setTag(true, 4711, 1, QByteArray(20, 'q'));
    ASSERT_TRUE(select(8));
    frmSystemWL* w = window();
    auto* state = dynamic_cast<frmSystemWLState*>(lk->entry(8).state());
    const auto lastLine = [w] { return w->lstTagData->LineText(w->lstTagData->count() - 1); };
    ASSERT_TRUE(clickOn(state->chkAuto) && activate(w) && clickOn(w->btFixcode) && clickOn(w->btClear));
    ASSERT_TRUE(select(8));
    sim.setStatus(0x00, 0x40);
    lk->LkPoll();
    EXPECT_TRUE(state->StateLit(0));
    EXPECT_EQ(lastLine(), "Fixcode: 00004711");

    sim.setStatus(0x00, 0x00);
    ASSERT_TRUE(clickOn(w->btStop));
    sim.setWriteTicks(3);
    writeThousand(w, 1);
    ASSERT_TRUE(select(8));
    for (int i = 0; i < 10 && w->Protocol().WriteProgress > 0; ++i)
        lk->LkPoll();
    EXPECT_EQ(lastLine(), "Tag erfolgreich beschrieben");
    EXPECT_TRUE(w->btWrite->isEnabled() && w->btStop->isEnabled());

    sim.setWriteTicks(100);
    writeThousand(w, 1);
    sim.setInfo("x\\A\\B\\C\\D");
    EXPECT_FALSE(select(8));
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(lastLine(), "Tag Schreibfehler");
    EXPECT_TRUE(w->btWrite->isEnabled());
}

TEST_F(WLFramedWindowTest, ParameterDialogShowsAndComposes)
{
    frmSystemWLParameter dialog(tc.ctx, kMorsek);
    EXPECT_TRUE(dialog.rdOPMode[1]->isChecked());
    EXPECT_EQ(dialog.txtChannel->text(), "50");
    EXPECT_TRUE(dialog.rdReadingRange[2]->isChecked());
    EXPECT_EQ(dialog.cmbLog->currentIndex(), 1);
    EXPECT_EQ(dialog.cmbLED->currentIndex(), 3);
    EXPECT_TRUE(dialog.rdTamper[1]->isChecked());
    EXPECT_EQ(dialog.Result(), kMorsek);
    dialog.rdOPMode[0]->setChecked(true);
    dialog.txtChannel->clear();
    dialog.txtAddress->setText("7");
    dialog.cmbParity->setCurrentIndex(2);
    dialog.txtTimeout->setText("12");
    const QByteArray r = dialog.Result();
    EXPECT_EQ(r.left(4), "On50");
    EXPECT_EQ(r.mid(12, 2), "07");
    EXPECT_EQ(r.mid(18, 2), " E");
    EXPECT_EQ(r.mid(32, 2), "05");
}

TEST(WLFramedLanguage, BothWindowsSwitchToEnglishAndBack)
{
    TestContext tc;
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    {
        frmSystemWL w(tc.ctx);
        const QSet<QString> same{kWindowTitleKey, QStringLiteral("btFixcode"), QStringLiteral("lblDBFixcode")};
        const auto german = LanguageRoundTrip(*tc.language, &w, [&] { w.SetLanguage(); }, same, {true});
        EXPECT_TRUE(german.contains(QStringLiteral("cmbPower[1]")));
    }
    {
        frmSystemWLParameter d(tc.ctx, kMorsek);
        QSet<QString> same{QStringLiteral("rdOPMode0"), QStringLiteral("rdOPMode1"), QStringLiteral("frameTimeout"),
                           QStringLiteral("lblLog"), QStringLiteral("lblBuzzer"), QStringLiteral("lblLED"),
                           QStringLiteral("btOK"), QStringLiteral("cmbPort[0]")};
        for (int i = 0; i < 6; ++i)
            same << QStringLiteral("cmbBaud[%1]").arg(i);
        for (int i = 1; i < 6; ++i)
            same << QStringLiteral("cmbRadar[%1]").arg(i);
        for (int i = 0; i < 2; ++i)
            same << QStringLiteral("cmbStopbits[%1]").arg(i);
        LanguageRoundTrip(*tc.language, &d, [&] { d.SetLanguage(); }, same, {true});
    }
}

} // namespace
} // namespace orvid::test
