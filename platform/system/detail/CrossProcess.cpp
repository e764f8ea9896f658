#include "detail/CrossProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "platform/MessageLoop.h"
#include "detail/MessageQueue.h"
#include "detail/TestProbe.h"
#include "detail/WindowTable.h"

namespace platform::detail {

bool MakeFolders(const String& path);

namespace {

constexpr std::uint32_t kMagic = 0x4B565254;  // "TRVK"
constexpr std::uint32_t kMaxPayload = 1u << 20;
// kProbe: a test's read-only look at this process's windows (detail/TestProbe.h), answered
// only when the process was started with the test switch.
enum FrameKind : std::uint32_t { kSend = 1, kPost = 2, kReply = 3, kProbe = 4 };

// Every frame on the wire: this header, then `payload` bytes (texts of WM_SETTEXT and
// WM_GETTEXT, the data of WM_COPYDATA). Both ends are the same build on the same machine.
struct FrameHeader {
    std::uint32_t magic = kMagic;
    std::uint32_t kind = 0;
    std::uint64_t seq = 0;
    std::uint64_t hwnd = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::int64_t result = 0;
    std::uint32_t msg = 0;
    std::uint32_t error = 0;
    std::uint32_t payload = 0;
    std::uint32_t senderPid = 0;
};
static_assert(sizeof(FrameHeader) == 64, "the frame header is fixed on the wire");

struct Frame {
    FrameHeader h;
    String payload;
};

struct Connection {
    int fd = -1;
    String in;
    bool broken = false;
    ~Connection() {
        if (fd >= 0) ::close(fd);
    }
};
using ConnectionPtr = std::shared_ptr<Connection>;

String Hex(std::uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

String Escape(const String& s) {
    String out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

String Unescape(const String& s) {
    String out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool ProcessAlive(DWORD pid) {
    if (pid == 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{fd, POLLOUT, 0};
            if (::poll(&pfd, 1, 5000) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool WriteFrame(Connection& c, const Frame& f) {
    FrameHeader h = f.h;
    h.payload = static_cast<std::uint32_t>(f.payload.size());
    String buf(reinterpret_cast<const char*>(&h), sizeof h);
    buf += f.payload;
    if (!WriteAll(c.fd, buf.data(), buf.size())) {
        c.broken = true;
        return false;
    }
    return true;
}

// Reads what is available without blocking; false when the peer closed or broke the stream.
bool ReadAvailable(Connection& c) {
    char buf[65536];
    for (;;) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            c.in.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            c.broken = true;
            return false;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        c.broken = true;
        return false;
    }
}

bool PopFrame(Connection& c, Frame* out) {
    if (c.in.size() < sizeof(FrameHeader)) return false;
    std::memcpy(&out->h, c.in.data(), sizeof out->h);
    if (out->h.magic != kMagic || out->h.payload > kMaxPayload) {
        c.broken = true;  // not one of ours: drop the connection
        c.in.clear();
        return false;
    }
    std::size_t total = sizeof(FrameHeader) + out->h.payload;
    if (c.in.size() < total) return false;
    out->payload.assign(c.in, sizeof(FrameHeader), out->h.payload);
    c.in.erase(0, total);
    return true;
}

}  // namespace

struct CrossProcess::Impl {
    pid_t pid = 0;
    String session;
    int listenFd = -1;
    std::vector<ConnectionPtr> incoming;
    std::map<DWORD, ConnectionPtr> outgoing;
    std::uint64_t nextSeq = 1;
    std::set<std::uint64_t> waiting;
    std::map<std::uint64_t, Frame> replies;
    std::set<HWND> published;
    bool atexitRegistered = false;
    // The sockets are served by the thread that published the first window (the GUI thread);
    // pumps running on other threads leave them alone.
    std::thread::id servingThread;

    String WindowsFolder() const { return session + "/windows"; }
    String RecordPath(HWND h) const {
        return WindowsFolder() + "/" + Hex(reinterpret_cast<std::uintptr_t>(h)) + ".rec";
    }

    static sockaddr_un Address(const String& session, DWORD pid, socklen_t* len) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        String path = session + "/p" + std::to_string(pid) + ".sock";
        if (path.size() < sizeof addr.sun_path) {
            std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
            *len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
        } else {
            // A session folder too deep for a socket path: an abstract name derived from it.
            String name = "tarvik-" + Hex(std::hash<String>{}(session)) + "-" + std::to_string(pid);
            addr.sun_path[0] = '\0';
            std::memcpy(addr.sun_path + 1, name.data(), name.size());
            *len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        }
        return addr;
    }

    void Reset(bool removeFiles) {
        if (removeFiles) {
            for (HWND h : published) ::unlink(RecordPath(h).c_str());
            if (listenFd >= 0) ::unlink((session + "/p" + std::to_string(pid) + ".sock").c_str());
        }
        if (listenFd >= 0) ::close(listenFd);
        listenFd = -1;
        incoming.clear();
        outgoing.clear();
        waiting.clear();
        replies.clear();
        published.clear();
    }

    // Follows the environment: a test that switches profile or runtime folder gets a fresh
    // session; a forked child starts with nothing of its parent's.
    void EnsureSession() {
        String wanted = SessionFolderPath();
        if (pid != ::getpid()) {
            Reset(false);
            pid = ::getpid();
            session.clear();
        }
        if (wanted != session) {
            Reset(true);
            session = wanted;
        }
        MakeFolders(WindowsFolder());
    }

    void EnsureListening() {
        if (listenFd >= 0) return;
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        socklen_t len = 0;
        sockaddr_un addr = Address(session, static_cast<DWORD>(pid), &len);
        if (addr.sun_path[0]) ::unlink(addr.sun_path);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 64) != 0) {
            ::close(fd);
            return;
        }
        listenFd = fd;
        servingThread = std::this_thread::get_id();
        if (!atexitRegistered) {
            atexitRegistered = true;
            std::atexit([] {
                auto& impl = *CrossProcess::Get().impl_;
                if (impl.pid == ::getpid()) impl.Reset(true);
            });
        }
    }

    ConnectionPtr Connect(DWORD target) {
        auto it = outgoing.find(target);
        if (it != outgoing.end() && !it->second->broken) {
            // A peer that has gone (even one not yet reaped) shows as a hang-up.
            pollfd pfd{it->second->fd, POLLRDHUP, 0};
            if (::poll(&pfd, 1, 0) <= 0 || !(pfd.revents & (POLLRDHUP | POLLHUP | POLLERR))) return it->second;
            it->second->broken = true;
        }
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return nullptr;
        socklen_t len = 0;
        sockaddr_un addr = Address(session, target, &len);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
            ::close(fd);
            outgoing.erase(target);
            return nullptr;
        }
        auto c = std::make_shared<Connection>();
        c->fd = fd;
        outgoing[target] = c;
        return c;
    }

    // The connection to the process that owns a window; a process that no longer listens is
    // cleared away and the window reported invalid.
    ConnectionPtr ConnectToWindowOwner(DWORD target) {
        ConnectionPtr c = Connect(target);
        if (!c) {
            RemoveStale(target);
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        }
        return c;
    }

    // A frame that carries a message to a window, under the next sequence number.
    Frame MessageFrame(std::uint32_t kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        Frame f;
        f.h.kind = kind;
        f.h.seq = nextSeq++;
        f.h.hwnd = reinterpret_cast<std::uintptr_t>(hwnd);
        f.h.msg = msg;
        f.h.wParam = wParam;
        f.h.lParam = lParam;
        f.h.senderPid = static_cast<std::uint32_t>(pid);
        return f;
    }

    void RemoveStale(DWORD target) {
        DIR* dir = ::opendir(WindowsFolder().c_str());
        if (dir) {
            while (dirent* e = ::readdir(dir)) {
                String name = e->d_name;
                if (name.size() != 20) continue;
                std::uint64_t value = std::strtoull(name.substr(0, 16).c_str(), nullptr, 16);
                if (static_cast<DWORD>(value >> 32) == target) ::unlink((WindowsFolder() + "/" + name).c_str());
            }
            ::closedir(dir);
        }
        ::unlink((session + "/p" + std::to_string(target) + ".sock").c_str());
        outgoing.erase(target);
    }

    bool Parse(const String& path, WindowRecord* r) {
        std::ifstream in(path);
        if (!in) return false;
        String line;
        bool any = false;
        while (std::getline(in, line)) {
            auto eq = line.find('=');
            if (eq == String::npos) continue;
            String key = line.substr(0, eq);
            String value = line.substr(eq + 1);
            any = true;
            if (key == "handle")
                r->handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(value.c_str(), nullptr, 16)));
            else if (key == "pid")
                r->pid = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
            else if (key == "class")
                r->className = Unescape(value);
            else if (key == "caption")
                r->caption = Unescape(value);
            else if (key == "style")
                r->style = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 16));
            else if (key == "exstyle")
                r->exStyle = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 16));
            else if (key == "owner")
                r->owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(value.c_str(), nullptr, 16)));
        }
        return any && r->handle && r->pid;
    }

    // Serves one incoming frame: a send is handled now and answered, a post is queued.
    void Serve(Connection& c, const Frame& f) {
        HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(f.h.hwnd));
        if (f.h.kind == kPost) {
            if (WindowTable::IsLocalHandle(hwnd) || !hwnd) PostMessageA(hwnd, f.h.msg, f.h.wParam, f.h.lParam);
            return;
        }
        if (f.h.kind != kSend && f.h.kind != kProbe) return;
        Frame reply;
        reply.h.kind = kReply;
        reply.h.seq = f.h.seq;
        reply.h.senderPid = static_cast<std::uint32_t>(pid);
        if (f.h.kind == kProbe) {
            if (TestProbeEnabled()) reply.payload = DescribeTopLevelWindows();
            else reply.h.error = ERROR_INVALID_WINDOW_HANDLE;
            WriteFrame(c, reply);
            return;
        }
        if (!WindowTable::IsLocalHandle(hwnd) || !WindowTable::Get().FindAlive(hwnd)) {
            reply.h.error = ERROR_INVALID_WINDOW_HANDLE;
            WriteFrame(c, reply);
            return;
        }
        LPARAM lParam = static_cast<LPARAM>(f.h.lParam);
        String buffer;
        COPYDATASTRUCT cds;
        switch (f.h.msg) {
            case WM_SETTEXT: lParam = reinterpret_cast<LPARAM>(f.payload.c_str()); break;
            case WM_GETTEXT:
                buffer.assign(std::min<std::uint64_t>(f.h.wParam, kMaxPayload), '\0');
                lParam = reinterpret_cast<LPARAM>(buffer.data());
                break;
            case WM_COPYDATA:
                if (f.payload.size() >= 8) {
                    std::uint64_t data;
                    std::memcpy(&data, f.payload.data(), 8);
                    cds.dwData = data;
                    cds.cbData = static_cast<DWORD>(f.payload.size() - 8);
                    cds.lpData = const_cast<char*>(f.payload.data() + 8);
                    lParam = reinterpret_cast<LPARAM>(&cds);
                }
                break;
            default: break;
        }
        ++MessageQueue::ForeignSendDepth();
        LRESULT result = 0;
        try {
            result = MessageQueue::SendLocal(hwnd, f.h.msg, f.h.wParam, lParam);
        } catch (...) {
            --MessageQueue::ForeignSendDepth();
            WriteFrame(c, reply);  // the sender gets an answer of 0 rather than a timeout
            throw;
        }
        --MessageQueue::ForeignSendDepth();
        reply.h.result = result;
        if (f.h.msg == WM_GETTEXT && result > 0)
            reply.payload = buffer.substr(0, std::min<std::size_t>(static_cast<std::size_t>(result), buffer.size()));
        WriteFrame(c, reply);
    }

    void ServeReady() {
        if (pid != ::getpid() || std::this_thread::get_id() != servingThread) return;
        if (listenFd >= 0) {
            for (;;) {
                int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) break;
                auto c = std::make_shared<Connection>();
                c->fd = fd;
                incoming.push_back(c);
            }
        }
        // A snapshot: serving a send may run a nested loop that serves again.
        std::vector<ConnectionPtr> snapshot = incoming;
        for (const ConnectionPtr& c : snapshot) {
            if (!c->broken) ReadAvailable(*c);
            Frame f;
            while (PopFrame(*c, &f)) Serve(*c, f);
        }
        incoming.erase(std::remove_if(incoming.begin(), incoming.end(),
                                      [](const ConnectionPtr& c) { return c->broken && c->in.empty(); }),
                       incoming.end());
    }
};

