#pragma once
// The base of every family's telegram layer (KRProtocol, WDProtocol, ...): no widgets.
// It holds what every layer needs to reach the device and its window, so that a family's
// own class is its telegrams, its reply decoding and its window state, and little else:
//
//   - the application context and the view (IFamilyView, or the family's extension of it);
//   - send and receive through the device link (serial through Ports, or the window's own
//     transport for a family that implements ILkDirectAccess: the link picks the route);
//   - the data list's status lines, numbered messages, translated texts in the family's
//     language section, the "show the head's error" option, the failed-write report;
//   - the exchange gate (Exchange.h): one policy for refusing a second device action,
//     pausing the poll timer and deferring a Stop until the link is idle;
//   - what the link calls on the family's window (ISystemForm), as virtual functions the
//     window base (FamilyForm) forwards to.
//
// A family over TCP frames nothing itself through Ports: its window implements
// ILkDirectAccess (FamilyForm with DirectAccess()), its BuildTelegram is the text it
// writes, and the same send helpers reach it through the link.

#include "Exchange.h"
#include "foundations/Menues.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <functional>

namespace orvid {

struct AppContext;
class ILkDirectAccess;

// An answer the device owes to a telegram sent without waiting (a read whose poll step
// takes it), and the time it has: what a layer's ReplyOwed tells the link.
class AnswerDue {
public:
    // Sent now; due within ms.
    void expect(int ms)
    {
        due_ = true;
        since_.start();
        within_ = ms;
    }
    // Taken, or given up.
    void settle() { due_ = false; }
    bool due() const { return due_; }
    // The ms it may still take, 0 when its time is up; -1 when none is due.
    int msLeft() const { return due_ ? static_cast<int>(std::max<qint64>(0, within_ - since_.elapsed())) : -1; }

private:
    bool due_ = false;
    QElapsedTimer since_;
    int within_ = 0;
};

// The frame a read that sends by itself gave last. In the answer to another telegram a
// frame of the read is told by its bytes: the same data again (one of a tag that has just
// come cannot be told). A telegram that reads tags itself answers in the read's form, so
// then nothing is told.
class ReadEcho {
public:
    void note(const QByteArray& frame) { last_ = frame; }
    bool echoes(const QByteArray& frame, bool telegramReads) const
    {
        return !telegramReads && !last_.isEmpty() && frame == last_;
    }

private:
    QByteArray last_;
};

// What every telegram layer needs of its window. Families extend it with their entries
// (IKRView, IWDView).
class IFamilyView {
public:
    virtual ~IFamilyView() = default;
    // One entry of the data list: kind 1 a text line, kind 2 data (caption: the data's
    // label, may be empty). Bytes, one per character.
    virtual void ShowData(int kind, const QByteArray& caption, const QByteArray& data) = 0;
    // True once the window's load handler has run.
    virtual bool Loaded() const = 0;
    // Hourglass pointer on / off around device exchanges (nests).
    virtual void SetBusy(bool busy) = 0;
};

class FamilyProtocol {
public:
    // languageSection: the family window's section in the language file.
    FamilyProtocol(AppContext& ctx, const char* languageSection, IFamilyView* view = nullptr);
    virtual ~FamilyProtocol();
    FamilyProtocol(const FamilyProtocol&) = delete;
    FamilyProtocol& operator=(const FamilyProtocol&) = delete;

    AppContext& Context() const { return ctx_; }
    IFamilyView* View() const { return view_; }
    ExchangeGate& Exchanges() { return gate_; }
    const ExchangeGate& Exchanges() const { return gate_; }

    // ---- what the link calls (the window base forwards ISystemForm here) ------------
    virtual Menues CommandList() const { return Menues(); }
    virtual bool Check() = 0;
    virtual void Init(bool ethernet = false) = 0;
    // One poll step; the text the link hands on (most families: empty).
    virtual QString PollStep(const QVariant& a, const QVariant& b) = 0;
    virtual void CloseLK() = 0;
    virtual void StopBuffered() = 0;
    // The family's data items; false when the id is not the family's (value untouched).
    virtual bool PutData(int16_t id, const QVariant& value);
    virtual bool GetData(int16_t id, QVariant& value) const;
    // The framed telegram, and the reply's result (the link's SetLKString/GetLKResult).
    virtual QByteArray BuildTelegram(const QByteArray& command, const QByteArray& suffix) = 0;
    virtual int16_t ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption) = 0;
    // The transport of a family that moves its own telegrams (TCP); null: serial via Ports.
    virtual ILkDirectAccess* DirectAccess() { return nullptr; }
    // What a read of the family has on the line when the link sends the next telegram
    // (ISystemForm::ReplyOwed, OwedReply, ReadRunning, ReadFrame): a reply still owed to a
    // telegram sent without waiting, and the frames a read that repeats by itself sends.
    // The family lists them as its poll step would.
    virtual int ReplyOwed() const { return -1; }
    virtual void OwedReply(QByteArray& reply, int16_t length) { Q_UNUSED(reply); Q_UNUSED(length); }
    virtual bool ReadRunning() const { return false; }
    virtual bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
    {
        Q_UNUSED(frame);
        Q_UNUSED(length);
        Q_UNUSED(inAnswer);
        return false;
    }

