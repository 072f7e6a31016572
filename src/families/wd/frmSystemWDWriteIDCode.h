#pragma once
// The ID-code write dialog of the microwave system D: antenna, the assignment (which tags
// take the new code) and the new ID code. It starts from the entries of the system D
// window and hands the write to it on OK. The new code written last is offered again the
// next time the dialog opens, for as long as the program runs.

#include "frmSystemWDWrite.h"

namespace orvid {

class frmSystemWDWriteIDCode : public WDAccessDialog {
    Q_OBJECT
public:
    explicit frmSystemWDWriteIDCode(AppContext& ctx, QWidget* parent = nullptr);

    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr, IWDWriteTarget* target = nullptr);

    void Load();

    // The new ID code kept between showings.
    static QString& RememberedIDCode();

    QGroupBox* frameIdCode = nullptr;
    QLineEdit* txtIDCodeWrite = nullptr;

    void btOk_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace orvid
