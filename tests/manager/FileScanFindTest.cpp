// The scanner's result on a generated tree, filter by filter, against what GNU find (and grep
// for contents) says about the same tree.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "ScanTree.h"
#include "manager/FileScan.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/MessagePump.h"

namespace {

using scantest::CommandLines;
using scantest::ShellQuote;

const std::vector<std::string> kWords = {"apple", "Banana", "cherry", "date", "elder", "fig", "grape"};

// The tree: a few fixed entries that each filter cares about, and generated files with
// random sizes, days and words across nested folders.
class FileScanFind : public scantest::ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        root_ = env.Scratch() + "/scan";
        namespace fs = std::filesystem;
        for (const char* dir : {"", "/sub1", "/sub1/deep", "/sub1/deep/deeper", "/sub2", "/ver.1.2",
                                "/.hiddendir", "/Mixed Case"})
            fs::create_directories(root_ + dir);

        std::mt19937 rng(20261208);
        const std::vector<std::string> dirs = {"", "/sub1", "/sub1/deep", "/sub1/deep/deeper", "/sub2",
                                               "/Mixed Case", "/ver.1.2", "/.hiddendir"};
        const std::vector<std::string> exts = {".txt", ".dll", ".DLL", ".log", "", ".dat"};
        const std::vector<int> days = {-1, 0, 1, 2, 3, 5, 9, 10, 11, 40, 400};
        for (int i = 0; i < 90; ++i) {
            const std::string dir = dirs[rng() % dirs.size()];
            const std::string name = "f" + std::to_string(i) + exts[rng() % exts.size()];
            std::string body;
            const std::size_t size = rng() % 5 == 0 ? rng() % 70000 : rng() % 3000;
            while (body.size() < size) {
                body += rng() % 4 == 0 ? kWords[rng() % kWords.size()] : std::string("lorem");
                body += rng() % 9 == 0 ? "\n" : " ";
            }
            body.resize(size);
            scantest::WriteFile(root_ + dir + "/" + name, body, days[rng() % days.size()]);
        }
        // Sizes around a boundary, a hidden file and a read-only file.
        scantest::WriteFile(root_ + "/s999.bin", std::string(999, 'x'), 4);
        scantest::WriteFile(root_ + "/s1000.bin", std::string(1000, 'x'), 4);
        scantest::WriteFile(root_ + "/s1001.bin", std::string(1001, 'x'), 4);
        scantest::WriteFile(root_ + "/.hidden.txt", "cherry", 1);
        scantest::WriteFile(root_ + "/sub2/ro.txt", "fig read only", 2);
        ::chmod((root_ + "/sub2/ro.txt").c_str(), 0444);
    }

    // The scanner's lines for the tree, as POSIX paths, sorted.
    std::vector<std::string> Scan(TFileScan& scan) {
        scan.Directory = platform::FromPosixPath(root_);
        scan.SetStartScan(true);
        std::vector<std::string> paths;
        for (Integer i = 0; i < scan.FoundFiles.Count(); ++i) {
            const String line = scan.FoundFiles[i];
            const std::string posix = platform::ToPosixPath(line);
            EXPECT_FALSE(posix.empty()) << line;
            paths.push_back(posix);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    // find over the tree as the scanner walks it: folders whose name holds "." are not
    // entered, hidden (dot) names are not found, only files are listed.
    std::vector<std::string> Find(const std::string& predicates, const std::string& walk = "",
                                  bool hidden = false) {
        std::vector<std::string> lines = CommandLines(
            "LC_ALL=C find " + walk + " " + ShellQuote(root_) +
            " -mindepth 1 \\( -type d -name '*.*' -prune \\) -o \\( -type f " +
            (hidden ? "" : "! -name '.*' ") + predicates + " \\) -print 2>/dev/null");
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::string root_;
};

struct FindCase {
    const char* name;
    std::function<void(TFileScan&)> setup;
    std::string predicates;
    bool hidden = false;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FileScanFindTable : public FileScanFind, public testing::WithParamInterface<FindCase> {};

TEST_P(FileScanFindTable, EqualsFind) {
    TFileScan scan(nullptr);
    GetParam().setup(scan);
    const std::vector<std::string> expected = Find(GetParam().predicates, "", GetParam().hidden);
    ASSERT_FALSE(expected.empty()) << "the tree should hold matches";
    EXPECT_EQ(Scan(scan), expected);
}

std::string NewerThanDay(int daysAgo) { return "-newermt " + ShellQuote(scantest::LocalDay(daysAgo) + " 00:00:00"); }

std::string GrepAll(const std::vector<std::string>& words, bool ignoreCase) {
    std::string s;
    for (const auto& w : words)
        s += " -exec grep -q" + std::string(ignoreCase ? "i" : "") + "F -e " + ShellQuote(w) + " {} \\;";
    return s;
}

std::string GrepAny(const std::vector<std::string>& words, bool ignoreCase) {
    std::string s = " -exec grep -q" + std::string(ignoreCase ? "i" : "") + "F";
    for (const auto& w : words) s += " -e " + ShellQuote(w);
    return s + " {} \\;";
}

INSTANTIATE_TEST_SUITE_P(Filters, FileScanFindTable, testing::Values(
    FindCase{"AllNames", [](TFileScan&) {}, ""},
    FindCase{"OnePattern", [](TFileScan& s) { s.FileSpecs = "*.dll"; }, "-iname '*.dll'"},
    FindCase{"TwoPatterns", [](TFileScan& s) { s.FileSpecs = "*.dll;*.log"; },
             "\\( -iname '*.dll' -o -iname '*.log' \\)"},
    FindCase{"NoExtension", [](TFileScan& s) { s.FileSpecs = "*."; }, "! -name '*.*'"},
    FindCase{"QuestionMark", [](TFileScan& s) { s.FileSpecs = "f?.txt"; }, "-iname 'f?.txt'"},
    FindCase{"TopFolderOnly", [](TFileScan& s) { s.IncSubDir = false; }, "-maxdepth 1"},
    FindCase{"SizeEqual", [](TFileScan& s) { s.FileSize = 1000; s.FileSizeComp = fctEqual; }, "-size 1000c"},
    FindCase{"SizeGreater", [](TFileScan& s) { s.FileSize = 1000; s.FileSizeComp = fctGreaterThan; }, "-size +1000c"},
    FindCase{"SizeLess", [](TFileScan& s) { s.FileSize = 1000; s.FileSizeComp = fctLessThan; }, "-size -1000c"},
    FindCase{"SizeGreaterOrEqual",
             [](TFileScan& s) { s.FileSize = 1000; s.FileSizeComp = fctGreaterThanOrEqual; }, "! -size -1000c"},
    FindCase{"SizeLessOrEqual",
             [](TFileScan& s) { s.FileSize = 1000; s.FileSizeComp = fctLessThanOrEqual; }, "! -size +1000c"},
    FindCase{"AgeAtMost", [](TFileScan& s) { s.FileAge = 5; s.FileAgeComp = fctLessThanOrEqual; }, NewerThanDay(5)},
    FindCase{"AgeAbove", [](TFileScan& s) { s.FileAge = 5; s.FileAgeComp = fctGreaterThan; }, "! " + NewerThanDay(5)},
    FindCase{"AgeEqual", [](TFileScan& s) { s.FileAge = 10; s.FileAgeComp = fctEqual; },
             NewerThanDay(10) + " ! " + NewerThanDay(9)},
    // The age is cut toward zero, so a file dated tomorrow noon is 0 days old too.
    FindCase{"AgeZeroIncludesTomorrow", [](TFileScan& s) { s.FileAge = 0; s.FileAgeComp = fctEqual; }, NewerThanDay(0)},
    FindCase{"DateRange",
             [](TFileScan& s) {
                 // From 10 days ago to 2 days ago, both at 00:00, both ends excluded.
                 const TDateTime start = Date() - 10, end = Date() - 2;
                 Word y, m, d;
                 DecodeDate(start, y, m, d);
                 s.SetStartYear(y); s.SetStartMonth(m); s.SetStartDay(d);
                 DecodeDate(end, y, m, d);
                 s.SetEndYear(y); s.SetEndMonth(m); s.SetEndDay(d);
             },
             NewerThanDay(10) + " ! " + NewerThanDay(2)},
    FindCase{"HiddenFilesToo", [](TFileScan& s) { s.FileType = {ftNormal, ftHidden}; }, "", true},
    FindCase{"ContentAny", [](TFileScan& s) { s.SearchStrings.Add("cherry"); s.SearchStrings.Add("FIG"); },
             GrepAny({"cherry", "FIG"}, true)},
    FindCase{"ContentAll", [](TFileScan& s) { s.SearchType = st_And; s.SearchStrings.Add("cherry"); s.SearchStrings.Add("grape"); },
             GrepAll({"cherry", "grape"}, true)},
    FindCase{"ContentNone", [](TFileScan& s) { s.SearchType = st_Not; s.SearchStrings.Add("apple"); s.SearchStrings.Add("date"); },
             "!" + GrepAny({"apple", "date"}, true)},
    FindCase{"ContentCaseSensitive", [](TFileScan& s) { s.CaseSense = true; s.SearchStrings.Add("Banana"); },
             GrepAny({"Banana"}, false)},
    FindCase{"ContentCaseSensitiveLower", [](TFileScan& s) { s.CaseSense = true; s.SearchStrings.Add("banana"); s.SearchStrings.Add("cherry"); },
             GrepAny({"banana", "cherry"}, false)},
    FindCase{"StarSearchesNothing", [](TFileScan& s) { s.SearchStrings.Add("*"); }, ""},
    FindCase{"PatternSizeAndContent",
             [](TFileScan& s) {
                 s.FileSpecs = "*.txt;*.dat";
                 s.FileSize = 500; s.FileSizeComp = fctGreaterThan;
                 s.SearchStrings.Add("elder");
             },
             "\\( -iname '*.txt' -o -iname '*.dat' \\) -size +500c" + GrepAny({"elder"}, true)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileScanFind, SymlinkLoopsAreNotFollowedButOtherLinksAre) {
    namespace fs = std::filesystem;
    fs::create_directory_symlink("..", root_ + "/sub1/back");
    fs::create_directory_symlink(".", root_ + "/sub2/self");
    fs::create_directory_symlink(root_ + "/sub1/deep", root_ + "/sub2/deeplink");
    TFileScan scan(nullptr);
    scan.FileSpecs = "*.dll";
    // find -L follows links and passes over those that lead back into the walk.
    EXPECT_EQ(Scan(scan), Find("-iname '*.dll'", "-L"));
}

// A link into the kernel's trees (as Z:\ holds /proc and /sys) is not entered: reading
// /proc/kmsg would block the content search, and /proc/self/root leads back to the root.
TEST_F(FileScanFind, PseudoFileSystemsAreNotEntered) {
    namespace fs = std::filesystem;
    EXPECT_TRUE(platform::IsPseudoFileSystem("Z:\\proc"));
    EXPECT_TRUE(platform::IsPseudoFileSystem("Z:\\proc\\self"));
    EXPECT_FALSE(platform::IsPseudoFileSystem(platform::FromPosixPath(root_)));
    EXPECT_FALSE(platform::IsPseudoFileSystem(platform::FromPosixPath(root_ + "/missing")));
    fs::create_directory_symlink("/proc", root_ + "/sub1/kernel");
    if (fs::exists("/sys/kernel")) fs::create_directory_symlink("/sys", root_ + "/sub2/devices");
    TFileScan scan(nullptr);
    scan.FileType = {ftNormal, ftSystem, ftHidden, ftReadOnly};
    scan.DirType = {dtHidden, dtSystem, dtReadOnly};
    scan.SearchType = st_Not;  // every file is read
    scan.SearchStrings.Add("no such text anywhere");
    EXPECT_EQ(Scan(scan), Find("", "", true));  // find does not follow the links either
    scan.Directory = "Z:\\proc";
    scan.SetStartScan(true);
    EXPECT_EQ(scan.FoundFiles.Count(), 0);
}

TEST_F(FileScanFind, FifoInTheTreeDoesNotHangTheContentSearch) {
    ASSERT_EQ(::mkfifo((root_ + "/sub1/pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((root_ + "/pipe2.txt").c_str(), 0644), 0);
    TFileScan scan(nullptr);
    scan.FileType = {ftNormal, ftSystem};  // the FIFOs are found as entries
    scan.SearchType = st_Not;              // and would match if they were read as empty
    scan.SearchStrings.Add("cherry");
    const std::vector<std::string> found = Scan(scan);
    EXPECT_EQ(found, Find("!" + GrepAny({"cherry"}, true)));
    for (Integer i = 0; i < scan.FoundFiles.Count(); ++i)
        EXPECT_EQ(scan.FoundFiles[i].find(TFileScan::kErrorScanning), String::npos) << scan.FoundFiles[i];
}

TEST_F(FileScanFind, FifoIsListedWithoutContentSearch) {
    ASSERT_EQ(::mkfifo((root_ + "/pipe.dll").c_str(), 0644), 0);
    TFileScan scan(nullptr);
    scan.FileSpecs = "pipe.dll";
    scan.FileType = {ftNormal, ftSystem};
    EXPECT_EQ(Scan(scan), std::vector<std::string>{root_ + "/pipe.dll"});
}

TEST_F(FileScanFind, UnreadableFolderIsSkipped) {
    ::chmod((root_ + "/sub1/deep").c_str(), 0);
    TFileScan scan(nullptr);
    scan.FileSpecs = "*.dll";
    platform::ToPosixPath(platform::FromPosixPath(root_));  // the drive table, read as ourselves
    scantest::OpenToOthers(env.Scratch());
    std::vector<std::string> found;
    {
        scantest::AsUnprivilegedUser user;
        EXPECT_NO_THROW(found = Scan(scan));
    }
    ::chmod((root_ + "/sub1/deep").c_str(), 0755);
    // find, in the same user's shoes, reports the folder and goes on.
    const std::string deep = root_ + "/sub1/deep/";
    std::vector<std::string> expected;
    for (const auto& path : Find("-iname '*.dll'"))
        if (path.compare(0, deep.size(), deep) != 0) expected.push_back(path);
    EXPECT_EQ(found, expected);
}

TEST_F(FileScanFind, PumpRunsOncePerFileEntryExamined) {
    static int pumped = 0;
    pumped = 0;
    platform::SetMessagePump([] { ++pumped; });
    TFileScan scan(nullptr);
    scan.FileSize = 1 << 30;
    scan.FileSizeComp = fctGreaterThan;  // nothing passes, everything is examined
    Scan(scan);
    platform::SetMessagePump(nullptr);
    EXPECT_EQ(static_cast<std::size_t>(pumped), Find("").size());
    EXPECT_EQ(scan.FoundFiles.Count(), 0);
}

}  // namespace
