// The process's window table: classes, windows, their tree and z-order, focus and capture.
//
// One table per process. A window handle carries the creating process's id in its upper 32
// bits and a serial number below, so handles of different processes never collide and a handle
// is never reused within a process. The table hands out shared pointers: a window procedure
// may destroy the window it is running for, and the caller keeps a valid object until it
// returns. The mutex guards the maps only; it is never held while a window procedure runs.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Windows.h"

namespace platform::detail {

struct WindowClass {
    String name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
    int windowCount = 0;
};

enum class WindowState { Alive, Destroying, Destroyed };

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect;  // in the parent's client coordinates, or the screen's for a top-level window
    HWND parent = nullptr;
    HWND owner = nullptr;
    String text;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<Byte> extra;
    DWORD threadId = 0;
    std::vector<HWND> children;  // z-order, topmost first
    std::map<String, HANDLE> props;
    bool invalid = false;
    bool eraseNeeded = false;
    RECT invalidRect;
    bool redraw = true;
    HGDIOBJ font = nullptr;  // WM_SETFONT / WM_GETFONT
    bool messageOnly = false;
    WindowState state = WindowState::Alive;
    std::shared_ptr<DisplayList> display = std::make_shared<DisplayList>();
};

using WindowPtr = std::shared_ptr<Window>;

class WindowTable {
public:
    static WindowTable& Get();

    // Classes (names compare without regard to case).
    ATOM RegisterClass(const WNDCLASSA& wc);
    bool UnregisterClass(const String& name);
    std::shared_ptr<WindowClass> FindClass(const String& name);

    // Windows of this process.
    HWND NewHandle();
    void Insert(const WindowPtr& window);
    void Erase(HWND hwnd);
    WindowPtr Find(HWND hwnd);
    // A live window (not yet past WM_NCDESTROY); sets ERROR_INVALID_WINDOW_HANDLE when not.
    WindowPtr FindAlive(HWND hwnd);
    std::vector<HWND> TopLevels();  // z-order, topmost first
    std::vector<HWND> Children(HWND parent);
    // Places hwnd at the top of its siblings (or the top-level list).
    void BringToTop(HWND hwnd);
    void LinkChild(HWND parent, HWND child, bool atTop);
    void UnlinkChild(HWND parent, HWND child);
    std::vector<WindowPtr> AllWindows();

    // Handle classification.
    static bool IsLocalHandle(HWND hwnd);
    static bool IsForeignHandle(HWND hwnd);
    static DWORD ProcessOfHandle(HWND hwnd);
    static HWND DesktopHandle();

    // Keyboard focus, capture and activation (per process: one GUI thread).
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    HWND foreground = nullptr;

private:
    // The z-ordered list of parent's children (the top-level list for no parent); null for a
    // parent that is not in the table. The caller holds the lock.
    std::vector<HWND>* ChildList(HWND parent);

    std::recursive_mutex mutex_;
    std::unordered_map<HWND, WindowPtr> windows_;
    std::vector<HWND> topLevels_;
    std::map<String, std::shared_ptr<WindowClass>> classes_;  // keyed by the upper-cased name
    std::uint32_t nextSerial_ = 0x100;
    ATOM nextClassAtom_ = 0xC100;
};


// Writes a top-level window's record for the other processes (nothing for other windows).
void Republish(const Window& w);

// Frame widths used by GetClientRect and AdjustWindowRectEx alike.
RECT FrameInsets(DWORD style, DWORD exStyle);

}  // namespace platform::detail
