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
// the family's stop at once when the link is free, else as soon as the link says it is
// idle (LK::Idle) - never inside another exchange's wait, where its telegram would flush
// the awaited reply away.
//
// A poll step (a tick of the poll timer taking the replies of a continuous read) is not
// the user's: it must not refuse what the user does meanwhile. While one runs
// (PollStepScope, which the family window's Poll opens), the user's clicks and keys wait
// and reach their controls, in the order they came, once the step has ended - the action
// they start then finds the link free. Only an action of the user's own that still waits
// for the device refuses a second one, with the beep.

#include <QMetaObject>
#include <QObject>
#include <functional>

namespace orvid {

struct AppContext;

class ExchangeGate : public QObject {
    Q_OBJECT
public:
    explicit ExchangeGate(AppContext& ctx);
    ~ExchangeGate() override;

    // True while one of this family's scopes runs or the link waits for the device.
    bool Running() const;
    // Scopes of this family running now.
    int Depth() const { return depth_; }

    // Stop requests so far; a scope compares it to know whether Stop came meanwhile.
    int StopCount() const { return stops_; }
    void NoteStop() { ++stops_; }
    // Counts a Stop and runs stop() now when the link is free, else once it is idle (and
    // only while stillWanted() says so, e.g. the family is still the current system).
    // Repeated requests while one waits run it once.
    void RequestStop(std::function<void()> stop, std::function<bool()> stillWanted = {});
    bool StopPending() const { return pendingStop_ != nullptr; }

private:
    friend class ExchangeScope;
    void linkIdle();

    AppContext& ctx_;
    int depth_ = 0;
    int stops_ = 0;
    std::function<void()> pendingStop_;
    std::function<bool()> stillWanted_;
    QMetaObject::Connection idleConnection_;
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

// Holds the user's input while a poll step runs (see above); nests. Input held when the
// outermost scope ends is delivered from the event loop, once no wait for the device runs.
// A window the step itself opens (a message) gets its input at once.
class PollStepScope {
public:
    PollStepScope();
    ~PollStepScope();
    PollStepScope(const PollStepScope&) = delete;
    PollStepScope& operator=(const PollStepScope&) = delete;

    // Input events waiting to be delivered now.
    static int HeldInput();
};

} // namespace orvid
