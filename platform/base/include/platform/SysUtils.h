// Text and number helpers of the layer: trimming, case, comparison, 1-based substrings,
// replacement, quoting, integer and floating-point conversions, and Format.
//
// Text is UTF-8 in byte strings; case folding touches the ASCII letters only and every
// comparison "without regard to case" folds to upper case, so results never depend on the
// POSIX locale. Positions and counts are 1-based like the class library's. Conversions that
// meet bad text raise EConvertError with the class library's messages. Numbers as text use
// the TFormatSettings passed in; the forms without one use the calling module's settings.
// Nothing here keeps state.
#pragma once

#include <initializer_list>
#include <string_view>
#include <type_traits>

#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"

// ---- Trimming and case ----

// Remove blanks and control characters (codes 0 to 32) at either end, the start or the end.
String Trim(const String& S);
String TrimLeft(const String& S);
String TrimRight(const String& S);

String UpperCase(const String& S);
String LowerCase(const String& S);
// The layer's ANSI code page is UTF-8 with ASCII-only folding, so these equal the above.
String AnsiUpperCase(const String& S);
String AnsiLowerCase(const String& S);

// ---- Comparison ----

// Byte order; the result is the difference of the first differing bytes (unsigned), or
// -1 / 1 when one is a prefix of the other.
Integer CompareStr(const String& S1, const String& S2);
// As CompareStr after folding ASCII letters to upper case.
Integer CompareText(const String& S1, const String& S2);
bool SameText(const String& S1, const String& S2);
// The ANSI forms give -1, 0 or 1.
Integer AnsiCompareStr(const String& S1, const String& S2);
Integer AnsiCompareText(const String& S1, const String& S2);
bool AnsiSameStr(const String& S1, const String& S2);
bool AnsiSameText(const String& S1, const String& S2);

// ---- 1-based substrings ----

// Position of the first Substr in S counting from 1, 0 when absent (or Substr is empty).
Integer Pos(const String& Substr, const String& S);
// Count characters from Index (from 1); out-of-range parts are clipped, never an error.
String Copy(const String& S, Integer Index, Integer Count);
// Removes Count characters from Index; nothing when Index lies outside S.
void Delete(String& S, Integer Index, Integer Count);
// Inserts Source before Index (clipped to 1 .. length + 1).
void Insert(const String& Source, String& S, Integer Index);

// ---- Replacement and quoting ----

using TReplaceFlags = unsigned;
inline constexpr TReplaceFlags rfReplaceAll = 1;
inline constexpr TReplaceFlags rfIgnoreCase = 2;

// Replaces the first (or every) occurrence of OldPattern; replaced text is not searched again.
String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, TReplaceFlags Flags);
// S between single quotes, each quote inside doubled.
String QuotedStr(const String& S);
String AnsiQuotedStr(const String& S, char Quote);

// ---- Integers ----

String IntToStr(Int64 Value);

namespace platform::detail {
String HexDigits(UInt64 bits, Integer digits);
}
// Upper-case hexadecimal, at least Digits digits; a negative value shows its two's
// complement in the width of its type (IntToHex(-1, 1) is "FFFFFFFF" for an Integer).
template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
String IntToHex(T Value, Integer Digits) {
    return platform::detail::HexDigits(static_cast<UInt64>(static_cast<std::make_unsigned_t<T>>(Value)), Digits);
}
// Decimal with an optional sign, or hexadecimal after "$", "0x" or "x"; leading blanks are
// allowed, nothing may follow. Raise EConvertError "'S' is not a valid integer value".
Integer StrToInt(const String& S);
Int64 StrToInt64(const String& S);
Integer StrToIntDef(const String& S, Integer Default);
bool TryStrToInt(const String& S, Integer& Value);
bool TryStrToInt64(const String& S, Int64& Value);

// ---- Floating point ----

// General format with 15 significant digits: fixed notation while the value has at most 15
// integer digits and is at least 0.00001 in size, else d.dddE[-]x; "NAN", "INF", "-INF".
String FloatToStr(double Value, const TFormatSettings& Settings);
// Blanks around, a sign, digits with one DecimalSeparator, an optional exponent.
// Raises EConvertError "'S' is not a valid floating point value".
double StrToFloat(const String& S, const TFormatSettings& Settings);
bool TryStrToFloat(const String& S, double& Value, const TFormatSettings& Settings);

