#pragma once
// The window of the inductive system R (system entries 2 and 3): tag type, mode, address,
// length and representation on the left, the data list in the middle, the buttons on the
// right, the configuration and tag-password controls for QTX03/QTX12 tags. The telegrams
// are KRProtocol's; this class is the ISystemForm the link talks to and the writer the
// shared write dialogs find on the current window.

#include "KRProtocol.h"
#include "families/common/TagWriters.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace orvid {

class ctrlList;

class frmSystemKR : public QWidget,
                    public ISystemForm,
                    public ITagWriter,
                    public IQTX11FixcodeWriter,
                    public IKRView {
    Q_OBJECT
public:
    explicit frmSystemKR(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemKR() override;

    KRProtocol& Protocol() { return proto_; }

    // IToolWindow
    QString Name() const override { return QStringLiteral("frmSystemKR"); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    // ISystemForm
    Menues CommandList() override;
    bool Check() override;
    QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) override;
    void CloseLK() override;
    void Init(bool ethernet = false) override;
    void PutData(int16_t id, const QVariant& value) override;
    void GetData(int16_t id, QVariant& value) override;
    QByteArray SetLKString(const QByteArray& command, const QByteArray& suffix) override;
    int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    void StopBuffered() override;

    // Writers the shared dialogs call
    bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& head) override;
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode) override;

    // IKRView
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override;
    bool PasswordChecked() const override;
    QString PasswordText() const override;
    void FillTagCodes() override;
    void SetBusy(bool busy) override;

    // Controls from the data items; the head frame's caption.
    void Fill();
    void SetRWFrameTitle(const QString& title);

    // Button handlers (public so tests and menus can run them as a click would).
    void btRead_Click();
    void btFixcode_Click();
    void btAutoRead_Click();
    void btStop_Click();
    void btClear_Click();
    void btWrite_Click();
    void btConfig_Click(int index);
    void btTagPassword_Click();
    void chkPasswort_Click();

    // The configuration exchanges: reads both words (empty = not read). Writes both words
    // when both hold four bytes; otherwise nothing is sent and message 61 says why. A word
    // the device refuses is reported (status line, message 4). False when the sequence
    // could not start (password invalid) or a word was not written.
    bool ReadConfiguration(QByteArray& controlWord, QByteArray& protectionWord);
    bool WriteConfiguration(const QByteArray& controlWord, const QByteArray& protectionWord);
    // The data-list lines of the two words (a word that is not four bytes adds none).
    QStringList ConfigurationLines(const QByteArray& controlWord, const QByteArray& protectionWord) const;

    // The dialogs the buttons open; tests replace them so no modal loop runs.
    std::function<void()> writeDialog;            // data write dialog
    std::function<void()> fixcodeDialog;          // QTX11/QTX14 fixcode dialog
    std::function<bool(QByteArray&, QByteArray&)> configDialog;

    // Controls
    QGroupBox* frameHead = nullptr;
    QGroupBox* frameCode = nullptr;
    QComboBox* cmbCode = nullptr;
    QGroupBox* frameHeadNumber = nullptr;
    QComboBox* cmbHeadNumber = nullptr;
    QGroupBox* frameMode = nullptr;
    QComboBox* cmbMode = nullptr;
    QComboBox* cmbModeQTI = nullptr;
    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameLength = nullptr;
    QLineEdit* txtLength = nullptr;
    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> rdDataMode;
    QGroupBox* frameTagData = nullptr;
    orvid::ctrlList* ctrlList = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btFixcode = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btAutoRead = nullptr;
    QGroupBox* frameConfig = nullptr;
    QList<QPushButton*> btConfig;
    QGroupBox* framePassword = nullptr;
    QCheckBox* chkPasswort = nullptr;
    QLabel* lblPActive = nullptr;
    QList<QLineEdit*> txtPasswort;
    QList<QLabel*> lblPassword;
    QGroupBox* Frame2 = nullptr;
    QPushButton* btTagPassword = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_QueryUnload();
    QWidget* container() const;
    void applyMinimumSize();
    void putItem(int16_t id, const QVariant& value);
    QVariant getItem(int16_t id) const;
    void adaptToTagcode();
    void setPasswordControlsEnabled(bool on);
    void cmbCode_Click();
    void cmbMode_Click(QComboBox* list);
    void cmbHeadNumber_Click();
    void rdDataMode_Click(int index);
    void txtAddress_LostFocus();
    void txtLength_LostFocus();
    bool refuseWhileBusy();
    int16_t readWord(const QByteArray& command, QByteArray& word, bool& answered);
    bool writeWord(const QByteArray& command, const QByteArray& word);
    // "QU" once the exchange that is waiting now has ended (never inside its wait).
    void queueStop();
    void sendQueuedStop();
    void reportFailure(const QByteArray& reply, bool answered);
    int16_t currentSystem() const;

    AppContext& ctx_;
    KRProtocol proto_;
    bool loaded_ = false;
    bool readGuard_ = false;
    bool filling_ = false;
    bool wordCut_ = false;      // the last configuration read got a cut word
    int busyDepth_ = 0;
    QTimer* stopTimer_ = nullptr;   // runs while a "QU" waits for the link to be free
    QStringList controlLabels_;
    QStringList protectLabels_;
    QString headText_ = QStringLiteral("Kopf");
    QString notAvailableText_ = QStringLiteral("-/-");
    QString onText_ = QStringLiteral("Ein");     // a configuration bit that is set
    QString offText_ = QStringLiteral("Aus");
};

} // namespace orvid
