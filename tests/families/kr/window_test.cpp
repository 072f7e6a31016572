// The system R window: its data items and controls offscreen, and whole flows through the
// device link against the simulated head on a pseudo-terminal (recognition, reading into
// the data list, writing through the write dialogs, the configuration words, the tag
// password) with the guards that keep exchanges from running inside one another.

#include "sim/SimKR.h"
#include "support/FakeShell.h"
#include "support/FakeSystems.h"
#include "support/FamilyFixture.h"
#include "support/RealInput.h"
#include "support/TestContext.h"

#include "families/Families.h"
#include "families/common/KRTagTypes.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/kr/frmSystemKR.h"
#include "families/common/frmSystemKRWrite.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/ctrlList.h"
#include "shell/frmCommand.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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

QStringList entries(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// ---- without a device ---------------------------------------------------------------------

class KRWindowItems : public ::testing::Test {
protected:
    KRWindowItems()
    {
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        tc.ctx.frame = &frame;
        lk->InitSystems();
        lk->RegisterSystem(2, [this] { return window.get(); });
        lk->RegisterSystem(3, [this] { return window.get(); });
        tc.state.CurrentSystem = 2;
        window = std::make_unique<frmSystemKR>(tc.ctx);
    }
    QVariant item(int16_t id, const QVariant& start = QVariant())
    {
        QVariant v = start;
        window->GetData(id, v);
        return v;
    }

    TestContext tc;
    FakeMainFrame frame;
    std::unique_ptr<LK> lk;
    std::unique_ptr<frmSystemKR> window;
};

TEST_F(KRWindowItems, AddressLengthAndTagTypeItems)
{
    window->Show();
    QApplication::setActiveWindow(window.get()); // focus changes reach the boxes
    KRProtocol& p = window->Protocol();
    window->PutData(101, 6);
    window->PutData(102, 3);
    EXPECT_EQ(p.StartWord, 1);
    EXPECT_EQ(p.WordCount, 2);
    window->PutData(101, 4);
    EXPECT_EQ(item(102).toInt(), 3);
    EXPECT_EQ(p.WordCount, 1);
    // Addresses from 8000 on are ordinary addresses (also when they come as negative
    // 16-bit numbers).
    window->PutData(101, -32764); // 0x8004
    EXPECT_EQ(p.StartWord, 0x2001);
    EXPECT_EQ(item(101).toInt(), 0x8004);
    window->txtAddress->setText(QStringLiteral("8001"));
    window->txtAddress->setFocus();
    window->txtLength->setFocus(); // leaving the address box takes it
    EXPECT_EQ(p.StartWord, 0x2000);

    // Tag type 10: address and length fixed; 3 and 12 enable the password controls.
    window->PutData(104, 10);
    EXPECT_EQ(window->txtAddress->text(), QStringLiteral("0000"));
    EXPECT_EQ(window->txtLength->text(), QStringLiteral("012"));
    EXPECT_EQ(item(102).toInt(), 12);
    EXPECT_FALSE(window->txtAddress->isEnabled());
    EXPECT_FALSE(window->frameLength->isEnabled());
    EXPECT_FALSE(window->framePassword->isEnabled());
    window->PutData(104, 3);
    EXPECT_TRUE(window->txtAddress->isEnabled());
    EXPECT_TRUE(window->framePassword->isEnabled());
    EXPECT_TRUE(window->chkPasswort->isEnabled());
    EXPECT_TRUE(window->btConfig[0]->isEnabled());
    window->PutData(104, 2);
    EXPECT_FALSE(window->chkPasswort->isEnabled());
    EXPECT_FALSE(window->btTagPassword->isEnabled());

    // 107 and unknown ids leave the value alone; 108/109 are the window's own answers.
    EXPECT_EQ(item(107, QStringLiteral("keep")).toString(), QStringLiteral("keep"));
    EXPECT_EQ(item(555, 42).toInt(), 42);
    EXPECT_TRUE(item(108).toBool());
    EXPECT_FALSE(item(109).toBool());
}

TEST_F(KRWindowItems, ControlsFeedTheItemsAndTagListsComeFromOneTable)
{
    window->Show();
    QApplication::setActiveWindow(window.get());
    EXPECT_EQ(entries(window->cmbCode), (QStringList{"Auto Orvid", "QTX02", "QTX03", "QTX10", "QTX11"}));
    tc.state.CurrentSystem = 3;
    window->FillTagCodes();
    window->FillTagCodes();
    QStringList expected;
    for (const TagType& t : KRWindowTagTypes(3))
        expected << t.name;
    EXPECT_EQ(entries(window->cmbCode), expected);
    // Every tag type the window opens the data write dialog for keeps its code there.
    for (const TagType& t : KRWindowTagTypes(3)) {
        if (t.code == TagCode::QTX02 || t.code == TagCode::QTX11 || t.code == TagCode::QTX14)
            continue; // fixcode-only types, and the two that open the fixcode dialog
        bool found = false;
        for (const TagType& w : KRWriteTagTypes(3))
            found = found || w.code == t.code;
        EXPECT_TRUE(found) << t.name.toStdString();
    }

    window->txtLength->setFocus();
    window->txtLength->clear();
    QTest::keyClicks(window->txtLength, QStringLiteral("7x"));
    window->txtAddress->setFocus();
    EXPECT_EQ(window->txtLength->text(), QStringLiteral("007"));
    EXPECT_EQ(item(102).toInt(), 7);
    window->txtAddress->clear();
    QTest::keyClicks(window->txtAddress, QStringLiteral("1a"));
    window->txtLength->setFocus();
    EXPECT_EQ(window->txtAddress->text(), QStringLiteral("001A"));
    EXPECT_EQ(item(101).toInt(), 0x1A);

    window->rdDataMode[2]->click();
    EXPECT_EQ(item(103).toInt(), 2);
    EXPECT_EQ(window->ctrlList->representation(), 3);

    window->cmbHeadNumber->setCurrentIndex(4);
    emit window->cmbHeadNumber->activated(4);
    EXPECT_EQ(item(106).toString(), QStringLiteral("x"));

    // Password boxes take hex digits only.
    window->PutData(104, 3);
    window->chkPasswort->click();
    ASSERT_TRUE(window->txtPasswort[0]->isEnabled());
    QTest::keyClicks(window->txtPasswort[0], QStringLiteral("12G4-zz"));
    EXPECT_EQ(window->txtPasswort[0]->text(), QStringLiteral("124"));
    EXPECT_TRUE(item(105).toBool());
}

TEST_F(KRWindowItems, SettingsComeBackAndClosingClearsTheMenuMark)
{
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("Tagcode"), QStringLiteral(" 3"));
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("StartAddress"), QStringLiteral(" 32772"));
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("DataLength"), QStringLiteral(" 7"));
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("DataRepresentation"), QStringLiteral(" 1"));
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("PasswordFlag"), QStringLiteral("-1"));
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("HeadNumber"), QStringLiteral("x"));
    frame.setMenuChecked(MenuEntry::OrvidWindow, true);
    window->Show();
    EXPECT_TRUE(window->Loaded());
    EXPECT_EQ(window->cmbCode->currentText(), QStringLiteral("QTX03"));
    EXPECT_EQ(window->txtAddress->text(), QStringLiteral("8004"));
    EXPECT_EQ(window->txtLength->text(), QStringLiteral("007"));
    EXPECT_TRUE(window->rdDataMode[1]->isChecked());
    EXPECT_TRUE(window->chkPasswort->isChecked());
    EXPECT_TRUE(item(105).toBool());
    EXPECT_EQ(window->cmbHeadNumber->currentText(), QStringLiteral("x"));
    EXPECT_EQ(window->frameHead->title(), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    EXPECT_FALSE(window->framePassword->isHidden());

    window->PutData(106, QStringLiteral("3"));
    window->Unload();
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::OrvidWindow));
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidKR"), QStringLiteral("HeadNumber"), QString()),
              QStringLiteral("3"));
}

