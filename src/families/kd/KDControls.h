#pragma once
// Controls both inductive system D windows and their dialogs build alike.

#include "KDItems.h"
#include "families/common/FormControls.h"
#include "foundations/ControlUtils.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

namespace orvid::kd {

inline const QString kNoLang = QStringLiteral("NOLANG");

inline QPushButton* Button(QWidget* parent, QBoxLayout* into, const char* name, const QString& text)
{
    auto* b = NamedControl<QPushButton>(parent, name);
    b->setText(text);
    b->setAutoDefault(false);
    into->addWidget(b);
    return b;
}

// "Kopfnummer" with "1".."4", "Alle": the list index is the head (4 = all heads).
inline QComboBox* HeadFrame(QWidget* parent, QBoxLayout* into, QGroupBox*& frame)
{
    auto* list = FramedControl<QComboBox>(parent, into, frame, "frameHeadNumber", QStringLiteral("Kopfnummer"),
                                          "cmbHeadNumber");
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                    QStringLiteral("Alle")});
    return list;
}

// "Code/Datenträger" with the carrier types and their tag codes: NCX (0) only where it is
// read, not where carriers are written.
inline QComboBox* CodeFrame(QWidget* parent, QBoxLayout* into, QGroupBox*& frame, bool withNCX)
{
    auto* list = FramedControl<QComboBox>(parent, into, frame, "frameCode", QStringLiteral("Code/Datentr\xE4ger"),
                                          "cmbCode");
    if (withNCX)
        list->addItem(QStringLiteral("NCX-..."), 0);
    list->addItem(QStringLiteral("ZKX-..."), 1);
    list->addItem(QStringLiteral("ZKX-...-1k"), 4);
    list->addItem(QStringLiteral("GMX-40-..."), 3);
    return list;
}

// "Betriebsart" with the modes (list index = mode) and the double-sided box under them.
inline QComboBox* ModeFrame(QWidget* parent, QBoxLayout* into, QGroupBox*& frame, const QStringList& modes,
                            QCheckBox*& doubleSided, const QString& doubleSidedText)
{
    auto* list = FramedControl<QComboBox>(parent, into, frame, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    list->addItems(modes);
    doubleSided = NamedControl<QCheckBox>(frame, "chkDoubleSided");
    doubleSided->setText(doubleSidedText);
    auto* layout = static_cast<QBoxLayout*>(frame->layout());
    layout->setDirection(QBoxLayout::TopToBottom);
    layout->addWidget(doubleSided);
    return list;
}

// The start-address box: "0000", at most four characters, anything but hex digits removed
// with a beep.
inline void MakeAddressBox(QLineEdit* box)
{
    box->setMaxLength(4);
    box->setText(QStringLiteral("0000"));
    QObject::connect(box, &QLineEdit::textChanged, box,
                     [box] { FilterTextBox(box, QStringLiteral("0123456789abcdefABCDEF")); });
}

// Leaving the start-address box: its text becomes the address it spells, four digits.
inline quint16 TakeAddress(QLineEdit* box)
{
    const quint16 address = ParseAddress(box->text());
    box->setText(AddressText(address));
    return address;
}

} // namespace orvid::kd
