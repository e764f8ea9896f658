// Windows: classes, creation and destruction, the tree of parents and owners, enumeration.
//
// The window functions are this file and the Window*.cpp beside it (long values and text;
// show state and geometry; focus, capture and activation), with Painting.cpp and
// DefWindowProc.cpp. They sit above the device contexts and the message queue, which never
// call them (see the layout note in CMakeLists.txt).
#include "platform/SysUtils.h"
#include "platform/Windows.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "detail/CrossProcess.h"
#include "detail/Timers.h"
#include "detail/WindowFunctions.h"
#include "platform/ScrollBar.h"
#include "platform/display/Hooks.h"

using platform::detail::CrossProcess;
using platform::detail::IsInside;
using platform::detail::Send;
using platform::detail::SendSizeAndMove;
using platform::detail::TimerList;
using platform::detail::TopLevelOf;
using platform::detail::Window;
using platform::detail::WindowPtr;
using platform::detail::WindowRecord;
using platform::detail::WindowState;
using platform::detail::WindowTable;

namespace platform::detail {

bool IsPublished(const Window& w) { return !w.parent && !w.messageOnly && w.state == WindowState::Alive; }

void Republish(const Window& w) {
    if (!IsPublished(w)) return;
    WindowRecord r;
    r.handle = w.handle;
    r.pid = static_cast<DWORD>(::getpid());
    r.className = w.cls ? w.cls->name : String();
    r.caption = w.text;
    r.style = w.style;
    r.exStyle = w.exStyle;
    r.owner = w.owner;
    CrossProcess::Get().Publish(r);
    platform::display::NoteTopLevel(w.handle);
}

int CopyOut(const String& s, LPSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    int n = std::min<int>(static_cast<int>(s.size()), maxCount - 1);
    std::memcpy(buffer, s.data(), static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n;
}

HWND TopLevelOf(HWND hwnd) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    while (w && w->parent) w = WindowTable::Get().Find(w->parent);
    return w ? w->handle : nullptr;
}

bool IsInside(HWND ancestor, HWND hwnd) {
    for (WindowPtr w = WindowTable::Get().Find(hwnd); w; w = WindowTable::Get().Find(w->parent))
        if (w->handle == ancestor) return true;
    return false;
}

void SendSizeAndMove(const Window& w) {
    RECT client;
    GetClientRect(w.handle, &client);
    WPARAM kind = (w.style & WS_MINIMIZE) ? SIZE_MINIMIZED : (w.style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
    Send(w.handle, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
    Send(w.handle, WM_MOVE, 0, MAKELPARAM(w.rect.left, w.rect.top));
}

}  // namespace platform::detail

using platform::detail::CopyOut;
using platform::detail::Republish;

namespace {

// Owned windows go first, then WM_DESTROY to the window, its children in turn, and
// WM_NCDESTROY to the window once everything below it is gone.
void DestroyTree(const WindowPtr& w) {
    auto& table = WindowTable::Get();
    w->state = WindowState::Destroying;
    if (!w->parent) CrossProcess::Get().Unpublish(w->handle);
    if (w->parent) platform::display::NoteDamage(w->parent);
    else if (!w->messageOnly) platform::display::NoteDestroyed(w->handle);
    if (table.capture && IsInside(w->handle, table.capture)) {
        HWND old = table.capture;
        table.capture = nullptr;
        Send(old, WM_CAPTURECHANGED, 0, 0);
    }
    Send(w->handle, WM_DESTROY, 0, 0);
    for (HWND child : table.Children(w->handle)) {
        WindowPtr c = table.Find(child);
        if (c && c->state == WindowState::Alive) DestroyTree(c);
    }
    Send(w->handle, WM_NCDESTROY, 0, 0);
    w->state = WindowState::Destroyed;
    TimerList::Get().KillAll(w->handle);
    platform::ForgetScrollBars(w->handle);
    table.UnlinkChild(w->parent, w->handle);
    table.Erase(w->handle);
    if (table.focus == w->handle) table.focus = nullptr;
    if (table.active == w->handle) table.active = nullptr;
    if (table.foreground == w->handle) table.foreground = nullptr;
}

bool ClassMatches(const String& cls, LPCSTR wanted) {
    return !wanted || UpperCase(cls) == UpperCase(wanted);
}

bool CaptionMatches(const String& caption, LPCSTR wanted) {
    return !wanted || UpperCase(caption) == UpperCase(wanted);
}

}  // namespace

// ---- classes

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return WindowTable::Get().RegisterClass(*wc);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    return className && WindowTable::Get().UnregisterClass(className) ? TRUE_ : FALSE_;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* wc) {
    auto cls = className ? WindowTable::Get().FindClass(className) : nullptr;
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE_;
    }
    wc->style = cls->style;
    wc->lpfnWndProc = cls->proc;
    wc->cbClsExtra = cls->clsExtra;
    wc->cbWndExtra = cls->wndExtra;
    wc->hInstance = cls->instance;
    wc->hIcon = cls->icon;
    wc->hCursor = cls->cursor;
    wc->hbrBackground = cls->background;
    wc->lpszMenuName = nullptr;
    wc->lpszClassName = className;
    return TRUE_;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int maxCount) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        if (!CrossProcess::Get().ReadRecord(hwnd, &r)) return 0;
        return CopyOut(r.className, buffer, maxCount);
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return 0;
    return CopyOut(w->cls->name, buffer, maxCount);
}

