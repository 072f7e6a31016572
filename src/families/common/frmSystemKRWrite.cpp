#include "frmSystemKRWrite.h"

#include "DataItems.h"
#include "TagWriters.h"
#include "KRTagTypes.h"
#include "FormControls.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Utils.h"
#include "link/LK.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kHelpContext = 1090;
const char* const kSection = "frmSystemKRWrite";
const char* const kHexChars = "0123456789abcdefABCDEF";
} // namespace

frmSystemKRWrite::frmSystemKRWrite(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, kSection, QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);

    frameData = NamedFrame(this, "frameData", QStringLiteral("Daten"));
    auto* dl = new QVBoxLayout(frameData);
    Frame1 = new QGroupBox(frameData);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* rl = new QHBoxLayout(Frame1);
    const DataBox box = addDataBox(frameData, dl, Frame1, rl, 48, ByteTextEdit::FilterTyping);
    txtData = box.box;
    rdDataMode = box.options;
    data_ = box.edit;
    rl->addStretch(1);
    dl->addWidget(Frame1);
    top->addWidget(frameData);

    auto* grid = new QGridLayout;
    frameCode = NamedFrame(this, "frameCode", QStringLiteral("Code/Datenträger"));
    cmbCode = new QComboBox(frameCode);
    cmbCode->setObjectName(QStringLiteral("cmbCode"));
    for (const TagType& t : KRWriteDesignTagTypes())
        AddComboItem(cmbCode, t.name, t.code);
    (new QHBoxLayout(frameCode))->addWidget(cmbCode);
    connect(cmbCode, qOverload<int>(&QComboBox::activated), this, [this] { cmbCode_Click(); });
    grid->addWidget(frameCode, 0, 0);

    frameMode = NamedFrame(this, "frameMode", QStringLiteral("Betriebsart"));
    auto* ml = new QHBoxLayout(frameMode);
    cmbMode = new QComboBox(frameMode);
    cmbMode->setObjectName(QStringLiteral("cmbMode"));
    // The system R window offers Enhanced as well; without it a write in that mode would
    // go out as Single.
    AddModeItems(cmbMode);
    cmbModeQTI = new QComboBox(frameMode);
    cmbModeQTI->setObjectName(QStringLiteral("cmbModeQTI"));
    cmbModeQTI->setProperty("langTag", QStringLiteral("NOLANG"));
    AddModeItems(cmbModeQTI, false);
    ml->addWidget(cmbMode);
    ml->addWidget(cmbModeQTI);
    cmbModeQTI->hide();
    grid->addWidget(frameMode, 0, 1);

    frameHeadNumber = NamedFrame(this, "frameHeadNumber", QStringLiteral("Kopfnummer"));
    cmbHeadNumber = new QComboBox(frameHeadNumber);
    cmbHeadNumber->setObjectName(QStringLiteral("cmbHeadNumber"));
    cmbHeadNumber->setProperty("langTag", QStringLiteral("NOLANG"));
    (new QHBoxLayout(frameHeadNumber))->addWidget(cmbHeadNumber);
    grid->addWidget(frameHeadNumber, 0, 2);

    frameAddress = NamedFrame(this, "frameAddress", QStringLiteral("Adresse (Hex.)"));
    txtAddress = new QLineEdit(QStringLiteral("0000"), frameAddress);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setMaxLength(4);
    txtAddress->installEventFilter(this);
    (new QHBoxLayout(frameAddress))->addWidget(txtAddress);
    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    grid->addWidget(frameAddress, 1, 0);

    frameFixcode = NamedFrame(this, "frameFixcode", QStringLiteral("Fixcode"));
    chkFixcode = new QCheckBox(QStringLiteral("&aktivieren"), frameFixcode);
    chkFixcode->setObjectName(QStringLiteral("chkFixcode"));
    (new QHBoxLayout(frameFixcode))->addWidget(chkFixcode);
    grid->addWidget(frameFixcode, 1, 1);
    top->addLayout(grid);

    const ButtonRow row = addButtonRow(top, "btOK", QStringLiteral("&OK"), kHelpContext);
    btOK = row.ok;
    btCancel = row.cancel;
    btHelp = row.help;
    ConnectAction(ctx_, btOK, &QPushButton::clicked, this, &frmSystemKRWrite::btOK_Click);
}

WriterOffer frmSystemKRWrite::offer() const
{
    const ITagWriter* writer = currentAs<ITagWriter>();
    return writer ? writer->Offer() : WriterOffer();
}

void frmSystemKRWrite::Load(int16_t headCount)
{
    headCount_ = headCount;
    SetLanguage();
    cmbHeadNumber->clear();
    for (int i = 1; i <= headCount_; ++i)
        AddComboItem(cmbHeadNumber, QString::number(i), i);
    AddComboItem(cmbHeadNumber, QStringLiteral("x"), 0);
    FillDialog();
    fitAndCentre();
}

