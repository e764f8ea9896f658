// Decimal renderings of doubles shared by FloatToStr and Format.
#pragma once

#include "platform/Types.h"

namespace platform::detail {

// A value rounded to `precision` significant digits: digits without trailing zeros, and the
// power of ten of the first digit.
struct DecimalDigits {
    String digits;
    int exponent = 0;
    bool negative = false;
    bool zero = false;
};
DecimalDigits ToDecimalDigits(double value, int precision);

// The general format: fixed while the exponent lies from -4 to precision - 1, else d.dddE[-]x.
String FormatGeneral(double value, int precision, char decimalSeparator);

bool ParseFloat(const String& text, char decimalSeparator, double& value);

}  // namespace platform::detail
