// The toolbar's tip window: where it goes and when it shows and hides.
#include "shell/Toolbar.h"
#include "shell/frmSplash.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

TEST(ToolbarTipPosition, CentredUnderTheButtonAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1000, 700);
    const QSize tip(60, 18);

    // Centred under a 24-pixel button.
    EXPECT_EQ(Toolbar::TipPosition(QRect(100, 50, 24, 24), tip, screen), QPoint(82, 74));
    // Near the right edge: pulled left so that it ends at the edge.
    EXPECT_EQ(Toolbar::TipPosition(QRect(980, 50, 24, 24), tip, screen), QPoint(940, 74));
    // Near the left edge: starts at the edge.
    EXPECT_EQ(Toolbar::TipPosition(QRect(0, 50, 24, 24), tip, screen), QPoint(0, 74));
    // At the bottom: above the button instead of below.
    EXPECT_EQ(Toolbar::TipPosition(QRect(100, 676, 24, 24), tip, screen), QPoint(82, 658));
    // A second screen to the right: its own edges count, not those of the first.
    const QRect second(1000, 100, 800, 600);
    EXPECT_EQ(Toolbar::TipPosition(QRect(1000, 150, 24, 24), tip, second), QPoint(1000, 174));
    EXPECT_EQ(Toolbar::TipPosition(QRect(1100, 680, 24, 24), tip, second), QPoint(1082, 662));
}

class ToolbarTipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 200);
        auto* bar = new QToolBar(&window);
        window.addToolBar(bar);
        toolbar = new Toolbar(&window, bar);
        toolbar->InitToolbar();
        for (int i = 0; i < Toolbar::kButtonCount; ++i)
            toolbar->SetButtonPicture(i, QStringLiteral("Tip %1").arg(i));
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QPoint centreOf(int i) const
    {
        QToolButton* b = toolbar->button(i);
        return b->mapToGlobal(b->rect().center());
    }
    void hover(int i)
    {
        QToolButton* b = toolbar->button(i);
        QCursor::setPos(centreOf(i));
        QEnterEvent enter(b->rect().center(), b->rect().center(), centreOf(i));
        QApplication::sendEvent(b, &enter);
    }

    QMainWindow window;
    Toolbar* toolbar = nullptr;
};

TEST_F(ToolbarTipTest, TipFollowsTheHotButtonAndHidesWhenTheMouseLeaves)
{
    hover(2);
    EXPECT_EQ(toolbar->HotButton(), 2);
    ASSERT_NE(toolbar->tip(), nullptr);
    EXPECT_TRUE(toolbar->tip()->timTip()->isActive());
    EXPECT_EQ(toolbar->tip()->timTip()->interval(), 1000);
    // Nothing shows before the timer ticks.
    EXPECT_FALSE(toolbar->tip()->isVisible());

    if (QCursor::pos() != centreOf(2))
        GTEST_SKIP() << "this platform does not move the cursor";

    toolbar->ShowToolTip();
    EXPECT_TRUE(toolbar->tip()->isVisible());
    EXPECT_EQ(toolbar->tip()->lblTip()->text(), QStringLiteral(" Tip 2 "));
    QToolButton* b2 = toolbar->button(2);
    const QPoint under = b2->mapToGlobal(QPoint(0, b2->height()));
    EXPECT_EQ(toolbar->tip()->y(), under.y());
    EXPECT_NEAR(toolbar->tip()->x() + toolbar->tip()->width() / 2.0, under.x() + b2->width() / 2.0, 1.0);

    // Straight onto the next button: that one's text at the next tick.
    hover(3);
    toolbar->ShowToolTip();
    EXPECT_EQ(toolbar->tip()->lblTip()->text(), QStringLiteral(" Tip 3 "));

    // The mouse has left the toolbar: the next tick hides the tip and stops the timer.
    QCursor::setPos(window.mapToGlobal(QPoint(200, 150)));
    toolbar->ShowToolTip();
    EXPECT_FALSE(toolbar->tip()->isVisible());
    EXPECT_FALSE(toolbar->tip()->timTip()->isActive());
}

TEST_F(ToolbarTipTest, PressingOrAnotherActiveWindowHidesTheTip)
{
    hover(1);
    if (QCursor::pos() != centreOf(1))
        GTEST_SKIP() << "this platform does not move the cursor";
    toolbar->ShowToolTip();
    ASSERT_TRUE(toolbar->tip()->isVisible());

    QTest::mousePress(toolbar->button(1), Qt::LeftButton);
    EXPECT_FALSE(toolbar->tip()->isVisible());
    EXPECT_FALSE(toolbar->tip()->timTip()->isActive());
    QTest::mouseRelease(toolbar->button(1), Qt::LeftButton);

    hover(1);
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    toolbar->ShowToolTip();
    EXPECT_FALSE(toolbar->tip()->isVisible());
}

TEST_F(ToolbarTipTest, QtsOwnTooltipIsSuppressedAndDisabledButtonsDoNotClick)
{
    // The button keeps its text for accessibility, but Qt's tooltip event is swallowed so
    // that only the tip window shows it.
    QToolButton* b = toolbar->button(0);
    EXPECT_EQ(b->toolTip(), QStringLiteral("Tip 0"));
    QHelpEvent help(QEvent::ToolTip, b->rect().center(), centreOf(0));
    EXPECT_TRUE(QApplication::sendEvent(b, &help));

    int clicks = 0;
    QObject::connect(toolbar, &Toolbar::clicked, [&](int) { ++clicks; });
    b->click();
    EXPECT_EQ(clicks, 1);
    toolbar->record(0).Disabled = true;
    b->click();
    EXPECT_EQ(clicks, 1);
}

TEST(ToolbarPictures, EveryButtonHasItsOwnPictureAtBothSizes)
{
    QList<QImage> small;
    for (int i = 0; i < Toolbar::kButtonCount; ++i) {
        const QIcon icon = Toolbar::ButtonIcon(i);
        const QList<QSize> sizes = icon.availableSizes();
        EXPECT_TRUE(sizes.contains(QSize(24, 24))) << i;
        EXPECT_TRUE(sizes.contains(QSize(48, 48))) << i;
        const QImage img = icon.pixmap(QSize(24, 24)).toImage();
        // Something is drawn, and the corners stay clear for the button face.
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                inked += qAlpha(img.pixel(x, y)) > 128;
        EXPECT_GT(inked, 20) << i;
        EXPECT_EQ(qAlpha(img.pixel(0, 23)), 0) << i;
        for (const QImage& other : small)
            EXPECT_NE(img, other) << i;
        small.append(img);
    }
}

} // namespace