// ---- creation and destruction

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    auto& table = WindowTable::Get();
    auto cls = className ? table.FindClass(className) : nullptr;
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto w = std::make_shared<Window>();
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style;
    w->exStyle = exStyle;
    w->instance = instance;
    w->threadId = platform::detail::CurrentThreadId();
    w->extra.assign(static_cast<std::size_t>(std::max(cls->wndExtra, 0)), 0);
    if (parent == HWND_MESSAGE) {
        w->messageOnly = true;
    } else if (style & WS_CHILD) {
        if (!parent || !table.FindAlive(parent)) {
            SetLastError(parent ? ERROR_INVALID_WINDOW_HANDLE : ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        w->parent = parent;
        w->id = reinterpret_cast<LONG_PTR>(menu);
    } else if (parent) {
        // A top-level window's "parent" is its owner: the top-level window above it.
        w->owner = TopLevelOf(parent);
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    w->rect = RECT{x, y, x + width, y + height};
    if (windowName) w->text = windowName;
    w->handle = table.NewHandle();
    const bool showNow = (style & WS_VISIBLE) != 0;
    w->style &= ~WS_VISIBLE;
    table.Insert(w);
    if (!w->messageOnly) table.LinkChild(w->parent, w->handle, w->parent == nullptr);
    Republish(*w);

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    HWND h = w->handle;
    if (!Send(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        if (w->state == WindowState::Alive) DestroyTree(w);
        return nullptr;
    }
    if (Send(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        if (w->state == WindowState::Alive) DestroyWindow(h);
        return nullptr;
    }
    if (w->state != WindowState::Alive) return nullptr;
    SendSizeAndMove(*w);
    if (showNow && w->state == WindowState::Alive) {
        int cmd = (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW;
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        ShowWindow(h, cmd);
    }
    return w->state == WindowState::Alive ? h : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    auto& table = WindowTable::Get();
    if (WindowTable::IsForeignHandle(hwnd)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE_;
    }
    WindowPtr w = table.FindAlive(hwnd);
    if (!w) return FALSE_;
    if (w->state != WindowState::Alive) return TRUE_;  // already on its way out
    if (!w->parent) {
        for (HWND other : table.TopLevels()) {
            WindowPtr o = table.Find(other);
            if (o && o->owner == hwnd && o->state == WindowState::Alive) DestroyWindow(other);
        }
        for (auto& o : table.AllWindows())
            if (o->messageOnly && o->owner == hwnd && o->state == WindowState::Alive) DestroyWindow(o->handle);
    }
    DestroyTree(w);
    return TRUE_;
}

BOOL IsWindow(HWND hwnd) {
    if (!hwnd) return FALSE_;
    if (hwnd == WindowTable::DesktopHandle()) return TRUE_;
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        return CrossProcess::Get().ReadRecord(hwnd, &r) ? TRUE_ : FALSE_;
    }
    WindowPtr w = WindowTable::Get().Find(hwnd);
    return w && w->state != WindowState::Destroyed ? TRUE_ : FALSE_;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    while (w && w->parent) {
        if (w->parent == parent) return TRUE_;
        w = WindowTable::Get().Find(w->parent);
    }
    return FALSE_;
}

HWND GetParent(HWND hwnd) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        return CrossProcess::Get().ReadRecord(hwnd, &r) ? r.owner : nullptr;
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND newParent) {
    auto& table = WindowTable::Get();
    WindowPtr w = table.FindAlive(child);
    if (!w) return nullptr;
    if (newParent && (!table.FindAlive(newParent) || IsInside(child, newParent))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND old = w->parent;
    if (!old && !w->messageOnly) CrossProcess::Get().Unpublish(child);
    table.UnlinkChild(old, child);
    w->parent = newParent;
    if (newParent) {
        w->style |= WS_CHILD;
        w->owner = nullptr;
    } else {
        w->style &= ~WS_CHILD;
    }
    table.LinkChild(newParent, child, true);
    Republish(*w);
    return old ? old : WindowTable::DesktopHandle();
}

HWND GetWindow(HWND hwnd, UINT relation) {
    auto& table = WindowTable::Get();
    if (WindowTable::IsForeignHandle(hwnd)) {
        // Only the owner of another process's window is known here (from its record).
        WindowRecord r;
        if (relation != GW_OWNER || !CrossProcess::Get().ReadRecord(hwnd, &r)) return nullptr;
        return r.owner;
    }
    WindowPtr w = table.FindAlive(hwnd);
    if (!w) return nullptr;
    if (relation == GW_OWNER) return w->parent ? nullptr : w->owner;
    if (relation == GW_CHILD) {
        auto kids = table.Children(hwnd);
        return kids.empty() ? nullptr : kids.front();
    }
    std::vector<HWND> siblings = w->parent ? table.Children(w->parent) : table.TopLevels();
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    if (it == siblings.end()) return nullptr;
    switch (relation) {
        case GW_HWNDFIRST: return siblings.front();
        case GW_HWNDLAST: return siblings.back();
        case GW_HWNDNEXT: return it + 1 == siblings.end() ? nullptr : *(it + 1);
        case GW_HWNDPREV: return it == siblings.begin() ? nullptr : *(it - 1);
        default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    auto list = hwnd ? WindowTable::Get().Children(hwnd) : WindowTable::Get().TopLevels();
    return list.empty() ? nullptr : list.front();
}

HWND GetDesktopWindow() { return WindowTable::DesktopHandle(); }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        if (processId) *processId = WindowTable::ProcessOfHandle(hwnd);
        return 0;
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (processId) *processId = w ? static_cast<DWORD>(::getpid()) : 0;
    return w ? w->threadId : 0;
}

// ---- enumeration

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    auto& table = WindowTable::Get();
    for (HWND h : table.TopLevels()) {
        WindowPtr w = table.Find(h);
        if (!w || w->state != WindowState::Alive) continue;
        if (!proc(h, param)) return FALSE_;
    }
    for (const WindowRecord& r : CrossProcess::Get().ForeignWindows())
        if (!proc(r.handle, param)) return FALSE_;
    return TRUE_;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
    if (!parent) return EnumWindows(proc, param);
    auto& table = WindowTable::Get();
    std::vector<HWND> stack = table.Children(parent);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        HWND h = stack.back();
        stack.pop_back();
        WindowPtr w = table.Find(h);
        if (!w || w->state != WindowState::Alive) continue;
        if (!proc(h, param)) return FALSE_;
        auto kids = table.Children(h);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
    }
    return TRUE_;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM param) {
    auto& table = WindowTable::Get();
    for (HWND h : table.TopLevels()) {
        WindowPtr w = table.Find(h);
        if (!w || w->state != WindowState::Alive || w->threadId != threadId) continue;
        if (!proc(h, param)) return FALSE_;
    }
    return TRUE_;
}

HWND FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
    auto& table = WindowTable::Get();
    std::vector<HWND> list = parent ? table.Children(parent) : table.TopLevels();
    bool passed = childAfter == nullptr;
    for (HWND h : list) {
        if (!passed) {
            passed = h == childAfter;
            continue;
        }
        WindowPtr w = table.Find(h);
        if (!w || w->state != WindowState::Alive) continue;
        if (ClassMatches(w->cls->name, className) && CaptionMatches(w->text, windowName)) return h;
    }
    if (!parent) {
        for (const WindowRecord& r : CrossProcess::Get().ForeignWindows()) {
            if (!passed) {
                passed = r.handle == childAfter;
                continue;
            }
            if (ClassMatches(r.className, className) && CaptionMatches(r.caption, windowName)) return r.handle;
        }
    }
    return nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) { return FindWindowExA(nullptr, nullptr, className, windowName); }

HWND AllocateHWnd(WNDPROC proc) {
    static const char* kClass = "TPUtilWindow";
    if (!WindowTable::Get().FindClass(kClass)) {
        WNDCLASSA wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = kClass;
        RegisterClassA(&wc);
    }
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (h && proc) SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return h;
}

void DeallocateHWnd(HWND hwnd) {
    if (hwnd) DestroyWindow(hwnd);
}
