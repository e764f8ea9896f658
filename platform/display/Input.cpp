#include "platform/display/Input.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/Controls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "platform/MessageLoop.h"
#include "detail/WindowTable.h"
#include "platform/display/Hooks.h"

namespace platform::display {
namespace {

using detail::WindowPtr;
using detail::WindowTable;

struct MouseState {
    HWND overTop = nullptr;  // top-level under the pointer
    // The last press, for double clicks.
    HWND lastTarget = nullptr;
    MouseButton lastButton = MouseButton::Left;
    DWORD lastTime = 0;
    POINT lastPoint;
    bool lastWasDouble = false;
    bool inSetCursor = false;
    CursorShape setShape = CursorShape::Arrow;
    bool shapeSet = false;
    TCursor screenCursor = crDefault;
};

MouseState& Mouse() {
    thread_local MouseState state;
    return state;
}

bool Usable(const WindowPtr& w) {
    return w && w->state == detail::WindowState::Alive && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

HWND TopLevelOf(HWND hwnd) {
    auto& table = WindowTable::Get();
    WindowPtr w = table.Find(hwnd);
    while (w && w->parent) w = table.Find(w->parent);
    return w ? w->handle : nullptr;
}

// The deepest visible, enabled window under a point of top's client area.
HWND HitTest(HWND top, POINT client) {
    auto& table = WindowTable::Get();
    HWND hit = top;
    POINT p = client;
    for (;;) {
        WindowPtr w = table.Find(hit);
        if (!w) return hit;
        HWND next = nullptr;
        for (HWND child : w->children) {  // topmost first
            WindowPtr c = table.Find(child);
            if (!c || c->state != detail::WindowState::Alive || !(c->style & WS_VISIBLE)) continue;
            if (!PtInRect(&c->rect, p)) continue;
            // A disabled child takes no input: the point belongs to the window beneath.
            if (c->style & WS_DISABLED) continue;
            next = child;
            RECT in = detail::FrameInsets(c->style, c->exStyle);
            p.x -= c->rect.left + in.left;
            p.y -= c->rect.top + in.top;
            break;
        }
        if (!next) return hit;
        hit = next;
    }
}

POINT ToClientOf(HWND top, POINT client, HWND target) {
    POINT p = client;
    ClientToScreen(top, &p);
    ScreenToClient(target, &p);
    return p;
}

WPARAM MouseKeys() {
    WPARAM k = 0;
    if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) k |= MK_LBUTTON;
    if (GetAsyncKeyState(VK_RBUTTON) & 0x8000) k |= MK_RBUTTON;
    if (GetAsyncKeyState(VK_MBUTTON) & 0x8000) k |= MK_MBUTTON;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) k |= MK_SHIFT;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) k |= MK_CONTROL;
    return k;
}

TWinControl* ControlOf(HWND hwnd) { return static_cast<TWinControl*>(GetPropA(hwnd, "TarvikControl")); }

CursorShape ShapeOf(TCursor c) {
    switch (c) {
        case crIBeam: return CursorShape::IBeam;
        case crHourGlass: return CursorShape::Wait;
        case crAppStart: return CursorShape::AppStarting;
        case crCross: return CursorShape::Cross;
        case crHandPoint: return CursorShape::Hand;
        case crSizeWE: return CursorShape::SizeWE;
        case crSizeNS: return CursorShape::SizeNS;
        case crSizeNWSE: return CursorShape::SizeNWSE;
        case crSizeNESW: return CursorShape::SizeNESW;
        case crSizeAll: return CursorShape::SizeAll;
        case crHSplit: return CursorShape::HSplit;
        case crVSplit: return CursorShape::VSplit;
        case crNo:
        case crNoDrop: return CursorShape::No;
        case crHelp: return CursorShape::Help;
        case crUpArrow: return CursorShape::UpArrow;
        case crDrag: return CursorShape::Drag;
        default: return CursorShape::Arrow;
    }
}

void UpdateCursor(HWND top, HWND target, POINT client, UINT mouseMsg) {
    MouseState& m = Mouse();
    m.shapeSet = false;
    m.inSetCursor = true;
    LRESULT handled = SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, mouseMsg));
    m.inSetCursor = false;
    CursorShape shape = handled && m.shapeSet ? m.setShape : PointerShapeAt(target, ToClientOf(top, client, target));
    if (Backend* b = CurrentIfChosen()) b->SetCursor(top, shape);
}

