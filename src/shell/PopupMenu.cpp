#include "PopupMenu.h"

#include <QAction>
#include <QHash>
#include <QMenu>
#include <memory>

namespace orvid {

namespace {
PopupMenuRunner& runner()
{
    static PopupMenuRunner r;
    return r;
}

// Captions are shown as they stand: a "&" in a command line is text, not a mnemonic.
QString shownCaption(const QString& caption)
{
    QString text = caption;
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return text;
}
} // namespace

QMenu* BuildPopupMenu(const Menues& menues, QWidget* parent)
{
    auto* root = new QMenu(parent);
    // First the menus, one for every position named as a parent, so that an entry may come
    // before or after the entry that opens its submenu. A menu whose opening entry does not
    // exist is never shown, and neither is what it holds; the root owns it all the same.
    QHash<int, QMenu*> menus;
    menus.insert(0, root);
    for (const Menue& item : menues.items())
        if (!menus.contains(item.parentid))
            menus.insert(item.parentid, new QMenu(root));

    for (const Menue& item : menues.items()) {
        QMenu* parentMenu = menus.value(item.parentid);
        QMenu* sub = item.position != item.parentid && item.position != 0
            ? menus.value(item.position) : nullptr;
        QAction* action = nullptr;
        if (item.Caption == QLatin1String("-")) {
            action = parentMenu->addSeparator();
        } else if (sub) {
            sub->setTitle(shownCaption(item.Caption));
            action = parentMenu->addMenu(sub);
        } else {
            action = parentMenu->addAction(shownCaption(item.Caption));
            action->setData(item.id.toInt());
        }
        if (item.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        // Enabled per entry, not per id: two entries sharing an id stay independent.
        action->setEnabled(item.enabled);
    }
    return root;
}

int PopupMenuActionId(const QAction* action)
{
    if (!action || action->isSeparator() || !action->isEnabled() || action->menu())
        return 0;
    return action->data().toInt();
}

int ShowPopupMenu(const Menues& menues, QWidget* parent, const QPoint& globalPos)
{
    if (menues.isEmpty())
        return 0;
    std::unique_ptr<QMenu> menu(BuildPopupMenu(menues, parent));
    QAction* chosen = runner() ? runner()(*menu, globalPos) : menu->exec(globalPos);
    return PopupMenuActionId(chosen);
}

void SetPopupMenuRunner(PopupMenuRunner r)
{
    runner() = std::move(r);
}

} // namespace orvid
