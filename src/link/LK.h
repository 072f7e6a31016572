#pragma once
// The door to the current system: the table of the eleven system entries, selection and
// automatic recognition, the dispatch of commands, polls and data items to the current
// system window (serial route through Ports, or the window's own direct route), and the
// poll timer.

#include "LinkInterfaces.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace orvid {

struct AppContext;

class LK : public QObject {
    Q_OBJECT
public:
    static constexpr int kSystemCount = 11; // indices 0..10

    // Windows are created on first use: the table holds factories that return the one
    // instance of each window (two entries may return the same window).
    struct SystemEntry {
        QString name;
        std::function<ISystemForm*()> main;
        std::function<IToolWindow*()> io;
        std::function<IToolWindow*()> state;
    };

    explicit LK(AppContext& ctx, QObject* parent = nullptr);

    // Fills the table with its names and "AutoTimeout" as the poll interval.
    void InitSystems();
    // Families register their windows for an index (before or after InitSystems).
    void RegisterSystem(int index, std::function<ISystemForm*()> main,
                        std::function<IToolWindow*()> io = {},
                        std::function<IToolWindow*()> state = {});

    const SystemEntry& entry(int index) const;
    QString SystemName(int index) const;
    void SetNoSystemName(const QString& text);   // entry 0, translated by the main window

    // 1..10 selects that entry; 0 or below recognises, trying -system first.
    // Returns whether the device was found. Refused (false, nothing changed) while Busy()
    // or for an index beyond the table.
    bool SelectSystem(int16_t system, bool& askRetry);
    bool CheckSystem(int16_t& system);
    void SetSystemMenuItem(int16_t system, bool mark);
    void CloseSystem();

    ISystemForm* CurrentWindow() const;           // null when none selected or not built
    IToolWindow* CurrentIOWindow() const;
    IToolWindow* CurrentStateWindow() const;
    ILkDirectAccess* GetDirectAccess() const;

    bool LkDataAvailable();
    int16_t LkReceive(QByteArray& reply, int16_t& count, const QVariant& logOption = QVariant(),
                      bool log = true, bool noCheck = false);
    int16_t SendCommand(const QByteArray& command, QByteArray& reply, const QVariant& logOption,
                        bool& ok);
    int16_t SendOnly(const QByteArray& command, const QByteArray& suffix,
                     const QVariant& logOption = QVariant());
    // Serial route: the answer to the telegram just sent. A frame the current window's
    // running read sends meanwhile goes to the window (ISystemForm::ReadFrame) and the
    // receive goes on, within the time-out counted from its start. As LkReceive otherwise.
    int16_t ReceiveAnswer(QByteArray& reply, const QVariant& logOption = QVariant(), bool noCheck = false);
    void LkPutData(int16_t id, const QVariant& value);
    void LkGetData(int16_t id, QVariant& value);

    bool EnablePolling(bool on, bool temporary = false);
    QString LkPoll(const QVariant& a = QVariant(), const QVariant& b = QVariant());
    void LkStopBuffered();
    Menues LkCommandList();

    bool PollingEnabled() const { return pollingEnabled_; }
    bool BufferedPolling() const { return bufferedPolling_; }
    // The poll timer. The main window connects its timeout to its own tick handler
    // (PollReady guard, then LkPoll); the link only switches it on and off.
    QTimer* PollTimer() { return &timSensorPoll_; }
    // The timer's switch as EnablePolling sets it. With an interval of 0 the switch can be
    // on while the timer never ticks (a zero interval means "never", not "always").
    bool PollTimerEnabled() const { return pollTimerEnabled_; }
    int PollInterval() const { return pollInterval_; }

    // True while the link is in use: a selection, a command exchange, a poll step, or any
    // wait for the device (DeviceWait) - on serial or TCP, whoever started it, the families
    // that move their own telegrams included. Buttons and menu commands that would start a
    // device action of their own test it and refuse, so that exchanges are not nested
    // inside each other's waits; no poll step and no queued action runs meanwhile.
    bool Busy() const;

    // The current system index (the program state's, or the link's own without one).
    int16_t CurrentSystemIndex() const;

    // True while a poll step runs (the timer's LkPoll).
    bool PollStepRunning() const { return pollBusy_; }

