#pragma once
// The 64-bit code of an NCX chip, composed from its wafer number (12 bits) and die number
// (16 bits), without widgets: the entry and display forms of both numbers, the sixteen
// code digits with their parity digits, and the 8-byte block a carrier is written with.
//
// The code digits c0..c15 are W1 W2 W3 D1 D2 D3 D4 P1 P2 P3 P4 P5 F 0 F 0 (W1 and D1 the
// most significant). P1..P5 check the digits' bits: seen as a matrix of one column per
// digit and one row per bit (bit 3 first),
//   P1 = column parities of W1, W2, W3 (bits 3..1) and the parity of all wafer bits (bit 0)
//   P2 = row parities of bits 3..0 over W1..W3
//   P3 = column parities of D1..D4
//   P4 = row parities of bits 3..0 over D1..D4
//   P5 = the parity of all die bits, in bit 3.
// The block: byte b(3 - i) holds bit plane i of the even digits c0, c2 .. c14 (digit pair
// j in bit j), byte b(7 - i) the same plane of the odd digits.

#include <QByteArray>
#include <QString>
#include <array>

namespace orvid::ncx {

constexpr int kMaxWafer = 0xFFF;
constexpr int kMaxDie = 0xFFFF;

using Digits = std::array<int, 16>;

// Entry: an unsigned hex number up to the first character that is not a hex digit (empty:
// 0); a decimal number with an optional leading minus up to the first character that
// cannot continue it, rounded (empty: 0). Values are limited to what 32 bits hold.
qint64 ParseHex(const QString& text);
qint64 ParseDecimal(const QString& text);

// A typed die number as the dialog holds it: a negative one wraps modulo 65536 (-1 is
// FFFF); a larger one stays as typed (and cannot be written).
qint64 DieFromEntry(qint64 value);
bool InRange(qint64 wafer, qint64 die);

// Display forms. The hexadecimal form of a number is that of its 32 bits, so a negative
// one reads as its two's complement (-1 is FFFFFFFF). Wafer: hex at least 3 digits, all of
// a longer form (4096 is 1000); decimal at least 4 digits, a minus sign before them (-1 is
// -0001). Die: hex the last 4 characters of the form padded to 4 digits (70000 is 1170,
// -1 is FFFF); decimal at least 5 digits. The boxes show these whole: what a user may type
// into them is limited, not what they show.
QString WaferHex(qint64 wafer);
QString WaferDecimal(qint64 wafer);
QString DieHex(qint64 die);
QString DieDecimal(qint64 die);

// The code of wafer and die (taken modulo 4096 and 65536), and its block.
Digits Compose(int wafer, int die);
QByteArray Block(const Digits& digits);
// The sixteen digits as upper-case hex text ("1234567C0900F0F0").
QString DigitText(const Digits& digits);

} // namespace orvid::ncx
