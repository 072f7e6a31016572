#pragma once
// The window of the inductive system D fixcode unit (system entry 4): head, operating
// mode, double-sided reading and data format, the reply list, and the read, stop and
// clear buttons. The telegrams are KDFixcodeProtocol's; the lifecycle and the link's
// calls are the family base's.

#include "KDFixcodeProtocol.h"
#include "families/common/FamilyForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace orvid {

class TagDataList;

class frmSystemKDFixcode : public FamilyForm {
    Q_OBJECT
public:
    explicit frmSystemKDFixcode(AppContext& ctx, QWidget* parent = nullptr);

    KDFixcodeProtocol& Protocol() { return *proto_; }

    void SetLanguage() override;
    void StopBuffered() override;
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override;

    void Fill();
    void SetRWFrameTitle(const QString& title);

    void btFixcode_Click();
    void btStop_Click();
    void btClear_Click();

    QGroupBox* frameHead = nullptr;
    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QCheckBox* chkDoubleSided = nullptr;
    QGroupBox* frameDataFormat = nullptr;
    QComboBox* cmbDataFormat = nullptr;
    QGroupBox* frameTagData = nullptr;
    TagDataList* lstTagData = nullptr;
    QPushButton* btFixcode = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClear = nullptr;

protected:
    void OnLoad() override;
    void OnPlaced() override;
    void OnUnload() override;

private:
    void buildControls();

    KDFixcodeProtocol* proto_ = nullptr;   // owned by the family base
};

} // namespace orvid
