// Popup menus as windows with their own loop, driven by posted mouse and key messages as a
// person at the display would send them.
#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/MenuLoop.h"
#include "tests/platform/components/FormsFixture.h"
#include "tests/platform/components/PersonDriver.h"

using namespace forms_test;

namespace {

class MenuLoopTest : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        form_ = NewForm();
        form_->Show();
        menu_ = new TPopupMenu(form_);
        root_ = menu_->Items();
        open_ = Add(root_, "&Open");
        open_->SetDefault(true);
        Add(root_, "&Disabled")->SetEnabled(false);
        Add(root_, "-");
        more_ = Add(root_, "&More");
        Add(more_, "&Deep");
        Add(more_, "D&eeper");
        checked_ = Add(root_, "&Checked");
        checked_->SetChecked(true);
        checked_->SetShortCut(ShortCut('S', ssCtrl));
    }

    TMenuItem* Add(TMenuItem* parent, const char* caption) {
        auto* item = new TMenuItem(form_);
        item->SetCaption(caption);
        item->OnClick = [this, item](TObject*) { clicks_.push_back(item->Caption()); };
        parent->Add(item);
        return item;
    }

    static HWND Menu(std::size_t level) {
        auto windows = platform::OpenMenuWindows();
        return level < windows.size() ? windows[level] : nullptr;
    }
    // Posts a mouse message at the middle of an item of an open menu.
    static void Mouse(std::size_t level, int index, UINT msg) {
        RECT r = platform::MenuItemRect(Menu(level), index);
        PostMessageA(Menu(level), msg, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    void Key(int vk) { PressKey(form_->Handle(), vk); }

    TForm* form_ = nullptr;
    TPopupMenu* menu_ = nullptr;
    TMenuItem* root_ = nullptr;
    TMenuItem* open_ = nullptr;
    TMenuItem* more_ = nullptr;
    TMenuItem* checked_ = nullptr;
    std::vector<String> clicks_;
};

struct KeyCase {
    std::vector<int> keys;
    std::vector<String> clicks;  // the item whose sub-menu opened is clicked first
};

TEST_F(MenuLoopTest, KeysMoveOpenPickAndClose) {
    const KeyCase cases[] = {
        {{VK_DOWN, VK_RETURN}, {"&Open"}},
        // Down skips the disabled item and the separator; Return opens a sub-menu.
        {{VK_DOWN, VK_DOWN, VK_RETURN, VK_RETURN}, {"&More", "&Deep"}},
        {{VK_END, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN}, {"&More", "D&eeper"}},
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_LEFT, VK_UP, VK_RETURN}, {"&More", "&Open"}},
        {{'C'}, {"&Checked"}},
        {{'M', 'E'}, {"&More", "D&eeper"}},
        {{'D', VK_ESCAPE}, {}},  // a disabled item's letter does nothing
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}, {"&More"}},
        {{VK_DOWN, VK_MENU}, {}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.keys));
        clicks_.clear();
        std::vector<PersonDriver::Step> steps;
        for (int vk : c.keys) steps.push_back([this, vk] { Key(vk); });
        PersonDriver person(clock_, steps);
        menu_->Popup(10, 10);
        EXPECT_FALSE(person.GaveUp());
        EXPECT_EQ(clicks_, c.clicks);
        EXPECT_FALSE(platform::InMenuLoop());
        EXPECT_TRUE(platform::OpenMenuWindows().empty());
    }
}

TEST_F(MenuLoopTest, MouseHoversOpensSubmenuAfterARestAndPicks) {
    more_->SetHint("More|Further things to do");
    String hintOnMore;
    std::size_t windowsBeforeRest = 0, windowsAfterRest = 0;
    int hotOnDisabled = 0;
    PersonDriver person(clock_, {
        [&] {  // a click on a disabled item picks nothing
            Mouse(0, 1, WM_MOUSEMOVE);
            Mouse(0, 1, WM_LBUTTONDOWN);
            Mouse(0, 1, WM_LBUTTONUP);
        },
        [&] {
            hotOnDisabled = platform::MenuHotItem(Menu(0));
            Mouse(0, 3, WM_MOUSEMOVE);
        },
        [&] {
            windowsBeforeRest = platform::OpenMenuWindows().size();
            hintOnMore = Application->Hint();
            clock_.Advance(300);
        },
        [&] {
            windowsAfterRest = platform::OpenMenuWindows().size();
            Mouse(1, 0, WM_MOUSEMOVE);
            Mouse(1, 0, WM_LBUTTONDOWN);
            Mouse(1, 0, WM_LBUTTONUP);
        },
    });
    menu_->Popup(10, 10);
    EXPECT_FALSE(person.GaveUp());
    EXPECT_EQ(hotOnDisabled, -1);
    EXPECT_EQ(windowsBeforeRest, 1u);
    EXPECT_EQ(windowsAfterRest, 2u);
    EXPECT_EQ(clicks_, (std::vector<String>{"&More", "&Deep"}));
    // The hovered item's hint is the application's while the menu is open.
    EXPECT_EQ(hintOnMore, "Further things to do");
    EXPECT_EQ(Application->Hint(), "");
}

