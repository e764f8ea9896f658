#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/Clock.h"
#include "platform/DateTime.h"

namespace {

// Runs a case under a fixed time zone and restores the one before.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

TFormatSettings Defaults() { return TFormatSettings{}; }

}  // namespace

struct CalendarCase {
    const char* name;
    Word year, month, day;
    double serial;
    Word dayOfWeek;
};

class CalendarTest : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(CalendarTest, EncodesDecodesAndNamesTheWeekday) {
    const auto& c = GetParam();
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.serial);
    Word y, m, d;
    DecodeDate(c.serial, y, m, d);
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
    EXPECT_EQ(DayOfWeek(c.serial), c.dayOfWeek);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CalendarTest,
    ::testing::Values(CalendarCase{"DayZero", 1899, 12, 30, 0, 7}, CalendarCase{"DayBefore", 1899, 12, 29, -1, 6},
                      CalendarCase{"Year1900", 1900, 1, 1, 2, 2}, CalendarCase{"UnixEpoch", 1970, 1, 1, 25569, 5},
                      CalendarCase{"LeapDay2000", 2000, 2, 29, 36585, 3},
                      CalendarCase{"NewYear2026", 2026, 1, 1, 46023, 5},
                      CalendarCase{"FirstDay", 1, 1, 1, -693593, 2},
                      CalendarCase{"LastDay", 9999, 12, 31, 2958465, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DateTime, EncodeRejectsImpossibleDatesAndTimes) {
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2026, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2026, 0, 1), EConvertError);
    try {
        EncodeDate(2026, 4, 31);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
    try {
        EncodeTime(24, 0, 0, 0);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to time encode");
    }
    EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(DateTime, DecodeTimeRoundsToMillisecondsAndCarriesMidnight) {
    Word h, n, s, ms;
    DecodeTime(EncodeTime(13, 45, 30, 250), h, n, s, ms);
    EXPECT_EQ(h, 13);
    EXPECT_EQ(n, 45);
    EXPECT_EQ(s, 30);
    EXPECT_EQ(ms, 250);
    // A hair before midnight rounds to the next day at 00:00, never to hour 24.
    const TDateTime almost = 100.0 + (MSecsPerDay - 0.2) / MSecsPerDay;
    DecodeTime(almost, h, n, s, ms);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(ms, 0);
    Word y, m, d;
    DecodeDate(almost, y, m, d);
    DecodeDate(101, h, n, s);
    EXPECT_EQ(y, h);
    EXPECT_EQ(m, n);
    EXPECT_EQ(d, s);
}

TEST(DateTime, NegativeValuesCountTheTimeForwardFromMidnight) {
    // -1.25 is 29 December 1899 at 06:00.
    Word y, m, d, h, n, s, ms;
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(StrToDateTime("29/12/1899 06:00:00", Defaults()), -1.25);
}

TEST(DateTime, OutOfRangeValuesDecodeToZeros) {
    Word y = 1, m = 1, d = 1;
    DecodeDate(std::nan(""), y, m, d);
    EXPECT_EQ(y + m + d, 0);
    DecodeDate(1e12, y, m, d);
    EXPECT_EQ(y + m + d, 0);
}

TEST(DateTime, LeapYears) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2026));
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2026, 2), 28);
}

TEST(DateTime, NowReadsTheInstalledClockInLocalTime) {
    // 2026-01-01 00:00:00 UTC plus 90 minutes and 123 ms.
    platform::ManualClock clock(1767225600LL * 1000000 + 5400123000LL);
    platform::SetClock(&clock);
    {
        ScopedTimeZone tz("UTC");
        EXPECT_DOUBLE_EQ(Now(), 46023.0 + (5400123.0 / MSecsPerDay));
        EXPECT_EQ(Date(), 46023.0);
        EXPECT_EQ(Time(), 5400123.0 / MSecsPerDay);
    }
    {
        ScopedTimeZone tz("EST5");
        // 20:30:00.123 on the last day of 2025.
        EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", Now(), Defaults()), "2025-12-31 20:30:00.123");
    }
    platform::SetClock(nullptr);
}

