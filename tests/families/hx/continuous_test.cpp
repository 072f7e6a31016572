// Interface units end to end, the replies that come unasked or in numbers: Buffered and
// Enhanced reads that repeat on loopback TCP until stopped, a multi-tag head's "Tags found"
// line, and a QTX11 fixcode written on all heads taking every head's reply.

#include "HXUnitFixture.h"

namespace orvid::test {
namespace {

class HXContinuous : public hxfixture::HXE2E {
protected:
    ~HXContinuous() override
    {
        lk.reset();
        tc.ctx.network = nullptr;
    }
    void startNet()
    {
        net = std::make_unique<Network>(tc.ctx);
        tc.ctx.network = net.get();
        net->SetNetAddress(QStringLiteral("127.0.0.1"));
        net->SetNetTimeout(1500);
        sim.startNet();
        useUnit(sim);
    }
    void useUnit(SimHX& unit)
    {
        hx.unitPort = unit.netPort();
        hx.pageUrl = QStringLiteral("http://127.0.0.1:%1/").arg(unit.pagePort());
    }
    void read(const char* channel, int mode, int address, int length)
    {
        hx.PutData(KRItem::HeadNumber, QString::fromLatin1(channel));
        hx.PutData(KRItem::Tagcode, 3);
        hx.PutData(KRItem::OperationMode, mode);
        hx.PutData(KRItem::StartAddress, address);
        hx.PutData(KRItem::DataLength, length);
        hx.ReadData(true);
    }

    std::unique_ptr<Network> net;
};

// Enhanced reads on Ethernet: the unit repeats its reply until "QU"; the poll step lists
// each repeat, the stop ends them, and the next single read gets its own reply, not a
// repeat still on its way. Buffered has no frame on Ethernet: said so, nothing sent.
TEST_F(HXContinuous, RepeatingReadsOverTcpPolledAndStopped)
{
    startNet();
    ASSERT_NE(hx.unitPort, 0);
    sim.setRepeatInterval(40);
    ASSERT_TRUE(select(10));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        view.shown.clear();
        view.lines.clear();
        read("1", 3, 0, 4);
        EXPECT_TRUE(lk->PollingEnabled());
        EXPECT_TRUE(hx.ChannelBusy[0]);
        EXPECT_TRUE(sim.repeating());
        ASSERT_TRUE(QTest::qWaitFor([&] { hx.Poll(true, false); return view.shown.size() >= 4; }, 3000));
        for (const QByteArray& s : view.shown)
            EXPECT_EQ(s, "Kopf 1: abcd");
        hx.StopBuffered(true, true);
        EXPECT_FALSE(lk->PollingEnabled());
        EXPECT_FALSE(hx.ChannelBusy[0]);
        EXPECT_FALSE(sim.repeating());
        EXPECT_TRUE(view.lines.isEmpty()) << view.lines.join('|').toStdString();

        view.shown.clear();
        read("1", 0, 4, 4);
        ASSERT_FALSE(view.shown.isEmpty());
        EXPECT_EQ(view.shown.last(), "Kopf 1: efgh");
        EXPECT_FALSE(lk->PollingEnabled());
    }

