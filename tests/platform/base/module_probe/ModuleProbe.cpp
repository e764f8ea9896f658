// A second module for the tests: a shared library with its own copy of the per-module
// state, loaded the way the host loads its plug-in, so tests can check the copies apart.
#include <algorithm>

#include "platform/DateTime.h"
#include "platform/SysUtils.h"

extern "C" __attribute__((visibility("default"))) void ProbeSetDateSeparator(char separator) {
    FormatSettings().DateSeparator = separator;
}

extern "C" __attribute__((visibility("default"))) char ProbeDateSeparator() { return FormatSettings().DateSeparator; }

// Writes DateTimeToStr of the value under the probe's own settings into buffer.
extern "C" __attribute__((visibility("default"))) void ProbeDateTimeToStr(double value, char* buffer, int size) {
    const String text = DateTimeToStr(value);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(buffer, n);
    buffer[n] = '\0';
}
