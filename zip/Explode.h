// The decoder of compression method 6 (imploding): LZ77 over a 4K or 8K dictionary with
// lengths, distances and (optionally) literals coded by Shannon-Fano trees that the
// stream sends in a compact run-length form.
#pragma once

#include <cstdint>

#include "zip/BitInput.h"
#include "zip/OutputWindow.h"

namespace zip {

// Decodes until the window's declared size is produced. flags are the entry's
// general-purpose flags (8K dictionary: bit 1; literal tree: bit 2).
DecodeStatus explode(BitInput& in, OutputWindow& window, std::uint16_t flags);

}  // namespace zip
