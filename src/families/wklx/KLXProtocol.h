#pragma once
// The telegram layer of the long-range reader KLX9000 (system entry 9), reached over TCP
// on its port (9999) with LF-ended text lines. No widgets.
//
// The wire: every command line is answered by one reply line
//   "RPLY" + the command's first four characters + two status digits ("00" good) + payload
// and the reader pushes event lines of its own at any time, which the link hands to the
// window's IEventCallback: "EVNTTAG " + a tag report, "EVNTWRIT" when a tag write has
// finished. The link strips the terminator and percent-decodes every line; only the data
// of a tag write is percent-encoded on the way out.
//
// How the window (frmSystemWKLX9000) uses it
// ------------------------------------------
// - The window owns one KLXProtocol with itself as IKLXView and as the receiver of event
//   lines (its IEventCallback forwards to EventReceived / LinkError).
// - Device actions the window starts (Stop, Write, the parameter cycle, the outputs
//   window) run in an ExchangeScope of Exchanges(); a dialog that waits for the user opens
//   between two scopes, never inside one. GET and SET go through the link's SendCommand,
//   which comes back to ReadData here; the handshake and Stop send directly.
// - Lines for the list go to ShowData(1, {}, bytes), raw bytes, one per character.

#include "families/common/FamilyProtocol.h"
#include "families/common/LinkWatch.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

namespace orvid {

class clsParameter;

class IKLXView : public virtual IFamilyView {
public:
    virtual void SetRWFrameTitle(const QString& title) = 0;
    virtual void SetParameterEnabled(bool enabled) = 0;
};

// The window's readers of named parameters: the outputs window and the parameter cycle
// find them on the link's current window.
class IKLXParameterTarget {
public:
    virtual ~IKLXParameterTarget() = default;
    virtual int16_t ReadCmd(clsParameter& parameter, bool asDefault) = 0;
    virtual int16_t WriteCmd(clsParameter& parameter) = 0;
    // False when the last ReadCmd/WriteCmd failed (no reply, short reply, error status);
    // a good status with an empty payload is no failure.
    virtual bool LastExchangeOk() const = 0;
    virtual ExchangeGate& ParameterExchanges() = 0;
    // An output switched on for a moment (the outputs window's Beep) must be switched off
    // again before the reader's connection closes: step runs then, on that connection,
    // unless it was cleared (an empty step) or owner has gone.
    virtual void SetClosingStep(const QObject* owner, std::function<void()> step) = 0;
};

class KLXProtocol : public FamilyProtocol, public ILkDirectAccess {
public:
    static constexpr int kSystemEntry = 9;
    static constexpr quint16 kPort = 9999;
    static constexpr const char* kSection = "frmSystemWKLX9000";
    // Replies of other commands (late ones) skipped while one reply is awaited; a reader
    // that sends more than these is not answering, and the exchange fails as unanswered.
    static constexpr int kMaxSkippedReplies = 32;
    // A reply that comes later than this many time-outs after its command went out is not
    // taken for that command's: the reader never answered it.
    static constexpr int kLateTimeouts = 2;

    // How the last exchange ended.
    enum class Outcome { Good, NoReply, Short, BadStatus, NoConnection };

    KLXProtocol(AppContext& ctx, IKLXView* view, IEventCallback* events);

    // ---- window state ----------------------------------------------------------------
    quint16 Port = kPort;          // tests point it at their harness
    bool Reading = false;
    bool WritePending = false;
    QString ErrorLabel = QStringLiteral("FEHLER: ");
    QString WriteStartText = QStringLiteral("Tag schreiben aktiv");
    QString WriteDoneText = QStringLiteral("Tag erfolgreich beschrieben");
    QString WriteCancelText = QStringLiteral("Tag schreiben abgebrochen");
    QString WriteFailedText = QStringLiteral("Tag schreiben fehlgeschlagen");
    void LoadTexts();

    // ---- the link --------------------------------------------------------------------
    bool Check() override;
    void Init(bool ethernet = false) override;
    QString PollStep(const QVariant&, const QVariant&) override { return QString(); }
    void CloseLK() override;
    void StopBuffered() override {}
    bool PutData(int16_t, const QVariant&) override { return true; }
    bool GetData(int16_t, QVariant&) const override { return true; }
    QByteArray BuildTelegram(const QByteArray& command, const QByteArray&) override { return command; }
    int16_t ReplyResult(QByteArray&, int16_t length, const QVariant&) override { return length; }
    ILkDirectAccess* DirectAccess() override { return this; }

    // ILkDirectAccess: every command of the link is one line exchange with the status test.
    bool DataAvailable() override { return false; }
    bool DirectModeSupported() override { return false; }
    int16_t DirectRead(QByteArray&, int16_t&, const QVariant&, bool = true, bool = false) override { return 0; }
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok) override;
    int16_t WriteData(const QByteArray&, const QByteArray&, bool) override { return 0; }