// The enabled window a modal form put in front of a disabled owner.
HWND EnabledOwnedWindow(HWND owner) {
    auto& table = WindowTable::Get();
    for (HWND h : table.TopLevels()) {
        WindowPtr w = table.Find(h);
        if (w && w->owner == owner && Usable(w)) return h;
    }
    return nullptr;
}

void Activate(HWND top) {
    if (GetActiveWindow() != top) SetActiveWindow(top);
}

bool IsDoubleClick(HWND target, MouseButton button, POINT screen, DWORD time) {
    MouseState& m = Mouse();
    WindowPtr w = WindowTable::Get().Find(target);
    if (!w || !w->cls || !(w->cls->style & CS_DBLCLKS)) return false;
    if (m.lastWasDouble || m.lastTarget != target || m.lastButton != button) return false;
    if (time - m.lastTime > GetDoubleClickTime()) return false;
    return std::abs(screen.x - m.lastPoint.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
           std::abs(screen.y - m.lastPoint.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
}

UINT ButtonMessage(MouseButton button, bool down, bool dbl) {
    UINT base = button == MouseButton::Left ? WM_LBUTTONDOWN : button == MouseButton::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    return down ? (dbl ? base + 2 : base) : base + 1;
}

int ButtonKey(MouseButton b) { return b == MouseButton::Left ? VK_LBUTTON : b == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON; }

// Text reaches windows as the layer's characters are: one WM_CHAR per UTF-8 byte, lead byte
// first, which edits put back together into whole characters.
void PostChars(HWND target, std::string_view text, bool alt) {
    for (unsigned char byte : text) PostMessageA(target, alt ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(byte), 1);
}

bool IsTabStop(const WindowPtr& w) { return Usable(w) && (w->style & WS_TABSTOP); }

bool AllVisible(HWND h) { return IsWindowVisible(h) && IsWindowEnabled(h); }

// Pre-order list of the tab stops under top (children in creation order).
void CollectTabStops(HWND parent, std::vector<HWND>& out) {
    auto& table = WindowTable::Get();
    std::vector<HWND> kids = table.Children(parent);
    // Children are kept topmost first and new ones go below the others: the order they were
    // made in, which the controls' own tab order refines.
    std::stable_sort(kids.begin(), kids.end(), [](HWND a, HWND b) {
        TWinControl* ca = ControlOf(a);
        TWinControl* cb = ControlOf(b);
        return ca && cb && ca->TabOrder() < cb->TabOrder();
    });
    for (HWND h : kids) {
        WindowPtr w = table.Find(h);
        if (!Usable(w)) continue;
        if (IsTabStop(w)) out.push_back(h);
        CollectTabStops(h, out);
    }
}

// '&x' in a caption marks x as the control's Alt key.
bool CaptionMarks(const String& caption, char letter) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        char c = caption[i + 1];
        return std::toupper(static_cast<unsigned char>(c)) == letter;
    }
    return false;
}

bool PressAltLetter(HWND top, char letter) {
    auto& table = WindowTable::Get();
    std::function<bool(HWND)> walk = [&](HWND parent) {
        for (HWND h : table.Children(parent)) {
            WindowPtr w = table.Find(h);
            if (!Usable(w)) continue;
            if (CaptionMarks(w->text, letter)) {
                if (auto* button = dynamic_cast<TButtonControl*>(ControlOf(h))) {
                    ::SetFocus(h);
                    button->Click();
                    return true;
                }
                if (w->style & WS_TABSTOP) {
                    ::SetFocus(h);
                    return true;
                }
            }
            if (walk(h)) return true;
        }
        return false;
    };
    return walk(top);
}

}  // namespace

// ---- mouse

void InputMouseMove(HWND top, POINT client, DWORD time) {
    (void)time;
    MouseState& m = Mouse();
    m.overTop = top;
    POINT screen = client;
    ClientToScreen(top, &screen);
    SetCursorPos(screen.x, screen.y);
    HWND target = GetCapture();
    if (!target) {
        WindowPtr t = WindowTable::Get().Find(top);
        if (!t || !(t->style & WS_VISIBLE)) return;
        target = (t->style & WS_DISABLED) ? nullptr : HitTest(top, client);
        if (!target) {
            if (Backend* b = CurrentIfChosen()) b->SetCursor(top, CursorShape::Arrow);
            return;
        }
        UpdateCursor(top, target, client, WM_MOUSEMOVE);
    }
    POINT p = ToClientOf(top, client, target);
    PostMessageA(target, WM_MOUSEMOVE, MouseKeys(), MAKELPARAM(p.x, p.y));
}

