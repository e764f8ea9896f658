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
// The hash of the string at `p` from its three bytes: what the rolling hash holds there, as
// three updates shift every earlier byte out.
inline unsigned hashAt(const std::uint8_t* p) {
    return ((unsigned{p[0]} << (2 * kHashShift)) ^ (unsigned{p[1]} << kHashShift) ^ p[2]) & kHashMask;
}

// The search parameters of one level.
struct SearchParams {
    unsigned goodLength;
    unsigned niceLength;
    unsigned maxChain;
};

// The best match a chain walk found: its length, and its start when it is longer than the
// length the walk started from (else 0, which is never a candidate).
struct ChainMatch {
    unsigned length;
    unsigned start;
};

static_assert(kHashSize == kWindowSize, "the recent-four heads share the deep links' buffer");

// The chain links of a position, indexed by position AND kWindowMask: the next positions down
// its chain, 16 bits each, the nearest in the low bits. Long walks keep four of them
// (std::uint64_t): a walk then fetches four candidates per dependent load, which cuts the
// latency that bounds it, and the chain it walks is the same. Short walks (the fast levels)
// keep one (std::uint16_t), as the wider entries cost them more on every insert than the walk
// saves.
template <typename Link>
inline constexpr unsigned kLinkDepth = sizeof(Link) / 2;
template <typename Link>
inline unsigned linkAt(Link links, unsigned k) {
    return static_cast<unsigned>(static_cast<std::uint64_t>(links) >> (16 * k)) & 0xFFFF;
}

// Walks the chain from `curMatch` for at most `chainLength` candidates above `limit` and returns
// the first longest match, stopping at one of `nice` bytes.
template <typename Link>
[[gnu::always_inline]] inline ChainMatch walkChain(const std::uint8_t* window, const Link* links, unsigned strstart, unsigned curMatch,
                     unsigned bestLen, unsigned chainLength, unsigned limit, unsigned nice) {
    constexpr unsigned kDepth = kLinkDepth<Link>;
    const std::uint8_t* scan = window + strstart;
    unsigned bestStart = kNil;
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
    // Compares one candidate; true when it reached the nice length and the walk is over.
    auto visit = [&](unsigned candidate) {
        const std::uint8_t* match = window + candidate;
        if ((load64(match + probeAt) & probeMask) != probe) [[likely]]
            return false;
        const unsigned len = commonLength(scan, match, 0);
        if (len > bestLen) {
            bestStart = candidate;
            bestLen = len;
            if (len >= nice) return true;
            setProbe();
        }
        return false;
    };
    setProbe();
    // kDepth candidates per step, all from one entry; each is taken only while the one before
    // it was within reach and the count allows.
    for (;;) {
        const Link link = links[curMatch & kWindowMask];
        if (visit(curMatch)) break;
        unsigned k = 0;
        for (; k + 1 < kDepth; ++k) {
            const unsigned next = linkAt(link, k);
            if (next <= limit || --chainLength == 0 || visit(next)) break;
        }
        if (k + 1 < kDepth) break;
        curMatch = linkAt(link, kDepth - 1);
        if (curMatch <= limit || --chainLength == 0) break;
    }
    return {bestLen, bestStart};
}

// The long walks run out of line, with nothing but the walk's own state, so that all of it
// stays in registers; the short ones are inlined into the drivers.
ChainMatch walkDeepChain(const std::uint8_t* window, const std::uint64_t* links, unsigned strstart,
                         unsigned curMatch, unsigned bestLen, unsigned chainLength, unsigned limit, unsigned nice);

