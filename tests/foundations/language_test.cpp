// Language list, window translation on real widgets and numbered messages.
#include "support/TestContext.h"

#include "foundations/IniFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QSerialPort>
#include <QTranslator>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace orvid;
using orvid::test::TestContext;

namespace {

// An English language file as Windows-1252 bytes with CR LF line ends.
QByteArray EnglishFile()
{
    return QByteArrayLiteral(
        "[ORVID]\r\n"
        "Language=English\r\n"
        "Help=ORVIDENG.HLP\r\n"
        "[Errors]\r\n"
        "1=No ORVID system found!\r\n"
        "Default=Program error! Error number\r\n"
        "[frmMessage]\r\n"
        "frmMessage=Orvid service\r\n"
        "[frmTest]\r\n"
        "frmTest=Test window\r\n"
        "lblPort=Port\r\n"
        "lblCONSTName=Never\r\n"
        "lblFixed=Never either\r\n"
        "btOK=OK|Accept the settings\r\n"
        "btCancel=Cancel\r\n"
        "chkDynamic=Dynamic\r\n"
        "cmbMode0=Text\r\n"
        "cmbMode1=Hexadecimal\r\n"
        "cmbArr10=first\r\n"
        "cmbArr11=second\r\n"
        "cmbArr0=wrong key\r\n"
        "fraMode=Mode\r\n"
        "tabPages1=General\r\n"
        "tabPages2=Extended|More settings\r\n"
        "lvData1=Address\r\n"
        "lvData2=Value\r\n"
        "mnFile=&File\r\n"
        "mnExit=E&xit\r\n"
        "lblChild=belongs to the dialog\r\n"
        "lblUml=K\xe4se\r\n");
}

QByteArray FrenchFile()
{
    return QByteArrayLiteral("[ORVID]\r\nLanguage=Fran\xe7" "ais\r\n[frmTest]\r\nlblPort=Interface\r\n");
}

// A window with one control of every translatable kind, plus a few that must be left
// alone.
struct TestWindow {
    QWidget window;
    QLabel* lblPort;
    QLabel* lblCONSTName;
    QLabel* lblFixed;
    QLabel* lblUml;
    QPushButton* btOK;
    QPushButton* btCancel;
    QCheckBox* chkDynamic;
    QComboBox* cmbMode;
    QComboBox* cmbArr;
    QGroupBox* fraMode;
    QTabWidget* tabPages;
    QTreeWidget* lvData;
    QMenu* mnFile;
    QAction* mnExit;
    QDialog* dialog;
    QLabel* lblChild;

