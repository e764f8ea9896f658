// The decoder of compression method 8 (deflate, RFC 1951).
//
// Table-driven: one lookup resolves a literal/length code of up to kLitlenRootBits bits
// (a distance code of up to kDistRootBits) together with its extra bits, longer codes take
// one subtable step. The hot loop runs while the input buffer and the window have room for
// a whole symbol without checks; a careful loop finishes the entry. Bad data, a distance
// before the first byte of the entry, input that ends early and output past the declared
// size all end in a DecodeStatus.
#pragma once

#include <cstdint>
#include <memory>

#include "zip/BitInput.h"
#include "zip/Decoder.h"
#include "zip/OutputWindow.h"

namespace zip {

class Inflater {
public:
    static constexpr unsigned kLitlenRootBits = 11;
    static constexpr unsigned kDistRootBits = 8;

    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Decodes one whole deflate stream; the sink gets at most declared_size bytes.
    DecodeStatus run(ByteSource& source, ByteSink& sink, std::uint64_t declared_size);
    // The same on input and window that the caller owns (the window already started).
    DecodeStatus run(BitInput& in, OutputWindow& window);

private:
    struct Tables;
    std::unique_ptr<Tables> tables_;
    std::unique_ptr<OutputWindow> window_;
    std::unique_ptr<BitInput::Buffer> input_;
};

}  // namespace zip
