// The byte codec under the write dialogs: text, hex and decimal views of tag bytes.

#include "support/ByteTextCases.h"

#include "shell/ByteText.h"
#include "shell/CharNames.h"

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

TEST(ByteText, TextViewNamesTheNineAsTheMonitorDoesAndShowsEveryOtherByteVisibly)
{
    const QSet<int> named = {0x00, 0x02, 0x03, 0x06, 0x0A, 0x0D, 0x10, 0x15, 0x16};
    QSet<QChar> single;
    for (int i = 0; i < 256; ++i) {
        const QString view = ToView(QByteArray(1, char(i)), Text);
        if (named.contains(i)) {
            EXPECT_EQ(view, CharNames().at(i)) << "byte " << i;
            continue;
        }
        // One character a line edit neither swallows nor shows as nothing.
        ASSERT_EQ(view.size(), 1) << "byte " << i;
        EXPECT_NE(view.at(0).category(), QChar::Other_Control) << "byte " << i;
        single.insert(view.at(0));
    }
    EXPECT_EQ(single.size(), 256 - named.size()); // no two bytes share a character
    EXPECT_EQ(LessThanName(), QStringLiteral("<LT>"));
}

// Every case through every order of views and back: the same bytes at every step, the
// text view as the table shows it.
TEST(ByteText, TableOfTextsThroughEveryViewGivesTheSameBytes)
{
    for (const ByteTextCase& c : ByteTextShownCases()) {
        SCOPED_TRACE(c.what);
        const QString text = ToView(c.bytes, Text);
        if (!c.view.isEmpty() || c.bytes.isEmpty()) {
            EXPECT_EQ(text, c.view);
        }
        EXPECT_EQ(bytesOf(text, Text), c.bytes);
        for (int first : {Text, Hex, Decimal}) {
            QString view = ToView(c.bytes, first);
            int rep = first;
            for (int next : {(first + 1) % 3, (first + 2) % 3, first, (first + 2) % 3, first}) {
                ASSERT_TRUE(ChangeView(view, rep, next, &view)) << rep << "->" << next;
                rep = next;
                EXPECT_EQ(bytesOf(view, rep), c.bytes) << "first " << first << " now " << rep;
            }
        }
    }

    // Typed texts: the bytes they stand for, and those bytes then keep through the views.
    for (const ByteTextCase& c : ByteTextTypedCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bytesOf(c.view, Text), c.bytes);
        QString hex;
        ASSERT_TRUE(ChangeView(c.view, Text, Hex, &hex));
        EXPECT_EQ(hex, ToView(c.bytes, Hex));
        QString back;
        ASSERT_TRUE(ChangeView(hex, Hex, Text, &back));
        EXPECT_EQ(bytesOf(back, Text), c.bytes);
    }
    QString hex;
    ASSERT_TRUE(ChangeView(QStringLiteral("<LT>CR>"), Text, Hex, &hex));
    EXPECT_EQ(hex, QStringLiteral("3C 43 52 3E "));

    // Strings made of the characters names are built from, in any order.
    const char alphabet[] = {'<', '>', 'C', 'R', 'L', 'T', 'N', 'U', '\r', '\0', 'x'};
    QRandomGenerator rng(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        for (int i = int(rng.bounded(12)); i > 0; --i)
            bytes += alphabet[rng.bounded(int(sizeof alphabet))];
        ASSERT_EQ(bytesOf(ToView(bytes, Text), Text), bytes) << ToView(bytes, Text).toStdString();
    }
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
