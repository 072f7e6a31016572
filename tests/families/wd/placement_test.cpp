// The default places of the system D windows on a first start: with no placement stored
// yet, the outputs and unit-state windows take their places from the shipped layout file,
// each its own, and at the size they really have they do not cover each other in any
// screen class.

#include "support/TestContext.h"

#include "families/Families.h"
#include "foundations/IniFile.h"
#include "link/LK.h"
#include "shell/frmMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

// The layout file shipped with the program, found from this source file's place in the
// tree. A relative source path (a compiler cache may make it one) is taken from the build
// folder, one above the test executables, whatever folder the test runs in.
QString shippedLayoutPath()
{
    QFileInfo source(QString::fromUtf8(__FILE__));
    if (source.isRelative())
        source = QFileInfo(QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")), source.filePath());
    return source.absoluteDir().absoluteFilePath(QStringLiteral("../../../data/ORVID.DEF"));
}

QWidget* frameOf(IToolWindow* w)
{
    auto* widget = dynamic_cast<QWidget*>(w);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(widget->parentWidget()))
        return sub;
    return widget;
}

// "WxH+L+T" of the layout file; only the place counts here.
QPoint placeIn(const QString& file, const QString& section, const char* window)
{
    static const QRegularExpression re(QStringLiteral("^\\d+x\\d+\\+(-?\\d+)\\+(-?\\d+)$"));
    const auto m = re.match(ReadIni(file, section, QString::fromLatin1(window), QString()));
    return m.hasMatch() ? QPoint(m.captured(1).toInt(), m.captured(2).toInt()) : QPoint(-1, -1);
}

// A first start: no placement stored, the shipped layout file in the program folder. The
// outputs and unit-state windows are opened with the main window already shown, or (as
// when they open in the same turn as the main window) before its area is laid out.
void firstStart(bool mainShownFirst)
{
    QFile layout(shippedLayoutPath());
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    TestContext tc;
    const QString file = tc.writeProgramFile(QStringLiteral("ORVID.DEF"), layout.readAll());
    auto main = std::make_unique<frmMain>(tc.ctx);
    main->resize(1000, 720);
    const auto showMain = [&] {
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    };
    if (mainShownFirst)
        showMain();
    LK lk(tc.ctx);
    tc.ctx.lk = &lk;
    lk.InitSystems();
    RegisterFamilies(tc.ctx);

    IToolWindow* io = lk.entry(6).io();
    IToolWindow* state = lk.entry(6).state();
    lk.entry(6).main()->Show();
    io->Show();
    state->Show();
    if (!mainShownFirst)
        showMain();
    QCoreApplication::processEvents();
    const QRect ioFrame = frameOf(io)->geometry();
    const QRect stateFrame = frameOf(state)->geometry();
    EXPECT_FALSE(ioFrame.intersects(stateFrame)) << "outputs and state window overlap";

    // This screen's class: the places are the layout file's.
    const QStringList sections = ReadIni(file, QString(), QString(), QString()).split(QChar(0), Qt::SkipEmptyParts);
    ASSERT_GE(sections.size(), 5);
    const QString current = WindowPlacement::ScreenClass(QGuiApplication::primaryScreen()->geometry().width(),
                                                         main->portLabelHeight());
    EXPECT_EQ(ioFrame.topLeft(), placeIn(file, current, "frmSystemWDIO"));
    EXPECT_EQ(stateFrame.topLeft(), placeIn(file, current, "frmSystemWDState"));

    // Every class: the windows at their real size on their default places stay apart.
    for (const QString& section : sections) {
        const QPoint ioAt = placeIn(file, section, "frmSystemWDIO");
        const QPoint stateAt = placeIn(file, section, "frmSystemWDState");
        ASSERT_NE(ioAt, QPoint(-1, -1)) << section.toStdString();
        ASSERT_NE(stateAt, QPoint(-1, -1)) << section.toStdString();
        EXPECT_FALSE(QRect(ioAt, ioFrame.size()).intersects(QRect(stateAt, stateFrame.size())))
            << section.toStdString();
    }
    main.reset();
    tc.ctx.lk = nullptr;
}

TEST(WDPlacement, FirstStartGivesTheOutputsAndStateWindowsPlacesOfTheirOwn)
{
    firstStart(true);
}

// Opened before the main window's area has its size: the placement must not bring the
// children "back into" an area that has no height yet, which stacked both at its top.
TEST(WDPlacement, FirstStartBeforeTheMainWindowIsLaidOut)
{
    firstStart(false);
}

} // namespace
} // namespace orvid::test
