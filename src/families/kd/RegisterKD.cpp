#include "RegisterKD.h"

#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "frmSystemKDFixcode.h"
#include "frmSystemKDReadWrite.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemKD(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    ctx.lk->RegisterSystem(4, OnFirstUse<frmSystemKDFixcode>(ctx));
    ctx.lk->RegisterSystem(5, OnFirstUse<frmSystemKDReadWrite>(ctx));
}

} // namespace orvid
