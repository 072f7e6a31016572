#pragma once
// Start-up trace: one line per start-up step in the logging category "orvid.startup",
// shown when enabled, e.g. QT_LOGGING_RULES="orvid.startup.debug=true".

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace orvid {

// Writes "source: text (level n)" to the start-up category; nothing when it is disabled.
void DebugTrace(const QString& source, qint32 level, const QString& text);

} // namespace orvid
