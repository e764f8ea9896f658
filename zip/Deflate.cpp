#include "zip/Deflate.h"

#include <algorithm>

#include "zip/BitOutput.h"
#include "zip/DeflateMatcher.h"
#include "zip/DeflateTrees.h"

namespace zip {

using namespace deflate;

struct Deflater::Engine {
    Matcher matcher;
    BlockCoder coder;
    BitOutput out;

    template <typename Link>
    void runGreedy(const LevelConfig& config);
    void runFour(const LevelConfig& config);
    template <typename Link>
    void runLazy(const LevelConfig& config);

    // Codes the block from the block start to the current position.
    void flushBlock(const MatchState& s, bool eof) {
        const std::uint8_t* bytes = s.blockStart >= 0 ? matcher.window() + s.blockStart : nullptr;
        coder.flushBlock(bytes, static_cast<std::uint64_t>(static_cast<std::int64_t>(s.strstart) - s.blockStart), eof);
    }
    // Refills the window when the lookahead ran short; the state goes through the matcher.
    void refill(MatchState& s) {
        matcher.state = s;
        while (matcher.state.lookahead < kMinLookahead && !matcher.state.eof) matcher.fillWindow();
        s = matcher.state;
    }
};

namespace {
inline unsigned distanceTo(unsigned position, int match) {
    return static_cast<unsigned>(static_cast<int>(position) - match);
}
}  // namespace

// Fast levels: take the longest match at each position; strings inside a short match are
// added to the chains, a long match is skipped over.
template <typename Link>
void Deflater::Engine::runGreedy(const LevelConfig& config) {
    const SearchParams params{config.goodLength, config.niceLength, config.maxChain};
    const unsigned maxInsert = config.maxLazy;
    std::uint8_t* const window = matcher.window();
    Link* const links = matcher.links<Link>();
    std::uint16_t* const head = matcher.head();
    MatchState s = matcher.state;
    SymbolCursor symbols = coder.symbols();
    unsigned matchLength = 0;

    while (s.lookahead != 0) {
        const unsigned hashHead = insertString(window, links, head, s.strstart, s.hash);
        if (hashHead != kNil && s.strstart - hashHead <= kMaxDist) {
            // The search starts from a previous length of 2: any 3-byte match counts.
            matchLength = longestMatch(window, links, s.strstart, s.lookahead, hashHead, kMinMatch - 1, params, s.matchStart);
            if (matchLength > s.lookahead) matchLength = s.lookahead;
        }
        bool full;
        if (matchLength >= kMinMatch) {
            matcher.checkMatch(s.strstart, s.matchStart, matchLength);
            full = symbols.match(distanceTo(s.strstart, s.matchStart), matchLength - kMinMatch,
                                 static_cast<std::int64_t>(s.strstart) - s.blockStart);
            s.lookahead -= matchLength;
            if (matchLength <= maxInsert) {
                --matchLength;  // the string at the current position is in already
                do {
                    ++s.strstart;
                    insertString(window, links, head, s.strstart, s.hash);
                } while (--matchLength != 0);
                ++s.strstart;
            } else {
                s.strstart += matchLength;
                matchLength = 0;
                s.hash = updateHash(window[s.strstart], window[s.strstart + 1]);
            }
        } else {
            full = symbols.literal(window[s.strstart], static_cast<std::int64_t>(s.strstart) - s.blockStart);
            --s.lookahead;
            ++s.strstart;
        }
        if (full) [[unlikely]] {
            coder.store(symbols);
            flushBlock(s, false);
            s.blockStart = s.strstart;
            symbols = coder.symbols();
        }
        if (s.lookahead < kMinLookahead && !s.eof) [[unlikely]]
            refill(s);
    }
    coder.store(symbols);
    flushBlock(s, true);
    matcher.state = s;
}

// Level 1: greedy, a chain of four candidates, a nice length of 8 and an insert limit of 4.
//
// The walk never goes past the fourth candidate, so the chains are kept as the four newest
// positions of each hash (Matcher::recentFour): an insert shifts the position in, and the
// candidates are the entry as it was, in chain order. That is the chain the links would give:
// a link is followed only from a position within reach, whose entry still holds the position
// inserted before it with that hash.
//
// In the steady state (a full lookahead, so the nice length is never cut by the end of the
// input) the walk compares each candidate once, 8 bytes at a time, without branching on the
// result: lengths capped at 8 pick the same candidate as the walk that stops at the first match
// of the nice length, since no capped length can pass that one and below it the capped lengths
// are the lengths. (The step after it does branch, on literal or match: a literal's successor
// is known at once, and the processor runs ahead into it; a step without branches waits for
// every search to end, and is slower.) The last bytes take the walk as the other levels do. The
// hash of a string is taken from its three bytes, which equals the rolling hash.
namespace {
inline unsigned maskIf(bool condition) { return 0u - static_cast<unsigned>(condition); }
}  // namespace

void Deflater::Engine::runFour(const LevelConfig& config) {
    std::uint8_t* const window = matcher.window();
    std::uint64_t* const recent = matcher.recentFour();
    MatchState s = matcher.state;
    unsigned symbols = coder.symbolCount();
    unsigned matches = coder.matchCount();
    // The steady state keeps only the position and the end of the input in registers; the
    // lookahead is their difference.
    unsigned pos = s.strstart;
    unsigned end = s.strstart + s.lookahead;
    // Records a literal or a match at `pos` and advances; a match inserts the strings inside it
    // when it is short.
    auto literal = [&] {
        coder.putLiteral(symbols++, window[pos]);
        ++pos;
    };
    auto match = [&](unsigned length, unsigned start) {
        if (pos - start - 1 >= kMaxDist) [[unlikely]]
            matcher.invalidMatch(pos, static_cast<int>(start), length);
        coder.putMatch(symbols++, pos - start, length - kMinMatch);
        ++matches;
        // The strings after the first go in when the match is no longer than the level's insert
        // limit (4). Which of the three do is chosen without a branch, as 3, 4 and longer lengths
        // come mixed: each entry is rewritten, unchanged where its string stays out.
        const unsigned inserts = length <= kMinMatch + 1 ? length - 1 : 0;
        for (unsigned k = 1; k <= kMinMatch; ++k) {
            std::uint64_t& e = recent[hashAt(window + pos + k)];
            const std::uint64_t chain = e;
            e = k <= inserts ? (chain << 16) | (pos + k) : chain;
        }
        pos += length;
    };
    // Without the estimate of the higher levels only a full literal buffer ends a block.
    auto endBlockIfFull = [&] {
        if (symbols == kSymbolBufferSize - 1) [[unlikely]] {
            s.strstart = pos;
            s.lookahead = end - pos;
            coder.setCounts(symbols, matches);
            flushBlock(s, false);
            s.blockStart = pos;
            symbols = 0;
            matches = 0;
        }
    };

    for (;;) {
        if (end - pos < kMinLookahead) [[unlikely]] {
            s.strstart = pos;
            s.lookahead = end - pos;
            if (s.eof) break;
            refill(s);
            pos = s.strstart;
            end = s.strstart + s.lookahead;
            continue;
        }
        const std::uint64_t scan = load64(window + pos);
        std::uint64_t& entry = recent[hashAt(window + pos)];
        const std::uint64_t chain = entry;
        entry = (chain << 16) | pos;

        // Each candidate's key: its capped length above, its rank below (earlier ranks higher),
        // so that the largest key is the first longest; 0 for one out of reach. The candidates
        // are in falling order, so those out of reach are the last ones. The newest may lie
        // exactly kMaxDist back; the others must lie nearer.
        const unsigned limit = pos > kMaxDist ? pos - kMaxDist : kNil;
        auto key = [&](unsigned k, unsigned floor) {
            const unsigned candidate = linkAt(chain, k);
            const std::uint64_t diff = scan ^ load64(window + candidate);
            // Bytes equal, 0..8 (a count of 64 when all are).
            const unsigned len = static_cast<unsigned>(std::countr_zero(diff)) >> 3;
            return ((len << 2) | (3 - k)) & maskIf(candidate > floor);
        };
        const unsigned first = limit > kNil ? limit - 1 : kNil;
        const unsigned best = std::max(std::max(key(0, first), key(1, limit)), std::max(key(2, limit), key(3, limit)));
        unsigned length = best >> 2;
        if (length < kMinMatch) {
            literal();
        } else {
            const unsigned start = linkAt(chain, 3 - (best & 3));
            if (length == 8) [[unlikely]]
                length = commonLength(window + pos, window + start, 8);
            match(length, start);
        }
        endBlockIfFull();
    }

    // The last bytes: the nice length is cut to the lookahead, and so is the match.
    while (pos != end) {
        std::uint64_t& entry = recent[hashAt(window + pos)];
        const std::uint64_t chain = entry;
        entry = (chain << 16) | pos;
        const unsigned first = linkAt(chain, 0);
        unsigned length = kMinMatch - 1;
        unsigned start = kNil;
        if (first != kNil && pos - first <= kMaxDist) {
            const unsigned limit = pos > kMaxDist ? pos - kMaxDist : kNil;
            const unsigned nice = std::min<unsigned>(config.niceLength, end - pos);
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned candidate = linkAt(chain, k);
                if (k != 0 && candidate <= limit) break;
                const unsigned len = commonLength(window + pos, window + candidate, 0);
                if (len > length) {
                    length = len;
                    start = candidate;
                    if (len >= nice) break;
                }
            }
            length = std::min(length, end - pos);
        }
        if (length < kMinMatch) literal();
        else match(length, start);
        endBlockIfFull();
    }
    s.strstart = pos;
    s.lookahead = 0;
    coder.setCounts(symbols, matches);
    flushBlock(s, true);
    matcher.state = s;
}

