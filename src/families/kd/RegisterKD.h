#pragma once

namespace orvid {

struct AppContext;

// The inductive system D windows: entry 4 (fixcode) and entry 5 (read/write).
void RegisterSystemKD(AppContext& ctx);

} // namespace orvid
