// Modal forms, message boxes and input boxes that wait for the person at the display: the
// person is played by posted keys and clicks (tests/forms/PersonDriver.h).
#include <gtest/gtest.h>

#include "platform/BoxForms.h"
#include "platform/Canvas.h"
#include "platform/CommonDialogs.h"
#include "platform/StdCtrls.h"
#include "tests/platform/components/FormsFixture.h"
#include "tests/platform/components/PersonDriver.h"

using namespace forms_test;

namespace {

std::vector<String> ChildTexts(HWND parent) {
    std::vector<String> texts;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM p) -> BOOL {
            char buf[256];
            int n = GetWindowTextA(h, buf, sizeof buf);
            reinterpret_cast<std::vector<String>*>(p)->push_back(String(buf, static_cast<std::size_t>(n)));
            return TRUE_;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

class BoxFormsTest : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        owner_ = NewForm("Owner");
        owner_->Show();
    }
    TForm* owner_ = nullptr;
};

struct BoxCase {
    UINT type;
    std::vector<int> keys;
    int answer;
    std::vector<String> buttons;
};

TEST_F(BoxFormsTest, MessageBoxButtonsAndKeys) {
    const std::vector<String> yesNoCancel{"&Yes", "&No", "Cancel"};
    const BoxCase cases[] = {
        {MB_YESNOCANCEL | MB_ICONQUESTION, {VK_RETURN}, IDYES, yesNoCancel},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, {VK_RETURN}, IDNO, yesNoCancel},
        {MB_YESNOCANCEL, {VK_ESCAPE}, IDCANCEL, yesNoCancel},
        {MB_OK | MB_ICONERROR, {VK_ESCAPE}, IDOK, {"OK"}},
        // No cancel button: Escape does nothing; Tab moves to No.
        {MB_YESNO, {VK_ESCAPE, VK_TAB, VK_RETURN}, IDNO, {"&Yes", "&No"}},
        {MB_OKCANCEL, {VK_RIGHT, VK_SPACE}, IDCANCEL, {"OK", "Cancel"}},
        {MB_ABORTRETRYIGNORE, {'R'}, IDRETRY, {"&Abort", "&Retry", "&Ignore"}},
        {MB_RETRYCANCEL, {VK_TAB, VK_TAB, VK_RETURN}, IDRETRY, {"&Retry", "Cancel"}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.keys));
        platform::ClearShownDialogs();
        std::vector<String> buttons;
        String caption;
        bool ownerEnabled = true;
        std::vector<PersonDriver::Step> steps{[&] {
            HWND box = GetActiveWindow();
            buttons = ChildTexts(box);
            char buf[64];
            caption = String(buf, static_cast<std::size_t>(GetWindowTextA(box, buf, sizeof buf)));
            ownerEnabled = IsWindowEnabled(owner_->Handle()) != 0;
            PressKey(GetFocus(), c.keys.front());
        }};
        for (std::size_t i = 1; i < c.keys.size(); ++i) steps.push_back([vk = c.keys[i]] { PressKey(GetFocus(), vk); });
        PersonDriver person(clock_, steps);
        int answer = Application->MessageBox("Save the changes?", "Tarvik", c.type);
        EXPECT_FALSE(person.GaveUp());
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_EQ(caption, "Tarvik");
        EXPECT_FALSE(ownerEnabled);
        EXPECT_TRUE(IsWindowEnabled(owner_->Handle()));
        auto shown = platform::ShownDialogs();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].answer, c.answer);
        EXPECT_EQ(shown[0].text, "Save the changes?");
    }
}

TEST_F(BoxFormsTest, BoxDrawsIconAndWrapsLongText) {
    const String text = "The backup could not be written because the medium is full and no further disk was "
                        "inserted before the time ran out.\nNothing was changed.";
    std::vector<String> lines;
    bool iconDrawn = false;
    PersonDriver person(clock_, {[&] {
        HWND box = GetActiveWindow();
        for (const auto& d : platform::WindowDisplayList(box)) {
            if (d.op == platform::DrawOp::Text && d.text.size() > 1) {
                lines.push_back(d.text);
                EXPECT_LE(platform::TextExtent(d.font, d.text).cx, 360);
            }
            if (d.op == platform::DrawOp::FillRect && d.color == RGB(230, 160, 0)) iconDrawn = true;
        }
        PressKey(GetFocus(), VK_RETURN);
    }});
    MessageDlg(text, mtWarning, mbOK, 0);
    EXPECT_FALSE(person.GaveUp());
    EXPECT_TRUE(iconDrawn);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "Nothing was changed.");
    String joined;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) joined += (i ? " " : "") + lines[i];
    EXPECT_EQ(joined + "\n" + lines.back(), text);
}

TEST_F(BoxFormsTest, InputBoxTakesTheTextOnReturnAndKeepsItOnEscape) {
    for (int vk : {VK_RETURN, VK_ESCAPE}) {
        String prompt;
        PersonDriver person(clock_, {[&] {
            HWND box = GetActiveWindow();
            for (const String& t : platform::WindowDisplayTexts(box)) prompt += t;
            SetWindowTextA(GetFocus(), "found");
            PressKey(GetFocus(), vk);
        }});
        String value = "before";
        bool ok = InputQuery("Search", "Search in history.", value);
        EXPECT_FALSE(person.GaveUp());
        EXPECT_EQ(prompt, "Search in history.");
        EXPECT_EQ(ok, vk == VK_RETURN);
        EXPECT_EQ(value, vk == VK_RETURN ? "found" : "before");
    }
}

TEST_F(BoxFormsTest, ModalFormWaitsForThePersonUnlessAHookAnswers) {
    auto* dialog = NewForm("Dialog");
    auto* ok = new TButton(dialog);
    ok->SetParent(dialog);
    ok->SetBounds(10, 10, 75, 25);
    ok->SetModalResult(mrOk);
    {
        bool ownerEnabled = true;
        PersonDriver person(clock_, {[&] {
            ownerEnabled = IsWindowEnabled(owner_->Handle()) != 0;
            PostMessageA(ok->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageA(ok->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }});
        EXPECT_EQ(dialog->ShowModal(), mrOk);
        EXPECT_FALSE(person.GaveUp());
        EXPECT_FALSE(ownerEnabled);
        EXPECT_TRUE(IsWindowEnabled(owner_->Handle()));
        EXPECT_FALSE(dialog->Visible());
    }
    {
        // The window manager's close button.
        PersonDriver person(clock_, {[&] { PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0); }});
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
        EXPECT_FALSE(person.GaveUp());
    }
    {
        // A hook answers on any display, and the person is never asked.
        PersonDriver person(clock_, {});
        platform::SetDialogHook([](platform::DialogRequest& r) {
            return r.kind == platform::DialogKind::ModalForm ? IDRETRY : IDYES;
        });
        EXPECT_EQ(dialog->ShowModal(), mrRetry);
        EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO), IDYES);
        EXPECT_EQ(person.StepsRun(), 0u);
        EXPECT_FALSE(person.GaveUp());
    }
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].kind, platform::DialogKind::ModalForm);
    EXPECT_EQ(shown[0].answer, mrOk);
    EXPECT_EQ(shown[1].answer, mrCancel);
}

}  // namespace
