#pragma once
// The telegram layer of the microwave system D (system entry 6: one unit with the head
// "WDN-S2-2NWZ" and antennas 0 and 1 on the serial port), without widgets, together with
// its poll-driven loop and ID-code scan and the tag-state, unit-state and output exchanges.
// It keeps the window state the telegrams are built from and runs every exchange through
// the device link (ctx.lk, ctx.ports).
//
// The wire: ASCII text. A command goes out as "::" station head command "@@" CR; a reply
// comes back as "::" station head payload and two trailing characters, ended by CR.
// Payloads: "#" + command number (good), "%" + command number + error code (two
// characters), or "$", an interim acknowledgement after which the real reply follows.
// ID codes are 8 hex digits; on the wire their four digit pairs are reversed
// ("12345678" goes out as "78563412").
//
// How the window (frmSystemWD) uses it
// ------------------------------------
// - The window (a FamilyForm) owns one WDProtocol, constructed with the application
//   context and the window as its IWDView (below); the window base forwards what the link
//   calls. SetLanguage: on the first call the window stores its control defaults; when
//   ApplyLanguage() returns true it translates the controls of section "frmSystemWD".
//   ApplyLanguage() always ends by setting the head frame title (SetRWFrameTitle).
// - The window runs every device action it starts in an ExchangeScope of Exchanges():
//   btRead -> ReadData(true), btIdCodeRead -> ReadData(false), the write dialogs ->
//   WriteTag, the tag-state window -> GetTagState, the small windows -> GetState /
//   OutputSet. btStop -> Stop(), which the gate runs once the link is idle.
//   btScanStart -> ScanStart(slot box texts); btScanPause -> ScanPause(); btClear ->
//   ClearScan(); EnableScan(false) -> ScanPause(false) (a running scan ends with its loop,
//   a data loop is left alone); btCodeScan -> LoopMode = false.
// - The unit-state window (frmSystemWDState) implements IWDStateView and the outputs window
//   (frmSystemWDIO) IWDOutputsView; the window hands them over with setStateView /
//   setOutputsView (null when not built).
// - Fields are public and named as the window state is named (HeadNumber, LoopMode,
//   LastCommand, ScanMode, ScanCodes ...). The window may read them; it sets LoopMode
//   directly where its handlers say "LoopMode := False".
// - Data list lines go to IWDView::ShowData(kind, label, bytes): kind 1 an error line
//   (label empty), kind 2 tag data (label "ANT 0: DATA ="), bytes raw, one per character.
// - Every exchange waits with window events running (DeviceWait); a click may arrive in
//   the middle. ScanPause() during a scan step takes effect at the next exchange.

#include "WDItems.h"
#include "WDSettings.h"
#include "families/common/FamilyProtocol.h"
#include "families/common/TagStateView.h"
#include "foundations/Menues.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <cstdint>
#include <functional>

namespace orvid {

struct AppContext;

// What the telegram layer needs of the system D window besides the data list and the busy
// pointer (IFamilyView).
class IWDView : public virtual IFamilyView {
public:
    // The window's entries: chkLoop, cmbHeadNumber.ListIndex, the first selected rdIDCode
    // option (0 when none), txtIDCode, txtAddress (hex digits), txtLength (decimal digits).
    virtual bool LoopChecked() const = 0;
    virtual int HeadIndex() const = 0;
    virtual int AccessType() const = 0;
    virtual QString IDCodeText() const = 0;
    virtual QString AddressText() const = 0;
    virtual QString LengthText() const = 0;
    // The caption of frameHead (the protocol passes NoHeadText for an empty title).
    virtual void SetRWFrameTitle(const QString& title) = 0;
    // Scan slot 1..8: the text of txtScan(slot - 1), the lamp cirScan(slot - 1).
    virtual void SetScanText(int slot, const QString& code) = 0;
    virtual void SetScanLED(int slot, bool on) = 0;
};

// The unit-state window frmSystemWDState.
class IWDStateView {
public:
    virtual ~IWDStateView() = default;
    virtual bool Loaded() const = 0;
    virtual bool AutoMode() const = 0;
    // Lamp cirState(index), index 0..6.
    virtual void SetStateLamp(int index, bool lit) = 0;
};

// The outputs window frmSystemWDIO.
class IWDOutputsView {
public:
    virtual ~IWDOutputsView() = default;
    virtual int OutputCount() const = 0;             // 4
    virtual bool OutputChecked(int index) const = 0;  // chkOutput(index)
    virtual void SetOutputLamp(int index, bool lit) = 0; // cirOutput(index)
};

class WDProtocol : public FamilyProtocol {
public:
    static constexpr const char* kSection = "frmSystemWD";   // language section
    static constexpr const char* kHeadType = "WDN-S2-2NWZ";
    static constexpr int kSystemEntry = 6;
    static constexpr int16_t kReplyTimeout = 500;            // ms, set by Init
    static constexpr int kScanSlots = 8;
    static constexpr quint16 kStateBlockAddress = 0x8044;
    static constexpr int kAddressSpace = 0x10000;            // tag memory: 0000..FFFF
    static constexpr int kCheckReplyLength = 18;

