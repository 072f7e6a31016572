#include "LK.h"

#include "DeviceWait.h"
#include "Ports.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <functional>
#include <limits>

namespace orvid {

namespace {

// Display names of the system table, index 0 to 10.
const char* const kSystemNames[LK::kSystemCount] = {
    "kein Orvidsystem erkannt",
    "Orvid System HX Serial",
    "Orvid-I System R (QTR-AX)",
    "Orvid-I System R (QTR1-AX)",
    "ORVID-I System D (Fixcode)",
    "ORVID-I System D (Read/Write)",
    "ORVID-M System D",
    "Orvid-M System L (Valdrecht Talk)",
    "ORVID-M System L",
    "ORVID-M System KLX9000",
    "Orvid System HX Ethernet",
};

constexpr int kEthernetEntry = 10;
constexpr int kFirstNetworkEntry = 9;
constexpr int kLastSerialEntry = 8;
constexpr int kRecognitionSteps = 8;

// The leading number of a settings text, as a text runtime's Val reads it: blanks skipped,
// an optional sign, decimal digits, or "&H" and hexadecimal digits. 0 when none.
qint64 leadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    constexpr qint64 kLimit = std::numeric_limits<int>::max();
    int pos = 0;
    int base = 10;
    bool negative = false;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        base = 16;
        pos = 2;
    } else if (!t.isEmpty() && (t.at(0) == QLatin1Char('-') || t.at(0) == QLatin1Char('+'))) {
        negative = t.at(0) == QLatin1Char('-');
        pos = 1;
    }
    qint64 value = 0;
    for (; pos < t.size(); ++pos) {
        const char c = t.at(pos).toLatin1();
        const int digit = HexDigitValue(static_cast<uchar>(c));
        if (digit < 0 || digit >= base)
            break;
        value = qMin(value * base + digit, kLimit);
    }
    return negative ? -value : value;
}

// Menu control array and index that mark a system in the main window's menus.
struct MenuMark {
    const char* array;
    int index;
};
const MenuMark kMenuMarks[LK::kSystemCount] = {
    {nullptr, 0},
    {"mnOrvidControl", 0},
    {"mnOrvidSystemKR", 3},
    {"mnOrvidSystemKR", 4},
    {"mnOrvidSystemKD", 1},
    {"mnOrvidSystemKD", 2},
    {"mnOrvidSystem", 4},
    // Entry 7 has a menu entry of its own ("Valdrecht Talk"); marking it keeps the menu
    // telling the truth about the selected system.
    {"mnOrvidSystemL", 1},
    {"mnOrvidSystemL", 2},
    {"mnOrvidSystemL", 3},
    {"mnOrvidControl", 1},
};

// Device data items 1 to 3 are bytes; a text given by a caller is taken one byte per
// character.
QByteArray itemBytes(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    return value.toString().toLatin1();
}

// Raises a counter for the lifetime of a scope, even when the scope is left early.
class CountGuard {
public:
    explicit CountGuard(int& counter, std::function<void()> ended = {})
        : counter_(counter), ended_(std::move(ended)) { ++counter_; }
    ~CountGuard()
    {
        --counter_;
        if (ended_)
            ended_();
    }
    CountGuard(const CountGuard&) = delete;
    CountGuard& operator=(const CountGuard&) = delete;

private:
    int& counter_;
    std::function<void()> ended_;
};

class FlagGuard {
public:
    explicit FlagGuard(bool& flag, std::function<void()> ended = {})
        : flag_(flag), ended_(std::move(ended)) { flag_ = true; }
    ~FlagGuard()
    {
        flag_ = false;
        if (ended_)
            ended_();
    }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    std::function<void()> ended_;
};

} // namespace

LK::LK(AppContext& ctx, QObject* parent) : QObject(parent), ctx_(ctx)
{
    for (int i = 0; i < kSystemCount; ++i)
        systems_[i].name = QString::fromLatin1(kSystemNames[i]);
    timSensorPoll_.setObjectName(QStringLiteral("timSensorPoll"));
    timSensorPoll_.setInterval(pollInterval_);
    // The end of the outermost device wait is one of the moments the link may become idle.
    connect(DeviceWait::notifier(), &DeviceWait::idle, this, [this] { noteExchangeEnded(); });
}

