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
    // One command and its reply. The reader answers every line, in order: a reply that
    // names a command still owed its answer (one that timed out before) is that command's
    // late answer, even when the name is this one's, and is skipped; so is a reply naming
    // any other command.
    int16_t SendReaderCommand(const QByteArray& command, QByteArray& reply, bool monitorFlag,
                              bool checkStatus, int& status);
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
    // The exchange for key ended without its reply: that reply is owed from now on, unless
    // a reply of its name was taken for an earlier command's (it may have been this one's)
    // or the link cut a reply off at the time-out (that reply answered the oldest command
    // owed one, or this one).
    void replyMissed(const QByteArray& key, bool skippedOwnName, bool cut);
    // A reply came while nothing waited and was discarded: the command it answers no
    // longer waits for it.
    void lateReplyGone(const QByteArray& line);

    IKLXView* view_;
    IEventCallback* events_;
    Outcome outcome_ = Outcome::Good;
    QByteArray failureLine_;      // why the last exchange failed
    bool failureListed_ = false;  // that line is in the list already
    bool linkErrorListed_ = false; // the link's error was listed during this exchange
    QList<QByteArray> owed_;      // commands owed their reply, oldest first (upper-case names)
    LinkWatch link_;
    bool connected_ = false;      // Check found the reader; CloseLK has not closed it yet
    bool left_ = false;
    QPointer<const QObject> closingOwner_;
    std::function<void()> closingStep_;
};

} // namespace orvid
