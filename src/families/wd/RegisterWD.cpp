#include "RegisterWD.h"

#include "frmSystemWD.h"
#include "frmSystemWDIO.h"
#include "frmSystemWDState.h"
#include "foundations/AppContext.h"
#include "link/LK.h"
#include "shell/frmMain.h"

#include <QObject>
#include <QPointer>

namespace orvid {

namespace {
constexpr int kEntry = 6;

// Holds the three windows, each built on first use. It lives as long as the link; windows
// adopted into the main window's MDI area belong to it, the others are deleted here.
class WDWindows : public QObject {
public:
    explicit WDWindows(AppContext& ctx, QObject* parent) : QObject(parent), ctx_(ctx) {}
    ~WDWindows() override
    {
        for (QWidget* w : {static_cast<QWidget*>(main_), static_cast<QWidget*>(io_),
                           static_cast<QWidget*>(state_)}) {
            if (w && !w->parentWidget())
                delete w;
        }
    }

    frmSystemWD* main()
    {
        if (!main_) {
            main_ = new frmSystemWD(ctx_);
            adopt(main_);
            if (state_)
                main_->setStateWindow(state_);
            if (io_)
                main_->setIOWindow(io_);
        }
        return main_;
    }
    frmSystemWDIO* io()
    {
        if (!io_) {
            io_ = new frmSystemWDIO(ctx_);
            adopt(io_);
            if (main_)
                main_->setIOWindow(io_);
        }
        return io_;
    }
    frmSystemWDState* state()
    {
        if (!state_) {
            state_ = new frmSystemWDState(ctx_);
            adopt(state_);
            if (main_)
                main_->setStateWindow(state_);
        }
        return state_;
    }

private:
    void adopt(QWidget* w)
    {
        if (auto* frame = dynamic_cast<frmMain*>(ctx_.mainWindow))
            frame->adoptChild(w);
    }

    AppContext& ctx_;
    QPointer<frmSystemWD> main_;
    QPointer<frmSystemWDIO> io_;
    QPointer<frmSystemWDState> state_;
};
} // namespace

void RegisterSystemWD(AppContext& ctx)
{
    if (!ctx.lk)
        return;
    auto* windows = new WDWindows(ctx, ctx.lk);
    ctx.lk->RegisterSystem(
        kEntry, [windows]() -> ISystemForm* { return windows->main(); },
        [windows]() -> IToolWindow* { return windows->io(); },
        [windows]() -> IToolWindow* { return windows->state(); });
}

} // namespace orvid
