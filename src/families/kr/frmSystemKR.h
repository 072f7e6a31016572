#pragma once
// The window of the inductive system R (system entries 2 and 3): tag type, mode, address,
// length and representation on the left, the data list in the middle, the buttons and the
// configuration frame on the right, the tag-password controls for QTX03/QTX12 tags below
// the list and the buttons. The telegrams and exchanges are KRProtocol's; the lifecycle,
// the link's calls and the busy cursor are the family base's (FamilyForm). This class is
// the controls, the view the telegram layer writes to, the button handlers, and the writer
// the shared write dialogs find on the current window.

#include "KRProtocol.h"
#include "families/common/Exchange.h"
#include "families/common/FamilyForm.h"
#include "families/common/KRConfigWord.h"
#include "families/common/TagWriters.h"

#include <QByteArray>
#include <QList>
#include <QString>
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

class frmSystemKR : public FamilyForm,
                    public IKRView,
                    public ITagWriter,
                    public IQTX11FixcodeWriter {
    Q_OBJECT
public:
    explicit frmSystemKR(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSystemKR() override;

    KRProtocol& Protocol() { return *proto_; }

    void SetLanguage() override;

    // ISystemForm, where the window adds to the telegram layer
    void PutData(int16_t id, const QVariant& value) override;
    void GetData(int16_t id, QVariant& value) override;
    void StopBuffered() override;

    // Writers the shared dialogs call
    bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& head) override;
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode) override;

    // IKRView
    bool PasswordChecked() const override;
    QString PasswordText() const override;
    void FillTagCodes() override;

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

    // The data-list lines of the two configuration words (a word that is not four bytes
    // adds none), in the current language.
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
    void OnLoad() override;
    void OnPlaced() override;
    void OnUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void adaptToTagcode();
    void setPasswordControlsEnabled(bool on);
    void cmbCode_Click();
    void cmbMode_Click(QComboBox* list);
    void cmbHeadNumber_Click();
    void rdDataMode_Click(int index);
    void txtAddress_LostFocus();
    void txtLength_LostFocus();
    // After an action that sent "QU": the automatic reading it paused goes on.
    void resumeAutomaticRead(const ExchangeScope& scope, bool wasAuto);

    KRProtocol* proto_ = nullptr;   // owned by the family base
    bool filling_ = false;
    krconfig::LineTexts lineTexts_ = krconfig::LineTexts::Defaults();
    QString headText_ = QStringLiteral("Kopf");
    QString notAvailableText_ = QStringLiteral("-/-");
};

} // namespace orvid
