// The system L windows offscreen: the main window's settings and boxes, the display
// formatter, the write dialog, and both small windows against a fake host.

#include "sim/SimL.h"
#include "support/FamilyFixture.h"
#include "support/LanguageWalk.h"
#include "support/ProtocolForm.h"
#include "support/RealInput.h"
#include "support/WhenModal.h"

#include "families/common/TagDataList.h"
#include "families/wl/RegisterWL.h"
#include "families/wl/WLProtocol.h"
#include "families/wl/frmSystemL.h"
#include "families/wl/frmSystemLWrite.h"
#include "families/wl/frmSystemWLIO.h"
#include "families/wl/frmSystemWLState.h"
#include "foundations/Language.h"
#include "link/LK.h"
#include "shell/frmCommand.h"

#include <QApplication>
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

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w, &out);
}

TEST(WLFormat, LinesSkipWrapAndShowThreeViews)
{
    struct Case {
        QByteArray data;
        int skip, length;
        bool fixcode;
        int rep, width;
        QList<QByteArray> lines;
    };
    const QByteArray ten("ABCDEFGHIJ");
    const QList<Case> cases = {
        {ten, 0, 10, false, 1, 20, {"41 42 43 44 45 46 ", "47 48 49 4A "}},
        {ten, 2, 3, false, 0, 80, {"CDE"}},
        {ten, 2, 3, true, 0, 80, {"ABCDEFGHIJ"}},
        {ten, 0, 2, false, 2, 80, {"065 066 "}},
        {ten, 0, 10, false, 0, 5, {"ABCD", "EFGH", "IJ"}},
        {QByteArray("\x00\x1f\x20", 3), 0, 3, false, 0, 80, {QByteArray("\xa1\xc0 ")}},
        {ten, 0, 20, false, 0, 80, {"ABCDEFGHIJ"}},
        {ten, 12, 3, false, 0, 80, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WLProtocol::FormatData(c.data, c.skip, c.length, c.fixcode, c.rep, c.width), c.lines)
            << c.skip << " " << c.rep << " " << c.width;
}

class WLWindowTest : public PtyFamilyFixture<SimL> {
protected:
    WLWindowTest() { RegisterSystemL(tc.ctx); }
    frmSystemL* window() { return dynamic_cast<frmSystemL*>(lk->entry(7).main()); }
    QString setting(const char* key)
    {
        return tc.settings->read(QStringLiteral("OrvidWL_VD"), QString::fromLatin1(key), QStringLiteral("<none>"));
    }
};

TEST_F(WLWindowTest, StoredValuesOutsideTheirListsGiveTheDefaultsAndTheShownRateIsSent)
{
    const QString section = QStringLiteral("OrvidWL_VD");
    const std::pair<const char*, const char*> stored[] = {
        {"OperationMode", "7"}, {"Range", "9"}, {"BitRate", "0"}, {"TagSpeed", "x"},
        {"Frequency", "123"}, {"StartAddress", "32769"}, {"DataLength", "5000"}, {"DataRepresentation", "-1"}};
    for (const auto& [key, value] : stored)
        tc.settings->write(section, QString::fromLatin1(key), QString::fromLatin1(value));
    ASSERT_TRUE(select(7));
    frmSystemL* w = window();
    w->Show();
    EXPECT_EQ(w->cmbMode->currentIndex(), 0);
    EXPECT_EQ(w->cmbRange->currentIndex(), 3);
    EXPECT_EQ(w->cmbBitrate->currentIndex(), 1);
    EXPECT_EQ(w->cmbTagSpeed->currentIndex(), 1);
    EXPECT_EQ(w->txtFrequency->text(), QStringLiteral("50"));
    EXPECT_EQ(w->txtAddress->text(), QStringLiteral("8001"));
    EXPECT_EQ(w->txtLength->text(), QStringLiteral("000"));
    EXPECT_TRUE(w->rdDataMode[0]->isChecked());

    // Selected again while the window shows "hoch": the telegrams say 2.
    ASSERT_TRUE(select(7));
    sim.clearTranscript();
    w->Protocol().SetTagConfig();
    EXPECT_EQ(sim.received().mid(1), (QList<QByteArray>{"CM50,4#\r", "MI2#\r", "TC030,2,C00#\r"}));

    w->cmbRange->setCurrentIndex(1);
    emit w->cmbRange->activated(1);
    w->txtFrequency->setText(QStringLiteral("7"));
    leave(w->txtFrequency);
    w->Unload();
    EXPECT_EQ(setting("Frequency"), QStringLiteral("07"));
    EXPECT_EQ(setting("Range"), QStringLiteral(" 2"));
    EXPECT_EQ(setting("BitRate"), QStringLiteral(" 2"));
    EXPECT_EQ(setting("StartAddress"), QStringLiteral(" 32769"));
    w->Show();
    EXPECT_EQ(w->txtFrequency->text(), QStringLiteral("07"));
    EXPECT_EQ(w->cmbRange->currentIndex(), 1);
}

TEST_F(WLWindowTest, ANewUserRecognisesReadsWritesListsAndSwitchesOutputs)
{
    sim.writeMemory(0, "ORVID sample tag data");
    sim.setInputs(false, true, false);
    ASSERT_TRUE(select(0));
    ASSERT_EQ(lk->CurrentSystemIndex(), 7);
    frmSystemL* w = window();
    w->Show();
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("ORVID-M"));
    auto lines = [w] {
        QStringList l;
        for (int i = 0; i < w->lstTagData->count(); ++i)
            l.append(w->lstTagData->item(i)->text());
        return l;
    };

    w->txtAddress->setText(QStringLiteral("6"));
    leave(w->txtAddress);
    w->txtLength->setText(QStringLiteral("6"));
    leave(w->txtLength);
    w->btRead->click();
    w->btFixcode->click();
    EXPECT_EQ(lines(), (QStringList{"sample", "FIXCODE1"}));

    w->btClear->click();
    ASSERT_TRUE(w->WriteTag(0, 2, "NEW"));
    // Nothing else may ask the unit while its replies belong to the write.
    for (QPushButton* b : {w->btWrite, w->btRead, w->btFixcode, w->btConfig})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    const int16_t previous = ports->SetTimeout(20);
    for (int i = 0; i < 25 && w->Protocol().WriteProgress > 0; ++i)
        lk->LkPoll();
    ports->SetTimeout(previous);
    EXPECT_EQ(lines().value(1), QStringLiteral("Tag erfolgreich beschrieben"));
    for (QPushButton* b : {w->btWrite, w->btRead, w->btFixcode, w->btConfig})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(sim.readMemory(0, 4), "NEW ");

    // Through the dialog: OK closes it once the write went out, whatever the unit answers,
    // and the hourglass stays until the write's progress has ended.
    sim.failNext("SW", '5', 2);
    {
        frmSystemLWrite d(tc.ctx);
        d.rdDataMode[1]->click();
        d.txtData->setText(QStringLiteral("41 42 43"));
        d.btOk_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(lines().last(), QStringLiteral("Tag Schreibfehler"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
        frmSystemLWrite d(tc.ctx);
        d.txtData->setText(QStringLiteral("OK"));
        d.btOk_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    ports->SetTimeout(20);
    for (int i = 0; i < 25 && w->Protocol().WriteProgress > 0; ++i)
        lk->LkPoll();
    ports->SetTimeout(previous);
    EXPECT_EQ(lines().last(), QStringLiteral("Tag erfolgreich beschrieben"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    w->btClear->click();
    w->btConfig->click();
    EXPECT_EQ(lines(), (QStringList{"CHANNEL 50", "RANGE 4", "BITRATE 2"}));

    auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(7).io());
    ASSERT_NE(io, nullptr);
    io->Show();
    EXPECT_TRUE(io->InputLit(1));
    EXPECT_FALSE(io->InputLit(0));
    io->chkOutput[1]->click();
    io->btSet->click();
    EXPECT_EQ(sim.outputs(), (std::array<bool, 2>{false, true}));
    EXPECT_TRUE(io->OutputLit(1));
    io->chkAuto->click();
    EXPECT_TRUE(lk->PollingEnabled());
    sim.setInputs(true, true, false);
    lk->LkPoll();
    EXPECT_TRUE(io->InputLit(0));
    io->close();
    EXPECT_FALSE(lk->PollingEnabled());
}

// The I/O window that a selection shows (its menu mark set) loads while the link still
// selects: its read of the unit goes out once the selection has ended. Until then it shows
// nothing as on - not the state of the unit it showed before, on the other entry it serves.
TEST_F(WLWindowTest, TheIOWindowShownByASelectionShowsTheNewUnitOnly)
{
    // The second entry of the shared window is here a second unit of the same protocol
    // (this simulator speaks no other).
    frmSystemL other(tc.ctx);
    other.ioWindow = [this] { return dynamic_cast<frmSystemWLIO*>(lk->entry(7).io()); };
    lk->RegisterSystem(8, [&] { return &other; }, lk->entry(7).io);
    frame.setMenuChecked(MenuEntry::IO, true);
    sim.setInputs(false, true, false);
    ASSERT_TRUE(select(7));
    auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(7).io());
    ASSERT_TRUE(io && io->Loaded());
    EXPECT_TRUE(QTest::qWaitFor([&] { return io->InputLit(1); }, 2000));
    // Output 2 on, by the user.
    ASSERT_TRUE(clickOn(io->chkOutput[1]));
    ASSERT_TRUE(clickOn(io->btSet));
    ASSERT_TRUE(io->OutputLit(1));

    sim.setInputs(true, false, true);
    ASSERT_TRUE(select(8));
    ASSERT_TRUE(io->Loaded());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(io->InputLit(i)) << i;
    EXPECT_FALSE(io->OutputLit(1));
    EXPECT_FALSE(io->chkOutput[1]->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return io->InputLit(0); }, 2000));
    EXPECT_FALSE(io->InputLit(1));
    EXPECT_TRUE(io->InputLit(2));
    EXPECT_TRUE(io->OutputLit(1)); // the unit kept its output
    EXPECT_TRUE(io->chkOutput[1]->isChecked());
    // The link goes before the second window it holds.
    lk.reset();
    tc.ctx.lk = nullptr;
}

// What the unit was told to end is ended in the window too: a Buffered read stopped by
// Schreiben (its dialog cancelled) or by a selection's "QU", and a write's progress, listed
// as failed, whose buttons and cursor come back with no later tick reporting the write.
// With no read running, Schreiben stops nothing: its Abbruch sends nothing, its write one
// "QU". The I/O window's automatic refresh goes on after a selection.
TEST_F(WLWindowTest, AReadOrWriteTheUnitWasToldToEndIsEndedInTheWindow)
{
    ASSERT_TRUE(select(7));
    frmSystemL* w = window();
    w->Show();
    ASSERT_TRUE(activate(w));
    auto* io = dynamic_cast<frmSystemWLIO*>(lk->entry(7).io());
    io->Show();
    w->cmbMode->setCurrentIndex(1);
    emit w->cmbMode->activated(1);
    ASSERT_TRUE(clickOn(w->btRead));
    whenModal<frmSystemLWrite>([](frmSystemLWrite* d) { clickOn(d->btCancel); });
    ASSERT_TRUE(clickOn(w->btWrite));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sim.repeating(); }, 2000));
    ASSERT_TRUE(clickOn(w->btRead));
    ASSERT_TRUE(select(7));
    EXPECT_EQ(w->Protocol().ScanActive, sim.repeating());

    sim.clearTranscript();
    whenModal<frmSystemLWrite>([](frmSystemLWrite* d) { clickOn(d->btCancel); });
    ASSERT_TRUE(clickOn(w->btWrite));
    whenModal<frmSystemLWrite>([](frmSystemLWrite* d) {
        clickOn(d->txtData);
        typeKeys(QStringLiteral("OK"));
        clickOn(d->btOk);
    });
    ASSERT_TRUE(clickOn(w->btWrite));
    ASSERT_GT(w->Protocol().WriteProgress, 0);
    EXPECT_EQ(sim.received(),
              (QList<QByteArray>{"QU#\r", "CM50,4#\r", "MI2#\r", "TC030,2,C08#\r", "SW000001OK  #\r"}));
    ports->SetTimeout(20);
    lk->LkPoll();
    ASSERT_TRUE(select(7));
    EXPECT_EQ(w->lstTagData->LineText(w->lstTagData->count() - 1), QStringLiteral("Tag Schreibfehler"));
    for (QPushButton* b : {w->btWrite, w->btStop, w->btRead, w->btFixcode, w->btConfig})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(clickOn(io->chkAuto));
    ports->SetTimeout(20);
    for (int i = 0; i < 20; ++i)
        lk->LkPoll();
    EXPECT_TRUE(w->lstTagData->findItems(QStringLiteral("Tag erfolgreich beschrieben"), Qt::MatchExactly).isEmpty());
    ASSERT_TRUE(select(7));
    sim.setInputs(true, false, false);
    lk->LkPoll();
    EXPECT_TRUE(io->InputLit(0));

    // A Buffered read, a command with several answers, then the command window's Stop: once
    // the I/O window's refresh brings polling back, no step waits for the read's replies.
    frmCommand command(tc.ctx);
    tc.ctx.command = &command;
    const auto gone = qScopeGuard([&] { tc.ctx.command = nullptr; });
    command.Show();
    command.findChild<QComboBox*>(QStringLiteral("cmbCommand"))->setEditText(QStringLiteral("VE"));
    ASSERT_TRUE(activate(w) && clickOn(w->btRead) && sim.repeating());
    ASSERT_TRUE(clickOn(command.findChild<QCheckBox*>(QStringLiteral("chkBuffered"))));
    ASSERT_TRUE(clickOn(command.findChild<QPushButton*>(QStringLiteral("btSend"))));
    ASSERT_TRUE(clickOn(command.findChild<QPushButton*>(QStringLiteral("btStop"))));
    ASSERT_TRUE(clickOn(io->chkAuto) && clickOn(io->chkAuto));   // off and on again
    monitor.lines.clear();
    for (int i = 0; i < 3; ++i)
        lk->LkPoll();
    EXPECT_FALSE(monitor.lines.isEmpty());
    EXPECT_FALSE(monitor.lines.contains("R: <TIMEOUT>")) << monitor.lines.join('|').constData();
}

