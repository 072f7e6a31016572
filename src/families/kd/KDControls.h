#pragma once
// Controls both inductive system D windows and their dialogs build alike.

#include "families/common/FormControls.h"

#include <QComboBox>
#include <QPushButton>
#include <QStringList>

namespace orvid::kd {

inline QPushButton* Button(QWidget* parent, QBoxLayout* into, const char* name, const QString& text)
{
    auto* b = NamedControl<QPushButton>(parent, name);
    b->setText(text);
    b->setAutoDefault(false);
    into->addWidget(b);
    return b;
}

// "1".."4", "Alle": the list index is the head (4 = all heads).
inline void AddHeadItems(QComboBox* list)
{
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                    QStringLiteral("Alle")});
}

// The writable carrier types with their tag codes (the read/write window adds NCX first).
inline void AddWritableCodeItems(QComboBox* list)
{
    list->addItem(QStringLiteral("ZKX-..."), 1);
    list->addItem(QStringLiteral("ZKX-...-1k"), 4);
    list->addItem(QStringLiteral("GMX-40-..."), 3);
}

} // namespace orvid::kd
