// Family windows built on first use: one instance per window however many entries share
// it, adopted into the main window's MDI area when there is one and deleted at the end
// when not, and a system's main window linked with its small windows in any opening order;
// a closed family window forgets what it listed; Default Positionen leaves the current
// system's window no smaller than its controls need.
// The shipped default places keep a family's windows apart and inside the main window, and
// in the large screen classes clear of each other at the size the windows really take.

#include "sim/SimHX.h"
#include "sim/SimWD.h"
#include "support/FamilyFixture.h"
#include "support/TestContext.h"

#include "families/Families.h"
#include "families/FamilyWindows.h"
#include "families/common/FamilyForm.h"
#include "foundations/IniFile.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "shell/ctrlList.h"
#include "shell/frmCommand.h"
#include "shell/frmMain.h"
#include "shell/frmMonitor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace orvid::test {
namespace {

struct Probe : QWidget {
    explicit Probe(AppContext&) { ++built; }
    static inline int built = 0;
};
struct ProbeIO : QWidget {
    explicit ProbeIO(AppContext&) {}
};
struct ProbeState : QWidget {
    explicit ProbeState(AppContext&) {}
};

TEST(FamilyWindows, OneWindowBuiltOnFirstUseSharedByCopiesAndDeletedWithTheLast)
{
    TestContext tc;
    Probe::built = 0;
    QPointer<Probe> window;
    {
        auto first = OnFirstUse<Probe>(tc.ctx);
        EXPECT_EQ(Probe::built, 0);
        const auto second = first;
        window = second();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(first(), window.data());
        EXPECT_EQ(Probe::built, 1);
        EXPECT_EQ(window->parentWidget(), nullptr);   // no main window: top-level
        first = nullptr;
        EXPECT_NE(window, nullptr);                  // the other copy still holds it
    }
    EXPECT_EQ(window, nullptr);

    // A window deleted by someone else is built again rather than handed out dangling.
    auto get = OnFirstUse<Probe>(tc.ctx);
    delete get();
    EXPECT_NE(get(), nullptr);
    EXPECT_EQ(Probe::built, 3);
}

TEST(FamilyWindows, WithAMainWindowTheyGoIntoItsAreaAndBelongToIt)
{
    TestContext tc;
    auto frame = std::make_unique<frmMain>(tc.ctx);
    QPointer<Probe> window;
    {
        const auto get = OnFirstUse<Probe>(tc.ctx);
        window = get();
        auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        ASSERT_NE(sub, nullptr);
        EXPECT_TRUE(frame->mdiArea()->subWindowList().contains(sub));
    }
    EXPECT_NE(window, nullptr);   // kept by its sub-window, not deleted by the holder
    frame.reset();
    EXPECT_EQ(window, nullptr);
}

TEST(FamilyWindows, MainWindowIsLinkedWithItsSmallWindowsInAnyOrder)
{
    TestContext tc;
    struct Call {
        QWidget* main;
        QWidget* io;
        QWidget* state;
        bool operator==(const Call&) const = default;
    };
    QList<Call> calls;
    const auto link = [&calls](Probe& m, ProbeIO* io, ProbeState* state) { calls.append({&m, io, state}); };

    auto late = OnFirstUse<Probe, ProbeIO, ProbeState>(tc.ctx, link);
    ProbeIO* io = late.io();
    EXPECT_TRUE(calls.isEmpty());   // nothing to link yet
    Probe* main = late.main();
    ProbeState* state = late.state();
    EXPECT_EQ(late.io(), io);
    EXPECT_EQ(late.main(), main);
    EXPECT_EQ(calls, (QList<Call>{{main, io, nullptr}, {main, io, state}}));

    calls.clear();
    auto early = OnFirstUse<Probe, ProbeIO, ProbeState>(tc.ctx, link);
    main = early.main();
    state = early.state();
    io = early.io();
    EXPECT_EQ(calls, (QList<Call>{{main, nullptr, nullptr}, {main, nullptr, state}, {main, io, state}}));
}

// The program's families registered in a link of the test's context.
struct RegisteredFamilies {
    explicit RegisteredFamilies(TestContext& tc) : ctx(tc.ctx), lk(tc.ctx)
    {
        ctx.lk = &lk;
        lk.InitSystems();
        RegisterFamilies(ctx);
    }
    ~RegisteredFamilies() { ctx.lk = nullptr; }
    AppContext& ctx;
    LK lk;
};

TEST(FamilyWindows, RegisteredFamiliesShareAndSplitTheirWindowsAsTheirEntriesNeed)
{
    TestContext tc;
    RegisteredFamilies families(tc);
    const LK& lk = families.lk;
    ASSERT_TRUE(lk.entry(2).main && lk.entry(3).main && lk.entry(6).main);
    EXPECT_EQ(lk.entry(2).main(), lk.entry(3).main());
    ASSERT_TRUE(lk.entry(6).io && lk.entry(6).state);
    IToolWindow* io = lk.entry(6).io();
    IToolWindow* state = lk.entry(6).state();
    ASSERT_NE(io, nullptr);
    ASSERT_NE(state, nullptr);
    EXPECT_NE(io, state);
    EXPECT_EQ(lk.entry(6).io(), io);
    EXPECT_NE(static_cast<void*>(lk.entry(6).main()), static_cast<void*>(lk.entry(2).main()));
    EXPECT_EQ(io->Name(), QStringLiteral("frmSystemWDIO"));
    EXPECT_EQ(state->Name(), QStringLiteral("frmSystemWDState"));
}

// Every family window forgets what it listed when it closes: shown again, it lists
// nothing, not even the lines still on their way to its list when it closed.
TEST(FamilyWindows, AClosedFamilyWindowComesBackWithEmptyLists)
{
    TestContext tc;
    RegisteredFamilies families(tc);
    for (int e = 1; e <= 10; ++e) {
        SCOPED_TRACE(e);
        auto* w = dynamic_cast<FamilyForm*>(families.lk.entry(e).main());
        ASSERT_NE(w, nullptr);
        const auto lines = [w] {
            qsizetype n = 0;
            for (const ctrlList* list : w->findChildren<ctrlList*>())
                n += list->text().count(QLatin1Char('\n'));
            for (const QListWidget* list : w->findChildren<QListWidget*>())
                n += list->count();
            return n;
        };
        w->Show();
        w->ShowData(2, "Kopf 1: ", "abcd");
        EXPECT_TRUE(QTest::qWaitFor([&] { return lines() > 0; }, 2000));
        w->ShowData(2, "Kopf 2: ", "efgh");
        w->close();
        w->Show();
        QTest::qWait(100);
        EXPECT_EQ(lines(), 0);
        w->Unload();
    }
}

// Default Positionen puts the current system's window on its place at once. A place
// smaller than the window's controls need (the layout file's, made for other fonts) moves
// it, but the window stays as wide as it was shown and no smaller than its controls need.
template <class Sim, int16_t Entry>
struct System {
    using Device = Sim;
    static constexpr int16_t entry = Entry;
};
template <class S>
class DefaultPositionsOfTheCurrentSystem : public PtyFamilyFixture<typename S::Device> {};
using Systems = ::testing::Types<System<SimHX, 1>, System<SimWD, 6>>;
TYPED_TEST_SUITE(DefaultPositionsOfTheCurrentSystem, Systems);

TYPED_TEST(DefaultPositionsOfTheCurrentSystem, KeepItsWindowAtTheSizeItsControlsNeed)
{
    TestContext& tc = this->tc;
    // A place far smaller than the window.
    QByteArray layout;
    for (const char* section : {"640*480", "800*600*SmallFonts", "800*600*LargeFonts", "1024*768*SmallFonts",
                                "1024*768*LargeFonts"})
        layout += QByteArray("[") + section + "]\r\nfrmSystemHX=400x300+10+20\r\nfrmSystemWD=400x300+10+20\r\n";
    tc.writeProgramFile(QStringLiteral("ORVID.DEF"), layout);
    frmMain main(tc.ctx);
    main.resize(1000, 700);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    RegisterFamilies(tc.ctx);
    ASSERT_TRUE(this->select(TypeParam::entry));
    main.menuAction(MenuEntry::OrvidWindow)->trigger();
    auto* window = dynamic_cast<QWidget*>(this->lk->CurrentWindow());
    QWidget* box = WindowPlacement::Container(window);
    QCoreApplication::processEvents();
    ASSERT_EQ(box->pos(), QPoint(10, 20));
    const int shownWidth = box->width();
    ASSERT_GT(shownWidth, 400);

    box->move(50, 60);
    main.findChild<QAction*>(QStringLiteral("mnDefaultPosition"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(box->pos(), QPoint(10, 20));
    EXPECT_EQ(box->width(), shownWidth);
    const QSize needed = window->minimumSizeHint();
    EXPECT_TRUE(window->width() >= needed.width() && window->height() >= needed.height())
        << window->width() << "x" << window->height() << " where the controls need " << needed.width() << "x"
        << needed.height();
}

// The window states, one program run per row: the row's window, stored maximised, opens
// maximised (a fixed-size one normal). Beside it the window menu brings each open window up
// normal at its own place, active and in front of the one the user clicked into (the
// system's three windows, the command window, the monitor); quitting stores each as it is.
class WindowMenu : public PtyFamilyFixture<SimWD>, public ::testing::WithParamInterface<std::pair<QString, bool>> {};
INSTANTIATE_TEST_SUITE_P(StoredMaximised, WindowMenu,
                         ::testing::Values(std::pair("frmSystemWD", true), std::pair("frmSystemWDIO", false),
                                           std::pair("frmSystemWDState", false), std::pair("frmCommand", true),
                                           std::pair("frmMonitor", true)));
TEST_P(WindowMenu, KeepsEachWindowInItsStateAndBringsItUpNormalInFront)
{
    const auto& [stored, maximisable] = GetParam();
    tc.settings->write(QStringLiteral("Settings"), QStringLiteral("MonitorWnd"), QStringLiteral("Show"));
    tc.settings->write(QStringLiteral("Windows"), QStringLiteral("frmMain"), QStringLiteral("1000x700+0+0"));
    tc.settings->write(QStringLiteral("Windows"), stored, QStringLiteral("MAXIMIZEDx"));
    frmMain main(tc.ctx);
    auto* monitorWindow = new frmMonitor(tc.ctx);
    auto* command = new frmCommand(tc.ctx);
    main.adoptChild(monitorWindow);
    main.adoptChild(command);
    tc.ctx.monitor = monitorWindow;
    tc.ctx.command = command;
    const auto restore = qScopeGuard([this] {
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        tc.ctx.command = nullptr;
    });
    RegisterFamilies(tc.ctx);
    main.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    ASSERT_TRUE(select(6));
    const QList<QPair<MenuEntry, IToolWindow*>> entries{
        {MenuEntry::OrvidWindow, lk->CurrentWindow()}, {MenuEntry::IO, lk->CurrentIOWindow()},
        {MenuEntry::State, lk->CurrentStateWindow()}, {MenuEntry::Command, command},
        {MenuEntry::Monitor, monitorWindow}};
    auto* area = main.findChild<QMdiArea*>();
    const auto frameOf = [](IToolWindow* w) {
        return qobject_cast<QMdiSubWindow*>(WindowPlacement::Container(dynamic_cast<QWidget*>(w)));
    };
    const auto place = [](QWidget* w) {
        const QString normal = QStringLiteral("%1x%2+%3+%4").arg(w->width()).arg(w->height()).arg(w->x()).arg(w->y());
        return (w->isMaximized() ? QStringLiteral("MAXIMIZEDx") : normal).toStdString();
    };
    for (const auto& [entry, window] : entries)
        EXPECT_EQ(frameOf(window)->isMaximized(), window->Name() == stored && maximisable) << window->Name().toStdString();
    for (int i = 0; i < entries.size(); ++i) {
        QMdiSubWindow* wanted = frameOf(entries[i].second);
        QMdiSubWindow* other = frameOf(entries[(i + 1) % entries.size()].second);
        ASSERT_TRUE(wanted && other && wanted->isVisible());
        if (entries[i].second->Name() == stored)
            continue;
        SCOPED_TRACE(wanted->widget()->objectName().toStdString());
        if (other->widget()->objectName() == stored && maximisable)
            other->showMaximized();   // as its maximise button does
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(other->width() / 2, 6));
        ASSERT_EQ(area->activeSubWindow(), other);
        const std::string before = place(wanted);
        main.menuAction(entries[i].first)->trigger();
        EXPECT_EQ(area->activeSubWindow(), wanted);
        EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).last(), wanted);
        EXPECT_EQ(place(wanted), before);
    }
    ASSERT_TRUE(main.close());
    for (const auto& [entry, window] : entries)
        EXPECT_EQ(tc.settings->read(QStringLiteral("Windows"), window->Name(), QString()).toStdString(), place(frameOf(window)));
}

