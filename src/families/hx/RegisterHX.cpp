#include "RegisterHX.h"

#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "frmSystemHX.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemHX(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // One window serves both transports; Init tells it which.
    const auto hx = OnFirstUse<frmSystemHX>(ctx);
    ctx.lk->RegisterSystem(1, hx);
    ctx.lk->RegisterSystem(10, hx);
}

} // namespace orvid
