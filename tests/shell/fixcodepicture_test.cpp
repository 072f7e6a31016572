// The fixcode dialog's decoration picture.
#include "support/TestContext.h"

#include "foundations/Language.h"
#include "shell/FixcodePicture.h"

#include <QDialog>
#include <QImage>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

// How many pixels of the area are opaque and close to the colour.
int PixelsLike(const QImage& image, const QRect& area, const QColor& colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255 && qAbs(c.red() - colour.red()) < 24 && qAbs(c.green() - colour.green()) < 24
                && qAbs(c.blue() - colour.blue()) < 24)
                ++n;
        }
    return n;
}

TEST(FixcodePicture, TagAndLockSharpAtEveryRatioAndCentredInAnyShape)
{
    const QColor amber(0xf2, 0xa9, 0x00);
    for (qreal dpr : {1.0, 2.0}) {
        const QPixmap pm = DrawFixcodePicture(QSize(48, 48), dpr);
        EXPECT_EQ(pm.size(), QSize(48, 48) * dpr);
        EXPECT_EQ(pm.devicePixelRatio(), dpr);
        const QImage image = pm.toImage();
        const int s = image.width();
        // Transparent corners; the tag's face upper left, the lock in the lower right only.
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(image.pixelColor(s - 1, 0).alpha(), 0);
        EXPECT_GT(PixelsLike(image, QRect(0, 0, s / 2, s / 2), QColor(0xc8, 0xd6, 0xe4)), s * s / 40);
        EXPECT_GT(PixelsLike(image, QRect(s / 2, s / 2, s / 2, s / 2), amber), s * s / 40);
        EXPECT_EQ(PixelsLike(image, QRect(0, 0, s / 2, s / 2), amber), 0);
    }
    // A wide picture keeps the drawing square and centred: its sides stay empty.
    const QImage wide = DrawFixcodePicture(QSize(96, 48), 1).toImage();
    for (int y = 0; y < 48; ++y) {
        EXPECT_EQ(wide.pixelColor(10, y).alpha(), 0);
        EXPECT_EQ(wide.pixelColor(85, y).alpha(), 0);
    }
    EXPECT_TRUE(DrawFixcodePicture(QSize(), 1).isNull());
}

TEST(FixcodePicture, ControlKeepsItsPictureThroughTranslation)
{
    TestContext tc;
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[frmTest]\r\nPicture1=text\r\n");
    tc.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    tc.language->SelectLanguageByCode(english);
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("frmTest"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* picture = new FixcodePicture(&dialog);
    layout->addWidget(picture);
    tc.language->ApplyWindowLanguage(&dialog);
    EXPECT_EQ(picture->objectName(), QStringLiteral("Picture1"));
    EXPECT_EQ(picture->size(), QSize(FixcodePicture::kSize, FixcodePicture::kSize));
    const QImage shown = picture->grab().toImage();
    EXPECT_GT(PixelsLike(shown, shown.rect(), QColor(0xf2, 0xa9, 0x00)), 20);
}

} // namespace
} // namespace orvid::test
