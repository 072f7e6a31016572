// The tag-state model and window the families share: the state block a tag keeps, its
// times and battery estimate, and the tag-state window against a scripted provider.

#include "support/TestContext.h"

#include "families/common/TagStateBlock.h"
#include "families/common/frmSystemWDTagState.h"

#include <QDate>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

TEST(TagStateBlockTest, DecodesDateCountersAndTimes)
{
    // 05/99, cycles 0x01020304, LED off 3 723 004 ms, LED on 2^31 + 1 ms.
    TagStateBlock b;
    ASSERT_TRUE(TagStateBlock::Decode("0599" "04030201" "FCCE3800" "01000080", b));
    EXPECT_EQ(b.month, "05");
    EXPECT_EQ(b.year, "99");
    EXPECT_EQ(b.FullYear(), 1999);
    EXPECT_EQ(b.cycles, 0x01020304u);
    EXPECT_EQ(TagStateBlock::TimeText(b.ledOffMs), QStringLiteral("1h 2min 3sec 4ms "));
    // Counters from 2^31 upward stay positive.
    EXPECT_EQ(b.ledOnMs, 2147483649u);
    EXPECT_EQ(TagStateBlock::TimeText(b.ledOnMs), QStringLiteral("596h 31min 23sec 649ms "));
    EXPECT_EQ(TagStateBlock::TimeText(0xFFFFFFFFu), QStringLiteral("1193h 2min 47sec 295ms "));

    ASSERT_TRUE(TagStateBlock::Decode("0549000000000000000000000000", b));
    EXPECT_EQ(b.FullYear(), 2049);
    ASSERT_TRUE(TagStateBlock::Decode("0550000000000000000000000000", b));
    EXPECT_EQ(b.FullYear(), 1950);

    EXPECT_FALSE(TagStateBlock::Decode("0599", b));
    EXPECT_FALSE(TagStateBlock::Decode("0599xx000000000000000000000000", b));
}

TEST(TagStateBlockTest, BatteryIsCountedFromTheProductionMonthAndClamped)
{
    TagStateBlock b;
    ASSERT_TRUE(TagStateBlock::Decode("0505000000000000000000000000", b));
    // Made May 2005 and never used: only the idle drain of 720 h a month counts.
    const double perMonth = 720.0 * 0.02 / 1710.0 * 100.0;
    EXPECT_NEAR(b.BatteryRemaining(QDate(2005, 5, 20)), 100.0, 1e-9);
    EXPECT_NEAR(b.BatteryRemaining(QDate(2006, 5, 1)), 100.0 - 12 * perMonth, 1e-9);

    // One hour with the LED on costs 15 and one with it off 12 hour-units, less the idle share.
    ASSERT_TRUE(TagStateBlock::Decode("0505" "00000000" "80EE3600" "80EE3600", b)); // 1 h each
    EXPECT_NEAR(b.BatteryRemaining(QDate(2005, 5, 1)), 100.0 - ((-2.0) * 0.02 + 12 + 15) / 1710.0 * 100.0, 1e-9);

    // A production date after today and an exhausted battery stay within 0..100.
    ASSERT_TRUE(TagStateBlock::Decode("1230000000000000000000000000", b));
    EXPECT_EQ(b.BatteryRemaining(QDate(2024, 1, 1)), 100.0);
    ASSERT_TRUE(TagStateBlock::Decode("0180000000000000000000000000", b));
    EXPECT_EQ(b.BatteryRemaining(QDate(2024, 1, 1)), 0.0);

    TagStateDisplay d;
    d.valid = true;
    d.remaining = 100;
    EXPECT_EQ(d.barWidth(200), 200);
    d.remaining = 50;
    EXPECT_EQ(d.barWidth(200), 102);
    d.remaining = 0;
    EXPECT_EQ(d.barWidth(200), 0);
}

class TagStateWindowTest : public ::testing::Test {
protected:
    AppContext& ctx() { return tc.ctx; }
    TestContext tc;
};

class ScriptedProvider : public ITagStateProvider {
public:
    void GetTagState(ITagStateView& view) override
    {
        ++calls;
        for (const TagStateDisplay& d : displays)
            view.ShowTagState(d);
    }
    QList<TagStateDisplay> displays;
    int calls = 0;
};

TagStateDisplay goodDisplay(double remaining)
{
    TagStateDisplay d;
    d.valid = true;
    d.idCode = QStringLiteral("12345678");
    d.date = QStringLiteral("05/99");
    d.cycles = QStringLiteral("4000000000");
    d.ledOff = QStringLiteral("1h 2min 3sec 4ms ");
    d.ledOn = QStringLiteral("0h 0min 0sec 0ms ");
    d.remaining = remaining;
    d.battery = QString::number(remaining, 'f', 1) + QLatin1Char('%');
    return d;
}

TEST_F(TagStateWindowTest, TagStateShowsTheLastAnswerAndClampsTheBattery)
{
    ScriptedProvider provider;
    TagStateDisplay failed;
    failed.state = QStringLiteral(" 40 - Kein Datenträger");
    provider.displays = {failed, goodDisplay(50)};
    frmSystemWDTagState w(ctx());
    w.setProvider(&provider);
    w.Load();
    EXPECT_EQ(provider.calls, 1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Datenträger Status"));
    EXPECT_EQ(w.btReload->text(), QStringLiteral("&Aktualisieren"));
    EXPECT_TRUE(w.lblState->text().isEmpty());
    EXPECT_EQ(w.lblCIdCode->text(), QStringLiteral("12345678"));
    EXPECT_EQ(w.lblCDate->text(), QStringLiteral("05/99"));
    EXPECT_EQ(w.lblCCycle->text(), QStringLiteral("4000000000"));
    EXPECT_EQ(w.lblCLEDOff->text(), QStringLiteral("1h 2min 3sec 4ms "));
    EXPECT_EQ(w.lblCBattery->text(), QStringLiteral("50.0%"));
    const int half = w.shpBattery->width();
    EXPECT_GT(half, w.picBattery->width() / 2 - 1);
    EXPECT_LT(half, w.picBattery->width());

    // More than a full battery (a production date ahead of the clock) stays in the box.
    provider.displays = {goodDisplay(180)};
    w.btReload->click();
    EXPECT_EQ(provider.calls, 2);
    EXPECT_EQ(w.shpBattery->width(), w.picBattery->width());
    EXPECT_EQ(w.lblCBattery->text(), QStringLiteral("100.0%"));

    // A failed read empties the values; the error is this reading's.
    provider.displays = {failed};
    w.btReload->click();
    EXPECT_EQ(w.lblState->text(), failed.state);
    for (QLabel* l : {w.lblCIdCode, w.lblCDate, w.lblCCycle, w.lblCLEDOff, w.lblCLEDOn})
        EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
    EXPECT_EQ(w.lblCBattery->text(), QStringLiteral("0.0 %"));
    EXPECT_EQ(w.shpBattery->width(), 0);

    // A provider that shows nothing leaves no old error behind.
    provider.displays.clear();
    w.btReload->click();
    EXPECT_TRUE(w.lblState->text().isEmpty());
}

TEST_F(TagStateWindowTest, TagStateWithoutASystemShowsNothing)
{
    frmSystemWDTagState w(ctx());
    w.Load();
    EXPECT_TRUE(w.lblCIdCode->text().isEmpty());
    EXPECT_EQ(w.lblCBattery->text(), QStringLiteral("0.0 %"));
    EXPECT_EQ(w.shpBattery->width(), 0);
}

} // namespace
} // namespace orvid::test
