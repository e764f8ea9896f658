// Messages: send and post, the loop primitives, timers and the input state of the headless
// desktop.
//
// Below the window functions: the queue reaches windows through the window table only and
// never calls a window function, a painting function or a device context (see the layout
// note in CMakeLists.txt). The default window procedure, which does, is DefWindowProc.cpp.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/Clock.h"
#include "platform/MessageLoop.h"
#include "platform/Windows.h"
#include "detail/CrossProcess.h"
#include "detail/MessageQueue.h"
#include "detail/Timers.h"
#include "detail/WindowTable.h"
#include "platform/display/Hooks.h"

using platform::detail::CrossProcess;
using platform::detail::MessageQueue;
using platform::detail::TimerList;
using platform::detail::WindowPtr;
using platform::detail::WindowState;
using platform::detail::WindowTable;

namespace platform::detail {
struct InputState {
    std::array<bool, 256> keys{};   // as the thread's key messages have been read (GetKeyState)
    std::array<bool, 256> async{};  // as the display reports the keys now (GetAsyncKeyState)
    POINT cursor;
};
InputState& TheInput() {
    static InputState state;
    return state;
}
}  // namespace platform::detail

namespace {
thread_local DWORD t_messageTime = 0;

void NoteFetched(const MSG* msg) {
    t_messageTime = msg->time;
    // A key the display reported counts as down or up once its message is read, so that a
    // handler sees the modifiers as they were at its key however far the display has read
    // ahead (Ctrl+V typed at once still has Ctrl down at the V).
    const UINT m = msg->message;
    if ((m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP) &&
        (msg->lParam & platform::display::kKeyCharsPosted) && msg->wParam < 256)
        platform::detail::TheInput().keys[msg->wParam] = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
}
}  // namespace

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (WindowTable::IsForeignHandle(hwnd)) return CrossProcess::Get().Send(hwnd, msg, wParam, lParam);
    return MessageQueue::SendLocal(hwnd, msg, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(platform::CurrentClock().TickMillis());
    m.pt = platform::detail::TheInput().cursor;
    if (!hwnd) return MessageQueue::Post(platform::detail::CurrentThreadId(), m) ? TRUE_ : FALSE_;
    if (WindowTable::IsForeignHandle(hwnd)) return CrossProcess::Get().Post(hwnd, msg, wParam, lParam) ? TRUE_ : FALSE_;
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    return MessageQueue::Post(w->threadId, m) ? TRUE_ : FALSE_;
}

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(platform::CurrentClock().TickMillis());
    return MessageQueue::Post(threadId, m) ? TRUE_ : FALSE_;
}

void PostQuitMessage(int exitCode) { MessageQueue::PostQuit(exitCode); }

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    for (;;) {
        if (MessageQueue::Fetch(msg, hwnd, filterMin, filterMax, true)) {
            NoteFetched(msg);
            return msg->message == WM_QUIT ? FALSE_ : TRUE_;
        }
        // Under a manual clock nothing moves time on its own; waking now and then lets a test
        // thread that advances it be noticed.
        MessageQueue::Wait(platform::CurrentClock().MaxBlockMillis());
    }
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!MessageQueue::Fetch(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE_;
    if (removeFlags & PM_REMOVE) NoteFetched(msg);
    return TRUE_;
}

