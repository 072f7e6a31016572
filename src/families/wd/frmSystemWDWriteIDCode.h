#pragma once
// The ID-code write dialog of the microwave system D: antenna, the assignment (which tags
// take the new code) and the new ID code. It starts from the entries of the system D
// window and hands the write to it on OK. The new code written last is offered again the
// next time the dialog opens, for as long as the program runs.

#include "WDDialogTargets.h"
#include "foundations/AppContext.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class frmSystemWDWriteIDCode : public QDialog {
    Q_OBJECT
public:
    explicit frmSystemWDWriteIDCode(AppContext& ctx, QWidget* parent = nullptr);

    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr, IWDWriteTarget* target = nullptr);

    void setTarget(IWDWriteTarget* target) { target_ = target; }
    void Load();
    void SetLanguage();

    // The new ID code kept between showings.
    static QString& RememberedIDCode();

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameAccessType = nullptr;
    QList<QRadioButton*> rdIDCode;
    QLabel* lblIdCode = nullptr;
    QLineEdit* txtIDCode = nullptr;
    QGroupBox* frameIdCode = nullptr;
    QLineEdit* txtIDCodeWrite = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;

    void btOk_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IWDWriteTarget* target() const;

    AppContext& ctx_;
    IWDWriteTarget* target_ = nullptr;
};

} // namespace orvid
