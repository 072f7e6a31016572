#pragma once
// Small builders for the controls of the family windows and dialogs: controls carry the
// objectName the language file and the tests know them by (and the index of a control
// array), and most frames hold a single control.

#include <QBoxLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace orvid {

// A control of type T in parent, named name (index >= 0: element of a control array).
template <class T>
T* NamedControl(QWidget* parent, const char* name, int index = -1)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (index >= 0)
        w->setProperty("ctrlIndex", index);
    return w;
}

// A titled frame (group box) named name.
inline QGroupBox* NamedFrame(QWidget* parent, const char* name, const QString& title)
{
    auto* frame = NamedControl<QGroupBox>(parent, name);
    frame->setTitle(title);
    return frame;
}

// A button named name with its text.
inline QPushButton* NamedButton(QWidget* parent, const char* name, const QString& text, int index = -1)
{
    auto* button = NamedControl<QPushButton>(parent, name, index);
    button->setText(text);
    return button;
}

// A titled frame named frameName in parent, added to into, holding one control of type T
// named name; frame receives the frame.
template <class T>
T* FramedControl(QWidget* parent, QBoxLayout* into, QGroupBox*& frame, const char* frameName,
                 const QString& title, const char* name)
{
    frame = NamedFrame(parent, frameName, title);
    auto* control = NamedControl<T>(frame, name);
    (new QHBoxLayout(frame))->addWidget(control);
    if (into)
        into->addWidget(frame);
    return control;
}

// The operation modes of the system R telegrams, as list entries with their number:
// Single 0, Buffered 1, Auto 2, Enhanced 3; without allModes only Single and Enhanced.
inline void AddModeItems(QComboBox* list, bool allModes = true)
{
    list->addItem(QStringLiteral("Single"), 0);
    if (allModes) {
        list->addItem(QStringLiteral("Buffered"), 1);
        list->addItem(QStringLiteral("Auto"), 2);
    }
    list->addItem(QStringLiteral("Enhanced"), 3);
}

} // namespace orvid
