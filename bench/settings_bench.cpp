// The settings store on a file of one million names: opening it and reading one value
// (one parse of the whole file), and a read once the file is parsed (a stat and a hash
// lookup). Argument: the number of sections the names are spread over.
#include "foundations/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <unistd.h>

using namespace orvid;

namespace {

constexpr int kNames = 1000000;

struct BigFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Zarvento.conf"));
};

// One file per section count, written once; a store trusts its parsed copy only when
// the file's last change is older than the coarse step of file times (see
// SettingsStore.cpp), so the file is given that long before it is measured.
const QString& bigFile(int sections)
{
    static QMap<int, std::shared_ptr<BigFile>> files;
    auto& file = files[sections];
    if (!file) {
        file = std::make_shared<BigFile>();
        QByteArray bytes;
        bytes.reserve(kNames * 40);
        const int perSection = kNames / sections;
        for (int s = 0; s < sections; ++s) {
            bytes += "[Section" + QByteArray::number(s) + "]\n";
            for (int i = 0; i < perSection; ++i)
                bytes += "Name" + QByteArray::number(i) + "=value of entry " + QByteArray::number(i) + '\n';
        }
        QFile f(file->path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();
        ::usleep(1100000);
    }
    return file->path;
}

void BM_SettingsOpenAndRead(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const QString& path = bigFile(sections);
    const QString section = QStringLiteral("section%1").arg(sections - 1);
    const QString name = QStringLiteral("name%1").arg(kNames / sections - 1);
    for (auto _ : state) {
        auto s = std::make_unique<SettingsStore>(path);
        benchmark::DoNotOptimize(s->read(section, name, QString()));
        // Closing the store is not part of opening it.
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SettingsOpenAndRead)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SettingsCachedRead(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    SettingsStore s(bigFile(sections));
    const QString section = QStringLiteral("section%1").arg(sections / 2);
    s.read(section, QStringLiteral("Name0"), QString());
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.read(section, QStringLiteral("NAME%1").arg(k), QString()));
        k = (k + 7919) % (kNames / sections);
    }
}
BENCHMARK(BM_SettingsCachedRead)->Arg(1)->Arg(1000)->Unit(benchmark::kMicrosecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