    TestWindow()
    {
        window.setObjectName(QStringLiteral("frmTest"));
        window.setWindowTitle(QStringLiteral("Testfenster"));
        auto make = [](auto* w, const char* name) {
            w->setObjectName(QLatin1String(name));
            return w;
        };
        lblPort = make(new QLabel(QStringLiteral("Schnittstelle"), &window), "lblPort");
        lblCONSTName = make(new QLabel(QStringLiteral("ORVID"), &window), "lblCONSTName");
        lblFixed = make(new QLabel(QStringLiteral("fest"), &window), "lblFixed");
        lblFixed->setProperty("langTag", QStringLiteral("NOLANG"));
        lblUml = make(new QLabel(QStringLiteral("Kaese"), &window), "lblUml");
        btOK = make(new QPushButton(QStringLiteral("&OK"), &window), "btOK");
        btOK->setToolTip(QStringLiteral("Einstellungen übernehmen"));
        btCancel = make(new QPushButton(QStringLiteral("Abbruch"), &window), "btCancel");
        btCancel->setToolTip(QStringLiteral("Verwerfen"));
        chkDynamic = make(new QCheckBox(QStringLiteral("Dynamisch"), &window), "chkDynamic");
        cmbMode = make(new QComboBox(&window), "cmbMode");
        cmbMode->addItems({QStringLiteral("Text"), QStringLiteral("Hexadezimal")});
        cmbArr = make(new QComboBox(&window), "cmbArr");
        cmbArr->setProperty("ctrlIndex", 1);
        cmbArr->addItems({QStringLiteral("erste"), QStringLiteral("zweite")});
        fraMode = make(new QGroupBox(QStringLiteral("Modus"), &window), "fraMode");
        tabPages = make(new QTabWidget(&window), "tabPages");
        tabPages->addTab(new QWidget, QStringLiteral("Allgemein"));
        tabPages->addTab(new QWidget, QStringLiteral("Erweitert"));
        lvData = make(new QTreeWidget(&window), "lvData");
        lvData->setHeaderLabels({QStringLiteral("Adresse"), QStringLiteral("Wert")});
        mnFile = make(new QMenu(QStringLiteral("&Datei"), &window), "mnFile");
        mnExit = make(mnFile->addAction(QStringLiteral("&Beenden")), "mnExit");
        // A dialog owned by the window: its controls belong to it, not to frmTest.
        dialog = make(new QDialog(&window), "frmChild");
        lblChild = make(new QLabel(QStringLiteral("Kind"), dialog), "lblChild");
    }
};

class LanguageTest : public ::testing::Test {
protected:
    TestContext t;
    Language& lang() { return *t.language; }
    void select(const QString& name)
    {
        QString n = name;
        lang().SelectLanguageByCode(n);
        ASSERT_EQ(lang().LanguageName(), name);
    }
};

} // namespace

TEST_F(LanguageTest, WithoutFilesOnlyTheBuiltInGermanIsListed)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.XXX"), "[ORVID]\r\nHelp=X.HLP\r\n[frmTest]\r\nlblPort=x\r\n");
    lang().LoadLanguageList();
    EXPECT_EQ(lang().LanguageCount(), 1);
    EXPECT_EQ(lang().GetLanguageName(0), QStringLiteral("Deutsch"));
    EXPECT_EQ(lang().GetLanguageName(1), QString());
    EXPECT_EQ(lang().GetLanguageName(-1), QStringLiteral("Deutsch"));
    EXPECT_EQ(lang().LanguageFile(), QString());
    EXPECT_EQ(lang().helpFile(), t.ctx.programDir + QStringLiteral("/ORVIDGER.HLP"));
    EXPECT_EQ(lang().Translate(QStringLiteral("frmTest"), QStringLiteral("lblPort"), QStringLiteral("dflt")),
              QStringLiteral("dflt"));
}

