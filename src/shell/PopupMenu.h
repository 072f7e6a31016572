#pragma once
// Popup menus built from a Menues list: "-" entries become separators, disabled entries
// are greyed and cannot be chosen, checked entries carry a check mark, and an entry that
// other entries name as their parent opens a submenu holding them. An entry whose parent
// does not exist ends up in a menu that is never shown. ShowPopupMenu runs the menu at a
// screen position and returns the id of the chosen entry, 0 when the user dismissed it.

#include "foundations/Menues.h"

#include <QPoint>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace orvid {

// Builds the menu without showing it; the caller owns the result.
QMenu* BuildPopupMenu(const Menues& menues, QWidget* parent);

// The id carried by a menu action, 0 for none (separators, submenus, a null action).
int PopupMenuActionId(const QAction* action);

int ShowPopupMenu(const Menues& menues, QWidget* parent, const QPoint& globalPos);

// Replaces QMenu::exec (tests pick an action without a modal loop); an empty function
// restores the real one.
using PopupMenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
void SetPopupMenuRunner(PopupMenuRunner runner);

} // namespace orvid
