// File functions of the class library and the system, on Windows-style paths.
//
// This is the only place besides the drive table that touches POSIX files. It owns the
// process's table of open handles and enforces the system's sharing rules inside the
// process: an open conflicts with earlier opens whose access it does not share or whose
// sharing excludes its access, and a file that is open (no open ever shares deletion)
// cannot be deleted, renamed or replaced. Attributes are derived (read-only when no write
// bit, hidden for dot names, directory, archive on regular files; other kinds of entry are
// "system" and cannot be opened). Dates are DOS dates in local time (TZ), clamped to
// 1980-2107. Every write is checked and quotas of the drive table are enforced: a write that
// does not fit fails whole with ERROR_DISK_FULL. Failures are reported as the system does (a
// False or -1 result and GetLastError()); raising is the callers' business.
#pragma once

#include <memory>

#include "platform/DateTime.h"
#include "platform/SysErrors.h"
#include "platform/Types.h"

using THandle = NativeInt;
inline constexpr THandle INVALID_HANDLE_VALUE = -1;

// Open modes (16-bit, the class library's values).
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;  // as exclusive: the system maps it so
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;
inline constexpr Word fmCreate = 0xFFFF;  // a new empty file, replacing any; exclusive

// Attributes.
inline constexpr Integer faReadOnly = 0x01;
inline constexpr Integer faHidden = 0x02;
inline constexpr Integer faSysFile = 0x04;
inline constexpr Integer faVolumeID = 0x08;
inline constexpr Integer faDirectory = 0x10;
inline constexpr Integer faArchive = 0x20;
inline constexpr Integer faAnyFile = 0x3F;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Handles. FileOpen/FileCreate give INVALID_HANDLE_VALUE on failure; FileRead/FileWrite
// give -1 on failure; FileWrite never writes part of a buffer that does not fit.
THandle FileOpen(const String& fileName, LongWord mode);
THandle FileCreate(const String& fileName);
THandle FileCreate(const String& fileName, Integer rights);  // rights are not used
Integer FileRead(THandle handle, void* buffer, LongWord count);
Integer FileWrite(THandle handle, const void* buffer, LongWord count);
// origin 0 beginning, 1 current, 2 end; the new position, or -1.
Int64 FileSeek(THandle handle, Int64 offset, Integer origin);
void FileClose(THandle handle);
// Flushes and fsyncs; False (last error set) when the data may not have reached the disk.
BOOL FlushFileBuffers(THandle handle);
// Cuts or extends the file at the handle's position (quota checked).
BOOL SetEndOfFile(THandle handle);
DWORD GetFileSize(THandle handle, DWORD* fileSizeHigh);
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// DOS date and time: high word the date, low word the time (2-second steps); the conversions
// to and from TDateTime are the dates' (platform/DateTime.h).
Integer FileAge(const String& fileName);  // -1 when the file does not exist
Integer FileGetDate(THandle handle);        // -1 on failure
// 0 on success, else a system error code; needs write access, like the system.
Integer FileSetDate(THandle handle, Integer age);
Integer FileSetDate(const String& fileName, Integer age);

Integer FileGetAttr(const String& fileName);  // -1 on failure
Integer FileSetAttr(const String& fileName, Integer attr);  // 0 or a system error code
DWORD GetFileAttributesA(const char* fileName);
BOOL SetFileAttributesA(const char* fileName, DWORD attributes);

bool FileExists(const String& fileName);  // a file, not a folder
bool DirectoryExists(const String& directory);
bool CreateDir(const String& dir);
bool RemoveDir(const String& dir);
// Creates dir and its missing parents; raises EInOutError for an empty name.
bool ForceDirectories(const String& dir);
bool DeleteFile(const String& fileName);
// Fails when newName exists (except a change of case of the same file).
bool RenameFile(const String& oldName, const String& newName);

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;
BOOL MoveFileA(const char* existingFileName, const char* newFileName);
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);
BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists);
// Exact-name forms, for output that keeps apart names the lookups above fold together (two
// archive entries "README" and "readme" are two files on Linux): the last component must
// match in case, so a file whose name differs only in case is neither found nor replaced.
bool FileExistsExactName(const String& fileName);
bool MoveFileExactName(const String& existingFileName, const String& newFileName);  // replaces an exact match
// Gives a regular file the read and execute bits of mode (0555 of it) and keeps its write
// bits; set-id and sticky bits are never set. 0 or a system error code.
Integer FileSetReadExecuteBits(const String& fileName, Integer mode);