TEST_F(LanguageTest, ListsFilesInNameOrderAndSelectsByName)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.FRA"), FrenchFile());
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    t.writeProgramFile(QStringLiteral("ORVILANG.NON"), "[Other]\r\nLanguage=Nope\r\n");
    t.writeProgramFile(QStringLiteral("README.TXT"), "[ORVID]\r\nLanguage=Readme\r\n");
    lang().LoadLanguageList();

    ASSERT_EQ(lang().LanguageCount(), 3);
    EXPECT_EQ(lang().GetLanguageName(0), QStringLiteral("Deutsch"));
    EXPECT_EQ(lang().GetLanguageName(1), QStringLiteral("English"));
    EXPECT_EQ(lang().GetLanguageName(2), QString::fromLatin1("Fran\xe7" "ais"));
    EXPECT_EQ(lang().GetLanguageName(3), QString());
    EXPECT_EQ(lang().LanguageIndex(), 0);

    // No file declares "GER": the current language stays.
    QString name = QStringLiteral("GER");
    lang().SelectLanguageByCode(name);
    EXPECT_EQ(lang().LanguageIndex(), 0);

    name = QStringLiteral("english"); // exact comparison
    lang().SelectLanguageByCode(name);
    EXPECT_EQ(lang().LanguageIndex(), 0);

    name = QStringLiteral("English");
    lang().SelectLanguageByCode(name);
    EXPECT_EQ(lang().LanguageIndex(), 1);
    EXPECT_EQ(lang().LanguageFile(), t.ctx.programDir + QStringLiteral("/ORVILANG.ENG"));
    EXPECT_EQ(lang().helpFile(), t.ctx.programDir + QStringLiteral("/ORVIDENG.HLP"));

    QString asked;
    lang().SelectLanguageByCode(asked);
    EXPECT_EQ(asked, QStringLiteral("English"));
    int16_t index = -1;
    lang().SelectLanguage(index);
    EXPECT_EQ(index, 1);

    // The French file names no help file: it inherits the German one.
    index = 2;
    lang().SelectLanguage(index);
    EXPECT_EQ(lang().helpFile(), t.ctx.programDir + QStringLiteral("/ORVIDGER.HLP"));
    EXPECT_EQ(lang().Translate(QStringLiteral("frmTest"), QStringLiteral("LBLPORT"), QString()),
              QStringLiteral("Interface"));

    // A stale index outside the list changes nothing.
    index = 7;
    lang().SelectLanguage(index);
    EXPECT_EQ(lang().LanguageIndex(), 2);

    index = 0;
    lang().SelectLanguage(index);
    EXPECT_EQ(lang().Translate(QStringLiteral("frmTest"), QStringLiteral("lblPort"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST_F(LanguageTest, QtsOwnTextsFollowTheSelectedLanguage)
{
    QTranslator probe;
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!probe.load(QStringLiteral("qtbase_de"), dir) || !probe.load(QStringLiteral("qtserialport_de"), dir))
        GTEST_SKIP() << "Qt's German translation is not installed in " << dir.toStdString();
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    // The serial port's own texts, which the status bar shows when a port fails.
    const auto notOpen = [] {
        QSerialPort port;
        port.clear();
        return port.errorString();
    };
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    t.writeProgramFile(QStringLiteral("ORVILANG.XYZ"), "[ORVID]\r\nLanguage=Klingonisch\r\n");
    lang().LoadLanguageList();

    // Loading the list selects the built-in German.
    EXPECT_EQ(cancel(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(notOpen(), QStringLiteral("Gerät nicht geöffnet"));
    EXPECT_TRUE(QFileInfo(lang().QtTranslationFile()).fileName().startsWith(QStringLiteral("qtbase_de")));
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Retry);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));

    // English has Qt's own texts; a language Qt does not know leaves them English too;
    // back to German, and German again does not install a second translation.
    for (const char* name : {"English", "Klingonisch", "Deutsch", "Deutsch"}) {
        select(QString::fromLatin1(name));
        const bool german = lang().LanguageIndex() == 0;
        EXPECT_EQ(cancel(), german ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel")) << name;
        EXPECT_EQ(notOpen(), german ? QStringLiteral("Gerät nicht geöffnet") : QStringLiteral("Device is not open")) << name;
        EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::No).buttons().first()->text(),
                  german ? QStringLiteral("&Nein") : QStringLiteral("&No")) << name;
    }

    // A translation leaves with its language object.
    select(QStringLiteral("English"));
    {
        TestContext other;
        other.language->LoadLanguageList();
        EXPECT_EQ(cancel(), QStringLiteral("Abbrechen"));
    }
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
    EXPECT_EQ(notOpen(), QStringLiteral("Device is not open"));
}

