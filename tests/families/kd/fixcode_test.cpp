// The inductive system D fixcode unit end to end: recognition through the link's
// selection on a pseudo-terminal, and the window's reads in every mode against the
// simulated unit (telegrams, polling, list lines, status lines, Stop during a re-arm).

#include "sim/SimKDFixcode.h"
#include "support/FamilyFixture.h"
#include "support/PortDrain.h"
#include "support/RealInput.h"
#include "support/WhenModal.h"

#include "families/Families.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "families/kd/KDItems.h"
#include "families/kd/frmSystemKDFixcode.h"

#include <QComboBox>
#include <QPushButton>
#include <QGroupBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

constexpr int kTimeout = 150;

class KDFixcodeEndToEnd : public PtyFamilyFixture<SimKDFixcode> {
protected:
    KDFixcodeEndToEnd() : PtyFamilyFixture(kTimeout)
    {
        RegisterFamilies(tc.ctx);
        sim.setTag(0, 0x123, 17767);
    }
    frmSystemKDFixcode* window()
    {
        auto* w = dynamic_cast<frmSystemKDFixcode*>(lk->CurrentWindow());
        if (w && !w->Loaded())
            w->Show();
        return w;
    }
    QStringList lines(frmSystemKDFixcode* w)
    {
        QStringList out;
        for (int i = 0; i < w->lstTagData->count(); ++i)
            out << w->lstTagData->LineText(i);
        return out;
    }
    QList<QByteArray> sent()
    {
        EXPECT_TRUE(Drained(sim, ports->comm()));
        return sim.commands();
    }
};

TEST_F(KDFixcodeEndToEnd, RecognisesTheUnitByItsVersionLines)
{
    const struct {
        SimKDFixcode::Version version;
        bool found;
        const char* type;
    } cases[] = {
        {SimKDFixcode::Version::TwoLines, true, "DVN-LRS2-4NWZ/DVN-LRB6-4NWZ"},
        {SimKDFixcode::Version::OneLine, true, "DRN-LRS2-4.4Q/DRN-LRB6-4.4Q"},
        {SimKDFixcode::Version::DRN, true, "DRN-LRS2-4.4Q/DRN-LRB6-4.4Q"},
        {SimKDFixcode::Version::LowerCase, true, "DVN-LRS2-4NWZ/DVN-LRB6-4NWZ"},
        {SimKDFixcode::Version::NoType, false, ""},
        {SimKDFixcode::Version::Silent, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.version));
        sim.setVersion(c.version);
        EXPECT_EQ(select(4), c.found);
        QVariant type, version;
        lk->LkGetData(LinkItem::HeadType, type);
        lk->LkGetData(LinkItem::VersionText, version);
        EXPECT_EQ(type.toByteArray(), QByteArray(c.type));
        if (c.version == SimKDFixcode::Version::TwoLines) {
            EXPECT_EQ(version.toByteArray(), QByteArray("ORVID-I DVN-LRS2-4NWZ V2.1\r\nORVID Systems"));
        } else if (c.version == SimKDFixcode::Version::OneLine) {
            EXPECT_EQ(version.toByteArray(), QByteArray("ORVID-I DRN-LRS2-4.4Q V1.0\r\n"));
        }
    }
}

