#include "frmMain.h"

#include "Toolbar.h"
#include "ctrlTitleBar.h"
#include "frmCommand.h"
#include "frmLKInfo.h"
#include "frmMonitor.h"
#include "frmNetworkOptions.h"
#include "frmOptions.h"
#include "frmPortOptions.h"
#include "frmSplash.h"

#include "foundations/AppContext.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/SystemError.h"
#include "foundations/Trace.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "link/Network.h"
#include "link/Ports.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace orvid {

namespace {

// The status bar's system label is at least this wide, so that its neighbours keep their
// places whichever system is shown.
constexpr int kSystemLabelWidth = 200;
constexpr int kNoHelp = 0;

void Trace(const char* step)
{
    DebugTrace(QStringLiteral("Zarvento"), 0, QString::fromLatin1(step));
}

const char* EntryName(MenuEntry e)
{
    switch (e) {
    case MenuEntry::OrvidWindow: return "mnOrvidWindow";
    case MenuEntry::IO: return "mnIO";
    case MenuEntry::State: return "mnState";
    case MenuEntry::Command: return "mnCommand";
    case MenuEntry::Monitor: return "mnMonitor";
    }
    return "";
}

// The fixed menu entries in the order their texts are stored and translated.
const char* const kFixedEntries[] = {
    "mnFile", "mnExit", "mnSensor", "mnDetect", "mnInfo", "mnOptions", "mnProgOptions",
    "mnPortOptions", "mnWindow", "mnOrvidWindow", "mnCommand", "mnMonitor", "mnIO", "mnState",
    "mnDefaultPosition", "mnHelp", "mnContents", "mnAbout", "mnNetwork",
};
} // namespace

const QStringList& frmMain::DefaultTooltips()
{
    static const QStringList tips = {
        QStringLiteral("Orvid System Info"), QStringLiteral("Initialisieren"),
        QStringLiteral("Orvid-I System R"),  QStringLiteral("Orvid-I System D"),
        QStringLiteral("Orvid-M System D"),  QStringLiteral("Orvid-M System L"),
        QStringLiteral("OrvidControl"),
    };
    return tips;
}

frmMain::frmMain(AppContext& ctx, QWidget* parent)
    : QMainWindow(parent)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(ProgramIcon());
    ctx_.frame = this;
    ctx_.mainWindow = this;

    buildMenus();
    auto* bar = new QToolBar(this);
    addToolBar(Qt::TopToolBarArea, bar);
    toolbar_ = new Toolbar(this, bar);
    connect(toolbar_, &Toolbar::clicked, this, &frmMain::ToolbarClick);
    buildCentre();
    buildStatusBar();

    if (ctx_.lk)
        connect(ctx_.lk->PollTimer(), &QTimer::timeout, this, &frmMain::PollTick);
    // A device that goes away closes the port; the user learns why in the status bar
    // (once: the port reports a failure only once), and the greyed port label stays.
    if (ctx_.ports)
        connect(ctx_.ports, &Ports::portFailed, this, [this] { ShowPortFailure(ctx_.ports->comm().failure()); });
    connect(DeviceWait::notifier(), &DeviceWait::idle, this, &frmMain::retryPendingClose);
}

frmMain::~frmMain()
{
    if (ctx_.frame == this)
        ctx_.frame = nullptr;
    if (ctx_.mainWindow == this)
        ctx_.mainWindow = nullptr;
}

// ---------------------------------------------------------------------------------------
// Building the window

QAction* frmMain::addEntry(QMenu* menu, const char* name, const QString& caption, int help)
{
    auto* a = new QAction(caption, menu);
    a->setObjectName(QString::fromLatin1(name));
    if (help != kNoHelp)
        a->setProperty("helpContext", help);
    menu->addAction(a);
    actions_.insert(a->objectName(), a);
    return a;
}

QMenu* frmMain::addMenu(QMenu* parentMenu, const char* name, const QString& caption, int help)
{
    QMenu* m = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    if (help != kNoHelp) {
        m->setProperty("helpContext", help);
        m->menuAction()->setProperty("helpContext", help);
    }
    m->installEventFilter(this);
    actions_.insert(m->objectName(), m->menuAction());
    return m;
}

