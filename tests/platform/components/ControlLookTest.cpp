// What the style puts in the display lists: the focus, the default button, disabled text,
// the frames of fields. Colours are the palette's, read back through the system colours.
#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/StdCtrls.h"
#include "platform/Style.h"

namespace {

using forms_test::FormsTest;

const platform::Palette& Colors() { return platform::Style::Current().Colors(); }

platform::DisplayList Painted(HWND hwnd) {
    platform::ClearWindowDisplayList(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE_);
    UpdateWindow(hwnd);
    return platform::WindowDisplayList(hwnd);
}

int CountFrames(const platform::DisplayList& list, COLORREF color) {
    int n = 0;
    for (const auto& item : list)
        if (item.op == platform::DrawOp::FrameRect && item.color == color) ++n;
    return n;
}

COLORREF TextColorOf(const platform::DisplayList& list, const String& text) {
    for (const auto& item : list)
        if (item.op == platform::DrawOp::Text && item.text == text) return item.textColor;
    ADD_FAILURE() << "no text " << text;
    return 0;
}

TEST_F(FormsTest, FocusAndDefaultAreMarkedInTheAccent) {
    TForm* form = NewForm();
    auto* plain = MakeComponent<TButton>(form, form, "cmdPlain");
    auto* def = MakeComponent<TButton>(form, form, "cmdDefault");
    def->SetDefault(true);
    auto* check = MakeComponent<TCheckBox>(form, form, "cCheck");
    check->SetCaption("Option");
    form->Show();
    EXPECT_EQ(CountFrames(Painted(plain->Handle()), Colors().accent), 0);
    EXPECT_EQ(CountFrames(Painted(def->Handle()), Colors().accent), 1);  // the default's border
    plain->SetFocus();
    EXPECT_GE(CountFrames(Painted(plain->Handle()), Colors().accent), 1);
    EXPECT_EQ(CountFrames(Painted(check->Handle()), Colors().accent), 0);
    check->SetFocus();
    EXPECT_GE(CountFrames(Painted(check->Handle()), Colors().accent), 1);  // around the caption
}

TEST_F(FormsTest, DisabledControlsDrawTheirTextGrey) {
    TForm* form = NewForm();
    auto* button = MakeComponent<TButton>(form, form, "cmdGo");
    button->SetCaption("Go");
    auto* label = MakeComponent<TLabel>(form, form, "lbNote");
    label->SetCaption("Note");
    form->Show();
    EXPECT_EQ(TextColorOf(Painted(button->Handle()), "Go"), Colors().buttonText);
    button->SetEnabled(false);
    label->SetEnabled(false);
    EXPECT_EQ(TextColorOf(Painted(button->Handle()), "Go"), Colors().disabledText);
    EXPECT_EQ(TextColorOf(Painted(form->Handle()), "Note"), GetSysColor(COLOR_GRAYTEXT));
}

TEST_F(FormsTest, FieldsGetTheirFrameFromTheParentAndShowTheFocusThere) {
    TForm* form = NewForm();
    auto* edit = MakeComponent<TEdit>(form, form, "eName");
    edit->SetBounds(10, 10, 100, 21);
    form->Show();
    auto frameOf = [&](const platform::DisplayList& list) {
        for (const auto& item : list)
            if (item.op == platform::DrawOp::FrameRect && item.rect.left == 10 && item.rect.top == 10 &&
                item.rect.right == 110 && item.rect.bottom == 31)
                return item.color;
        ADD_FAILURE() << "no frame around the edit";
        return COLORREF{0};
    };
    EXPECT_EQ(frameOf(Painted(form->Handle())), Colors().border);
    edit->SetFocus();
    EXPECT_EQ(frameOf(Painted(form->Handle())), Colors().accent);
    // The caret is drawn in the focused field, after the text.
    bool caret = false;
    for (const auto& item : Painted(edit->Handle()))
        if (item.op == platform::DrawOp::FillRect && item.rect.right - item.rect.left == 1) caret = true;
    EXPECT_TRUE(caret);
}

}  // namespace
