#include "TagPassword.h"

namespace orvid {

bool ParsePassword(const QString& text, quint32& value)
{
    const QString t = text.trimmed();
    // No digits at all is the tag's factory password.
    if (t.isEmpty()) {
        value = 0;
        return true;
    }
    if (t.size() > 8)
        return false;
    quint32 v = 0;
    for (const QChar c : t) {
        // Digits only: no sign, no "0x" and no blanks inside.
        const int digit = QStringView(u"0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            return false;
        v = v << 4 | static_cast<quint32>(digit);
    }
    value = v;
    return true;
}

QString PasswordInvalidText()
{
    return QStringLiteral("Fehler: Das Passwort muss aus höchstens 8 Hexadezimalziffern bestehen.");
}

} // namespace orvid
