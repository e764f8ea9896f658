// The X11 backend: one X window per top-level window, drawn with cairo, fed back as input.
//
// The layer's headers come first: Xlib defines macros (None, Bool, Status, Time) that would
// break them, so after the X headers this file names no layer type those macros touch.
#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/display/Backend.h"
#include "platform/display/Input.h"
#include "platform/display/Scene.h"
#include "Keys.h"
#include "Render.h"

extern "C" __attribute__((visibility("default"))) platform::display::Backend* TarvikX11CreateBackend(
    const char* displayName, char* error, int errorSize);

namespace platform::x11 {
// Xlib has a macro of the layer's name for pointer shapes.
using PointerShape = display::CursorShape;
}  // namespace platform::x11

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <cairo-xlib.h>

#include "XEmbedTray.h"

namespace platform::x11 {
namespace {

using display::MouseButton;
using display::Selection;
using display::TopLevelState;

struct Top {
    HWND hwnd = nullptr;
    ::Window win = 0;
    XIC xic = nullptr;
    cairo_surface_t* surface = nullptr;  // on the X window
    cairo_surface_t* back = nullptr;     // the composed image, kept for the next expose
    TopLevelState state;
    // Where X has the client area (what we asked for last, or what the window manager said).
    int x = 0, y = 0, width = 1, height = 1;
    bool mapped = false;
    bool iconic = false;
    bool damaged = true;
    PointerShape cursor = PointerShape::Arrow;
};

class X11Backend final : public display::Backend {
public:
    X11Backend(::Display* dpy) : dpy_(dpy) {
        // Other programs' windows (a selection's requestor, the tray) may vanish between
        // their request and our answer; Xlib's default handler would end the program.
        XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
        screen_ = DefaultScreen(dpy_);
        root_ = RootWindow(dpy_, screen_);
        InternAtoms();
        Bool supported = False;
        XkbSetDetectableAutoRepeat(dpy_, True, &supported);
        // A client of the keyboard extension hears of a new layout only through its events.
        int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        if (XkbQueryExtension(dpy_, &opcode, &xkbEventBase_, &error, &major, &minor))
            XkbSelectEvents(dpy_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                            XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
        else
            xkbEventBase_ = -1;
        OpenInputMethod();
        // A hidden window owns the selections this process offers.
        utility_ = XCreateSimpleWindow(dpy_, root_, -10, -10, 1, 1, 0, 0, 0);
        XSelectInput(dpy_, utility_, PropertyChangeMask);
        tray_ = std::make_unique<XEmbedTray>(dpy_, screen_);
    }

    const char* Name() const override { return "x11"; }
    bool IsInteractive() const override { return true; }

    void TopLevelChanged(const TopLevelState& s) override {
        auto it = tops_.find(s.hwnd);
        if (it == tops_.end()) {
            if (!s.visible) return;  // made on first show
            it = tops_.emplace(s.hwnd, Top{}).first;
            Create(it->second, s);
        }
        Apply(it->second, s);
    }

    void TopLevelDestroyed(HWND hwnd) override {
        auto it = tops_.find(hwnd);
        if (it == tops_.end()) return;
        Top& t = it->second;
        if (t.xic) XDestroyIC(t.xic);
        if (t.surface) cairo_surface_destroy(t.surface);
        if (t.back) cairo_surface_destroy(t.back);
        byWindow_.erase(t.win);
        XDestroyWindow(dpy_, t.win);
        tops_.erase(it);
        XFlush(dpy_);
    }

    void Damaged(HWND top) override {
        auto it = tops_.find(top);
        if (it != tops_.end()) it->second.damaged = true;
    }

    void Raise(HWND hwnd) override {
        auto it = tops_.find(hwnd);
        if (it == tops_.end() || !it->second.mapped) return;
        SendWmMessage(it->second.win, atoms_.netActiveWindow, 1, CurrentTime, 0);
        XRaiseWindow(dpy_, it->second.win);
        XFlush(dpy_);
    }

    void CaptureChanged(HWND top) override {
        if (grabbed_) {
            XUngrabPointer(dpy_, CurrentTime);
            XUngrabKeyboard(dpy_, CurrentTime);
            grabbed_ = false;
        }
        auto it = tops_.find(top);
        if (it == tops_.end() || !it->second.mapped || !it->second.state.popup) {
            XFlush(dpy_);
            return;
        }
        ::Window win = it->second.win;
        // Events elsewhere on the screen arrive in the popup's coordinates, outside its area.
        unsigned int mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        grabbed_ = XGrabPointer(dpy_, win, True, mask, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime) == GrabSuccess;
        if (grabbed_) XGrabKeyboard(dpy_, win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        XFlush(dpy_);
    }

    void AppendPollFds(std::vector<pollfd>& fds) override { fds.push_back(pollfd{ConnectionNumber(dpy_), POLLIN, 0}); }

    void Pump() override {
        while (XPending(dpy_)) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
            if (XFilterEvent(&ev, 0)) continue;
            Handle(ev);
        }
    }

    bool Flush() override {
        for (auto& [hwnd, t] : tops_)
            if (t.damaged && t.mapped) Redraw(t);
        XFlush(dpy_);
        return XEventsQueued(dpy_, QueuedAlready) > 0;
    }

    void SetCursor(HWND top, PointerShape shape) override {
        auto it = tops_.find(top);
        if (it == tops_.end() || it->second.cursor == shape) return;
        it->second.cursor = shape;
        XDefineCursor(dpy_, it->second.win, CursorFor(shape));
        XFlush(dpy_);
    }

    std::optional<SIZE> ScreenSize() override {
        return SIZE{DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)};
    }

