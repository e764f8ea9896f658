#include <gtest/gtest.h>

#include "platform/SysUtils.h"

TEST(Text, TrimRemovesBlanksAndControlCharactersOnly) {
    EXPECT_EQ(Trim(" \t\r\n ab c \x01\x1f"), "ab c");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a \n"), "  a");
    EXPECT_EQ(Trim("   "), "");
    // UTF-8 bytes are above blank and stay.
    EXPECT_EQ(Trim("\xC3\xA9 "), "\xC3\xA9");
}

TEST(Text, CaseFoldsAsciiLettersOnly) {
    EXPECT_EQ(UpperCase("abc-XYZ-\xC3\xA9"), "ABC-XYZ-\xC3\xA9");
    EXPECT_EQ(LowerCase("ABC-xyz-\xC3\x89"), "abc-xyz-\xC3\x89");
    EXPECT_EQ(AnsiUpperCase("sz"), "SZ");
    EXPECT_EQ(AnsiLowerCase("SZ"), "sz");
}

TEST(Text, ComparisonsFoldToUpperCase) {
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_TRUE(SameText("File.TXT", "file.txt"));
    EXPECT_FALSE(SameText("file", "file "));
    // '_' sits between the upper- and lower-case letters: folding up puts it after 'Z'.
    EXPECT_GT(CompareText("_", "z"), 0);
    EXPECT_LT(CompareStr("_", "z"), 0);
    EXPECT_EQ(CompareStr("a", "b"), -1);
    EXPECT_EQ(CompareStr("b", "a"), 1);
    EXPECT_GT(CompareStr("\xC3", "z"), 0);  // bytes compare unsigned
    EXPECT_LT(CompareStr("ab", "abc"), 0);
    EXPECT_EQ(AnsiCompareText("B", "a"), 1);
    EXPECT_EQ(AnsiCompareStr("B", "a"), -1);
    EXPECT_TRUE(AnsiSameText("QelBackup", "QELBACKUP"));
    EXPECT_FALSE(AnsiSameStr("QelBackup", "QELBACKUP"));
}

TEST(Text, PositionsAndCountsStartAtOne) {
    EXPECT_EQ(Pos("lo", "hello lo"), 4);
    EXPECT_EQ(Pos("x", "hello"), 0);
    EXPECT_EQ(Pos("", "hello"), 0);
    EXPECT_EQ(Copy("Backup", 1, 3), "Bac");
    EXPECT_EQ(Copy("Backup", 7, 3), "");
    EXPECT_EQ(Copy("Backup", 0, 2), "Ba");
    EXPECT_EQ(Copy("Backup", 5, 100), "up");
    EXPECT_EQ(Copy("Backup", 2, -1), "");
    String s = "Backup";
    Delete(s, 2, 3);
    EXPECT_EQ(s, "Bup");
    Delete(s, 9, 1);
    Delete(s, 0, 1);
    EXPECT_EQ(s, "Bup");
    Insert("ack", s, 2);
    EXPECT_EQ(s, "Backup");
    Insert("!", s, 100);
    Insert(">", s, -5);
    EXPECT_EQ(s, ">Backup!");
}

struct ReplaceCase {
    const char* name;
    const char* text;
    const char* oldPattern;
    const char* newPattern;
    TReplaceFlags flags;
    const char* expected;
};

class StringReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(StringReplaceTest, Replaces) {
    const auto& c = GetParam();
    EXPECT_EQ(StringReplace(c.text, c.oldPattern, c.newPattern, c.flags), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringReplaceTest,
    ::testing::Values(ReplaceCase{"FirstOnly", "a.b.c", ".", "", 0, "ab.c"},
                      ReplaceCase{"All", "a.b.c", ".", "", rfReplaceAll, "abc"},
                      ReplaceCase{"CaseMatters", "Tag tag", "tag", "X", rfReplaceAll, "Tag X"},
                      ReplaceCase{"IgnoreCase", "Tag tag", "TAG", "x", rfReplaceAll | rfIgnoreCase, "x x"},
                      ReplaceCase{"ReplacementNotSearchedAgain", "aa", "a", "aa", rfReplaceAll, "aaaa"},
                      ReplaceCase{"EmptyPatternChangesNothing", "abc", "", "x", rfReplaceAll, "abc"},
                      ReplaceCase{"KeepsOriginalCaseOfTheRest", "dfName is DFNAME", "dfname", "N",
                                  rfIgnoreCase, "N is DFNAME"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Text, QuotingDoublesTheQuote) {
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
}
