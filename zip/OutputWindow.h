// Decoded output with its history: the sliding window of the LZ77-style decoders.
//
// Decoders write at `out` and copy from up to kHistory bytes behind it. Every kChunk bytes
// the new bytes go to the sink and the last kHistory bytes slide to the front, so the
// window is one contiguous array and a match never wraps. A sink that lends room in its
// own memory is written in place instead, up to kSlack bytes before the room's end; the
// last bytes are decoded into the window's own buffer, which then takes the history. The
// sink never receives more than the declared size: flush() refuses, and the decoder reports
// an overflow, which also bounds the work a hostile entry can cause to one chunk past its
// declared size.
#pragma once

#include <cstdint>
#include <vector>

#include "zip/Decoder.h"

namespace zip {

class OutputWindow {
public:
    static constexpr std::size_t kHistory = 32768;
    static constexpr std::size_t kChunk = 128 * 1024;
    // Room past `limit` for one longest match plus the overshoot of wide copies.
    static constexpr std::size_t kSlack = 512;

    OutputWindow();

    void start(ByteSink& sink, std::uint64_t declared_size);

    // Hands the bytes written since the last flush to the sink and slides the window.
    // Returns false, having written only what fits, when they pass the declared size.
    bool flush();
    // Makes room for one more byte or match: flushes when `out` has reached `limit`.
    bool make_room() { return out < limit || flush(); }

    // Bytes produced so far, flushed or not.
    std::uint64_t total() const { return flushed_ + static_cast<std::uint64_t>(out - pending_); }
    std::uint64_t declared() const { return declared_; }
    // Bytes available behind `out` for back-references.
    std::size_t history() const { return static_cast<std::size_t>(out - base); }

    // Final flush; compares what was produced with the declared size.
    DecodeStatus finish();

    Byte* base = nullptr;   // start of the window
    Byte* out = nullptr;    // next byte to write
    Byte* limit = nullptr;  // flush when out reaches it; kSlack usable bytes lie beyond

private:
    // Leaves the sink's room for the window's own buffer, keeping the history.
    void leave_room();

    std::vector<Byte> buffer_;
    bool in_room_ = false;  // writing in place in the sink's room
    ByteSink* sink_ = nullptr;
    Byte* pending_ = nullptr;  // first byte not yet flushed
    std::uint64_t flushed_ = 0;
    std::uint64_t declared_ = 0;
};

}  // namespace zip
