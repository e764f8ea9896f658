#include <gtest/gtest.h>

#include <vector>

#include "controls/TreeNodeList.h"

namespace {

TTreeExNode* N(std::intptr_t v) { return reinterpret_cast<TTreeExNode*>(v); }

int ByValue(LPARAM a, LPARAM b, LPARAM) { return (a > b) - (a < b); }

int calls = 0;
int Counting(LPARAM a, LPARAM b, LPARAM d) {
    ++calls;
    return ByValue(a, b, d);
}

// Contradicts itself: answers "less" for every pair, in both orders.
int AlwaysLess(LPARAM, LPARAM, LPARAM) { return -1; }
int AlwaysGreater(LPARAM, LPARAM, LPARAM) { return 1; }
unsigned seed = 1;
int Random(LPARAM, LPARAM, LPARAM) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % 3) - 1;
}

}  // namespace

TEST(TreeNodeList, GrowsByTheRule) {
    TTreeNodeList list;
    std::vector<Integer> caps;
    for (int i = 0; i < 100; ++i) {
        if (list.Count() == list.Capacity()) caps.push_back(list.Capacity());
        list.Add(N(i + 1));
    }
    EXPECT_EQ(caps, (std::vector<Integer>{0, 4, 8, 12, 28, 44, 60, 76, 95}));
}

TEST(TreeNodeList, InsertAtCountAppendsBeyondRaises) {
    TTreeNodeList list;
    list.Add(N(1));
    list.Insert(1, N(2));
    EXPECT_EQ(list.Get(1), N(2));
    try {
        list.Insert(3, N(3));
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
    EXPECT_EQ(list.Count(), 2);
}

TEST(TreeNodeList, RemovePackCountAndCapacityBounds) {
    TTreeNodeList list;
    list.Add(N(1));
    list.Add(N(2));
    EXPECT_EQ(list.Remove(N(9)), -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.SetCapacity(1), EListError);
    list.SetCount(5);
    EXPECT_EQ(list.Get(4), nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
    Integer cap = list.Capacity();
    list.Put(0, nullptr);
    list.Put(1, nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), cap);
    EXPECT_THROW(list.Get(-1), EListError);
    EXPECT_THROW(list.SetCount(-1), EListError);
}

TEST(TreeNodeList, SortOfEmptyListCallsNothing) {
    TTreeNodeList list;
    calls = 0;
    list.Sort(&Counting, 0);
    EXPECT_EQ(calls, 0);
}

TEST(TreeNodeList, SortsByComparison) {
    TTreeNodeList list;
    for (int v : {5, 3, 9, 1, 7, 3, 2}) list.Add(N(v));
    list.Sort(&ByValue, 0);
    std::vector<std::intptr_t> got;
    for (Integer i = 0; i < list.Count(); ++i) got.push_back(reinterpret_cast<std::intptr_t>(list.Get(i)));
    EXPECT_EQ(got, (std::vector<std::intptr_t>{1, 2, 3, 3, 5, 7, 9}));
}

// A comparison that contradicts itself must neither run off the array nor loop forever; the
// list keeps exactly its entries.
class InconsistentSort : public ::testing::TestWithParam<PFNTVCOMPARE> {};

TEST_P(InconsistentSort, StaysInBoundsAndKeepsEntries) {
    for (int n : {1, 2, 3, 17, 500}) {
        TTreeNodeList list;
        for (int i = 1; i <= n; ++i) list.Add(N(i));
        list.Sort(GetParam(), 0);
        std::vector<std::intptr_t> got;
        for (Integer i = 0; i < list.Count(); ++i) got.push_back(reinterpret_cast<std::intptr_t>(list.Get(i)));
        std::sort(got.begin(), got.end());
        for (int i = 0; i < n; ++i) EXPECT_EQ(got[static_cast<size_t>(i)], i + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Comparisons, InconsistentSort, ::testing::Values(&AlwaysLess, &AlwaysGreater, &Random));
