#pragma once
// The window of the interface units (system entries 1 serial, 10 Ethernet): the unit and
// its channels with their heads on the left, tag type, mode, address, length and
// representation beside them, the data list in the middle, the buttons on the right, the
// tag password below. Telegrams and exchanges are HXProtocol's; this class is the
// controls, the view the layer writes to, the click handlers, and the writers the shared
// dialogs find on the current window.

#include "HXProtocol.h"
#include "families/common/FamilyForm.h"
#include "families/common/KRConfigWord.h"
#include "families/common/TagStateView.h"
#include "families/common/TagWriters.h"

#include <QIcon>
#include <QList>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class ctrlList;

class frmSystemHX : public DirectFamilyForm,
                    public IHXView,
                    public ITagWriter,
                    public IQTX11FixcodeWriter,
                    public ITagStateProvider,
                    public hx::IHXCodeWriter {
    Q_OBJECT
public:
    static constexpr const char* kSettings = "OrvidHX";

    explicit frmSystemHX(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemHX() override;

    HXProtocol& Protocol() { return *proto_; }

    void SetLanguage() override;
    void PutData(int16_t id, const QVariant& value) override;
    void StopBuffered() override;

    // Writers and the tag state the shared dialogs call
    WriterOffer Offer() const override { return WriterOffer{false, true}; }
    bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& head) override;
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode) override;
    void GetTagState(ITagStateView& view) override;
    bool WriteSpecialFixcode(int16_t mode, const QByteArray& code) override;
    bool WriteVNBFixcode(const QByteArray& code) override;
    bool WriteWTXFixcode(int16_t mode, const QByteArray& code) override;
    bool WriteNCXTag(int16_t mode, const QByteArray& code) override;

    // IHXView
    bool PasswordChecked() const override;
    QString PasswordText() const override;
    int TriggerSource(int sensor) const override;
    int TriggerMode(int sensor) const override;
    void UnitRecognised() override { FillUnitPanel(); }

    void FillUnitPanel();
    void SetRWFrameTitle(const QString& title);

    // Click handlers (public so tests can run them as a click would).
    void rdHead_Click(int index);
    void btHead_Click(int index);
    void cmbCode_Click();
    void btRead_Click();
    void btFixcode_Click();
    void btStop_Click();
    void btWrite_Click();
    void btWriteFixcode_Click();
    void btBattery_Click();
    void btConfig_Click(int index);
    void btTagPassword_Click();
    void chkPasswort_Click();
    void btSpecialFixCode_Click();
    void btWriteSpecialFixcode_Click();
    void btMakeNCX_Click();
    void btParameter_Click(int index);

    // Dialogs the buttons open; tests replace them so no modal loop runs.
    std::function<void()> writeDialog, fixcodeDialog, stateDialog;
    std::function<bool(QByteArray&, QByteArray&)> configDialog;
    std::function<int(int, const hx::HXHeadType&)> profileDialog;
    // The code dialogs by name ("frmSystemHXWriteFixcodeSpecial" ...).
    std::function<void(const QString&)> codeDialog;

    // Controls
    QGroupBox* frameModule = nullptr;
    QPushButton* btOrvidSystem = nullptr;
    QList<QRadioButton*> rdHead;
    QList<QPushButton*> btHead, btInfo, btParameter;
    // The lines from the unit to its heads, and the one drawn over the selected head's.
    QList<QFrame*> linHead, linVert;
    QFrame* linSelHead = nullptr;
    QGroupBox* frameStationMode = nullptr;
    QList<QRadioButton*> rdMode;
    QList<QGroupBox*> frameTrigger;
    QList<QComboBox*> cmbTrigger, cmbTriggerMode;
    QGroupBox* frameHead = nullptr;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameLength = nullptr;
    QLineEdit* txtLength = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameTagData = nullptr;
    orvid::ctrlList* ctrlList = nullptr;
    QPushButton *btRead = nullptr, *btWrite = nullptr, *btFixcode = nullptr, *btWriteFixcode = nullptr,
                *btSpecialFixCode = nullptr, *btWriteSpecialFixcode = nullptr, *btStop = nullptr,
                *btBattery = nullptr, *btMakeNCX = nullptr, *btClear = nullptr, *btTagPassword = nullptr;
    QList<QPushButton*> btConfig;
    QLabel *lblTagData = nullptr, *lblTagFixcode = nullptr, *lblTagSpecialFixcode = nullptr, *lblConfig = nullptr,
           *lblPActive = nullptr;
    QGroupBox* framePassword = nullptr;
    QCheckBox* chkPasswort = nullptr;
    QList<QLabel*> lblPassword;
    QList<QLineEdit*> txtPasswort;

protected:
    void OnLoad() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectCodeButtons();
    void openCodeDialog(const QString& name);
    void connectControls();
    void adaptToTagType();
    void refreshModeControls();
    void updateBatteryButton();
    void fillTriggerLists();
    void txtAddress_LostFocus();
    void txtLength_LostFocus();
    QIcon headPicture(int channel) const;
    void showSelectionLine(int index);

    QGridLayout* headLines_ = nullptr;
    HXProtocol* proto_ = nullptr;
    bool filling_ = false;
    bool loadingPanel_ = false;
    bool reading_ = false;
    bool parameterBusy_ = false;
    krconfig::LineTexts lineTexts_ = krconfig::LineTexts::Defaults();
};

} // namespace orvid