TEST_F(KRWindowItems, LanguageFileReplacesTextsAndDefaultsComeBack)
{
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[frmSystemKR]\r\nfrmSystemKR=Orvid R\r\nbtread=&Read\r\nlblpactive=Activate\r\n"
                        "cmbCode0=Auto\r\nbtConfig1=&Write\r\nErrorStr=STATE:\r\n"
                        "controlreadstart=Read start:\r\nOn=on\r\nOff=off\r\n"
                        "cmbMode1=Buffer\r\ncmbMode3=Improved\r\nrdDataMode0=Text\r\n");
    window->Show();
    EXPECT_EQ(window->btRead->text(), QStringLiteral("&Lesen"));
    tc.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    tc.language->SelectLanguageByCode(english);
    ASSERT_EQ(tc.language->LanguageName(), QStringLiteral("English"));
    window->SetLanguage();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvid R"));
    EXPECT_EQ(window->btRead->text(), QStringLiteral("&Read"));
    EXPECT_EQ(window->lblPActive->text(), QStringLiteral("Activate"));
    EXPECT_EQ(window->cmbCode->itemText(0), QStringLiteral("Auto"));
    EXPECT_EQ(window->btConfig[1]->text(), QStringLiteral("&Write"));
    EXPECT_EQ(window->Protocol().StatusPrefix, QStringLiteral("STATE:"));
    const QStringList lines = window->ConfigurationLines("ABCD", QByteArray());
    EXPECT_TRUE(lines.contains(QStringLiteral("Read start: 44")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Passwort-Schutz             : off")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Read-after-write-Betriebsart: on")));
    // The device's mode name and the representation names are not translated.
    EXPECT_EQ(window->cmbMode->itemText(1), QStringLiteral("Buffer"));
    EXPECT_EQ(window->cmbMode->itemText(3), QStringLiteral("Enhanced"));
    EXPECT_EQ(window->rdDataMode[0]->text(), QStringLiteral("ASCII"));
    int16_t index = 0;
    tc.language->SelectLanguage(index);
    window->SetLanguage();
    EXPECT_TRUE(window->ConfigurationLines("ABCD", QByteArray()).contains(QStringLiteral("Passwort-Schutz             : Aus")));
    EXPECT_EQ(window->cmbMode->itemText(1), QStringLiteral("Buffered"));
    EXPECT_EQ(window->btRead->text(), QStringLiteral("&Lesen"));
    EXPECT_EQ(window->cmbCode->itemText(0), QStringLiteral("Auto Orvid"));
    EXPECT_EQ(window->Protocol().StatusPrefix, QStringLiteral("STATUS:"));
}

