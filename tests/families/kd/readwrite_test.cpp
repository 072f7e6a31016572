// The inductive system D read/write unit end to end on a pseudo-terminal: recognition,
// read telegrams with their check bytes, the counting of replies (all heads, silence,
// Auto), and writes: the extended time-out, the confirmations of all heads and of a
// write in window mode Auto, refused writes, and the carrier's memory afterwards.

#include "sim/SimKDReadWrite.h"
#include "support/FamilyFixture.h"
#include "support/PortDrain.h"
#include "support/RealInput.h"
#include "support/WhenModal.h"

#include "families/Families.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "families/kd/KDItems.h"
#include "families/kd/frmSystemKDMakeNCX.h"
#include "families/kd/frmSystemKDReadWrite.h"
#include "families/kd/frmSystemKDWrite.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

constexpr int kTimeout = 60;

class KDReadWriteEndToEnd : public PtyFamilyFixture<SimKDReadWrite> {
protected:
    KDReadWriteEndToEnd() : PtyFamilyFixture(kTimeout)
    {
        RegisterFamilies(tc.ctx);
        sim.setCarrier(0, 1);
        sim.writeMemory(0, 0x10, "ABCD");
    }
    frmSystemKDReadWrite* selectWindow()
    {
        if (!select(5))
            return nullptr;
        auto* w = dynamic_cast<frmSystemKDReadWrite*>(lk->CurrentWindow());
        if (w && !w->Loaded())
            w->Show();
        return w;
    }
    QStringList lines(frmSystemKDReadWrite* w)
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
    void put(int16_t id, int value) { lk->LkPutData(id, value); }
};

TEST_F(KDReadWriteEndToEnd, RecognisesTheUnitAndTheSweepFindsIt)
{
    ASSERT_TRUE(select(5));
    QVariant type;
    lk->LkGetData(LinkItem::HeadType, type);
    EXPECT_EQ(type.toByteArray(), QByteArray("DVN-LRS2-4NWZ/DVN-LRB6-4NWZ"));
    EXPECT_TRUE(sim.transcript().startsWith(SimKDReadWrite::Frame("q") + SimKDReadWrite::Frame("o")));
    EXPECT_TRUE(select(0));
    EXPECT_EQ(lk->CurrentSystemIndex(), 5);
}

TEST_F(KDReadWriteEndToEnd, ReadTelegramsCarryTheirFieldsAndCheckBytes)
{
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    sim.setCarrier(1, 0, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    sim.setCarrier(2, 3);
    sim.writeMemory(2, 0xFFFF - 8190, "G");
    const struct {
        int tagCode, head;
        quint16 address;
        int length;
        const char* telegram;
        QByteArray frame;   // text, check byte, ETX
        const char* line;
    } cases[] = {
        {0, 1, 0, 0, "i2", QByteArray("i2\x9B\x03", 4), "KOPF 2: <1><STX><ETX><4><5><ACK><7><8>"},
        {1, 0, 0x10, 4, "w11004", QByteArray("w11004\x6D\x03", 8), "KOPF 1: ABCD"},
        {1, 0, 0xFF, 2, "w1FF02", QByteArray("w1FF02\x96\x03", 8), "STATUS:09 - Adresse oder Anzahl der Daten im unzul\u00E4ssigem Bereich"},
        {1, 0, 0x12C, 2, "w112C02", QByteArray("w112C02\xB0\x03", 9), nullptr},
        {3, 2, 0xFFFF, 1, "w3FFFF01", QByteArray("w3FFFF01\x23\x03", 10), "STATUS:09 - Adresse oder Anzahl der Daten im unzul\u00E4ssigem Bereich"},
        {4, 3, 0x10, 2, "w41002", QByteArray("w41002\x6E\x03", 8), "STATUS:03 - Kein Datentr\u00E4ger vorhanden"},
    };
    tc.state.ReadHeadError = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.telegram);
        put(KDItem::Tagcode, c.tagCode);
        put(KDItem::HeadNumber, c.head);
        put(KDItem::StartAddress, c.address);
        put(KDItem::DataLength, c.length);
        w->btClear_Click();
        sim.clearCommands();
        sim.clearTranscript();
        w->btRead_Click();
        const QList<QByteArray> expected = {"q", "o", "d" + QByteArray::number(c.tagCode), c.telegram};
        EXPECT_EQ(sent(), expected);
        EXPECT_TRUE(sim.transcript().contains(c.frame));
        if (c.line) {
            EXPECT_EQ(lines(w), QStringList{QString::fromUtf8(c.line)});
        }
        EXPECT_FALSE(lk->PollingEnabled());
    }
    // FFFF is shown and kept unsigned; a stored -1 is FFFF.
    put(KDItem::StartAddress, -1);
    w->Fill();
    QVariant address;
    lk->LkGetData(KDItem::StartAddress, address);
    EXPECT_EQ(address.toInt(), 65535);
    EXPECT_EQ(w->txtAddress->text(), QStringLiteral("FFFF"));
}

