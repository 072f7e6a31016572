#pragma once
// The window of the interface units (system entries 1 serial, 10 Ethernet): the unit and
// its channels on the left (HXUnitPanel), tag type, mode, address, length and
// representation beside them, the data list in the middle, the buttons on the right, the
// tag password below. Telegrams and exchanges are HXProtocol's; this class is the
// controls, the view the layer writes to, the click handlers, and the writers the shared
// dialogs find on the current window.

#include "HXProtocol.h"
#include "HXUnitPanel.h"
#include "families/common/FamilyForm.h"
#include "families/common/KRConfigWord.h"
#include "families/common/TagStateView.h"
#include "families/common/TagWriters.h"

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
    // Nothing reaches the list between the window's close and its next opening.

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

    // Controls; those of the unit and its channels are the panel's.
    HXUnitPanel* panel = nullptr;
    QGroupBox *frameModule = nullptr, *frameStation = nullptr, *frameStationMode = nullptr;
    QPushButton* btOrvidSystem = nullptr;
    QList<QRadioButton*> rdHead, rdMode;
    QList<QPushButton*> btHead, btInfo, btParameter;
    QList<QFrame*> linHead, linVert;
    QFrame* linSelHead = nullptr;
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
    void buildButtons(QGridLayout* grid);
    void connectCodeButtons();
    void openCodeDialog(const QString& name);
    void connectControls();
    void adaptToTagType();
    void refreshModeControls();
    void updateBatteryButton();
    void fillCodeList(const QString& channel, int16_t wanted);
    // The stop button's action for channel ("x": every head).
    void stopHead(const QString& channel);
    void txtAddress_LostFocus();
    void txtLength_LostFocus();
    // An action the shared dialogs start: refused (false) while another exchange runs.
    template <class Action>
    bool scoped(Action action)
    {
        HXScope scope(*proto_);
        return scope && action();
    }

    HXProtocol* proto_ = nullptr;
    bool filling_ = false;
    bool loadingPanel_ = false;
    bool reading_ = false;
    bool parameterBusy_ = false;
    krconfig::LineTexts lineTexts_ = krconfig::LineTexts::Defaults();
};

} // namespace orvid
