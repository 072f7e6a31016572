#include "frmSystemWDWriteIDCode.h"

#include "WDProtocol.h"
#include "WDFields.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kHelpContext = 2600;
using WDFields::kHexChars;
} // namespace

QString& frmSystemWDWriteIDCode::RememberedIDCode()
{
    static QString code;
    return code;
}

frmSystemWDWriteIDCode::frmSystemWDWriteIDCode(AppContext& ctx, QWidget* parent)
    : WDAccessDialog(ctx, "frmSystemWDWriteIDCode", QStringLiteral("ID-Code schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;

    auto* leftCol = new QVBoxLayout;
    leftCol->addWidget(buildHead({QStringLiteral("Antenne 0"), QStringLiteral("Antenne 1")}));

    frameIdCode = new QGroupBox(QStringLiteral("ID-Code (Hex.)"), this);
    frameIdCode->setObjectName(QStringLiteral("frameIdCode"));
    txtIDCodeWrite = new QLineEdit(QStringLiteral("00000000"), frameIdCode);
    txtIDCodeWrite->setObjectName(QStringLiteral("txtIDCodeWrite"));
    txtIDCodeWrite->setMaxLength(8);
    (new QHBoxLayout(frameIdCode))->addWidget(txtIDCodeWrite);
    leftCol->addWidget(frameIdCode);
    leftCol->addStretch(1);
    row->addLayout(leftCol);

    row->addWidget(buildAccess(QStringLiteral("ID-Code Zuweisung"),
                               {QStringLiteral("keine Zuweisung"), QStringLiteral("Zuweisung"),
                                QStringLiteral("Zuweisung invertiert")}));
    top->addLayout(row);

    buildButtons(top, QStringLiteral("&Ok"), kHelpContext);

    connect(txtIDCodeWrite, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtIDCodeWrite, QString::fromLatin1(kHexChars)); });
    txtIDCodeWrite->installEventFilter(this);
    ConnectAction(ctx_, btOk, &QPushButton::clicked, this, &frmSystemWDWriteIDCode::btOk_Click);
}

void frmSystemWDWriteIDCode::Load()
{
    const WDEntries entries = loadEntries();
    QString& remembered = RememberedIDCode();
    if (remembered.isEmpty())
        remembered = entries.idCode;
    txtIDCodeWrite->setText(remembered);
    finishLoad();
}

bool frmSystemWDWriteIDCode::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box && event->type() == QEvent::FocusOut)
        box->setText(WDFields::FormatIDCode(box->text()));
    return QDialog::eventFilter(watched, event);
}

void frmSystemWDWriteIDCode::btOk_Click()
{
    txtIDCodeWrite->setText(WDFields::FormatIDCode(txtIDCodeWrite->text()));
    const auto access = static_cast<int16_t>(GetOptionGroup(rdIDCode));
    RememberedIDCode() = txtIDCodeWrite->text();
    // The tag keeps the code with its bytes in reverse order.
    const QByteArray swapped = WDProtocol::IDWireForm(txtIDCodeWrite->text());
    IWDWriteTarget* t = target();
    if (!t) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    const auto head = static_cast<int16_t>(qMax(0, cmbHeadNumber->currentIndex()));
    // A write the unit did not confirm has been reported by the system window; the dialog
    // stays open so it can be tried again or cancelled.
    if (t->WriteTag(false, head, access, txtIDCode->text(), 0, 8, swapped))
        accept();
}

void frmSystemWDWriteIDCode::ShowDialog(AppContext& ctx, QWidget* parent, IWDWriteTarget* target)
{
    frmSystemWDWriteIDCode dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.setTarget(target);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
