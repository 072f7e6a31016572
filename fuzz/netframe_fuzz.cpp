// The binary-frame reader of the TCP link, fed a byte stream in pieces of varying size:
// a frame is handed out only when complete and with the length it announces, a refused
// length drops the input, and the reader never gets stuck on bytes it has seen.
#include "link/Network.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the size of the pieces the stream arrives in.
    const qsizetype piece = 1 + data[0] % 16;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1,
                            static_cast<qsizetype>(size) - 1);

    QByteArray buffer;
    qsizetype fed = 0;
    qsizetype taken = 0;
    while (fed < stream.size() || !buffer.isEmpty()) {
        if (fed < stream.size()) {
            buffer += stream.mid(fed, piece);
            fed += qMin(piece, stream.size() - fed);
        }
        for (;;) {
            const int status = orvid::Network::FrameStatus(buffer);
            if (status == 0) {
                if (buffer.size() >= 2) {
                    const int announced = uchar(buffer[0]) * 256 + uchar(buffer[1]);
                    if (announced <= buffer.size() || announced < 2
                        || announced > orvid::Network::kMaxFrameLength)
                        std::abort(); // complete or refusable, yet reported as waiting
                }
                break;
            }
            if (status < 0) {
                const int announced = uchar(buffer[0]) * 256 + uchar(buffer[1]);
                if (announced >= 2 && announced <= orvid::Network::kMaxFrameLength)
                    std::abort();
                taken += buffer.size();
                buffer.clear();
                break;
            }
            if (status > buffer.size() || status < 2
                || status != uchar(buffer[0]) * 256 + uchar(buffer[1]))
                std::abort();
            taken += status;
            buffer.remove(0, status);
        }
        if (fed >= stream.size() && orvid::Network::FrameStatus(buffer) == 0)
            break; // the rest waits for bytes that never come
    }
    if (taken + buffer.size() != stream.size())
        std::abort();
    return 0;
}
