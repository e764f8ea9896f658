// Keysyms to the layer's virtual keys (no X header needed by callers).
#pragma once

namespace platform::x11 {

// The virtual key of an unshifted keysym, or 0 for keys the layer has no name for.
int VirtualKeyOf(unsigned long keysym);

}  // namespace platform::x11
