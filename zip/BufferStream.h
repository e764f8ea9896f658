// Buffered streams: TS_BufferStream puts an 8192-byte buffer in front of any stream, and
// TLFNFileStream binds it to a file it opens by name. Every archive the engine reads goes
// through it, so the record readers' small reads become block reads.
//
// The logical position is the inner stream's position plus what the buffer holds: bytes
// read ahead count backwards, pending bytes forwards. A seek to the logical position keeps
// the buffer. A failed flush shortens the count a write returns; the destructor flushes
// without reporting, so writers call Commit() to learn whether their bytes arrived.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/FileStream.h"
#include "platform/Streams.h"

class TS_BufferStream : public TStream {
public:
    explicit TS_BufferStream(TStream& inner);
    ~TS_BufferStream() override;

    Integer Read(void* buffer, Integer count) override;
    Integer Write(const void* buffer, Integer count) override;
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;
    // Origins 0, 1 and 2 as the class library numbers them; others raise.
    Int64 Seek(Int64 offset, Word origin);
    Int64 Size() override;

    virtual bool FillBuffer();
    virtual bool FlushBuffer();
    // The byte goes back in front of the read pointer and is read next.
    virtual void PutBack(Byte b);
    // Writes pending bytes; raises EWriteError when the inner stream did not take them all.
    void Commit();

    std::function<void(TS_BufferStream* Sender)> OnAfterFill;
    std::function<void(TS_BufferStream* Sender)> OnAfterFlush;

protected:
    virtual void DoAfterFill();
    virtual void DoAfterFlush();

private:
    enum class State : Byte { Idle, Reading, Writing };
    Int64 BufferOffset() const;

    TStream& inner_;
    std::vector<Byte> buffer_;
    Integer pointer_ = -1;  // -1: none until the first transfer after creation or a move
    Integer end_ = 0;
    Integer size_;
    State state_ = State::Idle;
    Int64 innerPos_;  // the inner stream's position, tracked to spare it a query per record
};

namespace zipdetail {
// Holds the file so that it is made before the buffer over it and freed after it.
struct FileOwner {
    explicit FileOwner(const String& fileName, Word mode) : file(std::make_unique<TFileStream>(fileName, mode)) {}
    std::unique_ptr<TFileStream> file;
};
}  // namespace zipdetail

class TLFNFileStream : private zipdetail::FileOwner, public TS_BufferStream {
public:
    TLFNFileStream(const String& fileName, Word mode);
    ~TLFNFileStream() override;
    THandle FileHandle() const { return file->Handle(); }
    const String& FileName() const { return file->FileName(); }
};
