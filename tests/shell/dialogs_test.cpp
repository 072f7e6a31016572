// The option dialogs and the connecting box, driven through their named controls.

#include "support/FakeShell.h"
#include "support/PtyHarness.h"
#include "support/TestContext.h"

#include "link/Network.h"
#include "link/Ports.h"
#include "shell/frmNetworkConnect.h"
#include "shell/frmNetworkOptions.h"
#include "shell/frmOptions.h"
#include "shell/frmPortOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace orvid;
using namespace orvid::test;

namespace {

template <typename T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// ---- program options -------------------------------------------------------------------

class OptionsDialogTest : public ::testing::Test {
protected:
    OptionsDialogTest()
    {
        tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                            "[ORVID]\r\nLanguage=English\r\n"
                            "[frmOptions]\r\nfrmOptions=Options\r\nbtCancel=Cancel\r\n"
                            "chkReadHeadError=Show &read-head errors\r\nframeSprache=Language\r\n");
        tc.language->LoadLanguageList();
    }

    TestContext tc;
};

TEST_F(OptionsDialogTest, PickedLanguageIsCurrentAtOnceAndStaysAfterCancel)
{
    frmOptions dialog(tc.ctx);
    auto* list = child<QComboBox>(&dialog, "cmbLanguage");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), QStringLiteral("Deutsch"));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Optionen"));

    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(tc.language->LanguageName(), QStringLiteral("English"));
    // The dialog itself switches while open; the language frame is never translated.
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(child<QPushButton>(&dialog, "btCancel")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(child<QGroupBox>(&dialog, "frameSprache")->title(), QStringLiteral("Sprache/Language"));

    dialog.reject();
    EXPECT_EQ(tc.language->LanguageName(), QStringLiteral("English"));

    // Back to German: the design texts return, not the last translation.
    frmOptions again(tc.ctx);
    auto* list2 = child<QComboBox>(&again, "cmbLanguage");
    EXPECT_EQ(list2->currentIndex(), 1);
    EXPECT_EQ(again.windowTitle(), QStringLiteral("Options"));
    list2->setCurrentIndex(0);
    emit list2->activated(0);
    EXPECT_EQ(again.windowTitle(), QStringLiteral("Optionen"));
    EXPECT_EQ(child<QCheckBox>(&again, "chkReadHeadError")->text(), QStringLiteral("&Lesekopffehler anzeigen"));
}

