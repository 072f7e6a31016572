#include "Utils.h"

#include "Cp1252.h"

#include <QLocale>
#include <QStringList>
#include <cmath>
#include <limits>

namespace orvid {

namespace {

template <typename S>
S trimBlanks(const S& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b) == ' ')
        ++b;
    while (e > b && s.at(e - 1) == ' ')
        --e;
    return s.mid(b, e - b);
}

template <typename S>
S getTokenImpl(S& text, const S& separator, S* found, bool trim)
{
    // An empty separator counts as absent: "found at position 1" would hand callers that
    // loop over tokens the same text back for ever.
    const qsizetype pos = separator.isEmpty() ? -1 : text.indexOf(separator);
    S result;
    if (pos < 0) {
        result = text;
        text = S();
        if (found)
            *found = S();
    } else {
        result = text.left(pos);
        text = text.mid(pos + separator.size());
        if (found)
            *found = separator;
    }
    return trim ? trimBlanks(result) : result;
}

template <typename S, typename L>
S formatArgsImpl(const S& text, const L& parts, const S& marker)
{
    if (!text.contains(marker))
        return text;
    S out;
    out.reserve(text.size());
    qsizetype from = 0;
    qsizetype next = 0;
    for (;;) {
        const qsizetype pos = text.indexOf(marker, from);
        if (pos < 0)
            break;
        out += text.mid(from, pos - from);
        // Inserted parts are not scanned again, so a "%s" inside an argument stays as it is.
        if (next < parts.size())
            out += parts.at(next);
        ++next;
        from = pos + 2;
    }
    out += text.mid(from);
    return out;
}

struct NamedChar {
    char code;
    const char* name;
};
constexpr NamedChar kNamedChars[] = {
    {'\x00', "<NUL>"}, {'\x02', "<STX>"}, {'\x03', "<ETX>"}, {'\x06', "<ACK>"}, {'\x0A', "<LF>"},
    {'\x0D', "<CR>"},  {'\x10', "<DLE>"}, {'\x15', "<NAK>"}, {'\x16', "<SYN>"},
};

bool isValBlank(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The leading number over a sequence of UTF-16 code units (Latin-1 for byte texts).
template <typename At>
double valImpl(qsizetype size, At at)
{
    qsizetype i = 0;
    auto skip = [&] {
        while (i < size && isValBlank(at(i)))
            ++i;
    };
    auto peek = [&]() -> char16_t {
        skip();
        return i < size ? at(i) : char16_t(0);
    };

    if (peek() == '&') {
        const qsizetype save = i;
        ++i;
        const char16_t kind = peek();
        if (kind == 'H' || kind == 'h') {
            ++i;
            quint64 v = 0;
            int digits = 0;
            for (;;) {
                const int d = HexDigitValue(peek());
                if (d < 0)
                    break;
                ++i;
                if (digits < 16)
                    v = (v << 4) | static_cast<quint64>(d);
                else
                    v = std::numeric_limits<quint64>::max();
                ++digits;
            }
            return static_cast<double>(v);
        }
        i = save;
        return 0.0;
    }

    // Collect sign, digits, point, digits and exponent without the blanks, then convert
    // in the C locale.
    QByteArray number;
    const char16_t sign = peek();
    if (sign == '+' || sign == '-') {
        number.append(static_cast<char>(sign));
        ++i;
    }
    bool mantissa = false;
    while (peek() >= '0' && peek() <= '9') {
        number.append(static_cast<char>(at(i)));
        ++i;
        mantissa = true;
    }
    if (peek() == '.') {
        number.append('.');
        ++i;
        while (peek() >= '0' && peek() <= '9') {
            number.append(static_cast<char>(at(i)));
            ++i;
            mantissa = true;
        }
    }
    if (!mantissa)
        return 0.0;
    const char16_t e = peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        const qsizetype save = i;
        QByteArray exponent("e");
        ++i;
        const char16_t es = peek();
        if (es == '+' || es == '-') {
            exponent.append(static_cast<char>(es));
            ++i;
        }
        bool expDigits = false;
        while (peek() >= '0' && peek() <= '9') {
            exponent.append(static_cast<char>(at(i)));
            ++i;
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
        else
            i = save;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(QString::fromLatin1(number), &ok);
    if (ok)
        return v;
    // Out of range: keep the sign and the magnitude the runtime would overflow to.
    return number.startsWith('-') ? -std::numeric_limits<double>::max()
                                  : std::numeric_limits<double>::max();
}

float toSingleImpl(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0.0f;
    bool ok = false;
    float v = QLocale::system().toFloat(t, &ok);
    if (!ok)
        v = QLocale::c().toFloat(t, &ok);
    if (!ok || !std::isfinite(v))
        return 0.0f;
    return v;
}

} // namespace

// ---- Texts ----------------------------------------------------------------------------

QByteArray GetToken(QByteArray& text, const QByteArray& separator, QByteArray* found, bool trim)
{
    return getTokenImpl(text, separator, found, trim);
}

QString GetToken(QString& text, const QString& separator, QString* found, bool trim)
{
    return getTokenImpl(text, separator, found, trim);
}

QString FormatArgs(const QString& text, const QString& args)
{
    return formatArgsImpl(text, args.split(u'|'), QStringLiteral("%s"));
}

QString FormatArgs(const QString& text, const QStringList& args)
{
    return formatArgsImpl(text, args, QStringLiteral("%s"));
}

QByteArray FormatArgs(const QByteArray& text, const QByteArray& args)
{
    return formatArgsImpl(text, args.split('|'), QByteArrayLiteral("%s"));
}

QString ExpandNewlines(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1String("\\n"), QString(QChar(13)));
}

