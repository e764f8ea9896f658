#include "platform/FormatSettings.h"

#include <cstdlib>

namespace platform::detail {
namespace {

void OverrideChar(const char* name, char& value) {
    const char* text = std::getenv(name);
    if (text != nullptr && *text != '\0') value = *text;
}

void OverrideText(const char* name, String& value) {
    const char* text = std::getenv(name);
    if (text != nullptr && *text != '\0') value = text;
}

}  // namespace

TFormatSettings LoadFormatSettings() {
    TFormatSettings s;
    OverrideChar("TARVIK_DECIMAL_SEPARATOR", s.DecimalSeparator);
    OverrideChar("TARVIK_THOUSAND_SEPARATOR", s.ThousandSeparator);
    OverrideChar("TARVIK_DATE_SEPARATOR", s.DateSeparator);
    OverrideChar("TARVIK_TIME_SEPARATOR", s.TimeSeparator);
    OverrideChar("TARVIK_LIST_SEPARATOR", s.ListSeparator);
    OverrideText("TARVIK_SHORT_DATE_FORMAT", s.ShortDateFormat);
    OverrideText("TARVIK_LONG_DATE_FORMAT", s.LongDateFormat);
    OverrideText("TARVIK_SHORT_TIME_FORMAT", s.ShortTimeFormat);
    OverrideText("TARVIK_LONG_TIME_FORMAT", s.LongTimeFormat);
    return s;
}

}  // namespace platform::detail

TFormatSettings DefaultFormatSettings() { return platform::detail::LoadFormatSettings(); }
