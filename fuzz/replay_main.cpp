// Runs a fuzz target over every file of a corpus folder (or over the files given), so the
// targets run in the normal build without libFuzzer.
//
// A fuzzing run feeds one target millions of inputs in one process, so a target must keep
// nothing from one input to the next. After the corpus has run twice (the target's static
// rig and the library's caches are built by then), it runs again round after round while
// the live heap is watched: a target whose heap grows with the inputs fails here, long
// before a fuzzing run would stop for want of memory.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cstdint>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define ORVID_REPLAY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVID_REPLAY_ASAN 1
#endif
#endif

#ifdef ORVID_REPLAY_ASAN
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Bytes the program holds on the heap now (freed memory the allocator keeps aside, such
// as the sanitizer's quarantine, does not count).
qint64 liveHeapBytes()
{
#ifdef ORVID_REPLAY_ASAN
    return static_cast<qint64>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<qint64>(info.uordblks + info.hblkhd);
#endif
}

// The watch: at least this many rounds, and more while the time allows.
constexpr int kMinRounds = 4;
constexpr int kMaxRounds = 200;
constexpr qint64 kWatchMs = 1500;
// What the heap may grow by in all (a cache that settles late) and per input run.
constexpr qint64 kSlackBytes = 64 * 1024;
constexpr qint64 kBytesPerInput = 16;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            const QDir dir(info.filePath());
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                files << dir.filePath(name);
        } else {
            files << info.filePath();
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "no corpus files\n");
        return 1;
    }
    QList<QByteArray> inputs;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        inputs.append(f.readAll());
    }
    const auto replay = [&inputs] {
        for (const QByteArray& bytes : std::as_const(inputs))
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   static_cast<size_t>(bytes.size()));
    };
    replay();
    std::printf("replayed %lld inputs\n", static_cast<long long>(inputs.size()));

    replay();
    const qint64 before = liveHeapBytes();
    QElapsedTimer clock;
    clock.start();
    int rounds = 0;
    while (rounds < kMinRounds || (rounds < kMaxRounds && clock.elapsed() < kWatchMs)) {
        replay();
        ++rounds;
    }
    const qint64 grown = liveHeapBytes() - before;
    const qint64 runs = qint64(rounds) * inputs.size();
    std::printf("heap after %lld more input runs: %+lld bytes\n", static_cast<long long>(runs),
                static_cast<long long>(grown));
    if (grown > kSlackBytes + kBytesPerInput * runs) {
        std::fprintf(stderr, "the target keeps about %lld bytes per input\n",
                     static_cast<long long>(grown / runs));
        return 1;
    }
    return 0;
}
