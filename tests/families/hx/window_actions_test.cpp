// The interface-unit window's code and parameter buttons offscreen against the simulated
// unit: which dialog each button opens for the channel's head and the tag type, the
// special fixcode read into the list, the parameter button running the action for its
// channel with the dialog replaced, stops that reach the head they were asked for, a
// dialog's OK clicked while a poll tick waits, and buttons clicked while a continuous read
// runs.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"
#include "support/RealInput.h"
#include "support/WhenModal.h"

#include "families/common/DataItems.h"
#include "families/hx/frmSystemHX.h"
#include "families/hx/frmSystemHXCodeDialogs.h"
#include "link/LK.h"
#include "link/Network.h"
#include "shell/ctrlList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

namespace orvid::test {
namespace {

class HXWindowActions : public PtyFamilyFixture<SimHX> {
protected:
    HXWindowActions()
    {
        sim.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray("\x00\x01", 2); });
        window = std::make_unique<frmSystemHX>(tc.ctx);
        window->Protocol().SetHeadFile(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
        window->profileDialog = [](int, const hx::HXHeadType&) { return 0; };
        window->codeDialog = [this](const QString& name) { opened.append(name); };
        lk->RegisterSystem(1, [this] { return window.get(); });
        tc.state.CurrentSystem = 1;
    }
    ~HXWindowActions() override { lk.reset(), tc.ctx.network = nullptr; }
    // The window shown and active on entry 1, the heads repeating a continuous read every
    // 40 ms.
    bool showRepeating()
    {
        sim.setRepeatInterval(40);
        window->Show();
        return select(1) && activate(window.get());
    }
    std::unique_ptr<Network> net;
    std::unique_ptr<frmSystemHX> window;
    QStringList opened;
};

TEST_F(HXWindowActions, ButtonsOpenTheDialogOfHeadAndTagType)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    // Channel 3 has the VNB head: its special-fixcode write is the byte dialog.
    w.rdHead[2]->setChecked(true);
    w.btWriteSpecialFixcode_Click();
    w.rdHead[0]->setChecked(true);
    w.btWriteSpecialFixcode_Click();
    w.btMakeNCX_Click();
    w.Protocol().PutData(KRItem::Tagcode, 60);
    w.btWriteFixcode_Click();
    EXPECT_EQ(opened, (QStringList{QStringLiteral("frmSystemHXWriteFixcodeVNB"),
                                   QStringLiteral("frmSystemHXWriteFixcodeSpecial"), QStringLiteral("frmSystemHXMakeNCX"),
                                   QStringLiteral("frmSystemHXWriteFixcodeWTX")}));

    // The special fixcode read lists the code.
    sim.withTag(1, [](SimHX::Tag& t) { t.special = "12AB00"; });
    w.Protocol().PutData(KRItem::Tagcode, 50);
    sim.clearTranscript();
    w.btSpecialFixCode_Click();
    EXPECT_TRUE(sim.received().contains(QByteArray("SS16#\r")));

    // The parameter button of channel 3 selects it and runs the action there.
    QString seenHead;
    w.Protocol().parameterDialog = [&](const hx::HXHeadType& head, hx::ParameterList& params) {
        seenHead = head.name;
        hx::SetValueBytes(*hx::FindParameter(params, QStringLiteral("NC")), QByteArray("\x05", 1));
        return true;
    };
    EXPECT_TRUE(w.btParameter[2]->isEnabled());
    w.btParameter[2]->click();
    EXPECT_EQ(seenHead, QStringLiteral("UHF-A"));
    EXPECT_TRUE(w.rdHead[2]->isChecked());
    EXPECT_EQ(sim.tag(3).params.value("NC"), QByteArray("\x05", 1));
}

