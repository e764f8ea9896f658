// Check marks: propagation down and up, radio groups, disabled nodes and the two events.
#include "TreeTestSupport.h"

class TreeChecks : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
        tree->OnChecking = [this](TObject*, TTreeExNode* n, bool& allow) {
            log.push_back("Checking:" + n->Text());
            allow = refuse != n->Text();
        };
        tree->OnChecked = [this](TObject*, TTreeExNode* n) { log.push_back("Checked:" + n->Text()); };
    }
    std::string refuse;
};

TEST_F(TreeChecks, InsertedNodesShowTheirParentsKind) {
    Items().SetCheckType(ctRadioButton);
    auto n = Build({"0:A", "1:A1"});
    EXPECT_EQ(n[0]->StateIndex(), 5);
    EXPECT_EQ(n[1]->StateIndex(), 0);
    n[0]->SetCheckType(ctCheckBox);
    TTreeExNode* a2 = Items().AddChild(n[0], "A2");
    EXPECT_EQ(a2->StateIndex(), 1);
}

TEST_F(TreeChecks, DisabledNodeIgnoresWritesAndRefusalChangesNothing) {
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:A", "0:B"});
    n[0]->SetEnabled(false);
    EXPECT_EQ(n[0]->StateIndex(), 3);
    n[0]->SetCheckState(chChecked);
    EXPECT_EQ(n[0]->CheckState(), chUnchecked);
    refuse = "B";
    n[1]->SetCheckState(chChecked);
    EXPECT_EQ(n[1]->CheckState(), chUnchecked);
    EXPECT_EQ(log, (std::vector<std::string>{"Checking:B"}));
}

TEST_F(TreeChecks, NoneParentAsksAndReportsButChangesNothing) {
    auto n = Build({"0:A"});
    n[0]->SetCheckState(chChecked);
    EXPECT_EQ(n[0]->CheckState(), chUnchecked);
    EXPECT_EQ(log, (std::vector<std::string>{"Checking:A", "Checked:A"}));
}

TEST_F(TreeChecks, RadioButtonUnchecksSiblingsDisabledOnesToo) {
    auto n = Build({"0:P", "1:a", "1:b", "1:c"});
    n[0]->SetCheckType(ctRadioButton);
    EXPECT_EQ(n[1]->CheckState(), chChecked);  // the first enabled child is checked
    n[3]->SetEnabled(false);
    n[2]->SetCheckState(chChecked);
    EXPECT_EQ(n[1]->CheckState(), chUnchecked);
    EXPECT_EQ(n[1]->StateIndex(), 5);
    EXPECT_EQ(n[2]->StateIndex(), 6);
    EXPECT_EQ(n[3]->StateIndex(), 7);
}

TEST_F(TreeChecks, RadioSwitchWithAllChildrenDisabledChecksNone) {
    auto n = Build({"0:P", "1:a", "1:b"});
    n[1]->SetEnabled(false);
    n[2]->SetEnabled(false);
    n[0]->SetCheckType(ctRadioButton);
    EXPECT_EQ(n[1]->CheckState(), chUnchecked);
    EXPECT_EQ(n[2]->CheckState(), chUnchecked);
}

struct TriCase {
    const char* name;
    std::vector<TCheckState> children;
    TCheckState parent;
    Integer image;
};

class TreeTriState : public TreeChecks, public ::testing::WithParamInterface<TriCase> {};

TEST_P(TreeTriState, ParentFollowsChildren) {
    Items().SetCheckType(ctTriState);
    auto n = Build({"0:P", "1:a", "1:b", "1:c"});
    n[0]->SetCheckType(ctTriState);
    for (size_t i = 0; i < 3; ++i) n[i + 1]->SetCheckState(GetParam().children[i]);
    EXPECT_EQ(n[0]->CheckState(), GetParam().parent);
    EXPECT_EQ(n[0]->StateIndex(), GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeTriState,
                         ::testing::Values(TriCase{"None", {chUnchecked, chUnchecked, chUnchecked}, chUnchecked, 1},
                                           TriCase{"Some", {chChecked, chPartial, chUnchecked}, chPartial, 4},
                                           TriCase{"AllOn", {chChecked, chPartial, chChecked}, chChecked, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeChecks, TriStateCheckGoesDownThenTheNodeIsRecomputed) {
    Items().SetCheckType(ctTriState);
    auto n = Build({"0:P", "1:a", "1:b"});
    n[0]->SetCheckType(ctTriState);
    refuse = "b";
    n[0]->SetCheckState(chChecked);
    EXPECT_EQ(n[1]->CheckState(), chChecked);
    EXPECT_EQ(n[2]->CheckState(), chUnchecked);
    // The node's own mark is tri-state too, so it is recomputed from what its children took.
    EXPECT_EQ(n[0]->CheckState(), chPartial);
    n[0]->SetCheckState(chPartial);
    EXPECT_EQ(n[1]->CheckState(), chChecked);  // partial leaves the children
}

TEST_F(TreeChecks, WithoutCheckSupportStateChangesButImageStays) {
    tree->SetOptions(tree->Options().Without(TTreeOption::toCheckSupport));
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:A"});
    n[0]->SetCheckState(chChecked);
    EXPECT_EQ(n[0]->CheckState(), chChecked);
    EXPECT_EQ(n[0]->StateIndex(), -1);
}

TEST_F(TreeChecks, ToggleCycles) {
    Items().SetCheckType(ctTriState);
    auto n = Build({"0:A"});
    n[0]->ToggleCheck();
    EXPECT_EQ(n[0]->CheckState(), chPartial);
    n[0]->ToggleCheck();
    EXPECT_EQ(n[0]->CheckState(), chChecked);
    n[0]->ToggleCheck();
    EXPECT_EQ(n[0]->CheckState(), chUnchecked);
}

// OnChecked comes last: the node's mark is set and its tri-state ancestors already show theirs
// (a partial child counts as on for its parent).
TEST_F(TreeChecks, CheckedEventSeesTheAncestorsUpdated) {
    Items().SetCheckType(ctTriState);
    auto n = Build({"0:G", "1:P", "2:a", "2:b"});
    n[0]->SetCheckType(ctTriState);
    n[1]->SetCheckType(ctTriState);
    std::vector<std::string> seen;
    tree->OnChecked = [&](TObject*, TTreeExNode* node) {
        seen.push_back(node->Text() + ":" + std::to_string(node->CheckState()) + " P:" +
                       std::to_string(n[1]->CheckState()) + "/" + std::to_string(n[1]->StateIndex()) + " G:" +
                       std::to_string(n[0]->CheckState()));
    };
    n[2]->SetCheckState(chChecked);
    n[3]->SetCheckState(chChecked);
    EXPECT_EQ(seen, (std::vector<std::string>{"a:1 P:3/4 G:1", "b:1 P:1/2 G:1"}));
}
