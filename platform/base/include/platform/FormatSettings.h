// Format settings: the separators, date and time formats and names that text conversions use.
//
// The system's conversions (dates and times as text, decimal numbers, Format's %f and %n)
// read these values instead of the POSIX locale, so results are the same on every machine.
// Every module (the program, the plug-in, each test executable) owns one settings object,
// reached through FormatSettings(): a module may change its own date separator without
// touching another's. The object is made on first use from fixed defaults, each of which an
// environment variable may override:
//
//   TARVIK_DECIMAL_SEPARATOR    "."           TARVIK_SHORT_DATE_FORMAT  "dd/mm/yyyy"
//   TARVIK_THOUSAND_SEPARATOR   ","           TARVIK_LONG_DATE_FORMAT   "dddd, d mmmm yyyy"
//   TARVIK_DATE_SEPARATOR       "/"           TARVIK_SHORT_TIME_FORMAT  "hh:nn"
//   TARVIK_TIME_SEPARATOR       ":"           TARVIK_LONG_TIME_FORMAT   "hh:nn:ss"
//   TARVIK_LIST_SEPARATOR       ","
//
// A separator variable uses its first byte; an empty variable keeps the default. The layer's
// shared library never touches a module's object: its conversions take the settings as an
// argument, and the forms without one are module-local inline forwarders.
#pragma once

#include <array>

#include "platform/Types.h"

// Functions and forwarders bound to the calling module's own copy; never exported.
#define TARVIK_MODULE_LOCAL __attribute__((visibility("hidden")))

struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char ListSeparator = ',';
    String ShortDateFormat = "dd/mm/yyyy";
    String LongDateFormat = "dddd, d mmmm yyyy";
    String ShortTimeFormat = "hh:nn";
    String LongTimeFormat = "hh:nn:ss";
    String TimeAMString = "AM";
    String TimePMString = "PM";
    std::array<String, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<String, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    std::array<String, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<String, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    // Two-digit years read as text fall within this many years before the current year
    // and (100 - this) years after it.
    Integer TwoDigitYearCenturyWindow = 50;
};

// The fixed defaults with the environment overrides applied (read anew at each call).
TFormatSettings DefaultFormatSettings();

// The calling module's settings, made from DefaultFormatSettings() on first use.
TARVIK_MODULE_LOCAL TFormatSettings& FormatSettings();