void InputMouseButton(HWND top, POINT client, MouseButton button, bool down, DWORD time) {
    MouseState& m = Mouse();
    POINT screen = client;
    ClientToScreen(top, &screen);
    SetCursorPos(screen.x, screen.y);
    SetKeyDown(ButtonKey(button), down);
    HWND target = GetCapture();
    if (!target) {
        WindowPtr t = WindowTable::Get().Find(top);
        if (!t || !(t->style & WS_VISIBLE)) return;
        if (t->style & WS_DISABLED) {
            // The owner of a modal form: the form comes forward instead.
            if (down) {
                if (HWND modal = EnabledOwnedWindow(top)) {
                    SetActiveWindow(modal);
                    if (Backend* b = CurrentIfChosen()) b->Raise(modal);
                }
                MessageBeep(0);
            }
            return;
        }
        target = HitTest(top, client);
    }
    bool dbl = false;
    if (down) {
        // Popups that never take activation (menus, drop-down lists) say so.
        constexpr LRESULT kNoActivate = 3;
        if (SendMessageA(top, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top), MAKELPARAM(HTCLIENT, ButtonMessage(button, down, false))) !=
            kNoActivate)
            Activate(top);
        if (!IsWindow(target)) return;
        WindowPtr w = WindowTable::Get().Find(target);
        if (w && (w->style & WS_TABSTOP) && GetFocus() != target) ::SetFocus(target);
        if (!IsWindow(target)) return;
        dbl = IsDoubleClick(target, button, screen, time);
        m.lastTarget = target;
        m.lastButton = button;
        m.lastTime = time;
        m.lastPoint = screen;
        m.lastWasDouble = dbl;
    }
    POINT p = ToClientOf(top, client, target);
    PostMessageA(target, ButtonMessage(button, down, dbl), MouseKeys(), MAKELPARAM(p.x, p.y));
}

void InputMouseWheel(HWND top, POINT client, int delta, DWORD) {
    POINT screen = client;
    ClientToScreen(top, &screen);
    HWND target = GetCapture();
    if (!target) {
        // Under the pointer, whichever window has the keyboard; nothing while a modal form
        // disabled the window.
        WindowPtr t = WindowTable::Get().Find(top);
        if (!Usable(t)) return;
        target = HitTest(top, client);
    }
    // The wheel's point is in screen coordinates, as the system gives it.
    PostMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys()), delta), MAKELPARAM(screen.x, screen.y));
}

std::optional<CursorShape> ScreenCursorShape() {
    TCursor c = Mouse().screenCursor;
    if (c == crDefault) return std::nullopt;
    return ShapeOf(c);
}

void NoteScreenCursor(short cursor) {
    MouseState& m = Mouse();
    m.screenCursor = cursor;
    Backend* b = CurrentIfChosen();
    if (!b) return;
    // Every top-level window shows it at once: the work that set it may not let the pointer
    // move for a while. Back to normal, the window under the pointer shows its control's
    // shape and the others the arrow, until the pointer moves over them.
    for (HWND top : WindowTable::Get().TopLevels()) {
        WindowPtr w = WindowTable::Get().Find(top);
        if (!w || w->state != detail::WindowState::Alive || !(w->style & WS_VISIBLE) || w->messageOnly) continue;
        CursorShape shape = ShapeOf(cursor);
        if (cursor == crDefault && top == m.overTop) {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(top, &p);
            HWND target = HitTest(top, p);
            shape = PointerShapeAt(target, ToClientOf(top, p, target));
        }
        b->SetCursor(top, shape);
    }
    b->Flush();
}

CursorShape PointerShapeAt(HWND hwnd, POINT client) {
    if (Mouse().screenCursor != crDefault) return ShapeOf(Mouse().screenCursor);
    TWinControl* c = ControlOf(hwnd);
    if (!c) return CursorShape::Arrow;
    TControl* inner = c->ControlAtPos(TPoint{client.x, client.y});
    TControl* shown = inner && inner->Cursor() != crDefault ? inner : c;
    return ShapeOf(shown->Cursor());
}

