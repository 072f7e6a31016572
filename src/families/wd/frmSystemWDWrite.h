#pragma once
// The data write dialog of the microwave system D: antenna, access type and ID code,
// start address and the data in one of three representations. It starts from the entries
// of the system D window and hands the write to it on OK.
//
// The data is kept as bytes through every change of representation (ByteText's lossless
// text view, control characters by name), so a byte string read from a tag comes back
// unchanged whichever representation it was shown in.

#include "WDDialogTargets.h"
#include "families/common/FamilyDialog.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QBoxLayout;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class ByteTextEdit;

// What the two write dialogs of system D share besides the family dialog: the window they
// write through, and the antenna and the access type with its ID code (taken from that
// window's entries). Each dialog builds the parts where it shows them, since the order of
// building is the tab order.
class WDAccessDialog : public FamilyDialog {
    Q_OBJECT
public:
    void setTarget(IWDWriteTarget* target) { target_ = target; }

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameAccessType = nullptr;
    QList<QRadioButton*> rdIDCode;
    QLabel* lblIdCode = nullptr;
    QLineEdit* txtIDCode = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btHelp = nullptr;

protected:
    WDAccessDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent);

    // frameHeadNumber holding cmbHeadNumber with the given heads.
    QGroupBox* buildHead(const QStringList& heads);
    // frameAccessType: the options rdIDCode, then lblIdCode with txtIDCode (hex only,
    // formatted by the dialog's event filter); the first option is checked.
    QGroupBox* buildAccess(const QString& title, const QStringList& options);
    // The OK/Cancel/Help row at the foot of top; the dialog connects OK.
    void buildButtons(QBoxLayout* top, const QString& okText, int helpContext);
    // The entries of the target (defaults without one), antenna, access type and ID
    // code taken over.
    WDEntries loadEntries();
    // Texts, size and place once the fields are filled.
    void finishLoad();
    // The target given, else the link's current window when it takes writes.
    IWDWriteTarget* target() const;

private:
    void rdIDCode_Click(int index);

    IWDWriteTarget* target_ = nullptr;
};

class frmSystemWDWrite : public WDAccessDialog {
    Q_OBJECT
public:
    explicit frmSystemWDWrite(AppContext& ctx, QWidget* parent = nullptr);

    // Loads from target (null: the link's current window) and shows the dialog modally.
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr, IWDWriteTarget* target = nullptr);

    // Form_Load: the entries of the system D window and the data of its last read.
    void Load();
    int DataRep() const;

    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    QList<QRadioButton*> rdDataMode;

    void btOk_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ByteTextEdit* data_ = nullptr; // txtData with rdDataMode
};

} // namespace orvid