    const qsizetype before = sim.netRequests().size();
    view.lines.clear();
    read("1", 1, 0, 4);
    EXPECT_TRUE(view.lines.contains("Fehler: Betriebsart ohne Befehl.")) << view.lines.join('|').toStdString();
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_FALSE(sim.repeating());
    for (const QByteArray& r : sim.netRequests().mid(before))
        EXPECT_NE(static_cast<uchar>(r.at(2)), 0x10) << "a read went out";
}

// Enhanced reads run on heads 1 and 2 when the entry is selected again or another entry is
// chosen: every head gets its "QU" on the transport that started the read, before the
// unit is forgotten (10 -> 1 before the socket closes). The link's stop (the command
// window's, 1 -> 0 here) ends them as well.
TEST_F(HXContinuous, RunningReadsEndWhenTheSelectionChanges)
{
    startNet();
    ASSERT_NE(hx.unitPort, 0);
    const std::pair<int16_t, int16_t> changes[] = {{1, 1}, {1, 2}, {10, 10}, {10, 1}, {1, 0}};
    for (const auto& [from, to] : changes) {
        SCOPED_TRACE(QStringLiteral("%1 -> %2").arg(from).arg(to).toStdString());
        ASSERT_TRUE(select(from));
        read("1", 3, 0, 4);
        read("2", 3, 0, 4);
        ASSERT_TRUE(sim.repeating());
        sim.clearTranscript();
        if (to == 0)
            lk->LkStopBuffered();
        else
            select(to);
        EXPECT_FALSE(sim.repeating());
        EXPECT_EQ(sent("QU") > 0, from == 1);   // the serial line's transcript
        EXPECT_FALSE(hx.AnyChannelBusy());
    }
}

// Heads 1 and 2 repeat on Ethernet when the unit drops the connection (a cable pulled and
// put back), and Stop cannot reach head 1. Another unit selected meanwhile is owed
// nothing. Entry 10 selected again on the first unit: the "QU" that could not go out goes
// first, so nothing repeats there and a write on head 3 reads back its own tag.
TEST_F(HXContinuous, HeadsLeftReadingAreStoppedOnTheNextConnection)
{
    startNet();
    SimHX other;
    other.startNet();
    sim.setRepeatInterval(40);
    sim.withTag(1, [](SimHX::Tag& t) { t.memory.replace(0, 8, "11111111"); });
    ASSERT_TRUE(select(10));
    read("1", 3, 0, 4);
    read("2", 3, 0, 4);
    sim.dropNet();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !net->NetIsConnected(); }, 3000));
    hx.StopChannel(QStringLiteral("1"));
    useUnit(other);
    ASSERT_TRUE(select(10));
    for (const QByteArray& frame : other.netRequests())
        EXPECT_NE(frame.toHex().left(6), "000402") << "a stop owed to the other unit";
    useUnit(sim);
    const qsizetype before = sim.netRequests().size();
    ASSERT_TRUE(select(10));
    const QList<QByteArray> sent = sim.netRequests().mid(before);
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent[0].toHex(), "00040202");   // QU to head 1
    EXPECT_EQ(sent[1].toHex(), "00040204");   // and to head 2
    EXPECT_FALSE(sim.repeating());
    EXPECT_TRUE(hx.WriteTag(3, 0, false, 5, 1, "Z", "3"));
    EXPECT_EQ(sim.memory(3, 4, 4), "eZgh");
}

// Enhanced reads of 12 bytes on all heads, stopped: each answer to "QU" is taken whole at
// once, and a unit the head-type file does not know (taken as four heads) is waited on for
// the heads it has, on either transport. No time-out.
TEST_F(HXContinuous, StopsTakeTheirAnswersAtOnce)
{
    startNet();
    for (const auto& [entry, model, channels] : {std::tuple<int16_t, const char*, int>{1, "HX-LM4", 4}, {1, "HX-LM9", 2}, {10, "HX-LM9", 2}}) {
        sim.setModel(model, channels);
        ASSERT_TRUE(select(entry));
        monitor.lines.clear();
        read("x", 3, 0, 12);
        hx.StopChannel(QStringLiteral("x"));
        EXPECT_FALSE(sim.repeating());
        EXPECT_FALSE(monitor.lines.contains("R: <TIMEOUT>")) << model << ' ' << entry;
    }
}

// Head 2 repeats on Ethernet, its repeat going out ahead of every answer to another head:
// the parameters of head 3, the configuration words of head 1, a read and a stop there
// each take their own head's reply; head 2's repeats met on the way are listed under it.
TEST_F(HXContinuous, EachExchangeTakesItsOwnHeadsReply)
{
    startNet();
    ASSERT_TRUE(select(10));
    sim.withTag(2, [](SimHX::Tag& t) { t.memory.replace(0, 4, "3333"); });
    read("2", 3, 0, 4);
    sim.setRepeatsAhead(true);
    view.shown.clear();
    hx::ParameterList seen;
    hx.parameterDialog = [&](const hx::HXHeadType&, hx::ParameterList& params) { seen = params; return false; };
    hx.EditParameters(3);
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.ListConfiguration(krconfig::LineTexts::Defaults());
    read("1", 0, 0, 4);
    hx.StopChannel(QStringLiteral("1"));
    ASSERT_FALSE(seen.isEmpty());
    for (const clsParameter& p : seen)
        EXPECT_EQ(hx::ValueBytes(p), sim.tag(3).params.value(p.Name().toLatin1(), hx::ValueBytes(p))) << p.Name().toStdString();
    EXPECT_TRUE(view.lines.contains("Passwort-Schutz             : Aus")) << view.lines.join('|').toStdString();
    EXPECT_EQ(view.shown.count("Kopf 1: abcd"), 1);
    EXPECT_GE(view.shown.count("Kopf 2: 3333"), 5);
    EXPECT_EQ(view.shown.count("Kopf 1: abcd") + view.shown.count("Kopf 2: 3333"), view.shown.size());
    EXPECT_TRUE(hx.ChannelBusy[1] && sim.repeating());
    hx.StopBuffered(true, true);
}

