#pragma once
// A microwave system D unit (antennas 0 and 1) with several tags that come and go, on the
// master side of a pseudo-terminal.
//
// Wire: a telegram is "::" station head command "@@" CR; a reply is "::" station head
// payload and two trailing characters ("@@" unless changed), CR. The reply repeats the
// station and head digits of its telegram. Payloads: "#" + command number ... (good),
// "%" + command number + two-character error code, or the interim "$".
//
// ID codes: a tag's ID is a 32-bit number shown as 8 hex digits ("12345678"); on the wire,
// in commands and in replies alike, its four digit pairs are reversed ("78563412").
//
// Behaviour where the unit's documentation leaves it open (chosen here):
// - Telegrams that are not wrapped ("::" missing, no "@@") get no reply.
// - A head digit other than 0/1 gives error "16"; a head that is switched off
//   (setHeadConnected) gives "20" (head 0) or "21" (head 1) for every tag access.
// - "?70": "#70". "?16H": the type text, by default "#16WDN-S2-2NWZ 1.0" (18 characters).
//   "?73": "#73" + the unit-state character. "?72" + bits: stored, "#72" + the bits.
// - Tag selection by the access type F: 0 the first tag in the field, 1 the tag whose ID
//   is the given one, 2 the first tag whose ID differs. No such tag: "40".
// - "?10**" F AAAA LLLL "H" [ID]: "#10**" F AAAA LLLL "H" + the data as hex digits (the ID
//   is not repeated, so the data starts at position 16). A range past FFFF: "12".
// - "?12**" F "H" [ID]: "#12**" F "H" + the tag's ID in wire order.
// - "?20**" F AAAA LLLL "H" [ID] data: fewer or more data digits than LLLL bytes: "13";
//   a write-protected tag: "18"; past FFFF: "12"; else memory written and
//   "#20**" F AAAA LLLL "H".
// - "?22**" F "H" [ID] new ID (wire order): "18" when protected, else the tag takes the
//   new ID and the reply is "#22**" F "H" + the new ID.
// - Scan "?20**B00000001H" code "00": "#20**B00000001H" + code when a tag with that ID
//   (wire order) is in the field, else "40". "?20**C00000001H" code "00": another tag in
//   the field, taken in turn (each C request moves on, so every tag is named sooner or
//   later): "#20**C00000001H" + its ID in wire order; "40" when there is no other tag.
// - "?50**" F "0000" "0000" "H" [ID]: "#50**" F "00000000H" for a selected tag, else "40".
// - Every tag has 64 KiB of memory (0000..FFFF); its 14-byte state block lies at 8044:
//   month and year as two BCD bytes, then cycles, LED-off and LED-on milliseconds as 32-bit
//   values, least significant byte first.
// - Any other command: "17".
// - The interim "$" goes out before the result of the commands it is switched on for
//   (by default the tag accesses "10", "12", "20", "22" and "50"), ackDelay ms earlier.
// Faults: the next reply(s) to telegrams whose command starts with a prefix can be replaced
// by an error code, withheld or delayed; every reply can be split in two with a pause.

#include "sim/SimFaults.h"
#include "support/PtyHarness.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <mutex>

namespace orvid::test {

class SimWD : public PtyHarness {
public:
    static constexpr int kMemorySize = 0x10000;
    static constexpr int kStateBlock = 0x8044;

    SimWD();
    ~SimWD() override;

    // ---- tags (any thread) ---------------------------------------------------------------
    // Adds a tag with that ID (display order) to the field; returns its index.
    int addTag(quint32 id, bool present = true);
    void setTagPresent(int tag, bool present);
    void removeAllTags();
    quint32 tagId(int tag) const;
    void setTagId(int tag, quint32 id);
    void setTagProtected(int tag, bool on);
    void writeMemory(int tag, int address, const QByteArray& bytes);
    QByteArray readMemory(int tag, int address, int length) const;
    // month and year as two decimal digits each (stored as BCD bytes).
    void setStateBlock(int tag, int month, int year, quint32 cycles, quint32 ledOffMs, quint32 ledOnMs);
    static QByteArray wireId(quint32 id);   // "12345678" -> "78563412"

    // ---- unit ----------------------------------------------------------------------------
    void setTypeReply(const QByteArray& payload);   // the "?16H" payload as it stands
    void setUnitState(char state);                  // the 4th character of the "?73" reply
    QByteArray outputs() const;                     // the bits of the last "?72"
    void setHeadConnected(int head, bool on);
    // "$" before the result of this command number ("10", "12", "20", "22", "50", ...).
    void setInterim(const QByteArray& command, bool on);
    void setInterimAll(bool on);
    void setAckDelay(int ms);                       // between "$" and the result
    void setTrailer(const QByteArray& two);         // the two characters before CR

    // ---- faults --------------------------------------------------------------------------
    // prefix is matched against the command ("?10", "?20**C", "?73"); times < 0: always.
    void failNext(const QByteArray& prefix, const QByteArray& code, int times = 1);
    void silenceNext(const QByteArray& prefix, int times = 1);
    void delayNext(const QByteArray& prefix, int ms, int times = 1);
    void clearFaults();
    void setSplit(int pauseMs);                     // 0: whole replies

    // The commands received (unwrapped: without "::", station, head, "@@" and CR).
    QList<QByteArray> commands() const;
    void clearCommands();
    QList<QByteArray> commandsStartingWith(const QByteArray& prefix) const;

protected:
    qsizetype onBytes(const QByteArray& buffer) override;

private:
    struct Tag {
        quint32 id = 0;
        bool present = true;
        bool protectedTag = false;
        QByteArray memory;
    };
    // The payload answering command; empty: no reply.
    QByteArray handle(const QByteArray& command, char head);
    int selectTag(int accessType, const QByteArray& wire) const;   // -1: none
    QByteArray wrap(char station, char head, const QByteArray& payload) const;

    mutable std::mutex m_;
    QList<Tag> tags_;
    QByteArray typeReply_ = "#16WDN-S2-2NWZ 1.0";
    char unitState_ = '1';
    QByteArray outputs_;
    bool headOn_[2] = {true, true};
    QSet<QByteArray> interim_;
    int ackDelayMs_ = 20;
    QByteArray trailer_ = "@@";
    SimFaultTable faults_;   // error status (the two-character code), silence, delay; split
    int rotation_ = 0;
    QList<QByteArray> commands_;
};

} // namespace orvid::test
