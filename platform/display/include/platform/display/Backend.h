// The display backend: the one seam between the window system and a real screen.
//
// The window system owns every window, message and display list; a backend only mirrors the
// top-level windows onto a display and feeds what the person does back in through the input
// functions of platform/display/Input.h. The interface is kept as small as a platform
// abstraction can be: top-level changed or destroyed, damage, the poll descriptors that join
// the queue's wait, pump, flush, cursor, text metrics, and the two questions of Display.h.
//
// Two backends exist. Headless (the default for tests) draws nowhere, keeps the fixed font
// metrics of platform/Canvas.h and holds the selections inside the process. X11 lives in its
// own library (libTarvikX11.so, loaded with dlopen only when chosen), so no process that runs
// headless ever maps an X, cairo or pango library. The choice is made once per process:
// TARVIK_DISPLAY=headless|x11; unset, X11 when $DISPLAY opens, else headless with one line on
// stderr that says how to see the windows.
//
// Every call comes from the thread that runs the windows (the GUI thread); a backend needs no
// locking of its own.
#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"
#include "platform/display/Display.h"

namespace platform::display {

// What a backend is told of a top-level window. The rectangle is the client area in screen
// coordinates: the backend's window is the client area, the window manager draws the frame.
struct TopLevelState {
    HWND hwnd = nullptr;
    String title;           // UTF-8
    RECT client;            // screen coordinates
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool enabled = true;
    bool popup = false;     // a frameless WS_POPUP (menus, drop-down lists, tips): no decoration,
                            // placed by us, never managed by the window manager
    bool toolWindow = false;
    HWND owner = nullptr;   // the top-level it stays above (transient for)
};

// Pointer shapes, as the component layer names them.
enum class CursorShape { Arrow, IBeam, Wait, AppStarting, Cross, Hand, SizeWE, SizeNS, SizeNWSE, SizeNESW, SizeAll,
                         HSplit, VSplit, No, Help, UpArrow, Drag };

// A notification-area icon for the desktop's system tray (the XEmbed protocol), used where the
// panel hosts no StatusNotifierItem. `mouse` receives the shell's mouse messages for the icon
// (WM_LBUTTONDOWN ... WM_MBUTTONUP, with WM_LBUTTONDBLCLK for a double click).
struct TrayDock {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;  // ARGB, alpha in the top byte, row by row
    String tip;
    std::function<void(UINT message)> mouse;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    // A person sees the windows and can answer a modal form.
    virtual bool IsInteractive() const = 0;

    // A top-level window was created, or its title, rectangle, show state, owner or enabled
    // state changed. Called for hidden windows too; a backend may wait for the first show.
    virtual void TopLevelChanged(const TopLevelState& state) = 0;
    virtual void TopLevelDestroyed(HWND hwnd) = 0;
    // Something drawn inside the top-level window changed (a paint, a child moved, shown or
    // hidden). The backend redraws it in Flush, at most once per Flush.
    virtual void Damaged(HWND topLevel) = 0;
    // Brings the window to the front and gives it the keyboard (through the window manager).
    virtual void Raise(HWND /*topLevel*/) {}

    // The layer's mouse capture went to a window of this top-level (nullptr: released). A
    // popup (menu, drop-down list) that takes the capture also takes the whole display's
    // pointer and keyboard, so a press anywhere else reaches it and closes it.
    virtual void CaptureChanged(HWND /*topLevel*/) {}

    // Descriptors the queue's wait polls beside its own.
    virtual void AppendPollFds(std::vector<pollfd>& /*fds*/) {}
    // Reads what has arrived without blocking and feeds it to the input functions.
    virtual void Pump() {}
    // Redraws the damaged windows and sends everything out; called before the queue waits.
    // Returns true when events are already waiting to be pumped (the wait must not block).
    virtual bool Flush() { return false; }

    // The pointer shape over the top-level window (Wait over every window while busy).
    virtual void SetCursor(HWND /*topLevel*/, CursorShape /*shape*/) {}
    // The size of the screen windows are placed on; nullopt keeps the headless 1024 x 768.
    virtual std::optional<SIZE> ScreenSize() { return std::nullopt; }
    // Text extent with the display's fonts; nullopt keeps the fixed metrics.
    virtual std::optional<SIZE> TextExtent(const FontSpec& /*font*/, std::string_view /*text*/) { return std::nullopt; }

    // Shows or updates the icon named by key in the system tray; false when there is none.
    virtual bool DockTrayIcon(const void* /*key*/, const TrayDock& /*dock*/) { return false; }
    virtual void UndockTrayIcon(const void* /*key*/) {}

    // The two selections (see Display.h).
    virtual String SelectionText(Selection which) = 0;
    virtual void SetSelectionText(Selection which, const String& text) = 0;
};

// The process's backend, chosen on first use (see the header comment).
Backend& Current();
// The backend when one has been chosen, else nullptr (hooks that need not force the choice).
Backend* CurrentIfChosen();
// Chooses the backend now, by name ("headless" or "x11"); for tests and tools. Returns false
// (and keeps headless) when the X11 backend cannot start. Only before anything chose one.
bool Choose(std::string_view name);

// Tests: puts backend in place of the chosen one, from the calling thread, and returns the one
// it replaced (nullptr when none was chosen yet). The caller puts the old one back.
Backend* SwapForTesting(Backend* backend);

// The state of a top-level window as backends see it (false for anything else).
bool ReadTopLevelState(HWND hwnd, TopLevelState* state);

}  // namespace platform::display
