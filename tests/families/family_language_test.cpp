// The English language file shipped with the program against the windows of the system R
// and microwave system D families: choosing English changes every caption a window shows,
// choosing German again brings back the exact design texts, and the texts the windows and
// their telegram layers fetch by key (status codes, configuration labels, the no-head
// title) are all there. The captions are collected by walking the real windows
// (support/LanguageWalk), so a control added later without an entry in the file makes
// these tests fail.

#include "support/FakeShell.h"
#include "support/LanguageWalk.h"
#include "support/TestContext.h"

#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/kr/frmSystemKR.h"
#include "families/common/frmSystemKRWrite.h"
#include "families/wd/RegisterWD.h"
#include "families/wd/WDProtocol.h"
#include "families/wd/frmSystemWD.h"
#include "families/wd/frmSystemWDIO.h"
#include "families/wd/frmSystemWDState.h"
#include "families/common/frmSystemWDTagState.h"
#include "families/wd/frmSystemWDWrite.h"
#include "families/wd/frmSystemWDWriteIDCode.h"
#include "foundations/IniFile.h"
#include "link/LK.h"

#include <QGroupBox>
#include <QMap>
#include <QSet>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvid::test {
namespace {

const QString& kTitle = kWindowTitleKey;

bool looksGerman(const QString& text)
{
    return LooksGerman(text);
}

class FamilyLanguage : public ::testing::Test {
protected:
    FamilyLanguage()
    {
        EXPECT_FALSE(InstallShippedLanguage(tc).isEmpty());
        tc.ctx.frame = &frame;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
    }

    void choose(const char* name)
    {
        QString wanted = QString::fromLatin1(name);
        tc.language->SelectLanguageByCode(wanted);
        ASSERT_EQ(tc.language->LanguageName(), wanted);
    }

    QString english(const char* section, const char* key)
    {
        return ReadIni(tc.ctx.programDir + QStringLiteral("/ORVILANG.ENG"), QString::fromLatin1(section),
                       QString::fromLatin1(key), QString());
    }

    // German to English and back (see LanguageRoundTrip). Returns the German captions.
    QMap<QString, QString> roundTrip(QWidget* window, const std::function<void()>& setLanguage,
                                     const QSet<QString>& same)
    {
        return LanguageRoundTrip(*tc.language, window, setLanguage, same);
    }

