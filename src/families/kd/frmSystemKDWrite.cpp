#include "frmSystemKDWrite.h"

#include "KDControls.h"
#include "KDItems.h"
#include "KDReadWriteProtocol.h"
#include "families/common/TagDataList.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "shell/ByteTextEdit.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orvid {

frmSystemKDWrite::frmSystemKDWrite(AppContext& ctx, QWidget* parent)
    : KDWriteDialog(ctx, "frmSystemKDWrite", QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    addOptionFrames(row);
    txtAddress = FramedControl<QLineEdit>(this, row, frameAddress, "frameAddress", QStringLiteral("Adresse (Hex.)"),
                                          "txtAddress");
    kd::MakeAddressBox(txtAddress);
    top->addLayout(row);

    frameData = NamedControl<QGroupBox>(this, "frameData");
    frameData->setTitle(QStringLiteral("Daten"));
    txtData = ByteTextEdit::CreateBox(frameData, 48);
    // The text view only: there are no options to switch it.
    data_ = new ByteTextEdit(ctx, txtData, {}, ByteTextEdit::AnyTyping, this);
    data_->setMaxBytes(KDReadWriteProtocol::kMaxWriteLength);
    (new QVBoxLayout(frameData))->addWidget(txtData);
    top->addWidget(frameData);
    addButtons(top, kHelpContext);

    txtAddress->installEventFilter(this);
    txtData->installEventFilter(this);
}

bool frmSystemKDWrite::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtAddress && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(txtAddress);
    } else if (watched == txtAddress && event->type() == QEvent::FocusOut) {
        kd::TakeAddress(txtAddress);
    } else if (watched == txtData && event->type() == QEvent::FocusIn && firstFocus_) {
        // Only the first time: tabbing back in later keeps the caret where it was.
        firstFocus_ = false;
        SelectAllTextBox(txtData);
    }
    return KDWriteDialog::eventFilter(watched, event);
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
    KDWriteDialog::FillDialog();
    IKDWriteTarget* t = target();
    if (!t)
        return;
    txtAddress->setText(kd::AddressText(static_cast<quint16>(t->Item(KDItem::StartAddress).toInt())));
    if (const TagDataList* list = t->ReplyList()) {
        const int row = list->SelectedOrLastRow();
        if (row >= 0) {
            // The whole line, however long its text view: OK says when it is too long.
            if (const auto data = DataOfLine(list->RawBytes(row), t->HeadLabel()))
                data_->setBytes(*data);
        }
    }
}

void frmSystemKDWrite::btOk_Click()
{
    QByteArray data;
    // Characters without a Windows-1252 byte, or more bytes than one write carries:
    // nothing is written (message 20).
    if (!data_->bytes(&data))
        return;
    const quint16 address = kd::ParseAddress(txtAddress->text());
    if (!KDReadWriteProtocol::AddressFits(address, GetComboItemData(cmbCode))) {
        if (ctx_.language)
            ctx_.language->ShowMessage(20);
        return;
    }
    write(address, data);
}

} // namespace orvid
