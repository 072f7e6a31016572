#pragma once

#include <functional>

namespace orvid {

struct AppContext;
class frmSystemWLIO;

// System L's inputs/outputs window: one window for entries 7 and 8, built on first use.
struct WLIOWindow {
    std::function<frmSystemWLIO*()> get;        // builds it when needed
    std::function<frmSystemWLIO*()> existing;   // null until built
};

// Registers entry 7 (text protocol) with its I/O window, and returns that window for the
// registration of entry 8.
WLIOWindow RegisterSystemL(AppContext& ctx);

} // namespace orvid
