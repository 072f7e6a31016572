#pragma once
// The faults a device simulator can inject, one table for every simulator. A fault belongs
// to the next reply(s) to telegrams whose key (the command, as the simulator names it)
// starts with a prefix:
//
//   Status    the reply is replaced by an error status (status: the family's code)
//   Silence   no reply at all
//   Delay     the reply comes value ms late
//   Truncate  a good reply keeps only value data bytes
//   HangUp    the line is hung up instead of replying (the device is unplugged)
//   Unterminated  the reply goes without its line end (SimKLX)
//   Drip      the reply goes one byte every value ms (SimKLX)
//   Report    the report of tag number value follows the reply at once (SimKLX)
//
// and every reply can be split in two with a pause between the halves (split()).
// times < 0: the fault stays for every matching telegram from now on.
//
// The table does not lock: a simulator uses it under its own mutex (it is read on the
// simulator's thread and changed from the test's).

#include <QByteArray>
#include <QList>

#include <optional>

namespace orvid::test {

struct SimFault {
    enum Kind { Status, Silence, Delay, Truncate, HangUp, Unterminated, Drip, Report };
    Kind kind = Status;
    QByteArray prefix;
    QByteArray status;   // Status only
    int value = 0;       // Delay: ms; Truncate: data bytes kept
    int times = 1;
};

class SimFaultTable {
public:
    void add(SimFault fault) { faults_.append(std::move(fault)); }
    void clear() { faults_.clear(); }
    bool isEmpty() const { return faults_.isEmpty(); }

    // The first fault whose prefix starts key, counted as used once.
    std::optional<SimFault> takeFirst(const QByteArray& key);
    // Every fault whose prefix starts key, each counted as used once (a simulator that
    // combines a delay with an error, say).
    QList<SimFault> takeAll(const QByteArray& key);

    void setSplit(int pauseMs) { splitMs_ = pauseMs; }
    int split() const { return splitMs_; }

private:
    void use(qsizetype index);

    QList<SimFault> faults_;
    int splitMs_ = 0;
};

} // namespace orvid::test
