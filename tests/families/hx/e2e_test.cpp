// The interface-unit telegram layer end to end: the real link on a pseudo-terminal
// (entry 1) and on loopback TCP (entry 10) with the simulated unit on the far side.
// Recognition, the country-profile chooser, reads, read-merge-writes checked in the tag
// memory, refusals that send nothing, configuration words, the password, the tag state,
// and the Ethernet framing faults.

#include "HXUnitFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace orvid::test {
namespace {
using namespace hxfixture;

TEST_F(HXE2E, RecognitionOfModelsAndHeads)
{
    struct Case {
        QByteArray model;
        int unitChannels;
        bool diagnose;
        int channelCount;
        int protocolType;
    };
    const Case cases[] = {
        {"HX-LM4", 4, false, 4, 0},
        {"HX-LM2", 2, false, 2, 0},
        {"HX-LM2D", 2, true, 2, 1},
        {"HX-LM9 ", 4, false, 4, 0},   // unknown model: four channels
    };
    for (const Case& c : cases) {
        sim.setModel(c.model, c.unitChannels);
        sim.setDiagnose(c.diagnose);
        ASSERT_TRUE(select(1)) << c.model.constData();
        EXPECT_EQ(item(1), c.model.trimmed());
        EXPECT_EQ(hx.ChannelCount, c.channelCount);
        EXPECT_EQ(hx.ProtocolType, c.protocolType);
        EXPECT_EQ(hx.HeadTypeName[0], QStringLiteral("IND-A"));
        EXPECT_EQ(hx.HeadFamily[0], QStringLiteral("I"));
        EXPECT_EQ(hx.HeadFamily[1], QStringLiteral("M"));
        EXPECT_TRUE(hx.UnitStateText.contains("MM:0"));
    }
    sim.setDiagnose(false);
    sim.setModel("HX-LM4", 4);
    ASSERT_TRUE(select(1));
    QVariant v;
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    for (int16_t id : {KRItem::InductiveHead, KRItem::MicrowaveHead, KRItem::VNBHead, KRItem::ModeFrameEnabled,
                       KRItem::HeadFrameVisible}) {
        form.GetData(id, v);
        EXPECT_TRUE(v.toBool()) << id;
    }
    form.GetData(KRItem::RMB2Head, v);
    EXPECT_FALSE(v.toBool());
    EXPECT_EQ(hx.CommandList().count(), 27);

    // A model section without TYPE=HEAD names no head count: four channels, as for a model
    // the file does not know.
    QTemporaryDir dir;
    QFile shipped(hx.HeadFile().Path()), file(dir.filePath(QStringLiteral("ORVIDHX.INI")));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly));
    file.write(shipped.readAll() + "\r\n[HX-LM7]\r\nPICTURE=unit7.png\r\n");
    file.close();
    hx.SetHeadFile(file.fileName());
    sim.setModel("HX-LM7", 4);
    ASSERT_TRUE(select(1));
    EXPECT_EQ(hx.ChannelCount, 4);
    EXPECT_EQ(hx.HeadTypeName[3], QString());
    EXPECT_EQ(hx.HeadTypeName[2], QStringLiteral("UHF-A"));
}

