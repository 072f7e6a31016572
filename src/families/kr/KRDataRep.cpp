#include "KRDataRep.h"

#include "foundations/Cp1252.h"

namespace orvid::datarep {

namespace {

struct Named {
    char code;
    const char* name; // without the angle brackets
};
constexpr Named kNames[] = {
    {'\x00', "NUL"}, {'\x02', "STX"}, {'\x03', "ETX"}, {'\x06', "ACK"}, {'\x0A', "LF"},
    {'\x0D', "CR"},  {'\x10', "DLE"}, {'\x15', "NAK"}, {'\x16', "SYN"},
};

const Named* nameOf(char code)
{
    for (const Named& n : kNames) {
        if (n.code == code)
            return &n;
    }
    return nullptr;
}

// The named character whose "<NAME>" starts text at pos, or null.
const Named* nameAt(const QString& text, int pos)
{
    if (pos >= text.size() || text.at(pos) != QLatin1Char('<'))
        return nullptr;
    for (const Named& n : kNames) {
        const QString token = QLatin1Char('<') + QLatin1String(n.name) + QLatin1Char('>');
        if (text.mid(pos, token.size()) == token)
            return &n;
    }
    return nullptr;
}

// True when the bytes from pos spell "NAME>" of a named character.
bool spellsNameTail(const QByteArray& bytes, qsizetype pos)
{
    for (const Named& n : kNames) {
        const QByteArray tail = QByteArray(n.name) + '>';
        if (bytes.mid(pos, tail.size()) == tail)
            return true;
    }
    return false;
}

QString asciiView(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (const Named* n = nameOf(c)) {
            out += QLatin1Char('<') + QLatin1String(n->name) + QLatin1Char('>');
            continue;
        }
        if (c == '<') {
            // A "<" is doubled when what follows it would otherwise join it into a name
            // or an escape: another "<", a named character (shown as "<..."), or "NAME>".
            const bool next = i + 1 < bytes.size();
            const bool ambiguous = next && (bytes.at(i + 1) == '<' || nameOf(bytes.at(i + 1))
                                            || spellsNameTail(bytes, i + 1));
            out += ambiguous ? QStringLiteral("<<") : QStringLiteral("<");
            continue;
        }
        out += Cp1252Char(static_cast<unsigned char>(c));
    }
    return out;
}

bool parseAscii(const QString& text, QByteArray& bytes, ConvError* error)
{
    bytes.clear();
    for (int i = 0; i < text.size();) {
        if (text.at(i) == QLatin1Char('<')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('<')) {
                bytes += '<';
                i += 2;
                continue;
            }
            if (const Named* n = nameAt(text, i)) {
                bytes += n->code;
                i += int(qstrlen(n->name)) + 2;
                continue;
            }
        }
        const QByteArray b = ToCp1252(QString(text.at(i)));
        if (b.size() != 1 || (b.at(0) == '?' && text.at(i) != QLatin1Char('?'))) {
            if (error)
                *error = {i, 1};
            bytes.clear();
            return false;
        }
        bytes += b;
        ++i;
    }
    return true;
}

bool parseNumbers(const QString& text, int base, QByteArray& bytes, ConvError* error)
{
    bytes.clear();
    const int lastMax = base == 16 ? 2 : 3;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        if (text.at(i) == QLatin1Char(' ')) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && text.at(end) != QLatin1Char(' '))
            ++end;
        const int len = end - i;
        const bool last = end >= n;
        bool ok = false;
        const uint value = text.mid(i, len).toUInt(&ok, base);
        if ((last && len > lastMax) || !ok || value > 255) {
            if (error)
                *error = {i, len};
            bytes.clear();
            return false;
        }
        bytes += static_cast<char>(value);
        i = end;
    }
    return true;
}

} // namespace

QString ToText(const QByteArray& bytes, int representation)
{
    if (representation == Hex) {
        QString out;
        out.reserve(bytes.size() * 3);
        for (char c : bytes)
            out += QStringLiteral("%1 ").arg(uint(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0')).toUpper();
        return out;
    }
    if (representation == Decimal) {
        QString out;
        out.reserve(bytes.size() * 4);
        for (char c : bytes)
            out += QStringLiteral("%1 ").arg(uint(static_cast<unsigned char>(c)), 3, 10, QLatin1Char('0'));
        return out;
    }
    return asciiView(bytes);
}

bool FromText(const QString& text, int representation, QByteArray& bytes, ConvError* error)
{
    if (representation == Hex)
        return parseNumbers(text, 16, bytes, error);
    if (representation == Decimal)
        return parseNumbers(text, 10, bytes, error);
    return parseAscii(text, bytes, error);
}

QString ChangeDataRep(const QString& text, int fromRep, int toRep, ConvError* error)
{
    if (fromRep == toRep)
        return text;
    QByteArray bytes;
    if (!FromText(text, fromRep, bytes, error))
        return QString();
    if (bytes.isEmpty() && error)
        *error = {0, int(text.size())};
    return ToText(bytes, toRep);
}

QString AllowedChars(int representation)
{
    if (representation == Hex)
        return QStringLiteral("0123456789abcdefABCDEF ");
    if (representation == Decimal)
        return QStringLiteral("0123456789 ");
    return QString();
}

} // namespace orvid::datarep