void LK::requestTurn()
{
    turnWanted_ = true;
    noteExchangeEnded();
}

void LK::noteExchangeEnded()
{
    if (!turnWanted_ || turnQueued_ || Busy())
        return;
    // Queued: the code that ended the exchange may go on with the next one at once; the
    // turn belongs to the moment the event loop runs with nothing waiting.
    turnQueued_ = true;
    QMetaObject::invokeMethod(this, [this] {
        turnQueued_ = false;
        takeTurnWhenFree();
    }, Qt::QueuedConnection);
}

void LK::takeTurnWhenFree()
{
    // Busy again (the event loop that ran this is another exchange's wait): the next end
    // of an exchange asks again.
    if (!turnWanted_ || Busy())
        return;
    turnWanted_ = false;
    // Nothing that may run yet (what waits comes after the action running now): the end
    // of that action asks again.
    const std::size_t next = nextRunnable();
    if (next < actions_.size())
        runEntry(next);
}

bool LK::mayRun(std::size_t index) const
{
    return actions_[index].depth >= actionDepth_;
}

std::size_t LK::nextRunnable() const
{
    std::size_t i = 0;
    while (i < actions_.size() && !mayRun(i))
        ++i;
    return i;
}

namespace {
int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

// The window a click was queued for has been closed meanwhile: a tool window (a family's
// window, a small window, the command window) no longer loaded, a dialog no longer shown.
bool windowClosed(const QObject* guard)
{
    if (const auto* window = dynamic_cast<const IToolWindow*>(guard))
        return !window->Loaded();
    if (const auto* dialog = qobject_cast<const QDialog*>(guard))
        return !dialog->isVisible();
    return false;
}
} // namespace

LK::Holder LK::askerKind() const
{
    return !holders_.empty() && holders_.back().level == loopLevel() ? holders_.back().kind : Holder::Step;
}

bool LK::heldByTheUser() const
{
    // A wait belongs to the holder whose own code began it: the innermost one that began
    // at the wait's event-loop level. One that began inside a loop a holder runs - a
    // timer's exchange in the dialog of an action of the user's - is no one's: the action
    // waits for the user there, not for the device. A poll step or a queued step is not
    // the user's; a step an action runs itself is part of it.
    const QList<int> waits = DeviceWait::startLevels();
    for (const int level : waits) {
        auto owner = std::find_if(holders_.rbegin(), holders_.rend(), [level](const Held& h) { return h.level <= level; });
        if (owner != holders_.rend() && owner->level == level && owner->kind == Holder::User)
            return true;
    }
    // Held without a device wait (a selection asking the user to retry): the innermost holder.
    return waits.isEmpty() && !holders_.empty() && holders_.back().kind == Holder::User;
}

void LK::runHeld(Holder kind, const std::function<void()>& action)
{
    const bool counts = kind != Holder::Poll;
    holders_.push_back({kind, loopLevel()});
    if (counts)
        ++actionDepth_;
    struct Release {
        LK* lk;
        bool counts;
        ~Release()
        {
            lk->holders_.pop_back();
            if (counts)
                --lk->actionDepth_;
            // What waited for this action to end may have its turn now.
            if (!lk->actions_.empty())
                lk->requestTurn();
        }
    } release{this, counts};
    action();
}

void LK::runEntry(std::size_t index)
{
    // One action a turn: it may start exchanges of its own (or a modal dialog), and the
    // next one comes once those have ended.
    WaitingAction next = std::move(actions_[index]);
    actions_.erase(actions_.begin() + static_cast<std::ptrdiff_t>(index));
    if (!actions_.empty())
        requestTurn();
    if (!next.guard)   // its window or dialog has gone meanwhile
        return;
    if (next.forSystem && next.systemChanges != systemChanges_)
        return;        // asked for in the window of a system that has been left since
    if (next.kind == Holder::User && windowClosed(next.guard))
        return;        // clicked in a window that has been closed since
    if (next.stop)
        runStop(next.key, next.which, next.asked, next.kind, next.run);
    else
        runHeld(next.kind, next.run);
}

