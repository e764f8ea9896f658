#include <gtest/gtest.h>

#include <random>

#include "tests/zip/DeflateStreamWriter.h"
#include "tests/zip/DecoderTestSupport.h"
#include "zip/Crc32.h"
#include "tests/zip/SharedData.h"

namespace zip::test {
namespace {

struct Archive {
    const char* file;
    std::size_t entries;  // entries expected in the archive, stored ones included
};

class OldMethodArchives : public ::testing::TestWithParam<Archive> {};

// Every entry decodes to its declared size and matches the CRC-32 in its header.
TEST_P(OldMethodArchives, EveryEntryMatchesItsCrc) {
    SKIP_WITHOUT_SHARED("testdata/old-methods");
    const Bytes zip = read_file(shared_path(std::string("testdata/old-methods/") + GetParam().file));
    ASSERT_FALSE(zip.empty());
    const auto entries = zip_entries(zip);
    ASSERT_EQ(entries.size(), GetParam().entries);
    EntryDecoder decoder;  // one for the archive, as extraction keeps it
    for (const ArchiveEntry& e : entries) {
        SCOPED_TRACE(e.name + " method " + std::to_string(e.method));
        MemorySource source(e.data);
        VectorSink sink;
        const DecodeStatus status = decoder.decode(e.method, e.flags, source, sink, e.uncompressed_size);
        EXPECT_EQ(status, DecodeStatus::Ok) << to_string(status);
        EXPECT_EQ(sink.bytes.size(), e.uncompressed_size);
        EXPECT_EQ(crc32::of(sink.bytes), e.crc);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SharedTestData, OldMethodArchives,
    ::testing::Values(Archive{"zip2-shrink.zip", 1}, Archive{"zip2-reduce.zip", 1}, Archive{"zip2-implode.zip", 1},
                      Archive{"ccomp-SHRUNK.ZIP", 2}, Archive{"ccomp-imploding-4Kdict-2trees.zip", 1},
                      Archive{"ccomp-imploding-8Kdict-3trees.zip", 1}, Archive{"d2a-HWREDUCE.ZIP", 3},
                      Archive{"d2a-example-s.zip", 1}, Archive{"d2a-example-r.zip", 1}, Archive{"d2s-PKZ80A1.ZIP", 15},
                      Archive{"d2s-PKZ80B1.ZIP", 15}, Archive{"d2s-PKZ80B2.ZIP", 15}, Archive{"d2s-PKZ80B3.ZIP", 15},
                      Archive{"d2s-PKZ110EI.ZIP", 15}, Archive{"d2s-IMPLODE.ZIP", 5}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// --- Hand-built streams ----------------------------------------------------------------------

constexpr std::uint16_t kShrunk = 1;
constexpr std::uint16_t kReducedFactor1 = 2;

Bytes shrink_codes(std::initializer_list<std::pair<unsigned, unsigned>> codes) {
    BitWriter w;
    for (auto [code, width] : codes) w.bits(code, width);
    return w.finish();
}

// A reduce stream whose follower sets are all empty, so every byte goes as 8 raw bits.
Bytes reduce_bytes(std::initializer_list<unsigned> bytes) {
    BitWriter w;
    for (int set = 0; set < 256; ++set) w.bits(0, 6);  // no followers
    for (unsigned b : bytes) w.bits(b, 8);
    return w.finish();
}

struct OldCase {
    const char* name;
    std::uint16_t method;
    Bytes stream;
    std::uint64_t declared;
    DecodeStatus status;
    std::string output;  // checked when the status is Ok
};

class OldMethodStreams : public ::testing::TestWithParam<OldCase> {};

TEST_P(OldMethodStreams, DecodeAsExpected) {
    const OldCase& c = GetParam();
    const Decoded d = decode(c.method, 0, c.stream, c.declared, 1);
    EXPECT_EQ(d.status, c.status) << to_string(d.status);
    if (c.status == DecodeStatus::Ok) {
        EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), c.output);
    }
    EXPECT_LE(d.bytes.size(), c.declared);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, OldMethodStreams,
    ::testing::Values(
        // a, b -> 257 = "ab"; 257 -> 258 = "ba"; c -> 259 = "abc". The partial clear frees
        // 258 and 259 but keeps 257, the prefix of 259; b then defines 258 = "cb" (the lowest
        // freed code), 258 defines 259 = "bc", and 257 still reads "ab".
        OldCase{"UnshrinkPartialClear", kShrunk,
                shrink_codes({{97, 9}, {98, 9}, {257, 9}, {99, 9}, {256, 9}, {2, 9}, {98, 9}, {258, 9}, {257, 9}}), 10,
                DecodeStatus::Ok, "ababcbcbab"},
        OldCase{"UnshrinkWiderCodes", kShrunk, shrink_codes({{97, 9}, {256, 9}, {1, 9}, {98, 10}, {257, 10}}), 4,
                DecodeStatus::Ok, "abab"},
        OldCase{"UnshrinkCodeOfThreeBytesPlusOne", kShrunk, shrink_codes({{97, 9}, {257, 9}, {258, 9}}), 6,
                DecodeStatus::Ok, "aaaaaa"},
        OldCase{"UnshrinkCodesPastThirteenBits", kShrunk,
                shrink_codes({{97, 9}, {256, 9}, {1, 9}, {256, 10}, {1, 10}, {256, 11}, {1, 11}, {256, 12}, {1, 12},
                              {256, 13}, {1, 13}, {98, 14}}),
                2, DecodeStatus::BadData, ""},
        OldCase{"UnshrinkFirstCodeNotAByte", kShrunk, shrink_codes({{300, 9}}), 2, DecodeStatus::BadData, ""},
        OldCase{"UnshrinkEmpty", kShrunk, {}, 0, DecodeStatus::Ok, ""},
        OldCase{"UnshrinkLongerThanDeclared", kShrunk, shrink_codes({{97, 9}, {98, 9}, {257, 9}}), 3,
                DecodeStatus::OutputOverflow, ""},
        OldCase{"UnshrinkShorterThanDeclared", kShrunk, shrink_codes({{97, 9}, {98, 9}}), 3, DecodeStatus::OutputShort, ""},
        OldCase{"ReduceEscapedDle", kReducedFactor1, reduce_bytes({'A', 144, 0, 'B'}), 3, DecodeStatus::Ok, "A\x90" "B"},
        // 144, V = 1: length 1 + 3 from distance (V >> 7) * 256 + 0 + 1 = 1.
        OldCase{"ReduceCopy", kReducedFactor1, reduce_bytes({'a', 144, 1, 0}), 5, DecodeStatus::Ok, "aaaaa"},
        // V = 0x7F is the length mask: one more byte adds to the length, 127 + 1 + 3.
        OldCase{"ReduceLongCopy", kReducedFactor1, reduce_bytes({'a', 144, 0x7F, 1, 0}), 132, DecodeStatus::Ok,
                std::string(132, 'a')},
        // V = 0x81: distance high bit 1, so 256 + 0 + 1 back: before the start, zeros.
        OldCase{"ReduceCopyBeforeStartGivesZeros", kReducedFactor1, reduce_bytes({'a', 144, 0x81, 0}), 5,
                DecodeStatus::Ok, std::string("a\0\0\0\0", 5)},
        OldCase{"ReduceCopyPastDeclaredSize", kReducedFactor1, reduce_bytes({'a', 144, 1, 0}), 3,
                DecodeStatus::OutputOverflow, ""},
        OldCase{"ReduceInputEndsEarly", kReducedFactor1, reduce_bytes({'a'}), 100, DecodeStatus::TruncatedInput, ""},
        OldCase{"ReduceNoFollowerTable", kReducedFactor1, {1, 2, 3}, 10, DecodeStatus::TruncatedInput, ""},
        OldCase{"ExplodeNoTrees", 6, {}, 10, DecodeStatus::TruncatedInput, ""},
        // Length tree: one byte, count 16 and bit length 1, for 64 values: does not add up.
        OldCase{"ExplodeTreeDoesNotAddUp", 6, {0x00, 0xF0, 0x00, 0xF0}, 10, DecodeStatus::BadData, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Hostile input ---------------------------------------------------------------------------

// Cut short or corrupted, every old-method entry of the shared data ends in a status with
// no more output than declared.
TEST(OldMethodsHostile, TruncatedAndCorruptedEntriesEndInAStatus) {
    SKIP_WITHOUT_SHARED("testdata/old-methods");
    std::mt19937 rng(3);
    for (const char* file : {"zip2-shrink.zip", "zip2-reduce.zip", "zip2-implode.zip", "ccomp-imploding-4Kdict-2trees.zip",
                             "d2a-example-r.zip", "d2a-example-s.zip"}) {
        const auto entries = zip_entries(read_file(shared_path(std::string("testdata/old-methods/") + file)));
        ASSERT_FALSE(entries.empty());
        const ArchiveEntry& e = entries[0];
        SCOPED_TRACE(file);
        for (std::size_t cut = 0; cut < e.data.size(); cut += 1 + cut / 8) {
            const Bytes part(e.data.begin(), e.data.begin() + static_cast<std::ptrdiff_t>(cut));
            const Decoded d = decode(e.method, e.flags, part, e.uncompressed_size, 7);
            EXPECT_NE(d.status, DecodeStatus::Ok) << "cut at " << cut;
            EXPECT_LE(d.bytes.size(), e.uncompressed_size);
        }
        for (int round = 0; round < 300; ++round) {
            Bytes bad = e.data;
            bad[rng() % bad.size()] ^= static_cast<Byte>(1u << (rng() % 8));
            const Decoded d = decode(e.method, e.flags, bad, e.uncompressed_size);
            EXPECT_LE(d.bytes.size(), e.uncompressed_size);
        }
    }
}

// A huge declared size with a few bytes of input stops at the input's end, not after
// gigabytes of made-up output.
TEST(OldMethodsHostile, HugeDeclaredSizeStopsWithTheInput) {
    for (std::uint16_t method : {std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{5}, std::uint16_t{6}}) {
        const Bytes few(2000, 0x55);
        const Decoded d = decode(method, 6, few, 0xFFFFFFFFu);
        EXPECT_NE(d.status, DecodeStatus::Ok) << method;
        EXPECT_LT(d.bytes.size(), 1u << 20) << method;
    }
}

TEST(EntryDecoder, UnknownMethodsAreReported) {
    for (std::uint16_t method : {std::uint16_t{7}, std::uint16_t{9}, std::uint16_t{12}, std::uint16_t{99}}) {
        EXPECT_EQ(decode(method, 0, {1, 2, 3}, 3).status, DecodeStatus::UnsupportedMethod);
    }
}

TEST(EntryDecoder, StoredEntriesAreCutAtTheDeclaredSize) {
    const Bytes data(100000, 'z');
    EXPECT_EQ(decode(0, 0, data, data.size()).status, DecodeStatus::Ok);
    const Decoded longer = decode(0, 0, data, 99999);
    EXPECT_EQ(longer.status, DecodeStatus::OutputOverflow);
    EXPECT_EQ(longer.bytes.size(), 99999u);
    EXPECT_EQ(decode(0, 0, data, 100001).status, DecodeStatus::OutputShort);
}

}  // namespace
}  // namespace zip::test
