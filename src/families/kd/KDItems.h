#pragma once
// The data items of both inductive system D windows (fixcode, entry 4; read/write, entry 5)
// and of the read/write window's dialogs, which read them through the link.

#include "foundations/Utils.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid {

namespace KDItem {
enum : int16_t {
    OperationMode = 200,   // fixcode: 0 Single, 1 Auto, 2 Continuous, 3 Buffered; read/write: 0 Single, 1 Auto
    HeadNumber = 201,      // 0..3 = head 1..4, 4 = all heads
    DataFormat = 202,      // fixcode: 0 = "10", 1 = "28"; read/write: kept only
    StartAddress = 203,    // read/write: 0..65535
    DataLength = 204,      // read/write
    Tagcode = 205,         // read/write: 0 NCX, 1 ZKX, 4 ZKX-1k, 3 GMX-40
    DoubleSided = 206,     // 0 or 1
};
} // namespace KDItem

namespace kd {
// Heads 0..3 as "1".."4", every other value (4) as "X": all heads.
inline QByteArray HeadText(int head)
{
    return head >= 0 && head <= 3 ? QByteArray::number(head + 1) : QByteArrayLiteral("X");
}
// A list index read from a data item or the settings: 0 when outside 0..count-1.
inline int ListIndex(int value, int count)
{
    return value < 0 || value >= count ? 0 : value;
}
// A start address as its boxes show it: four upper-case hex digits.
inline QString AddressText(quint16 address)
{
    return QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}
// A start address box's text: its hex digits as a 16-bit address (empty: 0).
inline quint16 ParseAddress(const QString& text)
{
    quint32 value = 0;
    ParseHexDigits(text.toLatin1(), value);
    return static_cast<quint16>(value);
}
} // namespace kd

} // namespace orvid
