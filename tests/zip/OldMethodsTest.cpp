#include <gtest/gtest.h>

#include "tests/zip/ZipTestSupport.h"
#include "zip/Crc32.h"

namespace zip::test {
namespace {

struct Archive {
    const char* file;
    std::size_t entries;  // entries expected in the archive, stored ones included
};

class OldMethodArchives : public ::testing::TestWithParam<Archive> {};

// Every entry decodes to its declared size and matches the CRC-32 in its header.
TEST_P(OldMethodArchives, EveryEntryMatchesItsCrc) {
    const Bytes zip = read_file(shared_path(std::string("testdata/old-methods/") + GetParam().file));
    ASSERT_FALSE(zip.empty());
    const auto entries = zip_entries(zip);
    ASSERT_EQ(entries.size(), GetParam().entries);
    for (const ArchiveEntry& e : entries) {
        SCOPED_TRACE(e.name + " method " + std::to_string(e.method));
        const Decoded d = decode(e.method, e.flags, e.data, e.uncompressed_size);
        EXPECT_EQ(d.status, DecodeStatus::Ok) << to_string(d.status);
        EXPECT_EQ(d.bytes.size(), e.uncompressed_size);
        EXPECT_EQ(crc32::of(d.bytes), e.crc);
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

}  // namespace
}  // namespace zip::test
