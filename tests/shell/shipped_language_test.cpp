// The English language file shipped with the program against the shell's own windows and
// dialogs: choosing English changes every caption, list entry and menu entry a window
// shows (but the few that read the same in both languages), choosing German again brings
// back the exact design texts, and the texts fetched by key alone are in the file.

#include "support/FakeShell.h"
#include "support/LanguageWalk.h"
#include "support/TestContext.h"

#include "foundations/IniFile.h"
#include "foundations/SystemError.h"
#include "link/CommPort.h"
#include "link/LK.h"
#include "shell/Toolbar.h"
#include "shell/frmCommand.h"
#include "shell/frmLKInfo.h"
#include "shell/frmMain.h"
#include "shell/frmMonitor.h"
#include "shell/frmNetworkConnect.h"
#include "shell/frmNetworkOptions.h"
#include "shell/frmOptions.h"
#include "shell/frmPortOptions.h"
#include "shell/frmSplash.h"
#include "shell/frmState.h"

#include <QComboBox>
#include <QLabel>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace orvid::test {
namespace {

const CaptionWalk kEverything{true, true};

QSet<QString> listItems(const char* name, int count)
{
    QSet<QString> keys;
    for (int i = 0; i < count; ++i)
        keys << QString::fromLatin1(name) + u'[' + QString::number(i) + u']';
    return keys;
}

class ShippedLanguage : public ::testing::Test {
protected:
    ShippedLanguage()
    {
        file = InstallShippedLanguage(tc);
        EXPECT_FALSE(file.isEmpty());
        tc.ctx.frame = &frame;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
    }

    QString english(const char* section, const char* key) const
    {
        return ReadIni(tc.ctx.programDir + QStringLiteral("/ORVILANG.ENG"), QString::fromLatin1(section),
                       QString::fromLatin1(key), QString());
    }

    QMap<QString, QString> roundTrip(QWidget* window, const std::function<void()>& setLanguage,
                                     const QSet<QString>& same)
    {
        return LanguageRoundTrip(*tc.language, window, setLanguage, same, kEverything);
    }

