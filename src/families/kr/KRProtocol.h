#pragma once
// The telegram layer of the inductive system R (system entries 2: heads QTR-AX and QTB-A3,
// 3: head QTR1-AX), without widgets. It holds the window state the telegrams are built
// from and runs every exchange through the device link (ctx.lk, ctx.ports).
//
// The wire: a command is two letters, a parameter (may hold any byte), "#" and CR; a
// reply is a status digit ("0" = good), data bytes, "#" and CR. Tag memory is addressed in
// 4-byte words; the user works with byte addresses and lengths.
//
// How the window (frmSystemKR) uses it
// ------------------------------------
// - KRProtocol is a FamilyProtocol: the window (a FamilyForm) owns it and forwards what
//   the link calls (Check, Init, PollStep, CloseLK, StopBuffered, PutData/GetData,
//   BuildTelegram = SetLKString after dropping kept replies, ReplyResult = GetLKResult).
//   The window adapts its controls after PutData(KRItem::Tagcode) and answers
//   ModeFrameEnabled / HeadFrameVisible itself.
// - Fields are public and named as the window state is named; the window reads and sets
//   them directly (Tagcode, OperationMode, DataRepresentation, PasswordFlag, HeadNumber,
//   AutoSRLength, AutoRead, NoHeadText, StatusPrefix ...). StartAddress/StartWord and
//   DataLength/WordCount belong together: change them through PutData(StartAddress /
//   DataLength).
// - LoadSettings() reads KRSettings into the fields (the window calls Fill afterwards);
//   CloseLK() writes them back; the window's close writes the head number.
// - Device actions the window starts run inside an ExchangeScope of Exchanges(); a Stop
//   goes through Exchanges().RequestStop so its "QU" never flushes a waiting reply.
// - Configuration words and the tag password have their exchanges here
//   (ReadConfiguration, WriteConfiguration, ChangePassword): a word is read to its known
//   length, so a "#" CR inside it does not cut it.
// - All device texts are bytes (QByteArray, one byte per character). Status texts are
//   QString; ShowData takes Windows-1252 bytes (ToCp1252).

#include "KRSettings.h"
#include "families/common/KRConfigWord.h"
#include "families/common/FamilyProtocol.h"
#include "families/common/HashCrWire.h"
#include "foundations/Menues.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>

namespace orvid {

struct AppContext;

// What the telegram layer needs of its window besides the data list, the busy cursor
// and Loaded (IFamilyView; data lines: kind 1 a text line, kind 2 tag data rendered in
// the list's current representation, caption empty).
class IKRView : public virtual IFamilyView {
public:
    // chkPasswort ticked, and the text of txtPasswort(0).
    virtual bool PasswordChecked() const = 0;
    virtual QString PasswordText() const = 0;
    // Adds the tag types of the current head variant to cmbCode (KRWindowExtraTagTypes).
    virtual void FillTagCodes() = 0;
};

class KRProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemKR";    // language section
    static constexpr const char* kSettings = KRSettings::kSection;
    static constexpr int kMaxWords = 255;                     // words in one telegram
    static constexpr int kFixcodeLength = 5;                  // bytes of a fixcode

    // Command letters; empty until Init. Index = operation mode 0 Single, 1 Buffered,
    // 2 Auto, 3 Enhanced.
    struct Commands {
        QByteArray Version, Quit, ChangeTag, DisplayMode, PasswordMode, PasswordSet,
            PasswordChange, GetConfig, SetConfig;
        std::array<QByteArray, 4> ReadData, WriteData, ReadFixcode, WriteFixcode;
    };

    static constexpr int kConfigWordBytes = krconfig::kWordBytes;

    explicit KRProtocol(AppContext& ctx, IKRView* view = nullptr);
    void setView(IKRView* view)
    {
        view_ = view;
        FamilyProtocol::setView(view);
    }