// ---- against the simulated head -----------------------------------------------------------

class KRWindowSim : public PtyFamilyFixture<SimKR> {
protected:
    KRWindowSim() : PtyFamilyFixture(300) { RegisterFamilies(tc.ctx); }
    frmSystemKR* select(int16_t system)
    {
        if (!PtyFamilyFixture::select(system))
            return nullptr;
        auto* w = dynamic_cast<frmSystemKR*>(lk->CurrentWindow());
        if (w)
            w->Show();
        sim.clearTranscript();
        return w;
    }
    QList<QByteArray> commands() const
    {
        QList<QByteArray> out;
        for (const QByteArray& t : sim.received())
            out << t.left(3);
        return out;
    }
    // Runs fn on the dialog of type D once it is shown modally.
    // Runs fn on the dialog of type D once it is shown modally (the exchanges before it
    // run event loops of their own, so it is looked for until it is there).
    template <typename D>
    void onModal(std::function<void(D*)> fn)
    {
        auto* timer = new QTimer(&owner);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, fn] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            if (!d)
                return;
            timer->stop();
            timer->deleteLater();
            fn(d);
        });
        timer->start();
    }
    // What the head holds back goes out once the program waits for the device.
    void releaseInWaits()
    {
        QObject::connect(&releaser, &QTimer::timeout, [this] { if (DeviceWait::depth() > 0) sim.releaseReplies(); });
        releaser.start(1);
    }
    QTimer releaser;
    QObject owner;
};

TEST_F(KRWindowSim, RecognisesTheVariantAndReadsIntoTheList)
{
    ASSERT_TRUE(sim.isValid());
    sim.writeMemory(0x8000, QByteArray("\x00\x11\x22HELLO!", 9));
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("QTR-AX"));
    EXPECT_EQ(entries(w->cmbCode).last(), QStringLiteral("QTX11"));

    w->PutData(101, 0x8003);
    w->PutData(102, 6);
    w->rdDataMode[1]->click();
    w->btRead_Click();
    EXPECT_EQ(sim.receivedStartingWith("SR"), QList<QByteArray>{"SR200003#\r"});
    EXPECT_TRUE(w->ctrlList->boxText(1).contains(QStringLiteral("48 45 4C 4C 4F 21")))
        << w->ctrlList->boxText(1).toStdString();
    QVariant last;
    lk->LkGetData(3, last);
    EXPECT_EQ(last.toByteArray(), QByteArray("HELLO!"));

    // No tag: a status line only when the option asks for it.
    sim.setTagPresent(false);
    tc.state.ReadHeadError = true;
    w->btRead_Click();
    EXPECT_TRUE(w->ctrlList->text().contains(QStringLiteral("STATUS: 5 - Kein Tag im Lesebereich")));

    // The window open across a recognition of the same entry keeps its lines; closed by a
    // change of system, it comes back without them.
    frame.setMenuChecked(MenuEntry::OrvidWindow, true);
    ASSERT_EQ(select(2), w);
    EXPECT_TRUE(w->ctrlList->text().contains(QStringLiteral("STATUS: 5 - Kein Tag im Lesebereich")));
    sim.allowDroppedInput(); // the other entry's telegrams
    PtyFamilyFixture::select(4);
    ASSERT_FALSE(w->Loaded());
    ASSERT_EQ(select(2), w);
    EXPECT_TRUE(w->Loaded());
    EXPECT_TRUE(w->ctrlList->text().isEmpty()) << w->ctrlList->text().toStdString();
}

TEST_F(KRWindowSim, WritesThroughTheDataDialogAndTheFixcodeDialog)
{
    sim.setVariant("QTR1-AX");
    sim.writeMemory(0, "ABCDEFGH");
    frmSystemKR* w = select(3);
    ASSERT_NE(w, nullptr);
    w->PutData(101, 5);
    onModal<frmSystemKRWrite>([](frmSystemKRWrite* d) {
        d->rdDataMode[1]->click();
        d->txtData->setText(QStringLiteral("3C 0D "));
        QTest::mouseClick(d->btOK, Qt::LeftButton);
    });
    QTest::mouseClick(w->btWrite, Qt::LeftButton);
    EXPECT_EQ(sim.readMemory(0, 8), QByteArray("ABCDE<\rH"));

    // QTX11: the write button opens the fixcode dialog.
    sim.setTagType(11);
    w->cmbCode->setCurrentIndex(w->cmbCode->findData(11));
    emit w->cmbCode->activated(w->cmbCode->currentIndex());
    sim.clearTranscript();
    onModal<frmSystemHXWriteFixcode>([](frmSystemHXWriteFixcode* d) {
        d->rdDataMode[0]->click();
        d->txtData->setText(QStringLiteral("AB\u2400DE")); // the text view shows NUL as its picture
        d->chkFixcode->setChecked(true);
        QTest::mouseClick(d->btOk, Qt::LeftButton);
    });
    QTest::mouseClick(w->btWrite, Qt::LeftButton);
    EXPECT_EQ(sim.fixcode(), QByteArray("AB\0DE", 5));
    EXPECT_TRUE(sim.fixcodeLocked());
    EXPECT_EQ(sim.receivedStartingWith("SX"), QList<QByteArray>{QByteArray("SX0205AB\0DE#\r", 13)});
}

