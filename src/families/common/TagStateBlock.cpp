#include "TagStateBlock.h"

#include "foundations/Utils.h"

#include <algorithm>

namespace orvid {

namespace {

// A 32-bit value stored as 4 bytes (8 hex digits), least significant byte first.
quint32 littleEndian32(const QByteArray& hex8)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        quint32 byte = 0;
        ParseHexDigits(hex8.mid(i * 2, 2), byte);
        value = (value << 8) | byte;
    }
    return value;
}

} // namespace

bool TagStateBlock::Decode(const QByteArray& hex, TagStateBlock& block)
{
    if (hex.size() < kLength * 2)
        return false;
    quint32 check = 0;
    for (int i = 0; i < kLength * 2; i += 2) {
        if (!ParseHexDigits(hex.mid(i, 2), check))
            return false;
    }
    block.month = hex.mid(0, 2);
    block.year = hex.mid(2, 2);
    block.cycles = littleEndian32(hex.mid(4, 8));
    block.ledOffMs = littleEndian32(hex.mid(12, 8));
    block.ledOnMs = littleEndian32(hex.mid(20, 8));
    return true;
}

QString TagStateBlock::TimeText(quint32 ms)
{
    const quint32 h = ms / 3600000u;
    const quint32 m = (ms % 3600000u) / 60000u;
    const quint32 s = (ms % 60000u) / 1000u;
    const quint32 rest = ms % 1000u;
    return QStringLiteral("%1h %2min %3sec %4ms ").arg(h).arg(m).arg(s).arg(rest);
}

int TagStateBlock::FullYear() const
{
    const int yy = static_cast<int>(Val(year));
    return yy < 50 ? 2000 + yy : 1900 + yy;
}

double TagStateBlock::BatteryRemaining(const QDate& today) const
{
    const double now = ((today.year() - 1900) * 12.0 + today.month()) * 720.0;
    const double made = ((FullYear() - 1900) * 12.0 + Val(month)) * 720.0;
    const double offH = ledOffMs / 3600000.0;
    const double onH = ledOnMs / 3600000.0;
    const double used = ((now - made - onH - offH) * 0.02 + offH * 12.0 + onH * 15.0) / 1710.0 * 100.0;
    // A production date after today (or a wrong clock) would give more than 100 %.
    return std::clamp(100.0 - used, 0.0, 100.0);
}

TagStateDisplay TagStateBlock::Display(const QString& idCode, const QDate& today) const
{
    TagStateDisplay display;
    display.valid = true;
    display.idCode = idCode;
    display.date = QString::fromLatin1(month + '/' + year);
    display.cycles = QString::number(cycles);
    display.ledOff = TimeText(ledOffMs);
    display.ledOn = TimeText(ledOnMs);
    display.remaining = BatteryRemaining(today);
    display.battery = QString::number(display.remaining, 'f', 1) + QLatin1Char('%');
    return display;
}

} // namespace orvid
