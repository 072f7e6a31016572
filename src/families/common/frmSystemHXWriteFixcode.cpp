#include "frmSystemHXWriteFixcode.h"

#include "DataItems.h"
#include "TagWriters.h"
#include "FormControls.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "link/LK.h"
#include "shell/FixcodePicture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kHelpContext = 1090;
const QString kTooLongText = QStringLiteral("Der Fixcode darf höchstens 5 Byte lang sein.");
}

frmSystemHXWriteFixcode::frmSystemHXWriteFixcode(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemHXWriteFixcode", QStringLiteral("QTX11/QTX14 Fixcode schreiben"), parent)
{

    auto* top = new QVBoxLayout(this);

    frameData = new QGroupBox(QStringLiteral("Daten"), this);
    frameData->setObjectName(QStringLiteral("frameData"));
    auto* dl = new QVBoxLayout(frameData);
    top->addWidget(frameData);

    auto* middle = new QHBoxLayout;
    Picture1 = new FixcodePicture(this);
    middle->addWidget(Picture1);
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* rl = new QHBoxLayout(Frame1);
    const DataBox box = addDataBox(frameData, dl, Frame1, rl, 24, ByteTextEdit::FilterTyping);
    txtData = box.box;
    rdDataMode = box.options;
    data_ = box.edit;
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

    const ButtonRow row = addButtonRow(top, "btOk", QStringLiteral("&Ok"), kHelpContext);
    btOk = row.ok;
    btCancel = row.cancel;
    btHelp = row.help;
    ConnectAction(ctx_, btOk, &QPushButton::clicked, this, &frmSystemHXWriteFixcode::btOk_Click);
}

void frmSystemHXWriteFixcode::Load()
{
    SetLanguage();
    FillDialog();
    fitAndCentre();
}

void frmSystemHXWriteFixcode::FillDialog()
{
    // A writer without Buffered and Auto (the interface unit) gets Single and Enhanced.
    const IQTX11FixcodeWriter* writer = currentAs<IQTX11FixcodeWriter>();
    cmbMode->clear();
    AddModeItems(cmbMode, !writer || writer->Offer().allModes);
    SelectComboItem(cmbMode, 0, 0);

    const QVariant rep = item(KRItem::DataRepresentation);
    // With the text empty the option only takes the new representation.
    txtData->clear();
    data_->setRepresentation(rep.toInt());
}

int frmSystemHXWriteFixcode::DataRep() const
{
    return data_->representation();
}

void frmSystemHXWriteFixcode::refuseTooLong()
{
    const QString text = ctx_.language
        ? ctx_.language->Translate(objectName(), QStringLiteral("FixcodeTooLong"), kTooLongText)
        : kTooLongText;
    IMessagePresenter* presenter = ctx_.language ? ctx_.language->presenter() : nullptr;
    if (presenter) {
        MessageRequest request;
        request.title = ctx_.language->Translate(QStringLiteral("frmMessage"), QStringLiteral("frmMessage"),
                                                 QStringLiteral("Orvid"));
        request.text = text;
        request.buttons = Msg::OkOnly;
        presenter->present(request);
    }
    txtData->setFocus();
    txtData->selectAll();
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
    if (!data_->bytes(&fixcode))
        return;
    // Only five bytes go to the tag: the rest would be dropped without a word.
    if (fixcode.size() > kFixcodeBytes) {
        refuseTooLong();
        return;
    }
    auto* writer = currentAs<IQTX11FixcodeWriter>();
    if (!writer) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    // Written write-protected, the fixcode can never be changed again (a short one stays
    // filled up with NUL bytes): the user confirms. Without protection it can be rewritten.
    const bool writeProtect = chkFixcode->isChecked();
    if (writeProtect && ctx_.language && ctx_.language->ShowMessage(62, Msg::YesNo) == Msg::No)
        return;

    const int16_t mode = GetComboItemData(cmbMode);
    // A write the window refused (it has shown why) keeps the dialog open with the code.
    if (writer->WriteQTX11Fixcode(mode, writeProtect, fixcode))
        accept();
}

void frmSystemHXWriteFixcode::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXWriteFixcode dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
