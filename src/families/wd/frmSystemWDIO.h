#pragma once
// The outputs window of the microwave system D: four switching outputs, sent by the system
// D window's OutputSet on request (btSet) or at once when a box changes while chkAuto is
// ticked. A lamp lights only when the unit confirmed the outputs.

#include "WDUnitLampWindow.h"
#include "WDProtocol.h"

#include <QList>

namespace orvid {

class Lamp;

class frmSystemWDIO : public WDUnitLampWindow, public IWDOutputsView {
    Q_OBJECT
public:
    static constexpr int kOutputs = 4;

    explicit frmSystemWDIO(AppContext& ctx, QWidget* parent = nullptr);

    // IWDOutputsView
    int OutputCount() const override { return kOutputs; }
    bool OutputChecked(int index) const override;
    void SetOutputLamp(int index, bool lit) override;

    bool lampLit(int index) const;

    QGroupBox* frameOutput = nullptr;
    QList<QCheckBox*> chkOutput;
    QList<Lamp*> cirOutput;

protected:
    using WDUnitLampWindow::refresh;
    void refresh(IWDUnitTarget& target) override;

private:
    void chkOutput_Click();
};

} // namespace orvid
