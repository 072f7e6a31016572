#include "frmSystemWLParameter.h"

#include "families/common/FormControls.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

using namespace wlframed;

namespace {
int checkedIndex(const QList<QRadioButton*>& options)
{
    for (int i = 0; i < options.size(); ++i)
        if (options[i]->isChecked())
            return i;
    return 0;
}

QGroupBox* frame(QWidget* parent, QGridLayout* grid, int row, int column, const char* name, const char* title)
{
    auto* box = NamedControl<QGroupBox>(parent, name);
    box->setTitle(QString::fromUtf8(title));
    grid->addWidget(box, row, column);
    new QVBoxLayout(box);
    return box;
}

QList<QRadioButton*> options(QGroupBox* box, const char* name, const QStringList& texts)
{
    QList<QRadioButton*> list;
    for (int i = 0; i < texts.size(); ++i) {
        auto* option = NamedControl<QRadioButton>(box, name);
        option->setProperty("ctrlIndex", i);
        option->setText(texts[i]);
        box->layout()->addWidget(option);
        list.append(option);
    }
    return list;
}

QComboBox* labelled(QGroupBox* box, const char* labelName, const char* label, const char* name, const QStringList& items)
{
    auto* row = new QHBoxLayout;
    auto* text = NamedControl<QLabel>(box, labelName);
    text->setText(QString::fromUtf8(label));
    auto* list = NamedControl<QComboBox>(box, name);
    list->addItems(items);
    row->addWidget(text);
    row->addWidget(list);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    return list;
}
} // namespace

frmSystemWLParameter::frmSystemWLParameter(AppContext& ctx, const QByteArray& parameters, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemWLParameter", QStringLiteral("Orvid-M System L Parameter"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    rdOPMode = options(frame(this, grid, 0, 0, "frameOPMode", "Betriebsart"), "rdOPMode",
                       {QStringLiteral("Normal"), QStringLiteral("Morsek"), QStringLiteral("Test Tag lesen"),
                        QStringLiteral("Test Tag schreiben")});
    QGroupBox* channel = frame(this, grid, 1, 0, "frameChannel", "Frequenz");
    txtChannel = NamedControl<QLineEdit>(channel, "txtChannel");
    channel->layout()->addWidget(txtChannel);
    rdReadingRange = options(frame(this, grid, 2, 0, "frameReadingRange", "Lesebereich"), "rdReadingRange",
                             {QStringLiteral("0,5 m"), QStringLiteral("1,0 m"), QStringLiteral("2,0 m"), QStringLiteral("3,0 m")});
    rdDataSpeed = options(frame(this, grid, 3, 0, "frameDataSpeed", "Bitrate"), "rdDataSpeed",
                          {QStringLiteral("Hoch"), QStringLiteral("Niedrig")});
    QGroupBox* address = frame(this, grid, 0, 1, "frameAddress", "Morsek Adr.");
    txtAddress = NamedControl<QLineEdit>(address, "txtAddress");
    address->layout()->addWidget(txtAddress);
    QGroupBox* port = frame(this, grid, 1, 1, "framePort", "Host Schnittstelle");
    cmbPort = labelled(port, "lblPort", "Schnittstelle", "cmbPort",
                       {QStringLiteral("RS232"), QStringLiteral("RS485 2 Draht"), QStringLiteral("RS485 4 Draht")});
    cmbBaud = labelled(port, "lblBaud", "Übertragungsrate", "cmbBaud",
                       {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                        QStringLiteral("19200"), QStringLiteral("38400")});
    cmbStopbits = labelled(port, "lblStopbits", "Stopbits", "cmbStopbits", {QStringLiteral("1"), QStringLiteral("2")});
    cmbParity = labelled(port, "lblParity", "Parität", "cmbParity",
                         {QStringLiteral("Keine"), QStringLiteral("Gerade"), QStringLiteral("Ungerade")});
    rdDatabase = options(frame(this, grid, 2, 1, "frameDatabase", "Datenbank durchsuchen"), "rdDatabase",
                         {QStringLiteral("Ja"), QStringLiteral("Nein")});
    const QStringList events = {QStringLiteral("aus"), QString::fromUtf8("gespeicherte Datenträger"),
                                QString::fromUtf8("alle Datenträger"), QStringLiteral("Bewegungsmessung"),
                                QString::fromUtf8("gespeicherte Datenträger und Bewegungsmessung"),
                                QString::fromUtf8("alle Datenträger und Bewegungsmessung")};
    QGroupBox* general = frame(this, grid, 0, 2, "frameGeneral", "Allgemein");
    cmbLog = labelled(general, "lblLog", "Logging", "cmbLog", events);
    cmbRelay = labelled(general, "lblRelay", "Relais", "cmbRelay", events);
    cmbBuzzer = labelled(general, "lblBuzzer", "Buzzer", "cmbBuzzer", events);
    cmbLED = labelled(general, "lblLED", "LED", "cmbLED", events);
    QGroupBox* radar = frame(this, grid, 1, 2, "frameRadar", "Doppler Radar");
    cmbRadar = NamedControl<QComboBox>(radar, "cmbRadar");
    cmbRadar->addItems({QStringLiteral("aus"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                        QStringLiteral("4"), QStringLiteral("5")});
    radar->layout()->addWidget(cmbRadar);
    QGroupBox* timeout = frame(this, grid, 2, 2, "frameTimeout", "Timeout");
    txtTimeout = NamedControl<QLineEdit>(timeout, "txtTimeout");
    timeout->layout()->addWidget(txtTimeout);
    rdTamper = options(frame(this, grid, 3, 2, "frameTamper", "Tamper Logging"), "rdTamper",
                       {QStringLiteral("Ja"), QStringLiteral("Nein")});
    for (QLineEdit* box : {txtChannel, txtAddress, txtTimeout}) {
        box->setMaxLength(2);
        box->installEventFilter(this);
    }
    lists_ = {cmbBaud, cmbBuzzer, cmbLED, cmbLog, cmbParity, cmbPort, cmbRadar, cmbRelay, cmbStopbits};
    const ButtonRow row = addButtonRow(top, "btOK", QStringLiteral("&OK"), 0);
    connect(row.ok, &QPushButton::clicked, this, &QDialog::accept);
    Show(ParseParameters(parameters));
    SetLanguage();
    fitAndCentre();
}

