// The microwave system D window on the real link with a simulated unit on a
// pseudo-terminal: field filters and formatting, the stored entries, the access-type and
// representation options, the head-frame title, the scan frame, Stop, and the refusal of
// a second device action while an exchange still waits.

#include "sim/SimWD.h"
#include "support/FamilyFixture.h"
#include "support/PortDrain.h"

#include "families/wd/RegisterWD.h"
#include "families/common/Lamp.h"
#include "families/wd/frmSystemWD.h"
#include "families/wd/frmSystemWDIO.h"
#include "families/wd/frmSystemWDState.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/ctrlList.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w, &out);
}

class WDWindowTest : public PtyFamilyFixture<SimWD> {
protected:
    WDWindowTest() { RegisterSystemWD(ctx()); }

    AppContext& ctx() { return tc.ctx; }
    frmSystemWD* select()
    {
        if (!PtyFamilyFixture::select(6))
            return nullptr;
        return dynamic_cast<frmSystemWD*>(lk->CurrentWindow());
    }
    frmSystemWD* window() { return dynamic_cast<frmSystemWD*>(lk->entry(6).main()); }
    QString setting(const char* key)
    {
        return tc.settings->read(QStringLiteral("OrvidWD"), QString::fromLatin1(key), QStringLiteral("<none>"));
    }
};

TEST_F(WDWindowTest, FieldsKeepToTheirDigitsAndAreFormattedOnLeaving)
{
    frmSystemWD* w = window();
    struct Case {
        QLineEdit* box;
        QString typed, kept, formatted;
    };
    const QList<Case> cases = {
        {w->txtAddress, QStringLiteral("8044"), QStringLiteral("8044"), QStringLiteral("8044")},
        {w->txtAddress, QString(), QString(), QStringLiteral("0000")},
        {w->txtAddress, QStringLiteral("1f"), QStringLiteral("1f"), QStringLiteral("001F")},
        {w->txtAddress, QStringLiteral("1G"), QStringLiteral("1"), QStringLiteral("0001")},
        {w->txtIDCode, QStringLiteral("12AB"), QStringLiteral("12AB"), QStringLiteral("000012AB")},
        {w->txtIDCode, QStringLiteral("FFFFFFFF"), QStringLiteral("FFFFFFFF"), QStringLiteral("FFFFFFFF")},
        {w->txtIDCode, QStringLiteral("x9"), QStringLiteral("9"), QStringLiteral("00000009")},
        {w->txtLength, QStringLiteral("7"), QStringLiteral("7"), QStringLiteral("007")},
        {w->txtLength, QStringLiteral("1a"), QStringLiteral("1"), QStringLiteral("001")},
        {w->txtScan[0], QString(), QString(), QString()},
        {w->txtScan[3], QStringLiteral("abc"), QStringLiteral("abc"), QStringLiteral("00000ABC")},
    };
    for (const Case& c : cases) {
        c.box->setText(c.typed);
        EXPECT_EQ(c.box->text(), c.kept) << c.box->objectName().toStdString() << " " << c.typed.toStdString();
        leave(c.box);
        EXPECT_EQ(c.box->text(), c.formatted) << c.box->objectName().toStdString() << " " << c.typed.toStdString();
    }
    EXPECT_EQ(w->txtAddress->maxLength(), 4);
    EXPECT_EQ(w->txtIDCode->maxLength(), 8);
    EXPECT_EQ(w->txtLength->maxLength(), 3);
}

