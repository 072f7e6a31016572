#include "HashCrWire.h"

#include "FamilyProtocol.h"
#include "link/Ports.h"

#include <algorithm>

namespace orvid {

namespace {
const QByteArray kTerminator("#\r");
// How long the rest of a reply cut at a "#" CR inside its data may keep us waiting: the
// device sends a reply in one go, so its rest follows at once.
constexpr int16_t kContinuationWait = 500;
} // namespace

QByteArray HashCrTelegram(const QByteArray& command, const QByteArray& parameter)
{
    return command + parameter + kTerminator;
}

int16_t HashCrResult(QByteArray& reply, int16_t length)
{
    if (length <= 0)
        return length;
    int status = 0;
    if (!reply.isEmpty() && reply.at(0) >= '0' && reply.at(0) <= '9')
        status = reply.at(0) - '0';
    if (status == 0) {
        reply.remove(0, 1);
        return static_cast<int16_t>(length - 1);
    }
    return static_cast<int16_t>(-status);
}

int16_t HashCrReplies::frame(const Receive& receive, QByteArray& into, const QVariant& logOption)
{
    if (!kept_.isEmpty()) {
        into = kept_.takeFirst();
        return static_cast<int16_t>(std::min<qsizetype>(into.size(), 32767));
    }
    return receive(into, logOption);
}

int16_t HashCrReplies::ReceiveReply(const Receive& receive, Ports* ports, QByteArray& reply, int expectedData,
                                    const QVariant& logOption)
{
    const int16_t n = frame(receive, reply, logOption);
    if (expectedData <= 0 || n <= 0 || reply.isEmpty() || reply.at(0) != '0' || reply.size() - 1 >= expectedData)
        return n;

    // A good reply shorter than its known length either ended at a "#" CR inside its data
    // (the rest of the data follows, cut into pieces at every further "#" CR) or really
    // is short (then what follows is the next reply, say the next repetition of a
    // Buffered read). The pieces are taken as this reply's data only when they add up to
    // exactly the expected length; otherwise they are kept, in order, as the next replies.
    // The link hands an empty piece ("#" CR "#" CR in the data) over as one blank: such a
    // piece counts as empty or, when only that fits the length, as a blank.
    QList<QByteArray> pieces;
    int shortest = static_cast<int>(reply.size()) - 1;  // data length, every blank piece empty
    int blanks = 0;
    bool whole = false;
    bool blanksAreData = false;
    const int16_t previous = ports ? ports->GetTimeout() : 0;
    if (ports)
        ports->SetTimeout(std::min(previous, kContinuationWait));
    for (;;) {
        if (shortest == expectedData) {
            whole = true;
            break;
        }
        if (blanks > 0 && shortest + blanks == expectedData) {
            whole = true;
            blanksAreData = true;
            break;
        }
        // Every further piece brings at least the two bytes of a "#" CR.
        if (shortest + 2 > expectedData)
            break;
        QByteArray piece;
        if (frame(receive, piece, logOption) <= 0)
            break; // nothing more came in time: the reply really is short
        pieces.append(piece);
        if (piece == " ")
            ++blanks;
        else
            shortest += static_cast<int>(piece.size());
        shortest += static_cast<int>(kTerminator.size());
    }
    if (ports)
        ports->SetTimeout(previous);

    if (!whole) {
        kept_ = pieces + kept_;
        return n;
    }
    for (const QByteArray& piece : pieces)
        reply += kTerminator + (piece == " " && !blanksAreData ? QByteArray() : piece);
    return static_cast<int16_t>(std::min<qsizetype>(reply.size(), 32767));
}

bool HashCrRepeatingRead::TelegramGoingOut(const QByteArray& command, bool reads)
{
    telegramReads_ = reads;
    if (!command.startsWith("QU"))
        return false;
    running_ = false;
    return true;
}

void HashCrRepeatingRead::Note(bool fixcode, const QByteArray& reply, int n)
{
    if (n > 2 && reply.at(0) == '0')
        lastData_[fixcode].note(reply);
}

bool HashCrRepeatingRead::Claim(bool fixcode, const QByteArray& frame, int16_t length, bool inAnswer,
                                const std::function<void(const QByteArray&)>& list) const
{
    if (inAnswer && !lastData_[fixcode].echoes(frame.left(length), telegramReads_))
        return false;
    list(frame);
    return true;
}

QString HashCrStatusLine(const FamilyProtocol& layer, const QByteArray& reply, const QString& prefix,
                         bool withPrefix, const std::function<QString(char)>& builtin)
{
    if (reply.isEmpty())
        return QString();
    const QString code = QString(QLatin1Char(reply.at(0)));
    QString text = layer.Translate(QStringLiteral("ERROR_QTB_") + code, QString());
    if (text.isEmpty() && builtin)
        text = builtin(reply.at(0));
    if (text.isEmpty())
        return QString();
    return (withPrefix ? prefix : QString()) + QLatin1Char(' ') + code + QStringLiteral(" - ") + text;
}

} // namespace orvid