constexpr QSize kDesktop(0, 72);
constexpr QSize kPlacesMargin(48, 176);

QString shippedLayout()
{
    return QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).filePath(QStringLiteral("ORVID.DEF"));
}

// What the 1024*768 places cannot hold apart ("" for the area itself): the windows' least
// sizes with DejaVu (and with the URW fonts) leave no room in the area of 976 x 592 for all
// of a system's windows with the monitor (333x188, 318x194 at least) and the command window
// (326x156, 311x171) in the column they share with system L's outputs window (300x157,
// 273x166) beside frmSystemL (634x452, 624x488).
const QList<QPair<QString, QString>> kNoRoom{
    // 1162x542 (1130x586): wider than the area, and as high.
    {"frmSystemHX", ""}, {"frmSystemHX", "frmMonitor"}, {"frmSystemHX", "frmCommand"},
    // 678x521 (664x563): 298 px beside it, 29 below.
    {"frmSystemKR", "frmMonitor"}, {"frmSystemKR", "frmCommand"},
    // 695x383 (672x411): 281 px beside it, below it room for the command window alone.
    {"frmSystemKDReadWrite", "frmMonitor"},
    // 725x413 (700x449), on a place of 725x449: 251 px beside it, 143 above or below.
    {"frmSystemWD", "frmSystemWDIO"}, {"frmSystemWD", "frmSystemWDState"},
    {"frmSystemWD", "frmMonitor"}, {"frmSystemWD", "frmCommand"},
    // 510x387 (510x399) and 344x263 (320x276): 854 (830) wide side by side, 650 (675)
    // high one over the other, where 643 x 592 is left of the column.
    {"frmSystemWL", "frmSystemWLState"},
};

