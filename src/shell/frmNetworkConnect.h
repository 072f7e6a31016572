#pragma once
// The wait box shown while a TCP connection is being made: modal, closes itself when the
// socket signals that it left the connecting state (connected or failed); Abbruch ends the
// wait early.

#include "link/LinkInterfaces.h"

#include <QDialog>
#include <QMetaObject>
#include <QPointer>

class QLabel;
class QPushButton;
class QTcpSocket;

namespace orvid {

struct AppContext;

class frmNetworkConnect : public QDialog, public IConnectingBox {
    Q_OBJECT
public:
    explicit frmNetworkConnect(AppContext& ctx, QWidget* parent = nullptr);

    // True when the connecting state ended by itself, false when the user cancelled.
    bool ShowDialog(QTcpSocket* socket) override;

    // The status line as it stands (the address filled in).
    QString stateText() const;

public slots:
    void reject() override;   // Abbruch, Escape

private:
    void load();
    void socketChanged();
    void cancel();

    AppContext& ctx_;
    QLabel* picture_;
    QLabel* lblState_;
    QPushButton* btCancel_;
    QPointer<QTcpSocket> socket_;
    QString designText_;
    bool cancelled_ = false;
};

} // namespace orvid
