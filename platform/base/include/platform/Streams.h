// Streams: the abstract TStream and the in-memory TMemoryStream.
//
// File streams derive from TStream elsewhere in the layer. Sizes and positions are 64-bit;
// a single Read or Write moves at most an Integer count. ReadBuffer/WriteBuffer raise on a
// short transfer, so callers never carry on with half a record.
#pragma once

#include <vector>

#include "platform/Exceptions.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
inline constexpr TSeekOrigin soBeginning = TSeekOrigin::soBeginning;
inline constexpr TSeekOrigin soCurrent = TSeekOrigin::soCurrent;
inline constexpr TSeekOrigin soEnd = TSeekOrigin::soEnd;

class TStream {
public:
    virtual ~TStream();

    // Moves up to count bytes; returns how many moved (0 at the end).
    virtual Integer Read(void* buffer, Integer count) = 0;
    virtual Integer Write(const void* buffer, Integer count) = 0;
    virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

    Int64 Position() { return Seek(0, soCurrent); }
    void SetPosition(Int64 position) { Seek(position, soBeginning); }
    virtual Int64 Size();
    virtual void SetSize(Int64 newSize);

    // Whole transfers: raise EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* buffer, Int64 count);
    void WriteBuffer(const void* buffer, Int64 count);
    // Copies count bytes from source's position; count 0 copies all of source from its start.
    Int64 CopyFrom(TStream& source, Int64 count);
};

class TCustomMemoryStream : public TStream {
public:
    Integer Read(void* buffer, Integer count) override;
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;
    Int64 Size() override { return static_cast<Int64>(data_.size()); }

    const Byte* Memory() const { return data_.data(); }
    Byte* Memory() { return data_.data(); }
    void SaveToStream(TStream& stream);

protected:
    std::vector<Byte> data_;
    Int64 position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    Integer Write(const void* buffer, Integer count) override;
    void SetSize(Int64 newSize) override;
    void Clear();
    void LoadFromStream(TStream& stream);
    // The bytes as they stand, for tests and small helpers.
    const std::vector<Byte>& Bytes() const { return data_; }
};
