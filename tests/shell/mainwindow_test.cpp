// The main window inside the whole program object: start-up order, menus and toolbar
// against scripted system windows, language, closing and restarting.
#include "support/FakeSystems.h"
#include "support/PtyHarness.h"
#include "support/RealInput.h"
#include "support/RecordingPresenter.h"

#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/Application.h"
#include "shell/Toolbar.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace orvid;
using orvid::test::FakeSystemForm;
using orvid::test::Journal;
using orvid::test::RecordingPresenter;
using orvid::test::activate;
using orvid::test::clickOn;

namespace {

struct TraceLine {
    QString text;
    bool hourglass;
};
QList<TraceLine>* g_trace = nullptr;
QtMessageHandler g_previous = nullptr;

void CaptureTrace(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_trace && context.category && QByteArray(context.category) == "orvid.startup") {
        g_trace->append({message, QGuiApplication::overrideCursor() != nullptr});
        return;
    }
    if (g_previous)
        g_previous(type, context, message);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("program"));
        QDir(dir.path()).mkpath(QStringLiteral("config"));
    }

    void TearDown() override
    {
        app.reset();
        fakes.clear();
    }

    QString settingsPath() const { return dir.filePath(QStringLiteral("config/Zarvento.conf")); }
    QString programDir() const { return dir.filePath(QStringLiteral("program")); }

    void setting(const QString& section, const QString& name, const QString& value)
    {
        SettingsStore(settingsPath()).write(section, name, value);
    }
    QString stored(const QString& section, const QString& name) const
    {
        return SettingsStore(settingsPath()).read(section, name, QStringLiteral("<none>"));
    }
    void programFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(QDir(programDir()).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // A second language whose texts the tests can tell apart from the built-in ones.
    void englishFile()
    {
        programFile(QStringLiteral("ORVILANG.ENG"),
                    "[ORVID]\r\nLanguage=English\r\n"
                    "[frmMain]\r\nfrmMain=Main EN\r\nmnio=In/Out EN\r\nmnExit=Exit EN\r\n"
                    "NoSystem=no system EN\r\n"
                    "Tooltip0=T0\r\nTooltip1=T1\r\nTooltip2=T2\r\nTooltip3=T3\r\n"
                    "Tooltip4=T4\r\nTooltip5=T5\r\nTooltip6=T6\r\n"
                    "[frmCommand]\r\nfrmCommand=Command EN\r\n"
                    "[frmMonitor]\r\nfrmMonitor=Monitor EN\r\n");
    }

    // Builds the program with a scripted window for every system entry; runs the
    // start-up procedure unless told not to.
    Application& start(bool startup = true)
    {
        app.reset();
        fakes.clear();
        app = std::make_unique<Application>(settingsPath(), programDir(), [this](AppContext& ctx) {
            for (int i = 1; i < LK::kSystemCount; ++i) {
                auto fake = std::make_unique<FakeSystemForm>(ctx, QStringLiteral("sys%1").arg(i), journal);
                FakeSystemForm* f = fake.get();
                fakes[i] = std::move(fake);
                ctx.lk->RegisterSystem(i, [f]() -> ISystemForm* { return f; });
            }
        });
        app->context().language->setPresenter(&presenter);
        if (startup)
            app->Startup();
        return *app;
    }

    frmMain& main() { return *app->mainWindow(); }
    AppState& state() { return *app->context().state; }
    QLabel* systemLabel() { return main().findChild<QLabel*>(QStringLiteral("lblOrvidSystem")); }
    QToolButton* button(int i) { return main().toolbar()->button(i); }

    QTemporaryDir dir;
    Journal journal;
    RecordingPresenter presenter;
    std::map<int, std::unique_ptr<FakeSystemForm>> fakes;
    std::unique_ptr<Application> app;
};

// ---------------------------------------------------------------------------------------