    TestContext tc;
    FakeMainFrame frame;
    std::unique_ptr<LK> lk;
};

// ---- the system R window and its dialogs ------------------------------------------------------

TEST_F(FamilyLanguage, SystemRWindowSwitchesToEnglishAndBack)
{
    std::unique_ptr<frmSystemKR> window;
    lk->RegisterSystem(2, [&window] { return window.get(); });
    tc.state.CurrentSystem = 2;
    window = std::make_unique<frmSystemKR>(tc.ctx);
    window->Show();
    const QString noHead = window->frameHead->title();
    const QByteArray control = "ABCD", protection("\x2F\x20\x10\x03", 4); // bytes 1 to 4: 03 10 20 2F
    const QStringList germanLines = window->ConfigurationLines(control, protection);
    QStringList englishLines;

    const auto german = roundTrip(window.get(), [&] {
        window->SetLanguage();
        if (tc.language->LanguageIndex() == 0)
            return;
        // While English is current: the head frame without a head, the status prefix and
        // the configuration-word lines.
        EXPECT_EQ(window->frameHead->title(), english("frmSystemKR", "NoHead"));
        EXPECT_NE(window->frameHead->title(), noHead);
        EXPECT_EQ(window->Protocol().StatusPrefix, english("frmSystemKR", "ErrorStr"));
        englishLines = window->ConfigurationLines(control, protection);
    }, {kTitle, QStringLiteral("btFixcode")});
    EXPECT_TRUE(german.contains(QStringLiteral("lblPassword2")));
    EXPECT_TRUE(german.contains(QStringLiteral("btConfig1")));

    // The labels are padded so that the values of each word line up under one another.
    ASSERT_EQ(englishLines.size(), germanLines.size());
    QList<qsizetype> colons;
    for (int i = 0; i < englishLines.size(); ++i) {
        const QString& line = englishLines.at(i);
        if (!line.contains(QLatin1Char(':')))
            continue;
        EXPECT_NE(line, germanLines.at(i));
        EXPECT_FALSE(looksGerman(line)) << line.toStdString();
        colons << line.indexOf(QLatin1Char(':'));
    }
    ASSERT_EQ(colons.size(), 9); // five control-word and four protection-word lines
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(colons.at(i), colons.at(0)) << englishLines.join(QLatin1Char('\n')).toStdString();
    for (int i = 6; i < 9; ++i)
        EXPECT_EQ(colons.at(i), colons.at(5)) << englishLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(englishLines.contains(QStringLiteral("Read area start      : 44")));
    EXPECT_TRUE(englishLines.contains(QStringLiteral("Last write-protected word : 2F")));

    // And German is whole again.
    EXPECT_EQ(window->ConfigurationLines(control, protection), germanLines);
    EXPECT_EQ(window->frameHead->title(), noHead);
    EXPECT_EQ(window->Protocol().StatusPrefix, QStringLiteral("STATUS:"));
}

TEST_F(FamilyLanguage, SystemRStatusTextsAndMessagesHaveEnglishTexts)
{
    std::unique_ptr<frmSystemKR> window;
    lk->RegisterSystem(2, [&window] { return window.get(); });
    tc.state.CurrentSystem = 2;
    window = std::make_unique<frmSystemKR>(tc.ctx);
    window->Show();
    QMap<char, QString> german;
    for (char code : {'4', '5', '6', '7'})
        german.insert(code, window->Protocol().GetError(QByteArray(1, code)));
    choose("English");
    window->SetLanguage();
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        const QString line = window->Protocol().GetError(QByteArray(1, it.key()));
        EXPECT_NE(line, it.value()) << it.key();
        EXPECT_TRUE(line.startsWith(QStringLiteral("STATUS: ") + QLatin1Char(it.key()) + QStringLiteral(" - ")))
            << line.toStdString();
        EXPECT_FALSE(looksGerman(line)) << line.toStdString();
    }
    // The lines the telegram layer adds to the data list for refused input.
    for (const char* key : {"PasswordInvalid", "TooManyWords", "BeyondEnd", "Head", "NotAvailable"})
        EXPECT_FALSE(english("frmSystemKR", key).isEmpty()) << key;
    EXPECT_EQ(english("frmSystemKRWrite", "StandardOrvid"), QStringLiteral("Standard"));
}

TEST_F(FamilyLanguage, SystemRDialogsSwitchToEnglishAndBack)
{
    tc.state.CurrentSystem = 2;
    {
        frmSystemKRWrite dialog(tc.ctx);
        roundTrip(&dialog, [&] { dialog.SetLanguage(); },
                  {QStringLiteral("frameFixcode"), QStringLiteral("btOK")});
    }
    {
        frmConfigKR dialog(tc.ctx);
        const auto german = roundTrip(&dialog, [&] { dialog.SetLanguage(); },
                                      {QStringLiteral("frameControlWord"), QStringLiteral("frameProtectionWord")});
        EXPECT_TRUE(german.contains(QStringLiteral("lblWriteOnly1")));
        EXPECT_TRUE(german.contains(QStringLiteral("lblReadOnly1")));
        EXPECT_FALSE(german.contains(QStringLiteral("lblCONST18")));
    }
    {
        frmSystemHXWriteFixcode dialog(tc.ctx);
        roundTrip(&dialog, [&] { dialog.SetLanguage(); }, {QStringLiteral("frameFixcode")});
    }
}

// ---- the microwave system D window and its dialogs --------------------------------------------

class FamilyLanguageWD : public FamilyLanguage {
protected:
    FamilyLanguageWD() { RegisterSystemWD(tc.ctx); }
    frmSystemWD* window() { return dynamic_cast<frmSystemWD*>(lk->entry(6).main()); }
};