TEST_F(KRWindowSim, ConfigurationWordsAreShownEditedAndWrittenBack)
{
    sim.setConfigWords(QByteArray("ABCD"), QByteArray("\x2F\x20\x10\x03", 4));
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    w->btConfig_Click(0);
    const QString list = w->ctrlList->text();
    EXPECT_TRUE(list.contains(QStringLiteral("Lesebereich-Anfang          : 44")));
    EXPECT_TRUE(list.contains(QStringLiteral("Benutzerdefiniert           : 00001010000010")));
    EXPECT_TRUE(list.contains(QStringLiteral("Letztes schreibgeschütztes Wort: 2F")));
    EXPECT_EQ(commands(), (QList<QByteArray>{"QU#", "PM0", "CT0", "SG2", "SG1"}));

    sim.clearTranscript();
    onModal<frmConfigKR>([](frmConfigKR* d) {
        EXPECT_EQ(d->txtKonfig[0]->text(), QStringLiteral("44"));
        d->txtKonfig[0]->setText(QStringLiteral("07"));
        d->chkPassword->setChecked(false);
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
    });
    w->btConfig_Click(1);
    EXPECT_EQ(sim.controlWord(), QByteArray("ABC\x07"));
    EXPECT_EQ(sim.protectionWord(), QByteArray("\x2F\x20\x10\x03", 4));
    EXPECT_EQ(commands().mid(5), (QList<QByteArray>{"QU#", "PM0", "CT0", "SC1", "SC2"}));
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(KRWindowSim, AWordThatCouldNotBeReadIsNeverWrittenBack)
{
    const QByteArray protection("\x2F\x20\x10\x03", 4);
    sim.setConfigWords(QByteArray("\x00\x00\x05\x03", 4), protection);
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);

    // Write with the unread word untouched: refused, the dialog stays open; cancelled,
    // nothing reaches the tag.
    sim.failNext("SG1", '5');
    bool refusedAndOpen = false;
    onModal<frmConfigKR>([&](frmConfigKR* d) {
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
        refusedAndOpen = d->isVisible();
        QTest::mouseClick(d->btCancel, Qt::LeftButton);
    });
    w->btConfig_Click(1);
    EXPECT_TRUE(refusedAndOpen);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{61, 61}));
    EXPECT_TRUE(sim.receivedStartingWith("SC").isEmpty());

    // Both words unread: the same, whichever word Write finds first.
    tc.presenter.requests.clear();
    sim.failNext("SG", '5', 2);
    refusedAndOpen = false;
    onModal<frmConfigKR>([&](frmConfigKR* d) {
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
        QTest::keyClicks(d->txtKonfig[0], QStringLiteral("01"));
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
        refusedAndOpen = d->isVisible();
        d->close();
    });
    w->btConfig_Click(1);
    EXPECT_TRUE(refusedAndOpen);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{61, 61, 61}));
    EXPECT_TRUE(sim.receivedStartingWith("SC").isEmpty());

    // Values the user entered for the unread word are written, with the other word.
    tc.presenter.requests.clear();
    sim.failNext("SG1", '5');
    onModal<frmConfigKR>([](frmConfigKR* d) {
        QTest::keyClicks(d->txtKonfig[2], QStringLiteral("03"));
        QTest::keyClicks(d->txtKonfig[3], QStringLiteral("08"));
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
    });
    w->btConfig_Click(1);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{61});
    EXPECT_EQ(sim.protectionWord(), QByteArray("\x00\x00\x08\x03", 4));
    EXPECT_EQ(sim.controlWord(), QByteArray("\x00\x00\x05\x03", 4));

    // A caller handing back a word that is not four bytes is told so; nothing is sent.
    tc.presenter.requests.clear();
    sim.clearTranscript();
    w->configDialog = [](QByteArray& control, QByteArray&) {
        control.chop(1);
        return true;
    };
    w->btConfig_Click(1);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{61});
    EXPECT_TRUE(sim.receivedStartingWith("SC").isEmpty());
    w->configDialog = nullptr;

    // A word cut short: unreadable, not decoded from bytes that are not there.
    tc.presenter.requests.clear();
    w->btClear_Click();
    sim.truncateNext("SG2", 3);
    w->btConfig_Click(0);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{61});
    EXPECT_FALSE(w->ctrlList->text().contains(QStringLiteral("Control Word")));
    EXPECT_TRUE(w->ctrlList->text().contains(QStringLiteral("Protection Word")));
}