void LK::runStop(const void* key, const QString& which, quint64 asked, Holder kind,
                 const std::function<void()>& stop)
{
    runningStops_.push_back({key, which, asked, kind});
    struct Done {
        LK* lk;
        ~Done() { lk->runningStops_.pop_back(); }
    } done{this};
    runHeld(kind, stop);
}

bool LK::UserAction(const void* key, const QObject* guard, std::function<void()> action, bool forSystem)
{
    if (closing_)
        return false;
    if (!Busy()) {
        runWaitingActionsNow();
        if (!Busy() && nextRunnable() == actions_.size()) {
            runHeld(Holder::User, action);
            return true;
        }
    } else if (heldByTheUser()) {
        // Started now, it would run inside the wait of the user's own action and take
        // its reply; queued, it would run after an action the user may not have wanted.
        QApplication::beep();
        return false;
    }
    if (ActionWaiting(key)) {
        QApplication::beep();
        return false;
    }
    enqueue(key, guard, std::move(action), Holder::User, forSystem);
    return true;
}

void LK::WhenIdle(const void* key, const QObject* guard, std::function<void()> action)
{
    if (!Busy()) {
        runWaitingActionsNow();
        if (!Busy() && nextRunnable() == actions_.size()) {
            // Asked for by the action running now (its stop before its dialog), it is part
            // of that action; else (a timer in that action's dialog) a step of its own.
            runHeld(askerKind(), action);
            return;
        }
    }
    if (closing_)
        return;
    for (WaitingAction& waiting : actions_) {
        if (waiting.key == key) {
            waiting.guard = guard;
            waiting.run = std::move(action);
            return;
        }
    }
    enqueue(key, guard, std::move(action), Holder::Step, false);
}

void LK::StopWhenIdle(const void* key, const QString& which, const QObject* guard, std::function<void()> stop)
{
    // Asked for by the running action's own code (Schreiben's stop before its dialog, a
    // multi-reply Send's), the stop is a step of that action: it goes out where the action
    // asks for it, and the user's Stop, waiting behind the action or running, is not it.
    const Holder kind = askerKind() == Holder::User ? Holder::User : Holder::Step;
    const auto sameUserStop = [&](const void* k, const QString& w, Holder asker) {
        return kind == Holder::Step && asker == Holder::Step && k == key && w == which;
    };
    // The user's same stop waiting as the last thing asked for: it is that stop, in its turn.
    WaitingAction* last = actions_.empty() ? nullptr : &actions_.back();
    if (last && last->stop && sameUserStop(last->key, last->which, last->kind)) {
        last->guard = guard;
        last->run = std::move(stop);
        if (!Busy())
            runWaitingActionsNow();
        return;
    }
    // Running, with nothing asked for since: the stop under way is the one asked for.
    const quint64 lastAsked = last ? last->asked : 0;
    for (const RunningStop& running : runningStops_) {
        if (sameUserStop(running.key, running.which, running.kind) && lastAsked <= running.asked)
            return;
    }
    if (!Busy()) {
        runWaitingActionsNow();
        if (!Busy() && nextRunnable() == actions_.size()) {
            runStop(key, which, asked_, kind, stop);
            return;
        }
    }
    if (closing_)
        return;
    WaitingAction& entry = enqueue(key, guard, std::move(stop), kind, false);
    entry.stop = true;
    entry.which = which;
}

bool LK::ActionWaiting(const void* key) const
{
    return std::any_of(actions_.begin(), actions_.end(), [key](const WaitingAction& a) { return a.key == key; });
}

void LK::BeginClose()
{
    closing_ = true;
    actions_.clear();
    turnWanted_ = false;
}

