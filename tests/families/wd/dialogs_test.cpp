// The microwave system D dialogs and small windows without a device: the data and ID-code
// write dialogs against a recording write target, and the unit-state and outputs windows with their settings.

#include "support/FakeShell.h"
#include "support/TestContext.h"

#include "families/common/Lamp.h"
#include "families/wd/frmSystemWDIO.h"
#include "families/wd/frmSystemWDState.h"
#include "families/wd/frmSystemWDWrite.h"
#include "families/wd/frmSystemWDWriteIDCode.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace orvid::test {
namespace {

struct WriteCall {
    bool isData;
    int16_t head, access;
    QString idCode;
    quint16 address;
    int length;
    QByteArray data;
};

class FakeWriteTarget : public IWDWriteTarget {
public:
    WDEntries Entries() const override { return entries; }
    bool WriteTag(bool isData, int16_t head, int16_t access, const QString& id, quint16 address,
                  int length, const QByteArray& data) override
    {
        calls.append({isData, head, access, id, address, length, data});
        return result;
    }
    WDEntries entries;
    QList<WriteCall> calls;
    bool result = true;
};

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w, &out);
}

class WDDialogTest : public ::testing::Test {
protected:
    AppContext& ctx() { return tc.ctx; }
    TestContext tc;
    FakeWriteTarget target;
};

// ---- data write dialog ---------------------------------------------------------------------

TEST_F(WDDialogTest, DataDialogStartsFromTheWindowEntries)
{
    target.entries = {1, 2, QStringLiteral("12AB34CD"), QStringLiteral("8044"), QByteArray("AB"), 1};
    frmSystemWDWrite d(ctx());
    d.setTarget(&target);
    d.Load();
    EXPECT_EQ(d.cmbHeadNumber->currentIndex(), 1);
    EXPECT_TRUE(d.rdIDCode[2]->isChecked());
    EXPECT_TRUE(d.txtIDCode->isEnabled());
    EXPECT_EQ(d.txtIDCode->text(), QStringLiteral("12AB34CD"));
    EXPECT_EQ(d.txtAddress->text(), QStringLiteral("8044"));
    EXPECT_EQ(d.DataRep(), 1);
    EXPECT_TRUE(d.rdDataMode[1]->isChecked());
    EXPECT_EQ(d.txtData->text().trimmed(), QStringLiteral("41 42"));

    // Access type 0 disables the ID field, yet its text is still handed over.
    d.rdIDCode[0]->click();
    EXPECT_FALSE(d.txtIDCode->isEnabled());
    EXPECT_FALSE(d.lblIdCode->isEnabled());
    d.btOk->click();
    ASSERT_EQ(target.calls.size(), 1);
    const WriteCall& c = target.calls[0];
    EXPECT_TRUE(c.isData);
    EXPECT_EQ(c.head, 1);
    EXPECT_EQ(c.access, 0);
    EXPECT_EQ(c.idCode, QStringLiteral("12AB34CD"));
    EXPECT_EQ(c.address, 0x8044);
    EXPECT_EQ(c.data, QByteArray("AB"));
    EXPECT_EQ(c.length, 2);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST_F(WDDialogTest, DataIsWrittenAsTheBytesTheTextSpells)
{
    struct Case {
        int rep;
        QString text;
        QByteArray bytes;
    };
    const QList<Case> cases = {
        {1, QStringLiteral("41 42 43"), QByteArray("ABC")},
        {2, QStringLiteral("065 066"), QByteArray("AB")},
        {0, QStringLiteral("xy"), QByteArray("xy")},
        {0, QString(), QByteArray()},
        // A typed name is its control character, as the monitor shows it.
        {0, QStringLiteral("<CR><NUL>"), QByteArray("\r\0", 2)},
        {0, QStringLiteral("\u240D\u2400\u00A7"), QByteArray("\r\0\xA7", 3)},
    };
    for (const Case& k : cases) {
        FakeWriteTarget t;
        t.entries.dataRepresentation = k.rep;
        frmSystemWDWrite d(ctx());
        d.setTarget(&t);
        d.Load();
        d.txtData->setText(k.text);
        d.btOk->click();
        ASSERT_EQ(t.calls.size(), 1) << k.text.toStdString();
        EXPECT_EQ(t.calls[0].data, k.bytes) << k.text.toStdString();
        EXPECT_EQ(t.calls[0].length, k.bytes.size());
    }
}

TEST_F(WDDialogTest, TagBytesSurviveEveryChangeOfRepresentation)
{
    // Control characters, NUL, a literal "<CR>" and high bytes: whatever the text view
    // shows, switching back and forth and writing gives the bytes that were read.
    const QByteArray sample = QByteArray("\r\n", 2) + QByteArray(1, '\0') + "<CR>" + char(0xFF) + "<";
    QByteArray longRead; // its decimal view is longer than a line edit holds by default
    for (int i = 0; i < 9000; ++i)
        longRead += char(i * 13);
    for (int first = 0; first < 6; ++first) {
        const QByteArray& bytes = first < 3 ? sample : longRead;
        FakeWriteTarget t;
        t.entries.lastData = bytes;
        t.entries.dataRepresentation = first % 3;
        frmSystemWDWrite d(ctx());
        d.setTarget(&t);
        d.Load();
        for (int rep : {2, 0, 1, 0})
            d.rdDataMode[rep]->click();
        d.btOk->click();
        ASSERT_EQ(t.calls.size(), 1);
        EXPECT_EQ(t.calls[0].data, bytes) << "first shown as " << first % 3;
    }
    EXPECT_TRUE(tc.presenter.requests.isEmpty());

    // CR and LF typed in hex show by name in the text view (a line edit cannot hold the
    // raw characters) and go out as CR and LF.
    FakeWriteTarget t;
    t.entries.dataRepresentation = 1;
    frmSystemWDWrite d(ctx());
    d.setTarget(&t);
    d.Load();
    d.txtData->setText(QStringLiteral("0D 0A"));
    d.rdDataMode[0]->click();
    EXPECT_EQ(d.txtData->text(), QStringLiteral("<CR><LF>"));
    d.btOk->click();
    ASSERT_EQ(t.calls.size(), 1);
    EXPECT_EQ(t.calls[0].data, QByteArray("\r\n"));
}

TEST_F(WDDialogTest, DataThatDoesNotConvertKeepsTheDialogOpen)
{
    target.entries.dataRepresentation = 2;
    frmSystemWDWrite d(ctx());
    d.setTarget(&target);
    d.Load();
    d.txtData->setText(QStringLiteral("300"));
    d.btOk->click();
    EXPECT_TRUE(target.calls.isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_EQ(d.txtData->selectedText(), QStringLiteral("300"));
    EXPECT_NE(d.result(), QDialog::Accepted);

    // A change of representation that fails keeps the old one and the text.
    d.rdDataMode[1]->click();
    EXPECT_EQ(d.DataRep(), 2);
    EXPECT_TRUE(d.rdDataMode[2]->isChecked());
    EXPECT_EQ(d.txtData->text(), QStringLiteral("300"));
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20}));

    // A character the tag's code page does not have is refused, not sent as "?".
    d.txtData->clear();
    d.rdDataMode[0]->click();
    ASSERT_EQ(d.DataRep(), 0);
    d.txtData->setText(QStringLiteral("ok\u4E00"));
    d.btOk->click();
    EXPECT_TRUE(target.calls.isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20, 20}));
    EXPECT_EQ(d.txtData->selectedText(), QStringLiteral("\u4E00"));
}

