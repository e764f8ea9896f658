// Helpers shared by the decoder tests: files of the shared test data, the entries of an
// archive found by walking its local headers, and a sink that collects the output.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

// One entry as the central directory describes it, with its data bytes.
struct ArchiveEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dos_date_time = 0;  // time in the low 16 bits
    std::uint32_t crc = 0;
    std::uint32_t uncompressed_size = 0;
    Bytes data;  // compressed bytes, encryption header included
};

// Reads the entries of a single-disk archive through its central directory; the data
// starts after each local header's own name and extra field.
inline std::vector<ArchiveEntry> zip_entries(const Bytes& zip) {
    std::vector<ArchiveEntry> entries;
    if (zip.size() < 22) return entries;
    std::size_t eocd = zip.size() - 22;
    while (eocd > 0 && le32(zip, eocd) != 0x06054b50) --eocd;
    if (le32(zip, eocd) != 0x06054b50) return entries;
    const std::uint32_t count = le16(zip, eocd + 10);     // total central records
    std::size_t at = le32(zip, eocd + 16);                 // central directory offset
    for (std::uint32_t i = 0; i < count && at + 46 <= zip.size() && le32(zip, at) == 0x02014b50; ++i) {
        ArchiveEntry e;
        e.flags = static_cast<std::uint16_t>(le16(zip, at + 8));
        e.method = static_cast<std::uint16_t>(le16(zip, at + 10));
        e.dos_date_time = le32(zip, at + 12);
        e.crc = le32(zip, at + 16);
        const std::uint32_t compressed = le32(zip, at + 20);
        e.uncompressed_size = le32(zip, at + 24);
        const std::uint32_t name_length = le16(zip, at + 28);
        const std::uint32_t extra_length = le16(zip, at + 30);
        const std::uint32_t comment_length = le16(zip, at + 32);
        const std::size_t local = le32(zip, at + 42);
        e.name.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 46),
                      zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + name_length));
        const std::size_t data_at = local + 30 + le16(zip, local + 26) + le16(zip, local + 28);
        if (data_at + compressed <= zip.size())
            e.data.assign(zip.begin() + static_cast<std::ptrdiff_t>(data_at),
                          zip.begin() + static_cast<std::ptrdiff_t>(data_at + compressed));
        entries.push_back(std::move(e));
        at += 46 + name_length + extra_length + comment_length;
    }
    return entries;
}

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<Byte>(v));
    b.push_back(static_cast<Byte>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A one-entry archive written field by field, for the peers to test.
inline Bytes single_entry_zip(const std::string& name, std::uint16_t method, std::uint16_t flags, std::uint32_t crc,
                              std::uint32_t uncompressed_size, const Bytes& data,
                              std::uint32_t date_time = 0x5A8A6000 /* 2025-04-10 12:00:00 */) {
    Bytes zip;
    put32(zip, 0x04034b50);  // local header
    put16(zip, 20);          // version needed
    put16(zip, flags);
    put16(zip, method);
    put32(zip, date_time);
    put32(zip, crc);
    put32(zip, static_cast<std::uint32_t>(data.size()));
    put32(zip, uncompressed_size);
    put16(zip, static_cast<std::uint32_t>(name.size()));
    put16(zip, 0);  // extra length
    zip.insert(zip.end(), name.begin(), name.end());
    zip.insert(zip.end(), data.begin(), data.end());
    const auto central = static_cast<std::uint32_t>(zip.size());
    put32(zip, 0x02014b50);  // central record
    put16(zip, 20);          // made by
    put16(zip, 20);          // needed
    put16(zip, flags);
    put16(zip, method);
    put32(zip, date_time);
    put32(zip, crc);
    put32(zip, static_cast<std::uint32_t>(data.size()));
    put32(zip, uncompressed_size);
    put16(zip, static_cast<std::uint32_t>(name.size()));
    put16(zip, 0);   // extra
    put16(zip, 0);   // comment
    put16(zip, 0);   // disk
    put16(zip, 0);   // internal attributes
    put32(zip, 32);  // external attributes
    put32(zip, 0);   // local header offset
    zip.insert(zip.end(), name.begin(), name.end());
    const auto central_size = static_cast<std::uint32_t>(zip.size()) - central;
    put32(zip, 0x06054b50);  // end record
    put16(zip, 0);           // this disk
    put16(zip, 0);           // central directory disk
    put16(zip, 1);           // records on this disk
    put16(zip, 1);           // records in all
    put32(zip, central_size);
    put32(zip, central);
    put16(zip, 0);  // comment length
    return zip;
}

// A fresh temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-zip-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline int run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline void write_file(const std::filesystem::path& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

class VectorSink final : public ByteSink {
public:
    void write(std::span<const Byte> data) override { bytes.insert(bytes.end(), data.begin(), data.end()); }
    Bytes bytes;
};

// Lends a room of its own of the given size, exactly, so that a write past it trips the
// address sanitizer; what is placed there or written after joins `bytes`.
class LendingSink final : public ByteSink {
public:
    explicit LendingSink(std::size_t room) : room_(room) {}
    void write(std::span<const Byte> data) override {
        written_ = true;
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    std::span<Byte> room() override { return room_; }
    void placed(std::size_t n) override {
        if (written_) ADD_FAILURE() << "placed after write";
        if (n > room_.size() - bytes.size()) {
            ADD_FAILURE() << "placed past the room";
            return;
        }
        bytes.insert(bytes.end(), room_.begin() + static_cast<std::ptrdiff_t>(bytes.size()),
                     room_.begin() + static_cast<std::ptrdiff_t>(bytes.size() + n));
    }
    Bytes bytes;

private:
    Bytes room_;
    bool written_ = false;
};

struct Decoded {
    DecodeStatus status;
    Bytes bytes;
};

// Decodes into a plain sink, or with `lent` into a LendingSink of that room.
inline Decoded decode(std::uint16_t method, std::uint16_t flags, const Bytes& data, std::uint64_t declared_size,
                      std::size_t block_size = 16000, std::size_t lent = 0) {
    EntryDecoder decoder;
    MemorySource source(data, block_size);
    if (lent > 0) {
        LendingSink sink(lent);
        const DecodeStatus status = decoder.decode(method, flags, source, sink, declared_size);
        return {status, std::move(sink.bytes)};
    }
    VectorSink sink;
    const DecodeStatus status = decoder.decode(method, flags, source, sink, declared_size);
    return {status, std::move(sink.bytes)};
}

}  // namespace zip::test