    // ---- exchanges -------------------------------------------------------------------
    // What a command does with its reply. Whose reply it is matters only where it is used.
    enum class ReplyUse {
        Ignored,  // nothing (the Stop action's "PUSHTAG STOP"): its status is not looked at
        Raw,      // its text as it stands, no status test (the handshake)
        Checked,  // its status decides, its payload is used (GET, SET, a tag write, a
                  // command sent by hand)
    };
    // One command and its reply. The reader answers every line once, in order, so replies
    // are told apart by order and time: the commands that timed out stay owed their reply,
    // oldest first, for kLateTimeouts time-outs from when they went out. A reply goes to
    // the oldest owed command it can answer (those it passes over were never answered),
    // and a refusal in it is reported as that command's; a reply naming another command,
    // or another parameter, is never this one's. A reply this command and an owed one could
    // both have is held when this command uses it: see the exchange.
    int16_t SendReaderCommand(const QByteArray& command, QByteArray& reply, bool monitorFlag,
                              ReplyUse use, int& status);
    int16_t ReadCmd(clsParameter& parameter, bool asDefault);
    int16_t WriteCmd(clsParameter& parameter);
    Outcome LastOutcome() const { return outcome_; }
    // Lists why the last exchange failed unless that line is in the list already.
    void ListLastFailure();

    // The Stop action: reports off, a pending write cancelled, "PUSHTAG STOP".
    void Stop();
    // See IKLXParameterTarget::SetClosingStep.
    void SetClosingStep(const QObject* owner, std::function<void()> step);
    // The link has closed the reader down (CloseLK) and not checked it again since: its
    // stops went out then, and the connection is gone or another device's.
    bool Left() const { return left_; }
    // Read: reports are shown from now on while connected.
    void StartReading();
    // One tag write with the write dialog's six values; false when refused (Mini data that
    // is no number 0..16383), then nothing is sent. The write stays pending until the
    // reader reports it done; a refused write, or a connection that ends meanwhile, ends
    // it as failed.
    bool WriteTag(int memorySize, int dataSpeed, int intervalType, int intervalLength,
                  const QString& idCode, const QByteArray& data);
    // The PUSHTAG line WriteTag sends (empty when refused).
    static QByteArray WriteTagCommand(int memorySize, int dataSpeed, int intervalType,
                                      int intervalLength, const QString& idCode, const QByteArray& data);

    // ---- events ----------------------------------------------------------------------
    void EventReceived(const QByteArray& text);
    void LinkError(const QString& text);

    // ---- decoding --------------------------------------------------------------------
    static QByteArray ParseTagReport(const QByteArray& text);
    // The reader's lines as the link needs to know them: where a line lost its LF. A line
    // runs to its LF; a tag report's class tells how to read its fields, and the bytes
    // behind its class's data (a CR, a field of the reader's own) are its too. Its data,
    // a reply's payload and another event's data are data, whatever they spell: only a tag
    // report whole for its class that begins among them proves the line lost its end there.
    // Behind a report's data, and in a line of neither shape, any line of the reader whole
    // by its shape does (a reply with its status digits, an event with its name, a report).
    static const ILineStructure& Lines();

private:
    IKLXView* klxView() const { return view_; }
    void addLine(const QByteArray& line);
    void addLine(const QString& line);
    // A pending write that can no longer be reported ends as failed; one the user stops or
    // leaves ends as cancelled.
    void failPendingWrite();
    void cancelPendingWrite();
    void sendStop();
    // The connection is up and is the one Check found the reader on (not yet closed by
    // CloseLK): a device that failed the handshake gets no stops it would not answer.
    bool ownConnectionUp() const;
    // The exchange ends without a connection: it is listed as such, not as a time-out.
    int16_t noConnection();

    // A command sent and not yet answered. What a late refusal of it does depends on who
    // sent it: nothing for a command sent without the status test (the handshake, Stop),
    // a list line as for any exchange, a line whatever the error option says for a setting,
    // and the end of the write for a tag write.
    enum class Kind { Unchecked, Read, Set, TagWrite };
    struct Sent {
        QByteArray name;       // the command's first four characters, as sent
        QByteArray key;        // the same in upper case: what its reply names
        QByteArray parameter;  // a GET's parameter, upper case: what its good reply names
        qint64 at = 0;         // when it went out (clock_)
        Kind kind = Kind::Read;
    };
    Sent sentCommand(const QByteArray& command, ReplyUse use);
    // Could line (a whole reply, or the start of one cut off) be the answer to command?
    // complete: only when nothing of it can be missing (a good GET reply names its parameter).
    static bool canAnswer(const Sent& command, const QByteArray& line, bool complete = false);
    // Owed commands from index from on that went out longer ago than a late reply can
    // come are forgotten: the reader never answered them.
    void forgetExpired(qsizetype from);
    // The first owed command from index from on that line can answer, -1 when none can.
    qsizetype owedAnswerable(const QByteArray& line, qsizetype from) const;
    // line is the late answer to the oldest owed command (the ones before it were never
    // answered): a refusal in it is reported as that command's.
    void lateAnswer(const QByteArray& line);
    // The failure line for a reply of command (empty for a good reply).
    QByteArray refusalLine(const QByteArray& name, const QByteArray& line) const;
    // A reply came while nothing waited and was discarded: it is the late answer of the
    // owed command it can answer.
    void lateReplyGone(const QByteArray& line);

    IKLXView* view_;
    IEventCallback* events_;
    Outcome outcome_ = Outcome::Good;
    QByteArray failureLine_;      // why the last exchange failed
    bool failureListed_ = false;  // that line is in the list already
    bool linkErrorListed_ = false; // the link's error was listed during this exchange
    QList<Sent> owed_;            // commands owed their reply, oldest first
    Kind nextKind_ = Kind::Read;  // how the exchange the link starts next was sent
    QElapsedTimer clock_;
    LinkWatch link_;
    bool connected_ = false;      // Check found the reader; CloseLK has not closed it yet
    bool left_ = false;
    QPointer<const QObject> closingOwner_;
    std::function<void()> closingStep_;
};

} // namespace orvid
