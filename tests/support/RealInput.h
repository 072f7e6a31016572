#pragma once
// Input as the window system delivers it: a click goes to the top-level window at the
// control's place, keys go to the window that has the focus. The event then takes the whole
// way a user's does (a modal window blocking the others, the focus, shortcuts, the
// application's event filters) before any handler runs - unlike an event sent straight to
// the control, or a call of its handler.

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace orvid::test {

// Where a click takes: the middle of the control, or of the indicator of a check box or
// radio button, which take clicks only on their indicator and text, however wide they are.
inline QPoint clickPoint(QWidget* control)
{
    QStyleOptionButton option;
    option.initFrom(control);
    if (qobject_cast<QRadioButton*>(control))
        return control->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, control).center();
    if (qobject_cast<QCheckBox*>(control))
        return control->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, control).center();
    return control->rect().center();
}

// Clicks the control (see clickPoint) through its top-level window. False (and a test
// failure) when the control is not visible or something else lies on top of that point.
inline bool clickOn(QWidget* control, Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (!control || !control->isVisible()) {
        ADD_FAILURE() << "clickOn: the control is not shown";
        return false;
    }
    QWidget* top = control->window();
    const QPoint pos = control->mapTo(top, clickPoint(control));
    QWidget* hit = top->childAt(pos);
    if (hit != control && !control->isAncestorOf(hit)) {
        ADD_FAILURE() << "clickOn: " << qPrintable(control->objectName()) << " is covered by "
                      << (hit ? qPrintable(hit->objectName()) : "nothing");
        return false;
    }
    QTest::mouseClick(top->windowHandle(), button, modifiers, pos);
    return true;
}

// The window the keyboard goes to now (the active one). The window system's notices that
// are still queued (a window just shown becomes the active one) are taken first.
inline QWindow* keyboardWindow()
{
    QCoreApplication::processEvents();
    return QGuiApplication::focusWindow();
}

// Types text into whatever has the keyboard focus, one key at a time.
inline void typeKeys(const QString& text)
{
    for (const QChar c : text) {
        QWindow* w = keyboardWindow();
        if (!w) {
            ADD_FAILURE() << "typeKeys: no window has the keyboard";
            return;
        }
        QTest::keyClick(w, c.toLatin1());
    }
}

// One key (with modifiers, e.g. Alt+T) to the window that has the keyboard.
inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWindow* w = keyboardWindow();
    if (!w) {
        ADD_FAILURE() << "pressKey: no window has the keyboard";
        return;
    }
    QTest::keyClick(w, key, modifiers);
}

// Shows the top-level window of the control and waits until it has the keyboard, as a
// user's window on the desktop does.
inline bool activate(QWidget* control)
{
    QWidget* top = control->window();
    top->show();
    top->activateWindow();
    return QTest::qWaitForWindowActive(top);
}

} // namespace orvid::test
