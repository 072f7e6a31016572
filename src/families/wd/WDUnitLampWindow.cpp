#include "WDUnitLampWindow.h"

#include "WDSettings.h"
#include "link/LK.h"

namespace orvid {

WDUnitLampWindow::WDUnitLampWindow(AppContext& ctx, const char* name, const QString& title, const char* autoKey,
                                   MenuEntry menu, QWidget* parent)
    : LampWindow(ctx, name, title, WDSettings::kSection, autoKey, menu, parent)
{
}

IWDUnitTarget* WDUnitLampWindow::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDUnitTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void WDUnitLampWindow::refresh()
{
    if (IWDUnitTarget* t = target())
        refresh(*t);
}

} // namespace orvid
