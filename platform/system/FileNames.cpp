// Files by name: attributes, existence, renaming, moving and copying.
//
// One of the file functions (see Files.cpp): a rename or move that would replace a file open
// in this process is refused by the open-file table's rule.
#include "platform/SysUtils.h"
#include "platform/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/Paths.h"
#include "detail/FileFunctions.h"

namespace platform::detail {

Integer AttrOf(const std::string& name, const struct stat& st) {
    Integer attr = 0;
    if (S_ISDIR(st.st_mode)) attr |= faDirectory;
    else if (S_ISREG(st.st_mode)) attr |= faArchive;
    else attr |= faSysFile;  // fifos, sockets, devices: nothing the system would open as a file
    if ((st.st_mode & 0222) == 0) attr |= faReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= faHidden;
    return attr;
}

}  // namespace platform::detail

using namespace platform::detail;

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
