#pragma once
// Drives a modal dialog from a test: the dialog's exec() blocks the test's own code, so
// the steps run from a timer once the dialog is the active modal window.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace orvid::test {

// Counts the tests that have ended in this program (gtest_main bumps it). A watcher set up
// by one test runs only while that test does: it must never act on a later test's dialog,
// nor reach the locals of a test that has returned.
inline int& testsEnded()
{
    static int ended = 0;
    return ended;
}

// Runs fn on the dialog of type D as soon as it is the active modal window; a watchdog
// closes any modal window left open so a failing test cannot hang.
template <class D>
void whenModal(std::function<void(D*)> fn, int tries = 300, int test = testsEnded())
{
    QTimer::singleShot(10, [fn, tries, test] {
        if (test != testsEnded())
            return;
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            fn(d);
            return;
        }
        if (tries > 0) {
            whenModal<D>(fn, tries - 1, test);
        } else if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "unexpected modal window";
            other->reject();
        }
    });
}

// Runs then once seen() holds, checked every few ms from the event loop (a wait of the
// program's included): a step placed inside a wait by what the device has received, not
// by the clock.
inline void whenSeen(std::function<bool()> seen, std::function<void()> then, int tries = 1000,
                     int test = testsEnded())
{
    QTimer::singleShot(5, [seen, then, tries, test] {
        if (test != testsEnded())
            return;
        if (seen())
            then();
        else if (tries > 0)
            whenSeen(seen, then, tries - 1, test);
        else
            ADD_FAILURE() << "whenSeen: never seen";
    });
}

} // namespace orvid::test