TEST_F(HXE2E, HeadFileIsTakenFromTheProgramFolder)
{
    // Without a file set, the unit's head types come from the program folder the
    // application was given, as the layout and language files do.
    QFile shipped(QStringLiteral(ORVID_SHIPPED_DATA_DIR "/ORVIDHX.INI"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QString path = tc.writeProgramFile(QStringLiteral("ORVIDHX.INI"), shipped.readAll());
    HXProtocol fresh{tc.ctx, &view};
    fresh.Init();
    EXPECT_EQ(QFileInfo(fresh.HeadFile().Path()).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
    EXPECT_NE(fresh.HeadFile().HeadType(QStringLiteral("UHF-A")), nullptr);
}

TEST_F(HXE2E, CountryProfileChooserWritesTheChosenId)
{
    // RC set: no chooser.
    ASSERT_TRUE(select(1));
    EXPECT_TRUE(chooserCalls.isEmpty());
    EXPECT_EQ(sent("RP3"), 1);

    // RC 0: the chooser opens; cancel writes nothing, a choice writes its ID byte-exact.
    sim.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray(2, '\0'); });
    ASSERT_TRUE(select(1));
    EXPECT_EQ(chooserCalls, QStringList{QStringLiteral("3:UHF-A")});
    EXPECT_EQ(sent("WP"), 0);
    chooserAnswer = 2;
    sim.clearTranscript();
    ASSERT_TRUE(select(1));
    EXPECT_TRUE(sim.received().contains(T(QByteArray("WP3URC\x00\x02\x01\x05", 10))));
    EXPECT_EQ(sim.tag(3).rc, QByteArray("\x01\x05", 2));   // profile ID 261
}

TEST_F(HXE2E, ReadsOnAHeadAndOnAll)
{
    selectUnit();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::Tagcode, 3);
    hx.PutData(KRItem::StartAddress, 6);
    hx.PutData(KRItem::DataLength, 3);
    hx.ReadData(true);
    EXPECT_TRUE(sim.received().contains(T("SR1000102")));
    ASSERT_FALSE(view.shown.isEmpty());
    EXPECT_EQ(view.shown.last(), "Kopf 1: ghi");
    EXPECT_EQ(item(3), "ghi");   // exactly the bytes shown

    view.shown.clear();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    hx.PutData(KRItem::Tagcode, 99);
    hx.PutData(KRItem::StartAddress, 0);
    hx.PutData(KRItem::DataLength, 4);
    hx.ReadData(true);
    // Channel 4 has no head: its status line is listed, the three heads show their data.
    EXPECT_EQ(view.shown, (QList<QByteArray>{"Kopf 1: abcd", "Kopf 2: abcd", "Kopf 3: abcd"}));

    // A fixcode read on all heads, then a word read on one: each shown as what it is.
    view.shown.clear();
    hx.ReadData(false);
    EXPECT_EQ(view.shown.value(0), "Kopf 1: FIX01");
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::StartAddress, 2);
    hx.PutData(KRItem::DataLength, 1);
    hx.ReadData(true);
    EXPECT_EQ(view.shown.last(), "Kopf 1: c");

    // The special fixcode after a data read of 12 bytes: its six characters are the whole
    // reply, shown at once, not waited on for the read's length.
    hx.PutData(KRItem::DataLength, 12);
    hx.ReadData(true);
    sim.withTag(1, [](SimHX::Tag& t) { t.special = "12AB00"; });
    QElapsedTimer clock;
    clock.start();
    hx.ReadSpecialFixcode();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(view.shown.last(), "Kopf 1: 12AB00");
    // The same on all heads after a word read there at address 2, length 3: every head's
    // whole code.
    for (int ch = 2; ch <= 3; ++ch)
        sim.withTag(ch, [](SimHX::Tag& t) { t.special = "12AB00"; });
    hx.PutData(KRItem::HeadNumber, QStringLiteral("x"));
    hx.PutData(KRItem::StartAddress, 2);
    hx.PutData(KRItem::DataLength, 3);
    hx.ReadData(true);
    view.shown.clear();
    hx.ReadSpecialFixcode();
    EXPECT_EQ(view.shown, (QList<QByteArray>{"Kopf 1: 12AB00", "Kopf 2: 12AB00", "Kopf 3: 12AB00"}));

    // A word count no serial telegram carries: refused, nothing sent.
    sim.clearTranscript();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::DataLength, 1100);
    hx.ReadData(true);
    EXPECT_EQ(sent("SR"), 0);
}

TEST_F(HXE2E, MergeWritesKeepTheNeighbours)
{
    selectUnit();
    struct Case {
        int address, length;
        int16_t tagType;
        QByteArray read;
    };
    const Case cases[] = {{5, 1, 3, "SR1000101"}, {6, 3, 3, "SR1000102"}, {20, 5, 40, "SR1000404"}};
    for (const Case& c : cases) {
        const QByteArray before = sim.memory(1, 0, 64);
        sim.clearTranscript();
        ASSERT_TRUE(hx.WriteTag(c.tagType, 0, false, c.address, c.length, QByteArray(c.length, 'Z'), "1"))
            << c.address;
        EXPECT_TRUE(sim.received().contains(T(c.read))) << c.address;
        QByteArray expected = before;
        expected.replace(c.address, c.length, QByteArray(c.length, 'Z'));
        EXPECT_EQ(sim.memory(1, 0, 64), expected) << c.address;
    }
}

