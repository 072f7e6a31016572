// The framed system L protocol end to end: the real link (LK, Ports) on a pseudo-terminal
// with the simulated reader (its own frame codec) on the far side. Recognition with the
// parameter lines and the reader information, the transaction with toggle and resync,
// parameter writes, reading, writing, inputs and state, and the ID-code database.

#include "sim/SimWL.h"
#include "support/FamilyFixture.h"
#include "support/ProtocolForm.h"

#include "families/common/DataItems.h"
#include "families/wl/WLFramedLayer.h"
#include "families/common/MicrowaveWrite.h"
#include "link/LK.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

class FakeView : public IWLFramedView {
public:
    void ShowData(int, const QByteArray& caption, const QByteArray& data) override { lines.append(caption + data); }
    bool Loaded() const override { return true; }
    void SetBusy(bool) override {}
    void ModeChanged(bool normal) override { modes.append(normal); }
    void SetParameterEnabled(bool) override {}
    void SetWriteRunning(bool on) override { writeRunning = on; }
    void ShowDbCode(const QString& id) override { dbCode = id; }
    bool AutoRefresh() const override { return false; }
    void RefreshSmallWindows() override {}

    QList<QByteArray> lines;
    QList<bool> modes;
    bool writeRunning = false;
    QString dbCode;
};

const QByteArray kMorsek = "OF5003HIOF23019601 nOnOFFoALOFdo05OF";

class WLFramedE2E : public PtyFamilyFixture<SimWL> {
protected:
    WLFramedE2E()
    {
        lk->RegisterSystem(8, [this] { return &form; });
    }
    ~WLFramedE2E() override { lk.reset(); }

    bool selectWL() { return sim.isValid() && select(8); }
    // The command letters of the bodies the reader received since the last clear.
    QList<QByteArray> commands() const
    {
        QList<QByteArray> out;
        for (const QByteArray& b : sim.bodies())
            out.append(b.mid(1, 2));
        return out;
    }
    int count(const QByteArray& command) const { return static_cast<int>(commands().count(command)); }
    QByteArray item(int16_t id)
    {
        QVariant v;
        lk->LkGetData(id, v);
        return v.toByteArray();
    }

    FakeView view;
    WLFramedProtocol wl{tc.ctx, &view};
    ProtocolForm form{wl, QStringLiteral("frmSystemWL")};
};

