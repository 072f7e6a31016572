// The system R telegram layer end to end: the real link (LK, Ports) on a pseudo-terminal
// with a simulated head and tag on the far side. Recognition, reads in every mode,
// repeated reads collected by polls, read-merge-write against the tag memory, fixcodes,
// password blocks and the automatic read cycle, checked on the wire and in the tag.

#include "sim/SimKR.h"
#include "support/FamilyFixture.h"
#include "support/ProtocolForm.h"

#include "families/kr/KRProtocol.h"
#include "families/common/KRTagTypes.h"
#include "foundations/Cp1252.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvid::test {
namespace {

class FakeView : public IKRView {
public:
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override
    {
        (kind == 1 ? lines : shown).append(caption + data);
    }
    bool PasswordChecked() const override { return passwordChecked; }
    QString PasswordText() const override { return passwordText; }
    void FillTagCodes() override {}
    bool Loaded() const override { return false; }
    void SetBusy(bool) override {}

    QList<QByteArray> lines;
    QList<QByteArray> shown;
    bool passwordChecked = false;
    QString passwordText;
};

QByteArray T(const QByteArray& body)
{
    return body + "#\r";
}

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>('a' + i % 26);
    return b;
}

class KRE2ETest : public PtyFamilyFixture<SimKR> {
protected:
    KRE2ETest()
    {
        sim.writeMemory(0, pattern(256));
        sim.setFixcode("FIX01");
        lk->RegisterSystem(2, [this] { return &form; });
        lk->RegisterSystem(3, [this] { return &form; });
    }
    // The link goes before the form it was handed.
    ~KRE2ETest() override { lk.reset(); }

    // Selects system R and forgets the selection's telegrams.
    void selectR(int16_t system = 2)
    {
        ASSERT_TRUE(sim.isValid());
        ASSERT_TRUE(select(system));
        sim.clearTranscript();
    }
    QByteArray item(int16_t id)
    {
        QVariant v;
        lk->LkGetData(id, v);
        return v.toByteArray();
    }
    // Waits until the head has taken a telegram as its last one, and for its answer, if
    // it answers.
    bool waitForTelegram(const QByteArray& telegram)
    {
        if (!QTest::qWaitFor([&] { return !sim.received().isEmpty() && sim.received().last() == telegram; }, 2000))
            return false;
        // The reply may still be on its way; waiting for it is all that is wanted here.
        [[maybe_unused]] const bool arrived = QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 100);
        return true;
    }
    // The telegrams after the last one that starts with prefix (inclusive).
    QList<QByteArray> lastFrom(const QByteArray& prefix) const
    {
        const QList<QByteArray> all = sim.received();
        for (qsizetype i = all.size() - 1; i >= 0; --i) {
            if (all[i].startsWith(prefix))
                return all.mid(i);
        }
        return {};
    }

    FakeView view;
    KRProtocol kr{tc.ctx, &view};
    ProtocolForm form{kr, QStringLiteral("frmSystemKR")};
};

TEST_F(KRE2ETest, EachEntryRecognisesOnlyItsOwnHeadVariants)
{
    ASSERT_TRUE(sim.isValid());
    EXPECT_TRUE(select(2));
    EXPECT_EQ(sim.received(), (QList<QByteArray>{T("QU"), T("DM0"), T("VE")}));
    EXPECT_EQ(item(1), "QTR-AX");
    EXPECT_EQ(item(2), "ORVID-I QTR-AX V1.07");
    EXPECT_EQ(kr.CommandList().count(), 27);
    EXPECT_EQ(ports->GetTimeout(), 500);

    sim.setVersionText("orvid-i qtb-a3 v2.00");
    EXPECT_TRUE(select(2));
    EXPECT_EQ(item(1), "QTB-A3");
    EXPECT_EQ(item(2), "ORVID-I QTB-A3 V2.00");

    // The QTR1-AX head belongs to entry 3 only, and the QTR-AX head not to entry 3.
    sim.setVariant("QTR1-AX");
    EXPECT_FALSE(select(2));
    EXPECT_EQ(item(1), "");
    EXPECT_EQ(item(2), "");
    EXPECT_TRUE(select(3));
    EXPECT_EQ(item(1), "QTR1-AX");
    sim.setVariant("QTR-AX");
    EXPECT_FALSE(select(3));
    sim.setVersionText("OTHER QTR-AX");
    EXPECT_FALSE(select(2));
    EXPECT_EQ(item(1), "");
}