// A multi-tag head lists one record per tag, then how many it found (four hex digits).
// Records still on their way when the read returns are the poll timer's to list.
TEST_F(HXContinuous, MultiTagHeadSaysHowManyTagsItFound)
{
    ASSERT_TRUE(select(1));
    for (const auto& [found, line] : {std::pair{3, "Kopf 3: Tags found: 3"}, std::pair{0x1A, "Kopf 3: Tags found: 26"}}) {
        sim.withTag(3, [found = found](SimHX::Tag& t) {
            t.qv = 'M';
            t.found = found;
        });
        view.shown.clear();
        view.lines.clear();
        read("3", 0, 0, 4);
        EXPECT_TRUE(QTest::qWaitFor([&, line = line] { hx.Poll(true, false); return view.lines.contains(line); }, 3000))
            << view.lines.join('|').toStdString();
        EXPECT_EQ(view.shown.count("Kopf 3: UII: 55 49 49 31 DATA: abcd"), found);
        EXPECT_EQ(view.shown.size(), found);
    }
}

// A QTX11 fixcode on all heads: every head's reply is taken, so the next exchange reads its
// own; one failing head makes the write fail and is listed.
TEST_F(HXContinuous, QTX11FixcodeOnAllHeadsTakesEveryReply)
{
    sim.setHead(4, "IND-A");
    ASSERT_TRUE(select(1));
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    EXPECT_TRUE(hx.WriteQTX11Fixcode(0, false, "QTX11"));
    for (int ch = 1; ch <= 4; ++ch)
        EXPECT_EQ(sim.tag(ch).fixcode, "QTX11") << ch;
    view.shown.clear();
    read("2", 0, 0, 4);
    EXPECT_EQ(view.shown, QList<QByteArray>{"Kopf 2: abcd"});

    view.lines.clear();
    sim.withTag(3, [](SimHX::Tag& t) { t.present = false; });
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    EXPECT_FALSE(hx.WriteQTX11Fixcode(3, true, "QTX12"));
    EXPECT_TRUE(view.lines.contains("STATUS: Kopf 3: 5 - Kein Tag im Lesebereich")) << view.lines.join('|').toStdString();
    EXPECT_EQ(sim.tag(4).fixcode, "QTX12");
    view.shown.clear();
    read("4", 0, 4, 4);
    EXPECT_EQ(view.shown, QList<QByteArray>{"Kopf 4: efgh"});
}

// After an Enhanced write the unit's late acknowledgement is a reply of its own: it is not
// joined to the next one.
TEST_F(HXContinuous, LateAcknowledgementIsNotJoinedToTheNextReply)
{
    sim.setRepeatInterval(80);
    ASSERT_TRUE(select(1));
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    sim.delayNext("EW", 300);
    ASSERT_TRUE(hx.WriteTag(3, 3, false, 0, 4, "WXYZ", "1"));
    EXPECT_TRUE(lk->PollingEnabled());
    view.shown.clear();
    // The acknowledgement comes among the read's repeats: every reply there is taken.
    QTest::qWait(700);
    for (int polls = 0; polls < 50 && hx.DataAvailable(); ++polls)
        hx.Poll(true, false);
    EXPECT_GE(view.shown.size(), 4);
    for (const QByteArray& s : view.shown)
        EXPECT_EQ(s, "Kopf 1: WXYZ");
    hx.StopBuffered(true, true);
}

} // namespace
} // namespace orvid::test
