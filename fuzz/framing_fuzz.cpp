// Reply cutting fed in random chunks, as reads deliver them, under every check mode.
//
// Input layout: byte 0 picks the mode (0 none, 1 additive, 2 XOR), the no-check flag and
// whether a fixed count is asked for; byte 1 is the fixed count or the terminator kind;
// then pairs of (chunk length, bytes...) until the input ends.
//
// Checked on every reply: the bytes handed out plus their check character and terminator
// are exactly the bytes taken from the front of the stream; a checked reply really has
// the right check character; a buffer that holds no complete reply is left untouched.

#include "link/Ports.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using orvid::Ports;

namespace {

const QByteArray kSpecial("\x02\x03\x16\x10\x06\x15", 6);

// what names the broken property for whoever reads the crash in a debugger.
[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

void verify(const QByteArray& before, const QByteArray& after, int result, const QByteArray& reply,
            const QByteArray& tail, int count, const QByteArray& mode, const QByteArray& term, bool noCheck)
{
    if (result == Ports::kIncomplete) {
        if (after != before)
            fail("incomplete buffer changed");
        return;
    }
    if (result != reply.size())
        fail("result is not the reply length");
    const qsizetype taken = before.size() - after.size();
    if (taken < 0 || before.mid(taken) != after)
        fail("buffer lost bytes behind the reply");
    if (before.left(taken) != reply + tail)
        fail("reply and tail are not the bytes taken");
    if (count > 0) {
        if (result != count || !tail.isEmpty())
            fail("fixed count");
        return;
    }
    if (!tail.endsWith(term))
        fail("tail does not end with the terminator");
    const bool cut = !mode.isEmpty() && !noCheck;
    if (tail.size() != term.size() + (cut ? 1 : 0))
        fail("tail length");
    const bool tested = (mode == "~" && !noCheck) || mode == "^";
    if (!tested)
        return;
    const QByteArray framed = reply + tail.left(tail.size() - term.size());
    if (framed.isEmpty())
        fail("checked reply without a check character");
    const quint8 check = static_cast<quint8>(framed.back());
    const QByteArray covered = framed.left(framed.size() - 1);
    quint8 v = 0;
    if (mode == "~") {
        for (char c : covered)
            v = static_cast<quint8>(v + static_cast<quint8>(c));
    } else {
        const qsizetype n = kSpecial.contains(static_cast<char>(check)) ? covered.size() - 1 : covered.size();
        for (qsizetype i = 0; i < n; ++i)
            v ^= static_cast<quint8>(covered[i]);
    }
    if (v != check)
        fail("check character does not match");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint8_t arg = data[1];
    const int modeIndex = flags % 3;
    const QByteArray mode = modeIndex == 1 ? QByteArray("~") : modeIndex == 2 ? QByteArray("^") : QByteArray();
    const bool noCheck = (flags & 0x04) != 0;
    const bool fixed = (flags & 0x08) != 0;
    const int count = fixed ? (arg % 16) + 1 : 0;
    static const QByteArray terminators[] = {QByteArray("\x03", 1), QByteArray("\r"), QByteArray("\r\n"),
                                             QByteArray()};
    const QByteArray term = terminators[arg % 4];

    QByteArray buffer;
    size_t i = 2;
    while (i < size) {
        const size_t chunk = std::min<size_t>(data[i] % 8, size - i - 1);
        buffer.append(reinterpret_cast<const char*>(data + i + 1), static_cast<qsizetype>(chunk));
        i += chunk + 1;
        // Cut as many replies as the buffer now holds, like the receive does after a read.
        for (int guard = 0; guard < 4096; ++guard) {
            const QByteArray before = buffer;
            QByteArray reply = "stale";
            QByteArray tail = "stale";
            const int result = Ports::CutReply(buffer, count, mode, term, kSpecial, noCheck, &reply, &tail);
            verify(before, buffer, result, reply, tail, count, mode, term, noCheck);
            if (result == Ports::kIncomplete)
                break;
            // An empty terminator may match without taking a byte: stop, as the receive would.
            if (buffer.size() == before.size())
                break;
        }
    }
    // Framing must never lose or invent data bytes.
    const QByteArray payload(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    for (int16_t type = 0; type <= 7; ++type) {
        const QByteArray t = Ports::FrameTelegram(type, payload, kSpecial);
        const qsizetype at = type == 6 ? 1 : 0;
        if (t.mid(at, payload.size()) != payload)
            fail("framing changed the data");
    }
    return 0;
}
