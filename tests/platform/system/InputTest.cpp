// Input as a display feeds it: mouse targets, activation and focus, double clicks, keys and
// characters, keyboard focus order, and the window manager's moves and close; all headless.
#include <fstream>
#include <string>

#include "WindowFixture.h"
#include "platform/display/Backend.h"
#include "platform/display/Input.h"

using namespace window_test;
namespace display = platform::display;

namespace {

class InputTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ResetKeyboard();
        top_ = MakeTop("top", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        platform::ProcessMessages();
    }
    // Child windows at known places of the top-level's client area.
    HWND Child(int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE, const char* cls = kRecorderClass,
               HWND parent = nullptr) {
        return CreateWindowExA(0, cls, "c", style, x, y, w, h, parent ? parent : top_, nullptr, nullptr, nullptr);
    }
    // The mouse messages a window got, with their points.
    std::vector<std::pair<UINT, POINT>> Mouse(HWND h) {
        platform::ProcessMessages();
        std::vector<std::pair<UINT, POINT>> out;
        for (const Received& r : Recorder::Get().log)
            if (r.hwnd == h && r.msg >= WM_MOUSEMOVE && r.msg <= WM_MBUTTONDBLCLK)
                out.push_back({r.msg, POINT{GET_X_LPARAM(r.lParam), GET_Y_LPARAM(r.lParam)}});
        return out;
    }
    void Click(POINT p, DWORD time, display::MouseButton b = display::MouseButton::Left) {
        display::InputMouseButton(top_, p, b, true, time);
        display::InputMouseButton(top_, p, b, false, time + 1);
    }
    std::vector<WPARAM> Chars(HWND h) {
        platform::ProcessMessages();
        std::vector<WPARAM> out;
        for (const Received& r : Recorder::Get().log)
            if (r.hwnd == h && (r.msg == WM_CHAR || r.msg == WM_SYSCHAR)) out.push_back(r.wParam);
        return out;
    }
    HWND top_ = nullptr;
};

TEST_F(InputTest, TheMouseGoesToTheDeepestVisibleEnabledWindowInItsOwnCoordinates) {
    HWND outer = Child(10, 10, 100, 60);
    HWND inner = Child(5, 5, 20, 20, WS_CHILD | WS_VISIBLE, kRecorderClass, outer);
    HWND hidden = Child(40, 10, 20, 20, WS_CHILD, kRecorderClass, outer);
    HWND disabled = Child(70, 10, 20, 20, WS_CHILD | WS_VISIBLE | WS_DISABLED, kRecorderClass, outer);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    display::InputMouseMove(top_, POINT{17, 18}, 1);   // inside inner
    display::InputMouseMove(top_, POINT{55, 25}, 2);   // on the hidden child: outer's
    display::InputMouseMove(top_, POINT{85, 25}, 3);   // on the disabled child: outer's
    display::InputMouseMove(top_, POINT{150, 5}, 4);   // the top-level's own area
    EXPECT_EQ(Mouse(inner), (std::vector<std::pair<UINT, POINT>>{{WM_MOUSEMOVE, POINT{2, 3}}}));
    EXPECT_EQ(Mouse(outer), (std::vector<std::pair<UINT, POINT>>{{WM_MOUSEMOVE, POINT{45, 15}}, {WM_MOUSEMOVE, POINT{75, 15}}}));
    EXPECT_TRUE(Mouse(hidden).empty());
    EXPECT_TRUE(Mouse(disabled).empty());
    EXPECT_EQ(Mouse(top_), (std::vector<std::pair<UINT, POINT>>{{WM_MOUSEMOVE, POINT{150, 5}}}));
    EXPECT_EQ(Recorder::Get().Count(inner, WM_SETCURSOR), 1);
}

TEST_F(InputTest, CaptureTakesTheMouseWhereverItIs) {
    HWND a = Child(0, 0, 50, 50);
    HWND b = Child(60, 0, 50, 50);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    display::InputMouseButton(top_, POINT{10, 10}, display::MouseButton::Left, true, 1);
    SetCapture(a);
    display::InputMouseMove(top_, POINT{70, 10}, 2);
    display::InputMouseButton(top_, POINT{70, 10}, display::MouseButton::Left, false, 3);
    ReleaseCapture();
    display::InputMouseMove(top_, POINT{71, 10}, 4);
    EXPECT_EQ(Mouse(a), (std::vector<std::pair<UINT, POINT>>{
                            {WM_LBUTTONDOWN, POINT{10, 10}}, {WM_MOUSEMOVE, POINT{70, 10}}, {WM_LBUTTONUP, POINT{70, 10}}}));
    EXPECT_EQ(Mouse(b), (std::vector<std::pair<UINT, POINT>>{{WM_MOUSEMOVE, POINT{11, 10}}}));
}

