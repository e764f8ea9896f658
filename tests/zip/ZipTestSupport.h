// Helpers shared by the decoder tests: files of the shared test data, the entries of an
// archive found by walking its local headers, and a sink that collects the output.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zip/Decoder.h"

namespace zip::test {

using Bytes = std::vector<Byte>;

inline Bytes read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline std::string shared_path(const std::string& relative) { return std::string(TARVIK_SHARED_DIR) + "/" + relative; }

inline std::uint32_t le16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
inline std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

// One entry as its local header describes it, with its data bytes.
struct LocalEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dos_date_time = 0;
    std::uint32_t crc = 0;
    std::uint32_t uncompressed_size = 0;
    Bytes data;  // compressed bytes, encryption header included
};

// Walks the local headers from the start of the archive. Only archives whose local
// headers carry sizes (no data descriptor) are used with it.
inline std::vector<LocalEntry> local_entries(const Bytes& zip) {
    std::vector<LocalEntry> entries;
    std::size_t at = 0;
    while (at + 30 <= zip.size() && le32(zip, at) == 0x04034b50) {
        LocalEntry e;
        e.flags = static_cast<std::uint16_t>(le16(zip, at + 6));   // general purpose flags
        e.method = static_cast<std::uint16_t>(le16(zip, at + 8));  // compression method
        e.dos_date_time = le32(zip, at + 10);                      // time low, date high
        e.crc = le32(zip, at + 14);
        const std::uint32_t compressed = le32(zip, at + 18);
        e.uncompressed_size = le32(zip, at + 22);
        const std::uint32_t name_length = le16(zip, at + 26);
        const std::uint32_t extra_length = le16(zip, at + 28);
        const std::size_t data_at = at + 30 + name_length + extra_length;
        if (data_at + compressed > zip.size()) break;
        e.name.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 30),
                      zip.begin() + static_cast<std::ptrdiff_t>(at + 30 + name_length));
        e.data.assign(zip.begin() + static_cast<std::ptrdiff_t>(data_at),
                      zip.begin() + static_cast<std::ptrdiff_t>(data_at + compressed));
        entries.push_back(std::move(e));
        at = data_at + compressed;
    }
    return entries;
}

class VectorSink final : public ByteSink {
public:
    void write(std::span<const Byte> data) override { bytes.insert(bytes.end(), data.begin(), data.end()); }
    Bytes bytes;
};

struct Decoded {
    DecodeStatus status;
    Bytes bytes;
};

inline Decoded decode(std::uint16_t method, std::uint16_t flags, const Bytes& data, std::uint64_t declared_size,
                      std::size_t block_size = 16000) {
    EntryDecoder decoder;
    MemorySource source(data, block_size);
    VectorSink sink;
    const DecodeStatus status = decoder.decode(method, flags, source, sink, declared_size);
    return {status, std::move(sink.bytes)};
}

}  // namespace zip::test