TEST_F(HXE2E, WritesThatCannotBeDoneSendNothing)
{
    selectUnit();
    tc.state.ReadHeadError = false;   // write failures are listed whatever the option says
    const QByteArray before = sim.memory(1, 0, 64);
    struct Case {
        int16_t tagType, mode;
        int address, length;
        QByteArray channel;
        const char* fault;
        bool noTag = false;   // the head answers its Enhanced read-back only once a tag comes
    };
    const Case cases[] = {
        {3, 4, 0, 4, "1", nullptr},     // a mode without a command
        {3, 0, 2, 4, "x", nullptr},     // not whole blocks, nothing read back
        {60, 0, 0, 3, "1", nullptr},
        {3, 0, 0, 1100, "1", nullptr},  // more words than a telegram carries
        {3, 0, 5, 1, "1", "SR"},        // the read-back fails
        {3, 3, 9, 2, "1", nullptr, true},
    };
    for (const Case& c : cases) {
        if (c.fault)
            sim.failNext(c.fault, '5');
        sim.withTag(1, [&c](SimHX::Tag& t) {
            t.present = !c.noTag;
            t.quietWithoutTag = true;
        });
        sim.clearTranscript();
        view.lines.clear();
        tc.presenter.requests.clear();
        EXPECT_FALSE(hx.WriteTag(c.tagType, c.mode, false, c.address, c.length, QByteArray(c.length, 'Q'), c.channel));
        EXPECT_EQ(sent("SW") + sent("EW"), 0);
        EXPECT_TRUE(!view.lines.isEmpty() || c.noTag);
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
        if (c.noTag) {
            // The read-back the write gave up on is ended: the tag that comes now is not read.
            EXPECT_TRUE(sim.received().contains(T("ER1000201")));
            EXPECT_FALSE(sim.repeating());
            sim.withTag(1, [](SimHX::Tag& t) { t.present = true; });
            QTest::qWait(400);
            EXPECT_FALSE(hx.DataAvailable());
        }
    }
    EXPECT_EQ(sim.memory(1, 0, 64), before);

    // Whole blocks on "x" go out as written; every head's refusal is listed.
    sim.failNext("SW", '5');
    view.lines.clear();
    EXPECT_FALSE(hx.WriteTag(3, 0, false, 0, 4, "WXYZ", "x"));
    EXPECT_EQ(sim.memory(2, 0, 4), "WXYZ");
    EXPECT_TRUE(view.lines.contains("STATUS: Kopf 1: 5 - Kein Tag im Lesebereich"));
    EXPECT_TRUE(view.lines.contains("STATUS: Kopf 4: 6 - Hardware Fehler (Schreiblesekopf nicht erkannt)"));

    // A write the unit never answers did not happen.
    sim.silenceNext("SW");
    EXPECT_FALSE(hx.WriteTag(3, 0, false, 0, 4, "abcd", "1"));
    sim.silenceNext("SX");
    EXPECT_FALSE(hx.WriteQTX11Fixcode(0, false, "ABCDE"));
}

// Only a VNB head has the multi-tag parameter: a read on another head asks none.
TEST_F(HXE2E, MultiTagModeIsAskedOfVNBHeadsOnly)
{
    selectUnit();
    hx.PutData(KRItem::DataLength, 4);
    const struct {
        const char* channel;
        QList<QByteArray> asked;
    } cases[] = {
        {"1", {}},
        {"2", {}},
        {"3", {T(QByteArray("RP3UQV\0\0", 8))}},
        {"x", {T(QByteArray("RP3UQV\0\0", 8))}},
    };
    for (const auto& c : cases) {
        hx.PutData(KRItem::HeadNumber, QString::fromLatin1(c.channel));
        for (bool write : {false, true}) {
            sim.clearTranscript();
            if (write)
                hx.WriteTag(3, 0, false, 0, 4, "ABCD", c.channel);
            else
                hx.ReadData(true);
            QList<QByteArray> asked;
            for (const QByteArray& t : sim.received())
                if (t.startsWith("RP"))
                    asked.append(t);
            EXPECT_EQ(asked, c.asked) << c.channel << (write ? " write" : " read");
        }
    }
}

