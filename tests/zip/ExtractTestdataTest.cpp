#include <gtest/gtest.h>
#include <zlib.h>

#include <set>

#include "ReadTestSupport.h"

namespace {

const std::string kTestdata = std::string(TARVIK_SHARED_DIR) + "/testdata";

// Archives that must extract every file entry with the manifest's CRC and no error.
bool MustExtractCompletely(const std::string& path) {
    static const std::set<std::string> kExceptions = {
        "encrypted/ccomp-password-encrypted.zip",  // password unknown: skipped entries
        "encrypted/zip2-aes_archive.zip",
        "encrypted/libarchive-zip_encryption_data.zip",
        "encrypted/zip2-ignore_encryption_flag.zip",
        "encrypted/libarchive-zip_encryption_header.zip",
        "split/ccomp-infozip/split_zip_created_by_zip.zip",  // needs its other parts
        "split/ccomp-infozip/split_zip_created_by_zip_zip64.zip",
        "split/libzip-multidisk.zip",
        "empty/d2s-EMPTY.ZIP",
        "names-extra/libarchive-zip_extra_padding.zip",
    };
    if (kExceptions.count(path)) return false;
    for (const char* folder : {"malformed/", "unsupported-methods/", "zip64/"})
        if (path.rfind(folder, 0) == 0) return false;
    return true;
}

// Archives whose failure text must name what is not supported.
const std::map<std::string, std::string> kUnsupported = {
    {"encrypted/zip2-aes_archive.zip", "AES encryption is not supported"},
    {"encrypted/libarchive-zip_encryption_data.zip", "strong encryption is not supported"},
    {"unsupported-methods/ccomp-moby.zip", "compression method 7 is not supported"},
    {"unsupported-methods/zip2-ppmd.zip", "compression method 98 is not supported"},
    {"unsupported-methods/zip2-xz.zip", "compression method 95 is not supported"},
    {"malformed/libarchive-zip_uncompressed_size_off_by_4gib.zip", "Zip64 entries are not supported"},
    {"malformed/libzip-incons-local-magic-bad.zip", "its local header is missing"},
    {"malformed/ccomp-bla-stored-dd.zip", "The archive is damaged"},
    {"malformed/ccomp-bla-stored-dd-nosig.zip", "The archive is damaged"},
};

class TestdataExtract : public ::testing::TestWithParam<ziptest::ManifestArchive> {};

TEST_P(TestdataExtract, ExtractsWithManifestCrcsOrFailsClearly) {
    const auto& a = GetParam();
    if (a.path.size() >= 4 && a.path.substr(a.path.size() - 4, 3) == ".z0") GTEST_SKIP() << "split segment";
    ziptest::MemoryUnZipper z;
    z.files["A:\\archive.zip"] = ziptest::ReadHostFile(kTestdata + "/" + a.path);
    z.SetZipName("A:\\archive.zip");
    z.SetDestDir("C:\\dest");
    z.DoAll = true;
    z.RecreateDirs = true;
    z.OverwriteMode = TUZOverwriteMode::Always;
    z.Password = a.password;
    int badCrc = 0, skipped = 0;
    z.OnBadCRC = [&](TObject*, Integer, Integer, Integer) { ++badCrc; };
    z.OnSkippingFile = [&](TObject*, TSkipReason, Integer) { ++skipped; };
    std::string error;
    Integer count = -1;
    try {
        count = z.UnZip();
    } catch (const Exception& e) {
        error = e.what();
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(z.Busy());
    EXPECT_TRUE(z.temps.empty()) << "temporary files left behind";
    auto unsupported = kUnsupported.find(a.path);
    if (unsupported != kUnsupported.end()) {
        EXPECT_NE(error.find(unsupported->second), std::string::npos) << error;
    }

    // Every file written carries the manifest's CRC for its name.
    std::map<std::string, unsigned> crcByName;
    for (const auto& m : a.entries) crcByName[ziptest::SlashName(m.name)] = m.crc;
    for (const auto& [name, out] : z.outputs) {
        ASSERT_EQ(name.rfind("C:\\dest\\", 0), 0u) << name;
        std::string stored = ziptest::SlashName(name.substr(8));
        unsigned crc = static_cast<unsigned>(crc32(0, out.bytes.data(), static_cast<uInt>(out.bytes.size())));
        if (crcByName.count(stored)) {
            EXPECT_EQ(crc, crcByName[stored]) << stored;
        } else {
            // Renamed on the way out (a ":" in a stored folder) or listed from local headers
            // only: the data must still be one of the archive's entries.
            bool known = a.entries.empty();
            for (const auto& m : a.entries) known = known || m.crc == crc;
            EXPECT_TRUE(known) << stored;
        }
    }
    // An entry whose data does not give its CRC is never written.
    for (const auto& m : a.entries) {
        if (m.dataMismatch) {
            std::string name = m.name;
            for (char& c : name)
                if (c == '/') c = '\\';
            EXPECT_EQ(z.outputs.count("C:\\dest\\" + name), 0u) << m.name;
        }
    }
    if (MustExtractCompletely(a.path) && !a.entries.empty()) {
        EXPECT_EQ(error, "");
        EXPECT_EQ(badCrc, 0);
        EXPECT_EQ(skipped, 0);
        // Folder entries stay counted with RecreateDirs.
        EXPECT_EQ(count, static_cast<Integer>(a.entries.size()));
        std::set<std::string> names;
        for (const auto& m : a.entries)
            if (!m.name.empty() && m.name.back() != '/') names.insert(ziptest::SlashName(m.name));
        EXPECT_EQ(z.outputs.size(), names.size());
    }
}

std::string CaseName(const ::testing::TestParamInfo<ziptest::ManifestArchive>& info) {
    std::string s;
    for (char c : info.param.path) s += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return s;
}

// No test data beside the checkout: no cases (see SharedDataTest).
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TestdataExtract);
INSTANTIATE_TEST_SUITE_P(Manifest, TestdataExtract, ::testing::ValuesIn(ziptest::LoadManifest(kTestdata)), CaseName);

}  // namespace
