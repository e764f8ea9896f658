// File streams of the class library: THandleStream over a handle of the file functions and
// TFileStream, which opens or creates a file by name and owns its handle.
//
// Transfers go straight to the file functions, so share modes and quotas apply; a write
// that fails returns a short count, which TStream::WriteBuffer turns into EWriteError. Open
// failures raise the class library's errors with the system's reason:
//   EFOpenError   "Cannot open file "<full name>". <reason>"
//   EFCreateError "Cannot create file "<full name>". <reason>"
#pragma once

#include "platform/Files.h"
#include "platform/Streams.h"

class THandleStream : public TStream {
public:
    explicit THandleStream(THandle handle) : handle_(handle) {}
    Integer Read(void* buffer, Integer count) override;
    Integer Write(const void* buffer, Integer count) override;
    // Raises EStreamError when the system refuses the position.
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;
    Int64 Size() override;
    // Cuts or extends the file; raises EOSError (a full disk, no write access).
    void SetSize(Int64 newSize) override;
    THandle Handle() const { return handle_; }

protected:
    THandle handle_;
};

class TFileStream : public THandleStream {
public:
    // mode: fmCreate, or fmOpenRead/fmOpenWrite/fmOpenReadWrite with a fmShare... value.
    TFileStream(const String& fileName, Word mode);
    TFileStream(const String& fileName, Word mode, Cardinal rights);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    const String& FileName() const { return fileName_; }

private:
    String fileName_;
};
