#include "Families.h"

#include "FamilyWindows.h"
#include "foundations/AppContext.h"
#include "kr/frmSystemKR.h"
#include "link/LK.h"
#include "wd/RegisterWD.h"

namespace orvid {

void RegisterFamilies(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // System R: one window serves both head variants (entries 2 and 3).
    const auto kr = OnFirstUse<frmSystemKR>(ctx);
    ctx.lk->RegisterSystem(2, kr);
    ctx.lk->RegisterSystem(3, kr);
    // Microwave system D (entry 6) and its outputs and unit-state windows.
    RegisterSystemWD(ctx);
}

} // namespace orvid