TEST_F(WDDialogTest, AddressIsHexAndDataMustFitTheTagMemory)
{
    frmSystemWDWrite d(ctx());
    d.setTarget(&target);
    d.Load();
    d.txtAddress->setText(QStringLiteral("1G"));
    EXPECT_EQ(d.txtAddress->text(), QStringLiteral("1"));
    leave(d.txtAddress);
    EXPECT_EQ(d.txtAddress->text(), QStringLiteral("0001"));

    // FFFE + 3 bytes would run past the last address: nothing goes out.
    d.txtAddress->setText(QStringLiteral("FFFE"));
    d.txtData->setText(QStringLiteral("abc"));
    d.btOk->click();
    EXPECT_TRUE(target.calls.isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_NE(d.result(), QDialog::Accepted);

    d.txtData->setText(QStringLiteral("ab"));
    d.btOk->click();
    ASSERT_EQ(target.calls.size(), 1);
    EXPECT_EQ(target.calls[0].address, 0xFFFE);
}

TEST_F(WDDialogTest, AWriteTheUnitRefusedLeavesTheDialogOpen)
{
    target.result = false;
    frmSystemWDWrite d(ctx());
    d.setTarget(&target);
    d.Load();
    d.txtData->setText(QStringLiteral("abc"));
    d.btOk->click();
    EXPECT_EQ(target.calls.size(), 1);
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.txtData->text(), QStringLiteral("abc"));

    frmSystemWDWriteIDCode id(ctx());
    id.setTarget(&target);
    id.Load();
    id.btOk->click();
    EXPECT_EQ(target.calls.size(), 2);
    EXPECT_NE(id.result(), QDialog::Accepted);
}

// ---- ID-code write dialog ------------------------------------------------------------------

