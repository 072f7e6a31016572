#include "PopupMenu.h"

#include <QAction>
#include <QMenu>
#include <memory>

namespace orvid {

namespace {
PopupMenuRunner& runner()
{
    static PopupMenuRunner r;
    return r;
}
} // namespace

QMenu* BuildPopupMenu(const Menues& menues, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (const MenuItem& item : menues.items()) {
        if (item.caption == QLatin1String("-")) {
            menu->addSeparator();
            continue;
        }
        // Captions are shown as they stand: a "&" in a command line is text, not a mnemonic.
        QString caption = item.caption;
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* action = menu->addAction(caption);
        action->setData(item.id);
        // Enabled per entry, not per id: two entries sharing an id stay independent.
        action->setEnabled(item.enabled);
    }
    return menu;
}

int PopupMenuActionId(const QAction* action)
{
    if (!action || action->isSeparator() || !action->isEnabled())
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
