#include "platform/ArchiveLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"

namespace platform {
namespace {

using Deadline = std::chrono::steady_clock::time_point;

// The holders of this process, by lock-file path. Threads of one process never meet on the
// flock itself: the second one waits here for the first to let go.
struct Holder {
    std::thread::id thread;
    bool rewriting = false;
    int fd = -1;  // -1 while the lock file is being taken, or when there is none
};

struct Holders {
    std::mutex mutex;
    std::condition_variable released;
    std::map<std::string, Holder> byKey;
};

Holders& TheHolders() {
    static Holders holders;
    return holders;
}

// ".NAME.lock" in the archive's folder, from the name as it stands on disk, so every spelling
// of one archive meets on one file. A name that maps to no POSIX path keys by its full name.
std::string KeyOf(const String& archive) {
    const String full = ExpandFileName(archive);
    std::string posix = ToPosixPath(full);
    if (posix.empty()) return "?" + UpperCase(full);
    std::size_t slash = posix.find_last_of('/');
    return posix.substr(0, slash + 1) + "." + posix.substr(slash + 1) + ".lock";
}

bool IsFile(const std::string& key) { return !key.empty() && key[0] == '/'; }

bool SameFile(int fd, const std::string& path) {
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// The descriptor holding the lock; -1 when another holder kept it past the deadline, -2 when
// no lock file can be made or opened.
int TakeLockFile(const std::string& path, Deadline deadline) {
    for (;;) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -2;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return errno == EWOULDBLOCK || errno == EINTR ? -1 : -2;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The holder before us removes the file as it lets go: a lock on that old file holds
        // nothing, so take the file that has the name now.
        if (SameFile(fd, path)) return fd;
        ::close(fd);
    }
}

}  // namespace

ArchiveLock::ArchiveLock(const String& archive, Use use, unsigned timeoutMillis) : key_(KeyOf(archive)) {
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMillis);
    Holders& h = TheHolders();
    std::unique_lock guard(h.mutex);
    for (;;) {
        auto it = h.byKey.find(key_);
        if (it == h.byKey.end()) break;
        if (it->second.thread == std::this_thread::get_id()) {
            // An operation of this thread runs its own rewrite; anything else would wait for itself.
            if (use == Use::Rewrite && !it->second.rewriting) {
                it->second.rewriting = true;
                nested_ = true;
                state_ = it->second.fd >= 0 ? State::Held : State::Unshared;
            } else {
                state_ = State::BusyHere;
            }
            return;
        }
        if (h.released.wait_until(guard, deadline) == std::cv_status::timeout && h.byKey.count(key_)) {
            state_ = State::BusyElsewhere;
            return;
        }
    }
    h.byKey[key_] = Holder{std::this_thread::get_id(), use == Use::Rewrite, -1};
    guard.unlock();
    const int fd = IsFile(key_) ? TakeLockFile(key_, deadline) : -2;
    guard.lock();
    if (fd == -1) {
        h.byKey.erase(key_);
        h.released.notify_all();
        state_ = State::BusyElsewhere;
        return;
    }
    h.byKey[key_].fd = fd;
    state_ = fd >= 0 ? State::Held : State::Unshared;
}

ArchiveLock::~ArchiveLock() {
    if (!Held()) return;
    Holders& h = TheHolders();
    std::lock_guard guard(h.mutex);
    auto it = h.byKey.find(key_);
    if (it == h.byKey.end()) return;
    if (nested_) {
        it->second.rewriting = false;
        return;
    }
    if (it->second.fd >= 0) {
        // Removed while still locked: a waiter that locks the old file notices and retries.
        ::unlink(key_.c_str());
        ::close(it->second.fd);
    }
    h.byKey.erase(it);
    h.released.notify_all();
}

bool ArchiveLock::InUse(const String& archive) {
    const std::string key = KeyOf(archive);
    {
        Holders& h = TheHolders();
        std::lock_guard guard(h.mutex);
        if (h.byKey.count(key)) return true;
    }
    if (!IsFile(key)) return false;
    int fd = ::open(key.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool busy = false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        busy = errno == EWOULDBLOCK;
        break;
    }
    ::close(fd);
    return busy;
}

String ArchiveLock::LockFileName(const String& archive) {
    const String full = ExpandFileName(archive);
    return ExtractFilePath(full) + "." + ExtractFileName(full) + ".lock";
}

bool RemoveAbandonedTempFile(const String& fileName) {
    const std::string posix = ToPosixPath(ExpandFileName(fileName));
    if (posix.empty()) return false;
    int fd = ::open(posix.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    // A live AtomicFile keeps a shared lock on its temporary file until it is done with it.
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, posix)) removed = DeleteFile(fileName);
    ::close(fd);
    return removed;
}

}  // namespace platform
