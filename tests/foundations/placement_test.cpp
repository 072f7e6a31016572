// Window placements: the stored text, round trips on top-level and MDI windows, defaults
// from the layout file and the screen classes.
#include "support/FakeShell.h"
#include "support/TestContext.h"

#include "foundations/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace orvid;
using orvid::test::FakeMainFrame;
using orvid::test::TestContext;

namespace {

QString Stored(TestContext& t, const QString& name)
{
    return t.settings->read(QStringLiteral("Windows"), name, QStringLiteral("<none>"));
}

// The layout file holds the same window under every screen class with a different width,
// so a test can tell which class was read.
QByteArray LayoutFile()
{
    return QByteArrayLiteral("[640*480]\r\nfrmMonitor=301x201+1+2\r\n"
                             "[800*600*SmallFonts]\r\nfrmMonitor=302x202+1+2\r\n"
                             "[800*600*LargeFonts]\r\nfrmMonitor=303x203+1+2\r\n"
                             "[1024*768*SmallFonts]\r\nfrmMonitor=304x204+1+2\r\nfrmMain=MAXIMIZEDx\r\n"
                             "[1024*768*LargeFonts]\r\nfrmMonitor=305x205+1+2\r\n");
}

// The layout section the offscreen screen and a label height select.
QString ExpectedMonitorDefault(int labelHeight)
{
    const int width = QGuiApplication::primaryScreen()->geometry().width();
    const QString cls = WindowPlacement::ScreenClass(width, labelHeight);
    return cls == QLatin1String("640*480")               ? QStringLiteral("301x201+1+2")
           : cls == QLatin1String("800*600*SmallFonts")  ? QStringLiteral("302x202+1+2")
           : cls == QLatin1String("800*600*LargeFonts")  ? QStringLiteral("303x203+1+2")
           : cls == QLatin1String("1024*768*SmallFonts") ? QStringLiteral("304x204+1+2")
                                                         : QStringLiteral("305x205+1+2");
}

// A main window with an MDI area, shown offscreen so the area has its real size.
struct MdiFixture {
    QMainWindow main;
    QMdiArea* area = new QMdiArea;
    QWidget* child = new QWidget;
    QMdiSubWindow* sub = nullptr;

    MdiFixture()
    {
        main.setObjectName(QStringLiteral("frmMain"));
        main.setCentralWidget(area);
        main.resize(800, 600);
        child->setObjectName(QStringLiteral("frmCommand"));
        sub = area->addSubWindow(child);
        main.show();
        sub->show();
    }
};

} // namespace

TEST(PlacementParse, ReadsTheStoredShapes)
{
    ParsedPlacement p = ParsePlacement(QStringLiteral("640x480+10+20"));
    EXPECT_TRUE(p.geometryValid);
    EXPECT_FALSE(p.maximized);
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    EXPECT_EQ(p.left, 10);
    EXPECT_EQ(p.top, 20);
    EXPECT_FALSE(p.flag);

    p = ParsePlacement(QStringLiteral("600x200+-800+-5;1"));
    EXPECT_EQ(p.left, -800);
    EXPECT_EQ(p.top, -5);
    EXPECT_TRUE(p.flag);
    EXPECT_FALSE(ParsePlacement(QStringLiteral("600x200+0+0;0")).flag);

    p = ParsePlacement(QStringLiteral("MAXIMIZEDx"));
    EXPECT_TRUE(p.maximized);
    EXPECT_FALSE(p.flag);
    EXPECT_TRUE(ParsePlacement(QStringLiteral("MAXIMIZEDx;2")).flag);
    // The keyword is compared exactly.
    EXPECT_FALSE(ParsePlacement(QStringLiteral("maximizedx")).maximized);
}

TEST(PlacementParse, MalformedTextParsesAsFarAsItGoes)
{
    // Missing numbers count as 0.
    ParsedPlacement p = ParsePlacement(QStringLiteral("640x480"));
    EXPECT_TRUE(p.geometryValid);
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 0);

    p = ParsePlacement(QStringLiteral("garbage"));
    EXPECT_TRUE(p.geometryValid);
    EXPECT_EQ(p.width, 0);

    // Halves go to the even neighbour.
    p = ParsePlacement(QStringLiteral("100.5x101.5+2.5+-2.5"));
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 102);
    EXPECT_EQ(p.left, 2);
    EXPECT_EQ(p.top, -2);

    // A number beyond 16 bits ends the parse: nothing to apply, no flag.
    p = ParsePlacement(QStringLiteral("640x99999+0+0;1"));
    EXPECT_FALSE(p.geometryValid);
    EXPECT_FALSE(p.flag);
}

