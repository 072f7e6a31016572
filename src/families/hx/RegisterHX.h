#pragma once

namespace orvid {

struct AppContext;

// The interface-unit window for system entries 1 (serial) and 10 (Ethernet).
void RegisterSystemHX(AppContext& ctx);

} // namespace orvid
