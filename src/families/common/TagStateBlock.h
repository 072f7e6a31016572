#pragma once
// The state block a battery-powered tag keeps at a fixed place of its memory (14 bytes:
// production month and year, read/write cycles, the milliseconds spent reading and
// writing with the LED off and on), and the battery model that estimates from it how much
// capacity remains. Families that read such tags share it; it knows nothing of telegrams
// or widgets.

#include "TagStateView.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace orvid {

struct TagStateBlock {
    static constexpr int kLength = 14;   // bytes

    QByteArray month, year;   // two digits each, as stored ("05", "99")
    quint32 cycles = 0;
    quint32 ledOffMs = 0;
    quint32 ledOnMs = 0;

    // From 28 hex digits; false when the text is shorter or not hex.
    static bool Decode(const QByteArray& hex, TagStateBlock& block);
    // "1h 2min 3sec 4ms " (hours not limited to 24; ends with a blank).
    static QString TimeText(quint32 ms);
    // Remaining battery capacity in percent, 0..100, counted from the production month to
    // the month of today (a month = 720 hours).
    double BatteryRemaining(const QDate& today) const;
    // Years below 50 are 20xx.
    int FullYear() const;
    // The texts of the tag-state window for the tag idCode (display order).
    TagStateDisplay Display(const QString& idCode, const QDate& today) const;
};

} // namespace orvid
