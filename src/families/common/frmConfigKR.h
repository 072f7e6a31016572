#pragma once
// The dialog in which the user edits a tag's two configuration words (control word and
// protection word) before the calling window writes them back. It never talks to the
// device. A word the caller could not read (empty, or not four bytes) is shown empty;
// Write is refused (message 61) until the user has entered something for it, so a word
// that was never read is not overwritten with zeros by mistake.

#include "FamilyDialog.h"

#include <QByteArray>
#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvid {

class frmConfigKR : public FamilyDialog {
    Q_OBJECT
public:
    explicit frmConfigKR(AppContext& ctx, QWidget* parent = nullptr);

    // Shows the dialog modally. True after Write: both words hold four bytes, the edited
    // values. False after Cancel or closing; the words are unchanged.
    static bool ShowDialog(AppContext& ctx, QByteArray& controlWord, QByteArray& protectionWord,
                           QWidget* parent = nullptr);

    // The parts of ShowDialog, for callers that run the modal phase themselves.
    void Load(const QByteArray& controlWord, const QByteArray& protectionWord);
    void Result(QByteArray& controlWord, QByteArray& protectionWord) const;
    bool Cancelled() const { return cancelled_; }

    // Controls (objectNames as the language file keys them).
    QGroupBox* frameControlWord = nullptr;
    QGroupBox* frameProtectionWord = nullptr;
    QList<QLineEdit*> txtKonfig;          // 0,1 read area; 2..5 protection bytes
    QCheckBox* chkPassword = nullptr;
    QCheckBox* chkRAWMode = nullptr;
    QList<QCheckBox*> chkUserdefined;     // 0..13 = word bits 18..31
    QPushButton* btWrite = nullptr;
    QPushButton* btCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void btWrite_Click();
    void txtKonfig_Change(QLineEdit* box);
    quint8 fieldValue(int index) const;
    quint32 controlValue() const;
    quint32 protectionValue() const;

    QByteArray controlIn_;
    QByteArray protectionIn_;
    bool controlRead_ = false;
    bool protectionRead_ = false;
    bool controlEdited_ = false;
    bool protectionEdited_ = false;
    bool cancelled_ = true;
    bool filling_ = false;
};

} // namespace orvid
