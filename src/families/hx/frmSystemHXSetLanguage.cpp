#include "frmSystemHXSetLanguage.h"

#include "families/common/FormControls.h"
#include "foundations/AppContext.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

frmSystemHXSetLanguage::frmSystemHXSetLanguage(AppContext& ctx, int channel, const hx::HXHeadType& head, QWidget* parent)
    : QDialog(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemHXSetLanguage"));
    setWindowTitle(QStringLiteral("Lesekopf Initialisieren"));
    auto* outer = new QVBoxLayout(this);
    lblMessage = NamedControl<QLabel>(this, "lblMessage");
    lblMessage->setText(QStringLiteral("Länderkennung für Kopf %s noch nicht gesetzt!"));
    imgHead = NamedControl<QLabel>(this, "imgHead");
    if (!head.picturePath.isEmpty())
        imgHead->setPixmap(QPixmap(head.picturePath));
    lblLanguage = NamedControl<QLabel>(this, "lblLanguage");
    lblLanguage->setText(QStringLiteral("Länderkennung"));
    cmbLaenderkennung = NamedControl<QComboBox>(this, "cmbLaenderkennung");
    if (head.profiles) {
        int position = 1;
        for (const hx::HXProfile& p : *head.profiles) {
            AddComboItem(cmbLaenderkennung, Description(ctx_, p), position++);
        }
    }
    cmbLaenderkennung->setCurrentIndex(0);
    auto* buttons = new QHBoxLayout;
    btOK = NamedControl<QPushButton>(this, "btOK");
    btOK->setText(QStringLiteral("Jetzt initialisieren"));
    btCancel = NamedControl<QPushButton>(this, "btCancel");
    btCancel->setText(QStringLiteral("Lesekopf später initialisieren"));
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    outer->addWidget(lblMessage);
    outer->addWidget(imgHead);
    outer->addWidget(lblLanguage);
    outer->addWidget(cmbLaenderkennung);
    outer->addLayout(buttons);
    connect(btOK, &QPushButton::clicked, this, [this] {
        result_ = cmbLaenderkennung->currentData().toInt();
        accept();
    });
    connect(btCancel, &QPushButton::clicked, this, [this] { reject(); });
    message_ = QString::number(channel) + QStringLiteral(": ") + head.name;
    SetLanguage();
}

void frmSystemHXSetLanguage::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    if (!message_.isEmpty())
        lblMessage->setText(lblMessage->text().replace(QLatin1String("%s"), message_));
}

QString frmSystemHXSetLanguage::Description(AppContext& ctx, const hx::HXProfile& profile)
{
    return ctx.language ? ctx.language->Translate(QStringLiteral("OrvidHX"), profile.section, profile.name) : profile.name;
}

int frmSystemHXSetLanguage::ShowDialog(AppContext& ctx, int channel, const hx::HXHeadType& head, QWidget* parent)
{
    if (!head.profiles || head.profiles->isEmpty())
        return 0;
    frmSystemHXSetLanguage dialog(ctx, channel, head, parent);
    dialog.exec();
    return dialog.Result();
}

} // namespace orvid
