// Handlers that delete the very node they are told about: the control must notice and stop
// touching it (the sanitizer build turns any later use into a failure).
#include <functional>

#include "TreeTestSupport.h"

namespace {

struct DeleteCase {
    const char* name;
    // Makes the handler under test call kill(node) for the node it is given.
    std::function<void(TTreeEx*, std::function<void(TTreeExNode*)>)> hook;
    // Runs the action that reaches the handler with nodes[victim].
    std::function<void(TTreeEx*, std::vector<TTreeExNode*>&)> act;
    size_t victim;
};

std::ostream& operator<<(std::ostream& os, const DeleteCase& c) { return os << c.name; }

const DeleteCase kCases[] = {
    {"Expanding", [](TTreeEx* t, auto kill) { t->OnExpanding = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); }, 1},
    {"ExpandingTop", [](TTreeEx* t, auto kill) { t->OnExpanding = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); }, 0},
    {"Expanded", [](TTreeEx* t, auto kill) { t->OnExpanded = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); }, 1},
    {"ExpandedTop", [](TTreeEx* t, auto kill) { t->OnExpanded = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); }, 0},
    {"Collapsing", [](TTreeEx* t, auto kill) { t->OnCollapsing = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); n[0]->Collapse(true); }, 1},
    {"Collapsed", [](TTreeEx* t, auto kill) { t->OnCollapsed = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[0]->Expand(true); n[0]->Collapse(true); }, 1},
    {"CollapseAll", [](TTreeEx* t, auto kill) { t->OnCollapsed = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx* t, auto& n) { n[0]->Expand(true); t->CollapseAll(); }, 0},
    {"Checking", [](TTreeEx* t, auto kill) { t->OnChecking = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[1]->SetCheckState(chChecked); }, 1},
    {"CheckingChild", [](TTreeEx* t, auto kill) { t->OnChecking = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[1]->SetCheckState(chChecked); }, 2},
    {"Checked", [](TTreeEx* t, auto kill) { t->OnChecked = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[1]->SetCheckState(chChecked); }, 1},
    {"CheckedChild", [](TTreeEx* t, auto kill) { t->OnChecked = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[1]->SetCheckState(chChecked); }, 2},
    {"CheckedByToggle", [](TTreeEx* t, auto kill) { t->OnChecked = [kill](TObject*, TTreeExNode* n) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[1]->ToggleCheck(); }, 1},
    {"Changing", [](TTreeEx* t, auto kill) { t->OnChanging = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx*, auto& n) { n[4]->SetSelected(true); }, 4},
    {"Editing", [](TTreeEx* t, auto kill) { t->OnEditing = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; },
     [](TTreeEx* t, auto& n) {
         auto editor = t->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[4]->ItemId()));
         EXPECT_EQ(editor, 0);
     },
     4},
    {"HelpContext",
     [](TTreeEx* t, auto kill) {
         t->SetOptions(t->Options().With(TTreeOption::toMultiSelect));
         t->OnGetHelpContext = [kill](TObject*, TTreeExNode* n, Integer&) { kill(n); };
     },
     [](TTreeEx* t, auto& n) {
         t->SetSelected(n[2]);
         t->Perform(WM_KEYDOWN, VK_F1, 0);
     },
     2},
};

class TreeHandlerDeletes : public TreeFixture, public ::testing::WithParamInterface<DeleteCase> {};

}  // namespace

TEST_P(TreeHandlerDeletes, NodeIsNeverTouchedAgain) {
    const DeleteCase& c = GetParam();
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    // R is tri-state so that its children's children follow them and the marks go upward.
    auto n = Build({"0:R", "1:A", "2:A1", "2:A2", "1:B", "2:B1"});
    n[0]->SetCheckType(ctTriState);
    n[1]->SetCheckType(ctTriState);
    const std::string victimText = n[c.victim]->Text();
    TTreeExNode* victim = n[c.victim];
    int kills = 0;
    c.hook(tree, [&](TTreeExNode* node) {
        if (node == victim && Items().IsLive(node) && !node->Deleting()) {
            ++kills;
            node->Delete();
        }
    });
    c.act(tree, n);
    EXPECT_EQ(kills, 1);
    EXPECT_FALSE(Items().IsLive(victim));
    for (const std::string& line : Texts()) EXPECT_NE(line.substr(line.find_first_not_of(' ')), victimText);
    ExpectWindowMatches();
}

INSTANTIATE_TEST_SUITE_P(EachHandler, TreeHandlerDeletes, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Reading a tree runs the same handlers; one that deletes a node being read ends the read with
// a clear error (or, once the node is complete, lets it go), never with a freed node in use.
namespace {

struct ReadCase {
    const char* name;
    std::function<void(TTreeEx*, std::function<void(TTreeExNode*)>)> hook;
    const char* victim;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << c.name; }

const ReadCase kReadCases[] = {
    {"CheckingSelf", [](TTreeEx* t, auto kill) { t->OnChecking = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; }, "A"},
    {"CheckedLeaf", [](TTreeEx* t, auto kill) { t->OnChecked = [kill](TObject*, TTreeExNode* n) { kill(n); }; }, "A1"},
    {"ChangingSelected", [](TTreeEx* t, auto kill) { t->OnChanging = [kill](TObject*, TTreeExNode* n, bool&) { kill(n); }; }, "B"},
    // A node just added has no text yet: the first child added under R.
    {"ChangeOfNewChild", [](TTreeEx* t, auto kill) { t->OnChange = [kill](TObject*, TTreeExNode* n) { kill(n); }; }, ""},
    {"ChangeOfNewTop", [](TTreeEx* t, auto kill) { t->OnChange = [kill](TObject*, TTreeExNode* n) { kill(n); }; }, "top"},
    {"ExpandedParent", [](TTreeEx* t, auto kill) { t->OnExpanded = [kill](TObject*, TTreeExNode* n) { kill(n); }; }, "A"},
};

class TreeReadHandlerDeletes : public TreeFixture, public ::testing::WithParamInterface<ReadCase> {};

}  // namespace

TEST_P(TreeReadHandlerDeletes, ReadStopsOrGoesOnWithoutTheNode) {
    const ReadCase& c = GetParam();
    auto n = Build({"0:R", "1:A", "2:A1", "1:B"});
    n[1]->Expand(false);
    n[0]->Expand(false);
    n[3]->SetSelected(true);
    TMemoryStream stream;
    Items().WriteTree(stream);
    Items().Clear();
    tree->SetChangeDelay(0);
    int kills = 0;
    c.hook(tree, [&](TTreeExNode* node) {
        if (!node || kills != 0 || !Items().IsLive(node) || node->Deleting()) return;
        const std::string victim = c.victim;
        bool hit = victim == "top"  ? node->Text().empty() && !node->Parent()
                   : victim.empty() ? node->Text().empty() && node->Parent() && node->Parent()->Text() == "R"
                                    : node->Text() == victim;
        if (hit) {
            ++kills;
            node->Delete();
        }
    });
    stream.SetPosition(0);
    try {
        Items().ReadTree(stream);
    } catch (const ETreeExError&) {
    }
    EXPECT_EQ(kills, 1);
    EXPECT_EQ(Items().UpdateCount(), 0);
    ExpectWindowMatches();
}

INSTANTIATE_TEST_SUITE_P(EachHandler, TreeReadHandlerDeletes, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });
