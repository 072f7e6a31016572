#pragma once
// The system D lamp windows (unit state, outputs): btSet asks the system D window
// (IWDUnitTarget); the automatic mode is kept in the family's section.

#include "WDDialogTargets.h"
#include "families/common/SmallWindow.h"

namespace orvid {

class WDUnitLampWindow : public LampWindow {
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
