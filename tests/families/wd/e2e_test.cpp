// The microwave system D telegram layer end to end: selected through the link on a
// pseudo-terminal with a simulated unit and its tags. Recognition, reads and writes with
// the three access types, the loop, the eight-slot scan, the tag state, the unit state and
// the outputs.

#include "sim/SimWD.h"
#include "support/FamilyFixture.h"
#include "support/PortDrain.h"
#include "support/ProtocolForm.h"

#include "families/wd/WDProtocol.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QSet>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace orvid::test {
namespace {

// The system D window as far as the link and the telegram layer see it.
class WDForm final : public ProtocolForm,
                     public IWDView,
                     public IWDStateView,
                     public IWDOutputsView,
                     public ITagStateView {
public:
    // The layer is built after the base that keeps a reference to it; the base does not
    // use it before.
    explicit WDForm(AppContext& ctx) : ProtocolForm(proto, QStringLiteral("frmSystemWD")), proto(ctx, this)
    {
        proto.setStateView(this);
        proto.setOutputsView(this);
        proto.clock = [] { return QDate(2000, 5, 15); };
    }

    // The link's view (ProtocolForm) and the state window's share one answer.
    bool Loaded() const override { return stateLoaded; }
    void SetLanguage() override { proto.ApplyLanguage(); }

    // IWDView
    bool LoopChecked() const override { return loop; }
    int HeadIndex() const override { return head; }
    int AccessType() const override { return access; }
    QString IDCodeText() const override { return idCode; }
    QString AddressText() const override { return address; }
    QString LengthText() const override { return length; }
    void SetRWFrameTitle(const QString& t) override { title = t; }
    void SetScanText(int slot, const QString& code) override { scanText[slot] = code; }
    void SetScanLED(int slot, bool on) override { scanLed[slot] = on; }
    void ShowData(int kind, const QByteArray& label, const QByteArray& data) override
    {
        lines.append(QByteArray::number(kind) + "|" + label + "|" + data);
    }
    void SetBusy(bool) override {}

    // IWDStateView
    bool AutoMode() const override { return autoMode; }
    void SetStateLamp(int index, bool lit) override { stateLamp[index] = lit; }
    // IWDOutputsView
    int OutputCount() const override { return 4; }
    bool OutputChecked(int i) const override { return outputs[i]; }
    void SetOutputLamp(int i, bool lit) override { outputLamp[i] = lit; }
    // ITagStateView
    void ShowTagState(const TagStateDisplay& d) override { tagState = d; }

    QList<int> litStateLamps() const
    {
        QList<int> lit;
        for (int i = 0; i < 7; ++i)
            if (stateLamp[i])
                lit.append(i);
        return lit;
    }
    QList<int> litScanLamps() const
    {
        QList<int> lit;
        for (int i = 1; i <= 8; ++i)
            if (scanLed[i])
                lit.append(i);
        return lit;
    }

    WDProtocol proto;
    QList<QByteArray> lines;
    bool loop = false;
    int head = 0;
    int access = 0;
    QString idCode = QStringLiteral("00000000");
    QString address = QStringLiteral("0000");
    QString length = QStringLiteral("000");
    QString title;
    std::array<QString, 9> scanText;
    std::array<bool, 9> scanLed{};
    bool stateLoaded = false;
    bool autoMode = false;
    std::array<bool, 7> stateLamp{};
    std::array<bool, 4> outputs{};
    std::array<bool, 4> outputLamp{};
    TagStateDisplay tagState;
};

constexpr quint32 kA = 0x12345678;
constexpr quint32 kB = 0x0A0B0C0D;
constexpr quint32 kC = 0xCAFE0001;

class WDEndToEnd : public PtyFamilyFixture<SimWD> {
protected:
    WDEndToEnd() : PtyFamilyFixture(100)
    {
        form = std::make_unique<WDForm>(ctx());
        lk->RegisterSystem(6, [this] { return form.get(); });
        tagA = sim.addTag(kA);
        sim.writeMemory(tagA, 0x10, "ABC");
    }
    ~WDEndToEnd() override { lk.reset(); }

