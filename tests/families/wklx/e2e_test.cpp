// The KLX9000 family end to end through SelectSystem(9) against SimKLX on loopback: the
// handshake, the status handling of every exchange, tag reports, tag writes, the command
// window's route, and leaving the reader (for the interface unit on Ethernet, which shares
// the one connection, and for a serial entry) with a write and a Beep still running.
#include "KLXFixture.h"

#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "families/common/frmSystemWLWrite.h"
#include "families/hx/RegisterHX.h"
#include "families/hx/frmSystemHX.h"
#include "families/wklx/frmSystemWKLX9000Parameter.h"
#include "shell/ctrlList.h"
#include "sim/SimHX.h"
#include "support/RealInput.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace orvid;
using namespace orvid::test;

namespace {

class KLXEndToEnd : public KLXFixture {
protected:
    // A write the reader holds (no tag in the field answers it), given through the window
    // and its dialog.
    void writePending(bool held = true)
    {
        whenModal<frmSystemWLWrite>([](frmSystemWLWrite* d) {
            d->txtData->setText(QStringLiteral("5"));
            d->findChild<QPushButton*>(QStringLiteral("btOk"))->click();
        });
        ASSERT_TRUE(clickOn(window->btWrite));
        ASSERT_TRUE(window->klx().WritePending || !held);
    }
};

using KLXReaders = EachReader<KLXEndToEnd>;
KLX_FOR_EACH_READER(KLXReaders);

TEST_P(KLXReaders, HandshakeCases)
{
    struct Case {
        QByteArray version, second;
        int truncate;          // first HELO reply cut to this many characters (0: whole)
        bool found;
        QByteArray secondCommand;
    } cases[] = {
        {"TAGP/1.7 build 3", "00", 0, true, "HELOTAGP/1.7"},
        {"XYZ", "00", 0, true, "HELOTAGP/1.5"},
        {"TAGP/1.6", "00", 9, false, {}},          // "RPLYHELO0": no version
        {"TAGP/1.6", "05", 0, false, "HELOTAGP/1.6"}, // second HELO refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.version + " " + c.second).constData());
        sim.setVersion(c.version);
        sim.setHelloStatus("00", c.second);
        if (c.truncate)
            sim.faults().add({SimFault::Truncate, "HELO", {}, c.truncate, 1});
        sim.clearTranscript();
        EXPECT_EQ(select(), c.found);
        const QList<QByteArray> got = sent();
        ASSERT_GE(got.size(), 2);
        EXPECT_EQ(got[0], "HELO");
        EXPECT_EQ(got.size() > 2 ? got[1] : QByteArray(), c.secondCommand);
        QVariant type, version;
        lk->LkGetData(1, type);
        lk->LkGetData(2, version);
        EXPECT_EQ(type.toByteArray(), c.found ? QByteArray("KLX9000") : QByteArray());
        EXPECT_EQ(version.toByteArray(), c.found ? c.version : QByteArray());
        EXPECT_EQ(window->btParameter->isEnabled(), c.found);
        // A failed handshake leaves the connection open.
        EXPECT_TRUE(net->NetIsConnected());
        sim.faults().clear();
        lk->CloseSystem();
    }
}

TEST_F(KLXEndToEnd, RefusedConnectionShowsMessage7)
{
    window->klx().Port = unusedLocalPort();
    EXPECT_FALSE(select());
    EXPECT_TRUE(tc.presenter.numbers().contains(7));
}

// One command through the link's route (as the command window sends it), for every way a
// reply can end, with the head-error option on and off.
TEST_P(KLXReaders, StatusTable)
{
    ready();
    struct Case {
        const char* command;
        SimFault fault;
        bool useFault;
        int count;
        QByteArray listLine;   // with ReadHeadError on ("" none)
    } cases[] = {
        {"GET LED", {}, false, 7, {}},
        {"SET LED=RED", {}, false, 0, {}},
        {"SET LED=RED", {SimFault::Status, "SET", "12", 0, 1}, true, 0, "FEHLER:  SET  12 - "},
        {"GET LED", {SimFault::Status, "GET", "0A", 0, 1}, true, 0, "FEHLER:  GET  0A - "},
        {"GET LED", {SimFault::Truncate, "GET", {}, 6, 1}, true, 0, "FEHLER:  GET  Invalid response <RPLYGE>"},
        {"GET LED", {SimFault::Silence, "GET", {}, 0, 1}, true, 0, {}},
        {"xyz1", {}, false, 0, "FEHLER:  xyz1 99 - "},
    };
    for (const bool headErrors : {true, false}) {
        tc.state.ReadHeadError = headErrors;
        for (const Case& c : cases) {
            SCOPED_TRACE((QByteArray(c.command) + (headErrors ? " on" : " off")).constData());
            if (c.useFault)
                sim.faults().add(c.fault);
            window->btClear->click();
            QByteArray reply;
            bool ok = false;
            EXPECT_EQ(lk->SendCommand(c.command, reply, QVariant(true), ok), c.count);
            if (c.count > 0) {
                EXPECT_TRUE(reply.startsWith("LED=")) << reply.constData();
            }
            EXPECT_EQ(lines().value(0), headErrors ? c.listLine : QByteArray());
            sim.faults().clear();
            sim.waitIdle();
        }
    }

    // A reader that answers only with replies naming other commands: past the ones skipped,
    // the exchange fails as unanswered.
    QByteArray foreign;
    for (int i = 0; i < 40; ++i)
        foreign += "RPLYGET 00LED=RED\n";
    sim.setHandler([foreign](const QByteArray&) { return TcpScript{TcpStep::send(foreign)}; });
    QByteArray reply;
    bool ok = false;
    EXPECT_EQ(lk->SendCommand("SET LED=RED", reply, QVariant(true), ok), 0);
    EXPECT_FALSE(window->LastExchangeOk());
}

// A reply that comes after its time-out is skipped by the next exchange instead of being
// taken as its reply; lower-case commands still match their replies.
TEST_P(KLXReaders, LateSplitAndInterleavedReplies)
{
    ready();
    sim.faults().add({SimFault::Delay, "SET RELAY", {}, kTimeoutMs * 2, 1});
    sim.faults().add({SimFault::Status, "SET RELAY", "12", 0, 1});
    clsParameter relay, led;
    relay.Init(QStringLiteral("RELAY"), QStringLiteral("ON"));
    led.Init(QStringLiteral("LED"), QStringLiteral("x"));
    sim.setParameter("LED", "GREEN");
    window->WriteCmd(relay);
    EXPECT_FALSE(window->LastExchangeOk());
    DeviceWait::wait(kTimeoutMs * 2);
    EXPECT_GT(window->ReadCmd(led, false), 0);
    EXPECT_EQ(led.value(), QStringLiteral("GREEN"));
    QByteArray reply;
    bool ok = false;
    EXPECT_GT(lk->SendCommand("get LED", reply, QVariant(true), ok), 0);

    // A report pushed before the reply is listed, the reply still found; a reply in two
    // pieces is one reply.
    sim.addTag({7, SimKLX::Mini, 3, {}, true});
    sim.setEventBeforeReply(true);
    sim.faults().setSplit(50);
    window->btRead->click();
    led.Init(QStringLiteral("LED"), QStringLiteral("x"));
    EXPECT_GT(window->ReadCmd(led, false), 0);
    EXPECT_EQ(led.value(), QStringLiteral("GREEN"));
    EXPECT_EQ(last(), "IDCODE: 00000007 MINI: 3");

    // A reader that hangs up: the exchange fails and the connection is gone.
    sim.faults().add({SimFault::HangUp, "GET", {}, 0, 1});
    EXPECT_EQ(window->ReadCmd(led, false), 0);
    EXPECT_TRUE(waitFor([this] { return !net->NetIsConnected(); }));
}

// The reader answers every line once, in order: each reply goes to its own command, told by
// order and time, whatever the reader is late with or never answers. A step is a command
// sent as the command window sends it (the payload it gets, "" when it fails), "@Relay ON"
// (the outputs window's click: the label, the state the reader then reports),
// "@Aktualisieren" (its refresh: the buzzer's label), "@Parameter" ("dialog" when it
// opened), "@Schreiben" (a write through the dialog, no tag in the field), "@Lesen",
// "@Stop", "+line" (pushed by the reader), "-line" (pushed without its LF), "*ms" (a tag
// report pushed every ms from now on) or "=NAME value" (the reader's state). A step whose
// result ends in "at once", "waited" or "waited long" took less than half a time-out, less
// than three, or more. Each case ends with a GET that gets its own reply, and with the
// list it must show.
TEST_P(KLXReaders, RepliesAreToldApartByOrderAndTime)
{
    frame.setMenuChecked(MenuEntry::IO, true);
    ASSERT_TRUE(select());
    window->Show();
    auto* io = static_cast<frmSystemWKLX9000IO*>(lk->entry(9).io());
    ASSERT_TRUE(waitFor([&] { return sim.transcript().endsWith("GET RELAY\n"); }));
    constexpr int kLate = kTimeoutMs * 3 / 2;
    using F = SimFault;
    // A report as this reader sends it: pushed ("+"), or without its LF ("-"), or short of
    // its class ("SHORT" of a Quarter's 20 characters) without its LF.
    const auto report = [this](char how, quint32 id, int cls) {
        const QByteArray line = sim.report({id, cls, 3, "SHORT", true}).chopped(sim.lineEnd().size());
        return how == 's' ? "-" + line.left(line.indexOf("SHORT") + 5) : how + line;
    };
    struct Case {
        const char* what;
        QList<SimFault> faults;
        QList<std::pair<QByteArray, QByteArray>> steps;
        QList<QByteArray> lines;
        int timeoutMs = kTimeoutMs;
    } cases[] = {
        {"slow but in order", {{F::Delay, "GET", {}, kLate, 3}},
         {{"GET BUZZER", ""}, {"GET LED", ""}, {"GET RELAY", ""},
          {"GET BUZZER", "BUZZER=OFF"}, {"GET LED", "LED=GREEN"}, {"GET RELAY", "RELAY=OFF"}}, {}},
        {"slow, the same command twice", {{F::Delay, "GET LED", {}, kLate, 2}},
         {{"GET LED", ""}, {"=LED RED", ""}, {"GET LED", "LED=RED"}}, {}},
        {"a setting refused late", {{F::Delay, "SET RELAY", {}, kLate, 1}, {F::Status, "SET RELAY", "12", 0, 1}},
         {{"@Relay ON", "ON"}}, {"FEHLER:  SET  <TIMEOUT>", "FEHLER:  SET  12 - "}},
        {"a line never answered", {{F::Silence, "GET LED", {}, 0, 1}}, {{"GET LED", ""}, {"GET LED", "LED=GREEN"}}, {}},
        {"two lines never answered", {{F::Silence, "PUSHTAG STOP", {}, 0, 1}, {F::Silence, "GET CARRIER", {}, 0, 1}},
         {{"@Parameter", ""}, {"@Parameter", "dialog"}}, {}},
        {"a write refused late", {{F::Delay, "PUSHTAG *", {}, kLate, 1}, {F::Status, "PUSHTAG *", "12", 0, 1}},
         {{"@Schreiben", ""}}, {"Tag schreiben aktiv", "FEHLER:  PUSH 12 - ", "Tag schreiben fehlgeschlagen"}},
        {"a reply without its LF", {{F::Unterminated, "GET BUZZER", {}, 0, 2}},
         {{"@Schreiben", ""}, {"GET BUZZER", ""}, {"GET LED", "LED=GREEN"}, {"GET BUZZER", ""}, {"+EVNTWRIT*", ""}},
         {"Tag schreiben aktiv", "Tag erfolgreich beschrieben"}},
        {"a dripping reply", {{F::Drip, "GET BUZZER", {}, kTimeoutMs / 3, 1}}, {{"GET BUZZER", ""}, {"GET LED", "LED=GREEN"}}, {}},
        // A stop's reply is not looked at, so it is never held: the action goes on at once.
        {"Stop after a stop never answered", {{F::Silence, "PUSHTAG STOP", {}, 0, 1}},
         {{"@Stop", ""}, {"@Stop", "at once"}}, {}, 2000},
        {"Parameter after a stop never answered", {{F::Silence, "PUSHTAG STOP", {}, 0, 1}},
         {{"@Stop", ""}, {"@Parameter", "dialog at once"}}, {}, 2000},
        {"Schreiben after a stop never answered", {{F::Silence, "PUSHTAG STOP", {}, 0, 1}},
         {{"@Stop", ""}, {"@Schreiben", "at once"}, {"+EVNTWRIT*", ""}},
         {"Tag schreiben aktiv", "Tag erfolgreich beschrieben"}, 2000},
        // A GET's reply is held; reports coming meanwhile do not lengthen the hold.
        {"a reply held while reports come", {{F::Silence, "GET LED", {}, 0, 1}},
         {{"GET LED", ""}, {"*100", ""}, {"GET LED", "LED=GREEN waited"}}, {}, 1000},
        {"an event without its LF", {},
         {{"@Lesen", ""}, {"=BUZZER ON", ""}, {"-EVNTTAG FFFFFFFF", ""}, {"@Aktualisieren", "ON"},
          {"=BUZZER OFF", ""}, {"@Stop", ""}}, {}},
        {"a reply cut short by a report",
         {{F::Truncate, "GET BUZZER", {}, 14, 1}, {F::Unterminated, "GET BUZZER", {}, 0, 1}, {F::Report, "GET BUZZER", {}, 7, 1}},
         {{"@Lesen", ""}, {"GET BUZZER", ""}, {"GET LED", "LED=GREEN"}, {"@Stop", ""}}, {"IDCODE: 00000007 MINI: 0"}},
        // A line that lost its LF ends where a whole line of the reader begins.
        {"a report without its LF, then a reply, an event, a report", {},
         {{"@Schreiben", ""}, {"@Lesen", ""}, {report('-', 7, SimKLX::Mini), ""}, {"GET LED", "LED=GREEN at once"},
          {report('-', 8, SimKLX::Quarter), ""}, {"+EVNTWRIT*", ""}, {report('-', 9, SimKLX::Full), ""},
          {report('+', 10, SimKLX::Mini), ""}, {"@Stop", ""}},
         {"Tag schreiben aktiv", "IDCODE: 00000007 MINI: 3", "IDCODE: 00000008 QUARTER: SHORT" + QByteArray(14, ' ') + '\0',
          "Tag erfolgreich beschrieben", "IDCODE: 00000009 FULL: SHORT" + QByteArray(67, ' '), "IDCODE: 00000010 MINI: 3"}},
        {"a report short of its class without its LF, then a report", {},
         {{"@Lesen", ""}, {report('s', 7, SimKLX::Quarter), ""}, {report('+', 8, SimKLX::Mini), ""}, {"@Stop", ""}},
         {"IDCODE: 00000008 MINI: 3"}},
        {"a report without data and its LF, then a reply or a report", {},
         {{"@Lesen", ""}, {report('-', 42, SimKLX::NoData), ""}, {"GET LED", "LED=GREEN at once"},
          {report('-', 43, SimKLX::NoData), ""}, {report('+', 8, SimKLX::Mini), ""}, {"@Stop", ""}},
         {"IDCODE: 00000042 N/A", "IDCODE: 00000043 N/A", "IDCODE: 00000008 MINI: 3"}},
        {"a reply without its LF, then a report", {{F::Unterminated, "GET LED", {}, 0, 1}, {F::Report, "GET LED", {}, 7, 1}},
         {{"@Lesen", ""}, {"GET LED", "LED=GREEN at once"}, {"GET LED", "LED=GREEN"}, {"@Stop", ""}},
         {"IDCODE: 00000007 MINI: 0"}},
        // The rest of a reply cut at its time-out is its payload: a write event spelled in it
        // reports no write.
        {"the rest of a cut reply spelling an event",
         {{F::Truncate, "GET BUZZER", {}, 14, 1}, {F::Unterminated, "GET BUZZER", {}, 0, 1}},
         {{"@Schreiben", ""}, {"GET BUZZER", ""}, {"+ER=OFFEVNTWRIT*", ""}, {"GET LED", "LED=GREEN"}, {"@Stop", ""}},
         {"Tag schreiben aktiv", "Tag schreiben abgebrochen"}},
    };
    QTimer reports;
    QObject::connect(&reports, &QTimer::timeout, [this] {
        sim.play({TcpStep::send(sim.report({1, SimKLX::Mini, 1, {}, true}))});
    });
    const auto timed = [](QByteArray got, qint64 ms, int timeoutMs) {
        const char* took = ms < timeoutMs / 2 ? "at once" : ms < 3 * timeoutMs ? "waited" : "waited long";
        return got.isEmpty() ? QByteArray(took) : got + ' ' + took;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->btClear->click();
        sim.setParameter("LED", "GREEN");
        net->SetNetTimeout(c.timeoutMs);
        for (const SimFault& f : c.faults)
            sim.faults().add(f);
        for (const auto& [step, expected] : c.steps) {
            QByteArray got;
            bool ok = false;
            QElapsedTimer clock;
            clock.start();
            if (step == "@Relay ON" && clickOn(io->btRelay[1])) {
                got = io->lblRelay->text().toLatin1();
            } else if (step == "@Aktualisieren" && clickOn(io->btSet)) {
                got = io->lblBuzzer->text().toLatin1();
            } else if (step == "@Lesen" || step == "@Stop") {
                clickOn(step == "@Lesen" ? window->btRead : window->btStop);
            } else if (step == "@Parameter") {
                // The watcher ends with its step: a later step's dialog is not its own.
                const auto shown = std::make_shared<bool>(false);
                whenModal<frmSystemWKLX9000Parameter>([weak = std::weak_ptr<bool>(shown)](QDialog* d) {
                    if (const auto flag = weak.lock())
                        *flag = d->close();
                });
                EXPECT_TRUE(clickOn(window->btParameter));
                got = *shown ? "dialog" : "";
            } else if (step == "@Schreiben") {
                writePending();
            } else if (step.startsWith('+')) {
                const qsizetype seen = monitor.lines.size();
                sim.play({TcpStep::send(step.mid(1) + sim.lineEnd())});
                EXPECT_TRUE(waitFor([&] { return monitor.lines.size() > seen; }));
            } else if (step.startsWith('-')) {
                sim.play({TcpStep::send(step.mid(1) + sim.lineEnd().chopped(1))});
                EXPECT_TRUE(waitFor([this] { return net->NetDataAvailable(); }));
            } else if (step.startsWith('*')) {
                reports.start(step.mid(1).toInt());
            } else if (step.startsWith('=')) {
                sim.setParameter(step.mid(1, step.indexOf(' ') - 1), step.mid(step.indexOf(' ') + 1));
            } else if (lk->SendCommand(step, got, QVariant(true), ok) < 1) {
                got.clear();
            }
            if (expected.endsWith("at once") || expected.endsWith("waited"))
                got = timed(got, clock.elapsed(), c.timeoutMs);
            EXPECT_EQ(got.toStdString(), expected.toStdString()) << step.constData();
        }
        reports.stop();
        waitFor([&] { return lines() == c.lines; });
        QByteArray reply;
        bool ok = false;
        lk->SendCommand("GET LED", reply, QVariant(true), ok);
        EXPECT_EQ(reply.toStdString(), "LED=" + sim.parameter("LED").toStdString());
        EXPECT_EQ(lines().join('|').toStdString(), c.lines.join('|').toStdString());
        sim.faults().clear();
    }
}

TEST_P(KLXReaders, TagReportsOnlyWhileReading)
{
    ready();
    SimKLX::Tag mini{0x0ABCDEF1, SimKLX::Mini, 16383, {}, true};
    QByteArray full(72, 'F');
    full[3] = '%';
    full[4] = '\n';
    full[5] = '\0';
    full[71] = 'G';   // its lowest bit is masked off
    SimKLX::Tag fullTag{1, SimKLX::Full, 0, full, true};
    SimKLX::Tag quarter{0x0FFFFFFF, SimKLX::Quarter, 0, "Quarter data ;,=%xx~", true};
    SimKLX::Tag none{42, SimKLX::NoData, 0, {}, true};
    for (const auto& t : {mini, fullTag, quarter, none})
        sim.addTag(t);
    sim.pushReports();
    sim.waitIdle();
    DeviceWait::wait(50);
    EXPECT_TRUE(lines().isEmpty());
    window->btRead->click();
    sim.pushReports();
    ASSERT_TRUE(waitFor([this] { return lines().size() == 4; }));
    QByteArray fullShown = full;
    fullShown[71] = 'F';
    EXPECT_EQ(lines()[0], "IDCODE: 180150001 MINI: 16383");
    EXPECT_EQ(lines()[1], "IDCODE: 00000001 FULL: " + fullShown);
    EXPECT_EQ(lines()[2], QByteArray("IDCODE: 268435455 QUARTER: Quarter data ;,=%xx") + char('~' & 192));
    EXPECT_EQ(lines()[3], "IDCODE: 00000042 N/A");
    window->btStop->click();
    sim.waitIdle();
    sim.pushReports();
    DeviceWait::wait(100);
    EXPECT_EQ(lines().size(), 4);
}

// Tag data is data: a tag whose data spells a line tag, the start of a report, "%" or an
// encoded CR is listed whole at every report, beside a plain tag, through Lesen.
TEST_P(KLXReaders, TagDataSpellingLineTagsIsListedWhole)
{
    ready();
    const SimKLX::Tag plain{5, SimKLX::Mini, 99, {}, true};
    const auto shown = [](const SimKLX::Tag& t) {
        const QByteArray data = t.data.leftJustified(t.cls == SimKLX::Full ? 72 : 20, ' ');
        return "IDCODE: " + QByteArray::number(t.id).rightJustified(8, '0')
               + (t.cls == SimKLX::Full ? " FULL: " + data.left(71) + char(data[71] & 254)
                                        : " QUARTER: " + data.left(19) + char(data[19] & 192));
    };
    const SimKLX::Tag tags[] = {
        {11, SimKLX::Quarter, 0, "TEST-EVNT-DATA", true},
        {12, SimKLX::Full, 0, QByteArray(50, 'f') + "RPLYGET 00LED=ON", true},
        {13, SimKLX::Quarter, 0, "EVNTTAG SIMKLX012345", true},
        {14, SimKLX::Quarter, 0, "RPLY%25EVNT%0A100%", true},
        {15, SimKLX::Full, 0, "EVNT\rRPLYGET 00\r" + QByteArray(52, 'c') + "EVNT", true},
    };
    sim.addTag(plain);
    clickOn(window->btRead);
    for (const SimKLX::Tag& tag : tags) {
        SCOPED_TRACE(tag.data.constData());
        window->btClear->click();
        monitor.lines.clear();
        const int index = sim.addTag(tag);
        sim.setReportRate(150);
        const auto listed = [&](const QByteArray& line) { return lines().count(line); };
        EXPECT_TRUE(waitFor([&] { return listed(shown(tag)) >= 3; }, 3000));
        sim.setReportRate(0);
        sim.setTagPresent(index, false);
        sim.waitIdle();
        DeviceWait::wait(50);
        EXPECT_EQ(listed(shown(tag)) + listed("IDCODE: 00000005 MINI: 99"), lines().size());
        EXPECT_GE(listed("IDCODE: 00000005 MINI: 99"), listed(shown(tag)));
        for (const QByteArray& entry : monitor.lines)
            EXPECT_FALSE(entry.startsWith("F: ")) << entry.constData();
    }
    clickOn(window->btStop);
}

// A reader that reports two tags every 2 ms from the connect on: every selection finds it,
// every exchange gets its own reply, and every report is listed with its fields.
TEST_P(KLXReaders, ReportsFromTheConnectOn)
{
    sim.addTag({7, SimKLX::Quarter, 0, "quarter data", true});
    sim.addTag({8, SimKLX::Full, 0, "full data", true});
    sim.setReportRate(2);
    int found = 0;
    for (int i = 0; i < 10; ++i)
        found += select();
    EXPECT_EQ(found, 10);
    window->Show();
    monitor.lines.clear();
    QByteArray reply;
    bool ok = false;
    EXPECT_GT(lk->SendCommand("GET LED", reply, QVariant(true), ok), 0);
    EXPECT_EQ(reply, "LED=OFF");
    whenModal<frmSystemWKLX9000Parameter>([](frmSystemWKLX9000Parameter* d) {
        EXPECT_EQ(d->txtFilterTimeout->text(), QStringLiteral("1000"));
        d->reject();
    });
    EXPECT_TRUE(clickOn(window->btParameter));
    writePending(false);
    EXPECT_TRUE(waitFor([this] { return lines().contains("Tag erfolgreich beschrieben"); }));
    window->btClear->click();
    clickOn(window->btRead);
    EXPECT_TRUE(waitFor([this] { return lines().size() >= 20; }));
    clickOn(window->btStop);
    sim.setReportRate(0);
    // The first tag as written.
    const QByteArray full = "IDCODE: 00000008 FULL: " + QByteArray("full data").leftJustified(72, ' ');
    EXPECT_EQ(lines().count("IDCODE: 00000007 MINI: 5") + lines().count(full), lines().size());
    for (const QByteArray& entry : monitor.lines)
        EXPECT_FALSE(entry.startsWith("F: ")) << entry.constData();
}

QByteArray miniReport(int i)
{
    return SimKLX::reportLine({quint32(i), SimKLX::Mini, i % 16384, {}, true});
}

QByteArray miniLine(int i)
{
    return "IDCODE: " + QByteArray::number(i).rightJustified(8, '0') + " MINI: " + QByteArray::number(i % 16384);
}

// A report line far longer than any the reader sends is reported once and skipped to its
// end; the reports behind it are listed, and the reader still answers.
TEST_F(KLXEndToEnd, ReportsAfterAnOverlongEventLineAreListed)
{
    ready();
    window->btRead->click();
    QByteArray reports;
    QList<QByteArray> expected;
    for (int i = 0; i < 50; ++i) {
        reports += miniReport(i);
        expected << miniLine(i);
    }
    monitor.lines.clear();
    sim.play({TcpStep::send("EVNTTAG " + QByteArray(200 * 1024, 'x') + "\n" + reports)});
    ASSERT_TRUE(waitFor([this] { return lines().size() == 50; }));
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(monitor.lines.count("R: " + QByteArray(Network::kProtocolError)), 1);

    window->btStop->click();
    EXPECT_TRUE(waitFor([this] { return sent().contains("PUSHTAG STOP"); }));
    EXPECT_TRUE(waitFor([this] { return monitor.lines.contains("R: RPLYPUSH00\n"); }));
    EXPECT_EQ(monitor.lines.count("R: " + QByteArray(Network::kProtocolError)), 1);
}

// A burst of reports reaches the list in a few batches, not one list update per report,
// and the list ends with the newest reports it keeps, in order.
TEST_F(KLXEndToEnd, ReportBurstIsListedInBatches)
{
    ready();
    window->btRead->click();
    constexpr int kReports = 1000;
    int inserts = 0;
    QObject::connect(window->lstTagData->model(), &QAbstractItemModel::rowsInserted,
                     [&inserts] { ++inserts; });
    QByteArray burst;
    for (int i = 0; i < kReports; ++i)
        burst += miniReport(i);
    sim.play({TcpStep::send(burst)});
    ASSERT_TRUE(waitFor([this] { return window->lstTagData->count() > 0
                                        && window->lstTagData->RawBytes(window->lstTagData->count() - 1) == miniLine(kReports - 1); },
                        10000));
    QList<QByteArray> newest;
    for (int i = kReports - TagDataList::MaxLines; i < kReports; ++i)
        newest << miniLine(i);
    EXPECT_EQ(lines(), newest);
    EXPECT_LE(inserts, kReports / 5);
}

// The report decoding on lines the reader could send but the simulator does not build:
// short data, the rounding of the type byte, the ID masks.
TEST(KLXReport, DecodingTable)
{
    const auto s = [](QByteArray body) { return QByteArray(17, '.') + body; };
    const auto bytes = [](std::initializer_list<int> codes) {
        QByteArray b;
        for (int c : codes)
            b += static_cast<char>(c);
        return b;
    };
    struct Case {
        QByteArray text, line;
    } cases[] = {
        {QByteArray(17, '.'), ""},
        {s("abcd"), ""},
        {s(bytes({0, 255, 0, 0, 255})), "IDCODE: 264241215 "},
        {s(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 30, 1})), "IDCODE: 00000000 FULL: <NO DATA>"},
        {s(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 26, 1})), "IDCODE: 00000000 MINI: <NO DATA>"},
        {s(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 26, 1, 0})), "IDCODE: 00000000 MINI: 64"},
        {s(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 1})), "IDCODE: 00000000 QUARTER: <NO DATA>"},
        {s(bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 96, 1})), "IDCODE: 00000000 N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toHex().constData());
        EXPECT_EQ(KLXProtocol::ParseTagReport(c.text), c.line);
    }
    EXPECT_EQ(MakeReaderInteger(4), bytes({0, 4}));
    EXPECT_EQ(MakeReaderInteger(4000), bytes({15, 160}));
    EXPECT_EQ(MakeReaderInteger(-4), bytes({127, 252}));
}

