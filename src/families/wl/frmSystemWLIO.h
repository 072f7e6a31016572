#pragma once
// The inputs/outputs window of system L, shared by entries 7 and 8: three input lamps, two
// output boxes with the lamps of their read-back state. It talks to the unit only through
// the current system window's IWLIOHost; that window sets the lamps.

#include "families/common/SmallWindow.h"

#include <QList>
#include <array>

class QCheckBox;
class QLabel;

namespace orvid {

class IWLIOHost;
class Lamp;

class frmSystemWLIO : public LampWindow {
    Q_OBJECT
public:
    explicit frmSystemWLIO(AppContext& ctx, QWidget* parent = nullptr);

    bool OutputChecked(int index) const;
    // Lights the lamps; without a state every lamp goes dark.
    void SetLamps(const std::array<bool, 3>& inputs, const std::array<bool, 2>& outputs);
    void ClearLamps();
    bool InputLit(int index) const;
    bool OutputLit(int index) const;

    QGroupBox* frameInput = nullptr;
    QGroupBox* frameOutput = nullptr;
    QList<Lamp*> cirInput;
    QList<QLabel*> lblInput;
    QList<QCheckBox*> chkOutput;
    QList<Lamp*> cirOutput;

protected:
    void refresh() override;
    void autoChanged(bool on) override;
    void loadingLamps() override;
    void closed() override;

private:
    IWLIOHost* host() const;
    void chkOutput_Click();
    // Each output box ticked when its read-back lamp is lit.
    void mirrorOutputs();
};

} // namespace orvid