// A read goes on on channel 3 while channel 1 is selected. The parameter button of
// channel 3 ends it before the first parameter telegram; a stop asked while an exchange
// waits goes to the head it was asked for, not to the one chosen meanwhile.
TEST_F(HXWindowActions, StopsReachTheHeadTheyWereAskedFor)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    w.Protocol().parameterDialog = [](const hx::HXHeadType&, hx::ParameterList&) { return false; };
    w.rdHead[0]->setChecked(true);
    QByteArray channel = "3";
    ASSERT_TRUE(w.Protocol().HXWrite(hx::HXCommand::ER, channel, "000001"));
    w.Protocol().ChannelBusy[2] = true;
    lk->EnablePolling(true);
    sim.clearTranscript();
    w.btParameter[2]->click();
    const QList<QByteArray> sent = sim.received();
    const qsizetype quit = sent.indexOf(QByteArray("QU3#\r"));
    qsizetype firstParameter = -1;
    for (qsizetype i = 0; i < sent.size() && firstParameter < 0; ++i)
        if (sent[i].startsWith("RP3"))
            firstParameter = i;
    EXPECT_GE(quit, 0);
    EXPECT_LT(quit, firstParameter);

    // Stop on head 3 while a read on it waits; head 1 is chosen before the stop can go.
    w.Protocol().PutData(KRItem::DataLength, 4);
    sim.delayNext("SR", 300);
    QTimer::singleShot(80, [&] {
        w.btStop_Click();
        w.Protocol().PutData(KRItem::HeadNumber, QStringLiteral("1"));
    });
    sim.clearTranscript();
    w.Protocol().ReadData(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sim.received().isEmpty() && sim.received().last().startsWith("QU"); }, 2000));
    EXPECT_EQ(sim.received().last(), QByteArray("QU3#\r"));

    // Head 3 goes on sending after its "QU" (the answer lost): Stop gives up after a
    // handful of its replies, long before the head falls quiet; a second Stop ends it.
    sim.setRepeatInterval(40);
    w.Protocol().PutData(KRItem::HeadNumber, QStringLiteral("3"));
    ASSERT_TRUE(w.Protocol().HXWrite(hx::HXCommand::ER, channel, "000001"));
    sim.silenceNext("QU");
    bool quiet = false;
    QObject scope;   // ends the timer with the test
    QTimer::singleShot(5000, &scope, [&] {
        sim.withTag(3, [](SimHX::Tag& t) { t.present = false, t.quietWithoutTag = true; });
        quiet = true;
    });
    ASSERT_TRUE(clickOn(w.btStop));
    EXPECT_FALSE(quiet);
    ASSERT_TRUE(clickOn(w.btStop));
    EXPECT_FALSE(sim.repeating());
}

// While an Enhanced read is polled, OK in the special-fixcode dialog is clicked during a
// poll tick's exchange: the write waits for the tick and then goes out, after the read
// has been stopped.
TEST_F(HXWindowActions, OkDuringAPollTickWritesAfterIt)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    w.rdHead[0]->setChecked(true);
    w.Protocol().PutData(KRItem::Tagcode, 50);
    w.Protocol().PutData(KRItem::OperationMode, 3);
    w.Protocol().PutData(KRItem::DataLength, 4);
    sim.setRepeatInterval(60);
    sim.setSplit(150);   // within the reply time-out
    w.Protocol().ReadData(true);
    ASSERT_TRUE(lk->PollingEnabled());
    frmSystemHXWriteFixcodeSpecial dialog(tc.ctx);
    dialog.Load();
    dialog.show();
    dialog.txtHex->setText(QStringLiteral("12AB"));   // the code 0012AB

    // The replies there so far are taken; the tick begins on the first half of the next.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Protocol().DataAvailable(); }, 3000));
    w.Protocol().Poll(true, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Protocol().DataAvailable(); }, 3000));
    bool clickedInsideTick = false;
    QTimer::singleShot(40, [&] {
        clickedInsideTick = lk->Busy();
        clickOn(dialog.btOk);
    });
    sim.clearTranscript();
    lk->LkPoll();
    EXPECT_TRUE(clickedInsideTick);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.received().contains(QByteArray("EP160012AB#\r")); }, 4000));
    const QList<QByteArray> sent = sim.received();
    EXPECT_LT(sent.indexOf(QByteArray("QUx#\r")), sent.indexOf(QByteArray("EP160012AB#\r")));
    EXPECT_FALSE(dialog.isVisible());
    sim.setSplit(0);
}

