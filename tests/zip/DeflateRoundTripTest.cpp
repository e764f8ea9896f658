// Whatever the input, level and read pattern, zlib's raw inflate gives the input back.
#include <gtest/gtest.h>

#include "tests/zip/DeflateTestSupport.h"

using namespace deflate_test;

namespace {

Bytes repeated(std::size_t size, std::uint8_t value) { return Bytes(size, value); }

// Text-like data with matches near and far: lines drawn from a small vocabulary.
Bytes wordy(std::size_t size, std::uint32_t seed) {
    static const char* words[] = {"backup ", "archive ", "folder ", "entry ", "deflate ", "window ", "match ",
                                  "chain ", "block ", "tree ", "\n", "0123 ", "zip ", "file "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = words[rng() % std::size(words)];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(size);
    return out;
}

// Random bytes with stretches copied from far back, so that matches reach the full distance.
Bytes farCopies(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out = randomBytes(size, seed);
    for (std::size_t pos = 40000; pos + 300 < size; pos += 1000 + rng() % 500) {
        const std::size_t back = 32000 + rng() % 760;  // around the longest reach of a match
        std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(pos - back), 3 + rng() % 300,
                    out.begin() + static_cast<std::ptrdiff_t>(pos));
    }
    return out;
}

struct InputCase {
    const char* name;
    Bytes (*make)();
};

const InputCase kInputs[] = {
    {"Empty", [] { return Bytes{}; }},
    {"OneByte", [] { return Bytes{0x41}; }},
    {"TwoBytes", [] { return Bytes{0, 0}; }},
    {"Run257", [] { return repeated(257, 'a'); }},
    {"Run258", [] { return repeated(258, 'a'); }},
    {"Run259", [] { return repeated(259, 'a'); }},
    {"Run262", [] { return repeated(262, 'a'); }},
    {"Zeros100000", [] { return repeated(100000, 0); }},
    {"Random1000", [] { return randomBytes(1000, 1); }},
    {"Random32767", [] { return randomBytes(32767, 2); }},
    {"Random32768", [] { return randomBytes(32768, 3); }},
    {"Random32769", [] { return randomBytes(32769, 4); }},
    {"Random65535", [] { return randomBytes(65535, 5); }},
    {"Random65536", [] { return randomBytes(65536, 6); }},
    {"Random65537", [] { return randomBytes(65537, 7); }},
    {"Random200000", [] { return randomBytes(200000, 8); }},
    {"Text32767", [] { return wordy(32767, 9); }},
    {"Text32768", [] { return wordy(32768, 10); }},
    {"Text32769", [] { return wordy(32769, 11); }},
    {"Text65535", [] { return wordy(65535, 12); }},
    {"Text65536", [] { return wordy(65536, 13); }},
    {"Text65537", [] { return wordy(65537, 14); }},
    {"Text70000", [] { return wordy(70000, 15); }},
    {"Text300000", [] { return wordy(300000, 16); }},
    {"FarCopies150000", [] { return farCopies(150000, 17); }},
    {"TextThenRandom", [] {
         Bytes b = wordy(50000, 18);
         const Bytes r = randomBytes(50000, 19);
         b.insert(b.end(), r.begin(), r.end());
         return b;
     }},
};

struct RoundTripCase {
    const InputCase* input;
    int level;
    std::size_t readSize;
};

std::vector<RoundTripCase> roundTripCases() {
    std::vector<RoundTripCase> cases;
    for (const auto& input : kInputs)
        for (int level = 0; level <= 9; ++level)
            for (std::size_t readSize : {SIZE_MAX, std::size_t{1000}}) cases.push_back({&input, level, readSize});
    return cases;
}

class DeflateRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DeflateRoundTripTest, InflatesToTheInput) {
    const auto& param = GetParam();
    const Bytes input = param.input->make();
    const Compressed c = compress(param.level, input, param.readSize);
    ASSERT_EQ(c.result.compressedSize, c.data.size());
    ASSERT_EQ(expand(c, input.size()), input);
    if (c.result.method == 8) {
        EXPECT_NO_THROW(BlockReader(c.data).read());
    }
}

std::string roundTripName(const ::testing::TestParamInfo<RoundTripCase>& info) {
    return std::string(info.param.input->name) + "_Level" + std::to_string(info.param.level) +
           (info.param.readSize == SIZE_MAX ? "" : "_ShortReads");
}

INSTANTIATE_TEST_SUITE_P(Inputs, DeflateRoundTripTest, ::testing::ValuesIn(roundTripCases()), roundTripName);

// Level 0 has no peer to compare with; the corpus must still come back whole.
class DeflateLevelZeroCorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DeflateLevelZeroCorpusTest, InflatesToTheInput) {
    const Bytes input = readFile(corpusDir() / GetParam());
    const Compressed c = compress(0, input);
    ASSERT_EQ(expand(c, input.size()), input);
}

// No corpus beside the checkout: no cases (see SharedDataTest).
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DeflateLevelZeroCorpusTest);
INSTANTIATE_TEST_SUITE_P(Corpus, DeflateLevelZeroCorpusTest, ::testing::ValuesIn(corpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Reads of one byte at a time refill the window at every position.
TEST(DeflateReadPatternTest, ByteByByteReadsRoundTrip) {
    const Bytes input = wordy(70000, 20);
    for (int level : {1, 6, 9}) {
        const Compressed c = compress(level, input, 1);
        EXPECT_EQ(expand(c, input.size()), input) << "level " << level;
    }
}

}  // namespace
