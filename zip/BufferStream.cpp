#include "zip/BufferStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "zip/StringResource.h"
#include "zip/ZipConstants.h"

TS_BufferStream::TS_BufferStream(TStream& inner)
    : inner_(inner), buffer_(zipconst::kStreamBufferSize), size_(zipconst::kStreamBufferSize),
      innerPos_(inner.Position()) {
    end_ = size_;
}

TS_BufferStream::~TS_BufferStream() {
    if (state_ == State::Writing) {
        try {
            FlushBuffer();
        } catch (...) {
            // A destructor reports nothing; Commit() is where a writer learns of failure.
        }
    }
}

Int64 TS_BufferStream::BufferOffset() const {
    switch (state_) {
        case State::Reading: return pointer_ < 0 ? 0 : pointer_ - end_;
        case State::Writing: return pointer_;
        case State::Idle: return 0;
    }
    return 0;
}

void TS_BufferStream::DoAfterFill() {
    if (OnAfterFill) OnAfterFill(this);
}

void TS_BufferStream::DoAfterFlush() {
    if (OnAfterFlush) OnAfterFlush(this);
}

bool TS_BufferStream::FillBuffer() {
    Integer got = 0;
    while (got < size_) {
        Integer n = inner_.Read(buffer_.data() + got, size_ - got);
        if (n <= 0) break;
        got += n;
    }
    innerPos_ += got;
    pointer_ = 0;
    end_ = got;
    state_ = got > 0 ? State::Reading : State::Idle;
    DoAfterFill();
    return got > 0;
}

bool TS_BufferStream::FlushBuffer() {
    const Integer pending = std::max(pointer_, 0);
    Integer put = 0;
    while (put < pending) {
        Integer n = inner_.Write(buffer_.data() + put, pending - put);
        if (n <= 0) break;
        put += n;
    }
    innerPos_ += put;
    pointer_ = 0;
    end_ = 0;  // nothing left to read from the buffer
    state_ = State::Idle;
    DoAfterFlush();
    return put == pending;
}

Integer TS_BufferStream::Read(void* buffer, Integer count) {
    if (state_ == State::Writing) FlushBuffer();
    if (pointer_ < 0) pointer_ = end_ = 0;
    auto* out = static_cast<Byte*>(buffer);
    Integer done = 0;
    while (count > 0) {
        if (pointer_ >= end_ && !FillBuffer()) break;
        Integer n = std::min(end_ - pointer_, count);
        std::memcpy(out + done, buffer_.data() + pointer_, static_cast<size_t>(n));
        pointer_ += n;
        done += n;
        count -= n;
    }
    return done;
}

Integer TS_BufferStream::Write(const void* buffer, Integer count) {
    if (state_ != State::Writing) {
        if (state_ == State::Reading) {
            // The bytes read ahead are dropped; writing starts at the logical position.
            Int64 logical = innerPos_ + BufferOffset();
            inner_.Seek(logical, soBeginning);
            innerPos_ = logical;
        }
        pointer_ = 0;
        end_ = size_;
        state_ = State::Idle;
    }
    const auto* in = static_cast<const Byte*>(buffer);
    Integer taken = 0, sinceFlush = 0;
    while (count > 0) {
        Integer n = std::min(size_ - pointer_, count);
        std::memcpy(buffer_.data() + pointer_, in + taken, static_cast<size_t>(n));
        pointer_ += n;
        taken += n;
        sinceFlush += n;
        count -= n;
        if (pointer_ == size_) {
            if (!FlushBuffer()) return taken - sinceFlush;  // those bytes never arrived
            end_ = size_;
            sinceFlush = 0;
        }
    }
    if (pointer_ > 0) state_ = State::Writing;
    return taken;
}

Int64 TS_BufferStream::Seek(Int64 offset, Word origin) {
    const Int64 current = innerPos_ + BufferOffset();
    Int64 target = 0;
    switch (origin) {
        case 0: target = offset; break;
        case 1: target = current + offset; break;
        case 2: {
            // From the end the sign of the offset is ignored: -n and n both mean n before it.
            Int64 size = std::max(inner_.Size(), current);
            target = size - (offset < 0 ? -offset : offset);
            break;
        }
        default: {
            char text[80];
            std::snprintf(text, sizeof text, LoadStreamString("S_Stream", 2).c_str(), origin);
            throw Exception(text);
        }
    }
    if (target == current) return current;
    // A target inside the bytes read ahead is served from them: the directory's checks visit
    // every local header in turn, and small entries put many of them in one buffer.
    if (state_ == State::Reading && target >= innerPos_ - end_ && target <= innerPos_) {
        pointer_ = static_cast<Integer>(target - (innerPos_ - end_));
        return target;
    }
    if (state_ == State::Writing && !FlushBuffer()) throw EStreamError(LoadStreamString("S_Stream", 1));
    inner_.Seek(target, soBeginning);
    innerPos_ = target;
    pointer_ = -1;
    end_ = 0;
    state_ = State::Idle;
    return target;
}

Int64 TS_BufferStream::Seek(Int64 offset, TSeekOrigin origin) {
    return Seek(offset, static_cast<Word>(origin == soBeginning ? 0 : origin == soCurrent ? 1 : 2));
}

Int64 TS_BufferStream::Size() { return std::max(inner_.Size(), innerPos_ + BufferOffset()); }

void TS_BufferStream::PutBack(Byte b) {
    if (pointer_ <= 0) throw EStreamError(LoadStreamString("S_Stream", 3));
    buffer_[static_cast<size_t>(--pointer_)] = b;
}

void TS_BufferStream::Commit() {
    if (state_ == State::Writing && !FlushBuffer()) throw EWriteError("Stream write error");
}

TLFNFileStream::TLFNFileStream(const String& fileName, Word mode)
    : zipdetail::FileOwner(fileName, mode), TS_BufferStream(*file) {}

TLFNFileStream::~TLFNFileStream() = default;
