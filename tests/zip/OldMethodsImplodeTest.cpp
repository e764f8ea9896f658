#include <gtest/gtest.h>

#include "tests/zip/ImplodeTestEncoder.h"
#include "tests/zip/DecoderTestSupport.h"
#include "zip/Crc32.h"
#include "tests/zip/SharedData.h"

namespace zip::test {
namespace {

constexpr std::uint16_t kImploded = 6;

struct Variant {
    const char* name;
    bool dictionary_8k;
    bool literal_tree;
};

class ImplodeVariants : public ::testing::TestWithParam<Variant> {};

// Every combination of dictionary size and tree count, written by the test imploder: the
// peers accept it and we decode it back to the input.
TEST_P(ImplodeVariants, PeersAndWeAgree) {
    SKIP_WITHOUT_SHARED("corpus");
    const Variant& v = GetParam();
    Bytes input = read_file(shared_path("corpus/canterbury/fields.c"));
    const Bytes more = read_file(shared_path("corpus/artificial/aaa.txt"));
    input.insert(input.end(), more.begin(), more.begin() + 3000);  // long runs: length code 63
    const Bytes binary = read_file(shared_path("corpus/calgary/geo"));
    input.insert(input.end(), binary.begin(), binary.begin() + 20000);  // far distances, odd bytes
    const std::uint16_t flags = static_cast<std::uint16_t>((v.dictionary_8k ? kFlagImplode8kDictionary : 0) |
                                                           (v.literal_tree ? kFlagImplodeLiteralTree : 0));
    const Bytes stream = implode(input, v.dictionary_8k, v.literal_tree);

    const Decoded d = decode(kImploded, flags, stream, input.size());
    ASSERT_EQ(d.status, DecodeStatus::Ok) << to_string(d.status);
    EXPECT_TRUE(d.bytes == input);

    TempFolder dir;
    const auto path = dir.path() / "imploded.zip";
    write_file(path, single_entry_zip("data.bin", kImploded, flags, crc32::of(input),
                                      static_cast<std::uint32_t>(input.size()), stream));
    EXPECT_EQ(run("unzip -qq -t '" + path.string() + "' >/dev/null 2>&1"), 0) << "unzip";
    EXPECT_EQ(run("7zz t '" + path.string() + "' >/dev/null 2>&1"), 0) << "7zz";
}

INSTANTIATE_TEST_SUITE_P(Implode, ImplodeVariants,
                         ::testing::Values(Variant{"Dictionary4kTwoTrees", false, false},
                                           Variant{"Dictionary4kThreeTrees", false, true},
                                           Variant{"Dictionary8kTwoTrees", true, false},
                                           Variant{"Dictionary8kThreeTrees", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zip::test
