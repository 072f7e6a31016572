#pragma once
// The common part of the small lamp windows (system D's unit state and outputs, system L's
// inputs/outputs and state): a frame of lamps, a check box "automatisch aktualisieren"
// and a button "Aktualisieren" that asks the family's window for an exchange. All are
// fixed in size, never maximised, keep the automatic mode under their own settings key in
// their family's section and untick their menu entry when closed. The subclass names the
// section and finds the window it asks.

#include "WDDialogTargets.h"
#include "foundations/AppContext.h"
#include "foundations/MainFrame.h"
#include "link/LinkInterfaces.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace orvid {

class WDLampWindow : public QWidget, public IToolWindow {
    Q_OBJECT
public:
    // IToolWindow
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    QCheckBox* chkAuto = nullptr;
    QPushButton* btSet = nullptr;

protected:
    // section, autoKey: the settings section and key of chkAuto; menu: the entry that
    // shows the window.
    WDLampWindow(AppContext& ctx, const char* name, const QString& title, const char* section,
                 const char* autoKey, MenuEntry menu, QWidget* parent);
    // Lays out the lamp frame above the automatic box and the button, which it builds
    // (called once by the derived constructor when its frame is built).
    void setLampFrame(QWidget* frame);

    // btSet: the window's exchange.
    virtual void refresh() = 0;
    // chkAuto changed (also when the stored mode is loaded).
    virtual void autoChanged(bool on) { (void)on; }
    // Extra steps when the window is loaded, before it is shown.
    virtual void loading() {}
    // After closing has stored the automatic mode and the placement (Loaded is false).
    virtual void closed() {}

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

    AppContext& ctx_;

private:
    void load();
    void closeHandling();
    void chkAuto_Click();
    void btSet_Click();

    const char* const section_;
    const char* const autoKey_;
    const MenuEntry menu_;
    bool loaded_ = false;
};

// The system D lamp windows: btSet asks the system D window (IWDUnitTarget).
class WDUnitLampWindow : public WDLampWindow {
    Q_OBJECT
public:
    // The system D window that serves btSet (null: the link's current window, when it is one).
    void setTarget(IWDUnitTarget* target) { target_ = target; }

protected:
    WDUnitLampWindow(AppContext& ctx, const char* name, const QString& title, const char* autoKey,
                     MenuEntry menu, QWidget* parent);
    IWDUnitTarget* target() const;
    void refresh() override;
    virtual void refresh(IWDUnitTarget& target) = 0;

private:
    IWDUnitTarget* target_ = nullptr;
};

} // namespace orvid