QByteArray ExpandNewlines(const QByteArray& text)
{
    QByteArray out = text;
    return out.replace("\\n", "\r");
}

QByteArray ShowControlChars(const QByteArray& text)
{
    QByteArray out = text;
    for (const NamedChar& n : kNamedChars)
        out.replace(QByteArray(1, n.code), QByteArray(n.name));
    return out;
}

QByteArray ParseControlChars(const QByteArray& text)
{
    QByteArray out = text;
    for (const NamedChar& n : kNamedChars)
        out.replace(QByteArray(n.name), QByteArray(1, n.code));
    return out;
}

QByteArray HexString(qint64 value, const QByteArray& pattern)
{
    const quint64 bits = value < 0 ? static_cast<quint64>(static_cast<quint32>(value))
                                   : static_cast<quint64>(value);
    const QByteArray hex = QByteArray::number(bits, 16).toUpper();
    if (hex.size() < pattern.size())
        return pattern.left(pattern.size() - hex.size()) + hex;
    return hex;
}

QByteArray HexString(qint64 value, const char* pattern)
{
    return HexString(value, QByteArray(pattern ? pattern : ""));
}

QString HexString(qint64 value, const QString& pattern)
{
    const QString hex = QString::fromLatin1(HexString(value, QByteArray()));
    if (hex.size() < pattern.size())
        return pattern.left(pattern.size() - hex.size()) + hex;
    return hex;
}

float ToSingle(const QByteArray& text)
{
    return toSingleImpl(QString::fromLatin1(text));
}

float ToSingle(const QString& text)
{
    return toSingleImpl(text);
}

double Val(const QByteArray& text)
{
    return valImpl(text.size(), [&](qsizetype i) {
        return static_cast<char16_t>(static_cast<unsigned char>(text.at(i)));
    });
}

double Val(const QString& text)
{
    return valImpl(text.size(), [&](qsizetype i) { return text.at(i).unicode(); });
}

qint16 CInt16(double value, bool* ok)
{
    bool good = true;
    qint16 result = 0;
    if (std::isnan(value)) {
        good = false;
    } else {
        const double r = std::nearbyint(value); // default rounding: halves to even
        if (r < -32768.0) {
            result = -32768;
            good = false;
        } else if (r > 32767.0) {
            result = 32767;
            good = false;
        } else {
            result = static_cast<qint16>(r);
        }
    }
    if (ok)
        *ok = good;
    return result;
}

