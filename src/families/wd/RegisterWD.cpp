#include "RegisterWD.h"

#include "frmSystemWD.h"
#include "frmSystemWDIO.h"
#include "frmSystemWDState.h"
#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemWD(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // The main window fills the unit-state and outputs windows and serves their buttons,
    // whichever of the three is opened first.
    const auto windows = OnFirstUse<frmSystemWD, frmSystemWDIO, frmSystemWDState>(
        ctx, [](frmSystemWD& main, frmSystemWDIO* io, frmSystemWDState* state) {
            main.setIOWindow(io);
            main.setStateWindow(state);
        });
    ctx.lk->RegisterSystem(WDProtocol::kSystemEntry, windows.main, windows.io, windows.state);
}

} // namespace orvid