TEST_F(MainWindowTest, StartupRunsItsStepsInOrderWithoutTouchingTheStoredSystem)
{
    setting(QStringLiteral("Settings"), QStringLiteral("OrvidSystem"), QStringLiteral("5"));
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("0"));

    QList<TraceLine> trace;
    QLoggingCategory::setFilterRules(QStringLiteral("orvid.startup.debug=true"));
    g_trace = &trace;
    g_previous = qInstallMessageHandler(CaptureTrace);
    start();
    qInstallMessageHandler(g_previous);
    g_trace = nullptr;

    const QStringList expected = {
        "Startup Application", "Show Logo", "Window restore", "Language support initialized",
        "Communication log initialized", "Options loaded", "Toolbar initialized",
        "Com Port initialized", "Winsock initialized", "Cmd interpreter initialized",
        "Orvid System initialized", "Language changed",
    };
    ASSERT_EQ(trace.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(trace[i].text.contains(QStringLiteral("Zarvento")));
        EXPECT_TRUE(trace[i].text.contains(expected[i])) << trace[i].text.toStdString();
        // The splash keeps the hourglass up during the whole sequence.
        EXPECT_TRUE(trace[i].hourglass) << expected[i].toStdString();
    }

    // Stored system 5 without automatic recognition: nothing selected, nothing sent.
    EXPECT_EQ(state().CurrentSystem, 0);
    EXPECT_EQ(systemLabel()->text(), app->context().lk->SystemName(0));
    EXPECT_FALSE(systemLabel()->isEnabled());
    EXPECT_TRUE(journal.lines.isEmpty()) << journal.lines.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(app->monitor()->entryCount(), 0);
    EXPECT_TRUE(presenter.requests.isEmpty());

    // After the procedure: polling allowed, splash gone, the normal pointer back (the
    // logo stays, yet must not leave a wait cursor behind).
    EXPECT_TRUE(state().PollReady);
    EXPECT_EQ(app->splash(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(main().logo()->isVisible());
    EXPECT_FALSE(main().menuEnabled(MenuEntry::OrvidWindow));
    EXPECT_FALSE(main().menuEnabled(MenuEntry::IO));
    EXPECT_FALSE(main().menuEnabled(MenuEntry::State));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("VALDRECHT  ORVID Systeme"));
}

TEST_F(MainWindowTest, AutomaticRecognitionTriesTheStoredSystemFirstAndAsksNothing)
{
    setting(QStringLiteral("Settings"), QStringLiteral("OrvidSystem"), QStringLiteral("3"));
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("-1"));
    start(false);
    fakes[3]->checkResult = true;
    app->Startup();

    const QStringList checks = journal.ending(QStringLiteral(".Check"));
    ASSERT_FALSE(checks.isEmpty());
    EXPECT_EQ(checks.first(), QStringLiteral("sys3.Check"));
    EXPECT_EQ(state().CurrentSystem, 3);
    EXPECT_TRUE(systemLabel()->isEnabled());
    EXPECT_TRUE(main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 4)->isChecked());
    EXPECT_TRUE(presenter.requests.isEmpty());
}

TEST_F(MainWindowTest, NothingAnsweringAtStartupLeavesTheNoSystemTextWithoutAQuestion)
{
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("-1"));
    // An out-of-range stored index must not become a direct selection of an entry.
    setting(QStringLiteral("Settings"), QStringLiteral("OrvidSystem"), QStringLiteral("-4"));
    start();
    const QStringList checks = journal.ending(QStringLiteral(".Check"));
    EXPECT_EQ(checks.size(), 8) << checks.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(journal.count(QStringLiteral("sys9.Check")), 0);
    EXPECT_EQ(journal.count(QStringLiteral("sys10.Check")), 0);
    EXPECT_EQ(state().CurrentSystem, 0);
    EXPECT_FALSE(systemLabel()->isEnabled());
    EXPECT_EQ(systemLabel()->text(), app->context().lk->SystemName(0));
    EXPECT_TRUE(presenter.requests.isEmpty());
}

