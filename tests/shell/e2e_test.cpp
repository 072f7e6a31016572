// The whole program on a pseudo-terminal: the real Application with its own settings file
// and program folder, started through its start-up procedure, driven through its menus,
// the command window and the dialogs, with a scripted device on the far end of the line.

#include "sim/SimKR.h"
#include "support/FakeSystems.h"
#include "support/PtyHarness.h"
#include "support/RealInput.h"
#include "support/TcpHarness.h"
#include "support/WhenModal.h"

#include "families/Families.h"
#include "families/wklx/frmSystemWKLX9000.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "link/CommPort.h"
#include "link/LK.h"
#include "link/Ports.h"
#include "shell/Application.h"
#include "shell/Toolbar.h"
#include "shell/frmCommand.h"
#include "shell/frmMain.h"
#include "shell/frmMonitor.h"
#include "shell/frmPortOptions.h"
#include "shell/frmState.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace orvid;
using orvid::test::FakeSystemForm;
using orvid::test::Journal;
using orvid::test::PtyHarness;
using orvid::test::SimKR;

// Readable failure output for Qt strings.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// The layout file shipped with the program, found from this source file's place in the tree.
QString shippedLayoutFile()
{
    return QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).absoluteFilePath(QStringLiteral("ORVID.DEF"));
}

// Sits between the link and the real progress box while it lives: passes every call on
// and notes what the box's status line and visibility are right after each status change.
class ProgressWatch final : public IProgressBox {
public:
    ProgressWatch(AppContext& ctx, frmState& box)
        : ctx_(ctx), previous_(ctx.progress), box_(box),
          label_(box.findChild<QLabel*>(QStringLiteral("lblState")))
    {
        ctx_.progress = this;
    }
    ~ProgressWatch() override { ctx_.progress = previous_; }
    ProgressWatch(const ProgressWatch&) = delete;
    ProgressWatch& operator=(const ProgressWatch&) = delete;

    void ShowForm(int steps) override { box_.ShowForm(steps); }
    void SetStatus(const QString& text) override
    {
        box_.SetStatus(text);
        shown.append(label_ ? label_->text() : QString());
        visible.append(box_.isVisible());
    }
    bool IncBar(int steps) override { return box_.IncBar(steps); }
    void Unload() override { box_.Unload(); }

    QStringList shown;
    QList<bool> visible;

private:
    AppContext& ctx_;
    IProgressBox* previous_;
    frmState& box_;
    QPointer<QLabel> label_;
};

// Records every message and answers from a script (Ok when it runs dry); onPresent sees
// the program's state at the moment the box would be up.
class ScriptedPresenter final : public IMessagePresenter {
public:
    int present(const MessageRequest& request) override
    {
        requests.append(request);
        if (onPresent)
            onPresent(request);
        return answers.isEmpty() ? Msg::Ok : answers.takeFirst();
    }
    QList<int> numbers() const
    {
        QList<int> n;
        for (const MessageRequest& r : requests)
            n.append(r.number);
        return n;
    }

    QList<MessageRequest> requests;
    QList<int> answers;
    std::function<void(const MessageRequest&)> onPresent;
};