LK::WaitingAction& LK::enqueue(const void* key, const QObject* guard, std::function<void()> action, Holder kind,
                               bool forSystem)
{
    actions_.push_back({key, guard, std::move(action), kind, actionDepth_, forSystem, systemChanges_, ++asked_, false, QString()});
    requestTurn();
    return actions_.back();
}

void LK::runWaitingActionsNow()
{
    // The link is free now: what was asked for before goes first, in order, before the
    // event loop would have come to it.
    for (std::size_t next = nextRunnable(); next < actions_.size() && !Busy(); next = nextRunnable())
        runEntry(next);
}

void LK::InitSystems()
{
    for (int i = 0; i < kSystemCount; ++i)
        systems_[i].name = QString::fromLatin1(kSystemNames[i]);

    QString text = QStringLiteral("1000");
    if (ctx_.settings)
        text = ctx_.settings->read(QStringLiteral("Settings"), QStringLiteral("AutoTimeout"), text);
    // A timer interval holds at most 65535 ms; 0 (or nonsense) means the timer never ticks.
    const qint64 value = leadingNumber(text);
    pollInterval_ = static_cast<int>(std::clamp<qint64>(value, 0, 65535));
    applyPollTimer();
}

void LK::RegisterSystem(int index, std::function<ISystemForm*()> main,
                        std::function<IToolWindow*()> io, std::function<IToolWindow*()> state)
{
    if (index < 1 || index >= kSystemCount)
        return;
    systems_[index].main = std::move(main);
    systems_[index].io = std::move(io);
    systems_[index].state = std::move(state);
}

const LK::SystemEntry& LK::entry(int index) const
{
    static const SystemEntry none;
    if (index < 0 || index >= kSystemCount)
        return none;
    return systems_[index];
}

QString LK::SystemName(int index) const
{
    return entry(index).name;
}

void LK::SetNoSystemName(const QString& text)
{
    systems_[0].name = text;
}

int16_t LK::CurrentSystemIndex() const
{
    return ctx_.state ? ctx_.state->CurrentSystem : ownCurrentSystem_;
}

void LK::setCurrentSystem(int16_t system)
{
    if (ctx_.state)
        ctx_.state->CurrentSystem = system;
    else
        ownCurrentSystem_ = system;
}

ISystemForm* LK::window(int index) const
{
    if (index < 1 || index >= kSystemCount || !systems_[index].main)
        return nullptr;
    return systems_[index].main();
}

IToolWindow* LK::ioWindow(int index) const
{
    if (index < 1 || index >= kSystemCount || !systems_[index].io)
        return nullptr;
    return systems_[index].io();
}

IToolWindow* LK::stateWindow(int index) const
{
    if (index < 1 || index >= kSystemCount || !systems_[index].state)
        return nullptr;
    return systems_[index].state();
}

ISystemForm* LK::CurrentWindow() const
{
    return window(CurrentSystemIndex());
}

IToolWindow* LK::CurrentIOWindow() const
{
    return ioWindow(CurrentSystemIndex());
}

IToolWindow* LK::CurrentStateWindow() const
{
    return stateWindow(CurrentSystemIndex());
}

ILkDirectAccess* LK::GetDirectAccess() const
{
    return dynamic_cast<ILkDirectAccess*>(CurrentWindow());
}

bool LK::Busy() const
{
    return selecting_ || exchangeDepth_ > 0 || pollBusy_ || DeviceWait::depth() > 0;
}

// ---------------------------------------------------------------------------------------
// Selection and recognition

bool LK::CheckSystem(int16_t& system)
{
    setCurrentSystem(system);
    if (ctx_.frame) {
        ctx_.frame->setMenuEnabled(MenuEntry::IO, false);
        ctx_.frame->setMenuEnabled(MenuEntry::State, false);
    }
    ISystemForm* form = window(system);
    if (!form)
        return false; // family not built: nothing answers as this entry
    form->Init(system == kEthernetEntry);
    return form->Check();
}