TEST_F(WLWindowTest, FrequencyOutsideOneToNinetyNineBringsMessage70)
{
    ASSERT_TRUE(select(7));
    frmSystemL* w = window();
    w->Show();
    const std::pair<const char*, const char*> cases[] = {{"7", "07"}, {"0", nullptr}, {"100", nullptr}, {"99", "99"}};
    for (const auto& [typed, kept] : cases) {
        tc.presenter.requests.clear();
        w->txtFrequency->setText(QString::fromLatin1(typed));
        EXPECT_EQ(w->txtFrequency_LostFocus(), kept != nullptr) << typed;
        if (kept) {
            EXPECT_EQ(w->Protocol().Frequency, QString::fromLatin1(kept));
            EXPECT_TRUE(tc.presenter.numbers().isEmpty());
        } else {
            EXPECT_EQ(tc.presenter.numbers(), QList<int>{70});
        }
    }
    EXPECT_EQ(w->Protocol().Frequency, QStringLiteral("99"));
}

class FakeWriter : public IWLTextWriter {
public:
    bool WriteTag(int16_t type, int16_t length, const QByteArray& data) override
    {
        calls.append({type, length, data});
        return true;
    }
    struct Call {
        int16_t type, length;
        QByteArray data;
    };
    QList<Call> calls;
};

