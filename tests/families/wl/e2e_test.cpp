// The system L text protocol end to end: the real link (LK, Ports) on a pseudo-terminal
// with the simulated reader on the far side. Recognition, the repetition of LKRead, reads
// in three modes with their telegrams and display, the write and its progress, the
// configuration listing, outputs and inputs.

#include "sim/SimL.h"
#include "support/FamilyFixture.h"
#include "support/ProtocolForm.h"

#include "families/wl/WLProtocol.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QTest>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

class FakeView : public IWLView {
public:
    void ShowData(int, const QByteArray& caption, const QByteArray& data) override { lines.append(caption + data); }
    bool Loaded() const override { return false; }
    void SetBusy(bool) override {}
    void AppendToLastLine(const QByteArray& text) override
    {
        if (!lines.isEmpty())
            lines.last() += text;
    }
    void SetWriteRunning(bool on) override { writeRunning = on; }
    bool IOAutoRefresh() const override { return ioAuto; }
    void RefreshInputs() override { ++inputRefreshes; }
    int LineWidth() const override { return 80; }

    QList<QByteArray> lines;
    bool writeRunning = false;
    bool ioAuto = false;
    int inputRefreshes = 0;
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

class WLE2ETest : public PtyFamilyFixture<SimL> {
protected:
    WLE2ETest()
    {
        sim.writeMemory(0, pattern(256));
        lk->RegisterSystem(7, [this] { return &form; });
    }
    ~WLE2ETest() override { lk.reset(); }

    void selectL()
    {
        ASSERT_TRUE(sim.isValid());
        ASSERT_TRUE(select(7));
        sim.clearTranscript();
    }
    QByteArray item(int16_t id)
    {
        QVariant v;
        lk->LkGetData(id, v);
        return v.toByteArray();
    }
    void setRange(int address, int length)
    {
        wl.PutData(WLItem::StartAddress, address);
        wl.PutData(WLItem::DataLength, length);
    }
    // Runs poll steps until cond holds or max steps went by.
    int pollUntil(const std::function<bool()>& cond, int max)
    {
        int n = 0;
        while (!cond() && n < max) {
            wl.Poll();
            ++n;
        }
        return n;
    }

