#pragma once
// The unit-state window of the microwave system D: seven lamps, one per state the unit
// reports, lit by the system D window's GetState on request (btSet) or on every poll step
// while chkAuto is ticked.

#include "WDUnitLampWindow.h"
#include "WDProtocol.h"

#include <QList>

class QLabel;

namespace orvid {

class Lamp;

class frmSystemWDState : public WDUnitLampWindow, public IWDStateView {
    Q_OBJECT
public:
    static constexpr int kStates = 7;

    explicit frmSystemWDState(AppContext& ctx, QWidget* parent = nullptr);

    // IToolWindow and IWDStateView both ask for Loaded.
    bool Loaded() const override { return LampWindow::Loaded(); }
    // IWDStateView
    bool AutoMode() const override { return AutoRefresh(); }
    void SetStateLamp(int index, bool lit) override;

    bool lampLit(int index) const;

    QGroupBox* frameState = nullptr;
    QList<Lamp*> cirState;
    QList<QLabel*> lblState;

protected:
    using WDUnitLampWindow::refresh;
    void refresh(IWDUnitTarget& target) override;
    void autoChanged(bool on) override;
    void loadingLamps() override;
};

} // namespace orvid
