#pragma once
// The program object: owns the modules (settings, language, options, placements, serial
// port, network, system table) and the one instance of each shell window, fills the
// application context, and runs the start-up procedure.

#include "foundations/AppContext.h"
#include "frmCommand.h"
#include "frmMain.h"
#include "frmMonitor.h"
#include "frmNetworkConnect.h"
#include "frmSplash.h"
#include "frmState.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace orvid {

struct AppState;
class IMessagePresenter;

class Application {
public:
    // Fills the system table with the families' windows (RegisterFamilies of the
    // families library, or a test's own windows).
    using FamilyRegistration = std::function<void(AppContext&)>;

    // settingsPath empty: the per-user settings file; programDir empty: the folder of the
    // executable (layout, language and head-type files).
    explicit Application(const QString& settingsPath = QString(),
                         const QString& programDir = QString(),
                         const FamilyRegistration& registerFamilies = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    AppContext& context() { return ctx_; }
    frmMain* mainWindow() const { return main_.get(); }
    frmMonitor* monitor() const { return monitor_; }
    frmCommand* command() const { return command_; }
    frmState* progressBox() const { return progress_; }
    frmStart* splash() const { return splash_.get(); }

    // The start-up procedure up to the running program: splash, character names, the
    // main window with its start-up sequence, pending events once, splash gone,
    // polling allowed.
    void Startup();
    // Startup, then the event loop until the main window has closed.
    int Main();

private:
    AppContext ctx_;
    std::unique_ptr<IMessagePresenter> presenter_;
    std::unique_ptr<class SettingsStore> settings_;
    std::unique_ptr<class Language> language_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<class WindowPlacement> placement_;
    std::unique_ptr<class Ports> ports_;
    std::unique_ptr<class Network> network_;
    std::unique_ptr<class LK> lk_;
    std::unique_ptr<frmMain> main_;
    std::unique_ptr<frmStart> splash_;
    // Adopted into the main window's MDI area, which deletes them with itself.
    QPointer<frmMonitor> monitor_;
    QPointer<frmCommand> command_;
    QPointer<frmState> progress_;
    QPointer<frmNetworkConnect> connecting_;
};

} // namespace orvid
