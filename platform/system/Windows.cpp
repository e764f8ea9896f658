// Windows: creation, destruction, the long values, text, show state, geometry, the tree and
// enumeration. Messages, timers and painting are in their own files.
#include "platform/SysUtils.h"
#include "platform/Windows.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "detail/CrossProcess.h"
#include "detail/MessageQueue.h"
#include "detail/Timers.h"
#include "detail/WindowTable.h"
#include "platform/ScrollBar.h"
#include "platform/display/Hooks.h"

using platform::detail::CrossProcess;
using platform::detail::MessageQueue;
using platform::detail::TimerList;
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

// Window rectangle in screen coordinates.
RECT ScreenRect(const Window& w) {
    RECT r = w.rect;
    HWND p = w.parent;
    while (p) {
        WindowPtr pw = WindowTable::Get().Find(p);
        if (!pw) break;
        RECT in = FrameInsets(pw->style, pw->exStyle);
        OffsetRect(&r, pw->rect.left + in.left, pw->rect.top + in.top);
        p = pw->parent;
    }
    return r;
}

POINT ClientOrigin(const Window& w) {
    RECT r = ScreenRect(w);
    RECT in = FrameInsets(w.style, w.exStyle);
    return POINT{r.left + in.left, r.top + in.top};
}

}  // namespace platform::detail

using platform::detail::ClientOrigin;
using platform::detail::Republish;
using platform::detail::ScreenRect;

namespace {

LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l) { return MessageQueue::SendLocal(hwnd, msg, w, l); }

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