TEST_F(WLWindowTest, WriteDialogConvertsRefusesAndWritesOnce)
{
    FakeWriter writer;
    {
        frmSystemLWrite d(tc.ctx);
        d.setTarget(&writer);
        d.rdDataMode[1]->click();
        d.txtData->setText(QStringLiteral("41 1FF 43"));
        d.btOk_Click();
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
        EXPECT_EQ(d.txtData->selectedText(), QStringLiteral("1FF"));
        EXPECT_TRUE(writer.calls.isEmpty());

        d.txtData->setText(QStringLiteral("41 42 "));
        d.rdDataMode[0]->click();   // converted, the trailing blank adds nothing
        EXPECT_EQ(d.txtData->text(), QStringLiteral("AB"));
        d.rdIntervalType[1]->click();
        d.rdIntervalLength[3]->click();
        d.btOk_Click();
        ASSERT_EQ(writer.calls.size(), 1);
        EXPECT_EQ(writer.calls[0].type, 1);
        EXPECT_EQ(writer.calls[0].length, 3);
        EXPECT_EQ(writer.calls[0].data, "AB");
    }
    frmSystemLWrite again(tc.ctx);
    EXPECT_TRUE(again.rdDataMode[0]->isChecked());
    EXPECT_TRUE(again.rdIntervalType[0]->isChecked());
    EXPECT_TRUE(again.rdIntervalLength[2]->isChecked());
    EXPECT_TRUE(again.txtData->text().isEmpty());
}

