#include "DeviceWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QThread>
#include <QTimer>

namespace orvid {

namespace {
enum ExitCode { kWoken = 1, kTimedOut = 2, kAborted = 3 };
QList<QEventLoop*>& runningLoops()
{
    static QList<QEventLoop*> loops;
    return loops;
}
// Waits of no time (one pass over the events) running now: no loop to end, but a device
// wait all the same, whose caller goes on with the device once the pass is over.
int& passesRunning()
{
    static int passes = 0;
    return passes;
}
QList<int>& levels()
{
    static QList<int> running;
    return running;
}
// Counts a wait (loop or pass) for as long as it runs, with the loop level it began at.
class Running {
public:
    Running() { levels().append(QThread::currentThread()->loopLevel()); }
    ~Running() { levels().removeLast(); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};
void noteWaitEnded()
{
    if (runningLoops().isEmpty() && passesRunning() == 0)
        emit DeviceWait::notifier()->idle();
}
} // namespace

DeviceWait* DeviceWait::notifier()
{
    static DeviceWait* instance = new DeviceWait; // lives as long as the program
    return instance;
}

DeviceWait::Outcome DeviceWait::wait(int msec)
{
    if (msec <= 0) {
        {
            const Running running;
            ++passesRunning();
            QCoreApplication::processEvents();
            --passesRunning();
        }
        noteWaitEnded();
        return Outcome::TimedOut;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(kTimedOut); });
    timer.start(msec);

    int code = 0;
    {
        const Running running;
        runningLoops().append(&loop);
        code = loop.exec();
        runningLoops().removeOne(&loop);
    }
    noteWaitEnded();
    switch (code) {
    case kWoken: return Outcome::Woken;
    case kAborted: return Outcome::Aborted;
    default: return Outcome::TimedOut;
    }
}

DeviceWait::Outcome DeviceWait::waitUntil(const std::function<bool()>& done, int timeoutMs,
                                          const UntilOptions& options)
{
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    // The deadline is for input that keeps coming, so it counts from the first arrival this
    // wait sees: bytes that piled up while the program was held up (busy elsewhere, or
    // running an exchange nested in this wait) and are taken in one go are no drip.
    QElapsedTimer sinceArrival;
    if (!options.progress)
        sinceArrival.start();
    qint64 seen = options.progress ? options.progress() : 0;
    bool latePassDone = !options.latePass;
    for (;;) {
        if (done())
            return Outcome::Done;
        if (options.progress) {
            const qint64 now = options.progress();
            if (now != seen) {
                seen = now;
                sinceProgress.restart();
                if (!sinceArrival.isValid())
                    sinceArrival.start();
            }
        }
        // Silence for the whole time-out is a time-out, even when the deadline has passed
        // too (a program held up for a while wakes to find both): the deadline is for input
        // that keeps coming.
        qint64 limit = qint64(timeoutMs) - sinceProgress.elapsed();
        if (limit < 0 || timeoutMs <= 0) {
            if (latePassDone)
                return Outcome::TimedOut;
            latePassDone = true;
            wait(0);
            continue;
        }
        if (options.deadlineMs > 0 && sinceArrival.isValid()) {
            const qint64 deadlineLeft = qint64(options.deadlineMs) - sinceArrival.elapsed();
            if (deadlineLeft < 0)
                return Outcome::DeadlinePassed;
            limit = qMin(limit, deadlineLeft);
        }
        if (wait(int(limit) + 1) == Outcome::Aborted)
            return Outcome::Aborted;
    }
}

void DeviceWait::wake()
{
    for (QEventLoop* loop : runningLoops())
        loop->exit(kWoken);
}

void DeviceWait::abortAll()
{
    for (QEventLoop* loop : runningLoops())
        loop->exit(kAborted);
}

int DeviceWait::depth()
{
    return static_cast<int>(runningLoops().size()) + passesRunning();
}

QList<int> DeviceWait::startLevels()
{
    return levels();
}

} // namespace orvid
