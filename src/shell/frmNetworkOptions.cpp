#include "frmNetworkOptions.h"

#include "foundations/AppContext.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "link/Network.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace orvid {

frmNetworkOptions::frmNetworkOptions(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmNetworkOptions"));
    setWindowTitle(QStringLiteral("Netzwerk Schnittstelle"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    txtAddress_ = new QLineEdit(this);
    txtAddress_->setObjectName(QStringLiteral("txtAddress"));
    txtAddress_->setMinimumWidth(220);
    txtAddress_->installEventFilter(this);
    lblAddress_ = new QLabel(QStringLiteral("&Adresse"), this);
    lblAddress_->setObjectName(QStringLiteral("lblAddress"));
    lblAddress_->setBuddy(txtAddress_);
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btDefault_ = button("btDefault", QStringLiteral("Standard&werte setzen"));
    btOK_ = button("btOK", QStringLiteral("&OK"));
    btOK_->setDefault(true);
    btCancel_ = button("btCancel", QStringLiteral("&Abbruch"));
    btHelp_ = button("btHelp", QStringLiteral("&Hilfe"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblAddress_, 0, 0);
    grid->addWidget(txtAddress_, 0, 1, 1, 3);
    grid->addWidget(btDefault_, 1, 1, 1, 3, Qt::AlignLeft);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK_);
    buttons->addWidget(btCancel_);
    buttons->addWidget(btHelp_);
    grid->addLayout(buttons, 2, 0, 1, 4);

    connect(btOK_, &QPushButton::clicked, this, &frmNetworkOptions::accept);
    connect(btCancel_, &QPushButton::clicked, this, &frmNetworkOptions::reject);
    connect(btHelp_, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });
    connect(btDefault_, &QPushButton::clicked, this,
            [this] { txtAddress_->setText(QString::fromLatin1(Network::kDefaultAddress)); });
    connect(txtAddress_, &QLineEdit::textChanged, this, &frmNetworkOptions::updateOkButton);

    // Load: not centred by code; the window system places it.
    SetLanguage();
    if (ctx_.network)
        txtAddress_->setText(ctx_.network->GetNetAddress());
    updateOkButton();
}

int frmNetworkOptions::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmNetworkOptions dialog(ctx, parent);
    return dialog.exec();
}

void frmNetworkOptions::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmNetworkOptions::updateOkButton()
{
    // An empty address could only fail later, at the next connection.
    btOK_->setEnabled(!txtAddress_->text().trimmed().isEmpty());
}

void frmNetworkOptions::accept()
{
    const QString address = txtAddress_->text().trimmed();
    if (address.isEmpty())
        return;
    if (ctx_.network)
        ctx_.network->SetNetAddress(address);
    QDialog::accept();
}

bool frmNetworkOptions::eventFilter(QObject* watched, QEvent* event)
{
    // Entering the field selects the whole address; deferred so that the click that
    // gave the focus does not place the cursor over the selection.
    if (watched == txtAddress_ && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtAddress_, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

} // namespace orvid
