// Building the tree through the collection; after every step the window's items must mirror
// the node objects.
#include "TreeTestSupport.h"

TEST_F(TreeFixture, AddInsertDeleteClearKeepWindowAndNodesInStep) {
    auto n = Build({"0:A", "1:A1", "1:A2", "2:A2x", "0:B"});
    ExpectWindowMatches();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", " A1", " A2", "  A2x", "B"}));
    EXPECT_EQ(Items().Count(), 5);

    Items().Add(n[1], "A3");  // a sibling of A1: last child of A
    Items().Add(n[0], "C");   // a sibling of a top-level node: top level
    Items().Add(nullptr, "D");
    ExpectWindowMatches();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", " A1", " A2", "  A2x", " A3", "B", "C", "D"}));

    n[2]->Delete();  // A2 and its child go
    ExpectWindowMatches();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", " A1", " A3", "B", "C", "D"}));

    Items().Item(0)->DeleteChildren();
    ExpectWindowMatches();
    EXPECT_EQ(Items().Item(0)->Count(), 0);
    EXPECT_FALSE(Items().Item(0)->HasChildren());

    Items().Clear();
    ExpectWindowMatches();
    EXPECT_EQ(Items().Count(), 0);
    EXPECT_EQ(Items().GetFirstNode(), nullptr);
    EXPECT_EQ(Items().Root()->Count(), 0);
}

TEST_F(TreeFixture, NewNodeDefaultsAndNavigation) {
    auto n = Build({"0:A", "1:A1", "1:A2", "0:B"});
    TTreeExNode* a1 = n[1];
    EXPECT_EQ(a1->ImageIndex(), -1);
    EXPECT_EQ(a1->SelectedIndex(), -1);
    EXPECT_EQ(a1->OverlayIndex(), -1);
    EXPECT_EQ(a1->StateIndex(), -1);
    EXPECT_TRUE(a1->Enabled());
    EXPECT_TRUE(a1->ParentColor());
    EXPECT_TRUE(a1->ParentFont());
    EXPECT_FALSE(a1->HasOwnFontObject());
    EXPECT_EQ(n[0]->Parent(), nullptr);
    EXPECT_EQ(n[0]->Level(), 0);
    EXPECT_EQ(a1->Level(), 1);
    EXPECT_TRUE(a1->HasAsParent(nullptr));
    EXPECT_TRUE(a1->HasAsParent(n[0]));
    EXPECT_FALSE(n[3]->HasAsParent(n[0]));
    EXPECT_EQ(a1->GetNextSibling(), n[2]);
    EXPECT_EQ(n[2]->GetPrevSibling(), a1);
    EXPECT_EQ(n[3]->GetPrev(), n[2]);
    EXPECT_EQ(n[2]->GetNext(), n[3]);
    EXPECT_EQ(n[3]->AbsoluteIndex(), 3);
    EXPECT_FALSE(a1->IsVisible());
    EXPECT_EQ(n[0]->GetNextVisible(), n[3]);
    n[0]->Expand(false);
    EXPECT_TRUE(a1->IsVisible());
    EXPECT_EQ(n[0]->GetNextVisible(), a1);
    EXPECT_EQ(n[3]->GetPrevVisible(), n[2]);
}