class E2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(device.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("program"));
        QDir(dir.path()).mkpath(QStringLiteral("config"));
        ASSERT_TRUE(QFile::copy(shippedLayoutFile(), QDir(programDir()).filePath(QStringLiteral("ORVID.DEF"))))
            << shippedLayoutFile().toStdString();
        setting(QStringLiteral("Port"), QStringLiteral("Port"), device.slavePath());
        setting(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"), QStringLiteral("100"));
        // Recognition at start-up opens the port; with no family built nothing answers.
        setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("-1"));
        setting(QStringLiteral("Settings"), QStringLiteral("MonitorWnd"), QStringLiteral("Hide"));
        setting(QStringLiteral("Settings"), QStringLiteral("CommandWnd"), QStringLiteral("Hide"));
        device.start();
    }

    void TearDown() override
    {
        app.reset();
        fake.reset();
        device.stop();
    }

    QString settingsPath() const { return dir.filePath(QStringLiteral("config/Zarvento.conf")); }
    QString programDir() const { return dir.filePath(QStringLiteral("program")); }
    void setting(const QString& section, const QString& name, const QString& value)
    {
        SettingsStore(settingsPath()).write(section, name, value);
    }
    QString stored(const QString& section, const QString& name) const
    {
        return SettingsStore(settingsPath()).read(section, name, QStringLiteral("<none>"));
    }

    // The real program, messages going to the recorder. No device family is registered,
    // unless lastCandidate asks for a scripted stand-in at entry 8, the last one a
    // recognition tries.
    void start()
    {
        app.reset();
        fake.reset();
        Application::FamilyRegistration families;
        if (shippedFamilies) {
            families = RegisterFamilies;
        } else if (lastCandidate) {
            families = [this](AppContext& ctx) {
                fake = std::make_unique<FakeSystemForm>(ctx, QStringLiteral("frmSystemWL"), journal);
                lastCandidate(*fake);
                FakeSystemForm* f = fake.get();
                ctx.lk->RegisterSystem(8, [f]() -> ISystemForm* { return f; });
            };
        }
        app = std::make_unique<Application>(settingsPath(), programDir(), families);
        app->context().language->setPresenter(&presenter);
        app->Startup();
    }
    // Ends the program as the user does: the main window's close sequence.
    void quit()
    {
        ASSERT_TRUE(main().close());
        app.reset();
        fake.reset();
    }

    frmMain& main() { return *app->mainWindow(); }
    QAction* action(const char* name) { return main().findChild<QAction*>(QLatin1String(name)); }
    QLabel* label(const char* name) { return main().findChild<QLabel*>(QLatin1String(name)); }
    Ports& ports() { return *app->context().ports; }

    frmCommand& openCommandWindow()
    {
        action("mnCommand")->trigger();
        return *app->command();
    }
    QComboBox* commandBox() { return app->command()->findChild<QComboBox*>(QStringLiteral("cmbCommand")); }
    QLineEdit* replyBox() { return app->command()->findChild<QLineEdit*>(QStringLiteral("txtSensor")); }
    QPushButton* sendButton() { return app->command()->findChild<QPushButton*>(QStringLiteral("btSend")); }
    // Types the text and presses Send; returns when the exchange has ended.
    void sendTyped(const QString& text)
    {
        commandBox()->setEditText(text);
        QTest::mouseClick(sendButton(), Qt::LeftButton);
    }

    QStringList monitorEntries() const
    {
        QStringList list;
        for (int i = 0; i < app->monitor()->entryCount(); ++i)
            list << app->monitor()->entry(i);
        return list;
    }
    // What the monitor's list view shows, row by row.
    QStringList monitorRows() const
    {
        app->monitor()->flushView();
        QStringList rows;
        auto* view = app->monitor()->findChild<QListView*>(QStringLiteral("lstComm"));
        if (!view || !view->model())
            return rows;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            rows << view->model()->index(r, 0).data().toString();
        return rows;
    }

    QTemporaryDir dir;
    PtyHarness device;
    ScriptedPresenter presenter;
    Journal journal;
    std::function<void(FakeSystemForm&)> lastCandidate;
    bool shippedFamilies = false;   // the families as the program registers them
    std::unique_ptr<FakeSystemForm> fake;
    std::unique_ptr<Application> app;
};

// ---------------------------------------------------------------------------------------

