// Creation and destruction order, the window tree, show state, focus, capture, enumeration.
#include "WindowFixture.h"

using namespace window_test;

namespace {
const std::vector<UINT> kLife = {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_DESTROY, WM_NCDESTROY};

std::vector<std::pair<HWND, UINT>> DestroyLog() {
    std::vector<std::pair<HWND, UINT>> out;
    for (const Received& r : Recorder::Get().log)
        if (r.msg == WM_DESTROY || r.msg == WM_NCDESTROY) out.emplace_back(r.hwnd, r.msg);
    return out;
}
}  // namespace

class LifecycleTest : public WindowTest {};

TEST_F(LifecycleTest, CreationSendsItsMessagesInOrder) {
    HWND w = MakeTop("t", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    EXPECT_EQ(Recorder::Get().MessagesOf(w, kLife),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(LifecycleTest, CreateAnsweringMinusOneFailsTheCreation) {
    Recorder::Get().answers[WM_CREATE] = -1;
    HWND w = CreateWindowExA(0, kRecorderClass, "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(w, nullptr);
    ASSERT_FALSE(Recorder::Get().log.empty());
    HWND attempted = Recorder::Get().log.front().hwnd;
    EXPECT_EQ(Recorder::Get().MessagesOf(attempted, {WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(attempted));
}

TEST_F(LifecycleTest, DestroyReachesOwnedWindowsFirstThenTheTreeTopDownAndFinishesBottomUp) {
    HWND top = MakeTop("top");
    HWND child = MakeChild(top, 1);
    HWND grandchild = MakeChild(child, 2);
    HWND sibling = MakeChild(top, 3);
    HWND owned = CreateWindowExA(0, kRecorderClass, "owned", WS_POPUP, 0, 0, 5, 5, child, nullptr, nullptr, nullptr);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), top);  // the owner is the top-level window
    Recorder::Get().log.clear();

    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> expected = {
        {owned, WM_DESTROY},      {owned, WM_NCDESTROY},
        {top, WM_DESTROY},
        {child, WM_DESTROY},      {grandchild, WM_DESTROY},   {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY},
        {sibling, WM_DESTROY},    {sibling, WM_NCDESTROY},
        {top, WM_NCDESTROY}};
    EXPECT_EQ(DestroyLog(), expected);
    for (HWND h : {top, child, grandchild, sibling, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(LifecycleTest, DestroyInsideWmDestroyIsHarmless) {
    HWND top = MakeTop();
    Recorder::Get().onMessage = [top](HWND h, UINT msg, WPARAM, LPARAM) {
        if (h == top && msg == WM_DESTROY) {
            EXPECT_TRUE(DestroyWindow(top));
        }
    };
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_EQ(Recorder::Get().Count(top, WM_NCDESTROY), 1);
}

TEST_F(LifecycleTest, CloseDefaultsToDestroy) {
    HWND top = MakeTop();
    SendMessageA(top, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(top));
}

TEST_F(LifecycleTest, ShowStatesAndTheirSizeMessages) {
    HWND w = MakeTop();
    EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(w));
    Recorder::Get().log.clear();
    ShowWindow(w, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(w));
    ASSERT_EQ(Recorder::Get().Count(w, WM_SIZE), 1);
    EXPECT_EQ(Recorder::Get().log[0].wParam, SIZE_MINIMIZED);
    SendMessageA(w, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(w));
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(w));
    EXPECT_TRUE(ShowWindow(w, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(w));
    HWND c = MakeChild(w);
    EXPECT_FALSE(IsWindowVisible(c));  // a visible child of a hidden parent is not shown
}

TEST_F(LifecycleTest, GeometryOfFramesAndChildren) {
    HWND top = MakeTop("geo", WS_OVERLAPPED | WS_CAPTION | WS_BORDER);
    RECT r;
    ASSERT_TRUE(GetWindowRect(top, &r));
    EXPECT_EQ(r, (RECT{10, 20, 210, 120}));
    ASSERT_TRUE(GetClientRect(top, &r));
    EXPECT_EQ(r, (RECT{0, 0, 194, 76}));  // a caption brings a 3-pixel frame and an 18-pixel bar
    RECT adjusted{0, 0, 194, 76};
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPED | WS_CAPTION | WS_BORDER, FALSE_, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 200);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 100);
    HWND child = MakeChild(top);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p, (POINT{10 + 3 + 5, 20 + 21 + 5}));
    ScreenToClient(top, &p);
    EXPECT_EQ(p, (POINT{5, 5}));
    EXPECT_EQ(WindowFromPoint(POINT{0, 0}), nullptr);
    Recorder::Get().log.clear();
    MoveWindow(child, 7, 8, 30, 40, TRUE_);
    EXPECT_EQ(Recorder::Get().MessagesOf(child, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
}

TEST_F(LifecycleTest, TopmostPlacementShowsInTheExtendedStyle) {
    HWND top = MakeTop("ontop", WS_OVERLAPPED);
    auto exStyle = [&] { return static_cast<DWORD>(GetWindowLongPtrA(top, GWL_EXSTYLE)); };
    SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(exStyle() & WS_EX_TOPMOST);
    SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(exStyle() & WS_EX_TOPMOST);
}

TEST_F(LifecycleTest, FocusAndCaptureAnnounceTheirChanges) {
    HWND top = MakeTop();
    HWND a = MakeChild(top, 1);
    HWND b = MakeChild(top, 2);
    SetFocus(a);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(GetActiveWindow(), top);
    Recorder::Get().log.clear();
    EXPECT_EQ(SetFocus(b), a);
    ASSERT_EQ(Recorder::Get().log.size(), 2u);
    EXPECT_EQ(Recorder::Get().log[0].hwnd, a);
    EXPECT_EQ(Recorder::Get().log[0].msg, WM_KILLFOCUS);
    EXPECT_EQ(Recorder::Get().log[1].hwnd, b);
    EXPECT_EQ(Recorder::Get().log[1].msg, WM_SETFOCUS);

    SetCapture(a);
    EXPECT_EQ(GetCapture(), a);
    SetCapture(b);
    EXPECT_EQ(Recorder::Get().Count(a, WM_CAPTURECHANGED), 1);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Recorder::Get().Count(b, WM_CAPTURECHANGED), 1);

    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(LifecycleTest, EnumerationAndFind) {
    HWND one = MakeTop("One");
    HWND two = MakeTop("Two");
    HWND child = MakeChild(two);
    std::vector<HWND> seen;
    EnumWindows([](HWND h, LPARAM p) { reinterpret_cast<std::vector<HWND>*>(p)->push_back(h); return TRUE_; },
                reinterpret_cast<LPARAM>(&seen));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], two);  // newest on top
    EXPECT_EQ(seen[1], one);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), child), 0);

    int calls = 0;
    EXPECT_FALSE(EnumWindows([](HWND, LPARAM p) { ++*reinterpret_cast<int*>(p); return FALSE_; },
                             reinterpret_cast<LPARAM>(&calls)));
    EXPECT_EQ(calls, 1);

    std::vector<HWND> kids;
    EnumChildWindows(two, [](HWND h, LPARAM p) { reinterpret_cast<std::vector<HWND>*>(p)->push_back(h); return TRUE_; },
                     reinterpret_cast<LPARAM>(&kids));
    EXPECT_EQ(kids, std::vector<HWND>{child});

    EXPECT_EQ(FindWindowA("testrecorder", "one"), one);
    EXPECT_EQ(FindWindowA(nullptr, "Two"), two);
    EXPECT_EQ(FindWindowA("TestRecorder", "Three"), nullptr);
    EXPECT_EQ(FindWindowExA(two, nullptr, nullptr, "child"), child);
    EXPECT_EQ(GetParent(child), two);
    EXPECT_TRUE(IsChild(two, child));
}

TEST_F(LifecycleTest, HandlesArePointerSizedAndNeverReused) {
    HWND a = MakeTop();
    DestroyWindow(a);
    HWND b = MakeTop();
    EXPECT_NE(a, b);
    DWORD pid = 0;
    GetWindowThreadProcessId(b, &pid);
    EXPECT_EQ(pid, GetCurrentProcessId());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) >> 32, GetCurrentProcessId());
}

TEST_F(LifecycleTest, UtilityWindowsAreHiddenAndTakeTheirProcedure) {
    static int calls = 0;
    calls = 0;
    HWND h = AllocateHWnd([](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_APP) ++calls;
        return DefWindowProcA(hw, m, w, l);
    });
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(IsWindowVisible(h));
    PostMessageA(h, WM_APP, 0, 0);
    platform::ProcessMessages();
    EXPECT_EQ(calls, 1);
    DeallocateHWnd(h);
    EXPECT_FALSE(IsWindow(h));
}
