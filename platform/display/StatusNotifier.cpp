#include "platform/StatusNotifier.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

namespace platform::desktop {

namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

// Menu captions mark the access key with '&' ("&&" is a plain '&'); dbusmenu labels use '_'.
std::string MenuLabel(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return out;
}

const TrayMenuItem* FindItem(const std::vector<TrayMenuItem>& items, int id) {
    for (const auto& item : items) {
        if (item.id == id) return &item;
        if (const TrayMenuItem* found = FindItem(item.children, id)) return found;
    }
    return nullptr;
}

}  // namespace

struct StatusNotifierItem::State {
    sd_bus* bus = nullptr;
    sd_bus_slot* itemSlot = nullptr;
    sd_bus_slot* menuSlot = nullptr;
    sd_bus_slot* watcherSlot = nullptr;
    std::string id, service, tip;
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // ARGB, big-endian per pixel, as the protocol wants
    TrayCallbacks callbacks;
    std::uint32_t revision = 1;

    ~State() {
        sd_bus_slot_unref(itemSlot);
        sd_bus_slot_unref(menuSlot);
        sd_bus_slot_unref(watcherSlot);
        if (bus) sd_bus_flush_close_unref(bus);
    }

    std::vector<TrayMenuItem> Menu() const { return callbacks.menu ? callbacks.menu() : std::vector<TrayMenuItem>{}; }
};

namespace {

using State = StatusNotifierItem::State;

int AppendPixmaps(sd_bus_message* m, const State& s) {
    int r = sd_bus_message_open_container(m, 'a', "(iiay)");
    if (r >= 0 && !s.pixels.empty()) {
        r = sd_bus_message_open_container(m, 'r', "iiay");
        if (r >= 0) r = sd_bus_message_append(m, "ii", s.width, s.height);
        if (r >= 0) r = sd_bus_message_append_array(m, 'y', s.pixels.data(), s.pixels.size());
        if (r >= 0) r = sd_bus_message_close_container(m);
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
}

int GetItemProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                    sd_bus_error*) {
    const State& s = *static_cast<State*>(userdata);
    const std::string_view name = property;
    if (name == "Category") return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (name == "Id") return sd_bus_message_append(reply, "s", s.id.c_str());
    if (name == "Title") return sd_bus_message_append(reply, "s", s.id.c_str());
    if (name == "Status") return sd_bus_message_append(reply, "s", "Active");
    if (name == "WindowId") return sd_bus_message_append(reply, "i", 0);
    if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName" ||
        name == "AttentionMovieName" || name == "IconThemePath")
        return sd_bus_message_append(reply, "s", "");
    if (name == "IconPixmap") return AppendPixmaps(reply, s);
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return sd_bus_message_append(reply, "a(iiay)", 0);
    if (name == "ItemIsMenu") return sd_bus_message_append(reply, "b", 0);
    if (name == "Menu") return sd_bus_message_append(reply, "o", kMenuPath);
    if (name == "ToolTip") {
        int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (r >= 0) r = sd_bus_message_append(reply, "s", "");
        if (r >= 0) r = AppendPixmaps(reply, s);
        if (r >= 0) r = sd_bus_message_append(reply, "ss", s.tip.c_str(), "");
        if (r >= 0) r = sd_bus_message_close_container(reply);
        return r;
    }
    return -ENOENT;
}

// Clicks on the icon: the host gives the pointer's screen position.
int OnPointer(sd_bus_message* m, void* userdata, sd_bus_error*) {
    State& s = *static_cast<State*>(userdata);
    int x = 0, y = 0;
    const int r = sd_bus_message_read(m, "ii", &x, &y);
    if (r < 0) return r;
    const std::string_view member = sd_bus_message_get_member(m);
    const auto& cb = member == "Activate"            ? s.callbacks.activate
                     : member == "SecondaryActivate" ? s.callbacks.secondaryActivate
                                                     : s.callbacks.contextMenu;
    if (cb) cb(x, y);
    return sd_bus_reply_method_return(m, "");
}

int OnScroll(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, ""); }

