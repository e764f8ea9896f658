// The decoder of compression methods 2 to 5 (reducing with factor 1 to 4): bytes coded
// through per-byte follower sets, then a run-length and copy layer introduced by the
// byte 144.
#pragma once

#include "zip/BitInput.h"
#include "zip/OutputWindow.h"

namespace zip {

// Decodes until the window's declared size is produced. factor is 1 to 4.
DecodeStatus unreduce(BitInput& in, OutputWindow& window, unsigned factor);

}  // namespace zip
