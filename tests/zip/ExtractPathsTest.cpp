// Output paths: a path too long or too deep for the file layer fails its own entry before
// anything is created, and the rest of the run goes on; deep trees within the limits are
// created through the layer, also below folders that exist already.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ReadTestSupport.h"
#include "tests/common/TestProfile.h"
#include "zip/UnZipper.h"

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct BadPathCase {
    const char* name;
    std::string entry;    // stored name (Python writes it as given)
    const char* reason;   // part of the failure text
};

void PrintTo(const BadPathCase& c, std::ostream* os) { *os << c.name; }

class BadOutputPaths : public ::testing::TestWithParam<BadPathCase> {};

TEST_P(BadOutputPaths, FailTheirEntryOnlyAndCreateNothing) {
    ziptest::MemoryUnZipper z;
    z.files["A:\\a.zip"] = ziptest::PythonZip("with zipfile.ZipFile(buf,'w') as z:\n"
                                              "  z.writestr('ok.txt','fine')\n"
                                              "  z.writestr('" + GetParam().entry + "','lost')\n");
    z.SetZipName("A:\\a.zip");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    z.RecreateDirs = true;
    try {
        z.UnZip();
        FAIL() << "the bad path passed";
    } catch (const EFatalUnzipError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(ziptest::Text(z.outputs.at("C:\\out\\ok.txt").bytes), "fine");
    EXPECT_EQ(z.outputs.size(), 1u);
    for (const String& f : z.folders) EXPECT_LE(f.size(), std::string("C:\\out").size()) << f;
    EXPECT_TRUE(z.temps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadOutputPaths,
    ::testing::Values(BadPathCase{"TooDeep", Repeat("a/", 300) + "f.txt", "deeper than 256 folders"},
                      BadPathCase{"TooDeepFolderEntry", Repeat("a/", 300), "deeper than 256 folders"},
                      BadPathCase{"TooLong", Repeat(std::string(250, 'x') + "/", 17) + "f.txt",
                                  "longer than 4095 characters"}),
    [](const auto& info) { return std::string(info.param.name); });

using tarvik::test::ProfileTest;

TEST_F(ProfileTest, DeepTreesAreCreatedBelowExistingFolders) {
    const std::string deep = Repeat("d/", 200) + "f.txt";
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile\nwith zipfile.ZipFile('" << env.Scratch("a.zip")
                          << "','w') as z:\n  z.writestr('" << deep << "','bottom')\n  z.writestr('d/d/g.txt','near')\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    // Part of the tree exists already, with other case.
    std::filesystem::create_directories(env.Scratch("out/D/d"));
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_EQ(env.ReadText(env.Scratch("out/D/d/g.txt")), "near");
    EXPECT_EQ(env.ReadText(env.Scratch("out/D/" + deep.substr(2))), "bottom");
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("out/d")));
}

TEST_F(ProfileTest, LongOutputPathsGoThroughTheirTemporaryFile) {
    // Far past the old 260-character limit of temporary names.
    const std::string name = std::string(200, 'x') + "/" + std::string(150, 'y') + "/" + std::string(100, 'z') + ".txt";
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile\nwith zipfile.ZipFile('" << env.Scratch("a.zip")
                          << "','w') as z:\n  z.writestr('" << name << "','long')\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 1);
    EXPECT_EQ(env.ReadText(env.Scratch("out/" + name)), "long");
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(env.Scratch("out")))
        if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ProfileTest, NamesTheFileSystemRefusesFailOnlyTheirEntries) {
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile\nwith zipfile.ZipFile('" << env.Scratch("a.zip") << "','w') as z:\n"
                          << "  z.writestr('a|b/c.txt','folder')\n  z.writestr('bad<.txt','file')\n"
                          << "  z.writestr('x','a file')\n  z.writestr('x/y.txt','below a file')\n"
                          << "  z.writestr('good.txt','good')\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    std::vector<std::string> done;
    z.OnEndUnZip = [&](TObject*, Integer index, const String&) { done.push_back(z.FullName(index)); };
    try {
        z.UnZip();
        FAIL() << "the bad names passed";
    } catch (const EFatalUnzipError& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Cannot extract \"a|b\\c.txt\": ", 0), 0u) << text;
        EXPECT_NE(text.find("(and 2 more)"), std::string::npos) << text;
    }
    EXPECT_EQ(done, (std::vector<std::string>{"x", "good.txt"}));
    EXPECT_EQ(env.ReadText(env.Scratch("out/good.txt")), "good");
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(env.Scratch("out")))
        if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, 2u);  // x and good.txt: no temporary file stays behind
}

TEST_F(ProfileTest, AFullDiskStillEndsTheRun) {
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile,os\nwith zipfile.ZipFile('" << env.Scratch("a.zip") << "','w') as z:\n"
                          << "  z.writestr('big.bin',os.urandom(60000))\n  z.writestr('small.txt','small')\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    std::filesystem::create_directories(env.Scratch("q"));
    platform::AddDrive('Q', platform::DriveKind::Fixed, env.Scratch("q"), 20000);
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir("Q:\\");
    z.DoAll = true;
    bool failedEntryReport = false;
    try {
        z.UnZip();
    } catch (const EFatalUnzipError&) {
        failedEntryReport = true;
    } catch (const Exception&) {
    }
    EXPECT_FALSE(failedEntryReport);
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("q/small.txt")));
    EXPECT_TRUE(std::filesystem::is_empty(env.Scratch("q")));
    platform::RemoveDrive('Q');
}

}  // namespace
