#include "Trace.h"

// Silent unless asked for (QT_LOGGING_RULES="orvid.startup.debug=true"): the start-up
// steps are a diagnosis aid, not something every start should print.
Q_LOGGING_CATEGORY(lcStartup, "orvid.startup", QtInfoMsg)

namespace orvid {

void DebugTrace(const QString& source, qint32 level, const QString& text)
{
    qCDebug(lcStartup).noquote().nospace() << source << ": " << text << " (level " << level << ')';
}

} // namespace orvid