TEST_F(KRWindowSim, RefusedConfigurationWritesAreAlwaysReported)
{
    sim.setConfigWords(QByteArray("ABCD"), QByteArray("\x2F\x20\x10\x03", 4));
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    ASSERT_FALSE(tc.state.ReadHeadError);
    sim.failNext("SC1", '7');
    onModal<frmConfigKR>([](frmConfigKR* d) {
        d->txtKonfig[0]->setText(QStringLiteral("07"));
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
    });
    w->btConfig_Click(1);
    // The control word still goes out; one message for the refusal, and its status line.
    EXPECT_EQ(sim.controlWord(), QByteArray("ABC\x07"));
    EXPECT_EQ(sim.protectionWord(), QByteArray("\x2F\x20\x10\x03", 4));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_TRUE(w->ctrlList->text().contains(QStringLiteral("STATUS: 7 - Software Fehler")));

    // No answer at all is a failure as well.
    tc.presenter.requests.clear();
    sim.silenceNext("SC2");
    onModal<frmConfigKR>([](frmConfigKR* d) { QTest::mouseClick(d->btWrite, Qt::LeftButton); });
    w->btConfig_Click(1);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});

    // Written without complaint: nothing to report.
    tc.presenter.requests.clear();
    onModal<frmConfigKR>([](frmConfigKR* d) { QTest::mouseClick(d->btWrite, Qt::LeftButton); });
    w->btConfig_Click(1);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(KRWindowSim, StopEndsARepeatedReadEvenWhileAnExchangeWaits)
{
    sim.setRepeatInterval(300);
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    w->PutData(100, 1);
    w->PutData(102, 4);
    // A "QU" after the last read telegram (each read sends one of its own before it).
    auto quSent = [this] {
        const QList<QByteArray> all = sim.received();
        qsizetype read = -1;
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i].startsWith("BR"))
                read = i;
        }
        for (qsizetype i = read + 1; i < all.size(); ++i) {
            if (all[i].startsWith("QU"))
                return true;
        }
        return false;
    };
    auto waitForQU = [&] { return QTest::qWaitFor(quSent, 1000); };
    // Nothing arrives any more once the answer to "QU" is in (longer than a repetition).
    auto quiet = [this] {
        auto data = [this] { return ports->PortDataAvailable(); };
        [[maybe_unused]] const bool arrived = QTest::qWaitFor(data, 100);
        ports->FlushInput();
        return !QTest::qWaitFor(data, 450);
    };

    // Stop while a poll step waits for the next repetition: everything off at once, "QU"
    // as soon as that wait is over (not inside it), and no repetition after it.
    w->btRead_Click();
    ASSERT_TRUE(lk->PollingEnabled());
    sim.clearTranscript();
    bool busyAtStop = false, quInsideWait = true;
    QTimer::singleShot(60, [&] {
        busyAtStop = lk->Busy();
        w->btStop_Click();
        EXPECT_FALSE(lk->PollTimerEnabled());
        EXPECT_FALSE(w->Protocol().AutoRead);
    });
    QTimer::singleShot(200, [&] { quInsideWait = quSent(); });
    lk->LkPoll();
    EXPECT_TRUE(busyAtStop);
    EXPECT_FALSE(quInsideWait);
    EXPECT_TRUE(waitForQU());
    EXPECT_FALSE(sim.repeating());
    EXPECT_TRUE(quiet());

    // Stop while the read's own first reply is awaited: polling is not switched on after it.
    sim.clearTranscript();
    sim.delayNext("BR", 250);
    QTimer::singleShot(60, [&] { w->btStop_Click(); });
    w->btRead_Click();
    EXPECT_FALSE(lk->PollTimerEnabled());
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_TRUE(waitForQU());
    EXPECT_FALSE(sim.repeating());
    EXPECT_TRUE(quiet());

    // The link's own stop (the command window's) waits for the link the same way.
    w->btRead_Click();
    ASSERT_TRUE(lk->PollingEnabled());
    sim.clearTranscript();
    quInsideWait = true;
    QTimer::singleShot(60, [&] { lk->LkStopBuffered(); });
    QTimer::singleShot(200, [&] { quInsideWait = quSent(); });
    lk->LkPoll();
    EXPECT_FALSE(quInsideWait);
    EXPECT_TRUE(waitForQU());
    EXPECT_FALSE(sim.repeating());
    EXPECT_TRUE(quiet());

    // Closing the window while a poll step waits stops the device too.
    w->btRead_Click();
    ASSERT_TRUE(lk->PollingEnabled());
    sim.clearTranscript();
    QTimer::singleShot(60, [&] { w->close(); });
    lk->LkPoll();
    EXPECT_FALSE(w->Loaded());
    EXPECT_TRUE(waitForQU());
    EXPECT_FALSE(sim.repeating());
}

