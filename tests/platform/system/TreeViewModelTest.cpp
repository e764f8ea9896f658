// The tree window's pure model: metrics from the font rule, item rectangles and hit tests.
#include <gtest/gtest.h>

#include "platform/system/detail/TreeViewModel.h"

using platform::detail::TreeItem;
using platform::detail::TreeViewModel;

namespace {

TreeItem* Add(TreeViewModel& m, TreeItem& parent, const std::string& text) {
    TreeItem* item = m.Insert(parent, TVI_LAST);
    item->text = text;
    return item;
}

}  // namespace

TEST(TreeViewModel, RowHeightFollowsFontCell) {
    TreeViewModel m;
    m.SetFontHeight(-11);  // cell 13, + padding 3 = 16
    EXPECT_EQ(m.CellHeight(), 13);
    EXPECT_EQ(m.CharWidth(), 7);
    EXPECT_EQ(m.ItemHeight(), 16);
    m.SetFontHeight(-12);  // cell 14 + 3 = 17, even rule: 16
    EXPECT_EQ(m.ItemHeight(), 16);
    m.SetStyle(TVS_NONEVENHEIGHT);
    EXPECT_EQ(m.ItemHeight(), 17);
    m.SetItemHeight(21);
    EXPECT_EQ(m.ItemHeight(), 21);
    m.SetItemHeight(-1);
    EXPECT_EQ(m.ItemHeight(), 17);
}

struct HitCase {
    const char* name;
    int x, y;
    UINT flags;
    int item;  // index into {a, b, c}, -1 none
};

class TreeHitTest : public ::testing::TestWithParam<HitCase> {};

// Layout (font -11: rows 16 high, chars 7 wide; indent 19; lines at root; buttons; 16 px state
// images): row 0 "a" (has child, expanded) at y 0..15, row 1 "b" (level 1) at 16..31, row 2 "c"
// at 32..47. For "a": button column 0..18, state image 19..35, label 36..47 (1 char + 2*2).
TEST_P(TreeHitTest, ClassifiesPoint) {
    TreeViewModel m;
    m.SetStyle(TVS_LINESATROOT | TVS_HASBUTTONS);
    m.SetClientSize(200, 100);
    m.SetImageSizes(0, 0, 16, 16);
    TreeItem* a = Add(m, m.Root(), "a");
    TreeItem* b = Add(m, *a, "bb");
    TreeItem* c = Add(m, m.Root(), "c");
    a->state |= TVIS_EXPANDED;
    a->state |= INDEXTOSTATEIMAGEMASK(1);
    TreeItem* items[] = {a, b, c};
    const HitCase& hc = GetParam();
    UINT flags = 0;
    TreeItem* hit = m.HitTest(POINT{hc.x, hc.y}, flags);
    EXPECT_EQ(flags, hc.flags);
    EXPECT_EQ(hit, hc.item < 0 ? nullptr : items[hc.item]);
}

INSTANTIATE_TEST_SUITE_P(
    Points, TreeHitTest,
    ::testing::Values(HitCase{"Button", 5, 5, TVHT_ONITEMBUTTON, 0}, HitCase{"StateIcon", 20, 5, TVHT_ONITEMSTATEICON, 0},
                      HitCase{"Label", 40, 5, TVHT_ONITEMLABEL, 0}, HitCase{"Right", 48, 5, TVHT_ONITEMRIGHT, 0},
                      HitCase{"IndentOfChild", 5, 20, TVHT_ONITEMINDENT, 1},
                      HitCase{"ChildWithoutButtonIndent", 25, 20, TVHT_ONITEMINDENT, 1},
                      HitCase{"ChildLabel", 40, 20, TVHT_ONITEMLABEL, 1},
                      HitCase{"NoButtonWithoutChildren", 5, 36, TVHT_ONITEMINDENT, 2},
                      HitCase{"BelowLastRow", 10, 60, TVHT_NOWHERE, -1}, HitCase{"Above", 10, -1, TVHT_ABOVE, -1},
                      HitCase{"Below", 10, 100, TVHT_BELOW, -1}, HitCase{"ToLeft", -1, 5, TVHT_TOLEFT, -1},
                      HitCase{"ToRight", 200, 5, TVHT_TORIGHT, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TreeViewModel, ItemRectsAndScrolling) {
    TreeViewModel m;
    m.SetStyle(TVS_LINESATROOT);
    m.SetClientSize(100, 40);  // two whole rows
    std::vector<TreeItem*> items;
    for (int i = 0; i < 5; ++i) items.push_back(Add(m, m.Root(), "abc"));
    RECT r;
    ASSERT_TRUE(m.ItemRect(*items[1], true, r));
    EXPECT_EQ(r.top, 16);
    EXPECT_EQ(r.bottom, 32);
    EXPECT_EQ(r.left, 19);
    EXPECT_EQ(r.right, 19 + 3 * 7 + 4);
    ASSERT_TRUE(m.ItemRect(*items[1], false, r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 100);
    m.SetTopIndex(10);  // clamped so that the last page is full
    EXPECT_EQ(m.TopIndex(), 3);
    ASSERT_TRUE(m.ItemRect(*items[3], true, r));
    EXPECT_EQ(r.top, 0);
    m.ScrollIntoView(*items[0]);
    EXPECT_EQ(m.TopIndex(), 0);
    auto v = m.VerticalScroll();
    EXPECT_EQ(v.max, 4);
    EXPECT_EQ(v.page, 2);
}

TEST(TreeViewModel, StaleHandlesAreNotFound) {
    TreeViewModel m;
    TreeItem* a = Add(m, m.Root(), "a");
    HTREEITEM h = a->Handle();
    m.Unlink(*a);
    m.Free(*a);
    EXPECT_EQ(m.Find(h), nullptr);
    TreeItem* b = Add(m, m.Root(), "b");
    EXPECT_NE(b->Handle(), h);  // handles are never reused
}