    explicit WDProtocol(AppContext& ctx, IWDView* view = nullptr);
    void setView(IWDView* view)
    {
        view_ = view;
        FamilyProtocol::setView(view);
    }
    void setStateView(IWDStateView* view) { stateView_ = view; }
    void setOutputsView(IWDOutputsView* view) { outputsView_ = view; }
    // Today's date for the battery estimate (tests inject a fixed one).
    std::function<QDate()> clock = [] { return QDate::currentDate(); };

    // ---- telegrams (pure) -------------------------------------------------------------
    // "::" station head command (unless command begins with "::") & "@@" & suffix.
    static QByteArray Wrap(const QByteArray& command, int station, int head, const QByteArray& suffix);
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    // length >= 7 and "::" first: drops "::", station, head and the last two characters,
    // returns length - 6; else 0 with the reply unchanged.
    static int16_t GetLKResultExt(QByteArray& reply, int16_t length);
    // GetLKResultExt, and after an interim "$" one further reply (the link's time-out).
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption = QVariant()) override;
    // ID text -> wire form: padded left with "0" to 8, the last 8 taken, pairs reversed.
    // The same function turns a wire ID back.
    static QByteArray IDWireForm(const QByteArray& id);
    static QByteArray IDWireForm(const QString& id) { return IDWireForm(id.toLatin1()); }
    // Commands without wrapping. wireId is appended when accessType >= 1 (ID write: <> 0).
    static QByteArray ReadDataCommand(int accessType, quint16 address, int length, const QByteArray& wireId);
    static QByteArray ReadIDCommand(int accessType, const QByteArray& wireId);
    static QByteArray WriteDataCommand(int accessType, quint16 address, const QByteArray& data,
                                       const QByteArray& wireId);
    static QByteArray WriteIDCommand(int accessType, const QByteArray& wireId, const QByteArray& newId);
    static QByteArray ScanCommand(char letter, const QByteArray& wireCode);   // 'B' or 'C'
    static QByteArray TagStateCommand(int accessType, const QByteArray& wireId);
    static QByteArray OutputsCommand(const QList<bool>& outputs);
    // The built-in German text of an error code ("Unbekannter Fehler" when not listed).
    static QString BuiltinErrorText(const QByteArray& code);

    // ---- ISystemForm operations ---------------------------------------------------------
    void Init(bool ethernet = false) override;
    // Recognition; the head frame shows the type found (or NoHeadText).
    bool Check() override;
    void CloseLK() override;
    void StopBuffered() override;
    QString PollStep(const QVariant& show, const QVariant& quiet) override;
    // The data items (WDItem); false (value untouched) for any other id.
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;
    // ErrorText / NoHeadText of the current language. True when the language differs from
    // the one applied last (the window then translates its controls). Always sets the head
    // frame title (item 1, or NoHeadText).
    bool ApplyLanguage();
    void SetRWFrameTitle(const QString& title);

    // ---- errors -------------------------------------------------------------------------
    // "STATUS: 40 - Kein Datenträger" for an error reply ("%" first), "" for any other.
    // An empty reply takes the remembered one (and is replaced by it); the reply given is
    // remembered. withHead false: the text begins with the blank.
    QString GetError(QByteArray& reply, bool withHead = true);
    QString GetError(const QByteArray& reply, bool withHead = true);
    // The same without the memory.
    QString ErrorLine(const QByteArray& reply, bool withHead = true) const;
    QString StatusLine(const QByteArray& reply) const override { return ErrorLine(reply); }

