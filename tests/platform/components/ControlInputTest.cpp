// What the user does to controls, as messages: typing, clicking, arrow keys, menus.
#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/display/Input.h"

namespace {

using forms_test::FormsTest;

void Type(TWinControl* c, const String& keys) {
    for (char k : keys) SendMessageA(c->Handle(), WM_CHAR, static_cast<unsigned char>(k), 0);
}

TEST_F(FormsTest, TypingEditsTheTextWithinTheLimits) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    Type(edit, "abc\bd");
    EXPECT_EQ(edit->Text(), "abd");
    EXPECT_TRUE(edit->Modified());
    edit->SetReadOnly(true);
    Type(edit, "zz");
    EXPECT_EQ(edit->Text(), "abd");
    edit->SetReadOnly(false);
    edit->SetCharCase(ecUpperCase);
    edit->SelectAll();
    Type(edit, "x");  // replaces the selection
    EXPECT_EQ(edit->Text(), "X");
    edit->SetPasswordChar('#');
    form->Show();
    UpdateWindow(edit->Handle());
    EXPECT_EQ(platform::WindowDisplayTexts(edit->Handle()), std::vector<String>{"#"});

    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetMaxLength(255);
    Type(memo, "one\rtwo");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    EXPECT_EQ(memo->Lines()->Strings(1), "two");
    memo->SetWantReturns(false);
    Type(memo, "\r");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    memo->SetText(String(254, 'a'));
    memo->SetSelStart(254);
    Type(memo, "bc");
    EXPECT_EQ(memo->Text().size(), 255u);
}

TEST_F(FormsTest, KeyEventsCanSwallowKeys) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->OnKeyPress = [](TObject*, char& key) {
        if (key == 'q') key = 0;
    };
    Type(edit, "aqb");
    EXPECT_EQ(edit->Text(), "ab");
}

TEST_F(FormsTest, RadioButtonsOfOneParentExcludeEachOther) {
    TForm* form = NewForm();
    auto* group = new TGroupBox(form);
    group->SetParent(form);
    auto* r1 = new TRadioButton(form);
    auto* r2 = new TRadioButton(form);
    auto* other = new TRadioButton(form);
    r1->SetParent(group);
    r2->SetParent(group);
    other->SetParent(form);
    other->SetChecked(true);
    int clicks = 0;
    r2->OnClick = [&](TObject*) { ++clicks; };
    r1->SetChecked(true);
    r2->Click();
    EXPECT_FALSE(r1->Checked());
    EXPECT_TRUE(r2->Checked());
    EXPECT_TRUE(other->Checked());
    EXPECT_EQ(clicks, 1);
    // Controls inside a group box sit below its caption.
    auto* inner = new TPanel(form);
    inner->SetParent(group);
    inner->SetAlign(alClient);
    EXPECT_GT(inner->Top(), 0);
}

TEST_F(FormsTest, CheckBoxCyclesThroughGreyWhenAllowed) {
    TForm* form = NewForm();
    auto* check = new TCheckBox(form);
    check->SetParent(form);
    check->SetAllowGrayed(true);
    check->Click();
    EXPECT_EQ(check->State(), cbGrayed);
    check->Click();
    EXPECT_EQ(check->State(), cbChecked);
    check->SetEnabled(false);
    check->Click();
    EXPECT_EQ(check->State(), cbChecked);
}