TEST_F(HXE2E, MultiTagHeadReportsFAsNoTag)
{
    selectUnit();
    tc.state.ReadHeadError = false;
    sim.withTag(3, [](SimHX::Tag& t) {
        t.qv = 'M';
        t.found = 1;
    });
    sim.failNext("SW", 'F');
    EXPECT_FALSE(hx.WriteTag(80, 0, false, 0, 4, "ABCD", "3"));
    EXPECT_TRUE(sim.received().contains(T(QByteArray("RP3UQV\0\0", 8))));
    EXPECT_TRUE(view.lines.contains("STATUS: Kopf 3: 5 - Kein Tag im Lesebereich"));

    // A read lists the tag's UII before its data. A single read waits for records that
    // come a little later, up to the count of tags found.
    hx.PutData(KRItem::HeadNumber, QStringLiteral("3"));
    hx.PutData(KRItem::DataLength, 4);
    const struct {
        int found, secondBurstMs;
    } reads[] = {{1, 0}, {4, 400}, {1, 400}};
    for (const auto& r : reads) {
        sim.withTag(3, [&r](SimHX::Tag& t) {
            t.found = r.found;
            t.secondBurstMs = r.secondBurstMs;
        });
        view.shown.clear();
        view.lines.clear();
        hx.ReadData(true);
        EXPECT_EQ(view.shown, QList<QByteArray>(r.found, "Kopf 3: UII: 55 49 49 31 DATA: abcd")) << r.found;
        EXPECT_EQ(view.lines, QList<QByteArray>{"Kopf 3: Tags found: " + QByteArray::number(r.found)});
        EXPECT_FALSE(hx.DataAvailable());
    }

    // The read-back's count comes 300 ms late: it is the read's, the write's status decides.
    hx.PutData(KRItem::Tagcode, 80);
    sim.withTag(3, [](SimHX::Tag& t) { t.secondBurstMs = 300; });
    view.lines.clear();
    monitor.lines.clear();
    EXPECT_TRUE(hx.WriteTag(80, 0, false, 0, 4, "WXYZ", "3"));
    EXPECT_TRUE(view.lines.isEmpty() && !monitor.lines.contains("R: <TIMEOUT>")) << view.lines.join('|').toStdString();
    EXPECT_EQ(sim.memory(3, 0, 4), "WXYZ");

    // With the read errors shown, a listed error ends the read: no record follows it, so
    // it does not wait out its 5 s time-out.
    tc.state.ReadHeadError = true;
    sim.failNext("SR", 'F');
    view.lines.clear();
    QElapsedTimer took;
    took.start();
    hx.ReadData(true);
    EXPECT_LT(took.elapsed(), 3000);
    EXPECT_EQ(view.lines, QList<QByteArray>{"STATUS: Kopf 3: 5 - Kein Tag im Lesebereich"});
}

TEST_F(HXE2E, FixcodeConfigurationAndPassword)
{
    selectUnit();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    EXPECT_TRUE(hx.WriteQTX11Fixcode(1, true, "AB"));
    EXPECT_TRUE(sim.received().contains(T(QByteArray("SX10205AB\0\0\0", 12))));
    sim.failNext("SX", '5');
    EXPECT_FALSE(hx.WriteQTX11Fixcode(0, false, "CD"));

    // Words with "#" CR inside are read to their length.
    sim.withTag(1, [](SimHX::Tag& t) { t.control = QByteArray("\x00\x02#\r", 4); t.protection = "WXYZ"; });
    QByteArray control, protection;
    ASSERT_TRUE(hx.ReadConfiguration("1", control, protection));
    EXPECT_EQ(control, QByteArray("\x00\x02#\r", 4));
    EXPECT_EQ(protection, "WXYZ");
    EXPECT_TRUE(hx.WriteConfiguration(QByteArray("\x00\x00\x00\x09", 4), "ABCD"));
    EXPECT_EQ(sim.tag(1).control, QByteArray("\x00\x00\x00\x09", 4));

    // "8000" is 00 80 00 00 on the wire; an empty box is the password 0; bad text is refused.
    sim.clearTranscript();
    EXPECT_TRUE(hx.ChangePassword(QString(), QStringLiteral("8000")));
    EXPECT_EQ(sim.tag(1).password, 0x8000u);
    EXPECT_TRUE(sim.received().contains(T(QByteArray("PC1\0\0\0\0\0\x80\0\0", 11))));
    EXPECT_FALSE(hx.ChangePassword(QStringLiteral("0"), QStringLiteral("12G")));
    EXPECT_FALSE(hx.ChangePassword(QStringLiteral("1"), QStringLiteral("2")));   // wrong old password
}