TEST_F(MainWindowTest, FamilyEntriesSelectTheirSystemAndMoveTheMark)
{
    start();
    struct Row {
        const char* array;
        int index;
        int system;
    };
    const Row rows[] = {
        {"mnOrvidControl", 0, 1},  {"mnOrvidControl", 1, 10}, {"mnOrvidSystemKR", 3, 2},
        {"mnOrvidSystemKR", 4, 3}, {"mnOrvidSystemKD", 1, 4}, {"mnOrvidSystemKD", 2, 5},
        {"mnOrvidSystem", 4, 6},   {"mnOrvidSystemL", 1, 7},  {"mnOrvidSystemL", 2, 8},
        {"mnOrvidSystemL", 3, 9},
    };
    for (auto& f : fakes)
        f.second->checkResult = true;
    QAction* previous = nullptr;
    int previousSystem = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.system);
        QAction* a = main().arrayAction(QString::fromLatin1(row.array), row.index);
        ASSERT_NE(a, nullptr);
        journal.clear();
        a->trigger();
        EXPECT_EQ(state().CurrentSystem, row.system);
        EXPECT_EQ(journal.ending(QStringLiteral(".Check")),
                  QStringList{QStringLiteral("sys%1.Check").arg(row.system)});
        EXPECT_TRUE(systemLabel()->isEnabled());
        EXPECT_EQ(systemLabel()->text(), app->context().lk->SystemName(row.system));
        // Entry 7 has no mark of its own in the system table; every other one moves it.
        if (row.system != 7) {
            EXPECT_TRUE(a->isChecked());
        }
        if (previous && previous != a) {
            EXPECT_FALSE(previous->isChecked());
        }
        if (previousSystem > 0) {
            EXPECT_EQ(journal.count(QStringLiteral("sys%1.CloseLK").arg(previousSystem)), 1);
        }
        EXPECT_FALSE(QGuiApplication::overrideCursor());
        previous = a;
        previousSystem = row.system;
    }
    EXPECT_TRUE(main().menuEnabled(MenuEntry::OrvidWindow));
}

// A port failure stays in the status bar until a system answers, serial or over the
// network; a selection that finds nothing leaves it, and other messages are not its to end.
// In a window of 1024 x 768 its reason is readable: fitted to the field, the whole
// text in the tooltip, and said again when Optionen -> Programm switches the language.
TEST_F(MainWindowTest, AFoundSystemEndsTheReportOfAnEarlierPortFailure)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVID_SHIPPED_DATA_DIR "/ORVILANG.ENG"),
                            programDir() + QStringLiteral("/ORVILANG.ENG")));
    start();
    auto* message = main().findChild<QLabel*>(QStringLiteral("lblMessage"));
    ASSERT_NE(message, nullptr);
    test::PtyHarness device;
    device.start();
    QString port = device.slavePath(), settings = QStringLiteral("38400,n,8,1");
    int16_t protocol = 0;
    app->context().ports->OpenPort(port, settings, protocol, false);
    main().resize(1024, 768);   // as maximised on a screen of that size
    main().show();
    device.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main().MessageText().isEmpty(); }, 3000));
    int16_t chosen = 0;
    main().setDialogRunner([&](const QString&) { app->context().language->SelectLanguage(chosen); });
    const struct {
        int16_t language;
        QString words, reason;
    } languages[] = {
        {1, QStringLiteral("Serial port closed: The connection over %1 was broken off: "),
         QStringLiteral("The device was removed from the system")},
        {0, QStringLiteral("Schnittstelle geschlossen: Die Verbindung über %1 ist abgebrochen: "),
         QStringLiteral("Gerät wurde vom System entfernt")},
    };
    for (const auto& l : languages) {
        chosen = l.language;
        main().findChild<QAction*>(QStringLiteral("mnProgOptions"))->trigger();
        EXPECT_TRUE(QTest::qWaitFor([&] { return main().MessageText().endsWith(l.reason); }, 2000))
            << qPrintable(main().MessageText());
        EXPECT_LE(message->fontMetrics().horizontalAdvance(main().MessageText()), message->contentsRect().width());
        EXPECT_EQ(message->toolTip(), l.words.arg(device.slavePath()) + l.reason);
    }
    const QString failure = main().MessageText();

    QAction* klx = main().arrayAction(QStringLiteral("mnOrvidSystemL"), 3);
    ASSERT_NE(klx, nullptr);
    klx->trigger();   // nothing answers
    EXPECT_EQ(state().CurrentSystem, 9);
    EXPECT_EQ(message->text(), failure);

    fakes[9]->checkResult = true;
    klx->trigger();
    EXPECT_TRUE(systemLabel()->isEnabled());
    EXPECT_TRUE(message->text().isEmpty()) << message->text().toStdString();

    main().ShowStatus(QStringLiteral("Einstellungen nicht gespeichert"));
    klx->trigger();
    EXPECT_EQ(message->text(), QStringLiteral("Einstellungen nicht gespeichert"));
}