CrossProcess::CrossProcess() : impl_(std::make_unique<Impl>()) {}

CrossProcess& CrossProcess::Get() {
    static CrossProcess* cp = new CrossProcess;
    return *cp;
}

void CrossProcess::Publish(const WindowRecord& r) {
    Impl& m = *impl_;
    m.EnsureSession();
    m.EnsureListening();
    std::ostringstream out;
    out << "handle=" << Hex(reinterpret_cast<std::uintptr_t>(r.handle)) << "\n"
        << "pid=" << r.pid << "\n"
        << "class=" << Escape(r.className) << "\n"
        << "caption=" << Escape(r.caption) << "\n"
        << "style=" << Hex(r.style) << "\n"
        << "exstyle=" << Hex(r.exStyle) << "\n"
        << "owner=" << Hex(reinterpret_cast<std::uintptr_t>(r.owner)) << "\n";
    String path = m.RecordPath(r.handle);
    String tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << out.str();
        if (!f.flush()) return;
    }
    // Readers never see half a record: it appears whole under its name.
    if (::rename(tmp.c_str(), path.c_str()) == 0) m.published.insert(r.handle);
}

void CrossProcess::Unpublish(HWND hwnd) {
    Impl& m = *impl_;
    if (m.pid != ::getpid() || !m.published.count(hwnd)) return;
    ::unlink(m.RecordPath(hwnd).c_str());
    m.published.erase(hwnd);
}

