// Date-time values and their text forms.
//
// A TDateTime counts days since 30 December 1899; the fraction is the time of day. Before
// that day the value is negative and its fraction still counts forward from midnight
// (-1.25 is 29 December 1899, 06:00). Values are read to the millisecond. This header owns
// the calendar arithmetic, the wall clock in local time (through platform::CurrentClock and
// TZ), the conversions to and from text under a TFormatSettings, and DOS dates. It must never
// read the system time except through the clock, nor the POSIX locale.
//
// Errors raise EConvertError with the class library's texts: "Invalid argument to date
// encode", "Invalid argument to time encode", "'X' is not a valid date", "'X' is not a
// valid time", "'X' is not a valid date and time".
#pragma once

#include <cstdint>

#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"

inline constexpr double HoursPerDay = 24;
inline constexpr double MinsPerDay = 24 * 60;
inline constexpr double SecsPerDay = 24 * 60 * 60;
inline constexpr double MSecsPerDay = 24 * 60 * 60 * 1000.0;
// Day number of 1 January 1970, the start of POSIX time.
inline constexpr Integer UnixDateDelta = 25569;

bool IsLeapYear(Word Year);
Word DaysInAMonth(Word Year, Word Month);

TDateTime EncodeDate(Word Year, Word Month, Word Day);
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);
// Outside years 1 to 9999 (or for a value that is not a number) every part is 0.
void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec);
// 1 for Sunday to 7 for Saturday.
Word DayOfWeek(TDateTime Date);

// The current local date and time, date alone, and time of day alone.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Text forms. "c" in a format stands for the short date, a blank and the long time, the time
// left out at exactly midnight; DateTimeToStr uses it. FormatDateTime knows d dd ddd dddd
// ddddd dddddd, m mm mmm mmmm (m and mm give minutes right after an hour), yy yyyy, h hh,
// n nn, s ss, z zzz, t tt, am/pm a/p ampm, c, / and :, and quoted literals ('...' or
// "..."); an empty format is "c".
String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings);
String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings);
String DateToStr(TDateTime Date, const TFormatSettings& Settings);
String TimeToStr(TDateTime Time, const TFormatSettings& Settings);

// Reading takes day, month and year in the order of ShortDateFormat, joined by
// DateSeparator (the year may be left out, and two-digit years follow the century window);
// times are hours and minutes with optional seconds and milliseconds, and AM/PM.
TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings);
TDateTime StrToDate(const String& S, const TFormatSettings& Settings);
TDateTime StrToTime(const String& S, const TFormatSettings& Settings);
bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);

// The same under the calling module's settings.
TARVIK_MODULE_LOCAL inline String FormatDateTime(const String& Format, TDateTime DateTime) {
    return FormatDateTime(Format, DateTime, FormatSettings());
}
TARVIK_MODULE_LOCAL inline String DateTimeToStr(TDateTime DateTime) { return DateTimeToStr(DateTime, FormatSettings()); }
TARVIK_MODULE_LOCAL inline String DateToStr(TDateTime Date) { return DateToStr(Date, FormatSettings()); }
TARVIK_MODULE_LOCAL inline String TimeToStr(TDateTime Time) { return TimeToStr(Time, FormatSettings()); }
TARVIK_MODULE_LOCAL inline TDateTime StrToDateTime(const String& S) { return StrToDateTime(S, FormatSettings()); }
TARVIK_MODULE_LOCAL inline TDateTime StrToDate(const String& S) { return StrToDate(S, FormatSettings()); }
TARVIK_MODULE_LOCAL inline TDateTime StrToTime(const String& S) { return StrToTime(S, FormatSettings()); }
TARVIK_MODULE_LOCAL inline bool TryStrToDateTime(const String& S, TDateTime& Value) {
    return TryStrToDateTime(S, Value, FormatSettings());
}
TARVIK_MODULE_LOCAL inline bool TryStrToDate(const String& S, TDateTime& Value) {
    return TryStrToDate(S, Value, FormatSettings());
}
TARVIK_MODULE_LOCAL inline bool TryStrToTime(const String& S, TDateTime& Value) {
    return TryStrToTime(S, Value, FormatSettings());
}

namespace platform {

// Local date-time (through TZ) of a POSIX time in microseconds, and back. The way back reads
// the date-time as local time and rounds to whole seconds; a local time that a clock change
// skipped is taken as the system's mktime takes it.
TDateTime LocalDateTimeFromUnixMicros(std::int64_t micros);
std::int64_t UnixSecondsFromLocalDateTime(TDateTime dateTime);

}  // namespace platform

// DOS date and time, as file systems and archives keep them: high word the date, low word the
// time (2-second steps), in local time (TZ), years 1980 to 2107.
// Raises EConvertError for a value that is no valid date and time.
TDateTime FileDateToDateTime(Integer fileDate);
// 0 for a year outside 1980..2107.
Integer DateTimeToFileDate(TDateTime dateTime);

namespace platform::detail {
// Local-time conversions between POSIX seconds and DOS date-time values; the first clamps to
// 1980-2107, the second is false for a value that is no valid date and time.
Integer DosDateFromUnix(long long seconds);
bool UnixFromDosDate(Integer dosDate, long long& seconds);
}  // namespace platform::detail