TEST_F(KRE2ETest, ReadsInEveryModeAtEveryKindOfAddress)
{
    selectR();
    sim.writeMemory(0x7FFC, "PQRSTUVW");
    sim.writeMemory(0xFFF8, "stuvwxyz");
    struct Case {
        int address;
        int length;
        QByteArray parameter;
    };
    const Case cases[] = {
        {0, 12, "000003"},      // whole words
        {6, 3, "000102"},       // from the middle of a word into the next
        {0x7FFF, 2, "1FFF02"},  // across the signed 16-bit limit
        {0x8001, 2, "200001"},  // above it
        {0xFFFC, 4, "3FFF01"},  // the last word
    };
    const QByteArray letters[] = {"SR", "BR", "AR", "ER"};
    for (int16_t mode = 0; mode < 4; ++mode) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " address " << c.address);
            kr.PutData(100, mode);
            kr.PutData(101, static_cast<int16_t>(c.address)); // as the 16-bit address box gives it
            kr.PutData(102, c.length);
            view.shown.clear();
            sim.clearTranscript();
            kr.ReadData(true);
            EXPECT_EQ(sim.received().mid(0, 4),
                      (QList<QByteArray>{T("QU"), T("PM0"), T("CT00"), T(letters[mode] + c.parameter)}));
            ASSERT_EQ(view.shown.size(), 1);
            EXPECT_EQ(view.shown[0], sim.readMemory(c.address, c.length));
            EXPECT_EQ(item(3), sim.readMemory(c.address, c.length));
            EXPECT_EQ(lk->PollingEnabled(), mode == 1 || mode == 3);
            lk->LkStopBuffered();
            ASSERT_TRUE(waitForTelegram(T("QU")));
        }
    }
}

TEST_F(KRE2ETest, RepeatedReadsAreCollectedByPollsUntilStopped)
{
    selectR();
    kr.PutData(100, 1);
    kr.PutData(101, 0);
    kr.PutData(102, 4);
    kr.ReadData(true);
    ASSERT_TRUE(lk->PollingEnabled());
    ASSERT_EQ(view.shown, QList<QByteArray>{"abcd"});

    // Each poll takes one further reply, and it reflects the tag as it is now.
    lk->LkPoll();
    sim.writeMemory(0, "WXYZ");
    lk->LkPoll();
    lk->LkPoll();
    ASSERT_EQ(view.shown.size(), 4);
    EXPECT_EQ(view.shown[1], "abcd");
    EXPECT_EQ(view.shown.last(), "WXYZ");

    lk->LkStopBuffered();
    EXPECT_FALSE(lk->PollingEnabled());
    ASSERT_TRUE(waitForTelegram(T("QU")));
    EXPECT_FALSE(sim.repeating());
    // Past the answer to QU nothing more comes.
    ports->FlushInput();
    EXPECT_FALSE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 400));
    EXPECT_EQ(view.shown.size(), 4);

    // An answer to QU that comes late is not the next exchange's reply.
    kr.ReadData(true);
    sim.delayNext("QU", 150);
    lk->LkStopBuffered();
    sim.setConfigWords(QByteArray("\x01\x02\x03\x04"), QByteArray("\x05\x06\x07\x08"));
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(kr.SendCommandExpect("SG1", reply, 4, QVariant(), ok), 4);
    EXPECT_EQ(reply, QByteArray("\x05\x06\x07\x08"));
}

