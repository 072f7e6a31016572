// The interface-unit window's channel panel offscreen: the pictures the head-type file
// names (found without regard to case, "\" read as "/"), the empty channel's EMPTY.GIF, the
// drawn unit when its picture is missing, and the lines from the unit to its heads with the
// selected head's line.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"

#include "families/hx/frmSystemHX.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

const QColor kUnit(Qt::red), kInd(Qt::green), kEmpty(Qt::blue);

const char* const kIni = "[HX-LM2]\r\nTYPE=HEAD\r\nHEADCOUNT=2\r\nPICTURE=Units\\Unit2.PNG\r\n"
                         "[HX-LM4]\r\nTYPE=HEAD\r\nHEADCOUNT=4\r\nPICTURE=gone.png\r\n"
                         "[IND-A]\r\nTYPE=I\r\nPICTURE=IND.png\r\n"
                         "[MW-A]\r\nTYPE=M\r\nPICTURE=nothere.png\r\n"
                         "[UHF-A]\r\nTYPE=VNB\r\n";

void writePicture(const QString& path, const QColor& colour)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(colour);
    // The file keeps its name's case; a ".gif" name holds PNG bytes, which the reader
    // recognises by content.
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

// The colour in the middle of an icon; invalid for no icon.
QColor middle(const QIcon& icon)
{
    if (icon.isNull())
        return {};
    const QImage image = icon.pixmap(QSize(16, 16)).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

class HXPictures : public PtyFamilyFixture<SimHX> {
protected:
    HXPictures()
    {
        QDir(dir.path()).mkpath(QStringLiteral("picture/units"));
        QFile ini(dir.filePath(QStringLiteral("orvidhx.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(kIni);
        ini.close();
        writePicture(dir.filePath(QStringLiteral("picture/units/unit2.png")), kUnit);
        writePicture(dir.filePath(QStringLiteral("picture/ind.PNG")), kInd);
        writePicture(dir.filePath(QStringLiteral("picture/Empty.gif")), kEmpty);
        window = std::make_unique<frmSystemHX>(tc.ctx);
        window->Protocol().SetHeadFile(hx::HXHeadFile::FindFile(dir.path()));
        window->profileDialog = [](int, const hx::HXHeadType&) { return 0; };
        lk->RegisterSystem(1, [this] { return window.get(); });
        tc.state.CurrentSystem = 1;
    }
    ~HXPictures() override { lk.reset(); }

    QTemporaryDir dir;
    std::unique_ptr<frmSystemHX> window;
};

TEST_F(HXPictures, HeadPicturesAndLines)
{
    ASSERT_TRUE(dir.isValid());
    struct Case {
        QByteArray model;
        int channels;
        QByteArray heads[4];
        bool emptyFile;
        QColor unit;           // invalid: the drawn unit
        QColor pictures[4];    // invalid: no picture
    };
    const Case cases[] = {
        {"HX-LM2", 2, {"IND-A", ""}, true, kUnit, {kInd, kEmpty}},
        // Missing files and a head type without PICTURE show none; the unit is drawn.
        {"HX-LM4", 4, {"MW-A", "UHF-A", "IND-A", ""}, false, QColor(), {QColor(), QColor(), kInd, QColor()}},
        // A model the file does not know: four channels, the drawn unit.
        {"HX-LM9", 4, {"", "IND-A", "XY-Z", "MW-A"}, false, QColor(), {QColor(), kInd, QColor(), QColor()}},
    };
    window->Show();
    frmSystemHX& w = *window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.toStdString());
        if (!c.emptyFile)
            QFile::remove(dir.filePath(QStringLiteral("picture/Empty.gif")));
        sim.setModel(c.model, c.channels);
        for (int i = 0; i < 4; ++i)
            sim.setHead(i + 1, c.heads[i]);
        ASSERT_TRUE(select(1));

        const QIcon unit = w.btOrvidSystem->icon();
        ASSERT_FALSE(unit.isNull());
        if (c.unit.isValid())
            EXPECT_EQ(middle(unit), c.unit);
        else
            EXPECT_NE(middle(unit), kUnit);
        for (int i = 0; i < 4; ++i) {
            const bool present = i < c.channels;
            EXPECT_EQ(w.linHead[i]->isVisibleTo(&w), present) << i;
            EXPECT_EQ(w.linVert[i]->isVisibleTo(&w), present) << i;
            if (present) {
                EXPECT_EQ(middle(w.rdHead[i]->icon()), c.pictures[i]) << i;
            }
        }

        // The selected head's line lies over that head's line; "all heads" has none.
        for (int i = 0; i <= c.channels; ++i) {
            const int option = i == c.channels ? 4 : i;
            if (!w.rdHead[option]->isEnabled())
                continue;
            w.rdHead[option]->setChecked(true);
            if (option == 4) {
                EXPECT_FALSE(w.linSelHead->isVisibleTo(&w));
                continue;
            }
            EXPECT_TRUE(w.linSelHead->isVisibleTo(&w)) << option;
            EXPECT_TRUE(QTest::qWaitFor([&] { return w.linSelHead->geometry() == w.linHead[option]->geometry(); }, 2000))
                << option;
        }
        lk->CloseSystem();
    }
}

} // namespace
} // namespace orvid::test