TEST_F(WLFramedE2E, RecognitionModesAndReaderInformation)
{
    struct Case {
        const char* what;
        QByteArray parameters; // the reader's string
        QByteArray info;
        QByteArray taken;      // the string the program took
        bool recognised;
        bool normal;
        int busAddress;
    } cases[] = {
        {"Morsek", kMorsek, {}, kMorsek, true, false, 1},
        {"Normal with report and $Mov lines", "On" + kMorsek.mid(2), {}, "On" + kMorsek.mid(2), true, true, 1},
        // Asked at address 1, a reader at 2 keeps its parameters; "QA" then goes to
        // address 0, which every reader answers.
        {"reader at bus address 2", "OF500302OF23029601 nOnOFFoALOFdo05OF", {}, {}, true, true, 0},
        {"four backslashes", kMorsek, "x\\A\\B\\C\\D", kMorsek, false, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim.setParameters(c.parameters);
        sim.setBusAddress(c.parameters.mid(12, 2).toInt());
        if (!c.info.isEmpty())
            sim.setInfo(c.info);
        view.modes.clear();
        EXPECT_EQ(selectWL(), c.recognised);
        EXPECT_EQ(wl.NormalMode, c.normal);
        EXPECT_EQ(wl.BusAddress, c.busAddress);
        EXPECT_EQ(wl.ReaderParameters, c.taken);
        if (c.recognised) {
            EXPECT_EQ(item(LinkItem::HeadType), "System L FW 3.1 ");
            EXPECT_EQ(item(LinkItem::VersionText), "System L FW 3.1 Rev 7 \r\nKT7-3MV 123456 ");
            // Handles from "KA"/"JA" go with the input and output commands.
            const auto lit = wl.InputSet();
            ASSERT_TRUE(lit.has_value());
            EXPECT_EQ(sim.outputs()[0], 1); // both outputs set to 01 by the recognition
            EXPECT_FALSE((*lit)[3]);
            EXPECT_EQ(lk->PollTimerEnabled(), c.normal); // polling only in mode Normal
        } else {
            EXPECT_TRUE(item(LinkItem::HeadType).isEmpty());
        }
        wl.CloseLK();
        sim.setInfo("ORVID\\System L\\FW 3.1\\Rev 7\\123456\\");
    }

    // Each parameter line is applied as it comes: the "$" 05 after it already goes to the
    // bus address the line names.
    sim.setParameters(kMorsek.left(12) + "02" + kMorsek.mid(14));
    sim.clearBodies();
    selectWL();
    QList<int> lineAddresses;
    for (const QByteArray& body : sim.bodies())
        if (body.mid(1, 2) == "$\x05")
            lineAddresses.append(static_cast<quint8>(body.at(0)) & 0x7F);
    ASSERT_FALSE(lineAddresses.isEmpty());
    EXPECT_EQ(lineAddresses.last(), 2);
    EXPECT_EQ(wl.BusAddress, 2);

    // No parameter line at all: mode Normal with bus address 0 (the reader answers it).
    sim.setBusAddress(1);
    sim.setParameters({});
    sim.faults().add({SimFault::Truncate, "$", {}, 0, -1});
    EXPECT_TRUE(selectWL());
    EXPECT_TRUE(wl.NormalMode);
    EXPECT_EQ(wl.BusAddress, 0);
}

TEST_F(WLFramedE2E, TransactionTriesResyncAndErrors)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    QByteArray reply;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int result;
        bool error;
        int resyncs;
        int telegrams;
    } cases[] = {
        {"good", [] {}, 5, false, 0, 1},
        {"two silent tries", [this] { sim.faults().add({SimFault::Silence, "FE", {}, 0, 2}); }, 5, false, 1, 4},
        {"four silent tries", [this] { sim.faults().add({SimFault::Silence, "FE", {}, 0, 4}); }, 0, true, 1, 5},
        {"wrong toggle", [this] { sim.wrongToggleNext(); }, 5, false, 0, 2},
        {"bad check", [this] { sim.badCheckNext(); }, 5, false, 0, 2},
        // The stale reply is refused by its toggle; the real one behind it is flushed
        // with it, and the repeated request brings it again.
        {"stale reply first", [this] { sim.staleReplyNext(); }, 5, false, 0, 2},
        {"error reply", [this] { sim.faults().add({SimFault::Status, "FE", {}, 0, 1}); }, 0, true, 0, 1},
        {"split reply", [this] { sim.faults().setSplit(50); }, 5, false, 0, 1},
    };
    // An ID holding ETX and DLE: stuffed by the reader, whole at the program.
    sim.setDatabase({0x03100302u}); // "FE" brings 01 and the ID
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        sim.clearBodies();
        const int n = wl.LKRead("FE", reply);
        sim.faults().setSplit(0);
        EXPECT_EQ(n, c.result);
        EXPECT_EQ(wl.ReadErrorFlag, c.error);
        if (c.result == 5) {
            EXPECT_EQ(reply.toHex(), "0103100302");
        }
        EXPECT_EQ(count(QByteArray(1, '\x16')), c.resyncs);
        EXPECT_EQ(sim.bodies().size(), c.telegrams);
        // The transaction after it is in step again.
        EXPECT_EQ(wl.LKRead("FE", reply), 5);
    }
}

TEST_F(WLFramedE2E, ParameterWritesApplyOnlyWhenAnswered)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    // Address 2: the request's address byte is STX (escaped), the reply's is not.
    const QByteArray moved = "OF500302OF23029601 nOnOFFoALOFdo05OF";
    sim.faults().add({SimFault::Silence, "$", {}, 0, 4});
    EXPECT_FALSE(wl.SetReaderVariables(moved, true));
    EXPECT_EQ(wl.ReaderParameters, kMorsek);
    EXPECT_EQ(wl.BusAddress, 1);
    EXPECT_EQ(view.lines.last(), "Parameter wurden nicht geschrieben");

    EXPECT_TRUE(wl.SetReaderVariables(moved, true));
    EXPECT_EQ(sim.parameters(), moved);
    EXPECT_EQ(wl.BusAddress, 2);
    QByteArray reply;
    for (int i = 0; i < 3; ++i) // both toggles
        EXPECT_GT(wl.LKRead("QA", reply), 0);
    EXPECT_FALSE(wl.ReadErrorFlag);

    // To mode Normal and back: the mode and the reader's lines follow.
    view.modes.clear();
    const QByteArray normal = "On" + moved.mid(2);
    EXPECT_TRUE(wl.SetReaderVariables(normal, true));
    EXPECT_TRUE(wl.NormalMode);
    EXPECT_TRUE(lk->PollTimerEnabled());
    EXPECT_TRUE(wl.SetReaderVariables(moved, true));
    EXPECT_FALSE(wl.NormalMode);
    EXPECT_EQ(view.modes, (QList<bool>{true, false}));
}