TEST_F(LanguageTest, WindowSwitchesBackAndForthFromItsGermanTexts)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    lang().LoadLanguageList();
    TestWindow w;

    // German first: texts stay as designed, and are kept as defaults.
    lang().ApplyWindowLanguage(&w.window);
    EXPECT_EQ(w.lblPort->text(), QStringLiteral("Schnittstelle"));
    EXPECT_EQ(w.btOK->property("langTag").toString(), QStringLiteral("&OK|Einstellungen übernehmen"));
    EXPECT_EQ(w.cmbMode->property("langTag").toString(), QStringLiteral("Text|Hexadezimal|"));

    for (int round = 0; round < 2; ++round) {
        select(QStringLiteral("English"));
        lang().ApplyWindowLanguage(&w.window);
        EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Test window"));
        EXPECT_EQ(w.lblPort->text(), QStringLiteral("Port"));
        EXPECT_EQ(w.lblUml->text(), QString::fromUtf8("Käse"));
        EXPECT_EQ(w.btOK->text(), QStringLiteral("OK"));
        EXPECT_EQ(w.btOK->toolTip(), QStringLiteral("Accept the settings"));
        // A text without "|" leaves the tooltip as it was.
        EXPECT_EQ(w.btCancel->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(w.btCancel->toolTip(), QStringLiteral("Verwerfen"));
        EXPECT_EQ(w.chkDynamic->text(), QStringLiteral("Dynamic"));
        EXPECT_EQ(w.cmbMode->itemText(0), QStringLiteral("Text"));
        EXPECT_EQ(w.cmbMode->itemText(1), QStringLiteral("Hexadecimal"));
        EXPECT_EQ(w.cmbArr->itemText(0), QStringLiteral("first"));
        EXPECT_EQ(w.cmbArr->itemText(1), QStringLiteral("second"));
        EXPECT_EQ(w.fraMode->title(), QStringLiteral("Mode"));
        EXPECT_EQ(w.tabPages->tabText(0), QStringLiteral("General"));
        EXPECT_EQ(w.tabPages->tabText(1), QStringLiteral("Extended"));
        EXPECT_EQ(w.tabPages->tabToolTip(1), QStringLiteral("More settings"));
        EXPECT_EQ(w.lvData->headerItem()->text(0), QStringLiteral("Address"));
        EXPECT_EQ(w.lvData->headerItem()->text(1), QStringLiteral("Value"));
        EXPECT_EQ(w.mnFile->title(), QStringLiteral("&File"));
        EXPECT_EQ(w.mnExit->text(), QStringLiteral("E&xit"));
        // Excluded controls and the dialog's own controls keep their texts.
        EXPECT_EQ(w.lblCONSTName->text(), QStringLiteral("ORVID"));
        EXPECT_EQ(w.lblFixed->text(), QStringLiteral("fest"));
        EXPECT_EQ(w.lblChild->text(), QStringLiteral("Kind"));

        select(QStringLiteral("Deutsch"));
        lang().ApplyWindowLanguage(&w.window);
        EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Testfenster"));
        EXPECT_EQ(w.lblPort->text(), QStringLiteral("Schnittstelle"));
        EXPECT_EQ(w.lblUml->text(), QStringLiteral("Kaese"));
        EXPECT_EQ(w.btOK->text(), QStringLiteral("&OK"));
        EXPECT_EQ(w.btOK->toolTip(), QStringLiteral("Einstellungen übernehmen"));
        EXPECT_EQ(w.cmbMode->itemText(1), QStringLiteral("Hexadezimal"));
        EXPECT_EQ(w.cmbArr->itemText(0), QStringLiteral("erste"));
        EXPECT_EQ(w.tabPages->tabText(1), QStringLiteral("Erweitert"));
        EXPECT_EQ(w.lvData->headerItem()->text(0), QStringLiteral("Adresse"));
        EXPECT_EQ(w.mnExit->text(), QStringLiteral("&Beenden"));
    }
}

TEST_F(LanguageTest, ItemsAddedAfterTheTextsWereKeptAreNotBlanked)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    lang().LoadLanguageList();
    TestWindow w;
    lang().ApplyWindowLanguage(&w.window);
    w.cmbMode->addItem(QStringLiteral("Dezimal"));
    select(QStringLiteral("English"));
    lang().ApplyWindowLanguage(&w.window);
    EXPECT_EQ(w.cmbMode->itemText(1), QStringLiteral("Hexadecimal"));
    EXPECT_EQ(w.cmbMode->itemText(2), QStringLiteral("Dezimal"));
}