QAction* frmMain::addArrayEntry(QMenu* menu, const char* array, int index, const QString& caption,
                                int system, bool hourglass)
{
    auto* a = new QAction(caption, menu);
    a->setObjectName(QString::fromLatin1(array));
    a->setProperty("ctrlIndex", index);
    a->setProperty("system", system);
    a->setCheckable(true);
    menu->addAction(a);
    arrayActions_.insert(a->objectName() + QString::number(index), a);
    connect(a, &QAction::triggered, this, [this, a, system, hourglass] {
        // The mark is SelectSystem's business, not the click's.
        a->setChecked(!a->isChecked());
        SelectFamily(system, hourglass);
    });
    return a;
}

QMenu* frmMain::addFamilyMenu(QMenu* parentMenu, int index, const QString& caption, int help)
{
    QMenu* m = parentMenu->addMenu(caption);
    const QString name = QStringLiteral("mnOrvidSystem");
    m->setObjectName(name);
    m->setProperty("ctrlIndex", index);
    m->menuAction()->setObjectName(name);
    m->menuAction()->setProperty("ctrlIndex", index);
    if (help != kNoHelp) {
        m->setProperty("helpContext", help);
        m->menuAction()->setProperty("helpContext", help);
    }
    m->installEventFilter(this);
    arrayActions_.insert(name + QString::number(index), m->menuAction());
    familyMenus_.insert(index, m);
    return m;
}

void frmMain::buildMenus()
{
    QMenu* file = addMenu(nullptr, "mnFile", QStringLiteral("&Datei"), 100);
    connect(addEntry(file, "mnExit", QStringLiteral("&Beenden"), 100), &QAction::triggered,
            this, &QWidget::close);

    QMenu* sensor = addMenu(nullptr, "mnSensor", QStringLiteral("&Orvidsystem"), 200);
    connect(addEntry(sensor, "mnDetect", QStringLiteral("&Orvidsystem initialisieren"), 200),
            &QAction::triggered, this, &frmMain::Detect);
    connect(addEntry(sensor, "mnInfo", QStringLiteral("In&fo"), 200), &QAction::triggered,
            this, &frmMain::Info);
    sensor->addSeparator()->setObjectName(QStringLiteral("SEP1"));

    QMenu* control = addFamilyMenu(sensor, 1, QStringLiteral("OrvidControl"), kNoHelp);
    addArrayEntry(control, "mnOrvidControl", 0, QStringLiteral("OrvidControl Serial"), 1, false);
    addArrayEntry(control, "mnOrvidControl", 1, QStringLiteral("OrvidControl Ethernet"), 10, false);
    QMenu* kr = addFamilyMenu(sensor, 2, QStringLiteral("ORVID-I System R"), 200);
    addArrayEntry(kr, "mnOrvidSystemKR", 3, QStringLiteral("QTR-AX"), 2, true);
    addArrayEntry(kr, "mnOrvidSystemKR", 4, QStringLiteral("QTR1-AX"), 3, true);
    QMenu* kd = addFamilyMenu(sensor, 3, QStringLiteral("ORVID-I System D"), 200);
    addArrayEntry(kd, "mnOrvidSystemKD", 1, QStringLiteral("Fixcode"), 4, true)->setProperty("helpContext", 200);
    addArrayEntry(kd, "mnOrvidSystemKD", 2, QStringLiteral("Read/Write"), 5, true)->setProperty("helpContext", 200);
    QAction* wd = addArrayEntry(sensor, "mnOrvidSystem", 4, QStringLiteral("ORVID-M System D"), 6, true);
    wd->setProperty("helpContext", 200);
    QMenu* wl = addFamilyMenu(sensor, 5, QStringLiteral("ORVID-M System L"), 200);
    addArrayEntry(wl, "mnOrvidSystemL", 1, QStringLiteral("Valdrecht Talk"), 7, true);
    addArrayEntry(wl, "mnOrvidSystemL", 2, QStringLiteral("Morsek"), 8, true);
    addArrayEntry(wl, "mnOrvidSystemL", 3, QStringLiteral("KLX9000"), 9, true);

    QMenu* options = addMenu(nullptr, "mnOptions", QStringLiteral("&Optionen"), 300);
    connect(addEntry(options, "mnProgOptions", QStringLiteral("&Programm"), 300),
            &QAction::triggered, this, &frmMain::ProgramOptions);
    // The port and network dialogs reopen the link: never inside a poll step's wait.
    QAction* port = addEntry(options, "mnPortOptions", QStringLiteral("&Serielle Schnittstelle"), 300);
    connect(port, &QAction::triggered, this,
            [this, port] { runDeviceAction(port, [this] { runDialog(QStringLiteral("frmPortOptions")); }); });
    QAction* network = addEntry(options, "mnNetwork", QStringLiteral("&Netzwerk Verbindung"), kNoHelp);
    connect(network, &QAction::triggered, this,
            [this, network] { runDeviceAction(network, [this] { runDialog(QStringLiteral("frmNetworkOptions")); }); });

    QMenu* window = addMenu(nullptr, "mnWindow", QStringLiteral("&Fenster"), 400);
    const struct {
        MenuEntry entry;
        const char* caption;
    } windowEntries[] = {
        {MenuEntry::OrvidWindow, "&Orvid System"}, {MenuEntry::IO, "&Ein-/Ausgänge"},
        {MenuEntry::State, "&Status"},             {MenuEntry::Command, "&Befehlseingabe"},
        {MenuEntry::Monitor, "&Port Monitor"},
    };
    for (const auto& w : windowEntries) {
        QAction* a = addEntry(window, EntryName(w.entry), QString::fromUtf8(w.caption), 400);
        a->setCheckable(true);
        const MenuEntry entry = w.entry;
        connect(a, &QAction::triggered, this, [this, a, entry] {
            a->setChecked(!a->isChecked()); // the handler sets the mark itself
            if (entry == MenuEntry::Command || entry == MenuEntry::Monitor)
                ShowToolWindow(entry);
            else
                ShowSystemWindow(entry);
        });
    }
    for (MenuEntry e : {MenuEntry::OrvidWindow, MenuEntry::IO, MenuEntry::State})
        menuAction(e)->setEnabled(false);
    window->addSeparator()->setObjectName(QStringLiteral("SEP2"));
    connect(addEntry(window, "mnDefaultPosition", QStringLiteral("&Default Positionen"), 400),
            &QAction::triggered, this, &frmMain::DefaultPositions);

    QMenu* help = addMenu(nullptr, "mnHelp", QStringLiteral("&Hilfe"), kNoHelp);
    connect(addEntry(help, "mnContents", QStringLiteral("&Inhalt"), kNoHelp), &QAction::triggered,
            this, [this] { ShowHelp(0); });
    connect(addEntry(help, "mnAbout", QStringLiteral("Info &über"), kNoHelp), &QAction::triggered,
            this, [this] { runDialog(QStringLiteral("frmAbout")); });
}