TEST_F(WDWindowTest, StoredEntriesAreLoadedWithTheirRangeRulesAndWrittenAtClose)
{
    const QString section = QStringLiteral("OrvidWD");
    tc.settings->write(section, QStringLiteral("HeadNumber"), QStringLiteral(" 1"));
    tc.settings->write(section, QStringLiteral("UseIdCode"), QStringLiteral("5"));
    tc.settings->write(section, QStringLiteral("DataRepresentation"), QStringLiteral(" 2"));
    tc.settings->write(section, QStringLiteral("LoopFlag"), QStringLiteral("1"));
    tc.settings->write(section, QStringLiteral("IdCode"), QStringLiteral("12ab"));
    tc.settings->write(section, QStringLiteral("StartAddress"), QStringLiteral("1f"));
    tc.settings->write(section, QStringLiteral("DataLength"), QStringLiteral("7"));
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();
    EXPECT_TRUE(w->Loaded());
    EXPECT_EQ(w->cmbHeadNumber->currentIndex(), 1);
    EXPECT_TRUE(w->rdIDCode[0]->isChecked());          // "5" is out of range
    EXPECT_FALSE(w->txtIDCode->isEnabled());
    EXPECT_TRUE(w->rdDataMode[2]->isChecked());
    EXPECT_EQ(w->list->representation(), 3);
    EXPECT_TRUE(w->chkLoop->isChecked());
    EXPECT_EQ(w->txtIDCode->text(), QStringLiteral("000012AB"));
    EXPECT_EQ(w->txtAddress->text(), QStringLiteral("001F"));
    EXPECT_EQ(w->txtLength->text(), QStringLiteral("007"));
    EXPECT_TRUE(lk->PollingEnabled());

    w->rdIDCode[2]->click();
    w->txtAddress->setText(QStringLiteral("8044"));
    frame.checked[int(MenuEntry::OrvidWindow)] = true;
    w->Unload();
    EXPECT_FALSE(w->Loaded());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::OrvidWindow));
    EXPECT_EQ(setting("HeadNumber"), QStringLiteral(" 1"));
    EXPECT_EQ(setting("UseIdCode"), QStringLiteral(" 2"));
    EXPECT_EQ(setting("DataRepresentation"), QStringLiteral(" 2"));
    EXPECT_EQ(setting("LoopFlag"), QStringLiteral("1"));
    EXPECT_EQ(setting("IdCode"), QStringLiteral("000012AB"));
    EXPECT_EQ(setting("StartAddress"), QStringLiteral("8044"));
    EXPECT_EQ(setting("DataLength"), QStringLiteral("007"));

    // Program end with the window closed earlier: the link closes the system, which must
    // not put zeros nobody chose over the user's address and length.
    w->CloseLK();
    EXPECT_EQ(setting("StartAddress"), QStringLiteral("8044"));
    EXPECT_EQ(setting("DataLength"), QStringLiteral("007"));
    EXPECT_EQ(setting("HeadNumber"), QStringLiteral(" 1"));

    // Any loop flag text but "1" leaves the box clear.
    tc.settings->write(section, QStringLiteral("LoopFlag"), QStringLiteral("yes"));
    tc.settings->write(section, QStringLiteral("HeadNumber"), QStringLiteral("5"));
    w->Show();
    EXPECT_FALSE(w->chkLoop->isChecked());
    EXPECT_EQ(w->cmbHeadNumber->currentIndex(), 0);

    // One value per key: an address item put in while the window is open gives way to the
    // entry the window closes with, one put in after the close is what program end stores.
    w->PutData(WDItem::StartAddress, 0x20);
    w->txtAddress->setText(QStringLiteral("1234"));
    w->Unload();
    w->CloseLK();
    EXPECT_EQ(setting("StartAddress"), QStringLiteral("1234"));
    w->PutData(WDItem::StartAddress, 0x30);
    w->CloseLK();
    EXPECT_EQ(setting("StartAddress"), QStringLiteral("0030"));
}

TEST_F(WDWindowTest, OptionsSetTheIdFieldAndTheListRepresentation)
{
    frmSystemWD* w = window();
    w->Show();
    w->rdIDCode[1]->click();
    EXPECT_TRUE(w->txtIDCode->isEnabled());
    EXPECT_TRUE(w->lblIDCode->isEnabled());
    w->rdIDCode[0]->click();
    EXPECT_FALSE(w->txtIDCode->isEnabled());
    EXPECT_FALSE(w->lblIDCode->isEnabled());
    w->rdIDCode[2]->click();
    EXPECT_TRUE(w->txtIDCode->isEnabled());

    w->rdDataMode[1]->click();
    QVariant rep;
    w->GetData(103, rep);
    EXPECT_EQ(rep.toInt(), 1);
    EXPECT_EQ(w->list->representation(), 2);
}

