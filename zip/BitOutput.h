// Bit output of the deflate compressor.
//
// Collects codes least significant bit first (the deflate bit order) and hands the bytes to the
// caller's sink in chunks of exactly kChunkSize bytes, so that the writer behind the sink (and its
// message pump) runs about once per kChunkSize compressed bytes. Stored data bypasses the chunk
// buffer: pending bytes go out first, then the raw bytes in one call. The byte stream equals that
// of any least-significant-bit-first writer; only the chunking is ours. It owns nothing but the
// chunk buffer and never calls the sink with an empty chunk.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zip/Deflate.h"

namespace zip::deflate {

static_assert(std::endian::native == std::endian::little, "the bit writer stores little-endian words");

// The hot part of the bit output, kept in locals by the coding loops: a 64-bit accumulator and
// the write position. After `drain()` at most 7 bits stay pending, so up to 56 bits may be put
// between two drains.
struct BitCursor {
    std::uint64_t bits;
    unsigned count;
    std::uint8_t* out;

    void put(std::uint64_t value, unsigned length) {
        bits |= value << count;
        count += length;
    }
    // Moves whole bytes to the buffer; writes 8 bytes, of which the incomplete ones are
    // rewritten by later drains.
    void drain() {
        std::memcpy(out, &bits, sizeof bits);
        out += count >> 3;
        bits >>= count & ~7u;
        count &= 7;
    }
};

class BitOutput {
public:
    static constexpr std::size_t kChunkSize = 1024;
    static constexpr unsigned kMaxBitsBetweenDrains = 56;

    void start(const DeflateSink* sink) {
        sink_ = sink;
        fill_ = 0;
        bits_ = 0;
        count_ = 0;
        written_ = 0;
    }

    BitCursor cursor() { return {bits_, count_, buffer_ + fill_}; }
    void store(const BitCursor& c) {
        bits_ = c.bits;
        count_ = c.count;
        fill_ = static_cast<std::size_t>(c.out - buffer_);
    }
    // True when the cursor has passed a whole chunk; call `emitChunk` then.
    bool chunkFull(const BitCursor& c) const { return c.out >= chunkEnd(); }
    // The same test for loops that keep the bound in a register.
    const std::uint8_t* chunkEnd() const { return buffer_ + kChunkSize; }
    // Sends the whole chunk and moves the bytes past it to the front. Takes and gives back the
    // write position only, so that a cursor never has its address taken and stays in registers.
    std::uint8_t* emitChunk(std::uint8_t* out);

    void putBits(std::uint32_t value, unsigned length) {
        BitCursor c = cursor();
        c.put(value, length);
        c.drain();
        if (chunkFull(c)) [[unlikely]]
            c.out = emitChunk(c.out);
        store(c);
    }
    // Pads the pending bits with zeros to a byte boundary.
    void alignToByte();
    // Aligns, writes out the chunk buffer, then passes `size` bytes straight to the sink.
    void putRaw(const std::uint8_t* data, std::size_t size);
    // Aligns and writes out everything pending.
    void flush();

    // Bytes passed to the sink since `start`.
    std::uint64_t written() const { return written_; }

private:
    void send(const std::uint8_t* data, std::size_t size);

    const DeflateSink* sink_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    std::size_t fill_ = 0;
    std::uint64_t written_ = 0;
    // A chunk plus room for one drain past its end.
    alignas(8) std::uint8_t buffer_[kChunkSize + 16] = {};
};

}  // namespace zip::deflate
