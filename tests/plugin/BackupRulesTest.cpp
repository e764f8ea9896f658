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

TArchiveEntry Entry(const char* name, LongWord size, Integer dosDate, LongWord crc = 7) {
    return {0, name, String("06-05-2024 10:00:00\\C:\\Data\\") + name, size, FileDateToDateTime(dosDate), "", crc};
}

struct HoldsCase {
    const char* name;
    std::vector<TArchiveEntry> entries;
    TCheckOptions options;
    bool holds;
    std::optional<LongWord> crc = std::nullopt;  // the file's content, when the case reads it
};

class ArchiveHoldsFileTest : public ::testing::TestWithParam<HoldsCase> {};

TEST_P(ArchiveHoldsFileTest, Decides) {
    const auto& c = GetParam();
    TContentCrc content;
    if (c.crc) content = [&] { return c.crc; };
    EXPECT_EQ(ArchiveHoldsFile(c.entries, "book.xls", kFile, c.options, content), c.holds);
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
                  {Entry("book.xls", 100, Dos(11)), Entry("book.xls", 7, Dos(10))}, {true, true}, true},
        HoldsCase{"SameSlotAndSizeSameContent", {Entry("book.xls", 100, Dos(10))}, {true, true}, true, 7},
        HoldsCase{"SameSlotAndSizeOtherContent", {Entry("book.xls", 100, Dos(10))}, {true, true}, false, 8},
        HoldsCase{"ContentOfTheNewestOfTheSlot",
                  {Entry("book.xls", 100, Dos(10), 8), Entry("book.xls", 100, Dos(10), 9)}, {true, true}, false, 8},
        HoldsCase{"ChecksOffReadNoContent", {Entry("book.xls", 100, Dos(10))}, {false, false}, true, 8}),
    [](const auto& info) { return info.param.name; });

TEST(DatedPrefixTest, UsesDashAsDateSeparatorWhateverTheLocaleHas) {
    TFormatSettings fs = DefaultFormatSettings();
    fs.DateSeparator = '/';
    TDateTime when = EncodeDate(2024, 5, 6) + EncodeTime(14, 3, 9, 0);
    EXPECT_EQ(DatedPrefix(when, fs), "06-05-2024 14:03:09\\");
    EXPECT_EQ(fs.DateSeparator, '/');
}

}  // namespace
}  // namespace qel::test
