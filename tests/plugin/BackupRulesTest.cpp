#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/FormatSettings.h"
#include "plugin/BackupRules.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

// The file as the checks see it: 100 bytes dated Dos(10).
const TWatchedFile kFile{true, true, 100, Dos(10)};

TArchiveEntry Entry(const char* name, LongWord size, Integer dosDate) {
    return {0, name, String("06-05-2024 10:00:00\\C:\\Data\\") + name, size, FileDateToDateTime(dosDate), ""};
}

struct HoldsCase {
    const char* name;
    std::vector<TArchiveEntry> entries;
    TCheckOptions options;
    bool holds;
};

class ArchiveHoldsFileTest : public ::testing::TestWithParam<HoldsCase> {};

TEST_P(ArchiveHoldsFileTest, Decides) {
    const auto& c = GetParam();
    EXPECT_EQ(ArchiveHoldsFile(c.entries, "book.xls", kFile, c.options), c.holds);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveHoldsFileTest,
    ::testing::Values(
        HoldsCase{"EmptyArchive", {}, {true, true}, false},
        HoldsCase{"EmptyArchiveWithBothChecksOff", {}, {false, false}, true},
        HoldsCase{"SameSizeAndDate", {Entry("book.xls", 100, Dos(10))}, {true, true}, true},
        HoldsCase{"NameDiffersOnlyInCase", {Entry("BOOK.XLS", 100, Dos(10))}, {true, true}, true},
        HoldsCase{"OtherFileName", {Entry("other.xls", 100, Dos(10))}, {true, true}, false},
        HoldsCase{"SizeChanged", {Entry("book.xls", 99, Dos(10))}, {true, true}, false},
        HoldsCase{"SizeChangedButSizeCheckOff", {Entry("book.xls", 99, Dos(10))}, {false, true}, true},
        HoldsCase{"DateChanged", {Entry("book.xls", 100, Dos(11))}, {true, true}, false},
        HoldsCase{"DateChangedButDateCheckOff", {Entry("book.xls", 100, Dos(11))}, {true, false}, true},
        HoldsCase{"SizeFromOneEntryDateFromAnother",
                  {Entry("book.xls", 100, Dos(11)), Entry("book.xls", 7, Dos(10))}, {true, true}, true}),
    [](const auto& info) { return info.param.name; });

TEST(DatedPrefixTest, UsesDashAsDateSeparatorWhateverTheLocaleHas) {
    TFormatSettings fs = DefaultFormatSettings();
    fs.DateSeparator = '/';
    TDateTime when = EncodeDate(2024, 5, 6) + EncodeTime(14, 3, 9, 0);
    EXPECT_EQ(DatedPrefix(when, fs), "06-05-2024 14:03:09\\");
    EXPECT_EQ(fs.DateSeparator, '/');
}

TEST(RetryGateTest, WaitsForAChangeOrAMinute) {
    TRetryGate gate;
    TRetryGate::Key key{kFile, 5};
    EXPECT_TRUE(gate.Allows(key, 1000));
    gate.Failed(key, 1000);
    EXPECT_FALSE(gate.Allows(key, 1500));
    EXPECT_FALSE(gate.Allows(key, 1000 + TRetryGate::kRetryMillis - 1));
    EXPECT_TRUE(gate.Allows(key, 1000 + TRetryGate::kRetryMillis));
    TRetryGate::Key fileChanged{{true, true, 101, Dos(10)}, 5};
    TRetryGate::Key settingsChanged{kFile, 6};
    EXPECT_TRUE(gate.Allows(fileChanged, 1500));
    EXPECT_TRUE(gate.Allows(settingsChanged, 1500));
    gate.Succeeded();
    EXPECT_TRUE(gate.Allows(key, 1500));
}

using WatchedFileTest = PluginTest;

TEST_F(WatchedFileTest, ReadOnlyFileGivesItsSizeAndStaysUnchanged) {
    String name = PutFile("ro.txt", "twelve bytes", Dos(9));
    ASSERT_EQ(::chmod(env.Scratch("ro.txt").c_str(), 0444), 0);
    TWatchedFile f = ReadWatchedFile(name);
    EXPECT_TRUE(f.Exists);
    EXPECT_TRUE(f.Readable);
    EXPECT_EQ(f.Size, 12);
    EXPECT_EQ(f.DosDate, Dos(9));
    EXPECT_EQ(env.ReadText(env.Scratch("ro.txt")), "twelve bytes");
}

TEST_F(WatchedFileTest, FileDatedBefore1980MatchesItsOwnBackup) {
    String name = PutFile("old.txt", "old");
    struct timespec times[2] = {{315000000, 0}, {315000000, 0}};  // 1979-12-25
    ASSERT_EQ(::utimensat(AT_FDCWD, env.Scratch("old.txt").c_str(), times, 0), 0);
    TWatchedFile f = ReadWatchedFile(name);
    // What the archive keeps of that date.
    TArchiveEntry e{0, "old.txt", "x\\old.txt", 3, FileDateToDateTime(f.DosDate), ""};
    EXPECT_TRUE(ArchiveHoldsFile({e}, "old.txt", f, {true, true}));
}

}  // namespace
}  // namespace qel::test
