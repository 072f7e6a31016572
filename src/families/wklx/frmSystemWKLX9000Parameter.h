#pragma once
// The parameter dialog of the KLX9000 reader: twelve named reader parameters in four
// frames. OK sets the value of every parameter whose control the user changed, and only
// those: a value the dialog cannot show (a frequency outside its list, "on", "Report")
// is never replaced by what an untouched control happens to show.

#include "foundations/GeneralClasses.h"
#include "families/common/FamilyDialog.h"

#include <QList>

class QComboBox;
class QLineEdit;

namespace orvid {

class frmSystemWKLX9000Parameter : public FamilyDialog {
    Q_OBJECT
public:
    // How a parameter's text maps to its control.
    enum class Kind { OnOff, Fhss, Text, Frequency, ReadRange, FilterType, Timeout };
    static constexpr int kMaxFilterTimeout = 100000;

    frmSystemWKLX9000Parameter(AppContext& ctx, clsCollection<clsParameter>& parameters,
                               QWidget* parent = nullptr);

    static bool ShowDialog(AppContext& ctx, clsCollection<clsParameter>& parameters);

    // The item data a combo's entry is chosen by for a value (-1: no entry), and the value
    // an entry's item data stands for.
    static int DataFor(Kind kind, const QString& value);
    static QString ValueFor(Kind kind, int data);

    QComboBox *cmbCarrier, *cmbFhssMode, *cmbFrequency, *cmbReadRange, *cmbTagBitrate, *cmbFilterType,
        *cmbReadBeep, *cmbTagCrc, *cmbTagDataCrc, *cmbAposMode, *cmbAposOutput, *cmbRS485, *cmbFanOutput;
    QLineEdit *txtFhssBand, *txtFilterTimeout, *txtAposThreshold, *txtAposTimeout;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        const char* name;
        Kind kind;
        QComboBox* combo;
        QLineEdit* text;
        int initialIndex;
        QString initialText;
    };
    void fill();
    void btOk_Click();

    clsCollection<clsParameter>& parameters_;
    QList<Binding> bindings_;
};

} // namespace orvid
