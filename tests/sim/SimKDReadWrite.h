#pragma once
// An inductive system D read/write unit (four read/write heads) on the master side of a
// pseudo-terminal.
//
// Wire: a frame is the text, an additive check character (sum of the text's bytes modulo
// 256) and ETX; an ETX ends a frame only where the check before it fits (an ETX inside
// the data is data). Replies have the same frame: the command letter, a two-character
// status ("00" good) and the data; a reply for all heads ("X") has the head digit first.
// Behaviour where the unit's documentation leaves it open (chosen here):
// - "q" stops a repeating command ("q00"); "o" resets ("o00"); both answer with the stop's
//   answer when one is set. "d" + tag code selects the carrier type ("d00"); "b"
//   double-sided ("b00"); "V": "V" + version text.
// - Per head a carrier: its tag code (0 NCX, 1 ZKX, 4 ZKX-1k, 3 GMX-40), its memory and,
//   for NCX, its 8-byte code. The address field has 4 digits after "d3", else 2.
// - "i"/"I" + head: the NCX code; "w"/"W" + head + address + length: memory; "k"/"K" +
//   head + address + length + data: writes memory, replies without data.
//   Status 01 unknown command or bad fields, 03 no carrier of the selected type under the
//   head, 09 address or length beyond the memory, 0A a head switched off.
// - Head "X": four replies, one per head, each with its head digit.
// - The Auto forms I, W and K repeat their replies every rate ms until "q".
// Faults: a status instead of the reply (prefix matched against the command text),
// silence, delay, a wrong check character on the next replies; replies may be split.

#include "sim/SimKDBase.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <chrono>
#include <optional>

namespace orvid::test {

class SimKDReadWrite : public SimKDBase {
public:
    SimKDReadWrite();
    ~SimKDReadWrite() override;

    static QByteArray Frame(const QByteArray& text);   // text + check + ETX

    // A carrier under head 0..3 (memory size by type: 256, 1024 for code 4, 8192 for 3).
    void setCarrier(int head, int tagCode, const QByteArray& ncxCode = QByteArray(8, '\0'));
    void removeCarrier(int head);
    void setHeadOn(int head, bool on);
    void writeMemory(int head, int address, const QByteArray& bytes);
    QByteArray memory(int head, int address, int length) const;
    // The next replies go out with a wrong check character.
    void corruptCheckNext(int times = 1);

protected:
    qsizetype onBytes(const QByteArray& buffer) override;

private:
    struct Carrier {
        int tagCode = 1;
        QByteArray memory;
        QByteArray ncx;
    };
    QList<QByteArray> replies(const QByteArray& text);   // under m_
    QByteArray headReply(char letter, int head, const QByteArray& body, bool all);   // under m_
    QList<QByteArray> frames(const QList<QByteArray>& texts);   // under m_
    void tick() override;

    std::array<std::optional<Carrier>, 4> carriers_;
    std::array<bool, 4> headOn_{true, true, true, true};
    int tagCode_ = 0;
    int corrupt_ = 0;
    std::optional<QByteArray> repeating_;   // the Auto command being repeated
    std::chrono::steady_clock::time_point due_;
};

} // namespace orvid::test
