#pragma once
// The window of the inductive system D fixcode unit (system entry 4): head, operating
// mode, double-sided reading and data format, the reply list, and the read, stop and
// clear buttons. The telegrams are KDFixcodeProtocol's; the lifecycle and the link's
// calls are the family base's.

#include "KDFixcodeProtocol.h"
#include "KDWindow.h"

class QCheckBox;
class QComboBox;

namespace orvid {

class frmSystemKDFixcode : public KDWindow {
    Q_OBJECT
public:
    explicit frmSystemKDFixcode(AppContext& ctx, QWidget* parent = nullptr);

    KDFixcodeProtocol& Protocol() { return *proto_; }

    void SetLanguage() override;
    // An Auto read is not armed again; "RST" goes out once the link is free.
    void StopBuffered() override;

    void Fill();

    void btFixcode_Click();

    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QCheckBox* chkDoubleSided = nullptr;
    QGroupBox* frameDataFormat = nullptr;
    QComboBox* cmbDataFormat = nullptr;
    QPushButton* btFixcode = nullptr;

protected:
    void OnLoad() override;
    void OnUnload() override;

private:
    void buildControls();

    KDFixcodeProtocol* proto_ = nullptr;   // owned by the family base
};

} // namespace orvid
