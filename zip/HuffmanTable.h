// Lookup tables for canonical prefix codes read lowest bit first (inflate).
//
// One lookup of `root` bits resolves every code of at most that length; longer codes go
// through one subtable indexed by the bits after the root. An entry packs everything the
// hot loop needs in 32 bits, so a length or distance and its extra bits are taken in a
// single consume:
//   bits 0-5   bits the entry consumes: codeword plus extra bits, or the root bits of a
//              subtable link
//   bits 8-11  codeword length (where the extra bits start); for a subtable link the
//              subtable's index bits
//   bits 12-15 kind flags
//   bits 16-30 symbol, base value, or subtable offset
//   bit 31     literal; its byte is in bits 16-23
// Bits 6-7 stay 0, so `e & 63` and `e & 0xFF` both give the consumed bits.
//
// A chained entry names in bits 8-11 the root bits of the lookup that follows it, so that
// its low 16 bits are the bit-field extract (start, length) of the next code's index and
// the next lookup need not wait for the consume. Its template sets those bits; its
// codeword length then goes to bits 25-28, and its value has at most 9 bits.
#pragma once

#include <cstdint>

namespace zip::huffman {

inline constexpr std::uint32_t kLiteral = 1u << 31;
inline constexpr std::uint32_t kSubtable = 1u << 13;
inline constexpr std::uint32_t kEndOfBlock = 1u << 14;
inline constexpr std::uint32_t kInvalid = 1u << 15;
// Anything the hot loop does not take as a literal, length or distance.
inline constexpr std::uint32_t kExceptional = kSubtable | kEndOfBlock | kInvalid;
inline constexpr unsigned kMaxCodeLength = 15;

inline constexpr unsigned consumed_bits(std::uint32_t e) { return e & 63; }
inline constexpr unsigned subtable_bits(std::uint32_t e) { return (e >> 8) & 15; }
inline constexpr unsigned value(std::uint32_t e) { return e >> 16; }  // not of a literal
inline constexpr std::uint8_t literal_byte(std::uint32_t e) { return static_cast<std::uint8_t>(e >> 16); }
inline constexpr unsigned kChainedLengthShift = 25;
inline constexpr bool is_chained(std::uint32_t e) { return (e & 0x0F00) != 0 && (e & (7u << 13)) == 0; }
// Of a chained entry that is not a literal: the value, and where its extra bits start.
inline constexpr unsigned chained_value(std::uint32_t e) { return (e >> 16) & 0x1FF; }
inline constexpr unsigned chained_code_length(std::uint32_t e) { return e >> kChainedLengthShift; }  // bit 31 is 0
inline constexpr bool is_literal(std::uint32_t e) { return static_cast<std::int32_t>(e) < 0; }

// What a symbol decodes to, before the builder adds its code length: flags, value and the
// number of extra bits (in the consumed-bits field).
inline constexpr std::uint32_t symbol_entry(std::uint32_t flags, std::uint32_t value, unsigned extra_bits = 0) {
    return flags | (value << 16) | extra_bits;
}
inline constexpr std::uint32_t kInvalidEntry = kInvalid;
inline constexpr unsigned kWideCodeLengthShift = 48;

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
//
// Entries are 32 or 64 bits. A 64-bit entry is the 32-bit entry with more of the symbol's
// template above it, to which the builder adds the codeword length at bit
// kWideCodeLengthShift.
template <typename Entry>
BuildResult build(const std::uint8_t* lengths, unsigned count, unsigned root, const Entry* symbols, Entry* table,
                  unsigned capacity);
extern template BuildResult build(const std::uint8_t*, unsigned, unsigned, const std::uint32_t*, std::uint32_t*,
                                  unsigned);
extern template BuildResult build(const std::uint8_t*, unsigned, unsigned, const std::uint64_t*, std::uint64_t*,
                                  unsigned);

}  // namespace zip::huffman
