#include "Application.h"

#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "link/Network.h"
#include "link/Ports.h"
#include "frmCommand.h"
#include "frmMain.h"
#include "frmMonitor.h"
#include "frmNetworkConnect.h"
#include "frmSplash.h"
#include "frmState.h"

#include <QCoreApplication>

namespace orvid {

Application::Application(const QString& settingsPath, const QString& programDir,
                         const FamilyRegistration& registerFamilies)
{
    ctx_.programDir = programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir;

    presenter_ = std::make_unique<QtMessagePresenter>();
    settings_ = std::make_unique<SettingsStore>(settingsPath);
    language_ = std::make_unique<Language>(ctx_.programDir);
    language_->setPresenter(presenter_.get());
    state_ = std::make_unique<AppState>();
    ctx_.settings = settings_.get();
    ctx_.language = language_.get();
    ctx_.state = state_.get();
    placement_ = std::make_unique<WindowPlacement>(ctx_);
    ctx_.placement = placement_.get();

    ports_ = std::make_unique<Ports>(ctx_);
    network_ = std::make_unique<Network>(ctx_);
    lk_ = std::make_unique<LK>(ctx_);
    ctx_.ports = ports_.get();
    ctx_.network = network_.get();
    ctx_.lk = lk_.get();

    // The main window first: the others find it in the context (frame, centring).
    main_ = std::make_unique<frmMain>(ctx_);
    // A settings file that cannot be written costs the values, not the session: the status
    // bar says so (the store tells once until a write succeeds, or until another message
    // has taken the report's place) and the program goes on.
    settings_->setWriteFailureHandler([window = QPointer<frmMain>(main_.get())](const QString& file, int error) {
        if (window)
            window->ShowSettingsFailure(file, error);
    });
    // The fault mended, the report would mislead: it goes with the first write that succeeds.
    settings_->setWriteMendedHandler([window = QPointer<frmMain>(main_.get())] {
        if (window)
            window->SettingsMended();
    });
    monitor_ = new frmMonitor(ctx_);
    ctx_.monitor = monitor_;
    command_ = new frmCommand(ctx_);
    ctx_.command = command_;
    main_->adoptChild(monitor_);
    main_->adoptChild(command_);
    progress_ = new frmState(ctx_, main_.get());
    ctx_.progress = progress_;
    connecting_ = new frmNetworkConnect(ctx_, main_.get());
    ctx_.connecting = connecting_;

    // The families library sits above the shell, so it is handed in rather than called
    // from here (main passes RegisterFamilies).
    if (registerFamilies)
        registerFamilies(ctx_);
}

Application::~Application()
{
    // Windows go before the modules they use; the main window takes its MDI children
    // and dialogs with it.
    ctx_.monitor = nullptr;
    ctx_.command = nullptr;
    ctx_.progress = nullptr;
    ctx_.connecting = nullptr;
    splash_.reset();
    main_.reset();
    delete monitor_.data();
    delete command_.data();
    lk_.reset();
    network_.reset();
    ports_.reset();
    ctx_.lk = nullptr;
    ctx_.network = nullptr;
    ctx_.ports = nullptr;
}

void Application::Startup()
{
    splash_ = std::make_unique<frmStart>();
    splash_->Load();
    if (monitor_)
        monitor_->Init();
    main_->Show();
    QCoreApplication::processEvents();
    splash_->Unload();
    splash_.reset();
    state_->PollReady = true;
}

int Application::Main()
{
    QObject::connect(main_.get(), &frmMain::closed, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    Startup();
    return QCoreApplication::exec();
}

} // namespace orvid
