#pragma once
// The write dialog of system L's text protocol (entry 7): the tag bytes in three views
// (ByteTextEdit: a change of view converts the text, blanks between bytes add nothing),
// the write interval's type and length. OK hands the bytes to the current window's
// IWLTextWriter; each opening starts from text view, "Konstant", "8" and an empty box.

#include "families/common/FamilyDialog.h"

#include <QList>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class IWLTextWriter;

class frmSystemLWrite : public FamilyDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 3700;

    explicit frmSystemLWrite(AppContext& ctx, QWidget* parent = nullptr);
    // The writer OK calls (null: the link's current window, when it is one).
    void setTarget(IWLTextWriter* target) { target_ = target; }
    void btOk_Click();

    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameIntervalType = nullptr;
    QList<QRadioButton*> rdIntervalType;
    QGroupBox* frameIntervalLength = nullptr;
    QList<QRadioButton*> rdIntervalLength;
    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;
    ByteTextEdit* data() const { return data_; }

private:
    static int checkedIndex(const QList<QRadioButton*>& options);

    ByteTextEdit* data_ = nullptr;
    IWLTextWriter* target_ = nullptr;
};

} // namespace orvid
