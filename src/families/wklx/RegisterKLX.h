#pragma once

namespace orvid {

struct AppContext;

// The long-range reader KLX9000: entry 9 with its outputs window.
void RegisterSystemKLX(AppContext& ctx);

} // namespace orvid