TEST_F(KRE2ETest, DataHoldingTheTerminatorIsReadWhole)
{
    selectR();
    const QByteArray tricky = QByteArray("A#\r#\rB#\r") + QByteArray(1, '#') + "\r#";
    sim.writeMemory(8, tricky); // eleven bytes: three words less one
    kr.PutData(101, 8);
    kr.PutData(102, 11);
    kr.ReadData(true);
    ASSERT_EQ(view.shown.size(), 1);
    EXPECT_EQ(view.shown[0], tricky);

    // The same when the reply arrives in pieces.
    sim.setSplit(40);
    kr.ReadData(true);
    ASSERT_EQ(view.shown.size(), 2);
    EXPECT_EQ(view.shown[1], tricky);

    // A fixcode of a fixcode tag, and a configuration word, likewise.
    sim.setSplit(0);
    sim.setTagType(11);
    sim.setFixcode("F#\rX#");
    kr.PutData(104, TagCode::QTX11);
    kr.ReadData(false);
    ASSERT_EQ(view.shown.size(), 3);
    EXPECT_EQ(view.shown[2], "F#\rX#");

    sim.setConfigWords(QByteArray("\x80\x02#\r", 4), QByteArray("\x03\x10#\r", 4));
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(kr.SendCommandExpect("SG2", reply, 4, QVariant(), ok), 4);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reply, QByteArray("\x80\x02#\r", 4));
    EXPECT_EQ(kr.SendCommandExpect("SG1", reply, 4, QVariant(), ok), 4);
    EXPECT_EQ(reply, QByteArray("\x03\x10#\r", 4));
    // A status reply of a known-length command is still just the status.
    sim.setTagPresent(false);
    EXPECT_EQ(kr.SendCommandExpect("SG1", reply, 4, QVariant(), ok), -5);
}

TEST_F(KRE2ETest, AShortFirstReplyOfARepeatedReadLeavesTheRepetitionsWhole)
{
    selectR();
    kr.PutData(100, 1);
    kr.PutData(101, 0);
    kr.PutData(102, 12);
    // The first reply really is short; the repetitions that follow are whole.
    sim.truncateNext("BR", 3);
    kr.ReadData(true);
    ASSERT_EQ(view.shown, QList<QByteArray>{"abc"});
    lk->LkPoll();
    lk->LkPoll();
    EXPECT_EQ(view.shown, (QList<QByteArray>{"abc", pattern(12), pattern(12)}));
    lk->LkStopBuffered();
    ASSERT_TRUE(waitForTelegram(T("QU")));

    // The same with a first reply cut at a "#" CR inside its data: whole from the start.
    view.shown.clear();
    const QByteArray tricky = QByteArray("ab#\rcd#\r#\rxy", 12);
    sim.writeMemory(0, tricky);
    kr.ReadData(true);
    lk->LkPoll();
    EXPECT_EQ(view.shown, (QList<QByteArray>{tricky, tricky}));
    lk->LkStopBuffered();
    ASSERT_TRUE(waitForTelegram(T("QU")));
}

TEST_F(KRE2ETest, QTX10DataReadsTakeTheThreeWordsWhole)
{
    selectR();
    sim.setTagType(10);
    const QByteArray words = QByteArray("Q#\rX#\rABC#\rZ", 12);
    sim.writeMemory(0, words);
    kr.PutData(104, TagCode::QTX10);
    kr.PutData(101, 0);
    kr.PutData(102, 12);
    for (int16_t mode : {int16_t(0), int16_t(3)}) {
        SCOPED_TRACE(mode);
        kr.PutData(100, mode);
        view.shown.clear();
        sim.clearTranscript();
        kr.ReadData(true);
        EXPECT_EQ(sim.received().mid(2, 2), (QList<QByteArray>{T("CT10"), T(mode == 0 ? "SR000000" : "ER000000")}));
        EXPECT_EQ(view.shown, QList<QByteArray>{words});
        lk->LkStopBuffered();
        ASSERT_TRUE(waitForTelegram(T("QU")));
    }
}

TEST_F(KRE2ETest, ReadsWaitLongerThanOtherExchanges)
{
    selectR();
    kr.PutData(102, 4);
    sim.delayNext("SR", 900);
    kr.ReadData(true);
    EXPECT_EQ(view.shown, QList<QByteArray>{"abcd"});
    EXPECT_EQ(ports->GetTimeout(), 500);
}

