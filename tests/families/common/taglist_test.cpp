// The shared reply list: newest line selected, at most 100 lines, device bytes shown by
// name and kept as they came, long lines shown whole.

#include "families/common/TagDataList.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <QStyledItemDelegate>
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

// Lines that come faster than the list can be laid out for each arrive as a batch: only the
// newest hundred stay, the newest is selected, and the view is laid out for them at once, so
// a paint before the next event-loop pass shows lines, not an empty list.
// Notes the rows a paint of the list draws.
class RowPainter : public QStyledItemDelegate {
public:
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painted << index.row();
        QStyledItemDelegate::paint(p, option, index);
    }
    mutable QList<int> painted;
};

TEST(TagDataListTest, ABatchOfLinesIsShownAtOnce)
{
    TagDataList list;
    RowPainter painter;
    list.setItemDelegate(&painter);
    list.resize(300, 200);
    list.show();
    for (int i = 0; i < TagDataList::MaxLines; ++i)
        list.AddText(QStringLiteral("line %1").arg(i));
    QCoreApplication::processEvents();

    QList<QByteArray> batch;
    for (int i = 0; i < 150; ++i)
        batch << "IDCODE: " + QByteArray::number(i).rightJustified(8, '0') + " MINI: \x01";
    batch[149] = QByteArray("\x02" "end", 4);
    list.AddLines(batch);
    ASSERT_EQ(list.count(), TagDataList::MaxLines);
    EXPECT_EQ(list.RawBytes(0), batch[50]);
    EXPECT_EQ(list.RawBytes(98), batch[148]);
    EXPECT_EQ(list.LineText(99), QStringLiteral("<STX>end"));
    EXPECT_EQ(list.currentRow(), 99);
    // Painted now, before the next pass of the event loop.
    painter.painted.clear();
    list.viewport()->repaint();
    EXPECT_TRUE(painter.painted.contains(99));
    EXPECT_GT(painter.painted.size(), 3);

    list.AddLines({});
    EXPECT_EQ(list.count(), TagDataList::MaxLines);
    EXPECT_EQ(list.RawBytes(99), batch[149]);
}

} // namespace
} // namespace orvid::test
