#pragma once
// The write dialog of the inductive system D read/write window ("Daten schreiben"): head,
// carrier type, mode, double-sided writing, start address and the data, started from the
// window's items and from the reply line last read (or the one selected). OK hands the
// write to the window (IKDWriteTarget).

#include "KDWriteTarget.h"
#include "families/common/FamilyDialog.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;

namespace orvid {

class frmSystemKDWrite : public FamilyDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 2050;

    explicit frmSystemKDWrite(AppContext& ctx, QWidget* parent = nullptr);
    // The window to write through (default: the link's current window, when it is one).
    void setTarget(IKDWriteTarget* target) { target_ = target; }

    // Texts, FillDialog, centring.
    void Load();
    void FillDialog();
    void btOk_Click();

    // The data of a reply line's bytes: what follows the first ":" with the blanks around
    // it removed (nothing else), when the line begins with the head label; none otherwise.
    static std::optional<QByteArray> DataOfLine(const QByteArray& line, const QString& headLabel);

    static void ShowDialog(AppContext& ctx, QWidget* parent, IKDWriteTarget* target);

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QCheckBox* chkDoubleSided = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;
    ButtonRow buttons;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IKDWriteTarget* target() const;

    IKDWriteTarget* target_ = nullptr;
    bool firstFocus_ = true;
};

} // namespace orvid
