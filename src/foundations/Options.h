#pragma once
// Program-wide flags of the "Settings" section and the current system index.

#include <cstdint>

namespace orvid {

struct AppContext;

struct AppState {
    int16_t CurrentSystem = 0;   // system index 0..10, 0 = none
    bool PollReady = false;      // start-up finished: the poll timer may poll
    bool ShowTimeouts = false;   // the monitor shows "<TIMEOUT>" lines
    bool AutoDetect = false;     // recognise the system at start-up
    bool ReadHeadError = false;  // family windows list the device's status lines
};

// Reads the section "Settings" (language, options, stored system, window-menu marks).
void LoadOptions(AppContext& ctx);
// Writes the section "Settings".
void SaveOptions(AppContext& ctx);

} // namespace orvid
