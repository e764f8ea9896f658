#include <gtest/gtest.h>

#include <limits>

#include "manager/TextHelpers.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

namespace {

TFormatSettings WithDecimal(char separator) {
    TFormatSettings s;
    s.DecimalSeparator = separator;
    s.ThousandSeparator = separator == ',' ? '.' : ',';
    return s;
}

struct BackupIdCase {
    const char* name;
    double when;
    char decimal;
    const char* expected;
};

void PrintTo(const BackupIdCase& c, std::ostream* os) { *os << c.name; }

class BackupIdTable : public testing::TestWithParam<BackupIdCase> {};

TEST_P(BackupIdTable, RendersTheMomentWithoutPoints) {
    const BackupIdCase& c = GetParam();
    EXPECT_EQ(manager::NewBackupID(c.when, WithDecimal(c.decimal)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Separators, BackupIdTable, testing::Values(
    BackupIdCase{"PointGivesDigitsOnly", 46000.8123456789, '.', "{460008123456789}"},
    BackupIdCase{"CommaStays", 46000.8123456789, ',', "{46000,8123456789}"},
    // 15 significant digits: 46000.1234567890, whose trailing zero goes.
    BackupIdCase{"FifteenSignificantDigits", 46000.123456789012345, '.', "{46000123456789}"},
    BackupIdCase{"MidnightHasNoFraction", 46000.0, '.', "{46000}"},
    BackupIdCase{"MidnightUnderComma", 46000.0, ',', "{46000}"},
    BackupIdCase{"HalfDay", 46000.5, ',', "{46000,5}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupId, MomentThatIsNoNumberGivesTemp) {
    EXPECT_EQ(manager::NewBackupID(std::numeric_limits<double>::quiet_NaN(), WithDecimal('.')), "Temp");
    EXPECT_EQ(manager::NewBackupID(std::numeric_limits<double>::infinity(), WithDecimal(',')), "Temp");
}

// The list side of the splitter: the list is cleared first and filled inside one bracket.
class CountingList : public TStringList {
public:
    int updates = 0;
    int addsOutsideUpdate = 0;
    Integer Add(const String& S) override {
        if (UpdateCount() == 0) ++addsOutsideUpdate;
        return TStringList::Add(S);
    }

protected:
    void SetUpdateState(bool Updating) override {
        if (Updating) ++updates;
        TStringList::SetUpdateState(Updating);
    }
};

TEST(SplitParamsList, ReplacesEarlierContentInsideOneUpdate) {
    CountingList list;
    list.Add("old");
    list.addsOutsideUpdate = 0;
    manager::SplitParams(list, "\"-a\"  \"C:\\Some Folder\"", ' ');
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], "-a");
    EXPECT_EQ(list[1], "C:\\Some Folder");
    EXPECT_EQ(list.updates, 1);
    EXPECT_EQ(list.addsOutsideUpdate, 0);
    EXPECT_EQ(list.UpdateCount(), 0);
}

}  // namespace
