// Inflate against zlib: whatever zlib decodes completely, we must decode to the same bytes;
// on everything else we must end in a status within the declared size.
#include <zlib.h>

#include <cstring>

#include "tests/fuzz/FuzzInput.h"

namespace zip::fuzz {
bool target_takes_method(std::uint16_t method) { return method == 8; }
}  // namespace zip::fuzz

namespace {

// zlib's raw inflate into at most `limit` bytes; returns false unless the stream ended.
bool zlib_inflate(std::span<const Byte> stream, std::vector<Byte>& out) {
    static std::vector<Byte> buffer(zip::fuzz::kMaxDeclared);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Byte*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    const int rc = inflate(&z, Z_FINISH);
    out.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(z.total_out));
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::fuzz::Input in;
    if (!zip::fuzz::parse(data, size, in)) return 0;
    zip::DecodeStatus status;
    const std::vector<Byte> ours = zip::fuzz::run(8, 0, in, &status);

    std::vector<Byte> theirs;
    if (zlib_inflate(in.stream, theirs)) {
        // With the declared size set to zlib's output, we must agree exactly.
        in.declared = static_cast<std::uint32_t>(theirs.size());
        const std::vector<Byte> again = zip::fuzz::run(8, 0, in, &status);
        if (status != zip::DecodeStatus::Ok || again != theirs) std::abort();
    }
    return 0;
}