// Every screen class W*H of the shipped layout file: each system's windows (its main window
// with its outputs and state windows) lie side by side, none covering another but where
// kNoRoom says, inside the area the places are made for, (W - 48) x (H - 176); and the
// main window, maximised on a screen of the class whose desktop takes 72 pixels of height
// for the window manager's title bar and a panel, keeps at least that area with this
// machine's fonts.
TEST(FamilyWindows, ShippedDefaultPlacesKeepEachSystemsWindowsApartInsideTheMainWindow)
{
    TestContext tc;
    auto main = std::make_unique<frmMain>(tc.ctx);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    RegisteredFamilies families(tc);
    // The window names of each entry, from the windows the families register.
    QList<QStringList> systems;
    for (int e = 1; e <= 10; ++e) {
        const LK::SystemEntry& entry = families.lk.entry(e);
        ASSERT_TRUE(entry.main) << e;
        QStringList names{entry.main()->Name()};
        for (const auto& small : {entry.io, entry.state})
            if (small)
                names << small()->Name();
        systems << names;
    }
    // And the command window beside the monitor.
    systems << QStringList{QStringLiteral("frmCommand"), QStringLiteral("frmMonitor")};

    const QString file = shippedLayout();
    const QStringList sections = ReadIni(file, QString(), QString(), QString()).split(QChar(0), Qt::SkipEmptyParts);
    ASSERT_EQ(sections.size(), 5);
    static const QRegularExpression screenSize(QStringLiteral("^(\\d+)\\*(\\d+)"));
    for (const QString& section : sections) {
        SCOPED_TRACE(section.toStdString());
        const auto match = screenSize.match(section);
        ASSERT_TRUE(match.hasMatch());
        const QSize screen(match.captured(1).toInt(), match.captured(2).toInt());
        // A main window that uses the screen it is on, whatever its size.
        EXPECT_TRUE(ParsePlacement(ReadIni(file, section, QStringLiteral("frmMain"), QString())).maximized);
        main->resize(screen - kDesktop);
        QCoreApplication::processEvents();
        const QRect area(QPoint(0, 0), screen - kPlacesMargin);
        const QSize client = main->mdiArea()->viewport()->size();
        EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(area))
            << "client area " << client.width() << "x" << client.height() << " with these fonts";

        for (const QStringList& names : systems) {
            QList<QRect> places;
            for (const QString& name : names) {
                const ParsedPlacement p = ParsePlacement(ReadIni(file, section, name, QString()));
                ASSERT_TRUE(p.geometryValid) << name.toStdString();
                places << QRect(p.left, p.top, p.width, p.height);
                EXPECT_TRUE(area.contains(places.last())) << name.toStdString() << " outside the places' area";
            }
            for (qsizetype i = 0; i < places.size(); ++i)
                for (qsizetype j = i + 1; j < places.size(); ++j)
                    if (!section.startsWith(QLatin1String("1024*768")) || !kNoRoom.contains({names[i], names[j]})) {
                        EXPECT_FALSE(places[i].intersects(places[j]))
                            << names[i].toStdString() << " covers " << names[j].toStdString();
                    }
        }
    }
}