TEST_F(KRWindowSim, ConfigurationAndFixcodeSuspendTheAutomaticRead)
{
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    w->btAutoRead_Click();
    ASSERT_TRUE(lk->PollTimerEnabled());
    bool pollingInside = true, autoInside = true;
    w->configDialog = [&](QByteArray&, QByteArray&) {
        pollingInside = lk->PollTimerEnabled();
        autoInside = w->Protocol().AutoRead;
        return false;
    };
    w->btConfig_Click(1);
    EXPECT_FALSE(pollingInside);
    EXPECT_FALSE(autoInside);
    EXPECT_TRUE(lk->PollTimerEnabled());
    EXPECT_TRUE(w->Protocol().AutoRead);

    // The same around the fixcode read, seen from inside its wait.
    sim.delayNext("SF", 200);
    pollingInside = autoInside = true;
    QTimer::singleShot(80, [&] {
        pollingInside = lk->PollTimerEnabled();
        autoInside = w->Protocol().AutoRead;
    });
    w->btFixcode_Click();
    EXPECT_FALSE(pollingInside);
    EXPECT_FALSE(autoInside);
    EXPECT_TRUE(lk->PollTimerEnabled());
    EXPECT_TRUE(w->Protocol().AutoRead);
    w->btStop_Click();
    EXPECT_FALSE(lk->PollTimerEnabled());
}

// A Buffered or the automatic read, then Schreiben with the dialog cancelled; a Buffered read,
// then Konfig or a Single Fixcode; the automatic read, then a selection of the same entry or a
// Single read: each ends the read on the head and in the window, which polls nothing then. A
// Buffered read started afterwards stays Buffered: its poll steps send nothing.
TEST_F(KRWindowSim, SchreibenKonfigASecondSelectionOrAReadEndTheRunningRead)
{
    sim.setRepeatInterval(100);
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(activate(w));
    releaseInWaits();
    w->cmbCode->setCurrentIndex(w->cmbCode->findData(TagCode::QTX03));   // Konfig needs it
    emit w->cmbCode->activated(w->cmbCode->currentIndex());
    const auto readIn = [&](int16_t mode) {
        lk->LkPutData(100, mode);
        ASSERT_TRUE(clickOn(w->btRead));
    };
    const auto automatic = [&] {
        ASSERT_TRUE(clickOn(w->btAutoRead));
        lk->LkPoll();
    };
    const auto cancelledWrite = [&] {
        onModal<frmSystemKRWrite>([](frmSystemKRWrite* d) { clickOn(d->btCancel); });
        ASSERT_TRUE(clickOn(w->btWrite));
    };
    const std::pair<std::function<void()>, std::function<void()>> cases[] = {
        {[&] { readIn(1); }, cancelledWrite},
        {automatic, cancelledWrite},
        {[&] { readIn(1); }, [&] { ASSERT_TRUE(clickOn(w->btConfig[0])); }},
        {[&] { readIn(1); }, [&] { lk->LkPutData(100, 0); clickOn(w->btFixcode); }},
        // A slow machine: every answer comes after the next telegram's flush, the first one's too.
        {[&] { sim.holdRepliesFrom("S"); automatic(); sim.delayNext("QU", 100); sim.delayNext("DM", 100); },
         [&] { ASSERT_EQ(select(2), w); }},
        {automatic, [&] { readIn(0); }}};
    for (const auto& [start, end] : cases) {
        start();
        end();
        EXPECT_FALSE(lk->PollingEnabled());
        ASSERT_TRUE(activate(w));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !sim.repeating(); }, 1000));
        EXPECT_FALSE(w->Protocol().AutoRead);
        readIn(1);
        sim.clearTranscript();
        lk->LkPoll();
        lk->LkPoll();
        EXPECT_TRUE(sim.repeating());
        EXPECT_TRUE(sim.received().isEmpty()) << sim.received().value(0).constData();
        ASSERT_TRUE(clickOn(w->btStop));
    }
}

