#pragma once
// The three ways the tag dialogs let the user write tag data: as text (0), as hexadecimal
// bytes "41 42 " (1) or as decimal bytes "065 066 " (2).
//
// The text view names the control characters NUL, STX, ETX, ACK, LF, CR, DLE, NAK and
// SYN ("<CR>") so they can be seen and typed. A literal "<" that would otherwise be read
// as the start of such a name (or as an escaped "<") is shown doubled ("<<"), so the bytes
// "<CR>" and the single byte CR never share a text: every byte string converts to the text
// view and back unchanged. Bytes 0x80..0xFF show as their Windows-1252 characters.

#include <QByteArray>
#include <QString>

namespace orvid::datarep {

enum Representation { Ascii = 0, Hex = 1, Decimal = 2 };

// Where a conversion failed: the offending token (0-based start, length) in the text.
struct ConvError {
    int start = 0;
    int length = 1;
};

// bytes in a representation. Hex and decimal put a blank after every byte.
QString ToText(const QByteArray& bytes, int representation);

// The bytes a text spells; false (bytes cleared, error set) when it does not convert.
// Hex tokens end at a blank; the last token (no blank after it) has at most two digits,
// other tokens any number of digits as long as the value fits a byte (decimal: at most
// three digits for the last token). Blanks around tokens, also at the end, are ignored.
bool FromText(const QString& text, int representation, QByteArray& bytes,
              ConvError* error = nullptr);

// Converts a text between representations. An empty result means failure when the text
// was not empty (also a hex or decimal text of blanks only); error tells where.
QString ChangeDataRep(const QString& text, int fromRep, int toRep, ConvError* error = nullptr);

// The characters a text box in that representation accepts (empty: any).
QString AllowedChars(int representation);

} // namespace orvid::datarep