void SetPointerShape(CursorShape shape) {
    MouseState& m = Mouse();
    m.setShape = shape;
    m.shapeSet = true;
    if (!m.inSetCursor && m.overTop)
        if (Backend* b = CurrentIfChosen()) b->SetCursor(m.overTop, shape);
}

// ---- keyboard

HWND KeyboardTarget() {
    if (HWND f = GetFocus()) return f;
    return GetActiveWindow();
}

HWND NextTabStop(HWND from, bool backwards) {
    HWND top = TopLevelOf(from);
    if (!top) return nullptr;
    std::vector<HWND> stops;
    CollectTabStops(top, stops);
    if (stops.empty()) return nullptr;
    auto it = std::find(stops.begin(), stops.end(), from);
    if (it == stops.end()) return backwards ? stops.back() : stops.front();
    std::size_t i = static_cast<std::size_t>(it - stops.begin());
    std::size_t n = stops.size();
    return stops[backwards ? (i + n - 1) % n : (i + 1) % n];
}

void InputKey(int vk, bool down, std::string_view text, DWORD) {
    // The keys as the display has them now; GetKeyState follows as the messages are read.
    const bool wasDown = (GetAsyncKeyState(vk) & 0x8000) != 0;
    SetAsyncKeyDown(vk, down);
    HWND target = KeyboardTarget();
    if (!target || !AllVisible(TopLevelOf(target))) {
        SetKeyDown(vk, down);
        return;
    }
    const bool alt = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    const bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
    if (down && vk == VK_TAB && !alt && !ctrl && !(SendMessageA(target, WM_GETDLGCODE, VK_TAB, 0) & kDlgCodeWantTab)) {
        SetKeyDown(vk, down);
        if (HWND next = NextTabStop(target, shift)) ::SetFocus(next);
        return;
    }
    if (down && alt && !ctrl && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) {
        SetKeyDown(vk, down);
        if (PressAltLetter(TopLevelOf(target), static_cast<char>(vk))) return;
    }
    const bool sys = alt && !ctrl;
    UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM l = 1 | kKeyCharsPosted;
    if (wasDown) l |= LPARAM{1} << 30;
    if (!down) l |= LPARAM{3} << 30;
    PostMessageA(target, msg, static_cast<WPARAM>(vk), l);
    if (down && !text.empty()) {
        // Control characters other than the ones dialogs know come from the key, not as text.
        PostChars(target, text, sys);
    }
}

void InputText(std::string_view text) {
    if (HWND target = KeyboardTarget()) PostChars(target, text, false);
}

// ---- the window manager's side

void InputConfigured(HWND top, RECT client) {
    WindowPtr w = WindowTable::Get().FindAlive(top);
    if (!w || w->parent) return;
    RECT in = detail::FrameInsets(w->style, w->exStyle);
    RECT r{client.left - in.left, client.top - in.top, client.right + in.right, client.bottom + in.bottom};
    if (r == w->rect) return;
    SetWindowPos(top, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void InputCloseRequested(HWND top) {
    if (!IsWindowEnabled(top)) {
        // A window a modal form disabled does not close; the form comes forward.
        if (HWND modal = EnabledOwnedWindow(top))
            if (Backend* b = CurrentIfChosen()) b->Raise(modal);
        return;
    }
    PostMessageA(top, WM_CLOSE, 0, 0);
}

void InputFocusIn(HWND top) {
    if (!IsWindow(top)) return;
    if (!IsWindowEnabled(top)) {
        if (HWND modal = EnabledOwnedWindow(top)) {
            SetActiveWindow(modal);
            if (Backend* b = CurrentIfChosen()) b->Raise(modal);
        }
        return;
    }
    Activate(top);
}

void InputMaximized(HWND top, bool maximized) {
    if (!IsWindow(top) || (IsZoomed(top) != FALSE_) == maximized) return;
    ShowWindow(top, maximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

void InputIconic(HWND top, bool iconic) {
    if (!IsWindow(top) || (IsIconic(top) != FALSE_) == iconic) return;
    ShowWindow(top, iconic ? SW_SHOWMINNOACTIVE : SW_RESTORE);
}

}  // namespace platform::display