TEST_F(MenuLoopTest, PressOutsideClosesAndIsNotPassedOn) {
    int formPresses = 0;
    form_->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formPresses; };
    RECT menuRect{};
    PersonDriver person(clock_, {[&] {
        GetWindowRect(Menu(0), &menuRect);
        PostMessageA(form_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(390, 290));
        PostMessageA(form_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(390, 290));
    }});
    // Opened near the screen's bottom right corner, the menu moves to stay on the screen.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    menu_->Popup(screenW - 5, screenH - 5);
    EXPECT_FALSE(person.GaveUp());
    EXPECT_TRUE(clicks_.empty());
    EXPECT_EQ(formPresses, 0);
    EXPECT_LE(menuRect.right, screenW);
    EXPECT_LE(menuRect.bottom, screenH);
    EXPECT_GT(menuRect.right - menuRect.left, 0);
}

TEST_F(MenuLoopTest, PaintsDefaultDisabledCheckedHotShortcutAndSeparator) {
    platform::DisplayList list;
    RECT hotRect{};
    PersonDriver person(clock_, {[&] { Mouse(0, 4, WM_MOUSEMOVE); },
                                 [&] {
                                     list = platform::WindowDisplayList(Menu(0));
                                     hotRect = platform::MenuItemRect(Menu(0), 4);
                                     Key(VK_ESCAPE);
                                 }});
    menu_->Popup(10, 10);
    ASSERT_FALSE(person.GaveUp());
    const platform::MenuPalette& pal = platform::MenuColors();
    std::vector<String> texts;
    const platform::DrawItem* shortcut = nullptr;
    const platform::DrawItem* checkedText = nullptr;
    bool hotFill = false, separator = false, checkMark = false;
    for (const auto& d : list) {
        if (d.op == platform::DrawOp::Text) {
            texts.push_back(d.text);
            if (d.text == "Open") {
                EXPECT_EQ(d.font.weight, FW_BOLD);
            }
            if (d.text == "More") {
                EXPECT_EQ(d.font.weight, FW_NORMAL);
            }
            if (d.text == "Disabled") {
                EXPECT_EQ(d.textColor, pal.disabledText);
            }
            if (d.text == "Checked") checkedText = &d;
            if (d.text == "Ctrl+S") shortcut = &d;
        }
        if (d.op == platform::DrawOp::FillRect && d.color == pal.highlight && d.rect == hotRect) hotFill = true;
        if (d.op == platform::DrawOp::Line && d.color == pal.separator) separator = true;
        if (d.op == platform::DrawOp::Line && d.color == pal.highlightText && d.to.x < hotRect.left + 24 &&
            d.from.y > hotRect.top && d.from.y < hotRect.bottom)
            checkMark = true;
    }
    EXPECT_EQ(texts, (std::vector<String>{"Open", "Disabled", "More", "Checked", "Ctrl+S"}));
    EXPECT_TRUE(hotFill);
    EXPECT_TRUE(separator);
    EXPECT_TRUE(checkMark);
    ASSERT_TRUE(checkedText && shortcut);
    EXPECT_EQ(checkedText->textColor, pal.highlightText);
    // The shortcut stands apart at the right of the row.
    EXPECT_GT(shortcut->from.x, checkedText->from.x + platform::TextExtent(checkedText->font, "Checked").cx + 16);
    EXPECT_LT(shortcut->from.x + platform::TextExtent(shortcut->font, "Ctrl+S").cx, hotRect.right);
}

TEST_F(MenuLoopTest, WithoutAPersonOrWithAHookNoLoopRuns) {
    // Headless: recorded, nothing chosen, no window.
    menu_->Popup(10, 10);
    EXPECT_TRUE(clicks_.empty());
    ASSERT_EQ(platform::ShownPopups().size(), 1u);
    // A hook answers even with a person at the display.
    PersonDriver person(clock_, {});
    platform::SetPopupHook([&](TMenu&, TMenuItem& items, POINT) { return items.Find("checked"); });
    menu_->Popup(10, 10);
    EXPECT_EQ(clicks_, std::vector<String>{"&Checked"});
    EXPECT_EQ(person.StepsRun(), 0u);
    EXPECT_FALSE(person.GaveUp());
}

}  // namespace
