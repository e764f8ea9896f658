// A sorted tree read from a stream (as on every re-creation of its window) is sorted once, at
// the end of the batch, not after every node it reads.
#include "TreeTestSupport.h"

TEST_F(TreeFixture, RenamesInABatchAreSortedOnceAtItsEnd) {
    auto n = Build({"0:a", "1:x", "1:y", "0:b"});
    tree->SetSortType(TSortType::stText);
    Items().BeginChanges();
    n[0]->SetText("z");
    n[1]->SetText("zz");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"z", " zz", " y", "b"}));  // not yet
    Items().EndChanges();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "z", " y", " zz"}));
    ExpectWindowMatches();
}

TEST_F(TreeFixture, SortedTreeIsSortedOnceAfterReading) {
    Items().BeginChanges();
    for (int i = 0; i < 200; ++i) Items().AddChild(nullptr, "n" + std::to_string(1000 - i));
    for (int i = 0; i < 3; ++i) Items().AddChild(Items().GetFirstNode(), "c" + std::to_string(9 - i));
    Items().EndChanges();
    tree->SetSortType(TSortType::stText);
    EXPECT_EQ(Items().GetFirstNode()->Text(), "n1000");
    EXPECT_EQ(Items().GetFirstNode()->GetFirstChild()->Text(), "c7");

    long compares = 0;
    tree->OnCompare = [&](TObject*, TTreeExNode* a, TTreeExNode* b, LPARAM, Integer& c) {
        ++compares;
        c = a->Text() < b->Text() ? -1 : a->Text() > b->Text() ? 1 : 0;
    };
    tree->SetOptions(tree->Options().With(TTreeOption::toReadOnly));  // needs a new window
    EXPECT_EQ(Items().Count(), 203);
    EXPECT_EQ(Items().GetFirstNode()->Text(), "n1000");
    EXPECT_EQ(Items().GetFirstNode()->GetFirstChild()->Text(), "c7");
    ExpectWindowMatches();
    // One sort of 200 names takes a few thousand comparisons; one per node read would take
    // hundreds of thousands.
    EXPECT_LT(compares, 10000);
}
