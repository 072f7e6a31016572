#include "frmSystemHXParameterVNB.h"

#include "families/common/Exchange.h"
#include "frmSystemHXSetLanguage.h"

#include "families/common/FormControls.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Utils.h"
#include "link/DeviceWait.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const QString kDigits = QStringLiteral("~0123456789");
const char kApLetters[] = "CLRHV";
const char* const kApDefaults[] = {"zirkular", "linear", "zirkular", "linear horizontal", "linear vertikal"};
} // namespace

frmSystemHXParameterVNB::frmSystemHXParameterVNB(AppContext& ctx, const hx::HXHeadType& head,
                                                 hx::IHXParameterLink& link, hx::ParameterList& params, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemHXParameterVNB", QStringLiteral("<%s> Parameter"), parent), head_(head), link_(link),
      params_(params)
{
    auto* top = new QVBoxLayout(this);
    frameParameter = NamedControl<QGroupBox>(this, "frameParameter");
    frameParameter->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* grid = new QGridLayout(frameParameter);
    top->addWidget(frameParameter);
    int row = 0;
    auto label = [&](QLabel*& l, const char* name, const QString& caption) {
        l = NamedControl<QLabel>(frameParameter, name);
        l->setText(caption);
        grid->addWidget(l, row, 0);
    };
    auto box = [&](QLineEdit*& b, const char* name, int maxLength, int index = -1) {
        b = NamedControl<QLineEdit>(frameParameter, name, index);
        b->setMaxLength(maxLength);
        b->installEventFilter(this);
        QLineEdit* self = b;
        // Digits only: a blank inside a number would be read around.
        connect(b, &QLineEdit::textChanged, this, [self] { FilterText(self, kDigits); });
        return b;
    };

    label(lblPolarisation, "lblPolarisation", QStringLiteral("Polarisation (AP)"));
    cmbPolarisation = NamedControl<QComboBox>(frameParameter, "cmbPolarisation");
    cmbPolarisation->setProperty("langTag", QStringLiteral("NOLANG"));
    connect(cmbPolarisation, QOverload<int>::of(&QComboBox::activated), this, [this] { apPicked_ = true; });
    grid->addWidget(cmbPolarisation, row++, 1);

    label(lblPowerTransmit, "lblPowerTransmit", QStringLiteral("Sendeleistung (PT)"));
    auto* ptGrid = new QGridLayout;
    for (int i = 0; i < 10; ++i) {
        QLineEdit* b = nullptr;
        txtPowerTransmit.append(box(b, "txtPowerTransmit", 4, i));
        auto* unit = NamedControl<QLabel>(frameParameter, "lblPowerTransmitUnit", i);
        unit->setText(i == 0 ? QStringLiteral("mW") : QStringLiteral("mW (optional)"));
        lblPowerTransmitUnit.append(unit);
        ptGrid->addWidget(b, i / 2, (i % 2) * 2);
        ptGrid->addWidget(unit, i / 2, (i % 2) * 2 + 1);
    }
    grid->addLayout(ptGrid, row++, 1);

    label(lblDenseReaderMode, "lblDenseReaderMode", QStringLiteral("Sendekanäle (CD)"));
    auto* cdRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* c = NamedControl<QComboBox>(frameParameter, "cmbDenseReaderMode", i);
        c->setProperty("langTag", QStringLiteral("NOLANG"));
        connect(c, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, i] { cmbDenseReaderMode_Click(i); });
        cmbDenseReaderMode.append(c);
        cdRow->addWidget(c);
    }
    grid->addLayout(cdRow, row++, 1);

    const struct {
        QLabel** l;
        const char* lname;
        const char* caption;
        QLineEdit** b;
        const char* bname;
        int maxLength;
    } numbers1[] = {
        {&lblNumberChannels, "lblNumberChannels", "Anzahl Kanäle (NC) (1...50)", &txtNumberChannels, "txtNumberChannels", 2},
        {&lblTriesAllowed, "lblTriesAllowed", "Anzahl Versuche (TA) (1...255)", &txtTriesAllowed, "txtTriesAllowed", 3},
        {&lblEnhancedStatus, "lblEnhancedStatus", "Enhanced Status 5 (E5) (0...252)", &txtEnhancedStatus,
         "txtEnhancedStatus", 3},
    };
    for (const auto& n : numbers1) {
        label(*n.l, n.lname, QString::fromUtf8(n.caption));
        grid->addWidget(box(*n.b, n.bname, n.maxLength), row++, 1);
    }
    auto combo = [&](QComboBox*& c, const char* name, const QList<std::pair<QString, int>>& items) {
        c = NamedControl<QComboBox>(frameParameter, name);
        for (const auto& [t, d] : items)
            c->addItem(t, d);
        grid->addWidget(c, row++, 1);
    };
    label(lblMemoryBank, "lblMemoryBank", QStringLiteral("Speichermodul (MB)"));
    combo(cmbMemoryBank, "cmbMemoryBank", {{QStringLiteral("Reserved (Password)-00"), 0}, {QStringLiteral("UII/EPC-01"), 1},
                                           {QStringLiteral("TID-02"), 2}, {QStringLiteral("User Memory-03"), 3}});
    label(lblProtocollMode, "lblProtocollMode", QStringLiteral("Protokollmodus (QV)"));
    combo(cmbProtocollMode, "cmbProtocollMode", {{QStringLiteral("Singleframe"), 0}, {QStringLiteral("Multiframe"), 1}});
    label(lblAdditionalInfo, "lblAdditionalInfo", QStringLiteral("Zusatzinformation (IF)"));
    combo(cmbAdditionalInfo, "cmbAdditionalInfo", {{QStringLiteral("Aus"), 0}, {QStringLiteral("Ein"), 1}});
    const struct {
        QLabel** l;
        const char* lname;
        const char* caption;
        QLineEdit** b;
        const char* bname;
        int maxLength;
    } numbers2[] = {
        {&lblQValue, "lblQValue", "Q-Wert (QW) (0...7)", &txtQValue, "txtQValue", 1},
        {&lblBreakCriteria, "lblBreakCriteria", "Abbruchkriterium für Suche (NT) (0...255)", &txtBreakCriteria,
         "txtBreakCriteria", 3},
        {&lblTransmissionPause, "lblTransmissionPause", "Sendepause (SM) (0...65535)", &txtTransmissionPause,
         "txtTransmissionPause", 5},
    };
    for (const auto& n : numbers2) {
        label(*n.l, n.lname, QString::fromUtf8(n.caption));
        grid->addWidget(box(*n.b, n.bname, n.maxLength), row++, 1);
    }

    auto* buttons = new QHBoxLayout;
    btFactorySettings = NamedControl<QPushButton>(this, "btFactorySettings");
    btFactorySettings->setText(QStringLiteral("Auf Werkseinstellungen zurücksetzen"));
    btCancel = NamedControl<QPushButton>(this, "btCancel");
    btCancel->setText(QStringLiteral("&Abbruch"));
    btOK = NamedControl<QPushButton>(this, "btOK");
    btOK->setText(QStringLiteral("&OK"));
    btOK->setDefault(true);
    buttons->addWidget(btFactorySettings);
    buttons->addStretch();
    buttons->addWidget(btCancel);
    buttons->addWidget(btOK);
    top->addLayout(buttons);
    ConnectAction(ctx_, btOK, &QPushButton::clicked, this, &frmSystemHXParameterVNB::btOK_Click);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    ConnectAction(ctx_, btFactorySettings, &QPushButton::clicked, this, &frmSystemHXParameterVNB::btFactorySettings_Click);
}

