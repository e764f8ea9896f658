#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

struct FindCase {
    const char* name;
    const char* pattern;
    Integer attr;
    std::vector<std::string> expected;
};

class FindFirstNext : public ProfileTest, public ::testing::WithParamInterface<FindCase> {
protected:
    void SetUp() override {
        env.WriteText("dir/a.txt", "aaa");
        env.WriteText("dir/B.TXT", "b");
        env.WriteText("dir/README", "r");
        env.WriteText("dir/.hidden", "h");
        env.WriteText("dir/sub/inner.txt", "i");
        std::filesystem::create_directories(env.Scratch("dir/v1.2"));
    }
};

TEST_P(FindFirstNext, ListsMatchingEntriesInNameOrder) {
    const FindCase& c = GetParam();
    std::vector<std::string> names;
    TSearchRec f;
    Integer r = FindFirst(env.Win("dir") + "\\" + c.pattern, c.attr, f);
    for (; r == 0; r = FindNext(f)) names.push_back(f.Name);
    FindClose(f);
    EXPECT_EQ(names, c.expected);
    EXPECT_EQ(r, static_cast<Integer>(c.expected.empty() ? ERROR_FILE_NOT_FOUND : ERROR_NO_MORE_FILES));
}

INSTANTIATE_TEST_SUITE_P(
    Masks, FindFirstNext,
    ::testing::Values(
        FindCase{"AnyFile", "*.*", faAnyFile, {".", "..", ".hidden", "a.txt", "B.TXT", "README", "sub", "v1.2"}},
        FindCase{"PlainFilesOnly", "*.*", 0, {"a.txt", "B.TXT", "README"}},
        FindCase{"ExtensionWithoutRegardToCase", "*.txt", 0, {"a.txt", "B.TXT"}},
        FindCase{"NoExtension", "*.", 0, {"README"}},
        FindCase{"QuestionMark", "?.TXT", 0, {"a.txt", "B.TXT"}},
        FindCase{"FoldersAskedFor", "*", faDirectory, {".", "..", "a.txt", "B.TXT", "README", "sub", "v1.2"}},
        FindCase{"HiddenAskedFor", "*", faHidden, {".hidden", "a.txt", "B.TXT", "README"}},
        FindCase{"PlainNameAnyCase", "readme", 0, {"README"}},
        FindCase{"NameDotStarMatchesBareName", "README.*", 0, {"README"}},
        FindCase{"NoMatch", "nothing*", faAnyFile, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, FindRecordCarriesSizeTimeAndAttributes) {
    env.WriteText("f/data.bin", std::string(1234, 'x'));
    ASSERT_EQ(FileSetDate(env.Win("f/data.bin"), 0x5A216000), 0);
    TSearchRec f;
    ASSERT_EQ(FindFirst(env.Win("f") + "\\DATA.BIN", faAnyFile, f), 0);
    EXPECT_EQ(f.Name, "data.bin");
    EXPECT_EQ(f.Size, 1234);
    EXPECT_EQ(f.Time, 0x5A216000);
    EXPECT_EQ(f.Attr, faArchive);
    FindClose(f);
}

TEST_F(ProfileTest, FindInMissingFolderOrDriveRoot) {
    TSearchRec f;
    EXPECT_EQ(FindFirst(env.Win("missing") + "\\*.*", faAnyFile, f), static_cast<Integer>(ERROR_PATH_NOT_FOUND));
    // A drive root lists no "." and "..".
    ASSERT_EQ(FindFirst("C:\\*.*", faAnyFile, f), static_cast<Integer>(ERROR_FILE_NOT_FOUND));
    env.WriteText("../profile/drive_c/x.txt", "x");
    ASSERT_EQ(FindFirst("C:\\*.*", faAnyFile, f), 0);
    EXPECT_EQ(f.Name, "x.txt");
    EXPECT_EQ(FindNext(f), static_cast<Integer>(ERROR_NO_MORE_FILES));
    FindClose(f);
}

TEST(WildcardMatch, FollowsTheSystemsRules) {
    using platform::detail::WildcardMatchWindows;
    EXPECT_TRUE(WildcardMatchWindows("*.*", "README"));
    EXPECT_TRUE(WildcardMatchWindows("*.dll", "QelBackup.DLL"));
    EXPECT_FALSE(WildcardMatchWindows("*.dll", "QelBackup.dll.bak"));
    EXPECT_TRUE(WildcardMatchWindows("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(WildcardMatchWindows("a*b*c", "aXXbYY"));
    EXPECT_FALSE(WildcardMatchWindows("*.", "a.txt"));
    EXPECT_TRUE(WildcardMatchWindows("?", "x"));
    EXPECT_FALSE(WildcardMatchWindows("?", "xy"));
}

}  // namespace