    QByteArray file;
    TestContext tc;
    FakeMainFrame frame;
    std::unique_ptr<LK> lk;
};

TEST_F(ShippedLanguage, FileIsEightBitWithCrLfLines)
{
    ASSERT_FALSE(file.isEmpty());
    // Every line ends in CR LF and no byte sequence is UTF-8 (the file is Windows-1252).
    EXPECT_EQ(file.count("\r\n"), file.count('\n'));
    EXPECT_EQ(file.count('\r'), file.count('\n'));
    EXPECT_FALSE(file.contains("\xC3"));
    EXPECT_EQ(english("ORVID", "Language"), QStringLiteral("English"));
}

TEST_F(ShippedLanguage, MainWindowMenusStatusAndToolbar)
{
    frmMain window(tc.ctx);
    window.toolbar()->InitToolbar();
    for (int i = 0; i < Toolbar::kButtonCount; ++i)
        window.toolbar()->SetButtonPicture(i, frmMain::DefaultTooltips().at(i));
    window.SetLanguage();
    QStringList germanTips;
    for (int i = 0; i < Toolbar::kButtonCount; ++i)
        germanTips << window.toolbar()->record(i).ToolTipText;
    QStringList englishTips;

    // The family entries carry product names; the port label shows the device.
    QSet<QString> same = {QStringLiteral("lblPort"), QStringLiteral("mnInfo"),
                          QStringLiteral("mnOrvidSystem1"), QStringLiteral("mnOrvidSystem2"),
                          QStringLiteral("mnOrvidSystem3"), QStringLiteral("mnOrvidSystem4"),
                          QStringLiteral("mnOrvidSystem5"), QStringLiteral("mnOrvidControl0"),
                          QStringLiteral("mnOrvidControl1"), QStringLiteral("mnOrvidSystemKR3"),
                          QStringLiteral("mnOrvidSystemKR4"), QStringLiteral("mnOrvidSystemKD1"),
                          QStringLiteral("mnOrvidSystemKD2"), QStringLiteral("mnOrvidSystemL1"),
                          QStringLiteral("mnOrvidSystemL2"), QStringLiteral("mnOrvidSystemL3")};
    const auto german = roundTrip(&window, [&] {
        window.SetLanguage();
        if (tc.language->LanguageIndex() != 0) {
            englishTips.clear();
            for (int i = 0; i < Toolbar::kButtonCount; ++i)
                englishTips << window.toolbar()->record(i).ToolTipText;
        }
    }, same);
    EXPECT_TRUE(german.contains(QStringLiteral("mnContents")));
    EXPECT_TRUE(german.contains(QStringLiteral("lblOrvidSystem")));

    // Tooltips 0 and 1 are words; 2 to 5 are product names; 6 has no key at all.
    ASSERT_EQ(englishTips.size(), Toolbar::kButtonCount);
    EXPECT_NE(englishTips.at(0), germanTips.at(0));
    EXPECT_NE(englishTips.at(1), germanTips.at(1));
    for (int i = 0; i <= 5; ++i)
        EXPECT_EQ(englishTips.at(i), english("frmMain", qPrintable(QStringLiteral("Tooltip%1").arg(i)))) << i;
    EXPECT_EQ(englishTips.at(6), germanTips.at(6));
    QStringList back;
    for (int i = 0; i < Toolbar::kButtonCount; ++i)
        back << window.toolbar()->record(i).ToolTipText;
    EXPECT_EQ(back, germanTips);

    // Texts fetched by key when they are needed.
    for (const char* key : {"PortFailed", "HelpFailed"})
        EXPECT_TRUE(english("frmMain", key).contains(QStringLiteral("%s"))) << key;
    EXPECT_TRUE(english("Network", "NoConnection").contains(QStringLiteral("<%s>")));
    for (const char* key : {"HostNotFound", "LookupFailed", "ClosedByPeer"})
        EXPECT_FALSE(english("Network", key).isEmpty()) << key;
    // Every reason of the serial port has its text, naming what the German one names.
    QString name = QStringLiteral("English");
    tc.language->SelectLanguageByCode(name);
    for (int kind = CommPort::Failure::NoPortName; kind <= CommPort::Failure::Disappeared; ++kind) {
        const CommPort::Failure failure{CommPort::Failure::Kind(kind), QStringLiteral("/dev/ttyX9"), QStringLiteral("9600,e,7,2"), EIO};
        const QString german = CommPort::FailureText(failure);
        const QString text = CommPort::FailureText(failure, tc.language.get());
        EXPECT_NE(text, german) << kind;
        EXPECT_EQ(text.contains(failure.device), german.contains(failure.device)) << qPrintable(text);
        EXPECT_EQ(text.contains(failure.settings), german.contains(failure.settings)) << qPrintable(text);
    }
    for (int error = 1; error < 256; ++error) {
        const QString key = SystemErrorKey(error);
        if (!key.isEmpty()) {
            EXPECT_FALSE(english("SystemErrors", qPrintable(key)).isEmpty()) << qPrintable(key);
        } else {
            // A number without a text of its own still says what happened, in either language.
            const QString description = QString::fromLocal8Bit(std::strerror(error));
            EXPECT_EQ(tc.language->SystemErrorText(error),
                      QStringLiteral("System error %1 (%2)").arg(error).arg(description));
            EXPECT_EQ(SystemErrorText(error), QStringLiteral("Systemfehler %1 (%2)").arg(error).arg(description));
        }
    }
    EXPECT_TRUE(english("ctrlTitleBar", "OpenError").contains(QStringLiteral("<%s>")));
}

TEST_F(ShippedLanguage, ToolWindows)
{
    {
        frmMonitor monitor(tc.ctx);
        monitor.Show();
        // "Port Monitor" is the name in both languages. A save into a folder that is not
        // there says what the system said in each.
        QStringList saveErrors;
        roundTrip(&monitor, [&] {
            monitor.SetLanguage();
            monitor.SaveTo(tc.ctx.programDir + QStringLiteral("/missing/x.log"));
            saveErrors << tc.presenter.requests.last().args;
        }, {kWindowTitleKey});
        EXPECT_EQ(saveErrors, QStringList({QStringLiteral("2 - The file or folder could not be found"),
                                           QStringLiteral("2 - Die Datei oder das Verzeichnis konnte nicht gefunden werden")}));
        monitor.Unload();
    }
    {
        frmCommand command(tc.ctx);
        command.Show();
        // The command-list button shows a letter only.
        const auto german = roundTrip(&command, [&] { command.SetLanguage(); }, {QStringLiteral("btCommand")});
        EXPECT_TRUE(german.contains(QStringLiteral("lblSensor")));
        command.Unload();
    }
}

TEST_F(ShippedLanguage, OptionDialogs)
{
    {
        frmOptions dialog(tc.ctx);
        // The language list and its frame read the same in every language by design.
        roundTrip(&dialog, [&] { dialog.SetLanguage(); },
                  QSet<QString>{QStringLiteral("btOK"), QStringLiteral("frameSprache")} | listItems("cmbLanguage", 2));
    }
    {
        frmPortOptions dialog(tc.ctx);
        // Numbers stay numbers; "Hardware" is one word in both languages.
        const auto german = roundTrip(&dialog, [&] { dialog.SetLanguage(); },
                                      QSet<QString>{QStringLiteral("btOK"), QStringLiteral("cmbProtocol[1]")}
                                          | listItems("cmbBaud", 8) | listItems("cmbDatabits", 2)
                                          | listItems("cmbStopbits", 2));
        EXPECT_EQ(german.value(QStringLiteral("cmbParity[2]")), QStringLiteral("Ungerade"));
        EXPECT_FALSE(german.contains(QStringLiteral("cmbPort[0]"))); // the user's device names
    }
    {
        frmNetworkOptions dialog(tc.ctx);
        roundTrip(&dialog, [&] { dialog.SetLanguage(); }, {QStringLiteral("btOK")});
    }
}

TEST_F(ShippedLanguage, BoxesAndTheAboutBox)
{
    {
        frmState box(tc.ctx);
        // The status line shows what SetStatus gives it.
        roundTrip(&box, [&] { box.SetLanguage(); }, {QStringLiteral("lblState")});
    }
    {
        frmLKInfo box(tc.ctx);
        box.Load(QStringLiteral("ORVID-M System D"), QStringLiteral("QRS"), QStringLiteral("1.0"));
        // The caption is the system's name; "Version" and "OK" are the same words.
        roundTrip(&box, [&] { box.SetLanguage(); },
                  {kWindowTitleKey, QStringLiteral("lblVersion"), QStringLiteral("btOk"), QStringLiteral("lbTyp")});
    }
    {
        frmAbout box(tc.ctx);
        // Name, number and maker line are filled in, not translated.
        roundTrip(&box, [&] { box.SetLanguage(); },
                  {QStringLiteral("lblVersion"), QStringLiteral("btOk"), QStringLiteral("lblProgram"),
                   QStringLiteral("lblVersionNum"), QStringLiteral("lblValdrecht")});
    }
    {
        // The connecting box is never translated: it keeps its design texts in English.
        frmNetworkConnect box(tc.ctx);
        roundTrip(&box, [] {}, {kWindowTitleKey, QStringLiteral("lblState"), QStringLiteral("btCancel")});
    }
}

} // namespace
} // namespace orvid::test