TEST_F(HXE2E, EnhancedReadPolledAndStopped)
{
    sim.setRepeatInterval(50);
    selectUnit();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::OperationMode, 3);
    hx.PutData(KRItem::DataLength, 4);
    hx.ReadData(true);
    EXPECT_TRUE(lk->PollingEnabled());
    EXPECT_TRUE(hx.ChannelBusy[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { hx.Poll(true, false); return view.shown.size() >= 3; }, 3000));
    hx.StopBuffered(true, true);
    EXPECT_FALSE(lk->PollingEnabled());
    EXPECT_FALSE(sim.repeating());

    // Each repeat is cut by its own head's read, whichever head is chosen meanwhile: head
    // 2 reads a QTX03 tag from byte 1 with length 0 (the rest of the word), head 1 is on
    // "Standard", which would cut to nothing.
    hx.PutData(KRItem::HeadNumber, QStringLiteral("2"));
    hx.PutData(KRItem::Tagcode, 3);
    hx.PutData(KRItem::OperationMode, 3);
    hx.PutData(KRItem::StartAddress, 1);
    hx.PutData(KRItem::DataLength, 0);
    hx.ReadData(true);
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::Tagcode, 99);
    view.shown.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { hx.Poll(true, false); return view.shown.size() >= 2; }, 3000));
    for (const QByteArray& s : view.shown)
        EXPECT_EQ(s, "Kopf 2: bcd");
    hx.StopBuffered(true, true);

    // A failure that carries data is not listed, even with the read errors shown.
    view.lines.clear();
    view.shown.clear();
    ASSERT_TRUE(sim.send(T("A1abcd")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hx.DataAvailable(); }, 2000));
    hx.Poll(true, false);
    EXPECT_FALSE(hx.DataAvailable());
    EXPECT_TRUE(view.lines.isEmpty()) << view.lines.join('|').toStdString();
    EXPECT_TRUE(view.shown.isEmpty());
}

TEST_F(HXE2E, TriggeredAndContinuousChannelsAreMarkedBusy)
{
    selectUnit();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::DataLength, 4);
    struct Case {
        int channels;
        int sensor;      // 0..3: trigger sensor 1..4 on for head 1, -1 none
        bool write;
        int16_t mode;
        bool busy;
    };
    const Case cases[] = {
        {4, 2, false, 0, true},    // sensor 3 shown on four channels
        {4, 0, false, 0, false},   // sensor 1 is hidden there
        {2, 0, true, 0, true},
        {2, 2, true, 0, false},
        {1, -1, true, 3, true},    // Enhanced on a one-channel unit
        {4, -1, false, 0, false},
    };
    for (const Case& c : cases) {
        hx.StopBuffered(true, true);
        hx.ChannelCount = c.channels;
        for (int k = 0; k < 4; ++k) {
            view.mode[k] = k == c.sensor ? 1 : 0;
            view.source[k] = 1;
        }
        hx.PutData(KRItem::OperationMode, c.mode);
        if (c.write)
            EXPECT_TRUE(hx.WriteTag(3, c.mode, false, 0, 4, "abcd", "1"));
        else
            hx.ReadData(true);
        EXPECT_EQ(hx.ChannelBusy[0], c.busy) << c.channels << " " << c.sensor;
        EXPECT_EQ(lk->PollingEnabled(), c.busy);
    }
    hx.StopBuffered(true, true);
}

TEST_F(HXE2E, SlowReplyMetByTheReadTimeout)
{
    selectUnit();
    hx.PutData(KRItem::HeadNumber, QStringLiteral("2"));
    hx.PutData(KRItem::DataLength, 4);
    sim.delayNext("SR", 600);
    hx.ReadData(true);
    ASSERT_FALSE(view.shown.isEmpty());
    EXPECT_EQ(view.shown.last(), "Kopf 2: abcd");
}

