#pragma once
// Program options: the language (current from the moment it is picked), recognition of
// the system at start-up and the display of read-head errors.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace orvid {

struct AppContext;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 500;

    explicit frmOptions(AppContext& ctx, QWidget* parent = nullptr);
    // Runs the dialog modally; returns the QDialog result.
    static int ShowDialog(AppContext& ctx, QWidget* parent);

    void SetLanguage();

public slots:
    void accept() override;

private:
    void load();
    void languageClicked(int index);

    AppContext& ctx_;
    QCheckBox* chkStartupDetect_;
    QCheckBox* chkReadHeadError_;
    QGroupBox* frameSprache_;
    QComboBox* cmbLanguage_;
    QPushButton* btOK_;
    QPushButton* btCancel_;
    QPushButton* btHelp_;
    bool languageStored_ = false;
};

} // namespace orvid