TEST(PlacementFormat, WritesTheStoredShapes)
{
    EXPECT_EQ(FormatPlacement(false, false, 640, 480, 10, 20, std::nullopt), QStringLiteral("640x480+10+20"));
    EXPECT_EQ(FormatPlacement(false, false, 640, 480, -10, 20, int16_t(3)), QStringLiteral("640x480+-10+20;3"));
    EXPECT_EQ(FormatPlacement(true, false, 1, 2, 3, 4, int16_t(1)), QStringLiteral("MAXIMIZEDx;1"));
    // A minimised window stores the empty text, flag or not.
    EXPECT_EQ(FormatPlacement(false, true, 1, 2, 3, 4, int16_t(1)), QString());
}

TEST(PlacementScreenClass, FollowsScreenWidthAndLabelHeight)
{
    EXPECT_EQ(WindowPlacement::ScreenClass(640, 30), QStringLiteral("640*480"));
    EXPECT_EQ(WindowPlacement::ScreenClass(799, 17), QStringLiteral("640*480"));
    EXPECT_EQ(WindowPlacement::ScreenClass(800, 22), QStringLiteral("800*600*LargeFonts"));
    EXPECT_EQ(WindowPlacement::ScreenClass(800, 21), QStringLiteral("800*600*SmallFonts"));
    EXPECT_EQ(WindowPlacement::ScreenClass(1023, 17), QStringLiteral("800*600*SmallFonts"));
    EXPECT_EQ(WindowPlacement::ScreenClass(1024, 22), QStringLiteral("1024*768*LargeFonts"));
    EXPECT_EQ(WindowPlacement::ScreenClass(1280, 17), QStringLiteral("1024*768*SmallFonts"));
}

TEST(Placement, TopLevelWindowRoundTrip)
{
    TestContext t;
    QWidget w;
    w.setObjectName(QStringLiteral("frmMonitor"));
    w.resize(640, 480);
    w.move(10, 20);
    t.placement->SaveWindowPos(&w);
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), QStringLiteral("640x480+10+20"));

    QWidget again;
    again.setObjectName(QStringLiteral("frmMonitor"));
    bool fromDefault = true;
    EXPECT_FALSE(t.placement->RestoreWindowPos(&again, true, &fromDefault));
    EXPECT_FALSE(fromDefault);
    EXPECT_EQ(again.size(), QSize(640, 480));
    EXPECT_EQ(again.pos(), QPoint(10, 20));

    // With the flag stored the result is true; without resizing only the place changes.
    t.placement->SaveWindowPos(&w, int16_t(1));
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), QStringLiteral("640x480+10+20;1"));
    QWidget third;
    third.setObjectName(QStringLiteral("frmMonitor"));
    third.resize(200, 100);
    EXPECT_TRUE(t.placement->RestoreWindowPos(&third, false));
    EXPECT_EQ(third.size(), QSize(200, 100));
    EXPECT_EQ(third.pos(), QPoint(10, 20));
}

TEST(Placement, MaximisedWindowIsStoredAndReopensMaximised)
{
    TestContext t;
    QWidget w;
    w.setObjectName(QStringLiteral("frmMain"));
    w.showMaximized();
    t.placement->SaveWindowPos(&w);
    EXPECT_EQ(Stored(t, QStringLiteral("frmMain")), QStringLiteral("MAXIMIZEDx"));

    QWidget again;
    again.setObjectName(QStringLiteral("frmMain"));
    t.placement->RestoreWindowPos(&again);
    EXPECT_TRUE(again.windowState().testFlag(Qt::WindowMaximized));
}

