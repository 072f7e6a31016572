#include "ByteText.h"

#include "CharNames.h"
#include "foundations/Cp1252.h"
#include "foundations/Utils.h"

#include <QStringView>

namespace orvid::ByteText {

namespace {

constexpr char16_t kControlPictures = 0x2400; // U+2400 + code for 0x00..0x1F
constexpr char16_t kDeletePicture = 0x2421;
// The five codes without a Windows-1252 character, shown as U+2422 + their index here.
constexpr unsigned char kUnassigned[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
constexpr char16_t kUnassignedPictures = 0x2422;

// The control characters shown by name, as the monitor names them.
constexpr unsigned char kNamedBytes[] = {0x00, 0x02, 0x03, 0x06, 0x0A, 0x0D, 0x10, 0x15, 0x16};

struct ViewName {
    QString text;
    QByteArray spelled; // the same text as bytes
    char byte;
};

// The nine names and the "<" escape: none is the beginning of another, so the first that
// matches is the one.
const QList<ViewName>& viewNames()
{
    static const QList<ViewName> names = [] {
        QList<ViewName> list;
        for (unsigned char code : kNamedBytes)
            list.append({CharNames().at(code), CharNames().at(code).toLatin1(), char(code)});
        list.append({QStringLiteral("<LT>"), QByteArrayLiteral("<LT>"), '<'});
        return list;
    }();
    return names;
}

bool isNamed(unsigned char code)
{
    for (unsigned char n : kNamedBytes) {
        if (n == code)
            return true;
    }
    return false;
}

// Whether the bytes from pos on spell one of the names (all of them plain ASCII, which
// the text view shows as itself).
bool spellsName(const QByteArray& bytes, qsizetype pos)
{
    const QByteArrayView rest = QByteArrayView(bytes).sliced(pos);
    for (const ViewName& n : viewNames()) {
        if (rest.startsWith(n.spelled))
            return true;
    }
    return false;
}

QChar viewChar(unsigned char code)
{
    if (code < 0x20)
        return QChar(char16_t(kControlPictures + code));
    if (code == 0x7F)
        return QChar(kDeletePicture);
    for (int i = 0; i < 5; ++i) {
        if (kUnassigned[i] == code)
            return QChar(char16_t(kUnassignedPictures + i));
    }
    return Cp1252Char(code);
}

// The byte a character of the text view stands for, or -1.
int viewByte(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= kControlPictures && u < kControlPictures + 0x20)
        return u - kControlPictures;
    if (u == kDeletePicture)
        return 0x7F;
    if (u >= kUnassignedPictures && u < kUnassignedPictures + 5)
        return kUnassigned[u - kUnassignedPictures];
    const QByteArray b = ToCp1252(QString(c));
    if (b.size() != 1 || Cp1252Char(static_cast<unsigned char>(b.at(0))) != c)
        return -1;
    return static_cast<unsigned char>(b.at(0));
}

bool fail(QByteArray* out, Span* error, Span where)
{
    if (out)
        out->clear();
    if (error)
        *error = where;
    return false;
}

bool parseText(const QString& view, QByteArray* out, Span* error)
{
    QByteArray bytes;
    bytes.reserve(view.size());
    for (int i = 0; i < view.size(); ++i) {
        const QChar c = view.at(i);
        if (c == QLatin1Char('<')) {
            const QStringView rest = QStringView(view).sliced(i);
            bool named = false;
            for (const ViewName& n : viewNames()) {
                if (rest.startsWith(n.text)) {
                    bytes += n.byte;
                    i += int(n.text.size()) - 1;
                    named = true;
                    break;
                }
            }
            if (named)
                continue;
        }
        const int b = c.isSurrogate() ? -1 : viewByte(c);
        if (b < 0) {
            // A character outside the basic plane is two code units: mark both.
            const bool pair = c.isHighSurrogate() && i + 1 < view.size() && view.at(i + 1).isLowSurrogate();
            return fail(out, error, {i, pair ? 2 : 1});
        }
        bytes += static_cast<char>(b);
    }
    if (out)
        *out = bytes;
    return true;
}

int digitValue(QChar c, int base)
{
    const int v = HexDigitValue(c.unicode());
    return v < base ? v : -1;
}

bool parseNumbers(const QString& view, int base, QByteArray* out, Span* error)
{
    const int lastMax = base == 16 ? 2 : 3;
    const int n = int(view.size());
    QByteArray bytes;
    int i = 0;
    while (i < n) {
        if (view.at(i) == QLatin1Char(' ')) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && view.at(end) != QLatin1Char(' '))
            ++end;
        const int len = end - i;
        if (end >= n && len > lastMax)
            return fail(out, error, {i, len});
        int value = 0;
        for (int k = i; k < end; ++k) {
            const int d = digitValue(view.at(k), base);
            if (d < 0)
                return fail(out, error, {i, len});
            value = value * base + d;
            if (value > 255)
                return fail(out, error, {i, len});
        }
        bytes += static_cast<char>(value);
        i = end;
    }
    if (bytes.isEmpty() && n > 0)
        return fail(out, error, {0, n}); // blanks only: no byte at all
    if (out)
        *out = bytes;
    return true;
}

} // namespace

QString ToView(const QByteArray& bytes, int representation)
{
    static const char kHexDigits[] = "0123456789ABCDEF";
    QString view;
    if (representation == Hex) {
        view.reserve(bytes.size() * 3);
        for (char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            view += QLatin1Char(kHexDigits[b >> 4]);
            view += QLatin1Char(kHexDigits[b & 0x0F]);
            view += QLatin1Char(' ');
        }
    } else if (representation == Decimal) {
        view.reserve(bytes.size() * 4);
        for (char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            view += QLatin1Char(char('0' + b / 100));
            view += QLatin1Char(char('0' + b / 10 % 10));
            view += QLatin1Char(char('0' + b % 10));
            view += QLatin1Char(' ');
        }
    } else {
        view.reserve(bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes.at(i));
            if (isNamed(b))
                view += CharNames().at(b);
            else if (b == '<' && spellsName(bytes, i))
                view += LessThanName();
            else
                view += viewChar(b);
        }
    }
    return view;
}

bool FromView(const QString& view, int representation, QByteArray* out, Span* error)
{
    if (representation == Hex)
        return parseNumbers(view, 16, out, error);
    if (representation == Decimal)
        return parseNumbers(view, 10, out, error);
    return parseText(view, out, error);
}

bool ChangeView(const QString& view, int from, int to, QString* converted, Span* error)
{
    if (from == to) {
        if (converted)
            *converted = view;
        return true;
    }
    QByteArray bytes;
    if (!FromView(view, from, &bytes, error))
        return false;
    if (converted)
        *converted = ToView(bytes, to);
    return true;
}

QString LessThanName()
{
    return viewNames().last().text;
}

QString AllowedChars(int representation)
{
    if (representation == Hex)
        return QStringLiteral("0123456789abcdefABCDEF ");
    if (representation == Decimal)
        return QStringLiteral("0123456789 ");
    return QString();
}

} // namespace orvid::ByteText
