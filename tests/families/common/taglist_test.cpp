// The shared reply list: newest line selected, at most 100 lines, device bytes shown by
// name and kept as they came, long lines shown whole.

#include "families/common/TagDataList.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

TEST(TagDataListTest, KeepsNewestHundredLinesWithTheirBytes)
{
    TagDataList list;
    EXPECT_EQ(list.objectName(), QStringLiteral("lstTagData"));
    EXPECT_EQ(list.SelectedOrLastRow(), -1);
    EXPECT_TRUE(list.RawBytes(0).isEmpty());

    for (int i = 0; i < 101; ++i)
        list.AddText(QStringLiteral("line %1").arg(i));
    ASSERT_EQ(list.count(), TagDataList::MaxLines);
    EXPECT_EQ(list.LineText(0), QStringLiteral("line 1"));
    EXPECT_EQ(list.currentRow(), 99);
    EXPECT_EQ(list.SelectedOrLastRow(), 99);

    const QByteArray bytes("A\x02\x00\xA7\x7F\xFF<", 7);
    list.AddLine(QStringLiteral("KOPF 1: "), bytes);
    EXPECT_EQ(list.count(), TagDataList::MaxLines);
    EXPECT_EQ(list.LineText(99), QStringLiteral("KOPF 1: A<STX><NUL>\u00A7<127>\u00FF<"));
    EXPECT_EQ(list.RawBytes(99), QByteArray("KOPF 1: ") + bytes);
    EXPECT_EQ(list.currentRow(), 99);

    // A selected older line is the one dialogs take; the raw bytes of a bytes-only line
    // are exactly the bytes.
    list.AddLine(QByteArray("\r\n", 2));
    EXPECT_EQ(list.LineText(99), QStringLiteral("<CR><LF>"));
    list.setCurrentRow(10);
    EXPECT_EQ(list.SelectedOrLastRow(), 10);
    EXPECT_EQ(list.RawBytes(99), QByteArray("\r\n"));

    list.clear();
    EXPECT_EQ(list.SelectedOrLastRow(), -1);

    // A line wider than the list, followed by a short one, is shown whole: the list
    // scrolls sideways to it.
    list.resize(200, 120);
    list.show();
    const QString wide = QStringLiteral("STATUS:0A - Schreib/Lesekopf ist nicht ansprechbar");
    list.AddText(wide);
    list.AddText(QStringLiteral("KOPF 1: AB"));
    QCoreApplication::processEvents();
    EXPECT_GE(list.visualItemRect(list.item(0)).width(), list.fontMetrics().horizontalAdvance(wide));
    EXPECT_GT(list.horizontalScrollBar()->maximum(), 0);
}

} // namespace
} // namespace orvid::test