TEST(Placement, MinimisedWindowGetsItsDefaultNextTime)
{
    TestContext t;
    FakeMainFrame frame;
    frame.labelHeight = 17;
    t.ctx.frame = &frame;
    t.writeProgramFile(QStringLiteral("ORVID.DEF"), LayoutFile());

    QWidget w;
    w.setObjectName(QStringLiteral("frmMonitor"));
    w.resize(500, 400);
    w.showMinimized();
    t.placement->SaveWindowPos(&w, int16_t(1));
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), QString());

    QWidget again;
    again.setObjectName(QStringLiteral("frmMonitor"));
    bool fromDefault = false;
    EXPECT_FALSE(t.placement->RestoreWindowPos(&again, true, &fromDefault));
    EXPECT_TRUE(fromDefault);
    const QString expected = ExpectedMonitorDefault(17);
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), expected);
    const ParsedPlacement p = ParsePlacement(expected);
    EXPECT_EQ(again.size(), QSize(p.width, p.height));
    EXPECT_EQ(again.pos(), QPoint(1, 2));
}

TEST(Placement, DefaultsFollowTheLabelHeightAndWorkWithoutAWindow)
{
    TestContext t;
    FakeMainFrame frame;
    t.ctx.frame = &frame;
    t.writeProgramFile(QStringLiteral("ORVID.DEF"), LayoutFile());

    frame.labelHeight = 22;
    t.placement->LoadDefaultWindowPos(nullptr, QStringLiteral("frmMonitor"), true);
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), ExpectedMonitorDefault(22));

    // A window the layout file does not list keeps its size and place; nothing is stored.
    QWidget w;
    w.setObjectName(QStringLiteral("frmUnknown"));
    w.resize(321, 123);
    w.move(7, 8);
    bool fromDefault = false;
    EXPECT_FALSE(t.placement->RestoreWindowPos(&w, true, &fromDefault));
    EXPECT_TRUE(fromDefault);
    EXPECT_EQ(w.size(), QSize(321, 123));
    EXPECT_EQ(w.pos(), QPoint(7, 8));
    EXPECT_EQ(Stored(t, QStringLiteral("frmUnknown")), QStringLiteral("<none>"));
}

TEST(Placement, DefaultReplacesAStoredPlacementAndAppliesIt)
{
    TestContext t;
    t.writeProgramFile(QStringLiteral("ORVID.DEF"), LayoutFile());
    QWidget w;
    w.setObjectName(QStringLiteral("frmMonitor"));
    w.showMaximized();
    t.placement->LoadDefaultWindowPos(&w, QStringLiteral("frmMonitor"), true);
    EXPECT_FALSE(w.windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(w.pos(), QPoint(1, 2));
    EXPECT_EQ(Stored(t, QStringLiteral("frmMonitor")), ExpectedMonitorDefault(0));
}

TEST(Placement, MdiChildRoundTripPlacesItsSubWindow)
{
    TestContext t;
    MdiFixture f;
    t.ctx.mainWindow = &f.main;
    f.sub->setGeometry(30, 40, 300, 200);
    t.placement->SaveWindowPos(f.child);
    EXPECT_EQ(Stored(t, QStringLiteral("frmCommand")), QStringLiteral("300x200+30+40"));

    f.sub->setGeometry(0, 0, 100, 100);
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->geometry(), QRect(30, 40, 300, 200));

    f.sub->showMaximized();
    t.placement->SaveWindowPos(f.child);
    EXPECT_EQ(Stored(t, QStringLiteral("frmCommand")), QStringLiteral("MAXIMIZEDx"));
    f.sub->showNormal();
    t.placement->RestoreWindowPos(f.child);
    EXPECT_TRUE(f.sub->isMaximized());

    f.sub->showNormal();
    f.sub->showMinimized();
    t.placement->SaveWindowPos(f.child);
    EXPECT_EQ(Stored(t, QStringLiteral("frmCommand")), QString());
}