// Walks the chain from `curMatch` (the hash head, known to be within reach) and returns the
// longest match length found, never less than `prevLength`; `matchStart` is set only when a
// longer match was found. Candidates at or below position - kMaxDist end the walk. A match that
// covers the whole lookahead ends it too, as in Info-ZIP zip, so bytes past the input never
// decide between candidates.
template <typename Link>
[[gnu::always_inline]] inline unsigned longestMatch(const std::uint8_t* window, const Link* links, unsigned strstart,
                                                    unsigned lookahead, unsigned curMatch, unsigned prevLength,
                                                    const SearchParams& params, int& matchStart) {
    unsigned chainLength = params.maxChain;
    if (prevLength >= params.goodLength) chainLength >>= 2;
    // Level 0 has a chain limit of 0: the newest candidate only. (Counted down past zero, the
    // limit would never end a walk, and a chain of hash collisions would be walked to its end.)
    if (chainLength == 0) chainLength = 1;
    const unsigned limit = strstart > kMaxDist ? strstart - kMaxDist : kNil;
    unsigned nice = params.niceLength;
    if (nice > lookahead) nice = lookahead;
    ChainMatch m;
    if constexpr (kLinkDepth<Link> == 1)
        m = walkChain(window, links, strstart, curMatch, prevLength, chainLength, limit, nice);
    else
        m = walkDeepChain(window, links, strstart, curMatch, prevLength, chainLength, limit, nice);
    if (m.start != kNil) matchStart = static_cast<int>(m.start);
    return m.length;
}

// Adds the string at `pos` to its chain; returns the previous head of that chain. The links
// after the head are read from the head's own entry; they are followed only while the head is
// within reach, and then that entry has not been reused.
template <typename Link>
inline unsigned insertString(const std::uint8_t* window, Link* links, std::uint16_t* head, unsigned pos,
                             unsigned& hash) {
    hash = updateHash(hash, window[pos + kMinMatch - 1]);
    const unsigned hashHead = head[hash];
    if constexpr (kLinkDepth<Link> == 1)
        links[pos & kWindowMask] = static_cast<Link>(hashHead);
    else
        links[pos & kWindowMask] = hashHead | (links[hashHead & kWindowMask] << 16);
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

    // How the chains are kept: one link per position, four links per position (the levels
    // with long walks), or no links but the four newest positions of each hash (level 1,
    // whose walk never goes further; see `recentFour`).
    enum class Chains : std::uint8_t { Links, DeepLinks, RecentFour };

    // Start of a file: clears the chains, reads the first input and primes the hash.
    void start(const DeflateSource* source, const std::string* sourceName, Chains chains);
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
    // Raises EInvalidMatch for a match that cannot be (the level-1 driver measures its matches
    // on the window, so it checks only that a match lies behind the position and within reach).
    [[noreturn]] void invalidMatch(unsigned start, int match, unsigned length) const;

    std::uint8_t* window() { return window_; }
    template <typename Link>
    Link* links();
    std::uint16_t* head() { return head_.get(); }
    // With Chains::RecentFour: per hash, the four newest positions of its chain, 16 bits
    // each, the newest in the low bits (the buffer of the deep links, indexed by hash).
    std::uint64_t* recentFour() { return links4_.get(); }

    MatchState state;

private:
    void clearWindow();
    void clearRecentFour();
    [[noreturn]] void windowOutOfRange() const;

    std::unique_ptr<std::uint8_t[]> windowBuffer_;
    std::uint8_t* window_ = nullptr;
    std::unique_ptr<std::uint16_t[]> links1_;
    std::unique_ptr<std::uint64_t[]> links4_;
    Chains chains_ = Chains::Links;
    bool deepBufferClear_ = true;  // the deep links' buffer holds zeros only
    bool slid_ = false;            // the window slid during the current file
    std::unique_ptr<std::uint16_t[]> head_;
    unsigned highWater_ = 0;  // end of the window part that input has reached
    const DeflateSource* source_ = nullptr;
    const std::string* sourceName_ = nullptr;
};

template <>
inline std::uint16_t* Matcher::links<std::uint16_t>() {
    return links1_.get();
}
template <>
inline std::uint64_t* Matcher::links<std::uint64_t>() {
    return links4_.get();
}

}  // namespace zip::deflate
