#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Drives.h"
#include "tests/common/TestProfile.h"
#include "zip/DirSearch.h"
#include "zip/ZipLib.h"

namespace {

using tarvik::test::ProfileTest;

std::vector<std::string> Walk(const String& start, const String& pattern, bool recurse) {
    TDirSearch walk(start, pattern, recurse);
    std::vector<std::string> names;
    TSearchRec rec;
    String full;
    for (walk.NextFile(rec, full); !full.empty(); walk.NextFile(rec, full)) names.push_back(full.substr(start.size() + 1));
    return names;
}

class Walker : public ProfileTest {
protected:
    void SetUp() override {
        env.WriteText("w/a.txt", "a");
        env.WriteText("w/README", "r");
        env.WriteText("w/sub/inner.txt", "i");
        env.WriteText("w/.cache/hidden.txt", "h");
        env.WriteText("w/z.doc", "z");
    }
};

TEST_F(Walker, PatternsAndRecursion) {
    const String start = env.Win("w");
    EXPECT_EQ(Walk(start, "*.*", false), (std::vector<std::string>{"a.txt", "README", "z.doc"}));
    EXPECT_EQ(Walk(start, "*.", false), (std::vector<std::string>{"README"}));
    EXPECT_EQ(Walk(start, "*.txt", true), (std::vector<std::string>{"a.txt", "sub\\inner.txt"}));
}

TEST_F(Walker, CurrentFolderIsRestored) {
    ChDir(env.Win());
    String before = GetCurrentDir();
    Walk(env.Win("w"), "*.*", true);
    EXPECT_EQ(GetCurrentDir(), before);
}

TEST_F(Walker, NoDepthLimit) {
    std::string deep = "w";
    for (int i = 0; i < 30; ++i) deep += "/d" + std::to_string(i);
    env.WriteText(deep + "/bottom.txt", "b");
    auto names = Walk(env.Win("w"), "bottom.txt", true);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(std::count(names[0].begin(), names[0].end(), '\\'), 30);
}

TEST_F(Walker, SymlinkBackToAnAncestorIsNotFollowed) {
    std::filesystem::create_directory_symlink(env.Scratch("w"), env.Scratch("w/sub/loop"));
    auto names = Walk(env.Win("w"), "*.txt", true);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub\\inner.txt"}));
}

TEST_F(Walker, MissingStartFolderEndsAtOnce) { EXPECT_TRUE(Walk(env.Win("nothing"), "*.*", true).empty()); }

TEST(ZipLib, SmallHelpers) {
    EXPECT_EQ(Percentage(200, 50), 25);
    EXPECT_EQ(Percentage(0, 5), 0);
    EXPECT_EQ(Percentage(3, 5), 100);
    EXPECT_EQ(Percentage(8, 1), 12);  // 12.5 rounds to the even neighbour
    EXPECT_EQ(Percentage(8, 3), 38);  // 37.5 rounds to the even neighbour
    EXPECT_EQ(RightStr("abc", 5), "abc");
    EXPECT_EQ(LeftStr("abc", 2), "ab");
    EXPECT_TRUE(IsWildcard("a[1].txt"));
    EXPECT_FALSE(IsWildcard("a.txt"));
}

TEST_F(ProfileTest, CopyFileAndLabels) {
    env.WriteText("src.bin", std::string(5000, 'q'));
    LibCopyFile(env.Win("src.bin"), env.Win("dst.bin"));
    EXPECT_EQ(env.ReadText(env.Scratch("dst.bin")), std::string(5000, 'q'));
    EXPECT_THROW(LibCopyFile(env.Win("missing.bin"), env.Win("x.bin")), EInOutError);
    std::filesystem::create_directories(env.Scratch("floppy"));
    platform::AddDrive('B', platform::DriveKind::Removable, env.Scratch("floppy"));
    EXPECT_TRUE(SetVolumeLabelName("B:\\", "PKBACK# 002"));
    EXPECT_EQ(GetVolumeLabelName("B:\\"), "PKBACK# 002");
    platform::EjectMedium('B');
    EXPECT_EQ(GetVolumeLabelName("B:\\"), "");
    platform::RemoveDrive('B');
}

}  // namespace
