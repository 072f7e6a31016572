#pragma once
// An interface unit with up to four channels, each with a head and a tag, on two fronts:
// a pseudo-terminal (text telegrams: command, channel, data, "#" CR) and loopback TCP
// (length-prefixed frames, and the unit's web page over HTTP).
//
// Behaviour where the unit's documentation leaves it open (chosen here):
// - VE: "00" + "ORVID HX-LM<suffix> V1.00" CR LF, then one reply per channel
//   "0<ch>HEAD <name>" (an empty name: no head). GS: "00MM:<n> TM1:<s><m> ... TM4:..".
// - Head commands carry a channel ("1".."4", "x": one reply per channel). A channel
//   without a tag answers "5"; unknown commands "4".
// - Words: SR/BR/AR/ER wwww cc: "0" + 4*cc bytes; SW/BW/AW/EW wwww cc + bytes store them.
//   B/A/E reads repeat every repeatMs until QU, on the front that started them (split like
//   every reply when split writes are on; a head set quietWithoutTag says nothing until
//   its tag is there). SF/BF/AF/EF: "0" + the fixcode.
//   SX/AX/BX/EX tt ll code store the fixcode (types 11, 02, 60, 52). SP/EP n code store the
//   special fixcode (n = 6) or the VNB code (n = E); SS/ES "6" or "0" answer them. SG1/SG2 read, SC1/SC2 + 4 bytes write the
//   configuration words; PM, PS, CT, QU, MM, TM answer "0"; PC old new changes the password
//   ("7" when old is wrong). RP "U" name 00 00 gives the parameter's value (RC, QV); WP
//   "U" name len value sets it; the other head parameters come from a table per channel
//   (status 4 for a name the head lacks), and WP RD restores the table's defaults.
// - Telegrams whose data holds raw bytes are cut by their length (SW.., PS, PC, SC, SX..,
//   RP, WP), so the data may hold "#" CR.
// - On TCP the same unit answers the frames; RP replies carry two extra bytes; status
//   byte 255 prefix frames and split writes can be switched on.
// - DIAGNOSE header: every reply header is 8 characters, the channel fifth.

#include "SimFaults.h"
#include "support/PtyHarness.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <array>
#include <memory>
#include <mutex>
#include <thread>
#include <condition_variable>

namespace orvid::test {

class TcpHarness;
struct TcpStep;

class SimHX : public PtyHarness {
public:
    struct Tag {
        bool present = true;
        int type = 3;
        QByteArray memory = QByteArray(0x10000, '\0');
        QByteArray fixcode = QByteArray("FIX01");
        QByteArray special = QByteArray("000000");
        QByteArray vnbCode = QByteArray(14, '\0');
        quint32 password = 0;
        QByteArray control = QByteArray(4, '\0');
        QByteArray protection = QByteArray(4, '\0');
        QByteArray rc = QByteArray(2, '\0');
        char qv = 'S';
        // A multi-tag head (qv 'M') answers a read with found records (at least one), then
        // "F" and the count in four hex digits. secondBurstMs > 0: the second half of them
        // (with the count) comes that much later.
        int found = 0;
        int secondBurstMs = 0;
        // A head that answers a continuous read only while a tag is in the field: without
        // one, a B/A/E read starts and stays silent until the tag comes.
        bool quietWithoutTag = false;
        // The head parameters besides RC and QV, in their wire forms; a name in missing
        // answers status 4 (the head lacks it). WP RD restores the defaults.
        QMap<QByteArray, QByteArray> params = DefaultParameters();
        QSet<QByteArray> missing;
        // A status on request, by command and name ("WPNC" -> 'A').
        QMap<QByteArray, char> paramStatus;
        static QMap<QByteArray, QByteArray> DefaultParameters();
    };
    struct Head {
        QByteArray name;
        Tag tag;
    };

    explicit SimHX(const QByteArray& model = "HX-LM4", int channels = 4);
    ~SimHX() override;

    // ---- unit (any thread) ---------------------------------------------------------------
    void setModel(const QByteArray& model, int channels);
    void setHead(int channel, const QByteArray& name);
    void setDiagnose(bool on);
    void setRepeatInterval(int ms);
    // Every answer to one head goes out behind a repeat of each other head still repeating.
    void setRepeatsAhead(bool on);
    // The trigger settings GS reports for sensor (1..4): source and mode digits ("20").
    void setTrigger(int sensor, const QByteArray& sourceAndMode);
    // A change to a channel's tag under the lock.
    void withTag(int channel, const std::function<void(Tag&)>& change);
    Tag tag(int channel) const;
    QByteArray memory(int channel, int address, int length) const;
    bool repeating() const;

    // ---- faults --------------------------------------------------------------------------
    void failNext(const QByteArray& prefix, char status, int times = 1);
    void silenceNext(const QByteArray& prefix, int times = 1);
    void delayNext(const QByteArray& prefix, int ms, int times = 1);
    void hangUpNext(const QByteArray& prefix);
    void setSplit(int pauseMs);
    // TCP: the next reply is preceded by a status-255 frame.
    void prefixNext(int times = 1);

    // ---- TCP front -------------------------------------------------------------------------
    // Starts the TCP front (frames) and the page server; 0 when they could not start.
    quint16 startNet();
    quint16 netPort() const;
    quint16 pagePort() const;
    QByteArray webPage() const;
    QList<QByteArray> netRequests() const;
    // The bytes the unit answers to one request frame (for a front of one's own).
    QByteArray netReply(const QByteArray& request);
    // The unit closes the connection (a cable pulled); its heads go on repeating on the next.
    void dropNet();

    // The telegrams received on the pseudo-terminal (terminator included).
    QList<QByteArray> received() const { return telegrams(); }

protected:
    qsizetype onBytes(const QByteArray& buffer) override;

private:
    struct Reply {
        QByteArray status;
        int channel;
        QByteArray data;
        int delayMs;
        bool hangUp;
    };
    qsizetype telegramLength(const QByteArray& buffer) const;
    QList<Reply> handle(const QByteArray& command, const QByteArray& channel, const QByteArray& data, bool net);
    Reply one(const QByteArray& command, int ch, const QByteArray& data, bool net);
    QByteArray serialText(const Reply& r) const;
    QByteArray frame(const Reply& r) const;
    void repeatLoop();
    QList<TcpStep> netScript(const QByteArray& request);

    mutable std::mutex m_;
    std::condition_variable changed_;
    std::thread repeater_;
    bool quit_ = false;
    QByteArray model_;
    int channels_ = 4;
    bool diagnose_ = false;
    int multiplexed_ = 0;
    std::array<QByteArray, 4> trigger_{"00", "00", "00", "00"};
    std::array<Head, 4> heads_;
    std::array<bool, 4> passwordMode_{};
    std::array<quint32, 4> sessionPassword_{};
    int repeatMs_ = 150;
    std::array<QByteArray, 4> repeatCommand_, repeatData_;
    std::array<bool, 4> repeatNet_{};
    SimFaultTable faults_;
    int prefixes_ = 0;
    bool repeatsAhead_ = false;
    std::unique_ptr<TcpHarness> net_, page_;
};

} // namespace orvid::test
