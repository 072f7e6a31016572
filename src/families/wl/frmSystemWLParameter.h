#pragma once
// The modal dialog in which the user edits the framed system L reader's parameter string:
// one control per field. It shows a string and, on OK, composes the new one (Result()); the
// caller sends it. Unknown codes and numbers out of range are replaced silently by the
// field's default (WLParameterString.h).

#include "WLParameterString.h"
#include "families/common/FamilyDialog.h"

#include <QList>
#include <QStringList>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace orvid {

class frmSystemWLParameter : public FamilyDialog {
    Q_OBJECT
public:
    frmSystemWLParameter(AppContext& ctx, const QByteArray& parameters, QWidget* parent = nullptr);

    void SetLanguage() override;
    // The controls as a parameter string (36 characters).
    QByteArray Result() const;
    void Show(const wlframed::ReaderParameters& p);

    QList<QRadioButton*> rdOPMode, rdReadingRange, rdDataSpeed, rdDatabase, rdTamper;
    QLineEdit* txtChannel = nullptr;
    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtTimeout = nullptr;
    QComboBox* cmbPort = nullptr;
    QComboBox* cmbBaud = nullptr;
    QComboBox* cmbStopbits = nullptr;
    QComboBox* cmbParity = nullptr;
    QComboBox* cmbRadar = nullptr;
    QComboBox* cmbLog = nullptr;
    QComboBox* cmbRelay = nullptr;
    QComboBox* cmbBuzzer = nullptr;
    QComboBox* cmbLED = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QComboBox*> lists_;
    QList<QStringList> listDefaults_;
    bool kept_ = false;
};

} // namespace orvid
