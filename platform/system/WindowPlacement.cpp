// Windows: show state, enabled state, geometry, z-order, coordinates and hit testing.
//
// One of the window functions (see Windows.cpp).
#include "platform/Windows.h"

#include <algorithm>

#include "detail/CrossProcess.h"
#include "detail/WindowFunctions.h"
#include "platform/display/Hooks.h"

using platform::detail::CrossProcess;
using platform::detail::IsInside;
using platform::detail::Republish;
using platform::detail::Send;
using platform::detail::SendSizeAndMove;
using platform::detail::Window;
using platform::detail::WindowPtr;
using platform::detail::WindowRecord;
using platform::detail::WindowState;
using platform::detail::WindowTable;

namespace platform::detail {

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
using platform::detail::ScreenRect;

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