// Entry 7 as a host that records what the small windows ask of it.
class FakeHost : public ProtocolForm, public IWLIOHost, public IWLStateHost {
public:
    FakeHost(WLProtocol& p, frmSystemWLIO& io, frmSystemWLState& state) : ProtocolForm(p), io_(io), state_(state) {}
    void OutputSet() override { calls.append(QStringLiteral("OutputSet")); }
    void InputSet() override
    {
        calls.append(QStringLiteral("InputSet"));
        io_.SetLamps({true, false, false}, {true, false});
    }
    void StatusSet(const QString& text) override { calls.append(QStringLiteral("StatusSet(%1)").arg(text)); }
    void ScanEnable(bool flag) override
    {
        calls.append(QStringLiteral("ScanEnable(%1,%2,%3)")
                         .arg(flag)
                         .arg(io_.AutoRefresh())
                         .arg(state_.AutoRefresh()));
    }
    QStringList calls;

private:
    frmSystemWLIO& io_;
    frmSystemWLState& state_;
};

class WLSmallWindowTest : public PtyFamilyFixture<SimL> {
protected:
    WLSmallWindowTest() { lk->RegisterSystem(7, [this] { return &host; }); }
    ~WLSmallWindowTest() override { lk.reset(); }
    QString stored(const char* key)
    {
        return tc.settings->read(QStringLiteral("OrvidWL"), QString::fromLatin1(key), QStringLiteral("<none>"));
    }
    frmSystemWLIO io{tc.ctx};
    frmSystemWLState state{tc.ctx};
    WLProtocol wl{tc.ctx};
    FakeHost host{wl, io, state};
};

