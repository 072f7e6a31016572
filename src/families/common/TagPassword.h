#pragma once
// The password of QTX03 tags as the user types it (systems R and the interface units): a
// 32-bit number in hexadecimal, sent as four raw bytes, least significant first.

#include <QString>

namespace orvid {

// The value of a password text: up to 8 hexadecimal digits, blanks around allowed; an
// empty text is the password 0. False for any other text (nothing is guessed at).
bool ParsePassword(const QString& text, quint32& value);

// The line shown when a password text is refused (key "PasswordInvalid" of the window's
// language section).
inline const char* PasswordInvalidKey() { return "PasswordInvalid"; }
QString PasswordInvalidText();

} // namespace orvid