    FakeView view;
    WLProtocol wl{tc.ctx, &view};
    ProtocolForm form{wl, QStringLiteral("frmSystemL")};
};

TEST_F(WLE2ETest, RecognitionNeedsBothWordsOfTheVersion)
{
    ASSERT_TRUE(sim.isValid());
    EXPECT_TRUE(select(7));
    EXPECT_EQ(sim.received(), (QList<QByteArray>{T("QU"), T("VE")}));
    EXPECT_EQ(item(1), "ORVID-M");
    EXPECT_EQ(item(2), "ORVID-M VALDRECHT TALK V2.10");
    EXPECT_EQ(ports->GetTimeout(), 500);
    EXPECT_EQ(ports->GetLinkProtocol(), QByteArray("#\r"));

    sim.setVersionText("orvid-m valdrecht x");
    EXPECT_TRUE(select(7));
    for (const QByteArray& text : {QByteArray("ORVID-M Talk"), QByteArray("Valdrecht Talk")}) {
        sim.setVersionText(text);
        EXPECT_FALSE(select(7)) << text.constData();
        EXPECT_EQ(item(1), "");
    }
    // Automatic recognition finds entry 7 (the only family registered here).
    sim.setVersionText("ORVID-M Valdrecht Talk V2.10");
    EXPECT_TRUE(select(0));
    EXPECT_EQ(lk->CurrentSystemIndex(), 7);
}

TEST_F(WLE2ETest, LKReadRepeatsOnlyErrorStatuses)
{
    selectL();
    struct Case {
        const char* name;
        std::function<void()> fault;
        int sent;
        int result;
    };
    const Case cases[] = {
        {"data", [] {}, 1, 28},
        {"two errors", [this] { sim.failNext("VE", '5', 2); }, 2, -5},
        {"one error", [this] { sim.failNext("VE", '4', 1); }, 2, 28},
        {"silence", [this] { sim.silenceNext("VE"); }, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearTranscript();
        c.fault();
        QByteArray reply;
        EXPECT_EQ(wl.LKRead("VE", reply), c.result);
        EXPECT_EQ(sim.received().size(), c.sent);
    }
}

TEST_F(WLE2ETest, ReadsSendTheConfigurationAndShowTheAskedBytes)
{
    selectL();
    sim.writeMemory(0x8000, "0123456789");
    struct Case {
        int address, length;
        QByteArray read;
        QByteArray shown;
    };
    const Case cases[] = {
        {6, 5, "SR000102", pattern(11).mid(6)},
        {0x8001, 4, "SR200002", "1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        setRange(c.address, c.length);
        view.lines.clear();
        sim.clearTranscript();
        wl.ReadData(true);
        // Init's low rate stands while no window shows another.
        EXPECT_EQ(sim.received(),
                  (QList<QByteArray>{T("QU"), T("CM50,4"), T("MI1"), T("TC030,1,C00"), T(c.read)}));
        EXPECT_EQ(view.lines, QList<QByteArray>{c.shown});
        EXPECT_EQ(sim.tagConfig(), "030,1,C00");
    }
    // A fixcode has no address: it is shown whole however the data address lies.
    setRange(6, 2);
    view.lines.clear();
    wl.ReadData(false);
    EXPECT_EQ(sim.received().last(), T("SF"));
    EXPECT_EQ(view.lines, QList<QByteArray>{"FIXCODE1"});
}

TEST_F(WLE2ETest, SingleBufferedAndAutoReads)
{
    selectL();
    setRange(0, 4);
    // Single: the first reply may take up to 5 s; the time-out is 500 ms again afterwards.
    sim.delayNext("SR", 1200);
    wl.ReadData(true);
    EXPECT_EQ(view.lines, QList<QByteArray>{"abcd"});
    EXPECT_EQ(ports->GetTimeout(), 500);
    EXPECT_FALSE(lk->PollingEnabled());

    // Buffered: one reply per arrival of a tag, collected by polls until Stop.
    wl.OperationMode = 1;
    view.lines.clear();
    wl.ReadData(true);
    EXPECT_TRUE(lk->PollingEnabled());
    EXPECT_TRUE(wl.ScanActive);
    sim.setTagPresent(false);
    sim.writeMemory(0, "WXYZ");
    sim.setTagPresent(true);
    pollUntil([&] { return view.lines.size() >= 2; }, 5);
    EXPECT_EQ(view.lines, (QList<QByteArray>{"abcd", "WXYZ"}));
    wl.ScanEnable(false, false);
    wl.StopBuffered();
    EXPECT_FALSE(lk->PollingEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim.repeating(); }, 2000));

    // Auto: the reply comes when the tag arrives, once; polling stays off.
    wl.OperationMode = 2;
    view.lines.clear();
    sim.setTagPresent(false);
    QTimer::singleShot(300, [&] { sim.setTagPresent(true); });
    wl.ReadData(true);
    EXPECT_EQ(view.lines, QList<QByteArray>{"WXYZ"});
    EXPECT_FALSE(lk->PollingEnabled());
}

TEST_F(WLE2ETest, ReadReplyCutAtTerminatorIsContinued)
{
    selectL();
    sim.writeMemory(0, QByteArray("ab#\rcdef"));
    setRange(0, 8);
    wl.ReadData(true);
    EXPECT_EQ(view.lines, QList<QByteArray>{QByteArray("ab#") + char(13 + 161) + "cdef"});
}

TEST_F(WLE2ETest, WritesPadToWordsAndReportTheOutcome)
{
    selectL();
    tc.state.ReadHeadError = false;
    struct Case {
        const char* name;
        QByteArray data;
        QByteArray telegram;
        std::function<void()> fault;     // before the write
        std::function<void()> afterWrite; // once the unit has taken it, before the first tick
        bool result;
        QByteArray lastLine;
    };
    const auto nothing = [] {};
    const Case cases[] = {
        {"five bytes", "ABCDE", "SW000002ABCDE   ", nothing, nothing, true, "Tag erfolgreich beschrieben"},
        {"eight bytes", "12345678", "SW00000212345678", nothing, nothing, true, "Tag erfolgreich beschrieben"},
        // Refused by the unit: the write went out (the dialog closes), its failure is listed.
        {"refused", "WXYZ", "SW000001WXYZ", [this] { sim.failNext("SW", '5', 2); }, nothing, true,
         "Tag Schreibfehler"},
        // The unit took the write, then reports an error status while the progress runs.
        {"late error", "WXYZ", "SW000001WXYZ", nothing, [this] { sim.send(QByteArray("5#\r")); }, true,
         "Tag Schreibfehler"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearTranscript();
        view.lines.clear();
        c.fault();
        EXPECT_EQ(wl.WriteTag(0, 2, c.data), c.result);
        c.afterWrite();
        EXPECT_EQ(sim.receivedStartingWith("TC").value(0), T("TC030,1,C08"));
        EXPECT_EQ(sim.receivedStartingWith("SW").value(0), T(c.telegram));
        const int16_t previous = ports->SetTimeout(20);
        const int ticks = pollUntil([&] { return wl.WriteProgress == 0; }, 30);
        ports->SetTimeout(previous);
        EXPECT_EQ(view.lines.value(view.lines.size() - 1), c.lastLine);
        EXPECT_FALSE(view.writeRunning);
        if (c.result && c.lastLine == "Tag erfolgreich beschrieben") {
            EXPECT_EQ(ticks, 19);
            EXPECT_EQ(view.lines.first(), "Tag schreiben aktiv" + QByteArray(18, '.'));
        }
    }
    // The refused write left the tag alone; the late failure came after the unit took it.
    EXPECT_EQ(sim.readMemory(0, 8), "WXYZ5678");

    // Data the telegram cannot carry is refused before anything goes out.
    for (const QByteArray& data : {QByteArray("ab#\rcd"), QByteArray(1021, 'x')}) {
        sim.clearTranscript();
        EXPECT_FALSE(wl.WriteTag(0, 0, data));
        EXPECT_TRUE(sim.received().isEmpty());
    }
}

TEST_F(WLE2ETest, APortThatFailsOrClosesDuringTheProgressEndsTheWriteAsFailed)
{
    selectL();
    tc.state.ReadHeadError = false;
    struct Case {
        const char* name;
        std::function<void()> loseLink;
        int ticks; // poll steps after the loss
    };
    const Case cases[] = {
        {"closed", [this] { ports->SavePortSettings(); }, 1},
        {"hung up", [this] { sim.hangUp(); }, 0}, // the failure itself ends it, no tick needed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(select(7));
        view.lines.clear();
        ASSERT_TRUE(wl.WriteTag(0, 2, "ABCD"));
        const int16_t previous = ports->SetTimeout(20);
        wl.Poll();
        wl.Poll();
        ports->SetTimeout(previous);
        ASSERT_GT(wl.WriteProgress, 0);
        c.loseLink();
        for (int i = 0; i < c.ticks; ++i)
            wl.Poll();
        EXPECT_TRUE(QTest::qWaitFor([&] { return wl.WriteProgress == 0; }, 3000));
        EXPECT_EQ(view.lines.value(view.lines.size() - 1), "Tag Schreibfehler");
        EXPECT_FALSE(view.writeRunning);
        EXPECT_FALSE(lk->PollingEnabled());
    }
}

TEST_F(WLE2ETest, ListingRestoresProtocolAndTimeout)
{
    selectL();
    tc.state.ReadHeadError = true;
    struct Case {
        const char* name;
        std::function<void()> fault;
        QList<QByteArray> lines;
    };
    const Case cases[] = {
        {"normal", [] {}, {"CHANNEL 50", "RANGE 4", "BITRATE 2"}},
        // The reply is listed whatever came: after an error or silence it is empty.
        {"error", [this] { sim.failNext("LS", '4', 2); }, {"STATUS: 4 - Falscher oder ungültiger Befehl", ""}},
        {"silent", [this] { sim.silenceNext("LS"); }, {""}},
        {"bare status", [this] { sim.truncateNext("LS", 0); }, {""}}, // an empty listing line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.lines.clear();
        c.fault();
        wl.ListConfiguration();
        QList<QByteArray> expected;
        for (const QByteArray& l : c.lines)
            expected.append(QString::fromUtf8(l).toLatin1());
        EXPECT_EQ(view.lines, expected);
        EXPECT_EQ(ports->GetTimeout(), 500);
        EXPECT_EQ(ports->GetLinkProtocol(), QByteArray("#\r"));
    }
}

TEST_F(WLE2ETest, OutputsAndInputs)
{
    selectL();
    wl.OutputSet(true, false);
    EXPECT_EQ(sim.received().last(), T("DO00000001"));
    EXPECT_EQ(sim.outputs(), (std::array<bool, 2>{true, false}));
    sim.setInputs(true, false, true);
    const std::optional<WLIOState> s = wl.InputSet();
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->inputs, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(s->outputs, (std::array<bool, 2>{true, false}));
    // No reply, an error or a short reply light nothing.
    sim.silenceNext("GI");
    EXPECT_FALSE(wl.InputSet().has_value());
    sim.failNext("GI", '4', 2);
    EXPECT_FALSE(wl.InputSet().has_value());
    sim.truncateNext("GI", 15);
    EXPECT_FALSE(wl.InputSet().has_value());
}

TEST_F(WLE2ETest, PollTakesTheTagReplyBeforeTheInputsRefresh)
{
    selectL();
    setRange(0, 4);
    wl.OperationMode = 1;
    view.ioAuto = true;
    wl.ReadData(true);
    // The read's own waited step refreshes the inputs too, after its reply.
    EXPECT_EQ(view.lines, QList<QByteArray>{"abcd"});
    EXPECT_EQ(view.inputRefreshes, 1);
    view.lines.clear();
    sim.setTagPresent(false);
    sim.setTagPresent(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ports->PortDataAvailable(); }, 1000));
    wl.Poll();
    EXPECT_EQ(view.lines, QList<QByteArray>{"abcd"});
    EXPECT_EQ(view.inputRefreshes, 2);

    // An answer to QU that comes late is not the next exchange's reply.
    sim.delayNext("QU", 150);
    wl.StopBuffered();
    sim.setInputs(false, true, false);
    const std::optional<WLIOState> s = wl.InputSet();
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->inputs, (std::array<bool, 3>{false, true, false}));
}

} // namespace
} // namespace orvid::test