// A Buffered read is polled; within one poll step's wait the user clicks Lesen, Stop, or
// Stop, Lesen, Stop. Each runs after the step, in the order clicked, and the last click
// decides: the head is stopped and nothing is polled after it. The stop an action runs
// first (Tag-Passwort setzen's, a multi-reply Send's) is its own, before its telegrams; the
// user's Stop comes after them. Schreiben, then the window closed: no dialog opens.
TEST_F(KRWindowSim, ClicksDuringOnePollStepRunInTheirOrderAndTheLastStopDecides)
{
    sim.setRepeatInterval(60000);   // no repetition: the step waits for its time-out
    sim.setVariant("QTR1-AX");
    frmSystemKR* w = select(3);
    ASSERT_TRUE(w && activate(w));
    lk->LkPutData(100, 1);
    w->cmbCode->setCurrentIndex(w->cmbCode->findData(TagCode::QTX12));   // a password, not sent with reads
    emit w->cmbCode->activated(w->cmbCode->currentIndex());
    ASSERT_TRUE(clickOn(w->chkPasswort));
    frmCommand command(tc.ctx);
    command.Show();
    command.findChild<QComboBox*>(QStringLiteral("cmbCommand"))->setEditText(QStringLiteral("VE"));
    command.findChild<QCheckBox*>(QStringLiteral("chkBuffered"))->setChecked(true);
    auto* send = command.findChild<QPushButton*>(QStringLiteral("btSend"));
    int dialogs = 0;
    w->writeDialog = [&] { ++dialogs; };
    const auto clicks = [](QList<QPushButton*> buttons) { return [buttons] { for (QPushButton* b : buttons) clickOn(b); }; };
    const std::pair<std::function<void()>, QList<QByteArray>> cases[] = {
        {clicks({w->btRead, w->btStop}), {"QU", "PM", "CT", "BR", "QU"}},
        {clicks({w->btStop, w->btRead, w->btStop}), {"QU", "QU", "PM", "CT", "BR", "QU"}},
        {clicks({w->btTagPassword, w->btStop}), {"QU", "CT", "PC", "QU"}},
        {clicks({send, w->btStop}), {"QU", "VE", "QU"}},
        {[&] { clickOn(w->btWrite); w->close(); }, {"QU"}}};
    for (const auto& [click, expected] : cases) {
        ASSERT_TRUE(clickOn(w->btRead));
        sim.clearTranscript();
        bool inStep = false;
        QTimer::singleShot(0, w, [&, click = click] {
            inStep = lk->PollStepRunning();
            click();
        });
        lk->LkPoll();
        EXPECT_TRUE(inStep);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !lk->Busy() && lk->ActionsWaiting() == 0; }, 3000));
        QList<QByteArray> sent;
        for (const QByteArray& t : sim.received())
            sent << t.left(2);
        EXPECT_EQ(sent, expected);
        EXPECT_FALSE(lk->PollingEnabled());
        EXPECT_FALSE(sim.repeating());
    }
    EXPECT_EQ(dialogs, 0);
}

// Mode Auto: a data write whose tag leaves after the read-back, Lesen with no tag, a
// write-protected QTX11 fixcode write with no tag. Each ends without its answer; the head
// drops it before a write is reported not written, so a tag entering later is left alone.
TEST_F(KRWindowSim, AnAutoCommandLeftWithoutItsAnswerIsEndedOnTheHead)
{
    sim.setVariant("QTR1-AX");
    sim.writeMemory(0, "ABCDEFGH");
    frmSystemKR* w = select(3);
    ASSERT_TRUE(w && activate(w));
    lk->LkPutData(100, 2);
    for (const QByteArray command : {"AW", "AR", "BX"}) {
        SCOPED_TRACE(command.constData());
        sim.setTagPresent(command == "AW");
        sim.clearTranscript();
        tc.presenter.requests.clear();
        if (command == "AW") {
            sim.leaveAfterNext("AR");
            onModal<frmSystemKRWrite>([](frmSystemKRWrite* d) {
                d->txtData->setText(QStringLiteral("XY"));
                clickOn(d->btOK);
                clickOn(d->btCancel);   // a write not done keeps the dialog open
            });
        } else if (command == "BX") {
            sim.setTagType(11);
            w->cmbCode->setCurrentIndex(w->cmbCode->findData(TagCode::QTX11));
            emit w->cmbCode->activated(w->cmbCode->currentIndex());
            onModal<frmSystemHXWriteFixcode>([](frmSystemHXWriteFixcode* d) {
                d->cmbMode->setCurrentIndex(d->cmbMode->findData(2));
                d->txtData->setText(QStringLiteral("NEW01"));
                d->chkFixcode->setChecked(true);
                clickOn(d->btOk);
                clickOn(d->btCancel);
            });
        }
        ASSERT_TRUE(clickOn(command == "AR" ? w->btRead : w->btWrite));
        const QList<QByteArray> sent = sim.received();
        EXPECT_TRUE(sent.value(sent.size() - 2).startsWith(command));
        EXPECT_EQ(sent.last(), QByteArray("QU#\r"));
        EXPECT_EQ(tc.presenter.numbers().contains(4), command != "AR");   // not written
        sim.setTagPresent(true);
        EXPECT_FALSE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 300));
        EXPECT_EQ(sim.readMemory(0, 8), QByteArray("ABCDEFGH"));
        EXPECT_FALSE(sim.fixcodeLocked());
    }
}

TEST_F(KRWindowSim, ASecondActionWhileAnExchangeWaitsIsRefused)
{
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    bool dialogOpened = false;
    w->writeDialog = [&] { dialogOpened = true; };
    sim.delayNext("SR", 300);
    bool dialogStayedOpen = false;
    QTimer::singleShot(60, [&] {
        for (QPushButton* b : {w->btRead, w->btConfig[0], w->btFixcode, w->btWrite})
            clickOn(b);
        // A write dialog left open from before: its OK waits for the exchange to end.
        frmSystemKRWrite d(tc.ctx);
        d.Load(4);
        d.show();
        d.txtData->setText(QStringLiteral("AB"));
        clickOn(d.btOK);
        dialogStayedOpen = d.isVisible();
    });
    clickOn(w->btRead);
    EXPECT_EQ(sim.receivedStartingWith("SR").size(), 1);
    EXPECT_TRUE(sim.receivedStartingWith("SG").isEmpty());
    EXPECT_TRUE(sim.receivedStartingWith("SF").isEmpty());
    EXPECT_TRUE(sim.receivedStartingWith("SW").isEmpty());
    EXPECT_FALSE(dialogOpened);
    EXPECT_TRUE(dialogStayedOpen);
    w->btWrite_Click();
    EXPECT_TRUE(dialogOpened);
}

