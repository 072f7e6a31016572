#pragma once
// What a system error number (errno) means, said to the user in the program's own German,
// as the platform's messages say it there: the toolkit's texts are English for most
// numbers, and its coarse error kinds (a "network error") lose the cause.

#include <QString>

namespace orvid {

// The description of error (an errno value); "Systemfehler <n>" for a number the program
// has no text for.
QString SystemErrorText(int error);

} // namespace orvid
