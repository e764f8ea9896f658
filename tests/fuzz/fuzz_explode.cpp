// Explode with both dictionary sizes and tree counts (flag bits 1 and 2 of the selector).
#include "tests/fuzz/FuzzInput.h"

namespace zip::fuzz {
bool target_takes_method(std::uint16_t method) { return method == 6; }
}  // namespace zip::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::fuzz::Input in;
    if (zip::fuzz::parse(data, size, in)) zip::fuzz::run(6, static_cast<std::uint16_t>(in.selector & 6), in);
    return 0;
}
