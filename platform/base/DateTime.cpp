#include "platform/DateTime.h"

#include <cmath>
#include <ctime>

#include "platform/Clock.h"
#include "detail/Calendar.h"

namespace platform::detail {

// Day counting after the well-known era algorithm: shift the year to start in March so the
// leap day is last, then count 400-year eras of 146097 days.
std::int64_t DayFromCivil(int year, int month, int day) {
    std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t daysSince1970 = era * 146097 + doe - 719468;
    return daysSince1970 + UnixDateDelta;
}

CivilDate CivilFromDay(std::int64_t day) {
    std::int64_t z = day - UnixDateDelta + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CivilDate d;
    d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

bool SplitDateTime(TDateTime value, std::int64_t& day, std::int64_t& msOfDay) {
    if (!std::isfinite(value) || value < kMinDay - 1 || value > kMaxDay + 1) return false;
    const double whole = std::trunc(value);
    day = static_cast<std::int64_t>(whole);
    msOfDay = std::llround(std::fabs(value - whole) * static_cast<double>(kMSecsPerDay));
    if (msOfDay >= kMSecsPerDay) {
        msOfDay -= kMSecsPerDay;
        ++day;
    }
    return day >= kMinDay && day <= kMaxDay;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

}  // namespace platform::detail

using namespace platform::detail;

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

Word DaysInAMonth(Word Year, Word Month) {
    static constexpr Word kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12) return 0;
    return Month == 2 && IsLeapYear(Year) ? 29 : kDays[Month - 1];
}

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date) {
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInAMonth(Year, Month)) return false;
    Date = static_cast<double>(DayFromCivil(Year, Month, Day));
    return true;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time) {
    if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000) return false;
    const std::int64_t ms = ((Hour * 60 + Min) * 60 + Sec) * 1000LL + MSec;
    Time = static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
    return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
    TDateTime result;
    if (!TryEncodeDate(Year, Month, Day, result)) throw EConvertError("Invalid argument to date encode");
    return result;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
    TDateTime result;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, result)) throw EConvertError("Invalid argument to time encode");
    return result;
}

void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day) {
    std::int64_t day, ms;
    if (!SplitDateTime(Date, day, ms)) {
        Year = Month = Day = 0;
        return;
    }
    const CivilDate c = CivilFromDay(day);
    Year = static_cast<Word>(c.year);
    Month = static_cast<Word>(c.month);
    Day = static_cast<Word>(c.day);
}

void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
    std::int64_t day, ms;
    if (!SplitDateTime(Time, day, ms)) ms = 0;
    Hour = static_cast<Word>(ms / 3600000);
    Min = static_cast<Word>(ms / 60000 % 60);
    Sec = static_cast<Word>(ms / 1000 % 60);
    MSec = static_cast<Word>(ms % 1000);
}

Word DayOfWeek(TDateTime Date) {
    std::int64_t day, ms;
    if (!SplitDateTime(Date, day, ms)) day = 0;
    // Day 0, 30 December 1899, was a Saturday.
    return static_cast<Word>(((day % 7) + 7 + 6) % 7 + 1);
}

namespace platform {

TDateTime LocalDateTimeFromUnixMicros(std::int64_t micros) {
    std::int64_t seconds = micros / 1000000;
    std::int64_t rest = micros % 1000000;
    if (rest < 0) {
        rest += 1000000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return 0;
    const std::int64_t day = DayFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    const std::int64_t ms = ((tm.tm_hour * 60LL + tm.tm_min) * 60 + tm.tm_sec) * 1000 + rest / 1000;
    return ComposeDateTime(static_cast<double>(day), static_cast<double>(ms) / static_cast<double>(kMSecsPerDay));
}

std::int64_t UnixSecondsFromLocalDateTime(TDateTime dateTime) {
    std::int64_t day, ms;
    if (!SplitDateTime(dateTime, day, ms)) return 0;
    const CivilDate c = CivilFromDay(day);
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    const std::int64_t secs = (ms + 500) / 1000;
    tm.tm_hour = static_cast<int>(secs / 3600);
    tm.tm_min = static_cast<int>(secs / 60 % 60);
    tm.tm_sec = static_cast<int>(secs % 60);
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

}  // namespace platform

TDateTime Now() { return platform::LocalDateTimeFromUnixMicros(platform::CurrentClock().NowMicros()); }

TDateTime Date() {
    std::int64_t day, ms;
    return SplitDateTime(Now(), day, ms) ? static_cast<double>(day) : 0.0;
}

TDateTime Time() {
    // From the millisecond count, not Now() minus its day, so no precision is lost.
    std::int64_t day, ms;
    return SplitDateTime(Now(), day, ms) ? static_cast<double>(ms) / static_cast<double>(kMSecsPerDay) : 0.0;
}

// ---- DOS dates

namespace platform::detail {
namespace {
unsigned DaysInMonth(int y, unsigned m) { return DaysInAMonth(static_cast<Word>(y), static_cast<Word>(m)); }
}  // namespace

Integer DosDateFromUnix(long long seconds) {
    ::tzset();  // follow a TZ that changed while the process runs
    time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    if (!::localtime_r(&t, &tm)) return 0x00210000;  // 1980-01-01 00:00:00
    int year = tm.tm_year + 1900;
    if (year < 1980) return 0x00210000;
    if (year > 2107) return static_cast<Integer>(0xFF9FBF7Du);  // 2107-12-31 23:59:58
    DWORD date = static_cast<DWORD>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    DWORD time = static_cast<DWORD>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return static_cast<Integer>((date << 16) | time);
}

bool UnixFromDosDate(Integer dosDate, long long& seconds) {
    DWORD v = static_cast<DWORD>(dosDate);
    int year = static_cast<int>((v >> 25) & 0x7F) + 1980;
    unsigned month = (v >> 21) & 0x0F, day = (v >> 16) & 0x1F;
    unsigned hour = (v >> 11) & 0x1F, minute = (v >> 5) & 0x3F, second = (v & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59)
        return false;
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = static_cast<int>(month) - 1;
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_sec = static_cast<int>(second);
    tm.tm_isdst = -1;
    ::tzset();
    time_t t = ::mktime(&tm);
    if (t == static_cast<time_t>(-1)) return false;
    seconds = t;
    return true;
}

}  // namespace platform::detail

TDateTime FileDateToDateTime(Integer fileDate) {
    DWORD v = static_cast<DWORD>(fileDate);
    Word year = static_cast<Word>(((v >> 25) & 0x7F) + 1980);
    Word month = (v >> 21) & 0x0F, day = (v >> 16) & 0x1F;
    Word hour = (v >> 11) & 0x1F, minute = (v >> 5) & 0x3F, second = static_cast<Word>((v & 0x1F) * 2);
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

Integer DateTimeToFileDate(TDateTime dateTime) {
    Word year, month, day, hour, minute, second, msec;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, msec);
    if (year < 1980 || year > 2107) return 0;
    DWORD date = static_cast<DWORD>(((year - 1980) << 9) | (month << 5) | day);
    DWORD time = static_cast<DWORD>((hour << 11) | (minute << 5) | (second / 2));
    return static_cast<Integer>((date << 16) | time);
}
