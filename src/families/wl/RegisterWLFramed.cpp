#include "RegisterWLFramed.h"

#include "WLFramedLayer.h"
#include "frmSystemWL.h"
#include "frmSystemWLIO.h"
#include "frmSystemWLState.h"
#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "link/LK.h"

namespace orvid {

void RegisterSystemWLFramed(AppContext& ctx, const WLIOWindow& io)
{
    auto main = std::make_shared<FamilyWindow<frmSystemWL>>(ctx);
    auto state = std::make_shared<FamilyWindow<frmSystemWLState>>(ctx);
    // The main window reaches its small windows without building them.
    const std::weak_ptr<FamilyWindow<frmSystemWL>> weakMain = main;
    const std::weak_ptr<FamilyWindow<frmSystemWLState>> weakState = state;
    main->onBuilt = [weakMain, weakState, existing = io.existing] {
        auto m = weakMain.lock();
        if (!m)
            return;
        m->existing()->ioWindow = existing;
        m->existing()->stateWindow = [weakState]() -> frmSystemWLState* {
            auto s = weakState.lock();
            return s ? s->existing() : nullptr;
        };
    };
    if (ctx.lk)
        ctx.lk->RegisterSystem(WLFramedProtocol::kSystemEntry, [main] { return main->get(); }, io.get,
                               [state] { return state->get(); });
}

} // namespace orvid