TEST_F(InputTest, APressActivatesTheWindowAndFocusesATabStop) {
    HWND other = MakeTop("other", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND stop = Child(0, 0, 50, 50, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    HWND plain = Child(60, 0, 50, 50);
    SetActiveWindow(other);
    Click(POINT{70, 10}, 1);
    EXPECT_EQ(GetActiveWindow(), top_);
    EXPECT_NE(GetFocus(), plain);
    Click(POINT{10, 10}, 1000);
    EXPECT_EQ(GetFocus(), stop);
}

TEST_F(InputTest, APressOnAWindowAModalFormDisabledBringsTheFormForward) {
    HWND child = Child(0, 0, 50, 50);
    HWND modal = CreateWindowExA(0, kRecorderClass, "modal", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, top_,
                                 nullptr, nullptr, nullptr);
    made_.push_back(modal);
    EnableWindow(top_, FALSE_);
    SetActiveWindow(nullptr);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    Click(POINT{10, 10}, 1);
    display::InputCloseRequested(top_);
    EXPECT_EQ(GetActiveWindow(), modal);
    EXPECT_TRUE(Mouse(child).empty());
    EXPECT_EQ(Recorder::Get().Count(top_, WM_CLOSE), 0);
}

struct DoubleClickCase {
    const char* name;
    bool classAsks;
    DWORD secondAfter;
    int moved;
    UINT secondMessage;
};

class DoubleClickTest : public InputTest, public ::testing::WithParamInterface<DoubleClickCase> {};

TEST_P(DoubleClickTest, ASecondPressIsADoubleClickOnlyWhenQuickCloseAndAskedFor) {
    static const bool registered = [] {
        WNDCLASSA wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = "TestDoubleClicks";
        return RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    const DoubleClickCase& c = GetParam();
    HWND target = Child(0, 0, 100, 100, WS_CHILD | WS_VISIBLE, c.classAsks ? "TestDoubleClicks" : kRecorderClass);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    Click(POINT{10, 10}, 5000);
    Click(POINT{10 + c.moved, 10}, 5000 + c.secondAfter);
    Click(POINT{10 + c.moved, 10}, 5000 + c.secondAfter + 20);  // a third press starts afresh
    std::vector<UINT> presses;
    for (auto& [msg, p] : Mouse(target))
        if (msg != WM_LBUTTONUP) presses.push_back(msg);
    UINT third = c.secondMessage == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : (c.classAsks ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
    EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, c.secondMessage, third}));
}

INSTANTIATE_TEST_SUITE_P(Cases, DoubleClickTest,
                         ::testing::Values(DoubleClickCase{"Quick", true, 200, 0, WM_LBUTTONDBLCLK},
                                           DoubleClickCase{"SlightlyMoved", true, 200, 2, WM_LBUTTONDBLCLK},
                                           DoubleClickCase{"TooSlow", true, 600, 0, WM_LBUTTONDOWN},
                                           DoubleClickCase{"TooFar", true, 200, 5, WM_LBUTTONDOWN},
                                           DoubleClickCase{"ClassDoesNotAsk", false, 200, 0, WM_LBUTTONDOWN}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, TheWheelGoesUnderThePointerAndUpTheParentsUntilOneScrolls) {
    HWND focused = Child(0, 0, 50, 20, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    HWND panel = Child(60, 0, 100, 100);
    HWND label = Child(10, 10, 30, 20, WS_CHILD | WS_VISIBLE, kRecorderClass, panel);
    SetFocus(focused);
    auto wheels = [&](POINT at) {
        platform::ProcessMessages();
        Recorder::Get().log.clear();
        display::InputMouseWheel(top_, at, -display::kWheelDelta, 1);
        platform::ProcessMessages();
        std::vector<HWND> out;
        for (const Received& r : Recorder::Get().log)
            if (r.msg == WM_MOUSEWHEEL && static_cast<short>(HIWORD(r.wParam)) == -display::kWheelDelta) out.push_back(r.hwnd);
        return out;
    };
    // The recorder windows do not scroll: each passes the wheel to its parent.
    EXPECT_EQ(wheels(POINT{75, 15}), (std::vector<HWND>{label, panel, top_}));
    SetCapture(focused);
    EXPECT_EQ(wheels(POINT{75, 15}), (std::vector<HWND>{focused, top_}));
    ReleaseCapture();
    EnableWindow(top_, FALSE_);  // a modal form is up
    EXPECT_TRUE(wheels(POINT{75, 15}).empty());
}

TEST_F(InputTest, KeysReachTheFocusWithOneCharacterMessagePerCharacter) {
    HWND edit = Child(0, 0, 50, 20, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    SetFocus(edit);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    display::InputKey('A', true, "a", 1);
    display::InputKey('A', false, {}, 2);
    display::InputKey('E', true, "\xC3\xA9\xE2\x82\xAC", 3);  // what a compose sequence commits: é€
    display::InputText("\xF0\x9F\x99\x82");                  // an input method's commit
    EXPECT_EQ(Chars(edit), (std::vector<WPARAM>{'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x99, 0x82}));
    EXPECT_EQ(Recorder::Get().MessagesOf(edit, {WM_KEYDOWN, WM_KEYUP}),
              (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN}));
    EXPECT_TRUE(GetKeyState('E') & 0x8000);
}

TEST_F(InputTest, TabAndShiftTabMoveTheFocusThroughTheTabStopsInOrder) {
    HWND a = Child(0, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    HWND panel = Child(20, 0, 50, 50);
    HWND b = Child(0, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP, kRecorderClass, panel);
    Child(80, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED);
    HWND c = Child(100, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    SetFocus(a);
    std::vector<HWND> seen;
    for (int i = 0; i < 3; ++i) {
        display::InputKey(VK_TAB, true, "\t", 1);
        display::InputKey(VK_TAB, false, {}, 1);
        seen.push_back(GetFocus());
    }
    display::InputKey(VK_SHIFT, true, {}, 1);
    display::InputKey(VK_TAB, true, "\t", 1);
    seen.push_back(GetFocus());
    EXPECT_EQ(seen, (std::vector<HWND>{b, c, a, c}));
    EXPECT_TRUE(Chars(a).empty());
}

TEST_F(InputTest, AWindowThatAsksForTabGetsIt) {
    HWND a = Child(0, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    Child(20, 0, 10, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    Recorder::Get().answers[WM_GETDLGCODE] = display::kDlgCodeWantTab;
    SetFocus(a);
    display::InputKey(VK_TAB, true, "\t", 1);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(Chars(a), (std::vector<WPARAM>{'\t'}));
}

TEST_F(InputTest, TheWindowManagersMoveResizesTheWindowAndCloseAsksItToClose) {
    RECT before;
    GetWindowRect(top_, &before);
    POINT origin{0, 0};
    ClientToScreen(top_, &origin);
    Recorder::Get().log.clear();
    display::InputConfigured(top_, RECT{origin.x + 30, origin.y + 40, origin.x + 330, origin.y + 240});
    RECT client;
    GetClientRect(top_, &client);
    EXPECT_EQ(client, (RECT{0, 0, 300, 200}));
    POINT moved{0, 0};
    ClientToScreen(top_, &moved);
    EXPECT_EQ(moved, (POINT{origin.x + 30, origin.y + 40}));
    auto sizes = Recorder::Get().log;
    bool sized = false;
    for (const Received& r : sizes) sized |= r.hwnd == top_ && r.msg == WM_SIZE && r.lParam == MAKELPARAM(300, 200);
    EXPECT_TRUE(sized);
    display::InputCloseRequested(top_);
    platform::ProcessMessages();
    EXPECT_FALSE(IsWindow(top_));
}

class DisplayBackendTest : public WindowTest {};

TEST_F(DisplayBackendTest, HeadlessRunsWithoutAnyDisplayLibraryInTheProcess) {
    // CTest runs this with TARVIK_DISPLAY=headless; windows shown and painted must not load X.
    ASSERT_STREQ(display::Current().Name(), "headless");
    EXPECT_FALSE(display::IsInteractive());
    HWND h = CreateWindowExA(0, kRecorderClass, "x", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
    platform::ProcessMessages();
    display::SetSelectionText(display::Selection::Clipboard, "copied");
    EXPECT_EQ(display::SelectionText(display::Selection::Clipboard), "copied");
    EXPECT_EQ(display::SelectionText(display::Selection::Primary), "");
    DestroyWindow(h);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        for (const char* lib : {"libX11", "libxcb", "libcairo", "libpango", "libTarvikX11"})
            EXPECT_EQ(line.find(lib), std::string::npos) << line;
    }
}

}  // namespace
