#pragma once
// Drives a modal dialog from a test: the dialog's exec() blocks the test's own code, so
// the steps run from a timer once the dialog is the active modal window.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace orvid::test {

// Runs fn on the dialog of type D as soon as it is the active modal window; a watchdog
// closes any modal window left open so a failing test cannot hang.
template <class D>
void whenModal(std::function<void(D*)> fn, int tries = 300)
{
    QTimer::singleShot(10, [fn, tries] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            fn(d);
            return;
        }
        if (tries > 0) {
            whenModal<D>(fn, tries - 1);
        } else if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "unexpected modal window";
            other->reject();
        }
    });
}

} // namespace orvid::test