void frmMain::buildCentre()
{
    auto* centre = new QWidget(this);
    centre->setObjectName(QStringLiteral("centre"));
    auto* layout = new QHBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* title = new ctrlTitleBar(ctx_, centre);
    title->setObjectName(QStringLiteral("ctrlTitleBar1"));
    layout->addWidget(title);
    titleBar_ = title;
    mdiArea_ = new QMdiArea(centre);
    mdiArea_->setObjectName(QStringLiteral("mdiArea"));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Each window keeps its own state: one brought forward beside a maximised window is not
    // maximised in its place (the area's habit), nor is the maximised one restored.
    mdiArea_->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    layout->addWidget(mdiArea_, 1);
    setCentralWidget(centre);
    logo_ = new frmLogo(mdiArea_->viewport());
    logo_->hide();
}

void frmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("picStatusbar"));
    bar->setSizeGripEnabled(true);
    lblPort_ = new QLabel(QStringLiteral(" NONE "), bar);
    lblPort_->setObjectName(QStringLiteral("lblPort"));
    lblPort_->setFrameShape(QFrame::Panel);
    lblPort_->setFrameShadow(QFrame::Sunken);
    lblOrvidSystem_ = new QLabel(bar);
    lblOrvidSystem_->setObjectName(QStringLiteral("lblOrvidSystem"));
    lblOrvidSystem_->setFrameShape(QFrame::Panel);
    lblOrvidSystem_->setFrameShadow(QFrame::Sunken);
    lblOrvidSystem_->setMinimumWidth(kSystemLabelWidth);
    lblMessage_ = new QLabel(bar);
    lblMessage_->setObjectName(QStringLiteral("lblMessage"));
    // A long message is cut at the field's end rather than widening the window; a settings
    // failure is fitted to the field's width instead.
    lblMessage_->setMinimumWidth(1);
    lblMessage_->installEventFilter(this);
    imgVD_ = new QLabel(bar);
    imgVD_->setObjectName(QStringLiteral("imgVD"));
    imgVD_->setPixmap(RenderMark(MarkStyle::Maker, QSize(86, 16), devicePixelRatioF()));
    bar->addWidget(lblPort_);
    bar->addWidget(lblOrvidSystem_);
    bar->addWidget(lblMessage_, 1);
    // The maker's mark stays at the right end whatever the width.
    bar->addPermanentWidget(imgVD_);
}

