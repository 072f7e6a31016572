#include "Cp1252.h"

#include <array>

namespace orvid {

namespace {

// 0x80-0x9F; a zero entry is one of the five unassigned codes.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int encodeOne(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHighTable[static_cast<size_t>(i)] == c)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QChar Cp1252Char(unsigned char code)
{
    if (code >= 0x80 && code <= 0x9F)
        return QChar(kHighTable[code - 0x80]);
    return QChar(static_cast<char16_t>(code));
}

QString FromCp1252(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = Cp1252Char(static_cast<unsigned char>(bytes[i]));
    return out;
}

QByteArray ToCp1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i; // one character outside the plane: one '?'
            out.append('?');
            continue;
        }
        const int code = encodeOne(c);
        out.append(code < 0 ? '?' : static_cast<char>(code));
    }
    return out;
}

} // namespace orvid
