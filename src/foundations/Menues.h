#pragma once
// A list of popup-menu entries that a window hands out to be shown as a popup menu
// (the command list of a system window, the head-type menus). Plain data: the shell's
// ShowPopupMenu turns it into a QMenu tree.
//
// Entries are addressed by their 1-based position in the list. An entry's parentid is the
// position of the entry whose submenu holds it (0 = the top level); an entry that some
// other entry names as its parent opens a submenu instead of being chosen.

#include <QList>
#include <QString>
#include <QVariant>

namespace orvid {

struct Menue {
    int position = 0;     // 1-based position in the owning Menues, set when added
    QVariant id;          // reported when the entry is chosen (its integer value)
    QString Caption;      // "-" makes a separator
    int parentid = 0;     // position of the parent entry; 0 = top level
    bool enabled = true;  // greyed and not selectable when false
    bool checked = false; // shown with a check mark
    QVariant Tag;         // free for the caller
};

class Menues {
public:
    // Appends an entry and returns it. The reference is valid until the list changes.
    Menue& Add(const QVariant& id, const QString& caption, int parentid = 0, bool enabled = true,
               bool checked = false, const QVariant& tag = QVariant())
    {
        Menue entry;
        entry.id = id;
        entry.Caption = caption;
        entry.parentid = parentid;
        entry.enabled = enabled;
        entry.checked = checked;
        entry.Tag = tag;
        items_.append(entry);
        items_.last().position = count();
        return items_.last();
    }
    int count() const { return static_cast<int>(items_.size()); }
    // By 1-based position.
    const Menue& item(int position) const { return items_.at(position - 1); }
    Menue& item(int position) { return items_[position - 1]; }
    // Removes the entry at a 1-based position; the entries after it move up one place.
    // Positions outside the list are ignored.
    void Remove(int position)
    {
        if (position < 1 || position > count())
            return;
        items_.removeAt(position - 1);
        for (int i = position - 1; i < count(); ++i)
            items_[i].position = i + 1;
    }

    const QList<Menue>& items() const { return items_; }
    bool isEmpty() const { return items_.isEmpty(); }
    void clear() { items_.clear(); }

private:
    QList<Menue> items_;
};

} // namespace orvid
