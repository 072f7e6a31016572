#pragma once
// The progress box of long operations (above all the recognition of the connected system):
// a bar, one status line and a Cancel button. The caller asks after every step, through
// IncBar, whether the user has cancelled. The box is modeless. The user cannot close it: the
// close box and Cancel only mark the operation as cancelled.

#include "link/LinkInterfaces.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvid {

struct AppContext;

class frmState : public QDialog, public IProgressBox {
    Q_OBJECT
public:
    explicit frmState(AppContext& ctx, QWidget* parent = nullptr);

    void ShowForm(int steps) override;
    void SetStatus(const QString& text) override;
    bool IncBar(int steps = 1) override;
    void Unload() override;
    void SetLanguage();

    bool Cancelled() const { return cancelled_; }
    int barValue() const;
    int barMax() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void load();

    AppContext& ctx_;
    QProgressBar* gaugeBar_;
    QLabel* lblState_;
    QPushButton* btCancel_;
    bool cancelled_ = false;
    bool loaded_ = false;
    bool closingByProgram_ = false;
    bool languageStored_ = false;
};

} // namespace orvid
