// One notification-area icon on the session bus, as a StatusNotifierItem with its menu
// exported through the dbusmenu interface, for desktops whose panel hosts such items.
//
// It knows nothing of windows: the caller gives it the icon's pixels, its tip, a menu snapshot
// made on demand, and what to do when the person clicks the icon or picks a menu item. The
// caller also pumps it (Fd becomes readable: Process) from its own message loop, so every
// callback runs on the caller's thread, in the middle of nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::desktop {

struct TrayMenuItem {
    int id = 0;                 // unique in the snapshot, above 0 (0 is the menu itself)
    std::string label;          // the caption; '&' marks the access key as in menus
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    bool separator = false;
    std::vector<TrayMenuItem> children;
};

struct TrayCallbacks {
    std::function<void(int x, int y)> activate;            // primary click on the icon
    std::function<void(int x, int y)> secondaryActivate;   // middle click
    std::function<void(int x, int y)> contextMenu;         // the host asks us to show our own menu
    std::function<std::vector<TrayMenuItem>()> menu;       // the menu as it is now
    std::function<void(int id)> menuClicked;               // an item of the exported menu was picked
};

class StatusNotifierItem {
public:
    // Registers a new item with the session's StatusNotifierWatcher; null when there is no
    // session bus or no watcher on it (then another kind of tray must be tried).
    static std::unique_ptr<StatusNotifierItem> Register(const std::string& id, TrayCallbacks callbacks);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Pixels are 32-bit ARGB values (alpha in the top byte), row by row.
    void SetIcon(int width, int height, const std::vector<std::uint32_t>& argb);
    void SetToolTip(const std::string& text);
    // The menu changed: hosts that show it fetch it again.
    void MenuChanged();

    // The name the item holds on the bus, as registered with the watcher.
    const std::string& Service() const;

    // The bus connection's descriptor, to wait on; Process handles what arrived.
    int Fd() const;
    void Process();

    struct State;

private:
    explicit StatusNotifierItem(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace platform::desktop
