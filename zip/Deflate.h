// Deflate compressor of the archive writer.
//
// Compresses one file at a time into RFC 1951 data, reading the file through a source callback
// and writing the compressed bytes through a sink callback in 1024-byte chunks. The method-8 data
// equals, byte for byte, what Info-ZIP `zip` writes at the same level (1-9), so archives we write
// match the peer's. A `Deflater` owns its work buffers (window, hash chains, symbol buffers; about
// 600 KB) and reuses them for every file it compresses; create one per archive update and call
// `compress` for each file. Nothing but the buffers survives from one file to the next.
//
// Errors: exceptions from the source or sink pass through unchanged. A match that differs from
// the input raises EInvalidMatch; any other broken invariant raises EDeflateError (both in
// zip/DeflateErrors.h). Neither happens with correct code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "zip/DeflateErrors.h"

namespace zip {

// Reads up to `count` bytes of uncompressed input into `buffer`; returns the number read, 0 at
// the end. Exceptions thrown here (read errors, user cancel) pass through the compressor.
using DeflateSource = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;

// Receives compressed bytes. Exceptions thrown here (write errors, user cancel) pass through the
// compressor unchanged.
using DeflateSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

// What the compression of one file decided for its entry header.
struct DeflateResult {
    // Bytes passed to the sink: the entry's compressed size (before any encryption header).
    std::uint64_t compressedSize = 0;
    // 8 (deflated), or 0 when the file did not compress and was written raw as a stored entry.
    std::uint16_t method = 8;
    // Internal file attributes: 1 text, 0 binary, from the byte counts of the first block.
    std::uint16_t internalAttributes = 1;
    // General-purpose flag bits for the level: 4 at levels 0-2, 2 at levels 8-9, else 0.
    std::uint16_t flagBits = 0;
};

class Deflater {
public:
    static constexpr int kMinLevel = 0;
    static constexpr int kMaxLevel = 9;
    static constexpr int kDefaultLevel = 6;

    // Levels outside 0..9 are clamped into that range. Level 0 is not a store mode: it runs the
    // fast driver with the smallest search settings.
    explicit Deflater(int level = kDefaultLevel);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    int level() const { return level_; }

    // Compresses `source` (read until it returns 0) into `sink`. `sourceName` names the file in
    // error messages.
    DeflateResult compress(const DeflateSource& source, const DeflateSink& sink, const std::string& sourceName = {});

    // The general-purpose flag bits a level sets (4 for 0-2, 2 for 8-9, else 0).
    static std::uint16_t flagBitsForLevel(int level);

private:
    struct Engine;
    int level_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace zip
