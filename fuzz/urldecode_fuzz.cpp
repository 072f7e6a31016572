// Percent escaping of TCP lines: decoding any text must neither crash nor grow it, and
// every text must come back unchanged from encoding and decoding.
#include "link/Network.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QByteArray decoded = orvid::Network::UrlDecode(text);
    if (decoded.size() > text.size())
        std::abort();
    // Without a "%" there is nothing to decode.
    if (!text.contains('%') && decoded != text)
        std::abort();

    const QByteArray encoded = orvid::Network::UrlEncode(text);
    for (const char c : {'\0', '\n', ',', ';', '='})
        if (encoded.contains(c))
            std::abort();
    if (orvid::Network::UrlDecode(encoded) != text)
        std::abort();
    return 0;
}
