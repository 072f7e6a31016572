#pragma once
// What the simulators of the "#" CR text wire share (system R's heads, system L's text
// protocol): the tag memory, a tag that enters and leaves the field, the repetition of
// Buffered reads until "QU", Auto commands that wait for a tag, the fault table, and the
// transcript. A simulator says how long a telegram is and what it answers; repetitions
// and waiting Auto commands ask it for their reply again (repeatReply, armedReply).
//
// Derived classes call shutdown() first in their destructor: the repetition thread calls
// back into them.

#include "SimFaults.h"
#include "support/PtyHarness.h"

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvid::test {

class SimHashCr : public PtyHarness {
public:
    ~SimHashCr() override;

    // ---- device and tag (any thread) -----------------------------------------------
    void setVersionText(const QByteArray& text);     // the VE reply data as it stands
    // A tag entering the field answers a waiting Auto read, and (without timed
    // repetition) the running Buffered read once more.
    void setTagPresent(bool present);
    void writeMemory(int address, const QByteArray& bytes);
    QByteArray readMemory(int address, int length) const;
    void fillMemory(char byte);
    // Buffered reads repeat every ms from now on (a simulator that repeats once per
    // arrival of a tag too).
    void setRepeatInterval(int ms);
    bool repeating() const;

    // ---- faults ----------------------------------------------------------------------
    // times < 0: every time from now on.
    void failNext(const QByteArray& prefix, char status, int times = 1);
    void silenceNext(const QByteArray& prefix, int times = 1);
    void delayNext(const QByteArray& prefix, int ms, int times = 1);
    void truncateNext(const QByteArray& prefix, int dataBytes, int times = 1);
    // The line goes dead instead of the reply to the next telegram starting with prefix.
    void hangUpNext(const QByteArray& prefix);
    void clearFaults();
    void setSplit(int pauseMs);   // 0: whole replies
    // The reply to the next telegram starting with prefix, and every reply after it, are
    // held back until releaseReplies() sends them in order (an answer still on its way).
    void holdRepliesFrom(const QByteArray& prefix);
    void releaseReplies();

    // The telegrams received, in order (terminator included).
    QList<QByteArray> received() const { return telegrams(); }
    QList<QByteArray> receivedStartingWith(const QByteArray& prefix) const;

protected:
    // timedRepeat: Buffered reads repeat every repeat interval (else once per arrival).
    SimHashCr(bool timedRepeat, int memorySize);
    void shutdown();
    qsizetype onBytes(const QByteArray& buffer) override;

    // Under the lock: length of the telegram at the front of buffer (0: not complete);
    // the reply body (status + data, no terminator) to one telegram, empty for none now.
    virtual qsizetype telegramLength(const QByteArray& buffer) const;
    virtual QByteArray handle(const QByteArray& telegram) = 0;
    // The reply a repetition or a waiting Auto read sends for command and parameter.
    virtual QByteArray repeatReply(const QByteArray& command, const QByteArray& parameter) const = 0;
    // A waiting Auto command carried out as a tag enters the field (by default a read's).
    virtual QByteArray armedReply(const QByteArray& command, const QByteArray& parameter)
    {
        return repeatReply(command, parameter);
    }
    // The end of the reply to telegram ("#" CR).
    virtual QByteArray replyEnd(const QByteArray& telegram) const;

    // Under the lock, from handle(): start a repetition, wait for a tag, stop both (QU).
    void repeatFrom(const QByteArray& command, const QByteArray& parameter);
    void waitForTag(const QByteArray& command, const QByteArray& parameter);
    void stopReading();

    mutable std::mutex m_;
    QByteArray versionText_;
    bool present_ = true;
    QByteArray memory_;
    SimFaultTable faults_;

private:
    void repeatLoop();

    std::condition_variable repeatChanged_;
    std::thread repeater_;
    bool quit_ = false;
    bool timedRepeat_;
    int repeatMs_ = 150;
    QByteArray repeatCommand_;
    QByteArray repeatParameter_;
    int repeatGeneration_ = 0;
    QByteArray autoCommand_;
    QByteArray autoParameter_;
    QByteArray holdFrom_;
    bool holding_ = false;
    QByteArray held_;
};

} // namespace orvid::test
