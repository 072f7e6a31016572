// Framed system L reply decoding fed arbitrary bytes: the header and toggle test, the
// removal of the DLE escapes, the "PA" reading, the "CO" status, the "QA" reader texts and
// the reader parameter string.
//
// Input layout: byte 0 the bus address, byte 1 bit 0 the toggle bit expected and bits
// 1..7 a length cut (how many bytes of the reply the link says it gave, counted from the
// end), then the reply as the link hands it out (STX, address, header, status, data).
//
// Checked: no decoder reads past the reply's end or gives a negative length; unescaping
// never grows the data and keeps every byte that follows a DLE; a reading's data line is
// no longer than its class allows; the parameter string composes to 36 characters and a
// second parse and compose gives the same string; byte orders round-trip.

#include "families/wl/WLFramedProtocol.h"
#include "families/wl/WLParameterString.h"

#include <QByteArray>
#include <cstdint>

using namespace orvid;
using namespace orvid::wlframed;

namespace {

[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    const int address = data[0];
    const int toggle = data[1] & 1;
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    const int n = std::max<int>(0, static_cast<int>(reply.size()) - (data[1] >> 1));

    if (AcceptReply(reply, n, address, toggle)) {
        if (n < 5 || reply.at(0) != kSTX)
            fail("accepted a reply without its header");
    }
    const Reply r = StripHeader(reply, n);
    if (r.data.size() > std::max(0, n - kHeaderLength))
        fail("data past the reply's end");

    const QByteArray plain = Unescape(reply);
    if (plain.size() > reply.size())
        fail("unescaping grew the data");
    // Escaping what came out and removing the escapes again gives it back.
    QByteArray escaped;
    for (char c : plain) {
        if (IsSpecial(c))
            escaped.append(kDLE);
        escaped.append(c);
    }
    if (Unescape(escaped) != plain)
        fail("unescaping lost a byte");

    const Reading reading = DecodeReading(r.data);
    if (reading.valid && reading.prefix.size() + reading.data.size() > 9 + 255)
        fail("reading line longer than any class");
    if (reading.valid && reading.idText.size() < 8)
        fail("ID with fewer than eight digits");
    (void)DecodeStatus(r.data, r.error);

    QByteArray type, version;
    if (ParseReaderInfo(r.data, type, version) && !version.contains("KT7-3MV "))
        fail("version text without its product line");

    const QByteArray composed = ComposeParameters(ParseParameters(reply));
    if (composed.size() != kParameterLength)
        fail("parameter string of the wrong length");
    if (ComposeParameters(ParseParameters(composed)) != composed)
        fail("parameter string not stable");

    if (MakeIntelLong(MakeLong(MakeIntelLong(reply))) != MakeIntelLong(reply))
        fail("byte order does not round-trip");
    return 0;
}
