// Stored window placements come from a per-user file that anyone can edit: the parser must
// take any text without failing, and what it reads must survive being written back.
#include "foundations/WindowPlacement.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const orvid::ParsedPlacement p = orvid::ParsePlacement(text);
    if (p.maximized && p.geometryValid)
        std::abort();
    if (!p.maximized && !p.geometryValid && p.flag)
        std::abort(); // a parse cut short never reports the flag

    if (p.maximized || p.geometryValid) {
        const std::optional<int16_t> flag = p.flag ? std::optional<int16_t>(1) : std::nullopt;
        const QString written =
            orvid::FormatPlacement(p.maximized, false, p.width, p.height, p.left, p.top, flag);
        const orvid::ParsedPlacement q = orvid::ParsePlacement(written);
        if (q.maximized != p.maximized || q.flag != p.flag)
            std::abort();
        if (p.geometryValid
            && (!q.geometryValid || q.width != p.width || q.height != p.height || q.left != p.left
                || q.top != p.top))
            std::abort();
    }
    return 0;
}