    AppContext& ctx() { return tc.ctx; }
    WDProtocol& p() { return form->proto; }
    bool select() { return PtyFamilyFixture::select(6); }
    void selectAndClear()
    {
        ASSERT_TRUE(select());
        sim.clearTranscript();
        sim.clearCommands();
        form->lines.clear();
    }
    QList<QByteArray> commands() { return sim.commands(); }
    qsizetype commandCount() { return sim.commands().size(); }
    // A telegram sent without waiting for its reply reaches the unit a moment later.
    bool drained() { return Drained(sim, ports->comm()); }
    QList<QByteArray> commandsFrom(qsizetype from) { return sim.commands().mid(from); }
    QByteArray line(const char* label, const QByteArray& data) { return QByteArray("2|") + label + "|" + data; }
    static QByteArray errorLine(const QString& text) { return "1||" + text.toLatin1(); }

    std::unique_ptr<WDForm> form;
    int tagA = 0;
};

TEST_F(WDEndToEnd, RecognitionTakesExactlyEighteenCharacters)
{
    ASSERT_TRUE(sim.isValid());
    EXPECT_EQ(ports->GetTimeout(), 100);
    ASSERT_TRUE(select());
    QVariant item;
    lk->LkGetData(1, item);
    EXPECT_EQ(item.toByteArray(), "WDN-S2-2NWZ");
    lk->LkGetData(2, item);
    EXPECT_TRUE(item.toByteArray().isEmpty());
    // The family's own framing and reply time-out.
    EXPECT_EQ(ports->GetFramingType(), 5);
    EXPECT_EQ(ports->GetTimeout(), WDProtocol::kReplyTimeout);
    EXPECT_TRUE(frame.menuEnabled(MenuEntry::IO));
    EXPECT_TRUE(frame.menuEnabled(MenuEntry::State));
    EXPECT_EQ(sim.transcript().left(20), "::00?70@@\r::00?16H@@");
    // German current: the head type goes into the frame title at once.
    form->SetLanguage();
    EXPECT_EQ(form->title, QStringLiteral("WDN-S2-2NWZ"));

    for (const QByteArray& type : {QByteArray("#16WDN-S2-2NWZ 1."), QByteArray("#16WDN-S2-2NWZ 1.0x"),
                                   QByteArray("#17WDN-S2-2NWZ 1.0")}) {
        sim.setTypeReply(type);
        EXPECT_FALSE(select()) << type.constData();
        lk->LkGetData(1, item);
        EXPECT_TRUE(item.toByteArray().isEmpty());
    }
    sim.setTypeReply("#16WDN-S2-2NWZ 1.0");
    EXPECT_TRUE(select());
}

TEST_F(WDEndToEnd, ReadsWithEachAccessTypeAndWithOrWithoutInterim)
{
    const int tagB = sim.addTag(kB);
    sim.writeMemory(tagB, 0x10, "xyz");
    selectAndClear();
    form->address = QStringLiteral("0010");
    form->length = QStringLiteral("003");

    form->access = 0;
    form->idCode = QStringLiteral("0A0B0C0D"); // not sent with access type 0
    p().ReadData(true);
    EXPECT_EQ(form->lines, QList<QByteArray>{line("ANT 0: DATA =", "ABC")});
    EXPECT_EQ(p().LastDataRead(), "ABC");
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", "?10**000100003H"}));

    form->access = 1; // the tag with this ID, in wire order on the wire
    p().ReadData(true);
    form->access = 2; // the first tag with another ID
    form->idCode = QStringLiteral("12345678");
    p().ReadData(true);
    EXPECT_EQ(form->lines.mid(1), (QList<QByteArray>{line("ANT 0: DATA =", "xyz"), line("ANT 0: DATA =", "xyz")}));
    EXPECT_EQ(sim.commandsStartingWith("?10"),
              (QList<QByteArray>{"?10**000100003H", "?10**100100003H0D0C0B0A", "?10**200100003H78563412"}));

    // ID code on antenna 1, shown in display order; without the interim "$" and split.
    sim.setInterimAll(false);
    sim.setSplit(30);
    form->lines.clear();
    form->head = 1;
    form->access = 0;
    p().ReadData(false);
    EXPECT_EQ(form->lines, QList<QByteArray>{line("ANT 1: ID-Code =", "12345678")});
    EXPECT_TRUE(sim.transcript().endsWith("::01?12**0H@@\r"));

    // Without follow-up the data comes back as hex digits and nothing is listed.
    sim.setInterimAll(true);
    form->lines.clear();
    EXPECT_EQ(p().ReadDataExt(true, 0, 0x10, 3, 0, QString(), false, false), "414243");
    EXPECT_EQ(p().ReadDataExt(false, 0, 0, 0, 1, QStringLiteral("0A0B0C0D"), false, false), "0A0B0C0D");
    EXPECT_TRUE(form->lines.isEmpty());
}

TEST_F(WDEndToEnd, ReplyTimeOutIsTheFamilysOwn)
{
    // Selected after a family that left 100 ms: a unit that needs 300 ms is still heard.
    selectAndClear();
    sim.delayNext("?10", 300);
    EXPECT_EQ(p().ReadDataExt(true, 0, 0x10, 3, 0, QString(), false, false), "414243");
}

TEST_F(WDEndToEnd, ErrorRepliesAreListedOnlyWhenAsked)
{
    selectAndClear();
    form->length = QStringLiteral("001");
    sim.setTagPresent(tagA, false);
    p().ReadData(true);
    EXPECT_TRUE(form->lines.isEmpty());

    tc.state.ReadHeadError = true;
    p().ReadData(true);
    EXPECT_EQ(form->lines, QList<QByteArray>{errorLine(QString::fromUtf8("STATUS: 40 - Kein Datenträger"))});

    sim.setTagPresent(tagA, true);
    for (const char* code : {"1A", "74", "99"}) {
        form->lines.clear();
        sim.failNext("?10", code);
        p().ReadData(true);
        ASSERT_EQ(form->lines.size(), 1);
        EXPECT_EQ(form->lines.at(0), errorLine(QStringLiteral("STATUS: ") + QLatin1String(code) + QStringLiteral(" - ")
                                               + WDProtocol::BuiltinErrorText(code)));
    }

    // A read past the end of the tag memory is refused before anything goes out.
    const qsizetype before = commandCount();
    form->address = QStringLiteral("FFF0");
    form->length = QStringLiteral("020");
    p().ReadData(true);
    EXPECT_EQ(commandCount(), before);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{81});
}

