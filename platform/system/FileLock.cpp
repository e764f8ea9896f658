#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/SysErrors.h"

namespace platform::detail {

FileLock::FileLock(const std::string& posixPath) {
    fd_ = ::open(posixPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) RaiseLastOSError(ErrorFromErrno(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int err = errno;
            ::close(fd_);
            fd_ = -1;
            RaiseLastOSError(ErrorFromErrno(err));
        }
    }
}

FileLock::FileLock(const std::string& posixPath, unsigned timeoutMillis) {
    int fd = ::open(posixPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMillis);
    // The lock dies with its holder's descriptor, so a killed holder never blocks the next one.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    fd_ = fd;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

void WriteFileAtomically(const std::string& posixPath, const std::string& bytes) {
    platform::AtomicFile file = platform::AtomicFile::ForPosixPath(posixPath);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

bool ReadWholeFile(const std::string& posixPath, std::string& bytes) {
    int fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

FileStamp StampOf(const std::string& posixPath) {
    struct stat st {};
    FileStamp stamp;
    if (::stat(posixPath.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.ino = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace platform::detail
