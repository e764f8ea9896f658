#include "platform/Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

TStream::~TStream() = default;

Int64 TStream::Size() {
    Int64 pos = Seek(0, soCurrent);
    Int64 end = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return end;
}

void TStream::SetSize(Int64) { throw EStreamError("Stream cannot change its size"); }

void TStream::ReadBuffer(void* buffer, Int64 count) {
    auto* p = static_cast<Byte*>(buffer);
    while (count > 0) {
        Integer chunk = static_cast<Integer>(std::min<Int64>(count, std::numeric_limits<Integer>::max()));
        Integer got = Read(p, chunk);
        if (got <= 0) throw EReadError("Stream read error");
        p += got;
        count -= got;
    }
}

void TStream::WriteBuffer(const void* buffer, Int64 count) {
    const auto* p = static_cast<const Byte*>(buffer);
    while (count > 0) {
        Integer chunk = static_cast<Integer>(std::min<Int64>(count, std::numeric_limits<Integer>::max()));
        Integer put = Write(p, chunk);
        if (put <= 0) throw EWriteError("Stream write error");
        p += put;
        count -= put;
    }
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr Integer kChunk = 64 * 1024;
    std::vector<Byte> buffer(kChunk);
    Int64 left = count;
    while (left > 0) {
        Integer n = static_cast<Integer>(std::min<Int64>(left, kChunk));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

Integer TCustomMemoryStream::Read(void* buffer, Integer count) {
    if (count <= 0 || position_ >= Size()) return 0;
    Int64 n = std::min<Int64>(count, Size() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return static_cast<Integer>(n);
}

Int64 TCustomMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
    Int64 base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
    Int64 target = base + offset;
    if (target < 0) throw EStreamError("Invalid stream position");
    position_ = target;
    return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
    if (!data_.empty()) stream.WriteBuffer(data_.data(), Size());
}

Integer TMemoryStream::Write(const void* buffer, Integer count) {
    if (count <= 0) return 0;
    Int64 end = position_ + count;
    if (end > Size()) data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

void TMemoryStream::SetSize(Int64 newSize) {
    if (newSize < 0) throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(newSize));
    if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    Int64 n = stream.Size();
    SetSize(n);
    position_ = 0;
    if (n > 0) stream.ReadBuffer(data_.data(), n);
}
