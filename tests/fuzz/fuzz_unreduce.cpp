// Unreduce with every factor (from the selector byte) on arbitrary input.
#include "tests/fuzz/FuzzInput.h"

namespace zip::fuzz {
bool target_takes_method(std::uint16_t method) { return method >= 2 && method <= 5; }
}  // namespace zip::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::fuzz::Input in;
    if (zip::fuzz::parse(data, size, in)) zip::fuzz::run(static_cast<std::uint16_t>(2 + (in.selector & 3)), 0, in);
    return 0;
}
