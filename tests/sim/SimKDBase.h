#pragma once
// What both inductive system D simulators share: the fault table with its setters, the
// log of commands received, the rate of repeated replies and the thread that sends them,
// and sending replies whole or split. The units themselves are SimKDFixcode and
// SimKDReadWrite.

#include "sim/SimFaults.h"
#include "support/PtyHarness.h"

#include <QByteArray>
#include <QList>

#include <mutex>
#include <thread>

namespace orvid::test {

class SimKDBase : public PtyHarness {
public:
    // The next reply(s) to commands beginning with prefix: a status instead (the unit's
    // form: a status line, or the two status characters), none, or late.
    void failNext(const QByteArray& prefix, const QByteArray& status, int times = 1);
    void silenceNext(const QByteArray& prefix, int times = 1);
    void delayNext(const QByteArray& prefix, int ms, int times = 1);
    void setSplit(int pauseMs);
    void setRate(int ms);   // repeated replies
    // The unit answers its stops ("RST"; "q" and "o") with text (empty: its usual answer);
    // replyAhead: a repeated reply is on its way when a stop comes, ahead of the answer.
    void setStopAnswer(const QByteArray& text, bool replyAhead = false);

    QList<QByteArray> commands() const;
    void clearCommands();

protected:
    struct Faults {
        bool silent = false;
        int delayMs = 0;
        QByteArray status;
    };
    // Logs command and takes the faults meant for it (call with m_ held).
    Faults take(const QByteArray& command);
    // Sends each unit's bytes, after delayMs, split when asked (takes m_ itself).
    void sendUnits(const QList<QByteArray>& units, int delayMs);
    // The derived constructor starts the thread that calls tick() every few ms; the
    // derived destructor calls finish() before its members go.
    void startTicker();
    void finish();
    virtual void tick() = 0;

    mutable std::mutex m_;
    int rateMs_ = 40;
    QByteArray stopAnswer_;
    bool replyAheadOfStop_ = false;

private:
    SimFaultTable faults_;
    QList<QByteArray> commands_;
    std::thread ticker_;
    bool quit_ = false;
};

} // namespace orvid::test
