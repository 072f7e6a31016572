#pragma once
// The data write dialog of the microwave system D: antenna, access type and ID code,
// start address and the data in one of three representations. It starts from the entries
// of the system D window and hands the write to it on OK.
//
// The data is kept as bytes through every change of representation (ByteText: one
// character per byte in the text view), so a byte string read from a tag comes back
// unchanged whichever representation it was shown in, and typed text goes out as typed.

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

class frmSystemWDWrite : public QDialog {
    Q_OBJECT
public:
    explicit frmSystemWDWrite(AppContext& ctx, QWidget* parent = nullptr);

    // Loads from target (null: the link's current window) and shows the dialog modally.
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr, IWDWriteTarget* target = nullptr);

    void setTarget(IWDWriteTarget* target) { target_ = target; }
    // Form_Load: the entries of the system D window and the data of its last read.
    void Load();
    void SetLanguage();
    int DataRep() const { return dataRep_; }

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameAccessType = nullptr;
    QList<QRadioButton*> rdIDCode;
    QLabel* lblIdCode = nullptr;
    QLineEdit* txtIDCode = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    QList<QRadioButton*> rdDataMode;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;

    void btOk_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rdDataMode_Click(int index);
    void rdIDCode_Click(int index);
    // Message 20 and the offending part of the data selected.
    void refuseData(int start, int length);
    IWDWriteTarget* target() const;

    AppContext& ctx_;
    IWDWriteTarget* target_ = nullptr;
    int dataRep_ = 0;
    bool repBusy_ = false;
};

} // namespace orvid
