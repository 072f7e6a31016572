#pragma once
// The two configuration words of a system R tag. Each travels as four bytes, the first
// byte carrying bits 31..24 and the last bits 7..0.
//
// Control word: bits 0..7 first word of the read area, 8..15 last word of the read area,
// bit 16 password protection, bit 17 read-after-write mode, bits 18..31 fourteen
// user-defined bits. Protection word: bits 0..7 first read-protected word, 8..15 last
// read-protected word, 16..23 first write-protected word, 24..31 last write-protected word.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace orvid::krconfig {

constexpr int kWordBytes = 4;

// A word of exactly four bytes as its 32-bit value; false for any other length (a word
// that could not be read, or a short reply, is not decoded).
bool WordValue(const QByteArray& word, quint32& value);
QByteArray WordBytes(quint32 value);

struct ControlWord {
    quint8 readStart = 0;
    quint8 readEnd = 0;
    bool password = false;
    bool rawMode = false;
    quint16 userBits = 0; // bit i = user-defined bit i (word bit 18 + i), i = 0..13
};
struct ProtectionWord {
    quint8 firstReadProtected = 0;
    quint8 lastReadProtected = 0;
    quint8 firstWriteProtected = 0;
    quint8 lastWriteProtected = 0;
};

ControlWord DecodeControl(quint32 value);
quint32 EncodeControl(const ControlWord& word);
ProtectionWord DecodeProtection(quint32 value);
quint32 EncodeProtection(const ProtectionWord& word);

// The fourteen user-defined bits as "0"/"1", user bit 0 first.
QString UserBitsText(quint16 userBits);

// The data-list lines of a word: a rule of 45 "=", the header, another rule, then one
// line per field: label, one blank, value. labels: control word header and its five
// field labels; protection word header and its four labels. on/off: "Ein"/"Aus".
QStringList ControlWordLines(quint32 value, const QStringList& labels, const QString& on,
                             const QString& off);
QStringList ProtectionWordLines(quint32 value, const QStringList& labels);

// The texts of the data-list lines: labels as above, and the words for a set and a clear
// bit. Defaults() are the built-in German texts, padded with blanks to one width per
// block so the values line up; Translated() looks every one up by its key.
struct LineTexts {
    QStringList control;
    QStringList protection;
    QString on;
    QString off;

    static LineTexts Defaults();
    static LineTexts Translated(const std::function<QString(const char* key, const QString& text)>& tr);
};
// The lines of both words; a word that is not four bytes adds none.
QStringList ConfigurationLines(const QByteArray& controlWord, const QByteArray& protectionWord,
                               const LineTexts& texts);

// Checks of a protection word before it is written; 0 when it is acceptable, else the
// number of the message that tells what is wrong (63..66).
int CheckProtection(const ProtectionWord& word);

} // namespace orvid::krconfig
