#include "KRConfigWord.h"

#include <QList>

namespace orvid::krconfig {

namespace {
QString hex2(quint32 byte)
{
    return QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}
QString rule()
{
    return QString(45, QLatin1Char('='));
}
QString label(const QStringList& labels, int i)
{
    return labels.value(i);
}
} // namespace

bool WordValue(const QByteArray& word, quint32& value)
{
    if (word.size() != kWordBytes)
        return false;
    value = 0;
    for (char c : word)
        value = (value << 8) | static_cast<unsigned char>(c);
    return true;
}

QByteArray WordBytes(quint32 value)
{
    QByteArray out(kWordBytes, '\0');
    for (int i = 0; i < kWordBytes; ++i)
        out[i] = static_cast<char>((value >> (8 * (kWordBytes - 1 - i))) & 0xFF);
    return out;
}

ControlWord DecodeControl(quint32 value)
{
    ControlWord w;
    w.readStart = value & 0xFF;
    w.readEnd = (value >> 8) & 0xFF;
    w.password = (value >> 16) & 1;
    w.rawMode = (value >> 17) & 1;
    w.userBits = static_cast<quint16>((value >> 18) & 0x3FFF);
    return w;
}

quint32 EncodeControl(const ControlWord& w)
{
    return quint32(w.readStart) | (quint32(w.readEnd) << 8) | (quint32(w.password ? 1 : 0) << 16)
           | (quint32(w.rawMode ? 1 : 0) << 17) | (quint32(w.userBits & 0x3FFF) << 18);
}

ProtectionWord DecodeProtection(quint32 value)
{
    return {quint8(value & 0xFF), quint8((value >> 8) & 0xFF), quint8((value >> 16) & 0xFF),
            quint8((value >> 24) & 0xFF)};
}

quint32 EncodeProtection(const ProtectionWord& w)
{
    return quint32(w.firstReadProtected) | (quint32(w.lastReadProtected) << 8)
           | (quint32(w.firstWriteProtected) << 16) | (quint32(w.lastWriteProtected) << 24);
}

QString UserBitsText(quint16 userBits)
{
    QString s;
    for (int i = 0; i < 14; ++i)
        s += (userBits >> i) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

QStringList ControlWordLines(quint32 value, const QStringList& labels, const QString& on,
                             const QString& off)
{
    const ControlWord w = DecodeControl(value);
    const QString blank = QStringLiteral(" ");
    return {rule(),
            label(labels, 0),
            rule(),
            label(labels, 1) + blank + hex2(w.readStart),
            label(labels, 2) + blank + hex2(w.readEnd),
            label(labels, 3) + blank + (w.password ? on : off),
            label(labels, 4) + blank + (w.rawMode ? on : off),
            label(labels, 5) + blank + UserBitsText(w.userBits)};
}

QStringList ProtectionWordLines(quint32 value, const QStringList& labels)
{
    const ProtectionWord w = DecodeProtection(value);
    const QString blank = QStringLiteral(" ");
    return {rule(),
            label(labels, 0),
            rule(),
            label(labels, 1) + blank + hex2(w.firstReadProtected),
            label(labels, 2) + blank + hex2(w.lastReadProtected),
            label(labels, 3) + blank + hex2(w.firstWriteProtected),
            label(labels, 4) + blank + hex2(w.lastWriteProtected)};
}

int CheckProtection(const ProtectionWord& w)
{
    if (w.firstReadProtected != 0 || w.lastReadProtected != 0) {
        if (w.firstReadProtected < 3)
            return 63;
        if (w.firstReadProtected > w.lastReadProtected)
            return 64;
    }
    if (w.firstWriteProtected != 0 || w.lastWriteProtected != 0) {
        if (w.firstWriteProtected < 3)
            return 65;
        if (w.lastWriteProtected < w.firstWriteProtected)
            return 66;
    }
    return 0;
}

namespace {

struct LabelDefault {
    const char* key;
    QString text;
};
QString pad(const QString& text, int width)
{
    return text.leftJustified(width - 1, QLatin1Char(' ')) + QLatin1Char(':');
}
QList<LabelDefault> controlDefaults()
{
    return {{"controlheader", QStringLiteral("Control Word")},
            {"controlreadstart", pad(QStringLiteral("Lesebereich-Anfang"), 29)},
            {"controlreadend", pad(QStringLiteral("Lesebereich-Ende"), 29)},
            {"controlpassword", pad(QStringLiteral("Passwort-Schutz"), 29)},
            {"controlrawmode", pad(QStringLiteral("Read-after-write-Betriebsart"), 29)},
            {"controluserdefined", pad(QStringLiteral("Benutzerdefiniert"), 29)}};
}
QList<LabelDefault> protectDefaults()
{
    return {{"protectHeader", QStringLiteral("Protection Word")},
            {"protectFirstWOWord", pad(QStringLiteral("Erstes lesegeschütztes Wort"), 32)},
            {"protectLastWOWord", pad(QStringLiteral("Letztes lesegeschütztes Wort"), 32)},
            {"protectFirstROWord", pad(QStringLiteral("Erstes schreibgeschütztes Wort"), 32)},
            {"protectLastROWord", pad(QStringLiteral("Letztes schreibgeschütztes Wort"), 32)}};
}

} // namespace

LineTexts LineTexts::Defaults()
{
    return Translated([](const char*, const QString& text) { return text; });
}

LineTexts LineTexts::Translated(const std::function<QString(const char* key, const QString& text)>& tr)
{
    LineTexts t;
    for (const LabelDefault& l : controlDefaults())
        t.control << tr(l.key, l.text);
    for (const LabelDefault& l : protectDefaults())
        t.protection << tr(l.key, l.text);
    t.on = tr("On", QStringLiteral("Ein"));
    t.off = tr("Off", QStringLiteral("Aus"));
    return t;
}

QStringList ConfigurationLines(const QByteArray& controlWord, const QByteArray& protectionWord,
                               const LineTexts& texts)
{
    QStringList lines;
    quint32 value = 0;
    if (WordValue(controlWord, value))
        lines += ControlWordLines(value, texts.control, texts.on, texts.off);
    if (WordValue(protectionWord, value))
        lines += ProtectionWordLines(value, texts.protection);
    return lines;
}

} // namespace orvid::krconfig
