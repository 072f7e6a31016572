#pragma once
// The telegram layer of microwave system L in its text protocol (system entry 7), without
// widgets: the window state the telegrams are built from, the command transaction with
// repetition (LKRead), recognition, the tag configuration, reads in three modes with
// their display, the write and its progress, the configuration listing, and the unit's
// outputs and inputs.
//
// The wire is system R's: a command is letters, a parameter, "#" CR; a reply a status
// digit ("0" = good), data, "#" CR. Its cut replies and status texts are handled by the
// same code (HashCrWire.h). Tag memory is addressed in 4-byte words; the user works with
// byte addresses and lengths.
//
// The window (frmSystemL) owns it and forwards what the link calls; it reads and sets
// the public fields (change StartAddress/DataLength through PutData, which keeps
// StartWord/WordCount in step). Each device action the window starts runs in an
// ExchangeScope of Exchanges().

#include "WLSettings.h"
#include "families/common/FamilyProtocol.h"
#include "families/common/HashCrWire.h"
#include "families/common/LinkWatch.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace orvid {

// The data items of entry 7.
namespace WLItem {
enum : int16_t {
    OperationMode = 100,       // 0 Single, 1 Buffered, 2 Auto
    StartAddress = 101,        // 0..65535
    DataLength = 102,          // 0..999
    DataRepresentation = 103,  // 0 ASCII, 1 hex, 2 decimal
    Frequency = 400,           // channel text "01".."99"
    Range = 401,               // 1..4
    BitRate = 402,             // 1 low, 2 high
    TagSpeed = 403,            // 1..2
};
} // namespace WLItem

// The unit's three inputs and two outputs as a "GI" reply tells them.
struct WLIOState {
    std::array<bool, 3> inputs{};
    std::array<bool, 2> outputs{};
};

// What the telegram layer needs of its window besides the data list.
class IWLView : public virtual IFamilyView {
public:
    // Appends text to the line of the data list added last (nothing when it is empty).
    virtual void AppendToLastLine(const QByteArray& text) = 0;
    // The write buttons off while a write's progress runs, on again when it ends.
    virtual void SetWriteRunning(bool running) = 0;
    // The I/O window is loaded and refreshes automatically.
    virtual bool IOAutoRefresh() const = 0;
    // Reads the inputs into the I/O window (the window's InputSet).
    virtual void RefreshInputs() = 0;
    // Characters that fit one line of the data list.
    virtual int LineWidth() const = 0;
};

class WLProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemL";   // language section
    static constexpr int16_t kSystemEntry = 7;
    static constexpr int kMaxWords = 255;        // a write's word count is one byte
    static constexpr int kMaxLength = 999;       // the length box's three digits
    static constexpr int kWriteTicks = 20;       // poll ticks a write's progress lasts
    static constexpr int kMaxListingLines = 1000;

    explicit WLProtocol(AppContext& ctx, IWLView* view = nullptr);
    void setView(IWLView* view)
    {
        view_ = view;
        FamilyProtocol::setView(view);
    }

    // ---- framing and status --------------------------------------------------------------
    // The "#" CR wire's framing and reply result, as system R's.
    static QByteArray SetLKString(const QByteArray& command, const QByteArray& parameter)
    {
        return HashCrTelegram(command, parameter);
    }
    static int16_t GetLKResult(QByteArray& reply, int16_t length) { return HashCrResult(reply, length); }
    // "STATUS: 5 - Lese-/Schreibfehler"; "ERROR_QTB_<code>" of section frmSystemL first.
    QString GetError(const QByteArray& reply, bool withPrefix = true) const;

    // ---- link operations -----------------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    QString PollStep(const QVariant& a, const QVariant& b) override;
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    QString StatusLine(const QByteArray& reply) const override { return GetError(reply); }
    void StopBuffered() override;
    // A Buffered read repeats on the unit until "QU": its replies the link meets before
    // and in another telegram's answer are listed here (HashCrRepeatingRead).
    bool ReadRunning() const override { return bufferedRead_.Running(); }
    bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer) override;
    void CloseLK() override;
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;

    // ---- exchanges -----------------------------------------------------------------------
    // One command with repetition: an error status is sent again until MaxRetries
    // telegrams went out; data, a bare "0" and silence end it at once. Returns the
    // GetLKResult value of the last reply (0 also for no reply).
    int16_t LKRead(const QByteArray& command, QByteArray& reply, const QVariant& logOption = QVariant());
    int16_t LKRead(const QByteArray& command) { QByteArray r; return LKRead(command, r); }
    // "QU", "CM", "MI", "TC030,<rate>,C00".
    void SetTagConfig(const QVariant& logOption = QVariant());
    // The configuration, then the read telegram without waiting (Poll takes the reply).
    void ReadDataExt(bool dataRead, int16_t mode, int startWord, int wordCount,
                     const QVariant& logOption = QVariant());
    // One read from the fields, its first reply awaited up to 5 s; a Buffered read leaves
    // the poll timer collecting the further replies.
    void ReadData(bool dataRead);
    // One poll step: a running write's progress, a continuous read's reply, then the
    // inputs of the I/O window. wait: called by ReadData for the first reply. Returns the
    // last line shown when wait is set. A write's progress counts 19 ticks without an
    // error reply as success - only while the port is open: a port that fails or closes
    // meanwhile ends it at once as a failed write.
    QByteArray Poll(bool show = true, bool wait = false);
    // Configuration and "SW" with data padded to whole words; the poll timer then shows
    // the progress. False, and nothing sent, when the data does not fit one telegram or
    // holds "#" CR; a "SW" the unit refuses is listed as a failed write (true: it went out).
    bool WriteTag(int16_t intervalType, int16_t intervalLength, QByteArray data);
    // The reader's configuration listing: "LS", then every further line until the unit
    // stays silent for a second (CR LF lines; protocol and time-out restored after).
    void ListConfiguration();
    // "DO000000<o2><o1>".
    void OutputSet(bool output1, bool output2);
    // "GI": the state, or nothing without a good reply of at least 16 characters.
    std::optional<WLIOState> InputSet();
    // Keeps the poll timer running while flag, the I/O window's automatic refresh or a
    // continuous read needs it. scanState: sets ScanActive first.
    void ScanEnable(bool flag, std::optional<bool> scanState = std::nullopt);

    // The lines a data reply shows: skip bytes passed over, then at most length bytes;
    // a fixcode has no address and is shown whole (skip and length do not apply), as text (rep 0; codes below 32 as code + 161), hex
    // (rep 1, "41 ") or decimal (rep 2, "065 "), a new line before a character that would
    // reach lineWidth columns. Bytes in the list's Windows-1252.
    static QList<QByteArray> FormatData(const QByteArray& data, int skip, int length, bool fixcode, int rep,
                                        int lineWidth);
    static int WordsFor(quint16 address, int length) { return ((address & 3) + length + 3) / 4; }

    void LoadSettings();
    void SaveSettings() const;
    int ExpectedReplyLength() const { return expectedReply_; }

    // ---- window state --------------------------------------------------------------------
    int16_t OperationMode = 0;
    quint16 StartAddress = 0;     // unsigned: 8000..FFFF are ordinary addresses
    quint16 StartWord = 0;
    int DataLength = 0;
    int WordCount = 0;
    int16_t DataRepresentation = 0;
    QString Frequency = QStringLiteral("50");
    int16_t Range = 4;
    int16_t BitRate = 2;
    int16_t TagSpeed = 2;
    int16_t MaxRetries = 2;
    bool FixcodeMode = false;
    bool ScanActive = false;
    int16_t WriteProgress = 0;
    QString NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    QString StatusPrefix = QStringLiteral("STATUS:");
    QString WriteActiveText = QStringLiteral("Tag schreiben aktiv");
    QString WriteDoneText = QStringLiteral("Tag erfolgreich beschrieben");
    QString WriteErrorText = QStringLiteral("Tag Schreibfehler");

protected:
    void telegramGoingOut() override { replies_.Drop(); }

private:
    int16_t receiveReply(QByteArray& reply, int expectedData, const QVariant& logOption);
    // One reply of the read taken and listed (show) as the poll step lists it; the last
    // line it gives.
    QByteArray showReading(bool show, const QVariant& logOption);
    void writeFailed(const QByteArray& statusReply);
    // Ends a running write's progress: its buttons on again.
    void endWrite();
    // endWrite, and the poll timer as others need it.
    void finishWrite();
    // The port failed under a running write: nothing the unit says can reach the program.
    void linkLost();
    QByteArray configTelegramCM() const;

    IWLView* view_ = nullptr;
    HashCrReplies replies_;
    HashCrRepeatingRead bufferedRead_;
    int expectedReply_ = 0;
    LinkWatch link_;
};

} // namespace orvid
