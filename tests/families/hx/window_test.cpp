// The interface-unit window offscreen against the simulated unit: the channel panel after
// recognition, the tag lists per head family, enabling by tag type, per-head records,
// settings, what the shared dialogs are offered, and the English language file.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"
#include "support/LanguageWalk.h"
#include "support/RealInput.h"

#include "families/common/DataItems.h"
#include "families/hx/frmSystemHX.h"
#include "families/hx/frmSystemHXSetLanguage.h"
#include "families/common/frmSystemWDTagState.h"
#include "foundations/SettingsStore.h"
#include "link/LK.h"
#include "shell/PopupMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFocusEvent>
#include <QMenu>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

QList<int> codes(QComboBox* box)
{
    QList<int> list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemData(i).toInt());
    return list;
}

class HXWindow : public PtyFamilyFixture<SimHX> {
protected:
    HXWindow()
    {
        sim.withTag(1, [](SimHX::Tag& t) { t.memory.replace(0, 8, "abcdefgh"); });
        window = std::make_unique<frmSystemHX>(tc.ctx);
        window->Protocol().SetHeadFile(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
        window->profileDialog = [](int, const hx::HXHeadType&) { return 0; };
        lk->RegisterSystem(1, [this] { return window.get(); });
        lk->RegisterSystem(10, [this] { return window.get(); });
        tc.state.CurrentSystem = 1;
    }
    ~HXWindow() override { lk.reset(); }
    std::unique_ptr<frmSystemHX> window;
};

TEST_F(HXWindow, PanelListsEnablingAndRecords)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    EXPECT_EQ(w.frameModule->title(), QStringLiteral("HX-LM4"));
    EXPECT_EQ(w.rdHead[0]->text(), QStringLiteral("IND-A"));
    EXPECT_EQ(w.rdHead[3]->text(), QStringLiteral("Leer"));
    EXPECT_FALSE(w.rdHead[3]->isEnabled());
    EXPECT_TRUE(w.btParameter[2]->isEnabled());   // VNB head
    EXPECT_FALSE(w.btParameter[0]->isEnabled());
    EXPECT_FALSE(w.frameTrigger[2]->isVisibleTo(&w));   // sensors 1, 2 hidden on four channels
    EXPECT_TRUE(w.frameTrigger[0]->isVisibleTo(&w));

    struct Case {
        int head;
        QList<int> list;
        bool enabled;
    };
    const Case cases[] = {
        {0, {99, 2, 3, 10, 11, 12, 14}, true},
        {1, {99, 60}, true},   // two entries: WTX60 can be chosen
        {2, {80}, false},
        {4, {2, 3, 10, 11, 12, 14, 60, 80}, true},
    };
    for (const Case& c : cases) {
        w.rdHead[c.head]->setChecked(true);
        EXPECT_EQ(codes(w.cmbCode), c.list) << c.head;
        EXPECT_EQ(w.cmbCode->isEnabled(), c.enabled) << c.head;
    }