    // ---- framing (no state) ---------------------------------------------------------
    // command & parameter & "#" & CR
    static QByteArray SetLKString(const QByteArray& command, const QByteArray& parameter);
    // Status digit 0: strips it, returns length - 1. Other digit d: returns -d and leaves
    // the reply. A first byte that is not a digit counts as status 0. length <= 0 passes.
    static int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption = QVariant());

    // ---- link operations ------------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    Menues CommandList() const override { return commandList_; }
    QString PollStep(const QVariant& a, const QVariant& b) override;
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    QString StatusLine(const QByteArray& reply) const override { return GetError(reply); }
    // One poll step. display: show what arrives; direct: called by the window itself (no
    // automatic cycle, WriteBusy ignored). With display false the data bytes are returned.
    QByteArray Poll(bool display = true, bool direct = false);
    QByteArray Poll(const QVariant& display, const QVariant& direct);
    void StopBuffered() override;
    void CloseLK() override;
    // The automatic cycle's read sent by the last poll step, its answer not taken yet.
    int ReplyOwed() const override;
    void OwedReply(QByteArray& reply, int16_t length) override;
    // A Buffered or Enhanced read the window started repeats on the head until "QU"; a
    // read whose answer did not come in its time may still answer.
    bool ReadRunning() const override { return repeatingRead_.Running() || overdue_; }
    bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer) override;

    // ---- reads and writes -----------------------------------------------------------
    // One read from the fields: data words (dataRead) or the fixcode. Refusals: message
    // 40 (data read of QTX02), 41 (fixcode read of QTX01). An Auto read no tag answered
    // is ended on the head ("QU").
    void ReadData(bool dataRead);
    // QU, password block, CT, then the read telegram without waiting (Poll takes the
    // reply). False (and nothing read) when the word count is above kMaxWords or the
    // password is not a hexadecimal number.
    bool ReadDataExt(bool dataRead, int16_t mode, int16_t tagCode, int startWord, int wordCount,
                     bool logFlag, const QByteArray& head);
    // Read, merge and write tag words, or a QTX10 fixcode (fixcode and tagCode 10).
    // Nothing is written unless the words around the data were read back completely;
    // every failure is reported (message 4, and the device's status line when it sent one).
    // A fixcode is exactly the given bytes filled up with NUL to five, never bytes of the
    // tag memory; more than five bytes are refused before anything is sent. A Buffered or
    // Auto write left without its answer is ended on the head ("QU") before it is
    // reported, so the head does not carry it out on the next tag; its own answer coming
    // just after its time, ahead of the stop's, decides the outcome (the same for the
    // QTX11/QTX14 fixcode below).
    bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& head);
    // QTX11/QTX14 fixcode: fixcode letters, "02" (write-protected) or "11", "05", the first
    // five bytes of fixcode filled up with NUL.
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode);
    // "STATUS: 5 - Kein Tag im Lesebereich" for a reply starting with "5"; the language
    // file's "ERROR_QTB_<code>" in section frmSystemKR replaces the built-in text. Empty
    // for other codes. Without prefix the line begins with the blank.
    QString GetError(const QByteArray& reply, bool withPrefix = true) const;
    // "PM1" and "PS" with the password (32-bit, least significant byte first) when the
    // password box is ticked and the tag type is QTX03, else "PM0". False, with nothing
    // sent and a line in the data list, when the password text is not 1..8 hex digits.
    bool SetPasswordMode(bool logFlag, const QByteArray& head);

    // ---- configuration words and the tag password -----------------------------------
    // Reads both words ("QU", password block, "CT", "SG2", "SG1"); a word is empty when it
    // was not read whole. cut: a good answer did not hold a whole word. False when the
    // sequence could not start (password invalid). A refusal shows the device's status
    // line when the user wants the head's errors.
    bool ReadConfiguration(QByteArray& controlWord, QByteArray& protectionWord, bool* cut = nullptr);
    // Writes both words when both hold four bytes ("SC1" then "SC2"); otherwise nothing is
    // sent and message 61 says why. A word the device refuses is reported (status line,
    // message 4); the second word is written even when the first was refused.
    bool WriteConfiguration(const QByteArray& controlWord, const QByteArray& protectionWord);
    // "CT" and "PC" with the old and the new password (32-bit, least significant byte
    // first). True when the tag took the new one; a refusal is always reported.
    bool ChangePassword(quint32 oldValue, quint32 newValue);

    // ---- helpers for the window -----------------------------------------------------
    // SendCommand for a reply of known data length (configuration words: 4): a "#" CR
    // inside the data does not end the reply. Returns as LK::SendCommand does.
    int16_t SendCommandExpect(const QByteArray& command, QByteArray& reply, int expectedData,
                              const QVariant& logOption, bool& ok);
    // Receives one reply; with expectedData > 0 a good reply ("0" first) shorter than that
    // is continued past its "#" CR, but only with pieces that make up exactly the expected
    // data length: pieces that do not (a reply that really was short, followed by the
    // next repetition of a Buffered read) are kept and handed out as the next replies.
    // Returns the received length (0: nothing), as Ports::ReceiveTelegram does.
    int16_t ReceiveReply(QByteArray& reply, int expectedData, const QVariant& logOption);
    // Forgets replies kept for later: every telegram sent flushes the input, so they are
    // stale once the next one goes out (the window calls it from SetLKString).
    void DropKeptReplies() { replies_.Drop(); }
    // Counts Stop requests (btStop, closing the window): a read or exchange that was
    // running when Stop came must not switch polling or the automatic read on again.
    void NoteStop() { Exchanges().NoteStop(); }
    int StopCount() const { return Exchanges().StopCount(); }
    // Data items OperationMode..HeadNumber (KRItem); false for any other id (value
    // untouched).
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;
    // Reads the "OrvidKR" settings into the fields; SaveHeadNumber writes HeadNumber.
    void LoadSettings();
    void SaveHeadNumber();
    const Commands& cmd() const { return cmd_; }
    // The last reply Poll received (bytes as received, status digit included).
    QByteArray LastReply() const { return lastReply_; }
    // The expected data length of the reply to the read last sent (0: unknown).
    int ExpectedReplyLength() const { return expectedReply_; }
    // Number of words covering length bytes from a byte address.
    static int WordsFor(quint16 address, int length) { return ((address & 3) + length + 3) / 4; }

    // ---- window state ---------------------------------------------------------------
    int16_t Tagcode = 0;
    int16_t OperationMode = 0;
    quint16 StartWord = 0;
    quint16 StartAddress = 0;       // unsigned: addresses 8000..FFFF are ordinary addresses
    int WordCount = 0;
    int DataLength = 0;
    int16_t DataRepresentation = 0;
    bool FixcodeRead = false;
    bool WriteBusy = false;
    bool PasswordFlag = false;
    QString HeadNumber = QStringLiteral("1");
    int16_t AutoSRLength = 0;
    int16_t AutoDataRepRead = -1;
    int16_t AutoDataRepFixed = -1;
    bool AutoRead = false;
    int16_t AutoToggle = 0;
    QByteArray CurrentCommand;
    QString NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    QString StatusPrefix = QStringLiteral("STATUS:");