class StateView : public ITagStateView {
public:
    void ShowTagState(const TagStateDisplay& d) override { last = d; }
    TagStateDisplay last;
};

TEST_F(HXE2E, WTX60TagState)
{
    selectUnit();
    hx.today = [] { return QDate(2026, 12, 7); };
    hx.PutData(KRItem::HeadNumber, QStringLiteral("2"));
    QByteArray block("\x07\x25\x0A\0\0\0\xE8\x03\0\0\0\0\0\0", 14);
    sim.withTag(2, [&](SimHX::Tag& t) { t.memory.replace(0x2011 * 4, 14, block); t.fixcode = "W60AB"; });
    StateView v;
    hx.GetTagState(v);
    EXPECT_TRUE(v.last.valid);
    EXPECT_EQ(v.last.idCode, QStringLiteral("5736304142"));
    EXPECT_EQ(v.last.date, QStringLiteral("07/25"));
    EXPECT_EQ(v.last.cycles, QStringLiteral("10"));

    sim.failNext("SR", '5');
    hx.GetTagState(v);
    EXPECT_FALSE(v.last.valid);
}

// ---- Ethernet ------------------------------------------------------------------------------

TEST_F(HXNet, RecognisesReadsAndWritesOverTcp)
{
    ASSERT_NE(port, 0);
    sim.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray(2, '\0'); });
    chooserAnswer = 1;
    ASSERT_TRUE(select(10));
    EXPECT_EQ(chooserCalls, QStringList{QStringLiteral("3:UHF-A")});
    EXPECT_EQ(sim.tag(3).rc, QByteArray("\x00\x01", 2));
    EXPECT_TRUE(hx.EthernetMode);
    EXPECT_EQ(item(1), "HX-LM4");
    EXPECT_EQ(hx.HeadTypeName[2], QStringLiteral("UHF-A"));
    EXPECT_EQ(hx.CommandList().count(), 0);

    hx.PutData(KRItem::HeadNumber, QStringLiteral("1"));
    hx.PutData(KRItem::Tagcode, 3);
    hx.PutData(KRItem::StartAddress, 4);
    hx.PutData(KRItem::DataLength, 4);
    hx.ReadData(true);
    ASSERT_FALSE(view.shown.isEmpty());
    EXPECT_EQ(view.shown.last(), "Kopf 1: efgh");

    ASSERT_TRUE(hx.WriteTag(3, 0, false, 6, 3, "123", "1"));
    EXPECT_EQ(sim.memory(1, 0, 12), "abcdef123jkl");

    // A status-255 prefix frame and a split reply are one reply.
    sim.prefixNext();
    sim.setSplit(40);
    view.shown.clear();
    hx.ReadData(true);
    sim.setSplit(0);
    ASSERT_FALSE(view.shown.isEmpty());
    EXPECT_EQ(view.shown.last(), "Kopf 1: ef12");

    // Refused before anything goes out: 16 words, a fixcode.
    const qsizetype before = sim.netRequests().size();
    EXPECT_FALSE(hx.WriteTag(3, 0, false, 0, 64, QByteArray(64, 'A'), "1"));
    EXPECT_FALSE(hx.WriteQTX11Fixcode(0, false, "ABCDE"));
    EXPECT_FALSE(hx.WriteTag(10, 0, true, 0, 5, "ABCDE", "1"));
    EXPECT_EQ(sim.netRequests().size(), before);

    // An unknown status byte is a failure.
    sim.failNext("SR", 'G');
    QByteArray channel = "1", reply;
    bool ok = false;
    EXPECT_LT(hx.HXRead(hx::HXCommand::SR, channel, "000101", reply, false, ok), 0);

    // Leaving entry 10 closes the socket.
    lk->CloseSystem();
    EXPECT_FALSE(net->NetIsConnected());
    view.lines.clear();
    EXPECT_EQ(hx.HXRead(hx::HXCommand::SR, channel, "000101", reply, false, ok), 0);
    ASSERT_FALSE(view.lines.isEmpty());
    EXPECT_TRUE(view.lines.last().startsWith("Keine Verbindung"));
}

} // namespace
} // namespace orvid::test
