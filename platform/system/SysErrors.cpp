#include "platform/SysErrors.h"

#include <cerrno>

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

String SysErrorMessage(DWORD code) {
    switch (code) {
    case 0: return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_TOO_MANY_OPEN_FILES: return "The system cannot open the file.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough storage is available to process this command.";
    case ERROR_INVALID_DRIVE: return "The system cannot find the drive specified.";
    case ERROR_NOT_SAME_DEVICE: return "The system cannot move the file to a different disk drive.";
    case ERROR_BAD_LENGTH: return "The program issued a command but the command length is incorrect.";
    case ERROR_NO_MORE_FILES: return "There are no more files.";
    case ERROR_NOT_READY: return "The device is not ready.";
    case ERROR_SHARING_VIOLATION:
        return "The process cannot access the file because it is being used by another process.";
    case ERROR_HANDLE_EOF: return "Reached the end of the file.";
    case ERROR_FILE_EXISTS: return "The file exists.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small.";
    case ERROR_INVALID_NAME: return "The filename, directory name, or volume label syntax is incorrect.";
    case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
    case ERROR_LABEL_TOO_LONG:
        return "The volume label you entered exceeds the label character limit of the target file system.";
    case ERROR_DIRECTORY: return "The directory name is invalid.";
    case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
    case ERROR_FILENAME_EXCED_RANGE: return "The filename or extension is too long.";
    case ERROR_MORE_DATA: return "More data is available.";
    case ERROR_IO_DEVICE: return "The request could not be performed because of an I/O device error.";
    case ERROR_INVALID_MESSAGE: return "The window cannot act on the sent message.";
    case ERROR_INVALID_WINDOW_HANDLE: return "Invalid window handle.";
    case ERROR_TLW_WITH_WSCHILD: return "Cannot create a top-level child window.";
    case ERROR_CANNOT_FIND_WND_CLASS: return "Cannot find window class.";
    case ERROR_CLASS_ALREADY_EXISTS: return "Class already exists.";
    case ERROR_CLASS_DOES_NOT_EXIST: return "Class does not exist.";
    case ERROR_CLASS_HAS_WINDOWS: return "Class still has open windows.";
    case ERROR_INVALID_INDEX: return "Invalid index.";
    case ERROR_TIMEOUT: return "This operation returned because the timeout period expired.";
    default: return "System error " + std::to_string(code) + ".";
    }
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void RaiseLastOSError(DWORD code) {
    if (code == 0) throw EOSError("A call to an OS function failed", 0);
    throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + SysErrorMessage(code), code);
}

void RaiseInOutError(int code) {
    String text;
    switch (code) {
    case 2: text = "File not found"; break;
    case 3: text = "Invalid filename"; break;
    case 4: text = "Too many open files"; break;
    case 5: text = "File access denied"; break;
    case 100: text = "Read beyond end of file"; break;
    case 101: text = "Disk full"; break;
    default: text = "I/O error " + std::to_string(code); break;
    }
    throw EInOutError(text, code);
}

namespace platform::detail {

DWORD ErrorFromErrno(int err) {
    switch (err) {
    case 0: return 0;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC: case EDQUOT: case EFBIG: return ERROR_DISK_FULL;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY: case ETXTBSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_IO_DEVICE;
    }
}

DWORD SetLastErrorFromErrno(int err) {
    DWORD code = ErrorFromErrno(err);
    SetLastError(code);
    return code;
}

}  // namespace platform::detail
