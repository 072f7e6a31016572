#pragma once
// Scriptable stand-ins for the windows the device link drives: system main windows (with
// and without their own transport), I/O and state windows, the progress box and the
// command window. Every call is written, in order, to one shared journal, so a test can
// check the exact sequence the link produced across all windows ("frmSystemHX.Init(true)",
// "frmState.IncBar(1)", ...).

#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>

namespace orvid {
struct AppContext;
}

namespace orvid::test {

class Journal {
public:
    void add(const QString& line) { lines.append(line); }
    void clear() { lines.clear(); }
    // The lines that begin with prefix, in order (e.g. all calls of one window).
    QStringList matching(const QString& prefix) const;
    // The lines that end with suffix (e.g. every ".Check").
    QStringList ending(const QString& suffix) const;
    int count(const QString& line) const { return static_cast<int>(lines.count(line)); }
    int indexOf(const QString& line, int from = 0) const { return static_cast<int>(lines.indexOf(line, from)); }

    QStringList lines;
};

class FakeToolWindow : public IToolWindow {
public:
    FakeToolWindow(QString name, Journal& journal) : name_(std::move(name)), journal_(journal) {}

    QString Name() const override { return name_; }
    bool Loaded() const override { return loaded; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    bool loaded = false;
    std::function<void()> onUnload;  // e.g. clear the window's own menu mark, as windows do

protected:
    void log(const QString& what) const { journal_.add(name_ + QLatin1Char('.') + what); }

    QString name_;
    Journal& journal_;
};

// A family main window. Check answers, in this order of precedence: checkHook, the next
// of checkResults, a probe exchange through ctx.lk->SendCommand (probeCommand set: true
// when a reply starting with probeReply came), else checkResult.
class FakeSystemForm : public ISystemForm {
public:
    FakeSystemForm(AppContext& ctx, QString name, Journal& journal)
        : ctx_(ctx), name_(std::move(name)), journal_(journal) {}

    // IToolWindow
    QString Name() const override { return name_; }
    bool Loaded() const override { return loaded; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    // ISystemForm
    Menues CommandList() override;
    bool Check() override;
    QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) override;
    void CloseLK() override;
    void Init(bool ethernet = false) override;
    void PutData(int16_t id, const QVariant& value) override;
    void GetData(int16_t id, QVariant& value) override;
    QByteArray SetLKString(const QByteArray& command, const QByteArray& suffix) override;
    int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    void StopBuffered() override;

    // Script
    bool loaded = false;
    std::function<void()> onUnload;      // e.g. clear the window's own menu mark
    // Init enables or disables the window-menu entries of the entry's extra windows
    // (ctx.frame present), as the family windows do.
    bool initEnablesIO = false;
    bool initEnablesState = false;
    bool checkResult = false;
    QList<bool> checkResults;            // consumed one per Check
    std::function<bool()> checkHook;     // runs inside Check (e.g. to start a nested action)
    std::function<void()> closeHook;     // runs inside CloseLK
    QByteArray probeCommand;
    QByteArray probeReply;
    // Init configures the serial link when initFraming >= 0 (ctx.ports present).
    int16_t initFraming = -1;
    QByteArray initProtocol;
    QByteArray telegramPrefix;           // SetLKString: prefix + command + suffix
    int16_t resultOverride = -1;         // GetLKResult returns this when >= 0
    QString pollResult;
    std::function<void()> pollHook;      // runs inside Poll
    QHash<int, QVariant> data;           // GetData/PutData store
    Menues commands;
    bool lastEthernet = false;
    QList<QByteArray> probeReplies;      // replies the probes received

protected:
    void log(const QString& what) const { journal_.add(name_ + QLatin1Char('.') + what); }

    AppContext& ctx_;
    QString name_;
    Journal& journal_;
};

// A window that moves its own telegrams (the direct route).
class FakeDirectForm : public FakeSystemForm, public ILkDirectAccess {
public:
    using FakeSystemForm::FakeSystemForm;

    bool DataAvailable() override;
    bool DirectModeSupported() override;
    int16_t DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption,
                       bool log = true, bool noCheck = false) override;
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok) override;
    int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool log) override;

    bool directMode = true;
    bool dataWaiting = false;
    QByteArray readReply = "REPLY";       // ReadData and DirectRead hand this out
    int16_t writeResult = -1;
    QList<QByteArray> readCommands;       // commands ReadData received
    QList<bool> readLogFlags;             // log flags ReadData received
};

class FakeProgressBox : public IProgressBox {
public:
    explicit FakeProgressBox(Journal& journal) : journal_(journal) {}

    void ShowForm(int steps) override;
    void SetStatus(const QString& text) override;
    bool IncBar(int steps = 1) override;
    void Unload() override;

    QStringList statuses;
    QList<bool> incBarResults;  // consumed one per IncBar; true when empty
    int position = 0;
    bool shown = false;

private:
    Journal& journal_;
};

class FakeCommandWindow : public ICommandWindow {
public:
    explicit FakeCommandWindow(Journal& journal) : journal_(journal) {}

    QString Name() const override { return QStringLiteral("frmCommand"); }
    bool Loaded() const override { return loaded; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;
    void Poll() override;
    void SetBuffered(bool on) override;
    void RefreshForm() override;

    bool loaded = false;
    bool buffered = false;
    std::function<void()> pollHook;  // runs inside Poll

private:
    Journal& journal_;
};

} // namespace orvid::test