TEST_F(KDReadWriteEndToEnd, RepliesAreCountedUntilNoneIsExpected)
{
    // The unit answers "q" and "o" in words of its own; an Auto read's reply on its way
    // when Stop comes is ahead of that answer.
    sim.setStopAnswer("X0", true);
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    KDReadWriteProtocol& p = w->Protocol();
    put(KDItem::Tagcode, 1);
    put(KDItem::StartAddress, 0x10);
    put(KDItem::DataLength, 2);
    put(KDItem::HeadNumber, 4);

    // Four replies from all heads: the first taken at once, three by polling.
    w->btRead_Click();
    EXPECT_TRUE(lk->PollingEnabled());
    for (int i = 0; i < 3; ++i)
        lk->LkPoll();
    EXPECT_EQ(p.ExpectedReplies, 0);
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(lines(w).first(), QStringLiteral("KOPF 1: AB"));

    // No reply at all: every ten silent steps count as one reply (the forced one first).
    sim.silenceNext("wX");
    w->btClear_Click();
    w->btRead_Click();
    for (int i = 0; i < 38; ++i)
        lk->LkPoll();
    EXPECT_TRUE(lk->PollingEnabled());
    lk->LkPoll();
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_TRUE(lines(w).isEmpty());

    // A mix: two replies and twenty silent steps.
    sim.silenceNext("wX");
    w->btRead_Click();   // silent forced step: 1
    sim.writeMemory(0, 0x10, "XY");
    for (int i = 0; i < 19; ++i)
        lk->LkPoll();    // 20 silent: two replies counted
    EXPECT_EQ(p.ExpectedReplies, 2);
    sim.send(SimKDReadWrite::Frame("w001XY") + SimKDReadWrite::Frame("w002XY"));
    lk->LkPoll();
    EXPECT_TRUE(lk->PollingEnabled());
    lk->LkPoll();
    EXPECT_FALSE(lk->PollingEnabled());

    // Auto: every reply arms the read again, until Stop.
    put(KDItem::HeadNumber, 0);
    put(KDItem::OperationMode, 1);
    sim.clearCommands();
    w->btRead_Click();
    EXPECT_EQ(p.ExpectedReplies, -1);
    EXPECT_TRUE(lk->PollingEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] {
        lk->LkPoll();
        return sim.commands().count("W11002") >= 3;
    }, 3000));
    EXPECT_TRUE(lk->PollingEnabled());
    w->btStop_Click();
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(sent().last(), QByteArray("q"));
    EXPECT_FALSE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 3 * kTimeout));
    sim.allowDroppedInput();   // the other entry's telegrams
    select(4);
    EXPECT_FALSE(monitor.timedOutAfter("q"));
    EXPECT_FALSE(monitor.timedOutAfter("o"));
}

