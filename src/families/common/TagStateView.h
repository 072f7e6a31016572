#pragma once
// The tag-state window (frmSystemWDTagState) and the system windows that fill it.
//
// The window does not talk to the device: when it opens and on btReload it finds the
// current system window's ITagStateProvider (dynamic_cast on LK::CurrentWindow()) and
// calls GetTagState(*this). The provider reads the tag and hands the texts back through
// ShowTagState, once per call (it may call it a second time at the end of the exchange;
// the last call counts). The microwave system D window and the interface-unit window
// both provide it.

#include <QString>

namespace orvid {

// The texts of the tag-state window's labels.
struct TagStateDisplay {
    QString state;     // lblState: error text of the state request, "" after success
    QString idCode;    // lblCIdCode
    QString date;      // lblCDate   "05/99"
    QString cycles;    // lblCCycle
    QString ledOff;    // lblCLEDOff "1h 2min 3sec 4ms "
    QString ledOn;     // lblCLEDOn
    QString battery = QStringLiteral("0.0 %"); // lblCBattery
    double remaining = 0;  // remaining battery capacity in percent, 0..100
    bool valid = false;    // false: the reads gave nothing, the value labels are empty

    // Width of the bar shpBattery inside picBattery (pixels): 0 when nothing remains, else
    // the box width times the remaining share plus a small visible stub, never wider than
    // the box.
    int barWidth(int boxWidth) const
    {
        if (!valid || remaining <= 0 || boxWidth <= 0)
            return 0;
        const int w = static_cast<int>(boxWidth * remaining / 100.0) + 2;
        return w > boxWidth ? boxWidth : w;
    }
};

class ITagStateView {
public:
    virtual ~ITagStateView() = default;
    virtual void ShowTagState(const TagStateDisplay& display) = 0;
};

class ITagStateProvider {
public:
    virtual ~ITagStateProvider() = default;
    // Reads the state block of the tag before the selected head and shows it in view.
    virtual void GetTagState(ITagStateView& view) = 0;
};

} // namespace orvid
