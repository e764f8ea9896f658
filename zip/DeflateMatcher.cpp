#include "zip/DeflateMatcher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "zip/DeflateErrors.h"

namespace zip::deflate {

// First read: one half of the window.
static constexpr unsigned kFirstRead = kWindowSize;

namespace {
// A position p becomes p - kWindowSize when it is in the upper half, else the empty link: a
// subtraction that stops at zero, lane by lane over the 16-bit positions. The compilers make
// it one saturating vector subtraction per vector; the wider vectors are taken where the
// processor has them, as the recent-four table is 256 KiB.
static_assert(kWindowSize == 0x8000);
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
void slideWords(void* data, std::size_t count) {
    auto* const bytes = static_cast<std::uint8_t*>(data);
    for (std::size_t n = 0; n < count; ++n) {
        std::uint16_t p;
        std::memcpy(&p, bytes + 2 * n, 2);
        p = static_cast<std::uint16_t>(p >= kWindowSize ? p - kWindowSize : kNil);
        std::memcpy(bytes + 2 * n, &p, 2);
    }
}
}  // namespace

Matcher::Matcher()
    : windowBuffer_(new std::uint8_t[kBufferSize + kWindowSlack]()),
      window_(windowBuffer_.get()),
      links1_(new std::uint16_t[kWindowSize]()),
      links4_(new std::uint64_t[kWindowSize]()),
      head_(new std::uint16_t[kHashSize]()) {}

ChainMatch walkDeepChain(const std::uint8_t* window, const std::uint64_t* links, unsigned strstart,
                         unsigned curMatch, unsigned bestLen, unsigned chainLength, unsigned limit, unsigned nice) {
    return walkChain(window, links, strstart, curMatch, bestLen, chainLength, limit, nice);
}

void Matcher::start(const DeflateSource* source, const std::string* sourceName, Chains chains) {
    if (chains == Chains::RecentFour) clearRecentFour();  // before the window, which it reads
    if (chains != Chains::Links) deepBufferClear_ = false;
    chains_ = chains;
    source_ = source;
    sourceName_ = sourceName;
    clearWindow();
    slid_ = false;
    if (chains_ != Chains::RecentFour) std::fill_n(head_.get(), kHashSize, std::uint16_t{kNil});
    state = MatchState{};

    const std::size_t n = (*source_)(window_, kFirstRead);
    if (n > kFirstRead) [[unlikely]]
        windowOutOfRange();
    highWater_ = static_cast<unsigned>(n);
    if (n == 0) {
        state.eof = true;
        state.lookahead = 0;
        return;
    }
    state.lookahead = static_cast<unsigned>(n);
    while (state.lookahead < kMinLookahead && !state.eof) fillWindow();
    state.hash = 0;
    for (unsigned j = 0; j < kMinMatch - 1; ++j) state.hash = updateHash(state.hash, window_[j]);
}

void Matcher::fillWindow() {
    MatchState& s = state;
    unsigned more = kBufferSize - s.lookahead - s.strstart;
    // The free room as a 16-bit count: 65535 would read as the end-of-file marker of a 16-bit
    // read, so it is taken one smaller.
    if (more == 0xFFFF) --more;
    if (s.strstart >= kSlideAt) {
        // Keep the upper half as the new lower half; links into the lower half die (0).
        std::memcpy(window_, window_ + kWindowSize, kWindowSize);
        slid_ = true;
        s.matchStart -= static_cast<int>(kWindowSize);
        s.strstart -= kWindowSize;
        s.blockStart -= kWindowSize;
        if (chains_ != Chains::RecentFour) slideWords(head_.get(), kHashSize);
        if (chains_ == Chains::Links) slideWords(links1_.get(), kWindowSize);
        else slideWords(links4_.get(), 4 * kWindowSize);
        more += kWindowSize;
    }
    if (s.strstart + s.lookahead > 0xFFFF) [[unlikely]]
        windowOutOfRange();
    if (s.eof) return;
    const std::size_t n = (*source_)(window_ + s.strstart + s.lookahead, more);
    if (n > more) [[unlikely]]
        windowOutOfRange();
    highWater_ = std::max(highWater_, s.strstart + s.lookahead + static_cast<unsigned>(n));
    if (n == 0) {
        s.eof = true;
    } else {
        s.lookahead += static_cast<unsigned>(n);
    }
}

// After a file of the recent-four mode that never slid, only the entries of the strings it
// inserted can be set, and hashing its positions again finds them: the window still holds that
// file as it was hashed, with zeros after it. For a small file that is much less work than
// clearing all 256 KiB; otherwise (or after another mode) all entries are cleared.
void Matcher::clearRecentFour() {
    static constexpr unsigned kRehashBelow = kWindowSize / 2;
    std::uint64_t* const recent = links4_.get();
    if (chains_ == Chains::RecentFour && !slid_ && highWater_ <= kRehashBelow) {
        for (unsigned p = 0; p < highWater_; ++p) recent[hashAt(window_ + p)] = kNil;
    } else if (!deepBufferClear_) {
        std::fill_n(recent, kHashSize, std::uint64_t{kNil});
    }
    deepBufferClear_ = true;
}

void Matcher::clearWindow() {
    // A search may read (though never choose by) bytes past the end of the input; clearing the
    // window keeps data of an earlier file out of reach. Only the part that input reached can
    // hold any, which keeps small files cheap.
    std::memset(window_, 0, highWater_);
    highWater_ = 0;
}

void Matcher::invalidMatch(unsigned start, int match, unsigned length) const {
    char text[96];
    std::snprintf(text, sizeof text, "Start: %u, Match: %d, Length: %u", start, match, length);
    throw EInvalidMatch(text);
}

void Matcher::windowOutOfRange() const {
    throw EDeflateError("out of range for window! - " + (sourceName_ ? *sourceName_ : String()));
}

}  // namespace zip::deflate
