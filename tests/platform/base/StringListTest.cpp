#include <gtest/gtest.h>

#include <vector>

#include "platform/StringList.h"

namespace {

std::vector<String> Items(const TStrings& list) {
    std::vector<String> out;
    for (Integer i = 0; i < list.Count(); ++i) out.push_back(list[i]);
    return out;
}

String ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EStringListError& e) {
        return e.Message();
    }
    return "(none)";
}

using V = std::vector<String>;

}  // namespace

TEST(StringList, AddInsertDeleteAndIndexErrors) {
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add("c"), 1);
    list.Insert(0, "a");
    list.Insert(3, "d");
    EXPECT_EQ(Items(list), (V{"a", "b", "c", "d"}));
    list.Delete(1);
    EXPECT_EQ(Items(list), (V{"a", "c", "d"}));
    EXPECT_EQ(ErrorOf([&] { list.Strings(3); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { list.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { list.Insert(5, "x"); }), "List index out of bounds (5)");
    EXPECT_EQ(ErrorOf([&] { list.Objects(7); }), "List index out of bounds (7)");
    list.Exchange(0, 2);
    EXPECT_EQ(Items(list), (V{"d", "c", "a"}));
    EXPECT_EQ(ErrorOf([&] { list.Exchange(0, 3); }), "List index out of bounds (3)");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexOfIgnoresCaseSortedOrNot) {
    TStringList list;
    list.Add("Alpha");
    list.Add("beta");
    EXPECT_EQ(list.IndexOf("BETA"), 1);
    EXPECT_EQ(list.IndexOf("gamma"), -1);
    list.SetSorted(true);
    EXPECT_EQ(list.IndexOf("ALPHA"), 0);
    EXPECT_EQ(list.IndexOf("alp"), -1);
}

TEST(StringList, SortedListOrdersWithoutRegardToCaseFoldingUp) {
    TStringList list;
    for (const char* s : {"delta", "Bravo", "alpha", "Charlie", "a_b", "ab", "A"}) list.Add(s);
    list.SetSorted(true);
    // Upper-case folding puts "_" (0x5F) after the letters.
    EXPECT_EQ(Items(list), (V{"A", "ab", "alpha", "a_b", "Bravo", "Charlie", "delta"}));
    EXPECT_EQ(list.Add("beta"), 4);
    EXPECT_EQ(list[4], "beta");
}

TEST(StringList, SortedListRefusesPositionalChanges) {
    TStringList list;
    list.SetSorted(true);
    list.Add("x");
    EXPECT_EQ(ErrorOf([&] { list.Insert(0, "a"); }), "Operation not allowed on sorted list");
    EXPECT_EQ(ErrorOf([&] { list.SetStrings(0, "a"); }), "Operation not allowed on sorted list");
}

struct DuplicatesCase {
    const char* name;
    TDuplicates duplicates;
    bool sorted;
    V expected;
    bool raises;
};

class StringListDuplicatesTest : public ::testing::TestWithParam<DuplicatesCase> {};

TEST_P(StringListDuplicatesTest, AddsOrRefusesAnEqualString) {
    const auto& c = GetParam();
    TStringList list;
    list.SetDuplicates(c.duplicates);
    list.SetSorted(c.sorted);
    list.Add("b");
    list.Add("a");
    String error = ErrorOf([&] { list.Add("A"); });
    EXPECT_EQ(error, c.raises ? "String list does not allow duplicates" : "(none)");
    EXPECT_EQ(Items(list), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, StringListDuplicatesTest,
    ::testing::Values(DuplicatesCase{"SortedIgnore", dupIgnore, true, {"a", "b"}, false},
                      DuplicatesCase{"SortedAccept", dupAccept, true, {"A", "a", "b"}, false},
                      DuplicatesCase{"SortedError", dupError, true, {"a", "b"}, true},
                      // Duplicates only matter in a sorted list.
                      DuplicatesCase{"UnsortedError", dupError, false, {"b", "a", "A"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringList, FindGivesFirstEqualWithAcceptAndInsertPointOtherwise) {
    TStringList list;
    list.SetDuplicates(dupAccept);
    list.SetSorted(true);
    for (const char* s : {"k", "K", "k", "a", "z"}) list.Add(s);
    Integer index = -1;
    EXPECT_TRUE(list.Find("K", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find("m", index));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(list.Find("zz", index));
    EXPECT_EQ(index, 5);
}

TEST(StringList, AddObjectKeepsTheObjectBesideItsStringThroughSorting) {
    TObject one, two;
    TStringList list;
    list.AddObject("zeta", &one);
    list.AddObject("alpha", &two);
    list.SetSorted(true);
    EXPECT_EQ(list.Objects(0), &two);
    EXPECT_EQ(list.Objects(1), &one);
    EXPECT_EQ(list.IndexOfObject(&one), 1);
    list.SetObjects(0, &one);
    EXPECT_EQ(list.Objects(0), &one);
}

TEST(StringList, CustomSortUsesTheGivenOrder) {
    TStringList list;
    for (const char* s : {"ccc", "a", "bb", "dddd", "", "ee"}) list.Add(s);
    list.CustomSort([](TStringList* l, Integer i1, Integer i2) {
        return static_cast<Integer>(l->Strings(i2).size()) - static_cast<Integer>(l->Strings(i1).size());
    });
    const V items = Items(list);
    ASSERT_EQ(items.size(), 6u);
    for (std::size_t i = 1; i < items.size(); ++i) EXPECT_GE(items[i - 1].size(), items[i].size());
}

TEST(StringList, SortHandlesManyEqualAndReversedItems) {
    TStringList list;
    for (int i = 300; i > 0; --i) list.Add(std::to_string(i % 7));
    list.Sort();
    for (Integer i = 1; i < list.Count(); ++i) EXPECT_LE(list[i - 1], list[i]);
}

TEST(StringList, TextJoinsWithCrLfAndSplitsEveryLineBreak) {
    TStringList list;
    list.SetText("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(Items(list), (V{"one", "two", "three", "four"}));
    EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    list.SetText("a\r\n\r\n");
    EXPECT_EQ(Items(list), (V{"a", ""}));
    list.SetText("\n\r");
    EXPECT_EQ(Items(list), (V{"", ""}));
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), "");
}

TEST(StringList, NamesAndValues) {
    TStringList list;
    list.SetText("Path=C:\\Data\nnoequals\nKey=a=b\nempty=");
    EXPECT_EQ(list.Names(0), "Path");
    EXPECT_EQ(list.Names(1), "");
    EXPECT_EQ(list.Values("PATH"), "C:\\Data");
    EXPECT_EQ(list.Values("key"), "a=b");
    EXPECT_EQ(list.Values("empty"), "");
    EXPECT_EQ(list.Values("missing"), "");
    EXPECT_EQ(list.IndexOfName("noequals"), -1);
    list.SetValues("key", "c");
    EXPECT_EQ(list[2], "key=c");
    list.SetValues("New", "1");
    EXPECT_EQ(list[4], "New=1");
    list.SetValues("path", "");
    EXPECT_EQ(list.IndexOfName("Path"), -1);
    EXPECT_EQ(list.Count(), 4);
}

TEST(StringList, EventsFireAroundChangesAndOncePerUpdateBracket) {
    TStringList list;
    std::vector<String> log;
    list.OnChanging = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        log.push_back("changing");
    };
    list.OnChange = [&](TObject*) { log.push_back("change"); };
    list.Add("a");
    EXPECT_EQ(log, (V{"changing", "change"}));
    log.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_TRUE(log == (V{"changing"}));
    list.EndUpdate();
    EXPECT_EQ(log, (V{"changing", "change"}));
    log.clear();
    list.SetText("x\ny\nz");
    EXPECT_EQ(log, (V{"changing", "change"}));
}

TEST(StringList, AssignAndAddStringsCopyStringsAndObjects) {
    TObject marker;
    TStringList source;
    source.AddObject("one", &marker);
    source.Add("two");
    TStringList target;
    target.Add("old");
    target.Assign(&source);
    EXPECT_EQ(Items(target), (V{"one", "two"}));
    EXPECT_EQ(target.Objects(0), &marker);
    target.AddStrings(target);
    EXPECT_EQ(Items(target), (V{"one", "two", "one", "two"}));
    TPersistent other;
    try {
        target.Assign(&other);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TPersistent to a TStringList");
    }
}

TEST(StringList, StreamsCarryTheTextFromThePosition) {
    TStringList list;
    list.SetText("first\nsecond");
    TMemoryStream stream;
    stream.WriteBuffer("##", 2);
    list.SaveToStream(stream);
    EXPECT_EQ(String(stream.Bytes().begin(), stream.Bytes().end()), "##first\r\nsecond\r\n");
    stream.SetPosition(2);
    TStringList back;
    back.Add("stale");
    back.LoadFromStream(stream);
    EXPECT_EQ(Items(back), (V{"first", "second"}));
}
