#include "Families.h"

#include "foundations/AppContext.h"
#include "kr/RegisterKR.h"
#include "wd/RegisterWD.h"
#include "wklx/RegisterKLX.h"

namespace orvid {

void RegisterFamilies(AppContext& ctx)
{
    // Every family registers its windows for its entries in its own Register<family>.cpp,
    // building them on first use (FamilyWindows.h).
    RegisterSystemKR(ctx);   // system R: entries 2 and 3
    RegisterSystemWD(ctx);   // microwave system D: entry 6 with its outputs and state windows
    RegisterSystemKLX(ctx);  // long-range reader KLX9000: entry 9 with its outputs window
}

} // namespace orvid
