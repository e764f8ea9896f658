// A colour change reaches the class library before the window is made again; F1 that the
// control does not answer goes on to the form's shortcuts.
#include "TreeTestSupport.h"

#include "platform/Menus.h"

namespace {

class RecordingTree : public TTreeEx {
public:
    using TTreeEx::TTreeEx;
    std::vector<HWND> colourNotices;

protected:
    void DefaultHandler(TMessage& message) override {
        if (message.Msg == CM_COLORCHANGED) colourNotices.push_back(HandleAllocated() ? Handle() : nullptr);
        TTreeEx::DefaultHandler(message);
    }
};

}  // namespace

TEST_F(TreeFixture, ColourChangeRunsTheInheritedHandlingThenRecreates) {
    auto* t = new RecordingTree(form);
    t->SetParent(form);
    t->HandleNeeded();
    t->Items()->AddChild(nullptr, "A");
    HWND before = t->Handle();
    t->SetColor(clYellow);
    ASSERT_EQ(t->colourNotices.size(), 1u);
    EXPECT_EQ(t->colourNotices[0], before);  // heard by the old window
    t->HandleNeeded();
    EXPECT_EQ(t->Items()->Count(), 1);
    EXPECT_EQ(t->Color(), clYellow);
}

TEST_F(TreeFixture, UnansweredF1ReachesTheMainMenu) {
    auto n = Build({"0:A"});
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    tree->SetSelected(n[0]);
    auto* menu = new TMainMenu(form);
    int helps = 0;
    auto* help = new TMenuItem(form);
    help->SetShortCut(ShortCut(VK_F1, 0));
    help->OnClick = [&](TObject*) { ++helps; };
    menu->Items()->Add(help);
    form->SetMenu(menu);
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(helps, 1);
    // With the control's own help contexts, F1 is the control's.
    tree->OnGetHelpContext = [](TObject*, TTreeExNode*, Integer& context) { context = 42; };
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(helps, 1);
    EXPECT_EQ(LastHelpContext(), 42);
}
