#include "detail/FileBytes.h"

#include "platform/FileStream.h"

namespace platform::detail {

std::vector<Byte> ReadFileBytes(const String& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    std::vector<Byte> bytes(static_cast<std::size_t>(stream.Size()));
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    return bytes;
}

void WriteFileBytes(const String& FileName, const std::vector<Byte>& Bytes) {
    TFileStream stream(FileName, fmCreate);
    if (!Bytes.empty()) stream.WriteBuffer(Bytes.data(), static_cast<Int64>(Bytes.size()));
}

bool TryReadFileBytes(const String& FileName, std::vector<Byte>& Bytes) {
    Bytes.clear();
    try {
        Bytes = ReadFileBytes(FileName);
        return true;
    } catch (EStreamError&) {
        return false;
    }
}

}  // namespace platform::detail
