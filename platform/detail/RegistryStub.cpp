#include "platform/detail/LayerState.h"
namespace platform::detail {
void ResetRegistryState() {}
}  // namespace platform::detail
