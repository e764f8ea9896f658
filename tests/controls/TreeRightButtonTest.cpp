// The right button's mouse-down event: without right-click selection it fires as the button goes
// down; with it, only when no popup menu comes up, as the button-up is handled.
#include "TreeTestSupport.h"

namespace {

struct RightCase {
    const char* name;
    bool rightClickSelect;
    bool menu;
    int downs;
};

class TreeRightButton : public TreeFixture, public ::testing::WithParamInterface<RightCase> {};

}  // namespace

TEST_P(TreeRightButton, MouseDownFiresOnceOrNotAtAll) {
    const RightCase& c = GetParam();
    auto n = Build({"0:A", "0:B"});
    tree->SetOptions(c.rightClickSelect ? tree->Options().With(TTreeOption::toRightClickSelect)
                                        : tree->Options().Without(TTreeOption::toRightClickSelect));
    TPopupMenu menu(form);
    tree->OnGetPopupMenu = [&](TObject*, TTreeExNode*, bool&, TPopupMenu*& m) {
        if (c.menu) m = &menu;
    };
    std::vector<std::string> downs;
    tree->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        downs.push_back(std::to_string(b) + ((s & ssRight) ? "R" : "") + "@" + std::to_string(x) + "," +
                        std::to_string(y));
    };
    tree->SetSelected(n[0]);
    POINT pt{30, 16 + 5};  // the row of B
    POINT screen = pt;
    ClientToScreen(tree->Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(tree->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(pt.x, pt.y));
    const std::string expected = std::to_string(mbRight) + "R@30,21";
    EXPECT_EQ(downs, std::vector<std::string>(static_cast<size_t>(c.downs), expected));
    EXPECT_EQ(platform::ShownPopups().size(), c.menu ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, TreeRightButton,
                         ::testing::Values(RightCase{"PlainNoMenu", false, false, 1},
                                           RightCase{"PlainWithMenu", false, true, 1},
                                           RightCase{"SelectNoMenu", true, false, 1},
                                           RightCase{"SelectWithMenu", true, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// From the keyboard (the Menu key) the menu is the selected node's, as a right click on it gives.
TEST_F(TreeFixture, TheMenuKeyOpensTheSelectedNodesMenu) {
    auto n = Build({"0:A", "0:B"});
    tree->SetOptions(tree->Options().With(TTreeOption::toRightClickSelect));
    TPopupMenu menu(form);
    TTreeExNode* asked = nullptr;
    tree->OnGetPopupMenu = [&](TObject*, TTreeExNode* node, bool&, TPopupMenu*& m) {
        asked = node;
        m = &menu;
    };
    tree->SetSelected(n[1]);
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_APPS, 0);
    EXPECT_EQ(asked, n[1]);
    EXPECT_EQ(platform::ShownPopups().size(), 1u);
}