TEST(DateTime, UnixTimeRoundTripsThroughLocalTime) {
    ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::int64_t summer = 1782900000;  // 2026-07-01, daylight saving time
    const TDateTime local = platform::LocalDateTimeFromUnixMicros(summer * 1000000);
    EXPECT_EQ(FormatDateTime("hh:nn", local, Defaults()), "12:00");
    EXPECT_EQ(platform::UnixSecondsFromLocalDateTime(local), summer);
}

struct FormatCase {
    const char* name;
    const char* format;
    const char* expected;
};

class FormatDateTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatDateTimeTest, RendersSpecifiers) {
    // Saturday 7 March 2026, 14:05:09.045.
    const TDateTime value = EncodeDate(2026, 3, 7) + EncodeTime(14, 5, 9, 45);
    EXPECT_EQ(FormatDateTime(GetParam().format, value, Defaults()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Specifiers, FormatDateTimeTest,
    ::testing::Values(FormatCase{"DayNumbers", "d dd", "7 07"}, FormatCase{"DayNames", "ddd dddd", "Sat Saturday"},
                      FormatCase{"ShortDate", "ddddd", "07/03/2026"},
                      FormatCase{"LongDate", "dddddd", "Saturday, 7 March 2026"},
                      FormatCase{"MonthForms", "m mm mmm mmmm", "3 03 Mar March"},
                      FormatCase{"Years", "yy yyyy", "26 2026"},
                      FormatCase{"Times", "h hh n nn s ss z zzz", "14 14 5 05 9 09 45 045"},
                      FormatCase{"MinutesAfterHour", "hh:mm", "14:05"},
                      FormatCase{"MonthNameAfterHour", "h mmm", "14 Mar"},
                      FormatCase{"EmptyMeansWhole", "", "07/03/2026 14:05:09"},
                      FormatCase{"TwelveHour", "h:nn am/pm", "2:05 pm"},
                      FormatCase{"TwelveHourUpper", "hh AM/PM", "02 PM"},
                      FormatCase{"AP", "h a/p", "2 p"}, FormatCase{"AmPmStrings", "h ampm", "2 PM"},
                      FormatCase{"ShortAndLongTime", "t|tt", "14:05|14:05:09"},
                      FormatCase{"Whole", "c", "07/03/2026 14:05:09"},
                      FormatCase{"QuotedLiterals", "'dd' \"mm\" d", "dd mm 7"},
                      FormatCase{"UnclosedQuote", "d 'hh", "7 hh"},
                      FormatCase{"UpperCaseSpecifiers", "DD/MM/YYYY", "07/03/2026"},
                      FormatCase{"OtherLettersStay", "d x q", "7 x q"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DateTimeText, MidnightLeavesTheTimeOut) {
    const TFormatSettings s = Defaults();
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 8), s), "08/12/2026");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 8) + EncodeTime(0, 0, 1, 0), s), "08/12/2026 00:00:01");
    EXPECT_EQ(DateToStr(EncodeDate(2026, 12, 8) + 0.5, s), "08/12/2026");
    EXPECT_EQ(TimeToStr(0.75, s), "18:00:00");
}

TEST(DateTimeText, SeparatorsComeFromTheSettings) {
    TFormatSettings s = Defaults();
    s.DateSeparator = '-';
    s.TimeSeparator = '.';
    const TDateTime value = EncodeDate(2026, 12, 8) + EncodeTime(9, 7, 5, 0);
    EXPECT_EQ(DateTimeToStr(value, s), "08-12-2026 09.07.05");
    EXPECT_EQ(StrToDateTime("08-12-2026 09.07.05", s), value);
    EXPECT_THROW(StrToDateTime("08/12/2026 09.07.05", s), EConvertError);
}

TEST(DateTimeText, SelfReferringFormatsEnd) {
    TFormatSettings s = Defaults();
    s.ShortDateFormat = "c";
    s.LongTimeFormat = "tt";
    EXPECT_NO_THROW(DateTimeToStr(1.5, s));
}

TEST(DateTimeText, TextRoundTripsToTheSecond) {
    const TFormatSettings s = Defaults();
    for (double v : {0.0, 1.0, 46023.5, 46023.999988426, 2958465.25, -700.125, 36585.000011574}) {
        const String text = DateTimeToStr(v, s);
        const TDateTime back = StrToDateTime(text, s);
        EXPECT_EQ(DateTimeToStr(back, s), text) << v;
        EXPECT_NEAR(back, v, 1.0 / SecsPerDay) << text;
    }
}

