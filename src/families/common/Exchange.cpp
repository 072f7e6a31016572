#include "Exchange.h"

#include "foundations/AppContext.h"
#include "link/LK.h"

#include <QApplication>

namespace orvid {

bool RunUserAction(AppContext& ctx, const void* key, const QObject* guard, std::function<void()> action)
{
    if (!ctx.lk) {
        action();
        return true;
    }
    return ctx.lk->UserAction(key, guard, std::move(action), true);
}

ExchangeGate::ExchangeGate(AppContext& ctx) : ctx_(ctx) {}

bool ExchangeGate::Running() const
{
    return depth_ > 0 || (ctx_.lk && ctx_.lk->Busy());
}

void ExchangeGate::RequestStop(std::function<void()> stop, std::function<bool()> stillWanted, const QString& which)
{
    NoteStop();
    if (!stop)
        return;
    if (!ctx_.lk) {
        stop();
        return;
    }
    ctx_.lk->StopWhenIdle(this, which, this, [stop = std::move(stop), wanted = std::move(stillWanted)] {
        if (!wanted || wanted())
            stop();
    });
}

bool ExchangeGate::StopPending() const
{
    return ctx_.lk && ctx_.lk->ActionWaiting(this);
}

ExchangeScope::ExchangeScope(ExchangeGate& gate, Polling polling, bool beep)
    : gate_(gate), polling_(polling)
{
    if (gate_.Running()) {
        if (beep)
            QApplication::beep();
        return;
    }
    entered_ = true;
    ++gate_.depth_;
    stops_ = gate_.stops_;
    LK* lk = gate_.ctx_.lk;
    if (lk && polling_ != Polling::Keep)
        wasPolling_ = lk->EnablePolling(false);
}

ExchangeScope::~ExchangeScope()
{
    if (!entered_)
        return;
    --gate_.depth_;
    LK* lk = gate_.ctx_.lk;
    // A Stop during the action keeps everything off; an action that switched polling on
    // itself (a repeated read collecting its replies) keeps it on.
    if (lk && polling_ == Polling::SuspendAndRestore && !Stopped() && !lk->PollTimerEnabled())
        lk->EnablePolling(wasPolling_);
}

bool ExchangeScope::Stopped() const
{
    return gate_.stops_ != stops_;
}

} // namespace orvid
