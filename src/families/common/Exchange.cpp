#include "Exchange.h"

#include "foundations/AppContext.h"
#include "link/LK.h"

#include <QApplication>

namespace orvid {

ExchangeGate::ExchangeGate(AppContext& ctx) : ctx_(ctx) {}

ExchangeGate::~ExchangeGate()
{
    QObject::disconnect(idleConnection_);
}

bool ExchangeGate::Running() const
{
    return depth_ > 0 || (ctx_.lk && ctx_.lk->Busy());
}

void ExchangeGate::RequestStop(std::function<void()> stop, std::function<bool()> stillWanted)
{
    NoteStop();
    if (!ctx_.lk || !ctx_.lk->Busy()) {
        pendingStop_ = nullptr;
        stillWanted_ = nullptr;
        if (stop)
            stop();
        return;
    }
    pendingStop_ = std::move(stop);
    stillWanted_ = std::move(stillWanted);
    if (!idleConnection_)
        idleConnection_ = connect(ctx_.lk, &LK::Idle, this, &ExchangeGate::linkIdle);
    ctx_.lk->RequestIdleNotice();
}

void ExchangeGate::linkIdle()
{
    if (!pendingStop_)
        return;
    if (ctx_.lk && ctx_.lk->Busy()) {
        ctx_.lk->RequestIdleNotice();
        return;
    }
    const std::function<void()> stop = std::move(pendingStop_);
    const std::function<bool()> wanted = std::move(stillWanted_);
    pendingStop_ = nullptr;
    stillWanted_ = nullptr;
    if (!wanted || wanted())
        stop();
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
