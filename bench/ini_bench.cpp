// Language lookups run once per control: a cached ReadIni against a parse per lookup, and
// the settings store's read and write.
#include "foundations/IniFile.h"
#include "foundations/SettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace orvid;

namespace {

QByteArray languageFile()
{
    QByteArray bytes = "[ORVID]\r\nLanguage=English\r\nHelp=ORVIDENG.HLP\r\n";
    for (int s = 0; s < 40; ++s) {
        bytes += "[frmWindow" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < 40; ++k)
            bytes += "lblText" + QByteArray::number(k) + "=Some translated caption " + QByteArray::number(k)
                + "|and its tooltip\r\n";
    }
    return bytes;
}

struct LanguageFixture {
    QTemporaryDir dir;
    QString path = dir.filePath("ORVILANG.ENG");
    // An installed language file is old; a file changed in the last moments is compared
    // byte by byte on each lookup (see IniFile.cpp), which the "Fresh" case measures.
    explicit LanguageFixture(bool old = true)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(languageFile());
        if (old)
            f.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    }
};

void BM_ReadIniCached(benchmark::State& state)
{
    LanguageFixture fx;
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadIni(fx.path, QStringLiteral("frmWindow37"),
                                         QStringLiteral("LBLTEXT%1").arg(k++ % 40), QString()));
    }
}
BENCHMARK(BM_ReadIniCached);

void BM_ReadIniCachedFresh(benchmark::State& state)
{
    LanguageFixture fx(false);
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadIni(fx.path, QStringLiteral("frmWindow37"),
                                         QStringLiteral("LBLTEXT%1").arg(k++ % 40), QString()));
    }
}
BENCHMARK(BM_ReadIniCachedFresh);

void BM_ReadIniParseEveryTime(benchmark::State& state)
{
    LanguageFixture fx;
    int k = 0;
    for (auto _ : state) {
        QFile f(fx.path);
        f.open(QIODevice::ReadOnly);
        const IniDocument doc = IniParse(f.readAll());
        benchmark::DoNotOptimize(IniLookup(doc, QStringLiteral("frmWindow37"),
                                           QStringLiteral("LBLTEXT%1").arg(k++ % 40), QString()));
    }
}
BENCHMARK(BM_ReadIniParseEveryTime);

void BM_SettingsRead(benchmark::State& state)
{
    QTemporaryDir dir;
    SettingsStore s(dir.filePath("Zarvento.conf"));
    for (int i = 0; i < 60; ++i)
        s.write(QStringLiteral("Windows"), QStringLiteral("frm%1").arg(i), QStringLiteral("640x480+0+0"));
    for (auto _ : state)
        benchmark::DoNotOptimize(s.read(QStringLiteral("Windows"), QStringLiteral("frm30"), QString()));
}
BENCHMARK(BM_SettingsRead);

void BM_SettingsWrite(benchmark::State& state)
{
    QTemporaryDir dir;
    SettingsStore s(dir.filePath("Zarvento.conf"));
    for (int i = 0; i < 60; ++i)
        s.write(QStringLiteral("Windows"), QStringLiteral("frm%1").arg(i), QStringLiteral("640x480+0+0"));
    int n = 0;
    for (auto _ : state)
        s.write(QStringLiteral("Windows"), QStringLiteral("frm30"), QString::number(n++));
}
BENCHMARK(BM_SettingsWrite)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
