#pragma once
// Serial port options: the device, the settings-string parts (baud rate, parity, data bits,
// stop bits) and handshaking. OK reopens the port with them; the status bar's port label
// follows. The device may be typed (pseudo-terminals are not listed).

#include <QDialog>
#include <QStringList>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

namespace orvid {

struct AppContext;

class frmPortOptions : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 600;

    explicit frmPortOptions(AppContext& ctx, QWidget* parent = nullptr);
    static int ShowDialog(AppContext& ctx, QWidget* parent);

    // Puts a settings string ("38400,n,8,1") and a protocol number (0 none, 1 hardware)
    // into the five setting lists.
    void InitSettings(const QString& settings, int16_t protocol);
    // The settings string the lists describe now.
    QString Settings() const;
    void SetLanguage();

public slots:
    void accept() override;

private:
    void applyAndClose();
    void load();
    void setDefaults();
    void updateOkButton();

    AppContext& ctx_;
    QLabel* lblPort_;
    QLabel* lblBaud_;
    QLabel* lblParity_;
    QLabel* lblDatabits_;
    QLabel* lblStopbits_;
    QLabel* lblProtocol_;
    QComboBox* cmbPort_;
    QComboBox* cmbBaud_;
    QComboBox* cmbParity_;
    QComboBox* cmbDatabits_;
    QComboBox* cmbStopbits_;
    QComboBox* cmbProtocol_;
    QPushButton* btDefault_;
    QPushButton* btOK_;
    QPushButton* btCancel_;
    QPushButton* btHelp_;
    QStringList parityTexts_;
    QStringList protocolTexts_;
    bool languageStored_ = false;
};

} // namespace orvid
