// The walk's eyes: what the running program shows, read through the layer's test probe (the
// program answers it only when started with TARVIK_TEST_PROBE=1). The probe travels on the
// program's own socket in its session folder, framed like every call between the session's
// processes; it reads and never acts.
#pragma once

#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace walk {

struct Text {
    std::string window;
    int x = 0, y = 0;
    unsigned color = 0;
    std::string text;
};

struct Window {
    std::string handle, parent, cls, caption;
    bool visible = false, enabled = false, focused = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    int CentreX() const { return (left + right) / 2; }
    int CentreY() const { return (top + bottom) / 2; }
};

// One look at the program's visible top-level windows and everything in them.
struct Screen {
    std::vector<Window> windows;
    std::vector<Text> texts;

    const Window* Top(const std::string& cls) const {
        for (const auto& w : windows)
            if (w.parent == "0" && w.cls == cls) return &w;
        return nullptr;
    }
    bool Within(const Window& w, const std::string& top) const {
        for (const Window* p = &w; p;) {
            if (p->handle == top) return true;
            p = Handle(p->parent);
        }
        return false;
    }
    const Window* Handle(const std::string& handle) const {
        for (const auto& w : windows)
            if (w.handle == handle) return &w;
        return nullptr;
    }
    // The first visible window of a class inside a top-level window (any, when top is null).
    const Window* Child(const Window* top, const std::string& cls, int nth = 0) const {
        for (const auto& w : windows)
            if (w.cls == cls && w.visible && (!top || Within(w, top->handle)) && nth-- == 0) return &w;
        return nullptr;
    }
    // A text drawn in a visible window (inside top when given), compared without its blanks
    // at either end.
    const Text* Find(const std::string& text, const Window* top = nullptr, int nth = 0) const {
        for (const auto& t : texts) {
            const Window* w = Handle(t.window);
            if (!w || !w->visible || Trim(t.text) != text) continue;
            if (top && !Within(*w, top->handle)) continue;
            if (nth-- == 0) return &t;
        }
        return nullptr;
    }
    int Count(const std::string& text, const Window* in) const {
        int n = 0;
        for (const auto& t : texts)
            if (Trim(t.text) == text && t.window == in->handle) ++n;
        return n;
    }
    // Every text of one window, in reading order, joined by blanks.
    std::string Words(const Window& w) const {
        std::string out;
        for (const auto& t : texts)
            if (t.window == w.handle) out += (out.empty() ? "" : " ") + t.text;
        return out;
    }
    static std::string Trim(const std::string& s) {
        auto b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    }
};

class Probe {
public:
    // The program's socket: <runtime folder>/tarvik-<profile key>/p<pid>.sock.
    Probe(int pid, const std::string& runtimeFolder) : pid_(pid), run_(runtimeFolder) {}

    // False when the program does not answer (not started yet, gone, or no test switch).
    bool Look(Screen* screen) {
        std::string answer;
        if (!Ask(&answer)) return false;
        *screen = Parse(answer);
        return true;
    }

private:
    static constexpr std::uint32_t kMagic = 0x4B565254, kProbe = 4;
    struct Header {
        std::uint32_t magic = kMagic, kind = kProbe;
        std::uint64_t seq = 1, hwnd = 0, wParam = 0;
        std::int64_t lParam = 0, result = 0;
        std::uint32_t msg = 0, error = 0, payload = 0, senderPid = 0;
    };
    static_assert(sizeof(Header) == 64, "the frame header of the session's calls");

    std::string SocketPath() const {
        glob_t g{};
        std::string pattern = run_ + "/tarvik-*/p" + std::to_string(pid_) + ".sock", path;
        if (::glob(pattern.c_str(), 0, nullptr, &g) == 0 && g.gl_pathc > 0) path = g.gl_pathv[0];
        ::globfree(&g);
        return path;
    }

    bool Ask(std::string* answer) {
        std::string path = SocketPath();
        if (path.empty()) return false;
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        Header h;
        h.senderPid = static_cast<std::uint32_t>(::getpid());
        ok = ok && ::send(fd, &h, sizeof h, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof h);
        std::string in;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (ok) {
            if (in.size() >= sizeof h) {
                std::memcpy(&h, in.data(), sizeof h);
                if (h.magic != kMagic || h.error) ok = false;
                else if (in.size() >= sizeof h + h.payload) break;
            }
            pollfd p{fd, POLLIN, 0};
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            char buf[65536];
            ssize_t n = 0;
            if (!ok || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
                (n = ::recv(fd, buf, sizeof buf, 0)) <= 0)
                ok = false;
            else
                in.append(buf, static_cast<std::size_t>(n));
        }
        if (fd >= 0) ::close(fd);
        if (ok) *answer = in.substr(sizeof h, h.payload);
        return ok;
    }

    static std::string Unescape(const std::string& s) {
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\\' && i + 1 < s.size()) {
                char c = s[++i];
                out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
            } else {
                out += s[i];
            }
        }
        return out;
    }

    static Screen Parse(const std::string& answer) {
        Screen s;
        std::istringstream lines(answer);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> f;
            std::size_t start = 0;
            for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                f.push_back(line.substr(start, tab - start));
            f.push_back(line.substr(start));
            if (f[0] == "W" && f.size() >= 12) {
                Window w;
                w.handle = f[1];
                w.parent = f[2];
                w.cls = f[3];
                w.visible = f[4] == "1";
                w.enabled = f[5] == "1";
                w.focused = f[6] == "1";
                w.left = std::stoi(f[7]);
                w.top = std::stoi(f[8]);
                w.right = std::stoi(f[9]);
                w.bottom = std::stoi(f[10]);
                w.caption = Unescape(f[11]);
                s.windows.push_back(w);
            } else if (f[0] == "T" && f.size() >= 6) {
                s.texts.push_back(Text{f[1], std::stoi(f[2]), std::stoi(f[3]),
                                       static_cast<unsigned>(std::stoul(f[4], nullptr, 16)), Unescape(f[5])});
            }
        }
        return s;
    }

    int pid_;
    std::string run_;
};

}  // namespace walk
