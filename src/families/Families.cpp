#include "Families.h"

#include "foundations/AppContext.h"
#include "kr/frmSystemKR.h"
#include "wd/RegisterWD.h"
#include "link/LK.h"
#include "shell/frmMain.h"

#include <QPointer>
#include <memory>

namespace orvid {

namespace {

// Keeps the one window of a family. A window adopted into the main window's MDI area is
// owned by its sub-window; a top-level one (no main window, as in tests) goes with the
// link's system table.
template <typename Window>
struct WindowHolder {
    QPointer<Window> window;
    bool adopted = false;
    ~WindowHolder()
    {
        if (window && !adopted)
            delete window.data();
    }
};

template <typename Window>
std::function<ISystemForm*()> SharedWindow(AppContext& ctx)
{
    auto holder = std::make_shared<WindowHolder<Window>>();
    AppContext* context = &ctx;
    return [holder, context]() -> ISystemForm* {
        if (!holder->window) {
            auto* w = new Window(*context);
            holder->window = w;
            if (auto* main = dynamic_cast<frmMain*>(context->mainWindow)) {
                main->adoptChild(w);
                holder->adopted = true;
            }
        }
        return holder->window.data();
    };
}

} // namespace

void RegisterFamilies(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    // System R: one window serves both head variants (entries 2 and 3).
    const auto kr = SharedWindow<frmSystemKR>(ctx);
    ctx.lk->RegisterSystem(2, kr);
    ctx.lk->RegisterSystem(3, kr);
    // Microwave system D (entry 6) and its outputs and unit-state windows.
    RegisterSystemWD(ctx);
}

} // namespace orvid