TEST_F(LanguageTest, ChildWindowsInsideTheMainWindowKeepTheirOwnTexts)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                       "[ORVID]\r\nLanguage=English\r\n"
                       "[frmMain]\r\nlblPort=Port\r\nbtSend=WRONG\r\n"
                       "[frmCommand]\r\nbtSend=Send\r\n");
    lang().LoadLanguageList();
    select(QStringLiteral("English"));

    QMainWindow main;
    main.setObjectName(QStringLiteral("frmMain"));
    auto* area = new QMdiArea(&main);
    main.setCentralWidget(area);
    auto* port = new QLabel(QStringLiteral("Schnittstelle"));
    port->setObjectName(QStringLiteral("lblPort"));
    main.statusBar()->addWidget(port);
    auto* command = new QWidget;
    command->setObjectName(QStringLiteral("frmCommand"));
    command->setWindowTitle(QStringLiteral("Befehl"));
    auto* send = new QPushButton(QStringLiteral("Senden"), command);
    send->setObjectName(QStringLiteral("btSend"));
    area->addSubWindow(command);

    lang().ApplyWindowLanguage(&main);
    EXPECT_EQ(port->text(), QStringLiteral("Port"));
    EXPECT_EQ(send->text(), QStringLiteral("Senden"));
    lang().ApplyWindowLanguage(command);
    EXPECT_EQ(send->text(), QStringLiteral("Send"));
    // A window without a caption is marked and never gets one.
    EXPECT_EQ(main.property("langTag").toString(), QStringLiteral("NOLANG"));
}

TEST_F(LanguageTest, ListTextsAreKeptAndTranslatedByPosition)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                       "[ORVID]\r\nLanguage=English\r\n[frmX]\r\ncmbCode1=Second\r\n");
    lang().LoadLanguageList();
    QComboBox combo;
    combo.setObjectName(QStringLiteral("cmbCode"));
    combo.addItems({QStringLiteral("Erste"), QStringLiteral("Zweite")});
    QStringList texts;
    lang().StoreListTexts(&combo, texts);
    EXPECT_EQ(texts, (QStringList{QString(), QStringLiteral("Erste"), QStringLiteral("Zweite")}));
    select(QStringLiteral("English"));
    lang().TranslateListTexts(QStringLiteral("frmX"), &combo, texts);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("Erste"));
    EXPECT_EQ(combo.itemText(1), QStringLiteral("Second"));
}

TEST_F(LanguageTest, MessageTextsComeFromTheFileElseBuiltIn)
{
    EXPECT_EQ(lang().GetMessageText(1), QStringLiteral("Das Programm konnte kein Orvidsystem detektieren!"));
    EXPECT_EQ(lang().GetMessageText(6), QStringLiteral("Fehler beim Schreiben der Logdatei!\\n\\n%s"));
    EXPECT_EQ(lang().GetMessageText(60),
              QStringLiteral("Das neue und das wiederholte Passwort stimmen nicht überein!\r\n"
                             "Bitte überprüfen Sie Ihre Eingabe."));
    EXPECT_EQ(lang().GetMessageText(999), QString());

    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    lang().LoadLanguageList();
    select(QStringLiteral("English"));
    EXPECT_EQ(lang().GetMessageText(1), QStringLiteral("No ORVID system found!"));
    EXPECT_EQ(lang().GetMessageText(2),
              QStringLiteral("Fehler bei der Initialisierung der seriellen Schnittstelle!"));
}

