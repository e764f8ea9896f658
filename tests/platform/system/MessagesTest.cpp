// Sending and posting: order, results, filters, quit, and posts from another thread.
#include <thread>

#include "WindowFixture.h"

using namespace window_test;

namespace {
constexpr UINT kPing = WM_APP + 1;
constexpr UINT kOther = WM_APP + 2;

std::vector<WPARAM> ParamsOf(HWND hwnd, UINT msg) {
    std::vector<WPARAM> out;
    for (const Received& r : Recorder::Get().log)
        if (r.hwnd == hwnd && r.msg == msg) out.push_back(r.wParam);
    return out;
}
}  // namespace

class MessagesTest : public WindowTest {};

TEST_F(MessagesTest, SendCallsTheProcedureAtOnceAndReturnsItsAnswer) {
    HWND w = MakeTop();
    Recorder::Get().answers[kPing] = 0x18549A00;
    EXPECT_EQ(SendMessageA(w, kPing, 7, 8), 0x18549A00);
    ASSERT_EQ(Recorder::Get().Count(w, kPing), 1);
    EXPECT_EQ(Recorder::Get().log.back().wParam, 7u);
    EXPECT_EQ(Recorder::Get().log.back().lParam, 8);
}

TEST_F(MessagesTest, PostedMessagesWaitForTheLoopAndArriveInOrder) {
    HWND w = MakeTop();
    for (WPARAM i = 1; i <= 5; ++i) ASSERT_TRUE(PostMessageA(w, kPing, i, 0));
    EXPECT_EQ(Recorder::Get().Count(w, kPing), 0);
    platform::ProcessMessages();
    EXPECT_EQ(ParamsOf(w, kPing), (std::vector<WPARAM>{1, 2, 3, 4, 5}));
}

TEST_F(MessagesTest, SendOvertakesEarlierPosts) {
    HWND w = MakeTop();
    PostMessageA(w, kPing, 1, 0);
    SendMessageA(w, kOther, 2, 0);
    platform::ProcessMessages();
    EXPECT_EQ(Recorder::Get().MessagesOf(w, {kPing, kOther}), (std::vector<UINT>{kOther, kPing}));
}

TEST_F(MessagesTest, SendToAnInvalidHandleFailsWithLastError) {
    HWND w = MakeTop();
    DestroyWindow(w);
    SetLastError(0);
    EXPECT_EQ(SendMessageA(w, kPing, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PostMessageA(w, kPing, 0, 0));
}

TEST_F(MessagesTest, PeekFiltersByWindowAndRangeAndCanLeaveTheMessage) {
    HWND a = MakeTop("a");
    HWND b = MakeTop("b");
    platform::ProcessMessages();  // first paints
    PostMessageA(a, kPing, 1, 0);
    PostMessageA(b, kOther, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, kOther);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, kOther, kOther, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, a);
}

TEST_F(MessagesTest, QuitComesAfterThePostedMessagesAndEndsGetMessage) {
    HWND w = MakeTop();
    platform::ProcessMessages();
    PostQuitMessage(3);
    PostMessageA(w, kPing, 1, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, kPing);
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessagesTest, RunMessageLoopReturnsTheQuitCode) {
    HWND w = MakeTop();
    Recorder::Get().onMessage = [](HWND, UINT msg, WPARAM wParam, LPARAM) {
        if (msg == kPing) PostQuitMessage(static_cast<int>(wParam));
    };
    PostMessageA(w, kPing, 9, 0);
    EXPECT_EQ(platform::RunMessageLoop(), 9);
    EXPECT_TRUE(platform::QuitRequested());
}

TEST_F(MessagesTest, PostFromAnotherThreadWakesAWaitingLoop) {
    platform::SetClock(nullptr);  // a real wait
    HWND w = MakeTop();
    platform::ProcessMessages();
    std::thread poster([w] { PostMessageA(w, kPing, 42, 0); });
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, kPing, kPing));
    poster.join();
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(MessagesTest, ThreadMessagesHaveNoWindow) {
    PostMessageA(nullptr, kPing, 5, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, kPing);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
}

TEST_F(MessagesTest, TranslateTurnsKeysIntoCharacters) {
    HWND w = MakeTop();
    platform::ProcessMessages();
    MSG key{w, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_TRUE(TranslateMessage(&key));
    platform::SetKeyDown(VK_SHIFT, true);
    EXPECT_TRUE(TranslateMessage(&key));
    platform::ResetKeyboard();
    MSG arrow{w, WM_KEYDOWN, VK_LEFT, 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&arrow));
    platform::ProcessMessages();
    EXPECT_EQ(ParamsOf(w, WM_CHAR), (std::vector<WPARAM>{'a', 'A'}));
}

TEST_F(MessagesTest, TextGoesThroughTheWindowProcedure) {
    HWND w = MakeTop("first");
    char buf[8];
    EXPECT_EQ(GetWindowTextA(w, buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "first");
    SetWindowTextA(w, "a longer caption");
    EXPECT_EQ(GetWindowTextLengthA(w), 16);
    EXPECT_EQ(GetWindowTextA(w, buf, sizeof buf), 7);  // cut to the buffer
    EXPECT_STREQ(buf, "a longe");
    EXPECT_EQ(Recorder::Get().Count(w, WM_SETTEXT), 1);
}

TEST_F(MessagesTest, RegisteredMessagesAreStableByName) {
    UINT a = RegisterWindowMessageA("TarvikTestMessage");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("tarviktestmessage"), a);
    EXPECT_NE(RegisterWindowMessageA("AnotherMessage"), a);
}

TEST_F(MessagesTest, TheCrossProcessTimeoutComesFromTheApiThenTheEnvironmentThenFiveSeconds) {
    platform::SetCrossProcessSendTimeout(0);
    ::unsetenv("TARVIK_SEND_TIMEOUT_MS");
    EXPECT_EQ(platform::CrossProcessSendTimeout(), 5000u);
    ::setenv("TARVIK_SEND_TIMEOUT_MS", "250", 1);
    EXPECT_EQ(platform::CrossProcessSendTimeout(), 250u);
    ::setenv("TARVIK_SEND_TIMEOUT_MS", "soon", 1);
    EXPECT_EQ(platform::CrossProcessSendTimeout(), 5000u);
    platform::SetCrossProcessSendTimeout(40);
    EXPECT_EQ(platform::CrossProcessSendTimeout(), 40u);
    platform::SetCrossProcessSendTimeout(0);
    ::unsetenv("TARVIK_SEND_TIMEOUT_MS");
}
