// Painting: the update region of each window, WM_PAINT and WM_ERASEBKGND, BeginPaint and
// EndPaint.
//
// A window's update state lives in its window-table entry; a paint draws through a device
// context of Gdi.cpp. This file sits with the window functions, above the device contexts and
// the message queue (see the layout note in CMakeLists.txt).
#include "platform/Windows.h"
#include "detail/WindowTable.h"

using platform::detail::WindowPtr;
using platform::detail::WindowTable;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!hwnd) return FALSE_;
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    if (!w->redraw) return TRUE_;
    RECT client;
    GetClientRect(hwnd, &client);
    RECT r = rect ? *rect : client;
    if (w->invalid)
        UnionRect(&w->invalidRect, &w->invalidRect, &r);
    else
        w->invalidRect = r;
    w->invalid = true;
    if (erase) w->eraseNeeded = true;
    return TRUE_;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    w->invalid = false;
    w->eraseNeeded = false;
    return TRUE_;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    if (rect) *rect = w->invalid ? w->invalidRect : RECT{};
    return w->invalid ? TRUE_ : FALSE_;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return FALSE_;
    if (w->invalid) {
        SendMessageA(hwnd, WM_PAINT, 0, 0);
        w->invalid = false;
    }
    return TRUE_;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, void*, UINT flags) {
    if (flags & RDW_INVALIDATE) {
        InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE_ : FALSE_);
        if (flags & RDW_ALLCHILDREN) {
            EnumChildWindows(
                hwnd, [](HWND child, LPARAM erase) { return InvalidateRect(child, nullptr, static_cast<BOOL>(erase)); },
                (flags & RDW_ERASE) ? 1 : 0);
        }
    }
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return TRUE_;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    RECT area = w->invalid ? w->invalidRect : client;
    bool erase = w->eraseNeeded;
    w->invalid = false;
    w->eraseNeeded = false;
    w->display->clear();
    HDC dc = GetDC(hwnd);
    bool erased = erase && SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
    if (paint) {
        paint->hdc = dc;
        paint->fErase = erase && !erased ? TRUE_ : FALSE_;
        paint->rcPaint = area;
    }
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE_;
    ReleaseDC(hwnd, paint->hdc);
    return TRUE_;
}
