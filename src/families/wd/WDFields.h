#pragma once
// The entry fields of system D as the window and its write dialogs format them on leaving
// a box, and the texts of the access-type options they share.

#include <QString>
#include <QStringList>

namespace orvid::WDFields {

// Four hex digits (the low 16 bits of the hex value).
QString FormatAddress(const QString& text);
// Eight hex digits (the low 32 bits of the hex value).
QString FormatIDCode(const QString& text);
// Three decimal digits at least.
QString FormatLength(const QString& text);
// A scan slot: empty stays empty, else an ID code.
QString FormatScanCode(const QString& text);
// The options of rdIDCode: which tags an access takes.
QStringList AccessTypeTexts();

constexpr const char* kHexChars = "0123456789abcdefABCDEF";
constexpr const char* kDigits = "0123456789";

} // namespace orvid::WDFields