void LK::SetSystemMenuItem(int16_t system, bool mark)
{
    if (system < 1 || system >= kSystemCount || !ctx_.frame)
        return;
    const MenuMark& m = kMenuMarks[system];
    ctx_.frame->setMenuArrayChecked(QString::fromLatin1(m.array), m.index, mark);
}

bool LK::SelectSystem(int16_t system, bool& askRetry)
{
    // A selection started while another selection, an exchange or a poll step waits would
    // reopen the port and swap the framing under the waiting exchange: refuse it.
    if (Busy())
        return false;
    if (system >= kSystemCount)
        return false; // no such entry
    FlagGuard selecting(selecting_, [this] { noteExchangeEnded(); });
    IMainFrame* frame = ctx_.frame;

    // 1. Every serial entry and every recognition needs the port open.
    if (system < kFirstNetworkEntry && ctx_.ports) {
        QString port;
        QString settings;
        int16_t protocol = 0;
        ctx_.ports->OpenPort(port, settings, protocol, false);
        ctx_.ports->OpenPort(port, settings, protocol, askRetry);
    }

    // 2.
    const int16_t previous = CurrentSystemIndex();
    EnablePolling(false);

    // 3. The window menu as it is now: its marks tell which windows are open.
    bool windowMark = false, ioMark = false, stateMark = false;
    bool ioShown = false, stateShown = false;
    if (frame) {
        windowMark = frame->menuChecked(MenuEntry::OrvidWindow);
        ioMark = frame->menuChecked(MenuEntry::IO);
        stateMark = frame->menuChecked(MenuEntry::State);
        ioShown = frame->menuEnabled(MenuEntry::IO) && ioMark;
        stateShown = frame->menuEnabled(MenuEntry::State) && stateMark;
        frame->setMenuEnabled(MenuEntry::IO, false);
        frame->setMenuEnabled(MenuEntry::State, false);
    }

    // The two network entries share the one connection. Going from one to the other, the
    // new entry's Check would replace the previous entry's connection, whose close-down
    // would then send its stops to the other device and end the new connection with it.
    // So here the previous entry closes down before the new one connects; its windows are
    // unloaded afterwards as on any change.
    const bool closedFirst = previous >= kFirstNetworkEntry && system >= kFirstNetworkEntry && system != previous;
    if (closedFirst) {
        if (ISystemForm* old = window(previous)) {
            old->Init(previous == kEthernetEntry);
            old->CloseLK();
        }
    }

    // 4.
    bool found = false;
    for (;;) {
        found = true;
        if (system > 0) {
            int16_t s = system;
            found = CheckSystem(s);
        } else {
            const int requested = -static_cast<int>(system);
            const int16_t candidate = static_cast<int16_t>(requested < kSystemCount ? requested : 0);
            setCurrentSystem(candidate);
            IProgressBox* box = ctx_.progress;
            if (box)
                box->ShowForm(kRecognitionSteps);
            found = false;
            if (candidate > 0) {
                if (box) {
                    box->SetStatus(SystemName(candidate));
                    box->IncBar();
                }
                int16_t s = candidate;
                found = CheckSystem(s);
                if (found) {
                    if (box)
                        box->IncBar(kRecognitionSteps);
                } else {
                    setCurrentSystem(0);
                }
            }
            // The network entries are tried only as the first candidate.
            for (int16_t i = 1; !found && i <= kLastSerialEntry; ++i) {
                if (i == candidate)
                    continue;
                // The program is closing: it ends the search as the box's Cancel does.
                if (closing_)
                    break;
                if (box) {
                    box->SetStatus(SystemName(i));
                    if (!box->IncBar())
                        break; // cancelled or closed by the user
                }
                int16_t s = i;
                if (CheckSystem(s)) {
                    found = true;
                    if (box)
                        box->IncBar(kRecognitionSteps);
                }
            }
            if (!found)
                setCurrentSystem(0);
            if (box)
                box->Unload();
        }
        // Nobody is asked to retry once the program is closing.
        if (!askRetry || found || closing_ || !ctx_.language)
            break;
        if (ctx_.language->ShowMessage(1, Msg::RetryCancel) == Msg::Cancel)
            break;
    }

    // 5. A change of system: the previous windows close down first.
    if (previous > 0) {
        if (CurrentSystemIndex() != previous) {
            const int16_t next = CurrentSystemIndex();
            // Polling is off since step 2: what is on now, the new entry's Check asked for
            // (a mode that lives on the poll steps). The previous window's close-down and
            // unloading switch polling off for themselves; that must not stop the new one.
            const bool newPolling = next > 0 && PollingEnabled();
            setCurrentSystem(previous);
            if (ISystemForm* old = window(previous)) {
                // Its own link mode again (the Ethernet entry included), so that it closes
                // its own connection and sends nothing to a device of another entry.
                if (!closedFirst) {
                    old->Init(previous == kEthernetEntry);
                    old->CloseLK();
                }
                if (windowMark && old->Loaded())
                    old->Unload();
            }
            if (ioShown) {
                if (IToolWindow* w = ioWindow(previous); w && w->Loaded())
                    w->Unload();
            }
            if (stateShown) {
                if (IToolWindow* w = stateWindow(previous); w && w->Loaded())
                    w->Unload();
            }
            if (frame) {
                frame->setMenuEnabled(MenuEntry::IO, false);
                frame->setMenuEnabled(MenuEntry::State, false);
            }
            setCurrentSystem(next);
            // The previous window's Init replaced the framing and link protocol.
            if (next > 0) {
                if (ISystemForm* form = window(next))
                    form->Init(next == kEthernetEntry);
            }
            EnablePolling(newPolling);
        }
        SetSystemMenuItem(previous, false);
    }

    // 6.
    const int16_t current = CurrentSystemIndex();
    if (frame) {
        frame->setMenuEnabled(MenuEntry::OrvidWindow, current != 0);
        if (current == 0) {
            frame->setMenuEnabled(MenuEntry::IO, false);
            frame->setMenuEnabled(MenuEntry::State, false);
        }
        frame->setMenuChecked(MenuEntry::OrvidWindow, windowMark);
        frame->setMenuChecked(MenuEntry::IO, ioMark);
        frame->setMenuChecked(MenuEntry::State, stateMark);
    }

    // 7. The new entry's windows come up as the marks say.
    if (current > 0) {
        SetSystemMenuItem(current, true);
        if (current != previous && frame) {
            if (frame->menuChecked(MenuEntry::OrvidWindow)) {
                if (ISystemForm* form = window(current))
                    form->Show();
            }
            if (frame->menuEnabled(MenuEntry::IO) && frame->menuChecked(MenuEntry::IO)) {
                if (IToolWindow* w = ioWindow(current))
                    w->Show();
            }
            if (frame->menuEnabled(MenuEntry::State) && frame->menuChecked(MenuEntry::State)) {
                if (IToolWindow* w = stateWindow(current))
                    w->Show();
            }
        }
    }

    // 8. The command window has nothing to send to on the Ethernet entry.
    if (current == kEthernetEntry) {
        if (frame)
            frame->setMenuEnabled(MenuEntry::Command, false);
        if (ctx_.command && ctx_.command->Loaded())
            ctx_.command->Unload();
    } else {
        if (frame) {
            frame->setMenuEnabled(MenuEntry::Command, true);
            if (frame->menuChecked(MenuEntry::Command) && ctx_.command
                && !ctx_.command->Loaded())
                ctx_.command->Show();
        }
    }

    if (current != previous)
        ++systemChanges_;

    // 9.
    if (ctx_.command)
        ctx_.command->RefreshForm();
    if (frame)
        frame->setSystemLabel(SystemName(current), found);
    return found;
}