    std::optional<SIZE> TextExtent(const FontSpec& font, std::string_view text) override {
        return MeasureText(font, text);
    }

    String SelectionText(Selection which) override {
        Atom sel = which == Selection::Clipboard ? atoms_.clipboard : XA_PRIMARY;
        if (XGetSelectionOwner(dpy_, sel) == utility_) return owned_[static_cast<int>(which)];
        return ReadForeignSelection(sel);
    }

    void SetSelectionText(Selection which, const String& text) override {
        owned_[static_cast<int>(which)] = text;
        Atom sel = which == Selection::Clipboard ? atoms_.clipboard : XA_PRIMARY;
        XSetSelectionOwner(dpy_, sel, utility_, CurrentTime);
        XFlush(dpy_);
    }

    void RequestClose(HWND hwnd) {
        ::Window win = WindowOf(hwnd);
        if (!win) return;
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = win;
        ev.xclient.message_type = atoms_.wmProtocols;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(atoms_.wmDeleteWindow);
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy_, win, False, NoEventMask, &ev);
        XFlush(dpy_);
    }

    // For tests: the X window of a top-level (0 when it has none).
    ::Window WindowOf(HWND hwnd) const {
        auto it = tops_.find(hwnd);
        return it == tops_.end() ? 0 : it->second.win;
    }

private:
    struct Atoms {
        Atom wmProtocols, wmDeleteWindow, wmState, netWmName, utf8String, netWmIcon, netWmPid, netActiveWindow,
            netWmState, netWmStateHidden, netWmStateMaxV, netWmStateMaxH, netWmWindowType, typeNormal, typeDialog,
            typePopupMenu, typeUtility, clipboard, targets, selectionData, text, incr;
    } atoms_{};

    void InternAtoms() {
        const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_STATE", "_NET_WM_NAME", "UTF8_STRING",
                               "_NET_WM_ICON", "_NET_WM_PID", "_NET_ACTIVE_WINDOW", "_NET_WM_STATE",
                               "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
                               "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG",
                               "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_UTILITY", "CLIPBOARD", "TARGETS",
                               "TARVIK_SELECTION", "TEXT", "INCR"};
        constexpr int n = sizeof names / sizeof names[0];
        static_assert(n * sizeof(Atom) == sizeof(Atoms));
        Atom out[n];
        XInternAtoms(dpy_, const_cast<char**>(names), n, False, out);
        std::memcpy(&atoms_, out, sizeof out);
    }

    void OpenInputMethod() {
        // Compose and dead keys need the locale's input method; the text comes back as UTF-8
        // whatever the locale's own encoding.
        if (!std::setlocale(LC_CTYPE, "") || !XSupportsLocale()) std::setlocale(LC_CTYPE, "C.UTF-8");
        XSetLocaleModifiers("");
        xim_ = XOpenIM(dpy_, nullptr, nullptr, nullptr);
        if (!xim_) {
            XSetLocaleModifiers("@im=none");
            xim_ = XOpenIM(dpy_, nullptr, nullptr, nullptr);
        }
    }