TEST_F(FamilyLanguageWD, SystemDWindowSwitchesToEnglishAndBack)
{
    frmSystemWD* w = window();
    ASSERT_NE(w, nullptr);
    w->Show();
    // No unit is attached: the poll step has nothing to ask.
    lk->EnablePolling(false);
    const QString noHead = w->frameHead->title();

    const auto german = roundTrip(w, [&] {
        w->SetLanguage();
        if (tc.language->LanguageIndex() == 0)
            return;
        EXPECT_EQ(w->frameHead->title(), english("frmSystemWD", "NoHead"));
        EXPECT_NE(w->frameHead->title(), noHead);
        EXPECT_EQ(w->protocol().ErrorText, english("frmSystemWD", "ErrorStr"));
    }, {kTitle, QStringLiteral("btScanStart"), QStringLiteral("btScanPause"), QStringLiteral("btCodeScan")});
    // Both clear buttons and the hidden scan frame were part of the walk.
    EXPECT_TRUE(german.contains(QStringLiteral("btClear0")));
    EXPECT_TRUE(german.contains(QStringLiteral("btClear1")));
    EXPECT_TRUE(german.contains(QStringLiteral("frameTagScan")));
    EXPECT_EQ(w->frameHead->title(), noHead);
    EXPECT_EQ(w->protocol().ErrorText, QStringLiteral("STATUS:"));
}

TEST_F(FamilyLanguageWD, EveryUnitStatusCodeHasAnEnglishText)
{
    frmSystemWD* w = window();
    ASSERT_NE(w, nullptr);
    w->Show();
    lk->EnablePolling(false);
    const QString unknown = WDProtocol::BuiltinErrorText("??");

    // Every code of the built-in table, found by trying all two-digit codes.
    QMap<QByteArray, QString> german;
    for (int value = 0; value < 256; ++value) {
        const QByteArray code = QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
        if (WDProtocol::BuiltinErrorText(code) != unknown)
            german.insert(code, w->protocol().ErrorLine("%00" + code + "\r", false));
    }
    ASSERT_GT(german.size(), 40);

    choose("English");
    w->SetLanguage();
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        const QString line = w->protocol().ErrorLine("%00" + it.key() + "\r", false);
        const std::string code = it.key().toStdString();
        EXPECT_NE(line, it.value()) << code << " has no English text";
        EXPECT_FALSE(looksGerman(line)) << code << ": " << line.toStdString();
        // Quoted names ("CR", station "0") survive the reader's removal of outer quotes.
        EXPECT_EQ(line.count(QLatin1Char('"')), it.value().count(QLatin1Char('"'))) << code << ": " << line.toStdString();
    }
    EXPECT_EQ(w->protocol().ErrorLine("%0074\r", false),
              QStringLiteral(" 74 - \"CR\" error between station number \"0\" and station number \"N\""));
    // A code outside the table keeps the built-in fallback in every language.
    EXPECT_EQ(w->protocol().ErrorLine("%0099\r", false), QStringLiteral(" 99 - ") + unknown);
}

TEST_F(FamilyLanguageWD, SystemDDialogsAndToolWindowsSwitchToEnglishAndBack)
{
    {
        frmSystemWDWrite dialog(tc.ctx);
        const auto german = roundTrip(&dialog, [&] { dialog.SetLanguage(); }, {QStringLiteral("btOk")});
        EXPECT_TRUE(german.contains(QStringLiteral("rdIDCode2")));
    }
    {
        frmSystemWDWriteIDCode dialog(tc.ctx);
        roundTrip(&dialog, [&] { dialog.SetLanguage(); }, {});
    }
    {
        frmSystemWDTagState dialog(tc.ctx);
        const auto german = roundTrip(&dialog, [&] { dialog.SetLanguage(); }, {QStringLiteral("btOk")});
        EXPECT_FALSE(german.contains(QStringLiteral("lblCBattery"))); // a device value
    }
    {
        frmSystemWDState state(tc.ctx);
        const auto german = roundTrip(&state, [&] { state.SetLanguage(); }, {});
        EXPECT_TRUE(german.contains(QStringLiteral("lblState6")));
    }
    {
        frmSystemWDIO outputs(tc.ctx);
        roundTrip(&outputs, [&] { outputs.SetLanguage(); }, {});
    }
}

} // namespace
} // namespace orvid::test
