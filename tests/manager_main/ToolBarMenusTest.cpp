// The tool bar's "File", "Options" and "Help" buttons drop down the menus of the same name.
#include <gtest/gtest.h>

#include "platform/MenuLoop.h"
#include "tests/platform/components/PersonDriver.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

class ToolBarMenusTest : public MainFixture {};

// A click on the tool bar where the button is, as the mouse makes it.
void ClickButton(TToolButton* b) {
    const LPARAM at = MAKELPARAM(b->Left() + b->Width() / 2, b->Top() + b->Height() / 2);
    SendMessageA(b->Parent()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(b->Parent()->Handle(), WM_LBUTTONUP, 0, at);
}

TEST_F(ToolBarMenusTest, EachButtonDropsDownItsMenuUnderIt) {
    TFormMain* f = Create();
    f->TreeExChange(nullptr, f->BackupRoot);
    struct Drop {
        TToolButton* button;
        const char* menu;
        const char* first;
    };
    for (const Drop& d : {Drop{f->tbFile, "mnuFile", "Add"}, Drop{f->tbOptions, "mnuOptions", "Always on top"},
                          Drop{f->tbHelp, "mnuHelp", "Help"}}) {
        SCOPED_TRACE(d.menu);
        platform::ClearShownPopups();
        ClickButton(d.button);
        auto shown = platform::ShownPopups();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].menuName, d.menu);
        EXPECT_EQ(shown[0].captions.front(), d.first);
        const TPoint under = d.button->ClientToScreen(Point(0, d.button->Height()));
        EXPECT_EQ(shown[0].at, (POINT{under.x, under.y}));
    }
    // Clicked again at once (the press arrives as a double click), the menu drops down again.
    platform::ClearShownPopups();
    const LPARAM at = MAKELPARAM(f->tbFile->Left() + 5, f->tbFile->Top() + 5);
    SendMessageA(f->ToolBar->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(f->ToolBar->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(platform::ShownPopups().size(), 1u);
}

TEST_F(ToolBarMenusTest, FileMenuOpensAsAWindowAndEscapeClosesIt) {
    TFormMain* f = Create();
    f->TreeExChange(nullptr, f->BackupRoot);
    RECT menuRect{};
    std::vector<String> captions;
    forms_test::PersonDriver person(clock_, {[&] {
        HWND menu = platform::OpenMenuWindows().at(0);
        GetWindowRect(menu, &menuRect);
        for (TMenuItem* item : platform::MenuWindowItems(menu)) captions.push_back(item->Caption());
        forms_test::PressKey(f->Handle(), VK_ESCAPE);
    }});
    ClickButton(f->tbFile);
    EXPECT_FALSE(person.GaveUp());
    EXPECT_FALSE(platform::InMenuLoop());
    const TPoint under = f->tbFile->ClientToScreen(Point(0, f->tbFile->Height()));
    EXPECT_EQ(menuRect.left, under.x);
    EXPECT_EQ(menuRect.top, under.y);
    // On the Backup's root the menu shows Add, Properties and Exit (the rest is hidden).
    EXPECT_EQ(captions, (std::vector<String>{"Add", "-", "Properties", "Exit"}));
    EXPECT_TRUE(platform::ShownDialogs().empty());
}

TEST_F(ToolBarMenusTest, LeftAndRightMoveAlongTheBar) {
    TFormMain* f = Create();
    f->TreeExChange(nullptr, f->BackupRoot);
    platform::ClearShownPopups();
    auto firstCaption = [] { return platform::MenuWindowItems(platform::OpenMenuWindows().at(0)).at(0)->Caption(); };
    std::vector<String> seen;
    forms_test::PersonDriver person(clock_, {
        [&] { forms_test::PressKey(f->Handle(), VK_RIGHT); },
        [&] {
            seen.push_back(firstCaption());
            forms_test::PressKey(f->Handle(), VK_RIGHT);
        },
        [&] {
            seen.push_back(firstCaption());
            forms_test::PressKey(f->Handle(), VK_RIGHT);  // wraps round to File
        },
        [&] {
            seen.push_back(firstCaption());
            forms_test::PressKey(f->Handle(), VK_LEFT);
        },
        [&] {
            seen.push_back(firstCaption());
            forms_test::PressKey(f->Handle(), VK_ESCAPE);
        },
    });
    ClickButton(f->tbFile);
    EXPECT_FALSE(person.GaveUp());
    EXPECT_EQ(seen, (std::vector<String>{"Always on top", "Help", "Add", "Help"}));
    std::vector<String> names;
    for (const auto& p : platform::ShownPopups()) names.push_back(p.menuName);
    EXPECT_EQ(names, (std::vector<String>{"mnuFile", "mnuOptions", "mnuHelp", "mnuFile", "mnuHelp"}));
}

TEST_F(ToolBarMenusTest, ASecondClickOnTheButtonClosesTheMenuForGood) {
    TFormMain* f = Create();
    platform::ClearShownPopups();
    TToolButton* b = f->tbFile;
    const LPARAM at = MAKELPARAM(b->Left() + b->Width() / 2, b->Top() + b->Height() / 2);
    forms_test::PersonDriver person(clock_, {[&] {
        PostMessageA(b->Parent()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(b->Parent()->Handle(), WM_LBUTTONUP, 0, at);
    }});
    ClickButton(b);
    Application->ProcessMessages();
    EXPECT_FALSE(person.GaveUp());
    EXPECT_EQ(platform::ShownPopups().size(), 1u);
}

}  // namespace
