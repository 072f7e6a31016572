#pragma once
// What the system D write dialogs and the unit-state and outputs windows call on the
// system D window. The dialogs find these interfaces with dynamic_cast on the link's
// current window; the small windows are handed the system D window when they are built.
// The tag-state window uses ITagStateProvider (families/common/TagStateView.h).

#include "families/common/TagStateView.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid {

// The entries of the system D window a write dialog starts from.
struct WDEntries {
    int head = 0;          // cmbHeadNumber list index
    int accessType = 0;    // first selected rdIDCode option, 0 when none
    QString idCode;        // txtIDCode
    QString address;       // txtAddress (hex digits)
    QByteArray lastData;   // the bytes of the last read shown in the list
    int dataRepresentation = 0; // data item 103: 0 ASCII, 1 hex, 2 decimal
};

class IWDWriteTarget {
public:
    virtual ~IWDWriteTarget() = default;
    virtual WDEntries Entries() const = 0;
    // isData: data's first length bytes at address; otherwise an ID-code write with the
    // new code in wire order as data. False when the unit did not confirm the write (the
    // window has reported why) or when another exchange was still running.
    virtual bool WriteTag(bool isData, int16_t head, int16_t accessType, const QString& idCode,
                          quint16 address, int length, const QByteArray& data) = 0;
};

class IWDUnitTarget {
public:
    virtual ~IWDUnitTarget() = default;
    virtual void GetState() = 0;    // the unit-state lamps
    virtual bool OutputSet() = 0;   // the outputs; true when the unit confirmed
};

} // namespace orvid
