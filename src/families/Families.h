#pragma once
// Registers the windows of every built device family in the system table.

namespace orvid {
struct AppContext;
void RegisterFamilies(AppContext& ctx);
} // namespace orvid
