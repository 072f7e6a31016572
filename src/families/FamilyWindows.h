#pragma once
// The windows of a device family are built on first use and kept for the whole run. A
// window built while the main window is there goes into its MDI area and belongs to its
// sub-window from then on; one built without it (tests, tools) stays top-level and is
// deleted together with the last copy of the function that built it, which the link's
// system table keeps until the link goes.
//
//   const auto kr = OnFirstUse<frmSystemKR>(ctx);     // copies share the one window
//   ctx.lk->RegisterSystem(2, kr);
//   ctx.lk->RegisterSystem(3, kr);
//
// A system with an outputs and a state window besides its main window gets all three from
// OnFirstUse<Main, IO, State>(ctx, link); link(main, io, state) runs whenever one of them is
// built after the main window exists, with the others that exist so far (null otherwise),
// so the main window always knows its small windows however they are opened.

#include "foundations/AppContext.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace orvid {

// Puts a freshly built family window into the main window's MDI area when there is one.
void AdoptFamilyWindow(AppContext& ctx, QWidget* window);

// One window of type W (constructed as W(ctx)), built on first use.
template <class W>
class FamilyWindow {
public:
    explicit FamilyWindow(AppContext& ctx) : ctx_(&ctx) {}
    FamilyWindow(const FamilyWindow&) = delete;
    FamilyWindow& operator=(const FamilyWindow&) = delete;
    ~FamilyWindow()
    {
        // Adopted windows belong to their sub-window; only top-level ones are ours.
        if (window_ && !window_->parentWidget())
            delete window_.data();
    }

    // The window, built now when it is not there yet.
    W* get()
    {
        if (!window_) {
            window_ = new W(*ctx_);
            AdoptFamilyWindow(*ctx_, window_.data());
            if (onBuilt)
                onBuilt();
        }
        return window_.data();
    }
    // The window when it has been built, else null.
    W* existing() const { return window_.data(); }

    // Runs after the window was built and adopted.
    std::function<void()> onBuilt;

private:
    AppContext* ctx_;
    QPointer<W> window_;
};

template <class W>
std::function<W*()> OnFirstUse(AppContext& ctx)
{
    auto holder = std::make_shared<FamilyWindow<W>>(ctx);
    return [holder]() { return holder->get(); };
}

// One window shared by several systems' entries (system L's I/O window serves entries 7
// and 8): the holder itself, so each registration can build it or ask whether it exists.
template <class W>
std::shared_ptr<FamilyWindow<W>> SharedFamilyWindow(AppContext& ctx)
{
    return std::make_shared<FamilyWindow<W>>(ctx);
}

template <class Main, class IO, class State>
struct SystemWindows {
    std::function<Main*()> main;
    std::function<IO*()> io;
    std::function<State*()> state;
};

template <class Main, class IO, class State>
SystemWindows<Main, IO, State> OnFirstUse(AppContext& ctx, std::function<void(Main&, IO*, State*)> link)
{
    struct Three {
        explicit Three(AppContext& c) : main(c), io(c), state(c) {}
        FamilyWindow<Main> main;
        FamilyWindow<IO> io;
        FamilyWindow<State> state;
    };
    auto three = std::make_shared<Three>(ctx);
    // The holders point at each other only through this weak reference: the functions
    // below own them, and they must go when those go.
    const std::weak_ptr<Three> weak = three;
    const auto relink = [weak, link] {
        if (auto t = weak.lock()) {
            if (Main* m = t->main.existing(); m && link)
                link(*m, t->io.existing(), t->state.existing());
        }
    };
    three->main.onBuilt = relink;
    three->io.onBuilt = relink;
    three->state.onBuilt = relink;
    return {[three]() { return three->main.get(); }, [three]() { return three->io.get(); },
            [three]() { return three->state.get(); }};
}

} // namespace orvid