// An Enhanced read repeats on head 1 (a locked tag, its password known). Each button
// clicked meanwhile stops the read before anything else goes out, so the action reads its
// own replies: the write merges into the tag's own word, the configuration words are the
// tag's. Every one of them leaves the head idle, as Stop does; after a new password the
// next read opens the tag with it.
TEST_F(HXWindowActions, ButtonsClickedDuringAContinuousReadStopItFirst)
{
    ASSERT_TRUE(showRepeating());
    frmSystemHX& w = *window;
    w.rdHead[0]->setChecked(true);
    w.PutData(KRItem::Tagcode, 3);
    w.PutData(KRItem::StartAddress, 0);
    w.PutData(KRItem::DataLength, 4);
    ASSERT_TRUE(clickOn(w.chkPasswort));
    w.writeDialog = [&] { EXPECT_TRUE(w.WriteTag(3, 0, false, 5, 1, "Z", "1")); };
    w.configDialog = [](QByteArray& control, QByteArray& protection) {
        control = QByteArray("\x00\x01\x00\x07", 4);
        protection = "PROT";
        return true;
    };

    struct Case {
        const char* name;
        QAbstractButton* button;
        bool idleAfter;
        std::function<void()> check;
        // Clicked first, in mode Single: the running read goes on, and polling with it.
        QPushButton* before = nullptr;
    };
    const Case cases[] = {
        {"Schreiben", w.btWrite, true, [&] { EXPECT_EQ(sim.memory(1, 0, 8), "abcdeZgh"); }},
        {"Konfig Lesen", w.btConfig[0], true,
         [&] { EXPECT_TRUE(w.ctrlList->text().contains(QStringLiteral("Erstes lesegeschütztes Wort    : 01"))); }},
        {"Fixcode, then Konfig Lesen", w.btConfig[0], true,
         [&] { EXPECT_TRUE(w.ctrlList->text().contains(QStringLiteral("Erstes lesegeschütztes Wort    : 01"))); },
         w.btFixcode},
        {"Konfig Schreiben", w.btConfig[1], true, [&] {
             EXPECT_EQ(sim.tag(1).protection, "PROT");
             EXPECT_EQ(sim.tag(1).control, QByteArray("\x00\x01\x00\x07", 4));
         }},
        {"Passwort", w.btTagPassword, true, [&] {
             EXPECT_EQ(sim.tag(1).password, 0x5678u);
             // The next read sends the password mode with the new password first.
             w.ctrlList->Clear();
             sim.clearTranscript();
             ASSERT_TRUE(clickOn(w.btRead));
             const QList<QByteArray> sent = sim.received();
             const qsizetype ps = sent.indexOf(QByteArray("PS1\x78\x56\0\0#\r", 9));
             EXPECT_GE(ps, 0);
             EXPECT_LT(ps, sent.indexOf(QByteArray("SR1000001#\r")));
             EXPECT_TRUE(w.ctrlList->text().contains(QStringLiteral("Kopf 1: abcd")));
         }},
        {"Kopf 2", w.rdHead[1], true, [&] { EXPECT_EQ(w.Protocol().Channel, QStringLiteral("2")); }},
        {"Stop", w.btStop, true, [] {}},
        {"Lesen", w.btRead, true, [&] { EXPECT_TRUE(w.ctrlList->text().contains(QStringLiteral("Kopf 1: abcd"))); }},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            w.rdHead[0]->setChecked(true);
            sim.withTag(1, [](SimHX::Tag& t) {
                t.memory.replace(0, 8, "abcdefgh");
                t.password = 0;
                t.control = QByteArray("\x00\x01\x00\x00", 4);   // password protection on
                t.protection = QByteArray("\x04\x03\x02\x01", 4);
            });
            w.txtPasswort[0]->clear();
            w.txtPasswort[1]->setText(QStringLiteral("5678"));
            w.txtPasswort[2]->setText(QStringLiteral("5678"));
            w.PutData(KRItem::OperationMode, 3);
            ASSERT_TRUE(clickOn(w.btRead));
            ASSERT_TRUE(lk->PollingEnabled());
            ASSERT_TRUE(sim.repeating());
            QTest::qWait(100);   // repeats on their way
            w.ctrlList->Clear();
            sim.clearTranscript();
            w.PutData(KRItem::OperationMode, 0);
            if (c.before) {
                ASSERT_TRUE(clickOn(c.before));
                EXPECT_TRUE(lk->PollingEnabled());
                ASSERT_TRUE(sim.repeating());
                w.ctrlList->Clear();
                QTest::qWait(100);
                lk->LkPoll();
                EXPECT_TRUE(w.ctrlList->text().contains(QStringLiteral("Kopf 1: abcd"))); // the repeats listed
                w.ctrlList->Clear();
                sim.clearTranscript();
            }
            monitor.lines.clear();
            ASSERT_TRUE(clickOn(c.button));
            EXPECT_FALSE(monitor.lines.contains("R: <TIMEOUT>"));   // each answer taken whole, at once
            ASSERT_FALSE(sim.received().isEmpty());
            EXPECT_EQ(sim.received().first(), QByteArray("QU1#\r"));
            EXPECT_FALSE(sim.repeating());
            if (c.idleAfter) {
                EXPECT_FALSE(lk->PollingEnabled());
                EXPECT_FALSE(w.Protocol().ChannelBusy[0]);
            }
            c.check();
            ASSERT_TRUE(clickOn(w.btStop));
        }
    }

    // Another tag type chosen while the read repeats, "CT" answered among the next eight
    // repeats: it takes its own answer, and every repeat is listed as the poll lists it.
    w.PutData(KRItem::OperationMode, 3);
    ASSERT_TRUE(clickOn(w.btRead));
    w.ctrlList->Clear();
    monitor.lines.clear();
    sim.delayNext("CT", 300);
    w.cmbCode->setCurrentIndex(w.cmbCode->findData(2));
    w.cmbCode_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { lk->LkPoll(); return w.ctrlList->text().count(QStringLiteral("Kopf 1")) >= 20; }, 5000));
    const QString listed = w.ctrlList->text();
    EXPECT_EQ(listed.count(QStringLiteral("Kopf 1: abcd")), listed.count(QStringLiteral("Kopf 1"))) << listed.toStdString();
    EXPECT_FALSE(monitor.lines.contains("R: <TIMEOUT>"));
}

