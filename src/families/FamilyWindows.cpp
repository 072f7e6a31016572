#include "FamilyWindows.h"

#include "shell/frmMain.h"

namespace orvid {

void AdoptFamilyWindow(AppContext& ctx, QWidget* window)
{
    if (auto* main = dynamic_cast<frmMain*>(ctx.mainWindow))
        main->adoptChild(window);
}

} // namespace orvid
