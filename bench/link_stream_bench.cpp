// The cost of finding replies in a long stream that arrives in pieces:
//  - BM_ReplySearch: the serial reply search (Ports::CutReply with its scan state) over
//    one additive-checked reply of the given size arriving in pieces of 1, 64 or 4096
//    bytes. The search continues where it stopped, so the time per MB is the same at 1 MB
//    and at 10 MB.
//  - BM_NetReceiveLine: NetReceiveLine over loopback TCP taking a stream of the given size
//    made of 32 KiB lines, which the peer writes in pieces of 64 or 4096 bytes (how TCP
//    groups them on the way is up to TCP).
// Both report bytes per second; linear means equal rates at both sizes.
#include "link/Network.h"
#include "link/Ports.h"
#include "support/TcpHarness.h"
#include "support/TestContext.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace orvid;
using namespace orvid::test;

namespace {

constexpr qint64 kMB = 1024 * 1024;

void BM_ReplySearch(benchmark::State& state)
{
    const qint64 size = state.range(0) * kMB;
    const qsizetype piece = state.range(1);
    QByteArray stream(size - 2, 'A');
    quint8 sum = 0;
    for (char c : stream)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    stream += char(sum);
    stream += '\x03';
    const QByteArray mode = "~";
    const QByteArray terminator("\x03", 1);
    for (auto _ : state) {
        Ports::ReplyScan scan;
        QByteArray buffer;
        buffer.reserve(stream.size());
        QByteArray reply, tail, dropped;
        int found = Ports::kIncomplete;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            buffer.append(stream.constData() + at, std::min<qsizetype>(piece, stream.size() - at));
            found = Ports::CutReply(buffer, 0, mode, terminator, {}, false, &reply, &tail, scan, &dropped);
        }
        if (found != size - 2) {
            state.SkipWithError("reply not found");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_NetReceiveLine(benchmark::State& state)
{
    const qint64 size = state.range(0) * kMB;
    const qsizetype piece = state.range(1);
    constexpr qsizetype kLine = 32 * 1024;
    QByteArray line(kLine - 1, 'L');
    line += '\n';
    TcpScript script;
    QByteArray stream;
    for (qint64 at = 0; at < size; at += kLine)
        stream += line;
    for (qsizetype at = 0; at < stream.size(); at += piece)
        script << TcpStep::send(stream.mid(at, piece));
    const qint64 lines = stream.size() / kLine;

    TcpHarness peer;
    TestContext tc;
    Network net(tc.ctx);
    net.LoadNetworkSettings();
    net.SetNetAddress(QStringLiteral("127.0.0.1"));
    if (!net.NetConnect(nullptr, peer.port())) {
        state.SkipWithError("no connection");
        return;
    }
    net.SetNetTimeout(5000);
    QByteArray reply;
    bool log = false;
    for (auto _ : state) {
        peer.play(script);
        for (qint64 i = 0; i < lines; ++i) {
            if (net.NetReceiveLine(reply, log) != kLine - 1) {
                state.SkipWithError("line lost");
                return;
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
    net.NetDisconnect();
}

BENCHMARK(BM_ReplySearch)
    ->ArgsProduct({{1, 10}, {1, 64, 4096}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_NetReceiveLine)
    ->ArgsProduct({{1, 10}, {64, 4096}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

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
