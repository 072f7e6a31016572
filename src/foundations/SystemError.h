#pragma once
// What a system error number (errno) means, said to the user in the program's own German,
// as the platform's messages say it there: the toolkit's texts are English for most
// numbers, and its coarse error kinds (a "network error") lose the cause. A language file
// replaces the texts in its section "SystemErrors", keyed by the error's symbolic name
// (Language::SystemErrorText).

#include <QString>

namespace orvid {

// The description of error (an errno value). A number the program has no text for is
// said with the words for any system error, its number and the system's own description
// of it in place of their two "%s": words given (a language file's key "Other" under
// "SystemErrors"), else the German "Systemfehler %s (%s)".
QString SystemErrorText(int error, const QString& otherWords = QString());
// The key of error's text in a language file: its symbolic name ("EACCES"); empty for a
// number the program has no text for.
QString SystemErrorKey(int error);

} // namespace orvid
