#include "zip/Inflate.h"

#include <algorithm>
#include <cstring>

#include "zip/HuffmanTable.h"

namespace zip {

namespace {

using namespace huffman;

constexpr unsigned kLitlenRootBits = Inflater::kLitlenRootBits;
constexpr unsigned kDistRootBits = Inflater::kDistRootBits;
constexpr unsigned kPrecodeRootBits = 7;
constexpr unsigned kMaxLitlenCodes = 288;
constexpr unsigned kMaxDistCodes = 32;
constexpr unsigned kPrecodeCodes = 19;
// Room for the root table plus one subtable per symbol at the largest subtable size: a
// bound that needs no proof, and the builder checks it anyway.
constexpr unsigned kLitlenCapacity =
    (1u << kLitlenRootBits) + kMaxLitlenCodes * (1u << (kMaxCodeLength - kLitlenRootBits));
constexpr unsigned kDistCapacity = (1u << kDistRootBits) + kMaxDistCodes * (1u << (kMaxCodeLength - kDistRootBits));
constexpr unsigned kPrecodeCapacity = 1u << kPrecodeRootBits;
static_assert(kLitlenCapacity < 65536 && kDistCapacity < 65536, "subtable offsets are 16-bit entry values");

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                         33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Code-length code lengths arrive in this order.
constexpr std::uint8_t kPrecodeOrder[kPrecodeCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Distance entries are 64 bits: the 32-bit entry, and above it the distance's base and the
// bit field of its extra bits (start, then length), so that a distance takes one bit-field
// extract and one add. The builder puts the start, the codeword length, in place.
using WideDist = std::uint64_t;
constexpr unsigned kWideBaseShift = 32;
constexpr unsigned kWideExtraShift = kWideCodeLengthShift;
static_assert(kWideExtraShift == kWideBaseShift + 16, "base, then the extra bits' field");

struct SymbolTemplates {
    std::uint32_t litlen[kMaxLitlenCodes];
    WideDist dist[kMaxDistCodes];
    std::uint32_t precode[kPrecodeCodes];
};

constexpr SymbolTemplates make_templates() {
    SymbolTemplates t{};
    // A literal carries the root bits of the litlen lookup that follows it.
    for (unsigned s = 0; s < 256; ++s) t.litlen[s] = symbol_entry(kLiteral | (kLitlenRootBits << 8), s);
    t.litlen[256] = symbol_entry(kEndOfBlock, 0);
    // So does a length, with the root bits of the distance lookup.
    for (unsigned s = 257; s < 286; ++s)
        t.litlen[s] = symbol_entry(kDistRootBits << 8, kLengthBase[s - 257], kLengthExtra[s - 257]);
    // 286 and 287 take part in the fixed code but never stand for anything.
    t.litlen[286] = t.litlen[287] = kInvalidEntry;
    // A distance is chained to the next litlen lookup; it carries its symbol for the careful
    // loop, and its base and extra bits in the upper half for the fast one.
    for (unsigned s = 0; s < 30; ++s)
        t.dist[s] = symbol_entry(kLitlenRootBits << 8, s, kDistExtra[s]) | WideDist{kDistBase[s]} << kWideBaseShift |
                    WideDist{kDistExtra[s]} << (kWideExtraShift + 8);
    t.dist[30] = t.dist[31] = kInvalidEntry;
    for (unsigned s = 0; s < kPrecodeCodes; ++s) t.precode[s] = symbol_entry(0, s);
    return t;
}
constexpr SymbolTemplates kTemplates = make_templates();

struct FixedTables {
    std::uint32_t litlen[1u << kLitlenRootBits];
    WideDist dist[1u << kDistRootBits];
    FixedTables() {
        std::uint8_t lengths[kMaxLitlenCodes];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        build(lengths, kMaxLitlenCodes, kLitlenRootBits, kTemplates.litlen, litlen, std::size(litlen));
        std::fill(lengths, lengths + kMaxDistCodes, 5);
        build(lengths, kMaxDistCodes, kDistRootBits, kTemplates.dist, dist, std::size(dist));
    }
};

const FixedTables& fixed_tables() {
    static const FixedTables tables;
    return tables;
}

// How decoding the symbols of a block stopped.
enum class Step { More, BlockDone, BadData };

// Copies a match whose source lies `dist` bytes back and returns the end of the match.
// Wide copies write up to 31 bytes past the match, which the window's slack absorbs and
// later output overwrites; a chunk is read only once every byte of it has been written,
// because a chunk never reaches back less than its own width.
[[gnu::always_inline]] inline Byte* copy_match(Byte* out, std::size_t dist, unsigned length) {
    const Byte* src = out - dist;
    Byte* const stop = out + length;
    if (dist >= 16) [[likely]] {
        // Most matches are short: two chunks without a test, then a loop for the rest.
        std::memcpy(out, src, 16);
        std::memcpy(out + 16, src + 16, 16);
        if (length > 32) [[unlikely]] {
            out += 32;
            src += 32;
            do {
                std::memcpy(out, src, 16);
                out += 16;
                src += 16;
            } while (out < stop);
        }
    } else if (dist >= 8) {
        do {
            std::memcpy(out, src, 8);
            out += 8;
            src += 8;
        } while (out < stop);
    } else if (dist == 1) {
        const std::uint64_t run = *src * 0x0101010101010101u;
        do {
            std::memcpy(out, &run, 8);
            std::memcpy(out + 8, &run, 8);
            out += 16;
        } while (out < stop);
    } else {
        // Periods of 2 to 7: byte by byte, each byte may be one just written.
        do *out++ = *src++;
        while (out < stop);
    }
    return stop;
}

constexpr std::uint64_t low_bits_of(std::uint64_t v, unsigned n) { return v & ((std::uint64_t{1} << n) - 1); }

#if defined(__x86_64__)
// The low n bits in one instruction, for the loop built for processors with BMI2 (written
// out, as the loop's helpers are compiled for the baseline processor); the count is taken
// from the low byte of n, which for an entry is its consumed bits.
inline std::uint64_t low_bits_bmi2(std::uint64_t v, std::uint32_t n) {
    std::uint64_t r;
    asm("bzhi %q2, %1, %0" : "=r"(r) : "r"(v), "r"(n));
    return r;
}
// The number of whole bytes a refill can add to a buffer of n bits, (63 - n % 64) / 8, with
// the complement and the mask in one instruction.
inline std::uint64_t refill_bytes_bmi(std::uint32_t n) {
    std::uint32_t r;
    asm("andn %2, %1, %0" : "=r"(r) : "r"(n), "r"(63u));
    return r >> 3;
}
// The bit field of v that the low 16 bits of control name (start, then length).
inline std::uint64_t bit_field_bmi(std::uint64_t v, std::uint32_t control) {
    std::uint64_t r;
    asm("bextr %q2, %1, %0" : "=r"(r) : "r"(v), "r"(control));
    return r;
}
#endif

// The hot loop: decodes literal/length and distance codes while the input buffer holds
// BitInput::kFastMargin bytes and the window has room below its limit. A refill loads eight
// input bytes at once and leaves 56 to 63 bits; one pass refills at most three times (each
// advancing at most seven bytes), so the loop condition proves every load in bounds. Each
// refill comes right after a table lookup, so that it runs while the lookup is under way
// rather than between one code and the lookup of the next; the next litlen entry is looked
// up before a match is copied, so the lookup overlaps the copy; and every code's distance
// entry is looked up before the code is known to be a length (see guess_distance).
template <bool kBmi2>
[[gnu::always_inline]] inline Step fast_symbols(BitInput& in, OutputWindow& w, const std::uint32_t* litlen,
                                                const WideDist* dist) {
    static_assert(BitInput::kFastMargin >= 3 * 7 + 8, "three refills per pass");
    static_assert(OutputWindow::kSlack >= 3 + 258 + 31, "literals, a match and the overshoot of its copy");
    // Bits taken between refills: three literals and the lookup after them; two literals, a
    // length from the root table and the guess of its distance; a length with a subtable
    // link and the lookup of its distance; a distance and the next lookup.
    static_assert(4 * kLitlenRootBits <= 56 && 3 * kLitlenRootBits + 5 + kDistRootBits <= 56 &&
                      20 + kDistRootBits <= 56 && 28 + kLitlenRootBits <= 56,
                  "bit budget of a pass");
    const Byte* next = in.next;
    const Byte* const safe_end = in.end - BitInput::kFastMargin;
    std::uint64_t bitbuf = in.bitbuf;
    unsigned bitcount = in.bitcount;
    Byte* out = w.out;
    Byte* const base = w.base;
    Byte* const limit = w.limit;
    std::uint32_t e;  // the entry of the next code
    WideDist d;       // the entry of a distance code

    // Only the low six bits of bitcount count: a consume subtracts the whole entry, whose
    // low six bits are the consumed bits, and the rest of the word is left to wrap.
    auto refill = [&] {
        // Branch-free: the partial byte on top is loaded again by the next refill.
        bitbuf |= load_le64(next) << (bitcount & 63);
#if defined(__x86_64__)
        if constexpr (kBmi2) next += refill_bytes_bmi(bitcount);
        else
#endif
            next += (~bitcount & 63) >> 3;
        bitcount |= 56;
    };
    auto peek = [&](unsigned n) { return low_bits_of(bitbuf, n); };
    auto consume = [&](std::uint32_t e) {
        bitbuf >>= consumed_bits(e);
        bitcount -= e;
    };
    // The index of the code after the chained entry e, of `root` bits.
    auto next_index = [&](unsigned root) __attribute__((always_inline)) {
#if defined(__x86_64__)
        if constexpr (kBmi2) return bit_field_bmi(bitbuf, e);
#endif
        return low_bits_of(bitbuf >> consumed_bits(e), root);
    };
    // Writes the literal of e and looks up the next code.
    auto take_literal = [&]() __attribute__((always_inline)) {
        const auto index = next_index(kLitlenRootBits);
        consume(e);
        *out++ = literal_byte(e);
        e = litlen[index];
    };
    // Looks up the distance code that would follow e if e were a length, before the branch
    // tells: a mispredicted literal then finds the distance's entry already loaded. For
    // other entries the index is some root entry, never used.
    auto guess_distance = [&]() __attribute__((always_inline)) {
        d = dist[next_index(kDistRootBits) & ((1u << kDistRootBits) - 1)];
    };
    auto finish = [&](Step step) {
        in.next = next;
        in.bitbuf = bitbuf;
        in.bitcount = bitcount & 63;
        w.out = out;
        return step;
    };

    refill();
    e = litlen[peek(kLitlenRootBits)];
    do {
        // Here the buffer holds at least 56 bits, and e is the entry of the next code. A
        // refill adds bits above the ones looked up, so a looked-up entry stays right.
        guess_distance();
        if (is_literal(e)) {
            take_literal();
            guess_distance();
            if (is_literal(e)) {
                take_literal();
                guess_distance();
                if (is_literal(e)) {
                    take_literal();
                    refill();
                    continue;
                }
            }
            refill();
        }
        if (e & kExceptional) [[unlikely]] {
            if (e & kSubtable) {
                consume(e);
                e = litlen[value(e) + peek(subtable_bits(e))];
                if (is_literal(e)) {
                    take_literal();
                    refill();
                    continue;
                }
                guess_distance();
            }
            if (e & kInvalid) return finish(Step::BadData);
            if (e & kEndOfBlock) {
                consume(e);
                return finish(Step::BlockDone);
            }
        }
        unsigned length;
#if defined(__x86_64__)
        if constexpr (kBmi2)
            length = chained_value(e) + static_cast<unsigned>(low_bits_bmi2(bitbuf, e) >> chained_code_length(e));
        else
#endif
            length = chained_value(e) + static_cast<unsigned>(peek(consumed_bits(e)) >> chained_code_length(e));
        consume(e);
        refill();
        if (d & kExceptional) [[unlikely]] {
            // A root entry that is not invalid is a subtable link.
            if (d & kInvalid) return finish(Step::BadData);
            consume(static_cast<std::uint32_t>(d));
            d = dist[value(static_cast<std::uint32_t>(d)) + peek(subtable_bits(static_cast<std::uint32_t>(d)))];
            if (d & kInvalid) return finish(Step::BadData);
        }
        e = static_cast<std::uint32_t>(d);
        std::size_t distance = static_cast<std::uint16_t>(d >> kWideBaseShift);
#if defined(__x86_64__)
        if constexpr (kBmi2)
            distance += bit_field_bmi(bitbuf, static_cast<std::uint32_t>(d >> kWideExtraShift));
        else
#endif
            distance += low_bits_of(bitbuf >> ((d >> kWideExtraShift) & 0xFF), static_cast<unsigned>(d >> (kWideExtraShift + 8)));
        const auto index = next_index(kLitlenRootBits);
        consume(e);
        e = litlen[index];
        refill();
        // A distance before the entry's first byte is bad data, not a read of stale memory.
        if (distance > static_cast<std::size_t>(out - base)) [[unlikely]]
            return finish(Step::BadData);
        out = copy_match(out, distance, length);
    } while (out < limit && next <= safe_end);
    return finish(Step::More);
}

// The careful loop for the last bytes of an entry: one code per pass, refilled a byte at a
// time; past the entry's end the refill supplies zero bytes and counts them, and the loop
// stops as soon as a code has taken any of them, before they can drive an endless run of
// made-up symbols.
Step careful_symbols(BitInput& in, OutputWindow& w, const std::uint32_t* litlen, const WideDist* dist) {
    auto consume = [&](std::uint32_t e) { in.consume(consumed_bits(e)); };
    while (w.out < w.limit && static_cast<std::size_t>(in.end - in.next) < BitInput::kFastMargin) {
        if (in.truncated()) return Step::BadData;
        in.refill();
        std::uint32_t e = litlen[in.peek_bits(kLitlenRootBits)];
        if (e & kSubtable) {
            consume(e);
            e = litlen[value(e) + in.peek_bits(subtable_bits(e))];
        }
        if (is_literal(e)) {
            consume(e);
            *w.out++ = literal_byte(e);
            continue;
        }
        if (e & kInvalid) return Step::BadData;
        if (e & kEndOfBlock) {
            consume(e);
            return in.truncated() ? Step::BadData : Step::BlockDone;
        }
        const unsigned length =
            chained_value(e) + static_cast<unsigned>(in.peek_bits(consumed_bits(e)) >> chained_code_length(e));
        consume(e);
        e = static_cast<std::uint32_t>(dist[in.peek_bits(kDistRootBits)]);
        if (e & kSubtable) {
            consume(e);
            e = static_cast<std::uint32_t>(dist[value(e) + in.peek_bits(subtable_bits(e))]);
        }
        if (e & kInvalid) return Step::BadData;
        const std::size_t distance =
            kDistBase[chained_value(e)] + (in.peek_bits(consumed_bits(e)) >> chained_code_length(e));
        consume(e);
        if (in.truncated() || distance > w.history()) return Step::BadData;
        w.out = copy_match(w.out, distance, length);
    }
    return Step::More;
}

// The fast loop is built twice: plain, and with the BMI2 shift and mask instructions,
// which take a good part of each step's work; the processor decides once which runs. A
// build with TARVIK_INFLATE_PLAIN_LOOP always runs the plain one, so that its tests check
// the loop that processors without BMI2 run.
using FastLoop = Step (*)(BitInput&, OutputWindow&, const std::uint32_t*, const WideDist*);
Step fast_loop_plain(BitInput& in, OutputWindow& w, const std::uint32_t* litlen, const WideDist* dist) {
    return fast_symbols<false>(in, w, litlen, dist);
}
#if defined(__x86_64__)
[[maybe_unused]] __attribute__((target("bmi,bmi2"))) Step fast_loop_bmi2(BitInput& in, OutputWindow& w,
                                                                         const std::uint32_t* litlen,
                                                                         const WideDist* dist) {
    return fast_symbols<true>(in, w, litlen, dist);
}
FastLoop choose_fast_loop() {
#if defined(TARVIK_INFLATE_PLAIN_LOOP)
    return fast_loop_plain;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") ? fast_loop_bmi2 : fast_loop_plain;
#endif
}
#else
FastLoop choose_fast_loop() { return fast_loop_plain; }
#endif

}  // namespace

struct Inflater::Tables {
    std::uint32_t litlen[kLitlenCapacity];
    WideDist dist[kDistCapacity];
    std::uint32_t precode[kPrecodeCapacity];
    std::uint8_t lengths[kMaxLitlenCodes + kMaxDistCodes];
};

Inflater::Inflater() : tables_(std::make_unique<Tables>()) {}
Inflater::~Inflater() = default;

DecodeStatus Inflater::run(ByteSource& source, ByteSink& sink, std::uint64_t declared_size) {
    if (!window_) window_ = std::make_unique<OutputWindow>();
    if (!input_) input_ = std::make_unique<BitInput::Buffer>();
    window_->start(sink, declared_size);
    BitInput in(source, *input_);
    return run(in, *window_);
}

namespace {

// Bad data found after the input ran out is reported as the truncation it most likely is.
DecodeStatus check_input(const BitInput& in, DecodeStatus status) {
    return in.truncated() ? DecodeStatus::TruncatedInput : status;
}

DecodeStatus inflate_stored(BitInput& in, OutputWindow& w) {
    in.align_to_byte();
    const std::uint32_t length = in.bits(16);
    const std::uint32_t complement = in.bits(16);
    if (in.truncated()) return DecodeStatus::TruncatedInput;
    if ((length ^ 0xFFFF) != complement) return DecodeStatus::BadData;
    std::uint32_t left = length;
    while (left > 0) {
        if (!w.make_room()) return DecodeStatus::OutputOverflow;
        const auto n = std::min<std::size_t>(left, static_cast<std::size_t>(w.limit - w.out));
        if (!in.copy_bytes(w.out, n)) return DecodeStatus::TruncatedInput;
        w.out += n;
        left -= static_cast<std::uint32_t>(n);
    }
    return DecodeStatus::Ok;
}

DecodeStatus inflate_codes(BitInput& in, OutputWindow& w, const std::uint32_t* litlen, const WideDist* dist) {
    static const FastLoop fast_loop = choose_fast_loop();
    for (;;) {
        if (!w.make_room()) return DecodeStatus::OutputOverflow;
        const Step step =
            in.ensure_margin() ? fast_loop(in, w, litlen, dist) : careful_symbols(in, w, litlen, dist);
        if (step == Step::BlockDone) return DecodeStatus::Ok;
        if (step == Step::BadData) return check_input(in, DecodeStatus::BadData);
        if (in.truncated()) return DecodeStatus::TruncatedInput;
    }
}

}  // namespace

DecodeStatus Inflater::run(BitInput& in, OutputWindow& w) {
    Tables& t = *tables_;
    for (;;) {
        in.refill();
        const bool last = in.bits(1) != 0;
        const unsigned type = in.bits(2);
        DecodeStatus status = DecodeStatus::Ok;
        if (type == 0) {
            status = inflate_stored(in, w);
        } else if (type == 1) {
            const FixedTables& fixed = fixed_tables();
            status = inflate_codes(in, w, fixed.litlen, fixed.dist);
        } else if (type == 2) {
            in.refill();
            const unsigned nlitlen = in.bits(5) + 257;
            const unsigned ndist = in.bits(5) + 1;
            const unsigned nprecode = in.bits(4) + 4;
            if (nlitlen > 286 || ndist > 30) return check_input(in, DecodeStatus::BadData);
            std::uint8_t precode_lengths[kPrecodeCodes] = {};
            for (unsigned i = 0; i < nprecode; ++i)
                precode_lengths[kPrecodeOrder[i]] = static_cast<std::uint8_t>(in.bits(3));
            if (build(precode_lengths, kPrecodeCodes, kPrecodeRootBits, kTemplates.precode, t.precode,
                      kPrecodeCapacity) != BuildResult::Ok)
                return check_input(in, DecodeStatus::BadData);

            // The two code length lists form one sequence; repeats may cross from one to
            // the other but not past the end.
            const unsigned total = nlitlen + ndist;
            unsigned i = 0;
            unsigned previous = 0;
            while (i < total) {
                in.refill();
                const std::uint32_t e = t.precode[in.peek_bits(kPrecodeRootBits)];
                if (e & kInvalid) return check_input(in, DecodeStatus::BadData);
                in.consume(consumed_bits(e));
                const unsigned symbol = value(e);
                if (symbol < 16) {
                    t.lengths[i++] = static_cast<std::uint8_t>(symbol);
                    previous = symbol;
                    continue;
                }
                unsigned repeat;
                unsigned fill = 0;
                if (symbol == 16) {
                    repeat = 3 + in.bits(2);
                    fill = previous;
                } else if (symbol == 17) {
                    repeat = 3 + in.bits(3);
                    previous = 0;
                } else {
                    repeat = 11 + in.bits(7);
                    previous = 0;
                }
                if (repeat > total - i) return check_input(in, DecodeStatus::BadData);
                std::fill(t.lengths + i, t.lengths + i + repeat, static_cast<std::uint8_t>(fill));
                i += repeat;
            }
            if (in.truncated()) return DecodeStatus::TruncatedInput;
            // Without an end-of-block code the block could never end.
            if (t.lengths[256] == 0) return DecodeStatus::BadData;
            if (build(t.lengths, nlitlen, kLitlenRootBits, kTemplates.litlen, t.litlen, kLitlenCapacity) !=
                BuildResult::Ok)
                return DecodeStatus::BadData;
            // No distance code at all is allowed for a block of literals only; a length
            // code then meets the invalid entries.
            const BuildResult dist_result =
                build(t.lengths + nlitlen, ndist, kDistRootBits, kTemplates.dist, t.dist, kDistCapacity);
            if (dist_result == BuildResult::Empty)
                std::fill(t.dist, t.dist + (1u << kDistRootBits), kInvalidEntry);
            else if (dist_result != BuildResult::Ok)
                return DecodeStatus::BadData;
            status = inflate_codes(in, w, t.litlen, t.dist);
        } else {
            status = DecodeStatus::BadData;
        }
        if (status != DecodeStatus::Ok) return check_input(in, status);
        if (in.truncated()) return DecodeStatus::TruncatedInput;
        if (last) break;
    }
    return w.finish();
}

}  // namespace zip
