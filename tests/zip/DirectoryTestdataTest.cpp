#include <gtest/gtest.h>

#include <set>

#include "ReadTestSupport.h"

namespace {

const std::string kTestdata = std::string(TARVIK_SHARED_DIR) + "/testdata";

// Archives whose directory cannot be read, with the start of the error each must give.
const std::map<std::string, std::string> kDirectoryErrors = {
    {"empty/d2s-EMPTY.ZIP", "Incomplete Zip File"},
    {"names-extra/libarchive-zip_extra_padding.zip", "Incomplete Zip File"},
    {"malformed/ccomp-COMPRESS-546.zip", "Incomplete Zip File"},
    {"malformed/ccomp-invalid-zip.zip", "Incomplete Zip File"},
    {"malformed/libzip-bogus.zip", "Incomplete Zip File"},
    {"malformed/libzip-testfile-truncated.zip", "Incomplete Zip File"},
    {"malformed/libzip-incons-eocd-magic-bad.zip", "Incomplete Zip File"},
    {"malformed/libarchive-zip_malformed1.zip", "Incomplete Zip File"},
    {"malformed/libzip-incons-file-count-high.zip", "The central directory is damaged"},
    {"malformed/libarchive-zip_with_invalid_traditional_eocd.zip", "Zip64 archives are not supported"},
    {"encrypted/libarchive-zip_encryption_header.zip", "Zip64 archives are not supported"},
    {"zip64/go-zip64.zip", "Zip64 archives are not supported"},
    {"zip64/zip2-zip64_demo.zip", "Zip64 archives are not supported"},
    {"split/ccomp-infozip/split_zip_created_by_zip_zip64.zip", "Zip64 archives are not supported"},
    {"malformed/ccomp-COMPRESS-227.zip", "The entries"},  // two records, one local header
    // Directories away from their stated offset whose local headers are neither all at the
    // stated offsets nor all shifted by the same amount: bytes were lost inside.
    {"malformed/zip2-invalid_offset.zip", "The archive is damaged: only 4 of its 8 entries"},
    {"malformed/zip2-invalid_cde_number_of_files_allocation_greater_offset.zip", "The archive is damaged"},
    {"malformed/zip2-deflate64_issue_25.zip", "The archive is damaged"},
    {"malformed/ccomp-bla-stored-dd.zip", "The archive is damaged: only 1 of its 2 entries"},
    {"malformed/ccomp-bla-stored-dd-nosig.zip", "The archive is damaged: only 1 of its 2 entries"},
};

// Archives whose comment length runs past the end of the file.
const std::set<std::string> kCommentErrors = {"malformed/libzip-incons-archive-comment-longer.zip"};

class TestdataDirectory : public ::testing::TestWithParam<ziptest::ManifestArchive> {};

TEST_P(TestdataDirectory, ListsAsTheManifestSaysOrFailsClearly) {
    const auto& a = GetParam();
    if (a.path.size() >= 4 && a.path.substr(a.path.size() - 4, 3) == ".z0") GTEST_SKIP() << "split segment";
    ziptest::MemoryUnZipper z;
    z.files["A:\\archive.zip"] = ziptest::ReadHostFile(kTestdata + "/" + a.path);
    z.SetZipName("A:\\archive.zip");
    auto err = kDirectoryErrors.find(a.path);
    if (err != kDirectoryErrors.end()) {
        try {
            z.ReadZip();
            FAIL() << "expected an error";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind(err->second, 0), 0u) << e.what();
        }
        return;
    }
    ASSERT_NO_THROW(z.ReadZip());
    ASSERT_EQ(z.Count(), static_cast<Integer>(a.entries.size()));
    for (Integer i = 0; i < z.Count(); ++i) {
        const TZipHeaderInfo& h = z.Entry(i);
        const ziptest::ManifestEntry& m = a.entries[static_cast<size_t>(i)];
        EXPECT_EQ(ziptest::SlashName(h.FullName()), ziptest::SlashName(m.name)) << i;
        EXPECT_EQ(h.CRC, m.crc) << m.name;
        if (!h.NeedsZip64()) {
            EXPECT_EQ(h.CompressedSize, m.csize) << m.name;
        }
        EXPECT_EQ(h.Method, m.method) << m.name;
    }
    if (kCommentErrors.count(a.path)) {
        EXPECT_THROW(z.ZipComment(), EFatalUnzipError);
        return;
    }
    // The manifest keeps only the start of long comments.
    EXPECT_EQ(z.ZipComment().substr(0, a.comment.size()), a.comment);
}

std::string CaseName(const ::testing::TestParamInfo<ziptest::ManifestArchive>& info) {
    std::string s;
    for (char c : info.param.path) s += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return s;
}

// No test data beside the checkout: no cases (see SharedDataTest).
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TestdataDirectory);
INSTANTIATE_TEST_SUITE_P(Manifest, TestdataDirectory, ::testing::ValuesIn(ziptest::LoadManifest(kTestdata)), CaseName);

}  // namespace
