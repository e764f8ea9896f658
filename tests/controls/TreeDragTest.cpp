// Scrolling near the edges on the manual clock, the rubber band carried with the content, the
// drop highlight with its auto-expand, and the drag image the control makes.
#include "TreeTestSupport.h"

namespace {

class TreeScroll : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        tree->SetOptions(tree->Options().With(TTreeOption::toAutoScroll).With(TTreeOption::toReadOnly));
        std::vector<std::string> lines;
        for (int i = 0; i < 30; ++i) lines.push_back("0:Node" + std::to_string(i));
        n = Build(lines);
    }
    void Move(int x, int y, WPARAM keys = 0) {
        SendMessageA(tree->Handle(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
    }
    Integer Top() { return tree->TopNode() ? tree->TopNode()->AbsoluteIndex() : -1; }
    std::vector<TTreeExNode*> n;
};

TEST_F(TreeScroll, RestingNearTheBottomScrollsFasterThenByPagesUntilTheEnd) {
    Move(50, tree->ClientHeight() - 2);
    EXPECT_EQ(tree->ScrollDirections(), TCustomTreeEx::sdDown);
    clock.Advance(299);
    EXPECT_EQ(Top(), 0);
    clock.Advance(1);
    EXPECT_EQ(Top(), 1);
    std::vector<UINT> waits{tree->ScrollTimer()->Interval()};
    std::vector<Integer> tops{Top()};
    // A millisecond at a time (the timer system may round short waits up); every step scrolls.
    // Deadline: the range ends long before; a step that never stops fails here.
    for (int ms = 0; ms < 5000 && tree->ScrollTimer()->Enabled(); ++ms) {
        clock.Advance(1);
        if (Top() != tops.back()) {
            waits.push_back(tree->ScrollTimer()->Interval());
            tops.push_back(Top());
        }
    }
    EXPECT_FALSE(tree->ScrollTimer()->Enabled());
    EXPECT_EQ(tree->ScrollDirections(), 0u);
    ASSERT_GE(waits.size(), 13u);
    EXPECT_EQ(std::vector<UINT>(waits.begin(), waits.begin() + 13),
              (std::vector<UINT>{37, 27, 20, 15, 11, 8, 6, 4, 3, 2, 1, 1, 1}));
    // One line per step while the wait shrinks, then a page at a time.
    EXPECT_EQ(tops[10], 11);
    EXPECT_GT(tops[12] - tops[11], 1);
    SCROLLINFO v;
    GetTreeScrollInfo(tree->Handle(), SB_VERT, &v);
    EXPECT_EQ(v.nPos + static_cast<int>(v.nPage) - 1, v.nMax);
}

TEST_F(TreeScroll, NearTheTopWithoutAButtonScrollsUp) {
    tree->SetTopNode(n[10]);
    ASSERT_EQ(Top(), 10);
    Move(50, 1);
    EXPECT_EQ(tree->ScrollDirections(), TCustomTreeEx::sdUp);
    clock.Advance(300);
    EXPECT_EQ(Top(), 9);
    Move(50, 40);  // out of the zone: the timer stops
    EXPECT_FALSE(tree->ScrollTimer()->Enabled());
    clock.Advance(1000);
    EXPECT_EQ(Top(), 9);
}

TEST_F(TreeScroll, LeavingTheClientAreaStopsScrolling) {
    Move(50, tree->ClientHeight() - 2);
    ASSERT_TRUE(tree->ScrollTimer()->Enabled());
    POINT outside{tree->ClientWidth() + 40, 5};
    ClientToScreen(tree->Handle(), &outside);
    SendMessageA(tree->Handle(), WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y));
    EXPECT_FALSE(tree->ScrollTimer()->Enabled());
    Move(50, tree->ClientHeight() - 2);
    tree->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(tree->ScrollTimer()->Enabled());
    clock.Advance(1000);
    EXPECT_EQ(Top(), 0);
}

