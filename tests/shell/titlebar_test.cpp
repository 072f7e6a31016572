// Title bar: the rotated caption must land on the bar (long captions included), and the
// logo's link must be opened or its failure reported.

#include "shell/ctrlTitleBar.h"
#include "support/TestContext.h"

#include <QImage>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

// Pixels that differ from the background inside a rectangle of the rendered bar.
int inkIn(const QImage& image, const QRect& area, QRgb background)
{
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) != background)
                ++count;
    return count;
}

QImage rendered(ctrlTitleBar& bar)
{
    QImage image(bar.size(), QImage::Format_RGB32);
    bar.render(&image);
    return image;
}

} // namespace

TEST(TitleBar, CaptionIsDrawnOnTheBarWhetherItFitsOrNot)
{
    ctrlTitleBar bar;
    bar.setBackColor(Qt::white);
    bar.resize(30, 400);
    const QRect belowLogo(0, 4 + 22 + 1, 30, 400);

    ASSERT_TRUE(bar.captionLayout().fits);
    QImage image = rendered(bar);
    EXPECT_GT(inkIn(image, belowLogo, qRgb(255, 255, 255)), 50);
    // Upwards from half the bar's width above the bottom: nothing below that start.
    EXPECT_EQ(inkIn(image, QRect(0, 400 - 15 + 1, 30, 15), qRgb(255, 255, 255)), 0);

    // Far longer than the bar: still drawn below the logo, shortened.
    bar.setCaption(QString("www.valdrecht.example/") + QString(200, 'x'));
    const ctrlTitleBar::CaptionLayout layout = bar.captionLayout();
    EXPECT_FALSE(layout.fits);
    EXPECT_FALSE(layout.text.isEmpty());
    EXPECT_TRUE(layout.text.startsWith("www."));
    image = rendered(bar);
    EXPECT_GT(inkIn(image, belowLogo, qRgb(255, 255, 255)), 50);
    EXPECT_EQ(inkIn(image, QRect(0, 0, 30, 4), qRgb(255, 255, 255)), 0);  // clear of the top edge
}

TEST(TitleBar, DownwardCaptionSitsAtTheRightEdgeCentredInHeight)
{
    ctrlTitleBar bar;
    bar.setBackColor(Qt::white);
    bar.setCaption("abc");
    bar.setRotationAngle(270);
    bar.resize(40, 400);
    const QImage image = rendered(bar);
    EXPECT_GT(inkIn(image, QRect(15, 150, 22, 100), qRgb(255, 255, 255)), 20);
    EXPECT_EQ(inkIn(image, QRect(0, 30, 15, 370), qRgb(255, 255, 255)), 0);  // one text cell wide
    EXPECT_EQ(inkIn(image, QRect(0, 300, 40, 100), qRgb(255, 255, 255)), 0);
}

TEST(TitleBar, LogoClickOpensTheLinkAndReportsAFailure)
{
    test::TestContext t;
    ctrlTitleBar bar(t.ctx);
    bar.resize(30, 300);
    auto* logo = bar.findChild<QLabel*>("imgLogo");
    ASSERT_NE(logo, nullptr);
    const QString address = logo->property("Tag").toString();
    EXPECT_TRUE(address.startsWith("https://"));

    QStringList opened;
    bar.setOpener([&](const QString& a) { opened.append(a); return true; });
    QTest::mouseClick(logo, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{address});
    EXPECT_TRUE(t.presenter.requests.isEmpty());

    bar.setOpener([&](const QString& a) { opened.append(a); return false; });
    QTest::mouseClick(logo, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 2);
    ASSERT_EQ(t.presenter.requests.size(), 1);
    EXPECT_TRUE(t.presenter.requests.first().text.contains(address));
}