// ---- long values

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        if (!CrossProcess::Get().ReadRecord(hwnd, &r)) return 0;
        if (index == GWL_STYLE) return static_cast<LONG>(r.style);
        if (index == GWL_EXSTYLE) return static_cast<LONG>(r.exStyle);
        if (index == GWLP_HWNDPARENT) return reinterpret_cast<LONG_PTR>(r.owner);
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
        case GWLP_ID: return w->id;
        case GWL_STYLE: return static_cast<LONG>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
        case GWLP_USERDATA: return w->userData;
        default: break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return 0;
    LONG_PTR old = 0;
    switch (index) {
        case GWLP_WNDPROC:
            if (!value) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            if (w->parent) return reinterpret_cast<LONG_PTR>(SetParent(hwnd, reinterpret_cast<HWND>(value)));
            old = reinterpret_cast<LONG_PTR>(w->owner);
            w->owner = reinterpret_cast<HWND>(value);
            Republish(*w);
            return old;
        case GWLP_ID: old = w->id; w->id = value; return old;
        case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
        case GWL_STYLE:
        case GWL_EXSTYLE: {
            DWORD& field = index == GWL_STYLE ? w->style : w->exStyle;
            STYLESTRUCT ss{field, static_cast<DWORD>(value)};
            Send(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
            old = static_cast<LONG>(field);
            ss.styleOld = field;
            field = ss.styleNew;
            Send(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
            Republish(*w);
            return old;
        }
        default: break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

LONG GetWindowLongA(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrA(hwnd, index)); }
LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    if (index == GWLP_WNDPROC || index == GWLP_HWNDPARENT || index == GWLP_HINSTANCE) {
        // 32 bits cannot carry a pointer here; the pointer-sized form must be used.
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, static_cast<LONG_PTR>(
        index == GWL_STYLE || index == GWL_EXSTYLE ? static_cast<LONG_PTR>(static_cast<DWORD>(value)) : value)));
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || !name) return FALSE_;
    w->props[UpperCase(name)] = data;
    return TRUE_;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    if (!w || !name) return nullptr;
    auto it = w->props.find(UpperCase(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    if (!w || !name) return nullptr;
    auto it = w->props.find(UpperCase(name));
    if (it == w->props.end()) return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

// ---- text

int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        // Another process's caption is read from its record, as the platform reads it without
        // calling into that process.
        WindowRecord r;
        if (!CrossProcess::Get().ReadRecord(hwnd, &r)) {
            if (buffer && maxCount > 0) buffer[0] = '\0';
            return 0;
        }
        return CopyOut(r.caption, buffer, maxCount);
    }
    if (!WindowTable::Get().FindAlive(hwnd)) {
        if (buffer && maxCount > 0) buffer[0] = '\0';
        return 0;
    }
    return static_cast<int>(Send(hwnd, WM_GETTEXT, static_cast<WPARAM>(std::max(maxCount, 0)),
                                 reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        return CrossProcess::Get().ReadRecord(hwnd, &r) ? static_cast<int>(r.caption.size()) : 0;
    }
    if (!WindowTable::Get().FindAlive(hwnd)) return 0;
    return static_cast<int>(Send(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (WindowTable::IsForeignHandle(hwnd)) return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE_ : FALSE_;
    if (!WindowTable::Get().FindAlive(hwnd)) return FALSE_;
    return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE_ : FALSE_;
}

// ---- show state

BOOL ShowWindow(HWND hwnd, int command) {
    auto& table = WindowTable::Get();
    WindowPtr w = table.FindAlive(hwnd);
    if (!w) return FALSE_;
    const bool wasVisible = (w->style & WS_VISIBLE) != 0;
    const DWORD oldState = w->style & (WS_MINIMIZE | WS_MAXIMIZE);
    DWORD newState = oldState;
    bool show = true;
    bool activate = false;
    switch (command) {
        case SW_HIDE: show = false; break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT: newState = 0; activate = true; break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE: newState = WS_MINIMIZE; break;
        case SW_SHOWMAXIMIZED: newState = WS_MAXIMIZE; activate = true; break;
        case SW_SHOW: activate = true; break;
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE: break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return wasVisible ? TRUE_ : FALSE_;
    }
    if (show != wasVisible) {
        Send(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
        if (w->state != WindowState::Alive) return wasVisible ? TRUE_ : FALSE_;
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
    }
    if (newState != oldState) {
        w->style = (w->style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | newState;
        SendSizeAndMove(*w);
    }
    if (!show) {
        if (table.focus && IsInside(hwnd, table.focus)) table.focus = nullptr;
    } else if (!wasVisible || newState != oldState) {
        InvalidateRect(hwnd, nullptr, TRUE_);
    }
    if (show && activate && !w->parent && newState != WS_MINIMIZE) SetActiveWindow(hwnd);
    Republish(*w);
    if (w->parent) platform::display::NoteDamage(w->parent);
    return wasVisible ? TRUE_ : FALSE_;
}

BOOL IsWindowVisible(HWND hwnd) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        return CrossProcess::Get().ReadRecord(hwnd, &r) && (r.style & WS_VISIBLE) ? TRUE_ : FALSE_;
    }
    for (WindowPtr w = WindowTable::Get().Find(hwnd); w; w = WindowTable::Get().Find(w->parent)) {
        if (w->state == WindowState::Destroyed || !(w->style & WS_VISIBLE)) return FALSE_;
        if (!w->parent) return TRUE_;
    }
    return FALSE_;
}

BOOL IsIconic(HWND hwnd) {
    if (WindowTable::IsForeignHandle(hwnd)) {
        WindowRecord r;
        return CrossProcess::Get().ReadRecord(hwnd, &r) && (r.style & WS_MINIMIZE) ? TRUE_ : FALSE_;
    }
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE_ : FALSE_;
}

BOOL IsZoomed(HWND hwnd) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    return w && (w->style & WS_MAXIMIZE) ? TRUE_ : FALSE_;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    const bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled ? TRUE_ : FALSE_;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        auto& table = WindowTable::Get();
        if (table.focus && IsInside(hwnd, table.focus)) SetFocus(nullptr);
    }
    Send(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    Republish(*w);
    return wasDisabled ? TRUE_ : FALSE_;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE_ : FALSE_;
}

// ---- geometry

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || !rect) return FALSE_;
    *rect = ScreenRect(*w);
    return TRUE_;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || !rect) return FALSE_;
    RECT in = platform::detail::FrameInsets(w->style, w->exStyle);
    LONG width = w->rect.right - w->rect.left - in.left - in.right;
    LONG height = w->rect.bottom - w->rect.top - in.top - in.bottom;
    if (w->style & WS_MINIMIZE) width = height = 0;
    *rect = RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
    return TRUE_;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
    if (!rect) return FALSE_;
    RECT in = platform::detail::FrameInsets(style, exStyle);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE_;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto& table = WindowTable::Get();
    WindowPtr w = table.FindAlive(hwnd);
    if (!w) return FALSE_;
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->rect.right - w->rect.left;
        pos.cy = w->rect.bottom - w->rect.top;
    }
    Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (w->state != WindowState::Alive) return FALSE_;
    RECT newRect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    UINT changed = pos.flags;
    if (newRect.left == w->rect.left && newRect.top == w->rect.top) changed |= SWP_NOMOVE;
    if (newRect.right - newRect.left == w->rect.right - w->rect.left &&
        newRect.bottom - newRect.top == w->rect.bottom - w->rect.top)
        changed |= SWP_NOSIZE;
    w->rect = newRect;
    if (!(pos.flags & SWP_NOZORDER) && !w->messageOnly) {
        if (pos.hwndInsertAfter == HWND_BOTTOM)
            table.LinkChild(w->parent, hwnd, false);
        else if (pos.hwndInsertAfter == HWND_TOP || pos.hwndInsertAfter == HWND_TOPMOST ||
                 pos.hwndInsertAfter == HWND_NOTOPMOST)
            table.BringToTop(hwnd);
        // The stay-on-top state is read back through the extended style, so the two must agree.
        if (pos.hwndInsertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
        if (pos.hwndInsertAfter == HWND_NOTOPMOST) w->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    }
    if (pos.flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (pos.flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (pos.flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    pos.flags = changed;
    if (!w->parent) platform::display::NoteTopLevel(hwnd);
    platform::display::NoteDamage(w->parent ? w->parent : hwnd);
    Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    if (!(changed & SWP_NOSIZE) && !(flags & SWP_NOREDRAW)) InvalidateRect(hwnd, nullptr, TRUE_);
    return TRUE_;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) {
    if (!WindowTable::Get().FindAlive(hwnd)) return FALSE_;
    WindowTable::Get().BringToTop(hwnd);
    return TRUE_;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || !point) return FALSE_;
    POINT o = ClientOrigin(*w);
    point->x += o.x;
    point->y += o.y;
    return TRUE_;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || !point) return FALSE_;
    POINT o = ClientOrigin(*w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE_;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT a{0, 0};
    POINT b{0, 0};
    if (from) ClientToScreen(from, &a);
    if (to) ClientToScreen(to, &b);
    LONG dx = a.x - b.x;
    LONG dy = a.y - b.y;
    for (UINT i = 0; i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELPARAM(dx, dy);
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    WindowPtr w = WindowTable::Get().FindAlive(parent);
    if (!w) return nullptr;
    RECT client;
    GetClientRect(parent, &client);
    if (!PtInRect(&client, point)) return nullptr;
    for (HWND child : WindowTable::Get().Children(parent)) {
        WindowPtr c = WindowTable::Get().Find(child);
        if (c && PtInRect(&c->rect, point)) return child;
    }
    return parent;
}

HWND WindowFromPoint(POINT point) {
    for (HWND top : WindowTable::Get().TopLevels()) {
        WindowPtr w = WindowTable::Get().Find(top);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT r = ScreenRect(*w);
        if (!PtInRect(&r, point)) continue;
        HWND hit = top;
        for (;;) {
            POINT p = point;
            ScreenToClient(hit, &p);
            HWND next = nullptr;
            for (HWND child : WindowTable::Get().Children(hit)) {
                WindowPtr c = WindowTable::Get().Find(child);
                if (c && (c->style & WS_VISIBLE) && PtInRect(&c->rect, p)) {
                    next = child;
                    break;
                }
            }
            if (!next) return hit;
            hit = next;
        }
    }
    return nullptr;
}

// ---- focus, capture, activation

HWND SetFocus(HWND hwnd) {
    auto& table = WindowTable::Get();
    if (hwnd && !table.FindAlive(hwnd)) return nullptr;
    HWND old = table.focus;
    if (old == hwnd) return old;
    if (hwnd) {
        HWND top = TopLevelOf(hwnd);
        if (top && table.active != top) SetActiveWindow(top);
    }
    table.focus = hwnd;
    if (old && table.Find(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && table.focus == hwnd) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() { return WindowTable::Get().focus; }

HWND SetCapture(HWND hwnd) {
    auto& table = WindowTable::Get();
    if (!table.FindAlive(hwnd)) return nullptr;
    HWND old = table.capture;
    table.capture = hwnd;
    platform::display::NoteCapture(hwnd);
    if (old && old != hwnd) Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    auto& table = WindowTable::Get();
    HWND old = table.capture;
    table.capture = nullptr;
    if (old) platform::display::NoteCapture(nullptr);
    if (old) Send(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE_;
}

HWND GetCapture() { return WindowTable::Get().capture; }

HWND SetActiveWindow(HWND hwnd) {
    auto& table = WindowTable::Get();
    if (hwnd && !table.FindAlive(hwnd)) return nullptr;
    if (hwnd) hwnd = TopLevelOf(hwnd);
    HWND old = table.active;
    if (old == hwnd) return old;
    table.active = hwnd;
    if (hwnd) table.foreground = hwnd;
    if (old && table.Find(old)) Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (hwnd && table.active == hwnd) Send(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    return old;
}

HWND GetActiveWindow() { return WindowTable::Get().active; }

BOOL SetForegroundWindow(HWND hwnd) {
    if (WindowTable::IsForeignHandle(hwnd)) return IsWindow(hwnd);
    if (!WindowTable::Get().FindAlive(hwnd)) return FALSE_;
    BringWindowToTop(TopLevelOf(hwnd));
    SetActiveWindow(hwnd);
    platform::display::NoteRaised(TopLevelOf(hwnd));
    WindowTable::Get().foreground = TopLevelOf(hwnd);
    return TRUE_;
}

HWND GetForegroundWindow() { return WindowTable::Get().foreground; }

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
