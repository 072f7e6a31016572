// Data-list control: the three renderings, the line kinds, the size cap and the view.

#include "shell/ctrlList.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

QString shown(const ctrlList& list)
{
    return list.findChild<QPlainTextEdit*>("rtfData")->toPlainText();
}

// A kind-1 line of exactly `length` characters including its CR LF, tagged with `tag`.
QByteArray plainLine(int tag, int length)
{
    QByteArray data = QByteArray::number(tag).rightJustified(5, '0');
    return data.leftJustified(length - 2, 'x');
}

} // namespace

TEST(DataList, RendersDataInThreeWays)
{
    ctrlList list;
    const QByteArray stx12etx("\x02" "12" "\x03");
    list.ShowData(2, "Lesen: ", stx12etx);
    list.ShowData(2, "", QByteArray("\x90\x91\x92\x93\xA7", 5));
    EXPECT_EQ(list.boxText(0), QString("Lesen: <STX>12<ETX>\r\n<144>") + QChar(0x2018) + QChar(0x2019)
                                   + "<147>" + QChar(0xA7) + "\r\n");
    EXPECT_EQ(list.boxText(1), "Lesen: 02 31 32 03 \r\n90 91 92 93 A7 \r\n");
    EXPECT_EQ(list.boxText(2), "Lesen: 002 049 050 003 \r\n144 145 146 147 167 \r\n");

    // The view shows the chosen rendering; out-of-range choices change nothing.
    EXPECT_EQ(list.representation(), 1);
    EXPECT_EQ(list.text(), list.boxText(0));
    list.Format(2);
    EXPECT_EQ(list.text(), list.boxText(1));
    EXPECT_EQ(shown(list), "Lesen: 02 31 32 03 \n90 91 92 93 A7 \n");
    list.Format(0);
    list.Format(4);
    EXPECT_EQ(list.representation(), 2);
    list.Format(3);
    list.ShowData(2, "S: ", "A");
    EXPECT_TRUE(shown(list).endsWith("S: 065 \n"));
}

TEST(DataList, LineKindsAndCaptions)
{
    ctrlList list;
    list.ShowData(1, "ignored", QByteArray(45, '='));
    list.ShowData(1, "", "");                  // an empty plain line still ends a line
    list.ShowData(2, "Status: ", "");          // caption only
    list.ShowData(2, "", "");                  // nothing at all
    list.ShowData(3, "Status: ", "ABC");       // unknown kind
    const QString expected = QString(45, '=') + "\r\n\r\nStatus: \r\n";
    for (int box = 0; box < 3; ++box)
        EXPECT_EQ(list.boxText(box), expected) << "box " << box;

    list.Clear();
    for (int box = 0; box < 3; ++box)
        EXPECT_TRUE(list.boxText(box).isEmpty());
    EXPECT_TRUE(shown(list).isEmpty());
}

TEST(DataList, CapCutsOldLinesAtALineStart)
{
    ctrlList list;
    // 309 lines of 97 characters and one of 27: exactly 30000 characters stay.
    for (int i = 0; i < 309; ++i)
        list.ShowData(1, "", plainLine(i, 97));
    list.ShowData(1, "", plainLine(309, 27));
    ASSERT_EQ(list.text().size(), ctrlList::MaxChars);
    EXPECT_TRUE(list.text().startsWith("00000"));

    // One more line: at least 10000 characters go, up to the next line start (line 104
    // starts at 104 * 97 = 10088), so no broken line is left at the top.
    list.ShowData(1, "", plainLine(310, 97));
    for (int box = 0; box < 3; ++box) {
        EXPECT_EQ(list.boxText(box).size(), 30097 - 10088) << "box " << box;
        EXPECT_TRUE(list.boxText(box).startsWith("00104x")) << "box " << box;
    }
    // The view shows the same text after the cut, newest line last.
    auto* view = list.findChild<QPlainTextEdit*>("rtfData");
    EXPECT_EQ(view->document()->firstBlock().text(), QString(plainLine(104, 97)));
    EXPECT_TRUE(shown(list).endsWith(QString(plainLine(310, 97)) + "\n"));
}

TEST(DataList, CapNeverDropsTheNewestLine)
{
    ctrlList list;
    for (int i = 0; i < 90; ++i)
        list.ShowData(1, "", plainLine(i, 100));  // 9000 characters
    // A line long enough that the cut's first line start after 10000 is the end.
    const QByteArray huge = plainLine(90, 21102);
    list.ShowData(1, "", huge);
    EXPECT_EQ(list.text(), QString(huge) + "\r\n");
    // The next append that passes the cap drops the old line whole.
    const QByteArray next = plainLine(91, 9000);
    list.ShowData(1, "", next);
    EXPECT_EQ(list.text(), QString(next) + "\r\n");
}
