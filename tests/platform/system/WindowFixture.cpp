#include "WindowFixture.h"

#include <unistd.h>

#include <algorithm>

#include "platform/Profile.h"

namespace window_test {

Recorder& Recorder::Get() {
    static Recorder r;
    return r;
}

std::vector<UINT> Recorder::MessagesOf(HWND hwnd, const std::vector<UINT>& only) const {
    std::vector<UINT> out;
    for (const Received& r : log) {
        if (r.hwnd != hwnd) continue;
        if (!only.empty() && std::find(only.begin(), only.end(), r.msg) == only.end()) continue;
        out.push_back(r.msg);
    }
    return out;
}

int Recorder::Count(HWND hwnd, UINT msg) const {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const Received& r) { return r.hwnd == hwnd && r.msg == msg; }));
}

LRESULT RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Recorder& r = Recorder::Get();
    r.log.push_back(Received{hwnd, msg, wParam, lParam});
    if (r.onMessage) r.onMessage(hwnd, msg, wParam, lParam);
    auto it = r.answers.find(msg);
    if (it != r.answers.end()) return it->second;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void WindowTest::SetUp() {
    char templ[] = "/tmp/tarvik-window-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    dir_ = templ;
    ::setenv("TARVIK_PROFILE", (dir_ / "profile").c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    platform::ResetProfileForTests();
    platform::SetClock(&clock_);
    platform::SetDialogHook({});
    platform::ClearShownDialogs();
    platform::ResetQuitRequest();
    Recorder::Get() = Recorder{};
    static bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = kRecorderClass;
        wc.cbWndExtra = 16;
        return RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
}

void WindowTest::TearDown() {
    for (HWND h : made_)
        if (IsWindow(h)) DestroyWindow(h);
    // Leave no posted message, paint or quit behind for the next case.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    platform::ResetQuitRequest();
    platform::SetMainWindow(nullptr);
    Recorder::Get() = Recorder{};
    platform::SetClock(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

HWND WindowTest::MakeTop(const char* caption, DWORD style) {
    HWND h = CreateWindowExA(0, kRecorderClass, caption, style, 10, 20, 200, 100, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(h, nullptr);
    made_.push_back(h);
    return h;
}

HWND WindowTest::MakeChild(HWND parent, int id, DWORD style) {
    HWND h = CreateWindowExA(0, kRecorderClass, "child", style, 5, 5, 50, 20, parent,
                             reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    EXPECT_NE(h, nullptr);
    return h;
}

}  // namespace window_test