QString frmSystemHXParameterVNB::text(const QString& key, const QString& fallback) const
{
    return ctx_.language ? ctx_.language->Translate(objectName(), key, fallback) : fallback;
}

void frmSystemHXParameterVNB::Load()
{
    SetLanguage();
    baseCaption_ = FormatArgs(windowTitle(), head_.name);
    setWindowTitle(baseCaption_);
    FillForm();
    fitAndCentre();
}

QList<QWidget*> frmSystemHXParameterVNB::controlsOf(const QString& name) const
{
    if (name == QLatin1String("AP"))
        return {lblPolarisation, cmbPolarisation};
    if (name == QLatin1String("PT")) {
        QList<QWidget*> w{lblPowerTransmit};
        for (int i = 0; i < 10; ++i)
            w << txtPowerTransmit[i] << lblPowerTransmitUnit[i];
        return w;
    }
    if (name == QLatin1String("CD"))
        return {lblDenseReaderMode, cmbDenseReaderMode[0], cmbDenseReaderMode[1], cmbDenseReaderMode[2],
                cmbDenseReaderMode[3]};
    const std::pair<const char*, QList<QWidget*>> others[] = {
        {"NC", {lblNumberChannels, txtNumberChannels}}, {"TA", {lblTriesAllowed, txtTriesAllowed}},
        {"E5", {lblEnhancedStatus, txtEnhancedStatus}}, {"MB", {lblMemoryBank, cmbMemoryBank}},
        {"QV", {lblProtocollMode, cmbProtocollMode}},   {"IF", {lblAdditionalInfo, cmbAdditionalInfo}},
        {"QW", {lblQValue, txtQValue}},                 {"NT", {lblBreakCriteria, txtBreakCriteria}},
        {"SM", {lblTransmissionPause, txtTransmissionPause}},
    };
    for (const auto& [n, w] : others)
        if (name == QLatin1String(n))
            return w;
    return {};
}