TEST_F(WLFramedE2E, ReadingWritingAndState)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    sim.setTag(true, 4227265, 1, QByteArray(20, 'q'));
    wl.ReadData(true);
    wl.Poll();
    EXPECT_EQ(view.lines.last(), "Fixcode: 04227265");
    wl.ReadData(false);
    wl.Poll();
    EXPECT_EQ(view.lines.last(), "Quarter: " + QByteArray(20, 'q'));
    wl.StopReading();
    const int before = static_cast<int>(view.lines.size());
    wl.Poll(); // reading stopped at the reader: "PA" gives no reading
    EXPECT_EQ(view.lines.size(), before);

    // A Mini write: the block reaches the tag, the progress ends on "CO" 00 00.
    WLWriteValues values;
    values.memorySize = 0;
    values.data = "1000";
    sim.setWriteTicks(2);
    ASSERT_TRUE(wl.WriteTag(values));
    EXPECT_EQ(sim.tagData().toHex(), "0fa0");
    for (int i = 0; i < 5 && wl.WriteProgress > 0; ++i)
        wl.Poll();
    EXPECT_EQ(view.lines.last(), "Tag erfolgreich beschrieben");
    // An error reply to every "CO" never counts as success.
    sim.faults().add({SimFault::Status, "CO", {}, 0, -1});
    ASSERT_TRUE(wl.WriteTag(values));
    for (int i = 0; i < 30 && wl.WriteProgress > 0; ++i)
        wl.Poll();
    EXPECT_EQ(view.lines.last(), "Tag Schreibfehler");
    EXPECT_FALSE(wl.StatusSet().has_value());
    sim.faults().clear();

    sim.setStatus(0x81, 0x40);
    const auto status = wl.StatusSet(); // two characters are enough
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->error, 0x81);
    EXPECT_EQ(status->state, 0x40);

    sim.setInputs(true, false, true);
    wl.OutputSet(true, false);
    const auto lit = wl.InputSet();
    ASSERT_TRUE(lit.has_value());
    EXPECT_EQ(*lit, (std::array<bool, 5>{true, false, true, true, false}));
}

TEST_F(WLFramedE2E, APortThatHangsUpWhileTheWriteRunsFailsItAtOnce)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    sim.setStatus(0x00, 0x20); // the reader keeps reporting a write as running
    WLWriteValues values;
    values.data = "7";
    ASSERT_TRUE(wl.WriteTag(values));
    wl.Poll();
    wl.Poll();
    ASSERT_GT(wl.WriteProgress, 0);
    sim.hangUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wl.WriteProgress == 0; }, 3000));
    EXPECT_EQ(view.lines.last(), "Tag Schreibfehler");
    EXPECT_FALSE(view.writeRunning);
    EXPECT_FALSE(lk->PollTimerEnabled());
}

// "KA" that brings no handle is not handle 00: that input is never asked, while a reader's
// handle 00 is released like any other.
TEST_F(WLFramedE2E, InputHandleZeroIsAHandleAndNoReplyIsNone)
{
    sim.setParameters(kMorsek);
    sim.faults().add({SimFault::Truncate, "KA", {}, 0, 1}); // input 1: no data
    ASSERT_TRUE(selectWL());
    sim.clearBodies();
    const auto lit = wl.InputSet();
    ASSERT_TRUE(lit.has_value());
    EXPECT_FALSE((*lit)[0]);
    EXPECT_EQ(commands(), (QList<QByteArray>{"KC", "KC", "JC", "JC"}));

    wl.InputHandles[0] = '\0';
    sim.clearBodies();
    wl.CloseLK();
    QList<QByteArray> released;
    for (const QByteArray& b : sim.bodies())
        if (b.mid(1, 2) == "KB")
            released.append(b.mid(3));
    EXPECT_EQ(released, (QList<QByteArray>{QByteArray(1, '\0'), "\x22", "\x23"}));
}

