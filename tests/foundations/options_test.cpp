// The program options of the "Settings" section: exact comparisons on reading, the written
// forms, the window-menu marks and the stored language.
#include "support/FakeShell.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

using namespace orvid;
using orvid::test::FakeMainFrame;
using orvid::test::TestContext;

namespace {

class OptionsTest : public ::testing::Test {
protected:
    OptionsTest() { t.ctx.frame = &frame; }
    void set(const char* key, const QString& value)
    {
        ASSERT_TRUE(t.settings->write(QStringLiteral("Settings"), QLatin1String(key), value));
    }
    QString get(const char* key) const
    {
        return t.settings->read(QStringLiteral("Settings"), QLatin1String(key), QStringLiteral("<none>"));
    }

    TestContext t;
    FakeMainFrame frame;
};

} // namespace

TEST_F(OptionsTest, EmptyStoreGivesTheDefaults)
{
    t.state.ShowTimeouts = true;
    t.state.CurrentSystem = 4;
    t.state.AutoDetect = true;
    t.state.ReadHeadError = true;
    LoadOptions(t.ctx);
    EXPECT_FALSE(t.state.ShowTimeouts);
    EXPECT_EQ(t.state.CurrentSystem, 0);
    EXPECT_FALSE(t.state.AutoDetect);
    EXPECT_FALSE(t.state.ReadHeadError);
    EXPECT_TRUE(frame.menuChecked(MenuEntry::OrvidWindow));
    EXPECT_TRUE(frame.menuChecked(MenuEntry::IO));
    EXPECT_TRUE(frame.menuChecked(MenuEntry::State));
    EXPECT_TRUE(frame.menuChecked(MenuEntry::Command));
    EXPECT_FALSE(frame.menuChecked(MenuEntry::Monitor));
    EXPECT_EQ(t.language->LanguageName(), QStringLiteral("Deutsch"));
}

TEST_F(OptionsTest, ComparisonsAreExact)
{
    set("ShowTimeouts", QStringLiteral("-1"));
    set("ReadHeadError", QStringLiteral("yes"));
    set("MonitorWnd", QStringLiteral("show"));
    set("CommandWnd", QStringLiteral("Hide"));
    frame.setMenuChecked(MenuEntry::Command, true); // reading never clears a mark
    LoadOptions(t.ctx);
    EXPECT_FALSE(t.state.ShowTimeouts);
    EXPECT_FALSE(t.state.ReadHeadError);
    EXPECT_FALSE(frame.menuChecked(MenuEntry::Monitor));
    EXPECT_TRUE(frame.menuChecked(MenuEntry::Command));

    set("ShowTimeouts", QStringLiteral("1"));
    set("ReadHeadError", QStringLiteral("Yes"));
    set("MonitorWnd", QStringLiteral("Show"));
    LoadOptions(t.ctx);
    EXPECT_TRUE(t.state.ShowTimeouts);
    EXPECT_TRUE(t.state.ReadHeadError);
    EXPECT_TRUE(frame.menuChecked(MenuEntry::Monitor));
}

TEST_F(OptionsTest, NumbersAreReadByTheirLeadingNumber)
{
    const struct { const char* system; int16_t expected; } systems[] = {
        {"3", 3}, {"2.5", 2}, {"3.5", 4}, {"7 ", 7}, {"5abc", 5}, {"abc", 0},
        // Nothing beyond the system table, nothing beyond 16 bits.
        {"11", 0}, {"-1", 0}, {"99999", 0},
    };
    for (const auto& s : systems) {
        set("OrvidSystem", QLatin1String(s.system));
        t.state.CurrentSystem = 9;
        LoadOptions(t.ctx);
        EXPECT_EQ(t.state.CurrentSystem, s.expected) << s.system;
    }

    const struct { const char* text; bool on; } flags[] = {
        {"-1", true}, {"1", true}, {"0", false}, {"0.4", false}, {"0.6", true}, {"x", false}, {"70000", true},
    };
    for (const auto& f : flags) {
        set("AutoDetect", QLatin1String(f.text));
        LoadOptions(t.ctx);
        EXPECT_EQ(t.state.AutoDetect, f.on) << f.text;
    }
}

TEST_F(OptionsTest, StoredLanguageIsSelectedWhenAFileDeclaresIt)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), "[ORVID]\r\nLanguage=English\r\n");
    t.language->LoadLanguageList();
    LoadOptions(t.ctx); // "GER" by default: no file declares it
    EXPECT_EQ(t.language->LanguageIndex(), 0);

    set("Language", QStringLiteral("English"));
    LoadOptions(t.ctx);
    EXPECT_EQ(t.language->LanguageName(), QStringLiteral("English"));

    // A name that no longer exists (file removed) keeps the current language.
    set("Language", QStringLiteral("Klingon"));
    LoadOptions(t.ctx);
    EXPECT_EQ(t.language->LanguageName(), QStringLiteral("English"));
}

TEST_F(OptionsTest, SaveWritesEveryOptionAndLoadReadsItBack)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), "[ORVID]\r\nLanguage=English\r\n");
    t.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    t.language->SelectLanguageByCode(english);
    t.state.ShowTimeouts = true;
    t.state.CurrentSystem = 5;
    t.state.AutoDetect = true;
    t.state.ReadHeadError = true;
    frame.setMenuChecked(MenuEntry::OrvidWindow, false);
    frame.setMenuChecked(MenuEntry::Monitor, true);
    SaveOptions(t.ctx);

    EXPECT_EQ(get("Language"), QStringLiteral("English"));
    EXPECT_EQ(get("OrvidSystem"), QStringLiteral("5"));
    EXPECT_EQ(get("AutoDetect"), QStringLiteral("-1"));
    EXPECT_EQ(get("ReadHeadError"), QStringLiteral("Yes"));
    EXPECT_EQ(get("OrvidSystemWnd"), QStringLiteral("Hide"));
    EXPECT_EQ(get("IOWnd"), QStringLiteral("Hide"));
    EXPECT_EQ(get("MonitorWnd"), QStringLiteral("Show"));
    EXPECT_EQ(get("ShowTimeouts"), QStringLiteral("<none>"));

    t.state.AutoDetect = false;
    t.state.ReadHeadError = false;
    SaveOptions(t.ctx);
    EXPECT_EQ(get("AutoDetect"), QStringLiteral("0"));
    EXPECT_EQ(get("ReadHeadError"), QStringLiteral("No"));

    // A fresh start reads what was saved.
    TestContext fresh;
    FakeMainFrame freshFrame;
    fresh.ctx.frame = &freshFrame;
    fresh.settings = std::make_unique<SettingsStore>(t.settingsPath());
    fresh.ctx.settings = fresh.settings.get();
    LoadOptions(fresh.ctx);
    EXPECT_EQ(fresh.state.CurrentSystem, 5);
    EXPECT_FALSE(fresh.state.AutoDetect);
    EXPECT_TRUE(freshFrame.menuChecked(MenuEntry::Monitor));
    EXPECT_FALSE(freshFrame.menuChecked(MenuEntry::OrvidWindow));
}

TEST_F(OptionsTest, WithoutAMainWindowTheMarksAreLeftAlone)
{
    set("MonitorWnd", QStringLiteral("Show"));
    t.ctx.frame = nullptr;
    LoadOptions(t.ctx);
    SaveOptions(t.ctx);
    EXPECT_EQ(get("MonitorWnd"), QStringLiteral("Show"));
    EXPECT_EQ(get("IOWnd"), QStringLiteral("<none>"));
    EXPECT_EQ(get("OrvidSystem"), QStringLiteral("0"));
}