TEST_F(WLSmallWindowTest, IOWindowMirrorsWithoutSendingAndStoresItsMode)
{
    tc.settings->write(QStringLiteral("OrvidWL"), QStringLiteral("IOAutoMode"), QStringLiteral("2"));
    ASSERT_TRUE(select(7));
    io.Show();
    EXPECT_TRUE(io.chkAuto->isChecked());
    EXPECT_FALSE(io.btSet->isEnabled());
    EXPECT_EQ(host.calls, (QStringList{"ScanEnable(1,0,0)", "InputSet"}));
    EXPECT_TRUE(io.chkOutput[0]->isChecked());
    EXPECT_FALSE(io.chkOutput[1]->isChecked());
    EXPECT_TRUE(io.AutoRefresh());

    host.calls.clear();
    io.chkOutput[1]->click();
    EXPECT_EQ(host.calls, (QStringList{"OutputSet", "InputSet"}));

    host.calls.clear();
    io.close();
    EXPECT_EQ(stored("IOAutoMode"), QStringLiteral("1"));
    EXPECT_EQ(host.calls, QStringList{"ScanEnable(0,0,0)"});
    EXPECT_FALSE(io.Loaded());

    // Without automatic refresh a box waits for the button.
    tc.settings->write(QStringLiteral("OrvidWL"), QStringLiteral("IOAutoMode"), QStringLiteral("0"));
    io.Show();
    host.calls.clear();
    io.chkOutput[1]->click();
    EXPECT_TRUE(host.calls.isEmpty());
    io.btSet->click();
    EXPECT_EQ(host.calls, (QStringList{"OutputSet", "InputSet"}));
}

