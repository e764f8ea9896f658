// The open-file table: handles, their access and sharing, reading, writing, dates, deleting.
//
// One table per process. An open conflicts with earlier opens whose access it does not share
// or whose sharing excludes its access, and a file that is open cannot be deleted, renamed or
// replaced (FileNames.cpp asks RefuseIfOpen). Attributes, moves and copies are in
// FileNames.cpp, folders and searches in Directories.cpp, the kinds of file system a walk
// avoids in PseudoFileSystem.cpp, and DOS dates with the other dates in the base layer.
#include "platform/SysUtils.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <initializer_list>
#include <map>
#include <mutex>

#include "detail/FileFunctions.h"

namespace platform::detail {

namespace {

constexpr DWORD kAccessRead = 1, kAccessWrite = 2;
constexpr DWORD kShareRead = 1, kShareWrite = 2;

struct OpenRecord {
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    DWORD access = 0;
    DWORD share = 0;
    char drive = 0;
    std::string posix;
};

struct HandleTable {
    std::mutex mutex;
    std::map<THandle, OpenRecord> open;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

// The system's rule: a new open must share what every earlier open does, and every earlier
// open must share what the new one does.
bool ShareConflict(const HandleTable& t, dev_t dev, ino_t ino, DWORD access, DWORD share) {
    for (const auto& [h, r] : t.open) {
        if (r.dev != dev || r.ino != ino) continue;
        if ((access & ~r.share) != 0 || (r.access & ~share) != 0) return true;
    }
    return false;
}

bool AnyOpen(const HandleTable& t, dev_t dev, ino_t ino) {
    for (const auto& [h, r] : t.open)
        if (r.dev == dev && r.ino == ino) return true;
    return false;
}

// Opens a path that must be a regular file (the open is checked, not the name before it, so a
// swap between the two cannot hand over a folder or a device); -1 with the error set otherwise.
int OpenRegularFile(const std::string& path, int flags, struct stat& st) {
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    return fd;
}

THandle Register(int fd, const struct stat& st, DWORD access, DWORD share, const MappedPath& mapped) {
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    if (ShareConflict(t, st.st_dev, st.st_ino, access, share)) {
        ::close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    OpenRecord r;
    r.fd = fd;
    r.dev = st.st_dev;
    r.ino = st.st_ino;
    r.access = access;
    r.share = share;
    r.drive = mapped.drive.letter;
    r.posix = mapped.posix;
    t.open[fd] = r;
    SetLastError(0);
    return fd;
}

bool FindRecord(THandle handle, OpenRecord& out) {
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    auto it = t.open.find(handle);
    if (it == t.open.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    out = it->second;
    return true;
}

// The room a write may take on the handle's drive; UINT64_MAX without a quota.
UInt64 RoomOnDrive(char letter) {
    if (letter == 'C' || letter == 'Z') return UINT64_MAX;
    auto drive = LookupDrive(letter);
    if (!drive || drive->quota == 0) return UINT64_MAX;
    return FreeBytes(*drive);
}

// `room`: RoomOnDrive of the handle's drive, which the caller may have needed already (on a
// drive with a quota it sums the drive's files).
bool CheckGrowth(const OpenRecord& r, Int64 newEnd, UInt64 room) {
    if (room == UINT64_MAX) return true;
    struct stat st {};
    if (::fstat(r.fd, &st) != 0) return true;
    if (newEnd <= st.st_size) return true;
    UInt64 growth = static_cast<UInt64>(newEnd - st.st_size);
    if (growth > room) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool WriteAll(int fd, const char* p, std::size_t n, std::size_t& written) {
    written = 0;
    while (written < n) {
        ssize_t k = ::write(fd, p + written, n - written);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) {
            SetLastErrorFromErrno(k < 0 ? errno : ENOSPC);
            return false;
        }
        written += static_cast<std::size_t>(k);
    }
    return true;
}

}  // namespace

bool RefuseIfOpen(std::initializer_list<const struct stat*> files) {
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    for (const struct stat* st : files) {
        if (st && AnyOpen(t, st->st_dev, st->st_ino)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return true;
        }
    }
    return false;
}

bool StatPath(const std::string& posix, struct stat& st) { return ::stat(posix.c_str(), &st) == 0; }

bool MapExisting(const String& fileName, MappedPath& mapped, struct stat& st) {
    if (!MapPath(fileName, mapped)) return false;
    if (!mapped.exists || !StatPath(mapped.posix, st)) {
        SetLastError(mapped.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

std::string PosixPathOfHandle(THandle handle) {
    OpenRecord r;
    return FindRecord(handle, r) ? r.posix : std::string();
}

bool IsOpenInProcess(const std::string& posixPath) {
    struct stat st {};
    if (!StatPath(posixPath, st)) return false;
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    return AnyOpen(t, st.st_dev, st.st_ino);
}

}  // namespace platform::detail

using namespace platform::detail;

namespace {
void IdentityFromStat(const struct stat& st, TFileIdentity& id) {
    id.Device = static_cast<UInt64>(st.st_dev);
    id.Inode = static_cast<UInt64>(st.st_ino);
    id.Size = static_cast<Int64>(st.st_size);
    id.ModifiedNs = static_cast<Int64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}
}  // namespace

bool GetFileIdentity(THandle handle, TFileIdentity& identity) {
    OpenRecord r;
    if (!FindRecord(handle, r)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    struct stat st {};
    if (::fstat(r.fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    IdentityFromStat(st, identity);
    return true;
}

bool GetFileIdentity(const String& fileName, TFileIdentity& identity) {
    MappedPath mapped;
    struct stat st {};
    if (!MapPath(fileName, mapped) || !mapped.exists || !StatPath(mapped.posix, st) || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    IdentityFromStat(st, identity);
    return true;
}

THandle FileOpen(const String& fileName, LongWord mode) {
    static const DWORD kShareByIndex[] = {0, 0, kShareRead, kShareWrite, kShareRead | kShareWrite};
    DWORD accessBits = mode & 3;
    DWORD shareIndex = (mode & 0xF0) >> 4;
    if (accessBits == 3 || shareIndex > 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD access = accessBits == 0 ? kAccessRead : accessBits == 1 ? kAccessWrite : kAccessRead | kAccessWrite;
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st)) return INVALID_HANDLE_VALUE;
    if (!S_ISREG(st.st_mode) || ((access & kAccessWrite) && (st.st_mode & 0222) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int flags = (access == kAccessRead ? O_RDONLY : access == kAccessWrite ? O_WRONLY : O_RDWR) | O_CLOEXEC;
    int fd = OpenRegularFile(mapped.posix, flags, st);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    return Register(fd, st, access, kShareByIndex[shareIndex], mapped);
}

THandle FileCreate(const String& fileName) {
    MappedPath mapped;
    if (!MapPath(fileName, mapped)) return INVALID_HANDLE_VALUE;
    if (mapped.isRoot() || (!mapped.exists && !mapped.parentExists)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    int fd;
    if (mapped.exists && StatPath(mapped.posix, st)) {
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (RefuseIfOpen({&st})) return INVALID_HANDLE_VALUE;
        fd = ::open(mapped.posix.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    } else {
        fd = ::open(mapped.posix.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    if (::fstat(fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return Register(fd, st, kAccessRead | kAccessWrite, 0, mapped);
}

THandle FileCreate(const String& fileName, Integer) { return FileCreate(fileName); }

Integer FileRead(THandle handle, void* buffer, LongWord count) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return -1;
    if (!(r.access & kAccessRead)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    count = std::min<LongWord>(count, INT_MAX);
    std::size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t k = ::read(r.fd, p + done, count - done);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) {
            SetLastErrorFromErrno(errno);
            return -1;
        }
        if (k == 0) break;
        done += static_cast<std::size_t>(k);
    }
    return static_cast<Integer>(done);
}

Integer FileWrite(THandle handle, const void* buffer, LongWord count) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return -1;
    if (!(r.access & kAccessWrite)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    count = std::min<LongWord>(count, INT_MAX);
    // Only a drive with a quota needs to know where the write lands before it is made; on the
    // others a write is the one system call (an archive update makes thousands of them).
    if (const UInt64 room = RoomOnDrive(r.drive); room != UINT64_MAX) {
        off_t pos = ::lseek(r.fd, 0, SEEK_CUR);
        if (const int flags = ::fcntl(r.fd, F_GETFL); flags >= 0 && (flags & O_APPEND)) {
            // An appending handle writes at the end as it is now, whoever made it grow meanwhile.
            struct stat st {};
            pos = ::fstat(r.fd, &st) == 0 ? st.st_size : -1;
        }
        if (pos < 0 || !CheckGrowth(r, static_cast<Int64>(pos) + count, room)) return -1;
    }
    std::size_t written = 0;
    if (!WriteAll(r.fd, static_cast<const char*>(buffer), count, written)) {
        // Take a partial write back, so a failed write leaves no half-written tail. The write
        // left the offset after its bytes, whether or not the handle appends.
        if (written > 0) {
            const off_t end = ::lseek(r.fd, 0, SEEK_CUR);
            const off_t pos = end - static_cast<off_t>(written);
            struct stat st {};
            if (end >= 0 && ::fstat(r.fd, &st) == 0 && st.st_size == end) ::ftruncate(r.fd, pos);
            if (end >= 0) ::lseek(r.fd, pos, SEEK_SET);
        }
        return -1;
    }
    return static_cast<Integer>(written);
}

Int64 FileSeek(THandle handle, Int64 offset, Integer origin) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return -1;
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    off_t pos = ::lseek(r.fd, static_cast<off_t>(offset), whence);
    if (pos < 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    return pos;
}

void FileClose(THandle handle) {
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    auto it = t.open.find(handle);
    if (it == t.open.end()) return;
    ::close(it->second.fd);
    t.open.erase(it);
}

BOOL FlushFileBuffers(THandle handle) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return 0;
    if (::fsync(r.fd) != 0) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    return 1;
}

BOOL SetEndOfFile(THandle handle) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return 0;
    if (!(r.access & kAccessWrite)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    off_t pos = ::lseek(r.fd, 0, SEEK_CUR);
    if (pos < 0 || !CheckGrowth(r, pos, RoomOnDrive(r.drive))) return 0;
    if (::ftruncate(r.fd, pos) != 0) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    return 1;
}

DWORD GetFileSize(THandle handle, DWORD* fileSizeHigh) {
    OpenRecord r;
    struct stat st {};
    if (!FindRecord(handle, r) || ::fstat(r.fd, &st) != 0) return INVALID_FILE_SIZE;
    UInt64 size = static_cast<UInt64>(st.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(0);
    return static_cast<DWORD>(size);
}

Integer FileAge(const String& fileName) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st) || S_ISDIR(st.st_mode)) return -1;
    return DosDateFromUnix(st.st_mtim.tv_sec);
}

Integer FileGetDate(THandle handle) {
    OpenRecord r;
    struct stat st {};
    if (!FindRecord(handle, r) || ::fstat(r.fd, &st) != 0) return -1;
    return DosDateFromUnix(st.st_mtim.tv_sec);
}

Integer FileSetDate(THandle handle, Integer age) {
    OpenRecord r;
    if (!FindRecord(handle, r)) return static_cast<Integer>(ERROR_INVALID_HANDLE);
    if (!(r.access & kAccessWrite)) return static_cast<Integer>(ERROR_ACCESS_DENIED);
    long long seconds = 0;
    if (!UnixFromDosDate(age, seconds)) return static_cast<Integer>(ERROR_INVALID_PARAMETER);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // the system sets only the last-write time
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = 0;
    if (::futimens(r.fd, times) != 0) return static_cast<Integer>(ErrorFromErrno(errno));
    return 0;
}

Integer FileSetDate(const String& fileName, Integer age) {
    THandle h = FileOpen(fileName, fmOpenWrite | fmShareDenyNone);
    if (h == INVALID_HANDLE_VALUE) return static_cast<Integer>(GetLastError());
    Integer result = FileSetDate(h, age);
    FileClose(h);
    return result;
}

bool DeleteFile(const String& fileName) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st)) return false;
    if (S_ISDIR(st.st_mode) || (st.st_mode & 0222) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    HandleTable& t = Handles();
    std::lock_guard guard(t.mutex);
    if (AnyOpen(t, st.st_dev, st.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
    if (::unlink(mapped.posix.c_str()) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

HFILE _lopen(const char* pathName, int readWrite) {
    THandle h = FileOpen(pathName ? pathName : "", static_cast<LongWord>(readWrite));
    return h == INVALID_HANDLE_VALUE ? HFILE_ERROR : static_cast<HFILE>(h);
}

UINT _lread(HFILE file, void* buffer, UINT bytes) {
    Integer n = FileRead(file, buffer, bytes);
    return n < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(n);
}

HFILE _lclose(HFILE file) {
    OpenRecord r;
    if (!FindRecord(file, r)) return HFILE_ERROR;
    FileClose(file);
    return 0;
}

namespace platform {

THandle FileOpenForAppend(const String& fileName) {
    MappedPath mapped;
    if (!MapPath(fileName, mapped)) return INVALID_HANDLE_VALUE;
    if (mapped.isRoot() || (!mapped.exists && !mapped.parentExists)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (mapped.exists && StatPath(mapped.posix, st) && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // O_APPEND: the kernel puts each write at the end in one step, so writers in other
    // processes never overwrite each other's data.
    const int fd = OpenRegularFile(mapped.posix, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, st);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    ::lseek(fd, 0, SEEK_END);
    return Register(fd, st, kAccessWrite, kShareRead, mapped);
}

}  // namespace platform
