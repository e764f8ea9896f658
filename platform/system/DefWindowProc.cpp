// The default window procedure, and the reflection of control notifications to the control
// that sent them.
//
// Default handling reaches into everything a window has (destroying it, showing it, painting
// its background), so it sits above the window functions, painting, the device contexts and
// the message queue (see the layout note in CMakeLists.txt).
#include <algorithm>
#include <cstring>

#include "platform/Windows.h"
#include "detail/WindowTable.h"

using platform::detail::WindowPtr;
using platform::detail::WindowTable;

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE: return TRUE_;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_SETTEXT:
            w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            platform::detail::Republish(*w);
            return TRUE_;
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            int size = static_cast<int>(wParam);
            if (!buffer || size <= 0) return 0;
            int n = std::min<int>(static_cast<int>(w->text.size()), size - 1);
            std::memcpy(buffer, w->text.data(), static_cast<std::size_t>(n));
            buffer[n] = '\0';
            return n;
        }
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
        case WM_SETREDRAW: w->redraw = wParam != 0; return 0;
        case WM_SETFONT:
            w->font = reinterpret_cast<HGDIOBJ>(wParam);
            if (LOWORD(static_cast<std::uintptr_t>(lParam))) InvalidateRect(hwnd, nullptr, TRUE_);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            HBRUSH brush = w->cls ? w->cls->background : nullptr;
            if (!brush) return 0;
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            return 1;
        }
        case WM_NCHITTEST: return HTCLIENT;
        case WM_MOUSEACTIVATE: return 1;  // activate
        // The wheel goes to the window under the pointer; one that does not scroll passes it on.
        case WM_MOUSEWHEEL: return w->parent ? SendMessageA(w->parent, msg, wParam, lParam) : 0;
        case WM_QUERYENDSESSION: return TRUE_;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
                case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
                case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
                case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
                default: break;
            }
            return 0;
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!pos) return 0;
            if (!(pos->flags & SWP_NOMOVE)) SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
            if (!(pos->flags & SWP_NOSIZE)) {
                RECT client;
                GetClientRect(hwnd, &client);
                WPARAM kind = (w->style & WS_MINIMIZE) ? SIZE_MINIMIZED
                              : (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                         : SIZE_RESTORED;
                SendMessageA(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
            }
            return 0;
        }
        case WM_NOTIFY:
        default: return 0;
    }
}

namespace platform {

bool ReflectControlMessage(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND control = nullptr;
    switch (msg) {
        case WM_NOTIFY:
            if (lParam) control = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
            break;
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: control = reinterpret_cast<HWND>(lParam); break;
        default: return false;
    }
    if (!control || control == parent || !IsChild(parent, control)) return false;
    LRESULT r = SendMessageA(control, CN_BASE + msg, wParam, lParam);
    if (result) *result = r;
    return true;
}

}  // namespace platform
