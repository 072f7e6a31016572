#pragma once
// Tag bytes as the write dialogs show them for editing: as text (0), as hexadecimal bytes
// "41 42 " (1) or as decimal bytes "065 066 " (2). The same numbering as the data
// representation of the system windows.
//
// The text view reads the way the traffic monitor and the data lists show device data,
// and nothing is lost on the way back:
//   - the nine control characters NUL, STX, ETX, ACK, LF, CR, DLE, NAK and SYN are their
//     names "<NUL>", "<STX>" ... "<SYN>", and typing a name gives its byte;
//   - a "<" that would begin one of those names (or "<LT>") is written "<LT>", so the text
//     "<CR>" is "<LT>CR>"; any other "<" is itself;
//   - other printable bytes are their Windows-1252 character ("A", "§" for 0xA7, "€" for
//     0x80);
//   - the other control bytes 0x01..0x1F are the control pictures U+2400 + code ("␁",
//     "␉" for TAB, ...), 0x7F is U+2421 "␡";
//   - the five codes Windows-1252 leaves unassigned take the remaining control pictures
//     in order: 0x81 U+2422 "␢", 0x8D U+2423 "␣", 0x8F U+2424 "␤", 0x90 U+2425 "␥",
//     0x9D U+2426 "␦".
// A name is recognised only in capitals and only as a whole ("<XY>" or "<cr>" stay text).
// When reading a text back, a raw control character (pasted, say) or the control picture
// of a named byte stands for its own byte as well; a character outside Windows-1252 has no
// byte and is refused.
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

// The name that writes a literal "<" where it would begin a name.
QString LessThanName();

} // namespace orvid::ByteText
