#pragma once
// The telegram layer of the inductive system D read/write unit (system entry 5), without
// widgets: up to four read/write heads that read the fixed code of NCX carriers and read
// and write the memory of the other carrier types.
//
// The wire: a telegram is the command text, an additive check character (the sum of the
// text's bytes modulo 256) and ETX; a reply has the same frame. The reply text is one
// character the program does not evaluate, a two-character status ("00" = no error) and
// the data; a reply to a command for all heads carries the head digit before the data.
//
// How the window (frmSystemKDReadWrite) uses it
// ---------------------------------------------
// - The window owns it and forwards what the link calls; it shows data and status lines
//   through the window's ShowData (kind 2 with the head label as caption, kind 1 a text).
// - Reads and writes run in an ExchangeScope that suspends polling: the layer switches it
//   on while replies are expected (all heads, Auto) and off when none is left.
// - Stop: the window switches polling off and asks the gate for StopBuffered ("q"); a
//   read or write whose preamble waits when Stop comes sends nothing more. Every "q" and
//   "o" takes its answer off the line, whatever the unit puts in it (sendDeviceStop).
// - StartAddress is unsigned: 8000..FFFF are ordinary addresses (a stored -1 is FFFF).

#include "KDWriteTarget.h"
#include "families/common/FamilyProtocol.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid {

class KDReadWriteProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemKDReadWrite";   // language section
    static constexpr const char* kSettings = "OrvidKDReadWrite";
    static constexpr const char* kType = "DVN-LRS2-4NWZ/DVN-LRB6-4NWZ";
    static constexpr int kMaxWriteLength = 255;       // the length field has two hex digits
    static constexpr int kMaxTimeout = 32767;         // ms
    static constexpr int kSilentPollsPerReply = 10;

    explicit KDReadWriteProtocol(AppContext& ctx, IFamilyView* view = nullptr);
    using FamilyProtocol::setView;

    // ---- link operations ------------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    QString PollStep(const QVariant& show, const QVariant& forced) override;
    void CloseLK() override;
    // "q" (its reply's check is not tested), its answer taken off the line past the
    // replies of what it ended.
    void StopBuffered() override;
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    int16_t ReplyResult(QByteArray&, int16_t length, const QVariant&) override { return length; }
    QString StatusLine(const QByteArray& reply) const override { return GetError(reply); }

    // ---- telegram fields ------------------------------------------------------------
    // The address in upper-case hex, at least 4 digits for tag code 3 (GMX-40), else 2;
    // longer values are written in full.
    static QByteArray AddressField(quint16 address, int tagCode);
    static bool AddressFits(quint16 address, int tagCode) { return tagCode == 3 || address <= 0xFF; }
    // "i1", "IX", "w2000A10", "W30010FF" ...
    static QByteArray ReadCommand(int mode, int head, quint16 address, int length, int tagCode);
    static QByteArray WriteCommand(int mode, int head, quint16 address, int tagCode, const QByteArray& data);
    // The time-out of a single-head write's first receive: max(kept, length x kept + 2),
    // at most kMaxTimeout.
    static int16_t WriteTimeout(int16_t kept, int length);

    // ---- reads and writes -----------------------------------------------------------
    // "q", "o", "d" & tag code, "b" when double-sided (each waiting), then the read
    // without waiting; polling on for Auto and for all heads. True when the read went
    // out: a Stop that came while the preamble waited ends it there, nothing more is sent.
    bool ReadDataExt(int mode, int head, quint16 address, int length, int tagCode, int doubleSided,
                     const QVariant& flag = QVariant());
    // The read button: ReadDataExt with the fields and one receive.
    void ReadData();
    // One write. Refused before anything is sent (message 20, false) when the address
    // does not fit its field or the data exceed kMaxWriteLength. The first reply is
    // received at once (listed whatever ReadHeadError says); further replies of a write
    // to all heads or an Auto write are collected by polling. A single-head Single write
    // answered with an error status or not at all is reported (message 4).
    KDWriteResult WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided, const QByteArray& data);

    enum class Received { Nothing, Data, Status, WriteOk };
    // One receive step (see the window's polling).
    Received Poll(bool show = true, bool forced = false);
    // Replies of a read or write still to come (all heads, Auto) are taken by the link
    // before its next telegram, and listed.
    bool ReadRunning() const override { return repliesMayCome_; }
    bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer) override;
    // "STATUS:03 - Kein Datenträger vorhanden", "SCHREIBEN:00 - OK" after a write, empty
    // for data (status 00 after a read is always data).
    QString GetError(const QByteArray& reply) const;
    static QString BuiltinStatusText(const QByteArray& status);

    // The "OrvidKDReadWrite" settings: all six (the window's close) or all but
    // DoubleSided (CloseLK).
    void LoadSettings();
    void SaveSettings(bool withDoubleSided);
    // A stored address: its number modulo 65536, so "-1" from an older file is FFFF.
    static quint16 AddressFromNumber(double value);

    // ---- window state ---------------------------------------------------------------
    int16_t OperationMode = 0;
    int16_t HeadNumber = 0;
    int16_t DataFormat = 0;
    quint16 StartAddress = 0;
    int16_t DataLength = 0;
    int16_t Tagcode = 0;
    int16_t DoubleSided = 0;

    int ExpectedReplies = 0;
    int16_t LastHead = 0;
    bool WritePending = false;
    int SilentPolls = 0;
    QByteArray LastCommand;
    QString HeadLabel = QStringLiteral("KOPF");
    QString StatusLabel = QStringLiteral("STATUS:");
    QString WriteLabel = QStringLiteral("SCHREIBEN:");

private:
    // "q" then "o", each answer taken off the line: false when a Stop came meanwhile.
    bool stopUnit(const QVariant& flag);
    // "q", "o", "d", "b": false when a Stop came meanwhile.
    bool preamble(int tagCode, int doubleSided, const QVariant& flag);
    void enablePolling(bool on);
    // Lists one reply as Poll does; rearmNow: an Auto read is armed again at once (else by
    // the next poll step).
    Received takeReply(const QByteArray& reply, bool show, bool rearmNow);

    bool repliesMayCome_ = false;   // a read or write sent whose replies may still come
    ReadEcho lastReply_;            // the last data reply listed
    bool rearmDue_ = false;         // an Auto read's reply was taken; not armed again yet
};

} // namespace orvid
