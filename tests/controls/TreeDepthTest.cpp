// One depth limit for adding, writing and reading nodes: a tree the control accepts always comes
// back whole from a re-creation of its window.
#include "TreeTestSupport.h"

TEST_F(TreeFixture, DeepestTreeSurvivesRecreationWithItsPluginFields) {
    Items().BeginChanges();
    TTreeExNode* node = nullptr;
    for (Integer level = 0; level <= kMaxTreeLevel; ++level) node = Items().AddChild(node, "n" + std::to_string(level));
    Items().EndChanges();
    ASSERT_EQ(node->Level(), kMaxTreeLevel);
    node->SetPluginHandle(reinterpret_cast<HMODULE>(0x77));
    node->SetPluginChildID("Deepest");

    EXPECT_THROW(Items().AddChild(node, "too deep"), ETreeExError);
    EXPECT_EQ(node->Count(), 0);
    EXPECT_EQ(Items().Count(), kMaxTreeLevel + 1);
    EXPECT_NO_THROW(Items().Add(node, "sibling"));  // a sibling stays on an allowed level

    tree->SetOptions(tree->Options().With(TTreeOption::toReadOnly));  // needs a new window
    ASSERT_EQ(Items().Count(), kMaxTreeLevel + 2);
    TTreeExNode* deepest = Items().Item(kMaxTreeLevel);
    EXPECT_EQ(deepest->Level(), kMaxTreeLevel);
    EXPECT_EQ(deepest->Text(), "n" + std::to_string(kMaxTreeLevel));
    EXPECT_EQ(deepest->PluginHandle(), reinterpret_cast<HMODULE>(0x77));
    EXPECT_EQ(deepest->PluginChildID(), "Deepest");
    EXPECT_EQ(Items().Item(kMaxTreeLevel + 1)->Text(), "sibling");
}
