#include "Families.h"

#include "FamilyWindows.h"
#include "foundations/AppContext.h"
#include "kr/frmSystemKR.h"
#include "link/LK.h"
#include "wd/frmSystemWD.h"
#include "wd/frmSystemWDIO.h"
#include "wd/frmSystemWDState.h"

namespace orvid {

void RegisterFamilies(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // System R: one window serves both head variants (entries 2 and 3).
    const auto kr = OnFirstUse<frmSystemKR>(ctx);
    ctx.lk->RegisterSystem(2, kr);
    ctx.lk->RegisterSystem(3, kr);
    // Microwave system D (entry 6) and its outputs and unit-state windows. The main window
    // fills the small ones and serves their buttons, whichever of the three opens first.
    const auto wd = OnFirstUse<frmSystemWD, frmSystemWDIO, frmSystemWDState>(
        ctx, [](frmSystemWD& main, frmSystemWDIO* io, frmSystemWDState* state) {
            main.setIOWindow(io);
            main.setStateWindow(state);
        });
    ctx.lk->RegisterSystem(6, wd.main, wd.io, wd.state);
}

} // namespace orvid