TEST_F(KDReadWriteEndToEnd, WritesAreConfirmedAndRefusedAsTheyShould)
{
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    tc.state.ReadHeadError = false;
    const QString ok = QStringLiteral("SCHREIBEN:00 - OK");

    // Single head, Single: the first receive waits Len x time-out + 2; the confirmation
    // is listed whatever ReadHeadError says, and the memory holds the data.
    EXPECT_EQ(KDReadWriteProtocol::WriteTimeout(200, 10), 2002);
    EXPECT_EQ(KDReadWriteProtocol::WriteTimeout(200, 0), 200);
    EXPECT_EQ(KDReadWriteProtocol::WriteTimeout(200, 255), 32767);
    const QByteArray data("0123456789");
    sim.delayNext("k", kTimeout * 4);
    EXPECT_EQ(KDWriteResult::Written, w->WriteTag(0, 0, 0x20, 1, 0, data));
    EXPECT_EQ(ports->GetTimeout(), kTimeout);
    EXPECT_EQ(lines(w), QStringList{ok});
    EXPECT_EQ(sim.memory(0, 0x20, 10), data);
    EXPECT_EQ(w->Protocol().LastHead, 0);

    // All heads: four confirmations, three of them by polling.
    for (int h = 1; h < 4; ++h)
        sim.setCarrier(h, 1);
    w->btClear_Click();
    EXPECT_EQ(KDWriteResult::Written, w->WriteTag(0, 4, 0x30, 1, 0, "Z"));
    EXPECT_TRUE(lk->PollingEnabled());
    for (int i = 0; i < 3; ++i)
        lk->LkPoll();
    EXPECT_EQ(lines(w), QStringList(4, ok));
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_EQ(sim.memory(3, 0x30, 1), QByteArray("Z"));

    // In window mode Auto the confirmation is decoded before the Auto read is re-armed.
    put(KDItem::OperationMode, 1);
    put(KDItem::Tagcode, 1);
    w->btClear_Click();
    sim.clearCommands();
    EXPECT_EQ(KDWriteResult::Written, w->WriteTag(0, 0, 0x40, 1, 0, "Q"));
    EXPECT_EQ(lines(w).value(0), ok);
    EXPECT_TRUE(sent().contains("W10000"));
    EXPECT_TRUE(lk->PollingEnabled());
    w->btStop_Click();
    put(KDItem::OperationMode, 0);

    // Refused before anything goes out: address beyond a 2-digit field, data over 255.
    sim.clearCommands();
    tc.presenter.requests.clear();
    EXPECT_EQ(KDWriteResult::Refused, w->WriteTag(0, 0, 0x100, 1, 0, "A"));
    EXPECT_EQ(KDWriteResult::Refused, w->WriteTag(0, 0, 0, 3, 0, QByteArray(256, 'A')));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20}));

    // A single-head Single write with an error status or no reply: message 4.
    tc.presenter.requests.clear();
    sim.failNext("k", "04");
    EXPECT_EQ(KDWriteResult::NotWritten, w->WriteTag(0, 0, 0, 1, 0, "A"));
    sim.silenceNext("k");
    EXPECT_EQ(KDWriteResult::NotWritten, w->WriteTag(0, 0, 0, 1, 0, "A"));
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{4, 4}));
    EXPECT_EQ(lines(w).last(), QStringLiteral("STATUS:04 - Schreibfehler"));

    // A reply whose check character is wrong is no reply ("q", "o", "d1" and "k" replies
    // corrupted; the stop's reply is taken unchecked anyway).
    sim.corruptCheckNext(4);
    tc.presenter.requests.clear();
    EXPECT_EQ(KDWriteResult::NotWritten, w->WriteTag(0, 0, 0, 1, 0, "B"));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
}