TEST_F(TreeFixture, ItemIndexErrors) {
    auto n = Build({"0:A", "1:A1"});
    try {
        n[0]->Item(1);
        FAIL();
    } catch (const ETreeExError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(n[0]->Item(-1), EListError);
    try {
        Items().Item(2);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
}

TEST_F(TreeFixture, DeletingLastChildCollapsesParentAndClearsHasChildren) {
    auto n = Build({"0:A", "1:A1"});
    n[0]->Expand(false);
    EXPECT_TRUE(n[0]->Expanded());
    EXPECT_TRUE(n[0]->HasChildren());
    n[1]->Delete();
    EXPECT_FALSE(n[0]->Expanded());
    EXPECT_FALSE(n[0]->HasChildren());
    ExpectWindowMatches();
}

TEST_F(TreeFixture, DeletionNotifiesChildrenFirstAndHandlersSeeLiveNodes) {
    auto n = Build({"0:A", "1:A1", "2:A1a", "1:A2", "0:B"});
    std::vector<std::string> seen;
    tree->OnDeletion = [&](TObject*, TTreeExNode* node) {
        seen.push_back(node->Text());
        // Every node the handler can reach from the root is alive and whole.
        for (TTreeExNode* m = Items().GetFirstNode(); m; m = m->GetNext()) EXPECT_FALSE(m->Text().empty());
        for (Integer i = 0; node->Parent() && i < node->Parent()->Count(); ++i)
            EXPECT_TRUE(Items().IsLive(node->Parent()->Item(i)));
    };
    n[0]->Delete();
    EXPECT_EQ(seen, (std::vector<std::string>{"A1a", "A1", "A2", "A"}));
    ExpectWindowMatches();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"B"}));
}

TEST_F(TreeFixture, DeletedCaretMovesToNextThenPreviousSiblingThenParent) {
    auto n = Build({"0:P", "1:a", "1:b", "1:c"});
    tree->SetSelected(n[2]);
    ASSERT_EQ(tree->Selected(), n[2]);
    n[2]->Delete();
    EXPECT_EQ(tree->Selected(), n[3]);  // next sibling
    n[3]->Delete();
    EXPECT_EQ(tree->Selected(), n[1]);  // previous sibling
    n[1]->Delete();
    EXPECT_EQ(tree->Selected(), n[0]);  // parent
    EXPECT_EQ(Items().SelectedCount(), 1);
    EXPECT_EQ(Items().FirstSelected(), n[0]);
}

TEST_F(TreeFixture, ReferencesToADeletedNodeAreDropped) {
    tree->SetChangeDelay(300);
    auto n = Build({"0:A", "0:B"});
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    Items().SelectNode(n[1], TSelectMode::smSelect);
    n[1]->SetDropTarget(true);
    ASSERT_EQ(tree->PendingChangeNode(), n[1]);
    ASSERT_EQ(tree->LastDropTarget(), n[1]);
    std::vector<std::string> changes;
    tree->OnChange = [&](TObject*, TTreeExNode* node) { changes.push_back(node ? node->Text() : "nil"); };
    n[1]->Delete();
    EXPECT_EQ(tree->PendingChangeNode(), nullptr);
    EXPECT_EQ(tree->LastDropTarget(), nullptr);
    EXPECT_EQ(Items().SelectedCount(), 0);
    clock.Advance(1000);
    EXPECT_TRUE(changes.empty());
}

TEST_F(TreeFixture, SelectionModesAndLevelConstraint) {
    auto n = Build({"0:A", "1:A1", "0:B"});
    Items().SelectNode(n[0], TSelectMode::smSelect);
    Items().SelectNode(n[2], TSelectMode::smToggle);
    EXPECT_EQ(Items().SelectedCount(), 2);
    Items().SelectNode(n[2], TSelectMode::smToggle);
    EXPECT_EQ(Items().SelectedCount(), 1);
    EXPECT_TRUE(n[0]->Selected());
    TVITEMA rec;
    rec.mask = TVIF_STATE;
    rec.hItem = n[0]->ItemId();
    rec.stateMask = TVIS_SELECTED;
    tree->Perform(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&rec));
    EXPECT_TRUE(rec.state & TVIS_SELECTED);
    tree->ClearSelection();
    EXPECT_EQ(Items().SelectedCount(), 0);

    tree->SetOptions(tree->Options().With(TTreeOption::toLevelSelectConstraint));
    Items().SetSelectLevel(-1);
    Items().SelectNode(n[0], TSelectMode::smSelect);
    EXPECT_EQ(Items().SelectedCount(), 0);
}

TEST_F(TreeFixture, SelectNodesReplacesOrAddsVisibleRange) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    Items().SelectNode(n[3], TSelectMode::smSelect);
    Items().SelectNodes(n[2], n[0], false);
    EXPECT_TRUE(n[0]->Selected() && n[1]->Selected() && n[2]->Selected());
    EXPECT_FALSE(n[3]->Selected());
    Items().SelectNodes(n[3], n[3], true);
    EXPECT_EQ(Items().SelectedCount(), 4);
}

