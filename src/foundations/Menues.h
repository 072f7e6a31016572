#pragma once
// A list of menu entries that a window hands out to be shown as a popup menu
// (the command list of a system window, the family popups). Plain data: the shell's
// ShowPopupMenu turns it into a QMenu.

#include <QList>
#include <QString>

namespace orvid {

struct MenuItem {
    QString caption;   // "-" is a separator
    int id = 0;        // returned when the entry is chosen
    bool enabled = true;
};

class Menues {
public:
    void Add(const QString& caption, int id, bool enabled = true) { items_.append({caption, id, enabled}); }
    int count() const { return static_cast<int>(items_.size()); }
    const MenuItem& item(int index) const { return items_.at(index); }
    const QList<MenuItem>& items() const { return items_; }
    bool isEmpty() const { return items_.isEmpty(); }
    void clear() { items_.clear(); }

private:
    QList<MenuItem> items_;
};

} // namespace orvid
