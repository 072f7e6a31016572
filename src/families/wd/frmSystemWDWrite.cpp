#include "frmSystemWDWrite.h"

#include "WDFields.h"
#include "WDProtocol.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "shell/ByteTextEdit.h"

#include "families/common/FormControls.h"

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

namespace {
constexpr int kHelpContext = 2550;
using WDFields::kHexChars;
constexpr int kTagMemory = WDProtocol::kAddressSpace;
} // namespace

WDAccessDialog::WDAccessDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent)
    : FamilyDialog(ctx, name, title, parent)
{
}

QGroupBox* WDAccessDialog::buildHead(const QStringList& heads)
{
    frameHeadNumber = NamedFrame(this, "frameHeadNumber", QStringLiteral("Antenne"));
    cmbHeadNumber = new QComboBox(frameHeadNumber);
    cmbHeadNumber->setObjectName(QStringLiteral("cmbHeadNumber"));
    cmbHeadNumber->setProperty("langTag", QStringLiteral("NOLANG"));
    cmbHeadNumber->addItems(heads);
    (new QHBoxLayout(frameHeadNumber))->addWidget(cmbHeadNumber);
    return frameHeadNumber;
}

QGroupBox* WDAccessDialog::buildAccess(const QString& title, const QStringList& options)
{
    frameAccessType = NamedFrame(this, "frameAccessType", title);
    auto* al = new QVBoxLayout(frameAccessType);
    rdIDCode = CreateOptionArray(frameAccessType, al, QStringLiteral("rdIDCode"), options, true,
                                 [this](int i) { rdIDCode_Click(i); });
    auto* idRow = new QHBoxLayout;
    lblIdCode = new QLabel(QStringLiteral("ID-Code (Hex.)"), frameAccessType);
    lblIdCode->setObjectName(QStringLiteral("lblIdCode"));
    txtIDCode = new QLineEdit(QStringLiteral("00000000"), frameAccessType);
    txtIDCode->setObjectName(QStringLiteral("txtIDCode"));
    txtIDCode->setMaxLength(8);
    idRow->addWidget(lblIdCode);
    idRow->addWidget(txtIDCode);
    al->addLayout(idRow);
    connect(txtIDCode, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtIDCode, QString::fromLatin1(kHexChars)); });
    txtIDCode->installEventFilter(this);
    rdIDCode[0]->setChecked(true);
    return frameAccessType;
}

void WDAccessDialog::buildButtons(QBoxLayout* top, const QString& okText, int helpContext)
{
    const ButtonRow row = addButtonRow(top, "btOk", okText, helpContext);
    btOk = row.ok;
    btCancel = row.cancel;
    btHelp = row.help;
}

IWDWriteTarget* WDAccessDialog::target() const
{
    return target_ ? target_ : currentAs<IWDWriteTarget>();
}

WDEntries WDAccessDialog::loadEntries()
{
    WDEntries entries;
    if (IWDWriteTarget* t = target())
        entries = t->Entries();
    cmbHeadNumber->setCurrentIndex(entries.head >= 0 && entries.head < cmbHeadNumber->count() ? entries.head : 0);
    SetOptionGroup(rdIDCode, entries.accessType);
    rdIDCode_Click(GetOptionGroup(rdIDCode));
    txtIDCode->setText(entries.idCode);
    return entries;
}

void WDAccessDialog::finishLoad()
{
    SetLanguage();
    fitAndCentre();
}

void WDAccessDialog::rdIDCode_Click(int index)
{
    lblIdCode->setEnabled(index != 0);
    txtIDCode->setEnabled(index != 0);
}

frmSystemWDWrite::frmSystemWDWrite(AppContext& ctx, QWidget* parent)
    : WDAccessDialog(ctx, "frmSystemWDWrite", QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;

    grid->addWidget(buildHead({QStringLiteral("0"), QStringLiteral("1")}), 0, 0);

    frameAddress = NamedFrame(this, "frameAddress", QStringLiteral("Adresse (Hex.)"));
    txtAddress = new QLineEdit(QStringLiteral("0000"), frameAddress);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setMaxLength(4);
    (new QHBoxLayout(frameAddress))->addWidget(txtAddress);
    grid->addWidget(frameAddress, 1, 0);

    grid->addWidget(buildAccess(QStringLiteral("Zugriffsart"), WDFields::AccessTypeTexts()), 0, 1, 2, 1);
    top->addLayout(grid);

    frameData = NamedFrame(this, "frameData", QStringLiteral("Daten"));
    auto* dl = new QVBoxLayout(frameData);
    auto* rl = new QHBoxLayout;
    // Typing is not held to the representation here: a wrong character is shown by
    // message 20 on OK or on a switch, with the character selected.
    const DataBox box = addDataBox(frameData, dl, frameData, rl, 48, ByteTextEdit::AnyTyping);
    txtData = box.box;
    rdDataMode = box.options;
    data_ = box.edit;
    rl->addStretch(1);
    dl->addLayout(rl);
    top->addWidget(frameData);

    buildButtons(top, QStringLiteral("&OK"), kHelpContext);

    // The address is hex like in the main window: other characters would silently give a
    // different address.
    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    for (QLineEdit* e : {txtAddress, txtData})
        e->installEventFilter(this);
    ConnectAction(ctx_, btOk, &QPushButton::clicked, this, &frmSystemWDWrite::btOk_Click);
}

void frmSystemWDWrite::Load()
{
    const WDEntries entries = loadEntries();
    txtAddress->setText(WDFields::FormatAddress(entries.address));
    // With the text still empty the option's click only takes the new representation.
    txtData->clear();
    data_->setRepresentation(entries.dataRepresentation);
    data_->setBytes(entries.lastData);
    finishLoad();
}

int frmSystemWDWrite::DataRep() const
{
    return data_->representation();
}

bool frmSystemWDWrite::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(box);
    } else if (box && event->type() == QEvent::FocusOut) {
        if (box == txtIDCode)
            box->setText(WDFields::FormatIDCode(box->text()));
        else if (box == txtAddress)
            box->setText(WDFields::FormatAddress(box->text()));
    }
    return QDialog::eventFilter(watched, event);
}

void frmSystemWDWrite::btOk_Click()
{
    QByteArray data;
    if (!data_->bytes(&data))
        return;
    txtAddress->setText(WDFields::FormatAddress(txtAddress->text()));
    const auto address = static_cast<quint16>(static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF);
    IWDWriteTarget* t = target();
    // Bytes past the end of the tag memory cannot be written: refuse before anything goes
    // out instead of writing a part of the data.
    if (!t || address + data.size() > kTagMemory) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        if (t) {
            txtData->setFocus();
            txtData->selectAll();
        }
        return;
    }
    const auto head = static_cast<int16_t>(qMax(0, cmbHeadNumber->currentIndex()));
    const auto access = static_cast<int16_t>(GetOptionGroup(rdIDCode));
    // A write the unit did not confirm has been reported by the system window; the dialog
    // stays open so the data can be sent again or the dialog cancelled.
    if (t->WriteTag(true, head, access, txtIDCode->text(), address, int(data.size()), data))
        accept();
}

void frmSystemWDWrite::ShowDialog(AppContext& ctx, QWidget* parent, IWDWriteTarget* target)
{
    frmSystemWDWrite dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.setTarget(target);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
