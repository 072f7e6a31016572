#include "Families.h"

#include "foundations/AppContext.h"
#include "hx/RegisterHX.h"
#include "kd/RegisterKD.h"
#include "kr/RegisterKR.h"
#include "wd/RegisterWD.h"
#include "wl/RegisterWL.h"
#include "wl/RegisterWLFramed.h"
#include "wklx/RegisterKLX.h"

namespace orvid {

void RegisterFamilies(AppContext& ctx)
{
    // Every family registers its windows for its entries in its own Register<family>.cpp,
    // building them on first use (FamilyWindows.h).
    RegisterSystemKR(ctx);   // system R: entries 2 and 3
    RegisterSystemWD(ctx);   // microwave system D: entry 6 with its outputs and state windows
    RegisterSystemHX(ctx);   // interface units: entries 1 (serial) and 10 (Ethernet)
    // Microwave system L: entry 7; its I/O window serves entry 8 as well.
    const WLIOWindow wlio = RegisterSystemL(ctx);
    RegisterSystemWLFramed(ctx, wlio); // entry 8 (framed protocol) with its state window
    RegisterSystemKD(ctx);   // inductive system D: entries 4 (fixcode) and 5 (read/write)
    RegisterSystemKLX(ctx);  // long-range reader KLX9000: entry 9 with its outputs window
}

} // namespace orvid
