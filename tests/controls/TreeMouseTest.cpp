// Selecting several nodes by mouse and keys, the rubber band and check boxes pressed with the
// mouse, all driven by the window's messages.
#include "TreeTestSupport.h"

#include <algorithm>

#include "controls/CheckImages.h"
#include "platform/Canvas.h"

namespace {

constexpr WPARAM kNone = 0, kCtrl = MK_CONTROL, kShift = MK_SHIFT, kBoth = MK_CONTROL | MK_SHIFT;

class TreeMouse : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        // No label editing: a click on the caret's label would open the editor.
        tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect).With(TTreeOption::toReadOnly));
    }

    // A client point of node where the window's hit test reports flag.
    POINT PointOn(TTreeExNode* node, UINT flag) {
        RECT row = node->ItemRect(false);
        for (int x = 0; x < row.right; ++x) {
            TVHITTESTINFO info;
            info.pt = POINT{x, (row.top + row.bottom) / 2};
            tree->Perform(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
            if (info.flags & flag) return info.pt;
        }
        ADD_FAILURE() << "no such place on " << node->Text();
        return POINT{};
    }
    void Press(POINT p, WPARAM keys = kNone) {
        SendMessageA(tree->Handle(), WM_LBUTTONDOWN, keys | MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }
    void Release(POINT p, WPARAM keys = kNone) { SendMessageA(tree->Handle(), WM_LBUTTONUP, keys, MAKELPARAM(p.x, p.y)); }
    void Move(POINT p, WPARAM keys = kNone) { SendMessageA(tree->Handle(), WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y)); }
    void Click(TTreeExNode* node, WPARAM keys = kNone) {
        POINT p = PointOn(node, TVHT_ONITEMLABEL);
        Press(p, keys);
        Release(p, keys);
    }
    void Key(int vk, bool shift = false) {
        platform::SetKeyDown(VK_SHIFT, shift);
        SendMessageA(tree->Handle(), WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
        platform::SetKeyDown(VK_SHIFT, false);
    }
    std::string Chosen() {
        std::vector<std::string> texts;
        for (Integer i = 0; i < Items().Selection().Count(); ++i) texts.push_back(Items().Selection().Get(i)->Text());
        std::sort(texts.begin(), texts.end());
        std::string out;
        for (const auto& t : texts) out += t;
        return out;
    }
};

struct ClickStep {
    int node;
    WPARAM keys;
};
struct ClickCase {
    const char* name;
    std::vector<ClickStep> steps;
    const char* selected;  // texts of the selected nodes, sorted
};

class TreeClicks : public TreeMouse, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(TreeClicks, SelectNodes) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D", "0:E"});
    for (const ClickStep& s : GetParam().steps) Click(n[static_cast<size_t>(s.node)], s.keys);
    EXPECT_EQ(Chosen(), GetParam().selected);
    // Every selected node's item carries the mark, and no other.
    for (TTreeExNode* node : n) {
        UINT state = static_cast<UINT>(tree->Perform(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node->ItemId()),
                                                     TVIS_SELECTED));
        EXPECT_EQ((state & TVIS_SELECTED) != 0, node->Selected()) << node->Text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeClicks,
    ::testing::Values(ClickCase{"PlainClickSelectsOne", {{0, kNone}, {2, kNone}}, "C"},
                      ClickCase{"CtrlAdds", {{0, kNone}, {2, kCtrl}}, "AC"},
                      ClickCase{"CtrlTogglesBackOff", {{0, kNone}, {2, kCtrl}, {0, kCtrl}}, "C"},
                      ClickCase{"ShiftSpansFromTheAnchor", {{1, kNone}, {3, kShift}}, "BCD"},
                      ClickCase{"ShiftSpanShrinks", {{1, kNone}, {4, kShift}, {2, kShift}}, "BC"},
                      ClickCase{"ShiftSpanBackwards", {{3, kNone}, {0, kShift}}, "ABCD"},
                      ClickCase{"CtrlShiftAddsASpan", {{0, kNone}, {2, kCtrl}, {4, kBoth}}, "ACDE"},
                      ClickCase{"PlainClickEndsAMultipleSelection", {{0, kNone}, {2, kCtrl}, {4, kNone}}, "E"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeMouse, CtrlClickReportsEachSelectionStepInOrder) {
    auto n = Build({"0:A", "0:B", "0:C"});
    Click(n[0]);
    Record();
    log.clear();
    Click(n[2], kCtrl);
    EXPECT_EQ(Chosen(), "AC");
    // The caret leaves A, the window's click puts it on C, then the click selection selects A
    // again and C; with no change delay each step is its own notice.
    EXPECT_EQ(log, (std::vector<std::string>{"Changing:nil", "Change:nil", "Changing:C", "Change:C", "Changing:A",
                                             "Change:A", "Changing:C", "Change:C"}));
}

TEST_F(TreeMouse, RubberBandSelectsWhatItCrossesAndForgetsWhatItLeaves) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    Click(n[0]);
    RECT last = n[3]->ItemRect(false);
    POINT origin{100, last.bottom + 20};  // empty space below the rows
    Press(origin);
    EXPECT_TRUE(tree->RubberBanding());
    EXPECT_EQ(Chosen(), "");  // a plain press on empty space clears the selection
    RECT b = n[1]->ItemRect(true);
    Move(POINT{b.left + 1, b.top + 2});
    EXPECT_EQ(Chosen(), "BCD");
    RECT c = n[2]->ItemRect(true);
    Move(POINT{c.left + 1, c.bottom - 2});
    EXPECT_EQ(Chosen(), "CD");
    // The band is an outline drawn on the window's canvas.
    auto outlines = [&] {
        int count = 0;
        for (const auto& item : platform::WindowDisplayList(tree->Handle()))
            if (item.op == platform::DrawOp::FocusRect) ++count;
        return count;
    };
    EXPECT_GE(outlines(), 1);
    platform::ClearWindowDisplayList(tree->Handle());
    Release(POINT{c.left + 1, c.bottom - 2});
    EXPECT_FALSE(tree->RubberBanding());
    EXPECT_EQ(outlines(), 1);  // drawn once more to erase it
    EXPECT_EQ(Chosen(), "CD");
}

TEST_F(TreeMouse, RightButtonEndsTheRubberBand) {
    auto n = Build({"0:A", "0:B"});
    RECT last = n[1]->ItemRect(false);
    POINT origin{100, last.bottom + 20};
    Press(origin);
    RECT a = n[0]->ItemRect(true);
    Move(POINT{a.left + 1, a.top + 2});
    EXPECT_EQ(Chosen(), "AB");
    SendMessageA(tree->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(origin.x, origin.y));
    EXPECT_FALSE(tree->RubberBanding());
    Move(origin);
    EXPECT_EQ(Chosen(), "AB");  // moves no longer change the selection
}

TEST_F(TreeMouse, RubberBandWithCtrlTogglesAndKeepsTheRest) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    Click(n[0]);
    Click(n[2], kCtrl);
    RECT last = n[3]->ItemRect(false);
    POINT origin{100, last.bottom + 20};
    Press(origin, kCtrl);
    RECT b = n[1]->ItemRect(true);
    platform::SetKeyDown(VK_CONTROL, true);
    Move(POINT{b.left + 1, b.top + 2}, kCtrl);
    EXPECT_EQ(Chosen(), "ABD");  // B and D toggled on, C off
    RECT d = n[3]->ItemRect(true);
    Move(POINT{d.left + 1, d.top + 2}, kCtrl);
    EXPECT_EQ(Chosen(), "ACD");  // B and C are back as they were
    platform::SetKeyDown(VK_CONTROL, false);
    Release(origin);
}