// An Enhanced write from the dialog on head 2 leaves its read running there while head 1
// is chosen, its repeat going out ahead of every answer to another head. Lesen and Konfig
// Lesen on head 1, the parameter action on head 3 and a cancelled Schreiben each take
// their own head's replies, list head 2's repeats met on the way under head 2, and leave
// that read polled. Closing the window ends it; closed while Lesen waits, the window gets
// no late line.
TEST_F(HXWindowActions, AReadRunningOnAnotherHeadStaysPolled)
{
    ASSERT_TRUE(showRepeating());
    frmSystemHX& w = *window;
    hx::ParameterList seen;
    w.Protocol().parameterDialog = [&](const hx::HXHeadType&, hx::ParameterList& params) { seen = params; return false; };
    bool cancel = false;
    w.writeDialog = [&] { EXPECT_TRUE(cancel || w.WriteTag(3, 3, false, 0, 4, "abcd", "2")); };
    w.rdHead[0]->setChecked(true);
    w.PutData(KRItem::Tagcode, 3);
    w.PutData(KRItem::OperationMode, 0);
    ASSERT_TRUE(clickOn(w.btWrite));
    ASSERT_TRUE(w.Protocol().ChannelBusy[1]);
    cancel = true;
    sim.setRepeatsAhead(true);

    const std::tuple<const char*, QPushButton*, const char*> cases[] = {
        {"Lesen", w.btRead, "Kopf 1: "}, {"Parameter", w.btParameter[2], ""},
        {"Konfig Lesen", w.btConfig[0], "Lesebereich-Anfang          : 00"}, {"Schreiben, cancelled", w.btWrite, ""}};
    for (const auto& [name, button, own] : cases) {
        SCOPED_TRACE(name);
        w.rdHead[0]->setChecked(true);
        w.ctrlList->Clear();
        ASSERT_TRUE(clickOn(button));
        EXPECT_TRUE(lk->PollingEnabled());
        EXPECT_TRUE(w.Protocol().ChannelBusy[1]);
        EXPECT_TRUE(sim.repeating());
        const QString text = w.ctrlList->text();
        EXPECT_TRUE(text.contains(QStringLiteral("Kopf 2: abcd")));
        EXPECT_TRUE(text.contains(QString::fromUtf8(own))) << text.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("abcd")), text.count(QStringLiteral("Kopf 2: abcd"))) << text.toStdString();
        w.ctrlList->Clear();
        EXPECT_TRUE(QTest::qWaitFor([&] { lk->LkPoll(); return w.ctrlList->text().contains(QStringLiteral("Kopf 2: abcd")); }, 3000));
    }
    ASSERT_FALSE(seen.isEmpty());
    for (const clsParameter& p : seen)
        EXPECT_EQ(hx::ValueBytes(p), sim.tag(3).params.value(p.Name().toLatin1(), hx::ValueBytes(p))) << p.Name().toStdString();

    w.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sim.repeating(); }, 3000));
    EXPECT_FALSE(lk->PollingEnabled());

    w.Show();
    sim.delayNext("SR", 500);
    QTimer::singleShot(150, &w, [&] { w.close(); });
    ASSERT_TRUE(clickOn(w.btRead));
    w.Show();
    EXPECT_TRUE(w.ctrlList->text().isEmpty()) << w.ctrlList->text().toStdString();
}

