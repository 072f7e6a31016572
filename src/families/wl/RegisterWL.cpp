#include "RegisterWL.h"

#include "WLProtocol.h"
#include "frmSystemL.h"
#include "frmSystemWLIO.h"
#include "families/FamilyWindows.h"
#include "foundations/AppContext.h"
#include "link/LK.h"

namespace orvid {

WLIOWindow RegisterSystemL(AppContext& ctx)
{
    const auto io = SharedFamilyWindow<frmSystemWLIO>(ctx);
    const WLIOWindow window{[io] { return io->get(); }, [io] { return io->existing(); }};
    auto main = std::make_shared<FamilyWindow<frmSystemL>>(ctx);
    // The main window reaches its I/O window without building it.
    const std::weak_ptr<FamilyWindow<frmSystemL>> weak = main;
    main->onBuilt = [weak, existing = window.existing] {
        if (auto m = weak.lock())
            m->existing()->ioWindow = existing;
    };
    if (ctx.lk)
        ctx.lk->RegisterSystem(WLProtocol::kSystemEntry, [main] { return main->get(); }, window.get);
    return window;
}

} // namespace orvid
