#pragma once
// The window of microwave system L in its framed protocol (system entry 8): the reader
// settings sent with a read, continuous ID and data reading, the write dialog, the
// parameter dialog, the reader's ID-code database, and the host of the shared I/O window
// and of the state window. The telegrams are WLFramedProtocol's; the lifecycle and the
// link's calls are the family base's. The database lives in the reader only: the list is
// read back from it after every change.

#include "WLFramedLayer.h"
#include "WLHosts.h"
#include "families/common/FamilyForm.h"

#include <QString>
#include <functional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvid {

class TagDataList;
class frmSystemWLIO;
class frmSystemWLState;

class frmSystemWL : public FamilyForm, public IWLFramedView, public IWLIOHost, public IWLStateHost {
    Q_OBJECT
public:
    static constexpr const char* kSettings = WLFramedProtocol::kSettings;

    explicit frmSystemWL(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemWL() override;

    WLFramedProtocol& Protocol() { return *proto_; }
    void SetLanguage() override;

    // The data list.
    void AddData(int kind, const QByteArray& caption, const QByteArray& data) override;

    // IFamilyView / IWLFramedView
    void ModeChanged(bool normalMode) override;
    void SetParameterEnabled(bool enabled) override;
    void SetWriteRunning(bool running) override;
    void ShowDbCode(const QString& id) override;
    void DbCodeModeChanged(bool on) override;
    bool AutoRefresh() const override;
    void RefreshSmallWindows() override;

    // IWLIOHost / IWLStateHost
    void ScanEnable(bool flag) override;
    void OutputSet() override;
    void InputSet() override;
    void StatusSet(const QString& text) override;
    void StopBuffered() override;

    // Handlers (public so tests run them as a click would).
    void btRead_Click();
    void btFixcode_Click();
    void btStop_Click();
    void btWrite_Click();
    void btClear_Click();
    void btParameter_Click();
    void btDatabase_Click();
    void btDBCode_Click();
    void btNew_Click();
    void btDBDelete_Click();
    void txtFrequency_LostFocus();
    void ShowDatabase();

    // The small windows when built (set by the registration).
    std::function<frmSystemWLIO*()> ioWindow;
    std::function<frmSystemWLState*()> stateWindow;
    // The dialogs; tests replace them so no modal loop runs. writeDialog: true on OK with
    // the values; parameterDialog: the dialog over the current string.
    std::function<bool(WLWriteValues&)> writeDialog;
    std::function<void()> parameterDialog;

    QGroupBox* frameHead = nullptr;
    QGroupBox* framePower = nullptr;
    QComboBox* cmbPower = nullptr;
    QGroupBox* frameSensitivity = nullptr;
    QComboBox* cmbSensitivity = nullptr;
    QGroupBox* frameBit = nullptr;
    QComboBox* cmbBit = nullptr;
    QGroupBox* frameFrequency = nullptr;
    QLineEdit* txtFrequency = nullptr;
    QPushButton* btParameter = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btFixcode = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btDatabase = nullptr;
    QPushButton* btClear = nullptr;
    QGroupBox* frameTagData = nullptr;
    TagDataList* lstTagData = nullptr;
    QGroupBox* frameDatabase = nullptr;
    QListWidget* lstDatabase = nullptr;
    QLineEdit* txtDBIdcode = nullptr;
    QPushButton* btDBCode = nullptr;
    QPushButton* btNew = nullptr;
    QPushButton* btDBDelete = nullptr;

protected:
    void OnLoad() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void applyReaderSettings();
    void showTagList();
    // ScanEnable without the stop: the tag list shown, "Code lesen" ended.
    void scanEnable(bool flag);
    // The stop button's action without its telegrams: no continuous read, the tag list
    // shown, "Code lesen" ended, polling only as the small windows or mode Normal need.
    void endReading();
    // The exchanges of InputSet and StatusSet, without a scope of their own (a poll step).
    void readInputs();
    void readStatus();

    WLFramedProtocol* proto_ = nullptr; // owned by the family base
    QString dbCodeCaption_;
    QString lastId_;
    QString noEntriesText_ = QStringLiteral("Keine Einträge gefunden");
    QString readErrorText_ = QStringLiteral("Allgemeiner Lesefehler");
};

} // namespace orvid