// On Ethernet the window moves its own telegrams. While Konfig Lesen waits for the unit's
// late answer to "SG", a Stop waits for that exchange and a selection is refused: the words
// listed are the unit's, and its "QU" goes out after the answer.
TEST_F(HXWindowActions, OnEthernetAStopAndASelectionWaitForTheExchange)
{
    net = std::make_unique<Network>(tc.ctx);
    tc.ctx.network = net.get();
    net->SetNetAddress(QStringLiteral("127.0.0.1"));
    window->Protocol().unitPort = sim.startNet();
    window->Protocol().pageUrl = QStringLiteral("http://127.0.0.1:%1/").arg(sim.pagePort());
    lk->RegisterSystem(10, [this] { return window.get(); });
    frmSystemHX& w = *window;
    w.Show();
    ASSERT_TRUE(select(10));
    ASSERT_TRUE(activate(&w));
    w.PutData(KRItem::Tagcode, 3);
    ASSERT_TRUE(clickOn(w.btConfig[0]));
    const QString words = w.ctrlList->text();
    ASSERT_TRUE(words.contains(QStringLiteral("Passwort"))) << words.toStdString();
    w.ctrlList->Clear();
    const int menuEntry = 0;
    int selections = 0;
    sim.delayNext("SG", 300);
    const qsizetype before = sim.netRequests().size();
    whenSeen([&] { return sim.netRequests().size() > before; }, [&] {
        clickOn(w.btStop);
        lk->UserAction(&menuEntry, &w, [&] {
            bool askRetry = false;
            selections += lk->SelectSystem(10, askRetry) ? 1 : 0;
        });
    });
    ASSERT_TRUE(clickOn(w.btConfig[0]));
    // Its stop is the last frame, "QU" (code 02) to every head.
    const auto isQuit = [](const QByteArray& frame) { return frame.size() > 2 && frame.at(2) == '\x02'; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return isQuit(sim.netRequests().value(sim.netRequests().size() - 1)); }, 3000));
    EXPECT_EQ(w.ctrlList->text(), words);
    EXPECT_EQ(selections, 0);
    const QList<QByteArray> frames = sim.netRequests().mid(before);
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), isQuit), 1);
}

} // namespace
} // namespace orvid::test