TEST_F(MainWindowTest, ToolbarTooltipsFollowTheLanguageExceptTheLastButton)
{
    englishFile();
    setting(QStringLiteral("Settings"), QStringLiteral("Language"), QStringLiteral("English"));
    start();
    for (int i = 0; i <= 5; ++i)
        EXPECT_EQ(button(i)->toolTip(), QStringLiteral("T%1").arg(i));
    EXPECT_EQ(button(6)->toolTip(), QStringLiteral("OrvidControl"));
    EXPECT_EQ(main().menuAction(MenuEntry::IO)->text(), QStringLiteral("In/Out EN"));
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Main EN"));
    EXPECT_EQ(systemLabel()->text(), QStringLiteral("no system EN"));
    EXPECT_EQ(app->context().lk->SystemName(0), QStringLiteral("no system EN"));
    // Entries without a text keep their German captions.
    EXPECT_EQ(main().menuAction(MenuEntry::Monitor)->text(), QStringLiteral("&Port Monitor"));

    // Back to German: the stored design texts return, not the English ones.
    int16_t german = 0;
    app->context().language->SelectLanguage(german);
    main().SetLanguage();
    EXPECT_EQ(button(0)->toolTip(), QStringLiteral("Orvid System Info"));
    EXPECT_EQ(main().menuAction(MenuEntry::IO)->text(), QStringLiteral("&Ein-/Ausgänge"));
    EXPECT_EQ(systemLabel()->text(), QStringLiteral("kein Orvidsystem erkannt"));
}

TEST_F(MainWindowTest, ToolbarIgnoresAClickWhileItsActionRuns)
{
    start();
    FakeSystemForm& wd = *fakes[6];
    int nestedChecks = 0;
    bool busyInside = false;
    wd.checkHook = [&] {
        ++nestedChecks;
        busyInside = main().ToolbarBusy();
        if (nestedChecks == 1) {
            // Clicks and a menu choice arriving while the device is being asked.
            button(4)->click();
            button(1)->click();
            main().arrayAction(QStringLiteral("mnOrvidSystem"), 4)->trigger();
            DeviceWait::wait(1);
        }
        return true;
    };
    button(4)->click();
    EXPECT_EQ(nestedChecks, 1);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(main().ToolbarBusy());
    EXPECT_FALSE(main().SelectionBusy());
    EXPECT_EQ(state().CurrentSystem, 6);
    EXPECT_TRUE(presenter.requests.isEmpty());

    // Once the first action has ended, the button works again.
    button(4)->click();
    EXPECT_EQ(nestedChecks, 2);

    // A family menu popped up from the toolbar: a click on another button meanwhile is
    // ignored, while the entry chosen from the menu runs.
    main().setPopupRunner([&](QMenu* menu, const QPoint&) {
        button(4)->click();
        menu->actions().first()->trigger();
    });
    fakes[2]->checkResult = true;
    journal.clear();
    button(2)->click();
    EXPECT_EQ(nestedChecks, 2);
    EXPECT_EQ(journal.ending(QStringLiteral(".Check")), QStringList{QStringLiteral("sys2.Check")});
    EXPECT_EQ(state().CurrentSystem, 2);
}

