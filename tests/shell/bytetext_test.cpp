// The byte codec under the write dialogs: text, hex and decimal views of tag bytes.

#include "shell/ByteText.h"

#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace orvid::test {
namespace {

using namespace orvid::ByteText;

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b += char(i);
    return b;
}

QByteArray bytesOf(const QString& view, int rep)
{
    QByteArray out("untouched");
    EXPECT_TRUE(FromView(view, rep, &out)) << view.toStdString();
    return out;
}

TEST(ByteText, EveryByteSurvivesEveryOrderOfSwitches)
{
    const QByteArray all = allBytes();
    std::array<int, 3> order = {Text, Hex, Decimal};
    std::sort(order.begin(), order.end());
    do {
        // Shown first in order[0], switched through the others and back to the first.
        QString view = ToView(all, order[0]);
        int rep = order[0];
        for (int next : {order[1], order[2], order[0], order[2], order[1]}) {
            QString converted;
            ASSERT_TRUE(ChangeView(view, rep, next, &converted)) << rep << "->" << next;
            view = converted;
            rep = next;
            EXPECT_EQ(bytesOf(view, rep), all) << "after switching to " << rep;
        }
    } while (std::next_permutation(order.begin(), order.end()));

    // Random byte strings through random switches.
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 500; ++round) {
        QByteArray bytes;
        for (int i = int(rng.bounded(20)); i > 0; --i)
            bytes += char(rng.bounded(256));
        int rep = int(rng.bounded(3));
        QString view = ToView(bytes, rep);
        for (int step = 0; step < 4; ++step) {
            const int next = int(rng.bounded(3));
            ASSERT_TRUE(ChangeView(view, rep, next, &view));
            rep = next;
        }
        ASSERT_EQ(bytesOf(view, rep), bytes) << bytes.toHex().constData();
    }
}

TEST(ByteText, TextViewShowsOneVisibleCharacterPerByte)
{
    const QString view = ToView(allBytes(), Text);
    ASSERT_EQ(view.size(), 256);
    // No two bytes share a character, and none is a control character a line edit would
    // swallow or show as nothing.
    EXPECT_EQ(QSet<QChar>(view.begin(), view.end()).size(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_NE(view.at(i).category(), QChar::Other_Control) << "byte " << i;

    EXPECT_EQ(ToView(QByteArray("\0A\r\n\x7F", 5), Text), QStringLiteral("\u2400A\u240D\u240A\u2421"));
    EXPECT_EQ(ToView("\x81\x8D\x8F\x90\x9D", Text), QStringLiteral("\u2422\u2423\u2424\u2425\u2426"));
    EXPECT_EQ(ToView("\x80\xA7\xE4\xFF", Text), QStringLiteral("\u20AC\u00A7\u00E4\u00FF"));
}

TEST(ByteText, TypedTextGoesOutAsTyped)
{
    // A text that spells a control character's name is those characters, not the control.
    EXPECT_EQ(bytesOf(QStringLiteral("<CR>"), Text), QByteArray("<CR>"));
    EXPECT_EQ(bytesOf(QStringLiteral("A<NUL><STX><<B"), Text), QByteArray("A<NUL><STX><<B"));
    QString hex;
    ASSERT_TRUE(ChangeView(QStringLiteral("<CR>"), Text, Hex, &hex));
    EXPECT_EQ(hex, QStringLiteral("3C 43 52 3E "));

    // NUL is NUL, not a blank, in both directions.
    QString text;
    ASSERT_TRUE(ChangeView(QStringLiteral("00 41 00"), Hex, Text, &text));
    EXPECT_EQ(text, QStringLiteral("\u2400A\u2400"));
    EXPECT_EQ(bytesOf(text, Text), QByteArray("\0A\0", 3));
    ASSERT_TRUE(ChangeView(text, Text, Decimal, &text));
    EXPECT_EQ(text, QStringLiteral("000 065 000 "));

    // A raw control character (pasted) is its own byte; the stand-ins map back exactly.
    EXPECT_EQ(bytesOf(QStringLiteral("a\tb\u0081"), Text), QByteArray("a\tb\x81"));
    EXPECT_EQ(bytesOf(QStringLiteral("\u2409\u2421\u2426\u20AC"), Text), QByteArray("\t\x7F\x9D\x80"));
    EXPECT_TRUE(bytesOf(QString(), Text).isEmpty());
}

TEST(ByteText, CharactersOutsideTheCodePageAreRefused)
{
    struct Case { QString text; int start; int length; };
    const QList<Case> cases = {
        {QStringLiteral("ab\u4E00c"), 2, 1},
        {QStringLiteral("x\u0080"), 1, 1},                 // no character at 0x80 in the code page
        {QStringLiteral("\u2420"), 0, 1},                  // the control picture next to the used ones
        {QStringLiteral("ok") + QString::fromUcs4(U"\U0001F600"), 2, 2}, // one character, two code units
    };
    for (const Case& c : cases) {
        QByteArray out("untouched");
        Span error;
        EXPECT_FALSE(FromView(c.text, Text, &out, &error)) << c.text.toStdString();
        EXPECT_TRUE(out.isEmpty());
        EXPECT_EQ(error.start, c.start) << c.text.toStdString();
        EXPECT_EQ(error.length, c.length) << c.text.toStdString();
        QString converted = QStringLiteral("kept");
        EXPECT_FALSE(ChangeView(c.text, Text, Hex, &converted));
        EXPECT_EQ(converted, QStringLiteral("kept"));
    }
}

TEST(ByteText, NumberViewsReadTokensAndPointAtBadOnes)
{
    EXPECT_EQ(ToView("AB\xFF", Hex), QStringLiteral("41 42 FF "));
    EXPECT_EQ(ToView("AB\xFF", Decimal), QStringLiteral("065 066 255 "));
    EXPECT_EQ(ToView({}, Hex), QString());
    // Lower case, leading zeros before a blank, blanks anywhere.
    EXPECT_EQ(bytesOf(QStringLiteral("  0041 ff  a"), Hex), QByteArray("A\xFF\n"));
    EXPECT_EQ(bytesOf(QStringLiteral("0065 66 255   "), Decimal), QByteArray("AB\xFF"));

    struct Case { const char* text; int rep; int start; int length; };
    const Case cases[] = {
        {"41 1FF 42", Hex, 3, 3},    // value above FF
        {"41 123", Hex, 3, 3},       // last token longer than two digits
        {"41 4G ", Hex, 3, 2},       // not a hex digit
        {"0x41 ", Hex, 0, 4},        // no prefixes
        {"065 300 ", Decimal, 4, 3}, // value above 255
        {"1 1234", Decimal, 2, 4},   // last token longer than three digits
        {"12 +1 ", Decimal, 3, 2},   // no signs
        {"0A ", Decimal, 0, 2},      // a hex digit in decimal
        {"   ", Hex, 0, 3},          // blanks only spell no byte
        {" ", Decimal, 0, 1},
    };
    for (const Case& c : cases) {
        QByteArray out("untouched");
        Span error;
        EXPECT_FALSE(FromView(QString::fromLatin1(c.text), c.rep, &out, &error)) << c.text;
        EXPECT_TRUE(out.isEmpty()) << c.text;
        EXPECT_EQ(error.start, c.start) << c.text;
        EXPECT_EQ(error.length, c.length) << c.text;
    }
    // A blank in the text view is a byte like any other.
    EXPECT_EQ(bytesOf(QStringLiteral("   "), Text), QByteArray("   "));
}

} // namespace
} // namespace orvid::test
