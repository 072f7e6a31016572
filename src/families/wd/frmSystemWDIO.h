#pragma once
// The outputs window of the microwave system D: four switching outputs, sent by the system
// D window's OutputSet on request (btSet) or at once when a box changes while chkAuto is
// ticked. A lamp lights only when the unit confirmed the outputs.

#include "WDDialogTargets.h"
#include "WDProtocol.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace orvid {

class WDLamp;

class frmSystemWDIO : public QWidget, public IToolWindow, public IWDOutputsView {
    Q_OBJECT
public:
    static constexpr int kOutputs = 4;

    explicit frmSystemWDIO(AppContext& ctx, QWidget* parent = nullptr);

    void setTarget(IWDUnitTarget* target) { target_ = target; }

    // IToolWindow / IWDOutputsView
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;
    int OutputCount() const override { return kOutputs; }
    bool OutputChecked(int index) const override;
    void SetOutputLamp(int index, bool lit) override;

    bool lampLit(int index) const;

    QGroupBox* frameOutput = nullptr;
    QList<QCheckBox*> chkOutput;
    QList<WDLamp*> cirOutput;
    QCheckBox* chkAuto = nullptr;
    QPushButton* btSet = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void load();
    void closeHandling();
    void btSet_Click();
    void chkOutput_Click();
    IWDUnitTarget* target() const;

    AppContext& ctx_;
    IWDUnitTarget* target_ = nullptr;
    bool loaded_ = false;
};

} // namespace orvid
