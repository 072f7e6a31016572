#pragma once
// The "#" CR text wire that system R and microwave system L (text protocol) share: a
// command is letters, a parameter and "#" CR; a reply is a status digit, data and "#" CR,
// with no escaping. Both families continue a reply cut at a "#" CR inside its data and look
// their status texts up the same way; the pieces live here so the two stay one code.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>

namespace orvid {

class FamilyProtocol;
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

// The status line of an error reply: "<prefix> <code> - <text>", where the text is the
// layer's language key "ERROR_QTB_<code>" or else builtin(code). Empty when neither knows
// the code (or the reply is empty). Without prefix the line begins with the blank.
QString HashCrStatusLine(const FamilyProtocol& layer, const QByteArray& reply, const QString& prefix,
                         bool withPrefix, const std::function<QString(char)>& builtin);

} // namespace orvid