TEST_F(KRE2ETest, WriteChangesOnlyTheBytesGivenEvenAroundTheTerminator)
{
    selectR();
    sim.writeMemory(4, QByteArray("#\r#\r"));
    const QByteArray before = sim.readMemory(0, 64);
    EXPECT_TRUE(kr.WriteTag(0, 0, false, 5, 2, "XY", "1"));
    QByteArray expected = before;
    expected.replace(5, 2, "XY");
    EXPECT_EQ(sim.readMemory(0, 64), expected);
    EXPECT_EQ(sim.received().last(), T("SW000101#XY\r"));

    // A Buffered write reads back with the Buffered letter; the repetition is stopped
    // before the write goes out.
    EXPECT_TRUE(kr.WriteTag(0, 1, false, 0x8001, 6, "123456", "1"));
    const QList<QByteArray> tail = lastFrom("BR");
    ASSERT_FALSE(tail.isEmpty());
    EXPECT_EQ(tail.first(), T("BR200002"));
    EXPECT_EQ(tail.mid(1), (QList<QByteArray>{T("QU"), T("PM0"), T("CT00"), T("BW200002" + QByteArray(1, '\0')
                                                                                 + "123456" + QByteArray(1, '\0'))}));
    EXPECT_EQ(sim.readMemory(0x8000, 8), QByteArray(1, '\0') + "123456" + QByteArray(1, '\0'));
    EXPECT_FALSE(sim.repeating());
    // Answered just after its time-out: the write's "0" comes ahead of the stop's, not left.
    for (const int16_t mode : {1, 2}) {
        sim.delayNext(mode == 1 ? "BW" : "AW", 2300);
        EXPECT_TRUE(kr.WriteTag(0, mode, false, 0, 2, "XY", "1"));
        EXPECT_FALSE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 300));
    }
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(KRE2ETest, WriteWithoutACompleteReadBackLeavesTheTagAlone)
{
    selectR();
    const QByteArray before = sim.readMemory(0, 16);
    struct Case {
        const char* what;
        std::function<void()> fault;
    };
    const Case cases[] = {
        {"status", [this] { sim.failNext("SR", '6'); }},
        {"short", [this] { sim.truncateNext("SR", 3); }},
        {"no tag", [this] { sim.setTagPresent(false); }},
        {"silence", [this] { sim.silenceNext("SR"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim.setTagPresent(true);
        sim.clearTranscript();
        tc.presenter.requests.clear();
        c.fault();
        EXPECT_FALSE(kr.WriteTag(0, 0, false, 5, 2, "XY", "1"));
        EXPECT_TRUE(sim.receivedStartingWith("SW").isEmpty());
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
        EXPECT_EQ(sim.readMemory(0, 16), before);
    }
    EXPECT_EQ(ports->GetTimeout(), 500);
}

TEST_F(KRE2ETest, FixcodesAreWrittenOnceAndReadBack)
{
    sim.setVariant("QTR1-AX");
    selectR(3);
    // QTX10 through the data write: more than five bytes are refused before anything goes
    // out; the fixcode is the bytes given, filled up with NUL (never tag memory around
    // them), in the mode's own letters, and it locks.
    sim.setTagType(10);
    sim.clearTranscript();
    EXPECT_FALSE(kr.WriteTag(TagCode::QTX10, 3, true, 0, 6, "Q10ABC", "1"));
    EXPECT_TRUE(sim.received().isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    ASSERT_EQ(view.lines.size(), 1);
    EXPECT_TRUE(view.lines[0].contains("5 Bytes"));
    tc.presenter.requests.clear();
    view.lines.clear();
    ASSERT_EQ(sim.readMemory(3, 2), "de");
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX10, 3, true, 0, 3, "Q10", "1"));
    EXPECT_EQ(lastFrom("ER").first(), T("ER000001"));
    EXPECT_EQ(sim.received().last(), T(QByteArray("EX0205Q10\0\0", 11)));
    EXPECT_EQ(sim.fixcode(), QByteArray("Q10\0\0", 5));
    EXPECT_TRUE(sim.fixcodeLocked());
    sim.setFixcode(QByteArray(), false);
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX10, 0, true, 0, 5, "Q10AB", "1"));
    EXPECT_EQ(lastFrom("SR").first(), T("SR000003"));
    EXPECT_EQ(sim.received().last(), T("SX0205Q10AB"));
    EXPECT_EQ(sim.fixcode(), "Q10AB");
    kr.PutData(104, TagCode::QTX10);
    kr.ReadData(false);
    EXPECT_EQ(view.shown.last(), "Q10AB");
    EXPECT_FALSE(kr.WriteTag(TagCode::QTX10, 0, true, 0, 5, "AGAIN", "1"));
    EXPECT_EQ(view.lines.last(), ToCp1252(QStringLiteral("STATUS: 7 - Software Fehler (ungültiges Befehlargument)")));
    EXPECT_EQ(sim.fixcode(), "Q10AB");

    // QTX11: rewritable until written with protection.
    // The fixcode write itself names no tag type: the user has read the tag first.
    sim.setTagType(11);
    sim.setFixcode(QByteArray(), false);
    kr.PutData(104, TagCode::QTX11);
    kr.ReadData(false);
    EXPECT_EQ(view.shown.last(), QByteArray(5, '\0'));
    EXPECT_TRUE(kr.WriteQTX11Fixcode(2, false, "AB"));
    EXPECT_EQ(sim.received().last(), T(QByteArray("BX1105AB\0\0\0", 11)));
    EXPECT_FALSE(sim.fixcodeLocked());
    EXPECT_TRUE(kr.WriteQTX11Fixcode(0, true, "CDEFGH"));
    EXPECT_EQ(sim.fixcode(), "CDEFG");
    EXPECT_TRUE(sim.fixcodeLocked());
    view.lines.clear();
    tc.presenter.requests.clear();
    EXPECT_FALSE(kr.WriteQTX11Fixcode(0, true, "ZZZZZ"));
    EXPECT_EQ(view.lines.size(), 1);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});

    // QTX14 in every mode, with the fixcode row's letters; the protected write locks.
    sim.setTagType(14);
    sim.setFixcode(QByteArray(), false);
    kr.PutData(104, TagCode::QTX14);
    kr.PutData(100, 0);
    kr.ReadData(false);
    const QByteArray letters[] = {"SX", "AX", "BX", "EX"};
    for (int16_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        const QByteArray code = "14-" + QByteArray::number(mode);
        EXPECT_TRUE(kr.WriteQTX11Fixcode(mode, false, code));
        EXPECT_EQ(sim.received().last(), T(letters[mode] + "1105" + code + QByteArray(1, '\0')));
        kr.PutData(100, mode);
        kr.ReadData(false);
        EXPECT_EQ(view.shown.last(), code + QByteArray(1, '\0'));
        lk->LkStopBuffered();
        ASSERT_TRUE(waitForTelegram(T("QU")));
    }
    EXPECT_TRUE(kr.WriteQTX11Fixcode(3, true, "14xyz"));
    EXPECT_EQ(sim.received().last(), T("EX020514xyz"));
    EXPECT_EQ(sim.fixcode(), "14xyz");
    EXPECT_TRUE(sim.fixcodeLocked());
}

