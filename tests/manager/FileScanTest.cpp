// The scanner's own rules: result lines, events, limits, stops, the content search over
// chunks and bounds, and the date properties.
#include <sys/stat.h>

#include <filesystem>

#include "ScanTree.h"
#include "manager/FileScan.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Forms.h"
#include "platform/MessagePump.h"
#include "platform/Profile.h"
#include "platform/StdCtrls.h"

namespace {

class FileScanTest : public scantest::ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        root_ = env.Scratch();
        dir_ = platform::FromPosixPath(root_);
    }

    String Win(const std::string& relative) const {
        String w = dir_ + "\\" + relative;
        std::replace(w.begin(), w.end(), '/', '\\');
        return w;
    }

    std::vector<String> Lines(const TFileScan& scan) const {
        std::vector<String> lines;
        for (Integer i = 0; i < scan.FoundFiles.Count(); ++i) lines.push_back(scan.FoundFiles[i]);
        return lines;
    }

    std::string root_;
    String dir_;
};

// A component of its owner; on a form it takes the form's last label as its status label
// and lets go of it when the label goes first.
TEST_F(FileScanTest, IsAComponentOfItsOwnerAndFindsTheFormsLastLabel) {
    auto* form = new TForm(Application);
    auto* first = new TLabel(form);
    auto* last = new TLabel(form);
    {
        TFileScan scan(form);
        EXPECT_EQ(scan.Owner(), form);
        EXPECT_EQ(form->ComponentCount(), 3);
        EXPECT_EQ(scan.CurrInfoLabel, last);
        last->Free();
        EXPECT_EQ(scan.CurrInfoLabel, nullptr);
    }
    EXPECT_EQ(form->ComponentCount(), 1);  // the scanner left its owner when it went
    {
        TFileScan onLabel(first);  // a label is no form: no status label
        EXPECT_EQ(onLabel.CurrInfoLabel, nullptr);
    }
    auto* owned = new TFileScan(form);
    form->Free();  // frees the scanner with it
    (void)owned;
}

TEST_F(FileScanTest, PluginDiscoveryGivesFullPathsIncludingSubFolders) {
    std::filesystem::create_directories(root_ + "/Plugins/QelBackup");
    scantest::WriteFile(root_ + "/Plugins/QelBackup.dll", "x");
    scantest::WriteFile(root_ + "/Plugins/QelBackup/Helper.dll", "x");
    scantest::WriteFile(root_ + "/Plugins/readme.txt", "x");
    TFileScan scan(nullptr);
    scan.IncSubDir = true;
    scan.Directory = Win("Plugins");  // no final backslash
    scan.FileSpecs = "*.dll";
    scan.SetStartScan(true);
    EXPECT_EQ(Lines(scan), (std::vector<String>{Win("Plugins/QelBackup.dll"), Win("Plugins/QelBackup/Helper.dll")}));
}

