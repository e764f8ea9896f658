#include "platform/TrayHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Graphics.h"
#include "platform/DesktopServices.h"
#include "platform/StatusNotifier.h"
#include "platform/display/Backend.h"
#include "platform/display/Hooks.h"

namespace platform {
namespace {

struct TrayEntry {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    std::unique_ptr<desktop::StatusNotifierItem> item;  // on a StatusNotifierItem host
    int source = 0;
    bool docked = false;                                 // else in an XEmbed system tray
    display::TrayDock dock;                              // what the tray shows
};

std::vector<std::unique_ptr<TrayEntry>>& Entries() {
    static std::vector<std::unique_ptr<TrayEntry>> entries;
    return entries;
}

// Menus are told apart from icons: a component names its menu before it shows its icon.
struct MenuOf {
    HWND hwnd;
    UINT id;
    TPopupMenu* menu;
};
std::vector<MenuOf>& Menus() {
    static std::vector<MenuOf> menus;
    return menus;
}

TPopupMenu* MenuFor(HWND hwnd, UINT id) {
    for (const auto& m : Menus())
        if (m.hwnd == hwnd && m.id == id) return m.menu;
    return nullptr;
}

TrayEntry* Find(HWND hwnd, UINT id) {
    for (auto& e : Entries())
        if (e->hwnd == hwnd && e->id == id) return e.get();
    return nullptr;
}

// Menu clicks wait until the bus has been read: a click may end the program, and with it the
// icon whose connection is being read.
std::vector<std::function<void()>>& PendingClicks() {
    static std::vector<std::function<void()>> pending;
    return pending;
}

// The mouse messages the shell posts for a click of the icon.
void PostMouse(const TrayEntry& e, std::initializer_list<UINT> messages) {
    for (UINT m : messages) PostMessageA(e.hwnd, e.callbackMessage, e.id, static_cast<LPARAM>(m));
}

// The panel names where the person clicked; the icon's owner reads it as the cursor (a menu of
// its own opens there). Panels that do not know send 0, 0.
void PointerAt(int x, int y) {
    if (x != 0 || y != 0) SetCursorPos(x, y);
}

std::vector<desktop::TrayMenuItem> Snapshot(const TMenuItem* parent) {
    std::vector<desktop::TrayMenuItem> items;
    for (Integer i = 0; parent && i < parent->Count(); ++i) {
        const TMenuItem* source = parent->Items(i);
        desktop::TrayMenuItem item;
        item.id = source->Command();
        item.label = source->Caption();
        item.enabled = source->Enabled();
        item.visible = source->Visible();
        item.checked = source->Checked();
        item.separator = source->IsLine();
        item.children = Snapshot(source);
        items.push_back(std::move(item));
    }
    return items;
}

void ApplyIcon(TrayEntry& e, HICON handle) {
    // An HICON of the layer names its TIcon (see TIcon::Handle); transparent pixels by its mask.
    TIcon* icon = reinterpret_cast<TIcon*>(handle);
    e.dock.width = e.dock.height = 0;
    e.dock.argb.clear();
    if (!icon || icon->Empty()) return;
    const Integer w = icon->Width(), h = icon->Height();
    const std::vector<bool>& mask = icon->Mask();
    std::vector<std::uint32_t>& argb = e.dock.argb;
    argb.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (Integer y = 0; y < h; ++y) {
        for (Integer x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
            const std::uint32_t c = static_cast<std::uint32_t>(icon->Image().Pixel(x, y)) & 0xFFFFFF;
            const bool clear = i < mask.size() && mask[i];
            argb.push_back(clear ? 0 : 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
        }
    }
    e.dock.width = w;
    e.dock.height = h;
}

void Apply(TrayEntry& e, const NOTIFYICONDATAA& data) {
    if (data.uFlags & NIF_MESSAGE) e.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) ApplyIcon(e, data.hIcon);
    if (data.uFlags & NIF_TIP) e.dock.tip = String(data.szTip, strnlen(data.szTip, sizeof data.szTip));
    if (e.item) {
        if (data.uFlags & NIF_ICON) e.item->SetIcon(e.dock.width, e.dock.height, e.dock.argb);
        if (data.uFlags & NIF_TIP) e.item->SetToolTip(e.dock.tip);
    } else if (e.docked) {
        if (display::Backend* b = display::CurrentIfChosen()) b->DockTrayIcon(&e, e.dock);
    }
}

void ReadBus(HWND hwnd, UINT id) {
    if (TrayEntry* e = Find(hwnd, id); e && e->item) e->item->Process();
    auto clicks = std::move(PendingClicks());
    PendingClicks().clear();
    for (auto& click : clicks) click();
}

bool Add(const NOTIFYICONDATAA& data) {
    auto entry = std::make_unique<TrayEntry>();
    TrayEntry& e = *entry;
    e.hwnd = data.hWnd;
    e.id = data.uID;
    desktop::TrayCallbacks callbacks;
    // A person's click on a panel icon opens the program: the shell's double click, which runs
    // the icon menu's default item.
    callbacks.activate = [&e](int x, int y) {
        PointerAt(x, y);
        PostMouse(e, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
    };
    callbacks.secondaryActivate = [&e](int x, int y) {
        PointerAt(x, y);
        PostMouse(e, {WM_MBUTTONDOWN, WM_MBUTTONUP});
    };
    callbacks.contextMenu = [&e](int x, int y) {
        PointerAt(x, y);
        PostMouse(e, {WM_RBUTTONDOWN, WM_RBUTTONUP});
    };
    callbacks.menu = [&e] {
        TPopupMenu* menu = MenuFor(e.hwnd, e.id);
        return menu ? Snapshot(menu->Items()) : std::vector<desktop::TrayMenuItem>{};
    };
    callbacks.menuClicked = [hwnd = e.hwnd, id = e.id](int command) {
        PendingClicks().push_back([hwnd, id, command] {
            TPopupMenu* menu = MenuFor(hwnd, id);
            TMenuItem* item = menu ? menu->FindItem(static_cast<Word>(command)) : nullptr;
            if (item && item->Enabled() && item->Visible()) item->Click();
        });
    };
    e.item = desktop::StatusNotifierItem::Register("Tarvik", callbacks);
    if (e.item) {
        e.source = display::AddEventSource(e.item->Fd(), [hwnd = e.hwnd, id = e.id] { ReadBus(hwnd, id); });
        Apply(e, data);
    } else {
        // No StatusNotifierItem host: a system tray of the older protocol, if the desktop runs one.
        e.dock.mouse = [&e](UINT message) { PostMouse(e, {message}); };
        Apply(e, data);
        display::Backend* backend = display::CurrentIfChosen();
        e.docked = backend && backend->DockTrayIcon(&e, e.dock);
    }
    if (!e.item && !e.docked) {
        static bool said = false;
        if (!said)
            std::fprintf(stderr, "Tarvik: no notification area was found on this desktop; the window stays on the "
                                 "taskbar.\n");
        said = true;
        return false;
    }
    Entries().push_back(std::move(entry));
    return true;
}

}  // namespace

void SetNotifyIconMenu(HWND hwnd, UINT id, TPopupMenu* menu) {
    auto& menus = Menus();
    std::erase_if(menus, [&](const MenuOf& m) { return m.hwnd == hwnd && m.id == id; });
    if (menu) menus.push_back({hwnd, id, menu});
    if (TrayEntry* e = Find(hwnd, id); e && e->item) e->item->MenuChanged();
}

}  // namespace platform

namespace platform::display {

bool DesktopNotifyIcon(DWORD message, const NOTIFYICONDATAA& data) {
    // An icon is something a person sees: the display is chosen now if no window chose it yet.
    if (message == NIM_ADD) Current();
    if (!desktop::ServicesLive()) return true;
    TrayEntry* e = Find(data.hWnd, data.uID);
    switch (message) {
        case NIM_ADD: return !e && Add(data);
        case NIM_MODIFY:
            if (!e) return false;
            Apply(*e, data);
            return true;
        case NIM_DELETE:
            if (!e) return false;
            if (e->item) display::RemoveEventSource(e->source);
            if (display::Backend* b = display::CurrentIfChosen(); b && e->docked) b->UndockTrayIcon(e);
            std::erase_if(Entries(), [e](const std::unique_ptr<TrayEntry>& p) { return p.get() == e; });
            return true;
        default: return false;
    }
}

}  // namespace platform::display