TEST_F(OptionsDialogTest, OkAppliesTheCheckBoxesCancelDropsThem)
{
    tc.state.AutoDetect = true;
    tc.state.ReadHeadError = false;
    {
        frmOptions dialog(tc.ctx);
        EXPECT_TRUE(child<QCheckBox>(&dialog, "chkStartupDetect")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(&dialog, "chkReadHeadError")->isChecked());
        child<QCheckBox>(&dialog, "chkStartupDetect")->setChecked(false);
        child<QCheckBox>(&dialog, "chkReadHeadError")->setChecked(true);
        dialog.reject();
    }
    EXPECT_TRUE(tc.state.AutoDetect);
    EXPECT_FALSE(tc.state.ReadHeadError);
    {
        frmOptions dialog(tc.ctx);
        child<QCheckBox>(&dialog, "chkStartupDetect")->setChecked(false);
        child<QCheckBox>(&dialog, "chkReadHeadError")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(&dialog, "btOK"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_FALSE(tc.state.AutoDetect);
    EXPECT_TRUE(tc.state.ReadHeadError);
}

// ---- serial port options -------------------------------------------------------------

class PortDialogTest : public ::testing::Test {
protected:
    PortDialogTest()
    {
        tc.ctx.frame = &frame;
        ports = std::make_unique<Ports>(tc.ctx);
        tc.ctx.ports = ports.get();
        ports->InitPort();
        pty.start();
    }
    ~PortDialogTest() override
    {
        ports.reset();
        pty.stop();
    }

    struct Shown {
        QString baud, parity, databits, stopbits, protocol;
        bool operator==(const Shown&) const = default;
    };
    static Shown shown(frmPortOptions& d)
    {
        return {child<QComboBox>(&d, "cmbBaud")->currentText(),
                child<QComboBox>(&d, "cmbParity")->currentText(),
                child<QComboBox>(&d, "cmbDatabits")->currentText(),
                child<QComboBox>(&d, "cmbStopbits")->currentText(),
                child<QComboBox>(&d, "cmbProtocol")->currentText()};
    }

    TestContext tc;
    FakeMainFrame frame;
    std::unique_ptr<Ports> ports;
    PtyHarness pty;
};

TEST_F(PortDialogTest, SettingsStringsFillTheListsWithTheirDefaults)
{
    frmPortOptions d(tc.ctx);
    struct Case {
        const char* settings;
        int16_t protocol;
        Shown expected;
        const char* written;
    };
    const Case cases[] = {
        {"", 1, {"38400", "Keine", "8", "1", "Kein"}, "38400,n,8,1"},
        {"12345,e,7,2", 0, {"9600", "Gerade", "7", "2", "Kein"}, "9600,e,7,2"},
        {"19200,o,8,1", 1, {"19200", "Ungerade", "8", "1", "Hardware"}, "19200,o,8,1"},
        {"9600,m,8,1.5", 0, {"9600", "Keine", "8", "1", "Kein"}, "9600,n,8,1"},
        {"9600,E,5,1", 0, {"9600", "Keine", "8", "1", "Kein"}, "9600,n,8,1"},
        {"4800", 0, {"38400", "Keine", "8", "1", "Kein"}, "38400,n,8,1"},   // no comma
        {"4800,e", 0, {"4800", "Keine", "8", "1", "Kein"}, "4800,n,8,1"},   // no second comma
        {"300,e,7", 0, {"300", "Gerade", "8", "1", "Kein"}, "300,e,8,1"},   // no third comma
        {"600,n,7,2,x", 0, {"600", "Keine", "7", "1", "Kein"}, "600,n,7,1"}, // stop = "2,x"
    };
    for (const Case& c : cases) {
        d.InitSettings(QString::fromLatin1(c.settings), c.protocol);
        EXPECT_EQ(shown(d), c.expected) << c.settings;
        EXPECT_EQ(d.Settings(), QString::fromLatin1(c.written)) << c.settings;
    }
}

TEST_F(PortDialogTest, TypedPseudoTerminalIsOpenedAndShownInThePortLabel)
{
    ASSERT_TRUE(pty.isValid());
    {
        frmPortOptions d(tc.ctx);
        auto* port = child<QComboBox>(&d, "cmbPort");
        port->setEditText(pty.slavePath());
        child<QComboBox>(&d, "cmbBaud")->setCurrentIndex(5);
        child<QComboBox>(&d, "cmbParity")->setCurrentIndex(1);
        child<QComboBox>(&d, "cmbDatabits")->setCurrentIndex(0);
        child<QComboBox>(&d, "cmbStopbits")->setCurrentIndex(1);
        child<QComboBox>(&d, "cmbProtocol")->setCurrentIndex(1);
        QTest::mouseClick(child<QPushButton>(&d, "btOK"), Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(ports->PortOpenFlag());
    EXPECT_EQ(ports->PortName(), pty.slavePath());
    EXPECT_EQ(frame.portLabel, pty.slavePath() + QStringLiteral(",9600,e,7,2"));
    EXPECT_TRUE(frame.portLabelEnabled);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());

    // The next opening shows what is in use, the unlisted device included.
    frmPortOptions again(tc.ctx);
    EXPECT_EQ(child<QComboBox>(&again, "cmbPort")->currentText(), pty.slavePath());
    EXPECT_EQ(shown(again), (Shown{"9600", "Gerade", "7", "2", "Hardware"}));

    // Default values leave the device alone; Cancel changes nothing.
    QTest::mouseClick(child<QPushButton>(&again, "btDefault"), Qt::LeftButton);
    EXPECT_EQ(shown(again), (Shown{"38400", "Keine", "8", "1", "Kein"}));
    EXPECT_EQ(child<QComboBox>(&again, "cmbPort")->currentText(), pty.slavePath());
    again.reject();
    EXPECT_EQ(frame.portLabel, pty.slavePath() + QStringLiteral(",9600,e,7,2"));
}

TEST_F(PortDialogTest, DeviceThatCannotBeOpenedIsReportedAndTheDialogStillCloses)
{
    tc.presenter.answers = {Msg::Cancel};
    frmPortOptions d(tc.ctx);
    child<QComboBox>(&d, "cmbPort")->setEditText(QStringLiteral("/dev/orvid-no-such-device"));
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{2});
    EXPECT_FALSE(ports->PortOpenFlag());
    EXPECT_FALSE(frame.portLabelEnabled);
}

TEST_F(PortDialogTest, EmptyDeviceCannotBeApplied)
{
    frmPortOptions d(tc.ctx);
    auto* ok = child<QPushButton>(&d, "btOK");
    child<QComboBox>(&d, "cmbPort")->setEditText(QStringLiteral("  "));
    EXPECT_FALSE(ok->isEnabled());
    d.accept();
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_FALSE(ports->PortOpenFlag());
    child<QComboBox>(&d, "cmbPort")->setEditText(pty.slavePath());
    EXPECT_TRUE(ok->isEnabled());
}

// ---- network options -----------------------------------------------------------------

class NetworkDialogTest : public ::testing::Test {
protected:
    NetworkDialogTest()
    {
        net = std::make_unique<Network>(tc.ctx);
        tc.ctx.network = net.get();
        net->SetNetAddress(QStringLiteral("10.1.2.3"));
    }

    TestContext tc;
    std::unique_ptr<Network> net;
};

TEST_F(NetworkDialogTest, OkStoresTheAddressCancelKeepsTheOld)
{
    {
        frmNetworkOptions d(tc.ctx);
        auto* address = child<QLineEdit>(&d, "txtAddress");
        EXPECT_EQ(address->text(), QStringLiteral("10.1.2.3"));
        address->setText(QStringLiteral("orvid-unit.local"));
        d.reject();
    }
    EXPECT_EQ(net->GetNetAddress(), QStringLiteral("10.1.2.3"));
    {
        frmNetworkOptions d(tc.ctx);
        QTest::mouseClick(child<QPushButton>(&d, "btDefault"), Qt::LeftButton);
        EXPECT_EQ(child<QLineEdit>(&d, "txtAddress")->text(), QString::fromLatin1(Network::kDefaultAddress));
        child<QLineEdit>(&d, "txtAddress")->setText(QStringLiteral(" orvid-unit.local "));
        QTest::mouseClick(child<QPushButton>(&d, "btOK"), Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(net->GetNetAddress(), QStringLiteral("orvid-unit.local"));
}

TEST_F(NetworkDialogTest, BlankAddressIsRefused)
{
    frmNetworkOptions d(tc.ctx);
    child<QLineEdit>(&d, "txtAddress")->setText(QStringLiteral("   "));
    EXPECT_FALSE(child<QPushButton>(&d, "btOK")->isEnabled());
    d.accept();
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(net->GetNetAddress(), QStringLiteral("10.1.2.3"));
}

// ---- connecting box ------------------------------------------------------------------

// A socket whose state the test sets, standing for one that connects slowly.
class ScriptedSocket : public QTcpSocket {
public:
    // As a real socket does, it tells of each change of its state.
    void setState(SocketState s)
    {
        setSocketState(s);
        emit stateChanged(s);
    }
    void setHost(const QString& name) { setPeerName(name); }
};

class ConnectBoxTest : public ::testing::Test {
protected:
    ConnectBoxTest()
    {
        // Never leave a modal loop behind if a step did not land.
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        guard.start(5000);
    }

    TestContext tc;
    QTimer guard;
    frmNetworkConnect box{tc.ctx};
};

TEST_F(ConnectBoxTest, ClosesByItselfWhenTheAttemptEnds)
{
    ScriptedSocket socket;
    socket.setHost(QStringLiteral("orvid-unit.local"));
    socket.setState(QAbstractSocket::HostLookupState);
    QTimer::singleShot(150, [&] {
        // Still open during the lookup: a lookup is part of connecting.
        EXPECT_TRUE(box.isVisible());
        EXPECT_EQ(box.stateText(), QStringLiteral("Verbindung zu <orvid-unit.local> wird hergestellt"));
        socket.setState(QAbstractSocket::ConnectingState);
    });
    QTimer::singleShot(350, [&] {
        EXPECT_TRUE(box.isVisible());
        socket.setState(QAbstractSocket::UnconnectedState);   // failed
    });
    EXPECT_TRUE(box.ShowDialog(&socket));
    EXPECT_FALSE(box.isVisible());
}

TEST_F(ConnectBoxTest, CancelEndsTheWaitAndSaysSo)
{
    ScriptedSocket socket;
    socket.setState(QAbstractSocket::ConnectingState);
    QTimer::singleShot(250, [&] {
        QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("btCancel")), Qt::LeftButton);
    });
    EXPECT_FALSE(box.ShowDialog(&socket));
    EXPECT_EQ(socket.state(), QAbstractSocket::ConnectingState);   // the caller closes it

    // The next attempt starts uncancelled.
    socket.setState(QAbstractSocket::ConnectedState);
    EXPECT_TRUE(box.ShowDialog(&socket));
}

TEST_F(ConnectBoxTest, RealConnectionToALocalServer)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    EXPECT_TRUE(box.ShowDialog(&socket));
    EXPECT_TRUE(socket.state() == QAbstractSocket::ConnectedState || socket.waitForConnected(1000));
}

} // namespace
