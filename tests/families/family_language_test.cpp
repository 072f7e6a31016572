// The English language file shipped with the program against the windows of the system R
// and microwave system D families: choosing English changes every caption a window shows,
// choosing German again brings back the exact design texts, and the texts the windows and
// their telegram layers fetch by key (status codes, configuration labels, the no-head
// title) are all there. The captions are collected by walking the real windows, so a
// control added later without an entry in the file makes these tests fail.

#include "support/FakeShell.h"
#include "support/TestContext.h"

#include "families/kr/frmConfigKR.h"
#include "families/kr/frmSystemHXWriteFixcode.h"
#include "families/kr/frmSystemKR.h"
#include "families/kr/frmSystemKRWrite.h"
#include "families/wd/RegisterWD.h"
#include "families/wd/WDProtocol.h"
#include "families/wd/frmSystemWD.h"
#include "families/wd/frmSystemWDIO.h"
#include "families/wd/frmSystemWDState.h"
#include "families/wd/frmSystemWDTagState.h"
#include "families/wd/frmSystemWDWrite.h"
#include "families/wd/frmSystemWDWriteIDCode.h"
#include "foundations/IniFile.h"
#include "link/LK.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QSet>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

// Readable failure output for Qt strings.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace orvid::test {
namespace {

const QString kTitle = QStringLiteral("<title>");

QByteArray shippedEnglishFile()
{
    const QString path = QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../data/ORVILANG.ENG"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool insideComposite(const QWidget* w, const QWidget* window)
{
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget()) {
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractItemView*>(p)
            || qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QLineEdit*>(p))
            return true;
    }
    return false;
}

// The captions a window shows, keyed by control name plus its array index, and the title
// under kTitle. Hidden controls count as well: a frame shown later (the scan slots, the
// password frame) must be in the language too. Controls tagged "NOLANG" and the "lblCONST"
// marks keep their text by design; a frame without a caption shows nothing. A control
// with text but without a name could never be translated, so it is reported.
QMap<QString, QString> captionsOf(QWidget* window)
{
    QMap<QString, QString> captions;
    captions.insert(kTitle, window->windowTitle());
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(w))
            text = frame->title();
        else
            continue;
        const QString name = w->objectName();
        if (insideComposite(w, window) || name.startsWith(QLatin1String("qt_")))
            continue;
        if (w->property("langTag").toString() == QLatin1String("NOLANG") || name.startsWith(QLatin1String("lblCONST")))
            continue;
        if (text.isEmpty())
            continue;
        if (name.isEmpty()) {
            ADD_FAILURE() << "a control without a name shows \"" << text.toStdString() << '"';
            continue;
        }
        const QVariant index = w->property("ctrlIndex");
        const QString key = index.isValid() ? name + QString::number(index.toInt()) : name;
        EXPECT_FALSE(captions.contains(key)) << "two controls answer to " << key.toStdString();
        captions.insert(key, text);
    }
    return captions;
}

bool looksGerman(const QString& text)
{
    for (const QChar c : {QChar(0xE4), QChar(0xF6), QChar(0xFC), QChar(0xC4), QChar(0xD6), QChar(0xDC), QChar(0xDF)}) {
        if (text.contains(c))
            return true;
    }
    return false;
}

class FamilyLanguage : public ::testing::Test {
protected:
    FamilyLanguage()
    {
        const QByteArray file = shippedEnglishFile();
        EXPECT_FALSE(file.isEmpty());
        tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"), file);
        tc.language->LoadLanguageList();
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

    // German (the window's first texts) to English and back. Every caption changes except
    // those listed in same, which read the same in both languages; German restores each
    // design text exactly. Returns the German captions.
    QMap<QString, QString> roundTrip(QWidget* window, const std::function<void()>& setLanguage,
                                     const QSet<QString>& same)
    {
        const QMap<QString, QString> german = captionsOf(window);
        choose("English");
        setLanguage();
        const QMap<QString, QString> translated = captionsOf(window);
        EXPECT_EQ(translated.keys(), german.keys()) << window->objectName().toStdString();
        for (auto it = german.cbegin(); it != german.cend(); ++it) {
            const QString now = translated.value(it.key());
            const std::string where = window->objectName().toStdString() + ' ' + it.key().toStdString();
            if (same.contains(it.key()))
                EXPECT_EQ(now, it.value()) << where;
            else
                EXPECT_NE(now, it.value()) << where << " has no English text";
            EXPECT_FALSE(looksGerman(now)) << where << ": " << now.toStdString();
        }
        for (const QString& key : same)
            EXPECT_TRUE(german.contains(key)) << "listed but not shown: " << key.toStdString();

        choose("Deutsch");
        setLanguage();
        EXPECT_EQ(captionsOf(window), german) << window->objectName().toStdString();
        return german;
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
    }, {kTitle, QStringLiteral("btFixcode"), QStringLiteral("rdDataMode0"), QStringLiteral("rdDataMode1"),
        QStringLiteral("rdDataMode2")});
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