TEST_F(WDWindowTest, HeadFrameShowsTheRecognisedHeadAlsoInGerman)
{
    frmSystemWD* w = window();
    w->Show();
    // Nothing recognised yet.
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    w->Unload();
    ASSERT_EQ(select(), w);
    w->Show();
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("WDN-S2-2NWZ"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ORVID-M System D"));
    EXPECT_EQ(w->btRead->text(), QStringLiteral("L&esen"));
}

TEST_F(WDWindowTest, AnotherLanguageTranslatesTheControlsButNotTheHeadFrame)
{
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[frmSystemWD]\r\nfrmSystemWD=ORVID-M System D (en)\r\n"
                        "btRead=&Read\r\nrdIDCode1=tags with ID code\r\nbtClear1=&Clear\r\n"
                        "ErrorStr=STATE:\r\nNoHead=No head\r\nrdDataMode1=x\r\n");
    tc.language->LoadLanguageList();
    frmSystemWD* w = window();
    w->Show();
    QString english = QStringLiteral("English");
    tc.language->SelectLanguageByCode(english);
    w->SetLanguage();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ORVID-M System D (en)"));
    EXPECT_EQ(w->btRead->text(), QStringLiteral("&Read"));
    EXPECT_EQ(w->rdIDCode[1]->text(), QStringLiteral("tags with ID code"));
    EXPECT_EQ(w->btClear[1]->text(), QStringLiteral("&Clear"));
    EXPECT_EQ(w->btClear[0]->text(), QStringLiteral("L&öschen"));
    EXPECT_EQ(w->rdDataMode[1]->text(), QStringLiteral("HEX"));   // never translated
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("No head"));
    EXPECT_EQ(w->protocol().ErrorText, QStringLiteral("STATE:"));

    // Back to the built-in German: the design texts return.
    QString german = QStringLiteral("Deutsch");
    tc.language->SelectLanguageByCode(german);
    w->SetLanguage();
    EXPECT_EQ(w->btRead->text(), QStringLiteral("L&esen"));
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
}

TEST_F(WDWindowTest, ScanFrameAlternatesWithTheDataFrame)
{
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();
    EXPECT_FALSE(w->ScanFrameShown());
    w->btCodeScan->click();
    EXPECT_TRUE(w->ScanFrameShown());
    EXPECT_TRUE(w->frameTagData->isHidden());
    EXPECT_FALSE(w->protocol().ScanMode);   // shown, not started

    w->txtScan[1]->setText(QStringLiteral("12345678"));
    w->txtScan[4]->setText(QStringLiteral(" 0000ABCD "));
    w->chkScan[6]->click();
    EXPECT_FALSE(w->txtScan[6]->isEnabled());
    w->btScanStart->click();
    EXPECT_EQ(w->protocol().ScanCount, 2);
    EXPECT_TRUE(w->protocol().ScanMode);
    EXPECT_TRUE(w->protocol().LoopMode);
    EXPECT_TRUE(w->txtScan[1]->isReadOnly());
    EXPECT_FALSE(w->btScanStart->isEnabled());
    EXPECT_TRUE(w->btScanPause->isEnabled());

    w->btScanPause->click();
    EXPECT_FALSE(w->protocol().ScanMode);
    EXPECT_FALSE(w->protocol().LoopMode);
    EXPECT_FALSE(w->txtScan[1]->isReadOnly());
    EXPECT_TRUE(w->btScanStart->isEnabled());

    // A read brings the data frame back and ends a running scan.
    w->btScanStart->click();
    w->btIdCodeRead->click();
    EXPECT_FALSE(w->ScanFrameShown());
    EXPECT_FALSE(w->protocol().ScanMode);
    EXPECT_FALSE(w->txtScan[1]->isReadOnly());

    w->btClear[1]->click();
    for (QLineEdit* box : w->txtScan)
        EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(w->protocol().ScanCount, 0);
}

TEST_F(WDWindowTest, SmallWindowsOpenedBeforeTheSystemWindowAreFilledByIt)
{
    auto* state = dynamic_cast<frmSystemWDState*>(lk->entry(6).state());
    auto* io = dynamic_cast<frmSystemWDIO*>(lk->entry(6).io());
    ASSERT_NE(state, nullptr);
    ASSERT_NE(io, nullptr);
    state->Show();
    io->Show();
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();

    // The poll step refreshes the state window it was given.
    state->chkAuto->click();
    sim.setUnitState('4');
    lk->LkPoll();
    EXPECT_TRUE(state->lampLit(4));
    // The outputs go out from the boxes of the outputs window it was given.
    io->chkOutput[1]->click();
    io->btSet->click();
    EXPECT_EQ(sim.outputs(), QByteArray("0100"));
    EXPECT_TRUE(io->lampLit(1));
}