TEST_F(WDEndToEnd, WritesChangeTheTagAndFailuresAreReported)
{
    selectAndClear();
    EXPECT_TRUE(p().WriteTag(true, 0, 0, QString(), 0x20, 3, "XYZ"));
    EXPECT_EQ(sim.readMemory(tagA, 0x20, 3), "XYZ");
    EXPECT_TRUE(sim.commands().contains("?20**000200003H58595A"));

    // ID write: the dialog passes the new code in wire order.
    EXPECT_TRUE(p().WriteTag(false, 0, 1, QStringLiteral("12345678"), 0, 8, "4D3C2B1A"));
    EXPECT_TRUE(sim.commands().contains("?22**1H785634124D3C2B1A"));
    EXPECT_EQ(sim.tagId(tagA), 0x1A2B3C4Du);
    EXPECT_EQ(p().ReadDataExt(false, 0, 0, 0, 0, QString(), false, false), "1A2B3C4D");
    EXPECT_TRUE(form->lines.isEmpty());
    EXPECT_TRUE(tc.presenter.requests.isEmpty());

    // ReadHeadError off, still reported: no such tag, protected tag.
    EXPECT_FALSE(p().WriteTag(true, 0, 1, QStringLiteral("DEADBEEF"), 0, 1, "Q"));
    sim.setTagProtected(tagA, true);
    EXPECT_FALSE(p().WriteTag(false, 0, 0, QString(), 0, 8, "00000000"));
    EXPECT_EQ(form->lines, (QList<QByteArray>{errorLine(QString::fromUtf8("STATUS: 40 - Kein Datenträger")),
                                              errorLine(QStringLiteral("STATUS: 18 - Schutzfehler"))}));
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{4, 4}));
    EXPECT_EQ(sim.tagId(tagA), 0x1A2B3C4Du);

    // No reply: message, but not the error line of the write before.
    sim.setTagProtected(tagA, false);
    sim.silenceNext("?20");
    form->lines.clear();
    EXPECT_FALSE(p().WriteTag(true, 0, 0, QString(), 0, 1, "Q"));
    EXPECT_TRUE(form->lines.isEmpty());
    EXPECT_EQ(tc.presenter.numbers().size(), 3);

    // Refused before sending: a length beyond the data, an end beyond FFFF.
    const qsizetype before = commandCount();
    EXPECT_FALSE(p().WriteTag(true, 0, 0, QString(), 0, 5, "AB"));
    EXPECT_FALSE(p().WriteTag(true, 0, 0, QString(), 0xFFFF, 2, "AB"));
    EXPECT_EQ(commandCount(), before);
    EXPECT_EQ(tc.presenter.numbers().size(), 5);
    EXPECT_EQ(sim.readMemory(tagA, 0, 2), QByteArray(2, '\0'));
}