protected:
    void telegramGoingOut() override { replies_.Drop(); }

private:
    // "QU", its answer taken off the line; the frames ahead of it go to ahead (when given).
    // lateAnswerMayCome: see FamilyProtocol::sendStop.
    bool stopHead(QList<QByteArray>* ahead = nullptr, bool lateAnswerMayCome = false);
    // A Buffered or Auto command that got no answer may still be held by the
    // head (an Auto command waits for a tag and is carried out when one comes): "QU" ends
    // it before the outcome is reported. The command's own answer may still come just
    // ahead of the stop's: true when it was a good one (the command was carried out);
    // otherwise answer holds the status it sent (empty when none came).
    bool endUnanswered(int16_t mode, QByteArray& answer);
    // "QU", password block and "CT" before a configuration exchange; false when the
    // password is invalid (reported, nothing further sent).
    bool selectTagForConfiguration();
    int16_t readWord(const QByteArray& command, QByteArray& word, bool& answered);
    bool writeWord(const QByteArray& command, const QByteArray& word);
    void showStatus(const QByteArray& reply);
    // A frame of the read taken elsewhere, listed as Poll lists it.
    void listFrame(const QByteArray& frame);

    IKRView* view_ = nullptr;
    Commands cmd_;
    Menues commandList_;

    QByteArray lastReply_;
    int expectedReply_ = 0;
    // A read sent without waiting whose answer no receive has taken yet (due within the
    // time-out then).
    AnswerDue readAnswer_;
    HashCrReplies replies_;      // keeps the pieces of cut replies that were no continuation
    // A Buffered or Enhanced read repeating on the head; a read sent without waiting got
    // no answer in its time.
    HashCrRepeatingRead repeatingRead_;
    bool overdue_ = false;
};

} // namespace orvid
