#pragma once
// The window of the microwave system D (system entry 6): antenna, access type, ID code,
// address and length entries, reads once or in a loop, the data and ID-code write dialogs,
// the tag-state window, and the eight-slot ID-code scan. The telegram work is done by
// WDProtocol; this window (a FamilyForm) is its view and the link's ISystemForm for the
// entry, and holds its controls, its view methods and its handlers.
//
// Every device action started here runs in an ExchangeScope: it is refused (with a beep)
// while another exchange is still waiting, whether the link runs it or this window does,
// since a click arriving inside a wait would otherwise nest a second exchange into the
// first one.

#include "WDDialogTargets.h"
#include "WDProtocol.h"
#include "families/common/FamilyForm.h"

#include <QList>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class ctrlList;
class Lamp;
class frmSystemWDState;
class frmSystemWDIO;

class frmSystemWD : public FamilyForm,
                    public IWDView,
                    public ITagStateProvider,
                    public IWDWriteTarget,
                    public IWDUnitTarget {
    Q_OBJECT
public:
    explicit frmSystemWD(AppContext& ctx, QWidget* parent = nullptr);

    WDProtocol& protocol() const { return *wd_; }
    // The unit-state and outputs windows this window fills (null: not built).
    void setStateWindow(frmSystemWDState* w);
    void setIOWindow(frmSystemWDIO* w);

    void SetLanguage() override;
    // The layer's Init stops the unit: a scan that ran gives its slots and buttons back.
    void Init(bool ethernet = false) override;
    // The link's stop (the command window's) is the Stop button's: the loop and the scan
    // end with it, and its "?70" never goes out inside another exchange's wait.
    void StopBuffered() override;
    using FamilyForm::Loaded;

    // IWDView
    bool LoopChecked() const override;
    int HeadIndex() const override;
    int AccessType() const override;
    QString IDCodeText() const override;
    QString AddressText() const override;
    QString LengthText() const override;
    void SetRWFrameTitle(const QString& title) override;
    void SetScanText(int slot, const QString& code) override;
    void SetScanLED(int slot, bool on) override;

    // ITagStateProvider
    void GetTagState(ITagStateView& view) override;
    // IWDWriteTarget
    WDEntries Entries() const override;
    bool WriteTag(bool isData, int16_t head, int16_t accessType, const QString& idCode,
                  quint16 address, int length, const QByteArray& data) override;
    // IWDUnitTarget
    void GetState() override;
    bool OutputSet() override;

    // Shows the scan frame (true) or the data frame (false); false also ends the scan.
    void EnableScan(bool enable);
    bool ScanFrameShown() const;

    // Controls (objectNames as the names of the members).
    QGroupBox* frameHead = nullptr;
    QGroupBox* frameAntenna = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameAccessType = nullptr;
    QList<QRadioButton*> rdIDCode;
    QLabel* lblIDCode = nullptr;
    QLineEdit* txtIDCode = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameLength = nullptr;
    QLineEdit* txtLength = nullptr;
    QGroupBox* frameText = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QGroupBox* frameIdCode = nullptr;
    QPushButton* btIdCodeRead = nullptr;
    QPushButton* btIdCodeWrite = nullptr;
    QPushButton* btCodeScan = nullptr;
    QCheckBox* chkLoop = nullptr;
    QPushButton* btTagInfo = nullptr;
    QPushButton* btStop = nullptr;
    QList<QPushButton*> btClear;
    QGroupBox* frameTagData = nullptr;
    QWidget* picButtons = nullptr;
    QList<QRadioButton*> rdDataMode;
    ctrlList* list = nullptr;   // objectName "ctrlList"
    QGroupBox* frameTagScan = nullptr;
    QList<QCheckBox*> chkScan;
    QList<QLineEdit*> txtScan;
    QList<Lamp*> cirScan;
    QPushButton* btScanStart = nullptr;
    QPushButton* btScanPause = nullptr;

    // Handlers, public so that tests can run them as a click would.
    void btRead_Click();
    void btIdCodeRead_Click();
    void btWrite_Click();
    void btIdCodeWrite_Click();
    void btTagInfo_Click();
    void btCodeScan_Click();
    void btStop_Click();
    void btClear_Click();
    void btScanStart_Click();
    void btScanPause_Click();

    // The dialogs shown by btWrite, btIdCodeWrite and btTagInfo. Tests replace them so
    // that nothing waits in a modal loop.
    std::function<void()> showWriteDialog;
    std::function<void()> showWriteIDCodeDialog;
    std::function<void()> showTagStateDialog;

protected:
    void OnLoad() override;
    void OnPlaced() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void leaveScan();
    // Stops a running loop on the unit too (its next read is already under way).
    void stopLoop();
    void unlockScan(bool endLoop);
    bool refuseWhileBusy();
    void rdIDCode_Click(int index);
    void rdDataMode_Click(int index);

    WDProtocol* wd_ = nullptr;   // owned by the window base
    bool languageStored_ = false;
};

} // namespace orvid
