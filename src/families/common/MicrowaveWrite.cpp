#include "MicrowaveWrite.h"

#include <QtGlobal>

#include <cmath>

namespace orvid {

std::optional<double> MiniValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    // Below 0 the reader's number counts from 32768: -0.4 would put 8191.5 on the tag.
    if (!ok || !std::isfinite(value) || value < 0 || std::nearbyint(value) > kMiniMax)
        return std::nullopt;
    return value;
}

QByteArray MakeReaderInteger(double value)
{
    double v = value;
    if (v < 0)
        v += 32768;
    const double n = std::isfinite(v) ? qBound(0.0, std::nearbyint(v), 65535.0) : 0.0;
    const int whole = static_cast<int>(n);
    QByteArray out(2, '\0');
    out[0] = static_cast<char>(whole / 256);
    out[1] = static_cast<char>(whole % 256);
    return out;
}

} // namespace orvid