TEST_F(TreeMouse, RubberBandSurvivesAHandlerThatDeletesNodes) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    RECT last = n[3]->ItemRect(false);
    POINT origin{100, last.bottom + 20};
    Press(origin);
    bool deleted = false;
    tree->OnChanging = [&](TObject*, TTreeExNode* node, bool&) {
        if (!deleted && node && node->Text() == "C") {
            deleted = true;
            n[1]->Delete();  // B goes while the band is being filled
        }
    };
    RECT a = n[0]->ItemRect(true);
    Move(POINT{a.left + 1, a.top + 2});
    EXPECT_TRUE(deleted);
    Release(origin);
    EXPECT_EQ(Items().Count(), 3);
    for (Integer i = 0; i < Items().Selection().Count(); ++i) EXPECT_TRUE(Items().IsLive(Items().Selection().Get(i)));
}

struct PressCase {
    const char* name;
    TCheckType type;
    bool refuse;
    Integer pressedImage;
    Integer releasedImage;
    TCheckState released;
};

class TreeStatePress : public TreeMouse, public ::testing::WithParamInterface<PressCase> {};

TEST_P(TreeStatePress, ShowsThePressedPictureAndTogglesOnRelease) {
    const PressCase& c = GetParam();
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    Items().SetCheckType(c.type);
    auto n = Build({"0:One", "0:Two"});
    tree->OnChecking = [&](TObject*, TTreeExNode*, bool& allow) { allow = !c.refuse; };
    POINT p = PointOn(n[0], TVHT_ONITEMSTATEICON);
    Press(p);
    EXPECT_EQ(tree->PressedNode(), n[0]);
    EXPECT_EQ(n[0]->StateIndex(), c.pressedImage);
    EXPECT_EQ(GetCapture(), tree->Handle());
    Release(POINT{p.x + 200, p.y + 200});  // the release toggles wherever the pointer is
    EXPECT_EQ(tree->PressedNode(), nullptr);
    EXPECT_NE(GetCapture(), tree->Handle());
    EXPECT_EQ(n[0]->CheckState(), c.released);
    EXPECT_EQ(n[0]->StateIndex(), c.releasedImage);
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeStatePress,
                         ::testing::Values(PressCase{"CheckBox", ctCheckBox, false, 3, 2, chChecked},
                                           PressCase{"RefusedCheckBoxLooksUnpressed", ctCheckBox, true, 3, 1,
                                                     chUnchecked},
                                           PressCase{"RadioButton", ctRadioButton, false, 7, 6, chChecked},
                                           PressCase{"TriStateGoesPartial", ctTriState, false, 3, 4, chPartial}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeMouse, PressedNodeDeletedBeforeTheReleaseIsForgotten) {
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:One", "0:Two"});
    POINT p = PointOn(n[0], TVHT_ONITEMSTATEICON);
    Press(p);
    n[0]->Delete();
    EXPECT_EQ(tree->PressedNode(), nullptr);
    Release(p);
    EXPECT_EQ(n[1]->CheckState(), chUnchecked);
}

TEST_F(TreeMouse, ShiftArrowsGrowAndShrinkTheRange) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    Click(n[1]);
    Key(VK_DOWN, true);
    Key(VK_DOWN, true);
    EXPECT_EQ(Chosen(), "BCD");
    Key(VK_UP, true);
    EXPECT_EQ(Chosen(), "BC");
    Key(VK_UP);
    EXPECT_EQ(Chosen(), "B");
    EXPECT_EQ(tree->ShiftAnchor(), n[1]);
}

