// A device that floods the serial line (a pseudo-terminal) for a while, with no
// terminator in sight, while the program either only runs its events (arg 0) or polls:
// one receive (200 ms time-out) every second, as a continuous read does (arg 1).
// Counters: the CPU the program used as a percentage of the wall time, the bytes the
// device got onto the line, and the resident memory after the flood (rss_mb) and at its
// peak (peak_rss_mb). The flood lasts ORVID_FLOOD_SECONDS (default 30).
#include "link/CommPort.h"
#include "link/DeviceWait.h"
#include "link/Ports.h"
#include "support/PtyHarness.h"
#include "support/TestContext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>

#include <atomic>
#include <ctime>
#include <thread>

using namespace orvid;
using namespace orvid::test;

namespace {

double cpuNow()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double statusMb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void BM_SerialFlood(benchmark::State& state)
{
    const bool poll = state.range(0) != 0;
    const int seconds = qEnvironmentVariableIsSet("ORVID_FLOOD_SECONDS")
                            ? qEnvironmentVariableIntValue("ORVID_FLOOD_SECONDS")
                            : 30;
    for (auto _ : state) {
        TestContext tc;
        PtyHarness pty;
        pty.start();
        Ports ports(tc.ctx);
        ports.InitPort();
        QString port = pty.slavePath();
        QString settings = QStringLiteral("38400,n,8,1");
        int16_t protocol = 0;
        ports.OpenPort(port, settings, protocol, false);
        if (!ports.PortOpenFlag()) {
            state.SkipWithError("port not open");
            return;
        }
        ports.SetLinkProtocol("\r");
        ports.SetTimeout(200);

        std::atomic<bool> stop{false};
        std::atomic<qint64> written{0};
        std::atomic<bool> done{false};
        const auto floodEnd = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::thread flood([&] {
            const QByteArray unit(512, 'A');
            while (!stop && std::chrono::steady_clock::now() < floodEnd && pty.send(unit))
                written += unit.size();
            done = true;
        });

        const double c0 = cpuNow();
        QElapsedTimer wall;
        wall.start();
        const qint64 end = qint64(seconds) * 1000;
        while (wall.elapsed() < end) {
            if (poll) {
                QByteArray reply;
                int16_t count = 0;
                ports.ReceiveTelegram(reply, count);
            }
            // Arriving bytes wake the wait: only the next tick of the poll timer polls.
            const qint64 tick = poll ? qMin(end, (wall.elapsed() / 1000 + 1) * 1000) : end;
            while (wall.elapsed() < tick)
                DeviceWait::wait(int(qMax<qint64>(1, tick - wall.elapsed())));
        }
        const double cpu = cpuNow() - c0;
        const double elapsed = wall.elapsed() / 1000.0;
        stop = true;
        // The writer may be blocked on a full line: empty it until the writer has stopped.
        while (!done) {
            ports.comm().discardInput();
            QCoreApplication::processEvents();
        }
        flood.join();
        state.counters["cpu_percent"] = 100.0 * cpu / elapsed;
        state.counters["flooded_mb"] = written / 1048576.0;
        state.counters["rss_mb"] = statusMb("VmRSS:");
        state.counters["peak_rss_mb"] = statusMb("VmHWM:");
    }
}

BENCHMARK(BM_SerialFlood)->Arg(0)->Arg(1)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