TEST_F(FormsTest, ListViewArrowKeysAndCtrlClicks) {
    TForm* form = NewForm();
    auto* lv = new TListView(form);
    lv->SetParent(form);
    lv->SetViewStyle(vsReport);
    for (int i = 0; i < 3; ++i) lv->Items()->Add()->SetCaption(IntToStr(i));
    SendMessageA(lv->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(lv->Selected(), lv->Items()->Item(0));
    SendMessageA(lv->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(lv->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(lv->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(lv->Selected(), lv->Items()->Item(2));
    EXPECT_EQ(lv->ItemFocused(), lv->Items()->Item(2));

    lv->SetMultiSelect(true);
    platform::SetKeyDown(VK_CONTROL, true);
    int y0 = lv->HeaderHeight() + 1;
    SendMessageA(lv->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(2, y0));
    platform::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(lv->SelCount(), 2);
    EXPECT_EQ(lv->Selected(), lv->Items()->Item(0));
    // A click below the rows selects nothing new.
    SendMessageA(lv->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, y0 + 10 * lv->RowHeight()));
    EXPECT_EQ(lv->SelCount(), 2);
}

TEST_F(FormsTest, DisabledAndHiddenMenuItemsIgnoreTheirShortcuts) {
    TForm* form = NewForm();
    auto* popup = new TPopupMenu(form);
    auto* del = new TMenuItem(form);
    del->SetShortCut(ShortCut(VK_DELETE, 0));
    popup->Items()->Add(del);
    int clicks = 0;
    del->OnClick = [&](TObject*) { ++clicks; };
    del->SetEnabled(false);
    EXPECT_FALSE(popup->IsShortCut(VK_DELETE, 0));
    del->SetEnabled(true);
    del->SetVisible(false);
    EXPECT_FALSE(popup->IsShortCut(VK_DELETE, 0));
    del->SetVisible(true);
    EXPECT_TRUE(popup->IsShortCut(VK_DELETE, 0));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(popup->FindItem(del->Command()), del);
}

// A shortcut belongs to the menus of the control that has the key and of its parents (and to
// the form's main menu): Delete typed in a text box must not run another control's popup item.
TEST_F(FormsTest, KeysReachOnlyTheMenusAroundTheControlThatHasThem) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* edit = new TEdit(form);
    edit->SetParent(panel);
    auto* list = new TListView(form);
    list->SetParent(form);
    std::vector<String> clicked;
    auto menuWith = [&](TMenu* menu, const char* caption, TShortCut key) {
        auto* item = new TMenuItem(form);
        item->SetShortCut(key);
        item->OnClick = [&clicked, caption](TObject*) { clicked.push_back(caption); };
        menu->Items()->Add(item);
    };
    auto* listMenu = new TPopupMenu(form);  // on the form, but attached to another control
    menuWith(listMenu, "list delete", ShortCut(VK_DELETE, 0));
    list->SetPopupMenu(listMenu);
    auto* loose = new TPopupMenu(form);  // attached to nothing
    menuWith(loose, "loose delete", ShortCut(VK_DELETE, 0));
    edit->SetText("abc");
    edit->SetSelStart(0);
    SendMessageA(edit->Handle(), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_TRUE(clicked.empty());
    EXPECT_EQ(edit->Text(), "bc");

    auto* panelMenu = new TPopupMenu(form);
    menuWith(panelMenu, "panel F2", ShortCut(VK_F2, 0));
    panel->SetPopupMenu(panelMenu);
    auto* main = new TMainMenu(form);
    menuWith(main, "main F1", ShortCut(VK_F1, 0));
    form->SetMenu(main);
    SendMessageA(edit->Handle(), WM_KEYDOWN, VK_F2, 0);
    SendMessageA(edit->Handle(), WM_KEYDOWN, VK_F1, 0);
    SendMessageA(list->Handle(), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(clicked, (std::vector<String>{"panel F2", "main F1", "list delete"}));

    // The drop-down menus of a tool bar that serves as the menu bar answer like the main menu.
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    auto* button = new TToolButton(form);
    button->SetParent(bar);
    auto* fileMenu = new TPopupMenu(form);
    menuWith(fileMenu, "file F3", ShortCut(VK_F2 + 1, 0));
    button->SetDropdownMenu(fileMenu);
    clicked.clear();
    SendMessageA(edit->Handle(), WM_KEYDOWN, VK_F2 + 1, 0);
    EXPECT_EQ(clicked, (std::vector<String>{"file F3"}));

    // Shift+F10 opens the context menu of the control that has the keys, inside that control.
    platform::ClearShownPopups();
    platform::SetKeyDown(VK_SHIFT, true);
    SendMessageA(list->Handle(), WM_KEYDOWN, VK_F10, 0);
    platform::SetKeyDown(VK_SHIFT, false);
    ASSERT_EQ(platform::ShownPopups().size(), 1u);
    RECT r;
    GetWindowRect(list->Handle(), &r);
    EXPECT_TRUE(PtInRect(&r, platform::ShownPopups()[0].at));
}

TEST_F(FormsTest, MenuItemsCheckAndKeepTheirTree) {
    TMainMenu menu(nullptr);
    auto* options = new TMenuItem(&menu);
    menu.Items()->Add(options);
    auto* top = new TMenuItem(&menu);
    top->SetCaption("Always on &top");
    top->SetAutoCheck(true);
    options->Add(top);
    auto* line = new TMenuItem(&menu);
    line->SetCaption("-");
    options->Add(line);
    EXPECT_EQ(options->Find("always on top"), top);
    EXPECT_TRUE(line->IsLine());
    EXPECT_EQ(top->GetParentMenu(), &menu);
    EXPECT_EQ(line->MenuIndex(), 1);
    top->Click();
    EXPECT_TRUE(top->Checked());
    options->Clear();
    EXPECT_EQ(options->Count(), 0);
    EXPECT_EQ(menu.ComponentCount(), 1);  // the sub-items are gone from their owner too
}

TEST_F(FormsTest, PageControlRefusalAndRemovalOfTheActivePage) {
    TForm* form = NewForm();
    auto* pc = new TPageControl(form);
    pc->SetParent(form);
    auto* a = new TTabSheet(form);
    auto* b = new TTabSheet(form);
    a->SetCaption("General");
    b->SetCaption("Info");
    a->SetPageControl(pc);
    b->SetPageControl(pc);
    pc->OnChanging = [](TObject*, bool& allow) { allow = false; };
    TRect tab = pc->TabRect(b);
    SendMessageA(pc->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tab.left + 1, tab.top + 1));
    EXPECT_EQ(pc->ActivePage(), a);
    EXPECT_EQ(b->PageIndex(), 1);
    b->SetPageIndex(0);
    EXPECT_EQ(pc->Pages(0), b);
    a->Free();
    EXPECT_EQ(pc->ActivePage(), b);
    EXPECT_EQ(pc->PageCount(), 1);
    EXPECT_TRUE(b->Visible());
}

TEST_F(FormsTest, StatusBarSimpleTextReplacesThePanels) {
    TForm* form = NewForm();
    form->Show();
    auto* bar = new TStatusBar(form);
    bar->SetParent(form);
    bar->Panels()->Add()->SetText("No description.");
    UpdateWindow(bar->Handle());
    EXPECT_EQ(platform::WindowDisplayTexts(bar->Handle()), std::vector<String>{"No description."});
    bar->SetSimplePanel(true);
    bar->SetSimpleText("simple");
    UpdateWindow(bar->Handle());
    EXPECT_EQ(platform::WindowDisplayTexts(bar->Handle()), std::vector<String>{"simple"});
}

TEST_F(FormsTest, PicturesLoadBitmapsAndImagesTakeTheirSize) {
    TBitmap bmp(7, 5);
    bmp.SaveToFile(profile_->Win("logo.bmp"));
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetAutoSize(true);
    image->Picture()->LoadFromFile(profile_->Win("logo.bmp"));
    EXPECT_EQ(image->Width(), 7);
    EXPECT_EQ(image->Height(), 5);
    EXPECT_THROW(image->Picture()->LoadFromFile(profile_->Win("logo.gif")), EInvalidGraphic);
    EXPECT_THROW(image->Picture()->LoadFromFile(profile_->Win("none.bmp")), EFOpenError);
}

TEST_F(FormsTest, ComboTypedTextFindsItsItem) {
    TForm* form = NewForm();
    auto* combo = new TComboBox(form);
    combo->SetParent(form);
    combo->Items()->Add("Normal");
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    Type(combo, "Norma");
    EXPECT_EQ(combo->ItemIndex(), -1);
    Type(combo, "l");
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(changes, 6);
}

// The drop-down list as a person works it: through the display's input, as X events arrive.
TEST_F(FormsTest, ComboListOpensHoversPicksAndClosesWithoutTakingActivation) {
    namespace display = platform::display;
    TForm* form = NewForm();
    auto* combo = new TComboBox(form);
    combo->SetParent(form);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(10, 10, 150, 21);
    combo->SetDropDownCount(3);
    for (const char* item : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}) combo->Items()->Add(item);
    combo->SetItemIndex(0);
    std::vector<String> events;
    combo->OnChange = [&](TObject*) { events.push_back("change " + combo->Text()); };
    combo->OnSelect = [&](TObject*) { events.push_back("select"); };
    form->Show();
    auto press = [&](HWND top, POINT p) {
        display::InputMouseButton(top, p, display::MouseButton::Left, true, 1);
        display::InputMouseButton(top, p, display::MouseButton::Left, false, 2);
        Drain();
    };
    auto key = [&](int vk, bool alt = false) {
        if (alt) display::InputKey(VK_MENU, true, {}, 1);
        display::InputKey(vk, true, {}, 1);
        display::InputKey(vk, false, {}, 1);
        if (alt) display::InputKey(VK_MENU, false, {}, 1);
        Drain();
    };

    // A click on the field opens the list below it, three rows tall, highlighting the choice.
    press(form->Handle(), POINT{50, 20});
    ASSERT_TRUE(combo->DroppedDown());
    HWND list = combo->DropDownHandle();
    RECT field, popup;
    GetWindowRect(combo->Handle(), &field);
    GetWindowRect(list, &popup);
    EXPECT_EQ(popup.top, field.bottom);
    EXPECT_EQ(popup.left, field.left);
    EXPECT_EQ(combo->DropDownHotIndex(), 0);
    EXPECT_TRUE(combo->Focused());

    // The pointer hovers over "Gamma", the wheel scrolls the rest in, a click picks "Delta".
    RECT gamma = combo->DropDownItemRect(2);
    display::InputMouseMove(list, POINT{gamma.left + 5, gamma.top + 3}, 3);
    Drain();
    EXPECT_EQ(combo->DropDownHotIndex(), 2);
    display::InputMouseWheel(form->Handle(), POINT{50, 20}, -120, 4);
    Drain();
    RECT delta = combo->DropDownItemRect(3);
    ASSERT_FALSE(IsRectEmpty(&delta));
    press(list, POINT{delta.left + 5, delta.top + 3});
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(combo->ItemIndex(), 3);
    EXPECT_EQ(events, (std::vector<String>{"change Delta", "select"}));
    EXPECT_EQ(GetActiveWindow(), form->Handle());

    // Alt+Down opens it, the keys move, Return picks; F4 opens it and Escape closes it
    // unchanged without reaching the form's cancel button; a press outside closes it too.
    events.clear();
    int cancels = 0;
    auto* cancel = new TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(200, 200, 75, 25);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { ++cancels; };
    key(VK_DOWN, true);
    ASSERT_TRUE(combo->DroppedDown());
    key(VK_UP);
    key(VK_UP);
    key(VK_RETURN);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Text(), "Beta");
    key(VK_F1 + 3);
    ASSERT_TRUE(combo->DroppedDown());
    key(VK_END);
    key(VK_ESCAPE);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Text(), "Beta");
    EXPECT_EQ(cancels, 0);
    press(form->Handle(), POINT{50, 20});
    ASSERT_TRUE(combo->DroppedDown());
    press(form->Handle(), POINT{300, 150});
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Text(), "Beta");
    EXPECT_EQ(events, (std::vector<String>{"change Beta", "select"}));
}

