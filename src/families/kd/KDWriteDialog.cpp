#include "KDWriteDialog.h"

#include "KDControls.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

namespace orvid {

KDWriteDialog::KDWriteDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent)
    : FamilyDialog(ctx, name, title, parent)
{
}

void KDWriteDialog::addOptionFrames(QBoxLayout* into)
{
    cmbHeadNumber = kd::HeadFrame(this, into, frameHeadNumber);
    cmbCode = kd::CodeFrame(this, into, frameCode, false);
    cmbMode = kd::ModeFrame(this, into, frameMode, {QStringLiteral("Single"), QStringLiteral("Auto")}, chkDoubleSided,
                            QStringLiteral("Doppelseitiges Schreiben"));
}

void KDWriteDialog::addButtons(QBoxLayout* top, int helpContext)
{
    buttons = addButtonRow(top, "btOk", QStringLiteral("&Ok"), helpContext);
    ConnectAction(ctx_, buttons.ok, &QPushButton::clicked, this, [this] { btOk_Click(); });
}

IKDWriteTarget* KDWriteDialog::target() const
{
    return target_ ? target_ : currentAs<IKDWriteTarget>();
}

void KDWriteDialog::FillDialog()
{
    IKDWriteTarget* t = target();
    if (!t)
        return;
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(t->Item(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    SelectComboItem(cmbCode, CInt16(t->Item(KDItem::Tagcode).toInt()), 0);
    cmbMode->setCurrentIndex(kd::ListIndex(t->Item(KDItem::OperationMode).toInt(), cmbMode->count()));
    SetCheck(chkDoubleSided, t->Item(KDItem::DoubleSided).toInt() != 0);
}

void KDWriteDialog::write(quint16 address, const QByteArray& data)
{
    IKDWriteTarget* t = target();
    if (!t) {
        // No read/write window to write through: nothing was written.
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    // Once the write has gone out the dialog closes, whatever the unit answered (the window
    // lists it); only a write refused before anything was sent keeps the user's entries.
    if (t->WriteTag(cmbMode->currentIndex(), cmbHeadNumber->currentIndex(), address, GetComboItemData(cmbCode),
                    GetCheck(chkDoubleSided) != 0 ? 1 : 0, data)
        != KDWriteResult::Refused)
        accept();
}

} // namespace orvid
