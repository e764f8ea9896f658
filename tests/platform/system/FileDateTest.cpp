#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "platform/Files.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

// Runs a case under a fixed time zone and puts the old one back.
class WithTimeZone {
public:
    explicit WithTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~WithTimeZone() {
        if (old_.empty()) ::unsetenv("TZ");
        else ::setenv("TZ", old_.c_str(), 1);
        ::tzset();
    }

private:
    std::string old_;
};

constexpr Integer Dos(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<Integer>((static_cast<DWORD>(((y - 1980) << 9) | (mo << 5) | d) << 16) |
                                static_cast<DWORD>((h << 11) | (mi << 5) | (s / 2)));
}

void SetMTime(const std::string& posix, long long seconds) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, posix.c_str(), times, 0), 0);
}

struct MTimeCase {
    const char* name;
    const char* tz;
    long long posixSeconds;
    Integer dos;
};

class DosDates : public ProfileTest, public ::testing::WithParamInterface<MTimeCase> {};

TEST_P(DosDates, FileAgeIsLocalAndClamped) {
    const MTimeCase& c = GetParam();
    WithTimeZone tz(c.tz);
    env.WriteText("f.txt", "x");
    SetMTime(env.Scratch("f.txt"), c.posixSeconds);
    EXPECT_EQ(FileAge(env.Win("f.txt")), c.dos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DosDates,
    ::testing::Values(MTimeCase{"Utc", "UTC0", 1767225600, Dos(2026, 1, 1, 0, 0, 0)},
                      MTimeCase{"EastOfUtc", "EET-2", 1767225600, Dos(2026, 1, 1, 2, 0, 0)},
                      MTimeCase{"OddSecondRoundsDown", "UTC0", 1767225600 + 59, Dos(2026, 1, 1, 0, 0, 58)},
                      MTimeCase{"Before1980Clamped", "UTC0", 0, Dos(1980, 1, 1, 0, 0, 0)},
                      MTimeCase{"After2107Clamped", "UTC0", 4354819200LL, Dos(2107, 12, 31, 23, 59, 58)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, FileSetDateRoundTripsThroughHandleAndName) {
    WithTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    env.WriteText("f.txt", "x");
    Integer summer = Dos(2025, 7, 14, 13, 45, 30);
    THandle h = FileOpen(env.Win("f.txt"), fmOpenWrite | fmShareDenyNone);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSetDate(h, summer), 0);
    EXPECT_EQ(FileGetDate(h), summer);
    FileClose(h);
    EXPECT_EQ(FileAge(env.Win("f.txt")), summer);
    struct stat st {};
    ASSERT_EQ(::stat(env.Scratch("f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1752493530);  // 11:45:30 UTC
    // A read handle may not set the date, and an impossible date is refused.
    h = FileOpen(env.Win("f.txt"), fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(FileSetDate(h, summer), static_cast<Integer>(ERROR_ACCESS_DENIED));
    FileClose(h);
    EXPECT_NE(FileSetDate(env.Win("f.txt"), Dos(2025, 2, 30, 0, 0, 0)), 0);
}

TEST(DosDateConversion, ConvertsBothWays) {
    // 2026-01-01 is day 46023 after 1899-12-30.
    EXPECT_DOUBLE_EQ(FileDateToDateTime(Dos(2026, 1, 1, 12, 0, 0)), 46023.5);
    EXPECT_EQ(DateTimeToFileDate(46023.5), Dos(2026, 1, 1, 12, 0, 0));
    EXPECT_EQ(DateTimeToFileDate(FileDateToDateTime(Dos(2107, 12, 31, 23, 59, 58))), Dos(2107, 12, 31, 23, 59, 58));
    EXPECT_EQ(DateTimeToFileDate(FileDateToDateTime(Dos(1980, 1, 1, 0, 0, 0))), Dos(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(DateTimeToFileDate(29220.5), 0);  // 1979-12-31: out of the DOS range
    EXPECT_THROW(FileDateToDateTime(0), EConvertError);  // month 0
    EXPECT_THROW(FileDateToDateTime(Dos(2024, 2, 30, 0, 0, 0)), EConvertError);
    EXPECT_NO_THROW(FileDateToDateTime(Dos(2024, 2, 29, 0, 0, 0)));
}

}  // namespace