std::vector<WindowRecord> CrossProcess::ForeignWindows() {
    Impl& m = *impl_;
    m.EnsureSession();
    std::vector<WindowRecord> out;
    std::set<DWORD> stale;
    DIR* dir = ::opendir(m.WindowsFolder().c_str());
    if (!dir) return out;
    std::vector<String> names;
    while (dirent* e = ::readdir(dir)) {
        String name = e->d_name;
        if (name.size() == 20 && name.compare(16, 4, ".rec") == 0) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    std::set<DWORD> checked;
    for (const String& name : names) {
        WindowRecord r;
        if (!m.Parse(m.WindowsFolder() + "/" + name, &r)) continue;
        if (r.pid == static_cast<DWORD>(m.pid) || stale.count(r.pid)) continue;
        if (!checked.count(r.pid)) {
            // A record counts only while its process lives and listens; a reused pid has no
            // listener under that name, and a dead one leaves a refused socket.
            if (!ProcessAlive(r.pid) || !m.Connect(r.pid)) {
                stale.insert(r.pid);
                continue;
            }
            checked.insert(r.pid);
        }
        out.push_back(r);
    }
    for (DWORD pid : stale) m.RemoveStale(pid);
    return out;
}

bool CrossProcess::ReadRecord(HWND hwnd, WindowRecord* record) {
    Impl& m = *impl_;
    m.EnsureSession();
    if (!m.Parse(m.RecordPath(hwnd), record) || record->handle != hwnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (!ProcessAlive(record->pid)) {
        m.RemoveStale(record->pid);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

LRESULT CrossProcess::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Impl& m = *impl_;
    m.EnsureSession();
    const DWORD target = WindowTable::ProcessOfHandle(hwnd);
    WindowRecord record;
    if (!ReadRecord(hwnd, &record)) return 0;
    ConnectionPtr c = m.ConnectToWindowOwner(target);
    if (!c) return 0;
    Frame f = m.MessageFrame(kSend, hwnd, msg, wParam, lParam);
    if (msg == WM_SETTEXT && lParam) {
        f.payload = reinterpret_cast<const char*>(lParam);
        f.h.lParam = 0;
    } else if (msg == WM_GETTEXT) {
        f.h.lParam = 0;
    } else if (msg == WM_COPYDATA && lParam) {
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::uint64_t data = cds->dwData;
        f.payload.assign(reinterpret_cast<const char*>(&data), 8);
        if (cds->cbData > kMaxPayload - 8) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        f.payload.append(static_cast<const char*>(cds->lpData), cds->cbData);
        f.h.lParam = 0;
    }
    f.h.payload = static_cast<std::uint32_t>(f.payload.size());
    if (!WriteFrame(*c, f)) {
        m.outgoing.erase(target);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::uint64_t seq = f.h.seq;
    m.waiting.insert(seq);
    struct Done {
        Impl& m;
        std::uint64_t seq;
        ~Done() { m.waiting.erase(seq); }
    } done{m, seq};

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CrossProcessSendTimeout());
    for (;;) {
        auto it = m.replies.find(seq);
        if (it != m.replies.end()) {
            Frame reply = std::move(it->second);
            m.replies.erase(it);
            if (msg == WM_GETTEXT && lParam && wParam > 0) {
                auto* buffer = reinterpret_cast<char*>(lParam);
                std::size_t n = std::min<std::size_t>(reply.payload.size(), wParam - 1);
                std::memcpy(buffer, reply.payload.data(), n);
                buffer[n] = '\0';
                reply.h.result = static_cast<std::int64_t>(n);
            }
            if (reply.h.error) SetLastError(reply.h.error);
            return static_cast<LRESULT>(reply.h.result);
        }
        if (c->broken) {
            m.outgoing.erase(target);
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            // "No answer": the reply, should it still come, is dropped when read.
            SetLastError(ERROR_TIMEOUT);
            return 0;
        }
        std::vector<pollfd> fds{pollfd{c->fd, POLLIN, 0}};
        AppendPollFds(fds);
        int wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1;
        ::poll(fds.data(), fds.size(), wait);
        if (fds[0].revents) {
            ReadAvailable(*c);
            Frame r;
            while (PopFrame(*c, &r)) {
                if (r.h.kind == kReply && m.waiting.count(r.h.seq)) m.replies[r.h.seq] = std::move(r);
            }
        }
        // Keep serving sends that reach this process meanwhile: the target may be sending to
        // us from inside its handler.
        m.ServeReady();
    }
}

bool CrossProcess::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Impl& m = *impl_;
    m.EnsureSession();
    const DWORD target = WindowTable::ProcessOfHandle(hwnd);
    WindowRecord record;
    if (!ReadRecord(hwnd, &record)) return false;
    ConnectionPtr c = m.ConnectToWindowOwner(target);
    if (!c) return false;
    Frame f = m.MessageFrame(kPost, hwnd, msg, wParam, lParam);
    if (!WriteFrame(*c, f)) {
        m.outgoing.erase(target);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

void CrossProcess::AppendPollFds(std::vector<pollfd>& fds) {
    Impl& m = *impl_;
    if (m.pid != ::getpid() || std::this_thread::get_id() != m.servingThread) return;
    if (m.listenFd >= 0) fds.push_back(pollfd{m.listenFd, POLLIN, 0});
    for (const ConnectionPtr& c : m.incoming)
        if (!c->broken) fds.push_back(pollfd{c->fd, POLLIN, 0});
}

void CrossProcess::ServeReady() { impl_->ServeReady(); }

}  // namespace platform::detail