TEST_F(FormsTest, HeaderDividersShowTheirCursorAndResizeTheirColumnByDragging) {
    namespace display = platform::display;
    TForm* form = NewForm();
    auto* list = new TListView(form);
    list->SetParent(form);
    list->SetBounds(0, 0, 300, 200);
    list->SetViewStyle(vsReport);
    list->Columns()->Add()->SetWidth(100);
    list->Columns()->Add()->SetWidth(80);
    int clicks = 0;
    list->OnColumnClick = [&](TObject*, TListColumn*) { ++clicks; };
    form->Show();
    const int y = list->HeaderHeight() / 2;
    auto shapeAt = [&](int x) {
        display::InputMouseMove(form->Handle(), POINT{x, y}, 1);
        Drain();
        return display::PointerShapeAt(list->Handle(), POINT{x, y});
    };
    EXPECT_EQ(shapeAt(50), display::CursorShape::Arrow);
    EXPECT_EQ(shapeAt(181), display::CursorShape::HSplit);
    EXPECT_EQ(shapeAt(99), display::CursorShape::HSplit);

    // Dragged from just left of the edge: the column follows the pointer, keeping the offset.
    display::InputMouseButton(form->Handle(), POINT{99, y}, display::MouseButton::Left, true, 2);
    display::InputMouseMove(form->Handle(), POINT{139, y + 40}, 3);
    display::InputMouseButton(form->Handle(), POINT{139, y + 40}, display::MouseButton::Left, false, 4);
    Drain();
    EXPECT_EQ(list->Columns()->Items(0)->Width(), 140);
    EXPECT_EQ(list->Columns()->Items(1)->Width(), 80);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(list->ColumnDividerAt(220, y), 1);
    EXPECT_EQ(list->ColumnDividerAt(220, y + list->HeaderHeight()), -1);  // not below the header
}

