#pragma once
// The telegram layer of microwave system L in its framed protocol (system entry 8),
// without widgets: the transaction with bus address, toggle bit and resync (LKRead), the
// recognition with the reader's parameter string and its two operating modes (Morsek and
// Normal), reading, writing and its progress, inputs, outputs and state, and the reader's
// ID-code database. Frames, replies and fields: WLFramedProtocol.h.
//
// One transaction at a time: a poll step does nothing while another exchange of this
// layer waits (the recognition included), so no nested transaction reuses the toggle.

#include "WLFramedProtocol.h"
#include "families/common/FamilyProtocol.h"
#include "families/common/LinkWatch.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace orvid {

struct WLWriteValues;

// The data items of entry 8: whole numbers kept for the link, with no effect on the
// telegrams; CloseLK writes three of them to the settings.
namespace WLFramedItem {
enum : int16_t {
    OperationMode = 200,
    FourthValue = 202, // stored only
    StartAddress = 203,
    DataLength = 204,
};
} // namespace WLFramedItem

// What the layer needs of its window besides the data list.
class IWLFramedView : public virtual IFamilyView {
public:
    // The mode the last parameter string gave (caption, reading buttons); the parameter
    // button on or off.
    virtual void ModeChanged(bool normalMode) = 0;
    virtual void SetParameterEnabled(bool enabled) = 0;
    // A running write's progress began (false: it ended).
    virtual void SetWriteRunning(bool running) = 0;
    // The ID of a reading taken for the database box.
    virtual void ShowDbCode(const QString& id) = 0;
    // "Code lesen" began or ended, whatever ended it (its button says which).
    virtual void DbCodeModeChanged(bool /*on*/) {}
    // The input/output or the state window is loaded and refreshes automatically: the poll
    // timer has to run for it.
    virtual bool AutoRefresh() const = 0;
    // Refreshes the small windows set to refresh automatically (inside a poll step).
    virtual void RefreshSmallWindows() = 0;
};

class WLFramedProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemWL";
    static constexpr const char* kSettings = "OrvidWL";
    static constexpr int16_t kSystemEntry = 8;
    static constexpr int kMaxDatabase = 10000; // a guess at the reader's capacity
    static constexpr int kWriteTicks = 20;      // poll steps a write's progress lasts at most

    explicit WLFramedProtocol(AppContext& ctx, IWLFramedView* view = nullptr);
    void setView(IWLFramedView* view)
    {
        view_ = view;
        FamilyProtocol::setView(view);
    }

    // ---- what the link calls -------------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    QString PollStep(const QVariant& a, const QVariant& b) override;
    // A telegram the layer did not send itself (the command window's) is a transaction of
    // the reader's all the same: once the reader has answered it with its toggle, the next
    // transaction goes with the other, or the reader would take that for a repeat of the
    // command, leave it undone and answer it with the command's reply.
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    // The reply as it came (the command window shows its header).
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant&) override;
    void StopBuffered() override;
    // Stops reading, ends a running write's progress (its buttons come back), releases the
    // inputs and writes items 200, 203 and 204 to the settings; the poll timer stays off
    // for the next system.
    void CloseLK() override;
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;

    // ---- exchanges -----------------------------------------------------------------------
    // One transaction: two rounds of two tries with a resync between them. Returns the
    // number of data characters (header stripped, escapes removed), 0 when nothing usable
    // came; ReadErrorFlag tells a failed or error reply.
    int LKRead(const QByteArray& command, QByteArray& reply, const QVariant& logOption = QVariant());
    int LKRead(const QByteArray& command) { QByteArray r; return LKRead(command, r); }
    // Applies a parameter string; with write, sends it to the current bus address first and
    // applies it only when the reader answered without error. False when the write failed.
    bool SetReaderVariables(const QByteArray& parameters, bool write);
    // Ends "Code lesen" and keeps the poll timer running while flag or NeedsPolling().
    void ScanEnable(bool flag);
    // The poll timer has work: a continuous read, "Code lesen", a write's progress, mode
    // Normal's lines or a small window's automatic refresh.
    bool NeedsPolling() const;
    // Starts a continuous read of IDs (fixcode) or data.
    void ReadData(bool fixcode);
    // Ends a continuous read ("CN", "DB").
    void StopReading();
    // The reading and "Code lesen" are over (a stop ends them): no poll step asks for a
    // reading any more. Sends nothing and leaves the poll timer alone.
    void EndReading();
    // "Code lesen": on starts reading for the next ID, which the poll step puts in the
    // database box and then stops the reading; off stops it at once.
    void ReadDbCode(bool on);
    // One poll step: a write's progress (nothing else while it runs), the small windows'
    // automatic refresh, the parameter channel's lines in mode Normal, a reading. Nothing
    // while another exchange waits.
    void Poll();
    // "CP" with the dialog's values; false, with a line in the list, when refused. The
    // poll steps then ask "CO" until the reader reports the write done or 20 steps went
    // by; a port that fails or closes meanwhile ends the write at once as failed.
    bool WriteTag(const WLWriteValues& values);
    // Inputs 1..3 then outputs 1..2, lit on 00; nothing without good replies. An input or
    // output without a handle is not asked and stays dark.
    std::optional<std::array<bool, 5>> InputSet();
    void OutputSet(bool output1, bool output2);
    // "CO": error and state byte; nothing without a good reply.
    std::optional<wlframed::Status> StatusSet();
    // The reader's ID-code database: "FE" (once more when it brings no data or an error
    // reply), then "FF" while an entry comes, until an ID already listed or kMaxDatabase
    // entries. After a resync during the "FF" walk the walk starts over, once. Nothing when
    // "FE" brought no data twice, or the walk needed a resync twice.
    std::optional<QList<quint32>> ReadDatabase();
    bool AddDatabase(quint32 id);
    bool DeleteDatabase(quint32 id);
    bool Clear();

    // ---- state ---------------------------------------------------------------------------
    // Where the talk with the reader stands: Check starts them at 1 and 0, Init keeps them.
    int BusAddress = 1;
    int ToggleBit = 0;
    bool ReadErrorFlag = false;
    QByteArray ReaderParameters;
    bool NormalMode = false;
    bool ScanActive = false;
    bool FixcodeMode = true;
    bool DbCodeMode = false;
    int WriteProgress = 0;
    // The handles "KA" and "JA" gave; none where they brought no good reply (00 is a
    // handle like any other).
    std::array<std::optional<char>, 3> InputHandles{};
    std::array<std::optional<char>, 2> OutputHandles{};
    // The data items (WLFramedItem), 16-bit.
    int16_t OperationMode = 0, FourthValue = 0, StartAddress = 0, DataLength = 0;
    // Reader settings sent with a read (value bytes).
    char Power = 1, Sensitivity = 1, Bit = 1;
    int Frequency = 50;
    QString WriteActiveText = QStringLiteral("Tag schreiben aktiv");
    QString WriteDoneText = QStringLiteral("Tag erfolgreich beschrieben");
    QString WriteErrorText = QStringLiteral("Tag Schreibfehler");
    QString ParameterFailedText = QStringLiteral("Parameter wurden nicht geschrieben");

protected:
    void telegramGoingOut() override { ownTelegram_ = true; }

private:
    int transaction(const QByteArray& command, QByteArray& reply, const QVariant& logOption);
    void resync(const QVariant& logOption = QVariant());
    // Stores a parameter string and takes its mode and bus address (no telegram).
    void applyParameters(const QByteArray& parameters);
    void updatePolling();
    // DbCodeMode, told to the view.
    void setDbCodeMode(bool on);
    // Ends a running write's progress with the text of key, its buttons on again.
    void endWrite(const char* key, const QString& text);
    // endWrite, then mode Normal's reading again, polling as needed.
    void finishWrite(const char* key, const QString& text);
    // One walk through the database; resynced: a resync happened during its "FF" requests.
    std::optional<QList<quint32>> walkDatabase(bool& resynced);

    IWLFramedView* view_ = nullptr;
    int lkDepth_ = 0;
    // The telegram being framed is the layer's own; the toggle a telegram sent by hand went
    // out with, until its reply came.
    bool ownTelegram_ = false;
    std::optional<int> handToggle_;
    int resyncs_ = 0; // resyncs inside transactions so far
    LinkWatch link_;
};

} // namespace orvid