TEST_F(KRE2ETest, PasswordProtectedTagsOpenOnlyWithThePassword)
{
    selectR();
    sim.setTagType(3);
    sim.setPassword(0x1A2B3C4D, true);
    kr.PutData(104, TagCode::QTX03);
    kr.PutData(102, 4);
    view.passwordChecked = true;
    view.passwordText = QStringLiteral("1A2B3C4D");
    kr.ReadData(true);
    EXPECT_EQ(sim.received().mid(0, 4),
              (QList<QByteArray>{T("QU"), T("PM1"), T("PS\x4D\x3C\x2B\x1A"), T("CT03")}));
    EXPECT_EQ(view.shown, QList<QByteArray>{"abcd"});
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX03, 0, false, 1, 2, "PW", "1"));
    EXPECT_EQ(sim.readMemory(0, 4), "aPWd");

    // A wrong password, or none, gets the tag's refusal.
    tc.state.ReadHeadError = true;
    view.passwordText = QStringLiteral("1A2B3C4E");
    kr.ReadData(true);
    view.passwordChecked = false;
    kr.ReadData(true);
    EXPECT_EQ(view.shown.size(), 1);
    EXPECT_EQ(view.lines.size(), 2);
    EXPECT_FALSE(kr.WriteTag(TagCode::QTX03, 0, false, 1, 2, "NO", "1"));
    EXPECT_EQ(sim.readMemory(0, 4), "aPWd");
}

