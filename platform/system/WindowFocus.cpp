// Windows: keyboard focus, mouse capture, activation and the foreground window.
//
// One of the window functions (see Windows.cpp).
#include "platform/Windows.h"

#include "detail/WindowFunctions.h"
#include "platform/display/Hooks.h"

using platform::detail::Send;
using platform::detail::TopLevelOf;
using platform::detail::WindowTable;

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
