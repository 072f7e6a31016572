#pragma once
// Registers the microwave system D windows (main, outputs, unit state) for system entry 6.

namespace orvid {
struct AppContext;
void RegisterSystemWD(AppContext& ctx);
} // namespace orvid