TEST_F(KRE2ETest, AutomaticCycleAlternatesDataAndFixcodeReads)
{
    selectR();
    // As the Autoread button leaves the fields.
    kr.PutData(101, 0);
    kr.PutData(102, kr.AutoSRLength);
    kr.AutoRead = true;
    lk->EnablePolling(true);

    lk->LkPoll(); // nothing to take yet; asks for data
    lk->LkPoll(); // takes the data; asks for the fixcode
    lk->LkPoll(); // takes the fixcode; asks for data again
    ASSERT_TRUE(waitForTelegram(T("SR000005"))); // a read goes out without waiting
    const QList<QByteArray> cycle = {T("QU"), T("PM0"), T("CT00")};
    EXPECT_EQ(sim.received(), cycle + QList<QByteArray>{T("SR000005")} + cycle + QList<QByteArray>{T("SF")} + cycle
                                  + QList<QByteArray>{T("SR000005")});
    EXPECT_EQ(view.shown, (QList<QByteArray>{pattern(20), "FIX01"}));
    EXPECT_FALSE(monitor.lines.contains("R: <TIMEOUT>"));   // the first step waits for nothing

    // A configured length sets the words of the data read.
    kr.AutoSRLength = 6;
    lk->LkPoll();
    lk->LkPoll();
    EXPECT_TRUE(waitForTelegram(T("SR000002")));
    lk->LkStopBuffered();
}

TEST_F(KRE2ETest, ConfigurationWordsAndThePasswordAreExchangedByTheLayer)
{
    selectR();
    // Words holding the terminator come back whole; a cut word is told, not decoded.
    const QByteArray control("\x80\x02#\r", 4), protection("\x03\x10#\r", 4);
    sim.setConfigWords(control, protection);
    QByteArray c, p;
    bool cut = true;
    ASSERT_TRUE(kr.ReadConfiguration(c, p, &cut));
    EXPECT_EQ(c, control);
    EXPECT_EQ(p, protection);
    EXPECT_FALSE(cut);
    EXPECT_EQ(lastFrom("QU"), (QList<QByteArray>{T("QU"), T("PM0"), T("CT00"), T("SG2"), T("SG1")}));
    sim.truncateNext("SG1", 2);
    ASSERT_TRUE(kr.ReadConfiguration(c, p, &cut));
    EXPECT_EQ(c, control);
    EXPECT_TRUE(p.isEmpty());
    EXPECT_TRUE(cut);

    // Written protection word first; half a configuration never.
    EXPECT_TRUE(kr.WriteConfiguration(QByteArray("ABCD"), QByteArray("\x00\x00\x08\x03", 4)));
    EXPECT_EQ(sim.controlWord(), QByteArray("ABCD"));
    EXPECT_EQ(sim.protectionWord(), QByteArray("\x00\x00\x08\x03", 4));
    EXPECT_EQ(sim.received().mid(sim.received().size() - 2),
              (QList<QByteArray>{QByteArray("SC1\x00\x00\x08\x03#\r", 9), T("SC2ABCD")}));
    sim.clearTranscript();
    EXPECT_FALSE(kr.WriteConfiguration(QByteArray("ABC"), QByteArray("\x00\x00\x08\x03", 4)));
    EXPECT_TRUE(sim.received().isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{61});

    // A new password only with the right old one; a refusal is reported.
    tc.presenter.requests.clear();
    sim.setPassword(0x11223344, false);
    EXPECT_FALSE(kr.ChangePassword(0x01020304, 0xCAFE));
    EXPECT_EQ(sim.password(), 0x11223344u);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_TRUE(view.lines.last().startsWith("STATUS: 7"));
    EXPECT_TRUE(kr.ChangePassword(0x11223344, 0xCAFE));
    EXPECT_EQ(sim.password(), 0xCAFEu);
}

TEST_F(KRE2ETest, AHangUpDuringAReadEndsItWithNothingShown)
{
    selectR();
    kr.PutData(102, 8);
    sim.hangUpNext("SR");
    kr.ReadData(true);
    EXPECT_TRUE(view.shown.isEmpty());
    EXPECT_FALSE(ports->PortOpenFlag());
    EXPECT_FALSE(lk->PollTimerEnabled());
}

} // namespace
} // namespace orvid::test