TEST_F(WDWindowTest, StopEndsTheLoop)
{
    sim.addTag(0x11223344);
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();
    w->chkLoop->setChecked(true);
    w->btIdCodeRead->click();
    EXPECT_TRUE(w->protocol().LoopMode);
    lk->LkPoll();
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("ANT 0: ID-Code =11223344")));
    // The loop's next read is on its way to the unit.
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commandsStartingWith("?12").size() >= 2; }, 5000));
    ASSERT_TRUE(Drained(sim, ports->comm()));
    const int reads = int(sim.commandsStartingWith("?12").size());
    EXPECT_GE(reads, 2);

    w->btStop->click();
    EXPECT_FALSE(w->protocol().LoopMode);
    EXPECT_TRUE(w->protocol().LastCommand.isEmpty());
    ASSERT_TRUE(Drained(sim, ports->comm()));
    EXPECT_EQ(sim.commands().constLast(), QByteArray("?70"));
    lk->LkPoll();
    lk->LkPoll();
    EXPECT_EQ(sim.commandsStartingWith("?12").size(), reads);
}

TEST_F(WDWindowTest, ASecondDeviceActionWhileAnExchangeWaitsIsRefused)
{
    const int tag = sim.addTag(0x0A0B0C0D);
    sim.writeMemory(tag, 0, QByteArray("xyz"));
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();
    w->txtLength->setText(QStringLiteral("3"));
    w->chkLoop->setChecked(true);
    sim.delayNext("?10", 250);
    sim.clearTranscript();
    const int before = int(sim.commands().size());

    bool wrote = true;
    bool ranInside = false;
    QTimer::singleShot(60, w, [&] {
        ranInside = w->ExchangeRunning();
        w->btIdCodeRead_Click();
        w->btRead_Click();
        wrote = w->WriteTag(true, 0, 0, QString(), 0, 1, QByteArray("q"));
        w->Poll();   // a poll tick inside the wait
        w->GetState();
    });
    w->btRead_Click();
    EXPECT_TRUE(ranInside);
    EXPECT_FALSE(wrote);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commands().size() >= before + 4; }, 5000));
    ASSERT_TRUE(Drained(sim, ports->comm()));   // anything nested has arrived by now

    // Only the read itself and the loop's next read went out: no nested exchange.
    const QList<QByteArray> sent = sim.commands().mid(before);
    QList<QByteArray> kinds;
    for (const QByteArray& c : sent)
        kinds.append(c.left(3));
    EXPECT_EQ(kinds, (QList<QByteArray>{"?70", "?10", "?70", "?10"}));
    EXPECT_EQ(w->list->text().count(QStringLiteral("ANT 0: DATA =")), 1);
    EXPECT_TRUE(w->list->text().contains(QStringLiteral("xyz")));
    EXPECT_FALSE(w->ExchangeRunning());
}

TEST_F(WDWindowTest, StopInsideTheStateRefreshEndsTheLoopAndStopsTheUnitOnceTheLinkIsIdle)
{
    sim.addTag(0x11223344);
    auto* state = dynamic_cast<frmSystemWDState*>(lk->entry(6).state());
    ASSERT_NE(state, nullptr);
    state->Show();
    frmSystemWD* w = select();
    ASSERT_NE(w, nullptr);
    w->Show();
    state->chkAuto->click();
    w->chkLoop->setChecked(true);
    w->btIdCodeRead->click();
    ASSERT_TRUE(w->protocol().LoopMode);
    ASSERT_TRUE(Drained(sim, ports->comm()));
    sim.clearCommands();

    // The poll step's state refresh waits for its reply when Stop is clicked.
    sim.delayNext("?73", 250);
    bool stopWaited = false;
    QTimer::singleShot(60, w, [&] {
        w->btStop->click();
        stopWaited = sim.commands().constLast() == QByteArray("?73");
    });
    lk->LkPoll();
    EXPECT_TRUE(stopWaited);
    EXPECT_FALSE(w->protocol().LoopMode);
    // The unit's stop follows the refresh's reply instead of flushing it away, and the loop
    // sends no further read (nor an empty command).
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commands().constLast() == QByteArray("?70"); }, 5000));
    ASSERT_TRUE(Drained(sim, ports->comm()));
    EXPECT_EQ(sim.commands(), (QList<QByteArray>{"?73", "?70"}));
    lk->LkPoll();
    ASSERT_TRUE(Drained(sim, ports->comm()));
    EXPECT_TRUE(sim.commandsStartingWith("?12").isEmpty());
}

} // namespace
} // namespace orvid::test
