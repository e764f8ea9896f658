// The small interface between the extraction run and the decoders of the zip methods.
//
// A decoder pulls the entry's compressed bytes (already decrypted) from a ByteSource in
// blocks and pushes decoded bytes into a ByteSink. It never asks the source for more than
// the entry holds, never hands the sink more than the entry's declared uncompressed size,
// and never throws on bad data: every way a hostile entry can go wrong ends in a
// DecodeStatus. Exceptions thrown by the source or the sink themselves (a short archive,
// a full disk, a cancelled disk switch) pass through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Types.h"

namespace zip {

enum class DecodeStatus {
    Ok,                 // the stream ended cleanly and produced exactly the declared size
    BadData,            // invalid codes, tables, distances or block headers
    TruncatedInput,     // the compressed bytes ended before the stream did
    OutputOverflow,     // the stream would produce more than the declared size
    OutputShort,        // the stream ended cleanly before the declared size was reached
    UnsupportedMethod,  // no decoder for the entry's compression method
};

const char* to_string(DecodeStatus status);

// Delivers the entry's compressed bytes, already decrypted, in blocks of any size.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The next block; an empty span once the entry's bytes are all delivered. The span
    // stays valid until the next call.
    virtual std::span<const Byte> next_block() = 0;
    // Bytes of the entry not yet delivered.
    virtual std::uint64_t remaining() const = 0;
};

// Receives decoded bytes in order, in blocks of any size (at most the declared size in all).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::span<const Byte> data) = 0;
    // A sink that gathers its output in memory may lend the room after what it holds, so
    // the decoder writes there in place and saves a copy of every byte. Bytes decoded into
    // the room are handed over by placed(n), the next n bytes of the room, in order; write()
    // may follow with the rest. The decoder writes nothing past the room nor past the
    // declared size. The default lends nothing.
    virtual std::span<Byte> room() { return {}; }
    virtual void placed(std::size_t n) { (void)n; }
};

// A source over bytes already in memory, delivered in blocks of at most block_size.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const Byte> data, std::size_t block_size = 16000)
        : data_(data), block_size_(block_size == 0 ? 1 : block_size) {}
    std::span<const Byte> next_block() override {
        const std::size_t n = data_.size() < block_size_ ? data_.size() : block_size_;
        const std::span<const Byte> block = data_.first(n);
        data_ = data_.subspan(n);
        return block;
    }
    std::uint64_t remaining() const override { return data_.size(); }

private:
    std::span<const Byte> data_;
    std::size_t block_size_;
};

// Compression methods of the zip format that have a decoder here.
enum class Method : std::uint16_t {
    Stored = 0,
    Shrunk = 1,
    Reduced1 = 2,
    Reduced2 = 3,
    Reduced3 = 4,
    Reduced4 = 5,
    Imploded = 6,
    Deflated = 8,
};

// General-purpose flag bits that the imploder uses to describe its stream.
inline constexpr std::uint16_t kFlagImplode8kDictionary = 0x0002;
inline constexpr std::uint16_t kFlagImplodeLiteralTree = 0x0004;

// Decodes one entry by its method. `flags` are the entry's general-purpose flags (explode
// reads its dictionary size and tree count there). Buffers are kept between entries, so
// one object serves a whole extraction run.
class EntryDecoder {
public:
    EntryDecoder();
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    DecodeStatus decode(std::uint16_t method, std::uint16_t flags, ByteSource& source, ByteSink& sink,
                        std::uint64_t declared_size);

private:
    struct Buffers;
    std::unique_ptr<Buffers> buffers_;
};

}  // namespace zip