TEST_F(KDFixcodeEndToEnd, ReadsInEveryModeFromOneAndAllHeads)
{
    // The unit answers "RST" in words of its own: every stop, the close-down's too, takes
    // that answer at once.
    sim.setStopAnswer("RESET DONE");
    ASSERT_TRUE(select(4));
    frmSystemKDFixcode* w = window();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->frameHead->title(), QStringLiteral("DVN-LRS2-4NWZ/DVN-LRB6-4NWZ"));
    KDFixcodeProtocol& p = w->Protocol();
    const struct {
        int mode, head, format, doubleSided;
        const char* command;
        const char* line;
    } cases[] = {
        {0, 0, 0, 0, "R1,10", "KOPF 1: 12317767"},
        {0, 4, 1, 1, "RX,28", "KOPF X: 029117767"},
        {1, 0, 1, 0, "AR1,28", "KOPF 1: 029117767"},
        {1, 4, 0, 1, "ARX,10", "KOPF X: 12317767"},
        {2, 0, 0, 1, "CAR1,10", "KOPF 1: 12317767"},
        {2, 4, 1, 0, "CARX,28", "KOPF X: 029117767"},
        {3, 0, 1, 1, "BAR1,28", "KOPF 1: 029117767"},
        {3, 4, 0, 0, "BARX,10", "KOPF X: 12317767"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        lk->LkPutData(KDItem::OperationMode, c.mode);
        lk->LkPutData(KDItem::HeadNumber, c.head);
        lk->LkPutData(KDItem::DataFormat, c.format);
        lk->LkPutData(KDItem::DoubleSided, c.doubleSided);
        w->btClear_Click();
        sim.clearCommands();
        w->btFixcode_Click();

        QList<QByteArray> expected = {"RST"};
        if (c.doubleSided)
            expected << "SD";
        expected << c.command;
        // The forced receive takes the first line; an Auto read is armed again before it
        // is listed.
        if (c.mode == 1)
            expected += expected;
        EXPECT_EQ(sent(), expected);
        EXPECT_EQ(lines(w), QStringList{QString::fromLatin1(c.line)});
        EXPECT_EQ(lk->PollingEnabled(), c.mode != 0);
        EXPECT_EQ(p.AutoRepeat, c.mode == 1);
        if (c.mode >= 2) {
            // Continuous and Buffered: one line per poll tick, nothing sent.
            lk->LkPoll();
            EXPECT_EQ(lines(w).size(), 2);
            EXPECT_EQ(sent(), expected);
        }
        w->btStop_Click();
        EXPECT_FALSE(lk->PollingEnabled());
        EXPECT_FALSE(p.AutoRepeat);
        EXPECT_EQ(sent().last(), QByteArray("RST"));
        EXPECT_FALSE(monitor.timedOutAfter("RST"));
    }

    // The user chooses Single while an Auto read runs: the next line arms the read with
    // Single and leaves polling on, so the next poll step lists the Single read's reply.
    lk->LkPutData(KDItem::OperationMode, 1);
    lk->LkPutData(KDItem::HeadNumber, 0);
    lk->LkPutData(KDItem::DataFormat, 0);
    lk->LkPutData(KDItem::DoubleSided, 0);
    w->Fill();
    w->btClear_Click();
    w->btFixcode_Click();
    ASSERT_TRUE(lk->PollingEnabled());
    EXPECT_EQ(sent().last(), QByteArray("AR1,10"));
    sim.clearCommands();
    w->cmbMode->setCurrentIndex(0);
    emit w->cmbMode->activated(0);
    lk->LkPoll();
    EXPECT_EQ(sent(), (QList<QByteArray>{"RST", "R1,10"}));
    EXPECT_TRUE(lk->PollingEnabled());
    EXPECT_FALSE(p.AutoRepeat);
    lk->LkPoll();
    EXPECT_EQ(lines(w), QStringList(3, QStringLiteral("KOPF 1: 12317767")));
    w->btStop_Click();
    EXPECT_EQ(sent().last(), QByteArray("RST"));

    // Status lines: shown only when the user wants the heads' errors.
    sim.removeTag(0);
    lk->LkPutData(KDItem::OperationMode, 0);
    lk->LkPutData(KDItem::HeadNumber, 0);
    for (bool show : {true, false}) {
        tc.state.ReadHeadError = show;
        w->btClear_Click();
        w->btFixcode_Click();
        EXPECT_EQ(lines(w), show ? QStringList{QStringLiteral("STATUS:  M7 - Kein Datentr\u00E4ger vorhanden")}
                                 : QStringList{});
    }

    // The list keeps the newest 100 lines.
    sim.setTag(1, 0xABC, 1);
    sim.setRate(1);
    lk->LkPutData(KDItem::OperationMode, 2);
    lk->LkPutData(KDItem::HeadNumber, 1);
    w->btClear_Click();
    w->btFixcode_Click();
    for (int i = 0; i < 100; ++i)
        lk->LkPoll();
    EXPECT_EQ(w->lstTagData->count(), TagDataList::MaxLines);
    EXPECT_EQ(w->lstTagData->currentRow(), TagDataList::MaxLines - 1);
    w->btStop_Click();
    sim.allowDroppedInput();   // the other entry's telegrams
    select(5);
    EXPECT_FALSE(monitor.timedOutAfter("RST"));
}