void LK::CloseSystem()
{
    if (CurrentSystemIndex() > 0) {
        if (ISystemForm* form = CurrentWindow())
            form->CloseLK();
    }
}

// ---------------------------------------------------------------------------------------
// Dispatch

bool LK::LkDataAvailable()
{
    ILkDirectAccess* direct = GetDirectAccess();
    if (direct && direct->DirectModeSupported())
        return direct->DataAvailable();
    return ctx_.ports ? ctx_.ports->PortDataAvailable() : false;
}

int16_t LK::LkReceive(QByteArray& reply, int16_t& count, const QVariant& logOption, bool log,
                      bool noCheck)
{
    CountGuard exchange(exchangeDepth_, [this] { noteExchangeEnded(); });
    ILkDirectAccess* direct = GetDirectAccess();
    if (direct && direct->DirectModeSupported())
        return direct->DirectRead(reply, count, logOption, log, noCheck);
    if (!ctx_.ports)
        return 0;
    return ctx_.ports->ReceiveTelegram(reply, count, logOption, log, noCheck);
}

int16_t LK::SendCommand(const QByteArray& command, QByteArray& reply, const QVariant& logOption,
                        bool& ok)
{
    CountGuard exchange(exchangeDepth_, [this] { noteExchangeEnded(); });
    ok = false;
    if (ILkDirectAccess* direct = GetDirectAccess())
        return direct->ReadData(command, reply, logOption.toBool(), ok);

    reply.clear();
    if (command.isEmpty() || !ctx_.ports)
        return 0;
    takeTheWindowsFrames();
    ctx_.ports->FlushInput();

    // A leading section sign asks for the reply with its check character untested and kept.
    QByteArray text = command;
    bool noCheck = false;
    if (text.at(0) == '\xA7') {
        text.remove(0, 1);
        noCheck = true;
    }
    ISystemForm* form = CurrentWindow();
    const QByteArray telegram = form ? form->SetLKString(text, QByteArray()) : text + '\r';
    ctx_.ports->SendTelegram(telegram, telegram.size(), logOption);

    int16_t n = ReceiveAnswer(reply, logOption, noCheck);
    if (n > 0) {
        // The window may have gone while the reply was awaited.
        if (ISystemForm* now = CurrentWindow())
            n = now->GetLKResult(reply, n, logOption);
        ok = true;
    }
    return n;
}

