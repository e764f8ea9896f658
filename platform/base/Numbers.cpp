// Integers and floating-point numbers as text, both ways.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/SysUtils.h"
#include "detail/FloatText.h"

namespace platform::detail {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The integer reading rule: leading blanks, a sign, then decimal digits, or hexadecimal
// after "$", "0x" or "x". A hexadecimal text may use the whole unsigned range of the
// width, which then reads as its two's complement (as "$FFFFFFFF" reads as -1).
bool ParseInteger(const String& s, int bits, Int64& out) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    }
    if (i >= s.size()) return false;
    const UInt64 unsignedMax = bits == 64 ? ~UInt64{0} : 0xFFFFFFFFull;
    const UInt64 signedMax = unsignedMax >> 1;
    UInt64 value = 0;
    for (; i < s.size(); ++i) {
        const int digit = hex ? HexValue(s[i]) : (IsDigit(s[i]) ? s[i] - '0' : -1);
        if (digit < 0) return false;
        const unsigned base = hex ? 16 : 10;
        if (value > (unsignedMax - static_cast<UInt64>(digit)) / base) return false;
        value = value * base + static_cast<UInt64>(digit);
    }
    if (!hex && value > signedMax + (negative ? 1 : 0)) return false;
    if (hex && bits == 32 && value > signedMax) value |= ~UInt64{0xFFFFFFFF};  // widen the sign
    out = static_cast<Int64>(negative ? UInt64{0} - value : value);
    return true;
}

[[noreturn]] void ThrowInvalidInteger(const String& s) {
    throw EConvertError("'" + s + "' is not a valid integer value");
}

}  // namespace

String HexDigits(UInt64 bits, Integer digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    char buffer[16];
    std::size_t n = 0;
    do {
        buffer[sizeof buffer - 1 - n++] = kHex[bits & 15];
        bits >>= 4;
    } while (bits != 0);
    const std::size_t pad = digits > static_cast<Integer>(n) ? static_cast<std::size_t>(digits) - n : 0;
    String out(pad, '0');
    out.append(buffer + sizeof buffer - n, n);
    return out;
}

DecimalDigits ToDecimalDigits(double value, int precision) {
    DecimalDigits d;
    d.negative = std::signbit(value);
    if (value == 0) {
        d.digits = "0";
        d.exponent = 0;
        d.zero = true;
        return d;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
    // buffer: d[.ddd]e[+-]xx
    char digits[64];
    std::size_t n = 0;
    const char* p = buffer;
    for (; *p != 'e'; ++p)
        if (IsDigit(*p)) digits[n++] = *p;
    d.exponent = std::atoi(p + 1);
    while (n > 1 && digits[n - 1] == '0') --n;
    d.digits.assign(digits, n);
    return d;
}

String FormatGeneral(double value, int precision, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (precision < 1) precision = 1;
    if (precision > 18) precision = 18;
    const DecimalDigits d = ToDecimalDigits(value, precision);
    if (d.zero) return "0";
    String out = d.negative ? "-" : "";
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent >= precision || d.exponent < -4) {
        out += d.digits[0];
        if (count > 1) {
            out += decimalSeparator;
            out.append(d.digits, 1, String::npos);
        }
        out += 'E';
        if (d.exponent < 0) out += '-';
        out += std::to_string(std::abs(d.exponent));
        return out;
    }
    if (d.exponent < 0) {
        out += '0';
        out += decimalSeparator;
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        out += d.digits;
        return out;
    }
    const int whole = d.exponent + 1;
    if (count <= whole) {
        out += d.digits;
        out.append(static_cast<std::size_t>(whole - count), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(whole));
        out += decimalSeparator;
        out.append(d.digits, static_cast<std::size_t>(whole), String::npos);
    }
    return out;
}

bool ParseFloat(const String& s, char decimalSeparator, double& out) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    String plain;  // the number rewritten with "." for from_chars
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') plain += '-';
        ++i;
    }
    int digits = 0;
    while (i < s.size() && IsDigit(s[i])) plain += s[i++], ++digits;
    if (i < s.size() && s[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (i < s.size() && IsDigit(s[i])) plain += s[i++], ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
        int expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) plain += s[i++], ++expDigits;
        if (expDigits == 0) return false;
    }
    while (i < s.size() && s[i] == ' ') ++i;
    if (i != s.size()) return false;
    double value = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is not a number this system can hold. Too small
        // means a negative exponent, or no exponent and no digit but 0 before the point.
        const std::size_t e = plain.find('e');
        const bool tiny = e != String::npos ? plain[e + 1] == '-'
                                            : plain.find_first_not_of("-0") == plain.find('.');
        if (!tiny) return false;
        value = 0;
    } else if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace platform::detail

using namespace platform::detail;

String IntToStr(Int64 Value) { return std::to_string(Value); }

bool TryStrToInt(const String& S, Integer& Value) {
    Int64 v;
    if (!ParseInteger(S, 32, v)) return false;
    Value = static_cast<Integer>(v);
    return true;
}

bool TryStrToInt64(const String& S, Int64& Value) { return ParseInteger(S, 64, Value); }

Integer StrToInt(const String& S) {
    Integer v;
    if (!TryStrToInt(S, v)) ThrowInvalidInteger(S);
    return v;
}

Int64 StrToInt64(const String& S) {
    Int64 v;
    if (!TryStrToInt64(S, v)) ThrowInvalidInteger(S);
    return v;
}

Integer StrToIntDef(const String& S, Integer Default) {
    Integer v;
    return TryStrToInt(S, v) ? v : Default;
}

String FloatToStr(double Value, const TFormatSettings& Settings) {
    return FormatGeneral(Value, 15, Settings.DecimalSeparator);
}

bool TryStrToFloat(const String& S, double& Value, const TFormatSettings& Settings) {
    return ParseFloat(S, Settings.DecimalSeparator, Value);
}

double StrToFloat(const String& S, const TFormatSettings& Settings) {
    double v;
    if (!TryStrToFloat(S, v, Settings)) throw EConvertError("'" + S + "' is not a valid floating point value");
    return v;
}
