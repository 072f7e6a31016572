// Stopwatch, device parameter, sort holder and the keyed collection with its quicksort.
#include "foundations/GeneralClasses.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>

using namespace orvid;

TEST(clsTimer, ZeroBeforeStartThenGrowsInMilliseconds)
{
    clsTimer t;
    EXPECT_EQ(t.Elapsed(), 0.0);
    t.StartTimer();
    const double first = t.Elapsed();
    EXPECT_GE(first, 0.0);
    EXPECT_LT(first, 50.0);
    QElapsedTimer ref;
    ref.start();
    QThread::msleep(20);
    const double later = t.Elapsed();
    EXPECT_GE(later, 19.0); // milliseconds, not seconds or ticks
    EXPECT_LE(later, static_cast<double>(ref.elapsed()) + 50.0); // not micro- or nanoseconds
    t.StartTimer(); // restarting begins again from 0
    EXPECT_LT(t.Elapsed(), later);
}

TEST(clsParameter, ChangeTracking)
{
    clsParameter p;
    EXPECT_FALSE(p.Available());
    EXPECT_FALSE(p.Changed());
    p.setAvailable(true);
    p.Init(QStringLiteral("BAUD"), QStringLiteral("9600"));
    EXPECT_EQ(p.Name(), QStringLiteral("BAUD"));
    EXPECT_EQ(p.value(), QStringLiteral("9600"));
    EXPECT_TRUE(p.Available()); // Init leaves it alone
    EXPECT_FALSE(p.Changed());

    p.setValue(QStringLiteral("9600"));
    EXPECT_FALSE(p.Changed());
    p.setValue(QStringLiteral("19200"));
    p.setValue(QStringLiteral("9600"));
    EXPECT_TRUE(p.Changed()); // back to the old text is still a change
    p.ResetChanged();
    EXPECT_FALSE(p.Changed());
    p.setValue(QStringLiteral("9600 ")); // exact comparison
    EXPECT_TRUE(p.Changed());

    p.ResetChanged();
    p.DefaultValue(QStringLiteral("4800"));
    EXPECT_EQ(p.value(), QStringLiteral("4800"));
    EXPECT_FALSE(p.Changed());
    p.setValue(QStringLiteral("x"));
    p.Init(QStringLiteral("BAUD"), QStringLiteral("1"));
    EXPECT_FALSE(p.Changed());
}

namespace {

struct RecordingProgress : ISortProgress {
    qsizetype initCount = -1;
    int incCalls = 0;
    int cancelAfter = -1; // IncBar returns false on this call number (1-based)
    void InitBar(qsizetype count) override { initCount = count; }
    bool IncBar() override
    {
        ++incCalls;
        return cancelAfter < 0 || incCalls < cancelAfter;
    }
};

QStringList sortStrings(clsCollection<clsSort>& c)
{
    QStringList out;
    for (qsizetype i = 0; i < c.count(); ++i)
        out << c.item(i)->sortstring();
    return out;
}

} // namespace

TEST(clsCollection, ZeroBasedAndKeyedAccess)
{
    clsCollection<clsSort> c;
    EXPECT_EQ(c.item(0), nullptr);
    EXPECT_TRUE(c.Add(clsSort(QStringLiteral("003"), QStringLiteral("COM3")), QStringLiteral("COM3")));
    EXPECT_TRUE(c.Add(clsSort(QStringLiteral("001"), QStringLiteral("COM1")), QStringLiteral("COM1")));
    EXPECT_TRUE(c.Add(clsSort(QStringLiteral("002"), QStringLiteral("x")))); // no key
    EXPECT_FALSE(c.Add(clsSort(QStringLiteral("009"), QString()), QStringLiteral("com3")));
    EXPECT_EQ(c.count(), 3);
    EXPECT_EQ(c.item(0)->Object().toString(), QStringLiteral("COM3"));
    EXPECT_EQ(c.item(2)->sortstring(), QStringLiteral("002"));
    EXPECT_EQ(c.item(3), nullptr);
    EXPECT_EQ(c.item(-1), nullptr);
    ASSERT_NE(c.item("COM1"), nullptr);
    EXPECT_EQ(c.item("COM1")->sortstring(), QStringLiteral("001"));
    EXPECT_EQ(c.item("com1"), c.item("COM1")); // keys match without regard to case
    EXPECT_EQ(GetCollectionItem(c, QStringLiteral("COM9")), nullptr);
    EXPECT_EQ(c.item(QString()), nullptr);

    // item hands out the stored element, not a copy.
    c.item(1)->setValue(42);
    EXPECT_EQ(c.item("COM1")->value().toInt(), 42);
}