int16_t LK::ReceiveAnswer(QByteArray& reply, const QVariant& logOption, bool noCheck)
{
    CountGuard exchange(exchangeDepth_, [this] { noteExchangeEnded(); });
    reply.clear();
    if (!ctx_.ports)
        return 0;
    QElapsedTimer waited;
    waited.start();
    const int timeout = ctx_.ports->GetTimeout();
    for (;;) {
        int16_t count = 0;
        const int16_t n = ctx_.ports->ReceiveTelegram(reply, count, logOption, true, noCheck);
        ISystemForm* form = CurrentWindow();
        if (n <= 0 || !form || !form->ReadRunning() || !form->ReadFrame(reply, n, true))
            return n;
        // A read repeating meanwhile does not keep the answer waiting past its time.
        if (waited.elapsed() > timeout) {
            reply.clear();
            return 0;
        }
    }
}

void LK::takeTheWindowsFrames()
{
    // The device answers in order: a reply the window is still owed comes before the
    // answer to anything sent now, and so does what its running read has sent. Flushed,
    // it would be lost to the window's list; left on the line, it would be taken as the
    // answer to the telegram going out.
    ISystemForm* form = CurrentWindow();
    if (!form)
        return;
    for (int frames = 0; frames < kOwedFramesAtMost; ++frames) {
        const int within = form->ReplyOwed();
        if (within < 0)
            break;
        QByteArray reply;
        const int16_t n = within > 0 || ctx_.ports->PortDataAvailable() ? receiveWithin(reply, within) : 0;
        form->OwedReply(reply, n);
        if (n <= 0)
            break;
    }
    // What came while the link was busy is taken whole; a device that sends faster than
    // its frames can be listed holds the telegram back no longer than a time-out.
    QElapsedTimer taking;
    taking.start();
    const int limit = std::max<int>(ctx_.ports->GetTimeout(), kFrameRestMs);
    while (form->ReadRunning() && ctx_.ports->PortDataAvailable() && taking.elapsed() < limit) {
        QByteArray frame;
        const int16_t n = receiveWithin(frame, 0);
        if (n <= 0)
            break;
        form->ReadFrame(frame, n, false);
    }
}

