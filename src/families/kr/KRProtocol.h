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
// - The window owns one KRProtocol, constructed with the application context and the
//   window as its IKRView (below). The window itself is the ISystemForm the link
//   registers for entries 2 and 3; it forwards:
//       CommandList()  -> CommandList()
//       Check()        -> Check()
//       Poll(a, b)     -> QString::fromLatin1(Poll(a, b))        (the QVariant overload)
//       CloseLK()      -> CloseLK()      (the window then writes nothing else; HeadNumber
//                                         is written by its close handler: SaveHeadNumber)
//       Init(bool)     -> Init()
//       SetLKString    -> SetLKString,  GetLKResult -> GetLKResult,  StopBuffered -> ...
//       PutData(id, v) -> PutData(id, v) first (ids 100..106 change the fields below),
//                         then the window adapts its controls (104: password/config
//                         controls, tag 10 fixes address 0 and length 12 through
//                         LkPutData(101/102); 108/109 are the window's own answers)
//       GetData(id, v) -> GetData(id, v) answers 100..106 and leaves other ids alone
//   and implements ITagWriter / IQTX11FixcodeWriter (families/kr/TagWriters.h) by
//   forwarding to WriteTag / WriteQTX11Fixcode, so the write dialogs find them.
// - Fields are public and named as the window state is named; the window reads and sets
//   them directly (Tagcode, OperationMode, DataRepresentation, PasswordFlag, HeadNumber,
//   AutoSRLength, AutoRead, NoHeadText, StatusPrefix ...). StartAddress/StartWord and
//   DataLength/WordCount belong together: change them through PutData(101/102).
// - LoadSettings() reads the "OrvidKR" section into the fields (the window calls Fill
//   afterwards); CloseLK() writes it back.
// - Buttons: btRead -> ReadData(true) (the window switches polling off first and guards
//   re-entry); btFixcode -> ReadData(false); btStop -> NoteStop(), EnablePolling(false),
//   AutoRead = false, StopBuffered() (once the link is free: never inside a running
//   wait); btAutoRead sets AutoRead, polling and items 101/102 as the window's part says;
//   the poll timer reaches Poll() through the link.
// - SetLKString of the window calls DropKeptReplies(): replies kept past a short one are
//   stale once a new telegram has flushed the input.
// - Configuration words: SendCommand(cmd().GetConfig + "2") etc. would cut a word holding
//   "#" CR; use SendCommandExpect(..., 4, ...) which keeps reading to the known length.
//   SetPasswordMode() sends the password block; GetError() turns a reply into a status line.
// - All device texts are bytes (QByteArray, one byte per character). Status texts are
//   QString; ShowData takes Windows-1252 bytes (ToCp1252).

#include "foundations/Menues.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>

namespace orvid {

struct AppContext;

// What the telegram layer needs of its window.
class IKRView {
public:
    virtual ~IKRView() = default;
    // One entry of the data list (ctrlList.ShowData): kind 1 a text line, kind 2 tag data
    // rendered in the list's current representation. caption is empty here.
    virtual void ShowData(int kind, const QByteArray& caption, const QByteArray& data) = 0;
    // chkPasswort ticked, and the text of txtPasswort(0).
    virtual bool PasswordChecked() const = 0;
    virtual QString PasswordText() const = 0;
    // Adds the tag types of the current head variant to cmbCode (KRWindowExtraTagTypes).
    virtual void FillTagCodes() = 0;
    // True once the window's load handler has run.
    virtual bool Loaded() const = 0;
    // Hourglass pointer on / off around device exchanges.
    virtual void SetBusy(bool busy) = 0;
};

class KRProtocol {
public:
    static constexpr const char* kSection = "frmSystemKR";    // language section
    static constexpr const char* kSettings = "OrvidKR";       // settings section
    static constexpr int kMaxWords = 255;                     // words in one telegram
    static constexpr int kFixcodeLength = 5;                  // bytes of a fixcode

    // Command letters; empty until Init. Index = operation mode 0 Single, 1 Buffered,
    // 2 Auto, 3 Enhanced.
    struct Commands {
        QByteArray Version, Quit, ChangeTag, DisplayMode, PasswordMode, PasswordSet,
            PasswordChange, GetConfig, SetConfig;
        std::array<QByteArray, 4> ReadData, WriteData, ReadFixcode, WriteFixcode;
    };

    explicit KRProtocol(AppContext& ctx, IKRView* view = nullptr);
    void setView(IKRView* view) { view_ = view; }

    // ---- framing (no state) ---------------------------------------------------------
    // command & parameter & "#" & CR
    static QByteArray SetLKString(const QByteArray& command, const QByteArray& parameter);
    // Status digit 0: strips it, returns length - 1. Other digit d: returns -d and leaves
    // the reply. A first byte that is not a digit counts as status 0. length <= 0 passes.
    static int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption = QVariant());

    // ---- link operations ------------------------------------------------------------
    void Init();
    bool Check();
    Menues CommandList() const { return commandList_; }
    // One poll step. display: show what arrives; direct: called by the window itself (no
    // automatic cycle, WriteBusy ignored). With display false the data bytes are returned.
    QByteArray Poll(bool display = true, bool direct = false);
    QByteArray Poll(const QVariant& display, const QVariant& direct);
    void StopBuffered();
    void CloseLK();

    // ---- reads and writes -----------------------------------------------------------
    // One read from the fields: data words (dataRead) or the fixcode. Refusals: message
    // 40 (data read of QTX02), 41 (fixcode read of QTX01).
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
    // tag memory; more than five bytes are refused before anything is sent.
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
    void DropKeptReplies() { kept_.clear(); }
    // Counts Stop requests (btStop, closing the window): a read or exchange that was
    // running when Stop came must not switch polling or the automatic read on again.
    void NoteStop() { ++stops_; }
    int StopCount() const { return stops_; }
    // The 32-bit value of a password text: 1..8 hex digits, blanks around allowed.
    static bool ParsePassword(const QString& text, quint32& value);
    // Data items 100..106; false for any other id (value untouched).
    bool PutData(int16_t id, const QVariant& value);
    bool GetData(int16_t id, QVariant& value) const;
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

private:
    int16_t sendCommand(const QByteArray& command, QByteArray& reply, const QVariant& logOption,
                        bool& ok);
    int16_t sendCommand(const QByteArray& command, const QVariant& logOption = QVariant());
    void sendOnly(const QByteArray& command, const QByteArray& parameter,
                  const QVariant& logOption = QVariant());
    void showLine(const QString& text);
    void showMessage(int16_t number);
    bool readHeadError() const;
    QString translate(const QString& key, const QString& text) const;
    void setBusy(bool busy);
    bool failWrite(const QString& reason, const QByteArray& statusReply);

    AppContext& ctx_;
    IKRView* view_ = nullptr;
    Commands cmd_;
    Menues commandList_;
    int16_t receiveFrame(QByteArray& into, const QVariant& logOption);

    QByteArray lastReply_;
    int expectedReply_ = 0;
    QList<QByteArray> kept_;     // replies received past the one asked for, oldest first
    int stops_ = 0;
};

} // namespace orvid
