#pragma once
// The one wait of the device link. Every wait for the device (serial reply, TCP reply,
// connection, paced wait, recognition) runs a QEventLoop that window events keep flowing
// through, and ends when the transport wakes it (readyRead and the like), when its
// time-out passes, or when the program aborts all waits. No spinning, no sleeping: a wait
// costs next to no CPU.
//
// Waits nest: a timer tick or a click handled inside a wait may start an exchange of its
// own. wake() ends every running wait; each caller re-checks its own condition and waits
// again when it is not met, so an outer wait never misses data that arrived while an
// inner one ran.

#include <QList>
#include <QObject>

#include <functional>

class QEventLoop;

namespace orvid {

class DeviceWait : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Woken, TimedOut, Aborted, Done, DeadlinePassed };

    // Runs window events until wake(), abortAll() or msec milliseconds have passed.
    // msec <= 0 processes pending events once and returns TimedOut.
    static Outcome wait(int msec);

    struct UntilOptions {
        // A value that grows as input arrives: each change starts the time-out again, so
        // the time-out limits the pause between two arrivals, not the whole wait.
        std::function<qint64()> progress;
        // Hard limit in ms (0: none) from the first arrival the wait sees (from its start
        // without a progress value). It holds even while progress keeps changing, so a
        // peer that drips bytes cannot hold the wait for ever.
        int deadlineMs = 0;
        // One more pass over the events before a time-out is final: input that reached
        // the driver while the program was busy elsewhere is still taken.
        bool latePass = false;
    };

    // The one wait loop of the link: checks done() (which may take input and decide) and
    // waits until it is true (Done), the time-out passes without progress (TimedOut), the
    // deadline passes (DeadlinePassed) or the program aborts all waits (Aborted). done()
    // is checked first and after every wake. timeoutMs <= 0 runs the events once.
    static Outcome waitUntil(const std::function<bool()>& done, int timeoutMs,
                             const UntilOptions& options);
    static Outcome waitUntil(const std::function<bool()>& done, int timeoutMs)
    {
        return waitUntil(done, timeoutMs, UntilOptions());
    }
    // Ends every running wait with Woken.
    static void wake();
    // Ends every running wait with Aborted (the program is closing).
    static void abortAll();
    // Number of waits running now (nesting depth).
    static int depth();
    // The event-loop level (QThread::loopLevel) each running wait began at, outermost
    // first: a wait that began inside a dialog's loop is told from one its opener runs.
    static QList<int> startLevels();
    // Emits idle() whenever the outermost wait has ended.
    static DeviceWait* notifier();

signals:
    void idle();

private:
    DeviceWait() = default;
};

} // namespace orvid
