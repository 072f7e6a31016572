#pragma once
// What the two dialogs of the read/write window (data and chip code) share: the write
// options (head, carrier type, mode, double-sided writing) started from the window's data
// items, the window they write through (IKDWriteTarget), and the write on OK. A write the
// window refuses before sending anything keeps the dialog open; the window has said why.

#include "KDWriteTarget.h"
#include "families/common/FamilyDialog.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;

namespace orvid {

class KDWriteDialog : public FamilyDialog {
    Q_OBJECT
public:
    // The window to write through (default: the link's current window, when it is one).
    void setTarget(IKDWriteTarget* target) { target_ = target; }

    // Texts, FillDialog, centring.
    virtual void Load() = 0;
    virtual void FillDialog();
    virtual void btOk_Click() = 0;

    // A dialog of type D for target, shown modally.
    template <class D>
    static void ShowModal(AppContext& ctx, QWidget* parent, IKDWriteTarget* target)
    {
        D dialog(ctx, parent);
        dialog.setTarget(target);
        dialog.Load();
        dialog.exec();
    }

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QCheckBox* chkDoubleSided = nullptr;
    ButtonRow buttons;

protected:
    KDWriteDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent);

    // The head, carrier-type and mode frames, added to into.
    void addOptionFrames(QBoxLayout* into);
    // OK (its click is btOk_Click), Cancel and Help.
    void addButtons(QBoxLayout* top, int helpContext);
    // data at address with the options chosen; the dialog closes unless the window refused it.
    void write(quint16 address, const QByteArray& data);
    IKDWriteTarget* target() const;

private:
    IKDWriteTarget* target_ = nullptr;
};

} // namespace orvid
