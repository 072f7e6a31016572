#pragma once
// Puts the system R window into the link's system table.

namespace orvid {
struct AppContext;
void RegisterSystemKR(AppContext& ctx);
} // namespace orvid
