#pragma once
// The common part of the two small system D windows (unit state, outputs): a frame of
// lamps, a check box "automatisch aktualisieren" and a button "Aktualisieren" that asks
// the system D window for an exchange. Both are fixed in size, never maximised, keep the
// automatic mode under their own settings key and untick their menu entry when closed.

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
    // The system D window that serves btSet (null: the link's current window, when it is one).
    void setTarget(IWDUnitTarget* target) { target_ = target; }

    // IToolWindow
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    QCheckBox* chkAuto = nullptr;
    QPushButton* btSet = nullptr;

protected:
    // autoKey: the settings key of chkAuto in the family's section; menu: the entry that
    // shows the window.
    WDLampWindow(AppContext& ctx, const char* name, const QString& title, const char* autoKey,
                 MenuEntry menu, QWidget* parent);
    // Lays out the lamp frame above the automatic box and the button, which it builds
    // (called once by the derived constructor when its frame is built).
    void setLampFrame(QGroupBox* frame);
    IWDUnitTarget* target() const;

    // btSet: the window's exchange.
    virtual void refresh(IWDUnitTarget& target) = 0;
    // chkAuto changed (also when the stored mode is loaded).
    virtual void autoChanged(bool on) { (void)on; }
    // Extra steps when the window is loaded, before it is shown.
    virtual void loading() {}

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

    AppContext& ctx_;

private:
    void load();
    void closeHandling();
    void chkAuto_Click();
    void btSet_Click();

    const char* const autoKey_;
    const MenuEntry menu_;
    IWDUnitTarget* target_ = nullptr;
    bool loaded_ = false;
};

} // namespace orvid