    void Create(Top& t, const TopLevelState& s) {
        t.hwnd = s.hwnd;
        t.x = s.client.left;
        t.y = s.client.top;
        t.width = std::max<int>(1, s.client.right - s.client.left);
        t.height = std::max<int>(1, s.client.bottom - s.client.top);
        XSetWindowAttributes a{};
        a.background_pixmap = 0;  // no background: the composition covers every pixel
        a.bit_gravity = NorthWestGravity;
        a.override_redirect = s.popup ? True : False;
        a.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                       ButtonReleaseMask | PointerMotionMask | FocusChangeMask | PropertyChangeMask | LeaveWindowMask;
        t.win = XCreateWindow(dpy_, root_, t.x, t.y, static_cast<unsigned>(t.width), static_cast<unsigned>(t.height), 0,
                              CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixmap | CWBitGravity | CWOverrideRedirect | CWEventMask, &a);
        byWindow_[t.win] = s.hwnd;
        Atom protocols[] = {atoms_.wmDeleteWindow};
        XSetWMProtocols(dpy_, t.win, protocols, 1);
        XClassHint cls{const_cast<char*>("tarvik"), const_cast<char*>("Tarvik")};
        XSetClassHint(dpy_, t.win, &cls);
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = s.minimized ? IconicState : NormalState;
        XSetWMHints(dpy_, t.win, &hints);
        // The layer places its windows: the position is the client area's (static gravity).
        XSizeHints size{};
        size.flags = USPosition | PPosition | PWinGravity | PMinSize;
        size.x = t.x;
        size.y = t.y;
        size.win_gravity = StaticGravity;
        size.min_width = 1;
        size.min_height = 1;
        XSetWMNormalHints(dpy_, t.win, &size);
        long pid = static_cast<long>(::getpid());
        XChangeProperty(dpy_, t.win, atoms_.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pid), 1);
        Atom type = s.popup ? atoms_.typePopupMenu : s.toolWindow ? atoms_.typeUtility : s.owner ? atoms_.typeDialog : atoms_.typeNormal;
        XChangeProperty(dpy_, t.win, atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&type), 1);
        SetIcon(t.win);
        if (xim_) {
            t.xic = XCreateIC(xim_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, t.win,
                              XNFocusWindow, t.win, nullptr);
            if (t.xic) {
                long extra = 0;
                XGetICValues(t.xic, XNFilterEvents, &extra, nullptr);
                XSelectInput(dpy_, t.win, a.event_mask | extra);
            }
        }
        t.surface = cairo_xlib_surface_create(dpy_, t.win, DefaultVisual(dpy_, screen_), t.width, t.height);
        t.state = TopLevelState{};
        t.state.hwnd = s.hwnd;
        t.state.title = "\x01";  // never a real title: the first Apply sets it
        t.state.visible = false;
    }

    void Apply(Top& t, const TopLevelState& s) {
        if (s.title != t.state.title) SetTitle(t.win, s.title);
        if (s.owner != t.state.owner) {
            auto o = tops_.find(s.owner);
            if (o != tops_.end()) XSetTransientForHint(dpy_, t.win, o->second.win);
            else XDeleteProperty(dpy_, t.win, XA_WM_TRANSIENT_FOR);
        }
        int x = s.client.left, y = s.client.top;
        int w = std::max<int>(1, s.client.right - s.client.left), h = std::max<int>(1, s.client.bottom - s.client.top);
        if (!s.minimized && (x != t.x || y != t.y || w != t.width || h != t.height)) {
            t.x = x;
            t.y = y;
            Resize(t, w, h);
            XMoveResizeWindow(dpy_, t.win, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
        }
        if (s.visible && !t.mapped) {
            if (s.minimized) {
                XWMHints hints{};
                hints.flags = StateHint | InputHint;
                hints.input = True;
                hints.initial_state = IconicState;
                XSetWMHints(dpy_, t.win, &hints);
                t.iconic = true;
            }
            XMapRaised(dpy_, t.win);
            t.mapped = true;
            t.damaged = true;
        } else if (!s.visible && t.mapped) {
            XWithdrawWindow(dpy_, t.win, screen_);
            t.mapped = false;
        } else if (s.visible && s.minimized && !t.iconic) {
            XIconifyWindow(dpy_, t.win, screen_);
            t.iconic = true;
        } else if (s.visible && !s.minimized && t.iconic) {
            XMapRaised(dpy_, t.win);
            SendWmMessage(t.win, atoms_.netActiveWindow, 1, CurrentTime, 0);
            t.iconic = false;
        }
        if (s.maximized != t.state.maximized && t.mapped)
            SendWmMessage(t.win, atoms_.netWmState, s.maximized ? 1 : 0, static_cast<long>(atoms_.netWmStateMaxV),
                          static_cast<long>(atoms_.netWmStateMaxH));
        t.state = s;
        XFlush(dpy_);
    }

    void Resize(Top& t, int w, int h) {
        if (w == t.width && h == t.height) return;
        t.width = w;
        t.height = h;
        cairo_xlib_surface_set_size(t.surface, w, h);
        t.damaged = true;
    }

    void SetTitle(::Window win, const String& title) {
        XChangeProperty(dpy_, win, atoms_.netWmName, atoms_.utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
        XTextProperty prop{};
        char* list[] = {const_cast<char*>(title.c_str())};
        if (Xutf8TextListToTextProperty(dpy_, list, 1, XStdICCTextStyle, &prop) >= Success) {
            XSetWMName(dpy_, win, &prop);
            XFree(prop.value);
        }
    }

    // Tarvik's icon, read from the Icons folder beside the program's libraries (this library
    // lies in the program's folder, in the build tree as when installed).
    void SetIcon(::Window win) {
        if (icon_.empty()) {
            Dl_info self{};
            if (!dladdr(reinterpret_cast<void*>(&TarvikX11CreateBackend), &self) || !self.dli_fname) return;
            std::string folder = self.dli_fname;
            folder = folder.substr(0, folder.rfind('/') + 1) + "Icons/";
            for (int size : {16, 32, 48, 64, 128}) {
                cairo_surface_t* s =
                    cairo_image_surface_create_from_png((folder + "tarvik-" + std::to_string(size) + ".png").c_str());
                if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
                    cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32) {
                    cairo_surface_flush(s);
                    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
                    icon_.push_back(w);
                    icon_.push_back(h);
                    const unsigned char* px = cairo_image_surface_get_data(s);
                    const int stride = cairo_image_surface_get_stride(s);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            icon_.push_back(static_cast<long>(
                                reinterpret_cast<const std::uint32_t*>(px + static_cast<std::ptrdiff_t>(y) * stride)[x]));
                }
                cairo_surface_destroy(s);
            }
            if (icon_.empty()) return;
        }
        XChangeProperty(dpy_, win, atoms_.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(icon_.data()), static_cast<int>(icon_.size()));
    }

    void SendWmMessage(::Window win, Atom type, long a, long b, long c) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = win;
        ev.xclient.message_type = type;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = a;
        ev.xclient.data.l[1] = b;
        ev.xclient.data.l[2] = c;
        XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    }

    void Redraw(Top& t) {
        t.damaged = false;
        display::Scene scene = display::BuildScene(t.hwnd);
        if (scene.width <= 0 || scene.height <= 0) return;
        if (!t.back || cairo_image_surface_get_width(t.back) != scene.width ||
            cairo_image_surface_get_height(t.back) != scene.height) {
            if (t.back) cairo_surface_destroy(t.back);
            t.back = cairo_image_surface_create(CAIRO_FORMAT_RGB24, scene.width, scene.height);
        }
        cairo_t* cr = cairo_create(t.back);
        RenderScene(scene, cr);
        cairo_destroy(cr);
        Show(t);
    }

    // Copies the composed image onto the window (also what an expose needs).
    void Show(Top& t) {
        if (!t.back) return;
        cairo_t* cr = cairo_create(t.surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, t.back, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(t.surface);
    }

    Top* FindTop(::Window win) {
        auto it = byWindow_.find(win);
        if (it == byWindow_.end()) return nullptr;
        auto t = tops_.find(it->second);
        return t == tops_.end() ? nullptr : &t->second;
    }

    bool DockTrayIcon(const void* key, const display::TrayDock& dock) override { return tray_->Dock(key, dock); }
    void UndockTrayIcon(const void* key) override { tray_->Undock(key); }

    void Handle(XEvent& ev) {
        if (ev.type == MappingNotify || (xkbEventBase_ >= 0 && ev.type == xkbEventBase_)) {
            // The keyboard's map changed (a layout switch, a tool typing a character the
            // layout lacks): keys are looked up in the new one. Xlib tells the keyboard
            // extension's events from the core one by their type.
            XRefreshKeyboardMapping(&ev.xmapping);
            return;
        }
        if (tray_->Handle(ev)) return;
        if (ev.type == PropertyNotify && ev.xproperty.state == PropertyDelete && ContinueTransfer(ev.xproperty)) return;
        if (ev.type == MappingNotify) {
            // Tools that type characters the keyboard lacks map them onto a spare key first.
            XRefreshKeyboardMapping(&ev.xmapping);
            return;
        }
        if (ev.xany.window == utility_) {
            if (ev.type == SelectionRequest) AnswerSelectionRequest(ev.xselectionrequest);
            return;
        }
        if (ev.type == SelectionRequest) {
            AnswerSelectionRequest(ev.xselectionrequest);
            return;
        }
        Top* t = FindTop(ev.xany.window);
        if (!t) return;
        HWND hwnd = t->hwnd;
        switch (ev.type) {
            case Expose:
                if (ev.xexpose.count == 0) {
                    if (t->back && cairo_image_surface_get_width(t->back) == t->width &&
                        cairo_image_surface_get_height(t->back) == t->height && !t->damaged)
                        Show(*t);
                    else
                        t->damaged = true;
                }
                break;
            case ConfigureNotify: OnConfigure(*t, ev.xconfigure); break;
            case MapNotify:
                if (t->iconic) {
                    t->iconic = false;
                    display::InputIconic(hwnd, false);
                }
                break;
            case PropertyNotify:
                if (ev.xproperty.atom == atoms_.wmState) OnWmState(*t);
                if (ev.xproperty.atom == atoms_.netWmState) OnNetWmState(*t);
                break;
            case ClientMessage:
                if (ev.xclient.message_type == atoms_.wmProtocols &&
                    static_cast<Atom>(ev.xclient.data.l[0]) == atoms_.wmDeleteWindow)
                    display::InputCloseRequested(hwnd);
                break;
            case FocusIn:
                if (t->xic) XSetICFocus(t->xic);
                if (ev.xfocus.mode == NotifyNormal || ev.xfocus.mode == NotifyWhileGrabbed) display::InputFocusIn(hwnd);
                break;
            case FocusOut:
                if (t->xic) XUnsetICFocus(t->xic);
                break;
            case MotionNotify: {
                // Only the latest of a run of moves matters.
                XEvent next;
                while (XCheckTypedWindowEvent(dpy_, ev.xany.window, MotionNotify, &next)) ev = next;
                display::InputMouseMove(hwnd, POINT{ev.xmotion.x, ev.xmotion.y}, static_cast<DWORD>(ev.xmotion.time));
                break;
            }
            case ButtonPress:
            case ButtonRelease: OnButton(hwnd, ev.xbutton); break;
            case KeyPress:
            case KeyRelease: OnKey(*t, ev.xkey); break;
            default: break;
        }
    }

    void OnConfigure(Top& t, const XConfigureEvent& c) {
        int x = c.x, y = c.y;
        if (!c.send_event) {
            // A real event under a reparenting window manager is relative to its frame.
            ::Window child;
            XTranslateCoordinates(dpy_, t.win, root_, 0, 0, &x, &y, &child);
        }
        t.x = x;
        t.y = y;
        Resize(t, c.width, c.height);
        t.state.client = RECT{x, y, x + c.width, y + c.height};
        if (!t.state.minimized) display::InputConfigured(t.hwnd, t.state.client);
    }

    void OnWmState(Top& t) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy_, t.win, atoms_.wmState, 0, 2, False, atoms_.wmState, &type, &format, &count, &after,
                               &data) != Success || !data)
            return;
        long state = count ? reinterpret_cast<long*>(data)[0] : 0;
        XFree(data);
        bool iconic = state == IconicState;
        if (iconic == t.iconic) return;
        t.iconic = iconic;
        display::InputIconic(t.hwnd, iconic);
    }

    // Maximised or restored by the window manager (its button, a double click on the title).
    void OnNetWmState(Top& t) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy_, t.win, atoms_.netWmState, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                               &data) != Success)
            return;
        bool vert = false, horz = false;
        for (unsigned long i = 0; data && i < count; ++i) {
            Atom a = reinterpret_cast<Atom*>(data)[i];
            vert |= a == atoms_.netWmStateMaxV;
            horz |= a == atoms_.netWmStateMaxH;
        }
        if (data) XFree(data);
        bool maximized = vert && horz;
        if (maximized == t.state.maximized) return;
        t.state.maximized = maximized;
        display::InputMaximized(t.hwnd, maximized);
    }

    void OnButton(HWND hwnd, const XButtonEvent& b) {
        POINT p{b.x, b.y};
        DWORD time = static_cast<DWORD>(b.time);
        bool down = b.type == ButtonPress;
        switch (b.button) {
            case Button1: display::InputMouseButton(hwnd, p, MouseButton::Left, down, time); break;
            case Button2: display::InputMouseButton(hwnd, p, MouseButton::Middle, down, time); break;
            case Button3: display::InputMouseButton(hwnd, p, MouseButton::Right, down, time); break;
            case Button4:
                if (down) display::InputMouseWheel(hwnd, p, display::kWheelDelta, time);
                break;
            case Button5:
                if (down) display::InputMouseWheel(hwnd, p, -display::kWheelDelta, time);
                break;
            default: break;
        }
    }

    void OnKey(Top& t, XKeyEvent& k) {
        KeySym plain = XLookupKeysym(&k, 0);
        int vk = VirtualKeyOf(plain);
        if (k.type == KeyRelease) {
            if (vk) display::InputKey(vk, false, {}, static_cast<DWORD>(k.time));
            return;
        }
        char buffer[64];
        KeySym sym = 0;
        int n = 0;
        String text;
        if (t.xic) {
            Status status = 0;
            n = Xutf8LookupString(t.xic, &k, buffer, sizeof buffer - 1, &sym, &status);
            if (status == XBufferOverflow) {
                std::vector<char> big(static_cast<std::size_t>(n) + 1);
                n = Xutf8LookupString(t.xic, &k, big.data(), n, &sym, &status);
                text.assign(big.data(), static_cast<std::size_t>(std::max(n, 0)));
            } else if (status == XLookupChars || status == XLookupBoth) {
                text.assign(buffer, static_cast<std::size_t>(std::max(n, 0)));
            }
        } else {
            n = XLookupString(&k, buffer, sizeof buffer - 1, &sym, nullptr);
            text.assign(buffer, static_cast<std::size_t>(std::max(n, 0)));
        }
        // Delete makes no character on the desktops this layer imitates.
        if (text == "\x7f") text.clear();
        if (vk)
            display::InputKey(vk, true, text, static_cast<DWORD>(k.time));
        else if (!text.empty())
            display::InputText(text);
    }

    // ---- selections
    //
    // A text larger than the server takes in one request goes by the INCR protocol (ICCCM
    // 2.7.2) both ways: the owner sets the property to type INCR, then writes one chunk each
    // time the requestor deleted the last, and a chunk of length zero ends the transfer.

    // A text we are sending by INCR to another program.
    struct Transfer {
        ::Window requestor = 0;
        Atom property = 0;
        Atom type = 0;
        String text;
        std::size_t sent = 0;
    };

    // Bytes one chunk carries: the server's plain request limit less the request's header.
    std::size_t ChunkBytes() const {
        long units = XMaxRequestSize(dpy_);
        return static_cast<std::size_t>(std::max(units, 4096L) * 4 - 256);
    }

    void AnswerSelectionRequest(const XSelectionRequestEvent& r) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = 0;
        Atom property = r.property ? r.property : r.target;
        const String& text = owned_[r.selection == atoms_.clipboard ? 0 : 1];
        if (r.target == atoms_.targets) {
            Atom targets[] = {atoms_.targets, atoms_.utf8String, XA_STRING, atoms_.text};
            XChangeProperty(dpy_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(targets), 4);
            reply.xselection.property = property;
        } else if (r.target == atoms_.utf8String || r.target == XA_STRING || r.target == atoms_.text) {
            Atom type = r.target == XA_STRING ? XA_STRING : atoms_.utf8String;
            if (text.size() > ChunkBytes()) {
                // The requestor's deletes of the property drive the rest (ContinueTransfer).
                XSelectInput(dpy_, r.requestor, PropertyChangeMask);
                long size = static_cast<long>(text.size());
                XChangeProperty(dpy_, r.requestor, property, atoms_.incr, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(&size), 1);
                std::erase_if(transfers_, [&](const Transfer& t) { return t.requestor == r.requestor && t.property == property; });
                transfers_.push_back(Transfer{r.requestor, property, type, text, 0});
            } else {
                XChangeProperty(dpy_, r.requestor, property, type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
            }
            reply.xselection.property = property;
        }
        XSendEvent(dpy_, r.requestor, False, 0, &reply);
        XFlush(dpy_);
    }

    // The requestor took the last chunk (deleted the property): the next one, or the end.
    bool ContinueTransfer(const XPropertyEvent& e) {
        auto it = std::find_if(transfers_.begin(), transfers_.end(),
                               [&](const Transfer& t) { return t.requestor == e.window && t.property == e.atom; });
        if (it == transfers_.end()) return false;
        std::size_t n = std::min(ChunkBytes(), it->text.size() - it->sent);
        XChangeProperty(dpy_, it->requestor, it->property, it->type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(it->text.data() + it->sent), static_cast<int>(n));
        it->sent += n;
        // The empty chunk closes the transfer. A requestor that went away midway leaves its
        // entry until the next transfer to the same window and property replaces it.
        if (n == 0) transfers_.erase(it);
        XFlush(dpy_);
        return true;
    }

    // Waits (at most timeoutMillis without anything arriving) for an event on utility_ that
    // matches; the other events stay queued in order.
    template <typename Match>
    bool WaitForUtilityEvent(XEvent* out, int timeoutMillis, Match match) {
        struct Probe {
            ::Window window;
            Match* match;
        } probe{utility_, &match};
        auto predicate = [](::Display*, XEvent* ev, XPointer arg) -> Bool {
            auto* p = reinterpret_cast<Probe*>(arg);
            return ev->xany.window == p->window && (*p->match)(*ev) ? True : False;
        };
        for (int waited = 0; waited <= timeoutMillis; waited += 10) {
            if (XCheckIfEvent(dpy_, out, predicate, reinterpret_cast<XPointer>(&probe))) return true;
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            ::poll(&p, 1, 10);
        }
        return false;
    }

    // Reads and deletes the selection property; false when it is not there.
    bool TakeProperty(Atom* type, String* bytes, long* first32 = nullptr) {
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy_, utility_, atoms_.selectionData, 0, 1 << 26, True, AnyPropertyType, type, &format,
                               &count, &after, &data) != Success)
            return false;
        if (data) {
            if (format == 8) bytes->assign(reinterpret_cast<char*>(data), count);
            if (format == 32 && count && first32) *first32 = reinterpret_cast<long*>(data)[0];
            XFree(data);
        }
        return *type != 0;
    }

    String ReadForeignSelection(Atom sel) {
        if (XGetSelectionOwner(dpy_, sel) == 0) return String();
        XDeleteProperty(dpy_, utility_, atoms_.selectionData);
        XConvertSelection(dpy_, sel, atoms_.utf8String, atoms_.selectionData, utility_, CurrentTime);
        XFlush(dpy_);
        // The owner answers at once or not at all; a second is plenty, also between chunks.
        constexpr int kPatienceMillis = 1000;
        XEvent ev;
        if (!WaitForUtilityEvent(&ev, kPatienceMillis, [](const XEvent& e) { return e.type == SelectionNotify; }) ||
            !ev.xselection.property)
            return String();
        Atom type = 0;
        String out;
        long announced = 0;
        if (!TakeProperty(&type, &out, &announced)) return String();
        if (type != atoms_.incr) return out;
        // Deleting the INCR property (done by TakeProperty) asks for the first chunk.
        out.clear();
        out.reserve(static_cast<std::size_t>(std::max(announced, 0L)));
        XFlush(dpy_);
        const Atom property = atoms_.selectionData;
        auto newChunk = [property](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.atom == property && e.xproperty.state == PropertyNewValue;
        };
        for (;;) {
            if (!WaitForUtilityEvent(&ev, kPatienceMillis, newChunk)) return String();  // the owner went away
            // A stale notice (of the INCR property itself) finds the property gone.
            String chunk;
            if (!TakeProperty(&type, &chunk)) continue;
            XFlush(dpy_);
            if (chunk.empty()) return out;
            out += chunk;
        }
    }

    Cursor CursorFor(PointerShape shape) {
        auto it = cursors_.find(static_cast<int>(shape));
        if (it != cursors_.end()) return it->second;
        unsigned int glyph = XC_left_ptr;
        switch (shape) {
            case PointerShape::Arrow: glyph = XC_left_ptr; break;
            case PointerShape::IBeam: glyph = XC_xterm; break;
            case PointerShape::Wait: glyph = XC_watch; break;
            case PointerShape::AppStarting: glyph = XC_watch; break;
            case PointerShape::Cross: glyph = XC_crosshair; break;
            case PointerShape::Hand: glyph = XC_hand2; break;
            case PointerShape::SizeWE: glyph = XC_sb_h_double_arrow; break;
            case PointerShape::SizeNS: glyph = XC_sb_v_double_arrow; break;
            case PointerShape::SizeNWSE: glyph = XC_bottom_right_corner; break;
            case PointerShape::SizeNESW: glyph = XC_bottom_left_corner; break;
            case PointerShape::SizeAll: glyph = XC_fleur; break;
            case PointerShape::HSplit: glyph = XC_sb_h_double_arrow; break;
            case PointerShape::VSplit: glyph = XC_sb_v_double_arrow; break;
            case PointerShape::No: glyph = XC_X_cursor; break;
            case PointerShape::Help: glyph = XC_question_arrow; break;
            case PointerShape::UpArrow: glyph = XC_sb_up_arrow; break;
            case PointerShape::Drag: glyph = XC_hand1; break;
        }
        Cursor c = XCreateFontCursor(dpy_, glyph);
        cursors_[static_cast<int>(shape)] = c;
        return c;
    }

    ::Display* dpy_;
    std::vector<long> icon_;
    std::unique_ptr<XEmbedTray> tray_;  // _NET_WM_ICON: width, height, ARGB pixels, for each size
    int screen_ = 0;
    ::Window root_ = 0;
    ::Window utility_ = 0;
    XIM xim_ = nullptr;
    bool grabbed_ = false;
    int xkbEventBase_ = -1;
    std::unordered_map<HWND, Top> tops_;
    std::unordered_map<::Window, HWND> byWindow_;
    std::unordered_map<int, Cursor> cursors_;
    String owned_[2];
    std::vector<Transfer> transfers_;
};

