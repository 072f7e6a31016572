#include "frmPortOptions.h"

#include "foundations/AppContext.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& entries)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(entries);
    return box;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmPortOptions::frmPortOptions(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmPortOptions"));
    setWindowTitle(QStringLiteral("Serielle Schnittstelle"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    cmbPort_ = new QComboBox(this);
    cmbPort_->setObjectName(QStringLiteral("cmbPort"));
    cmbPort_->setEditable(true);
    cmbPort_->setInsertPolicy(QComboBox::NoInsert);
    cmbPort_->setMinimumContentsLength(16);
    cmbBaud_ = makeList(this, "cmbBaud",
                        {QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"),
                         QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                         QStringLiteral("19200"), QStringLiteral("38400")});
    cmbParity_ = makeList(this, "cmbParity",
                          {QStringLiteral("Keine"), QStringLiteral("Gerade"), QStringLiteral("Ungerade")});
    cmbDatabits_ = makeList(this, "cmbDatabits", {QStringLiteral("7"), QStringLiteral("8")});
    cmbStopbits_ = makeList(this, "cmbStopbits", {QStringLiteral("1"), QStringLiteral("2")});
    cmbProtocol_ = makeList(this, "cmbProtocol", {QStringLiteral("Kein"), QStringLiteral("Hardware")});

    lblPort_ = makeLabel(this, "lblPort", QStringLiteral("&Schnittstelle"), cmbPort_);
    lblBaud_ = makeLabel(this, "lblBaud", QStringLiteral("&Übertragungsrate"), cmbBaud_);
    lblParity_ = makeLabel(this, "lblParity", QStringLiteral("&Parität"), cmbParity_);
    lblDatabits_ = makeLabel(this, "lblDatabits", QStringLiteral("&Datenbits"), cmbDatabits_);
    lblStopbits_ = makeLabel(this, "lblStopbits", QStringLiteral("Stop&bits"), cmbStopbits_);
    lblProtocol_ = makeLabel(this, "lblProtocol", QStringLiteral("Protoko&ll"), cmbProtocol_);

    btDefault_ = makeButton(this, "btDefault", QStringLiteral("Standard&werte setzen"));
    btOK_ = makeButton(this, "btOK", QStringLiteral("&OK"));
    btOK_->setDefault(true);
    btCancel_ = makeButton(this, "btCancel", QStringLiteral("&Abbruch"));
    btHelp_ = makeButton(this, "btHelp", QStringLiteral("&Hilfe"));

    auto* grid = new QGridLayout;
    const QList<QPair<QLabel*, QComboBox*>> rows = {
        {lblPort_, cmbPort_},         {lblBaud_, cmbBaud_},         {lblParity_, cmbParity_},
        {lblDatabits_, cmbDatabits_}, {lblStopbits_, cmbStopbits_}, {lblProtocol_, cmbProtocol_}};
    for (int r = 0; r < rows.size(); ++r) {
        grid->addWidget(rows[r].first, r, 0);
        grid->addWidget(rows[r].second, r, 1);
    }
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btOK_);
    buttons->addWidget(btCancel_);
    buttons->addWidget(btHelp_);
    buttons->addStretch();
    buttons->addWidget(btDefault_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(btOK_, &QPushButton::clicked, this, &frmPortOptions::accept);
    connect(btCancel_, &QPushButton::clicked, this, &frmPortOptions::reject);
    connect(btHelp_, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });
    connect(btDefault_, &QPushButton::clicked, this, &frmPortOptions::setDefaults);
    connect(cmbPort_, &QComboBox::editTextChanged, this, &frmPortOptions::updateOkButton);

    load();
}

int frmPortOptions::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmPortOptions dialog(ctx, parent);
    return dialog.exec();
}