TEST_F(TreeFixture, BeginChangesNests) {
    Items().BeginChanges();
    Items().BeginChanges();
    Items().EndChanges();
    EXPECT_EQ(Items().UpdateCount(), 1);
    EXPECT_FALSE(platform::detail::TreeViewWindowOf(tree->Handle())->Redraw());
    Items().EndChanges();
    EXPECT_TRUE(platform::detail::TreeViewWindowOf(tree->Handle())->Redraw());
    Items().EndChanges();
    EXPECT_EQ(Items().UpdateCount(), 0);
}

TEST_F(TreeFixture, AssignBetweenCollections) {
    Build({"0:A", "1:A1", "0:B"});
    Items().SetCheckType(ctCheckBox);
    TTreeEx& other = *NewTree(form);
    other.Items()->Assign(tree->Items());
    EXPECT_EQ(other.Items()->Count(), 3);
    EXPECT_EQ(other.Items()->Item(1)->Text(), "A1");
    EXPECT_EQ(other.Items()->CheckType(), ctCheckBox);
    TTreeEx& empty = *NewTree(form);
    tree->Items()->Assign(empty.Items());
    EXPECT_EQ(Items().Count(), 0);
    EXPECT_EQ(Items().CheckType(), ctNone);
}

TEST_F(TreeFixture, DestroyingControlWithHandlersBoundRunsNoEvent) {
    Build({"0:A", "1:A1", "0:B"});
    Items().Item(0)->Expand(false);
    tree->SetChangeDelay(100);
    bool ran = false;
    auto mark = [&](TObject*, TTreeExNode*) { ran = true; };
    tree->OnChange = mark;
    tree->OnCollapsed = mark;
    tree->OnDeletion = mark;
    tree->SetSelected(Items().Item(1));
    tree->Free();
    tree = nullptr;
    clock.Advance(500);
    EXPECT_FALSE(ran);
}

TEST_F(TreeFixture, ALargeTreeStaysInStepThroughReadAndClear) {
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        lines.push_back("0:f" + std::to_string(i));
        for (int k = 0; k < 9; ++k) lines.push_back("1:b" + std::to_string(i) + "." + std::to_string(k));
    }
    Build(lines);
    EXPECT_EQ(Items().Count(), 3000);
    TMemoryStream ms;
    Items().WriteTree(ms);
    ms.SetPosition(0);
    Items().ReadTree(ms);
    EXPECT_EQ(Items().Count(), 3000);
    EXPECT_EQ(Items().Item(2999)->Text(), "b299.8");
    ExpectWindowMatches();
    Items().Clear();
    EXPECT_EQ(Items().Count(), 0);
}

namespace {
LRESULT ReflectingParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (platform::ReflectControlMessage(hwnd, msg, wParam, lParam, &result)) return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(TreeFixture, ControlInAForeignWindowThatReflectsNotifications) {
    WNDCLASSA wc;
    wc.lpfnWndProc = ReflectingParent;
    wc.lpszClassName = "TreeTestForm";
    RegisterClassA(&wc);
    HWND foreign = CreateWindowExA(0, "TreeTestForm", "form", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
    TTreeEx& onForm = *new TTreeEx(nullptr);
    onForm.SetParentWindow(foreign);
    std::vector<std::string> changes;
    onForm.OnChange = [&](TObject*, TTreeExNode* n) { changes.push_back(n ? n->Text() : "nil"); };
    TTreeExNode* a = onForm.Items()->AddChild(nullptr, "A");
    EXPECT_EQ(GetParent(onForm.Handle()), foreign);
    onForm.SetSelected(a);
    EXPECT_EQ(changes, (std::vector<std::string>{"A", "A"}));  // the insertion, then the selection
    EXPECT_EQ(onForm.Items()->FirstSelected(), a);
    onForm.Free();
    DestroyWindow(foreign);
}
