#include "zip/Crc32.h"

#include <cstring>

namespace zip::crc32 {

namespace {

constexpr Tables make_tables() {
    Tables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? kPolynomial : 0);
        t[0][b] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

// Computed by the compiler: constant data, no start-up work, no generated source file.
constexpr Tables kTables = make_tables();
static_assert(kTables[0][1] == 0x77073096, "the zip format's CRC table");

std::uint32_t load_le32(const Byte* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

const Tables& tables() { return kTables; }

std::uint32_t update(std::uint32_t crc, const Byte* data, std::size_t size) {
    const auto& t = kTables;
    // Slicing by sixteen: the four words of a round are looked up independently, so the
    // loads overlap instead of waiting on the previous byte.
    while (size >= 16) {
        const std::uint32_t a = load_le32(data) ^ crc;
        const std::uint32_t b = load_le32(data + 4);
        const std::uint32_t c = load_le32(data + 8);
        const std::uint32_t d = load_le32(data + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        data += 16;
        size -= 16;
    }
    while (size-- > 0) crc = t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace zip::crc32
