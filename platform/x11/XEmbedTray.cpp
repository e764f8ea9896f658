#include "XEmbedTray.h"

#include <cairo-xlib.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>

#include "Render.h"
#include "platform/Canvas.h"
#include "platform/Messages.h"
#include "platform/Windows.h"

namespace platform::x11 {
namespace {

constexpr long kRequestDock = 0;           // SYSTEM_TRAY_REQUEST_DOCK
constexpr long kXEmbedMapped = 1;          // XEMBED_MAPPED
constexpr int kDefaultSide = 22;           // what trays commonly give an icon

}  // namespace

XEmbedTray::XEmbedTray(::Display* dpy, int screen) : dpy_(dpy), screen_(screen) {
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    selection_ = XInternAtom(dpy_, name.c_str(), False);
    opcode_ = XInternAtom(dpy_, "_NET_SYSTEM_TRAY_OPCODE", False);
    xembedInfo_ = XInternAtom(dpy_, "_XEMBED_INFO", False);
    netWmName_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
    utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
    manager_ = XInternAtom(dpy_, "MANAGER", False);
    // A tray that starts (or starts again) says so to the root window: the icons dock there anew.
    XSelectInput(dpy_, RootWindow(dpy_, screen_), StructureNotifyMask);
}

XEmbedTray::~XEmbedTray() {
    HideTip();
    for (auto& [key, icon] : icons_) XDestroyWindow(dpy_, icon.win);
}

// Trays size an icon by its size hints: a square of the given side.
void XEmbedTray::AskForSquare(::Window win, int side) {
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PBaseSize | PAspect;
    hints->min_width = hints->min_height = hints->base_width = hints->base_height = side;
    hints->min_aspect.x = hints->min_aspect.y = hints->max_aspect.x = hints->max_aspect.y = 1;
    XSetWMNormalHints(dpy_, win, hints);
    XFree(hints);
}

::Window XEmbedTray::TrayManager() { return XGetSelectionOwner(dpy_, selection_); }

bool XEmbedTray::Dock(const void* key, const display::TrayDock& dock) {
    auto it = icons_.find(key);
    if (it != icons_.end()) {
        if (tip_ && dock.tip != it->second.dock.tip) HideTip();
        it->second.dock = dock;
        XChangeProperty(dpy_, it->second.win, netWmName_, utf8_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(dock.tip.data()), static_cast<int>(dock.tip.size()));
        Draw(it->second);
        return true;
    }
    const ::Window manager = TrayManager();
    if (manager == 0) return false;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = ParentRelative;  // the panel shows through where the icon is clear
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask;
    Icon icon;
    icon.dock = dock;
    icon.width = icon.height = kDefaultSide;
    icon.win = XCreateWindow(dpy_, RootWindow(dpy_, screen_), 0, 0, kDefaultSide, kDefaultSide, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    AskForSquare(icon.win, kDefaultSide);
    const long info[2] = {0, kXEmbedMapped};
    XChangeProperty(dpy_, icon.win, xembedInfo_, xembedInfo_, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    XChangeProperty(dpy_, icon.win, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(dock.tip.data()), static_cast<int>(dock.tip.size()));
    XStoreName(dpy_, icon.win, "Tarvik");

    RequestDock(manager, icon.win);
    icons_.emplace(key, std::move(icon));
    return true;
}

void XEmbedTray::RequestDock(::Window manager, ::Window icon) {
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = manager;
    request.xclient.message_type = opcode_;
    request.xclient.format = 32;
    request.xclient.data.l[0] = CurrentTime;
    request.xclient.data.l[1] = kRequestDock;
    request.xclient.data.l[2] = static_cast<long>(icon);
    XSendEvent(dpy_, manager, False, NoEventMask, &request);
    XFlush(dpy_);
}

void XEmbedTray::Undock(const void* key) {
    auto it = icons_.find(key);
    if (it == icons_.end()) return;
    HideTip();
    XDestroyWindow(dpy_, it->second.win);
    icons_.erase(it);
    XFlush(dpy_);
}

void XEmbedTray::Draw(Icon& icon) {
    const display::TrayDock& d = icon.dock;
    XClearWindow(dpy_, icon.win);
    if (d.width <= 0 || d.height <= 0 || d.argb.size() < static_cast<std::size_t>(d.width) * d.height) return;
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy_, icon.win, &wa)) return;
    cairo_surface_t* target = cairo_xlib_surface_create(dpy_, icon.win, wa.visual, icon.width, icon.height);
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, d.width, d.height);
    cairo_surface_flush(picture);
    unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            // cairo wants alpha premultiplied.
            const std::uint32_t p = d.argb[static_cast<std::size_t>(y) * d.width + x];
            const std::uint32_t a = p >> 24;
            auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x] =
                (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
        }
    cairo_surface_mark_dirty(picture);
    cairo_t* cr = cairo_create(target);
    const double scale = std::min(double(icon.width) / d.width, double(icon.height) / d.height);
    cairo_translate(cr, (icon.width - d.width * scale) / 2, (icon.height - d.height * scale) / 2);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(picture);
    cairo_surface_destroy(target);
    XFlush(dpy_);
}

namespace {
constexpr int kTipPadX = 6, kTipPadY = 4, kTipGap = 4;
}  // namespace

