// The KLX9000 windows offscreen, driven through their controls against SimKLX: the
// parameter cycle and its dialog, the outputs window, the write dialog's checks, and the
// English and German texts of all four.
#include "KLXFixture.h"

#include "families/wklx/KLXParameters.h"
#include "families/wklx/frmSystemWKLX9000Parameter.h"
#include "families/common/frmSystemWLWrite.h"
#include "support/LanguageWalk.h"
#include "support/RealInput.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace orvid;
using namespace orvid::test;

namespace {

using Param = frmSystemWKLX9000Parameter;

class KLXWindows : public KLXFixture {
protected:
    QList<QByteArray> setCommands() const
    {
        QList<QByteArray> sets;
        for (const QByteArray& line : sent())
            if (line.startsWith("SET "))
                sets.append(line);
        return sets;
    }
    // The parameter cycle with the dialog driven by edit (no dialog expected: edit null).
    void cycle(const std::function<void(Param*)>& edit)
    {
        sim.clearTranscript();
        const auto shown = std::make_shared<bool>(false);
        whenModal<Param>([shown, edit](Param* d) {
            *shown = true;
            if (edit)
                edit(d);
            d->findChild<QPushButton*>(QStringLiteral("btOk"))->click();
        });
        window->btParameter->click();
        EXPECT_EQ(*shown, edit != nullptr);
        sim.waitIdle();
        QTest::qWait(20);
        if (!*shown)
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
    }
};

using KLXWindowsReaders = EachReader<KLXWindows>;
KLX_FOR_EACH_READER(KLXWindowsReaders);

TEST_P(KLXWindowsReaders, ParameterCycle)
{
    ready();
    const auto untouched = [](Param*) {};
    // The frequencies in the user's decimal form without grouping; the captions stand
    // apart from their units; a box selects its whole text when it gets the focus.
    const QLocale locale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    cycle([](Param* d) {
        // The reader's values, as it sends them.
        EXPECT_EQ(d->cmbCarrier->currentText(), QStringLiteral("Ein"));
        EXPECT_EQ(d->txtFhssBand->text(), QStringLiteral("ABC"));
        EXPECT_EQ(d->txtFilterTimeout->text(), QStringLiteral("1000"));
        EXPECT_EQ(d->cmbFrequency->count(), 3 + 282);
        EXPECT_EQ(d->cmbFrequency->itemText(3), QStringLiteral("2436,0"));
        EXPECT_EQ(d->cmbFrequency->findText(QStringLiteral("2450,0")), d->cmbFrequency->findData(24500));
        EXPECT_EQ(d->cmbFrequency->itemText(d->cmbFrequency->count() - 1), QStringLiteral("2464,1"));
        const std::pair<const char*, const char*> captions[] = {
            {"lblFrequency", "Träger Frequenz"}, {"lblFrequencyUnit", "MHz"},
            {"lblFilterTimeout", "Filter Timeout"}, {"lblFilterTimeoutUnit", "ms"},
            {"lblAposTimeout", "Timeout"}, {"lblAposTimeoutUnit", "ms"}};
        for (const auto& [name, text] : captions) {
            const auto* label = d->findChild<QLabel*>(QString::fromLatin1(name));
            ASSERT_NE(label, nullptr) << name;
            EXPECT_EQ(label->text(), QString::fromUtf8(text));
        }
        for (QLineEdit* box : {d->txtFhssBand, d->txtFilterTimeout, d->txtAposThreshold, d->txtAposTimeout}) {
            const QString kept = box->text();
            box->setText(box == d->txtFhssBand ? QStringLiteral("AB") : QStringLiteral("12"));
            box->deselect();
            QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
            QCoreApplication::sendEvent(box, &in);
            EXPECT_EQ(box->selectedText(), box->text()) << box->objectName().toStdString();
            box->setText(kept);
        }
    });
    QLocale::setDefault(locale);
    QList<QByteArray> expected{"PUSHTAG STOP"};
    for (const char* name : {"CARRIER", "FHSS_MODE", "FHSS_BANDS", "FREQUENCY", "READ_RANGE", "TAG_BITRATE",
                             "FILTER_TYPE", "FILTER_TIMEOUT", "READ_BEEP", "TAG_CRC", "TAG_DATACRC", "RS485_FULL"})
        expected.append(QByteArray("GET ") + name);
    EXPECT_EQ(sent().mid(0, 13), expected);
    EXPECT_TRUE(setCommands().isEmpty());

    // Values the dialog cannot show are not written back by an untouched OK.
    sim.setParameter("FREQUENCY", "24645");
    sim.setParameter("FHSS_MODE", "on");
    sim.setParameter("FILTER_TYPE", "Report");
    sim.setParameter("FILTER_TIMEOUT", "01000");
    cycle(untouched);
    EXPECT_TRUE(setCommands().isEmpty());

    // Changed controls are set in order, each good reply (no payload) lets the next through.
    cycle([](Param* d) {
        EXPECT_EQ(d->cmbFrequency->currentIndex(), -1);
        d->cmbCarrier->setCurrentIndex(0);
        d->cmbFrequency->setCurrentIndex(d->cmbFrequency->findData(24400));
        d->txtFilterTimeout->setText(QStringLiteral("200000"));
        d->txtFhssBand->setText(QStringLiteral("ab1d"));
    });
    EXPECT_EQ(setCommands(), (QList<QByteArray>{"SET CARRIER=OFF", "SET FHSS_BANDS=ABD", "SET FREQUENCY=24400",
                                                "SET FILTER_TIMEOUT=100000"}));

    // A failed SET ends the loop and is listed although head errors are off.
    tc.state.ReadHeadError = false;
    window->btClear->click();
    sim.faults().add({SimFault::Status, "SET CARRIER", "12", 0, 1});
    cycle([](Param* d) {
        d->cmbCarrier->setCurrentIndex(1);
        d->cmbReadBeep->setCurrentIndex(0);
    });
    EXPECT_EQ(setCommands(), QList<QByteArray>{"SET CARRIER=ON"});
    EXPECT_EQ(lines(), QList<QByteArray>{"FEHLER:  SET  12 - "});

    // A failed GET ends the cycle before the dialog.
    sim.faults().add({SimFault::Silence, "GET READ_RANGE", {}, 0, 1});
    cycle(nullptr);
    EXPECT_FALSE(sim.transcript().contains("GET TAG_BITRATE"));
    EXPECT_TRUE(setCommands().isEmpty());
}

TEST(KLXParameterMapping, BothWays)
{
    struct Case {
        Param::Kind kind;
        QString value;
        int data;
        QString back;   // ValueFor(data)
    } cases[] = {
        {Param::Kind::OnOff, "ON", 1, "ON"},          {Param::Kind::OnOff, "on", 0, "OFF"},
        {Param::Kind::Fhss, "ADAPTIVE", 2, "ADAPTIVE"}, {Param::Kind::Fhss, "ON", 1, "ON"},
        {Param::Kind::Fhss, "x", 0, "OFF"},           {Param::Kind::FilterType, "report", 3, "report"},
        {Param::Kind::FilterType, "periodic", 2, "periodic"}, {Param::Kind::FilterType, "once", 1, "once"},
        {Param::Kind::FilterType, "Report", 0, "off"}, {Param::Kind::Frequency, "24500", 24500, "24500"},
        {Param::Kind::Frequency, "2", 2, "2"},        {Param::Kind::Frequency, "abc", -1, "0"},
        {Param::Kind::Frequency, "99999", -1, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(Param::DataFor(c.kind, c.value), c.data);
        EXPECT_EQ(Param::ValueFor(c.kind, c.data), c.back);
    }
}

TEST_P(KLXWindowsReaders, OutputsWindow)
{
    // Shown by the selection, as the window menu's mark asks: its reads go out once the
    // selection has ended.
    frame.setMenuChecked(MenuEntry::IO, true);
    sim.setParameter("BUZZER", "on");
    sim.faults().add({SimFault::Status, "GET LED", "12", 0, 1});
    ASSERT_TRUE(select());
    auto* io = static_cast<frmSystemWKLX9000IO*>(lk->entry(9).io());
    ASSERT_TRUE(io->Loaded());
    EXPECT_TRUE(waitFor([&] { return io->lblBuzzer->text() == QStringLiteral("ON"); }));
    EXPECT_TRUE(sim.transcript().endsWith("GET BUZZER\nGET LED\nGET RELAY\n"));
    EXPECT_EQ(io->lblLED->text(), QStringLiteral("OFF"));   // failed GET: unchanged
    window->Show();
    sim.waitIdle();

    sim.clearTranscript();
    io->btIndicatorLED[2]->click();
    io->btRelay[1]->click();
    EXPECT_EQ(sent().mid(0, 4), (QList<QByteArray>{"SET LED=GREEN", "GET LED", "SET RELAY=ON", "GET RELAY"}));
    EXPECT_EQ(io->lblLED->text(), QStringLiteral("GREEN"));
    EXPECT_EQ(io->lblRelay->text(), QStringLiteral("ON"));

    // A value the reader refuses, its read-back failing too, is not shown as its state.
    sim.faults().add({SimFault::Status, "SET LED", "12", 0, 1});
    sim.faults().add({SimFault::Status, "GET LED", "12", 0, 1});
    io->btIndicatorLED[1]->click();
    EXPECT_EQ(io->lblLED->text(), QStringLiteral("GREEN"));

    // A reply that comes after its time-out is its own GET's: the GET behind it reads its
    // own state.
    net->SetNetTimeout(1000);
    sim.setParameter("LED", "YELLOW");
    sim.faults().add({SimFault::Delay, "GET BUZZER", {}, 1500, 1});
    io->btSet->click();
    EXPECT_EQ(io->lblLED->text(), QStringLiteral("YELLOW"));
    EXPECT_EQ(io->lblRelay->text(), QStringLiteral("ON"));
    net->SetNetTimeout(kTimeoutMs);

    // Beep: on, and off again when the timer ticks.
    io->timBuzzer.setInterval(30);
    sim.clearTranscript();
    io->btBuzzer[2]->click();
    ASSERT_TRUE(waitFor([&] { return sim.transcript().contains("SET BUZZER=OFF\nGET BUZZER\n"); }));
    EXPECT_EQ(sent().mid(0, 4), (QList<QByteArray>{"SET BUZZER=ON", "GET BUZZER", "SET BUZZER=OFF", "GET BUZZER"}));
    EXPECT_EQ(io->lblBuzzer->text(), QStringLiteral("OFF"));

    // A tick inside another exchange's wait waits for it; it does not nest its own.
    sim.clearTranscript();
    sim.faults().add({SimFault::Delay, "GET RELAY", {}, 100, 1});
    io->btBuzzer[2]->click();
    io->btSet->click();
    ASSERT_TRUE(waitFor([&] { return sim.transcript().contains("SET BUZZER=OFF"); }));
    EXPECT_GT(sim.transcript().indexOf("SET BUZZER=OFF"), sim.transcript().indexOf("GET RELAY"));

    // A dialog of the reader's window waits for the user, not for the reader: a Beep's end
    // falling due meanwhile goes out while it is open. Its answer comes late, and the OK
    // clicked while it is awaited waits for it and then closes the dialog: one click.
    io->timBuzzer.setInterval(100);
    net->SetNetTimeout(1500);
    for (QPushButton* opener : {window->btWrite, window->btParameter}) {
        SCOPED_TRACE(opener->objectName().toStdString());
        io->btBuzzer[2]->click();
        ASSERT_EQ(sim.parameter("BUZZER"), "ON");
        sim.faults().add({SimFault::Delay, "SET BUZZER", {}, 1000, 1});
        sim.clearTranscript();
        int result = -1;
        const auto whileOpen = [&](QDialog* d) {
            if (auto* write = qobject_cast<frmSystemWLWrite*>(d))
                write->txtData->setText(QStringLiteral("100"));
            QObject::connect(d, &QDialog::finished, [&result](int r) { result = r; });
            whenSeen([&] { return sim.transcript().contains("SET BUZZER=OFF"); },
                     [d] { clickOn(d->findChild<QPushButton*>(QStringLiteral("btOk"))); });
            QTimer::singleShot(6000, d, &QDialog::reject);   // an OK lost leaves it open
        };
        if (opener == window->btWrite)
            whenModal<frmSystemWLWrite>(whileOpen);
        else
            whenModal<Param>(whileOpen);
        opener->click();
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(sim.parameter("BUZZER"), "OFF") << sim.transcript().toStdString();
    }
    net->SetNetTimeout(kTimeoutMs);

    // Closing the window while the Beep's end is due switches the buzzer off.
    io->timBuzzer.setInterval(10000);
    io->btBuzzer[2]->click();
    sim.clearTranscript();
    io->Unload();
    sim.waitIdle();
    EXPECT_TRUE(sim.transcript().startsWith("SET BUZZER=OFF\n"));
    EXPECT_EQ(sim.parameter("BUZZER"), "OFF");

    // The connection gone: a SET is listed as finding none, and the relay still reads as
    // the reader last reported it.
    tc.state.ReadHeadError = false;
    window->btClear->click();
    sim.play({TcpStep::close()});
    ASSERT_TRUE(waitFor([&] { return !net->NetIsConnected(); }));
    io->btRelay[0]->click();
    EXPECT_EQ(io->lblRelay->text(), QStringLiteral("ON"));
    EXPECT_EQ(lines(), QList<QByteArray>{"FEHLER:  Keine Verbindung zu <127.0.0.1>"});
}

TEST_F(KLXWindows, WriteDialogChecks)
{
    frmSystemWLWrite d(tc.ctx);
    d.SetLanguage();
    struct Data {
        int m;
        QString text;
        bool ok;
    } data[] = {
        {0, "16383", true}, {0, "0", true},       {0, "16384", false}, {0, "-1", false},
        {0, "abc", false},  {0, "", false},       {0, " 1.5 ", true}, {0, "16383.4", true},
        {0, "16383.5", false}, {0, "-0.4", false}, {0, "1,5", false},
        {1, QString(19, 'x') + "   ", true},
        {1, QString(20, 'x'), false},             {2, QString(71, 'x'), true}, {2, QString(72, 'x'), false},
    };
    for (const Data& c : data)
        EXPECT_EQ(frmSystemWLWrite::dataValid(c.m, c.text), c.ok) << c.m << " " << c.text.toStdString();
    EXPECT_EQ(d.idCodeFor(QStringLiteral("12345"), {}), QStringLiteral("000012345"));
    EXPECT_EQ(d.idCodeFor(QStringLiteral("1234567890"), {}), QStringLiteral("234567890"));
    EXPECT_EQ(d.idCodeFor(d.cmbIDCode->itemText(0), QStringLiteral("000000007")), QString());
    EXPECT_EQ(d.idCodeFor(QString(), QStringLiteral("000000007")), QStringLiteral("000000007"));

    // The ID box takes digits only.
    d.show();
    d.cmbIDCode->lineEdit()->selectAll();
    QTest::keyClicks(d.cmbIDCode->lineEdit(), QStringLiteral("12;3,a4"));
    EXPECT_EQ(d.cmbIDCode->currentText(), QStringLiteral("1234"));

    // Defaults, and Mini data without a number refused with message 20.
    d.txtData->setText(QStringLiteral("x"));
    d.findChild<QPushButton*>(QStringLiteral("btOk"))->click();
    EXPECT_TRUE(tc.presenter.numbers().contains(20));
    EXPECT_NE(d.result(), QDialog::Accepted);
    d.txtData->setText(QStringLiteral("100"));
    d.findChild<QPushButton*>(QStringLiteral("btOk"))->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ((QList<int>{d.values.memorySize, d.values.dataSpeed, d.values.intervalType, d.values.intervalLength}),
              (QList<int>{0, 0, 0, 2}));
    EXPECT_EQ(d.values.idCode, QStringLiteral("000001234"));

    // A Mini value with decimals, typed and confirmed as a user does: taken, no message.
    d.setResult(QDialog::Rejected);
    d.txtData->clear();
    ASSERT_TRUE(activate(&d));
    ASSERT_TRUE(clickOn(d.txtData));
    typeKeys(QStringLiteral("1.5"));
    const qsizetype messages = tc.presenter.numbers().size();
    ASSERT_TRUE(clickOn(d.findChild<QPushButton*>(QStringLiteral("btOk"))));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.values.data, "1.5");
    EXPECT_EQ(tc.presenter.numbers().size(), messages);
}

TEST_F(KLXWindows, EnglishAndGerman)
{
    InstallShippedLanguage(tc);
    window->Show();
    auto* io = static_cast<frmSystemWKLX9000IO*>(lk->entry(9).io());
    clsCollection<clsParameter> parameters = KLXParameters::Build();
    Param param(tc.ctx, parameters);
    frmSystemWLWrite write(tc.ctx);
    const CaptionWalk lists{true, false};
    LanguageRoundTrip(*tc.language, window, [this] { window->SetLanguage(); }, {kWindowTitleKey, "btStop"});
    LanguageRoundTrip(*tc.language, io, [io] { io->SetLanguage(); },
                      {"frameBuzzer", "btBuzzer2", "frameRelay"});
    LanguageRoundTrip(*tc.language, &param, [&param] { param.SetLanguage(); },
                      {"lblRS485", "lblAposTimeout", "cmbFanOutput[0]", "cmbFanOutput[1]", "cmbAposOutput[1]", "btOk",
                       "cmbReadRange[0]", "cmbReadRange[1]", "cmbReadRange[2]", "cmbReadRange[3]"},
                      lists);
    LanguageRoundTrip(*tc.language, &write, [&write] { write.SetLanguage(); },
                      {"rdMemorySize0", "rdMemorySize1", "rdMemorySize2", "rdIntervalType0", "rdIntervalType1",
                       "rdIntervalLength0", "rdIntervalLength1", "rdIntervalLength2", "rdIntervalLength3", "btOk"});
}

} // namespace
