#pragma once
// The code dialogs of the interface-unit window, each handing its code to the window's
// IHXCodeWriter:
//   - frmSystemHXWriteFixcodeSpecial: the special fixcode of a ZKX tag, a 24-bit number
//     typed in hex or decimal (both boxes in step);
//   - frmSystemHXMakeNCX: the chip code of an NCX tag from its wafer and die numbers, each
//     typed in hex or decimal, sent as 3 + 4 hex digits;
//   - frmSystemHXWriteFixcodeVNB / frmSystemHXWriteFixcodeWTX: a code as bytes (text, hex
//     or decimal view), 14 bytes for a tag under a VNB head, 4 for a WTX60 tag.
// A code the tag cannot take is refused in the dialog (message 81 with the row and its
// range, or the too-long message) and the dialog stays open: nothing is cut or wrapped.
// A write the window refused keeps the dialog open too.

#include "HXCodeWriter.h"
#include "families/common/FamilyDialog.h"

#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

// What the dialogs share: the mode list, the writer, texts, refusals.
class HXCodeDialog : public FamilyDialog {
    Q_OBJECT
public:
    using FamilyDialog::FamilyDialog;
    // Tests hand a writer of their own; otherwise the current system window's.
    void setWriter(hx::IHXCodeWriter* writer) { writer_ = writer; }
    // Load handler: texts, the mode from the window (data item 100), centred.
    void Load();
    virtual void FillDialog();

    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;   // null in the VNB dialog
    QPushButton* btOk = nullptr;

protected:
    hx::IHXCodeWriter* writer() const;
    void addModeFrame(QBoxLayout* into);
    void addButtons(QBoxLayout* top, int helpContext);
    virtual void btOk_Click() = 0;
    // Message 81: caption|min|max, then box selected.
    void refuseRange(const QString& caption, const QString& low, const QString& high, QLineEdit* box);
    bool deviceBusy() const;
    int16_t mode() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    hx::IHXCodeWriter* writer_ = nullptr;
};

class frmSystemHXWriteFixcodeSpecial : public HXCodeDialog {
    Q_OBJECT
public:
    static constexpr qint64 kMaxCode = 0xFFFFFF;
    explicit frmSystemHXWriteFixcodeSpecial(AppContext& ctx, QWidget* parent = nullptr);
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);
    void Update(QLineEdit* source, qint64 value);
    void btOk_Click() override;

    QLineEdit *txtHex = nullptr, *txtDEZ = nullptr;
    QLabel *lblHex = nullptr, *lblDez = nullptr;

private:
    bool updating_ = false;
};

class frmSystemHXMakeNCX : public HXCodeDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 2057;
    explicit frmSystemHXMakeNCX(AppContext& ctx, QWidget* parent = nullptr);
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);
    void UpdateW(QLineEdit* source, qint64 value);
    void UpdateDie(QLineEdit* source, qint64 value);
    void btOk_Click() override;

    // Index 0 the wafer row, 1 the die row.
    QList<QLineEdit*> txtHex, txtDEZ;
    QLabel *lblWafer = nullptr, *lblDie = nullptr, *lblHex = nullptr, *lblDez = nullptr;

private:
    qint64 wafer_ = 0, die_ = 0;
    bool updating_ = false;
};

// The byte dialogs: VNB (no mode, 14 bytes) and WTX (modes, 4 bytes).
class HXByteCodeDialog : public HXCodeDialog {
    Q_OBJECT
public:
    HXByteCodeDialog(AppContext& ctx, const char* name, const QString& title, int maxBytes, bool withMode,
                     int helpContext, QWidget* parent);
    void FillDialog() override;
    void btOk_Click() override;
    int DataRep() const;

    QGroupBox* frameData = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* txtData = nullptr;
    QList<QRadioButton*> rdDataMode;

protected:
    virtual bool write(int16_t mode, const QByteArray& code) = 0;

private:
    ByteTextEdit* data_ = nullptr;
    int maxBytes_;
};

class frmSystemHXWriteFixcodeVNB : public HXByteCodeDialog {
    Q_OBJECT
public:
    static constexpr int kMaxBytes = 14;
    explicit frmSystemHXWriteFixcodeVNB(AppContext& ctx, QWidget* parent = nullptr);
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);

protected:
    bool write(int16_t mode, const QByteArray& code) override;
};

class frmSystemHXWriteFixcodeWTX : public HXByteCodeDialog {
    Q_OBJECT
public:
    static constexpr int kMaxBytes = 4;
    explicit frmSystemHXWriteFixcodeWTX(AppContext& ctx, QWidget* parent = nullptr);
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr);

protected:
    bool write(int16_t mode, const QByteArray& code) override;
};

} // namespace orvid
