// Calendar arithmetic shared by the date-time conversions: proleptic Gregorian day numbers
// and the split of a TDateTime into a day and a millisecond of that day.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace platform::detail {

inline constexpr std::int64_t kMSecsPerDay = 86400000;
// Day numbers of 1 January 0001 and 31 December 9999, the range the calendar covers.
inline constexpr std::int64_t kMinDay = -693593;
inline constexpr std::int64_t kMaxDay = 2958465;

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Day number (days since 30 December 1899) of a calendar date, without range checks.
std::int64_t DayFromCivil(int year, int month, int day);
CivilDate CivilFromDay(std::int64_t day);

// Splits a value into its day number and the millisecond of the day, rounded to the nearest
// millisecond (a time that rounds up to midnight moves to the next day). False when the value
// is not a number or lies outside years 1 to 9999.
bool SplitDateTime(TDateTime value, std::int64_t& day, std::int64_t& msOfDay);

// Joins a date and a time of day; before 30 December 1899 the time is subtracted, since the
// fraction of a negative value counts forward from that day's midnight.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

}  // namespace platform::detail
