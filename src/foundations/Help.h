#pragma once
// Help and opening documents or web addresses with the desktop's associated program.

#include <QString>

namespace orvid {

struct AppContext;

// Opens the current language's help file with the desktop's viewer when it exists;
// otherwise message 9 names the file it looked for. The viewer has no topic navigation, so
// the context number (0 = contents) only tells which topic was asked for. False (with a
// warning in the log) when the help file exists but the desktop could not open it; the
// caller may tell the user.
bool ShowHelp(AppContext& ctx, int context);

// Opens a file (absolute, or relative to the working folder) or a web address with its
// associated program. False when it could not be opened; the caller reports that.
bool ShellOpen(const QString& fileOrUrl);

} // namespace orvid
