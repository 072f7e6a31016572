#include "frmSystemKDWrite.h"

#include "KDControls.h"
#include "KDItems.h"
#include "KDReadWriteProtocol.h"
#include "families/common/TagDataList.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "shell/ByteText.h"
#include "shell/ByteTextEdit.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orvid {

namespace {
quint16 hexAddress(const QString& text)
{
    quint32 v = 0;
    ParseHexDigits(text.toLatin1(), v);
    return static_cast<quint16>(v);
}
} // namespace

frmSystemKDWrite::frmSystemKDWrite(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemKDWrite", QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    cmbHeadNumber = FramedControl<QComboBox>(this, row, frameHeadNumber, "frameHeadNumber",
                                             QStringLiteral("Kopfnummer"), "cmbHeadNumber");
    kd::AddHeadItems(cmbHeadNumber);
    cmbCode = FramedControl<QComboBox>(this, row, frameCode, "frameCode", QStringLiteral("Code/Datentr\xE4ger"),
                                       "cmbCode");
    kd::AddWritableCodeItems(cmbCode);
    cmbMode = FramedControl<QComboBox>(this, row, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    cmbMode->addItems({QStringLiteral("Single"), QStringLiteral("Auto")});
    chkDoubleSided = NamedControl<QCheckBox>(frameMode, "chkDoubleSided");
    chkDoubleSided->setText(QStringLiteral("Doppelseitiges Schreiben"));
    frameMode->layout()->addWidget(chkDoubleSided);
    txtAddress = FramedControl<QLineEdit>(this, row, frameAddress, "frameAddress", QStringLiteral("Adresse (Hex.)"),
                                          "txtAddress");
    txtAddress->setMaxLength(4);
    txtAddress->setText(QStringLiteral("0000"));
    top->addLayout(row);

    frameData = NamedControl<QGroupBox>(this, "frameData");
    frameData->setTitle(QStringLiteral("Daten"));
    txtData = ByteTextEdit::CreateBox(frameData, 48, false);
    txtData->setMaxLength(4 * KDReadWriteProtocol::kMaxWriteLength);
    (new QVBoxLayout(frameData))->addWidget(txtData);
    top->addWidget(frameData);
    buttons = addButtonRow(top, "btOk", QStringLiteral("&Ok"), kHelpContext);
    connect(buttons.ok, &QPushButton::clicked, this, [this] { btOk_Click(); });

    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QStringLiteral("0123456789abcdefABCDEF")); });
    txtAddress->installEventFilter(this);
    txtData->installEventFilter(this);
}

IKDWriteTarget* frmSystemKDWrite::target() const
{
    return target_ ? target_ : currentAs<IKDWriteTarget>();
}

bool frmSystemKDWrite::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtAddress && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(txtAddress);
    } else if (watched == txtAddress && event->type() == QEvent::FocusOut) {
        txtAddress->setText(QString::number(hexAddress(txtAddress->text()), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    } else if (watched == txtData && event->type() == QEvent::FocusIn && firstFocus_) {
        // Only the first time: tabbing back in later keeps the caret where it was.
        firstFocus_ = false;
        SelectAllTextBox(txtData);
    }
    return FamilyDialog::eventFilter(watched, event);
}

void frmSystemKDWrite::Load()
{
    firstFocus_ = true;
    SetLanguage();
    FillDialog();
    fitAndCentre();
}

std::optional<QByteArray> frmSystemKDWrite::DataOfLine(const QByteArray& line, const QString& headLabel)
{
    const int colon = static_cast<int>(line.indexOf(':'));
    if (!line.startsWith(ToCp1252(headLabel)) || colon < 0)
        return std::nullopt;
    QByteArray data = line.mid(colon + 1);
    // Blanks only: a tab or CR in the data is data.
    qsizetype from = 0, to = data.size();
    while (from < to && data.at(from) == ' ')
        ++from;
    while (to > from && data.at(to - 1) == ' ')
        --to;
    return data.mid(from, to - from);
}

void frmSystemKDWrite::FillDialog()
{
    IKDWriteTarget* t = target();
    if (!t)
        return;
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(t->Item(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    SelectComboItem(cmbCode, CInt16(t->Item(KDItem::Tagcode).toInt()), 0);
    cmbMode->setCurrentIndex(kd::ListIndex(t->Item(KDItem::OperationMode).toInt(), cmbMode->count()));
    SetCheck(chkDoubleSided, t->Item(KDItem::DoubleSided).toInt() != 0);
    const auto address = static_cast<quint16>(t->Item(KDItem::StartAddress).toInt());
    txtAddress->setText(QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    if (const TagDataList* list = t->ReplyList()) {
        const int row = list->SelectedOrLastRow();
        if (row >= 0) {
            if (const auto data = DataOfLine(list->RawBytes(row), t->HeadLabel()))
                txtData->setText(ByteText::ToView(*data, ByteText::Text));
        }
    }
}

void frmSystemKDWrite::btOk_Click()
{
    IKDWriteTarget* t = target();
    QByteArray data;
    ByteText::Span bad;
    if (!ByteText::FromView(txtData->text(), ByteText::Text, &data, &bad)) {
        // A character without a Windows-1252 byte: nothing is written.
        txtData->setFocus();
        txtData->setSelection(bad.start, bad.length);
        if (ctx_.language)
            ctx_.language->ShowMessage(20);
        return;
    }
    const quint16 address = hexAddress(txtAddress->text());
    const int tagCode = GetComboItemData(cmbCode);
    if (!KDReadWriteProtocol::AddressFits(address, tagCode) || data.size() > KDReadWriteProtocol::kMaxWriteLength) {
        if (ctx_.language)
            ctx_.language->ShowMessage(20);
        return;
    }
    if (t)
        t->WriteTag(cmbMode->currentIndex(), cmbHeadNumber->currentIndex(), address, tagCode,
                    GetCheck(chkDoubleSided) != 0 ? 1 : 0, data);
    accept();
}

void frmSystemKDWrite::ShowDialog(AppContext& ctx, QWidget* parent, IKDWriteTarget* target)
{
    frmSystemKDWrite dialog(ctx, parent);
    dialog.setTarget(target);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
