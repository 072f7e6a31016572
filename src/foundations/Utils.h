#pragma once
// Small stateless procedures shared by every layer: cutting and formatting texts, naming
// control characters, hexadecimal formatting, the leading-number conversion, bit and byte
// access and four-byte packing. Device texts are QByteArray (one byte per character,
// codes 0 to 255); the QString overloads exist for message and window texts.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace orvid {

// ---- Texts ----------------------------------------------------------------------------

// The part of text before the first separator; text keeps what follows it. Without the
// separator the whole text is returned and text becomes empty. found (when given) receives
// the separator, or the empty text when there was none. trim removes leading and trailing
// blanks from the result only.
QByteArray GetToken(QByteArray& text, const QByteArray& separator = QByteArrayLiteral(","),
                    QByteArray* found = nullptr, bool trim = false);
QString GetToken(QString& text, const QString& separator = QStringLiteral(","),
                 QString* found = nullptr, bool trim = false);

// The default when value lies outside minimum..maximum, else the value itself (it is not
// moved to the nearer bound).
template <typename T>
constexpr T ClampValue(T value, std::type_identity_t<T> minimum, std::type_identity_t<T> maximum,
                       std::type_identity_t<T> defaultValue)
{
    return (value < minimum || value > maximum) ? defaultValue : value;
}

// Each "%s", left to right, becomes the next "|"-separated part of args; missing parts
// give the empty text, surplus parts are ignored.
QString FormatArgs(const QString& text, const QString& args);
QByteArray FormatArgs(const QByteArray& text, const QByteArray& args);
// The same with the parts given one by one, so a part may hold a "|".
QString FormatArgs(const QString& text, const QStringList& args);

// Each backslash-n pair becomes one CR (no LF is added).
QString ExpandNewlines(const QString& text);
QByteArray ExpandNewlines(const QByteArray& text);

// The nine named control characters in replacement order: NUL, STX, ETX, ACK, LF, CR,
// DLE, NAK, SYN as "<NUL>", "<STX>" and so on.
QByteArray ShowControlChars(const QByteArray& text);
QByteArray ParseControlChars(const QByteArray& text);

// The value of one hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char16_t c);
// Whether digits is a non-empty run of hexadecimal digits; value is their number (the
// last eight digits when there are more).
bool ParseHexDigits(QByteArrayView digits, quint32& value);

// value in upper-case hexadecimal; when shorter than the pattern, the pattern's first
// (pattern length - hex length) characters go in front; a longer result is not cut.
// A negative value is shown as its 32-bit two's complement.
QByteArray HexString(qint64 value, const QByteArray& pattern);
QByteArray HexString(qint64 value, const char* pattern);
QString HexString(qint64 value, const QString& pattern);

// The number written in the text (the system locale's form, else the C form, blanks
// around it allowed); 0 when the text is not a number.
float ToSingle(const QByteArray& text);
float ToSingle(const QString& text);

// The leading number of a text: blanks, tabs, CR and LF are skipped anywhere in it, then
// an optional sign, digits, a decimal point with digits and an exponent ("1E3"). A text
// beginning with "&H" is read as hexadecimal (unsigned, up to 16 digits). A text that does
// not start with a number gives 0.
double Val(const QByteArray& text);
double Val(const QString& text);

// A number converted to 16 bits as the runtime does: halves go to the even neighbour. A
// value outside -32768..32767 (or not a number) is clamped and *ok is set false.
qint16 CInt16(double value, bool* ok = nullptr);

// Code (0..255) of the character at position (from 1); 0 outside the text.
qint16 CharCode(const QByteArray& text, int position);

// bytes gets elements 0..n (n = text length): element i := code of character i (from 1),
// or with reverse element n - i + 1; element 0 is 0.
void StringToBytes(QByteArray& bytes, const QByteArray& text, bool reverse = false);

// The error CVL raises for a text that is not exactly four characters long.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, QString source, QString description)
        : std::runtime_error(description.toStdString()), number_(number),
          source_(std::move(source)), description_(std::move(description)) {}
    int number() const { return number_; }
    QString source() const { return source_; }
    QString description() const { return description_; }

private:
    int number_;
    QString source_;
    QString description_;
};

// Four characters as a little-endian 32-bit number (first character = lowest byte).
// Throws RuntimeError(1000, "CVL", "Invalid string argument") for any other length.
qint32 CVL(const QByteArray& text);
// The inverse of CVL: four characters, lowest byte first.
QByteArray MKL(qint32 value);

// ---- Bits and bytes -------------------------------------------------------------------

// 1 when bit n (0 = least significant) is set; 0 for n outside 0..7.
quint8 GetBit(quint8 byte, int n);
// Bits high down to low as a number (bit low = least significant); 0 when high < low.
qint16 GetBits(quint8 byte, int low, int high);
// A non-zero state becomes 1 (also in the caller's variable). Returns 1 when bit n of the
// byte changed, 0 when it already equalled the state (or n is outside 0..7).
int SetBit(quint8& byte, int n, qint16& state);
int SetBit(quint8& byte, int n, int state);
// Bit i of the byte := bit (i - low) of value, for i from low to high (within 0..7).
void MakeByte(quint8& byte, int low, int high, int value);
qint32 MakeWord(qint32 high, qint32 low);
// value div 256 (towards zero) when that lies in 0..255, else 255.
quint8 HiByte(qint32 value);
// value mod 256 for value >= 0; a negative value gives 255, a negative multiple of 256 0.
quint8 LoByte(qint32 value);

// ---- Keys -----------------------------------------------------------------------------

// The code of the upper-cased character (Windows-1252); the argument is left as it is.
qint16 UpperKeyFilter(qint16 keyCode);

} // namespace orvid
