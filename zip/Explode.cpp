#include "zip/Explode.h"

#include <algorithm>

#include "zip/OldMethodSupport.h"

namespace zip {

namespace {

constexpr unsigned kMaxBits = 16;  // a tree byte's low nibble plus one

// A Shannon-Fano tree as the imploder sends it. Its codes, with every bit inverted, are
// the canonical prefix code of the same lengths (shortest first, then by value), so it
// decodes bit by bit from the counts per length.
class ShannonFanoTree {
public:
    // Reads the tree: a byte giving the number of following bytes minus one, then bytes
    // whose high nibble + 1 is a count and low nibble + 1 a bit length for that many
    // successive values. The values must come out at exactly `size`.
    bool read(BitInput& in, unsigned size) {
        std::uint8_t lengths[256];
        const unsigned bytes = in.bits(8) + 1;
        unsigned filled = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            const unsigned b = in.bits(8);
            const unsigned count = (b >> 4) + 1;
            const unsigned bit_length = (b & 15) + 1;
            if (count > size - filled) return false;
            std::fill(lengths + filled, lengths + filled + count, static_cast<std::uint8_t>(bit_length));
            filled += count;
        }
        if (filled != size || in.truncated()) return false;

        std::fill(std::begin(counts_), std::end(counts_), 0);
        for (unsigned s = 0; s < size; ++s) ++counts_[lengths[s]];
        int left = 1;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            left = left * 2 - counts_[len];
            if (left < 0) return false;  // over-subscribed
        }
        unsigned offsets[kMaxBits + 2] = {};
        for (unsigned len = 1; len <= kMaxBits; ++len) offsets[len + 1] = offsets[len] + counts_[len];
        for (unsigned s = 0; s < size; ++s) symbols_[offsets[lengths[s]]++] = static_cast<std::uint8_t>(s);
        return true;
    }

    // Returns the next symbol, or -1 for a code the tree does not hold.
    int decode(BitInput& in) const {
        if (in.bitcount < kMaxBits) in.refill();
        unsigned code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<unsigned>(in.bitbuf & 1) ^ 1;
            in.consume(1);
            const unsigned count = counts_[len];
            if (code - first < count) return symbols_[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    int counts_[kMaxBits + 1] = {};
    std::uint8_t symbols_[256] = {};
};

}  // namespace

DecodeStatus explode(BitInput& in, OutputWindow& w, std::uint16_t flags) {
    const bool literal_tree = (flags & kFlagImplodeLiteralTree) != 0;
    const unsigned low_distance_bits = (flags & kFlagImplode8kDictionary) ? 7 : 6;
    const unsigned min_length = literal_tree ? 3 : 2;

    // Bad data found after the input ran out is reported as the truncation it most likely is.
    auto check_input = [&] { return in.truncated() ? DecodeStatus::TruncatedInput : DecodeStatus::BadData; };

    ShannonFanoTree literals, lengths, distances;
    if (literal_tree && !literals.read(in, 256)) return check_input();
    if (!lengths.read(in, 64) || !distances.read(in, 64)) return check_input();

    while (old_methods::left_to_produce(w) > 0) {
        if (in.bits(1) != 0) {
            int literal = literal_tree ? literals.decode(in) : static_cast<int>(in.bits(8));
            if (literal < 0) return check_input();
            if (in.truncated()) return DecodeStatus::TruncatedInput;
            if (!old_methods::put(w, static_cast<Byte>(literal))) return DecodeStatus::OutputOverflow;
            continue;
        }
        const unsigned low = in.bits(low_distance_bits);
        const int high = distances.decode(in);
        if (high < 0) return check_input();
        const int length_code = lengths.decode(in);
        if (length_code < 0) return check_input();
        std::size_t length = static_cast<std::size_t>(length_code) + min_length;
        if (length_code == 63) length += in.bits(8);
        if (in.truncated()) return DecodeStatus::TruncatedInput;
        const std::size_t distance = (static_cast<std::size_t>(high) << low_distance_bits) + low + 1;
        // A copy running past the declared size is cut there and reported.
        const std::uint64_t left = old_methods::left_to_produce(w);
        if (!old_methods::copy(w, distance, length <= left ? length : static_cast<std::size_t>(left)))
            return DecodeStatus::OutputOverflow;
        if (length > left) return DecodeStatus::OutputOverflow;
    }
    return w.finish();
}

}  // namespace zip
