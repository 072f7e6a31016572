// Every serial simulator after input it could not finish: a recognition tries other
// families first (the stored system, then entries 1 to 8), whose probes a unit of this
// family may not be able to end. Like a unit's receiver after its inter-character
// time-out, the simulator forgets such input once the line falls quiet, so its own family
// is recognised next, whatever was tried before.
//
// And every family left for another entry: the stop of its close-down is answered, late
// or not, before the selection ends, so no answer is left to come for the next exchange.
//
// And every family's running read meeting a command sent by hand: the command gets its
// own answer, and the read loses nothing and goes on.

#include "sim/SimHX.h"
#include "sim/SimKDFixcode.h"
#include "sim/SimKDReadWrite.h"
#include "sim/SimKR.h"
#include "sim/SimL.h"
#include "sim/SimWD.h"
#include "sim/SimWL.h"
#include "support/FakeShell.h"
#include "support/TestContext.h"

#include "support/RealInput.h"

#include "families/Families.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "families/hx/frmSystemHX.h"
#include "families/kd/frmSystemKDFixcode.h"
#include "families/kd/frmSystemKDReadWrite.h"
#include "families/kr/frmSystemKR.h"
#include "families/wd/frmSystemWD.h"
#include "families/wl/frmSystemL.h"
#include "families/wl/frmSystemWL.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/ctrlList.h"
#include "shell/frmCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
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

// ---- a command sent by hand while a read runs --------------------------------------------

// A family's read that goes on by itself, started through its window.
struct RunningRead {
    const char* name;
    std::function<std::unique_ptr<PtyHarness>()> make;   // the unit, its tag in the field
    int16_t entry;
    std::function<void(QWidget& window)> start;
    QString command;      // typed into the command window
    QByteArray received;  // in every frame of the read the unit sends
    QString listed;       // in every line of it the window lists
    // Makes the unit answer the read sent next later than its time-out, or the command
    // after the read's next frames.
    std::function<void(PtyHarness&)> slow = {};
};

void PrintTo(const RunningRead& row, std::ostream* os)
{
    *os << row.name;
}

template <class Sim>
std::unique_ptr<PtyHarness> unit(const std::function<void(Sim&)>& setUp)
{
    auto sim = std::make_unique<Sim>();
    setUp(*sim);
    sim->start();
    return sim;
}

// An entry of the box chosen as the user does.
void choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void chooseMode(QComboBox* box, int mode)
{
    choose(box, box->findData(mode));
}

// Inductive system D: a read in the window's mode modeIndex.
template <class Window>
void kdRead(QWidget& w, int modeIndex, QPushButton* Window::*read)
{
    auto& kd = static_cast<Window&>(w);
    choose(kd.cmbMode, modeIndex);
    ASSERT_TRUE(clickOn(kd.*read));
}

std::unique_ptr<PtyHarness> hxUnit()
{
    return unit<SimHX>([](SimHX& s) {
        s.setRepeatInterval(30);
        s.withTag(1, [](SimHX::Tag& t) { t.memory.replace(0, 4, "abcd"); });
        s.withTag(2, [](SimHX::Tag& t) { t.memory.replace(0, 4, "wxyz"); });
        s.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray("\x00\x05", 2); });   // no profile to choose
    });
}

// Buffered is not among the window's modes: it comes as the link's data item.
void hxRead(QWidget& w, int mode)
{
    auto& hx = static_cast<frmSystemHX&>(w);
    ASSERT_TRUE(clickOn(hx.rdHead[0]));
    if (hx.cmbMode->findData(mode) >= 0)
        chooseMode(hx.cmbMode, mode);
    else
        hx.PutData(KRItem::OperationMode, mode);
    ASSERT_TRUE(clickOn(hx.btRead));
}

std::unique_ptr<PtyHarness> krUnit()
{
    return unit<SimKR>([](SimKR& s) {
        s.writeMemory(0, "ABCDEFGHIJKLMNOPQRST");
        s.setRepeatInterval(40);
    });
}

