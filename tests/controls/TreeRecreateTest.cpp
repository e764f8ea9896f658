// Re-creating the tree's window keeps the tree, its top item and selection, and the catalogue
// fields the node stream does not carry.
#include "TreeTestSupport.h"

TEST_F(TreeFixture, RecreationKeepsTreeSelectionAndPluginFields) {
    auto n = Build({"0:Backup's", "1:Folder", "2:Job", "0:Actions"});
    n[2]->SetSystemName("QelBackup");
    n[2]->SetNodeKind(nkBackup);
    n[2]->SetPluginHandle(reinterpret_cast<HMODULE>(0x4242));
    n[2]->SetPluginChildID("FormMain_1");
    n[1]->SetSavedExpanded(true);
    n[0]->Expand(false);
    n[1]->Expand(false);
    tree->SetSelected(n[2]);
    std::vector<std::pair<std::string, HMODULE>> changes;
    tree->OnChange = [&](TObject*, TTreeExNode* node) {
        changes.emplace_back(node ? node->Text() : "nil", node ? node->PluginHandle() : nullptr);
    };

    tree->SetOptions(tree->Options().With(TTreeOption::toReadOnly));  // needs a new window

    ExpectWindowMatches();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Backup's", " Folder", "  Job", "Actions"}));
    TTreeExNode* job = Items().Item(2);
    EXPECT_NE(job, nullptr);
    EXPECT_EQ(job->SystemName(), "QelBackup");
    EXPECT_EQ(job->PluginHandle(), reinterpret_cast<HMODULE>(0x4242));
    EXPECT_EQ(job->PluginChildID(), "FormMain_1");
    EXPECT_TRUE(Items().Item(1)->SavedExpanded());
    EXPECT_TRUE(Items().Item(0)->Expanded());
    EXPECT_TRUE(Items().Item(1)->Expanded());
    EXPECT_EQ(tree->Selected(), job);
    // One change notice, for the restored selection, and it already sees the plug-in fields:
    // the manager never loads that backup's page a second time.
    // While the old window goes, handlers hear only that nothing is selected (never of a node
    // about to be freed); then one notice for the restored selection, which already carries
    // the plug-in fields: the manager never loads that backup's page a second time.
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].first, "nil");
    EXPECT_EQ(changes[1].first, "Job");
    EXPECT_EQ(changes[1].second, reinterpret_cast<HMODULE>(0x4242));
}

TEST_F(TreeFixture, RecreationWithoutSelectionSelectsNothing) {
    Build({"0:A", "0:B"});
    tree->SetColor(clRed);  // every colour change makes a new window
    EXPECT_EQ(Items().Count(), 2);
    EXPECT_EQ(tree->Selected(), nullptr);
}

TEST_F(TreeFixture, RecreationKeepsIndentAndItemHeight) {
    Build({"0:A"});
    tree->SetIndent(25);
    tree->SetItemHeight(20);
    tree->SetBorderStyle(bsNone);
    EXPECT_EQ(tree->Indent(), 25);
    EXPECT_EQ(tree->ItemHeight(), 20);
}

TEST_F(TreeFixture, OptionsReachTheLiveWindow) {
    tree->SetOptions(tree->Options().With(TTreeOption::toInfoTip));
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_STYLE) & TVS_INFOTIP);
    HWND before = tree->Handle();
    tree->SetOptions(tree->Options().Without(TTreeOption::toInfoTip));
    EXPECT_FALSE(GetWindowLongA(tree->Handle(), GWL_STYLE) & TVS_INFOTIP);
    EXPECT_EQ(tree->Handle(), before);  // no new window for this one
    tree->SetOptions(tree->Options().With(TTreeOption::toFullRowSelect));
    EXPECT_FALSE(tree->Options().Has(TTreeOption::toShowLines));
    EXPECT_TRUE(GetWindowLongA(tree->Handle(), GWL_STYLE) & TVS_FULLROWSELECT);
}

