#pragma once
// The country-profile chooser for a head that has none yet: the profiles of the head
// type's group, the first one selected; "Jetzt initialisieren" returns the chosen
// profile's position (1-based), "Lesekopf später initialisieren" or closing returns 0.

#include "HXHeadFile.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace orvid {

struct AppContext;

class frmSystemHXSetLanguage : public QDialog {
    Q_OBJECT
public:
    frmSystemHXSetLanguage(AppContext& ctx, int channel, const hx::HXHeadType& head, QWidget* parent = nullptr);

    // 0 when the group has no profile: there is nothing to choose.
    static int ShowDialog(AppContext& ctx, int channel, const hx::HXHeadType& head, QWidget* parent = nullptr);
    // A profile as the user sees it: the language file's text for its section (section
    // "OrvidHX"), else its Name.
    static QString Description(AppContext& ctx, const hx::HXProfile& profile);
    void SetLanguage();
    int Result() const { return result_; }

    QLabel* lblMessage = nullptr;
    QLabel* imgHead = nullptr;
    QLabel* lblLanguage = nullptr;
    QComboBox* cmbLaenderkennung = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;

private:
    AppContext& ctx_;
    QString message_;
    int result_ = 0;
};

} // namespace orvid
