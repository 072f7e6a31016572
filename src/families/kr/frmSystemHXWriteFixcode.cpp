#include "frmSystemHXWriteFixcode.h"

#include "KRDataRep.h"
#include "KRDialogTargets.h"
#include "foundations/ControlUtils.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kHelpContext = 1090;
}

frmSystemHXWriteFixcode::frmSystemHXWriteFixcode(AppContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemHXWriteFixcode"));
    setWindowTitle(QStringLiteral("QTX11/QTX14 Fixcode schreiben"));

    auto* top = new QVBoxLayout(this);

    frameData = new QGroupBox(QStringLiteral("Daten"), this);
    frameData->setObjectName(QStringLiteral("frameData"));
    auto* dl = new QVBoxLayout(frameData);
    txtData = new QLineEdit(frameData);
    txtData->setObjectName(QStringLiteral("txtData"));
    txtData->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtData->setMinimumWidth(txtData->fontMetrics().horizontalAdvance(QString(24, QLatin1Char('0'))));
    dl->addWidget(txtData);
    top->addWidget(frameData);
    connect(txtData, &QLineEdit::textChanged, this, &frmSystemHXWriteFixcode::txtData_Change);

    auto* middle = new QHBoxLayout;
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* rl = new QHBoxLayout(Frame1);
    const char* const repNames[] = {"ASCII", "HEX", "DEZ"};
    for (int i = 0; i < 3; ++i) {
        auto* rd = new QRadioButton(QString::fromLatin1(repNames[i]), Frame1);
        rd->setObjectName(QStringLiteral("rdDataMode"));
        rd->setProperty("ctrlIndex", i);
        rd->setProperty("langTag", QStringLiteral("NOLANG"));
        rl->addWidget(rd);
        rdDataMode.append(rd);
        connect(rd, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                rdDataMode_Click(i);
        });
    }
    rdDataMode[0]->setChecked(true);
    middle->addWidget(Frame1);

    frameFixcode = new QGroupBox(QStringLiteral("Fixcode"), this);
    frameFixcode->setObjectName(QStringLiteral("frameFixcode"));
    auto* fl = new QHBoxLayout(frameFixcode);
    chkFixcode = new QCheckBox(QStringLiteral("&schreibgeschützt"), frameFixcode);
    chkFixcode->setObjectName(QStringLiteral("chkFixcode"));
    fl->addWidget(chkFixcode);
    middle->addWidget(frameFixcode);

    frameMode = new QGroupBox(QStringLiteral("Betriebsart"), this);
    frameMode->setObjectName(QStringLiteral("frameMode"));
    auto* ml = new QHBoxLayout(frameMode);
    cmbMode = new QComboBox(frameMode);
    cmbMode->setObjectName(QStringLiteral("cmbMode"));
    ml->addWidget(cmbMode);
    middle->addWidget(frameMode);
    top->addLayout(middle);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOk = new QPushButton(QStringLiteral("&Ok"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("&Abbruch"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btHelp = new QPushButton(QStringLiteral("&Hilfe"), this);
    btHelp->setObjectName(QStringLiteral("btHelp"));
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    buttons->addWidget(btHelp);
    top->addLayout(buttons);

    connect(btOk, &QPushButton::clicked, this, &frmSystemHXWriteFixcode::btOk_Click);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btHelp, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });
}

void frmSystemHXWriteFixcode::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmSystemHXWriteFixcode::Load()
{
    SetLanguage();
    FillDialog();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmSystemHXWriteFixcode::FillDialog()
{
    // Every load starts from the full list.
    cmbMode->clear();
    AddComboItem(cmbMode, QStringLiteral("Single"), 0);
    AddComboItem(cmbMode, QStringLiteral("Buffered"), 1);
    AddComboItem(cmbMode, QStringLiteral("Auto"), 2);
    AddComboItem(cmbMode, QStringLiteral("Enhanced"), 3);
    // The interface unit knows Single and Enhanced only, over the serial line (1) and
    // over Ethernet (10) alike.
    const int16_t system = ctx_.lk ? ctx_.lk->CurrentSystemIndex() : 0;
    if (system == 1 || system == 10) {
        cmbMode->removeItem(1);
        cmbMode->removeItem(1);
    }
    SelectComboItem(cmbMode, 0, 0);

    QVariant rep = 0;
    if (ctx_.lk)
        ctx_.lk->LkGetData(KRItem::DataRepresentation, rep);
    int index = rep.toInt();
    if (index < 0 || index > 2)
        index = 0;
    txtData->clear();
    dataRep_ = 0;
    if (rdDataMode[index]->isChecked())
        dataRep_ = index;
    else
        rdDataMode[index]->setChecked(true); // the click handler takes it: the text is empty
}

void frmSystemHXWriteFixcode::selectError(int start, int length)
{
    txtData->setFocus();
    txtData->setSelection(start, length);
}

void frmSystemHXWriteFixcode::rdDataMode_Click(int index)
{
    if (repBusy_)
        return;
    repBusy_ = true;
    if (txtData->text().isEmpty()) {
        dataRep_ = index;
    } else {
        datarep::ConvError error;
        const QString converted = datarep::ChangeDataRep(txtData->text(), dataRep_, index, &error);
        if (!converted.isEmpty()) {
            dataRep_ = index;
            txtData->setText(converted);
        } else {
            rdDataMode[dataRep_]->setChecked(true);
            if (ctx_.language)
                ctx_.language->ShowMessage(20);
            selectError(error.start, error.length);
        }
    }
    repBusy_ = false;
}

void frmSystemHXWriteFixcode::txtData_Change()
{
    const QString allowed = datarep::AllowedChars(dataRep_);
    if (!allowed.isEmpty())
        FilterTextBox(txtData, allowed);
}

void frmSystemHXWriteFixcode::btOk_Click()
{
    // A device exchange is still waiting (a poll step, another dialog's write): the write
    // would run inside its wait.
    if (ctx_.lk && ctx_.lk->Busy()) {
        QApplication::beep();
        return;
    }
    QByteArray fixcode;
    if (!txtData->text().isEmpty()) {
        datarep::ConvError error;
        const bool ok = datarep::FromText(txtData->text(), dataRep_, fixcode, &error);
        if (!ok || fixcode.isEmpty()) {
            if (ok) // blanks only
                error = {0, int(txtData->text().size())};
            if (ctx_.language)
                ctx_.language->ShowMessage(20);
            selectError(error.start, error.length);
            return;
        }
    }
    // Bytes beyond the fifth would be dropped without a word.
    if (fixcode.size() > kFixcodeBytes) {
        if (ctx_.language)
            ctx_.language->ShowMessage(20);
        selectError(0, int(txtData->text().size()));
        return;
    }
    // The fixcode is written once and for good: a short or empty one is filled with NUL
    // bytes, so the user confirms it.
    if (fixcode.size() < kFixcodeBytes && ctx_.language
        && ctx_.language->ShowMessage(62, Msg::YesNo) != Msg::Yes)
        return;

    const bool writeProtect = chkFixcode->isChecked();
    const int16_t mode = GetComboItemData(cmbMode);
    if (ctx_.lk) {
        if (auto* writer = dynamic_cast<IQTX11FixcodeWriter*>(ctx_.lk->CurrentWindow()))
            writer->WriteQTX11Fixcode(mode, writeProtect, fixcode);
    }
    accept();
}

void frmSystemHXWriteFixcode::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXWriteFixcode dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
