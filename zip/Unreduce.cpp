#include "zip/Unreduce.h"

#include <bit>

#include "zip/OldMethodSupport.h"

namespace zip {

namespace {

constexpr Byte kDle = 144;
constexpr unsigned kMaxFollowers = 63;  // a 6-bit count

// Bits needed to index a follower set of n bytes (n at least 1).
unsigned index_bits(unsigned n) { return n <= 2 ? 1 : static_cast<unsigned>(std::bit_width(n - 1)); }

struct FollowerSets {
    Byte bytes[256][kMaxFollowers];
    Byte count[256];
};

}  // namespace

DecodeStatus unreduce(BitInput& in, OutputWindow& w, unsigned factor) {
    if (factor < 1 || factor > 4) return DecodeStatus::UnsupportedMethod;
    const unsigned length_mask = 0xFFu >> factor;  // 0x7F, 0x3F, 0x1F, 0x0F
    const unsigned distance_shift = 8 - factor;
    const unsigned distance_mask = (1u << factor) - 1;

    FollowerSets sets;
    for (int b = 255; b >= 0; --b) {
        const unsigned n = in.bits(6);
        sets.count[b] = static_cast<Byte>(n);
        for (unsigned i = 0; i < n; ++i) sets.bytes[b][i] = static_cast<Byte>(in.bits(8));
        if (in.truncated()) return DecodeStatus::TruncatedInput;
    }

    Byte previous = 0;  // selects the follower set of the next byte
    unsigned state = 0;
    unsigned v = 0, length = 0;
    while (old_methods::left_to_produce(w) > 0) {
        Byte b;
        const unsigned n = sets.count[previous];
        if (n == 0 || in.bits(1) != 0) {
            b = static_cast<Byte>(in.bits(8));
        } else {
            const unsigned index = in.bits(index_bits(n));
            // An index past the set's end: stale table bytes must not stand for data.
            if (index >= n) return in.truncated() ? DecodeStatus::TruncatedInput : DecodeStatus::BadData;
            b = sets.bytes[previous][index];
        }
        if (in.truncated()) return DecodeStatus::TruncatedInput;
        previous = b;

        switch (state) {
        case 0:
            if (b == kDle) {
                state = 1;
            } else if (!old_methods::put(w, b)) {
                return DecodeStatus::OutputOverflow;
            }
            break;
        case 1:
            if (b == 0) {
                if (!old_methods::put(w, kDle)) return DecodeStatus::OutputOverflow;
                state = 0;
            } else {
                v = b;
                length = v & length_mask;
                state = length == length_mask ? 2 : 3;
            }
            break;
        case 2:
            length += b;
            state = 3;
            break;
        default: {
            const std::size_t distance = ((v >> distance_shift) & distance_mask) * 256 + b + 1;
            const std::size_t count = length + 3;
            // A copy running past the declared size is cut there and reported.
            const std::uint64_t left = old_methods::left_to_produce(w);
            if (!old_methods::copy(w, distance, count <= left ? count : static_cast<std::size_t>(left)))
                return DecodeStatus::OutputOverflow;
            if (count > left) return DecodeStatus::OutputOverflow;
            state = 0;
            break;
        }
        }
    }
    return w.finish();
}

}  // namespace zip
