#pragma once
// A system L reader in its framed protocol, on the master side of a pseudo-terminal, with
// its own frame encoder and decoder (not the program's).
//
// Wire: STX, address byte (bus address + 128 x toggle), body DLE-stuffed, XOR check
// (DLE-stuffed when special), ETX. The resync telegram ("~" SYN) restarts the toggle and is
// not answered. A reply echoes the request's address byte, carries the command's two
// letters as its header and 00 00 (7F FF: error) as status; only the data is stuffed.
// A repeated toggle gets the last reply again, unexecuted. Frames for another address are
// ignored (address 0 is a broadcast every reader answers); bytes outside a frame and frames
// with a wrong check are dropped.
//
// Behaviour where the reader's documentation is silent (chosen here):
// - "$" 04 01 "S": queues the parameter line ("$" and the 36 characters; in mode Normal a
//   report line and a "$Mov" line of 37 characters around it); "$" 05 answers the next
//   queued line, or no data. "$" 04 "$" + 36 characters: the new parameter string.
// - "QA": "ORVID\System L\FW 3.1\Rev 7\123456\". "KA"/"JA": a handle byte (0x21.. inputs,
//   0x31.. outputs). "KC" h: 00 when input h is on, 01 off. "JB" h v: output h := v;
//   "JC" h: its value. "KB": nothing.
// - Reader settings ("CA", "CC", "CD", "CG", "CT", "CS", "C\", "CV", "CX") kept. "CM":
//   reading on; "CN", "DB": off. "PA": with reading on and a tag present: 05, 00, c3..c6,
//   six 00, class, data; else 00.
// - "CP" + block: stores the tag's data and ID; the state byte of "CO" shows the writing
//   bit (20 hex) for writeTicks "CO" telegrams. "CO": error byte, state byte.
// - "FE"/"FF": 01 and the first/next ID of the database (4 bytes), 00 at the end; "FB" +
//   4 bytes + 00 00: add; "FC" + 4 bytes: delete. "QF": nothing. Anything else: 7F FF.
// Faults (SimFaults.h, key: the command's two letters; "$" commands "$"): status (7F FF,
// carrying the fault's status bytes as data),
// silence, delay, truncation, split; besides: a wrong toggle on the next replies (a repeat
// included, so a request can be done while both its replies are lost), a bad check on the
// next reply, a stale reply before the next, and an endless "FF" that repeats one ID.

#include "SimFaults.h"
#include "support/PtyHarness.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <mutex>
#include <optional>

namespace orvid::test {

class SimWL : public PtyHarness {
public:
    SimWL();
    ~SimWL() override;

    // The reader's encoder and decoder, for tests of the wire.
    static QByteArray EncodeFrame(quint8 address, const QByteArray& body, bool stuffBody = true);
    // The body of the first frame in buffer (address byte first), or nothing; consumed:
    // the bytes the frame took (0: incomplete). badCheck: the frame's check was wrong.
    static QByteArray DecodeFrame(const QByteArray& buffer, qsizetype& consumed, bool& badCheck);
    static QByteArray Reply(quint8 addressByte, const QByteArray& header, bool error, const QByteArray& data);

    void setBusAddress(int address);
    void setParameters(const QByteArray& parameters); // 36 characters
    QByteArray parameters() const;
    void setSilent(bool silent);       // answers nothing at all
    void setTag(bool present, quint32 id = 0, int dataClass = 0, const QByteArray& data = QByteArray());
    void setTagPresent(bool present);
    QByteArray tagData() const;         // what the last "CP" stored
    bool reading() const;               // "CM" on, "CN" or "DB" off
    void setInputs(bool in1, bool in2, bool in3);
    std::array<quint8, 2> outputs() const;
    void setStatus(quint8 error, quint8 state);
    void setWriteTicks(int ticks);
    void setDatabase(const QList<quint32>& ids);
    QList<quint32> database() const;
    void setEndlessNext(bool on);
    void setInfo(const QByteArray& info);
    // A line for the next "$" 05 (as the reader reports in mode Normal).
    void addLine(const QByteArray& line);
    // The next replies (to command only, when given; a repeat counts) carry the other
    // toggle; the next reply carries a wrong check; a stale reply goes first.
    void wrongToggleNext(int replies = 1, const QByteArray& command = {});
    void badCheckNext();
    void staleReplyNext();
    SimFaultTable& faults() { return faults_; }
    std::mutex& mutex() { return m_; }
    // The bodies received (address byte first, escapes removed), in order.
    QList<QByteArray> bodies() const;
    void clearBodies();

protected:
    qsizetype onBytes(const QByteArray& buffer) override;

private:
    QByteArray execute(const QByteArray& command, const QByteArray& parameter, bool& error);
    bool normalMode() const { return parameters_.startsWith("On"); }

    mutable std::mutex m_;
    int busAddress_ = 1;
    QByteArray parameters_;
    QList<QByteArray> lines_;
    bool silent_ = false;
    int lastToggle_ = -1;
    // The last reply's parts, sent again for a repeated toggle.
    struct Sent {
        quint8 address = 0;
        QByteArray header;
        bool error = false;
        QByteArray data;
    };
    std::optional<Sent> last_;
    bool tagPresent_ = false;
    quint32 tagId_ = 0;
    int tagClass_ = 0;
    QByteArray tagData_;
    std::array<bool, 3> inputs_{};
    std::array<quint8, 2> outputs_{};
    quint8 error_ = 0, state_ = 0;
    int writeTicks_ = 2, writing_ = 0;
    bool reading_ = false;
    QList<quint32> database_;
    qsizetype dbNext_ = 0;
    bool endless_ = false;
    QByteArray info_ = "ORVID\\System L\\FW 3.1\\Rev 7\\123456\\";
    int wrongToggle_ = 0;
    QByteArray wrongToggleCommand_;
    bool badCheck_ = false, stale_ = false;
    QList<QByteArray> bodies_;
    SimFaultTable faults_;
};

} // namespace orvid::test