// Other levels: lazy evaluation. A match found at one position is held back until the search
// at the next position shows whether a longer match starts there; if so, the held byte goes out
// as a literal instead.
template <typename Link>
void Deflater::Engine::runLazy(const LevelConfig& config) {
    const SearchParams params{config.goodLength, config.niceLength, config.maxChain};
    const unsigned maxLazy = config.maxLazy;
    std::uint8_t* const window = matcher.window();
    Link* const links = matcher.links<Link>();
    std::uint16_t* const head = matcher.head();
    MatchState s = matcher.state;
    SymbolCursor symbols = coder.symbols();
    unsigned matchLength = kMinMatch - 1;
    bool matchAvailable = false;  // a literal at strstart - 1 is pending

    while (s.lookahead != 0) {
        const unsigned hashHead = insertString(window, links, head, s.strstart, s.hash);
        unsigned prevLength = matchLength;
        const int prevMatch = s.matchStart;
        matchLength = kMinMatch - 1;
        if (hashHead != kNil && prevLength < maxLazy && s.strstart - hashHead <= kMaxDist) {
            matchLength = longestMatch(window, links, s.strstart, s.lookahead, hashHead, prevLength, params, s.matchStart);
            if (matchLength > s.lookahead) matchLength = s.lookahead;
            // A 3-byte match far back costs about as much as three literals.
            if (matchLength == kMinMatch && distanceTo(s.strstart, s.matchStart) > kTooFar) --matchLength;
        }
        if (prevLength >= kMinMatch && matchLength <= prevLength) {
            const unsigned start = s.strstart - 1;
            matcher.checkMatch(start, prevMatch, prevLength);
            const bool full = symbols.match(distanceTo(start, prevMatch), prevLength - kMinMatch,
                                            static_cast<std::int64_t>(s.strstart) - s.blockStart);
            // The strings of the match after its first two bytes (those are in already).
            s.lookahead -= prevLength - 1;
            prevLength -= 2;
            do {
                ++s.strstart;
                insertString(window, links, head, s.strstart, s.hash);
            } while (--prevLength != 0);
            matchAvailable = false;
            matchLength = kMinMatch - 1;
            ++s.strstart;
            if (full) [[unlikely]] {
                coder.store(symbols);
                flushBlock(s, false);
                s.blockStart = s.strstart;
                symbols = coder.symbols();
            }
        } else if (matchAvailable) {
            if (symbols.literal(window[s.strstart - 1], static_cast<std::int64_t>(s.strstart) - s.blockStart))
                [[unlikely]] {
                coder.store(symbols);
                flushBlock(s, false);
                s.blockStart = s.strstart;
                symbols = coder.symbols();
            }
            ++s.strstart;
            --s.lookahead;
        } else {
            matchAvailable = true;
            ++s.strstart;
            --s.lookahead;
        }
        if (s.lookahead < kMinLookahead && !s.eof) [[unlikely]]
            refill(s);
    }
    if (matchAvailable) symbols.literal(window[s.strstart - 1], static_cast<std::int64_t>(s.strstart) - s.blockStart);
    coder.store(symbols);
    flushBlock(s, true);
    matcher.state = s;
}

