#include "zip/Unshrink.h"

#include <array>
#include <bit>
#include <memory>

#include "zip/OldMethodSupport.h"

namespace zip {

namespace {

constexpr unsigned kInitialCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;
constexpr unsigned kCodeCount = 1u << kMaxCodeSize;  // codes 0 to 8191
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstFreeCode = 257;
constexpr unsigned kStackSize = 8192;

// The code table. Which codes are free and which are leaves (defined, and no defined code
// builds on them) are kept as bit sets, so a partial clear costs a pass over 128 words
// plus the codes it frees, not a scan of the whole table: a hostile entry made of
// nothing but clears stays cheap.
struct Dictionary {
    static constexpr unsigned kWords = kCodeCount / 64;

    std::array<std::uint16_t, kCodeCount> prefix;
    std::array<Byte, kCodeCount> suffix;
    std::array<std::uint16_t, kCodeCount> children;  // defined codes that use this one as prefix
    std::array<std::uint64_t, kWords> free_bits;  // codes from 257 on that are free
    std::array<std::uint64_t, kWords> leaf_bits;  // defined codes with no defined code building on them
    std::array<Byte, kStackSize> stack;
    unsigned next_free = kFirstFreeCode;

    using Bits = std::array<std::uint64_t, kWords>;
    static bool test(const Bits& bits, unsigned c) { return (bits[c / 64] >> (c % 64)) & 1; }
    static void set(Bits& bits, unsigned c) { bits[c / 64] |= std::uint64_t{1} << (c % 64); }
    static void clear(Bits& bits, unsigned c) { bits[c / 64] &= ~(std::uint64_t{1} << (c % 64)); }

    void reset() {
        for (unsigned c = 0; c < 256; ++c) {
            prefix[c] = 0;
            suffix[c] = static_cast<Byte>(c);
        }
        children.fill(0);
        free_bits.fill(~std::uint64_t{0});
        free_bits[0] = 0;
        free_bits[kFirstFreeCode / 64] &= ~std::uint64_t{0} << (kFirstFreeCode % 64);  // 256 is never free
        leaf_bits.fill(0);
        next_free = kFirstFreeCode;
    }

    bool is_free(unsigned code) const { return code >= kFirstFreeCode && test(free_bits, code); }

    // The first free code from `code` on, or kCodeCount.
    unsigned first_free_from(unsigned code) const {
        for (unsigned w = code / 64; w < kWords; ++w) {
            std::uint64_t bits = free_bits[w];
            if (w == code / 64) bits &= ~std::uint64_t{0} << (code % 64);
            if (bits != 0) return w * 64 + static_cast<unsigned>(std::countr_zero(bits));
        }
        return kCodeCount;
    }

    void define(unsigned code, unsigned code_prefix, Byte code_suffix) {
        prefix[code] = static_cast<std::uint16_t>(code_prefix);
        suffix[code] = code_suffix;
        clear(free_bits, code);
        if (children[code] == 0) set(leaf_bits, code);
        if (code_prefix >= kFirstFreeCode && children[code_prefix]++ == 0) clear(leaf_bits, code_prefix);
        next_free = first_free_from(code + 1);
    }

    void release(unsigned code) {
        set(free_bits, code);
        clear(leaf_bits, code);
        const unsigned p = prefix[code];
        if (p >= kFirstFreeCode && --children[p] == 0 && !is_free(p)) set(leaf_bits, p);
    }

    // Frees, all at once, the leaves below the next free code; a code whose last user is
    // freed here stays until the next clear. No remaining code points at a freed one.
    void partial_clear() {
        Bits doomed;
        for (unsigned w = 0; w < kWords; ++w) {
            std::uint64_t below = 0;
            if (w * 64 + 64 <= next_free) below = ~std::uint64_t{0};
            else if (w * 64 < next_free) below = (std::uint64_t{1} << (next_free - w * 64)) - 1;
            doomed[w] = leaf_bits[w] & below;
        }
        for (unsigned w = 0; w < kWords; ++w)
            for (std::uint64_t bits = doomed[w]; bits != 0; bits &= bits - 1)
                release(w * 64 + static_cast<unsigned>(std::countr_zero(bits)));
        next_free = first_free_from(kFirstFreeCode);
    }
};

}  // namespace

DecodeStatus unshrink(BitInput& in, OutputWindow& w) {
    auto dict = std::make_unique<Dictionary>();
    dict->reset();
    unsigned code_size = kInitialCodeSize;

    // The stream has no end code: it ends where the input does, with fewer bits left
    // than a code takes.
    auto read_code = [&](unsigned& code) {
        code = in.bits(code_size);
        return !in.truncated();
    };

    unsigned code = 0;
    if (!read_code(code)) return w.finish();
    if (code > 255) return DecodeStatus::BadData;
    if (!old_methods::put(w, static_cast<Byte>(code))) return DecodeStatus::OutputOverflow;
    unsigned old_code = code;
    Byte last = static_cast<Byte>(code);

    for (;;) {
        if (!read_code(code)) break;
        bool ended = false;
        while (code == kControlCode) {
            unsigned sub = 0;
            if (!read_code(sub)) {
                ended = true;
                break;
            }
            if (sub == 1) {
                if (++code_size > kMaxCodeSize) return DecodeStatus::BadData;
            } else if (sub == 2) {
                dict->partial_clear();
            }
            if (!read_code(code)) {
                ended = true;
                break;
            }
        }
        if (ended) break;

        const unsigned incoming = code;
        std::size_t sp = kStackSize;  // the stack fills from its top
        auto push = [&](Byte b) {
            if (sp == 0) return false;
            dict->stack[--sp] = b;
            return true;
        };
        // A code not yet defined stands for the previous string plus its own first byte.
        while (code >= kFirstFreeCode) {
            if (dict->is_free(code)) {
                if (!push(last)) return DecodeStatus::BadData;
                code = old_code;
                // The previous code freed by a partial clear cannot name itself again.
                if (dict->is_free(code)) return DecodeStatus::BadData;
                continue;
            }
            if (!push(dict->suffix[code])) return DecodeStatus::BadData;
            code = dict->prefix[code];
        }
        if (code == kControlCode) return DecodeStatus::BadData;
        last = static_cast<Byte>(code);
        if (!push(last)) return DecodeStatus::BadData;
        for (std::size_t i = sp; i < kStackSize; ++i)
            if (!old_methods::put(w, dict->stack[i])) return DecodeStatus::OutputOverflow;

        if (dict->next_free < kCodeCount) dict->define(dict->next_free, old_code, last);
        old_code = incoming;
    }
    return w.finish();
}

}  // namespace zip