// Stop, clicked or typed (Alt+T, whose click comes a moment later), while the Auto re-arm
// of a poll step waits for the unit: nothing more goes out but the stop itself, once the
// link is free.
TEST_F(KDReadWriteEndToEnd, StopDuringAnAutoReArmSendsNothingMore)
{
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(activate(w));
    const struct {
        const char* how;
        int delay;   // ms the unit takes to answer the re-arm's "o"
        std::function<void()> stop;
    } ways[] = {
        {"click", kTimeout / 2, [w] { clickOn(w->btStop); }},
        {"Alt+T", 300, [] { pressKey(Qt::Key_T, Qt::AltModifier); }},
    };
    for (const auto& way : ways) {
        put(KDItem::Tagcode, 1);
        put(KDItem::OperationMode, 1);
        w->Fill();
        sim.removeCarrier(0);
        clickOn(w->btRead);
        ASSERT_TRUE(lk->PollingEnabled()) << way.how;
        ports->SetTimeout(static_cast<int16_t>(way.delay + kTimeout));
        ASSERT_TRUE(Drained(sim, ports->comm()));
        sim.clearCommands();
        sim.delayNext("o", way.delay);
        sim.setCarrier(0, 1);
        QTest::qWait(60);
        QTimer::singleShot(kTimeout / 3, w, way.stop);
        lk->LkPoll();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sim.commands().count("q") >= 2; }, 2000)) << way.how;
        QTest::qWait(3 * kTimeout);
        const QList<QByteArray> got = sent();
        EXPECT_EQ(got.mid(got.indexOf("q")), (QList<QByteArray>{"q", "o", "q"})) << way.how;
        EXPECT_FALSE(lk->PollingEnabled()) << way.how;
    }
}

// Schreiben or "NCX Tag erzeugen" while an Auto read runs, the dialog then cancelled: the
// read is ended on the unit as Stop ends it ("q"), and no reply is counted on any more.
TEST_F(KDReadWriteEndToEnd, ACancelledWriteDialogLeavesNoReadRunning)
{
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(activate(w));
    put(KDItem::Tagcode, 1);
    put(KDItem::OperationMode, 1);
    w->Fill();
    for (QPushButton* button : {w->btWrite, w->btMakeNCX}) {
        // Clicked while Lesen waits for its reply, the dialog does not open inside that
        // wait (where its OK would be refused): the click is refused.
        bool openedInside = false;
        bool clicked = false;
        put(KDItem::OperationMode, 0);
        w->Fill();
        sim.delayNext("w", 300);
        sim.clearCommands();
        whenSeen([&] { return sim.commands().size() >= 4; }, [&] {
            whenModal<KDWriteDialog>([&](KDWriteDialog* d) {
                openedInside = true;
                clickOn(d->buttons.cancel);
            }, 10);
            clickOn(button);
            clicked = true;
        });
        const int16_t timeout = ports->SetTimeout(1000);
        ASSERT_TRUE(clickOn(w->btRead));
        EXPECT_TRUE(QTest::qWaitFor([&] { return clicked && !w->ExchangeRunning(); }, 3000));
        EXPECT_FALSE(openedInside) << button->objectName().toStdString();
        ports->SetTimeout(timeout);
        put(KDItem::OperationMode, 1);
        w->Fill();
        ASSERT_TRUE(clickOn(w->btRead));
        ASSERT_TRUE(lk->PollingEnabled());
        ASSERT_TRUE(Drained(sim, ports->comm()));
        sim.clearCommands();
        whenModal<KDWriteDialog>([](KDWriteDialog* d) { clickOn(d->buttons.cancel); });
        ASSERT_TRUE(clickOn(button));
        EXPECT_EQ(sent(), QList<QByteArray>{"q"}) << button->objectName().toStdString();
        EXPECT_FALSE(lk->PollingEnabled());
        EXPECT_EQ(w->Protocol().ExpectedReplies, 0);
        ASSERT_TRUE(activate(w));
    }
}