TEST_F(LanguageTest, ShowMessageFillsArgumentsAndBreaksLines)
{
    t.presenter.answers = {Msg::No};
    const int result = lang().ShowMessage(7, Msg::YesNo | Msg::DefaultButton2, 0,
                                          QStringLiteral("10.0.0.5:10001|Zeitüberschreitung|extra"));
    EXPECT_EQ(result, Msg::No);
    ASSERT_EQ(t.presenter.requests.size(), 1);
    const MessageRequest& r = t.presenter.requests.at(0);
    EXPECT_EQ(r.number, 7);
    EXPECT_EQ(r.title, QStringLiteral("Orvid"));
    EXPECT_EQ(r.text, QStringLiteral("Fehler beim Herstellen der Verbinung zu <10.0.0.5:10001>.\r\n"
                                     "Fehler: Zeitüberschreitung"));
    EXPECT_EQ(r.buttons, Msg::YesNo | Msg::DefaultButton2);
    EXPECT_EQ(r.helpContext, 0);

    // Two CRs before the file name; icon bits a caller passes along are not added up.
    lang().ShowMessage(6, 36, 0, QStringLiteral("/tmp/monitor.log"));
    EXPECT_EQ(t.presenter.requests.at(1).text,
              QStringLiteral("Fehler beim Schreiben der Logdatei!\r\r/tmp/monitor.log"));
    EXPECT_EQ(t.presenter.requests.at(1).buttons, Msg::YesNo);

    // Without arguments the placeholders stay; a missing argument becomes empty.
    lang().ShowMessage(52);
    EXPECT_EQ(t.presenter.requests.at(2).text, QStringLiteral("Fixcode %s aus der Datenbank löschen?"));
    lang().ShowMessage(81, 0, 0, QStringLiteral("Wert|1"));
    EXPECT_EQ(t.presenter.requests.at(3).text,
              QStringLiteral("Der Wert der Variable <Wert> muss im Bereich von 1 bis  liegen."));

    // A number without a text shows the default text with the number.
    lang().ShowMessage(999, 0, 1090);
    EXPECT_EQ(t.presenter.requests.at(4).text, QStringLiteral("Programmfehler! Fehlernummer 999"));
    EXPECT_EQ(t.presenter.requests.at(4).helpContext, 1090);
    EXPECT_EQ(t.presenter.requests.at(4).helpFile, t.ctx.programDir + QStringLiteral("/ORVIDGER.HLP"));
}

TEST_F(LanguageTest, ShowMessageTakesTitleAndDefaultFromTheLanguageFile)
{
    t.writeProgramFile(QStringLiteral("ORVILANG.ENG"), EnglishFile());
    lang().LoadLanguageList();
    select(QStringLiteral("English"));
    lang().ShowMessage(1);
    lang().ShowMessage(12345);
    ASSERT_EQ(t.presenter.requests.size(), 2);
    EXPECT_EQ(t.presenter.requests.at(0).title, QStringLiteral("Orvid service"));
    EXPECT_EQ(t.presenter.requests.at(0).text, QStringLiteral("No ORVID system found!"));
    EXPECT_EQ(t.presenter.requests.at(1).text, QStringLiteral("Program error! Error number 12345"));
}

namespace {

// Runs the real presenter; once its box is up, records what it shows and presses the
// button at position press (or closes the box with Escape when press is -1).
struct ShownBox {
    QString text;
    QStringList buttons;
    QString defaultButton;
    bool questionIcon = false;
    QString title;
};

int PresentAndPress(const MessageRequest& request, int press, ShownBox& shown)
{
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown.text = box->text();
        shown.title = box->windowTitle();
        shown.questionIcon = box->icon() == QMessageBox::Question;
        for (QAbstractButton* b : box->buttons())
            shown.buttons << b->text().remove(QLatin1Char('&'));
        if (box->defaultButton())
            shown.defaultButton = box->defaultButton()->text().remove(QLatin1Char('&'));
        if (press < 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(QMessageBox::StandardButton(press))->click();
    });
    QtMessagePresenter presenter;
    return presenter.present(request);
}

} // namespace