TEST(KLXWrite, CommandTable)
{
    // Every combination of the format letters.
    for (int m = 0; m < 3; ++m)
        for (int type = 0; type < 2; ++type)
            for (int length = 0; length < 4; ++length)
                for (int speed = 0; speed < 2; ++speed) {
                    const QByteArray format = QByteArray(1, "MQF"[m]) + "CR"[type] + "0486"[length] + "HL"[speed];
                    const QByteArray line = KLXProtocol::WriteTagCommand(m, speed, type, length, {}, "1");
                    EXPECT_TRUE(line.startsWith("PUSHTAG *;" + format + ';')) << line.constData();
                }
    struct Case {
        int m;
        QString id;
        QByteArray data, line;
    } cases[] = {
        {0, {}, "100", QByteArray("PUSHTAG *;MC0H;") + char(1) + char(144)},
        {0, "000012345", "0", "PUSHTAG 000012345;MC0H;%00%00"},
        {0, {}, "16383", QByteArray("PUSHTAG *;MC0H;") + char(255) + char(252)},
        {0, {}, "16384", {}},
        {0, {}, "-1", {}},
        {0, {}, "1.5", QByteArray("PUSHTAG *;MC0H;%00") + char(6)}, // the tag holds quarters
        {1, {}, "a;b%", "PUSHTAG *;QC0H;a%3Bb%25" + QByteArray(16, ' ')},
        {1, {}, QByteArray(25, 'q'), "PUSHTAG *;QC0H;" + QByteArray(20, 'q')},
        {2, {}, "x=y", "PUSHTAG *;FC0H;x%3Dy" + QByteArray(69, ' ')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KLXProtocol::WriteTagCommand(c.m, 0, 0, 0, c.id, c.data), c.line) << c.data.constData();
}

// Write through the window and its dialog: Stop first, the start line, the done line when
// the reader reports the write - also when the reader answers the stops before it late.
TEST_P(KLXReaders, WriteThroughDialog)
{
    // Room for a late answer to land inside the next exchange's wait.
    constexpr int kTimeout = 1000;
    net->SetNetTimeout(kTimeout);
    ready();
    sim.addTag({12345, SimKLX::Quarter, 0, "old", true});
    enum Stop { OnTime, Late, Cut };
    struct Case {
        bool writBeforeReply;
        const char* refuse;   // status of the PUSHTAG reply ("" good)
        Stop stop;            // how the reader answers the stops
        QList<QByteArray> lines;
    } cases[] = {
        {false, "", OnTime, {"Tag schreiben aktiv", "Tag erfolgreich beschrieben"}},
        {true, "", OnTime, {"Tag schreiben aktiv", "Tag erfolgreich beschrieben"}},
        {false, "12", OnTime, {"Tag schreiben aktiv", "FEHLER:  PUSH 12 - ", "Tag schreiben fehlgeschlagen"}},
        // Both stops answered after their time-out: the first while the dialog is open,
        // the second during the write's wait, where it is not the write's answer.
        {false, "05", Late, {"Tag schreiben aktiv", "FEHLER:  PUSH 05 - ", "Tag schreiben fehlgeschlagen"}},
        // The stop's answer cut by its time-out: its rest is not the write's answer.
        {false, "", Cut, {"Tag schreiben aktiv", "Tag erfolgreich beschrieben"}},
    };
    tc.state.ReadHeadError = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refuse);
        SCOPED_TRACE(c.stop);
        window->btClear->click();
        sim.setWritBeforeReply(c.writBeforeReply);
        if (*c.refuse)
            sim.faults().add({SimFault::Status, "PUSHTAG 0", c.refuse, 0, 1});
        if (c.stop == Late)
            sim.faults().add({SimFault::Delay, "PUSHTAG STOP", {}, kTimeout * 3 / 2, 2});
        sim.clearTranscript();
        monitor.lines.clear();
        whenModal<frmSystemWLWrite>([this, &c](frmSystemWLWrite* d) {
            if (c.stop == Late) {
                EXPECT_TRUE(waitFor([this] { return monitor.lines.contains("F: RPLYPUSH00" + sim.lineEnd()); }));
            } else if (c.stop == Cut) {
                sim.faults().add({SimFault::Silence, "PUSHTAG STOP", {}, 0, 1});
                sim.play({TcpStep::send("RPLYPU"), TcpStep::pause(kTimeout * 3 / 2), TcpStep::send("SH00" + sim.lineEnd())});
            }
            d->cmbIDCode->setEditText(QStringLiteral("12345"));
            d->rdMemorySize[1]->click();
            d->txtData->setText(QStringLiteral("new; 100%"));
            d->findChild<QPushButton*>(QStringLiteral("btOk"))->click();
        });
        window->btWrite->click();
        ASSERT_TRUE(waitFor([&] { return lines().size() >= c.lines.size(); }, 3 * kTimeout));
        DeviceWait::wait(50);
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(sent().mid(0, 3), (QList<QByteArray>{"PUSHTAG STOP", "PUSHTAG STOP",
                                                        "PUSHTAG 000012345;QC8H;new%3B 100%25" + QByteArray(11, ' ')}));
        EXPECT_FALSE(window->klx().WritePending);
        sim.faults().clear();
    }
    EXPECT_EQ(sim.tag(0).data, "new; 100%" + QByteArray(11, ' '));

    // Cancel: Stop has run, no write goes out; a pending write is cancelled.
    window->klx().WritePending = true;
    window->btClear->click();
    sim.clearTranscript();
    whenModal<frmSystemWLWrite>([](frmSystemWLWrite* d) { d->reject(); });
    window->btWrite->click();
    sim.waitIdle();
    EXPECT_EQ(sent().first(), "PUSHTAG STOP");
    EXPECT_FALSE(sim.transcript().contains("PUSHTAG 0"));
    EXPECT_EQ(lines(), QList<QByteArray>{"Tag schreiben abgebrochen"});

    // A write whose reply does not come stays pending: the reader may still report it.
    sim.setTagPresent(0, false);
    sim.faults().add({SimFault::Silence, "PUSHTAG *", {}, 0, 1});
    EXPECT_TRUE(window->klx().WriteTag(0, 0, 0, 0, {}, "5"));
    EXPECT_TRUE(window->klx().WritePending);
    // ... until the connection ends: then nothing can report it any more.
    sim.play({TcpStep::close()});
    EXPECT_TRUE(waitFor([this] { return !window->klx().WritePending; }));
    EXPECT_EQ(last(), "Tag schreiben fehlgeschlagen");
}

