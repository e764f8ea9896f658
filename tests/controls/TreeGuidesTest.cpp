// The tree's lines, expand buttons and scroll bars as drawn, hit-tested where they are seen.
#include "TreeTestSupport.h"
#include "platform/Style.h"

namespace {

class TreeGuidesTest : public TreeFixture {
protected:
    platform::DisplayList Painted() {
        platform::ClearWindowDisplayList(tree->Handle());
        InvalidateRect(tree->Handle(), nullptr, TRUE_);
        UpdateWindow(tree->Handle());
        return platform::WindowDisplayList(tree->Handle());
    }
    UINT HitFlags(POINT p, HTREEITEM* item = nullptr) {
        TVHITTESTINFO info;
        info.pt = p;
        auto hit = reinterpret_cast<HTREEITEM>(SendMessageA(tree->Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
        if (item) *item = hit;
        return info.flags;
    }
};

// The boxes the style drew for expand buttons: a white square framed in the line colour.
std::vector<RECT> ButtonBoxes(const platform::DisplayList& list) {
    std::vector<RECT> boxes;
    for (const auto& item : list)
        if (item.op == platform::DrawOp::FrameRect && item.rect.right - item.rect.left == platform::kExpandButtonSize &&
            item.rect.bottom - item.rect.top == platform::kExpandButtonSize)
            boxes.push_back(item.rect);
    return boxes;
}

TEST_F(TreeGuidesTest, ButtonsAreDrawnWhereTheHitTestFindsThem) {
    TTreeExNode* root = Items().Add(nullptr, "Root");
    TTreeExNode* folder = Items().AddChild(root, "Folder");
    Items().AddChild(folder, "Leaf");
    Items().AddChild(root, "Last");
    root->Expand(false);
    std::vector<RECT> boxes = ButtonBoxes(Painted());
    ASSERT_EQ(boxes.size(), 2u);  // Root (open) and Folder (closed); leaves have none
    for (const RECT& box : boxes) {
        POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        HTREEITEM item = nullptr;
        EXPECT_EQ(HitFlags(centre, &item) & TVHT_ONITEMBUTTON, TVHT_ONITEMBUTTON);
        RECT row = Items().GetNode(item)->ItemRect(false);
        EXPECT_TRUE(centre.y >= row.top && centre.y < row.bottom);
    }
    // Clicking the drawn button of the closed folder opens it.
    const RECT& folderBox = boxes[1];
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM((folderBox.left + folderBox.right) / 2, (folderBox.top + folderBox.bottom) / 2));
    SendMessageA(tree->Handle(), WM_LBUTTONUP, 0,
                 MAKELPARAM((folderBox.left + folderBox.right) / 2, (folderBox.top + folderBox.bottom) / 2));
    EXPECT_TRUE(folder->Expanded());
}

TEST_F(TreeGuidesTest, LinesRunThroughTheIndentOfTheirRows) {
    TTreeExNode* root = Items().Add(nullptr, "Root");
    TTreeExNode* first = Items().AddChild(root, "First");
    Items().AddChild(first, "Deep");
    Items().AddChild(root, "Second");
    root->Expand(true);
    const COLORREF lineColor = platform::Style::Current().Colors().treeLine;
    int vertical = 0;
    for (const auto& item : Painted()) {
        if (item.op != platform::DrawOp::Line || item.color != lineColor) continue;
        POINT mid{(item.from.x + item.to.x) / 2, (item.from.y + item.to.y) / 2};
        if (item.from.x == item.to.x) ++vertical;
        // Every line lies in some row's indent, never over a label.
        UINT flags = HitFlags(mid);
        EXPECT_TRUE(flags & (TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON)) << mid.x << "," << mid.y << " " << flags;
    }
    // One for each child row's own column, and at Deep the line that goes on to First's sibling.
    EXPECT_EQ(vertical, 4);
}

TEST_F(TreeGuidesTest, OverflowShowsABarThatScrollsByDragAndWheel) {
    TTreeExNode* root = Items().Add(nullptr, "Root");
    for (int i = 0; i < 40; ++i) Items().AddChild(root, "Item " + std::to_string(i));
    root->Expand(false);
    Painted();
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(tree->Handle(), SB_VERT, &si));
    ASSERT_TRUE(platform::ScrollNeeded(si));
    SendMessageA(tree->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), 3);

    RECT client = tree->ClientRect();
    RECT bar = platform::VerticalBarRect(client, false);
    si.fMask = SIF_ALL;
    GetScrollInfo(tree->Handle(), SB_VERT, &si);
    platform::ScrollGeometry g = platform::LayoutScrollBar(bar, true, si);
    POINT grab{(g.thumb.left + g.thumb.right) / 2, g.thumb.top + 2};
    TTreeExNode* selected = tree->Selected();
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    SendMessageA(tree->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x, client.bottom + 40));
    SendMessageA(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(grab.x, client.bottom + 40));
    EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), platform::MaxScrollPos(si));
    EXPECT_EQ(tree->Selected(), selected);  // the press was the bar's, not a row's
}

}  // namespace
