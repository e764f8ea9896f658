// Helpers of the deflate tests: compressing a buffer, inflating with zlib as the control, and
// running Info-ZIP `zip` to get its method-8 data for a file.
#pragma once

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "zip/Deflate.h"

namespace deflate_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::filesystem::path corpusDir() { return std::filesystem::path(TARVIK_SHARED_DIR) / "corpus"; }

// The corpus files, as paths relative to the corpus folder, sorted.
inline std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpusDir())) {
        if (!entry.is_regular_file()) continue;
        const auto rel = std::filesystem::relative(entry.path(), corpusDir());
        if (rel.parent_path().empty()) continue;  // the read-me files at the top
        files.push_back(rel.string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Compressed {
    Bytes data;
    zip::DeflateResult result;
    std::vector<std::size_t> chunks;  // sizes of the sink calls
};

// Compresses `input`, handing it out in reads of at most `readSize` bytes.
inline Compressed compress(zip::Deflater& deflater, const Bytes& input, std::size_t readSize = SIZE_MAX) {
    Compressed out;
    std::size_t pos = 0;
    const zip::DeflateSource source = [&](std::uint8_t* buffer, std::size_t count) {
        const std::size_t n = std::min({count, readSize, input.size() - pos});
        std::copy_n(input.data() + pos, n, buffer);
        pos += n;
        return n;
    };
    const zip::DeflateSink sink = [&](const std::uint8_t* data, std::size_t size) {
        out.data.insert(out.data.end(), data, data + size);
        out.chunks.push_back(size);
    };
    out.result = deflater.compress(source, sink, "test.bin");
    return out;
}

inline Compressed compress(int level, const Bytes& input, std::size_t readSize = SIZE_MAX) {
    zip::Deflater deflater(level);
    return compress(deflater, input, readSize);
}

// Inflates raw deflate data with zlib; fails on any error or trailing garbage.
inline Bytes inflateRaw(const Bytes& data, std::size_t expectedSize) {
    Bytes out(expectedSize + 1);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw std::runtime_error("inflateInit2");
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = out.size() - z.avail_out;
    const uInt left = z.avail_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("inflate failed: " + std::to_string(rc));
    if (left != 0) throw std::runtime_error("bytes after the end of the deflate data");
    out.resize(produced);
    return out;
}

// The stored data of a compressed entry: the bytes themselves for method 0, inflated for 8.
inline Bytes expand(const Compressed& c, std::size_t expectedSize) {
    if (c.result.method == 0) return c.data;
    return inflateRaw(c.data, expectedSize);
}

// Runs `zip -X -<level>` on one file into a fresh archive and returns the method and the raw
// data of its single entry, parsed from the local header.
struct PeerEntry {
    unsigned method = 0;
    Bytes data;
};

inline PeerEntry runZip(const std::filesystem::path& file, int level, const std::filesystem::path& workDir) {
    std::filesystem::create_directories(workDir);
    const auto archive = workDir / ("peer" + std::to_string(level) + ".zip");
    std::filesystem::remove(archive);
    // -j: no folder names; -X: no extra fields; -q: quiet.
    const std::string cmd = "zip -q -X -j -" + std::to_string(level) + " '" + archive.string() + "' '" +
                            file.string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("zip failed: " + cmd);
    const Bytes zipBytes = readFile(archive);
    std::filesystem::remove(archive);
    auto u16 = [&](std::size_t at) { return unsigned(zipBytes.at(at)) | unsigned(zipBytes.at(at + 1)) << 8; };
    auto u32 = [&](std::size_t at) { return u16(at) | std::uint32_t(u16(at + 2)) << 16; };
    // Local header: signature, version, flags, method (offset 8), time, date, CRC,
    // compressed size (18), uncompressed size (22), name length (26), extra length (28), name.
    if (u32(0) != 0x04034b50) throw std::runtime_error("no local header in the peer's archive");
    if (u16(6) & 8) throw std::runtime_error("the peer wrote a data descriptor");
    PeerEntry entry;
    entry.method = u16(8);
    const std::size_t size = u32(18);
    const std::size_t start = 30 + u16(26) + u16(28);
    if (start + size > zipBytes.size()) throw std::runtime_error("peer entry runs past the archive");
    entry.data.assign(zipBytes.begin() + static_cast<std::ptrdiff_t>(start),
                      zipBytes.begin() + static_cast<std::ptrdiff_t>(start + size));
    return entry;
}

inline Bytes randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

// A unique scratch folder for one test.
inline std::filesystem::path scratchDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("tarvik-deflate-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace deflate_test
