#include "RegisterKLX.h"

#include "frmSystemWKLX9000.h"
#include "frmSystemWKLX9000IO.h"
#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemKLX(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // The outputs window finds the reader window on the link (the current window), so the
    // two need no link between them and either may be built first.
    ctx.lk->RegisterSystem(KLXProtocol::kSystemEntry, OnFirstUse<frmSystemWKLX9000>(ctx),
                           OnFirstUse<frmSystemWKLX9000IO>(ctx));
}

} // namespace orvid