QLineEdit* frmSystemHXParameterVNB::boxOf(const QString& name, int box) const
{
    if (name == QLatin1String("PT"))
        return txtPowerTransmit.value(box);
    const QList<QWidget*> w = controlsOf(name);
    return w.size() == 2 ? qobject_cast<QLineEdit*>(w[1]) : nullptr;
}

void frmSystemHXParameterVNB::FillForm()
{
    filling_ = true;
    apPicked_ = false;
    form_ = hx::FillVNBForm(params_, head_);
    setWindowTitle(form_.profile ? baseCaption_ + QLatin1Char(' ')
                                       + FormatArgs(text(QStringLiteral("CountryVersion"), QStringLiteral("(Länderkennung %s)")),
                                                    frmSystemHXSetLanguage::Description(ctx_, *form_.profile))
                                 : baseCaption_);
    cmbPolarisation->clear();
    for (int d : form_.apItems)
        cmbPolarisation->addItem(text(QStringLiteral("Polarisation_") + QLatin1Char(kApLetters[d]),
                                      QString::fromUtf8(kApDefaults[d])),
                                 d);
    SelectComboItem(cmbPolarisation, static_cast<int16_t>(form_.ap), 0);
    for (int k = 0; k < 10; ++k)
        txtPowerTransmit[k]->setText(form_.pt[k]);
    for (int k = 0; k < 4; ++k) {
        QComboBox* c = cmbDenseReaderMode[k];
        c->clear();
        for (int d : form_.cdItems)
            c->addItem(d == 0 ? QStringLiteral("-/-") : QString::number(d), d);
        SelectComboItem(c, static_cast<int16_t>(form_.cd[k]), 0);
    }
    txtNumberChannels->setText(form_.nc);
    txtTriesAllowed->setText(form_.ta);
    txtEnhancedStatus->setText(form_.e5);
    txtQValue->setText(form_.qw);
    txtBreakCriteria->setText(form_.nt);
    txtTransmissionPause->setText(form_.sm);
    SelectComboItem(cmbMemoryBank, static_cast<int16_t>(form_.mb), 2);
    SelectComboItem(cmbProtocollMode, static_cast<int16_t>(form_.qv), 0);
    SelectComboItem(cmbAdditionalInfo, static_cast<int16_t>(form_.info), 0);
    for (auto it = form_.enabled.cbegin(); it != form_.enabled.cend(); ++it)
        for (QWidget* w : controlsOf(it.key()))
            w->setEnabled(it.value());
    filling_ = false;
}