int16_t LK::receiveWithin(QByteArray& reply, int ms)
{
    // A frame already arriving gets the time its last bytes need.
    const int16_t previous = ctx_.ports->SetTimeout(static_cast<int16_t>(std::clamp(ms, kFrameRestMs, 32767)));
    int16_t count = 0;
    const int16_t n = ctx_.ports->ReceiveTelegram(reply, count, QVariant(), true);
    ctx_.ports->SetTimeout(previous);
    return n;
}

int16_t LK::SendOnly(const QByteArray& command, const QByteArray& suffix, const QVariant& logOption)
{
    if (command.isEmpty())
        return 0;
    CountGuard exchange(exchangeDepth_, [this] { noteExchangeEnded(); });
    if (ILkDirectAccess* direct = GetDirectAccess())
        return direct->WriteData(command, suffix, logOption.toBool());
    if (!ctx_.ports)
        return 0;
    takeTheWindowsFrames();
    ctx_.ports->FlushInput();
    ISystemForm* form = CurrentWindow();
    const QByteArray telegram = form ? form->SetLKString(command, suffix) : command + '\r';
    ctx_.ports->SendTelegram(telegram, telegram.size(), logOption);
    return -1;
}

void LK::LkPutData(int16_t id, const QVariant& value)
{
    if (id >= 1 && id <= 3) {
        dataItems_[id] = itemBytes(value);
        return;
    }
    if (ISystemForm* form = CurrentWindow())
        form->PutData(id, value);
}

void LK::LkGetData(int16_t id, QVariant& value)
{
    if (id >= 1 && id <= 3) {
        value = dataItems_[id];
        return;
    }
    if (ISystemForm* form = CurrentWindow())
        form->GetData(id, value);
}

// ---------------------------------------------------------------------------------------
// Polling

void LK::applyPollTimer()
{
    timSensorPoll_.setInterval(pollInterval_);
    const bool run = pollTimerEnabled_ && pollInterval_ > 0;
    if (run && !timSensorPoll_.isActive())
        timSensorPoll_.start();
    else if (!run && timSensorPoll_.isActive())
        timSensorPoll_.stop();
}

bool LK::EnablePolling(bool on, bool temporary)
{
    if (pollLock_)
        return false;
    pollLock_ = true;
    const bool previous = pollTimerEnabled_;
    pollTimerEnabled_ = on;
    applyPollTimer();
    if (temporary) {
        pollingEnabled_ = false;
        bufferedPolling_ = on;
    } else {
        bufferedPolling_ = false;
        pollingEnabled_ = on;
        if (on && ctx_.command)
            ctx_.command->SetBuffered(false);
    }
    pollLock_ = false;
    return previous;
}

QString LK::LkPoll(const QVariant& a, const QVariant& b)
{
    QString result;
    // Never inside another wait for the device (an exchange's, a selection's, a Send's):
    // the step would take that wait's reply. The user's actions that may run go first. A
    // selection sets the windows up and closes the previous one down: its Check may leave
    // polling on for what the window needs, and the first step comes once it has ended.
    if (CurrentSystemIndex() <= 0 || Busy() || nextRunnable() < actions_.size())
        return result;
    FlagGuard busy(pollBusy_, [this] { noteExchangeEnded(); });
    runHeld(Holder::Poll, [&] {
        if (ctx_.command)
            ctx_.command->Poll();
        if (pollingEnabled_) {
            if (ISystemForm* form = CurrentWindow())
                result = form->Poll(a, b);
        }
    });
    return result;
}

void LK::LkStopBuffered()
{
    EnablePolling(false);
    if (ISystemForm* form = CurrentWindow())
        form->StopBuffered();
}

Menues LK::LkCommandList()
{
    if (ISystemForm* form = CurrentWindow())
        return form->CommandList();
    return Menues();
}

} // namespace orvid
