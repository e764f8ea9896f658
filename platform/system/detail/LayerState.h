// Reset hooks of the per-profile caches, called by ResetProfileForTests.
#pragma once

namespace platform::detail {
void ResetDriveState();
void ResetRegistryState();
}  // namespace platform::detail