TEST_F(MainWindowTest, ToolbarButtonsRunTheirMenuActions)
{
    start();
    QList<QPair<QMenu*, QPoint>> popups;
    main().setPopupRunner([&](QMenu* menu, const QPoint& pos) { popups.append({menu, pos}); });
    QStringList dialogs;
    main().setDialogRunner([&](const QString& name) { dialogs.append(name); });

    const std::pair<int, int> menus[] = {{2, 2}, {3, 3}, {5, 5}, {6, 1}};
    for (auto [b, m] : menus) {
        popups.clear();
        button(b)->click();
        ASSERT_EQ(popups.size(), 1);
        EXPECT_EQ(popups[0].first, main().familyMenu(m));
        EXPECT_EQ(popups[0].second, button(b)->mapToGlobal(QPoint(0, button(b)->height())));
    }

    // Button 0 behaves as the info entry: check the device, then the information box.
    fakes[2]->checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    journal.clear();
    button(0)->click();
    EXPECT_EQ(journal.ending(QStringLiteral(".Check")), QStringList{QStringLiteral("sys2.Check")});
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("frmLKInfo")});

    // Button 1 recognises with the retry question; Cancel ends it.
    fakes[2]->checkResult = false;
    presenter.answers = {Msg::Cancel, Msg::Cancel, Msg::Cancel};
    journal.clear();
    button(1)->click();
    const QStringList checks = journal.ending(QStringLiteral(".Check"));
    ASSERT_FALSE(checks.isEmpty());
    EXPECT_EQ(checks.first(), QStringLiteral("sys2.Check"));
    EXPECT_TRUE(presenter.numbers().contains(1));
    EXPECT_EQ(state().CurrentSystem, 0);
    EXPECT_EQ(dialogs.size(), 1); // no information box without a device
}

TEST_F(MainWindowTest, LanguageChangeReachesOnlyOpenWindowsAndOnlyWhenItChanged)
{
    englishFile();
    setting(QStringLiteral("Settings"), QStringLiteral("CommandWnd"), QStringLiteral("Show"));
    setting(QStringLiteral("Settings"), QStringLiteral("MonitorWnd"), QStringLiteral("Hide"));
    start();
    fakes[2]->checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    ASSERT_TRUE(fakes[2]->loaded);
    ASSERT_TRUE(app->command()->Loaded());
    ASSERT_FALSE(app->monitor()->Loaded());
    const QString commandTitle = app->command()->windowTitle();
    const QString monitorTitle = app->monitor()->windowTitle();

    // Options closed without a language change: nothing is refreshed.
    journal.clear();
    main().setDialogRunner([](const QString&) {});
    main().ProgramOptions();
    EXPECT_EQ(journal.count(QStringLiteral("sys2.SetLanguage")), 0);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("VALDRECHT  ORVID Systeme"));

    // The dialog switches to English: open windows follow, the closed monitor does not.
    main().setDialogRunner([this](const QString& name) {
        ASSERT_EQ(name, QStringLiteral("frmOptions"));
        int16_t english = 1;
        app->context().language->SelectLanguage(english);
    });
    main().ProgramOptions();
    EXPECT_EQ(journal.count(QStringLiteral("sys2.SetLanguage")), 1);
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Main EN"));
    EXPECT_NE(app->command()->windowTitle(), commandTitle);
    EXPECT_EQ(app->monitor()->windowTitle(), monitorTitle);
}

