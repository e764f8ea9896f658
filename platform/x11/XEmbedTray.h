// Notification-area icons in a system tray of the freedesktop protocol: a small window of ours
// that the tray's manager (the owner of _NET_SYSTEM_TRAY_S<screen>) embeds through XEmbed.
#pragma once

#include <map>
#include <string>

#include "platform/display/Backend.h"

#include <X11/Xlib.h>

namespace platform::x11 {

class XEmbedTray {
public:
    XEmbedTray(::Display* dpy, int screen);
    ~XEmbedTray();
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    // Docks a new icon or updates a docked one; false when no tray manager is running.
    bool Dock(const void* key, const display::TrayDock& dock);
    void Undock(const void* key);
    // Handles an event for one of the icons' windows; false when it was not for them.
    bool Handle(const XEvent& ev);

private:
    struct Icon {
        ::Window win = 0;
        display::TrayDock dock;
        int width = 0, height = 0;
    };
    void Draw(Icon& icon);
    void AskForSquare(::Window win, int side);
    ::Window TrayManager();
    void RequestDock(::Window manager, ::Window icon);
    // Trays leave an embedded icon's tip to the icon: shown while the pointer is on it.
    void ShowTip(const Icon& icon);
    void HideTip();
    void DrawTip();

    ::Display* dpy_;
    int screen_;
    Atom selection_, opcode_, xembedInfo_, netWmName_, utf8_, manager_;
    std::map<const void*, Icon> icons_;
    ::Window tip_ = 0;
    std::string tipText_;
    int tipWidth_ = 0, tipHeight_ = 0;
};

}  // namespace platform::x11
