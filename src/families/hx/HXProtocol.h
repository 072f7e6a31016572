#pragma once
// The telegram layer of the interface units (system entries 1 serial, 10 Ethernet),
// without widgets. One layer for both transports: callers name commands (HXCommand) and
// channels ("1".."4", "x" for all, empty for the unit) and get the reply in one text form
// (status character, channel character, data), whichever transport carried it.
//
// It is the link's direct route (ILkDirectAccess) for its window: on serial, what the
// link sends goes out framed here through Ports; on Ethernet, the frames go through
// Network and the command window reaches nothing (ReadData sends nothing).
//
// Refusals before anything is sent (each with a line in the data list, texts from one
// table): word counts a telegram cannot carry (255 serial, 15 Ethernet), fixcode writes on
// Ethernet (the word rule would put code bytes into the count and address), a mode without
// a command, a write whose read-back failed or came back short, and writes that are not
// whole blocks where nothing is read back ("x", tag type 60).
//
// The code writers of special tag types are in HXCodeWriters.cpp, the VNB head parameters
// in HXHeadParameters.cpp.

#include "HXCodeWriter.h"
#include "HXHeadFile.h"
#include "HXParameters.h"
#include "HXTelegram.h"
#include "families/common/FamilyProtocol.h"
#include "families/common/KRConfigWord.h"
#include "families/common/TagStateView.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>
#include <algorithm>
#include <array>
#include <functional>

namespace orvid {

class IHXView : public virtual IFamilyView {
public:
    virtual bool PasswordChecked() const = 0;
    virtual QString PasswordText() const = 0;
    // Trigger sensor k (0..3, "Triggersensor" k + 1): the channel it serves (ItemData of
    // cmbTrigger(k)) and its mode (ItemData of cmbTriggerMode(k): 0 off, 1 on, 2 inverted).
    virtual int TriggerSource(int sensor) const = 0;
    virtual int TriggerMode(int sensor) const = 0;
    // Recognition found (or lost) the unit: lay out the unit and channel panel.
    virtual void UnitRecognised() = 0;
};

class HXProtocol : public FamilyProtocol, public ILkDirectAccess, public hx::IHXCodeWriter, public hx::IHXParameterLink {
public:
    static constexpr const char* kSection = "frmSystemHX";
    static constexpr quint16 kUnitPort = 10000;

    explicit HXProtocol(AppContext& ctx, IHXView* view = nullptr);
    void setView(IHXView* view)
    {
        view_ = view;
        FamilyProtocol::setView(view);
    }

    // ---- what the link calls -----------------------------------------------------------
    void Init(bool ethernet = false) override;
    bool Check() override;
    Menues CommandList() const override { return commandList_; }
    QString PollStep(const QVariant& a, const QVariant& b) override;
    void CloseLK() override;
    // The link's stop (the command window's, closing down): polling is off by then, so a
    // head still marked busy is stopped by its mark; without one, "QU" goes only while
    // polling is on.
    void StopBuffered() override;
    bool PutData(int16_t id, const QVariant& value) override;
    bool GetData(int16_t id, QVariant& value) const override;
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) override;
    int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    ILkDirectAccess* DirectAccess() override { return this; }
    // Multi-tag heads answer "F" where a single head says "no tag" (5).
    QString StatusLine(const QByteArray& reply) const override
    {
        return GetError(MultiTag && reply.startsWith('F') ? "5" + reply.mid(1) : reply);
    }

