#include "CharNames.h"

#include "foundations/Cp1252.h"

namespace orvid {

namespace {

QString numbered(int code)
{
    return QLatin1Char('<') + QString::number(code) + QLatin1Char('>');
}

} // namespace

QStringList BuildCharNames()
{
    QStringList names;
    names.reserve(256);
    for (int i = 0; i < 256; ++i)
        names.append(QString(Cp1252Char(static_cast<unsigned char>(i))));
    for (int i = 0; i < 32; ++i)
        names[i] = numbered(i);
    const struct { int code; const char* name; } named[] = {
        {0, "<NUL>"}, {2, "<STX>"}, {3, "<ETX>"}, {6, "<ACK>"}, {10, "<LF>"},
        {13, "<CR>"}, {16, "<DLE>"}, {21, "<NAK>"}, {22, "<SYN>"},
    };
    for (const auto& n : named)
        names[n.code] = QString::fromLatin1(n.name);
    // 145 and 146 keep their quote characters; the rest of 127..159 has no printable form.
    for (int i = 127; i <= 144; ++i)
        names[i] = numbered(i);
    for (int i = 147; i <= 159; ++i)
        names[i] = numbered(i);
    return names;
}

namespace {
QStringList& table()
{
    static QStringList names;
    return names;
}
} // namespace

void InitCharNames()
{
    if (table().size() != 256)
        table() = BuildCharNames();
}

const QStringList& CharNames()
{
    InitCharNames();
    return table();
}

} // namespace orvid
