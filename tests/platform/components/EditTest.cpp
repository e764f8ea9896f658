// Editing in edits and memos: characters rather than bytes, the caret keys, the mouse, the
// two selections (clipboard and primary) and undo.
#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/Display.h"
#include "platform/StdCtrls.h"

namespace {

using forms_test::FormsTest;
using platform::display::Selection;

// One thing a person does: a key with modifiers, or text typed (sent byte by byte, as
// TranslateMessage and the input method deliver it).
struct Step {
    Word key = 0;
    TShiftState shift = 0;
    String typed;
};
Step Key(Word key, TShiftState shift = 0) { return Step{key, shift, {}}; }
Step Typed(const String& text) { return Step{0, 0, text}; }

void Do(TWinControl* c, const Step& s) {
    if (!s.typed.empty()) {
        for (char ch : s.typed) SendMessageA(c->Handle(), WM_CHAR, static_cast<unsigned char>(ch), 0);
        return;
    }
    platform::SetKeyDown(VK_SHIFT, (s.shift & ssShift) != 0);
    platform::SetKeyDown(VK_CONTROL, (s.shift & ssCtrl) != 0);
    if (s.key == VK_BACK)
        SendMessageA(c->Handle(), WM_CHAR, VK_BACK, 0);
    else
        SendMessageA(c->Handle(), WM_KEYDOWN, s.key, 0);
    platform::ResetKeyboard();
}

struct EditCase {
    const char* name;
    String text;
    Integer caret;
    std::vector<Step> steps;
    String wantText;
    String wantSelected;
    Integer wantCaret;  // SelStart when nothing is selected
};

class CharacterEditing : public FormsTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(CharacterEditing, WorksOnWholeCharacters) {
    const EditCase& t = GetParam();
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetText(t.text);
    edit->SetSelStart(t.caret);
    for (const Step& s : t.steps) Do(edit, s);
    EXPECT_EQ(edit->Text(), t.wantText);
    EXPECT_EQ(edit->SelText(), t.wantSelected);
    if (t.wantSelected.empty()) {
        EXPECT_EQ(edit->SelStart(), t.wantCaret);
    }
}

// "é" is 2 bytes, "✓" 3, "日本語" 3 each, "ö" 2.
INSTANTIATE_TEST_SUITE_P(
    Edit, CharacterEditing,
    ::testing::Values(
        EditCase{"BackspaceRemovesTheWholeLastCharacter", "é✓", 5, {Key(VK_BACK)}, "é", "", 2},
        EditCase{"BackspaceTwiceEmpties", "é✓", 5, {Key(VK_BACK), Key(VK_BACK)}, "", "", 0},
        EditCase{"DeleteRemovesTheWholeNextCharacter", "✓a", 0, {Key(VK_DELETE)}, "a", "", 0},
        EditCase{"ArrowsStepOverCharacters", "aé✓b", 0, {Key(VK_RIGHT), Key(VK_RIGHT)}, "aé✓b", "", 3},
        EditCase{"ShiftArrowSelectsOneCharacter", "aé✓b", 3, {Key(VK_RIGHT, ssShift)}, "aé✓b", "✓", 0},
        EditCase{"ShiftLeftFromTheEnd", "日本語", 9, {Key(VK_LEFT, ssShift), Key(VK_LEFT, ssShift)}, "日本語", "本語", 0},
        EditCase{"LeftCollapsesASelectionToItsStart", "日本語", 9, {Key(VK_LEFT, ssShift), Key(VK_LEFT)}, "日本語", "", 6},
        EditCase{"CtrlRightMovesByWord", "hello wörld again", 0, {Key(VK_RIGHT, ssCtrl), Key(VK_RIGHT, ssCtrl)},
                 "hello wörld again", "", 13},
        EditCase{"CtrlShiftLeftSelectsTheLastWord", "hello wörld again", 18, {Key(VK_LEFT, ssCtrl | ssShift)},
                 "hello wörld again", "again", 0},
        EditCase{"ShiftEndThenHome", "abc", 1, {Key(VK_END, ssShift)}, "abc", "bc", 0},
        EditCase{"HomeGoesToTheStart", "abc", 2, {Key(VK_HOME)}, "abc", "", 0},
        EditCase{"CtrlAThenTypingReplacesEverything", "old", 0, {Key('A', ssCtrl), Typed("ü✓")}, "ü✓", "", 5},
        EditCase{"TypedBytesMakeCharacters", "", 0, {Typed("é✓"), Key(VK_BACK)}, "é", "", 2},
        EditCase{"StrayContinuationBytesAreDropped", "", 0, {Typed("a\x80\xbf" "b")}, "ab", "", 2},
        EditCase{"UndoTakesBackTheTypedRun", "", 0, {Typed("ab"), Typed("c"), Key('Z', ssCtrl)}, "", "", 0},
        EditCase{"UndoTwiceGivesTheChangeBack", "", 0, {Typed("ab"), Key('Z', ssCtrl), Key('Z', ssCtrl)}, "ab", "",
                 2},
        EditCase{"UndoOfADelete", "x✓y", 4, {Key(VK_BACK), Key('Z', ssCtrl)}, "x✓y", "", 4}),
    [](const auto& info) { return String(info.param.name); });

TEST_F(FormsTest, MaxLengthNeverCutsACharacterInHalf) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetMaxLength(4);
    platform::display::SetSelectionText(Selection::Clipboard, "aé✓");  // 1 + 2 + 3 bytes
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "aé");
}

