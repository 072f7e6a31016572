// Splash, logo and about box.
#include "support/TestContext.h"

#include "Version.h"
#include "shell/frmSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

TEST(VersionNumber, DropsLeadingZerosOfEveryPart)
{
    EXPECT_EQ(FormatVersionNumber(QStringLiteral("2.07.0011")), QStringLiteral("2.7.11"));
    EXPECT_EQ(FormatVersionNumber(QStringLiteral("0.1.0")), QStringLiteral("0.1.0"));
    EXPECT_EQ(FormatVersionNumber(QStringLiteral("10.00.0100")), QStringLiteral("10.0.100"));
    EXPECT_EQ(FormatVersionNumber(QStringLiteral("3")), QStringLiteral("3"));
}

TEST(Hourglass, IsOneStateNotAStack)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // Splash and a selection both ask for the hourglass; one "off" must clear it, as the
    // pointer does not stay busy after the start-up has ended.
    frmStart splash;
    splash.Load();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    SetHourglass(true);
    SetHourglass(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    splash.Load();
    splash.Unload();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(HourglassShown());
}

TEST(Splash, HasItsPictureSizeAndSitsInTheScreenCentre)
{
    frmStart splash;
    splash.Load();
    EXPECT_EQ(splash.size(), QSize(frmStart::kWidth, frmStart::kHeight));
    const QRect s = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(splash.x(), s.left() + (s.width() - frmStart::kWidth) / 2);
    EXPECT_EQ(splash.y(), s.top() + (s.height() - frmStart::kHeight) / 2);
    EXPECT_TRUE(splash.isVisible());
    splash.Unload();
    EXPECT_FALSE(splash.isVisible());
}

TEST(Logo, StaysCentredAndShrinksToFitASmallClientArea)
{
    QWidget area;
    area.resize(800, 600);
    frmLogo logo(&area);
    logo.Load();
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    EXPECT_EQ(logo.size(), QSize(frmLogo::kWidth, frmLogo::kHeight));
    EXPECT_EQ(logo.geometry().center(), area.rect().center());

    area.resize(500, 300);
    QTest::qWait(1);
    EXPECT_LE(logo.height(), 300);
    EXPECT_TRUE(area.rect().contains(logo.geometry()));
    EXPECT_NEAR(logo.geometry().center().x(), area.rect().center().x(), 1);
    EXPECT_NEAR(logo.geometry().center().y(), area.rect().center().y(), 1);
    // Its proportions are kept.
    EXPECT_NEAR(double(logo.width()) / logo.height(), double(frmLogo::kWidth) / frmLogo::kHeight, 0.02);

    // The picture is really drawn at the centre.
    const QImage shot = area.grab().toImage();
    const QPoint c = logo.geometry().center();
    EXPECT_NE(shot.pixelColor(c), area.palette().color(QPalette::Window));
}

TEST(About, ShowsTheBuildVersionAfterATranslatedLabelOfAnyLength)
{
    test::TestContext t;
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                       "[ORVID]\r\nLanguage=English\r\n"
                       "[frmAbout]\r\nfrmAbout=About EN\r\n"
                       "lblVersion=Programmversion dieser Anwendung\r\n");
    t.language->LoadLanguageList();
    int16_t english = 1;
    t.language->SelectLanguage(english);

    frmAbout about(t.ctx);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    auto* version = about.findChild<QLabel*>(QStringLiteral("lblVersion"));
    auto* number = about.findChild<QLabel*>(QStringLiteral("lblVersionNum"));
    ASSERT_TRUE(version && number);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About EN"));
    EXPECT_EQ(version->text(), QStringLiteral("Programmversion dieser Anwendung"));
    EXPECT_GE(number->x(), version->x() + version->fontMetrics().horizontalAdvance(version->text()));
    EXPECT_TRUE(number->text().endsWith(QLatin1Char(' ') + FormatVersionNumber(QStringLiteral(ORVID_VERSION))))
        << number->text().toStdString();
    EXPECT_TRUE(about.findChild<QLabel*>(QStringLiteral("lblValdrecht"))->text().startsWith(QChar(0xA9)));
    // Untranslated labels keep their German texts.
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("lblSoftware"))->text(),
              QStringLiteral("Software Entwicklung:"));
}

} // namespace
