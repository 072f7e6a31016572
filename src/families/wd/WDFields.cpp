#include "WDFields.h"

#include "foundations/Utils.h"

namespace orvid::WDFields {

QStringList AccessTypeTexts()
{
    return {QStringLiteral("alle Datenträger"), QStringLiteral("Datenträger mit ID-Code"),
            QStringLiteral("Datenträger mit anderem ID-Code")};
}

QString FormatAddress(const QString& text)
{
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + text)) & 0xFFFF;
    return HexString(v, QStringLiteral("0000"));
}

QString FormatIDCode(const QString& text)
{
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + text)) & 0xFFFFFFFFLL;
    return HexString(v, QStringLiteral("00000000"));
}

QString FormatLength(const QString& text)
{
    return QString::number(CInt16(Val(text))).rightJustified(3, QLatin1Char('0'));
}

QString FormatScanCode(const QString& text)
{
    return text.trimmed().isEmpty() ? text : FormatIDCode(text.trimmed());
}

} // namespace orvid::WDFields
