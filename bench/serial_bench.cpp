// The serial link on a pseudo-terminal against a responder that answers at once:
//  - one telegram and its reply through Ports (SendTelegram + ReceiveTelegram, waiting in
//    the event loop), with and without the flush a command starts with;
//  - for comparison, a bare QSerialPort write + waitForReadyRead/read on a pseudo-terminal
//    of the same kind in the same run;
//  - the CPU a receive costs while it waits for a reply that never comes (1 s time-out),
//    as a fraction of the wall time ("cpu_fraction").
#include "link/CommPort.h"
#include "link/LinkInterfaces.h"
#include "link/Ports.h"
#include "support/PtyHarness.h"
#include "support/TestContext.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <benchmark/benchmark.h>

#include <ctime>

using namespace orvid;
using namespace orvid::test;

namespace {

class CountingMonitor final : public IMonitor {
public:
    void Add(const QByteArray& prefix, const QByteArray& data, const QVariant&) override
    {
        bytes += prefix.size() + data.size();
    }
    qint64 bytes = 0;
};

// A device that answers every CR-ended telegram with a short reply.
std::unique_ptr<PtyHarness> answeringDevice()
{
    auto pty = std::make_unique<PtyHarness>();
    pty->setRule("\r", [](const QByteArray&) { return PtyHarness::Script{PtyHarness::Send("OK 0001\r")}; });
    pty->start();
    return pty;
}

struct LinkUnderTest {
    TestContext tc;
    CountingMonitor monitor;
    std::unique_ptr<PtyHarness> pty = answeringDevice();
    std::unique_ptr<Ports> ports;

    bool open(int16_t timeoutMs)
    {
        tc.ctx.monitor = &monitor;
        ports = std::make_unique<Ports>(tc.ctx);
        ports->InitPort();
        QString port = pty->slavePath();
        QString settings = QStringLiteral("38400,n,8,1");
        int16_t protocol = 0;
        ports->OpenPort(port, settings, protocol, false);
        ports->SetFramingType(5);
        ports->SetLinkProtocol("\r");
        ports->SetTimeout(timeoutMs);
        return ports->PortOpenFlag();
    }
    ~LinkUnderTest() { ports.reset(); }
};

void BM_PortsRoundTrip(benchmark::State& state)
{
    LinkUnderTest link;
    if (!link.open(1000)) {
        state.SkipWithError("port not open");
        return;
    }
    const bool flush = state.range(0) != 0;
    QByteArray reply;
    for (auto _ : state) {
        if (flush)
            link.ports->FlushInput();
        link.ports->SendTelegram("R0001", 5);
        int16_t count = 0;
        if (link.ports->ReceiveTelegram(reply, count) != 7) {
            state.SkipWithError("no reply");
            break;
        }
    }
}

void BM_BareSerialRoundTrip(benchmark::State& state)
{
    auto pty = answeringDevice();
    QSerialPort port(pty->slavePath());
    port.setBaudRate(38400);
    if (!port.open(QIODevice::ReadWrite)) {
        state.SkipWithError("port not open");
        return;
    }
    QByteArray reply;
    for (auto _ : state) {
        port.write("R0001\r");
        port.flush();
        reply.clear();
        while (!reply.endsWith('\r')) {
            if (!port.waitForReadyRead(1000)) {
                state.SkipWithError("no reply");
                return;
            }
            reply += port.readAll();
        }
        benchmark::DoNotOptimize(reply);
    }
    port.close();
}

double cpuNow()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double wallNow()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void BM_ReceiveTimeoutCpu(benchmark::State& state)
{
    LinkUnderTest link;
    if (!link.open(1000)) {
        state.SkipWithError("port not open");
        return;
    }
    link.pty->clearScript(); // the device stays silent
    double cpu = 0;
    double wall = 0;
    QByteArray reply;
    for (auto _ : state) {
        const double c0 = cpuNow();
        const double w0 = wallNow();
        int16_t count = 0;
        if (link.ports->ReceiveTelegram(reply, count) != 0) {
            state.SkipWithError("unexpected reply");
            break;
        }
        cpu += cpuNow() - c0;
        wall += wallNow() - w0;
    }
    state.counters["cpu_fraction"] = wall > 0 ? cpu / wall : 0;
}

BENCHMARK(BM_PortsRoundTrip)->Arg(0)->Arg(1)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareSerialRoundTrip)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReceiveTimeoutCpu)->Iterations(2)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

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
