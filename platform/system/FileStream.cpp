#include "platform/FileStream.h"

#include "platform/Paths.h"

Integer THandleStream::Read(void* buffer, Integer count) {
    if (count <= 0) return 0;
    Integer n = FileRead(handle_, buffer, static_cast<LongWord>(count));
    return n < 0 ? 0 : n;
}

Integer THandleStream::Write(const void* buffer, Integer count) {
    if (count <= 0) return 0;
    Integer n = FileWrite(handle_, buffer, static_cast<LongWord>(count));
    return n < 0 ? 0 : n;
}

Int64 THandleStream::Seek(Int64 offset, TSeekOrigin origin) {
    Integer o = origin == soBeginning ? 0 : origin == soCurrent ? 1 : 2;
    Int64 pos = FileSeek(handle_, offset, o);
    if (pos < 0) throw EStreamError("Invalid stream position. " + SysErrorMessage(GetLastError()));
    return pos;
}

Int64 THandleStream::Size() {
    DWORD high = 0;
    DWORD low = GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0) return TStream::Size();
    return static_cast<Int64>((static_cast<UInt64>(high) << 32) | low);
}

void THandleStream::SetSize(Int64 newSize) {
    Seek(newSize, soBeginning);
    if (!SetEndOfFile(handle_)) RaiseLastOSError();
}

TFileStream::TFileStream(const String& fileName, Word mode) : THandleStream(INVALID_HANDLE_VALUE), fileName_(fileName) {
    if (mode == fmCreate) {
        handle_ = FileCreate(fileName);
        if (handle_ == INVALID_HANDLE_VALUE)
            throw EFCreateError("Cannot create file \"" + ExpandFileName(fileName) + "\". " +
                                SysErrorMessage(GetLastError()));
    } else {
        handle_ = FileOpen(fileName, mode);
        if (handle_ == INVALID_HANDLE_VALUE)
            throw EFOpenError("Cannot open file \"" + ExpandFileName(fileName) + "\". " +
                              SysErrorMessage(GetLastError()));
    }
}

TFileStream::TFileStream(const String& fileName, Word mode, Cardinal) : TFileStream(fileName, mode) {}

TFileStream::~TFileStream() {
    if (handle_ != INVALID_HANDLE_VALUE) FileClose(handle_);
}