    // ILkDirectAccess
    bool DataAvailable() override;
    bool DirectModeSupported() override { return true; }
    int16_t DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption, bool log = true,
                       bool noCheck = false) override;
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok) override;
    int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool log) override;

    // ---- telegram layer ------------------------------------------------------------------
    // Sends one telegram; false when nothing went out (refused, or no connection).
    bool HXWrite(hx::HXCommand command, QByteArray& channel, const QByteArray& data, bool log = false);
    // Sends and reads the reply: the data length, minus the status on a failure, 0 when no
    // reply came (ok false). expected > 0: a serial reply's data is read to that length
    // even when it holds "#" CR. readAll on "x": the other channels' replies are drained.
    int16_t HXRead(hx::HXCommand command, QByteArray& channel, const QByteArray& data, QByteArray& reply,
                   bool log, bool& ok, bool readAll = false, int expected = 0);
    // The error line of a raw failed reply ("STATUS: Kopf 2: 5 - Kein Tag im Lesebereich").
    QString GetError(const QByteArray& reply, bool withPrefix = true) const;
    int16_t GetLKResult(QByteArray& reply, int16_t length) const;

    // ---- tag operations ----------------------------------------------------------------
    void ReadData(bool words);
    // Starts a read on channel without waiting for its reply (Poll takes it): records the
    // kind of read, sends the password mode and the tag type (tagType; -1 the window's) when
    // due, then SR/BR/AR/ER with the start word and count, or SF/BF/AF/EF. False when
    // nothing went out (refused, with a line).
    bool ReadDataExt(bool dataWords, int16_t mode, int startWord, int count, QByteArray& channel,
                     int16_t tagType = -1);
    bool WriteTag(int16_t tagType, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& channel);
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode);
    // The codes of special tag types (IHXCodeWriter). A code that does not fit is refused
    // with a line, never cut.
    bool WriteSpecialFixcode(int16_t mode, const QByteArray& code) override;
    bool WriteVNBFixcode(const QByteArray& code) override;
    bool WriteWTXFixcode(int16_t mode, const QByteArray& code) override;
    bool WriteNCXTag(int16_t mode, const QByteArray& code) override;
    // Sends SS/ES and lists the replies (the window's special-fixcode button).
    void ReadSpecialFixcode();

    // ---- VNB head parameters (IHXParameterLink) -------------------------------------------
    int16_t ReadCmd(clsParameter& p, bool asDefault, const QByteArray& channel, bool* replied) override;
    int16_t WriteCmd(clsParameter& p) override;
    void ListLine(const QString& line) override { ShowLine(line); }
    QString ParameterError(const QString& name, int16_t result) const override;
    // The parameter action of channel (1..4): country profile, read all, the dialog, write
    // the changed ones. The dialog is parameterDialog (false: cancelled).
    void EditParameters(int channel);
    std::function<bool(const hx::HXHeadType&, hx::ParameterList&)> parameterDialog;
    void StopBuffered(bool force, bool allChannels);
    // The stop button's action for channel (the current one when it was asked for, even
    // when it runs later): "QU" there, the channel idle.
    void StopChannel(const QString& channel);
    // The stop button's action inside another action: the current channel's read ends and
    // stays ended, as after Stop (counted as one, so the action's scope does not switch
    // polling on again unless another head still reads).
    void StopCurrentRead();
    // Takes the replies that have come and lists them (show) or returns their data (show
    // false). wait: the caller waits for the reply of its own read, whose data is expected
    // bytes long when it is a word read (0: unknown), so "#" CR inside it does not cut it;
    // the poll timer (wait false) takes only what is there, the length of each channel's
    // continuing word read known from its start.
    QByteArray Poll(bool show, bool wait, int expected = 0);
    // The two configuration words of one channel (SG 2, SG 1); a word not answered stays
    // empty. True when one came.
    bool ReadConfiguration(const QByteArray& channel, QByteArray& control, QByteArray& protection);
    // Konfig Lesen: the words of the current channel, or of every channel for "x", listed
    // with a heading per block. The password mode and the tag type go out when due; a read
    // still running on the channel is the caller's to stop first (it knows whether polling
    // was on before its exchange switched it off).
    void ListConfiguration(const krconfig::LineTexts& texts);
    // Konfig Schreiben's first half: the same preparation, then the words to edit (those of
    // the first channel that answered). False when the password text was refused.
    bool ConfigurationForDialog(QByteArray& control, QByteArray& protection);
    bool WriteConfiguration(const QByteArray& control, const QByteArray& protection);
    // The stop button's action, then "PC" with both passwords (texts refused with a line
    // before anything is sent).
    bool ChangePassword(const QString& oldText, const QString& newText);
    void GetTagState(ITagStateView& view);
    void ChangeTag(int tagType);
    // Reads the head parameter QV of the current channel's head, or of each channel's for
    // "x", where it is a VNB head (no other head has it): "M" means the head reports every
    // tag it finds.
    void CheckMultitagMode();
    void SetTrigger(int sensor, int source, int mode);
    void SetMultiplexed(bool on);

    // The window's settings (section): the selection every channel's record starts with,
    // the representation, the password flag and the current channel; 0 tag type and 0
    // length read as "Standard" and 12.
    void LoadSettings(const char* section);
    void SaveSettings(const char* section) const;

    // ---- recognition and state ---------------------------------------------------------
    const hx::HXHeadFile& HeadFile() const { return headFile_; }
    void SetHeadFile(const QString& path) { headFile_ = hx::HXHeadFile(path); }
    // Records the head of channel (1..4); true when its type is in the head-type file.
    bool SetHeadInfo(int channel, const QString& name, const QString& text);
    bool HasFamily(const QString& family, const QString& channel) const;
    bool ChannelIsSingle() const { return Channel != QLatin1String("x"); }
    void SetChannelBusy(bool state, bool allChannels);
    bool AnyChannelBusy() const;
    // A read still marked busy runs on the unit and answers until "QU": the poll timer
    // goes on collecting its replies (what every action of the window leaves behind).
    void KeepBusyHeadsPolled();
    // Records whether the read started on channel is a fixcode read (for "x" on each head).
    void SetFixcodeMode(const QByteArray& channel, bool state);
    // The trigger sensors a unit shows: 1 and 2 with two channels, 3 and 4 with three or
    // four, none with one (sensor 0..3).
    static bool TriggerShown(int sensor, int channelCount);

    // The country-profile chooser: position (1-based) of the chosen profile, 0 cancelled.
    std::function<int(int channel, const hx::HXHeadType& head)> chooseProfile;
    // Tests set the unit's TCP port and page; the user has no option for them.
    quint16 unitPort = kUnitPort;
    QString pageUrl;
    // The date the battery estimate counts to (tests fix it).
    std::function<QDate()> today = [] { return QDate::currentDate(); };

    bool EthernetMode = false;
    int ChannelCount = 4;
    int ProtocolType = 0;
    std::array<QString, 4> HeadText, HeadTypeName, HeadFamily;
    QString UnitPicture;
    QByteArray UnitStateText;
    QString UnitModel;
    bool TagTypePending = true;
    bool PasswordPending = true;
    std::array<bool, 4> ChannelBusy{};
    bool MultiTag = false;
    std::array<bool, 5> MultiTagChannel{};
    int BlockSize = 4;

    // Window state (data items 100..106) and the per-channel records (0 "x", 1..4).
    struct Record {
        int16_t tagType = 99;
        int16_t mode = 0;
        qint32 address = 0;
        int length = 12;
    };
    std::array<Record, 5> Records{};
    int16_t TagType = 99;
    int16_t OperationMode = 0;
    qint32 DisplayAddress = 0;
    int DisplayLength = 12;
    int StartWord = 0;
    int WordCount = 3;
    int16_t DataRepresentation = 0;
    bool PasswordFlag = false;
    QString Channel = QStringLiteral("1");
    std::array<bool, 5> FixcodeRead{};
    QByteArray LastCommand;
    QByteArray LastReply;

    static int BlockSizeOf(int tagType) { return (tagType == 40 || tagType == 42 || tagType == 43) ? 16 : 4; }

