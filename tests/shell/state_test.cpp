// The progress box (bar arithmetic, Cancel and the refused close box) and the
// head-information box (fields taken from the link's data items).

#include "support/TestContext.h"

#include "link/LK.h"
#include "shell/frmLKInfo.h"
#include "shell/frmState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvid;
using namespace orvid::test;

namespace {

class ProgressBoxTest : public ::testing::Test {
protected:
    ~ProgressBoxTest() override { box.Unload(); }
    QPushButton* cancel() const { return box.findChild<QPushButton*>(QStringLiteral("btCancel")); }

    TestContext tc;
    frmState box{tc.ctx};
};

TEST_F(ProgressBoxTest, BarRunsFromOneToStepsPlusOneAndNeverBeyond)
{
    box.ShowForm(8);
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.barMax(), 9);
    EXPECT_EQ(box.barValue(), 1);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(box.IncBar());
    EXPECT_EQ(box.barValue(), 9);
    EXPECT_TRUE(box.IncBar());
    EXPECT_EQ(box.barValue(), 9);

    box.ShowForm(8);
    EXPECT_EQ(box.barValue(), 1);
    box.IncBar(6);
    EXPECT_EQ(box.barValue(), 7);
    box.IncBar(5);
    EXPECT_EQ(box.barValue(), 9);
}

TEST_F(ProgressBoxTest, CancelIsReportedByEveryIncBarUntilTheNextShowForm)
{
    box.ShowForm(8);
    box.SetStatus(QStringLiteral("Suche System R"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("lblState"))->text(), QStringLiteral("Suche System R"));
    QTest::mouseClick(cancel(), Qt::LeftButton);
    EXPECT_TRUE(box.isVisible());   // Cancel only marks
    EXPECT_FALSE(box.IncBar());
    EXPECT_FALSE(box.IncBar(2));
    EXPECT_EQ(box.barValue(), 4);   // the bar keeps moving; stopping is the caller's choice
    box.ShowForm(3);
    EXPECT_TRUE(box.IncBar());
}

TEST_F(ProgressBoxTest, CloseBoxAndEscapeCancelButDoNotClose)
{
    box.ShowForm(8);
    EXPECT_FALSE(box.close());
    EXPECT_TRUE(box.isVisible());
    EXPECT_FALSE(box.IncBar());

    box.ShowForm(8);
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());
    EXPECT_FALSE(box.IncBar());

    // The caller's Unload closes it.
    box.Unload();
    EXPECT_FALSE(box.isVisible());
    // IncBar shows it again (harmless when visible).
    box.ShowForm(2);
    box.Unload();
    box.IncBar();
    EXPECT_TRUE(box.isVisible());
}

// ---- head information ----------------------------------------------------------------

class HeadInfoTest : public ::testing::Test {
protected:
    HeadInfoTest()
    {
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->SetNoSystemName(QStringLiteral("kein Orvidsystem"));
    }

    TestContext tc;
    std::unique_ptr<LK> lk;
};

TEST_F(HeadInfoTest, EmptyFieldsComeFromTheDataItems)
{
    lk->LkPutData(1, QByteArray("QRS 240"));
    lk->LkPutData(2, QByteArray("V2.10\r\nBL 1.3"));
    frmLKInfo box(tc.ctx);
    box.Load(QString(), QString(), QString());
    EXPECT_EQ(box.typeText(), QStringLiteral("QRS 240"));
    // A two-line version keeps both lines.
    EXPECT_EQ(box.versionText(), QStringLiteral("V2.10\nBL 1.3"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("kein Orvidsystem"));
}

TEST_F(HeadInfoTest, GivenFieldsAreShownUnchanged)
{
    lk->LkPutData(1, QByteArray("from link"));
    lk->LkPutData(2, QByteArray("from link"));
    frmLKInfo box(tc.ctx);
    box.Load(QStringLiteral("Kopf 2"), QStringLiteral("WL-S 80"), QStringLiteral("1.4"));
    EXPECT_EQ(box.typeText(), QStringLiteral("WL-S 80"));
    EXPECT_EQ(box.versionText(), QStringLiteral("1.4"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Kopf 2"));

    // Nothing stored, no system: empty fields under entry 0's name.
    frmLKInfo empty(tc.ctx);
    lk->LkPutData(1, QByteArray());
    lk->LkPutData(2, QByteArray());
    empty.Load(QString(), QString(), QString());
    EXPECT_TRUE(empty.typeText().isEmpty());
    EXPECT_TRUE(empty.versionText().isEmpty());
    EXPECT_EQ(empty.windowTitle(), QStringLiteral("kein Orvidsystem"));
}

TEST_F(HeadInfoTest, ControlCharactersFromTheDeviceAreShownByName)
{
    lk->LkPutData(1, QByteArray("\x02TYP\x03"));
    frmLKInfo box(tc.ctx);
    box.Load(QStringLiteral("x"), QString(), QStringLiteral("1"));
    EXPECT_EQ(box.typeText(), QStringLiteral("<STX>TYP<ETX>"));
    EXPECT_EQ(frmLKInfo::DisplayText(QByteArray("a\rb\nc")), QStringLiteral("a\nb\nc"));
}

TEST_F(HeadInfoTest, ShowDialogReturnsWhenOkIsPressed)
{
    bool clicked = false;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<frmLKInfo*>(QApplication::activeModalWidget())) {
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("btOk")), Qt::LeftButton);
            clicked = true;
        }
    });
    // A safety net: never leave a modal loop running if the click did not land.
    QTimer::singleShot(3000, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    frmLKInfo::ShowDialog(tc.ctx, nullptr, QStringLiteral("Info"), QStringLiteral("T"), QStringLiteral("V"));
    EXPECT_TRUE(clicked);
}

} // namespace