TEST_F(FormsTest, ClipboardCarriesTextBetweenEdits) {
    TForm* form = NewForm();
    auto* from = new TEdit(form);
    from->SetParent(form);
    auto* to = new TEdit(form);
    to->SetParent(form);
    from->SetText("copy ✓ this");
    from->SelectAll();
    Do(from, Key('C', ssCtrl));
    EXPECT_EQ(platform::display::SelectionText(Selection::Clipboard), "copy ✓ this");
    to->SetText("[]");
    to->SetSelStart(1);
    Do(to, Key('V', ssCtrl));
    EXPECT_EQ(to->Text(), "[copy ✓ this]");

    // Cut takes the text away; a read-only edit copies but neither cuts nor pastes.
    to->SelectAll();
    Do(to, Key('X', ssCtrl));
    EXPECT_EQ(to->Text(), "");
    EXPECT_EQ(platform::display::SelectionText(Selection::Clipboard), "[copy ✓ this]");
    from->SetReadOnly(true);
    from->SelectAll();
    Do(from, Key('X', ssCtrl));
    EXPECT_EQ(from->Text(), "copy ✓ this");
    Do(from, Key('V', ssCtrl));
    EXPECT_EQ(from->Text(), "copy ✓ this");

    // A password never leaves its edit.
    auto* secret = new TEdit(form);
    secret->SetParent(form);
    secret->SetPasswordChar('*');
    secret->SetText("hunter2");
    secret->SelectAll();
    Do(secret, Key('C', ssCtrl));
    EXPECT_EQ(platform::display::SelectionText(Selection::Clipboard), "[copy ✓ this]");
    EXPECT_NE(platform::display::SelectionText(Selection::Primary), "hunter2");
}

TEST_F(FormsTest, MouseSelectsAndMiddleClickPastesThePrimarySelection) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetText("aé✓bc");
    form->Show();
    platform::display::SetSelectionText(Selection::Clipboard, "");
    // Where the characters lie is asked of the same measure the edit paints with.
    auto xAfter = [&](const String& prefix) {
        return platform::kFieldPadding + platform::TextExtent(edit->Font()->Spec(), prefix).cx;
    };
    SendMessageA(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(xAfter("a") + 1, 5));
    SendMessageA(edit->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(xAfter("aé✓") - 1, 5));
    SendMessageA(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(xAfter("aé✓") - 1, 5));
    EXPECT_EQ(edit->SelText(), "é✓");
    EXPECT_EQ(platform::display::SelectionText(Selection::Primary), "é✓");
    EXPECT_EQ(platform::display::SelectionText(Selection::Clipboard), "");

    auto* other = new TEdit(form);
    other->SetParent(form);
    other->SetText("<>");
    SendMessageA(other->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(xAfter("<"), 5));
    EXPECT_EQ(other->Text(), "<é✓>");

    // A double click takes the word under the pointer.
    edit->SetText("one twö three");
    SendMessageA(edit->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(xAfter("one t"), 5));
    EXPECT_EQ(edit->SelText(), "twö");
}

TEST_F(FormsTest, MemoKeepsTheCaretColumnAcrossLines) {
    TForm* form = NewForm();
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetText("abcd\r\nxé\r\nlonger line");
    memo->SetSelStart(3);  // after "abc"
    Do(memo, Key(VK_DOWN));
    EXPECT_EQ(memo->SelStart(), 6 + 3);  // the end of "xé", the nearest place to the column
    Do(memo, Key(VK_DOWN, ssShift));
    EXPECT_EQ(memo->SelText(), "\r\nlo");
    Do(memo, Key(VK_END));
    Do(memo, Key(VK_BACK));
    EXPECT_EQ(memo->Lines()->Strings(2), "longer lin");
    Do(memo, Key(VK_HOME, ssCtrl));
    Do(memo, Key(VK_RIGHT, ssShift));
    EXPECT_EQ(memo->SelText(), "a");
}

TEST_F(FormsTest, MemoScrollsByWheelBarAndCaret) {
    TForm* form = NewForm();
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    String text;
    for (int i = 0; i < 30; ++i) text += "line " + std::to_string(i) + (i < 29 ? "\r\n" : "");
    memo->SetText(text);
    form->Show();
    SendMessageA(memo->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(memo->TopLine(), 3);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(memo->Handle(), SB_VERT, &si));
    EXPECT_EQ(si.nPos, 3);
    EXPECT_EQ(si.nMax, 29);

    // Dragging the thumb to the bottom of the bar shows the last page.
    RECT bar = platform::VerticalBarRect(memo->ClientRect(), false);
    platform::ScrollGeometry g = platform::LayoutScrollBar(bar, true, si);
    SendMessageA(memo->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(g.thumb.left + 2, g.thumb.top + 1));
    SendMessageA(memo->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(g.thumb.left + 2, bar.bottom + 50));
    SendMessageA(memo->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(g.thumb.left + 2, bar.bottom + 50));
    EXPECT_EQ(memo->TopLine(), 30 - static_cast<Integer>(si.nPage));
    EXPECT_EQ(memo->Text(), text);  // the bar took the press, not the text

    // The caret brings its line into view.
    Do(memo, Key(VK_HOME, ssCtrl));
    EXPECT_EQ(memo->TopLine(), 0);
}

}  // namespace
