// Windows: the long values, the window procedure, properties and text.
//
// One of the window functions (see Windows.cpp).
#include "platform/SysUtils.h"
#include "platform/Windows.h"

#include <algorithm>
#include <cstring>

#include "detail/CrossProcess.h"
#include "detail/WindowFunctions.h"

using platform::detail::CopyOut;
using platform::detail::CrossProcess;
using platform::detail::Republish;
using platform::detail::Send;
using platform::detail::WindowPtr;
using platform::detail::WindowRecord;
using platform::detail::WindowTable;

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
