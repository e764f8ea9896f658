#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

struct PureCase {
    const char* name;
    String (*fn)(const String&);
    const char* input;
    const char* expected;
};

class PathText : public ::testing::TestWithParam<PureCase> {};

TEST_P(PathText, GivesTheClassLibraryResult) {
    EXPECT_EQ(GetParam().fn(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, PathText,
    ::testing::Values(PureCase{"PathOfFile", ExtractFilePath, "C:\\a\\b.txt", "C:\\a\\"},
                      PureCase{"PathOfDriveRelative", ExtractFilePath, "C:b.txt", "C:"},
                      PureCase{"PathOfBareName", ExtractFilePath, "b.txt", ""},
                      PureCase{"DirOfFile", ExtractFileDir, "C:\\a\\b.txt", "C:\\a"},
                      PureCase{"DirOfRootFile", ExtractFileDir, "C:\\b.txt", "C:\\"},
                      PureCase{"NameOfFile", ExtractFileName, "C:\\a\\b.txt", "b.txt"},
                      PureCase{"NameAfterColon", ExtractFileName, "C:b.txt", "b.txt"},
                      PureCase{"ExtOfFile", ExtractFileExt, "C:\\a.d\\b.tar.gz", ".gz"},
                      PureCase{"ExtOfDottedFolder", ExtractFileExt, "C:\\a.d\\b", ""},
                      PureCase{"DriveOfPath", ExtractFileDrive, "c:\\x", "c:"},
                      PureCase{"DriveOfUnc", ExtractFileDrive, "\\\\srv\\share\\x", "\\\\srv\\share"},
                      PureCase{"DriveOfRelative", ExtractFileDrive, "x\\y", ""},
                      PureCase{"IncludeAdds", IncludeTrailingBackslash, "C:\\a", "C:\\a\\"},
                      PureCase{"IncludeKeeps", IncludeTrailingBackslash, "C:\\a\\", "C:\\a\\"},
                      PureCase{"IncludeEmpty", IncludeTrailingBackslash, "", "\\"},
                      PureCase{"ExcludeRemoves", ExcludeTrailingBackslash, "C:\\a\\", "C:\\a"},
                      PureCase{"ExpandDots", ExpandFileName, "C:\\a\\.\\b\\..\\c.txt", "C:\\a\\c.txt"},
                      PureCase{"ExpandNeverAboveRoot", ExpandFileName, "C:\\..\\..\\x", "C:\\x"},
                      PureCase{"ExpandSlashes", ExpandFileName, "c:/a/b/", "C:\\a\\b\\"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PathText, ChangeFileExtReplacesOrAppends) {
    EXPECT_EQ(ChangeFileExt("C:\\a\\b.zip", ".001"), "C:\\a\\b.001");
    EXPECT_EQ(ChangeFileExt("C:\\a.d\\b", ".EXE"), "C:\\a.d\\b.EXE");
    EXPECT_EQ(ChangeFileExt("b.zip", ""), "b");
}

// Each case: files that exist below the scratch folder, a Windows path relative to it, and
// the POSIX path (relative to scratch) it must map to.
struct MapCase {
    const char* name;
    const char* existing;  // created before the lookup ("" none); a trailing "/" makes a folder
    const char* windows;
    const char* posix;
};

class PathMapping : public ProfileTest, public ::testing::WithParamInterface<MapCase> {};

TEST_P(PathMapping, FindsExistingNamesAndKeepsNewOnesAsGiven) {
    const MapCase& c = GetParam();
    std::string existing = c.existing;
    if (!existing.empty()) {
        if (existing.back() == '/') std::filesystem::create_directories(env.Scratch(existing));
        else env.WriteText(existing, "x");
    }
    EXPECT_EQ(platform::ToPosixPath(env.Win() + "\\" + c.windows), env.Scratch(c.posix));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathMapping,
    ::testing::Values(MapCase{"ExactCase", "Sub/File.txt", "Sub\\File.txt", "Sub/File.txt"},
                      MapCase{"OtherCase", "Sub/File.txt", "SUB\\file.TXT", "Sub/File.txt"},
                      MapCase{"NewNameAsGiven", "Sub/", "sub\\New File.TXT", "Sub/New File.TXT"},
                      MapCase{"NewFolderKeepsRestAsGiven", "", "New\\Deeper\\x.txt", "New/Deeper/x.txt"},
                      MapCase{"Blanks", "My Folder/a b.txt", "my folder\\A B.txt", "My Folder/a b.txt"},
                      MapCase{"Utf8Exact", "Ünïcode/ä.txt", "Ünïcode\\ä.txt", "Ünïcode/ä.txt"},
                      // Case folding is ASCII only: "ü" is not "Ü".
                      MapCase{"Utf8NotFolded", "Ünïcode/ä.txt", "ünïcode\\ä.txt", "ünïcode/ä.txt"},
                      MapCase{"DotsResolved", "a/b.txt", "a\\.\\x\\..\\b.txt", "a/b.txt"},
                      MapCase{"TrailingDotDropped", "a/b", "a\\b.", "a/b"},
                      MapCase{"ForwardSlashes", "a/b.txt", "a/b.txt", "a/b.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, DriveLettersMapToTheirRoots) {
    EXPECT_EQ(platform::ToPosixPath("Z:\\"), "/");
    EXPECT_EQ(platform::ToPosixPath("z:\\tmp"), "/tmp");
    EXPECT_EQ(platform::ToPosixPath("C:\\"), env.Profile() + "/drive_c");
    EXPECT_EQ(platform::ToPosixPath("c:\\Data\\x.txt"), env.Profile() + "/drive_c/Data/x.txt");
    std::filesystem::create_directories(env.Scratch("d"));
    platform::AddDrive('D', platform::DriveKind::Fixed, env.Scratch("d"));
    EXPECT_EQ(platform::ToPosixPath("d:\\x"), env.Scratch("d/x"));
    EXPECT_EQ(platform::FromPosixPath("/tmp/a b/c"), "Z:\\tmp\\a b\\c");
    EXPECT_EQ(platform::FromPosixPath("/"), "Z:\\");
}

TEST_F(ProfileTest, DotDotNeverLeavesAMappedDrive) {
    std::filesystem::create_directories(env.Scratch("d/inner"));
    platform::AddDrive('D', platform::DriveKind::Fixed, env.Scratch("d"));
    EXPECT_EQ(platform::ToPosixPath("D:\\inner\\..\\..\\..\\secret.txt"), env.Scratch("d/secret.txt"));
    EXPECT_EQ(platform::ToPosixPath("C:\\..\\registry.reg"), env.Profile() + "/drive_c/registry.reg");
    ASSERT_TRUE(SetCurrentDir("D:\\inner"));
    EXPECT_EQ(platform::ToPosixPath("..\\..\\x"), env.Scratch("d/x"));
    THandle h = FileCreate("D:\\..\\..\\escape.txt");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FileClose(h);
    EXPECT_TRUE(std::filesystem::exists(env.Scratch("d/escape.txt")));
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("escape.txt")));
}

TEST_F(ProfileTest, UnusableNamesAreRefused) {
    EXPECT_EQ(platform::ToPosixPath("\\\\server\\share\\x"), "");
    EXPECT_EQ(platform::ToPosixPath("Q:\\x"), "");
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(platform::ToPosixPath("C:\\a<b"), "");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    platform::AddDrive('A', platform::DriveKind::Removable);
    EXPECT_EQ(platform::ToPosixPath("A:\\x"), "");
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(ProfileTest, PosixNamesNoWindowsPathCanSpellAreNotListed) {
    env.WriteText("dir/a\\b.txt", "hidden from Windows names");
    env.WriteText("dir/a:b", "x");
    env.WriteText("dir/trailing.", "x");
    env.WriteText("dir/Plain.txt.", "would be taken for plain.txt");
    env.WriteText("dir/plain.txt", "x");
    TSearchRec f;
    std::vector<std::string> names;
    for (Integer r = FindFirst(env.Win("dir") + "\\*.*", 0, f); r == 0; r = FindNext(f)) names.push_back(f.Name);
    FindClose(f);
    EXPECT_EQ(names, std::vector<std::string>{"plain.txt"});
    EXPECT_EQ(platform::ToPosixPath(env.Win("dir") + "\\PLAIN.TXT"), env.Scratch("dir/plain.txt"));
}

TEST_F(ProfileTest, CurrentFolderIsKeptPerDrive) {
    std::filesystem::create_directories(env.Profile() + "/drive_c/Work/Sub");
    std::filesystem::create_directories(env.Scratch("d/Other"));
    platform::AddDrive('D', platform::DriveKind::Fixed, env.Scratch("d"));
    ASSERT_TRUE(SetCurrentDir("c:\\work"));
    EXPECT_EQ(GetCurrentDir(), "C:\\Work");
    ASSERT_TRUE(SetCurrentDir("D:\\Other"));
    EXPECT_EQ(GetCurrentDir(), "D:\\Other");
    String dir;
    GetDir(3, dir);
    EXPECT_EQ(dir, "C:\\Work");
    GetDir(0, dir);
    EXPECT_EQ(dir, "D:\\Other");
    // "C:name" is relative to C:'s own current folder, "\name" to the current drive's root.
    EXPECT_EQ(ExpandFileName("C:Sub\\x.txt"), "C:\\Work\\Sub\\x.txt");
    EXPECT_EQ(ExpandFileName("\\x.txt"), "D:\\x.txt");
    EXPECT_EQ(ExpandFileName("y.txt"), "D:\\Other\\y.txt");
    EXPECT_THROW(ChDir("C:\\Missing"), EInOutError);
    EXPECT_EQ(GetCurrentDir(), "D:\\Other");
}

}  // namespace
