#pragma once
// The window of the inductive system D read/write unit (system entry 5): carrier type,
// head, mode, double-sided operation, start address and length, the reply list, and the
// read, write, chip-code, stop and clear buttons. The telegrams are KDReadWriteProtocol's;
// the write and chip-code dialogs reach the window as IKDWriteTarget.

#include "KDReadWriteProtocol.h"
#include "KDWindow.h"
#include "KDWriteTarget.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace orvid {

class frmSystemKDReadWrite : public KDWindow, public IKDWriteTarget {
    Q_OBJECT
public:
    explicit frmSystemKDReadWrite(AppContext& ctx, QWidget* parent = nullptr);

    KDReadWriteProtocol& Protocol() { return *proto_; }

    void SetLanguage() override;
    void StopBuffered() override;

    // IKDWriteTarget
    QVariant Item(int16_t id) const override { return getItem(id); }
    QString HeadLabel() const override { return proto_->HeadLabel; }
    const TagDataList* ReplyList() const override { return lstTagData; }
    KDWriteResult WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                           const QByteArray& data) override;

    void Fill();

    void btRead_Click();
    void btWrite_Click();
    void btMakeNCX_Click();

    // The dialogs the buttons open (tests replace them so no modal loop runs).
    std::function<void()> writeDialog;
    std::function<void()> makeNCXDialog;

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QCheckBox* chkDoubleSided = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameLength = nullptr;
    QLineEdit* txtLength = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btMakeNCX = nullptr;

protected:
    void OnLoad() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Write and chip-code buttons: not for NCX carriers, which hold a fixed code.
    void applyCodeRule();
    // Before a write dialog: a read still running is stopped.
    void stopForDialog();
    void cmbCode_Click();
    void cmbHeadNumber_Click(int index);
    void txtAddress_LostFocus();
    void txtLength_LostFocus();

    KDReadWriteProtocol* proto_ = nullptr;   // owned by the family base
    bool readBusy_ = false;
    bool settle_ = false;
};

} // namespace orvid