TEST_F(WDEndToEnd, LoopRepeatsTheLastReadUntilStop)
{
    selectAndClear();
    form->loop = true;
    form->address = QStringLiteral("0010");
    form->length = QStringLiteral("003");
    p().ReadData(true);
    EXPECT_TRUE(p().LoopMode);
    // The next reading is already under way; the change shows one tick later.
    sim.writeMemory(tagA, 0x10, "DEF");
    form->Poll(QVariant(), QVariant());
    form->Poll(QVariant(), QVariant());
    ASSERT_EQ(form->lines.size(), 3);
    EXPECT_EQ(form->lines.first(), line("ANT 0: DATA =", "ABC"));
    EXPECT_EQ(form->lines.last(), line("ANT 0: DATA =", "DEF"));
    const QByteArray read = "?10**000100003H";
    EXPECT_TRUE(drained());
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", read, "?70", read, "?70", read, "?70", read}));

    p().Stop();
    EXPECT_FALSE(p().LoopMode);
    EXPECT_TRUE(p().LastCommand.isEmpty());
    form->Poll(QVariant(), QVariant());
    EXPECT_TRUE(drained());
    EXPECT_EQ(commands().size(), 9);
    EXPECT_EQ(commands().last(), "?70");
    // The read the last step sent is answered ahead of the stop: listed, and nothing after.
    EXPECT_EQ(form->lines.size(), 4);

    // A write is never repeated, even with the loop switched on again.
    EXPECT_TRUE(p().WriteTag(true, 0, 0, QString(), 0, 1, "Q"));
    const qsizetype after = commandCount();
    p().LoopMode = true;
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(commandCount(), after);
}

TEST_F(WDEndToEnd, ScanFillsSlotsOnceAndFollowsTagsComingAndGoing)
{
    const int tagB = sim.addTag(kB);
    const int tagC = sim.addTag(kC, false);
    selectAndClear();

    p().ScanStart(QStringList());
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", "?12**0H"}));
    EXPECT_EQ(form->scanText[1], QStringLiteral("12345678"));
    EXPECT_EQ(form->litScanLamps(), QList<int>{1});

    // Codes travel in wire order and are kept in display order.
    form->Poll(QVariant(), QVariant());
    EXPECT_TRUE(sim.commands().contains("?20**C00000001H7856341200"));
    EXPECT_EQ(form->scanText[2], QStringLiteral("0A0B0C0D"));
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 2}));

    sim.setTagPresent(tagC, true);
    for (int i = 0; i < 3; ++i)
        form->Poll(QVariant(), QVariant());
    EXPECT_EQ(p().ScanCount, 3);
    EXPECT_EQ(QList<QByteArray>(p().ScanCodes.begin(), p().ScanCodes.begin() + 3),
              (QList<QByteArray>{"12345678", "0A0B0C0D", "CAFE0001"}));
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 2, 3}));
    for (const QByteArray& c : sim.commands())
        EXPECT_FALSE(c.startsWith("?12") && c != "?12**0H");
    EXPECT_EQ(sim.commandsStartingWith("?12").size(), 1);

    // A tag that leaves goes dark at the next step; no "$": the same.
    sim.setTagPresent(tagB, false);
    sim.setInterimAll(false);
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 3}));
    EXPECT_EQ(p().ScanCount, 3);

    // A code typed into a slot is asked for in wire order.
    p().ScanPause();
    EXPECT_TRUE(form->litScanLamps().isEmpty());
    p().ClearScan();
    sim.clearCommands();
    p().ScanStart({QString(), QStringLiteral(" cafe0001 ")});
    sim.setTagPresent(tagA, false);
    sim.setTagPresent(tagC, true);
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", "?20**C00000001H0100FECA00", "?70",
                                             "?20**B00000001H0100FECA00"}));
    EXPECT_EQ(form->litScanLamps(), QList<int>{2});
}

