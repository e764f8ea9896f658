// Modal loops, nesting depth, work deferred to the outermost loop, and termination signals.
#include <signal.h>

#include "WindowFixture.h"
#include "platform/MessagePump.h"

using namespace window_test;

namespace {
constexpr UINT kEnd = WM_APP + 20;
constexpr UINT kNested = WM_APP + 21;
}  // namespace

class ModalLoopTest : public WindowTest {};

TEST_F(ModalLoopTest, RunsUntilEndedFromAHandler) {
    HWND w = MakeTop();
    platform::ModalLoop loop;
    EXPECT_EQ(platform::ModalLoop::Current(), &loop);
    Recorder::Get().onMessage = [&](HWND, UINT msg, WPARAM, LPARAM) {
        if (msg == kEnd) loop.End();
    };
    PostMessageA(w, WM_APP, 0, 0);
    PostMessageA(w, kEnd, 0, 0);
    PostMessageA(w, WM_APP + 5, 0, 0);
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(Recorder::Get().Count(w, WM_APP), 1);
    EXPECT_EQ(Recorder::Get().Count(w, WM_APP + 5), 0);  // left for the outer loop
}

TEST_F(ModalLoopTest, AQuitEndsTheModalLoopAndStaysPostedForTheOuterLoop) {
    platform::ModalLoop loop;
    PostQuitMessage(4);
    EXPECT_FALSE(loop.Run());
    EXPECT_FALSE(platform::QuitRequested());
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(ModalLoopTest, DeferredWorkWaitsForTheOutermostLoop) {
    HWND w = MakeTop();
    std::vector<std::string> trace;
    Recorder::Get().onMessage = [&](HWND, UINT msg, WPARAM, LPARAM) {
        if (msg == kNested) {
            trace.push_back("handler depth " + std::to_string(platform::LoopDepth()));
            platform::DeferToOutermostLoop([&] { trace.push_back("freed"); });
            platform::ProcessMessages();  // a long operation pumping inside the handler
            trace.push_back("handler done");
        } else if (msg == WM_APP) {
            trace.push_back("inner message");
        }
    };
    PostMessageA(w, kNested, 0, 0);
    PostMessageA(w, WM_APP, 0, 0);
    platform::ProcessMessages();
    EXPECT_EQ(trace, (std::vector<std::string>{"handler depth 1", "inner message", "handler done", "freed"}));
}

TEST_F(ModalLoopTest, DeferredWorkRunsEvenWhenTheQueueIsEmpty) {
    // Windows destroyed outside any loop defer their freeing; the next pump must run it.
    bool freed = false;
    platform::DeferToOutermostLoop([&] { freed = true; });
    platform::ProcessMessages();
    EXPECT_TRUE(freed);
}

TEST_F(ModalLoopTest, TerminationSignalClosesTheMainWindowThroughTheLoop) {
    platform::InstallTerminationSignals();
    HWND w = MakeTop();
    platform::SetMainWindow(w);
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(IsWindow(w));  // nothing happens inside the handler
    platform::ProcessMessages();
    EXPECT_EQ(Recorder::Get().Count(w, WM_CLOSE), 1);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(ModalLoopTest, TerminationSignalWithoutAMainWindowQuits) {
    platform::InstallTerminationSignals();
    ASSERT_EQ(::raise(SIGHUP), 0);
    platform::ProcessMessages();
    EXPECT_TRUE(platform::QuitRequested());
}

TEST_F(ModalLoopTest, TheZipEnginesPumpIsTheLoop) {
    HWND w = MakeTop();
    PostMessageA(w, WM_APP, 0, 0);
    platform::ProcessPendingMessages();
    EXPECT_EQ(Recorder::Get().Count(w, WM_APP), 1);
}