// An automatic read's poll step waits for the unit. Meanwhile the user double-clicks
// Schreiben; or clicks it once, then clicks into a box and types. Either way the write
// dialog opens once, after the step, and what is typed into it stays there; the typing
// during the step reaches its box at once, and nothing typed then turns up later.
TEST_F(KRWindowSim, InputDuringAPollStepIsNotHeldAndTheWriteDialogOpensOnce)
{
    sim.setTagPresent(false);   // no data read to fill the dialog's box
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);

    int opened = 0;
    QString typedInDialog;
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* d = qobject_cast<frmSystemKRWrite*>(QApplication::activeModalWidget());
        if (!d || d->property("seen").toBool())
            return;
        d->setProperty("seen", true);
        ++opened;
        clickOn(d->txtData);
        typeKeys(QStringLiteral("xy"));
        typedInDialog = d->txtData->text();
        clickOn(d->btCancel);
    });
    watcher.start();

    for (const bool typeDuringStep : {false, true}) {
        SCOPED_TRACE(typeDuringStep ? "click and type" : "double click");
        ASSERT_TRUE(activate(w));   // as the desktop gives it back after a dialog
        ASSERT_TRUE(clickOn(w->btAutoRead));
        ASSERT_TRUE(lk->PollingEnabled());
        opened = 0;
        typedInDialog.clear();
        w->txtLength->setText(QStringLiteral("000"));
        QString typedDuringStep;
        bool insideStep = false;
        QTimer::singleShot(100, w, [&] {
            insideStep = lk->PollStepRunning();
            clickOn(w->btWrite);
            if (!typeDuringStep) {
                clickOn(w->btWrite);
                return;
            }
            clickOn(w->txtLength);
            pressKey(Qt::Key_A, Qt::ControlModifier);
            typeKeys(QStringLiteral("12"));
            typedDuringStep = w->txtLength->text();
        });
        sim.delayNext("QU", 400);
        lk->LkPoll();   // the step waits for the unit's answer to its "QU"
        EXPECT_TRUE(insideStep);
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened > 0 && !QApplication::activeModalWidget(); }, 3000));
        QTest::qWait(300);
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(typedInDialog, QStringLiteral("xy"));
        if (typeDuringStep) {
            EXPECT_EQ(typedDuringStep, QStringLiteral("12"));
            EXPECT_EQ(w->txtLength->text(), QStringLiteral("012"));   // formatted when the focus left it
        }
        clickOn(w->btStop);
    }
}

TEST_F(KRWindowSim, TagPasswordChangesOnlyWhenTheTagTookIt)
{
    sim.setPassword(0x1234ABCD, false);
    frmSystemKR* w = select(2);
    ASSERT_NE(w, nullptr);
    w->cmbCode->setCurrentIndex(w->cmbCode->findData(3));
    emit w->cmbCode->activated(w->cmbCode->currentIndex());
    w->chkPasswort->click();
    ASSERT_TRUE(w->txtPasswort[0]->isEnabled());

    // Entries differ: message 60 and nothing sent.
    w->txtPasswort[0]->setText(QStringLiteral("1234ABCD"));
    w->txtPasswort[1]->setText(QStringLiteral("00C0FFEE"));
    w->txtPasswort[2]->setText(QStringLiteral("00C0FFE"));
    w->btTagPassword_Click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{60});
    EXPECT_TRUE(sim.receivedStartingWith("PC").isEmpty());

    // The wrong old password: the tag refuses, the current password stays, and the user
    // is told whatever the ReadHeadError option says.
    ASSERT_FALSE(tc.state.ReadHeadError);
    tc.presenter.requests.clear();
    w->txtPasswort[0]->setText(QStringLiteral("11111111"));
    w->txtPasswort[2]->setText(QStringLiteral("00C0FFEE"));
    w->btTagPassword_Click();
    EXPECT_EQ(sim.password(), 0x1234ABCDu);
    EXPECT_EQ(w->txtPasswort[0]->text(), QStringLiteral("11111111"));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_TRUE(w->ctrlList->text().contains(QStringLiteral("STATUS: 7 - Software Fehler")));
    tc.presenter.requests.clear();

    // The right one: old then new, least significant byte first.
    sim.clearTranscript();
    w->txtPasswort[0]->setText(QStringLiteral("1234abcd"));
    w->btTagPassword_Click();
    EXPECT_EQ(sim.password(), 0x00C0FFEEu);
    EXPECT_EQ(w->txtPasswort[0]->text(), QStringLiteral("C0FFEE"));
    EXPECT_EQ(sim.receivedStartingWith("PC"),
              QList<QByteArray>{QByteArray("PC\xCD\xAB\x34\x12\xEE\xFF\xC0\x00#\r", 12)});
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

} // namespace
} // namespace orvid::test