TEST_F(TreeScroll, RubberBandCarriedByTheScrollSelectsNodesScrolledIntoIt) {
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    RECT first = n[0]->ItemRect(true);
    POINT origin{first.right + 20, first.top + 3};  // right of the first label
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(origin.x, origin.y));
    ASSERT_TRUE(tree->RubberBanding());
    const int bottom = tree->ClientHeight() - 2;
    Move(5, bottom, MK_LBUTTON);
    const Integer before = Items().SelectedCount();
    EXPECT_GE(before, 5);
    clock.Advance(300);  // one line
    clock.Advance(37);   // and another
    EXPECT_EQ(Top(), 2);
    Move(5, bottom, MK_LBUTTON);
    EXPECT_EQ(Items().SelectedCount(), before + 2);
    EXPECT_TRUE(n[0]->Selected());  // the band still starts at the first node
    SendMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, bottom));
}

// Drags of nodes inside the control, by the mouse: press, moves with the cursor, release.
class TreeDrag : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        tree->SetOptions(tree->Options().With(TTreeOption::toReadOnly));
        tree->SetDragMode(dmAutomatic);
        n = Build({"0:Folder", "1:Child", "0:Leaf", "0:Other", "1:Inner"});
        tree->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; };
        tree->OnDragDrop = [this](TObject*, TObject* source, int, int) {
            log.push_back(source == tree ? "Drop:tree" : "Drop:other");
        };
        tree->OnEndDrag = [this](TObject*, TObject* target, int, int) {
            log.push_back(target == tree ? "End:tree" : "End:nil");
        };
    }
    POINT Centre(TTreeExNode* node) {
        RECT r = node->ItemRect(true);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Send(UINT msg, POINT client, WPARAM keys) {
        POINT screen = client;
        ClientToScreen(tree->Handle(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageA(tree->Handle(), msg, keys, MAKELPARAM(client.x, client.y));
    }
    void Press(TTreeExNode* node, WPARAM keys = 0) { Send(WM_LBUTTONDOWN, Centre(node), keys | MK_LBUTTON); }
    void MoveTo(TTreeExNode* node) { Send(WM_MOUSEMOVE, Centre(node), MK_LBUTTON); }
    void ReleaseOn(TTreeExNode* node, WPARAM keys = 0) { Send(WM_LBUTTONUP, Centre(node), keys); }
    std::vector<TTreeExNode*> n;
};

TEST_F(TreeDrag, RestingOnACollapsedNodeExpandsItAfterASecond) {
    tree->SetOptions(tree->Options().With(TTreeOption::toAutoExpand));
    Press(n[2]);
    MoveTo(n[0]);
    ASSERT_TRUE(tree->Dragging());
    EXPECT_EQ(tree->DropTargetNode(), n[0]);
    EXPECT_NE(tree->DragObject(), nullptr);
    clock.Advance(600);
    MoveTo(n[3]);  // another node: the wait starts again
    EXPECT_EQ(tree->DropTargetNode(), n[3]);
    clock.Advance(600);
    EXPECT_FALSE(n[3]->Expanded());
    clock.Advance(400);
    EXPECT_TRUE(n[3]->Expanded());
    EXPECT_FALSE(n[0]->Expanded());
    MoveTo(n[2]);  // no children: never expanded
    clock.Advance(2000);
    EXPECT_FALSE(n[2]->Expanded());
    ReleaseOn(n[2]);
    EXPECT_EQ(log, (std::vector<std::string>{"Drop:tree", "End:tree"}));
    EXPECT_FALSE(tree->Dragging());
    EXPECT_EQ(tree->DragObject(), nullptr);
}

TEST_F(TreeDrag, WithoutAutoExpandNothingOpensAndLeavingDropsTheHighlight) {
    tree->SetOptions(tree->Options().Without(TTreeOption::toAutoExpand));
    Press(n[2]);
    MoveTo(n[0]);
    clock.Advance(2000);
    EXPECT_FALSE(n[0]->Expanded());
    // Out over the form: the control hears the leave.
    POINT outside{tree->Width() + 50, 10};
    Send(WM_MOUSEMOVE, outside, MK_LBUTTON);
    EXPECT_EQ(tree->DropTargetNode(), nullptr);
    EXPECT_EQ(tree->DragObject(), nullptr);
    clock.Advance(2000);  // no timer of the control reaches the drag object any more
    Send(WM_LBUTTONUP, outside, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"End:nil"}));
}