// Stop, clicked or typed (Alt+T, whose click comes a moment later), while the Auto
// re-arm of a poll step waits for the unit: nothing goes out after the re-arm's "RST" but
// the stop's own.
TEST_F(KDFixcodeEndToEnd, StopDuringAnAutoReArmSendsNothingMore)
{
    ASSERT_TRUE(select(4));
    frmSystemKDFixcode* w = window();
    ASSERT_TRUE(w);
    ASSERT_TRUE(activate(w));
    const struct {
        const char* how;
        int rstDelay;   // ms the unit takes to answer the re-arm's "RST"
        std::function<void()> stop;
    } ways[] = {
        {"click", kTimeout / 2, [w] { clickOn(w->btStop); }},
        {"Alt+T", 3 * kTimeout, [] { pressKey(Qt::Key_T, Qt::AltModifier); }},
    };
    for (const auto& way : ways) {
        sim.removeTag(0);
        lk->LkPutData(KDItem::OperationMode, 1);
        clickOn(w->btFixcode);
        ASSERT_TRUE(lk->PollingEnabled()) << way.how;
        ports->SetTimeout(static_cast<int16_t>(way.rstDelay + kTimeout));
        w->lstTagData->clear();
        ASSERT_TRUE(Drained(sim, ports->comm()));
        sim.clearCommands();
        // The tag arrives; the re-arm's "RST" is answered late, and Stop comes in that wait.
        sim.delayNext("RST", way.rstDelay);
        sim.setTag(0, 0x123, 17767);
        QTest::qWait(30);
        QTimer::singleShot(kTimeout / 4, w, way.stop);
        lk->LkPoll();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commands().size() >= 2; }, 2000)) << way.how;
        QTest::qWait(2 * kTimeout);
        EXPECT_EQ(sent(), (QList<QByteArray>{"RST", "RST"})) << way.how;
        EXPECT_FALSE(lk->PollingEnabled()) << way.how;
        EXPECT_FALSE(w->Protocol().AutoRepeat) << way.how;
        EXPECT_EQ(w->lstTagData->LineText(0), QStringLiteral("KOPF 1: 12317767")) << way.how;
    }

    // A continuous read, the unit slow to answer the stop: Stop again in that wait is the
    // same stop, and one "RST" goes out.
    lk->LkPutData(KDItem::OperationMode, 2);
    clickOn(w->btFixcode);
    ASSERT_TRUE(Drained(sim, ports->comm()));
    sim.clearCommands();
    ports->SetTimeout(6 * kTimeout);
    sim.delayNext("RST", 4 * kTimeout);
    whenSeen([&] { return !sim.commands().isEmpty(); }, [w] { clickOn(w->btStop); });
    clickOn(w->btStop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lk->Busy() && lk->ActionsWaiting() == 0; }, 2000));
    EXPECT_EQ(sent(), QList<QByteArray>{"RST"});
}

// The sweep over all entries finds the unit behind its own entry; the other families'
// probes get nothing their recognition accepts.
TEST_F(KDFixcodeEndToEnd, SweepFindsTheUnit)
{
    EXPECT_TRUE(select(0));
    EXPECT_EQ(lk->CurrentSystemIndex(), 4);
}

} // namespace
} // namespace orvid::test