TEST_F(E2ETest, TypedCommandGoesOutByteExactAndItsReplyReachesWindowMonitorAndHistory)
{
    // A family tried at start-up that does not answer: nothing is selected afterwards, yet
    // its framing (reply ended by CR) is what the link works with.
    lastCandidate = [](FakeSystemForm& f) {
        f.initFraming = 0;
        f.initProtocol = "\r";
    };
    start();
    ASSERT_EQ(app->context().state->CurrentSystem, 0);
    EXPECT_EQ(label("lblOrvidSystem")->text(), QStringLiteral("kein Orvidsystem erkannt"));
    EXPECT_FALSE(label("lblOrvidSystem")->isEnabled());
    ASSERT_TRUE(ports().PortOpenFlag());
    EXPECT_EQ(label("lblPort")->text(), device.slavePath() + QStringLiteral(",38400,n,8,1"));
    EXPECT_TRUE(label("lblPort")->isEnabled());

    action("mnMonitor")->trigger();
    ASSERT_TRUE(app->monitor()->Loaded());
    EXPECT_TRUE(app->monitor()->isVisible());
    EXPECT_TRUE(main().menuChecked(MenuEntry::Monitor));
    openCommandWindow();
    ASSERT_TRUE(app->command()->Loaded());
    EXPECT_TRUE(app->command()->isVisible());
    device.clearTranscript();

    // Decimal and hex escapes become single bytes; with no system the command goes out
    // followed by CR and nothing else.
    device.expect(QByteArray("VE\x0b" "A\r"), QByteArray("OK\x06\r"));
    sendTyped(QStringLiteral("VE\\011.41"));
    EXPECT_EQ(device.transcript(), QByteArray("VE\x0b" "A\r"));
    EXPECT_EQ(replyBox()->text(), QStringLiteral("OK<ACK>"));

    // A one-byte reply shows the character and its hex code; ".." is a plain dot.
    device.expect(QByteArray(".0D\r"), QByteArray("\x06\r"));
    sendTyped(QStringLiteral("..0D"));
    EXPECT_EQ(device.transcript(), QByteArray("VE\x0b" "A\r" ".0D\r"));
    EXPECT_EQ(replyBox()->text(), QStringLiteral("\x06 (HEX=06)"));

    const QStringList expected = {
        QStringLiteral("W: VE<11>A<CR>"), QStringLiteral("R: OK<ACK><CR>"),
        QStringLiteral("W: .0D<CR>"),     QStringLiteral("R: <ACK><CR>"),
    };
    EXPECT_EQ(monitorEntries(), expected);
    EXPECT_EQ(monitorRows(), expected);
    EXPECT_EQ(device.mismatches(), 0);
    EXPECT_EQ(device.pendingExpectations(), 0);
    EXPECT_TRUE(presenter.requests.isEmpty());

    // The history holds the commands as typed, most recent first, in the list too.
    const QStringList history = {QStringLiteral("..0D"), QStringLiteral("VE\\011.41")};
    EXPECT_EQ(app->command()->history(), history);
    ASSERT_EQ(commandBox()->count(), 2);
    EXPECT_EQ(commandBox()->itemText(0), history[0]);
    EXPECT_EQ(commandBox()->itemText(1), history[1]);

    // Sending a command again moves it up without growing the list.
    device.expect(QByteArray("VE\x0b" "A\r"), QByteArray("OK\r"));
    sendTyped(QStringLiteral("VE\\011.41"));
    EXPECT_EQ(replyBox()->text(), QStringLiteral("OK"));
    const QStringList reordered = {history[1], history[0]};
    EXPECT_EQ(app->command()->history(), reordered);

    // The history outlives the program: closing stores it, the next start loads it.
    quit();
    EXPECT_EQ(stored(QStringLiteral("Command"), QStringLiteral("Command1")), reordered[0]);
    EXPECT_EQ(stored(QStringLiteral("Command"), QStringLiteral("Command2")), reordered[1]);
    start();
    EXPECT_EQ(app->command()->history(), reordered);
    // The command window was open at the end, so it comes back by itself.
    ASSERT_TRUE(app->command()->Loaded());
    ASSERT_EQ(commandBox()->count(), 2);
    EXPECT_EQ(commandBox()->itemText(0), reordered[0]);
}

TEST_F(E2ETest, RecognitionFromTheMenuShowsEachCandidateAndRetriesUntilCancelled)
{
    start();
    // The start-up recognition asks nothing.
    ASSERT_TRUE(presenter.requests.isEmpty());
    frmState* box = app->progressBox();
    ASSERT_NE(box, nullptr);
    ProgressWatch watch(app->context(), *box);
    QList<bool> boxVisibleAtQuestion;
    presenter.onPresent = [&](const MessageRequest&) { boxVisibleAtQuestion.append(box->isVisible()); };
    presenter.answers = {Msg::Retry, Msg::Cancel};
    device.clearTranscript();

    action("mnDetect")->trigger();

    // Nothing selected, so entries 1 to 8 in order, once per round; the network entries
    // are never tried by a recognition that has no candidate.
    QStringList round;
    for (int i = 1; i <= 8; ++i)
        round << app->context().lk->SystemName(i);
    EXPECT_EQ(watch.shown, round + round);
    EXPECT_EQ(watch.visible, QList<bool>(16, true));

    // Message 1 with Retry and Cancel after each round, the progress box gone by then;
    // Retry ran the recognition again, Cancel ended it.
    ASSERT_EQ(presenter.requests.size(), 2);
    for (const MessageRequest& r : presenter.requests) {
        EXPECT_EQ(r.number, 1);
        EXPECT_EQ(r.buttons & 0xF, Msg::RetryCancel);
        EXPECT_EQ(r.text, QStringLiteral("Das Programm konnte kein Orvidsystem detektieren!"));
    }
    EXPECT_EQ(boxVisibleAtQuestion, (QList<bool>{false, false}));
    EXPECT_FALSE(box->isVisible());

    EXPECT_EQ(app->context().state->CurrentSystem, 0);
    EXPECT_EQ(label("lblOrvidSystem")->text(), QStringLiteral("kein Orvidsystem erkannt"));
    EXPECT_FALSE(label("lblOrvidSystem")->isEnabled());
    EXPECT_FALSE(main().menuEnabled(MenuEntry::OrvidWindow));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // No family is built, so nothing was sent while trying them.
    EXPECT_TRUE(device.transcript().isEmpty());
}