void XEmbedTray::ShowTip(const Icon& icon) {
    HideTip();
    if (icon.dock.tip.empty()) return;
    tipText_ = icon.dock.tip;
    const SIZE text = MeasureText(FontSpec{}, tipText_);
    tipWidth_ = static_cast<int>(text.cx) + 2 * kTipPadX;
    tipHeight_ = static_cast<int>(text.cy) + 2 * kTipPadY;
    // Below the icon when the tray is at the top of the screen, else above it; never off-screen.
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(dpy_, icon.win, RootWindow(dpy_, screen_), 0, 0, &x, &y, &child);
    const int screenW = DisplayWidth(dpy_, screen_), screenH = DisplayHeight(dpy_, screen_);
    int top = y + icon.height + kTipGap;
    if (top + tipHeight_ > screenH) top = y - kTipGap - tipHeight_;
    const int left = std::max(0, std::min(x + icon.width / 2 - tipWidth_ / 2, screenW - tipWidth_));
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.event_mask = ExposureMask;
    tip_ = XCreateWindow(dpy_, RootWindow(dpy_, screen_), left, std::max(0, top), static_cast<unsigned>(tipWidth_),
                         static_cast<unsigned>(tipHeight_), 0, CopyFromParent, InputOutput, CopyFromParent,
                         CWOverrideRedirect | CWEventMask, &a);
    const Atom type = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE", False);
    const Atom tooltip = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    XChangeProperty(dpy_, tip_, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&tooltip), 1);
    XChangeProperty(dpy_, tip_, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(tipText_.data()), static_cast<int>(tipText_.size()));
    XMapRaised(dpy_, tip_);
    XFlush(dpy_);
}

void XEmbedTray::HideTip() {
    if (!tip_) return;
    XDestroyWindow(dpy_, tip_);
    tip_ = 0;
    XFlush(dpy_);
}

// In the colours of the layer's menus: a light face, a grey frame, dark text.
void XEmbedTray::DrawTip() {
    XWindowAttributes wa;
    if (!tip_ || !XGetWindowAttributes(dpy_, tip_, &wa)) return;
    cairo_surface_t* target = cairo_xlib_surface_create(dpy_, tip_, wa.visual, tipWidth_, tipHeight_);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 252 / 255.0, 252 / 255.0, 252 / 255.0);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 168 / 255.0, 168 / 255.0, 168 / 255.0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, tipWidth_ - 1, tipHeight_ - 1);
    cairo_stroke(cr);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, FontDescription(FontSpec{}));
    pango_layout_set_text(layout, tipText_.data(), static_cast<int>(tipText_.size()));
    cairo_set_source_rgb(cr, 30 / 255.0, 30 / 255.0, 30 / 255.0);
    cairo_move_to(cr, kTipPadX, kTipPadY);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(target);
    XFlush(dpy_);
}

bool XEmbedTray::Handle(const XEvent& ev) {
    if (tip_ && ev.xany.window == tip_) {
        if (ev.type == Expose && ev.xexpose.count == 0) DrawTip();
        return true;
    }
    if (ev.type == ClientMessage && ev.xclient.message_type == manager_) {
        if (static_cast<Atom>(ev.xclient.data.l[1]) == selection_)
            for (auto& [key, icon] : icons_) RequestDock(static_cast<::Window>(ev.xclient.data.l[2]), icon.win);
        return true;
    }
    for (auto& [key, icon] : icons_) {
        if (icon.win != ev.xany.window) continue;
        const auto mouse = icon.dock.mouse;
        // The icon's owner reads the pointer where the person pressed (its menu opens there):
        // events on the icon are no window of the layer's, so the cursor is kept here.
        if (ev.type == ButtonPress || ev.type == ButtonRelease) SetCursorPos(ev.xbutton.x_root, ev.xbutton.y_root);
        if (ev.type == MotionNotify) SetCursorPos(ev.xmotion.x_root, ev.xmotion.y_root);
        switch (ev.type) {
            case Expose:
                if (ev.xexpose.count == 0) Draw(icon);
                break;
            case ReparentNotify:
                // A tray that ends hands its icons back to the root window, where they would
                // stand as a stray square in a corner until the next tray takes them.
                if (ev.xreparent.parent == RootWindow(dpy_, screen_)) XUnmapWindow(dpy_, icon.win);
                break;
            case ConfigureNotify:
                if (ev.xconfigure.width != icon.width || ev.xconfigure.height != icon.height) {
                    icon.width = ev.xconfigure.width;
                    icon.height = ev.xconfigure.height;
                    // A panel gives its own height and our width: ask again for a square of it.
                    if (icon.width != icon.height) AskForSquare(icon.win, std::max(icon.width, icon.height));
                    Draw(icon);
                }
                break;
            case MotionNotify:
                if (mouse) mouse(WM_MOUSEMOVE);
                break;
            case EnterNotify:
                if (ev.xcrossing.mode == NotifyNormal) ShowTip(icon);
                break;
            case LeaveNotify: HideTip(); break;
            case ButtonPress:
                HideTip();
                if (!mouse) break;
                if (ev.xbutton.button == Button1) {
                    mouse(WM_LBUTTONDOWN);
                } else if (ev.xbutton.button == Button2) {
                    mouse(WM_MBUTTONDOWN);
                } else if (ev.xbutton.button == Button3) {
                    mouse(WM_RBUTTONDOWN);
                }
                break;
            case ButtonRelease:
                if (!mouse) break;
                if (ev.xbutton.button == Button1) {
                    // On a Linux panel one click opens the program, as the shell's double click
                    // (its menu's default item) does: the click, then the double click.
                    for (UINT m : {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) mouse(m);
                } else if (ev.xbutton.button == Button2) mouse(WM_MBUTTONUP);
                else if (ev.xbutton.button == Button3) mouse(WM_RBUTTONUP);
                break;
            default: break;
        }
        return true;
    }
    return false;
}

}  // namespace platform::x11
