#pragma once
// The unit-state window of the microwave system D: seven lamps, one per state the unit
// reports, lit by the system D window's GetState on request (btSet) or on every poll step
// while chkAuto is ticked.

#include "WDDialogTargets.h"
#include "WDProtocol.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace orvid {

class WDLamp;

class frmSystemWDState : public QWidget, public IToolWindow, public IWDStateView {
    Q_OBJECT
public:
    static constexpr int kStates = 7;

    explicit frmSystemWDState(AppContext& ctx, QWidget* parent = nullptr);

    // The system D window that serves btSet (null: the link's current window, when it is one).
    void setTarget(IWDUnitTarget* target) { target_ = target; }

    // IToolWindow / IWDStateView
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;
    bool AutoMode() const override { return autoMode_; }
    void SetStateLamp(int index, bool lit) override;

    bool lampLit(int index) const;

    QGroupBox* frameState = nullptr;
    QList<WDLamp*> cirState;
    QList<QLabel*> lblState;
    QCheckBox* chkAuto = nullptr;
    QPushButton* btSet = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void load();
    void closeHandling();
    void chkAuto_Click();
    void btSet_Click();
    IWDUnitTarget* target() const;

    AppContext& ctx_;
    IWDUnitTarget* target_ = nullptr;
    bool loaded_ = false;
    bool autoMode_ = false;
};

} // namespace orvid
