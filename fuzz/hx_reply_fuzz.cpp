// Interface-unit reply decoding fed arbitrary bytes: Ethernet reply frames (with the
// "further frame" rule) into the unified text, and the status rule of both transports.
//
// Input layout: byte 0 bit 0 picks the header (2 or the 8 of the diagnose header), then
// two frames, each a length byte and that many bytes (the second is the frame that
// follows a status-255 frame).
//
// Checked: a decoded reply carries exactly the frame's data behind its header; its status
// is 0 only for the status byte 0; GetLKResult never turns a failed status into success
// and only ever takes the header off a good reply.

#include "families/hx/HXTelegram.h"

#include <QByteArray>
#include <cstdint>

using namespace orvid::hx;

namespace {

[[noreturn]] void fail([[maybe_unused]] const char* what)
{
    __builtin_trap();
}

QByteArray take(const uint8_t* data, size_t size, size_t& i)
{
    if (i >= size)
        return QByteArray();
    const size_t n = data[i++];
    const size_t m = (i + n > size) ? size - i : n;
    QByteArray b(reinterpret_cast<const char*>(data + i), static_cast<qsizetype>(m));
    i += m;
    return b;
}

void checkResult(const QByteArray& raw, int protocolType, int status)
{
    QByteArray reply = raw;
    const int16_t length = static_cast<int16_t>(raw.size());
    const int16_t n = GetLKResult(reply, length, protocolType, status);
    if (status != 0) {
        if (length > 0 && (n >= 0 || reply != raw))
            fail("a failed status is reported as success or changes the reply");
        return;
    }
    const int header = HeaderLength(protocolType);
    if (n < 0 || reply != raw.mid(header) || (length > header && n != length - header))
        fail("a good reply loses more than its header");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int protocolType = data[0] & 1;
    size_t i = 1;
    const QByteArray frame = take(data, size, i);
    const QByteArray further = take(data, size, i);

    HXReply reply;
    if (DecodeEthernetReply(frame, further, reply)) {
        const QByteArray& used = AnnouncesFurtherFrame(frame) ? further : frame;
        if (!reply.text.endsWith(used.mid(6)))
            fail("the data behind the header is not the frame's");
        if (reply.text.size() != used.size() - 6 + 2)
            fail("the unified header is not two characters");
        const uint8_t byte = static_cast<uint8_t>(used.at(4));
        if ((reply.status == 0) != (byte == 0))
            fail("a status other than 0 reads as success");
        if (reply.status < 0 || reply.status > 255)
            fail("a status past one byte");
        checkResult(reply.text, protocolType, reply.status);
    }
    checkResult(frame, protocolType, SerialStatus(frame));
    if (!frame.isEmpty() && SerialStatus(frame) == 0 && frame.at(0) != '0')
        fail("only the digit 0 is success on serial");
    return 0;
}
