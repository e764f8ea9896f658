// What compressing one file decides for its entry (method, attributes, flags, size), how the
// output leaves, and how failures and reuse behave.
#include <gtest/gtest.h>

#include <numeric>

#include "tests/zip/DeflateTestSupport.h"

using namespace deflate_test;

namespace {

// Plain text of random words: compresses, but not to nearly nothing.
Bytes text(std::size_t size) {
    static const char* words[] = {"The ", "quick ", "brown ", "fox ", "jumps ", "over ", "the ", "lazy ",
                                  "dog. ", "Backup ", "of ", "folder ", "C:\\Data ", "done.\r\n", "2026 "};
    std::mt19937 rng(7);
    Bytes out;
    while (out.size() < size) {
        const char* w = words[rng() % std::size(words)];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(size);
    return out;
}

TEST(DeflateEntryTest, EmptyFileIsStoredTextWithNoData) {
    const Compressed c = compress(6, Bytes{});
    EXPECT_EQ(c.result.method, 0);
    EXPECT_EQ(c.result.compressedSize, 0u);
    EXPECT_EQ(c.result.internalAttributes, 1);
    EXPECT_TRUE(c.chunks.empty());
}

TEST(DeflateEntryTest, SmallIncompressibleFileIsStoredRaw) {
    const Bytes input = randomBytes(20000, 42);
    const Compressed c = compress(6, input);
    EXPECT_EQ(c.result.method, 0);
    EXPECT_EQ(c.data, input);
    EXPECT_EQ(c.result.internalAttributes, 0);
}

// Only a file that is one block can be stored whole; a larger one keeps method 8 with stored
// blocks, as Info-ZIP zip writes it.
TEST(DeflateEntryTest, LargeIncompressibleFileUsesStoredBlocks) {
    const Bytes input = randomBytes(200000, 43);
    const Compressed c = compress(6, input);
    ASSERT_EQ(c.result.method, 8);
    const StreamInfo info = BlockReader(c.data).read();
    std::size_t total = 0;
    for (const auto& block : info.blocks) {
        EXPECT_EQ(block.type, 0u);
        total += block.outputBytes;
    }
    EXPECT_EQ(total, input.size());
    EXPECT_EQ(c.data.size(), input.size() + 5 * info.blocks.size());  // header byte and lengths

    const auto dir = scratchDir("stored");
    const auto file = dir / "random.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    const PeerEntry peer = runZip(file, 6, dir);
    EXPECT_EQ(peer.method, 8u);
    EXPECT_EQ(peer.data, c.data);
    std::filesystem::remove_all(dir);
}

TEST(DeflateEntryTest, TextAndBinaryFromTheFirstBlock) {
    EXPECT_EQ(compress(6, text(50000)).result.internalAttributes, 1);
    EXPECT_EQ(compress(6, Bytes(50000, 0)).result.internalAttributes, 0);
    // Literals count, not input bytes: the repeats below are all one match, leaving the literals
    // a, b, c, d and 0xE9. Four text literals per binary one is still text; the extra 0xE9 at
    // the end is a second binary literal and tips it.
    Bytes mixed;
    for (int i = 0; i < 2000; ++i) mixed.insert(mixed.end(), {'a', 'b', 'c', 'd', 0xE9});
    EXPECT_EQ(compress(6, mixed).result.internalAttributes, 1);
    mixed.push_back(0xE9);
    EXPECT_EQ(compress(6, mixed).result.internalAttributes, 0);
}

TEST(DeflateEntryTest, FlagBitsFollowTheLevel) {
    const std::uint16_t expected[10] = {4, 4, 4, 0, 0, 0, 0, 0, 2, 2};
    for (int level = 0; level <= 9; ++level) {
        EXPECT_EQ(compress(level, text(1000)).result.flagBits, expected[level]) << "level " << level;
        EXPECT_EQ(zip::Deflater::flagBitsForLevel(level), expected[level]);
    }
}

TEST(DeflateEntryTest, LevelsOutsideTheTableAreClamped) {
    EXPECT_EQ(zip::Deflater(-3).level(), 0);
    EXPECT_EQ(zip::Deflater(12).level(), 9);
    const Bytes input = text(40000);
    EXPECT_EQ(compress(12, input).data, compress(9, input).data);
}

TEST(DeflateEntryTest, OutputLeavesInChunksOf1024Bytes) {
    const Compressed c = compress(6, text(300000));
    ASSERT_GT(c.chunks.size(), 2u);
    for (std::size_t i = 0; i + 1 < c.chunks.size(); ++i) EXPECT_EQ(c.chunks[i], 1024u) << "chunk " << i;
    EXPECT_LE(c.chunks.back(), 1024u);
    EXPECT_EQ(std::accumulate(c.chunks.begin(), c.chunks.end(), std::size_t{0}), c.result.compressedSize);
}

// A stored block's bytes pass straight from the window, after the pending coded bytes.
TEST(DeflateEntryTest, StoredBlockBytesPassInOneWrite) {
    Bytes input = text(100000);
    const Bytes noise = randomBytes(60000, 44);
    input.insert(input.end(), noise.begin(), noise.end());
    const Compressed c = compress(6, input);
    const StreamInfo info = BlockReader(c.data).read();
    std::vector<std::size_t> storedSizes;
    for (const auto& block : info.blocks)
        if (block.type == 0) storedSizes.push_back(block.outputBytes);
    ASSERT_FALSE(storedSizes.empty());
    for (std::size_t size : storedSizes)
        EXPECT_NE(std::find(c.chunks.begin(), c.chunks.end(), size), c.chunks.end()) << "stored block of " << size;
    EXPECT_EQ(std::accumulate(c.chunks.begin(), c.chunks.end(), std::size_t{0}), c.result.compressedSize);
}

TEST(DeflateEntryTest, RepetitiveInputAtLevelNineUsesLongestMatches) {
    const Compressed c = compress(9, Bytes(100000, 'a'));
    EXPECT_EQ(BlockReader(c.data).read().longestMatch, 258u);
}

TEST(DeflateEntryTest, MatchesReachAcrossTheSlide) {
    // 70000 bytes: the window slides once. The second half repeats the first from 32000 back.
    Bytes input = randomBytes(70000, 45);
    std::copy_n(input.begin(), 38000, input.begin() + 32000);
    for (int level : {1, 6, 9}) {
        const Compressed c = compress(level, input);
        ASSERT_EQ(expand(c, input.size()), input);
        EXPECT_EQ(BlockReader(c.data).read().farthestMatch, 32000u) << "level " << level;
    }
}

// A lazy match found one byte before the window slides may start at the very byte that slides
// out (distance 32506, the farthest). A short read puts the slide exactly there: the match must
// still be checked against what is left and coded with its full distance.
TEST(DeflateEntryTest, PendingMatchWhoseFirstByteSlidOutIsKept) {
    // Letters a-p (compressible, so the blocks are coded), and "qABCDEFs" / "rABCDEFt" as the
    // only strings that can match 32506 back.
    Bytes input = randomBytes(100000, 47);
    for (auto& b : input) b = static_cast<std::uint8_t>('a' + b % 16);
    const std::string first = "qABCDEFs";
    const std::string second = "rABCDEFt";
    std::copy(first.begin(), first.end(), input.begin() + 32766);
    std::copy(second.begin(), second.end(), input.begin() + 65272);

    for (int level : {4, 6, 9}) {
        zip::Deflater deflater(level);
        std::size_t pos = 0;
        int call = 0;
        const zip::DeflateSource source = [&](std::uint8_t* buffer, std::size_t count) {
            // 32768, then one byte short of the room, so that the input ends at 65535.
            if (++call == 2) count -= 1;
            const std::size_t n = std::min(count, input.size() - pos);
            std::copy_n(input.data() + pos, n, buffer);
            pos += n;
            return n;
        };
        Bytes out;
        const zip::DeflateSink sink = [&](const std::uint8_t* data, std::size_t size) {
            out.insert(out.end(), data, data + size);
        };
        ASSERT_NO_THROW(deflater.compress(source, sink)) << "level " << level;
        EXPECT_EQ(inflateRaw(out, input.size()), input);
        EXPECT_EQ(BlockReader(out).read().farthestMatch, 32506u) << "level " << level;
    }
}

// One Deflater serves every file of an update; nothing of one file may change the next. The
// first file either slides the window, or is small enough that level 1 clears only the entries
// of its own strings before the next one (here the same file again, whose strings any entry
// left behind would find).
TEST(DeflateEntryTest, ReusedDeflaterGivesTheSameBytesAsAFreshOne) {
    const Bytes small = text(5000);
    const std::pair<Bytes, Bytes> files[] = {{randomBytes(90000, 46), text(70000)}, {small, small}};
    for (const auto& [first, second] : files) {
        for (int level : {1, 6, 9}) {
            zip::Deflater reused(level);
            compress(reused, first);
            EXPECT_EQ(compress(reused, second).data, compress(level, second).data)
                << "level " << level << ", first file of " << first.size();
        }
    }
}

struct SourceFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

TEST(DeflateEntryTest, SourceAndSinkErrorsPassThroughAndTheDeflaterStaysUsable) {
    const Bytes input = text(200000);
    zip::Deflater deflater(6);
    std::size_t pos = 0;
    const zip::DeflateSource failingSource = [&](std::uint8_t* buffer, std::size_t count) -> std::size_t {
        if (pos > 100000) throw SourceFailure("read error");
        const std::size_t n = std::min(count, input.size() - pos);
        std::copy_n(input.data() + pos, n, buffer);
        pos += n;
        return n;
    };
    const zip::DeflateSink ignore = [](const std::uint8_t*, std::size_t) {};
    EXPECT_THROW(deflater.compress(failingSource, ignore), SourceFailure);

    pos = 0;
    const zip::DeflateSource source = [&](std::uint8_t* buffer, std::size_t count) {
        const std::size_t n = std::min(count, input.size() - pos);
        std::copy_n(input.data() + pos, n, buffer);
        pos += n;
        return n;
    };
    const zip::DeflateSink failingSink = [](const std::uint8_t*, std::size_t) { throw EAbort("cancel"); };
    EXPECT_THROW(deflater.compress(source, failingSink), EAbort);

    EXPECT_EQ(compress(deflater, input).data, compress(6, input).data);
}

TEST(DeflateEntryTest, SourceReturningMoreThanAskedIsAnInternalError) {
    zip::Deflater deflater(6);
    const zip::DeflateSource liar = [](std::uint8_t*, std::size_t count) { return count + 1; };
    const zip::DeflateSink ignore = [](const std::uint8_t*, std::size_t) {};
    try {
        deflater.compress(liar, ignore, "C:\\data\\a.txt");
        FAIL() << "no exception";
    } catch (const EDeflateError& e) {
        EXPECT_EQ(e.Message(), "out of range for window! - C:\\data\\a.txt");
    }
}

}  // namespace
