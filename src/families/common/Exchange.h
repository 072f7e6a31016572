#pragma once
// One policy for device actions that a family starts itself (a button, a dialog's write):
//
//   ExchangeScope scope(protocol.Exchanges());
//   if (!scope)
//       return;               // refused (beep): another exchange is waiting for the device
//   ... exchanges ...         // the poll timer is off meanwhile
//                             // and on again afterwards as it was, unless Stop came
//
// Every wait for the device runs window events, so a click can arrive in the middle of an
// exchange; a second exchange started there would take the first one's reply. A scope is
// refused while one of the family's own scopes runs or the link is busy (LK::Busy).
//
// Stop is the one action that may come at any time: RequestStop counts it (an exchange
// that was running then does not switch polling or an automatic read on again) and runs
// the family's stop at once when the link is free, else as soon as the link is idle, in
// turn with the user's actions queued before it (LK::StopWhenIdle) - never inside another
// exchange's wait, where its telegram would flush the awaited reply away. What the stop
// ends in the window (polling, an automatic read, a loop) it ends at the click and again
// when it runs: an action queued before it may have started a read of its own by then. A
// Stop asked for while the same stop waits or runs, with nothing asked for since, is that
// stop: it goes out once. The stop an action runs itself first (before its dialog, its
// password change, its command) is the action's: never merged with the user's Stop.
//
// A poll step (a tick of the poll timer taking the replies of a continuous read) is not
// the user's: it must not refuse what the user does meanwhile. A control's device action is
// connected with ConnectAction: while a poll step has the link, the action is queued and
// runs once the step has ended (LK::UserAction) - nothing of the input itself is held. Only
// an action of the user's own that still waits for the device refuses a second one, with
// the beep, and so does the same action asked for again while it is queued.

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace orvid {

struct AppContext;

class ExchangeGate : public QObject {
    Q_OBJECT
public:
    explicit ExchangeGate(AppContext& ctx);

    // True while one of this family's scopes runs or the link waits for the device.
    bool Running() const;
    // Scopes of this family running now.
    int Depth() const { return depth_; }

    // Stop requests so far; a scope compares it to know whether Stop came meanwhile.
    int StopCount() const { return stops_; }
    void NoteStop() { ++stops_; }
    // Counts a Stop and runs stop() now when the link is free, else once it is idle (and
    // only while stillWanted() says so, e.g. the family is still the current system).
    // Repeated requests while one waits or runs, with nothing asked for since, run it once;
    // which tells apart the stops of one family that are not the same (one head's, another's).
    void RequestStop(std::function<void()> stop, std::function<bool()> stillWanted = {},
                     const QString& which = QString());
    bool StopPending() const;

private:
    friend class ExchangeScope;

    AppContext& ctx_;
    int depth_ = 0;
    int stops_ = 0;
};

class ExchangeScope {
public:
    enum class Polling {
        SuspendAndRestore,  // off during the scope, back to its previous state afterwards
        Suspend,            // off during the scope and left off (the action decides)
        Keep,               // untouched
    };
    // beep: signal a refusal audibly (false for checks that are not user actions).
    explicit ExchangeScope(ExchangeGate& gate, Polling polling = Polling::SuspendAndRestore,
                           bool beep = true);
    ~ExchangeScope();
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

    // False when refused: nothing was changed, the action must not run.
    explicit operator bool() const { return entered_; }
    // True when a Stop was requested since the scope began.
    bool Stopped() const;
    // Polling as it was when the scope began.
    bool WasPolling() const { return wasPolling_; }

private:
    ExchangeGate& gate_;
    Polling polling_;
    bool entered_ = false;
    bool wasPolling_ = false;
    int stops_ = 0;
};

// Runs a user action of the current system's windows that needs the device now, or queues
// it while a poll step has the link (LK::UserAction); key names the action (its control).
// Queued, it is dropped when another system is selected or its window (guard) is closed
// before its turn. False when refused.
bool RunUserAction(AppContext& ctx, const void* key, const QObject* guard, std::function<void()> action);

// Connects a control's signal to a device action of receiver (a member function without
// arguments, or a callable): the action runs through RunUserAction, keyed by the control.
template <class Control, class Signal, class Receiver, class Handler>
QMetaObject::Connection ConnectAction(AppContext& ctx, Control* control, Signal signal, Receiver* receiver,
                                      Handler handler)
{
    return QObject::connect(control, signal, receiver, [&ctx, control, receiver, handler] {
        RunUserAction(ctx, control, receiver, [receiver, handler] {
            if constexpr (std::is_member_function_pointer_v<Handler>)
                (receiver->*handler)();
            else
                handler();
        });
    });
}

// ConnectAction for a table of buttons and their handlers.
template <class Receiver, class Button, std::size_t N>
void ConnectActions(AppContext& ctx, Receiver* receiver, const std::pair<Button*, void (Receiver::*)()> (&table)[N])
{
    for (const auto& [button, handler] : table)
        ConnectAction(ctx, button, &Button::clicked, receiver, handler);
}

} // namespace orvid