TEST_F(E2ETest, PortDialogReopensATypedDeviceAndTheStatusBarFollows)
{
    PtyHarness other;
    ASSERT_TRUE(other.isValid());
    other.start();
    start();
    ASSERT_EQ(label("lblPort")->text(), device.slavePath() + QStringLiteral(",38400,n,8,1"));
    openCommandWindow();

    // The dialog runs modally from its menu entry; the user types a path and presses OK.
    auto applyTyped = [this](const QString& path) {
        bool seen = false;
        QTimer::singleShot(0, &main(), [this, path, &seen] {
            auto* dialog = main().findChild<frmPortOptions*>(QStringLiteral("frmPortOptions"));
            if (!dialog || !dialog->isVisible())
                return;
            seen = true;
            auto* port = dialog->findChild<QComboBox*>(QStringLiteral("cmbPort"));
            // The dialog offers the device in use.
            EXPECT_EQ(port->currentText(), ports().PortName());
            port->setEditText(path);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btOK")), Qt::LeftButton);
        });
        action("mnPortOptions")->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(main().findChild<frmPortOptions*>(), nullptr); // gone after OK
    };

    // A device that does not exist: message 2 with Retry and Cancel; after Cancel the port
    // stays closed and the label shows the typed device greyed.
    const QString missing = dir.filePath(QStringLiteral("no-such-tty"));
    presenter.answers = {Msg::Cancel};
    applyTyped(missing);
    ASSERT_EQ(presenter.numbers(), QList<int>{2});
    EXPECT_EQ(presenter.requests[0].buttons & 0xF, Msg::RetryCancel);
    EXPECT_FALSE(ports().PortOpenFlag());
    EXPECT_EQ(label("lblPort")->text(), missing + QStringLiteral(",38400,n,8,1"));
    EXPECT_FALSE(label("lblPort")->isEnabled());

    // The second pseudo-terminal opens, the label follows, and commands go there.
    presenter.requests.clear();
    applyTyped(other.slavePath());
    EXPECT_TRUE(presenter.requests.isEmpty());
    EXPECT_TRUE(ports().PortOpenFlag());
    EXPECT_EQ(ports().PortName(), other.slavePath());
    EXPECT_EQ(label("lblPort")->text(), other.slavePath() + QStringLiteral(",38400,n,8,1"));
    EXPECT_TRUE(label("lblPort")->isEnabled());

    device.clearTranscript();
    other.expect(QByteArray("PING\r"), QByteArray("\x06"));
    sendTyped(QStringLiteral("PING"));
    EXPECT_EQ(other.transcript(), QByteArray("PING\r"));
    EXPECT_EQ(other.pendingExpectations(), 0);
    EXPECT_TRUE(device.transcript().isEmpty());

    // Asked for while a command waits for its reply, the dialog does not open: its OK
    // would reopen the port under the wait and throw the reply away with the old port.
    other.expect(QByteArray("SLOW\r"), {PtyHarness::Pause(300), PtyHarness::Send("\x06")});
    bool openedInside = false;
    test::whenSeen([&] { return other.transcript().endsWith("SLOW\r"); }, [&] {
        QTimer::singleShot(0, &main(), [&] {
            if (auto* dialog = main().findChild<frmPortOptions*>(QStringLiteral("frmPortOptions"))) {
                openedInside = true;
                dialog->reject();
            }
        });
        action("mnPortOptions")->trigger();
    });
    sendTyped(QStringLiteral("SLOW"));
    EXPECT_FALSE(openedInside);
    EXPECT_EQ(replyBox()->text(), frmCommand::RenderReply("\x06"));

    // The device chosen is what the next start uses.
    quit();
    EXPECT_EQ(stored(QStringLiteral("Port"), QStringLiteral("Port")), other.slavePath());
    EXPECT_EQ(stored(QStringLiteral("Port"), QStringLiteral("PortSettings")), QStringLiteral("38400,n,8,1"));
    other.stop();
}

