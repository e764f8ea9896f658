// A small imploder for the tests: greedy LZ77 over a 4K or 8K dictionary, with two or
// three Shannon-Fano trees of fixed, deliberately uneven shapes (so that the ordering of
// codes by length and value matters). It exists to cover the dictionary and tree
// combinations the shared archives lack, with Info-ZIP and 7-Zip as the judges.
#pragma once

#include <vector>

#include "tests/zip/DeflateStreamWriter.h"

namespace zip::test {

struct ImplodeTree {
    std::vector<unsigned> lengths;
    std::vector<std::uint32_t> codes;  // canonical, most significant bit first

    explicit ImplodeTree(std::vector<unsigned> l) : lengths(std::move(l)), codes(canonical_codes(lengths)) {}

    // The compact form: a byte with the number of bytes that follow minus one, then runs
    // of equal lengths, each byte (count - 1) << 4 | (length - 1), at most 16 per byte.
    void write_description(BitWriter& w) const {
        std::vector<Byte> runs;
        for (std::size_t i = 0; i < lengths.size();) {
            std::size_t n = 1;
            while (i + n < lengths.size() && lengths[i + n] == lengths[i] && n < 16) ++n;
            runs.push_back(static_cast<Byte>(((n - 1) << 4) | (lengths[i] - 1)));
            i += n;
        }
        w.byte(static_cast<Byte>(runs.size() - 1));
        for (Byte b : runs) w.byte(b);
    }

    // The imploder sends each code with every bit inverted.
    void write_symbol(BitWriter& w, unsigned symbol) const {
        const unsigned len = lengths[symbol];
        w.code(~codes[symbol] & ((1u << len) - 1), len);
    }
};

// Literals: 32 values of 6 bits (1/2), 64 of 8 (1/4), 96 of 9 (3/16) and 64 of 10 (1/16),
// which adds up exactly; lower-case letters get the short codes.
inline std::vector<unsigned> implode_literal_lengths() {
    std::vector<unsigned> l(256);
    for (unsigned v = 0; v < 256; ++v) {
        if (v >= 'a' && v < 'a' + 26) l[v] = 6;            // 26 values
        else if (v >= 'A' && v < 'A' + 6) l[v] = 6;       // 6 more: 32 of 6 bits
        else l[v] = 0;
    }
    unsigned eight = 64, nine = 96, ten = 64;
    for (unsigned v = 0; v < 256; ++v) {
        if (l[v] != 0) continue;
        if (eight > 0) { l[v] = 8; --eight; }
        else if (nine > 0) { l[v] = 9; --nine; }
        else { l[v] = 10; --ten; }
    }
    return l;
}

// Lengths: 2 of 2 bits, 4 of 4, 6 of 7, 52 of 8.
inline std::vector<unsigned> implode_length_lengths() {
    std::vector<unsigned> l;
    l.insert(l.end(), 2, 2);
    l.insert(l.end(), 4, 4);
    l.insert(l.end(), 6, 7);
    l.insert(l.end(), 52, 8);
    return l;
}

// Distances, interleaved: even values 6 bits, odd values 7, except 61 (2 bits) and 63 (6).
inline std::vector<unsigned> implode_distance_lengths() {
    std::vector<unsigned> l(64);
    for (unsigned v = 0; v < 64; ++v) l[v] = v % 2 == 0 ? 6 : 7;
    l[61] = 2;
    l[63] = 6;
    return l;
}

inline Bytes implode(const Bytes& input, bool dictionary_8k, bool literal_tree) {
    const ImplodeTree literals(implode_literal_lengths());
    const ImplodeTree lengths(implode_length_lengths());
    const ImplodeTree distances(implode_distance_lengths());
    const unsigned low_bits = dictionary_8k ? 7 : 6;
    const std::size_t window = dictionary_8k ? 8192 : 4096;
    const std::size_t min_length = literal_tree ? 3 : 2;
    const std::size_t max_length = min_length + 63 + 255;

    BitWriter w;
    if (literal_tree) literals.write_description(w);
    lengths.write_description(w);
    distances.write_description(w);

    std::vector<long> last(1 << 16, -1);  // last position of each two-byte prefix
    auto key = [&](std::size_t i) { return input[i] | (input[i + 1] << 8); };
    for (std::size_t i = 0; i < input.size();) {
        std::size_t best_length = 0, best_distance = 0;
        if (i + 1 < input.size()) {
            const long candidate = last[key(i)];
            if (candidate >= 0 && i - static_cast<std::size_t>(candidate) <= window) {
                std::size_t n = 0;
                while (i + n < input.size() && n < max_length && input[static_cast<std::size_t>(candidate) + n] == input[i + n]) ++n;
                if (n >= min_length) {
                    best_length = n;
                    best_distance = i - static_cast<std::size_t>(candidate);
                }
            }
        }
        const std::size_t step = best_length ? best_length : 1;
        if (best_length) {
            w.bits(0, 1);
            const std::size_t d = best_distance - 1;
            w.bits(static_cast<std::uint32_t>(d & ((1u << low_bits) - 1)), low_bits);
            distances.write_symbol(w, static_cast<unsigned>(d >> low_bits));
            const std::size_t code = std::min<std::size_t>(best_length - min_length, 63);
            lengths.write_symbol(w, static_cast<unsigned>(code));
            if (code == 63) w.bits(static_cast<std::uint32_t>(best_length - min_length - 63), 8);
        } else {
            w.bits(1, 1);
            if (literal_tree) literals.write_symbol(w, input[i]);
            else w.bits(input[i], 8);
        }
        for (std::size_t k = i; k < i + step && k + 1 < input.size(); ++k) last[key(k)] = static_cast<long>(k);
        i += step;
    }
    return w.finish();
}

}  // namespace zip::test