const sd_bus_vtable kItemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("OverlayIconName", "s", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("AttentionIconName", "s", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("AttentionMovieName", "s", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", GetItemProperty, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", GetItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("ContextMenu", "ii", "", OnPointer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Activate", "ii", "", OnPointer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", OnPointer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", OnScroll, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

// ---- the exported menu ----

int AppendEntry(sd_bus_message* m, const char* key, char type, const void* value) {
    const char sig[2] = {type, 0};
    int r = sd_bus_message_open_container(m, 'e', "sv");
    if (r >= 0) r = sd_bus_message_append_basic(m, 's', key);
    if (r >= 0) r = sd_bus_message_open_container(m, 'v', sig);
    if (r >= 0) r = sd_bus_message_append_basic(m, type, value);
    if (r >= 0) r = sd_bus_message_close_container(m);
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
}

int AppendItemProperties(sd_bus_message* m, const TrayMenuItem* item) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r >= 0 && item && item->separator) r = AppendEntry(m, "type", 's', "separator");
    if (r >= 0 && item && !item->separator) {
        const std::string label = MenuLabel(item->label);
        const int enabled = item->enabled, visible = item->visible;
        r = AppendEntry(m, "label", 's', label.c_str());
        if (r >= 0) r = AppendEntry(m, "enabled", 'b', &enabled);
        if (r >= 0) r = AppendEntry(m, "visible", 'b', &visible);
        if (r >= 0 && item->checked) {
            const int on = 1;
            r = AppendEntry(m, "toggle-type", 's', "checkmark");
            if (r >= 0) r = AppendEntry(m, "toggle-state", 'i', &on);
        }
        if (r >= 0 && !item->children.empty()) r = AppendEntry(m, "children-display", 's', "submenu");
    }
    if (r >= 0 && !item) r = AppendEntry(m, "children-display", 's', "submenu");
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
}

// One layout node (ia{sv}av); item null is the root that holds the top-level items.
int AppendLayout(sd_bus_message* m, const TrayMenuItem* item, const std::vector<TrayMenuItem>& children, int depth) {
    int r = sd_bus_message_open_container(m, 'r', "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append(m, "i", item ? item->id : 0);
    if (r >= 0) r = AppendItemProperties(m, item);
    if (r >= 0) r = sd_bus_message_open_container(m, 'a', "v");
    if (depth != 0) {
        for (const auto& child : children) {
            if (r >= 0) r = sd_bus_message_open_container(m, 'v', "(ia{sv}av)");
            if (r >= 0) r = AppendLayout(m, &child, child.children, depth < 0 ? depth : depth - 1);
            if (r >= 0) r = sd_bus_message_close_container(m);
        }
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
}

int OnGetLayout(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    State& s = *static_cast<State*>(userdata);
    int parent = 0, depth = -1;
    int r = sd_bus_message_read(m, "ii", &parent, &depth);
    if (r < 0) return r;
    const std::vector<TrayMenuItem> menu = s.Menu();
    const TrayMenuItem* item = parent == 0 ? nullptr : FindItem(menu, parent);
    if (parent != 0 && !item) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "No such menu item");
    sd_bus_message* reply = nullptr;
    r = sd_bus_message_new_method_return(m, &reply);
    if (r >= 0) r = sd_bus_message_append(reply, "u", s.revision);
    if (r >= 0) r = AppendLayout(reply, item, item ? item->children : menu, depth);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
}

int OnGetGroupProperties(sd_bus_message* m, void* userdata, sd_bus_error*) {
    State& s = *static_cast<State*>(userdata);
    const std::vector<TrayMenuItem> menu = s.Menu();
    std::vector<int> ids;
    const void* data = nullptr;
    size_t size = 0;
    int r = sd_bus_message_read_array(m, 'i', &data, &size);
    if (r < 0) return r;
    ids.assign(static_cast<const int*>(data), static_cast<const int*>(data) + size / sizeof(int));
    sd_bus_message* reply = nullptr;
    r = sd_bus_message_new_method_return(m, &reply);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
    for (int id : ids) {
        const TrayMenuItem* item = FindItem(menu, id);
        if (!item || r < 0) continue;
        r = sd_bus_message_open_container(reply, 'r', "ia{sv}");
        if (r >= 0) r = sd_bus_message_append(reply, "i", id);
        if (r >= 0) r = AppendItemProperties(reply, item);
        if (r >= 0) r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
}

void MenuEvent(State& s, int id, const char* event) {
    if (std::strcmp(event, "clicked") == 0 && s.callbacks.menuClicked) s.callbacks.menuClicked(id);
}

int OnEvent(sd_bus_message* m, void* userdata, sd_bus_error*) {
    int id = 0;
    const char* event = nullptr;
    const int r = sd_bus_message_read(m, "is", &id, &event);
    if (r < 0) return r;
    const std::string name = event;  // the message's buffer is ours only until the reply
    MenuEvent(*static_cast<State*>(userdata), id, name.c_str());
    return sd_bus_reply_method_return(m, "");
}

int OnEventGroup(sd_bus_message* m, void* userdata, sd_bus_error*) {
    State& s = *static_cast<State*>(userdata);
    std::vector<std::pair<int, std::string>> events;
    int r = sd_bus_message_enter_container(m, 'a', "(isvu)");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, 'r', "isvu")) > 0) {
        int id = 0;
        const char* event = nullptr;
        r = sd_bus_message_read(m, "is", &id, &event);
        if (r >= 0) events.emplace_back(id, event);
        if (r >= 0) r = sd_bus_message_skip(m, "vu");
        if (r >= 0) r = sd_bus_message_exit_container(m);
    }
    if (r < 0) return r;
    for (const auto& [id, event] : events) MenuEvent(s, id, event.c_str());
    return sd_bus_reply_method_return(m, "ai", 0);
}

int OnGetProperty(sd_bus_message* m, void*, sd_bus_error* error) {
    (void)m;
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "Ask for the group properties");
}

