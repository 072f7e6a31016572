#include "Exchange.h"

#include "foundations/AppContext.h"
#include "link/DeviceWait.h"
#include "link/LK.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

namespace orvid {

namespace {

// The user's input held during poll steps: an event filter on the application while a
// step runs or input waits, swallowing clicks and keys (copies are kept) and sending the
// copies to their receivers afterwards.
class InputHold : public QObject {
public:
    static InputHold& instance()
    {
        static InputHold* hold = new InputHold;   // lives as long as the program
        return *hold;
    }

    void begin()
    {
        if (depth_++ > 0)
            return;
        modalAtBegin_ = QApplication::activeModalWidget();
        if (held_.empty() && qApp)
            qApp->installEventFilter(this);
    }
    void end()
    {
        if (--depth_ > 0)
            return;
        if (held_.empty()) {
            if (qApp)
                qApp->removeEventFilter(this);
            return;
        }
        deliverLater();
    }
    int held() const { return static_cast<int>(held_.size()); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (depth_ == 0 && held_.empty())
            return false;
        if (!isInput(event->type()))
            return false;
        // A window the step itself opened (a message) must be answerable while it waits.
        if (depth_ > 0 && QApplication::activeModalWidget() != modalAtBegin_)
            return false;
        // A shortcut may go to an action; clicks and keys go to widgets and their windows.
        if (event->type() != QEvent::Shortcut && !receiver->isWidgetType() && !receiver->isWindowType())
            return false;
        held_.push_back({QPointer<QObject>(receiver), std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    static bool isInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }

    void deliverLater()
    {
        QMetaObject::invokeMethod(this, [this] { deliver(); }, Qt::QueuedConnection);
    }

    void deliver()
    {
        if (depth_ > 0 || held_.empty())
            return;   // another step runs: its end delivers
        if (DeviceWait::depth() > 0) {
            // Run from inside a wait for the device: once the outermost wait has ended.
            QObject::connect(DeviceWait::notifier(), &DeviceWait::idle, this, [this] { deliverLater(); },
                             Qt::SingleShotConnection);
            return;
        }
        std::vector<Held> events = std::move(held_);
        held_.clear();
        if (qApp)
            qApp->removeEventFilter(this);
        // A step that begins while these run holds what follows again, in order.
        for (Held& h : events)
            if (h.receiver)
                QCoreApplication::sendEvent(h.receiver, h.event.get());
    }

    int depth_ = 0;
    std::vector<Held> held_;
    QPointer<QWidget> modalAtBegin_;
};

} // namespace

PollStepScope::PollStepScope()
{
    InputHold::instance().begin();
}

PollStepScope::~PollStepScope()
{
    InputHold::instance().end();
}

int PollStepScope::HeldInput()
{
    return InputHold::instance().held();
}

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
