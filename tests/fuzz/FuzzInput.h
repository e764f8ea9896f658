// The input layout shared by the decoder fuzz targets, and the checks every target makes.
//
//   bytes 0-3  declared uncompressed size, little-endian (cut to kMaxDeclared so a run
//              stays fast; the decoders' own limit is what is being tested)
//   byte 4     general-purpose flags for explode, the factor for unreduce; its high bits
//              choose the source's block size, so block edges fall everywhere
//   byte 5 on  the compressed stream
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "zip/Decoder.h"

namespace zip::fuzz {

inline constexpr std::uint32_t kMaxDeclared = 1u << 22;
inline constexpr std::size_t kHeaderSize = 5;

struct Input {
    std::uint32_t declared = 0;
    std::uint8_t selector = 0;
    std::size_t block_size = 16000;
    std::span<const Byte> stream;
};

inline bool parse(const std::uint8_t* data, std::size_t size, Input& in) {
    if (size < kHeaderSize) return false;
    in.declared = (data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24)) % (kMaxDeclared + 1);
    in.selector = data[4];
    static constexpr std::size_t kBlockSizes[8] = {16000, 1, 2, 7, 16, 17, 4096, 65536};
    in.block_size = kBlockSizes[data[4] >> 5];
    in.stream = {data + kHeaderSize, size - kHeaderSize};
    return true;
}

// Collects the output and checks the decoders' promise: never more than declared. With
// `lend` it lends a room of exactly the declared size, so a write past it trips the address
// sanitizer.
class CheckedSink final : public ByteSink {
public:
    CheckedSink(std::uint64_t declared, bool lend) : declared_(declared), room_(lend ? declared : 0) {}
    void write(std::span<const Byte> data) override {
        if (data.size() > declared_ - bytes.size()) std::abort();
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    std::span<Byte> room() override { return room_; }
    void placed(std::size_t n) override {
        if (n > room_.size() - bytes.size()) std::abort();
        const auto at = room_.begin() + static_cast<std::ptrdiff_t>(bytes.size());
        bytes.insert(bytes.end(), at, at + static_cast<std::ptrdiff_t>(n));
    }
    std::vector<Byte> bytes;

private:
    std::uint64_t declared_;
    std::vector<Byte> room_;
};

// Runs one method and checks the status against the output.
inline std::vector<Byte> run(std::uint16_t method, std::uint16_t flags, const Input& in, DecodeStatus* status_out = nullptr) {
    // One decoder for every run, as extraction keeps one for a whole archive: state
    // left over from an earlier entry must not matter.
    static EntryDecoder decoder;
    MemorySource source(in.stream, in.block_size);
    // Odd declared sizes are decoded in place, even ones through the window.
    CheckedSink sink(in.declared, (in.declared & 1) != 0);
    const DecodeStatus status = decoder.decode(method, flags, source, sink, in.declared);
    if (status == DecodeStatus::Ok && sink.bytes.size() != in.declared) std::abort();
    if (status_out) *status_out = status;
    return std::move(sink.bytes);
}

// Which compression methods a target's seeds come from (used by the replay driver to
// turn zip entries into inputs).
bool target_takes_method(std::uint16_t method);

}  // namespace zip::fuzz