TEST(QtMessagePresenterTest, ShowsQuestionBoxAndMapsButtonsBack)
{
    MessageRequest r;
    r.title = QStringLiteral("Orvid");
    r.text = QStringLiteral("erste Zeile\r\nzweite\rdritte");
    r.buttons = Msg::YesNoCancel | Msg::DefaultButton2;
    ShownBox shown;
    EXPECT_EQ(PresentAndPress(r, QMessageBox::No, shown), Msg::No);
    EXPECT_TRUE(shown.questionIcon);
    EXPECT_EQ(shown.title, QStringLiteral("Orvid"));
    EXPECT_EQ(shown.text, QStringLiteral("erste Zeile\nzweite\ndritte"));
    EXPECT_EQ(shown.buttons.size(), 3);
    EXPECT_EQ(shown.defaultButton, QStringLiteral("No"));

    const struct { int set; int press; int result; } cases[] = {
        {Msg::OkOnly, QMessageBox::Ok, Msg::Ok},
        {Msg::OkCancel, QMessageBox::Cancel, Msg::Cancel},
        {Msg::AbortRetryIgnore, QMessageBox::Abort, Msg::Abort},
        {Msg::AbortRetryIgnore, QMessageBox::Retry, Msg::Retry},
        {Msg::AbortRetryIgnore, QMessageBox::Ignore, Msg::Ignore},
        {Msg::YesNo, QMessageBox::Yes, Msg::Yes},
        {Msg::RetryCancel, QMessageBox::Retry, Msg::Retry},
        // Escape answers Cancel where the set has it, OK for a lone OK.
        {Msg::YesNoCancel, -1, Msg::Cancel},
        {Msg::OkOnly, -1, Msg::Ok},
    };
    for (const auto& c : cases) {
        MessageRequest req;
        req.buttons = c.set;
        ShownBox s;
        EXPECT_EQ(PresentAndPress(req, c.press, s), c.result) << c.set << " " << c.press;
    }

    // A default-button bit beyond the set falls back to the first button.
    MessageRequest ok;
    ok.buttons = Msg::OkOnly | Msg::DefaultButton3;
    ShownBox s;
    EXPECT_EQ(PresentAndPress(ok, QMessageBox::Ok, s), Msg::Ok);
    EXPECT_EQ(s.defaultButton, QStringLiteral("OK"));
}

TEST(ShippedLanguageFile, EnglishCoversEveryMessageWithTheSamePlaceholders)
{
    const QString shipped = QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).filePath(QStringLiteral("ORVILANG.ENG"));
    ASSERT_TRUE(QFile::exists(shipped));
    TestContext t;
    QFile::copy(shipped, t.ctx.programDir + QStringLiteral("/ORVILANG.ENG"));
    Language& lang = *t.language;
    lang.LoadLanguageList();
    ASSERT_EQ(lang.GetLanguageName(1), QStringLiteral("English"));

    int checked = 0;
    for (int16_t n = 0; n < 200; ++n) {
        const QString german = lang.GetMessageText(n);
        if (german.isEmpty())
            continue;
        ++checked;
        const QString english = ReadIni(t.ctx.programDir + QStringLiteral("/ORVILANG.ENG"),
                                        QStringLiteral("Errors"), QString::number(n), QString());
        EXPECT_FALSE(english.isEmpty()) << n;
        EXPECT_EQ(english.count(QStringLiteral("%s")), german.count(QStringLiteral("%s"))) << n;
    }
    EXPECT_EQ(checked, 28);

    // The main window's menu entries all have a text.
    for (const char* key : {"mnFile", "mnExit", "mnSensor", "mnDetect", "mnInfo", "mnOptions", "mnProgOptions",
                            "mnPortOptions", "mnWindow", "mnOrvidWindow", "mnCommand", "mnMonitor", "mnIO",
                            "mnState", "mnDefaultPosition", "mnHelp", "mnContents", "mnAbout", "mnNetwork"}) {
        QString name = QStringLiteral("English");
        lang.SelectLanguageByCode(name);
        EXPECT_FALSE(lang.Translate(QStringLiteral("frmMain"), QLatin1String(key), QString()).isEmpty()) << key;
    }
}
