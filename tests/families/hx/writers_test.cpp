// The code writers of special tag types end to end against the simulated unit: the exact
// telegram each writer sends for a mode and code, the codes refused before anything goes
// out, a continuous channel stopped first, the replies of all channels on "x", a multi-tag
// "F", the special fixcode read back, and the same writers over TCP.

#include "HXUnitFixture.h"

namespace orvid::test {
namespace {
using namespace hxfixture;

TEST_F(HXE2E, WritersSendTheirTelegramOrRefuse)
{
    selectUnit();
    struct Case {
        const char* writer;
        int mode;
        QByteArray code;
        QByteArray telegram;   // empty: refused, nothing sent
    };
    const Case cases[] = {
        {"special", 0, "12AB", "SP1612AB00"},
        {"special", 3, "FFFFFF", "EP16FFFFFF"},
        {"special", 0, "1000000", {}},   // above FFFFFF
        {"special", 0, "12G4", {}},
        {"special", 1, "12", {}},        // Buffered has no special-fixcode command
        {"wtx", 1, "AB", QByteArray("AX16004AB\0\0", 11)},
        {"wtx", 2, "ABCD", "BX16004ABCD"},
        {"wtx", 0, "ABCDE", {}},
        {"vnb", 0, "", "SP1E" + QByteArray(14, '\0')},
        {"vnb", 0, QByteArray("#\r0123456789AB", 14), QByteArray("SP1E#\r0123456789AB", 18)},
        {"vnb", 0, QByteArray(15, 'A'), {}},
        {"ncx", 3, "ABC1234", "EX15207ABC1234"},
        {"ncx", 0, "ABC123", {}},
        {"ncx", 0, "ABC12X4", {}},
    };
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    for (const Case& c : cases) {
        sim.clearTranscript();
        view.lines.clear();
        hx.ChannelBusy.fill(false);
        const QByteArray w = c.writer;
        const bool result = w == "special" ? hx.WriteSpecialFixcode(c.mode, c.code)
                            : w == "wtx"   ? hx.WriteWTXFixcode(c.mode, c.code)
                            : w == "vnb"   ? hx.WriteVNBFixcode(c.code)
                                           : hx.WriteNCXTag(c.mode, c.code);
        EXPECT_EQ(result, !c.telegram.isEmpty()) << c.writer << ' ' << c.code.toStdString();
        if (c.telegram.isEmpty()) {
            EXPECT_EQ(sent("SP") + sent("EP") + sent("SX") + sent("AX") + sent("BX") + sent("EX"), 0) << c.code.toStdString();
            EXPECT_EQ(view.lines.size(), 1) << c.code.toStdString();
        } else {
            EXPECT_TRUE(sim.received().contains(T(c.telegram))) << c.telegram.toStdString();
            EXPECT_TRUE(view.lines.isEmpty());
            // Enhanced and Buffered writes leave the channel continuous; the VNB code never.
            EXPECT_EQ(hx.ChannelBusy[0], (c.mode == 1 || c.mode == 3) && w != "vnb") << c.telegram.toStdString();
        }
    }
    EXPECT_EQ(sim.tag(1).special, "FFFFFF");
    EXPECT_EQ(sim.tag(1).vnbCode, QByteArray("#\r0123456789AB", 14));
    EXPECT_EQ(sim.tag(1).fixcode, "ABC1234");

    // The special fixcode reads back.
    hx.ChannelBusy.fill(false);
    ASSERT_TRUE(hx.WriteSpecialFixcode(0, "12AB"));
    view.shown.clear();
    hx.PutData(KRItem::OperationMode, 0);
    hx.ReadSpecialFixcode();
    EXPECT_TRUE(sim.received().contains(T("SS16")));
    ASSERT_FALSE(view.shown.isEmpty());
    EXPECT_TRUE(view.shown.last().endsWith("12AB00")) << view.shown.last().toStdString();
}

TEST_F(HXE2E, WritersStopContinuousChannelsAndListEveryFailure)
{
    selectUnit();
    // A continuous channel is stopped on all channels before the code goes out.
    hx.PutData(KRItem::HeadNumber, QStringLiteral("2"));
    hx.ChannelBusy[3] = true;
    ASSERT_TRUE(hx.WriteWTXFixcode(0, "AB"));
    ASSERT_GE(sim.received().size(), 2);
    EXPECT_EQ(sim.received().first(), T("QUx"));
    EXPECT_FALSE(hx.AnyChannelBusy());

    // The QTX11 fixcode has the same frame: the stop first, and an Enhanced write leaves
    // its channel polled.
    hx.ChannelBusy[3] = true;
    sim.clearTranscript();
    ASSERT_TRUE(hx.WriteQTX11Fixcode(3, false, "ABCDE"));
    EXPECT_EQ(sim.received(), (QList<QByteArray>{T("QUx"), T("EX21105ABCDE")}));
    EXPECT_TRUE(hx.ChannelBusy[1]);
    EXPECT_FALSE(hx.ChannelBusy[3]);
    EXPECT_TRUE(lk->PollingEnabled());
    hx.StopBuffered(true, true);

    // "x": the first reply through the read, three more taken; only failures are listed
    // (channel 1 refused by request, channel 4 has no head).
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    sim.clearTranscript();
    view.lines.clear();
    sim.failNext("SP", '7');
    EXPECT_FALSE(hx.WriteSpecialFixcode(0, "1"));
    EXPECT_EQ(sent("SPx"), 1);
    ASSERT_EQ(view.lines.size(), 2) << view.lines.join('|').toStdString();
    EXPECT_TRUE(view.lines[0].contains("Kopf 1: 7"));
    EXPECT_TRUE(view.lines[1].contains("Kopf 4: 6"));
    EXPECT_EQ(sim.tag(2).special, "100000");
    EXPECT_FALSE(hx.DataAvailable());

    // A multi-tag head's "F" is status 5, listed whatever the read-error option says.
    tc.state.ReadHeadError = false;
    hx.PutData(KRItem::HeadNumber, QStringLiteral("3"));
    sim.withTag(3, [](SimHX::Tag& t) { t.qv = 'M'; });
    sim.failNext("SP", 'F');
    view.lines.clear();
    EXPECT_FALSE(hx.WriteVNBFixcode("EPC"));
    EXPECT_TRUE(view.lines.contains("STATUS: Kopf 3: 5 - Kein Tag im Lesebereich")) << view.lines.join('|').toStdString();

    // The special-fixcode read asks a VNB head with "0".
    sim.clearTranscript();
    hx.ReadSpecialFixcode();
    EXPECT_TRUE(sim.received().contains(T("SS30")));
}

TEST_F(HXNet, SpecialCodesGoOverTcpFixcodesAreRefused)
{
    ASSERT_NE(port, 0);
    ASSERT_TRUE(select(10));
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    ASSERT_TRUE(hx.WriteSpecialFixcode(0, "ABC"));
    EXPECT_EQ(sim.tag(1).special, "ABC000");
    ASSERT_TRUE(hx.WriteVNBFixcode("12"));
    EXPECT_EQ(sim.tag(1).vnbCode, QByteArray("12") + QByteArray(12, '\0'));
    const qsizetype before = sim.netRequests().size();
    EXPECT_FALSE(hx.WriteWTXFixcode(0, "AB"));
    EXPECT_FALSE(hx.WriteNCXTag(3, "ABC1234"));
    EXPECT_EQ(sim.netRequests().size(), before);
}

} // namespace
} // namespace orvid::test