TEST_F(FormsTest, CoolBarStacksItsBands) {
    TForm* form = NewForm();
    auto* cool = new TCoolBar(form);
    cool->SetParent(form);
    auto* bar = new TToolBar(form);
    bar->SetAlign(alNone);
    bar->SetHeight(22);
    cool->AddBand()->SetControl(bar);
    EXPECT_EQ(bar->Parent(), cool);
    EXPECT_EQ(bar->Top(), 0);
    EXPECT_EQ(bar->Width(), cool->ClientWidth() - bar->Left());
    EXPECT_EQ(cool->Height(), 22);
    EXPECT_EQ(cool->Width(), form->ClientWidth());
}

}  // namespace

#include "platform/Buttons.h"

namespace {

using forms_test::FormsTest;

TEST_F(FormsTest, SpeedButtonsOfAGroupKeepOneDown) {
    TForm* form = NewForm();
    auto* a = new TSpeedButton(form);
    auto* b = new TSpeedButton(form);
    for (auto* s : {a, b}) {
        s->SetParent(form);
        s->SetGroupIndex(1);
    }
    a->SetLeft(30);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    a->Click();
    b->Click();
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    b->SetDown(false);  // without AllowAllUp one stays down
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormsTest, ChosenMenuItemsHintBecomesTheApplicationHint) {
    TForm* form = NewForm();
    auto* popup = new TPopupMenu(form);
    auto* item = new TMenuItem(form);
    item->SetHint("Delete|Delete selected item?");
    popup->Items()->Add(item);
    std::vector<String> hints;
    Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
    platform::SetPopupHook([](TMenu&, TMenuItem& items, POINT) { return items[0]; });
    popup->Popup(10, 10);
    EXPECT_EQ(hints, std::vector<String>{"Delete selected item?"});
}

}  // namespace
