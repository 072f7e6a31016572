#include "frmNetworkConnect.h"

#include "foundations/AppContext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTcpSocket>
#include <QVBoxLayout>

namespace orvid {

namespace {

// A host lookup is part of making the connection.
bool stillConnecting(const QTcpSocket* socket)
{
    if (!socket)
        return false;
    const auto state = socket->state();
    return state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState;
}

} // namespace

frmNetworkConnect::frmNetworkConnect(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow, Qt::Dialog | Qt::FramelessWindowHint)
    , ctx_(ctx)
    , designText_(QStringLiteral("Verbindung zu <%s> wird hergestellt"))
{
    setObjectName(QStringLiteral("frmNetworkConnect"));
    setModal(true);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("imgNetwork"));
    picture_->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    lblState_ = new QLabel(designText_, this);
    lblState_->setObjectName(QStringLiteral("lblState"));
    lblState_->setTextFormat(Qt::PlainText);
    btCancel_ = new QPushButton(QStringLiteral("&Abbruch"), this);
    btCancel_->setObjectName(QStringLiteral("btCancel"));

    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addWidget(lblState_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btCancel_);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(row);

    connect(btCancel_, &QPushButton::clicked, this, &frmNetworkConnect::cancel);
}

bool frmNetworkConnect::ShowDialog(QTcpSocket* socket)
{
    socket_ = socket;
    cancelled_ = false;
    load();
    // A socket that is no longer connecting needs no wait at all.
    if (stillConnecting(socket_)) {
        const QMetaObject::Connection changed =
            connect(socket, &QAbstractSocket::stateChanged, this, &frmNetworkConnect::socketChanged);
        const QMetaObject::Connection gone =
            connect(socket, &QObject::destroyed, this, &frmNetworkConnect::socketChanged);
        exec();
        disconnect(changed);
        disconnect(gone);
    }
    socket_ = nullptr;
    return !cancelled_;
}

void frmNetworkConnect::load()
{
    QString host;
    if (socket_) {
        host = socket_->peerName();
        if (host.isEmpty())
            host = socket_->peerAddress().toString();
    }
    QString text = designText_;
    text.replace(QLatin1String("%s"), host);
    lblState_->setText(text);
    adjustSize();
}

QString frmNetworkConnect::stateText() const
{
    return lblState_->text();
}

void frmNetworkConnect::socketChanged()
{
    if (stillConnecting(socket_))
        return;
    cancelled_ = false;
    accept();
}

void frmNetworkConnect::cancel()
{
    reject();
}

void frmNetworkConnect::reject()
{
    // The caller closes the socket when it is not connected.
    cancelled_ = true;
    QDialog::reject();
}

} // namespace orvid
