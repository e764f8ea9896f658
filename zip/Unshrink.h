// The decoder of compression method 1 (shrinking): LZW with codes of 9 to 13 bits, where
// code 256 announces either a wider code (sub-code 1) or a partial clear that frees every
// code no other code builds on (sub-code 2).
#pragma once

#include "zip/BitInput.h"
#include "zip/OutputWindow.h"

namespace zip {

// Decodes until the input ends. Corrupt data (a code wider than 13 bits, a chain longer
// than the 8192-byte stack, a first code that is not a byte) ends in BadData.
DecodeStatus unshrink(BitInput& in, OutputWindow& window);

}  // namespace zip
