#pragma once
// The parameter dialog of a VNB head: each parameter in its control, disabled when the
// head does not have it (or the country profile locks it). OK checks the entries and sets
// the values into the parameters (the action writes the changed ones); the first entry out
// of range shows message 81 with its caption and range and keeps the dialog open. The
// factory reset writes RD, waits for the head with the dialog disabled (events keep
// flowing), reads every parameter again as defaults and fills the form anew; a failed
// reset is listed in the window.
//
// The fill and the composition are HXParameters' form model; this class moves it to and
// from the controls.

#include "HXParameters.h"
#include "families/common/FamilyDialog.h"

#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvid {

class frmSystemHXParameterVNB : public FamilyDialog {
    Q_OBJECT
public:
    frmSystemHXParameterVNB(AppContext& ctx, const hx::HXHeadType& head, hx::IHXParameterLink& link,
                            hx::ParameterList& params, QWidget* parent = nullptr);
    // Shown modally; true when closed by a successful OK.
    static bool ShowDialog(AppContext& ctx, QWidget* parent, const hx::HXHeadType& head, hx::IHXParameterLink& link,
                           hx::ParameterList& params);

    void Load();
    void FillForm();
    void btOK_Click();
    void btFactorySettings_Click();
    void cmbDenseReaderMode_Click(int index);

    // The head's pause after a factory reset before it answers again (tests shorten it).
    int resetPauseMs = 2000;

    QGroupBox* frameParameter = nullptr;
    QComboBox* cmbPolarisation = nullptr;
    QList<QLineEdit*> txtPowerTransmit;
    QList<QLabel*> lblPowerTransmitUnit;
    QList<QComboBox*> cmbDenseReaderMode;
    QLineEdit *txtNumberChannels = nullptr, *txtTriesAllowed = nullptr, *txtEnhancedStatus = nullptr,
              *txtQValue = nullptr, *txtBreakCriteria = nullptr, *txtTransmissionPause = nullptr;
    QComboBox *cmbMemoryBank = nullptr, *cmbProtocollMode = nullptr, *cmbAdditionalInfo = nullptr;
    QLabel *lblPolarisation = nullptr, *lblPowerTransmit = nullptr, *lblDenseReaderMode = nullptr,
           *lblNumberChannels = nullptr, *lblTriesAllowed = nullptr, *lblEnhancedStatus = nullptr,
           *lblMemoryBank = nullptr, *lblProtocollMode = nullptr, *lblAdditionalInfo = nullptr, *lblQValue = nullptr,
           *lblBreakCriteria = nullptr, *lblTransmissionPause = nullptr;
    QPushButton *btFactorySettings = nullptr, *btOK = nullptr, *btCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString text(const QString& key, const QString& fallback) const;
    // The controls of a parameter (label first).
    QList<QWidget*> controlsOf(const QString& name) const;
    QLineEdit* boxOf(const QString& name, int box) const;

    const hx::HXHeadType& head_;
    hx::IHXParameterLink& link_;
    hx::ParameterList& params_;
    hx::VNBForm form_;
    QString baseCaption_;
    bool filling_ = false;
    bool apPicked_ = false;
};

} // namespace orvid