    // A head type chosen by hand for the empty channel 4 changes that channel alone: nothing
    // is sent, and trigger sensor 3, switched on since recognition, stays on.
    w.cmbTriggerMode[2]->setCurrentIndex(w.cmbTriggerMode[2]->findData(1));
    emit w.cmbTriggerMode[2]->activated(w.cmbTriggerMode[2]->currentIndex());
    SetPopupMenuRunner([](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* a : menu.actions())
            if (a->text() == QStringLiteral("ZL-A"))
                return a;
        return nullptr;
    });
    sim.clearTranscript();
    ASSERT_TRUE(activate(&w));
    ASSERT_TRUE(clickOn(w.btHead[3]));
    SetPopupMenuRunner({});
    EXPECT_TRUE(sim.received().isEmpty());
    EXPECT_EQ(w.cmbTriggerMode[2]->currentData().toInt(), 1);
    EXPECT_EQ(w.rdHead[3]->text(), QStringLiteral("ZL-A"));
    ASSERT_TRUE(w.rdHead[3]->isEnabled());
    w.rdHead[3]->setChecked(true);
    EXPECT_EQ(codes(w.cmbCode), (QList<int>{99, 50, 52}));
    EXPECT_TRUE(w.btSpecialFixCode->isEnabled() == false);   // "Standard" selected

    // A head whose list lacks the stored type selects the list's first entry.
    w.rdHead[2]->setChecked(true);
    EXPECT_EQ(w.Protocol().TagType, 80);

    // Enabling by tag type on head 1.
    w.rdHead[0]->setChecked(true);
    struct Enable {
        int type;
        bool read, fixWrite, address, password;
    };
    const Enable enables[] = {{3, true, false, true, true}, {2, false, false, true, false}, {10, true, false, false, false},
                              {11, false, true, true, false}, {99, true, false, true, false}};
    for (const Enable& e : enables) {
        w.cmbCode->setCurrentIndex(w.cmbCode->findData(e.type));
        w.cmbCode_Click();
        EXPECT_EQ(w.btRead->isEnabled(), e.read) << e.type;
        EXPECT_EQ(w.btWriteFixcode->isEnabled(), e.fixWrite) << e.type;
        EXPECT_EQ(w.frameAddress->isEnabled(), e.address) << e.type;
        EXPECT_EQ(w.btTagPassword->isEnabled() || w.txtPasswort[0]->isEnabled(), e.password) << e.type;
    }
    EXPECT_EQ(w.txtLength->text(), QStringLiteral("012"));
    // A tag type set through the link shows in the list too.
    w.PutData(KRItem::Tagcode, 12);
    EXPECT_EQ(w.cmbCode->currentData().toInt(), 12);

    // Head records: 1, 2 and back to 1 restores head 1's selection.
    w.cmbCode->setCurrentIndex(w.cmbCode->findData(3));
    w.cmbCode_Click();
    w.PutData(KRItem::StartAddress, 6);
    w.PutData(KRItem::DataLength, 2);
    w.rdHead[1]->setChecked(true);
    EXPECT_EQ(w.Protocol().TagType, 99);
    w.rdHead[0]->setChecked(true);
    EXPECT_EQ(w.Protocol().TagType, 3);
    EXPECT_EQ(w.txtAddress->text(), QStringLiteral("0006"));
    EXPECT_EQ(w.txtLength->text(), QStringLiteral("002"));

    w.btRead_Click();
    QVariant v;
    lk->LkGetData(LinkItem::LastData, v);
    EXPECT_EQ(v.toByteArray(), "gh");

    // The shared dialogs ask what the window offers.
    const WriterOffer offer = static_cast<ITagWriter&>(w).Offer();
    EXPECT_FALSE(offer.allModes);
    EXPECT_TRUE(offer.typesByHeadFamily);

    // Settings on unload.
    w.Unload();
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidHX"), QStringLiteral("Tagcode"), QString()).trimmed(), QStringLiteral("3"));
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidHX"), QStringLiteral("HeadNumber"), QString()), QStringLiteral("1"));
}

