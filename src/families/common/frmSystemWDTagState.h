#pragma once
// The tag-state window: the state record of one tag (ID code, production date, cycles,
// read/write times with the LED off and on, remaining battery capacity). It asks the
// current system window to fill it, through ITagStateProvider, when it opens and on
// btReload; the system D window and the interface-unit window both provide it.

#include "FamilyDialog.h"
#include "TagStateView.h"

class QLabel;
class QFrame;
class QPushButton;

namespace orvid {

class frmSystemWDTagState : public FamilyDialog, public ITagStateView {
    Q_OBJECT
public:
    explicit frmSystemWDTagState(AppContext& ctx, QWidget* parent = nullptr);

    // Loads and shows the window modally; returns when it was closed. provider null: the
    // link's current system window.
    static void ShowDialog(AppContext& ctx, QWidget* parent = nullptr,
                           ITagStateProvider* provider = nullptr);
    void setProvider(ITagStateProvider* provider) { provider_ = provider; }

    // Form_Load: asks the provider for the state, then texts and centring.
    void Load();
    // btReload: asks the current system window again.
    void Reload();

    // ITagStateView
    void ShowTagState(const TagStateDisplay& display) override;

    QLabel* lblIDCode = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblCycle = nullptr;
    QLabel* lblLEDOff = nullptr;
    QLabel* lblLEDOn = nullptr;
    QLabel* lblBattery = nullptr;
    QLabel* lblCIdCode = nullptr;
    QLabel* lblCDate = nullptr;
    QLabel* lblCCycle = nullptr;
    QLabel* lblCLEDOff = nullptr;
    QLabel* lblCLEDOn = nullptr;
    QLabel* lblCBattery = nullptr;
    QLabel* lblState = nullptr;
    QFrame* picBattery = nullptr;
    QFrame* shpBattery = nullptr;
    QPushButton* btReload = nullptr;
    QPushButton* btOk = nullptr;

private:
    ITagStateProvider* provider_ = nullptr;
};

} // namespace orvid
