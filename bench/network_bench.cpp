// One line out and one line back over loopback TCP against a peer that answers at once:
// through Network (NetSend + NetReceiveLine, waiting in the event loop) and, for
// comparison, through a bare QTcpSocket with its blocking waits, in the same run.
#include "link/Network.h"
#include "support/TcpHarness.h"
#include "support/TestContext.h"

#include <QApplication>
#include <QTcpSocket>
#include <benchmark/benchmark.h>

using namespace orvid;
using namespace orvid::test;

namespace {

TcpHarness& echoPeer()
{
    static TcpHarness* peer = [] {
        auto* p = new TcpHarness;
        p->setHandler([](const QByteArray&) { return TcpScript{TcpStep::send("RPLYPING\n")}; });
        return p;
    }();
    return *peer;
}

void BM_NetReceiveLineRoundTrip(benchmark::State& state)
{
    TestContext tc;
    Network net(tc.ctx);
    net.LoadNetworkSettings();
    net.SetNetAddress(QStringLiteral("127.0.0.1"));
    if (!net.NetConnect(nullptr, echoPeer().port())) {
        state.SkipWithError("no connection");
        return;
    }
    QByteArray reply;
    bool log = false;
    for (auto _ : state) {
        net.NetSend("PING", false);
        if (net.NetReceiveLine(reply, log) != 8) {
            state.SkipWithError("no reply");
            break;
        }
    }
    net.NetDisconnect();
}

void BM_BareSocketRoundTrip(benchmark::State& state)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), echoPeer().port());
    if (!socket.waitForConnected(2000)) {
        state.SkipWithError("no connection");
        return;
    }
    for (auto _ : state) {
        socket.write("PING\n");
        socket.flush();
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(2000)) {
                state.SkipWithError("no reply");
                return;
            }
        }
        benchmark::DoNotOptimize(socket.readLine());
    }
    socket.abort();
}

BENCHMARK(BM_NetReceiveLineRoundTrip)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareSocketRoundTrip)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);

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