// Each trigger frame shows the head and mode the unit reported for its own sensor, and a
// change there sends that sensor with its own head and mode.
TEST_F(HXWindow, TriggerSensorsShowAndSendTheirOwnSettings)
{
    struct Case {
        QByteArray model;
        int channels;
        int sensor;          // 1..4
        QString shownHead;   // as GS reported it
        QByteArray sent;     // after choosing "an"
    };
    const Case cases[] = {
        {"HX-LM4", 4, 3, QStringLiteral("Kopf 2"), "TM321#\r"},
        {"HX-LM4", 4, 4, QStringLiteral("Kopf 3"), "TM431#\r"},
        {"HX-LM2", 2, 1, QStringLiteral("Kopf 2"), "TM121#\r"},
        {"HX-LM2", 2, 2, QStringLiteral("Kopf 1"), "TM211#\r"},
    };
    sim.setTrigger(1, "20");
    sim.setTrigger(2, "10");
    sim.setTrigger(3, "20");
    sim.setTrigger(4, "30");
    window->Show();
    for (const Case& c : cases) {
        sim.setModel(c.model, c.channels);
        ASSERT_TRUE(select(1)) << c.model.constData();
        QCoreApplication::processEvents();   // the selection's stop goes out once the link is idle
        QGroupBox* frame = nullptr;
        for (QGroupBox* f : window->frameTrigger)
            if (f->title() == QStringLiteral("Triggersensor %1").arg(c.sensor))
                frame = f;
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isVisibleTo(window.get())) << c.sensor;
        auto* head = frame->findChild<QComboBox*>(QStringLiteral("cmbTrigger"));
        auto* mode = frame->findChild<QComboBox*>(QStringLiteral("cmbTriggerMode"));
        ASSERT_TRUE(head && mode);
        EXPECT_EQ(head->currentText(), c.shownHead) << c.sensor;
        EXPECT_EQ(mode->currentText(), QStringLiteral("aus")) << c.sensor;
        sim.clearTranscript();
        mode->setCurrentIndex(mode->findData(1));
        emit mode->activated(mode->currentIndex());
        EXPECT_EQ(sim.received(), QList<QByteArray>{c.sent}) << c.sensor;
    }

    // A one-channel unit shows no sensor and reports no mode: parallel is selected, also
    // after a multiplexed unit.
    window->rdMode[1]->setChecked(true);
    QTemporaryDir dir;
    QFile shipped(window->Protocol().HeadFile().Path()), file(dir.filePath(QStringLiteral("ORVIDHX.INI")));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly));
    file.write(shipped.readAll() + "\r\n[HX-LM1]\r\nTYPE=HEAD\r\nHEADCOUNT=1\r\n");
    file.close();
    window->Protocol().SetHeadFile(file.fileName());
    sim.setModel("HX-LM1", 1);
    ASSERT_TRUE(select(1));
    for (QGroupBox* f : window->frameTrigger)
        EXPECT_FALSE(f->isVisibleTo(window.get()));
    EXPECT_TRUE(window->rdMode[0]->isChecked());
}

// Konfig sends the password mode first, as every tag command does, and reads all heads one
// by one; the password boxes behave as the address and length boxes do.
TEST_F(HXWindow, ConfigurationWordsWithThePasswordMode)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    // The station's frame carries the unit's title too.
    auto* station = w.findChild<QGroupBox*>(QStringLiteral("frameStation"));
    EXPECT_TRUE(station && station->title() == QStringLiteral("HX-LM4"));

    w.rdHead[0]->setChecked(true);
    w.cmbCode->setCurrentIndex(w.cmbCode->findData(3));
    w.cmbCode_Click();
    w.chkPasswort->setChecked(true);
    w.chkPasswort_Click();
    EXPECT_EQ(w.focusWidget(), w.txtPasswort[0]);
    w.txtPasswort[0]->setText(QStringLiteral("1A2B"));
    QFocusEvent focusIn(QEvent::FocusIn);
    QCoreApplication::sendEvent(w.txtPasswort[0], &focusIn);
    EXPECT_EQ(w.txtPasswort[0]->selectedText(), QStringLiteral("1A2B"));

    sim.clearTranscript();
    w.btConfig_Click(0);
    const QList<QByteArray> read = sim.received();
    const qsizetype pm = read.indexOf(QByteArray("PM11#\r"));
    EXPECT_GE(pm, 0);
    EXPECT_LT(pm, read.indexOf(QByteArray("SG12#\r")));
    EXPECT_TRUE(read.contains(QByteArray("PS1\x2B\x1A\0\0#\r", 9)));

    // Konfig Schreiben on all heads: the words head by head, never one "SG" to "x".
    w.rdHead[4]->setChecked(true);
    int dialogs = 0;
    w.configDialog = [&](QByteArray&, QByteArray&) { return ++dialogs < 0; };
    sim.clearTranscript();
    w.btConfig_Click(1);
    EXPECT_EQ(dialogs, 1);
    for (const char* t : {"SG12#\r", "SG22#\r", "SG32#\r"})
        EXPECT_TRUE(sim.received().contains(QByteArray(t))) << t;
    EXPECT_FALSE(sim.received().contains(QByteArray("SGx2#\r")));
}

