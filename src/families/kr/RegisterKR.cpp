#include "RegisterKR.h"

#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "frmSystemKR.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemKR(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // One window serves both head variants (entries 2 and 3).
    const auto kr = OnFirstUse<frmSystemKR>(ctx);
    ctx.lk->RegisterSystem(2, kr);
    ctx.lk->RegisterSystem(3, kr);
}

} // namespace orvid
