#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/SysUtils.h"

namespace {

TFormatSettings Defaults() { return TFormatSettings{}; }

TFormatSettings Comma() {
    TFormatSettings s;
    s.DecimalSeparator = ',';
    s.ThousandSeparator = '.';
    return s;
}

String ConvertErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "(none)";
}

}  // namespace

enum TestKind { tkFirst = 3 };
enum class TestWide : Int64 { Big = 1LL << 40 };

struct FormatCase {
    const char* name;
    String expected;
    String actual;
};

TEST(Format, Directives) {
    const TFormatSettings s = Defaults();
    const FormatCase cases[] = {
        {"Plain", "FormMain_2", Format("%s_%d", {"FormMain", 2}, s)},
        {"Percent", "100% sure", Format("100%% sure", {}, s)},
        {"ZeroPaddedYear", "2026/03/07", Format("%4.2d/%2.2d/%2.2d", {2026, 3, 7}, s)},
        {"RightAligned", "  7/3/2026|   14:05", Format("%10s|%8s", {"7/3/2026", "14:05"}, s)},
        {"LeftAligned", "ab   |", Format("%-5s|", {"ab"}, s)},
        {"DiskNumber", "007", Format("%3.3d", {7}, s)},
        {"NegativePrecision", "-05", Format("%.2d", {-5}, s)},
        {"Thousands", "   1,234,567", Format("%12.0n", {1234567.0}, s)},
        {"ThousandsSmall", "999.50", Format("%n", {999.5}, s)},
        {"ThousandsNegative", "-1,000.0", Format("%.1n", {-1000.0}, s)},
        {"FixedDefault", "3.14", Format("%f", {3.14159}, s)},
        {"FixedPrecision", "3.142", Format("%.3f", {3.14159}, s)},
        {"FixedNoMinusForZero", "0.00", Format("%f", {-0.001}, s)},
        {"General", "0.1", Format("%g", {0.1}, s)},
        {"Exponent", "1.50E+003", Format("%.3e", {1500.0}, s)},
        {"Hex", "FF 00FF", Format("%x %.4x", {255, 255}, s)},
        {"HexNegative32", "FFFFFFFF", Format("%x", {-1}, s)},
        {"HexNegative64", "FFFFFFFFFFFFFFFF", Format("%x", {Int64{-1}}, s)},
        {"Unsigned32Wraps", "4294967295", Format("%u", {-1}, s)},
        {"Int64", "-9223372036854775808", Format("%d", {std::numeric_limits<Int64>::min()}, s)},
        {"UInt64", "18446744073709551615", Format("%d", {~UInt64{0}}, s)},
        {"Pointer", "00000000000000FF", Format("%p", {reinterpret_cast<const void*>(255)}, s)},
        {"StringPrecision", "abc", Format("%.3s", {"abcdef"}, s)},
        {"Char", "x=y", Format("%s=%s", {'x', String("y")}, s)},
        {"Index", "b a b", Format("%1:s %0:s %s", {"a", "b"}, s)},
        {"StarWidth", "   42", Format("%*d", {5, 42}, s)},
        {"StarWidthAndPrecision", "  007", Format("%*.*d", {5, 3, 7}, s)},
        {"NegativeStarWidthLeftAligns", "7  |", Format("%*d|", {-3, 7}, s)},
        {"UpperCaseType", "12 AB", Format("%D %X", {12, 171}, s)},
        {"WidthSmallerThanText", "12345", Format("%3d", {12345}, s)},
        {"Enumerations", "3 1099511627776", Format("%d %d", {tkFirst, TestWide::Big}, s)},
        {"Bytes", "200", Format("%d", {Byte{200}}, s)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(Format, FloatDirectivesUseTheSettingsSeparators) {
    const TFormatSettings s = Comma();
    EXPECT_EQ(Format("%.2f", {1234.5}, s), "1234,50");
    EXPECT_EQ(Format("%.2n", {1234.5}, s), "1.234,50");
    EXPECT_EQ(Format("%g", {0.5}, s), "0,5");
    EXPECT_EQ(Format("%.2e", {0.5}, s), "5,0E-001");
}

struct FormatErrorCase {
    const char* name;
    const char* format;
    std::function<String(const char*)> call;
    const char* message;
};

TEST(Format, BadDirectivesAndArgumentsRaise) {
    const TFormatSettings s = Defaults();
    auto invalid = [](const String& f) { return "Format '" + f + "' invalid or incompatible with argument"; };
    auto missing = [](const String& f) { return "No argument for format '" + f + "'"; };
    EXPECT_EQ(ConvertErrorOf([&] { Format("%d", {"text"}, s); }), invalid("%d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%s", {5}, s); }), invalid("%s"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%f", {5}, s); }), invalid("%f"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%12.0n", {Int64{5}}, s); }), invalid("%12.0n"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%d", {1.5}, s); }), invalid("%d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%p", {5}, s); }), invalid("%p"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%q", {5}, s); }), invalid("%q"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("50%", {}, s); }), invalid("50%"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%*d", {"x", 5}, s); }), invalid("%*d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%d", {true}, s); }), invalid("%d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%999999999d", {1}, s); }), invalid("%999999999d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%d %d", {1}, s); }), missing("%d %d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%5:d", {1}, s); }), missing("%5:d"));
    EXPECT_EQ(ConvertErrorOf([&] { Format("%*d", {}, s); }), missing("%*d"));
}