void frmPortOptions::load()
{
    SetLanguage();
    QString port;
    QString settings;
    int16_t protocol = 0;
    if (ctx_.ports) {
        cmbPort_->addItems(ctx_.ports->FillComPorts());
        // An empty port name only reports the current configuration.
        ctx_.ports->OpenPort(port, settings, protocol, false);
    }
    // A stored device that is not present now (an unplugged adapter, a pseudo-terminal)
    // stays selected instead of silently turning into the first listed one.
    if (!port.isEmpty() && cmbPort_->findText(port) < 0)
        cmbPort_->insertItem(0, port);
    const int index = port.isEmpty() ? -1 : cmbPort_->findText(port);
    cmbPort_->setCurrentIndex(index >= 0 ? index : (cmbPort_->count() > 0 ? 0 : -1));
    InitSettings(settings, protocol != 0 ? 1 : 0);
    updateOkButton();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmPortOptions::InitSettings(const QString& settings, int16_t protocol)
{
    if (settings.isEmpty())
        protocol = 0;
    const QStringList fields = settings.split(QLatin1Char(','));
    QString baud = QStringLiteral("38400");
    QString parity;
    QString databits;
    QString stopbits;
    if (fields.size() >= 2) {
        baud = fields.at(0);
        if (fields.size() >= 3) {
            parity = fields.at(1);
            if (fields.size() >= 4) {
                databits = fields.at(2);
                // Everything after the third comma.
                stopbits = fields.mid(3).join(QLatin1Char(','));
            }
        }
    }
    const int baudIndex = cmbBaud_->findText(baud);
    cmbBaud_->setCurrentIndex(baudIndex >= 0 ? baudIndex : 5);
    cmbParity_->setCurrentIndex(parity == QLatin1String("e") ? 1 : parity == QLatin1String("o") ? 2 : 0);
    const int dataIndex = cmbDatabits_->findText(databits);
    cmbDatabits_->setCurrentIndex(dataIndex >= 0 ? dataIndex : 1);
    const int stopIndex = cmbStopbits_->findText(stopbits);
    cmbStopbits_->setCurrentIndex(stopIndex >= 0 ? stopIndex : 0);
    cmbProtocol_->setCurrentIndex(protocol >= 0 && protocol < cmbProtocol_->count() ? protocol : 0);
}

QString frmPortOptions::Settings() const
{
    const int p = cmbParity_->currentIndex();
    const QString parity = p == 1 ? QStringLiteral("e") : p == 2 ? QStringLiteral("o") : QStringLiteral("n");
    return cmbBaud_->currentText() + QLatin1Char(',') + parity + QLatin1Char(',')
           + cmbDatabits_->currentText() + QLatin1Char(',') + cmbStopbits_->currentText();
}

void frmPortOptions::setDefaults()
{
    InitSettings(QString(), 0);
}

void frmPortOptions::updateOkButton()
{
    // Without a device name OpenPort would only report the old configuration and the
    // chosen settings would be lost without a word.
    btOK_->setEnabled(!cmbPort_->currentText().trimmed().isEmpty());
}

void frmPortOptions::accept()
{
    if (cmbPort_->currentText().trimmed().isEmpty())
        return;
    // Reopening the port under an exchange that waits (a poll step goes on while the
    // dialog is open) would throw its reply away with the old port: the change waits for
    // the link, as any device action does.
    if (ctx_.lk)
        ctx_.lk->UserAction(btOK_, this, [this] { applyAndClose(); });
    else
        applyAndClose();
}

void frmPortOptions::applyAndClose()
{
    QString port = cmbPort_->currentText().trimmed();
    if (port.isEmpty())
        return;
    QString settings = Settings();
    int16_t protocol = static_cast<int16_t>(cmbProtocol_->currentIndex());
    if (ctx_.ports)
        ctx_.ports->OpenPort(port, settings, protocol, true);
    QDialog::accept();
}

void frmPortOptions::SetLanguage()
{
    if (!ctx_.language)
        return;
    const QList<QLabel*> labels = {lblPort_, lblBaud_, lblDatabits_, lblStopbits_, lblParity_,
                                   lblProtocol_};
    const QList<QPushButton*> buttons = {btOK_, btCancel_, btHelp_};
    if (!languageStored_) {
        setProperty("langTag", windowTitle());
        for (QLabel* l : labels)
            l->setProperty("langTag", l->text());
        btDefault_->setProperty("langTag", btDefault_->text());
        for (QPushButton* b : buttons)
            b->setProperty("langTag", b->text());
        parityTexts_.clear();
        for (int i = 0; i < cmbParity_->count(); ++i)
            parityTexts_.append(cmbParity_->itemText(i));
        protocolTexts_.clear();
        for (int i = 0; i < cmbProtocol_->count(); ++i)
            protocolTexts_.append(cmbProtocol_->itemText(i));
        languageStored_ = true;
    }
    const QString section = objectName();
    Language& lang = *ctx_.language;
    auto tagOf = [](QObject* o) { return o->property("langTag").toString(); };
    setWindowTitle(lang.Translate(section, section, tagOf(this)));
    for (QLabel* l : labels)
        l->setText(lang.Translate(section, l->objectName(), tagOf(l)));
    btDefault_->setText(lang.Translate(section, btDefault_->objectName(), tagOf(btDefault_)));
    for (int i = 0; i < parityTexts_.size(); ++i)
        cmbParity_->setItemText(i, lang.Translate(section, QStringLiteral("Parity%1").arg(i),
                                                  parityTexts_.at(i)));
    for (int i = 0; i < protocolTexts_.size(); ++i)
        cmbProtocol_->setItemText(i, lang.Translate(section, QStringLiteral("Protocol%1").arg(i),
                                                    protocolTexts_.at(i)));
    for (QPushButton* b : buttons)
        b->setText(lang.Translate(section, b->objectName(), tagOf(b)));
}

} // namespace orvid
