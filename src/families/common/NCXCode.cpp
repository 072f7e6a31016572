#include "NCXCode.h"

#include "foundations/Utils.h"

#include <bit>
#include <cmath>

namespace orvid::ncx {

namespace {
constexpr qint64 kLimit = 0x7FFFFFFF;

int parity(unsigned v)
{
    return std::popcount(v) & 1;
}

// Row parities of bits 3..0 over the digits, as one digit (bit 3 first).
int rowParities(const int* digits, int count)
{
    int p = 0;
    for (int bit = 3; bit >= 0; --bit) {
        int ones = 0;
        for (int k = 0; k < count; ++k)
            ones += (digits[k] >> bit) & 1;
        p |= (ones & 1) << bit;
    }
    return p;
}

// Column parities of up to four digits, the first in bit 3.
int columnParities(const int* digits, int count)
{
    int p = 0;
    for (int k = 0; k < count; ++k)
        p |= parity(static_cast<unsigned>(digits[k])) << (3 - k);
    return p;
}

// The hexadecimal form of the number's 32 bits, padded with zeros to digits.
QString hexForm(qint64 value, int digits)
{
    return QString::number(static_cast<quint32>(value), 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString decimalForm(qint64 value, int digits)
{
    const QString n = QString::number(std::abs(value)).rightJustified(digits, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + n : n;
}
} // namespace

qint64 ParseHex(const QString& text)
{
    qint64 v = 0;
    for (QChar c : text) {
        const int d = HexDigitValue(c.unicode());
        if (d < 0)
            break;
        v = qMin(kLimit, v * 16 + d);
    }
    return v;
}

qint64 ParseDecimal(const QString& text)
{
    const double v = Val(text.trimmed());
    return static_cast<qint64>(std::llround(qBound(-double(kLimit), v, double(kLimit))));
}

qint64 DieFromEntry(qint64 value)
{
    return value < 0 ? ((value % 65536) + 65536) % 65536 : value;
}

bool InRange(qint64 wafer, qint64 die)
{
    return wafer >= 0 && wafer <= kMaxWafer && die >= 0 && die <= kMaxDie;
}

QString WaferHex(qint64 wafer) { return hexForm(wafer, 3); }
QString WaferDecimal(qint64 wafer) { return decimalForm(wafer, 4); }
QString DieHex(qint64 die) { return hexForm(die, 4).right(4); }
QString DieDecimal(qint64 die) { return decimalForm(die, 5); }

Digits Compose(int wafer, int die)
{
    wafer &= kMaxWafer;
    die &= kMaxDie;
    Digits c{};
    for (int k = 0; k < 3; ++k)
        c[k] = (wafer >> (4 * (2 - k))) & 0xF;
    for (int k = 0; k < 4; ++k)
        c[3 + k] = (die >> (4 * (3 - k))) & 0xF;
    const int* w = &c[0];
    const int* d = &c[3];
    c[7] = columnParities(w, 3) | parity(static_cast<unsigned>(wafer));
    c[8] = rowParities(w, 3);
    c[9] = columnParities(d, 4);
    c[10] = rowParities(d, 4);
    c[11] = parity(static_cast<unsigned>(die)) << 3;
    c[12] = 0xF;
    c[13] = 0;
    c[14] = 0xF;
    c[15] = 0;
    return c;
}

QByteArray Block(const Digits& digits)
{
    QByteArray b(8, '\0');
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 8; ++j) {
            if ((digits[2 * j] >> i) & 1)
                b[3 - i] = static_cast<char>(b[3 - i] | (1 << j));
            if ((digits[2 * j + 1] >> i) & 1)
                b[7 - i] = static_cast<char>(b[7 - i] | (1 << j));
        }
    }
    return b;
}

QString DigitText(const Digits& digits)
{
    QString s;
    for (int d : digits)
        s += QString::number(d, 16).toUpper();
    return s;
}

} // namespace orvid::ncx