TEST_F(TreeMouse, ShiftEndSelectsToTheLastRow) {
    auto n = Build({"0:A", "0:B", "0:C", "0:D"});
    Click(n[1]);
    Key(VK_END, true);
    EXPECT_EQ(Chosen(), "BCD");
    Key(VK_HOME);
    EXPECT_EQ(Chosen(), "A");
}

TEST_F(TreeMouse, SpaceTogglesTheCheckAndALetterSearchesAfresh) {
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:Apple", "0:Banana", "0:Cherry"});
    Click(n[0]);
    Click(n[1], kCtrl);
    Key(VK_SPACE);
    EXPECT_EQ(n[1]->CheckState(), chChecked);
    EXPECT_EQ(Chosen(), "AppleBanana");
    SendMessageA(tree->Handle(), WM_KEYDOWN, 'C', 0);
    SendMessageA(tree->Handle(), WM_CHAR, 'c', 0);
    EXPECT_EQ(tree->Selected(), n[2]);
    EXPECT_EQ(Chosen(), "Cherry");
    EXPECT_EQ(tree->ShiftAnchor(), n[1]);
}

TEST_F(TreeMouse, DoubleClickRightOfAFullRowTogglesTheNode) {
    tree->SetOptions(tree->Options().With(TTreeOption::toFullRowSelect));
    auto n = Build({"0:A", "1:A1", "0:B"});
    POINT p = PointOn(n[0], TVHT_ONITEMRIGHT);
    SendMessageA(tree->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(n[0]->Expanded());
    SendMessageA(tree->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    EXPECT_FALSE(n[0]->Expanded());
}

}  // namespace

namespace {

TEST_F(TreeMouse, LevelConstraintKeepsAShiftRangeOnTheFirstNodesLevel) {
    tree->SetOptions(tree->Options().With(TTreeOption::toLevelSelectConstraint));
    auto n = Build({"0:A", "1:A1", "1:A2", "0:B", "0:C"});
    n[0]->Expand(false);
    Click(n[0]);
    Click(n[4], kShift);
    EXPECT_EQ(Chosen(), "ABC");  // A1 and A2 lie between, one level deeper
}

TEST_F(TreeMouse, SpaceTogglesChecksOnlyWithMultiSelect) {
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport).Without(TTreeOption::toMultiSelect));
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:A", "0:B"});
    tree->SetSelected(n[0]);
    Key(VK_SPACE);
    EXPECT_EQ(n[0]->CheckState(), chUnchecked);
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    Key(VK_SPACE);
    EXPECT_EQ(n[0]->CheckState(), chChecked);
}

}  // namespace
