#include "zip/Unshrink.h"

#include <array>
#include <memory>

#include "zip/OldMethodSupport.h"

namespace zip {

namespace {

constexpr unsigned kInitialCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;
constexpr unsigned kCodeCount = 1u << kMaxCodeSize;  // codes 0 to 8191
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstFreeCode = 257;
constexpr std::uint16_t kFree = 0xFFFF;
constexpr unsigned kStackSize = 8192;

struct Dictionary {
    std::array<std::uint16_t, kCodeCount> prefix;
    std::array<Byte, kCodeCount> suffix;
    std::array<Byte, kStackSize> stack;
    std::array<bool, kCodeCount> unused;
    unsigned next_free = kFirstFreeCode;

    void reset() {
        for (unsigned c = 0; c < 256; ++c) {
            prefix[c] = 0;
            suffix[c] = static_cast<Byte>(c);
        }
        for (unsigned c = 256; c < kCodeCount; ++c) prefix[c] = kFree;
        next_free = kFirstFreeCode;
    }

    bool is_free(unsigned code) const { return code >= kFirstFreeCode && prefix[code] == kFree; }

    void advance_next_free() {
        while (next_free < kCodeCount && !is_free(next_free)) ++next_free;
    }

    // Frees every defined code that no other code uses as its prefix.
    void partial_clear() {
        for (unsigned c = kFirstFreeCode; c < kCodeCount; ++c) unused[c] = !is_free(c);
        for (unsigned c = kFirstFreeCode; c < kCodeCount; ++c)
            if (!is_free(c) && prefix[c] >= kFirstFreeCode && prefix[c] < kCodeCount) unused[prefix[c]] = false;
        for (unsigned c = kFirstFreeCode; c < kCodeCount; ++c)
            if (unused[c]) prefix[c] = kFree;
        next_free = kFirstFreeCode;
        advance_next_free();
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

        if (dict->next_free < kCodeCount) {
            dict->prefix[dict->next_free] = static_cast<std::uint16_t>(old_code);
            dict->suffix[dict->next_free] = last;
            ++dict->next_free;
            dict->advance_next_free();
        }
        old_code = incoming;
    }
    return w.finish();
}

}  // namespace zip