TARVIK_MODULE_LOCAL inline String FloatToStr(double Value) { return FloatToStr(Value, FormatSettings()); }
TARVIK_MODULE_LOCAL inline double StrToFloat(const String& S) { return StrToFloat(S, FormatSettings()); }
TARVIK_MODULE_LOCAL inline bool TryStrToFloat(const String& S, double& Value) {
    return TryStrToFloat(S, Value, FormatSettings());
}

// ---- Format ----

// One argument of Format, made implicitly from the value passed:
//   Format("%s_%d", {Name, Index})
class TVarRec {
public:
    enum class Kind { Integer, Extended, String, Char, Pointer, Boolean };

    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                            !std::is_same_v<T, char>, int> = 0>
    TVarRec(T value)  // NOLINT(google-explicit-constructor)
        : kind_(Kind::Integer), is64_(sizeof(T) > 4), isUnsigned_(std::is_unsigned_v<T>) {
        if constexpr (std::is_unsigned_v<T>) u_ = static_cast<UInt64>(value);
        else u_ = static_cast<UInt64>(static_cast<Int64>(value));
    }
    // Enumerations pass as their numeric value.
    template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
    TVarRec(E value) : TVarRec(static_cast<std::underlying_type_t<E>>(value)) {}  // NOLINT
    TVarRec(double value) : kind_(Kind::Extended), d_(value) {}  // NOLINT
    TVarRec(float value) : kind_(Kind::Extended), d_(value) {}   // NOLINT
    TVarRec(bool value) : kind_(Kind::Boolean), u_(value ? 1 : 0) {}  // NOLINT
    TVarRec(char value) : kind_(Kind::Char), c_(value) {}  // NOLINT
    TVarRec(const char* value) : kind_(Kind::String), s_(value ? value : "") {}  // NOLINT
    TVarRec(const String& value) : kind_(Kind::String), s_(value) {}  // NOLINT
    TVarRec(std::string_view value) : kind_(Kind::String), s_(value) {}  // NOLINT
    TVarRec(const void* value) : kind_(Kind::Pointer), u_(reinterpret_cast<std::uintptr_t>(value)) {}  // NOLINT

    Kind kind() const { return kind_; }
    bool is64() const { return is64_; }
    bool isUnsigned() const { return isUnsigned_; }
    // The integer as stored: the value's bits widened (signed types with their sign).
    UInt64 bits() const { return u_; }
    double real() const { return d_; }
    std::string_view text() const { return kind_ == Kind::Char ? std::string_view(&c_, 1) : s_; }

private:
    Kind kind_;
    bool is64_ = false;
    bool isUnsigned_ = false;
    UInt64 u_ = 0;
    double d_ = 0;
    char c_ = 0;
    std::string_view s_;
};

// Directives: "%" [index ":"] ["-"] [width] ["." precision] type, where index, width and
// precision may be "*" (taken from the next Integer argument) and type is one of
//   d  decimal integer (precision: least digits)     u  unsigned decimal (32-bit values wrap)
//   x  upper-case hexadecimal (precision as d)        p  pointer as 16 hex digits
//   s  text or character (precision: most characters)
//   e  d.ddd...E+ddd (precision: significant digits, default 15)
//   f  fixed (precision: decimals, default 2)         n  as f with thousand separators
//   g  general as FloatToStr (precision: significant digits, default 15)
// and "%%" gives "%". Float directives need a floating argument and integer ones an integer,
// as in the class library. Raise EConvertError "Format 'F' invalid or incompatible with
// argument" or "No argument for format 'F'".
String Format(const String& Fmt, std::initializer_list<TVarRec> Args, const TFormatSettings& Settings);
TARVIK_MODULE_LOCAL inline String Format(const String& Fmt, std::initializer_list<TVarRec> Args) {
    return Format(Fmt, Args, FormatSettings());
}
