#pragma once
// The window of microwave system L in its text protocol (system entry 7): the radio
// settings (channel, range, bit rate, tag speed), reads of data or fixcode in three modes,
// the data list in three views, the write dialog, the configuration listing, and the host
// of the shared inputs/outputs window. The telegrams are WLProtocol's; the lifecycle and
// the link's calls are the family base's.

#include "WLHosts.h"
#include "WLProtocol.h"
#include "families/common/FamilyForm.h"

#include <QList>
#include <functional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class TagDataList;
class frmSystemWLIO;

class frmSystemL : public FamilyForm, public IWLView, public IWLIOHost, public IWLTextWriter {
    Q_OBJECT
public:
    explicit frmSystemL(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemL() override;

    WLProtocol& Protocol() { return *proto_; }
    void SetLanguage() override;

    // The data list.
    void AddData(int kind, const QByteArray& caption, const QByteArray& data) override;

    // IFamilyView / IWLView
    void AppendToLastLine(const QByteArray& text) override;
    void SetWriteRunning(bool running) override;
    bool IOAutoRefresh() const override;
    void RefreshInputs() override { readInputs(); }
    int LineWidth() const override;

    // IWLIOHost
    void OutputSet() override;
    void InputSet() override;
    void ScanEnable(bool flag) override;

    // The write dialog's call: the write sequence and its progress.
    bool WriteTag(int16_t intervalType, int16_t intervalLength, const QByteArray& data) override;

    void Fill();
    void SetRWFrameTitle(const QString& title);
    void StopBuffered() override;

    // Handlers (public so tests run them as a click would).
    void btRead_Click();
    void btFixcode_Click();
    void btStop_Click();
    void btClear_Click();
    void btWrite_Click();
    void btConfig_Click();
    // The boxes' lost focus: false when the frequency was refused (message 70).
    void txtAddress_LostFocus();
    void txtLength_LostFocus();
    bool txtFrequency_LostFocus();

    // The I/O window when it has been built (set by the registration).
    std::function<frmSystemWLIO*()> ioWindow;
    // The write dialog; tests replace it so no modal loop runs.
    std::function<void()> writeDialog;

    QGroupBox* frameHead = nullptr;
    QGroupBox* frameSpeed = nullptr;
    QComboBox* cmbTagSpeed = nullptr;
    QGroupBox* frameBitrate = nullptr;
    QComboBox* cmbBitrate = nullptr;
    QGroupBox* frameRange = nullptr;
    QComboBox* cmbRange = nullptr;
    QGroupBox* frameFrequency = nullptr;
    QLineEdit* txtFrequency = nullptr;
    QGroupBox* frameConfig = nullptr;
    QPushButton* btConfig = nullptr;
    QGroupBox* frameTagData = nullptr;
    TagDataList* lstTagData = nullptr;
    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameLength = nullptr;
    QLineEdit* txtLength = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btFixcode = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClear = nullptr;

protected:
    void OnLoad() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    frmSystemWLIO* io() const;
    void readInputs();

    WLProtocol* proto_ = nullptr;   // owned by the family base
    bool filling_ = false;
    bool writeRunning_ = false;
};

} // namespace orvid
