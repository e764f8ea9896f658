// Builds deflate streams bit by bit for the inflate tests, so that every field of a
// hand-made block is spelled out: headers, code lengths, symbols.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/zip/DecoderTestSupport.h"

namespace zip::test {

class BitWriter {
public:
    // Values go in lowest bit first, as the format packs header fields and extra bits.
    void bits(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) put((value >> i) & 1);
    }
    // Prefix codes go in most significant bit first.
    void code(std::uint32_t value, unsigned length) {
        for (unsigned i = length; i-- > 0;) put((value >> i) & 1);
    }
    void align() {
        while (used_ != 0) put(0);
    }
    void byte(Byte b) { bits(b, 8); }
    Bytes finish() {
        align();
        return bytes_;
    }

private:
    void put(unsigned bit) {
        if (used_ == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<Byte>(bit << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes bytes_;
    unsigned used_ = 0;
};

// Canonical codes for a list of code lengths (0 = no code).
inline std::vector<std::uint32_t> canonical_codes(const std::vector<unsigned>& lengths) {
    unsigned count[17] = {};
    for (unsigned l : lengths) ++count[l];
    count[0] = 0;
    std::uint32_t next[17] = {};
    std::uint32_t code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
    return codes;
}

// Fixed-code symbols.
inline void fixed_litlen(BitWriter& w, unsigned symbol) {
    if (symbol < 144) w.code(0x30 + symbol, 8);
    else if (symbol < 256) w.code(0x190 + symbol - 144, 9);
    else if (symbol < 280) w.code(symbol - 256, 7);
    else w.code(0xC0 + symbol - 280, 8);
}
inline void fixed_distance(BitWriter& w, unsigned symbol) { w.code(symbol, 5); }

// A dynamic block header whose code lengths are sent with a code-length code that gives
// the symbols 0 to 14 four bits each and the repeat symbols 16 and 18 five bits each.
inline const std::vector<unsigned>& test_precode_lengths() {
    static const std::vector<unsigned> lengths = [] {
        std::vector<unsigned> l(19, 0);
        for (unsigned s = 0; s <= 14; ++s) l[s] = 4;
        l[16] = l[18] = 5;
        return l;
    }();
    return lengths;
}

// Writes the block header up to and including the code-length code.
inline void dynamic_preamble(BitWriter& w, bool last, unsigned nlitlen, unsigned ndist) {
    w.bits(last ? 1 : 0, 1);
    w.bits(2, 2);             // dynamic block
    w.bits(nlitlen - 257, 5);  // HLIT
    w.bits(ndist - 1, 5);      // HDIST
    w.bits(19 - 4, 4);         // HCLEN: all nineteen
    static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (unsigned i = 0; i < 19; ++i) w.bits(test_precode_lengths()[order[i]], 3);
}

// One symbol of the code-length code (a length 0 to 14, or 16 and 18 with their extra bits).
inline void precode_symbol(BitWriter& w, unsigned symbol) {
    static const auto codes = canonical_codes(test_precode_lengths());
    w.code(codes[symbol], test_precode_lengths()[symbol]);
}

struct DynamicCodes {
    std::vector<unsigned> litlen_lengths, dist_lengths;
    std::vector<std::uint32_t> litlen, dist;
    void litlen_symbol(BitWriter& w, unsigned s) const { w.code(litlen[s], litlen_lengths[s]); }
    void dist_symbol(BitWriter& w, unsigned s) const { w.code(dist[s], dist_lengths[s]); }
};

inline DynamicCodes dynamic_header(BitWriter& w, bool last, const std::vector<unsigned>& litlen_lengths,
                                   const std::vector<unsigned>& dist_lengths) {
    dynamic_preamble(w, last, static_cast<unsigned>(litlen_lengths.size()), static_cast<unsigned>(dist_lengths.size()));
    for (unsigned l : litlen_lengths) precode_symbol(w, l);
    for (unsigned l : dist_lengths) precode_symbol(w, l);
    return {litlen_lengths, dist_lengths, canonical_codes(litlen_lengths), canonical_codes(dist_lengths)};
}

}  // namespace zip::test