    // ---- reads and writes -----------------------------------------------------------------
    // One read from the window's entries (Read and ID-code Read buttons).
    void ReadData(bool isData);
    // "?70", then the read; followUp: hands the reply to Poll (loop when chkLoop is ticked)
    // and returns ""; without: reads the reply at once and returns the data as hex digits
    // or the ID code (display order), "" on failure. A data read past the end of the tag
    // memory is refused (nothing sent, "").
    QByteArray ReadDataExt(bool isData, int16_t head, quint16 address, int length,
                           int16_t accessType, const QString& idCode, bool logOption, bool followUp);
    // Receives and evaluates the reply to LastCommand.
    QByteArray ReadResult(bool quiet, bool show);
    // The loop's read sent at the end of a poll step, its answer ("$" and the result) not
    // taken yet: the link takes it before its next telegram, and it is listed as the next
    // step would list it.
    int ReplyOwed() const override;
    void OwedReply(QByteArray& reply, int16_t length) override;
    // A data write (isData: data's first length bytes) or an ID-code write (data = the new
    // ID code as it goes on the wire). The reply is read and tested; a failure (error reply,
    // no reply, data beyond the tag memory, length beyond data) is reported: the device's
    // error line in the list and message 4. True when the unit confirmed the write. A write
    // left without its result is stopped ("?70"); a result or error reply that comes ahead
    // of the stop's answer still tells the outcome.
    bool WriteTag(bool isData, int16_t head, int16_t accessType, const QString& idCode,
                  quint16 address, int length, const QByteArray& data);
    QByteArray LastDataRead() const { return LastData; }

    // ---- loop, scan and state exchanges ------------------------------------------------------
    // One poll step: the pending reply of a loop read or a scan step, the unit-state refresh,
    // and the next loop read. Returns "".
    QByteArray Poll(bool show = true, bool quiet = false, bool force = false);
    // btStop: loop off, LastCommand cleared, a running scan paused at once; the "?70" goes
    // out now, or once the link is idle when another exchange is waiting.
    void Stop();
    // btScanStart: slots from the box texts (blanks removed), ScanMode and LoopMode on.
    void ScanStart(const QStringList& slotTexts);
    // btScanPause: lamps off, ScanMode and LoopMode off. EnableScan(false) passes
    // endLoop false: a running scan ends with its loop, a data loop is left to the caller.
    void ScanPause(bool endLoop = true);
    // btClear: slots emptied (boxes and lamps through the view).
    void ClearScan();
    void GetTagState(ITagStateView& view);
    void GetState();
    // Sends the chosen outputs; lamps light only when the unit confirmed. True when it did.
    bool OutputSet();


    // ---- window state -------------------------------------------------------------------
    int16_t Station = 0;
    int16_t HeadNumber = 0;
    bool LoopMode = false;
    QByteArray LastCommand;
    QByteArray ResultKind = "0";
    QByteArray ExpectedPrefix;
    QByteArray ResultLabel;
    QByteArray AntennaText = "ANT";
    QString ErrorText = QStringLiteral("STATUS:");
    QString NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    int16_t DataRepresentation = 0;
    QByteArray LastData;
    int16_t OperationMode = 0, StartAddress = 0, DataLength = 0, Tagcode = 0, DataFormat = 0;

    bool ScanMode = false;
    std::array<QByteArray, kScanSlots> ScanCodes;   // display order, "" = empty slot
    std::array<bool, kScanSlots> ScanFound{};
    int16_t ScanCount = 0;

    // The values of this run for the settings section; the window's close and CloseLK
    // store them.
    WDSettings Stored;

private:
    int16_t exchange(const QByteArray& command, QByteArray& reply, const QVariant& logOption = QVariant());
    void sendOnly(const QByteArray& command, const QVariant& logOption = QVariant());
    // Evaluates a reply to LastCommand (n: its length after the framing, 0 none), as
    // ReadResult does.
    QByteArray takeResult(QByteArray& reply, int16_t n, bool show);
    // One reply frame; 0 (and an empty reply) when none came.
    int16_t receiveReply(QByteArray& reply, const QVariant& logOption = QVariant());
    // "?70", and its "#70" taken off the line; the frames that came ahead of it go to
    // passed (when given).
    void stopUnit(QList<QByteArray>* passed = nullptr);
    void scanStep(bool quiet, bool show);
    QByteArray scanExchange(const QByteArray& command);
    void scanLamps();
    bool failWrite(const QByteArray& reply);

    IWDView* view_ = nullptr;
    IWDStateView* stateView_ = nullptr;
    IWDOutputsView* outputsView_ = nullptr;
    QByteArray rememberedReply_;
    AnswerDue loopAnswer_;
    int16_t appliedLanguage_ = 0;
    const QString defaultErrorText_ = QStringLiteral("STATUS:");
    const QString defaultNoHeadText_ = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
};

} // namespace orvid