void frmSystemKRWrite::FillDialog()
{
    const int16_t system = ctx_.lk ? ctx_.lk->CurrentSystemIndex() : 0;
    const QString standard = ctx_.language
        ? ctx_.language->Translate(QString::fromLatin1(kSection), QStringLiteral("StandardOrvid"),
                                   QStringLiteral("Standard"))
        : QStringLiteral("Standard");
    if (offer().typesByHeadFamily) {
        HeadFamilies heads;
        heads.inductive = item(KRItem::InductiveHead).toBool();
        heads.microwave = item(KRItem::MicrowaveHead).toBool();
        heads.zlb = item(KRItem::ZLBHead).toBool();
        heads.rmb = item(KRItem::RMBHead).toBool();
        heads.rmb1 = item(KRItem::RMB1Head).toBool();
        heads.rmb2 = item(KRItem::RMB2Head).toBool();
        heads.vnb = item(KRItem::VNBHead).toBool();
        cmbCode->clear();
        for (const TagType& t : KRWriteTagTypesForHeads(heads))
            AddComboItem(cmbCode, t.code == TagCode::Standard ? standard : t.name, t.code);
    } else {
        // The design entries stay (translated); the system's further types follow.
        for (const TagType& t : KRWriteTagTypes(system)) {
            if (SelectComboItem(cmbCode, t.code, -1, false) < 0)
                AddComboItem(cmbCode, t.code == TagCode::Standard ? standard : t.name, t.code);
        }
    }
    SelectComboItem(cmbCode, static_cast<int16_t>(item(KRItem::Tagcode).toInt()), 0);
    cmbCode->setEnabled(cmbCode->count() > 2);

    // A writer without Buffered and Auto gets the short list.
    const bool qti = !offer().allModes;
    cmbModeQTI->setVisible(qti);
    cmbMode->setVisible(!qti);
    const auto mode = static_cast<int16_t>(item(KRItem::OperationMode).toInt());
    SelectComboItem(cmbMode, mode, 0);
    SelectComboItem(cmbModeQTI, mode, 0);

    const qint64 address = item(KRItem::StartAddress).toLongLong() & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(address, "0000")));

    // The text is empty while the option changes, so the click only takes the new index.
    txtData->clear();
    data_->setRepresentation(item(KRItem::DataRepresentation).toInt());
    data_->setBytes(item(KRItem::LastData).toByteArray());

    const bool modeEnabled = item(KRItem::ModeFrameEnabled).toBool();
    frameMode->setEnabled(modeEnabled);
    cmbMode->setEnabled(modeEnabled);
    frameHeadNumber->setVisible(item(KRItem::HeadFrameVisible).toBool());

    cmbHeadNumber->setCurrentIndex(SelectComboItem(cmbHeadNumber, HeadNumberData(item(KRItem::HeadNumber).toString()), -1, false));

    cmbCode_Click();
}

void frmSystemKRWrite::cmbCode_Click()
{
    const bool qtx10 = GetComboItemData(cmbCode) == TagCode::QTX10;
    frameFixcode->setEnabled(qtx10);
    chkFixcode->setEnabled(qtx10);
}

int frmSystemKRWrite::DataRep() const
{
    return data_->representation();
}

void frmSystemKRWrite::txtAddress_LostFocus()
{
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(v, "0000")));
}

bool frmSystemKRWrite::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtAddress) {
        if (event->type() == QEvent::FocusIn)
            SelectAllTextBox(txtAddress);
        else if (event->type() == QEvent::FocusOut)
            txtAddress_LostFocus();
    }
    return FamilyDialog::eventFilter(watched, event);
}

void frmSystemKRWrite::btOK_Click()
{
    // A device exchange is still waiting: the write would run inside its wait.
    if (ctx_.lk && ctx_.lk->Busy()) {
        QApplication::beep();
        return;
    }
    QByteArray data;
    if (!data_->bytes(&data))
        return;
    // A window that takes no writes (another family became current meanwhile) and a write
    // the window refused both keep the dialog open with the user's entries; the window has
    // reported why it refused.
    auto* writer = currentAs<ITagWriter>();
    if (!writer) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }

    const int16_t tagCode = GetComboItemData(cmbCode);
    bool fixcode = false;
    if (tagCode == TagCode::QTX10) {
        fixcode = chkFixcode->isChecked();
        if (fixcode && ctx_.language && ctx_.language->ShowMessage(62, Msg::YesNo) == Msg::No)
            return;
    }
    const int16_t mode = GetComboItemData(writer->Offer().allModes ? cmbMode : cmbModeQTI);
    const int16_t headData = GetComboItemData(cmbHeadNumber);
    const QByteArray head = headData == 0 ? QByteArray("x") : QByteArray::number(headData);
    txtAddress_LostFocus();
    const int32_t address = static_cast<int32_t>(static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF);

    if (writer->WriteTag(tagCode, mode, fixcode, address, int(data.size()), data, head))
        accept();
}

void frmSystemKRWrite::ShowDialog(AppContext& ctx, int16_t headCount, QWidget* parent)
{
    frmSystemKRWrite dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load(headCount);
    dialog.exec();
}

} // namespace orvid
