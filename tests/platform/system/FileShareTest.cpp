#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

struct ShareCase {
    const char* name;
    Word first;
    Word second;
    bool secondOpens;
};

class ShareModes : public ProfileTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModes, SecondOpenFollowsTheSystemsRule) {
    env.WriteText("f.bin", "data");
    String name = env.Win("f.bin");
    const ShareCase& c = GetParam();
    THandle a = c.first == fmCreate ? FileCreate(name) : FileOpen(name, c.first);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    THandle b = FileOpen(name, c.second);
    if (c.secondOpens) {
        EXPECT_NE(b, INVALID_HANDLE_VALUE);
    } else {
        EXPECT_EQ(b, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    if (b != INVALID_HANDLE_VALUE) FileClose(b);
    FileClose(a);
    // Once the first is closed, anything opens again.
    THandle again = FileOpen(name, c.second);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    FileClose(again);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShareModes,
    ::testing::Values(
        ShareCase{"ReadersDenyingWriteCoexist", fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
        ShareCase{"DenyWriteStopsAWriter", fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
        ShareCase{"DenyNoneLetsAWriterIn", fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
        ShareCase{"WriterBlocksDenyWriteReader", fmOpenReadWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},
        ShareCase{"CompatIsExclusive", fmOpenRead, fmOpenRead | fmShareDenyNone, false},
        ShareCase{"ExclusiveBlocksAll", fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
        ShareCase{"CreateIsExclusive", fmCreate, fmOpenRead | fmShareDenyNone, false},
        ShareCase{"DenyReadStopsAReader", fmOpenWrite | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
        ShareCase{"DenyReadLetsAWriterIn", fmOpenWrite | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, OpenFileCannotBeDeletedRenamedOrReplaced) {
    env.WriteText("open.txt", "old");
    env.WriteText("other.txt", "other");
    String name = env.Win("open.txt");
    THandle h = FileOpen(name, fmOpenRead | fmShareDenyNone);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFile(name));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(RenameFile(name, env.Win("moved.txt")));
    EXPECT_FALSE(MoveFileExA(env.Win("other.txt").c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(FileCreate(name), INVALID_HANDLE_VALUE);
    {
        platform::AtomicFile replacement(name);
        replacement.Write("new");
        EXPECT_THROW(replacement.Commit(), EOSError);
    }
    FileClose(h);
    EXPECT_EQ(env.ReadText(env.Scratch("open.txt")), "old");
    EXPECT_TRUE(DeleteFile(name));
    EXPECT_FALSE(FileExists(name));
}

TEST_F(ProfileTest, AttributesAreDerived) {
    env.WriteText("plain.txt", "x");
    env.WriteText(".hidden", "x");
    env.WriteText("ro.txt", "x");
    std::filesystem::create_directories(env.Scratch("dir"));
    ASSERT_EQ(FileSetAttr(env.Win("ro.txt"), faReadOnly), 0);
    EXPECT_EQ(FileGetAttr(env.Win("plain.txt")), faArchive);
    EXPECT_EQ(FileGetAttr(env.Win(".hidden")), faArchive | faHidden);
    EXPECT_EQ(FileGetAttr(env.Win("ro.txt")), faArchive | faReadOnly);
    EXPECT_EQ(FileGetAttr(env.Win("dir")), faDirectory);
    EXPECT_EQ(FileGetAttr(env.Win("missing")), -1);
    EXPECT_EQ(GetFileAttributesA(env.Win("missing").c_str()), INVALID_FILE_ATTRIBUTES);

    // Read-only holds even for a superuser: no write opens, no delete, no replace.
    EXPECT_EQ(FileOpen(env.Win("ro.txt"), fmOpenReadWrite | fmShareDenyNone), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFile(env.Win("ro.txt")));
    EXPECT_EQ(FileSetDate(env.Win("ro.txt"), 0x5A210000), static_cast<Integer>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(FileSetAttr(env.Win("ro.txt"), 0), 0);
    EXPECT_EQ(FileGetAttr(env.Win("ro.txt")), faArchive);
    EXPECT_TRUE(DeleteFile(env.Win("ro.txt")));
}

TEST_F(ProfileTest, SpecialFilesAreSystemEntriesThatNeverOpen) {
    ASSERT_EQ(::mkfifo(env.Scratch("pipe").c_str(), 0600), 0);
    EXPECT_EQ(FileGetAttr(env.Win("pipe")) & faSysFile, faSysFile);
    EXPECT_EQ(FileOpen(env.Win("pipe"), fmOpenRead | fmShareDenyNone), INVALID_HANDLE_VALUE);
    // Listed only when system entries are asked for.
    TSearchRec f;
    EXPECT_EQ(FindFirst(env.Win() + "\\pipe", 0, f), static_cast<Integer>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirst(env.Win() + "\\pipe", faSysFile, f), 0);
    FindClose(f);
}

TEST_F(ProfileTest, FolderFunctions) {
    String base = env.Win();
    EXPECT_TRUE(ForceDirectories(base + "\\a\\b\\c\\"));
    EXPECT_TRUE(DirectoryExists(base + "\\A\\B\\C"));
    EXPECT_FALSE(FileExists(base + "\\a\\b"));
    EXPECT_FALSE(CreateDir(base + "\\a"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDir(base + "\\x\\y"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(RemoveDir(base + "\\a\\b"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(RemoveDir(base + "\\a\\b\\c"));
    EXPECT_THROW(ForceDirectories(""), EInOutError);
}

TEST_F(ProfileTest, RenameAndCopy) {
    env.WriteText("a.txt", "alpha");
    env.WriteText("b.txt", "beta");
    EXPECT_FALSE(RenameFile(env.Win("a.txt"), env.Win("B.TXT")));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(RenameFile(env.Win("a.txt"), env.Win("A.TXT")));  // a change of case only
    EXPECT_TRUE(std::filesystem::exists(env.Scratch("A.TXT")));
    EXPECT_TRUE(MoveFileExA(env.Win("A.TXT").c_str(), env.Win("b.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(env.ReadText(env.Scratch("b.txt")), "alpha");
    EXPECT_FALSE(CopyFileA(env.Win("b.txt").c_str(), env.Win("b.txt").c_str(), 1));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    ASSERT_EQ(FileSetDate(env.Win("b.txt"), 0x5A210000), 0);
    EXPECT_TRUE(CopyFileA(env.Win("b.txt").c_str(), env.Win("c.txt").c_str(), 1));
    EXPECT_EQ(env.ReadText(env.Scratch("c.txt")), "alpha");
    EXPECT_EQ(FileAge(env.Win("c.txt")), 0x5A210000);
}

}  // namespace