X11Backend* g_backend = nullptr;

}  // namespace
}  // namespace platform::x11

extern "C" __attribute__((visibility("default"))) platform::display::Backend* TarvikX11CreateBackend(
    const char* displayName, char* error, int errorSize) {
    ::Display* dpy = XOpenDisplay(displayName);
    if (!dpy) {
        std::snprintf(error, static_cast<std::size_t>(errorSize), "cannot open display %s",
                      displayName ? displayName : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(unset)"));
        return nullptr;
    }
    platform::x11::g_backend = new platform::x11::X11Backend(dpy);
    return platform::x11::g_backend;
}

// The X window that shows a top-level window (0 when none), for tests that look at the screen.
extern "C" __attribute__((visibility("default"))) unsigned long TarvikX11WindowOf(HWND hwnd) {
    return platform::x11::g_backend ? platform::x11::g_backend->WindowOf(hwnd) : 0;
}

// Sends the window what a window manager's close button sends (WM_DELETE_WINDOW), through the
// server; for tests that run without a window manager.
extern "C" __attribute__((visibility("default"))) void TarvikX11RequestClose(HWND hwnd) {
    if (platform::x11::g_backend) platform::x11::g_backend->RequestClose(hwnd);
}

// The layer's virtual key of a keysym, for tests of the key table.
extern "C" __attribute__((visibility("default"))) int TarvikX11VirtualKey(unsigned long keysym) {
    return platform::x11::VirtualKeyOf(keysym);
}
