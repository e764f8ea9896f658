#include <gtest/gtest.h>

#include "manager/SplitParams.h"

namespace {

struct SplitCase {
    const char* name;
    std::string text;
    char separator;
    std::vector<std::string> tokens;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitParamsTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitParamsTable, GivesTheTokens) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(manager::SplitParamsTokens(c.text, c.separator), c.tokens);
}

// Blank-separated: the command line as the program joins it.
INSTANTIATE_TEST_SUITE_P(Blank, SplitParamsTable, testing::Values(
    SplitCase{"Empty", "", ' ', {}},
    SplitCase{"OnlyBlanksAndControls", " \t\r\n ", ' ', {}},
    SplitCase{"QuotedBlankThenTwoBlanksAndWord", "\"a b\"  word", ' ', {"a b", "word"}},
    SplitCase{"JoinedArguments", "\"-a\" \"C:\\My Files\\x\"", ' ', {"-a", "C:\\My Files\\x"}},
    SplitCase{"DoubledQuoteIsOneQuote", "\"say \"\"hi\"\"\" x", ' ', {"say \"hi\"", "x"}},
    SplitCase{"EmptyQuotedToken", "\"\" x", ' ', {"", "x"}},
    SplitCase{"UnclosedQuoteRunsToEnd", "x \"open to end", ' ', {"x", "open to end"}},
    SplitCase{"TextAfterClosingQuoteIsNextToken", "\"ab\"cd", ' ', {"ab", "cd"}},
    SplitCase{"ControlCharacterEndsPlainToken", "ab\x01" "cd", ' ', {"ab", "cd"}},
    SplitCase{"ZeroByteEndsText", std::string("ab cd\0ef", 8), ' ', {"ab", "cd"}},
    SplitCase{"Utf8StaysWhole", "\xC3\xA4pfel \"gr\xC3\xBC n\"", ' ', {"\xC3\xA4pfel", "gr\xC3\xBC n"}}),
    [](const auto& info) { return std::string(info.param.name); });

// "|"-separated: the catalogue lines.
INSTANTIATE_TEST_SUITE_P(Bar, SplitParamsTable, testing::Values(
    SplitCase{"TenFields", "1|Name|2|QelBackup|{123}|Desc|01/02/2026|4|5|+", '|',
              {"1", "Name", "2", "QelBackup", "{123}", "Desc", "01/02/2026", "4", "5", "+"}},
    SplitCase{"BlankBeforeSeparatorStays", "a |b", '|', {"a ", "b"}},
    SplitCase{"LeadingBlanksDropped", "  a|   b", '|', {"a", "b"}},
    SplitCase{"InnerBlanksStay", "a b c|d", '|', {"a b c", "d"}},
    SplitCase{"TwoSeparatorsGiveEmptyToken", "a||b", '|', {"a", "", "b"}},
    SplitCase{"TrailingSeparatorGivesNoEmptyToken", "a|b|", '|', {"a", "b"}},
    SplitCase{"LeadingSeparatorGivesEmptyToken", "|a", '|', {"", "a"}},
    SplitCase{"QuotedFieldHoldsSeparator", "\"a|b\"|c", '|', {"a|b", "c"}},
    SplitCase{"TabEndsPlainField", "a\tb|c", '|', {"a", "b", "c"}},
    SplitCase{"CrLfAtEndIgnored", "a|b\r\n", '|', {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