TEST_F(TreeFixture, RemovingMultiSelectClearsSelectionWithOneNilChange) {
    auto n = Build({"0:A", "0:B"});
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    Items().SelectNode(n[0], TSelectMode::smSelect);
    Items().SelectNode(n[1], TSelectMode::smSelect);
    Record();
    tree->SetOptions(tree->Options().Without(TTreeOption::toMultiSelect));
    EXPECT_EQ(Items().SelectedCount(), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Change:nil"), 1);
}

TEST_F(TreeFixture, PropertiesThroughTheWindow) {
    tree->SetScrollTime(50);
    EXPECT_EQ(tree->ScrollTime(), 100);
    tree->SetItemHeight(0);
    EXPECT_EQ(tree->ItemHeight(), 16);  // the window's default for the default font
    TTreeEx unplaced(nullptr);
    EXPECT_FALSE(unplaced.SortByText());  // no window, nothing sorted
}

TEST_F(TreeFixture, SortingKeepsWindowAndListInStepAndDataCannotOverflow) {
    auto n = Build({"0:b", "0:a", "0:c"});
    n[0]->SetData(INT32_MIN);
    n[1]->SetData(INT32_MAX);
    n[2]->SetData(0);
    tree->SetSortType(TSortType::stData);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "c", "a"}));
    ExpectWindowMatches();
    tree->SetSortType(TSortType::stText);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "c"}));
    ExpectWindowMatches();
    // A text change re-sorts its siblings.
    Items().Item(0)->SetText("z");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "c", "z"}));
    ExpectWindowMatches();
}

TEST_F(TreeFixture, InconsistentOnCompareStillEndsWithWindowFollowingList) {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) lines.push_back("0:n" + std::to_string(i));
    Build(lines);
    unsigned seed = 7;
    tree->OnCompare = [&](TObject*, TTreeExNode*, TTreeExNode*, LPARAM, Integer& c) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<Integer>((seed >> 16) % 3) - 1;
    };
    tree->SortByText();
    ExpectWindowMatches();
    EXPECT_EQ(Items().Count(), 50);
}

TEST_F(TreeFixture, HitTestsAndRectsThroughTheControl) {
    auto n = Build({"0:abc", "0:de"});
    tree->SetBounds(0, 0, 204, 104);  // single border: client 200 x 100
    RECT r = n[1]->ItemRect(true);
    // Lines at root: one indent (19) before the label; rows of 16 for the default font.
    EXPECT_EQ(r.left, 19);
    EXPECT_EQ(r.top, 16);
    EXPECT_EQ(r.right, 19 + 2 * 7 + 4);
    EXPECT_EQ(r.bottom, 32);
    EXPECT_EQ(tree->NodeAtPoint(25, 20), n[1]);
    using H = TTreeHitTest;
    EXPECT_EQ(tree->HitTestAt(25, 20), HitBit(H::thOnItem) | HitBit(H::thOnLabel));
    EXPECT_EQ(tree->HitTestAt(150, 20), HitBit(H::thOnRight));
    EXPECT_EQ(tree->HitTestAt(5, 5), HitBit(H::thOnIndent));
    EXPECT_EQ(tree->HitTestAt(5, 80), HitBit(H::thNowhere));
    EXPECT_EQ(tree->NodeAtPoint(5, 80), nullptr);
}

TEST_F(TreeFixture, OnCompareThatDeletesANodeLeavesNoFreedNodeInTheList) {
    auto n = Build({"0:P", "1:c", "1:a", "1:b", "1:d"});
    bool deleted = false;
    tree->OnCompare = [&](TObject*, TTreeExNode* x, TTreeExNode* y, LPARAM, Integer& c) {
        if (!deleted) {
            deleted = true;
            n[3]->Delete();  // "b" goes in the middle of the sort
        }
        c = x->Text().compare(y->Text());
    };
    n[0]->SortChildren(nullptr, 0);
    ASSERT_EQ(n[0]->Count(), 3);
    EXPECT_EQ(n[0]->Item(0)->Text(), "a");
    EXPECT_EQ(n[0]->Item(1)->Text(), "c");
    EXPECT_EQ(n[0]->Item(2)->Text(), "d");
    ExpectWindowMatches();
}

TEST_F(TreeFixture, FontChangeReachesTheWindowMetrics) {
    Build({"0:A", "0:B"});
    tree->Font()->SetHeight(-20);  // cell 22 + 3 = 25, even: 24
    EXPECT_EQ(tree->ItemHeight(), 24);
    EXPECT_EQ(Items().Item(1)->ItemRect(true).top, 24);
}
