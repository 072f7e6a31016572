#pragma once
// Tag bytes as the write dialogs show them for editing: as text (0), as hexadecimal bytes
// "41 42 " (1) or as decimal bytes "065 066 " (2). The same numbering as the data
// representation of the system windows.
//
// The text view gives every byte exactly one character, so it can be read back without
// guessing and what the user types goes out as typed:
//   - printable bytes are their Windows-1252 character ("A", "§" for 0xA7, "€" for 0x80);
//   - 0x00..0x1F are the control pictures U+2400..U+241F ("␀", "␍" for CR, ...);
//   - 0x7F is U+2421 "␡";
//   - the five codes Windows-1252 leaves unassigned take the remaining control pictures
//     in order: 0x81 U+2422 "␢", 0x8D U+2423 "␣", 0x8F U+2424 "␤", 0x90 U+2425 "␥",
//     0x9D U+2426 "␦".
// A text that spells "<CR>" is the four bytes '<' 'C' 'R' '>'. When reading a text back,
// a raw control character (pasted, say) stands for its own byte as well; a character
// outside Windows-1252 has no byte and is refused.
//
// Widget-free: the dialogs of both tag families use it, tests drive it directly.

#include <QByteArray>
#include <QString>

namespace orvid::ByteText {

enum Representation : int { Text = 0, Hex = 1, Decimal = 2 };

// The offending part of a text that did not convert (0-based start, length).
struct Span {
    int start = 0;
    int length = 0;
};

// bytes in a representation; hex and decimal put a blank after every byte. An unknown
// representation counts as text.
QString ToView(const QByteArray& bytes, int representation);

// The bytes a view spells. Hex and decimal: tokens separated by blanks (blanks before,
// between and after are ignored); a token is any number of digits of a value up to 255,
// but the last token, with no blank after it, has at most two hex or three decimal digits.
// A hex or decimal text of blanks only spells nothing and is refused. False (out cleared,
// error set to the offending token or character) when the text does not convert.
bool FromView(const QString& view, int representation, QByteArray* out, Span* error = nullptr);

// A change of representation in a dialog: the text in representation to, or false with
// the offending span when it does not convert. An empty text stays empty.
bool ChangeView(const QString& view, int from, int to, QString* converted, Span* error = nullptr);

// The characters a box accepts while typing in a representation (empty: any).
QString AllowedChars(int representation);

} // namespace orvid::ByteText
