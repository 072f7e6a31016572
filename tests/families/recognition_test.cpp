// Every serial simulator after input it could not finish: a recognition tries other
// families first (the stored system, then entries 1 to 8), whose probes a unit of this
// family may not be able to end. Like a unit's receiver after its inter-character
// time-out, the simulator forgets such input once the line falls quiet, so its own family
// is recognised next, whatever was tried before.
//
// And every family left for another entry: the stop of its close-down is answered, late
// or not, before the selection ends, so no answer is left to come for the next exchange.

#include "sim/SimHX.h"
#include "sim/SimKDFixcode.h"
#include "sim/SimKDReadWrite.h"
#include "sim/SimKR.h"
#include "sim/SimL.h"
#include "sim/SimWD.h"
#include "sim/SimWL.h"
#include "support/FakeShell.h"
#include "support/TestContext.h"

#include "families/Families.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>
#include <memory>
#include <unistd.h>

namespace orvid::test {
namespace {

constexpr int kLateAnswerMs = 150;   // within every family's time-out

struct Row {
    const char* name;
    std::function<std::unique_ptr<PtyHarness>()> make;
    int16_t entry;
    QByteArray unfinished;   // what another family left on the line
    // Delays the answers to the family's stop (Init's and the close-down's); none where
    // the close-down sends no stop while nothing runs.
    void (*answerStopLate)(PtyHarness&) = nullptr;
    int16_t elsewhere = 1;   // an entry whose telegrams the simulator leaves unanswered
};

template <class Sim>
std::unique_ptr<PtyHarness> started()
{
    auto sim = std::make_unique<Sim>();
    sim->start();   // the inductive system D simulators run from their construction
    return sim;
}

// The microwave system D probes (tried first when that system is the stored one) have no
// "#" before their CR; the inductive system D read/write probes end in ETX without CR. A
// unit that ends its telegrams on any line end or ETX gets a probe cut short, as a program
// closed in the middle of a telegram leaves it.
template <class Sim>
void answerLate(PtyHarness& device, const char* stop)
{
    static_cast<Sim&>(device).delayNext(stop, kLateAnswerMs, 2);
}

const Row kRows[] = {
    {"hx", started<SimHX>, 1, "::00?70@@\r::00?16H@@\r"},
    {"kr", started<SimKR>, 2, "::00?70@@\r::00?16H@@\r", [](PtyHarness& d) { answerLate<SimKR>(d, "QU"); }},
    {"l", started<SimL>, 7, "::00?70@@\r::00?16H@@\r", [](PtyHarness& d) { answerLate<SimL>(d, "QU"); }},
    {"wd", started<SimWD>, 6, "qq\x03oo\x03VV\x03", [](PtyHarness& d) { answerLate<SimWD>(d, "?70"); }},
    {"kd-fixcode", started<SimKDFixcode>, 4, "::00?70@@", [](PtyHarness& d) { answerLate<SimKDFixcode>(d, "RST"); }},
    {"kd-rw", started<SimKDReadWrite>, 5, "::00?16H@@", [](PtyHarness& d) { answerLate<SimKDReadWrite>(d, "o"); }},
    {"wl", started<SimWL>, 8, QByteArray("\x02\x81$\x05", 4)},
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

// The program's link on the port of the row's simulator, every family registered.
struct Program {
    explicit Program(PtyHarness& device) : ports(tc.ctx), lk(tc.ctx)
    {
        tc.settings->write(QStringLiteral("Port"), QStringLiteral("Port"), device.slavePath());
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        tc.ctx.ports = &ports;
        ports.InitPort();
        tc.ctx.lk = &lk;
        lk.InitSystems();
        RegisterFamilies(tc.ctx);
    }
    ~Program() { tc.ctx.lk = nullptr; }
    bool select(int16_t entry)
    {
        bool askRetry = false;
        return lk.SelectSystem(entry, askRetry);
    }

    TestContext tc;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    Ports ports;
    LK lk;
};

class Recognition : public ::testing::TestWithParam<Row> {};

TEST_P(Recognition, AfterUnfinishedInputAndAPauseTheFamilyIsRecognised)
{
    const Row& row = GetParam();
    const std::unique_ptr<PtyHarness> device = row.make();
    ASSERT_TRUE(device->isValid());
    device->allowDroppedInput(); // another program's probe is left on the line on purpose
    Program program(*device);
    TestContext& tc = program.tc;

    // Another program's probe on the line, then a pause longer than a unit's
    // inter-character time-out.
    const int fd = ::open(device->slavePath().toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, row.unfinished.constData(), row.unfinished.size()), row.unfinished.size());
    ::close(fd);
    ASSERT_TRUE(device->waitForBytes(row.unfinished.size(), 2000));
    QTest::qWait(3 * PtyHarness::kInterCharacterTimeoutMs);
    const qsizetype heard = device->transcript().size();
    const qsizetype taken = device->telegrams().size();

    // The recognition tries the family's entry first, as when it is the stored system.
    EXPECT_TRUE(program.select(static_cast<int16_t>(-row.entry)));
    EXPECT_EQ(tc.state.CurrentSystem, row.entry);
    // The first telegram the unit took after the pause is the program's own, not joined
    // to what was left before it.
    const QList<QByteArray> telegrams = device->telegrams().mid(taken);
    ASSERT_FALSE(telegrams.isEmpty());
    EXPECT_EQ(telegrams.first(), device->transcript().mid(heard, telegrams.first().size()));
}

class Leaving : public ::testing::TestWithParam<Row> {};

TEST_P(Leaving, TheCloseDownLeavesNoAnswerToCome)
{
    const Row& row = GetParam();
    const std::unique_ptr<PtyHarness> device = row.make();
    ASSERT_TRUE(device->isValid());
    device->allowDroppedInput(); // the other entry's probes are foreign to it
    Program program(*device);
    ASSERT_TRUE(program.select(row.entry));

    row.answerStopLate(*device);
    program.select(row.elsewhere);
    EXPECT_FALSE(QTest::qWaitFor([&] { return program.ports.PortDataAvailable(); }, 2 * kLateAnswerMs));
}

std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    QByteArray name(info.param.name);
    return name.replace('-', '_').toStdString();
}

INSTANTIATE_TEST_SUITE_P(EverySerialSimulator, Recognition, ::testing::ValuesIn(kRows),
                         rowName);

std::vector<Row> rowsWithAStop()
{
    std::vector<Row> rows;
    std::copy_if(std::begin(kRows), std::end(kRows), std::back_inserter(rows),
                 [](const Row& row) { return row.answerStopLate != nullptr; });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(EverySerialSimulator, Leaving, ::testing::ValuesIn(rowsWithAStop()),
                         rowName);

} // namespace
} // namespace orvid::test
