#pragma once
// The small child windows beside a family's main window (system D's unit state and
// outputs, system L's inputs/outputs and reader state, the KLX9000's outputs): fixed in
// size and never maximised, loaded on first showing, their placement restored and saved,
// and their menu entry unticked when they close.
//
// LampWindow adds what the lamp windows share: a frame of lamps, a check box "automatisch
// aktualisieren" kept under its own settings key in the family's section, and a button
// "Aktualisieren" for one refresh by hand. The subclass names the section and finds the
// window it asks. Closed, a lamp window forgets what it showed: the automatic box, its
// output boxes ("chkOutput") and its lamps start off at the next load.

#include "foundations/AppContext.h"
#include "foundations/MainFrame.h"
#include "link/LinkInterfaces.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace orvid {

class SmallWindow : public QWidget, public IToolWindow {
    Q_OBJECT
public:
    // IToolWindow
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

protected:
    // menu: the entry that shows the window.
    SmallWindow(AppContext& ctx, const char* name, const QString& title, MenuEntry menu, QWidget* parent);

    // Extra steps when the window is loaded, before it is shown (Loaded is still false).
    virtual void loading() {}
    // First steps of closing, while Loaded.
    virtual void closing() {}
    // After closing has saved the placement (Loaded is false).
    virtual void closed() {}

    // The window's first look at the device when it loads: now when the link is free,
    // else as soon as it is idle again. A window that a selection of the system shows
    // loads while the link still selects, when the main window refuses any exchange; the
    // exchange then runs once the selection has ended. Dropped when the window is closed
    // first.
    void whenLinkFree(std::function<void()> exchange);

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

    AppContext& ctx_;

private:
    void load();
    void closeHandling();

    const MenuEntry menu_;
    bool loaded_ = false;
    // Counts loads and closes: an exchange waiting for the link belongs to the load it was
    // asked in, until the window closes.
    int generation_ = 0;
};

class LampWindow : public SmallWindow {
    Q_OBJECT
public:
    // Loaded and refreshing automatically (chkAuto ticked).
    bool AutoRefresh() const { return Loaded() && autoRefresh_; }

    QCheckBox* chkAuto = nullptr;
    QPushButton* btSet = nullptr;

protected:
    // section, autoKey: the settings section and key of chkAuto.
    LampWindow(AppContext& ctx, const char* name, const QString& title, const char* section,
               const char* autoKey, MenuEntry menu, QWidget* parent);
    // Lays out the lamp frame above the automatic box and the button, which it builds
    // (called once by the derived constructor when its frame is built).
    void setLampFrame(QWidget* frame);

    // btSet: the window's exchange.
    virtual void refresh() = 0;
    // chkAuto changed (also when the stored mode changes it on loading).
    virtual void autoChanged(bool on) { (void)on; }
    // Extra steps when the window is loaded, after the stored mode was applied.
    virtual void loadingLamps() {}

    void loading() final;
    void closing() final;

private:
    void chkAuto_Click();
    void btSet_Click();

    const char* const section_;
    const char* const autoKey_;
    bool autoRefresh_ = false;
};

} // namespace orvid