TEST_F(E2ETest, HangUpDuringAWaitClosesThePortOnceAndTheProgramCarriesOn)
{
    setting(QStringLiteral("Settings"), QStringLiteral("ShowTimeouts"), QStringLiteral("1"));
    start();
    ASSERT_TRUE(ports().PortOpenFlag());
    action("mnMonitor")->trigger();
    openCommandWindow();
    QSignalSpy failures(&ports(), &Ports::portFailed);
    QSignalSpy deviceErrors(&ports().comm().device(), &QSerialPort::errorOccurred);

    // The device vanishes as soon as the command reaches it, while Send waits for the
    // reply: the wait ends then rather than after the command window's one second.
    device.expect(QByteArray("VE\r"), {PtyHarness::HangUp()});
    QElapsedTimer watch;
    watch.start();
    sendTyped(QStringLiteral("VE"));
    EXPECT_LT(watch.elapsed(), 900);
    EXPECT_TRUE(device.hungUp());
    EXPECT_EQ(failures.count(), 1);
    EXPECT_FALSE(ports().PortOpenFlag());
    EXPECT_FALSE(ports().comm().isOpen());
    EXPECT_FALSE(label("lblPort")->isEnabled());
    // The user is told why, in the status bar (the whole text in the field's tooltip),
    // without a modal box in the middle of a wait.
    EXPECT_EQ(label("lblMessage")->toolTip(), QStringLiteral("Schnittstelle geschlossen: Die Verbindung über ")
                                                  + device.slavePath()
                                                  + QStringLiteral(" ist abgebrochen: Gerät wurde vom System entfernt"));
    EXPECT_TRUE(presenter.requests.isEmpty());
    EXPECT_TRUE(replyBox()->text().isEmpty());
    EXPECT_EQ(monitorEntries(), (QStringList{QStringLiteral("W: VE<CR>"), QStringLiteral("R: <TIMEOUT>")}));

    // No flood of errors from the dead device while the program idles.
    QTest::qWait(200);
    EXPECT_LE(deviceErrors.count(), 2);
    EXPECT_EQ(failures.count(), 1);

    // The next Send finds no port: it returns at once, writes and logs nothing, and the
    // failure is not reported again.
    const qsizetype boxes = presenter.requests.size();
    EXPECT_EQ(boxes, 0);
    watch.restart();
    sendTyped(QStringLiteral("VE"));
    EXPECT_LT(watch.elapsed(), 500);
    EXPECT_TRUE(replyBox()->text().isEmpty());
    EXPECT_EQ(monitorEntries().size(), 2);
    EXPECT_EQ(failures.count(), 1);
    EXPECT_EQ(presenter.requests.size(), boxes);
    EXPECT_TRUE(sendButton()->isEnabled());
    EXPECT_EQ(app->command()->history(), QStringList{QStringLiteral("VE")});

    // The program still closes normally and keeps the device for the next start.
    quit();
    EXPECT_EQ(stored(QStringLiteral("Port"), QStringLiteral("Port")), device.slavePath());
}

