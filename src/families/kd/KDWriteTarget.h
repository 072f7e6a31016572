#pragma once
// What the inductive system D write and chip-code dialogs need of the read/write window:
// its data items, its head label and reply list (the write dialog starts from the line
// last read), and the write itself. The dialogs are handed the window, or find it as the
// link's current window.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace orvid {

class TagDataList;

// What became of a write: refused before anything went out (the dialog keeps the user's
// entries for another try), sent but not written (a Stop, an error status or no reply:
// the window has said so), or written.
enum class KDWriteResult { Refused, NotWritten, Written };

class IKDWriteTarget {
public:
    virtual ~IKDWriteTarget() = default;
    // A data item of the window (KDItem ids).
    virtual QVariant Item(int16_t id) const = 0;
    virtual QString HeadLabel() const = 0;
    virtual const TagDataList* ReplyList() const = 0;
    // mode 0 Single / 1 Auto, head 0..3 or 4 (all), tag code 1, 3 or 4.
    virtual KDWriteResult WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                                   const QByteArray& data) = 0;
};

} // namespace orvid