TEST(Placement, MdiChildOutOfSightIsBroughtBack)
{
    TestContext t;
    MdiFixture f;
    t.ctx.mainWindow = &f.main;
    const int areaHeight = f.area->viewport()->height();
    ASSERT_GT(areaHeight, 300);

    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QStringLiteral("600x200+-800+50"));
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->pos(), QPoint(0, 50));

    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"),
                      QStringLiteral("300x200+20+%1").arg(areaHeight + 100));
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->pos(), QPoint(20, areaHeight - 200));

    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QStringLiteral("300x200+20+-40"));
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->pos(), QPoint(20, 0));

    // Taller than the area and stored below it: the title bar stays reachable.
    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"),
                      QStringLiteral("300x%1+20+%2").arg(areaHeight + 50).arg(areaHeight + 10));
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->pos(), QPoint(20, 0));

    // Left + width exactly 0 is out of sight too; a stored flag keeps the place.
    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QStringLiteral("300x200+-300+10"));
    t.placement->RestoreWindowPos(f.child);
    EXPECT_EQ(f.sub->pos(), QPoint(0, 10));
    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmCommand"), QStringLiteral("300x200+-300+10;1"));
    EXPECT_TRUE(t.placement->RestoreWindowPos(f.child));
    EXPECT_EQ(f.sub->pos(), QPoint(-300, 10));
}

TEST(Placement, TopLevelWindowIsNotMovedIntoReach)
{
    TestContext t;
    QWidget w;
    w.setObjectName(QStringLiteral("frmMain"));
    t.settings->write(QStringLiteral("Windows"), QStringLiteral("frmMain"), QStringLiteral("600x200+-800+50"));
    t.placement->RestoreWindowPos(&w);
    EXPECT_EQ(w.pos(), QPoint(-800, 50));
}

TEST(Placement, CentresOnTheVisibleMainWindowElseOnTheScreen)
{
    TestContext t;
    QWidget main;
    main.setObjectName(QStringLiteral("frmMain"));
    t.ctx.mainWindow = &main;
    QWidget dialog;
    dialog.setObjectName(QStringLiteral("frmOptions"));
    dialog.resize(200, 100);

    // Not yet visible: the screen.
    main.setGeometry(100, 50, 600, 400);
    t.placement->CenterForm(&dialog);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(dialog.pos(), QPoint(screen.left() + (screen.width() - 200) / 2,
                                   screen.top() + (screen.height() - 100) / 2));

    main.show();
    main.move(100, 50);
    const QRect m = main.frameGeometry();
    t.placement->CenterForm(&dialog);
    EXPECT_EQ(dialog.pos(), QPoint(m.left() + (m.width() - 200) / 2, m.top() + (m.height() - 100) / 2));
}

TEST(PlacementLayoutFile, ShippedDefaultsFitTheirScreenClass)
{
    const QString path = QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).filePath(QStringLiteral("ORVID.DEF"));
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const QStringList windows = {
        QStringLiteral("frmMain"), QStringLiteral("frmMonitor"), QStringLiteral("frmCommand"),
        QStringLiteral("frmSystemKR"), QStringLiteral("frmSystemKDReadWrite"), QStringLiteral("frmSystemKDFixcode"),
        QStringLiteral("frmSystemWD"), QStringLiteral("frmSystemWDIO"), QStringLiteral("frmSystemWDState"),
        QStringLiteral("frmSystemWL"), QStringLiteral("frmSystemWLIO"), QStringLiteral("frmSystemWLState"),
        QStringLiteral("frmSystemHX"), QStringLiteral("frmSystemL"), QStringLiteral("frmSystemWKLX9000"),
        QStringLiteral("frmSystemWKLX9000IO")};
    const struct { const char* cls; int w; int h; } classes[] = {
        {"640*480", 640, 480}, {"800*600*SmallFonts", 800, 600}, {"800*600*LargeFonts", 800, 600},
        {"1024*768*SmallFonts", 1024, 768}, {"1024*768*LargeFonts", 1024, 768}};
    for (const auto& c : classes) {
        for (const QString& name : windows) {
            const QString text = ReadIni(path, QLatin1String(c.cls), name, QString());
            SCOPED_TRACE(QStringLiteral("%1 %2 = %3").arg(QLatin1String(c.cls), name, text).toStdString());
            ASSERT_FALSE(text.isEmpty());
            const ParsedPlacement p = ParsePlacement(text);
            if (p.maximized)
                continue;
            ASSERT_TRUE(p.geometryValid);
            EXPECT_GE(p.width, 200);
            EXPECT_GE(p.height, 80);
            EXPECT_GE(p.left, 0);
            EXPECT_GE(p.top, 0);
            EXPECT_LE(p.left + p.width, c.w);
            EXPECT_LE(p.top + p.height, c.h);
        }
    }
}
