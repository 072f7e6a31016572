#include "DeviceWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QList>
#include <QTimer>

namespace orvid {

namespace {
enum ExitCode { kWoken = 1, kTimedOut = 2, kAborted = 3 };
QList<QEventLoop*>& runningLoops()
{
    static QList<QEventLoop*> loops;
    return loops;
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
        QCoreApplication::processEvents();
        return Outcome::TimedOut;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(kTimedOut); });
    timer.start(msec);

    runningLoops().append(&loop);
    const int code = loop.exec();
    runningLoops().removeOne(&loop);

    if (runningLoops().isEmpty())
        emit notifier()->idle();
    switch (code) {
    case kWoken: return Outcome::Woken;
    case kAborted: return Outcome::Aborted;
    default: return Outcome::TimedOut;
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
    return static_cast<int>(runningLoops().size());
}

} // namespace orvid