    // A user action that needs the device (a button, a dialog's OK, a menu's selection).
    // - The link is free: the action runs now, after the actions asked for before it.
    // - The link waits for the device on behalf of an action of the user's own (an
    //   exchange, a selection, a Send): the action is refused with a beep (false), as
    //   starting it would nest it in that wait.
    // - The link is held by what the user did not start (a poll step, a stop, a small
    //   window's refresh, a timer's exchange - a Beep's end - that began inside the
    //   dialog of an action of the user's): the action is queued and the caller returns
    //   at once. Nothing of the user's input is held meanwhile.
    // A queued action runs once the link is idle and the action ahead of it has ended:
    // its handler, its exchanges and its dialog (an action asked for from inside a running
    // action's dialog - its OK - belongs to that action and runs within it). The same
    // action (key) asked for again while it waits is refused with a beep (false). It is
    // dropped when guard is gone or closed by its turn (a window no longer loaded, a dialog
    // no longer shown), and, when forSystem, when the current system has changed since it
    // was asked for: it was meant for the window that was left.
    bool UserAction(const void* key, const QObject* guard, std::function<void()> action,
                    bool forSystem = false);
    // Runs action once the link is idle: now when it is and nothing waits, else in turn
    // after what was queued before it. Asked again while it waits, the newer action
    // replaces the waiting one and keeps its turn. Asked for by the action running now
    // (its own code, not a timer in its dialog), it runs as part of that action.
    void WhenIdle(const void* key, const QObject* guard, std::function<void()> action);
    // A stop (the Stop button, the command window's Stop), run as WhenIdle runs an action,
    // in turn after what was asked for before it. The user's stop (key, which) asked for
    // again while it waits or runs, with nothing asked for since, is that same stop: it
    // goes out once. Asked for after another action, it comes after it. A stop the running
    // action asks for in its own code (before its dialog or its command) is part of that
    // action: it runs there, and is never taken for a Stop the user asked for.
    void StopWhenIdle(const void* key, const QString& which, const QObject* guard, std::function<void()> stop);
    // Whether an action with this key waits for its turn; how many wait.
    bool ActionWaiting(const void* key) const;
    int ActionsWaiting() const { return static_cast<int>(actions_.size()); }
    // The program is closing: what waits is dropped, and no user action runs or queues
    // any more; a step asked for (WhenIdle) runs only when the link is free, never later.
    void BeginClose();
    bool Closing() const { return closing_; }

private:
    void setCurrentSystem(int16_t system);
    // The queue's next turn once the link is no longer Busy(): from the event loop (never
    // inside the exchange that ends), and only when nothing has become busy again by then;
    // otherwise at the next end. Repeated requests give one turn.
    void requestTurn();
    // Called whenever an exchange, a poll step, a selection or a device wait has ended.
    void noteExchangeEnded();
    void takeTurnWhenFree();
    enum class Holder { User, Step, Poll };
    struct WaitingAction;
    WaitingAction& enqueue(const void* key, const QObject* guard, std::function<void()> action, Holder kind,
                           bool forSystem);
    // Whether a waiting action may run now: it was asked for at this action depth or
    // deeper (an action's dialog), and not before the action running now.
    bool mayRun(std::size_t index) const;
    std::size_t nextRunnable() const;
    // Runs the waiting actions that may run, in order, while the link stays free.
    void runWaitingActionsNow();
    void runEntry(std::size_t index);
    // Runs one action (or poll step) with its kind on the holder stack.
    void runHeld(Holder kind, const std::function<void()>& action);
    // Runs a stop, known as running while it does (see StopWhenIdle).
    void runStop(const void* key, const QString& which, quint64 asked, Holder kind,
                 const std::function<void()>& stop);
    // What a step asked for now is: part of the innermost holder when that holder's own
    // code asks (it began at the event-loop level running now), else a step of its own.
    Holder askerKind() const;
    // The user's own action holds the link now (see UserAction).
    bool heldByTheUser() const;
    ISystemForm* window(int index) const;
    IToolWindow* ioWindow(int index) const;
    IToolWindow* stateWindow(int index) const;
    void applyPollTimer();
    // Serial route, before a telegram goes out: the reply the current window is still
    // owed (ISystemForm::ReplyOwed) and the frames its running read has sent (ReadRunning)
    // are taken off the line and handed to it.
    void takeTheWindowsFrames();
    // One frame within ms, at least kFrameRestMs (the rest of a frame already arriving).
    int16_t receiveWithin(QByteArray& reply, int ms);
    static constexpr int kFrameRestMs = 100;
    // An answer owed comes in a frame or two (an acknowledgement, then the data).
    static constexpr int kOwedFramesAtMost = 4;

    AppContext& ctx_;
    std::array<SystemEntry, kSystemCount> systems_;
    std::array<QByteArray, 4> dataItems_;   // ids 1..3
    bool pollingEnabled_ = false;
    bool bufferedPolling_ = false;
    bool pollLock_ = false;
    bool pollBusy_ = false;
    bool pollTimerEnabled_ = false;
    int pollInterval_ = 1000;
    bool selecting_ = false;
    int exchangeDepth_ = 0;
    int16_t ownCurrentSystem_ = 0;   // used only when the context has no program state
    bool turnWanted_ = false;
    bool turnQueued_ = false;
    struct WaitingAction {
        const void* key;
        QPointer<const QObject> guard;
        std::function<void()> run;
        Holder kind;
        int depth;             // actions running when it was asked for
        bool forSystem;
        int systemChanges;     // changes of system when it was asked for
        quint64 asked;         // the order of asking
        bool stop = false;     // a stop of StopWhenIdle, named by key and which
        QString which;
    };
    std::deque<WaitingAction> actions_;
    quint64 asked_ = 0;
    // What runs now, outermost first: the user's actions, queued steps, a poll step, each
    // with the event-loop level it began at.
    struct Held {
        Holder kind;
        int level;
    };
    std::vector<Held> holders_;
    struct RunningStop {
        const void* key;
        QString which;
        quint64 asked;
        Holder kind;           // User: a step of the action running it (see StopWhenIdle)
    };
    std::vector<RunningStop> runningStops_;
    int actionDepth_ = 0;      // the holders that are actions (not poll steps)
    int systemChanges_ = 0;    // selections that ended with another system than before
    bool closing_ = false;
    QTimer timSensorPoll_;
};

} // namespace orvid