struct FloatTextCase {
    const char* name;
    double value;
    const char* point;
    const char* comma;
};

class FloatToStrTest : public ::testing::TestWithParam<FloatTextCase> {};

TEST_P(FloatToStrTest, GeneralFormatWithFifteenDigitsUnderBothSeparators) {
    const auto& c = GetParam();
    EXPECT_EQ(FloatToStr(c.value, Defaults()), c.point);
    EXPECT_EQ(FloatToStr(c.value, Comma()), c.comma);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToStrTest,
    ::testing::Values(FloatTextCase{"Zero", 0.0, "0", "0"}, FloatTextCase{"NegativeZero", -0.0, "0", "0"},
                      FloatTextCase{"Integer", 46023.0, "46023", "46023"},
                      FloatTextCase{"DateTime", 46023.5423611111, "46023.5423611111", "46023,5423611111"},
                      FloatTextCase{"RoundsToFifteen", 0.1 + 0.2, "0.3", "0,3"},
                      FloatTextCase{"Third", 1.0 / 3, "0.333333333333333", "0,333333333333333"},
                      FloatTextCase{"Negative", -2.5, "-2.5", "-2,5"},
                      FloatTextCase{"SmallFixed", 0.0001, "0.0001", "0,0001"},
                      FloatTextCase{"SmallScientific", 1.5e-7, "1.5E-7", "1,5E-7"},
                      FloatTextCase{"FifteenDigits", 123456789012345.0, "123456789012345", "123456789012345"},
                      FloatTextCase{"SixteenDigits", 1234567890123456.0, "1.23456789012346E15",
                                    "1,23456789012346E15"},
                      FloatTextCase{"Large", 1e20, "1E20", "1E20"},
                      FloatTextCase{"RoundsUpAcrossTheLimit", 999999999999999.9, "1E15", "1E15"},
                      FloatTextCase{"NotANumber", std::nan(""), "NAN", "NAN"},
                      FloatTextCase{"Infinite", -std::numeric_limits<double>::infinity(), "-INF", "-INF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FloatText, BackupIdRenderingKeepsACommaButDropsPoints) {
    // A date-time rendered for an identifier: the point goes, a comma separator stays.
    const double now = 46023.5423611111;
    EXPECT_EQ("{" + StringReplace(FloatToStr(now, Defaults()), ".", "", rfReplaceAll) + "}", "{460235423611111}");
    EXPECT_EQ("{" + StringReplace(FloatToStr(now, Comma()), ".", "", rfReplaceAll) + "}", "{46023,5423611111}");
}

TEST(FloatText, StrToFloatReadsTheSettingsSeparator) {
    EXPECT_EQ(StrToFloat(" -12.5e2 ", Defaults()), -1250.0);
    EXPECT_EQ(StrToFloat("12,5", Comma()), 12.5);
    EXPECT_EQ(StrToFloat(".5", Defaults()), 0.5);
    EXPECT_EQ(StrToFloat("5.", Defaults()), 5.0);
    EXPECT_EQ(StrToFloat("1e-400", Defaults()), 0.0);
    // Fifteen digits carry the value to within one part in 10^15.
    for (double v : {46023.5423611111, 1.0 / 3, 1e-7, 123456789.125})
        EXPECT_NEAR(StrToFloat(FloatToStr(v, Comma()), Comma()), v, std::fabs(v) * 1e-15);
    double out = 7;
    EXPECT_FALSE(TryStrToFloat("1.5", out, Comma()));
    EXPECT_EQ(out, 7);
}

TEST(FloatText, MalformedNumbersRaiseWithTheText) {
    for (const char* bad : {"", " ", "abc", "1.5", "1,000.5", "1e", "1e+", "--1", "+", ".", "1 2", "1e999", "0x10"}) {
        const String expected = String("'") + bad + "' is not a valid floating point value";
        EXPECT_EQ(ConvertErrorOf([&] { StrToFloat(bad, bad == String("1.5") ? Comma() : Defaults()); }), expected)
            << bad;
    }
}

struct IntCase {
    const char* name;
    const char* text;
    bool ok;
    Int64 value;
};

class StrToIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(StrToIntTest, ReadsOrRaises) {
    const auto& c = GetParam();
    if (c.ok) {
        EXPECT_EQ(StrToInt(c.text), c.value);
    } else {
        EXPECT_EQ(ConvertErrorOf([&] { StrToInt(c.text); }), String("'") + c.text + "' is not a valid integer value");
        EXPECT_EQ(StrToIntDef(c.text, -7), -7);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrToIntTest,
    ::testing::Values(IntCase{"Plain", "42", true, 42}, IntCase{"LeadingBlanks", "  -17", true, -17},
                      IntCase{"Plus", "+8", true, 8}, IntCase{"Dollar", "$1F", true, 31},
                      IntCase{"ZeroX", "0x10", true, 16}, IntCase{"X", "x10", true, 16},
                      IntCase{"HexWrapsToNegative", "$FFFFFFFF", true, -1},
                      IntCase{"Max", "2147483647", true, INT_MAX}, IntCase{"Min", "-2147483648", true, INT_MIN},
                      IntCase{"TooBig", "2147483648", false, 0}, IntCase{"HexTooBig", "$100000000", false, 0},
                      IntCase{"Empty", "", false, 0}, IntCase{"TrailingBlank", "5 ", false, 0},
                      IntCase{"Fraction", "1.0", false, 0}, IntCase{"SignOnly", "-", false, 0},
                      IntCase{"DollarOnly", "$", false, 0}, IntCase{"Word", "five", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IntText, SixtyFourBitsAndHex) {
    EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<Int64>::min());
    EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(IntToStr(std::numeric_limits<Int64>::max()), "9223372036854775807");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0, 0), "0");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(Int64{-2}, 1), "FFFFFFFFFFFFFFFE");
}

TEST(FormatSettings, EnvironmentOverridesTheDefaults) {
    setenv("TARVIK_DECIMAL_SEPARATOR", ",", 1);
    setenv("TARVIK_DATE_SEPARATOR", "-", 1);
    setenv("TARVIK_SHORT_DATE_FORMAT", "yyyy/mm/dd", 1);
    setenv("TARVIK_LONG_TIME_FORMAT", "", 1);  // empty keeps the default
    const TFormatSettings s = DefaultFormatSettings();
    unsetenv("TARVIK_DECIMAL_SEPARATOR");
    unsetenv("TARVIK_DATE_SEPARATOR");
    unsetenv("TARVIK_SHORT_DATE_FORMAT");
    unsetenv("TARVIK_LONG_TIME_FORMAT");
    EXPECT_EQ(s.DecimalSeparator, ',');
    EXPECT_EQ(s.DateSeparator, '-');
    EXPECT_EQ(s.ShortDateFormat, "yyyy/mm/dd");
    EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(FloatToStr(2.5, s), "2,5");
    const TFormatSettings d = DefaultFormatSettings();
    EXPECT_EQ(d.DecimalSeparator, '.');
    EXPECT_EQ(d.ShortDateFormat, "dd/mm/yyyy");
}

TEST(FormatSettings, ModuleFormsUseTheModuleObject) {
    TFormatSettings& module = FormatSettings();
    const TFormatSettings saved = module;
    module.DecimalSeparator = ',';
    EXPECT_EQ(FloatToStr(0.25), "0,25");
    EXPECT_EQ(Format("%.1f", {0.25}), "0,2");
    EXPECT_EQ(StrToFloat("0,5"), 0.5);
    module = saved;
    EXPECT_EQ(FloatToStr(0.25), "0.25");
}
