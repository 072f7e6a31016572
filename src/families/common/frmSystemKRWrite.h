#pragma once
// The tag-data write dialog shared by the system R window and the interface-unit window:
// tag type, operation mode, head, start address and the data (text, hex or decimal).
// It fills itself from the current system window's data items and hands the write to
// that window's ITagWriter on OK. The data is kept as bytes through every change of
// representation, so what is written is exactly what was entered.

#include "FamilyDialog.h"
#include "TagWriters.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class frmSystemKRWrite : public FamilyDialog {
    Q_OBJECT
public:
    explicit frmSystemKRWrite(AppContext& ctx, QWidget* parent = nullptr);

    // Loads for headCount heads (1..4), shows modally, returns when the dialog is closed.
    static void ShowDialog(AppContext& ctx, int16_t headCount, QWidget* parent = nullptr);

    // The load handler: texts, head list, lists and fields from the current system window.
    void Load(int16_t headCount);
    void FillDialog();
    int DataRep() const;

    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameFixcode = nullptr;
    QCheckBox* chkFixcode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QComboBox* cmbModeQTI = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmbCode_Click();
    void btOK_Click();
    void txtAddress_LostFocus();
    // What the current window's writer offers (the defaults without one).
    WriterOffer offer() const;

    int16_t headCount_ = 4;
    ByteTextEdit* data_ = nullptr; // txtData with rdDataMode
};

} // namespace orvid