TEST(DateTimeText, ReadsTheOrderOfTheShortDateFormat) {
    TFormatSettings s = Defaults();
    s.ShortDateFormat = "yyyy/mm/dd";
    EXPECT_EQ(StrToDate("2026/03/07", s), EncodeDate(2026, 3, 7));
    s.ShortDateFormat = "m/d/yyyy";
    EXPECT_EQ(StrToDate("3/7/2026", s), EncodeDate(2026, 3, 7));
    s.ShortDateFormat = "'day' dd/mm/yyyy";
    EXPECT_EQ(StrToDate("7/3/2026", s), EncodeDate(2026, 3, 7));
}

TEST(DateTimeText, TwoDigitYearsFallInTheCenturyWindow) {
    platform::ManualClock clock;  // 2026
    platform::SetClock(&clock);
    const TFormatSettings s = Defaults();
    EXPECT_EQ(StrToDate("1/1/75", s), EncodeDate(2075, 1, 1));
    EXPECT_EQ(StrToDate("1/1/76", s), EncodeDate(1976, 1, 1));
    EXPECT_EQ(StrToDate("1/1/0026", s), EncodeDate(26, 1, 1));
    // A date without its year takes the current one.
    EXPECT_EQ(StrToDate("7/3", s), EncodeDate(2026, 3, 7));
    platform::SetClock(nullptr);
}

TEST(DateTimeText, ReadsTimeForms) {
    const TFormatSettings s = Defaults();
    EXPECT_EQ(StrToTime("14:05", s), EncodeTime(14, 5, 0, 0));
    EXPECT_EQ(StrToTime(" 14:05:09 ", s), EncodeTime(14, 5, 9, 0));
    EXPECT_EQ(StrToTime("14:05:09.045", s), EncodeTime(14, 5, 9, 45));
    EXPECT_EQ(StrToTime("2:05 pm", s), EncodeTime(14, 5, 0, 0));
    EXPECT_EQ(StrToTime("12:00 AM", s), 0.0);
    EXPECT_EQ(StrToTime("12 PM", s), 0.5);
    EXPECT_EQ(StrToDateTime("14:05", s), EncodeTime(14, 5, 0, 0));
}

struct BadTextCase {
    const char* name;
    const char* text;
    int kind;  // 0 date, 1 time, 2 date and time
    const char* message;
};

class BadDateTextTest : public ::testing::TestWithParam<BadTextCase> {};

TEST_P(BadDateTextTest, RaisesConvertErrorNamingTheText) {
    const auto& c = GetParam();
    const TFormatSettings s = Defaults();
    try {
        if (c.kind == 0) StrToDate(c.text, s);
        else if (c.kind == 1) StrToTime(c.text, s);
        else StrToDateTime(c.text, s);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BadDateTextTest,
    ::testing::Values(BadTextCase{"Empty", "", 0, "'' is not a valid date"},
                      BadTextCase{"NoDay31InApril", "31/04/2026", 0, "'31/04/2026' is not a valid date"},
                      BadTextCase{"MonthZero", "1/0/2026", 0, "'1/0/2026' is not a valid date"},
                      BadTextCase{"TrailingText", "1/1/2026x", 0, "'1/1/2026x' is not a valid date"},
                      BadTextCase{"TimeGivenToDate", "1/1/2026 10:00", 0, "'1/1/2026 10:00' is not a valid date"},
                      BadTextCase{"Hour24", "24:00", 1, "'24:00' is not a valid time"},
                      BadTextCase{"BareNumber", "10", 1, "'10' is not a valid time"},
                      BadTextCase{"Thirteen PM", "13:00 PM", 1, "'13:00 PM' is not a valid time"},
                      BadTextCase{"Words", "yesterday", 2, "'yesterday' is not a valid date and time"},
                      BadTextCase{"BadTimePart", "1/1/2026 25:00", 2, "'1/1/2026 25:00' is not a valid date and time"},
                      BadTextCase{"HugeNumber", "1/1/99999999999", 2,
                                  "'1/1/99999999999' is not a valid date and time"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n)
            if (ch == ' ') ch = '_';
        return n;
    });