const RunningRead kRunningReads[] = {
    {"wd_loop", [] { return unit<SimWD>([](SimWD& s) { s.addTag(0x12345678), s.setAckDelay(150); }); }, 6,
     [](QWidget& w) {
         auto& wd = static_cast<frmSystemWD&>(w);
         ASSERT_TRUE(clickOn(wd.chkLoop));
         ASSERT_TRUE(clickOn(wd.btIdCodeRead));
     },
     QStringLiteral("?16H"), "78563412", QStringLiteral("ID-Code =12345678")},
    {"kd_continuous", [] { return unit<SimKDFixcode>([](SimKDFixcode& s) { s.setTag(0, 0x123, 17767); }); }, 4,
     [](QWidget& w) { kdRead(w, 2, &frmSystemKDFixcode::btFixcode); }, QStringLiteral("VER"), "12317767",
     QStringLiteral("12317767")},
    {"kd_readwrite_auto",
     [] { return unit<SimKDReadWrite>([](SimKDReadWrite& s) { s.setCarrier(0, 0, "NCXCODE1"); }); }, 5,
     [](QWidget& w) { kdRead(w, 1, &frmSystemKDReadWrite::btRead); }, QStringLiteral("V"), "NCXCODE1",
     QStringLiteral("NCXCODE1")},
    // A read of another head by hand.
    {"hx_buffered", hxUnit, 1, [](QWidget& w) { hxRead(w, 1); }, QStringLiteral("SR2000001"), "abcd",
     QStringLiteral("abcd")},
    {"hx_enhanced", hxUnit, 1, [](QWidget& w) { hxRead(w, 3); }, QStringLiteral("SR2000001"), "abcd",
     QStringLiteral("abcd")},
    {"kr_buffered", krUnit, 2,
     [](QWidget& w) {
         auto& kr = static_cast<frmSystemKR&>(w);
         chooseMode(kr.cmbMode, 1);
         ASSERT_TRUE(clickOn(kr.btRead));
     },
     QStringLiteral("VE"), "ABCDEFGH", QStringLiteral("ABCDEFGH")},
    {"kr_autolesen", krUnit, 2, [](QWidget& w) { ASSERT_TRUE(clickOn(static_cast<frmSystemKR&>(w).btAutoRead)); },
     QStringLiteral("VE"), "ABCDEFGH", QStringLiteral("ABCDEFGH"),
     [](PtyHarness& d) { static_cast<SimKR&>(d).delayNext("S", 600); }},
    {"l_buffered", [] { return unit<SimL>([](SimL& s) { s.writeMemory(0, "ABCDEFGH"), s.setRepeatInterval(40); }); },
     7,
     [](QWidget& w) {
         auto& l = static_cast<frmSystemL&>(w);
         l.PutData(WLItem::DataLength, 8);
         choose(l.cmbMode, 1);
         ASSERT_TRUE(clickOn(l.btRead));
     },
     QStringLiteral("VE"), "ABCDEFGH", QStringLiteral("ABCDEFGH"),
     [](PtyHarness& d) { static_cast<SimL&>(d).delayNext("VE", kLateAnswerMs); }},
    // Each poll step of the framed reading is a transaction of its own ("PA"); the ID
    // comes as "ABCD".
    {"wl_lesen", [] { return unit<SimWL>([](SimWL& s) { s.setTag(true, 273715409); }); }, 8,
     [](QWidget& w) { ASSERT_TRUE(clickOn(static_cast<frmSystemWL&>(w).btFixcode)); },
     QStringLiteral("QA"), "ABCD", QStringLiteral("273715409")},
};

// The lines of the window's lists that hold text.
int listedLines(const QWidget& window, const QString& text)
{
    int lines = 0;
    for (const ctrlList* list : window.findChildren<ctrlList*>())
        lines += static_cast<int>(list->boxText(0).count(text));
    for (const TagDataList* list : window.findChildren<TagDataList*>()) {
        for (int row = 0; row < list->count(); ++row)
            lines += list->LineText(row).contains(text) ? 1 : 0;
    }
    return lines;
}

class HandCommand : public ::testing::TestWithParam<RunningRead> {};

// The poll timer's steps run between the Sends as the program runs them; a Send comes
// right after a step (a read just sent) or after a pause in which the read has sent more.
// Where the unit can be slow, the third and fourth Send meet a read it answers after its
// time-out.
TEST_P(HandCommand, GetsItsOwnAnswerAndTheReadLosesNothingAndGoesOn)
{
    const RunningRead& row = GetParam();
    const std::unique_ptr<PtyHarness> device = row.make();
    ASSERT_TRUE(device->isValid());
    Program program(*device);
    // The head types as shipped: a head the file names can be chosen.
    QFile heads(QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).filePath(QStringLiteral("ORVIDHX.INI")));
    ASSERT_TRUE(heads.open(QIODevice::ReadOnly));
    program.tc.writeProgramFile(QStringLiteral("ORVIDHX.INI"), heads.readAll());
    ASSERT_TRUE(program.select(row.entry));
    ISystemForm* form = program.lk.CurrentWindow();
    auto* window = dynamic_cast<QWidget*>(form);
    ASSERT_NE(window, nullptr);
    form->Show();
    frmCommand command(program.tc.ctx);
    program.tc.ctx.command = &command;
    const auto leaving = qScopeGuard([&] { program.tc.ctx.command = nullptr; });
    command.Show();
    command.findChild<QComboBox*>(QStringLiteral("cmbCommand"))->setEditText(row.command);
    QPushButton* send = command.findChild<QPushButton*>(QStringLiteral("btSend"));
    const QLineEdit* answer = command.findChild<QLineEdit*>(QStringLiteral("txtSensor"));
    // Its own answer, while nothing runs.
    ASSERT_TRUE(clickOn(send));
    const QString own = answer->text();
    ASSERT_FALSE(own.isEmpty());

    ASSERT_TRUE(activate(window));
    row.start(*window);
    for (int sent = 0; sent < 6; ++sent) {
        if (row.slow && sent / 2 == 1)
            row.slow(*device);
        program.lk.LkPoll();
        if (sent % 2 == 1)
            QTest::qWait(100);
        ASSERT_TRUE(clickOn(send));
        EXPECT_EQ(answer->text().toStdString(), own.toStdString()) << "send " << sent;
    }
    const int listed = listedLines(*window, row.listed);
    for (int step = 0; step < 20 && listedLines(*window, row.listed) == listed; ++step) {
        program.lk.LkPoll();
        QTest::qWait(50);
    }
    EXPECT_GT(listedLines(*window, row.listed), listed) << "the read goes on";

    const QList<QByteArray>& monitor = program.monitor.lines;
    const auto received = std::count_if(monitor.begin(), monitor.end(), [&](const QByteArray& line) {
        return line.startsWith("R: ") && line.contains(row.received);
    });
    EXPECT_EQ(listedLines(*window, row.listed), received) << "every frame of the read is listed";
    const auto flushed = std::count_if(monitor.begin(), monitor.end(), [](const QByteArray& line) {
        return line.startsWith('F');
    });
    EXPECT_EQ(flushed, 0) << monitor.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, HandCommand, ::testing::ValuesIn(kRunningReads),
                         [](const ::testing::TestParamInfo<RunningRead>& info) { return info.param.name; });

} // namespace
} // namespace orvid::test
