#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <filesystem>
#include <random>

#include "tests/zip/DeflateStreamWriter.h"
#include "zip/Crc32.h"
#include "zip/Inflate.h"
#include "tests/zip/SharedData.h"

namespace zip::test {
namespace {

constexpr std::uint16_t kDeflated = 8;

// zlib's raw deflate (no header), the way zip entries hold it.
Bytes zlib_deflate(const Bytes& input, int level, int strategy = Z_DEFAULT_STRATEGY, std::size_t flush_every = 0,
                   int flush_mode = Z_SYNC_FLUSH) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 9, strategy), Z_OK);
    Bytes out(deflateBound(&z, input.size()) + 64 + (flush_every ? input.size() / flush_every * 16 : 0));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    std::size_t at = 0;
    do {
        const std::size_t n = flush_every ? std::min(flush_every, input.size() - at) : input.size() - at;
        z.next_in = const_cast<Byte*>(input.data() + at);
        z.avail_in = static_cast<uInt>(n);
        at += n;
        const int mode = at == input.size() ? Z_FINISH : flush_mode;
        EXPECT_NE(deflate(&z, mode), Z_STREAM_ERROR);
    } while (at < input.size());
    if (input.empty()) deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes libdeflate_compress(const Bytes& input, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, input.size()));
    out.resize(libdeflate_deflate_compress(c, input.data(), input.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

Decoded inflate(const Bytes& stream, std::uint64_t declared, std::size_t block_size = 16000, std::size_t lent = 0) {
    return decode(kDeflated, 0, stream, declared, block_size, lent);
}

// Into the window's own buffer, and in place into a sink's room as large as the output
// and about half as large (the rest then goes through the window).
void expect_round_trip(const Bytes& input, const Bytes& stream, std::size_t block_size = 16000) {
    for (std::size_t lent : {std::size_t{0}, input.size(), input.size() / 2 + 1}) {
        const Decoded d = inflate(stream, input.size(), block_size, lent);
        ASSERT_EQ(d.status, DecodeStatus::Ok) << to_string(d.status) << ", room " << lent;
        ASSERT_EQ(d.bytes.size(), input.size()) << "room " << lent;
        EXPECT_TRUE(d.bytes == input) << "room " << lent;
    }
}

Bytes random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (Byte& x : b) x = static_cast<Byte>(rng());
    return b;
}

// --- Round trips against zlib and libdeflate ---------------------------------------------

std::vector<std::string> corpus_files() {
    std::vector<std::string> files;
    if (!tarvik_test::HaveShared("corpus")) return files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(shared_path("corpus")))
        if (e.is_regular_file() && e.path().extension() != ".md") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(InflateCorpus, RoundTripsEveryFileAtSeveralLevels) {
    SKIP_WITHOUT_SHARED("corpus");
    const auto files = corpus_files();
    ASSERT_GT(files.size(), 30u);
    for (const auto& path : files) {
        SCOPED_TRACE(path);
        const Bytes input = read_file(path);
        for (int level : {1, 6, 9}) expect_round_trip(input, zlib_deflate(input, level));
        expect_round_trip(input, libdeflate_compress(input, 12));
    }
}

// Small source blocks drive the careful loop through every part of a stream.
TEST(InflateCorpus, RoundTripsWithTinySourceBlocks) {
    SKIP_WITHOUT_SHARED("corpus");
    const Bytes input = read_file(shared_path("corpus/canterbury/alice29.txt"));
    const Bytes stream = zlib_deflate(input, 9);
    for (std::size_t block : {1, 2, 3, 7, 15, 16, 17, 4096}) {
        SCOPED_TRACE(block);
        expect_round_trip(input, stream, block);
    }
}

struct StreamCase {
    const char* name;
    Bytes input;
    int level;
    int strategy;
    std::size_t flush_every;
    int flush_mode;
};

Bytes repeated(Byte b, std::size_t n) { return Bytes(n, b); }
Bytes pattern(std::size_t period, std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<Byte>('a' + i % period);
    return b;
}
// Random block repeated: its matches sit exactly 32768 bytes back.
Bytes distance_32768() {
    Bytes b = random_bytes(32768, 7);
    Bytes twice = b;
    twice.insert(twice.end(), b.begin(), b.end());
    twice.insert(twice.end(), b.begin(), b.begin() + 1000);
    return twice;
}

class InflateStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(InflateStreams, RoundTrip) {
    const StreamCase& c = GetParam();
    const Bytes stream = zlib_deflate(c.input, c.level, c.strategy, c.flush_every, c.flush_mode);
    expect_round_trip(c.input, stream);
    expect_round_trip(c.input, stream, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, InflateStreams,
    ::testing::Values(
        StreamCase{"Empty", {}, 6, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"OneByte", {'x'}, 6, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"StoredOnly", random_bytes(200000, 1), 0, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"StoredBlockEdges", random_bytes(65535 * 2 + 1, 2), 0, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"FixedHuffman", pattern(37, 100000), 6, Z_FIXED, 0, Z_NO_FLUSH},
        StreamCase{"HuffmanOnly", random_bytes(50000, 3), 6, Z_HUFFMAN_ONLY, 0, Z_NO_FLUSH},
        StreamCase{"RunLength", repeated('q', 300000), 6, Z_RLE, 0, Z_NO_FLUSH},
        StreamCase{"Length258Runs", repeated(0, 1000000), 9, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"Distance32768", distance_32768(), 9, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"ShortPeriods", pattern(3, 70000), 9, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH},
        StreamCase{"SyncFlushEveryByte", pattern(5, 300), 6, Z_DEFAULT_STRATEGY, 1, Z_SYNC_FLUSH},
        StreamCase{"FullFlushBoundaries", random_bytes(100000, 4), 6, Z_DEFAULT_STRATEGY, 777, Z_FULL_FLUSH},
        StreamCase{"BlockBoundaries", pattern(11, 100000), 6, Z_DEFAULT_STRATEGY, 1000, Z_BLOCK},
        StreamCase{"PartialFlush", pattern(13, 50000), 6, Z_FIXED, 999, Z_PARTIAL_FLUSH},
        StreamCase{"WindowSlides", random_bytes(600000, 5), 1, Z_DEFAULT_STRATEGY, 0, Z_NO_FLUSH}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Hand-built streams ---------------------------------------------------------------------

struct HandCase {
    const char* name;
    Bytes stream;
    std::uint64_t declared;
    DecodeStatus status;
    Bytes output;  // checked when the status is Ok
};

class InflateHandBuilt : public ::testing::TestWithParam<HandCase> {};

TEST_P(InflateHandBuilt, EndsInTheExpectedStatus) {
    const HandCase& c = GetParam();
    for (std::size_t block : {std::size_t{1}, std::size_t{16000}}) {
        const Decoded d = inflate(c.stream, c.declared, block);
        EXPECT_EQ(d.status, c.status) << to_string(d.status) << " with blocks of " << block;
        if (c.status == DecodeStatus::Ok) {
            EXPECT_TRUE(d.bytes == c.output);
        }
        EXPECT_LE(d.bytes.size(), c.declared);
    }
}

Bytes stored_block(const Bytes& data, bool last, bool good_complement = true) {
    BitWriter w;
    w.bits(last ? 1 : 0, 1);
    w.bits(0, 2);  // stored
    w.align();
    w.bits(static_cast<std::uint32_t>(data.size()), 16);
    w.bits(static_cast<std::uint32_t>(~data.size() & 0xFFFF) ^ (good_complement ? 0 : 1), 16);
    for (Byte b : data) w.byte(b);
    return w.finish();
}

// 'a', then a match of 258 at distance 1, in a fixed block.
Bytes fixed_run_258() {
    BitWriter w;
    w.bits(1, 1);  // last
    w.bits(1, 2);  // fixed
    fixed_litlen(w, 'a');
    fixed_litlen(w, 285);  // length 258, no extra bits
    fixed_distance(w, 0);  // distance 1
    fixed_litlen(w, 256);
    return w.finish();
}

Bytes fixed_with_distance(unsigned literals, unsigned dist_symbol, unsigned dist_extra, unsigned extra_bits) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    for (unsigned i = 0; i < literals; ++i) fixed_litlen(w, 'x');
    fixed_litlen(w, 257);  // length 3
    fixed_distance(w, dist_symbol);
    w.bits(dist_extra, extra_bits);
    fixed_litlen(w, 256);
    return w.finish();
}

Bytes block_type_3() {
    BitWriter w;
    w.bits(1, 1);
    w.bits(3, 2);
    w.bits(0, 16);
    return w.finish();
}

Bytes hlit_287() {
    BitWriter w;
    w.bits(1, 1);
    w.bits(2, 2);
    w.bits(30, 5);  // HLIT field 30: 287 codes
    w.bits(0, 5);
    w.bits(15, 4);
    for (int i = 0; i < 19; ++i) w.bits(4, 3);
    return w.finish();
}

std::vector<unsigned> lengths_with(std::size_t n, std::initializer_list<std::pair<unsigned, unsigned>> set) {
    std::vector<unsigned> l(n, 0);
    for (auto [s, len] : set) l[s] = len;
    return l;
}

// A dynamic block with the given tables that writes "ab" and ends.
Bytes dynamic_ab(const std::vector<unsigned>& litlen, const std::vector<unsigned>& dist) {
    BitWriter w;
    const DynamicCodes c = dynamic_header(w, true, litlen, dist);
    c.litlen_symbol(w, 'a');
    c.litlen_symbol(w, 'b');
    c.litlen_symbol(w, 256);
    return w.finish();
}

// Literals only, with no distance code at all (HDIST 1, length 0): then a length code.
Bytes no_distance_codes(bool with_match) {
    BitWriter w;
    const DynamicCodes c = dynamic_header(w, true, lengths_with(258, {{'a', 2}, {256, 2}, {257, 1}}), {0});
    c.litlen_symbol(w, 'a');
    if (with_match) c.litlen_symbol(w, 257);
    c.litlen_symbol(w, 256);
    return w.finish();
}

// One distance code of one bit (its other half unused), as the format allows.
Bytes single_distance_code() {
    BitWriter w;
    const DynamicCodes c = dynamic_header(w, true, lengths_with(258, {{'a', 2}, {256, 2}, {257, 1}}), {1});
    c.litlen_symbol(w, 'a');
    c.litlen_symbol(w, 257);  // length 3
    c.dist_symbol(w, 0);      // distance 1
    c.litlen_symbol(w, 256);
    return w.finish();
}

// Code length repeats: 18 gives up to 138 zeros; one that passes the end is bad data.
Bytes repeat_past_end() {
    BitWriter w;
    dynamic_preamble(w, true, 257, 1);
    precode_symbol(w, 18);
    w.bits(127, 7);  // 138 zeros
    precode_symbol(w, 18);
    w.bits(127, 7);  // 276 > 258
    return w.finish();
}

// Code 16 right at the start repeats the previous length, which is still 0.
Bytes repeat_at_start() {
    BitWriter w;
    dynamic_preamble(w, true, 257, 1);
    precode_symbol(w, 16);
    w.bits(0, 2);  // three zeros
    precode_symbol(w, 18);
    w.bits(127, 7);  // 138 zeros: 141
    precode_symbol(w, 18);
    w.bits(95, 7);  // 106 zeros: 247
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);
    precode_symbol(w, 0);  // 256
    precode_symbol(w, 1);  // end of block, one bit
    precode_symbol(w, 0);  // no distance code
    w.code(0, 1);          // end of block
    return w.finish();
}

Bytes precode_oversubscribed() {
    BitWriter w;
    w.bits(1, 1);
    w.bits(2, 2);
    w.bits(0, 5);
    w.bits(0, 5);
    w.bits(0, 4);  // four code-length lengths: 16, 17, 18, 0
    for (int i = 0; i < 4; ++i) w.bits(1, 3);
    return w.finish();
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes without_last(Bytes b, std::size_t n) {
    b.resize(b.size() - n);
    return b;
}

Bytes two_hundred_fifty_nine_as() { return Bytes(259, 'a'); }

INSTANTIATE_TEST_SUITE_P(
    Streams, InflateHandBuilt,
    ::testing::Values(
        HandCase{"EmptyStoredFinalBlock", stored_block({}, true), 0, DecodeStatus::Ok, {}},
        HandCase{"StoredBlocksInARow", cat({stored_block({'a'}, false), stored_block({}, false), stored_block({'b', 'c'}, true)}),
                 3, DecodeStatus::Ok, {'a', 'b', 'c'}},
        HandCase{"StoredComplementMismatch", stored_block({'a', 'b'}, true, false), 2, DecodeStatus::BadData, {}},
        HandCase{"StoredBlockCutShort", without_last(stored_block({'a', 'b', 'c', 'd'}, true), 2), 4,
                 DecodeStatus::TruncatedInput, {}},
        HandCase{"BlockType3", block_type_3(), 10, DecodeStatus::BadData, {}},
        HandCase{"Match258AtDistance1", fixed_run_258(), 259, DecodeStatus::Ok, two_hundred_fifty_nine_as()},
        HandCase{"OutputLongerThanDeclared", fixed_run_258(), 258, DecodeStatus::OutputOverflow, {}},
        HandCase{"OutputShorterThanDeclared", fixed_run_258(), 260, DecodeStatus::OutputShort, {}},
        HandCase{"DistanceBeforeFirstByte", fixed_with_distance(2, 2, 0, 0), 5, DecodeStatus::BadData, {}},
        HandCase{"DistanceJustReachesFirstByte", fixed_with_distance(3, 2, 0, 0), 6, DecodeStatus::Ok,
                 {'x', 'x', 'x', 'x', 'x', 'x'}},
        HandCase{"DistanceCode30", fixed_with_distance(3, 30, 0, 0), 6, DecodeStatus::BadData, {}},
        HandCase{"Hlit287", hlit_287(), 10, DecodeStatus::BadData, {}},
        HandCase{"PrecodeOversubscribed", precode_oversubscribed(), 10, DecodeStatus::BadData, {}},
        HandCase{"LitlenOversubscribed", dynamic_ab(std::vector<unsigned>(258, 1), {1}), 2, DecodeStatus::BadData, {}},
        HandCase{"LitlenIncomplete", dynamic_ab(lengths_with(258, {{'a', 2}, {'b', 2}, {256, 2}}), {1}), 2,
                 DecodeStatus::BadData, {}},
        HandCase{"LitlenComplete", dynamic_ab(lengths_with(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}}), {1}), 2,
                 DecodeStatus::Ok, {'a', 'b'}},
        HandCase{"NoEndOfBlockCode", dynamic_ab(lengths_with(258, {{'a', 1}, {'b', 1}}), {1}), 2, DecodeStatus::BadData, {}},
        HandCase{"DistanceOversubscribed", dynamic_ab(lengths_with(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}}), {1, 1, 1}),
                 2, DecodeStatus::BadData, {}},
        HandCase{"DistanceIncomplete", dynamic_ab(lengths_with(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}}), {2, 2, 0}),
                 2, DecodeStatus::BadData, {}},
        HandCase{"NoDistanceCodesLiteralsOnly", no_distance_codes(false), 1, DecodeStatus::Ok, {'a'}},
        HandCase{"NoDistanceCodesButAMatch", no_distance_codes(true), 4, DecodeStatus::BadData, {}},
        HandCase{"SingleOneBitDistanceCode", single_distance_code(), 4, DecodeStatus::Ok, {'a', 'a', 'a', 'a'}},
        HandCase{"RepeatPastTheEnd", repeat_past_end(), 1, DecodeStatus::BadData, {}},
        HandCase{"RepeatAtStartRepeatsZero", repeat_at_start(), 0, DecodeStatus::Ok, {}},
        HandCase{"NothingAtAll", {}, 0, DecodeStatus::TruncatedInput, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Window edges and block boundaries -----------------------------------------------------

// A match in fixed codes: its length and distance symbols with their extra bits.
void fixed_match(BitWriter& w, unsigned length, unsigned distance) {
    static const unsigned length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const unsigned dist_base[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                           193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    unsigned l = 28;
    while (length_base[l] > length) --l;
    const unsigned length_extra = l < 8 || l == 28 ? 0 : (l - 4) / 4;
    fixed_litlen(w, 257 + l);
    w.bits(length - length_base[l], length_extra);
    unsigned d = 29;
    while (dist_base[d] > distance) --d;
    fixed_distance(w, d);
    w.bits(distance - dist_base[d], d < 4 ? 0 : (d - 2) / 2);
}

// The output a match appends, copied byte by byte as the format defines it.
void reference_copy(Bytes& out, unsigned length, unsigned distance) {
    for (unsigned i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
}

// Matches that overlap their own output (distance 1 to 8, below the width of a word copy) and
// matches just past that, at lengths around the widths of the wide copies; each stream is
// long enough for the fast loop and also read one byte per block for the careful one.
TEST(InflateEdges, OverlappingCopiesRepeatTheirPeriod) {
    for (unsigned distance = 1; distance <= 17; ++distance) {
        BitWriter w;
        w.bits(1, 1);
        w.bits(1, 2);  // fixed
        Bytes expected;
        for (unsigned i = 0; i < 17; ++i) {
            const Byte b = static_cast<Byte>('a' + i * 7 % 26);
            fixed_litlen(w, b);
            expected.push_back(b);
        }
        for (unsigned length : {3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 48u, 100u, 257u, 258u}) {
            fixed_match(w, length, distance);
            reference_copy(expected, length, distance);
            fixed_litlen(w, 'z');
            expected.push_back('z');
        }
        fixed_litlen(w, 256);
        SCOPED_TRACE(distance);
        expect_round_trip(expected, w.finish());
        expect_round_trip(expected, w.finish(), 1);
    }
}

// A match that reaches back exactly 32768 bytes, the farthest the format allows, right after
// the first window's worth of output and again much later; zlib never writes one.
TEST(InflateEdges, MatchReachingBackExactly32K) {
    const Bytes history = random_bytes(32768, 21);
    Bytes expected;
    Bytes stream;
    // 32768 random bytes as stored blocks, then a fixed block of matches 32768 back.
    for (std::size_t at = 0; at < history.size(); at += 16384) {
        const Bytes part(history.begin() + static_cast<std::ptrdiff_t>(at),
                         history.begin() + static_cast<std::ptrdiff_t>(at + 16384));
        const Bytes block = stored_block(part, false);
        stream.insert(stream.end(), block.begin(), block.end());
        expected.insert(expected.end(), part.begin(), part.end());
    }
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    for (int i = 0; i < 400; ++i) {
        const unsigned length = 3 + static_cast<unsigned>(i * 37 % 256);
        fixed_match(w, length, 32768);
        reference_copy(expected, length, 32768);
    }
    fixed_litlen(w, 256);
    const Bytes tail = w.finish();
    stream.insert(stream.end(), tail.begin(), tail.end());
    expect_round_trip(expected, stream);
    expect_round_trip(expected, stream, 7);

    // One byte farther than the output so far reaches before the entry's first byte: bad data,
    // in the fast loop and in the careful one.
    BitWriter bad;
    bad.bits(1, 1);
    bad.bits(1, 2);
    for (int i = 0; i < 64; ++i) fixed_litlen(bad, 'x');
    fixed_match(bad, 3, 65);
    for (int i = 0; i < 64; ++i) fixed_litlen(bad, 'y');
    fixed_litlen(bad, 256);
    for (std::size_t block : {std::size_t{16000}, std::size_t{1}})
        EXPECT_EQ(inflate(bad.finish(), 131, block).status, DecodeStatus::BadData) << block;
}

// The end-of-block code at every bit position of the 64-bit buffer: a first block whose
// literals (8 or 9 bits each) put its end at each offset, then a long second block, so the
// end is met by the fast loop and, with one-byte input blocks, by the careful one.
TEST(InflateEdges, EndOfBlockAtEveryBitPosition) {
    for (unsigned shift = 0; shift < 64; ++shift) {
        BitWriter w;
        w.bits(0, 1);
        w.bits(1, 2);
        Bytes expected;
        // After 3 header bits, 40 + shift / 8 literals of which shift % 8 take 9 bits: the end
        // code starts at bit 323 + shift.
        for (unsigned i = 0; i < 40 + shift / 8; ++i) {
            const Byte b = static_cast<Byte>(i < shift % 8 ? 200 : 'a' + i % 26);
            fixed_litlen(w, b);
            expected.push_back(b);
        }
        fixed_litlen(w, 256);
        w.bits(1, 1);  // last block
        w.bits(1, 2);
        for (unsigned i = 0; i < 200; ++i) {
            const Byte b = static_cast<Byte>('A' + i % 23);
            fixed_litlen(w, b);
            expected.push_back(b);
        }
        fixed_match(w, 50, 7);
        reference_copy(expected, 50, 7);
        fixed_litlen(w, 256);
        const Bytes stream = w.finish();
        SCOPED_TRACE(shift);
        expect_round_trip(expected, stream);
        expect_round_trip(expected, stream, 1);
    }
}

// The most bits the fast loop takes between refills on the way to a match: literals, a
// length and a distance whose codes are as long as their root tables (11 and 8 bits) and
// whose extra bits are the most their symbols have (5 and 13), in runs of 0 to 3 literals
// before each match.
TEST(InflateEdges, LongestRootCodesBetweenRefills) {
    // Literal/length: 'r'..'z' take 9 to 1 bits, 'a', 'b', the end and symbol 284 (lengths
    // 227 to 257) take 11. Distance: 0..6 take 1 to 7 bits, 28 and 29 (24577 on) take 8.
    std::vector<unsigned> litlen(285, 0), dist(30, 0);
    for (unsigned i = 0; i < 9; ++i) litlen['z' - i] = i + 1;
    litlen['a'] = litlen['b'] = litlen[256] = litlen[284] = 11;
    for (unsigned i = 0; i < 7; ++i) dist[i] = i + 1;
    dist[28] = dist[29] = 8;
    BitWriter w;
    const DynamicCodes c = dynamic_header(w, true, litlen, dist);
    Bytes expected;
    for (unsigned i = 0; i < 33000; ++i) {  // history beyond the farthest distance, 32768
        const Byte b = static_cast<Byte>('z' - i * 5 % 9);
        c.litlen_symbol(w, b);
        expected.push_back(b);
    }
    for (unsigned i = 0; i < 300; ++i) {
        for (unsigned k = 0; k < i % 4; ++k) {
            const Byte b = k % 2 ? 'b' : 'a';
            c.litlen_symbol(w, b);
            expected.push_back(b);
        }
        const unsigned length_extra = 30 - i % 31, dist_extra = 8191 - i * 37 % 8192;
        c.litlen_symbol(w, 284);
        w.bits(length_extra, 5);
        c.dist_symbol(w, 29);
        w.bits(dist_extra, 13);
        reference_copy(expected, 227 + length_extra, 24577 + dist_extra);
    }
    c.litlen_symbol(w, 256);
    const Bytes stream = w.finish();
    expect_round_trip(expected, stream);
    expect_round_trip(expected, stream, 5);
}

// --- Hostile input --------------------------------------------------------------------------

// Every prefix of a valid stream ends as truncated (or, where the cut falls in padding
// after the last symbol, as a complete stream), never as a crash or a wrong success.
TEST(InflateHostile, EveryTruncationIsReported) {
    SKIP_WITHOUT_SHARED("corpus");
    const Bytes input = read_file(shared_path("corpus/canterbury/grammar.lsp"));
    for (const Bytes& stream : {zlib_deflate(input, 9), zlib_deflate(input, 6, Z_FIXED), zlib_deflate(input, 0)}) {
        for (std::size_t cut = 0; cut < stream.size(); ++cut) {
            const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
            const Decoded d = inflate(part, input.size(), 1 + cut % 5);
            if (d.status == DecodeStatus::Ok) {
                EXPECT_TRUE(d.bytes == input) << "cut at " << cut;
            } else {
                EXPECT_EQ(d.status, DecodeStatus::TruncatedInput) << "cut at " << cut << ": " << to_string(d.status);
            }
        }
    }
}

// A stream that would write far more than declared stops at the declared size.
TEST(InflateHostile, HugeOutputStopsAtTheDeclaredSize) {
    const Bytes input(20 * 1000 * 1000, 0);
    const Bytes stream = zlib_deflate(input, 9);
    for (std::uint64_t declared : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{100000}, std::uint64_t{19999999}}) {
        // A room larger than declared is still not written past the declared size.
        for (std::size_t lent : {std::size_t{0}, std::size_t{declared}, std::size_t{declared} + 4096}) {
            const Decoded d = inflate(stream, declared, 16000, lent);
            EXPECT_EQ(d.status, DecodeStatus::OutputOverflow);
            EXPECT_EQ(d.bytes.size(), declared);
        }
    }
}

// Flipping bits of a valid stream never crashes and never writes past the declared size.
TEST(InflateHostile, CorruptedStreamsEndInAStatus) {
    SKIP_WITHOUT_SHARED("corpus");
    const Bytes input = read_file(shared_path("corpus/calgary/paper4"));
    const Bytes stream = zlib_deflate(input, 9);
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        Bytes bad = stream;
        for (int flips = 1 + round % 4; flips > 0; --flips) bad[rng() % bad.size()] ^= static_cast<Byte>(1u << (rng() % 8));
        const Decoded d = inflate(bad, input.size(), 1 + round % 3 * 8000);
        EXPECT_LE(d.bytes.size(), input.size());
        if (d.status == DecodeStatus::Ok) {
            EXPECT_EQ(d.bytes.size(), input.size());
        }
    }
}

// The decoder object serves entry after entry, including after a failure.
TEST(InflateReuse, DecodesAfterAFailedEntry) {
    SKIP_WITHOUT_SHARED("corpus");
    Inflater inflater;
    const Bytes good = read_file(shared_path("corpus/canterbury/fields.c"));
    const Bytes stream = zlib_deflate(good, 9);
    const Bytes bad = block_type_3();
    for (int i = 0; i < 3; ++i) {
        MemorySource bad_source(bad);
        VectorSink bad_sink;
        EXPECT_EQ(inflater.run(bad_source, bad_sink, 100), DecodeStatus::BadData);
        MemorySource source(stream);
        VectorSink sink;
        ASSERT_EQ(inflater.run(source, sink, good.size()), DecodeStatus::Ok);
        EXPECT_TRUE(sink.bytes == good);
    }
}

}  // namespace
}  // namespace zip::test
