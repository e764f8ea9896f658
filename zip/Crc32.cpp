#include "zip/Crc32.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define TARVIK_CRC_CLMUL 1
#endif

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

namespace {

std::uint32_t update_tables(std::uint32_t crc, const Byte* data, std::size_t size) {
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

using UpdateFn = std::uint32_t (*)(std::uint32_t, const Byte*, std::size_t);

#ifdef TARVIK_CRC_CLMUL

// x^n mod P(x), with P in its usual (unreflected) form, then bit-reversed into the
// 64-bit reflected layout in which the data sits in the vector registers.
constexpr std::uint64_t fold_constant(unsigned n) {
    std::uint64_t v = 1;
    for (unsigned i = 0; i < n; ++i) {
        v <<= 1;
        if (v & (std::uint64_t{1} << 32)) v ^= 0x104C11DB7;
    }
    std::uint64_t r = 0;
    for (unsigned i = 0; i < 64; ++i)
        if (v & (std::uint64_t{1} << i)) r |= std::uint64_t{1} << (63 - i);
    return r;
}

// Folding a 128-bit remainder T bits ahead multiplies its upper-degree half by
// x^(T+64) and its lower half by x^T, modulo P. A carry-less product of two reflected
// 64-bit values comes out one degree low in the 128-bit layout, hence the exponents - 1.
constexpr std::uint64_t kFold512High = fold_constant(512 + 64 - 1);
constexpr std::uint64_t kFold512Low = fold_constant(512 - 1);
constexpr std::uint64_t kFold128High = fold_constant(128 + 64 - 1);
constexpr std::uint64_t kFold128Low = fold_constant(128 - 1);

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i acc, __m128i k, __m128i next) {
    const __m128i a = _mm_clmulepi64_si128(acc, k, 0x00);  // degree-high half times its constant
    const __m128i b = _mm_clmulepi64_si128(acc, k, 0x11);  // degree-low half times its constant
    return _mm_xor_si128(_mm_xor_si128(a, b), next);
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t update_clmul(std::uint32_t crc, const Byte* data,
                                                                   std::size_t size) {
    if (size < 128) return update_tables(crc, data, size);
    auto load = [](const Byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    // The running CRC joins the first four data bytes, as the byte-wise step would xor it.
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = load(data + 16), x2 = load(data + 32), x3 = load(data + 48);
    data += 64;
    size -= 64;
    // Four independent remainders, each folded 512 bits ahead per round.
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Low), static_cast<long long>(kFold512High));
    while (size >= 64) {
        x0 = fold(x0, k512, load(data));
        x1 = fold(x1, k512, load(data + 16));
        x2 = fold(x2, k512, load(data + 32));
        x3 = fold(x3, k512, load(data + 48));
        data += 64;
        size -= 64;
    }
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Low), static_cast<long long>(kFold128High));
    x1 = fold(x0, k128, x1);
    x2 = fold(x1, k128, x2);
    x3 = fold(x2, k128, x3);
    while (size >= 16) {
        x3 = fold(x3, k128, load(data));
        data += 16;
        size -= 16;
    }
    // The 128-bit remainder stands for everything so far: its CRC from zero is the
    // running CRC at this point.
    alignas(16) Byte rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x3);
    return update_tables(update_tables(0, rest, sizeof rest), data, size);
}

// Chosen on first use rather than by a static initializer, so that callers in other
// static initializers find it ready.
UpdateFn choose_update() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1") ? update_clmul : update_tables;
}

#else
UpdateFn choose_update() { return update_tables; }
#endif

}  // namespace

std::uint32_t update(std::uint32_t crc, const Byte* data, std::size_t size) {
    static const UpdateFn chosen = choose_update();
    return chosen(crc, data, size);
}

std::uint32_t update_portable(std::uint32_t crc, const Byte* data, std::size_t size) {
    return update_tables(crc, data, size);
}

}  // namespace zip::crc32
