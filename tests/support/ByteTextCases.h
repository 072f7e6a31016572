#pragma once
// Byte strings and the text view the write dialogs show for them, shared by the codec's
// tests and the dialogs' tests: the nine control characters by name, a "<" that would
// begin a name written "<LT>", everything else one character a byte.

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvid::test {

struct ByteTextCase {
    const char* what;
    QByteArray bytes;
    QString view; // the text view of bytes; empty: not checked (see allBytesCase)
};

inline QByteArray AllByteValues()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b += char(i);
    return b;
}

// Shown as the text view shows them, and read back from that view to the same bytes.
inline QList<ByteTextCase> ByteTextShownCases()
{
    using B = QByteArray;
    return {
        {"every byte value", AllByteValues(), QString()},
        {"plain text", B("Hello, tag 7!"), QStringLiteral("Hello, tag 7!")},
        {"names", B("\x02" "00\x03\r\n", 6), QStringLiteral("<STX>00<ETX><CR><LF>")},
        {"all nine", B("\0\x02\x03\x06\n\r\x10\x15\x16", 9),
         QStringLiteral("<NUL><STX><ETX><ACK><LF><CR><DLE><NAK><SYN>")},
        {"NUL between letters", B("\0A\0", 3), QStringLiteral("<NUL>A<NUL>")},
        {"the text <CR>", B("<CR>"), QStringLiteral("<LT>CR>")},
        {"the text <NUL> after a name", B("\r<NUL>"), QStringLiteral("<CR><LT>NUL>")},
        {"the text <LT>", B("<LT>"), QStringLiteral("<LT>LT>")},
        {"< before a CR byte", B("<\r"), QStringLiteral("<<CR>")},
        {"<< before the text CR>", B("<<CR>"), QStringLiteral("<<LT>CR>")},
        {"< that begins no name", B("a<b <XY> <cr> <CR <"), QStringLiteral("a<b <XY> <cr> <CR <")},
        {"other control bytes", B("\x01\t\x1B\x7F\x81"), QStringLiteral("\u2401\u2409\u241B\u2421\u2422")},
        {"high bytes", B("\x80\xA7\xE4\xFF"), QStringLiteral("\u20AC\u00A7\u00E4\u00FF")},
        {"empty", B(), QString()},
    };
}

// Typed (or pasted) texts and the bytes they stand for; a typed text need not be the
// view the bytes are shown as.
inline QList<ByteTextCase> ByteTextTypedCases()
{
    using B = QByteArray;
    return {
        {"a typed name", B("\r"), QStringLiteral("<CR>")},
        {"names among text", B("\x02" "A\x03\r", 4), QStringLiteral("<STX>A<ETX><CR>")},
        {"an unknown name", B("<XY>"), QStringLiteral("<XY>")},
        {"a name in small letters", B("<cr>"), QStringLiteral("<cr>")},
        {"a name without its end", B("<CR"), QStringLiteral("<CR")},
        {"doubled brackets", B("<\r>"), QStringLiteral("<<CR>>")},
        {"the escape", B("<CR>"), QStringLiteral("<LT>CR>")},
        {"a pasted control picture", B("\r\0", 2), QStringLiteral("\u240D\u2400")},
        {"a pasted raw control", B("a\tb\r"), QStringLiteral("a\tb\r")},
        {"pictures and a raw C1 control", B("\t\x7F\x9D\x80\x81"), QStringLiteral("\u2409\u2421\u2426\u20AC\u0081")},
    };
}

} // namespace orvid::test
