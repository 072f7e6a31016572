#include "Trace.h"

Q_LOGGING_CATEGORY(lcStartup, "orvid.startup")

namespace orvid {

void DebugTrace(const QString& source, qint32 level, const QString& text)
{
    qCDebug(lcStartup).noquote().nospace() << source << ": " << text << " (level " << level << ')';
}

} // namespace orvid
