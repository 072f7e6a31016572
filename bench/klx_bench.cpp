// 10,000 tag reports pushed by the KLX9000 reader in one burst to its shown window while it
// reads: the time from the burst until the link has taken the last line off the socket
// (the monitor shows it), divided by the reports the window listed ("per_report", seconds;
// the median over the repetitions is the figure). "listed" counts the reports that reached
// the window.
#include "families/wklx/frmSystemWKLX9000.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "link/Network.h"
#include "sim/SimKLX.h"
#include "support/FakeShell.h"
#include "support/TestContext.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <benchmark/benchmark.h>

using namespace orvid;
using namespace orvid::test;

namespace {

constexpr int kReports = 10000;

class CountingWindow : public frmSystemWKLX9000 {
public:
    using frmSystemWKLX9000::frmSystemWKLX9000;
    void EventReceived(const QByteArray& text) override
    {
        ++received;
        frmSystemWKLX9000::EventReceived(text);
    }
    qint64 received = 0;
};

void BM_TagReportBurst(benchmark::State& state)
{
    SimKLX sim;
    TestContext tc;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    tc.ctx.frame = &frame;
    tc.ctx.monitor = &monitor;
    Network net(tc.ctx);
    tc.ctx.network = &net;
    net.LoadNetworkSettings();
    net.SetNetAddress(QStringLiteral("127.0.0.1"));
    LK lk(tc.ctx);
    tc.ctx.lk = &lk;
    lk.InitSystems();
    CountingWindow* window = new CountingWindow(tc.ctx);
    lk.RegisterSystem(9, [window] { return window; });
    window->klx().Port = sim.port();
    bool askRetry = false;
    if (!lk.SelectSystem(9, askRetry)) {
        state.SkipWithError("no reader");
        return;
    }
    window->Show();
    window->btRead->click();

    QByteArray burst;
    for (int i = 0; i < kReports - 1; ++i)
        burst += SimKLX::reportLine({quint32(i), SimKLX::Quarter, 0, "burst report data   ", true});
    burst += SimKLX::reportLine({99999999, SimKLX::Mini, 1, {}, true});

    qint64 listed = 0;
    for (auto _ : state) {
        window->btClear->click();
        monitor.lines.clear();
        const qint64 before = window->received;
        sim.play({TcpStep::send(burst)});
        QElapsedTimer guard;
        guard.start();
        while (monitor.lines.isEmpty() || !monitor.lines.last().contains("EVNTTAG SIMKLX0123456789:x%17%D7%83%FCxxx")) {
            if (guard.elapsed() > 60000) {
                state.SkipWithError("burst not listed");
                return;
            }
            DeviceWait::wait(1);
        }
        listed += window->received - before;
    }
    state.counters["per_report"] = benchmark::Counter(double(listed), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["listed"] = double(listed) / double(state.iterations());
    lk.CloseSystem();
    delete window;
}

BENCHMARK(BM_TagReportBurst)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
