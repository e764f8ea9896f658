// Global atoms: reference counts, case, limits and integer atoms.
#include <string>

#include "WindowFixture.h"
#include "platform/Profile.h"

using namespace window_test;

class AtomsTest : public WindowTest {};

TEST_F(AtomsTest, AddFindNameAndDeleteWithReferenceCounts) {
    ATOM a = GlobalAddAtomA("\"-s\" \"C:\\My Files\"");
    ASSERT_GE(a, 0xC000);
    EXPECT_EQ(GlobalAddAtomA("\"-S\" \"c:\\my files\""), a);  // same name without regard to case
    char buf[260];
    UINT n = GlobalGetAtomNameA(a, buf, sizeof buf);
    EXPECT_EQ(String(buf, n), "\"-s\" \"C:\\My Files\"");  // keeps the first spelling
    EXPECT_EQ(GlobalFindAtomA("\"-s\" \"C:\\My Files\""), a);
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtomA("\"-s\" \"C:\\My Files\""), a);  // one reference left
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtomA("\"-s\" \"C:\\My Files\""), 0);
    SetLastError(0);
    EXPECT_EQ(GlobalGetAtomNameA(a, buf, sizeof buf), 0u);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(GlobalDeleteAtom(a), a);  // failure gives the atom back
}

TEST_F(AtomsTest, NamesLongerThan255CharactersAreRefused) {
    std::string ok(255, 'x');
    std::string tooLong(256, 'x');
    ATOM a = GlobalAddAtomA(ok.c_str());
    EXPECT_NE(a, 0);
    SetLastError(0);
    EXPECT_EQ(GlobalAddAtomA(tooLong.c_str()), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GlobalAddAtomA(""), 0);
    GlobalDeleteAtom(a);
}

TEST_F(AtomsTest, ReadingIntoASmallBufferCutsTheName) {
    ATOM a = GlobalAddAtomA("abcdef");
    char buf[4];
    EXPECT_EQ(GlobalGetAtomNameA(a, buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "abc");
    GlobalDeleteAtom(a);
}

TEST_F(AtomsTest, IntegerAtomsNeedNoEntry) {
    EXPECT_EQ(GlobalAddAtomA("#123"), 123);
    char buf[16];
    EXPECT_EQ(GlobalGetAtomNameA(123, buf, sizeof buf), 4u);
    EXPECT_STREQ(buf, "#123");
    EXPECT_EQ(GlobalDeleteAtom(123), 0);
    EXPECT_GE(GlobalAddAtomA("#49152"), 0xC000);  // too large to be an integer atom: a name
}

TEST_F(AtomsTest, TheTableLivesInTheSessionFolder) {
    ATOM a = GlobalAddAtomA("shared");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(platform::SessionFolder()) / "atoms"));
    EXPECT_EQ(platform::SessionFolder(), (dir_ / "profile" / "session").string());
    GlobalDeleteAtom(a);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    const std::filesystem::path session = platform::SessionFolder();
    EXPECT_EQ(session.parent_path(), dir_ / "run");
    EXPECT_EQ(session.filename().string().rfind("tarvik-", 0), 0u);
    EXPECT_EQ(GlobalFindAtomA("shared"), 0);
    // Another profile under the same runtime folder gets a session folder of its own.
    ::setenv("TARVIK_PROFILE", (dir_ / "other").c_str(), 1);
    platform::ResetProfileForTests();
    EXPECT_NE(platform::SessionFolder(), session.string());
    ::setenv("TARVIK_PROFILE", (dir_ / "profile").c_str(), 1);
    platform::ResetProfileForTests();
    ::unsetenv("XDG_RUNTIME_DIR");
}