TEST_F(TreeDrag, DragImageIsMadeFromTheDraggedItem) {
    EXPECT_EQ(tree->GetDragImages(), nullptr);
    Press(n[2]);
    MoveTo(n[3]);
    TCustomImageList* images = tree->GetDragImages();
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(images->Count(), 1);
    RECT label = n[2]->ItemRect(true);
    EXPECT_EQ(images->Width(), label.right - label.left);
    EXPECT_EQ(images->Height(), label.bottom - label.top);
    ReleaseOn(n[3]);
    EXPECT_EQ(tree->GetDragImages(), nullptr);
}

TEST_F(TreeDrag, ManualDragTakesTheNodeUnderTheCursor) {
    tree->SetDragMode(dmManual);
    POINT p = Centre(n[3]);
    ClientToScreen(tree->Handle(), &p);
    SetCursorPos(p.x, p.y);
    tree->BeginDrag(true);
    ASSERT_NE(tree->GetDragImages(), nullptr);
    RECT label = n[3]->ItemRect(true);
    EXPECT_EQ(tree->GetDragImages()->Width(), label.right - label.left);
    tree->EndDrag(false);
    EXPECT_EQ(tree->GetDragImages(), nullptr);
}

TEST_F(TreeDrag, AnEarlierClickDoesNotDecideWhatALaterDragTakes) {
    Press(n[2]);
    ReleaseOn(n[2]);
    tree->SetSelected(n[0]);
    POINT p = Centre(n[3]);
    ClientToScreen(tree->Handle(), &p);
    SetCursorPos(p.x, p.y);
    tree->BeginDrag(true);
    EXPECT_EQ(tree->Selected(), n[0]);
    ASSERT_NE(tree->GetDragImages(), nullptr);
    RECT label = n[3]->ItemRect(true);
    EXPECT_EQ(tree->GetDragImages()->Width(), label.right - label.left);
    tree->EndDrag(false);
}

TEST_F(TreeDrag, PressAndReleaseWithoutMovingIsAClick) {
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    Press(n[0]);
    ReleaseOn(n[0]);
    Press(n[3], MK_CONTROL);
    ReleaseOn(n[3], MK_CONTROL);
    EXPECT_TRUE(n[0]->Selected());
    EXPECT_TRUE(n[3]->Selected());
    EXPECT_EQ(Items().SelectedCount(), 2);
    EXPECT_TRUE(log.empty());
}

TEST_F(TreeDrag, DraggingASelectedNodeKeepsTheSelection) {
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    Press(n[0]);
    ReleaseOn(n[0]);
    Press(n[3], MK_CONTROL);
    ReleaseOn(n[3], MK_CONTROL);
    Press(n[3]);
    MoveTo(n[2]);
    EXPECT_TRUE(tree->Dragging());
    EXPECT_EQ(Items().SelectedCount(), 2);
    ReleaseOn(n[2]);
}

TEST_F(TreeDrag, DropTargetDeletedWhileTheExpandTimerRunsIsHarmless) {
    tree->SetOptions(tree->Options().With(TTreeOption::toAutoExpand));
    Press(n[2]);
    MoveTo(n[3]);
    n[3]->Delete();
    clock.Advance(2000);
    EXPECT_EQ(tree->DropTargetNode(), nullptr);
    ReleaseOn(n[2]);
    EXPECT_EQ(Items().Count(), 3);
}

}  // namespace
