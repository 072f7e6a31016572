#pragma once
// The window of the microwave system D (system entry 6): antenna, access type, ID code,
// address and length entries, reads once or in a loop, the data and ID-code write dialogs,
// the tag-state window, and the eight-slot ID-code scan. The telegram work is done by
// WDProtocol; this window is its view and the link's ISystemForm for the entry.
//
// Every device action started here is refused (with a beep) while another exchange is
// still waiting, whether the link runs it or this window does: a click arriving inside a
// wait would otherwise nest a second exchange into the first one.

#include "WDDialogTargets.h"
#include "WDProtocol.h"
#include "WDSettings.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace orvid {

class ctrlList;
class WDLamp;
class frmSystemWDState;
class frmSystemWDIO;

class frmSystemWD : public QWidget,
                    public ISystemForm,
                    public IWDView,
                    public ITagStateProvider,
                    public IWDWriteTarget,
                    public IWDUnitTarget {
    Q_OBJECT
public:
    explicit frmSystemWD(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemWD() override;

    WDProtocol& protocol() { return *protocol_; }
    // The unit-state and outputs windows this window fills (null: not built).
    void setStateWindow(frmSystemWDState* w);
    void setIOWindow(frmSystemWDIO* w);

    // IToolWindow
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    // ISystemForm
    Menues CommandList() override { return protocol_->CommandList(); }
    bool Check() override;
    QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) override;
    void CloseLK() override;
    void Init(bool ethernet = false) override;
    void PutData(int16_t id, const QVariant& value) override;
    void GetData(int16_t id, QVariant& value) override;
    QByteArray SetLKString(const QByteArray& command, const QByteArray& suffix) override;
    int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    void StopBuffered() override;

    // IWDView
    void ShowData(int kind, const QByteArray& label, const QByteArray& data) override;
    bool LoopChecked() const override;
    int HeadIndex() const override;
    int AccessType() const override;
    QString IDCodeText() const override;
    QString AddressText() const override;
    QString LengthText() const override;
    void SetRWFrameTitle(const QString& title) override;
    void SetScanText(int slot, const QString& code) override;
    void SetScanLED(int slot, bool on) override;
    void SetBusy(bool busy) override;

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
    // True while a device exchange runs (the link's or one this window started).
    bool ExchangeRunning() const;

    // Field formatting as on leaving the boxes.
    static QString FormatAddress(const QString& text);
    static QString FormatIDCode(const QString& text);
    static QString FormatLength(const QString& text);
    static QString FormatScanCode(const QString& text);
    // The options of rdIDCode: which tags an access takes (this window and the data
    // write dialog).
    static QStringList AccessTypeTexts();

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
    QList<WDLamp*> cirScan;
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
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void load();
    void closeHandling();
    void fitContainer();
    void leaveScan();
    void rdIDCode_Click(int index);
    void rdDataMode_Click(int index);
    bool refuseWhenBusy();
    void unlockScan(bool endLoop);

    AppContext& ctx_;
    std::unique_ptr<WDProtocol> protocol_;
    frmSystemWDState* stateWindow_ = nullptr;
    frmSystemWDIO* ioWindow_ = nullptr;
    bool loaded_ = false;
    bool languageStored_ = false;
    int actionDepth_ = 0;     // a device action of this window runs
    int busyCursor_ = 0;
};

} // namespace orvid
