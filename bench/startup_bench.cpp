// Start-up of the program up to the main window shown, without recognition: the program
// object with every module and window, the splash, the main window's start-up sequence,
// and the splash gone. Runs offscreen against a fresh settings folder each time.
#include "families/Families.h"
#include "foundations/AppContext.h"
#include "foundations/Options.h"
#include "shell/Application.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_StartupToMainWindowShown(benchmark::State& state)
{
    // Registered twice: the first run, once, carries what a process pays only at its
    // first start (fonts, style, pictures); the second is the repeated warm start.
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = std::make_unique<QTemporaryDir>();
        QDir(dir->path()).mkpath(QStringLiteral("program"));
        state.ResumeTiming();

        auto app = std::make_unique<orvid::Application>(
            dir->filePath(QStringLiteral("Zarvento.conf")), dir->filePath(QStringLiteral("program")),
            orvid::RegisterFamilies);
        app->Startup();
        if (!app->mainWindow()->isVisible() || !app->context().state->PollReady)
            state.SkipWithError("main window not shown");

        state.PauseTiming();
        app.reset();
        dir.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToMainWindowShown)->Name("FirstStartupInProcess")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StartupToMainWindowShown)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(9);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The start-up trace stays quiet while measuring.
    qputenv("QT_LOGGING_RULES", "orvid.startup.debug=false");
    QApplication qtApp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
