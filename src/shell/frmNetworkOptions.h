#pragma once
// Network options: the address (host name or numeric address) of the network interface
// unit. It takes effect at the next connection.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvid {

struct AppContext;

class frmNetworkOptions : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 650;

    explicit frmNetworkOptions(AppContext& ctx, QWidget* parent = nullptr);
    static int ShowDialog(AppContext& ctx, QWidget* parent);

    void SetLanguage();

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateOkButton();

    AppContext& ctx_;
    QLabel* lblAddress_;
    QLineEdit* txtAddress_;
    QPushButton* btDefault_;
    QPushButton* btOK_;
    QPushButton* btCancel_;
    QPushButton* btHelp_;
};

} // namespace orvid
