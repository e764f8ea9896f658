// Fixed parameters and code tables of the deflate compressor.
//
// Everything here is a compile-time constant: the window and match limits, the level table, and
// the code tables of the RFC 1951 format (length and distance codes with their extra bits, the
// static trees). The tables are built by constexpr functions, so there is no generated file and
// no start-up work. Nothing in this header holds state.
#pragma once

#include <array>
#include <cstdint>

namespace zip::deflate {

// Window and matcher.
inline constexpr unsigned kWindowSize = 32768;                // history a match may reach
inline constexpr unsigned kWindowMask = kWindowSize - 1;
inline constexpr unsigned kBufferSize = 2 * kWindowSize;      // the sliding buffer: two halves
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 258;
inline constexpr unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;  // 262
inline constexpr unsigned kMaxDist = kWindowSize - kMinLookahead;     // 32506
inline constexpr unsigned kSlideAt = kWindowSize + kMaxDist;          // 65274
inline constexpr unsigned kHashBits = 15;
inline constexpr unsigned kHashSize = 1u << kHashBits;
inline constexpr unsigned kHashMask = kHashSize - 1;
inline constexpr unsigned kHashShift = 5;  // three shifts push a byte out of the 15-bit hash
inline constexpr unsigned kTooFar = 4096;  // a 3-byte match farther back than this costs more than it saves
inline constexpr unsigned kNil = 0;        // empty chain link; position 0 is never a candidate
static_assert(kHashShift * kMinMatch >= kHashBits, "the hash must depend on exactly kMinMatch bytes");
static_assert(kSlideAt == 65274);

// The matcher compares 8 bytes at a time and may look up to kMaxMatch + 8 bytes past the
// current position; the buffer carries that much zeroed slack after its 64 KiB.
inline constexpr unsigned kWindowSlack = kMaxMatch + 16;

// Block coder.
inline constexpr unsigned kSymbolBufferSize = 32768;  // symbols of one block (the literal buffer)
inline constexpr unsigned kLiterals = 256;
inline constexpr unsigned kEndBlock = 256;
inline constexpr unsigned kLengthCodes = 29;
inline constexpr unsigned kLCodes = kLiterals + 1 + kLengthCodes;  // 286
inline constexpr unsigned kDCodes = 30;
inline constexpr unsigned kBLCodes = 19;
inline constexpr unsigned kMaxBits = 15;
inline constexpr unsigned kMaxBLBits = 7;
inline constexpr unsigned kHeapSize = 2 * kLCodes + 1;  // 573
inline constexpr unsigned kStaticLCodes = kLCodes + 2;  // the static tree also codes 286 and 287
inline constexpr unsigned kRep3To6 = 16;     // repeat the previous length 3-6 times (2 extra bits)
inline constexpr unsigned kRepZ3To10 = 17;   // 3-10 zero lengths (3 extra bits)
inline constexpr unsigned kRepZ11To138 = 18; // 11-138 zero lengths (7 extra bits)

inline constexpr unsigned kStoredBlock = 0;
inline constexpr unsigned kStaticTrees = 1;
inline constexpr unsigned kDynamicTrees = 2;

// One row of the level table.
struct LevelConfig {
    std::uint16_t goodLength;  // previous match this long: search a quarter of the chain
    std::uint16_t maxLazy;     // lazy: no search after a match this long; greedy: insert limit
    std::uint16_t niceLength;  // stop searching at a match this long
    std::uint16_t maxChain;    // candidates examined per search
    bool lazy;
};

inline constexpr std::array<LevelConfig, 10> kLevels{{
    {0, 0, 0, 0, false},
    {4, 4, 8, 4, false},
    {4, 5, 16, 8, false},
    {4, 6, 32, 32, false},
    {4, 4, 16, 16, true},
    {8, 16, 32, 32, true},
    {8, 16, 128, 128, true},
    {8, 32, 128, 256, true},
    {32, 128, 258, 1024, true},
    {32, 258, 258, 4096, true},
}};

inline constexpr std::array<std::uint8_t, kLengthCodes> kExtraLengthBits{
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr std::array<std::uint8_t, kDCodes> kExtraDistBits{
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
inline constexpr std::array<std::uint8_t, kBLCodes> kExtraBLBits{
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
// The order in which the bit-length code lengths are sent: likely-used codes first.
inline constexpr std::array<std::uint8_t, kBLCodes> kBLOrder{
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

constexpr unsigned reverseBits(unsigned code, unsigned length) {
    unsigned result = 0;
    for (unsigned i = 0; i < length; ++i) {
        result = (result << 1) | (code & 1);
        code >>= 1;
    }
    return result;
}

// Length and distance code tables. The length code of length-3 = 255 (length 258) is 28, not
// the 27 the run of extra bits would give: 258 has a code of its own.
struct CodeTables {
    std::array<std::uint8_t, 256> lengthCode{};  // length - 3 -> length code
    std::array<std::uint16_t, kLengthCodes> baseLength{};  // first length - 3 of each code
    std::array<std::uint8_t, 512> distCode{};    // distance - 1: 0..255 direct, then (d >> 7) at 256+
    std::array<std::uint16_t, kDCodes> baseDist{};  // first distance - 1 of each code
};

constexpr CodeTables makeCodeTables() {
    CodeTables t;
    unsigned length = 0;
    unsigned code = 0;
    for (code = 0; code < kLengthCodes - 1; ++code) {
        t.baseLength[code] = static_cast<std::uint16_t>(length);
        for (unsigned n = 0; n < (1u << kExtraLengthBits[code]); ++n)
            t.lengthCode[length++] = static_cast<std::uint8_t>(code);
    }
    t.lengthCode[length - 1] = static_cast<std::uint8_t>(code);
    t.baseLength[code] = static_cast<std::uint16_t>(length - 1);
    unsigned dist = 0;
    for (code = 0; code < 16; ++code) {
        t.baseDist[code] = static_cast<std::uint16_t>(dist);
        for (unsigned n = 0; n < (1u << kExtraDistBits[code]); ++n)
            t.distCode[dist++] = static_cast<std::uint8_t>(code);
    }
    dist >>= 7;  // from here on, distances are indexed in steps of 128
    for (; code < kDCodes; ++code) {
        t.baseDist[code] = static_cast<std::uint16_t>(dist << 7);
        for (unsigned n = 0; n < (1u << (kExtraDistBits[code] - 7)); ++n)
            t.distCode[256 + dist++] = static_cast<std::uint8_t>(code);
    }
    return t;
}

inline constexpr CodeTables kCodes = makeCodeTables();
static_assert(kCodes.lengthCode[255] == 28 && kCodes.baseLength[28] == 255);
static_assert(kCodes.baseDist[29] == 24576);

// Distance code of (distance - 1).
constexpr unsigned distanceCode(unsigned dist) {
    return dist < 256 ? kCodes.distCode[dist] : kCodes.distCode[256 + (dist >> 7)];
}
// The index of (distance - 1) into distCode for the hot loops, selected with a mask, not a
// branch, which the processor would mispredict on mixed near and far distances. All ones (a
// literal's distance 0, less one) gives an index of its own past the table, kLiteralIndex.
constexpr unsigned distanceIndex(unsigned dist) {
    const unsigned far = 0u - (dist >= 256 ? 1u : 0u);
    return (dist & ~far) | ((256 + ((dist >> 7) & 0x1FF)) & far);
}
inline constexpr unsigned kLiteralIndex = distanceIndex(~0u);
static_assert(kLiteralIndex >= kCodes.distCode.size() && distanceIndex(kWindowSize - 1) < kCodes.distCode.size());
// The distance code of (distance - 1) by that index; `dist` below 32768.
constexpr unsigned distanceCodeNoBranch(unsigned dist) { return kCodes.distCode[distanceIndex(dist)]; }

// Canonical codes from code lengths: codes of one length are consecutive in symbol order, and
// are stored bit-reversed because deflate sends them most significant bit first into a
// least-significant-bit-first stream.
constexpr void assignCodes(const std::uint16_t* length, std::uint16_t* code, int maxCode,
                           const std::array<std::uint16_t, kMaxBits + 1>& counts) {
    std::array<unsigned, kMaxBits + 1> next{};
    unsigned value = 0;
    for (unsigned bits = 1; bits <= kMaxBits; ++bits) {
        value = (value + counts[bits - 1]) << 1;
        next[bits] = value;
    }
    for (int n = 0; n <= maxCode; ++n) {
        const unsigned len = length[n];
        if (len == 0) continue;
        code[n] = static_cast<std::uint16_t>(reverseBits(next[len]++, len));
    }
}

struct StaticTrees {
    std::array<std::uint16_t, kStaticLCodes> literalCode{};
    std::array<std::uint16_t, kStaticLCodes> literalLength{};
    std::array<std::uint16_t, kDCodes> distanceCode{};
    std::array<std::uint16_t, kDCodes> distanceLength{};
};

constexpr StaticTrees makeStaticTrees() {
    StaticTrees t;
    std::array<std::uint16_t, kMaxBits + 1> counts{};
    for (unsigned n = 0; n < kStaticLCodes; ++n) {
        const unsigned len = n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8;
        t.literalLength[n] = static_cast<std::uint16_t>(len);
        ++counts[len];
    }
    assignCodes(t.literalLength.data(), t.literalCode.data(), kStaticLCodes - 1, counts);
    for (unsigned n = 0; n < kDCodes; ++n) {
        t.distanceCode[n] = static_cast<std::uint16_t>(reverseBits(n, 5));
        t.distanceLength[n] = 5;
    }
    return t;
}

inline constexpr StaticTrees kStatic = makeStaticTrees();
static_assert(kStatic.literalCode[0] == reverseBits(0x30, 8) && kStatic.literalCode[256] == 0 &&
              kStatic.literalCode[280] == reverseBits(0xC0, 8) && kStatic.literalCode[144] == reverseBits(0x190, 9));

}  // namespace zip::deflate
