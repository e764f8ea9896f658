// Bit input shared by the decoders: the entry's compressed bytes, read lowest bit first.
//
// Reads a large source block in place, and copies small blocks, and the few bytes where one
// block meets the next, into a buffer (kept by its owner across entries), so the hot loops
// can load eight bytes at a time while kFastMargin bytes remain. Past the last byte
// of the entry the careful refill supplies zero bytes and counts them; a decoder that has
// consumed any of them has run off the end of its input (see truncated()). Nothing is ever
// read from the source beyond the entry: the source itself only holds the entry's bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "zip/Decoder.h"

namespace zip {

// Little-endian unaligned loads for the hot loops.
inline std::uint64_t load_le64(const Byte* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    static_assert(std::endian::native == std::endian::little, "the decoders load little-endian words");
    return v;
}

class BitInput {
public:
    // Bytes that must stay in the buffer for the unchecked eight-byte loads of one step.
    static constexpr std::size_t kFastMargin = 32;
    // Room for a few source blocks; the fast loops only need kFastMargin of it.
    static constexpr std::size_t kBufferSize = 64 * 1024;
    // A block with at least this much left is read in place; of such a block only this
    // much at a time joins the bytes left of the one before.
    static constexpr std::size_t kInPlaceBlock = 4 * kFastMargin;
    static constexpr std::size_t kJoin = 2 * kFastMargin;

    // An input buffer of kBufferSize bytes that outlives one entry, so that decoding
    // many small entries does not allocate for each.
    class Buffer {
    public:
        Buffer() : bytes_(std::make_unique_for_overwrite<Byte[]>(kBufferSize)) {}
        Byte* data() const { return bytes_.get(); }

    private:
        std::unique_ptr<Byte[]> bytes_;  // not zero-filled: only bytes copied in are read
    };

    BitInput(ByteSource& source, const Buffer& buffer);

    // Tops the buffer up from the source when fewer than kFastMargin bytes are left, and
    // returns whether the buffer now holds at least that many.
    bool ensure_margin() {
        if (static_cast<std::size_t>(end - next) >= kFastMargin) return true;
        pull();
        return static_cast<std::size_t>(end - next) >= kFastMargin;
    }

    // Keeps at least 56 bits in the bit buffer: eight bytes at once while the buffer holds
    // them, else one byte at a time; past the end of the entry the bytes are zeros and are
    // counted as overrun.
    void refill() {
        if (bitcount <= 56 && end - next >= 8) [[likely]] {
            // The partial byte on top is loaded again by the next refill.
            bitbuf |= load_le64(next) << bitcount;
            next += (63 - bitcount) >> 3;
            bitcount |= 56;
            return;
        }
        while (bitcount <= 56) {
            if (next == end) [[unlikely]] {
                pull();
                if (next == end) {
                    // Zero bytes beyond the input: OR-ing nothing keeps the buffer as is.
                    ++overrun;
                    bitcount += 8;
                    continue;
                }
            }
            bitbuf |= static_cast<std::uint64_t>(*next++) << bitcount;
            bitcount += 8;
        }
    }

    std::uint64_t peek_bits(unsigned n) const { return bitbuf & ((std::uint64_t{1} << n) - 1); }
    void consume(unsigned n) {
        bitbuf >>= n;
        bitcount -= n;
    }
    // Reads n (at most 32) bits.
    std::uint32_t bits(unsigned n) {
        if (bitcount < n) refill();
        const auto v = static_cast<std::uint32_t>(peek_bits(n));
        consume(n);
        return v;
    }
    // Drops the bits up to the next byte boundary.
    void align_to_byte() { consume(bitcount & 7); }

    // True once a decoder has consumed bits beyond the entry's last byte. The zero bytes
    // are the last ones loaded, so they are still unconsumed exactly while the bit buffer
    // holds at least as many bits as they made up.
    bool truncated() const { return overrun * 8 > bitcount; }
    // True when the bit buffer is empty and the source has nothing left: the whole entry
    // has been read.
    bool exhausted() const { return bitcount == 0 && next == end && pending_.empty() && source_.remaining() == 0; }

    // Copies n whole bytes of a byte-aligned stream into dst: first what the bit buffer
    // holds, then straight from the input. Returns false when the input ends first.
    bool copy_bytes(Byte* dst, std::size_t n);

    // State the hot loops keep in locals and store back.
    const Byte* next = nullptr;
    const Byte* end = nullptr;
    std::uint64_t bitbuf = 0;  // invariant: bits above bitcount are 0 or the next input bits
    unsigned bitcount = 0;
    unsigned overrun = 0;

private:
    void pull();

    ByteSource& source_;
    Byte* buffer_;
    std::span<const Byte> pending_;  // the part of the last source block not yet copied
    bool inPlace_ = false;           // next and end point into the last source block
    std::size_t joined_ = 0;         // bytes at the end of the buffer copied from that block
};

}  // namespace zip