// The places of the large screen classes at the size the windows really take. On a first
// start each window takes its place from the layout file, and a family window then grows to
// what its controls need. Shown that way in a main window of the smallest screen of the
// class, every two windows that can be open together (a system's main window, its outputs
// and state windows, the monitor and the command window) lie apart, and all stay inside
// the area the places are made for, save where the area has no room (kNoRoom). There each
// keeps a part of its title bar in sight, where a drag takes hold of it, whichever of the
// two lies over the other: a selection shows a system's windows over the monitor and the
// command window, the start-up shows these over the windows of a system it has found, and
// the window menu brings any of them to the top.
// Shown with its system selected, no window but frmSystemHX is larger than its place; the
// monitor and the command window over a system's windows leave a part of every button in sight.
TEST(FamilyWindows, LargeScreenPlacesHoldTheWindowsAtTheSizeTheyTakeWhenShown)
{
    // Where the window named first, lying over the other, hides all of its title bar.
    static const QList<QPair<QString, QString>> titleHidden{
        {"frmSystemHX", "frmMonitor"}, {"frmSystemHX", "frmCommand"}};
    constexpr int kGrip = 32;
    const auto text = [](const QRect& r) {
        return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.left()).arg(r.top()).toStdString();
    };
    const QSize screen(1024, 768);
    const QRect area(QPoint(0, 0), screen - kPlacesMargin);
    // The widest stretch, at least half as high as the part, of a part outside what lies over it.
    const auto inSight = [](const QRect& part, const QRegion& over) {
        int widest = 0;
        for (const QRect& r : QRegion(part) - over)
            if (2 * r.height() >= part.height())
                widest = std::max(widest, r.width());
        return widest;
    };
    // The widest stretch, at least half the title bar high, of the part of the window's
    // title bar that takes a drag (between its icon and its buttons) and that lies inside
    // the area and outside the window over it.
    const auto grip = [&area, &inSight](QMdiSubWindow* lower, const QRect& over) {
        QStyleOptionTitleBar option;
        option.initFrom(lower);
        option.subControls = QStyle::SC_All;
        option.titleBarFlags = lower->windowFlags();
        option.rect = QRect(0, 0, lower->width(), lower->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, lower));
        const QRect label = lower->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, lower);
        return inSight(label.translated(lower->pos()) & area, over);
    };
    const QString shipped = shippedLayout();
    for (const QString& section : {QStringLiteral("1024*768*SmallFonts"), QStringLiteral("1024*768*LargeFonts")}) {
        SCOPED_TRACE(section.toStdString());
        TestContext tc;
        auto main = std::make_unique<frmMain>(tc.ctx);
        main->resize(screen - kDesktop);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        // The program reads the section of the class of the screen it runs on: the class's
        // places go under that name, as a first start on a screen of the class finds them.
        const QString here = WindowPlacement::ScreenClass(QGuiApplication::primaryScreen()->geometry().width(),
                                                          main->portLabelHeight());
        QByteArray layout = "[" + here.toLatin1() + "]\r\n";
        for (const QString& key : ReadIni(shipped, section, QString(), QString()).split(QChar(0), Qt::SkipEmptyParts))
            layout += (key + QLatin1Char('=') + ReadIni(shipped, section, key, QString())).toLatin1() + "\r\n";
        tc.writeProgramFile(QStringLiteral("ORVID.DEF"), layout);

        auto* monitor = new frmMonitor(tc.ctx);
        auto* command = new frmCommand(tc.ctx);
        tc.ctx.monitor = monitor;
        tc.ctx.command = command;
        main->adoptChild(monitor);
        main->adoptChild(command);
        RegisteredFamilies families(tc);
        main->ShowToolWindow(MenuEntry::Monitor);
        main->ShowToolWindow(MenuEntry::Command);
        QList<QList<IToolWindow*>> systems;   // each entry's windows, and the tool windows
        for (int e = 1; e <= 10; ++e) {
            const LK::SystemEntry& entry = families.lk.entry(e);
            QList<IToolWindow*> windows{entry.main()};
            for (const auto& small : {entry.io, entry.state})
                if (small)
                    windows << small();
            tc.state.CurrentSystem = int16_t(e);  // as a selection shows them: some controls show only then
            for (IToolWindow* w : windows)
                w->Show();
            systems << windows + QList<IToolWindow*>{monitor, command};
        }
        QCoreApplication::processEvents();

        const auto frameOf = [&](IToolWindow* w) {
            auto* sub = qobject_cast<QMdiSubWindow*>(WindowPlacement::Container(dynamic_cast<QWidget*>(w)));
            const ParsedPlacement p = ParsePlacement(ReadIni(shipped, section, w->Name(), QString()));
            EXPECT_EQ(sub->pos(), QPoint(p.left, p.top)) << w->Name().toStdString() << " not on its place";
            if (!kNoRoom.contains({w->Name(), QString()})) {
                EXPECT_TRUE(sub->width() <= p.width && sub->height() <= p.height)
                    << w->Name().toStdString() << " at " << text(sub->geometry()) << " larger than its place";
                EXPECT_TRUE(area.contains(sub->geometry()))
                    << w->Name().toStdString() << " at " << text(sub->geometry()) << " outside the area";
            }
            return sub;
        };
        const auto name = [](QMdiSubWindow* box) { return box->widget()->objectName(); };
        for (const QList<IToolWindow*>& windows : systems) {
            QList<QMdiSubWindow*> boxes;
            for (IToolWindow* w : windows)
                boxes << frameOf(w);
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                for (qsizetype j = i + 1; j < boxes.size(); ++j) {
                    const QRect a = boxes[i]->geometry();
                    const QRect b = boxes[j]->geometry();
                    if (!a.intersects(b))
                        continue;
                    EXPECT_TRUE(kNoRoom.contains({name(boxes[i]), name(boxes[j])})
                                || kNoRoom.contains({name(boxes[j]), name(boxes[i])}))
                        << name(boxes[i]).toStdString() << " at " << text(a) << " and "
                        << name(boxes[j]).toStdString() << " at " << text(b) << " overlap";
                    for (const auto& [lower, upper] : {std::pair(boxes[i], boxes[j]), std::pair(boxes[j], boxes[i])}) {
                        if (!titleHidden.contains({name(upper), name(lower)})) {
                            EXPECT_GE(grip(lower, upper->geometry()), kGrip)
                                << name(upper).toStdString() << " at " << text(upper->geometry())
                                << " hides the title bar of " << name(lower).toStdString() << " at "
                                << text(lower->geometry());
                        }
                    }
                }
            }
            const QRegion tools = QRegion(boxes[boxes.size() - 2]->geometry()) + boxes.last()->geometry();
            for (QMdiSubWindow* box : boxes.first(boxes.size() - 2))
                for (const QPushButton* button : box->widget()->findChildren<QPushButton*>()) {
                    const QRect r(button->mapTo(box->parentWidget(), QPoint(0, 0)), button->size());
                    EXPECT_TRUE(!button->isVisible() || inSight(r, tools) >= std::min(kGrip, r.width()))
                        << name(box).toStdString() << ": " << button->objectName().toStdString() << " at "
                        << text(r) << " under the monitor or the command window";
                }
        }
        tc.ctx.monitor = nullptr;
        tc.ctx.command = nullptr;
    }
}

} // namespace
} // namespace orvid::test