// Selected again, the reader is connected anew: a write it still holds is stopped on the
// old connection first, not left behind it.
TEST_P(KLXReaders, ReselectionStopsAPendingWriteFirst)
{
    ready();
    writePending();
    sim.clearTranscript();
    ASSERT_TRUE(select());
    EXPECT_TRUE(sim.transcript().startsWith("PUSHTAG STOP\nHELO\n")) << sim.transcript().constData();
    EXPECT_FALSE(window->klx().WritePending);
    EXPECT_EQ(last(), "Tag schreiben abgebrochen");
}

// The reader and the interface unit on Ethernet share the one connection. Leaving the
// reader with a write pending and a Beep whose end is due, its stops reach it on its own
// connection before that closes; the system selected then works at once, the unit as the
// reader when coming back. A serial entry takes the other order of the change.
class KLXAndUnit : public KLXEndToEnd {
protected:
    KLXAndUnit()
    {
        RegisterSystemHX(tc.ctx);
        hx = static_cast<frmSystemHX*>(lk->entry(10).main());
        hx->Protocol().SetHeadFile(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
        hx->profileDialog = [](int, const hx::HXHeadType&) { return 0; };
        hx->Protocol().unitPort = unit.startNet();
        hx->Protocol().pageUrl = QStringLiteral("http://127.0.0.1:%1/").arg(unit.pagePort());
        unit.withTag(1, [](SimHX::Tag& t) { t.memory.replace(0, 4, "abcd"); });
        frame.setMenuChecked(MenuEntry::OrvidWindow, true);
        frame.setMenuChecked(MenuEntry::IO, true);
    }
    SimHX unit;
    frmSystemHX* hx = nullptr;
};

TEST_F(KLXAndUnit, LeavingTheReaderStopsItOnItsOwnConnection)
{
    ASSERT_NE(hx->Protocol().unitPort, 0);
    auto* io = static_cast<frmSystemWKLX9000IO*>(lk->entry(9).io());
    for (const int16_t next : {10, 2, 10}) {
        SCOPED_TRACE(next);
        ASSERT_TRUE(select());
        ASSERT_TRUE(waitFor([&] { return sim.transcript().endsWith("GET RELAY\n"); }));
        writePending();
        io->timBuzzer.setInterval(60000);
        ASSERT_TRUE(clickOn(io->btBuzzer[2]));
        ASSERT_EQ(sim.parameter("BUZZER"), "ON");
        sim.clearTranscript();
        const int connections = sim.connectionCount();
        bool askRetry = false;
        EXPECT_EQ(lk->SelectSystem(next, askRetry), next == 10);
        sim.waitIdle();
        const QByteArray heard = sim.transcript();
        EXPECT_TRUE(heard.startsWith("PUSHTAG STOP\n")) << heard.constData();
        EXPECT_TRUE(heard.contains("SET BUZZER=OFF\n")) << heard.constData();
        EXPECT_EQ(sim.parameter("BUZZER"), "OFF");
        EXPECT_EQ(sim.connectionCount(), connections);
        EXPECT_FALSE(window->klx().WritePending);
        EXPECT_FALSE(io->timBuzzer.isActive());
        if (next != 10)
            continue;
        // The unit answers a read at once, and the reader when it is selected again.
        EXPECT_TRUE(net->NetIsConnected());
        hx->ctrlList->Clear();
        ASSERT_TRUE(clickOn(hx->btRead));
        EXPECT_TRUE(waitFor([&] { return hx->ctrlList->text().contains(QStringLiteral("Kopf 1: abcd")); }))
            << hx->ctrlList->text().toStdString();
        // An Enhanced read left running on the unit ends there, on the unit's own
        // connection, before the reader's takes its place; the reader hears none of it.
        hx->PutData(KRItem::OperationMode, 3);
        ASSERT_TRUE(clickOn(hx->btRead));
        ASSERT_TRUE(waitFor([&] { return unit.repeating(); }));
        sim.clearTranscript();
        ASSERT_TRUE(select());
        EXPECT_FALSE(unit.repeating());
        EXPECT_FALSE(hx->Protocol().AnyChannelBusy());
        EXPECT_TRUE(sim.transcript().startsWith("HELO")) << sim.transcript().constData();
        hx->PutData(KRItem::OperationMode, 0);
        QByteArray reply;
        bool ok = false;
        EXPECT_GT(lk->SendCommand("GET LED", reply, QVariant(true), ok), 0);
    }
}

} // namespace