TEST_F(FileScanTest, PatternsRunOneAfterTheOtherInEachFolder) {
    for (const char* name : {"a.log", "b.dll", "c.log", "d.dll"}) scantest::WriteFile(root_ + "/" + name, "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_ + "\\";
    scan.FileSpecs = "*.dll;*.log;";  // the empty last pattern finds nothing
    scan.IncDirName = false;
    scan.SetStartScan(true);
    EXPECT_EQ(Lines(scan), (std::vector<String>{"b.dll", "d.dll", "a.log", "c.log"}));
}

TEST_F(FileScanTest, ResultLineShowsSizeDateAndAttributes) {
    scantest::WriteFile(root_ + "/ro.txt", std::string(1234567, 'x'), 3);
    ::chmod((root_ + "/ro.txt").c_str(), 0444);
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    scan.ShowSize = scan.ShowDate = scan.ShowAttr = true;
    scan.SetStartScan(true);
    Word y, m, d;
    DecodeDate(Date() - 3, y, m, d);
    char date[32];
    std::snprintf(date, sizeof date, "%04u/%02u/%02u", y, m, d);
    ASSERT_EQ(scan.FoundFiles.Count(), 1);
    EXPECT_EQ(scan.FoundFiles[0], Win("ro.txt") + "     1,234,567  " + date + "  12:00:00  R----A");
}

TEST_F(FileScanTest, EventsSeeEachFileAndFolderInOrder) {
    std::filesystem::create_directories(root_ + "/sub/inner");
    std::filesystem::create_directories(root_ + "/v1.0");
    scantest::WriteFile(root_ + "/a.txt", "x");
    scantest::WriteFile(root_ + "/sub/inner/b.txt", "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    std::vector<String> events;
    scan.OnStartSearch = [&] { events.push_back("start"); };
    scan.OnEndSearch = [&] { events.push_back("end"); };
    scan.OnFoundFile = [&](const String& dir, TSearchRec& rec) { events.push_back("file " + dir + rec.Name); };
    scan.OnFoundDirectory = [&](const String& dir, TSearchRec& rec) { events.push_back("dir " + dir + rec.Name); };
    scan.SetStartScan(true);
    EXPECT_EQ(events, (std::vector<String>{"start", "file " + Win("a.txt"), "dir " + Win("sub"),
                                           "dir " + Win("sub/inner"), "file " + Win("sub/inner/b.txt"), "end"}));
}

TEST_F(FileScanTest, MatchLimitLeavesThatManyLinesAndOneMessage) {
    std::filesystem::create_directories(root_ + "/more");
    for (int i = 0; i < 5; ++i) scantest::WriteFile(root_ + "/f" + std::to_string(i), "x");
    for (int i = 0; i < 5; ++i) scantest::WriteFile(root_ + "/more/g" + std::to_string(i), "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    scan.MatchLimit = 3;
    int ends = 0;
    scan.OnEndSearch = [&] { ++ends; };
    scan.SetStartScan(true);
    ASSERT_EQ(scan.FoundFiles.Count(), 4);
    EXPECT_EQ(scan.FoundFiles[3], TFileScan::kMatchLimitMet);
    EXPECT_EQ(ends, 1);
}

TEST_F(FileScanTest, StopFromAnEventEndsEveryFolder) {
    std::filesystem::create_directories(root_ + "/sub");
    for (int i = 0; i < 3; ++i) scantest::WriteFile(root_ + "/sub/f" + std::to_string(i), "x");
    scantest::WriteFile(root_ + "/top", "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    scan.OnFoundFile = [&](const String& dir, TSearchRec&) {
        if (dir == Win("sub") + "\\") scan.StopScan();
    };
    scan.SetStartScan(true);
    EXPECT_EQ(Lines(scan), (std::vector<String>{Win("top"), Win("sub/f0"), TFileScan::kAbortedByUser}));
    // A new scan clears the request.
    scan.OnFoundFile = nullptr;
    scan.SetStartScan(true);
    EXPECT_EQ(scan.FoundFiles.Count(), 4);
}

TEST_F(FileScanTest, ScanStartedInsideTheFileLoopScansNothing) {
    scantest::WriteFile(root_ + "/a", "x");
    scantest::WriteFile(root_ + "/b", "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    static TFileScan* running = nullptr;
    static int nested = 0;
    running = &scan;
    nested = 0;
    int starts = 0, ends = 0;
    scan.OnStartSearch = [&] { ++starts; };
    scan.OnEndSearch = [&] { ++ends; };
    platform::SetMessagePump([] {
        if (nested++ == 0) running->SetStartScan(true);
    });
    scan.SetStartScan(true);
    platform::SetMessagePump(nullptr);
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(ends, 2);
    // The nested start cleared the list after "a"; "b" came after it.
    EXPECT_EQ(Lines(scan), std::vector<String>{Win("b")});
}

TEST_F(FileScanTest, ScanStartedBeforeEnteringAFolderRunsWhole) {
    std::filesystem::create_directories(root_ + "/sub");
    scantest::WriteFile(root_ + "/a", "x");
    scantest::WriteFile(root_ + "/sub/b", "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    int entered = 0;
    scan.OnFoundDirectory = [&](const String&, TSearchRec&) {
        if (entered++ == 0) scan.SetStartScan(true);
    };
    scan.SetStartScan(true);
    // The nested scan cleared "a", found both files, and the outer one went on into "sub".
    EXPECT_EQ(Lines(scan), (std::vector<String>{Win("a"), Win("sub/b"), Win("sub/b")}));
}

TEST_F(FileScanTest, AllDrivesScansDriveRootsInOrderAndStopsAtTheLimit) {
    scantest::WriteFile(platform::ProfileDriveCPath() + "/marker.xyz", "x");
    TFileScan scan(nullptr);
    scan.SearchAllDrives = true;
    scan.FileSpecs = "marker.xyz";
    scan.MatchLimit = 1;  // reached on C:, so the walk never goes on to Z: (the whole disk)
    scan.SetStartScan(true);
    EXPECT_EQ(Lines(scan), (std::vector<String>{"c:\\marker.xyz", TFileScan::kMatchLimitMet}));
    EXPECT_FALSE(scan.AppendItems);
}

TEST_F(FileScanTest, MissingFolderAndEmptyFolderNameGiveNothing) {
    TFileScan scan(nullptr);
    scan.Directory = Win("no such folder");
    scan.SetStartScan(true);
    EXPECT_EQ(scan.FoundFiles.Count(), 0);
    scan.Directory = "";
    scan.SetStartScan(true);
    EXPECT_EQ(scan.FoundFiles.Count(), 0);
}

TEST_F(FileScanTest, UnopenableFileGivesErrorLineEvenOutsideTheDateRange) {
    scantest::WriteFile(root_ + "/locked.txt", "cherry", 400);
    scantest::WriteFile(root_ + "/open.txt", "cherry", 1);
    // Held without sharing by this process: the content search cannot open it.
    const THandle held = FileOpen(Win("locked.txt"), fmOpenReadWrite | fmShareExclusive);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    scan.SearchStrings.Add("cherry");
    Word y, m, d;
    DecodeDate(Date() - 30, y, m, d);
    scan.SetStartYear(y); scan.SetStartMonth(m); scan.SetStartDay(d);
    DecodeDate(Date() + 1, y, m, d);
    scan.SetEndYear(y); scan.SetEndMonth(m); scan.SetEndDay(d);
    scan.SetStartScan(true);
    FileClose(held);
    EXPECT_EQ(Lines(scan), (std::vector<String>{TFileScan::kErrorScanning + Win("locked.txt"), Win("open.txt")}));
}

TEST_F(FileScanTest, EndYearAloneFillsStartAndFailsOnIncompleteEnd) {
    scantest::WriteFile(root_ + "/a", "x");
    TFileScan scan(nullptr);
    scan.Directory = dir_;
    scan.SetEndYear(2030);
    int ends = 0;
    scan.OnEndSearch = [&] { ++ends; };
    EXPECT_THROW(scan.SetStartScan(true), EConvertError);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(scan.StartYear(), 1900);
    EXPECT_EQ(scan.StartMonth(), 1);
    EXPECT_EQ(scan.StartDay(), 1);
    // The ready flag came back: a complete range scans again.
    scan.SetEndMonth(1);
    scan.SetEndDay(1);
    scan.SetStartScan(true);
    EXPECT_EQ(Lines(scan), std::vector<String>{Win("a")});
    EXPECT_EQ(ends, 1);
}

// The content search over chunks, on files of known layout.
struct ContentCase {
    const char* name;
    std::function<std::string()> body;
    TSearchType type;
    TStringSearchType bounds;
    std::vector<std::string> texts;
    bool match;
};

void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

std::string Filler(std::size_t n) { return std::string(n, '-'); }

class ContentTable : public FileScanTest, public testing::WithParamInterface<ContentCase> {};

TEST_P(ContentTable, FileMatchesOrNot) {
    const ContentCase& c = GetParam();
    scantest::WriteFile(root_ + "/f.bin", c.body());
    TFileScan scan(nullptr);
    scan.SearchType = c.type;
    scan.SearchStringType = c.bounds;
    for (const auto& t : c.texts) scan.SearchStrings.Add(t);
    EXPECT_EQ(scan.ScanFile(Win("f.bin")), c.match ? 1 : 0);
    // The property itself never changes.
    ASSERT_EQ(scan.SearchStrings.Count(), static_cast<Integer>(c.texts.size()));
    for (std::size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(scan.SearchStrings[i], c.texts[i]);
}

constexpr std::size_t kChunk = TFileScan::kChunkSize;

INSTANTIATE_TEST_SUITE_P(Chunks, ContentTable, testing::Values(
    ContentCase{"AndAcrossFirstAndThirdChunk",
                [] { return "alpha" + Filler(2 * kChunk) + "omega" + Filler(100); }, st_And, sst_Normal,
                {"alpha", "omega"}, true},
    ContentCase{"StraddlesTwoChunks", [] { return Filler(kChunk - 3) + "needle" + Filler(50); }, st_Or,
                sst_Normal, {"needle"}, true},
    ContentCase{"AtEndOfSecondChunk", [] { return Filler(2 * kChunk - 6) + "needle"; }, st_Or, sst_Normal,
                {"needle"}, true},
    ContentCase{"NotRejectsAFileHoldingOne", [] { return Filler(kChunk + 10) + "two"; }, st_Not, sst_Normal,
                {"one", "two"}, false},
    ContentCase{"NotAcceptsEmptyFile", [] { return std::string(); }, st_Not, sst_Normal, {"one"}, true},
    ContentCase{"CaseIgnoredByDefault", [] { return std::string("Some NeEdLe here"); }, st_Or, sst_Normal,
                {"needle"}, true},
    ContentCase{"ZeroByteEndsTheChunkText", [] { return std::string("abc\0needle", 10); }, st_Or, sst_Normal,
                {"needle"}, false},
    ContentCase{"MarkerTextCountsAsFound", [] { return std::string("alpha"); }, st_And, sst_Normal,
                {TFileScan::kFoundMarker, "alpha"}, true},
    ContentCase{"WordAfterLineBreakIsNoHit", [] { return std::string("x\nword."); }, st_Or, sst_Word, {"word"}, false},
    ContentCase{"WordBetweenBlankAndComma", [] { return std::string("x word, y"); }, st_Or, sst_Word, {"word"}, true},
    ContentCase{"WordAtStartOfLaterChunkCountsAsBounded",
                // "xword" ends the first chunk; the second starts with the carried "word".
                [] { return Filler(kChunk - 5) + "xword" + " rest"; }, st_Or, sst_Word, {"word"}, true},
    ContentCase{"PrefixSkipsRejectedThenFinds", [] { return std::string("xab ab"); }, st_Or, sst_Prefix, {"ab"}, true},
    ContentCase{"SuffixDoesNotTryOverlaps", [] { return std::string("aXaXa "); }, st_Or, sst_Suffix, {"aXa"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileScanTest, BufferEventsSeeChunkNumbersAndUpperCasedText) {
    scantest::WriteFile(root_ + "/f.bin", Filler(kChunk) + "tail needle");
    TFileScan scan(nullptr);
    scan.SearchStrings.Add("needle");
    std::vector<std::pair<Integer, bool>> after;
    String lastBuffer;
    scan.OnAfterBufferScan = [&](const String&, const char* text, const char* buffer, Integer chunk, bool caseSense,
                                 bool found) {
        EXPECT_STREQ(text, "needle");
        EXPECT_FALSE(caseSense);
        after.emplace_back(chunk, found);
        lastBuffer = buffer;
    };
    EXPECT_EQ(scan.ScanFile(Win("f.bin")), 1);
    EXPECT_EQ(after, (std::vector<std::pair<Integer, bool>>{{1, false}, {2, true}}));
    // The carried tail of the first chunk, then the second chunk, upper-cased in place.
    EXPECT_EQ(lastBuffer, "------TAIL NEEDLE");
}

// The date properties.
struct DateCase {
    const char* name;
    std::function<void(TFileScan&)> set;
    const char* error;  // nullptr when accepted
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.name; }

class DateTable : public testing::TestWithParam<DateCase> {};

TEST_P(DateTable, ChecksTheValue) {
    TFileScan scan(nullptr);
    if (!GetParam().error) {
        EXPECT_NO_THROW(GetParam().set(scan));
        return;
    }
    try {
        GetParam().set(scan);
        FAIL() << "accepted";
    } catch (const EInvalidStartEndDate& e) {
        EXPECT_EQ(e.Message(), GetParam().error);
        EXPECT_STREQ(e.ClassName(), "EInvalidStartEndDate");
    }
}

INSTANTIATE_TEST_SUITE_P(Setters, DateTable, testing::Values(
    DateCase{"StartYear1901", [](TFileScan& s) { s.SetStartYear(1901); }, nullptr},
    DateCase{"StartYear1900", [](TFileScan& s) { s.SetStartYear(1900); },
             "Invalid Start Year: Year Must be > 1900 - Or Equal 0"},
    DateCase{"StartMonth13", [](TFileScan& s) { s.SetStartMonth(13); },
             "Invalid Start Month: Month Must be 0 < Month > 13 - Or Equal to 0"},
    DateCase{"EndMonthMinus1", [](TFileScan& s) { s.SetEndMonth(-1); },
             "Invalid End Month: Month Must be 0 < Month > 13 - Or Equal to 0"},
    DateCase{"Feb29In2000", [](TFileScan& s) { s.SetStartYear(2000); s.SetStartMonth(2); s.SetStartDay(29); }, nullptr},
    DateCase{"Feb29In2100", [](TFileScan& s) { s.SetStartYear(2100); s.SetStartMonth(2); s.SetStartDay(29); },
             "Invalid Start Day: Day Must be 0 > Day < (Max for Month)"},
    DateCase{"April31", [](TFileScan& s) { s.SetEndMonth(4); s.SetEndDay(31); },
             "Invalid End Day: Day Must be 0 > Day < (Max for Month)"},
    DateCase{"DayBeforeMonthUpTo31", [](TFileScan& s) { s.SetEndDay(31); }, nullptr},
    DateCase{"DayNotRecheckedWhenMonthChanges", [](TFileScan& s) { s.SetStartMonth(1); s.SetStartDay(31); s.SetStartMonth(2); },
             nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