void frmSystemHXParameterVNB::cmbDenseReaderMode_Click(int index)
{
    if (filling_)
        return;
    filling_ = true;
    const int v = GetComboItemData(cmbDenseReaderMode[index]);
    if (v > 0)
        for (int k = 0; k < 4; ++k)
            if (k != index && GetComboItemData(cmbDenseReaderMode[k]) == v)
                SelectComboItem(cmbDenseReaderMode[k], 0, 0);
    filling_ = false;
}

void frmSystemHXParameterVNB::btOK_Click()
{
    hx::VNBForm f = form_;
    f.apKept = form_.apKept && !apPicked_;
    f.ap = GetComboItemData(cmbPolarisation);
    for (int k = 0; k < 10; ++k)
        f.pt[k] = txtPowerTransmit[k]->text();
    for (int k = 0; k < 4; ++k)
        f.cd[k] = GetComboItemData(cmbDenseReaderMode[k]);
    f.nc = txtNumberChannels->text();
    f.ta = txtTriesAllowed->text();
    f.e5 = txtEnhancedStatus->text();
    f.qw = txtQValue->text();
    f.nt = txtBreakCriteria->text();
    f.sm = txtTransmissionPause->text();
    f.mb = GetComboItemData(cmbMemoryBank);
    f.qv = GetComboItemData(cmbProtocollMode);
    f.info = GetComboItemData(cmbAdditionalInfo);
    const auto fault = hx::ComposeVNBForm(f, head_, params_);
    if (!fault) {
        accept();
        return;
    }
    const QList<QWidget*> controls = controlsOf(fault->name);
    const QString caption = controls.isEmpty() ? fault->name : qobject_cast<QLabel*>(controls[0])->text();
    if (ctx_.language)
        ctx_.language->ShowMessage(81, 0, 0,
                                   caption + QLatin1Char('|') + QString::number(fault->min) + QLatin1Char('|')
                                       + QString::number(fault->max));
    if (QLineEdit* b = boxOf(fault->name, fault->box)) {
        b->setFocus();
        b->selectAll();
    }
}

void frmSystemHXParameterVNB::btFactorySettings_Click()
{
    if (ctx_.language && ctx_.language->ShowMessage(82, Msg::YesNo) != Msg::Yes)
        return;
    clsParameter rd;
    rd.Init(QStringLiteral("RD"), QString());
    setEnabled(false);
    const int16_t r = link_.WriteCmd(rd);
    if (r > 0) {
        // The head restarts after the reset: wait for it with events flowing, then take
        // what it reports as the values to compare edits against.
        DeviceWait::waitUntil([] { return false; }, resetPauseMs);
        QString failed;
        const int16_t read = hx::ReadAllParameters(link_, params_, &failed);
        if (read < 0)
            link_.ListLine(link_.ParameterError(failed, read));
    } else {
        link_.ListLine(link_.ParameterError(rd.Name(), r));
    }
    setEnabled(true);
    FillForm();
}

bool frmSystemHXParameterVNB::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        if (auto* b = qobject_cast<QLineEdit*>(watched))
            SelectAllTextBox(b);
    return FamilyDialog::eventFilter(watched, event);
}

bool frmSystemHXParameterVNB::ShowDialog(AppContext& ctx, QWidget* parent, const hx::HXHeadType& head,
                                         hx::IHXParameterLink& link, hx::ParameterList& params)
{
    frmSystemHXParameterVNB dialog(ctx, head, link, params, parent ? parent : ctx.mainWindow);
    dialog.Load();
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvid
