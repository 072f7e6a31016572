#pragma once
// The QTX11/QTX14 fixcode dialog: the user enters the fixcode (text, hex or decimal),
// chooses write protection and the operating mode; OK hands the bytes to the current
// system window's IQTX11FixcodeWriter. Opened by the system R window (tag types 11 and 14)
// and by the interface-unit window. The tag takes five bytes: a longer fixcode is refused
// rather than cut; a write-protected fixcode can never be changed, so it is confirmed first.

#include "FamilyDialog.h"

#include <QByteArray>
#include <QList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class frmSystemHXWriteFixcode : public FamilyDialog {
    Q_OBJECT
public:
    static constexpr int kFixcodeBytes = 5;

    explicit frmSystemHXWriteFixcode(AppContext& ctx, QWidget* parent = nullptr);

    // Loads, shows modally and returns when the dialog is closed.
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);

    // Load handler: texts, lists and representation from the current system; centred.
    void Load();
    void FillDialog();
    int DataRep() const;

    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameFixcode = nullptr;
    QCheckBox* chkFixcode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;

private:
    void btOk_Click();
    // A fixcode longer than the tag takes: said in plain words, the text selected.
    void refuseTooLong();

    ByteTextEdit* data_ = nullptr; // txtData with rdDataMode
};

} // namespace orvid
