// Keyboard-only use: characters from keys, Tab order over a form, radio groups by arrows,
// Enter and Space on buttons.
#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"

namespace {

using forms_test::FormsTest;

struct KeyChar {
    const char* name;
    int vk;
    bool shift;
    bool ctrl;
    LPARAM flags;
    WPARAM want;  // 0: no character
};

class KeyCharacters : public FormsTest, public ::testing::WithParamInterface<KeyChar> {};

TEST_P(KeyCharacters, TranslateMessageMakesTheKeysCharacter) {
    const KeyChar& t = GetParam();
    TForm* form = NewForm();
    HWND hwnd = form->Handle();
    platform::SetKeyDown(VK_SHIFT, t.shift);
    platform::SetKeyDown(VK_CONTROL, t.ctrl);
    MSG m{};
    m.hwnd = hwnd;
    m.message = WM_KEYDOWN;
    m.wParam = static_cast<WPARAM>(t.vk);
    m.lParam = t.flags;
    EXPECT_EQ(TranslateMessage(&m) != FALSE_, t.want != 0);
    platform::ResetKeyboard();
    MSG got{};
    bool posted = PeekMessageA(&got, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE) != FALSE_;
    EXPECT_EQ(posted, t.want != 0);
    if (posted) {
        EXPECT_EQ(got.wParam, t.want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCharacters,
    ::testing::Values(KeyChar{"Letter", 'Q', false, false, 0, 'q'}, KeyChar{"ShiftedLetter", 'Q', true, false, 0, 'Q'},
                      KeyChar{"ShiftedDigit", '1', true, false, 0, '!'}, KeyChar{"Slash", 0xBF, false, false, 0, '/'},
                      KeyChar{"Question", 0xBF, true, false, 0, '?'}, KeyChar{"Backslash", 0xDC, false, false, 0, '\\'},
                      KeyChar{"NumberPad", 0x67, false, false, 0, '7'}, KeyChar{"CtrlLetterIsAControlCode", 'A', false, true, 0, 1},
                      KeyChar{"CtrlDigitGivesNothing", '1', false, true, 0, 0}, KeyChar{"FunctionKeyGivesNothing", VK_F1, false, false, 0, 0},
                      KeyChar{"InputMethodDeliversItsOwn", 'Q', false, false, kKeyCharsDelivered, 0}),
    [](const auto& info) { return String(info.param.name); });

TEST_F(FormsTest, PostedTextArrivesAsBytesThatEditsPutTogether) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    platform::PostTypedText(edit->Handle(), "Ωμέγα ✓");
    Drain();
    EXPECT_EQ(edit->Text(), "Ωμέγα ✓");
}

void PressKey(TWinControl* c, Word key, bool shift = false) {
    platform::SetKeyDown(VK_SHIFT, shift);
    SendMessageA(c->Handle(), WM_KEYDOWN, key, 0);
    platform::ResetKeyboard();
}

TWinControl* FocusedControl(TForm* form) {
    for (Integer i = 0; i < form->ComponentCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(form->Components(i)); w && w->Focused()) return w;
    return nullptr;
}

TEST_F(FormsTest, TabReachesEveryControlAndArrowsMoveInARadioGroup) {
    TForm* form = NewForm();
    auto* name = MakeComponent<TEdit>(form, form, "eName");
    name->SetText("typed before");
    auto* box = MakeComponent<TGroupBox>(form, form, "gbKind");
    auto* first = MakeComponent<TRadioButton>(form, box, "rbFirst");
    auto* second = MakeComponent<TRadioButton>(form, box, "rbSecond");
    auto* check = MakeComponent<TCheckBox>(form, box, "cOption");
    auto* hidden = MakeComponent<TButton>(form, form, "cmdHidden");
    hidden->Hide();
    auto* disabled = MakeComponent<TButton>(form, form, "cmdDisabled");
    disabled->SetEnabled(false);
    auto* ok = MakeComponent<TButton>(form, form, "cmdOk");
    second->SetChecked(true);
    form->Show();
    name->SetFocus();

    std::vector<String> reached;
    TWinControl* at = name;
    for (int i = 0; i < 4; ++i) {
        PressKey(at, VK_TAB);
        at = FocusedControl(form);
        ASSERT_NE(at, nullptr);
        reached.push_back(at->Name());
    }
    // The group is entered at its checked button; hidden and disabled controls are passed by.
    EXPECT_EQ(reached, (std::vector<String>{"rbSecond", "cOption", "cmdOk", "eName"}));
    EXPECT_EQ(name->SelText(), "typed before");  // Tab into an edit selects its text
    PressKey(name, VK_TAB, true);
    EXPECT_TRUE(ok->Focused());

    PressKey(ok, VK_TAB, true);
    PressKey(check, VK_TAB, true);
    ASSERT_TRUE(second->Focused());
    PressKey(second, VK_UP);
    EXPECT_TRUE(first->Focused());
    EXPECT_TRUE(first->Checked());
    EXPECT_FALSE(second->Checked());
}

TEST_F(FormsTest, EnterAndSpacePressTheFocusedButton) {
    TForm* form = NewForm();
    auto* def = MakeComponent<TButton>(form, form, "cmdDefault");
    def->SetDefault(true);
    auto* other = MakeComponent<TButton>(form, form, "cmdOther");
    auto* edit = MakeComponent<TEdit>(form, form, "eText");
    std::vector<String> log;
    def->OnClick = [&](TObject*) { log.push_back("default"); };
    other->OnClick = [&](TObject*) { log.push_back("other"); };
    form->Show();
    PressKey(other, VK_RETURN);
    PressKey(other, VK_SPACE);
    PressKey(edit, VK_RETURN);  // from a field, Enter is the default button's
    EXPECT_EQ(log, (std::vector<String>{"other", "other", "default"}));
}

}  // namespace
