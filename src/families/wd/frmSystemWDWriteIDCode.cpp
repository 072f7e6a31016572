#include "frmSystemWDWriteIDCode.h"

#include "WDProtocol.h"
#include "frmSystemWD.h"
#include "foundations/ControlUtils.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kHelpContext = 2600;
const char* const kHexChars = "0123456789abcdefABCDEF";
const QString kNoLang = QStringLiteral("NOLANG");

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& text)
{
    auto* f = new QGroupBox(text, parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}
} // namespace

QString& frmSystemWDWriteIDCode::RememberedIDCode()
{
    static QString code;
    return code;
}

frmSystemWDWriteIDCode::frmSystemWDWriteIDCode(AppContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemWDWriteIDCode"));
    setWindowTitle(QStringLiteral("ID-Code schreiben"));
    auto* top = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;

    frameHeadNumber = makeFrame(this, "frameHeadNumber", QStringLiteral("Antenne"));
    cmbHeadNumber = new QComboBox(frameHeadNumber);
    cmbHeadNumber->setObjectName(QStringLiteral("cmbHeadNumber"));
    cmbHeadNumber->setProperty("langTag", kNoLang);
    cmbHeadNumber->addItems({QStringLiteral("Antenne 0"), QStringLiteral("Antenne 1")});
    (new QHBoxLayout(frameHeadNumber))->addWidget(cmbHeadNumber);
    auto* leftCol = new QVBoxLayout;
    leftCol->addWidget(frameHeadNumber);

    frameIdCode = makeFrame(this, "frameIdCode", QStringLiteral("ID-Code (Hex.)"));
    txtIDCodeWrite = new QLineEdit(QStringLiteral("00000000"), frameIdCode);
    txtIDCodeWrite->setObjectName(QStringLiteral("txtIDCodeWrite"));
    txtIDCodeWrite->setMaxLength(8);
    (new QHBoxLayout(frameIdCode))->addWidget(txtIDCodeWrite);
    leftCol->addWidget(frameIdCode);
    leftCol->addStretch(1);
    row->addLayout(leftCol);

    frameAccessType = makeFrame(this, "frameAccessType", QStringLiteral("ID-Code Zuweisung"));
    auto* al = new QVBoxLayout(frameAccessType);
    const QString accessTexts[] = {QStringLiteral("keine Zuweisung"), QStringLiteral("Zuweisung"),
                                   QStringLiteral("Zuweisung invertiert")};
    for (int i = 0; i < 3; ++i) {
        auto* rd = new QRadioButton(accessTexts[i], frameAccessType);
        rd->setObjectName(QStringLiteral("rdIDCode"));
        rd->setProperty("ctrlIndex", i);
        al->addWidget(rd);
        rdIDCode.append(rd);
        connect(rd, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) {
                lblIdCode->setEnabled(i != 0);
                txtIDCode->setEnabled(i != 0);
            }
        });
    }
    auto* idRow = new QHBoxLayout;
    lblIdCode = new QLabel(QStringLiteral("ID-Code (Hex.)"), frameAccessType);
    lblIdCode->setObjectName(QStringLiteral("lblIdCode"));
    txtIDCode = new QLineEdit(QStringLiteral("00000000"), frameAccessType);
    txtIDCode->setObjectName(QStringLiteral("txtIDCode"));
    txtIDCode->setMaxLength(8);
    idRow->addWidget(lblIdCode);
    idRow->addWidget(txtIDCode);
    al->addLayout(idRow);
    row->addWidget(frameAccessType);
    top->addLayout(row);

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

    for (QLineEdit* e : {txtIDCode, txtIDCodeWrite}) {
        connect(e, &QLineEdit::textChanged, this, [e] { FilterTextBox(e, QString::fromLatin1(kHexChars)); });
        e->installEventFilter(this);
    }
    connect(btOk, &QPushButton::clicked, this, &frmSystemWDWriteIDCode::btOk_Click);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btHelp, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });
    rdIDCode[0]->setChecked(true);
}

IWDWriteTarget* frmSystemWDWriteIDCode::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDWriteTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void frmSystemWDWriteIDCode::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmSystemWDWriteIDCode::Load()
{
    WDEntries entries;
    if (IWDWriteTarget* t = target())
        entries = t->Entries();
    cmbHeadNumber->setCurrentIndex(entries.head >= 0 && entries.head < cmbHeadNumber->count() ? entries.head : 0);
    SetOptionGroup(rdIDCode, entries.accessType);
    const bool withCode = GetOptionGroup(rdIDCode) != 0;
    lblIdCode->setEnabled(withCode);
    txtIDCode->setEnabled(withCode);
    txtIDCode->setText(entries.idCode);
    QString& remembered = RememberedIDCode();
    if (remembered.isEmpty())
        remembered = entries.idCode;
    txtIDCodeWrite->setText(remembered);
    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

bool frmSystemWDWriteIDCode::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box && event->type() == QEvent::FocusOut)
        box->setText(frmSystemWD::FormatIDCode(box->text()));
    return QDialog::eventFilter(watched, event);
}

void frmSystemWDWriteIDCode::btOk_Click()
{
    txtIDCodeWrite->setText(frmSystemWD::FormatIDCode(txtIDCodeWrite->text()));
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
