#pragma once
// What the write dialog of the microwave readers (frmSystemWLWrite) hands its callers, and
// the reader's two-byte number: the framed system L window and the KLX9000 window each
// build their own write telegram from the same values. No widgets.

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvid {

struct WLWriteValues {
    int memorySize = 0;      // 0 Mini, 1 Quarter, 2 Full
    int dataSpeed = 0;       // 0 high, 1 low
    int intervalType = 0;    // 0 constant, 1 random
    int intervalLength = 2;  // 0 "0", 1 "4", 2 "8", 3 "16"
    QString idCode;          // empty: any tag, else 9 digits
    QByteArray data;
};

// The largest Mini value a tag holds (14 bits).
constexpr int kMiniMax = 16383;

// Mini data as the write dialog and the writers take it: a number (blanks around it
// allowed, a point for decimals: "1.5"), not below 0, whose whole value (halves to the
// even neighbour) is at most kMiniMax. Nothing for any other text. The tag holds quarters:
// the value goes out as MakeReaderInteger(value x 4).
std::optional<double> MiniValue(const QString& text);

// Two bytes, high byte first, of value rounded to a whole number (halves to the even
// neighbour); a negative value counts from 32768. A Mini value goes out as value x 4, so
// 0..16383 take the full 0..65532. Values outside 0..65535 are held at its ends.
QByteArray MakeReaderInteger(double value);

} // namespace orvid