TEST_F(WDEndToEnd, ScanKeepsEightSlotsAndDropsANinthCode)
{
    // Nine tags in the field (tag A is the fixture's).
    QList<QByteArray> all{"12345678"};
    for (quint32 i = 1; i <= 8; ++i) {
        const quint32 id = 0xA0000000u + i * 0x01010101u;
        sim.addTag(id);
        all.append(QByteArray::number(id, 16).toUpper().rightJustified(8, '0'));
    }
    sim.setInterimAll(false);
    selectAndClear();
    const auto slotCodes = [this] {
        return QList<QByteArray>(p().ScanCodes.begin(), p().ScanCodes.end());
    };

    p().ScanStart(QStringList());
    for (int i = 0; i < 12 && p().ScanCount < 8; ++i)
        form->Poll(QVariant(), QVariant());
    ASSERT_EQ(p().ScanCount, 8);
    const QList<QByteArray> full = slotCodes();
    // Every C request names the next tag in turn, so by now the ninth has been named more
    // than once: it finds no slot and takes none from a tag already there.
    for (int i = 0; i < 3; ++i)
        form->Poll(QVariant(), QVariant());
    EXPECT_EQ(slotCodes(), full);
    EXPECT_EQ(p().ScanCount, 8);
    // Eight different codes of the nine tags; one is left out.
    EXPECT_EQ(QSet<QByteArray>(full.begin(), full.end()).size(), 8);
    QList<QByteArray> left;
    for (const QByteArray& code : all)
        if (!full.contains(code))
            left.append(code);
    ASSERT_EQ(left.size(), 1);
    const QByteArray ninth = left.constFirst();
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    for (int slot = 1; slot <= 8; ++slot)
        EXPECT_EQ(form->scanText[slot].toLatin1(), full[slot - 1]);

    // A tag that leaves keeps its slot, only its lamp goes dark: the slot is the user's
    // until cleared.
    const int leaving = 3;   // slot 4
    bool ok = false;
    const quint32 leavingId = full[leaving].toUInt(&ok, 16);
    ASSERT_TRUE(ok);
    for (int t = 0; t < 9; ++t)
        if (sim.tagId(t) == leavingId)
            sim.setTagPresent(t, false);
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(slotCodes(), full);
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 2, 3, 5, 6, 7, 8}));

    // Leaving the scan frame ends the scan together with its loop, or every poll tick
    // would go on with the scan's last read.
    p().ScanPause(false);
    EXPECT_FALSE(p().LoopMode);
    const qsizetype paused = commandCount();
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(commandCount(), paused);

    // Restarted with that slot emptied, the next new code goes into it.
    QStringList texts;
    for (int i = 0; i < 8; ++i)
        texts.append(i == leaving ? QString() : QString::fromLatin1(full[i]));
    p().ScanStart(texts);
    EXPECT_EQ(p().ScanCount, 7);
    for (int i = 0; i < 3 && p().ScanCount < 8; ++i)
        form->Poll(QVariant(), QVariant());
    EXPECT_EQ(p().ScanCount, 8);
    EXPECT_EQ(p().ScanCodes[leaving], ninth);
    EXPECT_EQ(form->scanText[leaving + 1].toLatin1(), ninth);
    EXPECT_EQ(form->litScanLamps(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(WDEndToEnd, ScanPauseTakesEffectAtTheNextExchange)
{
    sim.addTag(kB);
    selectAndClear();
    p().ScanStart({QStringLiteral("12345678"), QStringLiteral("0A0B0C0D")});
    sim.delayNext("?20**C", 250);
    QTimer::singleShot(80, [this] { p().ScanPause(); });
    form->Poll(QVariant(), QVariant());
    EXPECT_FALSE(p().ScanMode);
    EXPECT_FALSE(p().LoopMode);
    EXPECT_TRUE(form->litScanLamps().isEmpty());
    EXPECT_EQ(sim.commandsStartingWith("?20**").size(), 1);
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(sim.commandsStartingWith("?20**").size(), 1);
}

TEST_F(WDEndToEnd, TagStateIsDecodedAndShowsOnlyItsOwnError)
{
    sim.setStateBlock(tagA, 5, 99, 1234, 3723004, 0);
    selectAndClear();
    p().GetTagState(*form);
    const TagStateDisplay& d = form->tagState;
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.state, QString());
    EXPECT_EQ(d.idCode, QStringLiteral("12345678"));
    EXPECT_EQ(d.date, QStringLiteral("05/99"));
    EXPECT_EQ(d.cycles, QStringLiteral("1234"));
    EXPECT_EQ(d.ledOff, QStringLiteral("1h 2min 3sec 4ms "));
    EXPECT_EQ(d.ledOn, QStringLiteral("0h 0min 0sec 0ms "));
    // May 1999 to May 2000 with one hour of use with the LED off.
    const double offH = 3723004 / 3600000.0;
    const double used = ((12 * 720.0 - offH) * 0.02 + offH * 12) / 1710.0 * 100.0;
    EXPECT_NEAR(d.remaining, 100.0 - used, 1e-9);
    EXPECT_EQ(d.battery, QString::number(100.0 - used, 'f', 1) + QLatin1Char('%'));
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", "?50**000000000H", "?70", "?12**0H", "?70",
                                             "?10**08044000EH"}));

    // The state request itself fails: its error, values still read.
    sim.failNext("?50", "40");
    p().GetTagState(*form);
    EXPECT_EQ(form->tagState.state, QString::fromUtf8(" 40 - Kein Datenträger"));
    EXPECT_TRUE(form->tagState.valid);

    // An older error stays with its exchange: an unanswered request shows no error.
    EXPECT_TRUE(p().ReadDataExt(true, 0, 0, 1, 1, QStringLiteral("DEADBEEF"), false, false).isEmpty());
    sim.silenceNext("?50");
    p().GetTagState(*form);
    EXPECT_EQ(form->tagState.state, QString());
    EXPECT_TRUE(form->tagState.valid);

    // No tag: labels empty, "0.0 %".
    sim.setTagPresent(tagA, false);
    p().GetTagState(*form);
    EXPECT_FALSE(form->tagState.valid);
    EXPECT_EQ(form->tagState.state, QString::fromUtf8(" 40 - Kein Datenträger"));
    EXPECT_TRUE(form->tagState.idCode.isEmpty());
    EXPECT_EQ(form->tagState.battery, QStringLiteral("0.0 %"));
    EXPECT_EQ(form->tagState.barWidth(100), 0);
}