TEST_F(WDDialogTest, NewIdCodeGoesOutWithItsBytesReversedAndIsRemembered)
{
    frmSystemWDWriteIDCode::RememberedIDCode().clear();
    target.entries = {1, 1, QStringLiteral("00001234"), QStringLiteral("0000"), {}, 0};
    {
        frmSystemWDWriteIDCode d(ctx());
        d.setTarget(&target);
        d.Load();
        EXPECT_EQ(d.cmbHeadNumber->currentIndex(), 1);
        EXPECT_TRUE(d.rdIDCode[1]->isChecked());
        // First showing: the main window's ID code is offered.
        EXPECT_EQ(d.txtIDCodeWrite->text(), QStringLiteral("00001234"));
        d.txtIDCodeWrite->setText(QStringLiteral("1A2B3C4D"));
        d.btOk->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    ASSERT_EQ(target.calls.size(), 1);
    EXPECT_FALSE(target.calls[0].isData);
    EXPECT_EQ(target.calls[0].data, QByteArray("4D3C2B1A"));
    EXPECT_EQ(target.calls[0].length, 8);
    EXPECT_EQ(target.calls[0].address, 0);
    EXPECT_EQ(target.calls[0].idCode, QStringLiteral("00001234"));
    EXPECT_EQ(target.calls[0].access, 1);

    frmSystemWDWriteIDCode again(ctx());
    again.setTarget(&target);
    again.Load();
    EXPECT_EQ(again.txtIDCodeWrite->text(), QStringLiteral("1A2B3C4D"));
    // Typed short and OK at once: padded, then reversed.
    again.txtIDCodeWrite->setText(QStringLiteral("abz"));
    EXPECT_EQ(again.txtIDCodeWrite->text(), QStringLiteral("ab"));
    again.rdIDCode[0]->click();
    EXPECT_FALSE(again.txtIDCode->isEnabled());
    again.btOk->click();
    ASSERT_EQ(target.calls.size(), 2);
    EXPECT_EQ(target.calls[1].data, QByteArray("AB000000"));
    EXPECT_EQ(target.calls[1].access, 0);
    EXPECT_EQ(frmSystemWDWriteIDCode::RememberedIDCode(), QStringLiteral("000000AB"));
}

// ---- unit-state and outputs windows ----------------------------------------------------------

class RecordingUnit : public IWDUnitTarget {
public:
    void GetState() override { ++states; }
    bool OutputSet() override { ++outputs; return true; }
    int states = 0;
    int outputs = 0;
};

TEST_F(WDDialogTest, StateWindowAutoModeFromSettingsAndBack)
{
    FakeMainFrame frame;
    ctx().frame = &frame;
    LK lk(ctx());
    ctx().lk = &lk;
    lk.InitSystems();
    tc.settings->write(QStringLiteral("OrvidWD"), QStringLiteral("StateAutoMode"), QStringLiteral("1"));
    RecordingUnit unit;
    frmSystemWDState w(ctx());
    w.setTarget(&unit);
    EXPECT_FALSE(w.Loaded());
    w.Show();
    EXPECT_TRUE(w.Loaded());
    EXPECT_TRUE(w.AutoMode());
    EXPECT_TRUE(w.chkAuto->isChecked());
    EXPECT_FALSE(w.btSet->isEnabled());
    EXPECT_TRUE(lk.PollingEnabled());
    EXPECT_EQ(w.lblState[3]->text(), QStringLiteral("Fehler bei Datenträger"));

    w.SetStateLamp(3, true);
    EXPECT_TRUE(w.lampLit(3));
    EXPECT_FALSE(w.lampLit(0));
    w.SetStateLamp(9, true); // no such lamp: nothing happens

    w.chkAuto->click();
    EXPECT_FALSE(w.AutoMode());
    w.btSet->click();
    EXPECT_EQ(unit.states, 1);

    // Maximising gives the fixed size back.
    const QSize size = w.size();
    w.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.size(), size);

    frame.checked[int(MenuEntry::State)] = true;
    w.Unload();
    EXPECT_FALSE(w.Loaded());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::State));
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidWD"), QStringLiteral("StateAutoMode"), QString()),
              QStringLiteral("0"));
}

TEST_F(WDDialogTest, OutputsAreSentAtOnceOnlyInAutoMode)
{
    FakeMainFrame frame;
    ctx().frame = &frame;
    RecordingUnit unit;
    frmSystemWDIO w(ctx());
    w.setTarget(&unit);
    w.Show();
    EXPECT_FALSE(w.chkAuto->isChecked());
    EXPECT_TRUE(w.btSet->isEnabled());
    w.chkOutput[0]->click();
    w.chkOutput[2]->click();
    EXPECT_EQ(unit.outputs, 0);
    EXPECT_TRUE(w.OutputChecked(0));
    EXPECT_FALSE(w.OutputChecked(1));
    // Ticking a box lights nothing: only a confirmed OutputSet does.
    EXPECT_FALSE(w.lampLit(0));
    w.btSet->click();
    EXPECT_EQ(unit.outputs, 1);

    w.chkAuto->click();
    EXPECT_FALSE(w.btSet->isEnabled());
    w.chkOutput[1]->click();
    EXPECT_EQ(unit.outputs, 2);

    frame.checked[int(MenuEntry::IO)] = true;
    w.close();
    EXPECT_FALSE(w.Loaded());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::IO));
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidWD"), QStringLiteral("IOAutoMode"), QString()),
              QStringLiteral("1"));
    w.Show();
    EXPECT_TRUE(w.chkAuto->isChecked());
}

} // namespace
} // namespace orvid::test
