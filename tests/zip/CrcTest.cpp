#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/zip/DecoderTestSupport.h"
#include "zip/Crc32.h"
#include "tests/zip/SharedData.h"

namespace zip::test {
namespace {

std::uint32_t zlib_crc(const Byte* p, std::size_t n) { return static_cast<std::uint32_t>(::crc32(0, p, static_cast<uInt>(n))); }

Bytes random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (Byte& x : b) x = static_cast<Byte>(rng());
    return b;
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(crc32::tables()[0][1], 0x77073096u);
    EXPECT_EQ(crc32::of({}), 0u);  // an empty entry
    const std::string digits = "123456789";
    EXPECT_EQ(crc32::of({reinterpret_cast<const Byte*>(digits.data()), digits.size()}), 0xCBF43926u);
}

// Every length around the vector paths' block sizes, at every alignment, against zlib;
// both the dispatched and the table-only step.
TEST(Crc32, MatchesZlibAtEveryLengthAndAlignment) {
    const Bytes data = random_bytes(1200, 1);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t n = 0; n + offset <= data.size(); n += (n < 300 ? 1 : 37)) {
            const Byte* p = data.data() + offset;
            const std::uint32_t expected = zlib_crc(p, n);
            ASSERT_EQ(~crc32::update(crc32::kCrcStart, p, n), expected) << "length " << n << " offset " << offset;
            ASSERT_EQ(~crc32::update_portable(crc32::kCrcStart, p, n), expected) << "length " << n;
        }
    }
}

// A running CRC over blocks of any split equals the CRC of the whole, as extraction
// computes it block by block.
TEST(Crc32, RunningValueOverBlocks) {
    const Bytes data = random_bytes(5000, 2);
    const std::uint32_t whole = zlib_crc(data.data(), data.size());
    for (std::size_t split : {1, 15, 16, 17, 63, 64, 65, 127, 128, 129, 1000, 4999}) {
        std::uint32_t running = crc32::kCrcStart;
        for (std::size_t at = 0; at < data.size(); at += split)
            running = crc32::update(running, data.data() + at, std::min(split, data.size() - at));
        EXPECT_EQ(~running, whole) << "blocks of " << split;
    }
    std::uint32_t bytewise = crc32::kCrcStart;
    for (Byte b : data) bytewise = crc32::update_byte(bytewise, b);
    EXPECT_EQ(~bytewise, whole);
}

TEST(Crc32, CorpusFilesMatchZlib) {
    SKIP_WITHOUT_SHARED("corpus");
    for (const char* file : {"corpus/large/bible.txt", "corpus/canterbury/kennedy.xls", "corpus/artificial/a.txt"}) {
        const Bytes data = read_file(shared_path(file));
        EXPECT_EQ(crc32::of(data), zlib_crc(data.data(), data.size())) << file;
    }
}

}  // namespace
}  // namespace zip::test