// Through the real modal dialogs: the write dialog starts from the line just read and
// writes what the user typed; the chip-code dialog writes its block at address 0.
TEST_F(KDReadWriteEndToEnd, DialogsWriteThroughTheWindow)
{
    frmSystemKDReadWrite* w = selectWindow();
    ASSERT_TRUE(w);
    put(KDItem::Tagcode, 1);
    put(KDItem::StartAddress, 0x10);
    put(KDItem::DataLength, 4);
    w->Fill();
    w->btRead_Click();
    ASSERT_EQ(lines(w), QStringList{QStringLiteral("KOPF 1: ABCD")});
    QString prefilled;
    whenModal<frmSystemKDWrite>([&](frmSystemKDWrite* d) {
        prefilled = d->txtData->text();
        d->txtData->setText(QStringLiteral("WXYZ"));
        d->buttons.ok->click();
    });
    w->btWrite->click();
    EXPECT_EQ(prefilled, QStringLiteral("ABCD"));
    EXPECT_EQ(sim.memory(0, 0x10, 4), QByteArray("WXYZ"));
    EXPECT_EQ(lines(w).last(), QStringLiteral("SCHREIBEN:00 - OK"));

    // A GMX-40 carrier under head 2: "k2" "0000" "08" and the block, check byte and ETX.
    sim.setCarrier(1, 3);
    put(KDItem::Tagcode, 3);
    put(KDItem::HeadNumber, 1);
    w->Fill();
    ASSERT_TRUE(w->btMakeNCX->isEnabled());
    sim.clearTranscript();
    whenModal<frmSystemKDMakeNCX>([](frmSystemKDMakeNCX* d) {
        d->txtHex[0]->setText(QStringLiteral("123"));
        d->txtHex[1]->setText(QStringLiteral("4567"));
        d->buttons.ok->click();
    });
    w->btMakeNCX->click();
    const QByteArray block = QByteArray::fromHex("C0CCCACF180E0510");
    EXPECT_TRUE(sim.transcript().contains(SimKDReadWrite::Frame("k2000008" + block)));
    EXPECT_EQ(sim.memory(1, 0, 8), block);

    // 255 bytes whose text view names every one (five characters a byte): a read line of
    // them pre-fills whole and OK writes them all, as do 255 typed names; a 256th byte is
    // refused at OK (message 20), nothing is sent and the dialog stays open.
    const QByteArray nuls(255, '\0');
    const QByteArray other(255, 'x');
    sim.writeMemory(0, 0, nuls);
    put(KDItem::Tagcode, 1);
    put(KDItem::HeadNumber, 0);
    put(KDItem::StartAddress, 0);
    put(KDItem::DataLength, 255);
    w->Fill();
    w->btRead_Click();
    ASSERT_EQ(w->lstTagData->RawBytes(w->lstTagData->count() - 1), "KOPF 1: " + nuls);
    QString names;
    for (int i = 0; i < 255; ++i)
        names += QStringLiteral("<NUL>");
    for (const QString& typed : {QString(), names}) {
        sim.writeMemory(0, 0, other);
        whenModal<frmSystemKDWrite>([typed](frmSystemKDWrite* d) {
            if (!typed.isEmpty()) {
                d->txtData->clear();
                QTest::keyClicks(d->txtData, typed);
            }
            QTest::mouseClick(d->buttons.ok, Qt::LeftButton);
        });
        w->btWrite->click();
        EXPECT_EQ(sim.memory(0, 0, 255), nuls) << (typed.isEmpty() ? "pre-filled" : "typed");
    }
    tc.presenter.requests.clear();
    sim.clearCommands();
    bool stayedOpen = false;
    whenModal<frmSystemKDWrite>([&](frmSystemKDWrite* d) {
        d->txtData->clear();
        QTest::keyClicks(d->txtData, names + QStringLiteral("<NUL>"));
        clickOn(d->buttons.ok);
        stayedOpen = d->isVisible();
        clickOn(d->buttons.cancel);
    });
    clickOn(w->btWrite);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_TRUE(sent().isEmpty());

    // A write that went out closes the dialog whatever came back: an error status, or
    // nothing at all (message 4 both times, the status listed).
    for (const char* fault : {"status 04", "no reply"}) {
        tc.presenter.requests.clear();
        if (QByteArray(fault) == "no reply")
            sim.silenceNext("k");
        else
            sim.failNext("k", "04");
        stayedOpen = true;
        whenModal<frmSystemKDWrite>([&](frmSystemKDWrite* d) {
            d->txtData->setText(QStringLiteral("AB"));
            clickOn(d->buttons.ok);
            stayedOpen = d->isVisible();
            if (stayedOpen)
                clickOn(d->buttons.cancel);
        });
        clickOn(w->btWrite);
        EXPECT_FALSE(stayedOpen) << fault;
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{4}) << fault;
    }
}

} // namespace
} // namespace orvid::test
