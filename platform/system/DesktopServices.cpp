#include "platform/DesktopServices.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/Profile.h"

extern char** environ;

namespace platform::desktop {
namespace {

std::atomic<bool> g_live{false};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Home() {
    std::string home = Env("HOME");
    return home.empty() ? "/" : home;
}

std::string DataHome() {
    const std::string v = Env("XDG_DATA_HOME");
    return v.empty() || v.front() != '/' ? Home() + "/.local/share" : v;
}

std::string ConfigHome() {
    const std::string v = Env("XDG_CONFIG_HOME");
    return v.empty() || v.front() != '/' ? Home() + "/.config" : v;
}

// XDG_DESKTOP_DIR from user-dirs.dirs: a line XDG_DESKTOP_DIR="$HOME/Desktop", where only a
// leading $HOME is expanded and the value is otherwise taken as written.
std::string DesktopDir() {
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    std::string line;
    const std::string_view key = "XDG_DESKTOP_DIR=\"";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        const auto end = line.rfind('"');
        if (end < key.size()) continue;
        std::string value = line.substr(key.size(), end - key.size());
        if (value.rfind("$HOME", 0) == 0) value = Home() + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return Home() + "/Desktop";
}

// One argument of an Exec line: quoted when it holds a reserved character, with the four
// characters that stay special inside quotes escaped, and '%' doubled (field codes).
std::string ExecArgument(const std::string& arg) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    const bool quote = arg.empty() || arg.find_first_of(reserved) != std::string::npos;
    if (quote) out += '"';
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    if (quote) out += '"';
    return out;
}

// A string value of the entry: backslashes and control characters escaped.
std::string EntryValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

bool ServicesLive() { return g_live.load(); }
void SetServicesLive(bool live) { g_live.store(live); }

bool OpenWithDesktop(const std::string& target) {
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ);
    if (rc != 0) {
        std::fprintf(stderr, "Tarvik: cannot start xdg-open for %s: %s\n", target.c_str(), std::strerror(rc));
        return false;
    }
    // Reaped on the side so that the program never waits for the person's browser.
    std::thread([pid, target] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "Tarvik: xdg-open could not open %s\n", target.c_str());
    }).detach();
    return true;
}

std::string RequestPowerOff() {
    sd_bus* bus = nullptr;
    int rc = sd_bus_open_system(&bus);
    if (rc < 0) return std::string("cannot reach the system bus: ") + std::strerror(-rc);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    rc = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                            "PowerOff", &error, &reply, "b", 1);
    std::string reason;
    if (rc < 0) reason = error.message ? error.message : std::strerror(-rc);
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return reason;
}

std::string PlaceFolder(Place place) {
    switch (place) {
        case Place::Desktop: return DesktopDir();
        case Place::Applications: return DataHome() + "/applications";
        case Place::Autostart: return ConfigHome() + "/autostart";
    }
    return {};
}

std::string DesktopEntryText(const DesktopEntry& entry) {
    std::string exec;
    for (const auto& arg : entry.command) exec += (exec.empty() ? "" : " ") + ExecArgument(arg);
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=" + EntryValue(entry.name) + "\n";
    if (!entry.comment.empty()) text += "Comment=" + EntryValue(entry.comment) + "\n";
    text += "Exec=" + EntryValue(exec) + "\n";
    if (!entry.icon.empty()) text += "Icon=" + EntryValue(entry.icon) + "\n";
    text += "Terminal=false\nCategories=Utility;Archiving;\n";
    return text;
}

std::string DesktopEntryPath(Place place, const std::string& title) {
    return PlaceFolder(place) + "/" + title + ".desktop";
}

bool WriteDesktopEntry(Place place, const std::string& title, const DesktopEntry& entry) {
    const std::string folder = PlaceFolder(place);
    // The folder may not exist yet on a fresh account (autostart usually does not).
    std::string partial;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') {
            partial = folder.substr(0, i);
            if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    try {
        auto file = AtomicFile::ForPosixPath(DesktopEntryPath(place, title));
        const std::string text = DesktopEntryText(entry);
        file.Write(text.data(), text.size());
        file.Commit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tarvik: cannot write the desktop entry %s: %s\n", DesktopEntryPath(place, title).c_str(),
                     e.what());
        return false;
    }
    // File managers only launch entries on the desktop that are executable.
    ::chmod(DesktopEntryPath(place, title).c_str(), 0755);
    return true;
}

void RemoveDesktopEntry(Place place, const std::string& title) { ::unlink(DesktopEntryPath(place, title).c_str()); }

}  // namespace platform::desktop