TEST_F(WLFramedE2E, NormalModeShowsTheReadersLines)
{
    sim.setParameters("On" + kMorsek.mid(2));
    ASSERT_TRUE(selectWL());
    ASSERT_TRUE(wl.NormalMode);
    // A motion line of 29 characters: its last two bytes are shown as a number / 4.
    const QByteArray motion = "$00000012 motion measured   " + QByteArray("\x00\x08", 2);
    sim.addLine(motion);
    sim.addLine("$reader line");
    sim.addLine("$00000012 too short" + QByteArray("\x00\x08", 2));
    for (int i = 0; i < 4; ++i)
        wl.Poll();
    ASSERT_GE(view.lines.size(), 3);
    EXPECT_EQ(view.lines[view.lines.size() - 3], motion.mid(1, 27) + "2");
    EXPECT_EQ(view.lines[view.lines.size() - 2], "reader line");
    EXPECT_EQ(view.lines.last(), "00000012 too short" + QByteArray("\x00\x08", 2));
    // The link's data items of this window are whole numbers it stores; leaving the system
    // stops the reader, releases the inputs, keeps three items in the settings and leaves
    // the poll timer off for the next system.
    const std::pair<int16_t, int> items[] = {{200, 1}, {202, 7}, {203, 16}, {204, 32}};
    for (const auto& [id, value] : items)
        lk->LkPutData(id, value);
    lk->LkPutData(201, 9); // no item of this window
    for (const auto& [id, value] : items)
        EXPECT_EQ(item(id).toInt(), value) << id;
    QVariant untouched(QStringLiteral("x"));
    lk->LkGetData(201, untouched);
    EXPECT_EQ(untouched.toString(), "x");
    sim.clearBodies();
    wl.CloseLK();
    EXPECT_EQ(commands(), (QList<QByteArray>{"CN", "DB", "KB", "KB", "KB"}));
    const std::pair<const char*, const char*> stored[] = {
        {"OperationMode", "1"}, {"StartAddress", "16"}, {"DataLength", "32"}};
    for (const auto& [key, value] : stored)
        EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidWL"), QString::fromLatin1(key), QString()), value) << key;
    EXPECT_FALSE(lk->PollTimerEnabled());
}

TEST_F(WLFramedE2E, DatabaseListsAddsAndDeletes)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    const QList<QList<quint32>> sets = {{}, {7}, {1, 0xFFFFFFFFu, 0x80000000u}};
    for (const QList<quint32>& ids : sets) {
        sim.setDatabase(ids);
        EXPECT_EQ(wl.ReadDatabase(), ids);
        EXPECT_FALSE(wl.ReadErrorFlag);
    }
    sim.setEndlessNext(true); // "FF" repeats the last ID for ever
    EXPECT_EQ(wl.ReadDatabase(), sets[2]);
    sim.setEndlessNext(false);
    sim.faults().add({SimFault::Silence, "FE", {}, 0, 4}); // one "FE" silent: asked again
    EXPECT_EQ(wl.ReadDatabase(), sets[2]);
    sim.faults().add({SimFault::Silence, "FE", {}, 0, 8});
    EXPECT_FALSE(wl.ReadDatabase().has_value());
    // An error reply is no data, whatever it carries: "FE" is asked again.
    sim.faults().add({SimFault::Status, "FE", QByteArray("\x01\x00\x00\x00\x07", 5), 0, 1});
    EXPECT_EQ(wl.ReadDatabase(), sets[2]);
    // An "FF" done by the reader whose reply is lost twice: after the resync the next "FF"
    // is a new request and the reader steps past an entry. The walk starts over, once.
    sim.wrongToggleNext(2, "FF");
    EXPECT_EQ(wl.ReadDatabase(), sets[2]);
    sim.wrongToggleNext(6, "FF"); // four lost in the first walk, two in the second
    EXPECT_FALSE(wl.ReadDatabase().has_value());

    EXPECT_TRUE(wl.AddDatabase(12345));
    EXPECT_TRUE(wl.DeleteDatabase(1));
    EXPECT_EQ(wl.ReadDatabase(), (QList<quint32>{0xFFFFFFFFu, 0x80000000u, 12345}));
}

TEST_F(WLFramedE2E, PollTickInsideAnExchangeSendsNothing)
{
    sim.setParameters(kMorsek);
    ASSERT_TRUE(selectWL());
    sim.setTag(true, 5);
    wl.ReadData(true);
    sim.clearBodies();
    sim.faults().add({SimFault::Delay, "QA", {}, 200, 1});
    QTimer::singleShot(50, [this] { wl.Poll(); });
    QByteArray reply;
    EXPECT_GT(wl.LKRead("QA", reply), 0);
    EXPECT_EQ(commands(), QList<QByteArray>{"QA"});
}

} // namespace
} // namespace orvid::test