private:
    // Lines shown when an operation is refused, from one table (key, German text).
    enum class Refusal {
        NoCommand, TooManyWords, TooManyWordsNet, NoFixcodeNet, BadTelegram, WholeBlocks, PasswordInvalid,
        SpecialFixcodeInvalid, VNBCodeTooLong, WTXCodeTooLong, NCXCodeInvalid, NoReply,
    };
    QString refusalText(Refusal refusal) const;
    // Lists the refusal's line; false.
    bool refuse(Refusal refusal);
    // A code written by the writers' common frame (HXCodeWriters.cpp).
    struct CodeWrite {
        hx::HXCommand command;
        QByteArray data;
        int mode = -1;            // decides the continuous check; -1: none
        bool prepare = true;      // password mode, tag type, multi-tag mode first
        int16_t serialTimeout = 0;
        bool message = false;     // a failure also shows message 4
    };
    bool writeCode(const CodeWrite& write);
    // The serial reply time-out of one operation: set(ms) changes it (when ms > 0, never
    // on Ethernet), and it is back as it was when the scope ends.
    class SerialTimeout {
    public:
        explicit SerialTimeout(HXProtocol& p);
        SerialTimeout(HXProtocol& p, int16_t ms) : SerialTimeout(p) { set(ms); }
        ~SerialTimeout();
        SerialTimeout(const SerialTimeout&) = delete;
        SerialTimeout& operator=(const SerialTimeout&) = delete;
        void set(int16_t ms);

    private:
        HXProtocol& p_;
        int16_t previous_ = 0;
    };

    int slot() const { return Channel == QLatin1String("x") ? 0 : std::clamp(Channel.toInt(), 0, 4); }
    void recalc();
    bool sendPasswordMode(const QByteArray& channel);
    // True when a read cannot go out (listed): no command for the mode, too many words.
    bool readRefused(bool dataWords, int16_t mode, int count);
    // One reply; a good reply shorter than its data's length ended at a "#" CR inside it
    // and is read on. A data length belongs to the replies of the read that asked for it:
    // expected > 0 for the reply of a read on channel (see answers), and a head's
    // continuing word read for its repeats (every reply with kByChannel, the replies of
    // other heads). kStatusAnswer: the exchange on channel waits for an answer of its own
    // (a stop's, a CT's, a write's status), which carries no data and is taken whole; only
    // a reply of its head that carries data is a repeat. 0: a reply of unknown length.
    static constexpr int kByChannel = -1;
    static constexpr int kStatusAnswer = -2;
    int16_t receiveReply(QByteArray& reply, const QByteArray& channel, int expected, const QVariant& logOption);
    // The reply of an exchange on channel. Another head's reply is not it, nor, for a
    // status answer, a read's reply of its own head (a repeat of the read running there, a
    // multi-tag head's late count): a busy head's is listed under that head, as the poll
    // timer lists it, any other is dropped. A head repeating meanwhile does not keep the
    // exchange waiting past its reply time-out.
    int16_t receiveOwn(const QByteArray& channel, QByteArray& reply, int expected, const QVariant& logOption);
    // A reply that belongs to a read, not to the status answer an exchange waits for.
    bool readsReply(const QByteArray& reply, int head) const;
    // The replies a command to "x" gets: one per channel the unit showed at recognition (a
    // model the head-type file does not know counts four channels, while the unit answers
    // for those it has); every channel when it showed none.
    int answersOnAll() const { return shownChannels_ > 0 ? std::min(shownChannels_, ChannelCount) : ChannelCount; }
    // Whether a reply from head (0: none named) can answer an exchange on channel ("1".."4"
    // that head, "x" every head, empty the unit itself, which a busy head's repeat is not).
    bool answers(int head, const QByteArray& channel) const;
    int replyHead(const QByteArray& reply) const;
    // Lists one reply (show) or adds its data to collected, as Poll does; false when no
    // further record of the read follows it (a listed error, the tag count, a failure).
    bool takeReply(const QByteArray& reply, bool show, QByteArray& collected);
    bool dataWaiting();
    // A handful of replies per head may be on the line ahead of an answer, no more.
    int repliesAhead() const { return kRepliesBeforeStopAnswer * ChannelCount; }
    // Replies already there when a telegram goes out answer nothing sent after them: while
    // a head reads they are its repeats, listed rather than flushed.
    void telegramGoingOut() override;
    // The reply time-out of the transport in use (ms).
    int replyTimeout() const;
    int16_t netReadFrame(QByteArray& reply, const QVariant& logOption);
    bool triggered(int sensor, const QString& channel) const;
    // A read or write that goes on by itself (mode Buffered or Enhanced, or a trigger
    // sensor shown for the unit that serves the channel) keeps the channel polled; length:
    // the data length of each further reply of a word read (0 none or unknown).
    void continuousCheck(int mode, int length);
    // Every head still marked busy gets its "QU" (to all heads) and is idle afterwards:
    // before a write, and before the unit is forgotten (Init, CloseLK).
    void stopBusyHeads();
    // Sends "QU" to channel and takes its answers off the line; false when it could not go
    // out (no connection).
    bool sendQuit(const QByteArray& channel);
    // The units' serial framing and reply time-out.
    void useSerialLink();
    // On "x" every head answers: the replies after the first are taken. report: each
    // failure is listed; false when one failed.
    bool drainReplies(const QByteArray& channel, bool report);
    void showError(const QByteArray& reply, int status, bool multiTagRule = true);
    bool connectionLost();
    bool prepareConfiguration();
    QList<QByteArray> channelsOfCurrent() const;
    // A head parameter's data text: RP (no value) or WP with the value.
    QByteArray parameterData(const QByteArray& name, const QByteArray* value = nullptr) const;
    int16_t writeParameter(const QByteArray& channel, const QString& name, const QByteArray& value);
    // Recognition asks each head with a country-profile group and none set for one.
    void countryProfiles();
    // The chooser for the head on channel (1..4); a choice is written as RC (a failed
    // write listed). False when the user chose none.
    bool chooseCountryProfile(int channel, const hx::HXHeadType& head);

    IHXView* view_ = nullptr;
    hx::HXHeadFile headFile_;
    Menues commandList_;
    int lastStatus_ = 0;
    // The data length of the word read continuing on each channel (0 "x", 1..4).
    std::array<int, 5> repeatLength_{};
    // The channels the unit showed at recognition (its channel lines, or its page).
    int shownChannels_ = 0;
    // Heads left reading on an Ethernet unit whose "QU" could not go out (the connection
    // was gone), kept per unit (address and port): they get it first on the next
    // connection to that unit, and no other unit gets it.
    QHash<QString, std::array<bool, 4>> quitOwed_;
    // The unit of the last connection, which the heads marked busy read on.
    QString unit_;
    bool merge_ = false;
};

// A device action of the interface-unit window: the family's exchange scope, and when it
// ends, a head still marked busy is polled, whatever the action did with the poll timer
// meanwhile. A read left running on another head is collected, never running unseen.
class HXScope : public ExchangeScope {
public:
    explicit HXScope(HXProtocol& p, Polling polling = Polling::SuspendAndRestore, bool beep = true)
        : ExchangeScope(p.Exchanges(), polling, beep), p_(p) {}
    ~HXScope()
    {
        if (*this)
            p_.KeepBusyHeadsPolled();
    }
    HXScope(const HXScope&) = delete;
    HXScope& operator=(const HXScope&) = delete;

private:
    HXProtocol& p_;
};

} // namespace orvid
