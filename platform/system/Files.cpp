#include "platform/SysUtils.h"
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <mntent.h>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "detail/PathMap.h"

namespace platform::detail {

struct FindState {
    struct Entry {
        std::string name;
        Integer attr = 0;
        Int64 size = 0;
        Integer time = 0;
    };
    std::vector<Entry> entries;
    std::size_t next = 0;
};

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

// Whether any of the files (null ones aside) is open through a handle of this process; sets
// the sharing error when one is. Emptying or replacing a file that someone has open would
// pull it from under them.
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

Integer AttrOf(const std::string& name, const struct stat& st) {
    Integer attr = 0;
    if (S_ISDIR(st.st_mode)) attr |= faDirectory;
    else if (S_ISREG(st.st_mode)) attr |= faArchive;
    else attr |= faSysFile;  // fifos, sockets, devices: nothing the system would open as a file
    if ((st.st_mode & 0222) == 0) attr |= faReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= faHidden;
    return attr;
}

bool StatPath(const std::string& posix, struct stat& st) { return ::stat(posix.c_str(), &st) == 0; }

// Maps fileName and requires that it exists; sets the last error otherwise.
bool MapExisting(const String& fileName, MappedPath& mapped, struct stat& st) {
    if (!MapPath(fileName, mapped)) return false;
    if (!mapped.exists || !StatPath(mapped.posix, st)) {
        SetLastError(mapped.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
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

bool CheckGrowth(const OpenRecord& r, Int64 newEnd) {
    struct stat st {};
    if (::fstat(r.fd, &st) != 0) return true;
    if (newEnd <= st.st_size) return true;
    UInt64 growth = static_cast<UInt64>(newEnd - st.st_size);
    if (growth > RoomOnDrive(r.drive)) {
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

bool WildcardMatchWindows(const std::string& pattern, const std::string& name) {
    std::string p = UpperCase(pattern), n = UpperCase(name);
    if (p == "*" || p == "*.*") return true;
    auto glob = [](const std::string& pat, const std::string& text) {
        std::size_t pi = 0, ti = 0, star = std::string::npos, mark = 0;
        while (ti < text.size()) {
            if (pi < pat.size() && (pat[pi] == '?' || pat[pi] == text[ti])) {
                ++pi;
                ++ti;
            } else if (pi < pat.size() && pat[pi] == '*') {
                star = pi++;
                mark = ti;
            } else if (star != std::string::npos) {
                pi = star + 1;
                ti = ++mark;
            } else {
                return false;
            }
        }
        while (pi < pat.size() && pat[pi] == '*') ++pi;
        return pi == pat.size();
    };
    bool noDot = n.find('.') == std::string::npos;
    // "name.*" also matches "name", and "*." matches only names without extension.
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && noDot && glob(p.substr(0, p.size() - 2), n))
        return true;
    if (p.size() >= 2 && p.back() == '.') return noDot && glob(p.substr(0, p.size() - 1), n);
    return glob(p, n);
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
    int fd = ::open(mapped.posix.c_str(), flags);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
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
    off_t pos = ::lseek(r.fd, 0, SEEK_CUR);
    if (const int flags = ::fcntl(r.fd, F_GETFL); flags >= 0 && (flags & O_APPEND)) {
        // An appending handle writes at the end as it is now, whoever made it grow meanwhile.
        struct stat st {};
        pos = ::fstat(r.fd, &st) == 0 ? st.st_size : -1;
    }
    if (pos < 0 || !CheckGrowth(r, static_cast<Int64>(pos) + count)) return -1;
    std::size_t written = 0;
    if (!WriteAll(r.fd, static_cast<const char*>(buffer), count, written)) {
        // Take a partial write back, so a failed write leaves no half-written tail.
        if (written > 0) {
            struct stat st {};
            if (::fstat(r.fd, &st) == 0 && st.st_size == static_cast<off_t>(pos + written)) ::ftruncate(r.fd, pos);
            ::lseek(r.fd, pos, SEEK_SET);
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
    if (pos < 0 || !CheckGrowth(r, pos)) return 0;
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

Integer FileGetAttr(const String& fileName) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st)) return -1;
    return AttrOf(mapped.components.empty() ? std::string() : mapped.components.back(), st);
}

Integer FileSetAttr(const String& fileName, Integer attr) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st)) return static_cast<Integer>(GetLastError());
    // Only read-only has a POSIX form; hidden, system and archive follow from the name and kind.
    if (S_ISREG(st.st_mode)) {
        mode_t mode = st.st_mode & 07777;
        if (attr & faReadOnly) mode &= ~static_cast<mode_t>(0222);
        else if ((mode & 0222) == 0) mode |= 0200;
        if (::chmod(mapped.posix.c_str(), mode) != 0) return static_cast<Integer>(ErrorFromErrno(errno));
    }
    return 0;
}

DWORD GetFileAttributesA(const char* fileName) {
    Integer attr = FileGetAttr(fileName ? fileName : "");
    return attr < 0 ? INVALID_FILE_ATTRIBUTES : static_cast<DWORD>(attr);
}

BOOL SetFileAttributesA(const char* fileName, DWORD attributes) {
    Integer code = FileSetAttr(fileName ? fileName : "", static_cast<Integer>(attributes));
    if (code != 0) {
        SetLastError(static_cast<DWORD>(code));
        return 0;
    }
    return 1;
}

bool FileExists(const String& fileName) {
    MappedPath mapped;
    struct stat st {};
    return MapPath(fileName, mapped) && mapped.exists && StatPath(mapped.posix, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& directory) {
    MappedPath mapped;
    struct stat st {};
    return MapPath(directory, mapped) && mapped.exists && StatPath(mapped.posix, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const String& dir) {
    MappedPath mapped;
    if (!MapPath(dir, mapped)) return false;
    if (mapped.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!mapped.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (::mkdir(mapped.posix.c_str(), 0777) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool RemoveDir(const String& dir) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(dir, mapped, st)) return false;
    if (!S_ISDIR(st.st_mode) || mapped.isRoot()) {
        SetLastError(mapped.isRoot() ? ERROR_ACCESS_DENIED : ERROR_DIRECTORY);
        return false;
    }
    if (::rmdir(mapped.posix.c_str()) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool ForceDirectories(const String& dir) {
    if (dir.empty()) throw EInOutError("Unable to create directory", 0);
    String d = ExcludeTrailingBackslash(dir);
    if (d.size() < 3 || ExtractFilePath(d) == d) return true;
    // One mapping of the whole path, then a walk up to the deepest folder that exists and
    // one mkdir per missing level downward: mapping the path again at every level made deep
    // paths cost the cube of their depth.
    MappedPath mapped;
    if (!MapPath(d, mapped)) return false;
    struct stat st {};
    if (mapped.exists) {
        if (StatPath(mapped.posix, st) && S_ISDIR(st.st_mode)) return true;
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    // ends[i]: length of the POSIX path up to and including component i.
    const std::size_t n = mapped.components.size();
    std::vector<std::size_t> ends(n);
    std::size_t end = mapped.posix.size();
    for (std::size_t i = n; i-- > 0;) {
        ends[i] = end;
        end -= mapped.components[i].size() + 1;
    }
    std::size_t missing = n;  // the first level that does not exist
    while (missing > 0 && !StatPath(mapped.posix.substr(0, ends[missing - 1]), st)) --missing;
    if (missing > 0 && !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    for (std::size_t i = missing; i < n; ++i) {
        if (::mkdir(mapped.posix.substr(0, ends[i]).c_str(), 0777) != 0 && errno != EEXIST) {
            SetLastErrorFromErrno(errno);
            return false;
        }
    }
    return true;
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

namespace {

// With exactName the target's last component is matched by its exact case only: a file
// whose name differs in case is left alone and the name is created beside it.
BOOL MoveImpl(const String& from, const String& to, DWORD flags, bool exactName = false) {
    MappedPath src, dst;
    struct stat sst {}, dstSt {};
    if (!MapExisting(from, src, sst)) return 0;
    if (!MapPath(to, dst)) return 0;
    if (exactName && dst.exists && !dst.isRoot() && dst.components.back() != ExtractFileName(to)) {
        dst.posix = dst.posix.substr(0, dst.posix.size() - dst.components.back().size()) + ExtractFileName(to);
        dst.components.back() = ExtractFileName(to);
        dst.exists = false;
    }
    if (src.isRoot() || dst.isRoot()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (!dst.exists && !dst.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::string target = dst.posix;
    bool sameFile = dst.exists && StatPath(dst.posix, dstSt) && dstSt.st_dev == sst.st_dev && dstSt.st_ino == sst.st_ino;
    if (sameFile) {
        // A change of case only: rename to the name as given.
        std::string given = ExtractFileName(to);
        while (!given.empty() && (given.back() == '.' || given.back() == ' ')) given.pop_back();
        target = dst.posix.substr(0, dst.posix.size() - dst.components.back().size()) + given;
    } else if (dst.exists) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return 0;
        }
        if (S_ISDIR(dstSt.st_mode) || S_ISDIR(sst.st_mode) || (dstSt.st_mode & 0222) == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    if (RefuseIfOpen({&sst, dst.exists && !sameFile ? &dstSt : nullptr})) return 0;
    if (S_ISREG(sst.st_mode) && dst.drive.letter != src.drive.letter && dst.drive.quota > 0) {
        UInt64 freeBytes = FreeBytes(dst.drive) + (dst.exists && !sameFile ? static_cast<UInt64>(dstSt.st_size) : 0);
        if (static_cast<UInt64>(sst.st_size) > freeBytes) {
            SetLastError(ERROR_DISK_FULL);
            return 0;
        }
    }
    if (::rename(src.posix.c_str(), target.c_str()) == 0) return 1;
    if (errno == EXDEV && S_ISREG(sst.st_mode)) {
        // Across file systems a file is copied, then the original removed, as the system does.
        if (!CopyFileA(src.windows().c_str(), to.c_str(), (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : 1)) return 0;
        if (::unlink(src.posix.c_str()) != 0) {
            SetLastErrorFromErrno(errno);
            return 0;
        }
        return 1;
    }
    SetLastErrorFromErrno(errno);
    return 0;
}

}  // namespace

bool RenameFile(const String& oldName, const String& newName) { return MoveImpl(oldName, newName, 0) != 0; }

BOOL MoveFileA(const char* existingFileName, const char* newFileName) {
    return MoveImpl(existingFileName ? existingFileName : "", newFileName ? newFileName : "", 0);
}

BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
    return MoveImpl(existingFileName ? existingFileName : "", newFileName ? newFileName : "", flags);
}

bool FileExistsExactName(const String& fileName) {
    MappedPath mapped;
    struct stat st {};
    return MapPath(fileName, mapped) && mapped.exists && !mapped.isRoot() &&
           mapped.components.back() == ExtractFileName(fileName) && StatPath(mapped.posix, st) && !S_ISDIR(st.st_mode);
}

bool MoveFileExactName(const String& existingFileName, const String& newFileName) {
    return MoveImpl(existingFileName, newFileName, MOVEFILE_REPLACE_EXISTING, true) != 0;
}

Integer FileSetReadExecuteBits(const String& fileName, Integer mode) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(fileName, mapped, st)) return static_cast<Integer>(GetLastError());
    if (!S_ISREG(st.st_mode)) return 0;
    const mode_t kept = (st.st_mode & 0222) | (static_cast<mode_t>(mode) & 0555);
    if (::chmod(mapped.posix.c_str(), kept) != 0) return static_cast<Integer>(ErrorFromErrno(errno));
    return 0;
}

BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) {
    String from = existingFileName ? existingFileName : "", to = newFileName ? newFileName : "";
    THandle in = FileOpen(from, fmOpenRead | fmShareDenyNone);
    if (in == INVALID_HANDLE_VALUE) return 0;
    if (failIfExists && (FileExists(to) || DirectoryExists(to))) {
        FileClose(in);
        SetLastError(ERROR_FILE_EXISTS);
        return 0;
    }
    THandle out = FileCreate(to);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        FileClose(in);
        SetLastError(code);
        return 0;
    }
    std::vector<char> buffer(256 * 1024);
    bool ok = true;
    for (;;) {
        Integer n = FileRead(in, buffer.data(), static_cast<LongWord>(buffer.size()));
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (FileWrite(out, buffer.data(), static_cast<LongWord>(n)) != n) {
            ok = false;
            break;
        }
    }
    DWORD code = GetLastError();
    Integer age = FileGetDate(in);
    if (ok && age != -1) FileSetDate(out, age);
    FileClose(in);
    FileClose(out);
    if (!ok) {
        DeleteFile(to);  // never leave a short copy behind
        SetLastError(code);
        return 0;
    }
    if (FileGetAttr(from) & faReadOnly) FileSetAttr(to, faReadOnly);
    SetLastError(0);
    return 1;
}

Integer FindFirst(const String& path, Integer attr, TSearchRec& f) {
    f = TSearchRec();
    f.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    String dir = ExtractFilePath(path), pattern = ExtractFileName(path);
    if (pattern.empty()) return static_cast<Integer>(ERROR_FILE_NOT_FOUND);
    MappedPath mapped;
    struct stat st {};
    if (!MapPath(dir.empty() ? String(".") : dir, mapped) || !mapped.exists || !StatPath(mapped.posix, st) ||
        !S_ISDIR(st.st_mode))
        return static_cast<Integer>(ERROR_PATH_NOT_FOUND);
    auto state = std::make_shared<FindState>();
    auto consider = [&](const std::string& name, const struct stat& est) {
        FindState::Entry e;
        e.name = name;
        e.attr = AttrOf(name, est);
        e.size = S_ISREG(est.st_mode) ? static_cast<Int64>(est.st_size) : 0;
        e.time = DosDateFromUnix(est.st_mtim.tv_sec);
        if ((e.attr & f.ExcludeAttr) != 0 || !WildcardMatchWindows(pattern, name)) return;
        state->entries.push_back(e);
    };
    DIR* d = ::opendir(mapped.posix.c_str());
    if (!d) return static_cast<Integer>(ERROR_PATH_NOT_FOUND);
    std::vector<FindState::Entry> dots;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!IsNameableFromWindows(name)) continue;
        struct stat est {};
        std::string full = mapped.posix == "/" ? "/" + name : mapped.posix + "/" + name;
        if (::stat(full.c_str(), &est) != 0 && ::lstat(full.c_str(), &est) != 0) continue;
        consider(name, est);
    }
    ::closedir(d);
    std::sort(state->entries.begin(), state->entries.end(), [](const auto& a, const auto& b) {
        std::string ua = UpperCase(a.name), ub = UpperCase(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    if (!mapped.isRoot()) {
        // The system lists the folder itself and its parent first, except at a drive root.
        struct stat parent {};
        std::string up = mapped.posix.substr(0, mapped.posix.find_last_of('/'));
        if (up.empty()) up.assign(1, '/');
        std::size_t before = state->entries.size();
        static const std::string kSelf(1, '.'), kParent(2, '.');
        consider(kSelf, st);
        if (StatPath(up, parent)) consider(kParent, parent);
        std::rotate(state->entries.begin(), state->entries.begin() + static_cast<std::ptrdiff_t>(before),
                    state->entries.end());
    }
    if (state->entries.empty()) return static_cast<Integer>(ERROR_FILE_NOT_FOUND);
    f.FindHandle = state;
    return FindNext(f);
}

Integer FindNext(TSearchRec& f) {
    if (!f.FindHandle || f.FindHandle->next >= f.FindHandle->entries.size())
        return static_cast<Integer>(ERROR_NO_MORE_FILES);
    const FindState::Entry& e = f.FindHandle->entries[f.FindHandle->next++];
    f.Name = e.name;
    f.Attr = e.attr;
    f.Size = e.size;
    f.Time = e.time;
    return 0;
}

void FindClose(TSearchRec& f) { f.FindHandle.reset(); }

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
    String path = IncludeTrailingBackslash(platform::FromPosixPath(platform::ProfileTempPath()));
    if (!buffer || bufferLength < path.size() + 1) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

UINT GetTempFileNameA(const char* pathName, const char* prefixString, UINT unique, char* tempFileName) {
    String dir = IncludeTrailingBackslash(pathName ? pathName : "");
    String prefix = String(prefixString ? prefixString : "").substr(0, 3);
    auto nameOf = [&](UINT n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
        return dir + prefix + hex + ".TMP";
    };
    if (unique != 0) {
        String name = nameOf(unique);
        std::memcpy(tempFileName, name.c_str(), std::min<std::size_t>(name.size() + 1, 260));
        tempFileName[259] = 0;
        return unique & 0xFFFF;
    }
    if (!DirectoryExists(dir)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    UINT start = (platform::RandomUInt32() & 0xFFFF) | 1;
    for (UINT i = 0; i < 0xFFFF; ++i) {
        UINT n = ((start + i - 1) % 0xFFFF) + 1;
        String name = nameOf(n);
        MappedPath mapped;
        if (!MapPath(name, mapped)) return 0;
        if (mapped.exists) continue;
        int fd = ::open(mapped.posix.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            SetLastErrorFromErrno(errno);
            return 0;
        }
        ::close(fd);
        std::memcpy(tempFileName, name.c_str(), std::min<std::size_t>(name.size() + 1, 260));
        tempFileName[259] = 0;
        return n;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
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
    const int fd = ::open(mapped.posix.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    ::lseek(fd, 0, SEEK_END);
    return Register(fd, st, kAccessWrite, kShareRead, mapped);
}

bool IsPseudoFileSystem(const String& windowsPath) {
    // Kernel interfaces, not stored files: proc, sysfs, device and kernel-debugging trees.
    static constexpr unsigned long kPseudo[] = {
        PROC_SUPER_MAGIC, SYSFS_MAGIC,        DEVPTS_SUPER_MAGIC, DEBUGFS_MAGIC,  TRACEFS_MAGIC,
        SECURITYFS_MAGIC, SELINUX_MAGIC,      CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, PSTOREFS_MAGIC,
        EFIVARFS_MAGIC,   BINFMTFS_MAGIC,     BPF_FS_MAGIC,       NSFS_MAGIC,     HUGETLBFS_MAGIC,
    };
    const std::string posix = ToPosixPath(windowsPath);
    struct statfs fs {};
    if (posix.empty() || ::statfs(posix.c_str(), &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    if (std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo)) return true;
    if (type != TMPFS_MAGIC) return false;
    // devtmpfs gives the tmpfs number: it is told by the mount table.
    struct stat st {};
    if (::stat(posix.c_str(), &st) != 0) return false;
    FILE* mounts = ::setmntent("/proc/self/mounts", "r");
    if (!mounts) return false;
    bool found = false;
    while (const mntent* m = ::getmntent(mounts)) {
        struct stat mountPoint {};
        if (std::strcmp(m->mnt_type, "devtmpfs") == 0 && ::stat(m->mnt_dir, &mountPoint) == 0 &&
            mountPoint.st_dev == st.st_dev) {
            found = true;
            break;
        }
    }
    ::endmntent(mounts);
    return found;
}

bool GetFolderIdentity(const String& windowsPath, FolderId& id) {
    const std::string posix = ToPosixPath(windowsPath);
    struct stat st {};
    if (posix.empty() || ::stat(posix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace platform
