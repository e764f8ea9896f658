#include "detail/WindowTable.h"

#include <unistd.h>

#include <algorithm>

#include "platform/SysUtils.h"

namespace platform::detail {


RECT FrameInsets(DWORD style, DWORD exStyle) {
    // Fixed metrics of the headless desktop: a thin border is 1 pixel, a sunken client edge 2,
    // a sizing frame 4, a dialog frame 3, and a caption bar 18 pixels over the client area.
    int edge = 0;
    if (style & WS_THICKFRAME)
        edge += 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        edge += 3;
    else if (style & WS_BORDER)
        edge += 1;
    if (exStyle & WS_EX_CLIENTEDGE) edge += 2;
    RECT insets{edge, edge, edge, edge};
    if ((style & WS_CAPTION) == WS_CAPTION) insets.top += 18;
    return insets;
}

WindowTable& WindowTable::Get() {
    static WindowTable* table = new WindowTable;  // lives until exit; windows may outlive statics
    return *table;
}

ATOM WindowTable::RegisterClass(const WNDCLASSA& wc) {
    if (!wc.lpszClassName || !*wc.lpszClassName || !wc.lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(mutex_);
    String key = UpperCase(wc.lpszClassName);
    if (classes_.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc.lpszClassName;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->clsExtra = wc.cbClsExtra;
    cls->wndExtra = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    cls->atom = nextClassAtom_++;
    classes_[key] = cls;
    return cls->atom;
}

bool WindowTable::UnregisterClass(const String& name) {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(UpperCase(name));
    if (it == classes_.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if (it->second->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    classes_.erase(it);
    return true;
}

std::shared_ptr<WindowClass> WindowTable::FindClass(const String& name) {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(UpperCase(name));
    return it == classes_.end() ? nullptr : it->second;
}

HWND WindowTable::NewHandle() {
    std::lock_guard lock(mutex_);
    std::uintptr_t value = (static_cast<std::uintptr_t>(::getpid()) << 32) | nextSerial_;
    nextSerial_ += 2;
    return reinterpret_cast<HWND>(value);
}

void WindowTable::Insert(const WindowPtr& window) {
    std::lock_guard lock(mutex_);
    windows_[window->handle] = window;
    if (window->cls) ++window->cls->windowCount;
}

void WindowTable::Erase(HWND hwnd) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it == windows_.end()) return;
    if (it->second->cls) --it->second->cls->windowCount;
    windows_.erase(it);
    topLevels_.erase(std::remove(topLevels_.begin(), topLevels_.end(), hwnd), topLevels_.end());
}

WindowPtr WindowTable::Find(HWND hwnd) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : it->second;
}

WindowPtr WindowTable::FindAlive(HWND hwnd) {
    WindowPtr w = Find(hwnd);
    if (!w || w->state == WindowState::Destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w;
}

std::vector<HWND> WindowTable::TopLevels() {
    std::lock_guard lock(mutex_);
    return topLevels_;
}

std::vector<HWND> WindowTable::Children(HWND parent) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(parent);
    return it == windows_.end() ? std::vector<HWND>{} : it->second->children;
}

std::vector<HWND>* WindowTable::ChildList(HWND parent) {
    if (!parent) return &topLevels_;
    auto it = windows_.find(parent);
    return it == windows_.end() ? nullptr : &it->second->children;
}

void WindowTable::LinkChild(HWND parent, HWND child, bool atTop) {
    std::lock_guard lock(mutex_);
    std::vector<HWND>* list = ChildList(parent);
    if (!list) return;
    list->erase(std::remove(list->begin(), list->end(), child), list->end());
    if (atTop)
        list->insert(list->begin(), child);
    else
        list->push_back(child);
}

void WindowTable::UnlinkChild(HWND parent, HWND child) {
    std::lock_guard lock(mutex_);
    std::vector<HWND>* list = ChildList(parent);
    if (!list) return;
    list->erase(std::remove(list->begin(), list->end(), child), list->end());
}

void WindowTable::BringToTop(HWND hwnd) {
    WindowPtr w = Find(hwnd);
    if (!w || w->messageOnly) return;
    LinkChild(w->parent, hwnd, true);
}

std::vector<WindowPtr> WindowTable::AllWindows() {
    std::lock_guard lock(mutex_);
    std::vector<WindowPtr> out;
    out.reserve(windows_.size());
    for (auto& [h, w] : windows_) out.push_back(w);
    return out;
}

DWORD WindowTable::ProcessOfHandle(HWND hwnd) {
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(hwnd) >> 32);
}

bool WindowTable::IsLocalHandle(HWND hwnd) {
    return hwnd && ProcessOfHandle(hwnd) == static_cast<DWORD>(::getpid());
}

bool WindowTable::IsForeignHandle(HWND hwnd) {
    DWORD pid = ProcessOfHandle(hwnd);
    return pid != 0 && pid != static_cast<DWORD>(::getpid());
}

HWND WindowTable::DesktopHandle() { return reinterpret_cast<HWND>(std::uintptr_t{0x10010}); }

}  // namespace platform::detail
