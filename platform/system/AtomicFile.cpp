#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "platform/Paths.h"
#include "detail/PathMap.h"

namespace platform {
namespace {

void FsyncFolder(const std::string& posixFolder) {
    int fd = ::open(posixFolder.empty() ? "/" : posixFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

String Reason() { return SysErrorMessage(GetLastError()); }

void ReleaseOwnership(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

AtomicFile::AtomicFile(const String& windowsPath) {
    detail::MappedPath mapped;
    bool ok = detail::MapPath(windowsPath, mapped);
    if (ok && mapped.isRoot()) {
        SetLastError(ERROR_ACCESS_DENIED);
        ok = false;
    } else if (ok && !mapped.exists && !mapped.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        ok = false;
    }
    if (!ok) throw EFCreateError("Cannot create file \"" + ExpandFileName(windowsPath) + "\". " + Reason());
    target_ = mapped.windows();
    targetPosix_ = mapped.posix;
    String folder = ExtractFilePath(target_);
    // Room for the prefix and suffix within the 255 bytes a name may have.
    String name = ExtractFileName(target_).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", platform::RandomUInt32());
        String candidate = folder + "." + name + "." + suffix + ".tmp";
        if (FileExists(candidate) || DirectoryExists(candidate)) continue;
        handle_ = FileCreate(candidate);
        if (handle_ != INVALID_HANDLE_VALUE) {
            temp_ = candidate;
            tempPosix_ = detail::PosixPathOfHandle(handle_);
            // A shared lock on the temporary file tells the cleaners of every process that its
            // writer is alive (RemoveAbandonedTempFile); it dies with the process.
            ownerFd_ = ::open(tempPosix_.c_str(), O_RDONLY | O_CLOEXEC);
            if (ownerFd_ >= 0) ::flock(ownerFd_, LOCK_SH);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_SHARING_VIOLATION) break;
    }
    throw EFCreateError("Cannot create file \"" + target_ + "\". " + Reason());
}

AtomicFile AtomicFile::ForPosixPath(const std::string& posixPath) { return AtomicFile(FromPosixPath(posixPath)); }

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      targetPosix_(std::move(other.targetPosix_)),
      tempPosix_(std::move(other.tempPosix_)),
      handle_(other.handle_),
      ownerFd_(other.ownerFd_),
      stream_(std::move(other.stream_)),
      committed_(other.committed_) {
    other.handle_ = INVALID_HANDLE_VALUE;
    other.ownerFd_ = -1;
    other.committed_ = true;
}

AtomicFile::~AtomicFile() {
    stream_.reset();
    if (handle_ != INVALID_HANDLE_VALUE) FileClose(handle_);
    if (!committed_ && !tempPosix_.empty()) ::unlink(tempPosix_.c_str());
    ReleaseOwnership(ownerFd_);
}

void AtomicFile::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        LongWord chunk = static_cast<LongWord>(std::min<std::size_t>(size, 1u << 30));
        Integer n = FileWrite(handle_, p, chunk);
        if (n != static_cast<Integer>(chunk)) {
            if (n >= 0) SetLastError(ERROR_DISK_FULL);
            throw EWriteError("Cannot write to file \"" + target_ + "\". " + Reason());
        }
        p += chunk;
        size -= chunk;
    }
}

TStream& AtomicFile::Stream() {
    if (!stream_) stream_ = std::make_unique<THandleStream>(handle_);
    return *stream_;
}

void AtomicFile::Commit() {
    if (committed_) throw EInvalidOperation("The file \"" + target_ + "\" was already committed");
    if (!FlushFileBuffers(handle_)) RaiseLastOSError();
    struct stat st {};
    if (::stat(targetPosix_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & 0222) == 0) RaiseLastOSError(ERROR_ACCESS_DENIED);
        if (detail::IsOpenInProcess(targetPosix_)) RaiseLastOSError(ERROR_SHARING_VIOLATION);
        // The new file takes the old one's permissions, not the creation defaults.
        ::chmod(tempPosix_.c_str(), st.st_mode & 07777);
    }
    stream_.reset();
    FileClose(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (::rename(tempPosix_.c_str(), targetPosix_.c_str()) != 0) RaiseLastOSError(detail::ErrorFromErrno(errno));
    committed_ = true;
    ReleaseOwnership(ownerFd_);
    FsyncFolder(targetPosix_.substr(0, targetPosix_.find_last_of('/')));
}

}  // namespace platform