TEST_F(WLSmallWindowTest, StateWindowAsksTheHostAndClearsItsFlagBeforeStopping)
{
    ASSERT_TRUE(select(7));
    state.Show();
    // The stored mode leaves the box unticked: nothing but the state is asked for.
    EXPECT_EQ(host.calls, (QStringList{"StatusSet()"}));
    EXPECT_TRUE(state.btSet->isEnabled());
    state.btSet->click();
    state.chkAuto->click();
    EXPECT_EQ(host.calls.mid(1), (QStringList{"StatusSet()", "ScanEnable(1,0,1)"}));
    host.calls.clear();
    state.close();
    EXPECT_EQ(stored("StateAutoMode"), QStringLiteral("1"));
    EXPECT_EQ(host.calls, QStringList{"ScanEnable(0,0,0)"});
}

TEST_F(WLSmallWindowTest, WindowsCallNothingOnAWindowWithoutTheirInterface)
{
    ProtocolForm plain(wl);
    lk->RegisterSystem(7, [&] { return &plain; });
    ASSERT_TRUE(select(7));
    io.Show();
    state.Show();
    io.btSet->click();
    state.btSet->click();
    io.chkAuto->click();
    io.close();
    state.close();
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_FALSE(io.InputLit(0));
}

TEST(WLLanguage, FourWindowsSwitchToEnglishAndBack)
{
    TestContext tc;
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    // The operating modes keep their names in English.
    const QSet<QString> brand{kWindowTitleKey, QStringLiteral("btFixcode"), QStringLiteral("cmbMode[0]"),
                              QStringLiteral("cmbMode[1]"), QStringLiteral("cmbMode[2]")};
    {
        frmSystemL w(tc.ctx);
        const auto german = LanguageRoundTrip(*tc.language, &w, [&] { w.SetLanguage(); }, brand, {true});
        EXPECT_TRUE(german.contains(QStringLiteral("cmbBitrate[1]")));
        EXPECT_TRUE(german.contains(QStringLiteral("cmbMode[1]")));
        QString english = QStringLiteral("English");
        tc.language->SelectLanguageByCode(english);
        ASSERT_EQ(tc.language->LanguageName(), english);
        w.SetLanguage();
        EXPECT_EQ(w.Protocol().GetError("5"), QStringLiteral("STATUS: 5 - Read/write error"));
        EXPECT_EQ(w.frameHead->title(), QStringLiteral("No read/write head present"));
    }
    {
        frmSystemLWrite d(tc.ctx);
        LanguageRoundTrip(*tc.language, &d, [&] { d.SetLanguage(); }, {});
    }
    {
        frmSystemWLIO io(tc.ctx);
        LanguageRoundTrip(*tc.language, &io, [&] { io.SetLanguage(); }, {});
    }
    {
        frmSystemWLState state(tc.ctx);
        const auto german = LanguageRoundTrip(*tc.language, &state, [&] { state.SetLanguage(); }, {});
        EXPECT_TRUE(german.contains(QStringLiteral("lblError6")));
    }
}

} // namespace
} // namespace orvid::test
