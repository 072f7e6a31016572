#pragma once
// A device on the far end of a real pseudo-terminal. The program under test opens
// slavePath() like any serial port; a responder thread reads the master side and answers
// from a script: expected telegrams with their replies, or a rule that maps each received
// telegram to a reply. Replies may be delayed, split with pauses, corrupted, withheld, or
// end in a hang-up (the master is closed, as when a device is unplugged). Every byte
// received is kept in a transcript for byte-exact checks.
//
// Device simulators derive from it and override onBytes(); send() may be called from the
// responder thread (inside onBytes) or from the test thread.
//
// Like a unit's receiver after its inter-character time-out, the responder forgets input it
// has not taken as a telegram once the line has been quiet for kInterCharacterTimeoutMs:
// another family's probe that this device cannot finish (no terminator of its kind) is not
// joined to the next telegram. Those bytes are kept, and the running test fails on any
// when the harness goes (stray bytes followed by a good telegram would otherwise pass
// unseen), unless it has called allowDroppedInput().

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvid::test {

class PtyHarness {
public:
    // One action of a reply script, run on the responder thread in order.
    struct Step {
        enum Kind { Send, Pause, HangUp };
        Kind kind = Send;
        QByteArray bytes;
        int ms = 0;
    };
    using Script = QList<Step>;
    static Step Send(const QByteArray& bytes) { return {Step::Send, bytes, 0}; }
    static Step Pause(int ms) { return {Step::Pause, {}, ms}; }
    static Step HangUp() { return {Step::HangUp, {}, 0}; }
    // bytes in parts with a pause between them (a reply that arrives in pieces)
    static Script Split(const QList<QByteArray>& parts, int pauseMs);

    // Maps one received telegram (terminator included) to the reply script; an empty
    // script is silence.
    using Rule = std::function<Script(const QByteArray& telegram)>;

    static constexpr int kInterCharacterTimeoutMs = 50;

    PtyHarness();
    virtual ~PtyHarness();
    PtyHarness(const PtyHarness&) = delete;
    PtyHarness& operator=(const PtyHarness&) = delete;

    bool isValid() const { return master_ >= 0 || hungUp_; }
    QString slavePath() const { return slavePath_; }

    void start();
    void stop(); // joins the responder; derived classes call it first in their destructor

    // Scripting, thread-safe. Expectations are served in order before the rule: the next
    // expect.size() bytes must equal expect (a mismatch is counted and gets no reply).
    void expect(const QByteArray& telegram, const Script& reply);
    void expect(const QByteArray& telegram, const QByteArray& reply) { expect(telegram, {Send(reply)}); }
    // Telegrams end with terminator (empty: each read is one telegram).
    void setRule(const QByteArray& terminator, Rule rule);
    void clearScript();
    int pendingExpectations() const;
    int mismatches() const;

    // Writes to the master at once; false after a hang-up.
    bool send(const QByteArray& bytes);
    // Closes the master: the device is gone.
    void hangUp();
    bool hungUp() const { return hungUp_; }

    QByteArray transcript() const;       // every byte received, in order
    QList<QByteArray> telegrams() const; // the units consumed by expectations and rules
    void clearTranscript();
    // Blocks the calling thread until the transcript holds at least n bytes.
    bool waitForBytes(qsizetype n, int timeoutMs) const;
    // The input forgotten after a quiet line, in order.
    QByteArray droppedInput() const;
    // Forgotten input is expected (another family's probe, a device tried by hand): the
    // test does not fail on it.
    void allowDroppedInput() { droppedAllowed_ = true; }

protected:
    // Called on the responder thread with the received bytes not yet consumed; returns
    // how many of them it consumed (0: wait for more). Default: expectations, then rule.
    virtual qsizetype onBytes(const QByteArray& buffer);
    // Runs a reply script on the responder thread.
    void run(const Script& script);
    void recordTelegram(const QByteArray& telegram);
    bool stopping() const { return stop_; }
    // Sleeps on the responder thread; returns early (false) when the harness stops.
    bool pause(int ms);

private:
    void loop();
    void closeMaster();

    int master_ = -1;
    int slaveKeep_ = -1; // keeps the pty alive while the program has the slave closed
    int wakeFd_ = -1;
    QString slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> hangUpRequested_{false};

    mutable std::mutex writeMutex_;
    mutable std::mutex mutex_; // script and transcript
    mutable std::condition_variable changed_;
    std::deque<std::pair<QByteArray, Script>> expectations_;
    QByteArray terminator_;
    Rule rule_;
    int mismatches_ = 0;
    QByteArray transcript_;
    QList<QByteArray> telegrams_;
    QByteArray dropped_;
    std::atomic<bool> droppedAllowed_{false};
    QByteArray pending_; // responder thread only
};

} // namespace orvid::test
