// Lookup tables for canonical prefix codes read lowest bit first (inflate).
//
// One lookup of `root` bits resolves every code of at most that length; longer codes go
// through one subtable indexed by the bits after the root. An entry packs everything the
// hot loop needs in 32 bits, so a length or distance and its extra bits are taken in a
// single consume:
//   bits 0-4   codeword length (for a subtable link: the root bits)
//   bits 5-9   codeword length plus extra bits (for a subtable link: the subtable's bits)
//   bits 10-13 kind flags
//   bits 16-31 literal byte, symbol, base value, or subtable offset
#pragma once

#include <cstdint>

namespace zip::huffman {

inline constexpr std::uint32_t kLiteral = 1u << 10;
inline constexpr std::uint32_t kEndOfBlock = 1u << 11;
inline constexpr std::uint32_t kSubtable = 1u << 12;
inline constexpr std::uint32_t kInvalid = 1u << 13;
inline constexpr unsigned kMaxCodeLength = 15;

inline constexpr unsigned code_length(std::uint32_t e) { return e & 31; }
inline constexpr unsigned total_length(std::uint32_t e) { return (e >> 5) & 31; }
inline constexpr unsigned value(std::uint32_t e) { return e >> 16; }

// What a symbol decodes to, before the builder adds its code length: flags, value and
// the number of extra bits in the total-length field.
inline constexpr std::uint32_t symbol_entry(std::uint32_t flags, std::uint32_t value, unsigned extra_bits = 0) {
    return flags | (value << 16) | (extra_bits << 5);
}
inline constexpr std::uint32_t kInvalidEntry = kInvalid;

enum class BuildResult {
    Ok,
    Empty,           // no symbol has a code
    Oversubscribed,  // more codes than the lengths can hold
    Incomplete,      // unused codes remain (and the longest code is longer than one bit)
    TooLarge,        // the tables would not fit the given capacity
};

// Builds the table for `count` code lengths into `table` (capacity entries; the first
// 2^root are the root table). `symbols` gives each symbol's entry template. A code made of
// a single one-bit code is accepted (its other half decodes as invalid), as deflate
// streams with one distance code need; unused entries always decode as invalid.
BuildResult build(const std::uint8_t* lengths, unsigned count, unsigned root, const std::uint32_t* symbols,
                  std::uint32_t* table, unsigned capacity);

}  // namespace zip::huffman
