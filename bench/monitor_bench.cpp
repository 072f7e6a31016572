// Traffic monitor throughput: 100,000 telegrams of 20 to 40 bytes through Add with the
// window shown, events processed along the way so the list view really updates.

#include "shell/frmMonitor.h"
#include "support/TestContext.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

using namespace orvid;

namespace {

constexpr int kTelegrams = 100000;

// A fixed mix of telegrams: framed command texts and binary replies of 20..40 bytes.
QList<QByteArray> telegramMix()
{
    std::mt19937 random(1234);
    QList<QByteArray> mix;
    for (int i = 0; i < 64; ++i) {
        const int length = 20 + int(random() % 21);
        QByteArray t;
        t.append('\x02');
        if (i % 2 == 0) {
            t.append("SR");
            while (t.size() < length - 2)
                t.append(char('0' + random() % 10));
        } else {
            while (t.size() < length - 2)
                t.append(char(random() % 256));
        }
        t.append('\x03');
        t.append('\r');
        mix.append(t);
    }
    return mix;
}

void BM_MonitorAdd(benchmark::State& state)
{
    test::TestContext t;
    frmMonitor monitor(t.ctx);
    monitor.Show();
    monitor.resize(640, 360);
    if (state.range(0) == 1) {
        for (auto* b : monitor.findChildren<QRadioButton*>("rdMode"))
            if (b->property("ctrlIndex").toInt() == 1)
                b->setChecked(true);
    }
    QApplication::processEvents();
    const QList<QByteArray> mix = telegramMix();
    const QByteArray prefixes[2] = {"W: ", "R: "};
    auto* view = monitor.findChild<QListView*>("lstComm");
    const bool everyAdd = state.range(1) == 1;

    for (auto _ : state) {
        state.PauseTiming();
        monitor.findChild<QPushButton*>("btClear")->click();
        QApplication::processEvents();
        state.ResumeTiming();

        for (int i = 0; i < kTelegrams; ++i) {
            monitor.Add(prefixes[i & 1], mix[i % mix.size()]);
            // A link receiving telegrams runs the event loop between them: after every
            // telegram, or after every 64 in a burst.
            if (everyAdd || (i & 63) == 63)
                QApplication::processEvents();
        }
        monitor.flushView();
        QApplication::processEvents();
        view->viewport()->repaint();
        benchmark::DoNotOptimize(view->model()->rowCount());
    }
    state.counters["entries"] = monitor.entryCount();
    state.counters["rows"] = view->model()->rowCount();
    state.counters["W"] = monitor.lineWidth();
}

} // namespace

BENCHMARK(BM_MonitorAdd)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"hex", "eventsEveryAdd"})->Iterations(1)->Repetitions(7)
    ->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
