// Tag reports pushed by the KLX9000 reader to its shown window while it reads, counted up
// to the list painted with the newest report:
//
// BM_ReportsShownAt1000PerSecond: one second of reports at 1000 per second (ten every
//   10 ms). "per_report" is the CPU time of the program's thread (socket, decoding, list
//   and its painting; the simulated reader runs in a thread of its own) per report, in
//   seconds; "core_share" that time over the wall time, in percent of one core;
//   "process_share" the same for the whole process (the simulated reader's thread and
//   Qt's helper threads included, so an upper bound); "paints" the list's paints per
//   second. The median over the repetitions is the figure.
// BM_TagReportBurst: 10,000 reports in one burst; "per_report" is the wall time from the
//   burst until the list is painted with the last one, per report. BM_TagReportBurstCrLf:
//   the same from a reader that ends its lines with CR LF.
//
// Both check what a user sees: "listed" is 1 when the list holds exactly the newest
// reports (as many as it keeps) in order; "empty_paints" counts paints of the list that
// showed no line although it held some.
#include "families/common/TagDataList.h"
#include "families/wklx/KLXFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPaintEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>
#include <memory>

using namespace orvid;
using namespace orvid::test;

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Counts the lines each paint of the list draws.
class CountingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++drawn;
        QStyledItemDelegate::paint(painter, option, index);
    }
    mutable qint64 drawn = 0;
};

// Watches the list's paints: how many there were, and how many drew no line at the top
// of the list while it held lines. A paint is judged when the next one starts (or at the
// end).
class PaintWatch : public QObject {
public:
    explicit PaintWatch(TagDataList* list) : list_(list), delegate_(new CountingDelegate(list))
    {
        list->setItemDelegate(delegate_);
        list->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            judge();
            ++paints;
            // Whenever the list holds lines, one of them is at the top of its view: a paint
            // there that draws none shows the list empty.
            open_ = static_cast<QPaintEvent*>(event)->rect().contains(QPoint(1, 1));
            drawnAtStart_ = delegate_->drawn;
            rowsAtStart_ = list_->count();
            newestPainted = rowsAtStart_ > 0 ? list_->RawBytes(rowsAtStart_ - 1) : QByteArray();
            if (onPaint)
                onPaint();
        }
        return false;
    }
    void judge()
    {
        if (open_ && rowsAtStart_ > 0 && delegate_->drawn == drawnAtStart_)
            ++emptyPaints;
        open_ = false;
    }
    qint64 paints = 0;
    qint64 emptyPaints = 0;
    QByteArray newestPainted; // the list's last line when it was last painted
    std::function<void()> onPaint;

private:
    TagDataList* list_;
    CountingDelegate* delegate_;
    bool open_ = false;
    qint64 drawnAtStart_ = 0;
    int rowsAtStart_ = 0;
};

QByteArray reportLine(int i, const QByteArray& end)
{
    return SimKLX::reportLine({quint32(i), SimKLX::Mini, i % 16384, {}, true}, {}, end);
}

QByteArray listedLine(int i)
{
    return "IDCODE: " + QByteArray::number(i).rightJustified(8, '0') + " MINI: " + QByteArray::number(i % 16384);
}

// The reader, the link and the shown window, reading (the family's test fixture, run
// outside a test).
struct Rig : KLXFixture {
    using KLXFixture::monitor;
    using KLXFixture::sim;
    using KLXFixture::window;
    void TestBody() override {}

    bool start()
    {
        if (!select())
            return false;
        window->Show();
        window->resize(640, 480);
        if (!QTest::qWaitForWindowExposed(window))
            return false;
        window->btRead->click();
        watch = std::make_unique<PaintWatch>(window->lstTagData);
        return true;
    }
    // Runs the event loop until the list has been painted with the report `last` as its
    // newest line; false after 60 s.
    bool waitListedAndPainted(int last)
    {
        const QByteArray newest = listedLine(last);
        // No polling: the loop ends from the paint itself (the wait must not add to the
        // CPU time measured).
        QEventLoop loop;
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        watch->onPaint = [&] {
            if (watch->newestPainted == newest)
                loop.quit();
        };
        loop.exec();
        watch->onPaint = nullptr;
        // Whatever this paint left open is judged now: the list is painted to the end.
        QApplication::processEvents();
        watch->judge();
        return watch->newestPainted == newest;
    }
    bool listsNewest(int first, int last) const
    {
        const int shown = qMin(last - first + 1, int(TagDataList::MaxLines));
        if (window->lstTagData->count() != shown)
            return false;
        for (int row = 0; row < shown; ++row)
            if (window->lstTagData->RawBytes(row) != listedLine(last - shown + 1 + row))
                return false;
        return true;
    }

    std::unique_ptr<PaintWatch> watch;
};

// Plays `reports` reports per iteration, cut into pieces of `perStep` with `stepMs` between
// them (0: one burst), and measures up to the list painted with the last one.
void measure(benchmark::State& state, int reports, int perStep, int stepMs, const QByteArray& end = "\n")
{
    Rig rig;
    if (!rig.start()) {
        state.SkipWithError("no reader");
        return;
    }
    int next = 0;
    double cpu = 0;
    double processCpu = 0;
    double wall = 0;
    bool listed = true;
    for (auto _ : state) {
        rig.window->btClear->click();
        rig.monitor.lines.clear();
        QApplication::processEvents();
        const qint64 emptyBefore = rig.watch->emptyPaints;
        const qint64 paintsBefore = rig.watch->paints;
        const int first = next;
        TcpScript script;
        while (next - first < reports) {
            QByteArray lines;
            for (int k = 0; k < perStep && next - first < reports; ++k)
                lines += reportLine(next++, end);
            script << TcpStep::send(lines);
            if (stepMs > 0)
                script << TcpStep::pause(stepMs);
        }
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        rig.sim.play(script);
        if (!rig.waitListedAndPainted(next - 1)) {
            state.SkipWithError("reports not listed");
            return;
        }
        cpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        processCpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
        const double seconds = double(clock.nsecsElapsed()) * 1e-9;
        wall += seconds;
        listed = listed && rig.listsNewest(first, next - 1) && rig.watch->emptyPaints == emptyBefore;
        state.SetIterationTime(seconds);
        state.counters["paints"] = double(rig.watch->paints - paintsBefore) / seconds;
    }
    const double total = double(state.iterations()) * reports;
    state.counters["per_report"] = (stepMs > 0 ? cpu : wall) / total;
    state.counters["core_share"] = 100.0 * cpu / wall;
    state.counters["process_share"] = 100.0 * processCpu / wall;
    state.counters["listed"] = listed ? 1 : 0;
    state.counters["empty_paints"] = double(rig.watch->emptyPaints);
}

void BM_ReportsShownAt1000PerSecond(benchmark::State& state)
{
    measure(state, 1000, 10, 10);
}

void BM_TagReportBurst(benchmark::State& state)
{
    measure(state, 10000, 10000, 0);
}

void BM_TagReportBurstCrLf(benchmark::State& state)
{
    measure(state, 10000, 10000, 0, "\r\n");
}

BENCHMARK(BM_ReportsShownAt1000PerSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)
    ->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TagReportBurst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TagReportBurstCrLf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)
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