TEST_F(MainWindowTest, CloseSavesStateBeforeChildrenCloseAndRestartRestoresIt)
{
    setting(QStringLiteral("Settings"), QStringLiteral("MonitorWnd"), QStringLiteral("Hide"));
    setting(QStringLiteral("Settings"), QStringLiteral("CommandWnd"), QStringLiteral("Hide"));
    start();
    ASSERT_FALSE(app->monitor()->Loaded());
    main().menuAction(MenuEntry::Monitor)->trigger();
    ASSERT_TRUE(app->monitor()->Loaded());
    EXPECT_TRUE(main().menuChecked(MenuEntry::Monitor));
    fakes[2]->checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    main().resize(700, 520);
    main().move(40, 30);
    QTest::qWait(10);

    QSignalSpy closed(&main(), &frmMain::closed);
    EXPECT_TRUE(main().close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(journal.count(QStringLiteral("sys2.CloseLK")), 1);
    EXPECT_FALSE(app->monitor()->isVisible());
    // The monitor was open when the program closed: its mark was saved before it went.
    EXPECT_EQ(stored(QStringLiteral("Settings"), QStringLiteral("MonitorWnd")), QStringLiteral("Show"));
    EXPECT_EQ(stored(QStringLiteral("Settings"), QStringLiteral("CommandWnd")), QStringLiteral("Hide"));
    EXPECT_EQ(stored(QStringLiteral("Settings"), QStringLiteral("OrvidSystem")), QStringLiteral("2"));
    EXPECT_TRUE(stored(QStringLiteral("Windows"), QStringLiteral("frmMain")).startsWith(QStringLiteral("700x520")))
        << stored(QStringLiteral("Windows"), QStringLiteral("frmMain")).toStdString();
    EXPECT_NE(stored(QStringLiteral("Windows"), QStringLiteral("frmMonitor")), QStringLiteral("<none>"));

    start();
    EXPECT_TRUE(app->monitor()->Loaded());
    EXPECT_TRUE(main().menuChecked(MenuEntry::Monitor));
    EXPECT_FALSE(app->command()->Loaded());
    EXPECT_EQ(main().size(), QSize(700, 520));
}

// Stored maximised: maximised, and where no window manager maximises it, its normal
// geometry (where such a desktop shows it) is the screen's free area, not 640x480.
TEST_F(MainWindowTest, AMaximisedMainWindowFillsTheScreenWithOrWithoutAWindowManager)
{
    setting(QStringLiteral("Windows"), QStringLiteral("frmMain"), QStringLiteral("MAXIMIZEDx"));
    start();
    EXPECT_TRUE(main().isMaximized());
    EXPECT_EQ(main().normalGeometry(), main().screen()->availableGeometry());
    EXPECT_TRUE(main().close());
    EXPECT_EQ(stored(QStringLiteral("Windows"), QStringLiteral("frmMain")), QStringLiteral("MAXIMIZEDx"));
}

TEST_F(MainWindowTest, ToolWindowsKeepTheirStoredPlaceAtStartup)
{
    // Stored places inside the screen, each with its own top; the command window's
    // height is its own and the monitor is restored first.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GE(screen.height(), 480);
    setting(QStringLiteral("Settings"), QStringLiteral("MonitorWnd"), QStringLiteral("Show"));
    setting(QStringLiteral("Settings"), QStringLiteral("CommandWnd"), QStringLiteral("Show"));
    setting(QStringLiteral("Windows"), QStringLiteral("frmMain"), QStringLiteral("760x560+0+0"));
    const struct {
        const char* name;
        QPoint pos;
    } windows[] = {{"frmMonitor", {240, 180}}, {"frmCommand", {0, screen.height() - 40}}};
    for (const auto& w : windows)
        setting(QStringLiteral("Windows"), QString::fromLatin1(w.name),
                QStringLiteral("300x150+%1+%2").arg(w.pos.x()).arg(w.pos.y()));
    for (int run = 0; run < 2; ++run) {
        start();
        ASSERT_TRUE(main().isVisible());
        for (const auto& w : windows) {
            QWidget* child = main().findChild<QWidget*>(QString::fromLatin1(w.name));
            ASSERT_NE(child, nullptr) << w.name;
            auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
            ASSERT_NE(sub, nullptr) << w.name;
            EXPECT_TRUE(sub->isVisible()) << w.name;
            EXPECT_EQ(sub->pos(), w.pos) << w.name << " run " << run;
        }
        // Closing stores the places again: the next start finds them unchanged.
        EXPECT_TRUE(main().close());
    }

    // A place below the screen cannot be in sight however the main window is sized: it
    // is brought back up at start-up.
    setting(QStringLiteral("Windows"), QStringLiteral("frmMonitor"),
            QStringLiteral("300x150+10+%1").arg(screen.height() + 200));
    start();
    auto* monitorBox = qobject_cast<QMdiSubWindow*>(app->monitor()->parentWidget());
    ASSERT_NE(monitorBox, nullptr);
    EXPECT_EQ(monitorBox->x(), 10);
    EXPECT_GE(monitorBox->y(), 0);
    EXPECT_LE(monitorBox->y(), screen.height() - 150);
}

TEST_F(MainWindowTest, CloseWaitsForARunningDeviceWait)
{
    start();
    QSignalSpy closed(&main(), &frmMain::closed);
    bool visibleInside = false;
    bool pendingInside = false;
    QTimer::singleShot(5, &main(), [&] {
        main().close();
        visibleInside = main().isVisible();
        pendingInside = main().ClosePending();
    });
    DeviceWait::wait(100);
    EXPECT_TRUE(visibleInside);
    EXPECT_TRUE(pendingInside);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(stored(QStringLiteral("Windows"), QStringLiteral("frmMain")), QStringLiteral("<none>"));

    // Once the wait is over the close goes ahead by itself.
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 2000);
    EXPECT_FALSE(main().isVisible());
    EXPECT_NE(stored(QStringLiteral("Windows"), QStringLiteral("frmMain")), QStringLiteral("<none>"));
}

