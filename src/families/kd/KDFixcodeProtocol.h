#pragma once
// The telegram layer of the inductive system D fixcode unit (system entry 4), without
// widgets: up to four read heads that read the fixed codes of code carriers.
//
// The wire: a command is printable text and CR LF ("RST", "VER", "SD", and the reads
// "R", "AR", "CAR", "BAR" followed by the head "1".."4" or "X", "," and the data format
// "10" or "28"); a reply is one line up to CR LF, without check character. A reply line
// that names a status ("E2", "M7" ...) is a status line, any other line is data.
//
// How the window (frmSystemKDFixcode) uses it
// -------------------------------------------
// - The window owns it and forwards what the link calls; its data lines and status lines
//   go to the window's ShowData (kind 2 with the head label as caption, kind 1 a text).
// - A read the window starts runs in an ExchangeScope (polling suspended: ReadData
//   switches it on for the modes that keep replying). Stop: the window clears AutoRepeat
//   and switches polling off at once and asks the gate for StopBuffered; an Auto re-arm
//   that is waiting when Stop comes sends nothing more. Every "RST" takes its answer off
//   the line, whatever the unit puts in it (sendDeviceStop).
// - Fields are public and named as the window state is named.

#include "families/common/FamilyProtocol.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid {

class KDFixcodeProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemKDFixcode";   // language section
    static constexpr const char* kSettings = "OrvidKDFixcode";
    static constexpr const char* kTypeDVN = "DVN-LRS2-4NWZ/DVN-LRB6-4NWZ";
    static constexpr const char* kTypeDRN = "DRN-LRS2-4.4Q/DRN-LRB6-4.4Q";

    explicit KDFixcodeProtocol(AppContext& ctx, IFamilyView* view = nullptr);
    using FamilyProtocol::setView;

    // ---- link operations ------------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    QString PollStep(const QVariant& show, const QVariant& forced) override;
    void CloseLK() override;
    // "RST": ends a running read at the unit.
    void StopBuffered() override;
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;
    // command & suffix; remembers the command (upper case) for the VER reply.
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    // After "VER" the unit sends two lines: the second is read and joined with CR LF.
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    QString StatusLine(const QByteArray& reply) const override { return GetError(reply); }

    // ---- reads ----------------------------------------------------------------------
    // "R1,10" ... "BARX,28".
    static QByteArray ReadCommand(int mode, int head, int dataFormat);
    // "RST", "SD" when double-sided, then the read without waiting. True when the mode
    // keeps replying (Auto, Continuous, Buffered), so polling must run. A Stop that came
    // while "RST" or "SD" waited ends it there: nothing more is sent and false returned.
    bool ReadDataExt(int mode, int head, int dataFormat, int doubleSided);
    // The read button: ReadDataExt with the fields, polling as its result, one receive.
    void ReadData();
    // One receive: an Auto read is re-armed first, then the line is listed.
    void Poll(bool show = true, bool forced = false);
    // A read that keeps sending lines (Auto, Continuous, Buffered, and a Single read's one
    // line) has them taken by the link before its next telegram, and listed.
    bool ReadRunning() const override { return !readRunning_.isEmpty(); }
    bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer) override;
    // "R1,10" ... "BARX,28": a read of codes (not "RST").
    static bool IsRead(const QByteArray& command);
    // "STATUS:  M7 - Kein Datenträger vorhanden" for a status line, empty for data.
    QString GetError(const QByteArray& line) const;
    static QString BuiltinStatusText(const QByteArray& line);

    // The "OrvidKDFixcode" settings: all four (the window's close) or all but
    // DoubleSided (CloseLK).
    void LoadSettings();
    void SaveSettings(bool withDoubleSided);

    // ---- window state ---------------------------------------------------------------
    int16_t DataFormat = 0;
    int16_t OperationMode = 0;
    int16_t HeadNumber = 0;
    int16_t DoubleSided = 0;
    int16_t LastHead = 0;
    bool AutoRepeat = false;
    QByteArray LastCommand;
    QString HeadLabel = QStringLiteral("KOPF");
    QString StatusLabel = QStringLiteral("STATUS: ");

private:
    // "RST", its answer taken off the line (past the lines of a read it ended).
    void reset();
    // Lists one line of the read; rearmNow: an Auto read is armed again at once (else by
    // the next poll step).
    void takeLine(const QByteArray& line, bool show, bool rearmNow);

    QByteArray readRunning_;   // the read last sent while lines of it may still come
    ReadEcho lastLine_;        // the last code listed
    bool rearmDue_ = false;    // an Auto read's line was taken; not armed again yet
};

} // namespace orvid