    // The device's status line for an error reply (empty: none to show).
    virtual QString StatusLine(const QByteArray& reply) const;

    // ---- shared helpers ------------------------------------------------------------------
    // The system index now selected (the link's, or the program state's without one).
    int16_t CurrentSystem() const;
    // True when the user wants a head's error replies in the data list.
    bool ReadHeadError() const;
    // The text of key in the family's language section (text when there is no language).
    QString Translate(const QString& key, const QString& text) const;
    // A text line in the data list (Windows-1252), nothing for an empty text.
    void ShowLine(const QString& text);
    void ShowMessage(int16_t number);
    // Reports a write that did not happen: reason (may be empty), the device's status line
    // for statusReply (may be empty), and message 4. Returns false.
    bool FailWrite(const QString& reason, const QByteArray& statusReply);
    void SetBusy(bool busy);

protected:
    void setView(IFamilyView* view) { view_ = view; }

    // Through the link (nothing without one): as LK::SendCommand, LK::SendOnly, and one
    // received frame (LK::LkReceive, or Ports without a link).
    int16_t sendCommand(const QByteArray& command, QByteArray& reply, const QVariant& logOption,
                        bool& ok);
    int16_t sendCommand(const QByteArray& command, const QVariant& logOption = QVariant());
    void sendOnly(const QByteArray& command, const QByteArray& parameter,
                  const QVariant& logOption = QVariant());
    // noCheck: the frame's check character is not tested (and stays on the frame).
    int16_t receive(QByteArray& reply, const QVariant& logOption, bool noCheck = false);
    // A further frame of the answer to a telegram sent through the link: a frame of the
    // family's running read met on the way is listed, not taken (LK::ReceiveAnswer).
    int16_t receiveAnswer(QByteArray& reply, const QVariant& logOption);
    // Sends a stop and takes its answer off the line, past the replies a read it ended may
    // still send first (isAnswer tells the answer by its received frame; the frames taken
    // before it go to passed, when given, so a family can see its own late result among
    // them). Left there, the answer would be the next exchange's reply, or the next
    // system's at its recognition. A leading "§" (0xA7) sends the command without it and
    // takes the frames with their check characters untested. False when no answer came.
    bool sendStop(const QByteArray& command, const QByteArray& parameter,
                  const std::function<bool(const QByteArray&)>& isAnswer, QList<QByteArray>* passed = nullptr,
                  const QVariant& logOption = QVariant(), bool lateAnswerMayCome = false);
    // lateAnswerMayCome: the command the stop ends went unanswered in its time and may
    // still answer, in a frame the stop's answer may look like. The unit answers each
    // telegram once and in order, so when a second answer follows the first one within
    // this wait, the first was the late answer (it goes to passed) and the second is the
    // stop's.
    static constexpr int kSecondAnswerMs = 250;
    // A repeating read sends a reply every few hundred ms at most: a handful of them can be
    // ahead of a stop's answer, not an endless stream (a device that keeps sending after
    // the stop does not hold it).
    static constexpr int kRepliesBeforeStopAnswer = 4;
    // A stop whose answer the device decides (nothing says what it holds). Sent while
    // none of the family's reads or writes may still reply (repliesMayCome false), the
    // first frame is its answer, and is kept as the device's answer to that command; sent
    // while one may, the wait takes the read's frames up to the one equal to the answer
    // kept. So any answer ends the wait at once, whatever the unit puts in it.
    bool sendDeviceStop(const QByteArray& command, bool repliesMayCome, const QVariant& logOption = QVariant());
    // Whether input has come, or comes within ms.
    bool inputWithin(int ms);
    // Runs before every telegram the helpers send (the input is flushed then: replies a
    // family kept for later are stale).
    virtual void telegramGoingOut() {}

    AppContext& ctx_;

private:
    const char* section_;
    IFamilyView* view_ = nullptr;
    ExchangeGate gate_;
    QHash<QByteArray, QByteArray> deviceStopAnswers_;   // command -> the device's answer
};

} // namespace orvid
