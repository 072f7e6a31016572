// The interface-unit window's code and parameter buttons offscreen against the simulated
// unit: which dialog each button opens for the channel's head and the tag type, the
// special fixcode read into the list, the parameter button running the action for its
// channel with the dialog replaced, stops that reach the head they were asked for, and a
// dialog's OK clicked while a poll tick waits.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"
#include "support/RealInput.h"

#include "families/common/DataItems.h"
#include "families/hx/frmSystemHX.h"
#include "families/hx/frmSystemHXCodeDialogs.h"
#include "link/LK.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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
    ~HXWindowActions() override { lk.reset(); }
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

} // namespace
} // namespace orvid::test