namespace {

// The character a key gives on a US keyboard (0 for none).
int KeyCharacter(int vk, bool shift, bool ctrl) {
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return vk - 'A' + 1;  // Ctrl+A is 0x01, as terminals and the platform have it
        return shift ? vk : vk - 'A' + 'a';
    }
    if (ctrl) {
        if (vk == VK_BACK) return 0x7F;
        if (vk == VK_RETURN) return '\n';
        if (vk == VK_ESCAPE) return 0x1B;
        return 0;
    }
    if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : vk;
    if (vk >= 0x60 && vk <= 0x69) return '0' + (vk - 0x60);  // the number pad's digits
    struct Pair {
        int vk;
        char plain;
        char shifted;
    };
    static constexpr Pair kKeys[] = {
        {VK_SPACE, ' ', ' '}, {VK_RETURN, '\r', '\r'}, {VK_BACK, '\b', '\b'}, {VK_ESCAPE, 0x1B, 0x1B},
        {VK_TAB, '\t', '\t'}, {0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
        {0xBE, '.', '>'}, {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'},
        {0xDD, ']', '}'}, {0xDE, '\'', '"'}, {0x6A, '*', '*'}, {0x6B, '+', '+'}, {0x6D, '-', '-'},
        {0x6E, '.', '.'}, {0x6F, '/', '/'},
    };
    for (const Pair& k : kKeys)
        if (k.vk == vk) return shift ? k.shifted : k.plain;
    return 0;
}

}  // namespace

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE_;
    // A display's input method has posted the key's characters already.
    if (msg->lParam & (platform::display::kKeyCharsPosted | kKeyCharsDelivered)) return FALSE_;
    int ch = KeyCharacter(static_cast<int>(msg->wParam), (GetKeyState(VK_SHIFT) & 0x8000) != 0,
                          (GetKeyState(VK_CONTROL) & 0x8000) != 0 && (GetKeyState(VK_MENU) & 0x8000) == 0);
    if (!ch) return FALSE_;
    PostMessageA(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, static_cast<WPARAM>(ch), msg->lParam);
    return TRUE_;
}

namespace platform {
void PostTypedText(HWND hwnd, std::string_view utf8) {
    for (unsigned char byte : utf8) PostMessageA(hwnd, WM_CHAR, byte, 1);
}
}  // namespace platform

LRESULT DispatchMessageA(const MSG* msg) { return msg ? MessageQueue::Dispatch(*msg) : 0; }

BOOL WaitMessage() {
    MSG m;
    if (MessageQueue::Fetch(&m, nullptr, 0, 0, false)) return TRUE_;
    MessageQueue::Wait(platform::CurrentClock().MaxBlockMillis());
    return TRUE_;
}

BOOL InSendMessage() { return MessageQueue::ForeignSendDepth() > 0 ? TRUE_ : FALSE_; }
DWORD GetCurrentThreadId() { return platform::detail::CurrentThreadId(); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }
DWORD GetMessageTime() { return t_messageTime; }
DWORD GetTickCount() { return static_cast<DWORD>(platform::CurrentClock().TickMillis()); }

UINT RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Registered messages live in the session's atom table, so every process of the session
    // gets the same number for the same name; they are never released.
    if (ATOM a = GlobalFindAtomA(name); a >= 0xC000) return a;
    ATOM a = GlobalAddAtomA(name);
    return a >= 0xC000 ? a : 0;
}

// ---- timers

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (hwnd && !WindowTable::Get().FindAlive(hwnd)) return 0;
    return TimerList::Get().Set(hwnd, id, elapse, proc);
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) { return TimerList::Get().Kill(hwnd, id) ? TRUE_ : FALSE_; }

// ---- input state of the headless desktop

namespace platform {
void SetKeyDown(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey >= 256) return;
    detail::TheInput().keys[static_cast<std::size_t>(virtualKey)] = down;
    detail::TheInput().async[static_cast<std::size_t>(virtualKey)] = down;
}

void SetAsyncKeyDown(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256) detail::TheInput().async[static_cast<std::size_t>(virtualKey)] = down;
}

void ResetKeyboard() {
    for (int vk = 0; vk < 256; ++vk) SetKeyDown(vk, false);
}
}  // namespace platform

short GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return platform::detail::TheInput().keys[static_cast<std::size_t>(virtualKey)] ? static_cast<short>(0x8000) : 0;
}

short GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return platform::detail::TheInput().async[static_cast<std::size_t>(virtualKey)] ? static_cast<short>(0x8000) : 0;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE_;
    *point = platform::detail::TheInput().cursor;
    return TRUE_;
}

BOOL SetCursorPos(int x, int y) {
    platform::detail::TheInput().cursor = POINT{x, y};
    return TRUE_;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return platform::display::ScreenSize().cx;
        case SM_CYSCREEN: return platform::display::ScreenSize().cy;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL: return 16;
        case SM_CYCAPTION: return 18;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME: return 3;
        case SM_CXICON:
        case SM_CYICON: return 32;
        case SM_CXFRAME:
        case SM_CYFRAME: return 4;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
        case SM_CXDRAG:
        case SM_CYDRAG: return 4;
        case SM_CXEDGE:
        case SM_CYEDGE: return 2;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        default: return 0;
    }
}

UINT GetDoubleClickTime() { return 500; }