// File search. Entries come sorted by name without regard to case ("." and ".." first,
// outside a drive root). Patterns use "*" and "?" without regard to case; "*.*" matches
// every name and "*." the names without extension. An entry is passed over when it has
// hidden, system, volume-label or directory attributes that attr does not ask for.
namespace platform::detail {
struct FindState;
}
struct TSearchRec {
    Integer Time = 0;  // DOS date and time
    Int64 Size = 0;
    Integer Attr = 0;
    String Name;
    Integer ExcludeAttr = 0;
    std::shared_ptr<platform::detail::FindState> FindHandle;
};
// 0 when an entry is at hand, else ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND /
// ERROR_NO_MORE_FILES.
Integer FindFirst(const String& path, Integer attr, TSearchRec& f);
Integer FindNext(TSearchRec& f);
void FindClose(TSearchRec& f);

// The private temporary folder, "...\" with its backslash; returns the length, or the size
// needed (with the terminating zero) when the buffer is too small.
DWORD GetTempPathA(DWORD bufferLength, char* buffer);
// Makes "<path>\<3 letters of prefix><hex>.TMP"; with unique 0 the file is created (and the
// number chosen so that it is new). buffer holds at least 260 characters.
UINT GetTempFileNameA(const char* pathName, const char* prefixString, UINT unique, char* tempFileName);

// The old handle functions the file scanner uses.
using HFILE = int;
inline constexpr HFILE HFILE_ERROR = -1;
inline constexpr int OF_READ = 0;
inline constexpr int OF_WRITE = 1;
inline constexpr int OF_READWRITE = 2;
inline constexpr int OF_SHARE_EXCLUSIVE = 0x10;
inline constexpr int OF_SHARE_DENY_WRITE = 0x20;
inline constexpr int OF_SHARE_DENY_READ = 0x30;
inline constexpr int OF_SHARE_DENY_NONE = 0x40;
HFILE _lopen(const char* pathName, int readWrite);
UINT _lread(HFILE file, void* buffer, UINT bytes);  // (UINT)HFILE_ERROR on failure
HFILE _lclose(HFILE file);

// Which file a name or handle reaches and which version of it: two identities are equal
// only when the same file (device, inode) has the same size and modification time to the
// nanosecond. Writers use it to tell that a file changed behind them, which a two-second
// DOS date cannot.
struct TFileIdentity {
    UInt64 Device = 0;
    UInt64 Inode = 0;
    Int64 Size = 0;
    Int64 ModifiedNs = 0;
    bool operator==(const TFileIdentity&) const = default;
};
// False (last error set) when the handle is not open or the name reaches no file.
bool GetFileIdentity(THandle handle, TFileIdentity& identity);
bool GetFileIdentity(const String& fileName, TFileIdentity& identity);

namespace platform {
// The identity of the folder a path leads to (device and inode, symbolic links followed), so a
// walk can tell a folder it reaches again through a link. False when no folder is there.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};
bool GetFolderIdentity(const String& windowsPath, FolderId& id);

// True when the folder lies on a kernel pseudo file system (proc, sysfs, devtmpfs, devpts,
// debugfs, cgroup, ...): walks stay out of them, since reading some of their files blocks
// (/proc/kmsg) and their trees are endless or huge. False when the path cannot be examined.
bool IsPseudoFileSystem(const String& windowsPath);

// Opens a file for appending (write access, deny-write sharing), creating it when missing.
// Every FileWrite lands at the end of the file as it is at that moment, in one step, so
// processes appending to the same file never overwrite each other. INVALID_HANDLE_VALUE and
// GetLastError() on failure, as FileOpen.
THandle FileOpenForAppend(const String& fileName);
}  // namespace platform

namespace platform::detail {
// Windows-style wildcard match without regard to case (the rules of FindFirst).
bool WildcardMatchWindows(const std::string& pattern, const std::string& name);
// POSIX path of an open handle ("" for none), for the atomic writer.
std::string PosixPathOfHandle(THandle handle);
// True when a file (by POSIX path) is open in this process; it may not be replaced then.
bool IsOpenInProcess(const std::string& posixPath);
}  // namespace platform::detail
