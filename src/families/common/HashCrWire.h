#pragma once
// The "#" CR text wire that system R and microwave system L (text protocol) share: a
// command is letters, a parameter and "#" CR; a reply is a status digit, data and "#" CR,
// with no escaping. Both families continue a reply cut at a "#" CR inside its data, look
// their status texts up the same way and have reads that repeat on the head until "QU";
// the pieces live here so the two stay one code.

#include "FamilyProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <functional>

namespace orvid {

class Ports;

// command & parameter & "#" & CR
QByteArray HashCrTelegram(const QByteArray& command, const QByteArray& parameter);
// Status digit 0: strips it, returns length - 1. Other digit d: returns -d and leaves the
// reply. A first byte that is not a digit counts as status 0. length <= 0 passes.
int16_t HashCrResult(QByteArray& reply, int16_t length);

class HashCrReplies {
public:
    // One frame from the link, as FamilyProtocol's receive does.
    using Receive = std::function<int16_t(QByteArray&, const QVariant&)>;

    // Receives one reply; with expectedData > 0 a good reply ("0" first) shorter than that
    // is continued past its "#" CR, but only with pieces that make up exactly the expected
    // data length: pieces that do not (a reply that really was short, followed by the
    // next repetition of a Buffered read) are kept and handed out as the next replies.
    // Returns the received length (0: nothing), as Ports::ReceiveTelegram does.
    int16_t ReceiveReply(const Receive& receive, Ports* ports, QByteArray& reply, int expectedData,
                         const QVariant& logOption);
    // Forgets replies kept for later: every telegram sent flushes the input, so they are
    // stale once the next one goes out.
    void Drop() { kept_.clear(); }
    // A frame received elsewhere, handed out first by the next ReceiveReply.
    void Keep(const QByteArray& frame) { kept_.prepend(frame); }

private:
    int16_t frame(const Receive& receive, QByteArray& into, const QVariant& logOption);
    QList<QByteArray> kept_;   // replies received past the one asked for, oldest first
};

// A read that repeats on the head by itself until "QU" (a Buffered read), as the link meets
// it around another telegram (ISystemForm::ReadRunning, ReadFrame). The frames of it
// waiting before a telegram goes out are the read's; in the telegram's answer a frame is a
// repeat when it carries the data that kind of read (data or fixcode) gave last, unless the
// telegram reads tags itself (its answer then has the form of a repeat).
class HashCrRepeatingRead {
public:
    // The read was asked for and repeats on the head.
    void Start() { running_ = true; }
    bool Running() const { return running_; }
    // Before a telegram goes out; reads: it reads tags itself. "QU" ends the read on the
    // head, whoever sends it: true then.
    bool TelegramGoingOut(const QByteArray& command, bool reads);
    // A reply a read of that kind received (length n): one with data is noted.
    void Note(bool fixcode, const QByteArray& reply, int n);
    // A frame met while the read runs: listed (list, as the poll step lists it) and
    // claimed, unless it is met in an answer and is no repeat.
    bool Claim(bool fixcode, const QByteArray& frame, int16_t length, bool inAnswer,
               const std::function<void(const QByteArray&)>& list) const;

private:
    bool running_ = false;
    std::array<ReadEcho, 2> lastData_;   // of a data read [0] and of a fixcode read [1]
    bool telegramReads_ = false;
};

// The status line of an error reply: "<prefix> <code> - <text>", where the text is the
// layer's language key "ERROR_QTB_<code>" or else builtin(code). Empty when neither knows
// the code (or the reply is empty). Without prefix the line begins with the blank.
QString HashCrStatusLine(const FamilyProtocol& layer, const QByteArray& reply, const QString& prefix,
                         bool withPrefix, const std::function<QString(char)>& builtin);

} // namespace orvid
