// Window procedures replaced and chained, user data and extra bytes, style notifications,
// and control notifications reflected back to the control.
#include "WindowFixture.h"

using namespace window_test;

namespace {
constexpr UINT kAsk = WM_APP + 10;

std::vector<std::string> g_trace;
WNDPROC g_oldA = nullptr;
WNDPROC g_oldB = nullptr;

LRESULT SubclassA(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kAsk) {
        g_trace.push_back("A");
        return CallWindowProcA(g_oldA, h, m, w, l) + 10;
    }
    return CallWindowProcA(g_oldA, h, m, w, l);
}

LRESULT SubclassB(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kAsk) {
        g_trace.push_back("B");
        if (w == 99) return -1;  // swallowed: the chain stops here
        return CallWindowProcA(g_oldB, h, m, w, l) + 100;
    }
    return CallWindowProcA(g_oldB, h, m, w, l);
}
}  // namespace

class SubclassTest : public WindowTest {};

TEST_F(SubclassTest, ChainsRunNewestFirstAndUnwindInReverse) {
    HWND w = MakeTop();
    Recorder::Get().answers[kAsk] = 1;
    g_trace.clear();
    g_oldA = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassA)));
    EXPECT_EQ(g_oldA, RecorderProc);
    g_oldB = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassB)));
    EXPECT_EQ(g_oldB, SubclassA);

    EXPECT_EQ(SendMessageA(w, kAsk, 0, 0), 111);
    EXPECT_EQ(g_trace, (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(Recorder::Get().Count(w, kAsk), 1);

    EXPECT_EQ(SendMessageA(w, kAsk, 99, 0), -1);
    EXPECT_EQ(Recorder::Get().Count(w, kAsk), 1);

    // Put back in reverse order: the original procedure answers alone again.
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldB));
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldA));
    EXPECT_EQ(SendMessageA(w, kAsk, 0, 0), 1);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(RecorderProc));
}

TEST_F(SubclassTest, PostedMessagesReachTheCurrentProcedure) {
    HWND w = MakeTop();
    g_trace.clear();
    PostMessageA(w, kAsk, 0, 0);
    g_oldA = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassA)));
    platform::ProcessMessages();
    EXPECT_EQ(g_trace, (std::vector<std::string>{"A"}));
}

TEST_F(SubclassTest, UserDataIdAndExtraBytesKeepPointerSizedValues) {
    HWND w = MakeTop();
    const LONG_PTR big = static_cast<LONG_PTR>(0x123456789ABCDEF0LL);
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, big), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), big);
    EXPECT_EQ(SetWindowLongPtrA(w, 8, big), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, 8), big);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(w, 9), 0);  // the class has 16 extra bytes
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
    SetLastError(0);
    EXPECT_EQ(SetWindowLongA(w, GWL_WNDPROC, 1), 0);  // a procedure needs the pointer-sized form
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(RecorderProc));
    HWND c = MakeChild(w, 77);
    EXPECT_EQ(GetWindowLongPtrA(c, GWLP_ID), 77);
}

TEST_F(SubclassTest, StyleChangesAreAnnouncedAndKept) {
    HWND w = MakeTop();
    LONG style = GetWindowLongA(w, GWL_STYLE);
    SetWindowLongA(w, GWL_STYLE, style | static_cast<LONG>(WS_VSCROLL));
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & static_cast<LONG>(WS_VSCROLL));
    EXPECT_EQ(Recorder::Get().MessagesOf(w, {WM_STYLECHANGING, WM_STYLECHANGED}),
              (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
    SetWindowLongPtrA(w, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindowLongPtrA(w, GWL_EXSTYLE), static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
}

TEST_F(SubclassTest, NotificationsAreReflectedToTheControlThatSentThem) {
    HWND parent = MakeTop();
    HWND control = MakeChild(parent, 5);
    HWND stranger = MakeTop("stranger");
    Recorder::Get().answers[CN_NOTIFY] = 1;
    Recorder::Get().onMessage = [parent](HWND h, UINT msg, WPARAM w, LPARAM l) {
        LRESULT r;
        if (h == parent && msg == WM_NOTIFY) platform::ReflectControlMessage(h, msg, w, l, &r);
    };
    NMHDR hdr;
    hdr.hwndFrom = control;
    hdr.idFrom = 5;
    hdr.code = NM_RCLICK;
    SendMessageA(parent, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&hdr));
    ASSERT_EQ(Recorder::Get().Count(control, CN_NOTIFY), 1);
    const Received& got = Recorder::Get().log.back();
    EXPECT_EQ(got.hwnd, control);
    EXPECT_EQ(reinterpret_cast<const NMHDR*>(got.lParam)->code, NM_RCLICK);

    LRESULT r = 0;
    EXPECT_TRUE(platform::ReflectControlMessage(parent, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&hdr), &r));
    EXPECT_EQ(r, 1);
    hdr.hwndFrom = stranger;  // not a child: nothing to reflect
    EXPECT_FALSE(platform::ReflectControlMessage(parent, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&hdr), &r));
    EXPECT_TRUE(platform::ReflectControlMessage(parent, WM_COMMAND, 0, reinterpret_cast<LPARAM>(control), &r));
    EXPECT_EQ(Recorder::Get().Count(control, CN_COMMAND), 1);
}

TEST_F(SubclassTest, ClassesAreFoundWithoutRegardToCaseAndCannotBeRegisteredTwice) {
    WNDCLASSA wc;
    EXPECT_TRUE(GetClassInfoA(nullptr, "testrecorder", &wc));
    EXPECT_EQ(wc.lpfnWndProc, RecorderProc);
    wc.lpszClassName = "TESTRECORDER";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    HWND w = MakeTop();
    char name[30];
    EXPECT_EQ(GetClassNameA(w, name, sizeof name), 12);
    EXPECT_STREQ(name, "TestRecorder");
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}
