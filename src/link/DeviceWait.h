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

#include <QObject>

class QEventLoop;

namespace orvid {

class DeviceWait : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Woken, TimedOut, Aborted };

    // Runs window events until wake(), abortAll() or msec milliseconds have passed.
    // msec <= 0 processes pending events once and returns TimedOut.
    static Outcome wait(int msec);
    // Ends every running wait with Woken.
    static void wake();
    // Ends every running wait with Aborted (the program is closing).
    static void abortAll();
    // Number of waits running now (nesting depth).
    static int depth();
    // Emits idle() whenever the outermost wait has ended.
    static DeviceWait* notifier();

signals:
    void idle();

private:
    DeviceWait() = default;
};

} // namespace orvid
