// The dialog hook: default answers, hook answers, the record of boxes, shell and shutdown.
#include <cstring>

#include "WindowFixture.h"

using namespace window_test;
using platform::DialogKind;

struct DefaultCase {
    const char* name;
    DialogKind kind;
    UINT buttons;
    int answer;
};

class DefaultAnswerTest : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultAnswerTest, WithoutAHookFormsCancelAndQuestionsSayNo) {
    platform::DialogRequest r;
    r.kind = GetParam().kind;
    r.buttons = GetParam().buttons;
    EXPECT_EQ(platform::DefaultDialogAnswer(r), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, DefaultAnswerTest,
    ::testing::Values(DefaultCase{"Ok", DialogKind::MessageBox, MB_OK, IDOK},
                      DefaultCase{"OkCancel", DialogKind::MessageBox, MB_OKCANCEL, IDCANCEL},
                      DefaultCase{"YesNo", DialogKind::MessageBox, MB_YESNO | MB_ICONQUESTION, IDNO},
                      DefaultCase{"YesNoCancel", DialogKind::MessageBox, MB_YESNOCANCEL, IDNO},
                      DefaultCase{"RetryCancel", DialogKind::MessageBox, MB_RETRYCANCEL, IDCANCEL},
                      DefaultCase{"AbortRetryIgnore", DialogKind::MessageBox, MB_ABORTRETRYIGNORE, IDABORT},
                      DefaultCase{"ModalForm", DialogKind::ModalForm, 0, IDCANCEL},
                      DefaultCase{"InputBox", DialogKind::InputBox, 0, IDCANCEL},
                      DefaultCase{"OpenDialog", DialogKind::OpenDialog, 0, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

class DialogsTest : public WindowTest {};

TEST_F(DialogsTest, EveryBoxIsRecordedWithItsAnswer) {
    EXPECT_EQ(MessageBoxA(nullptr, "Delete it?", "Confirm", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Done", nullptr, MB_OK), IDOK);
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Confirm");
    EXPECT_EQ(shown[0].text, "Delete it?");
    EXPECT_EQ(shown[0].buttons, MB_YESNO);
    EXPECT_EQ(shown[0].answer, IDNO);
    EXPECT_EQ(shown[1].caption, "Error");
    platform::ClearShownDialogs();
    EXPECT_TRUE(platform::ShownDialogs().empty());
}

TEST_F(DialogsTest, TheHookAnswersAndCanFillValues) {
    std::vector<String> asked;
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        asked.push_back(r.text);
        if (r.kind == DialogKind::InputBox) {
            r.value = "typed";
            return IDOK;
        }
        return r.text == "pass" ? 0 : IDYES;  // 0: the default answer
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "pass", "Q", MB_YESNO), IDNO);
    platform::DialogRequest input;
    input.kind = DialogKind::InputBox;
    input.caption = "Name";
    EXPECT_EQ(platform::ShowDialog(input), IDOK);
    EXPECT_EQ(input.value, "typed");
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(platform::ShownDialogs().size(), 3u);
    platform::SetDialogHook({});
    EXPECT_FALSE(platform::HasDialogHook());
}

TEST_F(DialogsTest, ShellLaunchesAndShutdownsAreRecordedOnly) {
    platform::ClearShellExecuteCalls();
    platform::ClearExitWindowsCalls();
    HINSTANCE r = ShellExecuteA(nullptr, "Open", "MailTo:someone@example.com", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(r), 32u);
    auto calls = platform::ShellExecuteCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].verb, "Open");
    EXPECT_EQ(calls[0].file, "MailTo:someone@example.com");
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);
    EXPECT_TRUE(ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0));
    EXPECT_EQ(platform::ExitWindowsCalls(), std::vector<UINT>{5});
}

TEST_F(DialogsTest, NotificationIconsAreAddedModifiedAndDeleted) {
    platform::ClearNotifyIcons();
    HWND w = MakeTop();
    NOTIFYICONDATAA data;
    data.cbSize = 88;
    data.hWnd = w;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = 0x0800;
    std::strcpy(data.szTip, "Click for option's");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));  // one icon per window and id
    ASSERT_EQ(platform::NotifyIcons().size(), 1u);
    EXPECT_EQ(platform::NotifyIcons()[0].tip, "Click for option's");
    EXPECT_EQ(platform::NotifyIcons()[0].callbackMessage, 0x0800u);
    data.uFlags = NIF_TIP;
    data.szTip[0] = '\0';
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_EQ(platform::NotifyIcons()[0].tip, "");
    EXPECT_EQ(platform::NotifyIcons()[0].callbackMessage, 0x0800u);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_TRUE(platform::NotifyIcons().empty());
}