TEST_F(WDEndToEnd, UnitStateLightsOneLampOnlyForAStateDigit)
{
    selectAndClear();
    p().GetState(); // the window is not loaded: nothing is asked
    EXPECT_TRUE(commands().isEmpty());

    form->stateLoaded = true;
    p().LoopMode = true;
    for (char c = '0'; c <= '6'; ++c) {
        sim.setUnitState(c);
        p().GetState();
        EXPECT_EQ(form->litStateLamps(), QList<int>{c - '0'});
    }
    EXPECT_TRUE(p().LoopMode);
    for (char c : {'7', 'X'}) {
        sim.setUnitState(c);
        p().GetState();
        EXPECT_TRUE(form->litStateLamps().isEmpty()) << c;
    }

    // Automatic refresh on every poll step while loaded.
    sim.setUnitState('2');
    form->autoMode = true;
    p().LoopMode = false;
    form->Poll(QVariant(), QVariant());
    EXPECT_EQ(form->litStateLamps(), QList<int>{2});
    EXPECT_EQ(commands().last(), "?73");

    tc.state.ReadHeadError = true;
    sim.failNext("?73", "25");
    p().GetState();
    EXPECT_EQ(form->lines, QList<QByteArray>{errorLine(QStringLiteral("STATUS: 25 - RAM-Fehler"))});
}

TEST_F(WDEndToEnd, OutputLampsFollowTheUnitsAnswer)
{
    selectAndClear();
    form->outputs = {true, false, true, false};
    EXPECT_TRUE(p().OutputSet());
    EXPECT_EQ(sim.outputs(), "1010");
    EXPECT_EQ(commands(), (QList<QByteArray>{"?70", "?721010"}));
    EXPECT_EQ(form->outputLamp, (std::array<bool, 4>{true, false, true, false}));

    sim.failNext("?72", "10");
    form->outputs = {true, true, true, true};
    EXPECT_FALSE(p().OutputSet());
    EXPECT_EQ(form->outputLamp, (std::array<bool, 4>{false, false, false, false}));
}

} // namespace
} // namespace orvid::test