QList<QAction*> frmMain::fixedEntries() const
{
    QList<QAction*> list;
    for (const char* name : kFixedEntries)
        list.append(actions_.value(QString::fromLatin1(name)));
    return list;
}

QAction* frmMain::menuAction(MenuEntry entry) const
{
    return actions_.value(QString::fromLatin1(EntryName(entry)));
}

QAction* frmMain::arrayAction(const QString& arrayName, int index) const
{
    return arrayActions_.value(arrayName + QString::number(index));
}

QMenu* frmMain::familyMenu(int index) const
{
    return familyMenus_.value(index);
}

void frmMain::adoptChild(QWidget* w)
{
    if (!w)
        return;
    if (qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        return; // already in the frame
    QMdiSubWindow* sub = mdiArea_->addSubWindow(w);
    // Windows live for the whole run: closing only hides them.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setWindowIcon(windowIcon());
    sub->hide();
    adopted_.append(sub);
}

IToolWindow* frmMain::monitorWindow() const
{
    return dynamic_cast<IToolWindow*>(ctx_.monitor);
}

IToolWindow* frmMain::commandWindow() const
{
    return ctx_.command;
}

// ---------------------------------------------------------------------------------------
// IMainFrame

bool frmMain::menuChecked(MenuEntry entry) const
{
    QAction* a = menuAction(entry);
    return a && a->isChecked();
}

void frmMain::setMenuChecked(MenuEntry entry, bool checked)
{
    if (QAction* a = menuAction(entry))
        a->setChecked(checked);
}

bool frmMain::menuEnabled(MenuEntry entry) const
{
    QAction* a = menuAction(entry);
    return a && a->isEnabled();
}

void frmMain::setMenuEnabled(MenuEntry entry, bool enabled)
{
    if (QAction* a = menuAction(entry))
        a->setEnabled(enabled);
}

void frmMain::setMenuArrayChecked(const QString& arrayName, int index, bool checked)
{
    if (QAction* a = arrayAction(arrayName, index)) {
        a->setCheckable(true);
        a->setChecked(checked);
    }
}

void frmMain::ShowPortFailure(const CommPort::Failure& failure)
{
    ShowStatus(QString());
    report_ = {Report::Port, failure.device, 0, failure};
    fitReport();
}

void frmMain::ShowStatus(const QString& text)
{
    lblMessage_->setText(text);
    lblMessage_->setToolTip(QString());
    // A settings failure no longer in sight is shown again by the next write that fails.
    if (report_.kind == Report::Settings && ctx_.settings)
        ctx_.settings->reportNextFailure();
    report_ = {};
    // Only now: the field's resize on the way must not fit the report again.
    giveRoomToTheReport(false);
}

void frmMain::ShowSettingsFailure(const QString& file, int error)
{
    report_ = {Report::Settings, file, error, {}};
    fitReport();
}

void frmMain::SettingsMended()
{
    if (report_.kind == Report::Settings)
        ShowStatus(QString());
}

void frmMain::fitReport()
{
    const Report& r = report_;
    const bool port = r.kind == Report::Port;
    const QString words = port ? QStringLiteral("Schnittstelle geschlossen: %s")
                               : QStringLiteral("Einstellungen nicht gespeichert: %s");
    const QString key = port ? QStringLiteral("PortFailed") : QStringLiteral("SettingsFailed");
    const QString text = ctx_.language ? ctx_.language->Translate(QStringLiteral("frmMain"), key, words) : words;
    const auto with = [&text](const QString& part) { return QString(text).replace(QLatin1String("%s"), part); };
    const QString reason = port ? QString()
                                : ctx_.language ? ctx_.language->SystemErrorText(r.error) : SystemErrorText(r.error);
    // The report with the path as shown.
    const auto said = [&](const QString& path) {
        CommPort::Failure failure = r.failure;
        failure.device = path;
        return with(port ? CommPort::FailureText(failure, ctx_.language) : path + QStringLiteral(": ") + reason);
    };
    const QFontMetrics metrics(lblMessage_->font());
    const int width = lblMessage_->contentsRect().width();
    lblMessage_->setToolTip(said(r.path));
    // The path gives way first: shortened in the middle, then left out (the tooltip keeps
    // it).
    const QString path =
        metrics.elidedText(r.path, Qt::ElideMiddle, width - metrics.horizontalAdvance(said(QLatin1String(""))));
    if (!path.isEmpty()) {
        lblMessage_->setText(said(path));
        return;
    }
    // Then the reason's end, marked; the subject in front of it stays whole, as without it
    // the reason would not say what failed. A lost port's cause comes last and is short:
    // its subject is the whole report, the path an ellipsis. Only a field too narrow for
    // the subject cuts that.
    const QString subject =
        port ? said(QString(QChar(0x2026))) : text.left(qMax<qsizetype>(0, text.indexOf(QLatin1String("%s"))));
    const QString rest = port ? QString() : with(reason).mid(subject.size());
    const int room = width - metrics.horizontalAdvance(subject);
    // The subject, and the start of the reason to go on from.
    const int least =
        metrics.horizontalAdvance(subject + rest.left(12) + (rest.isEmpty() ? QString() : QString(QChar(0x2026))));
    if (width < least && !reportRoom_ && lblMessage_->isVisible()) {
        // The field grows: fitted again at its resize.
        giveRoomToTheReport(true, lblMessage_->width() - width + least);
        return;
    }
    lblMessage_->setText(room > 0 ? subject + metrics.elidedText(rest, Qt::ElideRight, room)
                                  : metrics.elidedText(subject + rest, Qt::ElideRight, width));
}

void frmMain::giveRoomToTheReport(bool give, int needed)
{
    if (give == reportRoom_)
        return;
    reportRoom_ = give;
    // No more than the others can give: a wider field would reach past the window's edge.
    const int most = lblMessage_->width() + lblPort_->width() + lblOrvidSystem_->width() + imgVD_->width() - 2;
    imgVD_->setVisible(!give);
    lblMessage_->setMinimumWidth(give ? qMin(needed, most) : 1);
    lblPort_->setMinimumWidth(give ? 1 : 0);
    lblOrvidSystem_->setMinimumWidth(give ? 1 : kSystemLabelWidth);
    lblPort_->setToolTip(give ? lblPort_->text() : QString());
    lblOrvidSystem_->setToolTip(give ? lblOrvidSystem_->text() : QString());
}

QString frmMain::MessageText() const
{
    return lblMessage_->text();
}

void frmMain::setPortLabel(const QString& caption)
{
    // A port (re)opened by the user ends the report of an earlier failure.
    ShowStatus(QString());
    lblPort_->setText(caption);
}

void frmMain::setPortLabelEnabled(bool enabled)
{
    lblPort_->setEnabled(enabled);
}

void frmMain::setSystemLabel(const QString& caption, bool enabled)
{
    lblOrvidSystem_->setText(caption);
    lblOrvidSystem_->setEnabled(enabled);
    // A system that answers, serial or over the network, makes an earlier port failure
    // history; other messages stay until they are replaced.
    if (enabled && report_.kind == Report::Port)
        ShowStatus(QString());
}

int frmMain::portLabelHeight() const
{
    // Before the window shows, the label has no height of its own yet; its size hint
    // follows the font just the same.
    return lblPort_->isVisible() ? lblPort_->height() : lblPort_->sizeHint().height();
}

// ---------------------------------------------------------------------------------------
// Start-up

void frmMain::Show()
{
    if (!loaded_)
        Load();
    show();
}

void frmMain::Load()
{
    if (loaded_)
        return;
    loaded_ = true;

    Trace("Startup Application");
    logo_->Load();
    Trace("Show Logo");

    resize(640, 480);
    if (ctx_.placement) {
        ctx_.placement->CenterForm(this);
        ctx_.placement->RestoreWindowPos(this);
    }
    Trace("Window restore");

    if (ctx_.language)
        ctx_.language->LoadLanguageList();
    Trace("Language support initialized");

    if (auto* monitor = dynamic_cast<frmMonitor*>(ctx_.monitor))
        monitor->Init();
    Trace("Communication log initialized");

    if (ctx_.settings && ctx_.language && ctx_.state)
        LoadOptions(ctx_);
    Trace("Options loaded");

    toolbar_->InitToolbar();
    for (int i = 0; i < Toolbar::kButtonCount; ++i)
        toolbar_->SetButtonPicture(i, DefaultTooltips().at(i));
    Trace("Toolbar initialized");

    if (ctx_.ports)
        ctx_.ports->InitPort();
    Trace("Com Port initialized");

    if (ctx_.network)
        ctx_.network->LoadNetworkSettings();
    Trace("Winsock initialized");

    if (auto* command = dynamic_cast<frmCommand*>(ctx_.command))
        command->Init();
    Trace("Cmd interpreter initialized");

    if (ctx_.lk)
        ctx_.lk->InitSystems();
    Trace("Orvid System initialized");

    SetLanguage();
    Trace("Language changed");

    if (ctx_.state && ctx_.lk) {
        int16_t stored = ctx_.state->CurrentSystem;
        // A stored index outside the table would turn the recognition into a direct
        // selection (negative) or a scan of an entry that does not exist.
        if (stored < 0 || stored >= LK::kSystemCount)
            stored = 0;
        ctx_.state->CurrentSystem = 0;
        if (ctx_.state->AutoDetect) {
            runSelection([this, stored] {
                bool askRetry = false;
                ctx_.lk->SelectSystem(static_cast<int16_t>(-stored), askRetry);
            });
        } else {
            setSystemLabel(ctx_.lk->SystemName(0), false);
        }
    }

    if (menuChecked(MenuEntry::Monitor))
        if (IToolWindow* w = monitorWindow())
            w->Show();
    if (menuChecked(MenuEntry::Command))
        if (IToolWindow* w = commandWindow())
            w->Show();
}

void frmMain::SetLanguage()
{
    const QList<QAction*> entries = fixedEntries();
    if (!languageStored_) {
        languageStored_ = true;
        setProperty("langTag", windowTitle());
        for (QAction* a : entries)
            if (a)
                a->setProperty("langTag", a->text());
        for (int i = 0; i <= 5; ++i)
            toolbar_->record(i).DefaultToolTipText = toolbar_->record(i).ToolTipText;
        if (ctx_.lk)
            noSystemDefault_ = ctx_.lk->SystemName(0);
    }
    if (!ctx_.language)
        return;
    const QString section = QStringLiteral("frmMain");
    setWindowTitle(ctx_.language->Translate(section, section, property("langTag").toString()));
    for (QAction* a : entries) {
        if (!a)
            continue;
        QString key = a->objectName();
        if (key == QLatin1String("mnIO"))
            key = QStringLiteral("mnio");
        a->setText(ctx_.language->Translate(section, key, a->property("langTag").toString()));
    }
    if (ctx_.lk)
        ctx_.lk->SetNoSystemName(
            ctx_.language->Translate(section, QStringLiteral("NoSystem"), noSystemDefault_));
    // Button 6 keeps its default tooltip: the language files have six keys, not seven.
    for (int i = 0; i <= 5; ++i)
        toolbar_->SetToolTipText(
            i, ctx_.language->Translate(section, QStringLiteral("Tooltip") + QString::number(i),
                                        toolbar_->record(i).DefaultToolTipText));
    if (ctx_.state && ctx_.lk && ctx_.state->CurrentSystem == 0)
        lblOrvidSystem_->setText(ctx_.lk->SystemName(0));
    // A report standing is said again in the new language.
    if (report_.kind != Report::None)
        fitReport();
}

// ---------------------------------------------------------------------------------------
// Menu handlers

void frmMain::runSelection(std::function<void()> selection)
{
    // Recognition waits with window events running; a second selection started from a
    // menu or the toolbar meanwhile would re-open the port and overwrite the current
    // system in the middle of the scan, so it is refused.
    if (selecting_) {
        QApplication::beep();
        return;
    }
    // A selection asked for while a poll step waits for the device runs once it has ended.
    runDeviceAction(&selecting_, [this, selection = std::move(selection)] {
        if (selecting_)
            return;
        const QScopedValueRollback<bool> running(selecting_, true);
        selection();
        if (closePending_)
            QTimer::singleShot(0, this, &frmMain::retryPendingClose);
    });
}

void frmMain::runDeviceAction(const void* key, std::function<void()> action)
{
    if (ctx_.lk)
        ctx_.lk->UserAction(key, this, std::move(action));
    else
        action();
}

void frmMain::SelectFamily(int system, bool hourglass)
{
    if (!ctx_.lk)
        return;
    runSelection([this, system, hourglass] {
        if (hourglass)
            SetHourglass(true);
        bool askRetry = false;
        ctx_.lk->SelectSystem(static_cast<int16_t>(system), askRetry);
        if (hourglass)
            SetHourglass(false);
    });
}

void frmMain::Detect()
{
    if (!ctx_.lk || !ctx_.state)
        return;
    runSelection([this] {
        SetHourglass(true);
        bool askRetry = true;
        ctx_.lk->SelectSystem(static_cast<int16_t>(-ctx_.state->CurrentSystem), askRetry);
        SetHourglass(false);
    });
}

void frmMain::Info()
{
    if (!ctx_.lk || !ctx_.state)
        return;
    runSelection([this] {
        bool askRetry = true;
        // After a close asked meanwhile no box waits for the user.
        if (ctx_.lk->SelectSystem(ctx_.state->CurrentSystem, askRetry) && !closePending_)
            runDialog(QStringLiteral("frmLKInfo"));
    });
}

void frmMain::ShowSystemWindow(MenuEntry entry)
{
    // During a selection the current system is the candidate being asked, whose window
    // would stay open whichever system is found.
    if (selecting_) {
        QApplication::beep();
        return;
    }
    setMenuChecked(entry, true);
    if (!ctx_.lk)
        return;
    switch (entry) {
    case MenuEntry::OrvidWindow: showNormalInFront(ctx_.lk->CurrentWindow()); break;
    case MenuEntry::IO: showNormalInFront(ctx_.lk->CurrentIOWindow()); break;
    case MenuEntry::State: showNormalInFront(ctx_.lk->CurrentStateWindow()); break;
    default: break;
    }
}

void frmMain::ShowToolWindow(MenuEntry entry)
{
    setMenuChecked(entry, true);
    showNormalInFront(entry == MenuEntry::Monitor ? monitorWindow() : commandWindow());
}

void frmMain::showNormalInFront(IToolWindow* w)
{
    if (!w)
        return;
    // Show loads the window first, whose stored place may maximise it; asked for from the
    // window menu it comes up normal all the same, at its own place.
    w->Show();
    if (QWidget* frame = WindowPlacement::Container(dynamic_cast<QWidget*>(w)))
        frame->setWindowState(frame->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

bool frmMain::runDialog(const QString& name)
{
    if (dialogRunner_) {
        dialogRunner_(name);
        return true;
    }
    if (name == QLatin1String("frmOptions"))
        frmOptions::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmPortOptions"))
        frmPortOptions::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmNetworkOptions"))
        frmNetworkOptions::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmAbout"))
        frmAbout::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmLKInfo"))
        // Type and version left empty: the box asks the device link for them.
        frmLKInfo::ShowDialog(ctx_, this, QString(), QString(), QString());
    else
        return false;
    return true;
}

void frmMain::ProgramOptions()
{
    const QString before = ctx_.language ? ctx_.language->GetLanguageName(-1) : QString();
    runDialog(QStringLiteral("frmOptions"));
    ApplyLanguageChange(before);
}

void frmMain::ApplyLanguageChange(const QString& before)
{
    if (!ctx_.language || ctx_.language->GetLanguageName(-1) == before)
        return;
    SetLanguage();
    if (IToolWindow* w = commandWindow(); w && w->Loaded())
        w->SetLanguage();
    if (IToolWindow* w = monitorWindow(); w && w->Loaded())
        w->SetLanguage();
    if (ctx_.state && ctx_.lk && ctx_.state->CurrentSystem > 0) {
        if (IToolWindow* w = ctx_.lk->CurrentWindow(); w && w->Loaded())
            w->SetLanguage();
        if (menuEnabled(MenuEntry::IO))
            if (IToolWindow* w = ctx_.lk->CurrentIOWindow(); w && w->Loaded())
                w->SetLanguage();
        if (menuEnabled(MenuEntry::State))
            if (IToolWindow* w = ctx_.lk->CurrentStateWindow(); w && w->Loaded())
                w->SetLanguage();
    }
}

void frmMain::DefaultPositions()
{
    WindowPlacement* place = ctx_.placement;
    if (!place)
        return;
    place->LoadDefaultWindowPos(this, objectName(), true);
    auto asWidget = [](IToolWindow* w) { return dynamic_cast<QWidget*>(w); };
    if (IToolWindow* w = commandWindow())
        place->LoadDefaultWindowPos(asWidget(w), w->Name(), menuChecked(MenuEntry::Command));
    if (IToolWindow* w = monitorWindow())
        place->LoadDefaultWindowPos(asWidget(w), w->Name(), menuChecked(MenuEntry::Monitor));
    // Family windows that may not exist yet: only their stored placement changes.
    for (const char* name : {"frmSystemKR", "frmSystemKDReadWrite", "frmSystemKDFixcode",
                             "frmSystemWD", "frmSystemWDIO", "frmSystemWDState", "frmSystemWL",
                             "frmSystemWLIO", "frmSystemWLState"})
        place->LoadDefaultWindowPos(nullptr, QString::fromLatin1(name), false);
    if (!ctx_.state || !ctx_.lk || ctx_.state->CurrentSystem == 0)
        return;
    auto applyTo = [&](MenuEntry entry, IToolWindow* w) {
        if (w && menuEnabled(entry) && menuChecked(entry))
            place->LoadDefaultWindowPos(asWidget(w), w->Name(), true);
    };
    applyTo(MenuEntry::OrvidWindow, ctx_.lk->CurrentWindow());
    applyTo(MenuEntry::State, ctx_.lk->CurrentStateWindow());
    applyTo(MenuEntry::IO, ctx_.lk->CurrentIOWindow());
}

void frmMain::ShowHelp(int context)
{
    if (orvid::ShowHelp(ctx_, context))
        return;
    const QString file = ctx_.language ? ctx_.language->helpFile() : QString();
    const QString text = ctx_.language
        ? ctx_.language->Translate(QStringLiteral("frmMain"), QStringLiteral("HelpFailed"),
                                   QStringLiteral("Hilfe konnte nicht geöffnet werden: %s"))
        : QStringLiteral("Hilfe konnte nicht geöffnet werden: %s");
    ShowStatus(QString(text).replace(QLatin1String("%s"), QDir::toNativeSeparators(file)));
}

// ---------------------------------------------------------------------------------------
// Toolbar, timers

void frmMain::popUnder(int buttonIndex, QMenu* menu)
{
    QToolButton* b = toolbar_->button(buttonIndex);
    if (!b || !menu)
        return;
    const QPoint pos = b->mapToGlobal(QPoint(0, b->height()));
    if (popupRunner_)
        popupRunner_(menu, pos);
    else
        menu->exec(pos);
}

void frmMain::ToolbarClick(int index)
{
    if (toolbarBusy_)
        return;
    const QScopedValueRollback<bool> running(toolbarBusy_, true);
    toolbar_->RedrawToolbar();
    switch (index) {
    case 0: Info(); break;
    case 1: Detect(); break;
    case 2: popUnder(index, familyMenu(2)); break;
    case 3: popUnder(index, familyMenu(3)); break;
    case 4: SelectFamily(6, true); break;
    case 5: popUnder(index, familyMenu(5)); break;
    case 6: popUnder(index, familyMenu(1)); break;
    default: break;
    }
}

void frmMain::PollTick()
{
    if (!ctx_.state || !ctx_.lk || !ctx_.state->PollReady)
        return;
    const QScopedValueRollback<bool> polling(ctx_.state->PollReady, false);
    ctx_.lk->LkPoll();
}

// ---------------------------------------------------------------------------------------
// Closing

void frmMain::retryPendingClose()
{
    if (closePending_ && !inCloseSequence_ && !closeDone_)
        QTimer::singleShot(0, this, [this] {
            if (closePending_ && !closeDone_)
                close();
        });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (closeDone_) {
        event->accept();
        return;
    }
    if (inCloseSequence_) {
        event->ignore();
        return;
    }
    // What the user asked for before and still waits for the link (a selection, a
    // button's action) would reopen the port after the close sequence: it goes.
    if (ctx_.lk)
        ctx_.lk->BeginClose();
    // A device wait (or a selection between its waits) is running below this event:
    // closing now would tear the windows down under it. Close once it has ended.
    if (DeviceWait::depth() > 0 || selecting_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    inCloseSequence_ = true;
    closePending_ = false;
    toolbar_->RedrawToolbar();

    if (auto* command = dynamic_cast<frmCommand*>(ctx_.command))
        command->Save();
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    if (ctx_.lk)
        ctx_.lk->CloseSystem();
    if (ctx_.settings && ctx_.language && ctx_.state)
        SaveOptions(ctx_);
    if (ctx_.ports)
        ctx_.ports->SavePortSettings();
    if (ctx_.network)
        ctx_.network->SaveNetworkSettings();

    // Only now the child windows: each clears its own window-menu mark, which must not
    // reach the options saved above.
    for (QMdiSubWindow* sub : mdiArea_->subWindowList())
        if (sub->isVisible())
            sub->close();

    inCloseSequence_ = false;
    closeDone_ = true;
    event->accept();
    emit closed();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblMessage_ && event->type() == QEvent::Resize && report_.kind != Report::None)
        fitReport();
    // F1 on a highlighted menu entry opens the help at that entry's context.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1)
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            QAction* a = menu->activeAction();
            const int context = a ? a->property("helpContext").toInt()
                                  : menu->property("helpContext").toInt();
            ShowHelp(context);
            return true;
        }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace orvid