TEST_F(HXWindow, WTX60StateInTheTagStateWindow)
{
    sim.withTag(2, [](SimHX::Tag& t) {
        t.fixcode = "W60AB";
        t.memory.replace(0x2011 * 4, 14, QByteArray("\x05\x24\x2A\0\0\0\x60\xEA\0\0\0\0\0\0", 14));
    });
    window->Show();
    ASSERT_TRUE(select(1));
    window->rdHead[1]->setChecked(true);
    window->cmbCode->setCurrentIndex(window->cmbCode->findData(60));
    window->cmbCode_Click();
    EXPECT_TRUE(window->btBattery->isEnabled());
    frmSystemWDTagState state(tc.ctx);
    window->stateDialog = [&] {
        state.setProvider(window.get());
        state.Load();
    };
    window->btBattery_Click();
    EXPECT_EQ(state.lblCIdCode->text(), QStringLiteral("5736304142"));
    EXPECT_EQ(state.lblCDate->text(), QStringLiteral("05/24"));
    EXPECT_EQ(state.lblCCycle->text(), QStringLiteral("42"));
    EXPECT_EQ(state.lblCLEDOff->text(), QStringLiteral("0h 1min 0sec 0ms "));
    // On all heads the battery button is off.
    window->rdHead[4]->setChecked(true);
    EXPECT_FALSE(window->btBattery->isEnabled());
}

TEST_F(HXWindow, StoredSettingsLoad)
{
    tc.settings->write(QStringLiteral("OrvidHX"), QStringLiteral("Tagcode"), QStringLiteral("0"));
    tc.settings->write(QStringLiteral("OrvidHX"), QStringLiteral("DataLength"), QStringLiteral("0"));
    tc.settings->write(QStringLiteral("OrvidHX"), QStringLiteral("HeadNumber"), QStringLiteral("2"));
    tc.settings->write(QStringLiteral("OrvidHX"), QStringLiteral("OperationMode"), QStringLiteral("1"));
    window->Show();
    EXPECT_EQ(window->Protocol().DisplayLength, 12);
    EXPECT_EQ(window->Protocol().TagType, 99);
    // Buffered is not in the list: the list's first entry is shown and is what reads send.
    EXPECT_EQ(window->cmbMode->currentText(), QStringLiteral("Single"));
    EXPECT_EQ(window->Protocol().OperationMode, 0);
    // Without a unit no head can be selected: the panel shows all heads.
    EXPECT_EQ(window->Protocol().Channel, QStringLiteral("x"));
}

TEST_F(HXWindow, EnglishAndBack)
{
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    window->Show();
    LanguageRoundTrip(*tc.language, window.get(), [this] { window->SetLanguage(); }, {
        kWindowTitleKey, QStringLiteral("btStop"), QStringLiteral("lblTagFixcode"), QStringLiteral("rdMode0"), QStringLiteral("rdMode1")});

    hx::HXHeadType head;
    head.name = QStringLiteral("UHF-A");
    hx::HXProfile one;
    one.id = 1;
    one.name = QStringLiteral("One");
    head.profiles = std::make_shared<QList<hx::HXProfile>>(QList<hx::HXProfile>{one});
    frmSystemHXSetLanguage dialog(tc.ctx, 3, head);
    LanguageRoundTrip(*tc.language, &dialog, [&] { dialog.SetLanguage(); }, {});
    EXPECT_TRUE(dialog.lblMessage->text().contains(QStringLiteral("3: UHF-A")));
}

} // namespace
} // namespace orvid::test
