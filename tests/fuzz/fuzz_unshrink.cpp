// Unshrink on arbitrary input: a status within the declared size, never a crash or hang.
#include "tests/fuzz/FuzzInput.h"

namespace zip::fuzz {
bool target_takes_method(std::uint16_t method) { return method == 1; }
}  // namespace zip::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::fuzz::Input in;
    if (zip::fuzz::parse(data, size, in)) zip::fuzz::run(1, 0, in);
    return 0;
}
