#pragma once

#include "RegisterWL.h"

namespace orvid {

struct AppContext;

// Registers entry 8 (framed protocol) with the I/O window it shares with entry 7 and its
// own state window.
void RegisterSystemWLFramed(AppContext& ctx, const WLIOWindow& io);

} // namespace orvid
