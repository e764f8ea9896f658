// ziptool's write commands drive the real engine: add (levels, password, comment, block
// files, spanned media), delete, rename and comment, judged by the peers.
#include "ZipperTestSupport.h"

using namespace zipwritetest;
using tarvik::test::ProfileTest;

namespace {

class WriteToolTest : public ProfileTest {
protected:
    RunResult Tool(const std::string& args) {
        return RunShell(std::string(TARVIK_BIN_DIR) + "/../tools/ziptool " + args);
    }
    std::string Zip() { return env.Scratch("t.zip"); }
};

TEST_F(WriteToolTest, AddDeleteRenameAndCommentKeepTheArchiveValid) {
    WriteFile(env.Scratch("src/a.txt"), TextBytes(20000, 1));
    WriteFile(env.Scratch("src/d/b.bin"), RandomBytes(5000, 2));
    RunResult add = Tool("add " + Quote(Zip()) + " a.txt d/b.bin --root " + Quote(env.Scratch("src")) +
                         " --level 9 --password pw --comment 'first comment'");
    ASSERT_EQ(add.code, 0) << add.output;
    ExpectPeersAccept(Zip(), Files{{"a.txt", TextBytes(20000, 1)}, {"d/b.bin", RandomBytes(5000, 2)}}, "pw", env.Scratch());
    RunResult renamed = Tool("rename " + Quote(Zip()) + " a.txt moved");
    ASSERT_EQ(renamed.code, 0) << renamed.output;
    RunResult deleted = Tool("delete " + Quote(Zip()) + " '*.bin'");
    ASSERT_EQ(deleted.code, 0) << deleted.output;
    RunResult comment = Tool("comment " + Quote(Zip()) + " 'second comment'");
    ASSERT_EQ(comment.code, 0) << comment.output;
    ExpectPeersAccept(Zip(), Files{{"moved/a.txt", TextBytes(20000, 1)}}, "pw", env.Scratch());
    RunResult list = Tool("list " + Quote(Zip()));
    EXPECT_NE(list.output.find("comment: second comment"), std::string::npos) << list.output;
}

TEST_F(WriteToolTest, UsageListsEveryCommandWithItsOptions) {
    RunResult usage = Tool("");
    EXPECT_EQ(usage.code, 2);
    for (const char* text : {"list ARCHIVE", "test ARCHIVE", "extract ARCHIVE", "--dest DIR", "add ARCHIVE FILE...",
                             "--level N", "--blocks", "--span", "delete ARCHIVE", "rename ARCHIVE", "comment ARCHIVE",
                             "sfx ARCHIVE STUB"})
        EXPECT_NE(usage.output.find(text), std::string::npos) << text;
    EXPECT_EQ(Tool("rename x.zip only-one").output, usage.output);
}

TEST_F(WriteToolTest, BlockFilesAndSpannedMediaFromTheCommandLine) {
    WriteFile(env.Scratch("src/r.bin"), RandomBytes(100000, 3));
    std::filesystem::create_directories(env.Scratch("b"));
    RunResult blocks = Tool("add " + Quote(env.Scratch("b/x.zip")) + " " + Quote(env.Scratch("src/r.bin")) +
                            " --blocks 40000:30000");
    ASSERT_EQ(blocks.code, 0) << blocks.output;
    EXPECT_TRUE(std::filesystem::exists(env.Scratch("b/x.003")));
    EXPECT_LE(std::filesystem::file_size(env.Scratch("b/x.001")), 30000u);
    // The set is read whichever of its parts is named.
    for (const char* part : {"b/x.001", "b/x.003"}) {
        RunResult test = Tool("test " + Quote(env.Scratch(part)));
        EXPECT_EQ(test.code, 0) << part << ": " << test.output;
    }
    for (const char* d : {"m1", "m2", "m3", "m4"}) std::filesystem::create_directories(env.Scratch(d));
    RunResult span = Tool("add " + Quote(env.Scratch("s.zip")) + " " + Quote(env.Scratch("src/r.bin")) + " --span " +
                          env.Scratch("m1") + "," + env.Scratch("m2") + "," + env.Scratch("m3") + "," +
                          env.Scratch("m4") + " --disk-size 40000");
    ASSERT_EQ(span.code, 0) << span.output;
    EXPECT_TRUE(std::filesystem::exists(env.Scratch("m3/s.zip")));
}

}  // namespace