TEST(clsCollection, SortOrdersBySortStringAndKeysFollow)
{
    clsCollection<clsSort> c;
    const QStringList ports = {QStringLiteral("COM10"), QStringLiteral("COM2"), QStringLiteral("COM1"),
                               QStringLiteral("COM33"), QStringLiteral("COM4")};
    for (const QString& p : ports)
        c.Add(clsSort(QString::number(p.mid(3).toInt()).rightJustified(3, u'0'), p), p);
    RecordingProgress progress;
    EXPECT_TRUE(c.SortBySortObject(&progress));
    EXPECT_EQ(sortStrings(c), (QStringList{"001", "002", "004", "010", "033"}));
    EXPECT_EQ(progress.initCount, 5);
    EXPECT_GE(progress.incCalls, 1);
    // Keys stay with their elements after the sort.
    for (const QString& p : ports)
        EXPECT_EQ(c.item(p)->Object().toString(), p);
}

TEST(clsCollection, SortEdgeCasesAndRandomInput)
{
    clsCollection<clsSort> empty;
    RecordingProgress p0;
    EXPECT_TRUE(empty.SortBySortObject(&p0));
    EXPECT_EQ(p0.initCount, 0);
    EXPECT_EQ(empty.count(), 0);

    clsCollection<clsSort> one;
    one.Add(clsSort(QStringLiteral("x"), 1));
    EXPECT_TRUE(one.SortBySortObject());
    EXPECT_EQ(sortStrings(one), QStringList{"x"});

    // Many duplicates, already sorted, reversed and random orders all come out sorted
    // and keep every element.
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 40; ++round) {
        clsCollection<clsSort> c;
        QStringList expected;
        const int n = 1 + static_cast<int>(rng->bounded(300));
        for (int i = 0; i < n; ++i) {
            QString s;
            switch (round % 4) {
            case 0: s = QString::number(rng->bounded(5)); break;
            case 1: s = QString::number(i).rightJustified(4, u'0'); break;
            case 2: s = QString::number(n - i).rightJustified(4, u'0'); break;
            default: s = QString::number(rng->generate(), 36); break;
            }
            expected << s;
            c.Add(clsSort(s, i));
        }
        ASSERT_TRUE(c.SortBySortObject());
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(sortStrings(c), expected) << "round " << round;
    }
}

TEST(clsCollection, CancelStopsTheSort)
{
    clsCollection<clsSort> c;
    for (int i = 50; i > 0; --i)
        c.Add(clsSort(QString::number(i).rightJustified(2, u'0'), i));
    RecordingProgress progress;
    progress.cancelAfter = 2;
    EXPECT_FALSE(c.SortBySortObject(&progress));
    EXPECT_EQ(progress.incCalls, 2);
    EXPECT_EQ(c.count(), 50); // nothing lost by the cancelled sort

    // A later sort without progress finishes the job.
    EXPECT_TRUE(c.SortBySortObject());
    EXPECT_EQ(c.item(0)->sortstring(), QStringLiteral("01"));
    EXPECT_EQ(c.item(49)->sortstring(), QStringLiteral("50"));
}