TEST_F(MainWindowTest, PollTickRunsOnlyWhenReadyAndNeverNests)
{
    start();
    FakeSystemForm& kr = *fakes[2];
    kr.checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    ASSERT_EQ(state().CurrentSystem, 2);
    app->context().lk->EnablePolling(true);
    int polls = 0;
    kr.pollHook = [&] {
        ++polls;
        main().PollTick(); // a tick arriving while the poll still waits
    };
    state().PollReady = false;
    main().PollTick();
    EXPECT_EQ(polls, 0);
    state().PollReady = true;
    main().PollTick();
    EXPECT_EQ(polls, 1);
    EXPECT_TRUE(state().PollReady);
}

// A toolbar click while a poll step waits for the device: the selection it asks for runs
// once, after the step, not inside its wait and not refused.
TEST_F(MainWindowTest, ASelectionAskedForDuringAPollStepRunsAfterIt)
{
    start();
    fakes[2]->checkResult = true;
    fakes[6]->checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    ASSERT_EQ(state().CurrentSystem, 2);
    ASSERT_TRUE(activate(&main()));
    app->context().lk->EnablePolling(true);
    int systemInsideTheStep = -1;
    fakes[2]->pollHook = [&] {
        clickOn(button(4));
        clickOn(button(4));
        systemInsideTheStep = state().CurrentSystem;
    };
    journal.clear();
    main().PollTick();
    fakes[2]->pollHook = nullptr;
    EXPECT_EQ(systemInsideTheStep, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().CurrentSystem == 6; }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(journal.ending(QStringLiteral(".Check")), QStringList{QStringLiteral("sys6.Check")});

    // Asked for in the same step as Beenden: the program closes, and the selection, which
    // would reopen the port after the close sequence, never runs.
    QSignalSpy closed(&main(), &frmMain::closed);
    fakes[6]->pollHook = [&] {
        clickOn(button(4));
        main().findChild<QAction*>(QStringLiteral("mnExit"))->trigger();
    };
    app->context().lk->EnablePolling(true);
    journal.clear();
    main().PollTick();
    QTest::qWait(50);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(journal.ending(QStringLiteral(".Check")), QStringList{});
}

