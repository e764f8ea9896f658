#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include "platform/CodePages.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

String LabelOf(const char* root) {
    char label[14] = "unchanged";  // the buffer size the zip engine uses
    if (!GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) return "<error>";
    return label;
}

TEST_F(ProfileTest, DriveTypesFollowTheTable) {
    platform::AddDrive('A', platform::DriveKind::Removable);
    std::filesystem::create_directories(env.Scratch("d"));
    platform::AddDrive('D', platform::DriveKind::Fixed, env.Scratch("d"));
    EXPECT_EQ(GetDriveTypeA("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA("z:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA("a:\\"), DRIVE_REMOVABLE);  // with or without a medium
    EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
    // The table lives in the profile: another process (or a fresh start) sees it.
    platform::ResetProfileForTests();
    EXPECT_EQ(GetDriveTypeA("A:\\"), DRIVE_REMOVABLE);
    platform::RemoveDrive('A');
    EXPECT_EQ(GetDriveTypeA("A:\\"), DRIVE_NO_ROOT_DIR);
}

TEST_F(ProfileTest, LabelsBelongToTheMediumInTheDrive) {
    std::filesystem::create_directories(env.Scratch("disk1"));
    std::filesystem::create_directories(env.Scratch("disk2"));
    platform::AddDrive('A', platform::DriveKind::Removable);
    EXPECT_EQ(LabelOf("A:\\"), "<error>");
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(DiskFree(1), -1);

    platform::InsertMedium('A', env.Scratch("disk1"));
    ASSERT_TRUE(SetVolumeLabelA("A:\\", "PKBACK# 001"));
    platform::InsertMedium('A', env.Scratch("disk2"));
    EXPECT_EQ(LabelOf("A:\\"), "");
    ASSERT_TRUE(SetVolumeLabelA("A:\\", "pkback# 002"));
    EXPECT_EQ(LabelOf("A:\\"), "PKBACK# 002");  // removable disks keep labels in upper case
    platform::InsertMedium('A', env.Scratch("disk1"));
    EXPECT_EQ(LabelOf("A:\\"), "PKBACK# 001");

    EXPECT_FALSE(SetVolumeLabelA("A:\\", "TWELVE CHARS"));
    EXPECT_EQ(GetLastError(), ERROR_LABEL_TOO_LONG);
    EXPECT_FALSE(SetVolumeLabelA("Z:\\", "ROOT"));
    platform::SetDriveLabel('C', "A label longer than fourteen");
    EXPECT_EQ(LabelOf("C:\\"), "<error>");  // does not fit the caller's buffer
    platform::EjectMedium('A');
    EXPECT_FALSE(SetVolumeLabelA("A:\\", "X"));
}

TEST_F(ProfileTest, FreeSpaceFollowsTheQuota) {
    std::filesystem::create_directories(env.Scratch("disk"));
    platform::AddDrive('B', platform::DriveKind::Removable, env.Scratch("disk"), 10000);
    env.WriteText("disk/sub/f.bin", std::string(3000, 'x'));
    EXPECT_EQ(DiskFree(2), 7000);
    EXPECT_EQ(DiskSize(2), 10000);
    UInt64 freeBytes = 0, total = 0, totalFree = 0;
    ASSERT_TRUE(GetDiskFreeSpaceExA("B:\\sub", &freeBytes, &total, &totalFree));
    EXPECT_EQ(freeBytes, 7000u);
    EXPECT_EQ(total, 10000u);
    platform::SetDriveQuota('B', 2000);
    EXPECT_EQ(DiskFree(2), 0);
    EXPECT_GT(DiskFree(3), 0);  // C: reports the real file system
    EXPECT_EQ(DiskFree(17), -1);
}

TEST_F(ProfileTest, TempPathIsPrivateAndTempNamesAreNew) {
    char path[261];
    DWORD n = GetTempPathA(sizeof path, path);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof path);
    EXPECT_EQ(path[n - 1], '\\');
    EXPECT_EQ(platform::ToPosixPath(path), env.Profile() + "/temp");
    struct stat st {};
    ASSERT_EQ(::stat((env.Profile() + "/temp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(GetTempPathA(3, path), n + 1);

    char a[260], b[260];
    ASSERT_NE(GetTempFileNameA(env.Win().c_str(), "QelZip", 0, a), 0u);
    ASSERT_NE(GetTempFileNameA(env.Win().c_str(), "QelZip", 0, b), 0u);
    EXPECT_NE(std::string(a), std::string(b));
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(ExtractFileName(a).substr(0, 3), "Qel");
}

struct OemCase {
    const char* name;
    const char* utf8;
    const char* oem;
    bool representable;
};

class OemCodePage : public ::testing::TestWithParam<OemCase> {};

TEST_P(OemCodePage, ConvertsToCp437) {
    const OemCase& c = GetParam();
    EXPECT_EQ(CharToOem(c.utf8), c.oem);
    String out;
    EXPECT_EQ(platform::TryCharToOem(c.utf8, out), c.representable);
    if (c.representable) {
        EXPECT_EQ(OemToChar(c.oem), c.utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OemCodePage,
    ::testing::Values(OemCase{"Ascii", "dir\\File 1.txt", "dir\\File 1.txt", true},
                      OemCase{"Latin", "M\xC3\xBCller \xC3\xA9t\xC3\xA9", "M\x81ller \x82t\x82", true},
                      OemCase{"BoxAndGreek", "\xE2\x94\x82\xCE\xB1", "\xB3\xE0", true},
                      OemCase{"EuroIsNotInCp437", "\xE2\x82\xAC", "?", false},
                      OemCase{"InvalidUtf8", "a\xFF" "b", "a?b", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OemCodePage, AgreesWithPythonsCp437Codec) {
    String all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    FILE* p = ::popen("python3 -c \"import sys; sys.stdout.buffer.write(bytes(range(256)).decode('cp437').encode('utf-8'))\"", "r");
    ASSERT_NE(p, nullptr);
    String expected;
    char buf[1024];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) expected.append(buf, n);
    ASSERT_EQ(::pclose(p), 0);
    // Python maps 0x00-0x7F to ASCII as the system's OEM conversion does.
    EXPECT_EQ(OemToChar(all), expected);
    EXPECT_EQ(CharToOem(expected), all);
}

}  // namespace
