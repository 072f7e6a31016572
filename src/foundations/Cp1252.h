#pragma once
// Windows-1252, the 8-bit code page of the language, layout and head-type files and of
// device texts shown to the user. 0x80-0x9F hold the typographic characters; the five
// codes without a character (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the
// same number, so every byte survives a round trip.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace orvid {

QString FromCp1252(const QByteArray& bytes);
// Characters without a Windows-1252 code become '?'.
QByteArray ToCp1252(const QString& text);

// One code (0..255) as a character.
QChar Cp1252Char(unsigned char code);

} // namespace orvid
