#pragma once
// What the foundations and the device link need of the main window: the check marks and
// enabled states of its window menu, the family menu marks and the status-bar labels.
// frmMain implements it; tests use a fake.

#include <QString>

namespace orvid {

enum class MenuEntry {
    OrvidWindow, // mnOrvidWindow: the current system's main window
    IO,          // mnIO
    State,       // mnState
    Command,     // mnCommand
    Monitor      // mnMonitor
};

class IMainFrame {
public:
    virtual ~IMainFrame() = default;

    virtual bool menuChecked(MenuEntry entry) const = 0;
    virtual void setMenuChecked(MenuEntry entry, bool checked) = 0;
    virtual bool menuEnabled(MenuEntry entry) const = 0;
    virtual void setMenuEnabled(MenuEntry entry, bool enabled) = 0;

    // Check mark of one entry of a family menu control array, e.g. ("mnOrvidSystemKR", 3).
    virtual void setMenuArrayChecked(const QString& arrayName, int index, bool checked) = 0;

    // Status bar: lblPort (port and its settings) and lblOrvidSystem (selected system).
    virtual void setPortLabel(const QString& caption) = 0;
    virtual void setPortLabelEnabled(bool enabled) = 0;
    virtual void setSystemLabel(const QString& caption, bool enabled) = 0;
    // Height of lblPort in pixels: picks the large- or small-font default layout.
    virtual int portLabelHeight() const = 0;
};

} // namespace orvid
