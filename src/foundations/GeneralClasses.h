#pragma once
// Small building blocks: a millisecond stopwatch for device waits, a named device
// parameter with change tracking, and an ordered collection with zero-based access,
// optional string keys and a quicksort over sort holders (the port list sorts with it).

#include <QList>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <utility>

namespace orvid {

// Millisecond stopwatch on the monotonic clock.
class clsTimer {
public:
    void StartTimer();
    // Milliseconds since StartTimer; 0 before the first StartTimer.
    double Elapsed() const;

private:
    std::chrono::steady_clock::time_point start_{};
    double stopped_ = 0.0;
    bool running_ = false;
};

// One device parameter held as text.
class clsParameter {
public:
    // Stores name and value and clears Changed; Available keeps its value.
    void Init(const QString& name, const QString& value);
    QString Name() const { return name_; }

    QString value() const { return value_; }
    // A text different from the stored one (exact comparison) replaces it and sets Changed.
    void setValue(const QString& text);
    // Stores the value without touching Changed.
    void DefaultValue(const QString& text) { value_ = text; }

    bool Changed() const { return changed_; }
    void ResetChanged() { changed_ = false; }

    // Whether the device offers this parameter (false for a new object).
    bool Available() const { return available_; }
    void setAvailable(bool available) { available_ = available; }

private:
    QString name_;
    QString value_;
    bool changed_ = false;
    bool available_ = false;
};

// Sort holder: a value with the sort string it is ordered by, plus an object reference.
class clsSort {
public:
    clsSort() = default;
    clsSort(const QString& sortstring, const QVariant& obj) { Init(sortstring, obj); }

    void Init(const QString& sortstring, const QVariant& obj)
    {
        sortstring_ = sortstring;
        object_ = obj;
    }
    QVariant value() const { return value_; }
    void setValue(const QVariant& v) { value_ = v; }
    QVariant Object() const { return object_; }
    QString sortstring() const { return sortstring_; }
    void setSortstring(const QString& s) { sortstring_ = s; }

private:
    QVariant value_;
    QString sortstring_;
    QVariant object_;
};

// What the sort reports to: InitBar once with the element count, IncBar once per
// partition step; IncBar returning false cancels the sort.
class ISortProgress {
public:
    virtual ~ISortProgress() = default;
    virtual void InitBar(qsizetype count) = 0;
    virtual bool IncBar() = 0;
};

// The text an element is sorted by.
inline QString SortKeyOf(const clsSort& s) { return s.sortstring(); }
inline QString SortKeyOf(const clsSort* s) { return s ? s->sortstring() : QString(); }
inline QString SortKeyOf(const std::shared_ptr<clsSort>& s) { return s ? s->sortstring() : QString(); }

// Ordered collection with zero-based positions and optional string keys (matched without
// regard to case, unique). Keys stay with their elements when the collection is sorted.
template <typename T>
class clsCollection {
public:
    // Appends item; false (and nothing added) when the key is already in use.
    bool Add(const T& item, const QString& key = QString())
    {
        if (!key.isEmpty() && indexOfKey(key) >= 0)
            return false;
        items_.append(Entry{item, key});
        return true;
    }
    qsizetype count() const { return items_.size(); }

    // The element at a zero-based position, or by key; null when there is none.
    T* item(qsizetype index)
    {
        return (index >= 0 && index < items_.size()) ? &items_[index].value : nullptr;
    }
    const T* item(qsizetype index) const
    {
        return (index >= 0 && index < items_.size()) ? &items_[index].value : nullptr;
    }
    T* item(const QString& key)
    {
        const qsizetype i = indexOfKey(key);
        return i >= 0 ? &items_[i].value : nullptr;
    }
    const T* item(const QString& key) const
    {
        const qsizetype i = indexOfKey(key);
        return i >= 0 ? &items_[i].value : nullptr;
    }
    template <std::size_t N>
    T* item(const char (&key)[N]) { return item(QString::fromUtf8(key)); }
    template <std::size_t N>
    const T* item(const char (&key)[N]) const { return item(QString::fromUtf8(key)); }

    void clear() { items_.clear(); }

    // Sorts by the elements' sort strings (ascending, not stable). Returns false when the
    // progress reported a cancel; the order is then partly sorted.
    bool SortBySortObject(ISortProgress* progress = nullptr)
    {
        if (progress)
            progress->InitBar(items_.size());
        if (items_.isEmpty())
            return true;
        return quicksort(0, items_.size() - 1, progress);
    }

private:
    struct Entry {
        T value;
        QString key;
    };

    qsizetype indexOfKey(const QString& key) const
    {
        if (key.isEmpty())
            return -1;
        for (qsizetype i = 0; i < items_.size(); ++i) {
            if (items_[i].key.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    QString keyAt(qsizetype i) const { return SortKeyOf(items_[i].value); }

    // Hoare partitioning around the middle element. The smaller part recurses and the
    // larger one loops, so the stack stays shallow whatever the input order.
    bool quicksort(qsizetype lo, qsizetype hi, ISortProgress* progress)
    {
        while (lo <= hi) {
            const QString pivot = keyAt((lo + hi) / 2);
            if (progress && !progress->IncBar())
                return false;
            qsizetype i = lo;
            qsizetype j = hi;
            for (;;) {
                while (keyAt(i) < pivot)
                    ++i;
                while (keyAt(j) > pivot)
                    --j;
                if (i > j)
                    break;
                std::swap(items_[i], items_[j]);
                ++i;
                --j;
                if (i > j)
                    break;
            }
            const bool left = j > lo;
            const bool right = i < hi;
            if (left && right) {
                if (j - lo < hi - i) {
                    if (!quicksort(lo, j, progress))
                        return false;
                    lo = i;
                } else {
                    if (!quicksort(i, hi, progress))
                        return false;
                    hi = j;
                }
            } else if (left) {
                hi = j;
            } else if (right) {
                lo = i;
            } else {
                return true;
            }
        }
        return true;
    }

    QList<Entry> items_;
};

// The element stored under key; null when there is none.
template <typename T>
T* GetCollectionItem(clsCollection<T>& collection, const QString& key)
{
    return collection.item(key);
}

} // namespace orvid