// The port dialog stays open while the current system is polled; its OK, clicked while a
// poll step waits for the device, reopens the port once the step has ended.
TEST_F(MainWindowTest, APortChangeConfirmedDuringAPollStepWaitsForIt)
{
    start();
    fakes[2]->checkResult = true;
    main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->trigger();
    ASSERT_EQ(state().CurrentSystem, 2);
    app->context().lk->EnablePolling(true);
    Ports& ports = *app->context().ports;
    const QString before = ports.PortName();
    const QString typed = dir.filePath(QStringLiteral("other-tty"));
    QString portInsideTheStep;
    fakes[2]->pollHook = [&] {
        auto* dialog = main().findChild<QDialog*>(QStringLiteral("frmPortOptions"));
        ASSERT_TRUE(dialog);
        dialog->findChild<QComboBox*>(QStringLiteral("cmbPort"))->setEditText(typed);
        clickOn(dialog->findChild<QPushButton*>(QStringLiteral("btOK")));
        portInsideTheStep = ports.PortName();
    };
    QTimer::singleShot(50, &main(), [this] { main().PollTick(); });
    main().findChild<QAction*>(QStringLiteral("mnPortOptions"))->trigger();
    fakes[2]->pollHook = nullptr;
    EXPECT_EQ(portInsideTheStep, before);
    EXPECT_EQ(ports.PortName(), typed);
}

TEST_F(MainWindowTest, DefaultPositionsStoreAClosedWindowsPlaceWithoutOpeningIt)
{
    QByteArray def;
    for (const char* section : {"640*480", "800*600*SmallFonts", "800*600*LargeFonts",
                                "1024*768*SmallFonts", "1024*768*LargeFonts"})
        def += QByteArray("[") + section + "]\r\nfrmMain=600x450+5+6\r\nfrmCommand=300x200+10+20\r\n"
               "frmSystemWD=320x240+1+2\r\n";
    programFile(QStringLiteral("ORVID.DEF"), def);
    setting(QStringLiteral("Settings"), QStringLiteral("CommandWnd"), QStringLiteral("Hide"));
    setting(QStringLiteral("Windows"), QStringLiteral("frmMain"), QStringLiteral("700x500+0+0"));
    start();
    ASSERT_FALSE(app->command()->Loaded());

    main().menuAction(MenuEntry::Command)->setChecked(false);
    QAction* entry = main().findChild<QAction*>(QStringLiteral("mnDefaultPosition"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_EQ(stored(QStringLiteral("Windows"), QStringLiteral("frmCommand")), QStringLiteral("300x200+10+20"));
    EXPECT_FALSE(app->command()->Loaded());
    EXPECT_FALSE(app->command()->isVisible());
    EXPECT_EQ(stored(QStringLiteral("Windows"), QStringLiteral("frmSystemWD")), QStringLiteral("320x240+1+2"));
    EXPECT_EQ(main().size(), QSize(600, 450));
}

TEST_F(MainWindowTest, MenuTreeCarriesNamesIndicesAndHelpContexts)
{
    start();
    QMenu* kr = main().familyMenu(2);
    ASSERT_NE(kr, nullptr);
    EXPECT_EQ(kr->objectName(), QStringLiteral("mnOrvidSystem"));
    EXPECT_EQ(kr->property("ctrlIndex").toInt(), 2);
    EXPECT_EQ(kr->property("helpContext").toInt(), 200);
    EXPECT_EQ(main().familyMenu(1)->title(), QStringLiteral("OrvidControl"));
    EXPECT_EQ(main().findChild<QAction*>(QStringLiteral("mnExit"))->property("helpContext").toInt(), 100);
    EXPECT_EQ(main().findChild<QAction*>(QStringLiteral("mnProgOptions"))->property("helpContext").toInt(), 300);
    EXPECT_FALSE(main().findChild<QAction*>(QStringLiteral("mnNetwork"))->property("helpContext").isValid());
    EXPECT_EQ(main().findChild<QLabel*>(QStringLiteral("lblPort"))->text().trimmed().isEmpty(), false);
    EXPECT_NE(main().findChild<QLabel*>(QStringLiteral("imgVD")), nullptr);
}

} // namespace