qint16 CharCode(const QByteArray& text, int position)
{
    if (position < 1 || position > text.size())
        return 0;
    return static_cast<unsigned char>(text.at(position - 1));
}

void StringToBytes(QByteArray& bytes, const QByteArray& text, bool reverse)
{
    const qsizetype n = text.size();
    bytes = QByteArray(n + 1, '\0');
    for (qsizetype i = 1; i <= n; ++i)
        bytes[reverse ? n - i + 1 : i] = text.at(i - 1);
}

qint32 CVL(const QByteArray& text)
{
    if (text.size() != 4)
        throw RuntimeError(1000, QStringLiteral("CVL"), QStringLiteral("Invalid string argument"));
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(text.at(i));
    return static_cast<qint32>(v);
}

QByteArray MKL(qint32 value)
{
    const auto v = static_cast<quint32>(value);
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

// ---- Bits and bytes -------------------------------------------------------------------

quint8 GetBit(quint8 byte, int n)
{
    if (n < 0 || n > 7)
        return 0;
    return (byte >> n) & 1;
}

qint16 GetBits(quint8 byte, int low, int high)
{
    if (high < low)
        return 0;
    qint64 v = 0;
    for (int i = qMax(low, 0); i <= qMin(high, 7); ++i) {
        const int shift = i - low;
        if (shift < 16)
            v |= static_cast<qint64>(GetBit(byte, i)) << shift;
    }
    return static_cast<qint16>(static_cast<quint16>(v & 0xFFFF));
}

int SetBit(quint8& byte, int n, qint16& state)
{
    if (state != 0)
        state = 1;
    if (n < 0 || n > 7 || GetBit(byte, n) == state)
        return 0;
    byte = static_cast<quint8>((byte & ~(1u << n)) | (static_cast<unsigned>(state) << n));
    return 1;
}

int SetBit(quint8& byte, int n, int state)
{
    qint16 s = state != 0 ? 1 : 0;
    return SetBit(byte, n, s);
}

void MakeByte(quint8& byte, int low, int high, int value)
{
    for (int i = qMax(low, 0); i <= qMin(high, 7); ++i) {
        const int src = i - low;
        const int bit = src < 31 ? (value >> src) & 1 : 0;
        if (bit)
            byte = static_cast<quint8>(byte | (1u << i));
        else
            byte = static_cast<quint8>(byte & ~(1u << i));
    }
}

qint32 MakeWord(qint32 high, qint32 low)
{
    return static_cast<qint32>(static_cast<qint64>(high) * 256 + low);
}

quint8 HiByte(qint32 value)
{
    const qint32 q = value / 256;
    return (q >= 0 && q <= 255) ? static_cast<quint8>(q) : 255;
}

quint8 LoByte(qint32 value)
{
    const qint32 r = value % 256;
    if (value >= 0)
        return static_cast<quint8>(r);
    return r != 0 ? 255 : 0;
}

// ---- Keys -----------------------------------------------------------------------------

qint16 UpperKeyFilter(qint16 keyCode)
{
    if (keyCode < 0)
        return keyCode;
    if (keyCode > 255) {
        const QChar up = QChar(static_cast<char16_t>(keyCode)).toUpper();
        return up.unicode() <= 0x7FFF ? static_cast<qint16>(up.unicode()) : keyCode;
    }
    const QString up = QString(Cp1252Char(static_cast<unsigned char>(keyCode))).toUpper();
    if (up.size() != 1) // "ß" has no single upper-case letter
        return keyCode;
    const QByteArray b = ToCp1252(up);
    if (b == "?" && up != QLatin1String("?"))
        return keyCode;
    return static_cast<unsigned char>(b.at(0));
}

int HexDigitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseHexDigits(QByteArrayView digits, quint32& value)
{
    if (digits.isEmpty())
        return false;
    value = 0;
    for (char c : digits) {
        const int d = HexDigitValue(static_cast<uchar>(c));
        if (d < 0)
            return false;
        value = value * 16 + static_cast<quint32>(d);
    }
    return true;
}

} // namespace orvid
