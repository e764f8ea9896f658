// CRC-32 of the zip format: the reflected CRC with polynomial 0xEDB88320.
//
// A running value starts at kCrcStart for each entry; the stored CRC is its inversion after
// the last byte. update() is the bulk step used on every output block of an extraction and
// on every input block of a new entry, so it is the fast path; update_byte() is the
// single-step form the key schedule of the traditional encryption needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Types.h"

namespace zip::crc32 {

inline constexpr std::uint32_t kPolynomial = 0xEDB88320;
inline constexpr std::uint32_t kCrcStart = 0xFFFFFFFF;

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b followed by k
// zero bytes, which lets the bulk step fold sixteen bytes per round.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;
const Tables& tables();

inline std::uint32_t update_byte(std::uint32_t crc, Byte b) {
    return tables()[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
}

// Runs the running (not inverted) CRC over data.
std::uint32_t update(std::uint32_t crc, const Byte* data, std::size_t size);
inline std::uint32_t update(std::uint32_t crc, std::span<const Byte> data) {
    return update(crc, data.data(), data.size());
}

// The table-only step, on every processor; update() uses carry-less multiplication where
// the processor has it. Exposed so tests can check one against the other.
std::uint32_t update_portable(std::uint32_t crc, const Byte* data, std::size_t size);

// The CRC-32 of a whole buffer, as stored in the zip records.
inline std::uint32_t of(std::span<const Byte> data) { return ~update(kCrcStart, data); }

}  // namespace zip::crc32