int OnAboutToShow(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, "b", 0); }

int OnAboutToShowGroup(sd_bus_message* m, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(m, "aiai", 0, 0);
}

int GetMenuProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                    sd_bus_error*) {
    const std::string_view name = property;
    if (name == "Version") return sd_bus_message_append(reply, "u", 3u);
    if (name == "TextDirection") return sd_bus_message_append(reply, "s", "ltr");
    if (name == "Status") return sd_bus_message_append(reply, "s", "normal");
    if (name == "IconThemePath") return sd_bus_message_append(reply, "as", 0);
    return -ENOENT;
}

const sd_bus_vtable kMenuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", GetMenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", GetMenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", GetMenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", GetMenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", OnGetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", OnGetGroupProperties, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", OnGetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", OnEvent, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", OnEventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", OnAboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", OnAboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END};

bool WatcherPresent(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    int present = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                           nullptr, &reply, "s", kWatcher) >= 0)
        sd_bus_message_read(reply, "b", &present);
    sd_bus_message_unref(reply);
    return present != 0;
}

std::atomic<int> g_itemCount{0};

// A panel that starts again brings a new watcher, which knows no items: tell it of this one.
int WatcherChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char *name = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &oldOwner, &newOwner) < 0 || std::strcmp(name, kWatcher) != 0 ||
        !newOwner || !*newOwner)
        return 0;
    auto* state = static_cast<State*>(userdata);
    sd_bus_call_method_async(state->bus, nullptr, kWatcher, "/StatusNotifierWatcher", kWatcher,
                             "RegisterStatusNotifierItem", nullptr, nullptr, "s", state->service.c_str());
    return 0;
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(std::unique_ptr<State> state) : state_(std::move(state)) {}
StatusNotifierItem::~StatusNotifierItem() = default;

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::Register(const std::string& id, TrayCallbacks callbacks) {
    auto state = std::make_unique<State>();
    state->id = id;
    state->callbacks = std::move(callbacks);
    if (sd_bus_open_user(&state->bus) < 0 || !WatcherPresent(state->bus)) return nullptr;
    state->service = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++g_itemCount);
    if (sd_bus_add_object_vtable(state->bus, &state->itemSlot, kItemPath, kItemInterface, kItemVtable, state.get()) < 0 ||
        sd_bus_add_object_vtable(state->bus, &state->menuSlot, kMenuPath, kMenuInterface, kMenuVtable, state.get()) < 0 ||
        sd_bus_request_name(state->bus, state->service.c_str(), 0) < 0)
        return nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(state->bus, kWatcher, "/StatusNotifierWatcher", kWatcher,
                                     "RegisterStatusNotifierItem", &error, nullptr, "s", state->service.c_str());
    sd_bus_error_free(&error);
    if (r < 0) return nullptr;
    const std::string match = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                          "member='NameOwnerChanged',arg0='") + kWatcher + "'";
    sd_bus_add_match(state->bus, &state->watcherSlot, match.c_str(), WatcherChanged, state.get());
    return std::unique_ptr<StatusNotifierItem>(new StatusNotifierItem(std::move(state)));
}

void StatusNotifierItem::SetIcon(int width, int height, const std::vector<std::uint32_t>& argb) {
    State& s = *state_;
    s.width = width;
    s.height = height;
    s.pixels.clear();
    s.pixels.reserve(argb.size() * 4);
    for (std::uint32_t p : argb)
        for (int shift = 24; shift >= 0; shift -= 8) s.pixels.push_back(static_cast<std::uint8_t>(p >> shift));
    sd_bus_emit_signal(s.bus, kItemPath, kItemInterface, "NewIcon", "");
    sd_bus_flush(s.bus);
}

void StatusNotifierItem::SetToolTip(const std::string& text) {
    state_->tip = text;
    sd_bus_emit_signal(state_->bus, kItemPath, kItemInterface, "NewToolTip", "");
    sd_bus_flush(state_->bus);
}

void StatusNotifierItem::MenuChanged() {
    State& s = *state_;
    ++s.revision;
    sd_bus_emit_signal(s.bus, kMenuPath, kMenuInterface, "LayoutUpdated", "ui", s.revision, 0);
    sd_bus_flush(s.bus);
}

const std::string& StatusNotifierItem::Service() const { return state_->service; }

int StatusNotifierItem::Fd() const { return sd_bus_get_fd(state_->bus); }

void StatusNotifierItem::Process() {
    while (sd_bus_process(state_->bus, nullptr) > 0) {
    }
    sd_bus_flush(state_->bus);
}

}  // namespace platform::desktop