void frmSystemWLParameter::Show(const ReaderParameters& p)
{
    rdOPMode[std::clamp(p.mode, 0, 3)]->setChecked(true);
    txtChannel->setText(p.channel);
    rdReadingRange[std::clamp(p.range, 0, 3)]->setChecked(true);
    rdDataSpeed[p.dataSpeed == 1 ? 1 : 0]->setChecked(true);
    cmbPort->setCurrentIndex(p.port);
    txtAddress->setText(p.address);
    cmbBaud->setCurrentIndex(p.baud);
    cmbStopbits->setCurrentIndex(p.stopBits);
    cmbParity->setCurrentIndex(p.parity);
    rdDatabase[p.database == 1 ? 1 : 0]->setChecked(true);
    cmbRadar->setCurrentIndex(p.radar);
    cmbLog->setCurrentIndex(p.log);
    cmbRelay->setCurrentIndex(p.relay);
    cmbBuzzer->setCurrentIndex(p.buzzer);
    cmbLED->setCurrentIndex(p.led);
    txtTimeout->setText(p.timeout);
    rdTamper[p.tamper == 0 ? 0 : 1]->setChecked(true);
}

QByteArray frmSystemWLParameter::Result() const
{
    ReaderParameters p;
    p.mode = checkedIndex(rdOPMode);
    p.channel = txtChannel->text();
    p.range = checkedIndex(rdReadingRange);
    p.dataSpeed = checkedIndex(rdDataSpeed);
    p.port = cmbPort->currentIndex();
    p.address = txtAddress->text();
    p.baud = cmbBaud->currentIndex();
    p.stopBits = cmbStopbits->currentIndex();
    p.parity = cmbParity->currentIndex();
    p.database = checkedIndex(rdDatabase);
    p.radar = cmbRadar->currentIndex();
    p.log = cmbLog->currentIndex();
    p.relay = cmbRelay->currentIndex();
    p.buzzer = cmbBuzzer->currentIndex();
    p.led = cmbLED->currentIndex();
    p.timeout = txtTimeout->text();
    p.tamper = checkedIndex(rdTamper);
    return ComposeParameters(p);
}

void frmSystemWLParameter::SetLanguage()
{
    FamilyDialog::SetLanguage();
    if (!ctx_.language)
        return;
    if (!kept_) {
        for (QComboBox* list : std::as_const(lists_)) {
            QStringList texts;
            ctx_.language->StoreListTexts(list, texts);
            listDefaults_.append(texts);
        }
        kept_ = true;
    }
    for (qsizetype i = 0; i < lists_.size(); ++i)
        ctx_.language->TranslateListTexts(objectName(), lists_[i], listDefaults_[i]);
}

bool frmSystemWLParameter::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* box = qobject_cast<QLineEdit*>(watched); box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    return QDialog::eventFilter(watched, event);
}

} // namespace orvid