TEST_F(E2ETest, ShippedProgramRecognisesASystemRHeadFromTheMenuAndSendsThroughIt)
{
    SimKR head("QTR1-AX");
    ASSERT_TRUE(head.isValid());
    head.start();
    setting(QStringLiteral("Port"), QStringLiteral("Port"), head.slavePath());
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("0"));
    // The family window stays closed: its polling is not what this test is about.
    setting(QStringLiteral("Settings"), QStringLiteral("OrvidSystemWnd"), QStringLiteral("Hide"));
    shippedFamilies = true;
    start();
    ASSERT_EQ(app->context().state->CurrentSystem, 0);
    ASSERT_TRUE(head.transcript().isEmpty()); // nothing talks to the device before asked
    action("mnMonitor")->trigger();
    QStringList shown;
    {
        ProgressWatch watch(app->context(), *app->progressBox());
        action("mnDetect")->trigger();
        shown = watch.shown;
    }

    // Entry 1 (the interface units) hears no unit, entry 2 the wrong variant, entry 3 answers.
    const LK& lk = *app->context().lk;
    EXPECT_EQ(shown, (QStringList{lk.SystemName(1), lk.SystemName(2), lk.SystemName(3)}));
    EXPECT_TRUE(presenter.requests.isEmpty());
    EXPECT_EQ(app->context().state->CurrentSystem, 3);
    EXPECT_EQ(label("lblOrvidSystem")->text(), QStringLiteral("Orvid-I System R (QTR1-AX)"));
    EXPECT_TRUE(label("lblOrvidSystem")->isEnabled());
    EXPECT_TRUE(main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 4)->isChecked());
    EXPECT_FALSE(main().arrayAction(QStringLiteral("mnOrvidSystemKR"), 3)->isChecked());
    EXPECT_TRUE(main().menuEnabled(MenuEntry::OrvidWindow));
    EXPECT_FALSE(app->progressBox()->isVisible());
    const QByteArray version = QByteArray("VE#\r");
    // One version request from each entry tried: the interface units' and both System R.
    EXPECT_EQ(head.telegrams().count(version), 3);

    // The command window now sends through the selected family: its framing on the wire,
    // its status stripped from the reply shown.
    openCommandWindow();
    head.clearTranscript();
    const int before = app->monitor()->entryCount();
    sendTyped(QStringLiteral("VE"));
    EXPECT_EQ(head.transcript(), version);
    EXPECT_EQ(replyBox()->text(), QStringLiteral("ORVID-I QTR1-AX V1.07"));
    ASSERT_GT(app->monitor()->entryCount(), before + 1);
    EXPECT_EQ(app->monitor()->entry(before), QStringLiteral("W: VE#<CR>"));
    EXPECT_TRUE(app->monitor()->entry(before + 1).startsWith(QStringLiteral("R: 0ORVID-I")));
    EXPECT_TRUE(presenter.requests.isEmpty());
    // A line as long as the box takes goes out whole, with the family's framing.
    const QString line = QStringLiteral("VE") + QString(32765, QLatin1Char('x'));
    sendTyped(line);
    EXPECT_EQ(head.received().last(), line.toLatin1() + "#\r");

    quit();
    EXPECT_EQ(stored(QStringLiteral("Settings"), QStringLiteral("OrvidSystem")), QStringLiteral("3"));
    head.stop();
}

// A silent head: while the recognition's progress box is up the main window takes input, and
// a close ends the recognition before its next candidate, asks nothing, and closes as usual.
TEST_F(E2ETest, ACloseAskedDuringARecognitionEndsItAndClosesTheProgram)
{
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("0"));
    shippedFamilies = true;
    start();
    int popups = 0;
    main().setPopupRunner([&popups](QMenu*, const QPoint&) { ++popups; });
    ProgressWatch watch(app->context(), *app->progressBox());
    QSignalSpy closed(&main(), &frmMain::closed);
    test::whenSeen([&] { return watch.shown.size() == 2; }, [&] {
        test::clickOn(main().toolbar()->button(6));
        main().close();
    });
    presenter.answers = {Msg::Cancel};
    action("mnDetect")->trigger();
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(watch.shown.size(), 2);   // candidates tried
    EXPECT_EQ(presenter.numbers(), QList<int>{});
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.count() > 0; }, 2000));
    EXPECT_NE(stored(QStringLiteral("Windows"), QStringLiteral("frmMain")), QStringLiteral("<none>"));
    EXPECT_EQ(stored(QStringLiteral("Settings"), QStringLiteral("OrvidSystem")), QStringLiteral("0"));
}

// A reader the network cannot reach, chosen in the menu: the selection's wait cursor is not
// over the message that says so, which waits for the user.
TEST_F(E2ETest, UnreachableReaderFromTheMenuShowsItsMessageWithoutTheWaitCursor)
{
    setting(QStringLiteral("Settings"), QStringLiteral("AutoDetect"), QStringLiteral("0"));
    setting(QStringLiteral("Network"), QStringLiteral("Address"), QStringLiteral("127.0.0.1"));
    shippedFamilies = true;
    start();
    static_cast<frmSystemWKLX9000*>(app->context().lk->entry(9).main())->klx().Port = orvid::test::unusedLocalPort();
    QList<bool> waitCursor;
    presenter.onPresent = [&waitCursor](const MessageRequest&) {
        const QCursor* shown = QGuiApplication::overrideCursor();
        waitCursor.append(shown && shown->shape() == Qt::WaitCursor);
    };
    main().arrayAction(QStringLiteral("mnOrvidSystemL"), 3)->trigger();
    EXPECT_EQ(presenter.numbers(), QList<int>{7});
    EXPECT_EQ(waitCursor, QList<bool>{false});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    quit();
}

} // namespace
