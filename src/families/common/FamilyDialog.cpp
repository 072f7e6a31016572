#include "FamilyDialog.h"

#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace orvid {

FamilyDialog::FamilyDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent)
    : QDialog(parent), ctx_(ctx)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
}

void FamilyDialog::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

FamilyDialog::ButtonRow FamilyDialog::addButtonRow(QBoxLayout* top, const char* okName, const QString& okText,
                                                   int helpContext, const QString& cancelText)
{
    ButtonRow row;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    row.ok = new QPushButton(okText, this);
    row.ok->setObjectName(QString::fromLatin1(okName));
    row.ok->setDefault(true);
    row.cancel = new QPushButton(cancelText, this);
    row.cancel->setObjectName(QStringLiteral("btCancel"));
    buttons->addWidget(row.ok);
    buttons->addWidget(row.cancel);
    connect(row.cancel, &QPushButton::clicked, this, &QDialog::reject);
    if (helpContext > 0) {
        row.help = new QPushButton(QStringLiteral("&Hilfe"), this);
        row.help->setObjectName(QStringLiteral("btHelp"));
        buttons->addWidget(row.help);
        connect(row.help, &QPushButton::clicked, this, [this, helpContext] { ShowHelp(ctx_, helpContext); });
    }
    top->addLayout(buttons);
    return row;
}

FamilyDialog::DataBox FamilyDialog::addDataBox(QWidget* boxParent, QBoxLayout* boxLayout, QWidget* optionsParent,
                                               QBoxLayout* optionsLayout, int widthChars,
                                               ByteTextEdit::Typing typing)
{
    DataBox data;
    data.box = ByteTextEdit::CreateBox(boxParent, widthChars);
    boxLayout->addWidget(data.box);
    data.options = ByteTextEdit::CreateOptions(optionsParent, optionsLayout);
    data.edit = new ByteTextEdit(ctx_, data.box, data.options, typing, this);
    return data;
}

void FamilyDialog::fitAndCentre()
{
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

QVariant FamilyDialog::item(int16_t id) const
{
    QVariant v;
    if (ctx_.lk)
        ctx_.lk->LkGetData(id, v);
    return v;
}

ISystemForm* FamilyDialog::currentWindow() const
{
    return ctx_.lk ? ctx_.lk->CurrentWindow() : nullptr;
}

} // namespace orvid
