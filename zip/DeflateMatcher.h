// Match finder of the deflate compressor: the sliding window and the hash chains.
//
// The window is a 64 KiB buffer of two 32 KiB halves; input is read after the lookahead, and when
// the current position nears the end the upper half is copied down and every link shifted
// ("sliding"). Strings of three bytes are chained by a 15-bit hash; a search walks the chain of
// the current string and keeps the first longest match. Positions are below 65536, position 0 is
// the empty link. The matcher owns the window and chain buffers (allocated once, reused for every
// file) and never allocates per file. The drivers copy its state into locals while they run.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "zip/Deflate.h"
#include "zip/DeflateTables.h"

namespace zip::deflate {

inline std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Length of the common prefix of `a` and `b`, at least `from` (already known equal) and at
// most kMaxMatch. Reads up to 8 bytes past kMaxMatch; the window's slack covers that.
inline unsigned commonLength(const std::uint8_t* a, const std::uint8_t* b, unsigned from) {
    unsigned len = from;
    while (len < kMaxMatch) {
        const std::uint64_t diff = load64(a + len) ^ load64(b + len);
        if (diff != 0) {
            len += static_cast<unsigned>(std::countr_zero(diff)) >> 3;
            return len < kMaxMatch ? len : kMaxMatch;
        }
        len += 8;
    }
    return kMaxMatch;
}

inline unsigned updateHash(unsigned hash, unsigned c) { return ((hash << kHashShift) ^ c) & kHashMask; }

// The search parameters of one level.
struct SearchParams {
    unsigned goodLength;
    unsigned niceLength;
    unsigned maxChain;
};

// Walks the chain from `curMatch` (the hash head, known to be within reach) and returns the
// longest match length found, never less than `prevLength`; `matchStart` is set only when a
// longer match was found. Candidates at or below position - kMaxDist end the walk. A match that
// covers the whole lookahead ends it too, as in Info-ZIP zip, so bytes past the input never
// decide between candidates.
// Always inlined: called out of line, the walk runs about a third slower.
[[gnu::always_inline]] inline unsigned longestMatch(const std::uint8_t* window, const std::uint16_t* prev,
                                                    unsigned strstart, unsigned lookahead, unsigned curMatch,
                                                    unsigned prevLength, const SearchParams& params, int& matchStart) {
    unsigned chainLength = params.maxChain;
    if (prevLength >= params.goodLength) chainLength >>= 2;
    // Level 0 has a chain limit of 0: the newest candidate only. (Counted down past zero, the
    // limit would never end a walk, and a chain of hash collisions would be walked to its end.)
    if (chainLength == 0) chainLength = 1;
    const unsigned limit = strstart > kMaxDist ? strstart - kMaxDist : kNil;
    unsigned nice = params.niceLength;
    if (nice > lookahead) nice = lookahead;
    const std::uint8_t* scan = window + strstart;
    unsigned bestLen = prevLength;
    // A longer match must agree with the best one so far on bytes 0..bestLen; one 8-byte compare
    // tests the last eight of them (all of them while bestLen < 8), which also throws out most
    // hash collisions before a full comparison.
    unsigned probeAt = 0;
    std::uint64_t probeMask = 0;
    std::uint64_t probe = 0;
    auto setProbe = [&] {
        if (bestLen >= 7) {
            probeAt = bestLen - 7;
            probeMask = ~std::uint64_t{0};
        } else {
            probeAt = 0;
            probeMask = (std::uint64_t{1} << (8 * (bestLen + 1))) - 1;
        }
        probe = load64(scan + probeAt) & probeMask;
    };
    setProbe();
    do {
        const std::uint8_t* match = window + curMatch;
        if ((load64(match + probeAt) & probeMask) != probe) continue;
        const unsigned len = commonLength(scan, match, 0);
        if (len > bestLen) {
            matchStart = static_cast<int>(curMatch);
            bestLen = len;
            if (len >= nice) break;
            setProbe();
        }
    } while ((curMatch = prev[curMatch & kWindowMask]) > limit && --chainLength != 0);
    return bestLen;
}

// Adds the string at `pos` to its chain; returns the previous head of that chain.
inline unsigned insertString(const std::uint8_t* window, std::uint16_t* prev, std::uint16_t* head, unsigned pos,
                             unsigned& hash) {
    hash = updateHash(hash, window[pos + kMinMatch - 1]);
    const unsigned hashHead = head[hash];
    prev[pos & kWindowMask] = static_cast<std::uint16_t>(hashHead);
    head[hash] = static_cast<std::uint16_t>(pos);
    return hashHead;
}

// Matcher state that the drivers keep in locals.
struct MatchState {
    unsigned strstart = 0;    // current position
    unsigned lookahead = 0;   // valid bytes from the current position on
    unsigned hash = 0;        // rolling hash of the next string
    int matchStart = 0;       // start of the last match found (may fall below 0 after a slide)
    std::int64_t blockStart = 0;  // start of the pending block; negative once it slid out
    bool eof = false;
};

class Matcher {
public:
    Matcher();

    // Start of a file: clears the chains, reads the first input and primes the hash.
    void start(const DeflateSource* source, const std::string* sourceName);
    // One refill step: slides when the position nears the end, then reads into the free room.
    void fillWindow();
    // Checks a match about to be recorded against the input; raises EInvalidMatch on a mismatch.
    void checkMatch(unsigned start, int match, unsigned length) const {
        if (match >= 0) [[likely]] {
            if (commonLength(window_ + start, window_ + match, 0) >= length) return;
        } else if (std::memcmp(window_ + start - match, window_, length + match) == 0) {
            return;  // the first bytes slid out; the rest is checked
        }
        invalidMatch(start, match, length);
    }

    std::uint8_t* window() { return window_; }
    std::uint16_t* prev() { return prev_.get(); }
    std::uint16_t* head() { return head_.get(); }

    MatchState state;

private:
    void clearWindow();
    [[noreturn]] void invalidMatch(unsigned start, int match, unsigned length) const;
    [[noreturn]] void windowOutOfRange() const;

    std::unique_ptr<std::uint8_t[]> windowBuffer_;
    std::uint8_t* window_ = nullptr;
    std::unique_ptr<std::uint16_t[]> prev_;
    std::unique_ptr<std::uint16_t[]> head_;
    unsigned highWater_ = 0;  // end of the window part that input has reached
    const DeflateSource* source_ = nullptr;
    const std::string* sourceName_ = nullptr;
};

}  // namespace zip::deflate
