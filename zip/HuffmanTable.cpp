#include "zip/HuffmanTable.h"

#include <algorithm>
#include <array>

namespace zip::huffman {

namespace {

constexpr auto kReversedBytes = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned i = 0; i < 8; ++i)
            if (b & (1u << i)) t[b] |= static_cast<std::uint8_t>(0x80u >> i);
    return t;
}();

// The low `length` (at most 16) bits of code, reversed.
unsigned reverse_bits(unsigned code, unsigned length) {
    const unsigned r16 = (unsigned{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
    return r16 >> (16 - length);
}

// Writes entry at every index that ends in the low `length` bits `low`.
template <typename Entry>
void replicate(Entry* table, unsigned size, unsigned low, unsigned length, Entry entry) {
    for (unsigned i = low; i < size; i += 1u << length) table[i] = entry;
}

// Adds a codeword of `length` bits to a symbol's template: it is consumed, and extra bits
// start after it.
template <typename Entry>
Entry with_code(Entry entry, unsigned length) {
    const auto narrow = static_cast<std::uint32_t>(entry);
    entry += length + (length << (is_chained(narrow) ? kChainedLengthShift : 8));
    if constexpr (sizeof(Entry) > 4) entry += Entry{length} << kWideCodeLengthShift;
    return entry;
}

}  // namespace

template <typename Entry>
BuildResult build(const std::uint8_t* lengths, unsigned count, unsigned root, const Entry* symbols, Entry* table,
                  unsigned capacity) {
    // A length above the limit sets a bit above the low four in the lengths' union.
    unsigned any_length = 0;
    for (unsigned s = 0; s < count; ++s) any_length |= lengths[s];
    if (any_length > kMaxCodeLength) return BuildResult::Oversubscribed;
    // Four tallies, so that runs of equal lengths do not wait on one counter.
    unsigned tally[4][kMaxCodeLength + 1] = {};
    unsigned at = 0;
    for (; at + 4 <= count; at += 4)
        for (unsigned k = 0; k < 4; ++k) ++tally[k][lengths[at + k]];
    for (; at < count; ++at) ++tally[0][lengths[at]];
    unsigned counts[kMaxCodeLength + 1];
    counts[0] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
        counts[len] = tally[0][len] + tally[1][len] + tally[2][len] + tally[3][len];

    unsigned max_length = 0;
    int left = 1;  // unused codes at the current length
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        left = left * 2 - static_cast<int>(counts[len]);
        if (left < 0) return BuildResult::Oversubscribed;
        if (counts[len] != 0) max_length = len;
    }
    if (max_length == 0) return BuildResult::Empty;
    if (left > 0 && max_length > 1) return BuildResult::Incomplete;
    if ((1u << root) > capacity) return BuildResult::TooLarge;

    // Symbols in canonical order: by code length, then by value.
    unsigned offsets[kMaxCodeLength + 2] = {};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) offsets[len + 1] = offsets[len] + counts[len];
    unsigned sorted[320];
    if (count > sizeof sorted / sizeof sorted[0]) return BuildResult::TooLarge;
    // The symbols with a code first, without a branch on each, then sorted among them.
    unsigned coded[320];
    unsigned ncoded = 0;
    for (unsigned s = 0; s < count; ++s) {
        coded[ncoded] = s;
        ncoded += lengths[s] != 0;
    }
    for (unsigned k = 0; k < ncoded; ++k) sorted[offsets[lengths[coded[k]]]++] = coded[k];

    const unsigned root_size = 1u << root;
    // A complete code writes every entry; only a lone one-bit code leaves some unused.
    const bool incomplete = left > 0;
    // The root table grows by doubling: while it is built for the codes of up to `filled`
    // bits, each entry stands for every index that ends in its bits, so one copy of the
    // table makes it right for one bit more; a code then takes a single entry at its length.
    unsigned filled = 1;
    table[0] = table[1] = kInvalidEntry;
    auto fill_to = [&](unsigned bits) {
        for (; filled < bits; ++filled) std::copy_n(table, 1u << filled, table + (1u << filled));
    };

    unsigned remaining[kMaxCodeLength + 1];
    std::copy(counts, counts + kMaxCodeLength + 1, remaining);
    unsigned next_free = root_size;      // first entry after the tables built so far
    unsigned sub_prefix = ~0u;           // root bits of the current subtable
    unsigned sub_start = 0, sub_bits = 0;

    unsigned code = 0;  // canonical code, most significant bit first
    unsigned index = 0;
    for (unsigned len = 1; len <= max_length; ++len) {
        for (unsigned k = 0; k < counts[len]; ++k, ++code) {
            const unsigned symbol = sorted[index++];
            const unsigned rev = reverse_bits(code, len);
            Entry entry = symbols[symbol];
            if (len <= root) {
                fill_to(len);
                table[rev] = with_code(entry, len);
            } else {
                fill_to(root);
                const unsigned prefix = rev & (root_size - 1);
                if (prefix != sub_prefix) {
                    // Size the subtable to the longest code under this prefix: grow while
                    // the codes of the next length do not fill the space left.
                    unsigned bits = len - root;
                    int space = 1 << bits;
                    while (bits + root < max_length) {
                        space -= static_cast<int>(remaining[bits + root]);
                        if (space <= 0) break;
                        ++bits;
                        space <<= 1;
                    }
                    if (next_free + (1u << bits) > capacity) return BuildResult::TooLarge;
                    sub_prefix = prefix;
                    sub_start = next_free;
                    sub_bits = bits;
                    next_free += 1u << bits;
                    if (incomplete) std::fill(table + sub_start, table + next_free, kInvalidEntry);
                    table[prefix] = kSubtable | root | (bits << 8) | (sub_start << 16);
                }
                const unsigned sub_len = len - root;
                // Guard the subtable's bounds even for codes the sizing did not foresee.
                if (sub_len > sub_bits) return BuildResult::Incomplete;
                entry = with_code(entry, sub_len);
                replicate(table + sub_start, 1u << sub_bits, rev >> root, sub_len, entry);
            }
            --remaining[len];
        }
        code <<= 1;
    }
    fill_to(root);
    return BuildResult::Ok;
}

template BuildResult build(const std::uint8_t*, unsigned, unsigned, const std::uint32_t*, std::uint32_t*, unsigned);
template BuildResult build(const std::uint8_t*, unsigned, unsigned, const std::uint64_t*, std::uint64_t*, unsigned);

}  // namespace zip::huffman