Deflater::Deflater(int level)
    : level_(std::clamp(level, kMinLevel, kMaxLevel)), engine_(std::make_unique<Engine>()) {}

Deflater::~Deflater() = default;

std::uint16_t Deflater::flagBitsForLevel(int level) {
    if (level <= 2) return 4;
    if (level >= 8) return 2;
    return 0;
}

DeflateResult Deflater::compress(const DeflateSource& source, const DeflateSink& sink, const std::string& sourceName) {
    Engine& e = *engine_;
    const LevelConfig& config = kLevels[static_cast<std::size_t>(level_)];
    e.out.start(&sink);
    e.coder.startFile(level_, &e.out, &sourceName);
    // Four-deep links pay off from chains of 32 candidates on.
    const bool four = config.maxChain == 4 && config.niceLength == 8 && config.maxLazy == kMinMatch + 1 && !config.lazy;
    const bool deepLinks = config.maxChain >= 32;
    e.matcher.start(&source, &sourceName,
                    four ? Matcher::Chains::RecentFour : deepLinks ? Matcher::Chains::DeepLinks : Matcher::Chains::Links);
    if (config.lazy) {
        if (deepLinks) e.runLazy<std::uint64_t>(config);
        else e.runLazy<std::uint16_t>(config);
    } else if (four) {
        e.runFour(config);
    } else {
        if (deepLinks) e.runGreedy<std::uint64_t>(config);
        else e.runGreedy<std::uint16_t>(config);
    }

    DeflateResult result;
    result.compressedSize = e.out.written();
    result.method = e.coder.storedWhole() ? 0 : 8;
    result.internalAttributes = e.coder.fileType() == FileType::Text ? 1 : 0;
    result.flagBits = flagBitsForLevel(level_);
    // The coder's own count of the bits it chose to write must agree with what left.
    if ((e.coder.compressedBits() >> 3) != result.compressedSize) [[unlikely]]
        throw EDeflateError("compressed size mismatch! - " + sourceName);
    return result;
}

}  // namespace zip
