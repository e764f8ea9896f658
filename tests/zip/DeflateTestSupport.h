// Helpers of the deflate tests: compressing a buffer, inflating with zlib as the control, and
// running Info-ZIP `zip` to get its method-8 data for a file.
#pragma once

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The corpus files, as paths relative to the corpus folder, sorted; none when the corpus is not
// beside the checkout (test lists are built from this, so it must never throw).
inline std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(corpusDir(), ec)) return files;
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
    unsigned internalAttributes = 0;
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
    // The central header follows the data; its internal attributes sit at offset 36.
    if (u32(start + size) != 0x02014b50) throw std::runtime_error("no central header after the entry");
    entry.internalAttributes = u16(start + size + 36);
    return entry;
}

inline Bytes randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

// A small independent reader of deflate data that reports the block structure, so that tests can
// check block types and match lengths (zlib reports neither).
struct BlockInfo {
    unsigned type = 0;  // 0 stored, 1 static trees, 2 dynamic trees
    bool last = false;
    std::size_t outputBytes = 0;
};
struct StreamInfo {
    std::vector<BlockInfo> blocks;
    unsigned longestMatch = 0;
    unsigned farthestMatch = 0;
};

class BlockReader {
public:
    explicit BlockReader(const Bytes& data) : data_(data) {}

    StreamInfo read() {
        StreamInfo info;
        do {
            BlockInfo block;
            block.last = bits(1) != 0;
            block.type = bits(2);
            if (block.type == 0) {
                bit_ = (bit_ + 7) & ~std::size_t{7};
                const unsigned len = bits(16);
                if ((bits(16) ^ len) != 0xFFFF) throw std::runtime_error("stored length check");
                bit_ += 8 * std::size_t{len};
                block.outputBytes = len;
            } else if (block.type == 1) {
                std::vector<unsigned> lengths(288 + 30);
                for (unsigned n = 0; n < 288; ++n) lengths[n] = n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8;
                for (unsigned n = 288; n < 318; ++n) lengths[n] = 5;
                symbols(lengths, 288, block, info);
            } else if (block.type == 2) {
                const unsigned nlit = bits(5) + 257, ndist = bits(5) + 1, nlen = bits(4) + 4;
                static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
                std::vector<unsigned> lenLengths(19);
                for (unsigned i = 0; i < nlen; ++i) lenLengths[order[i]] = bits(3);
                const Huffman lenCode(lenLengths.data(), 19);
                std::vector<unsigned> lengths;
                while (lengths.size() < nlit + ndist) {
                    const unsigned sym = decode(lenCode);
                    if (sym < 16) {
                        lengths.push_back(sym);
                    } else if (sym == 16) {
                        if (lengths.empty()) throw std::runtime_error("repeat without a length");
                        lengths.insert(lengths.end(), 3 + bits(2), lengths.back());
                    } else {
                        lengths.insert(lengths.end(), sym == 17 ? 3 + bits(3) : 11 + bits(7), 0u);
                    }
                }
                if (lengths.size() != nlit + ndist) throw std::runtime_error("code lengths overrun");
                symbols(lengths, nlit, block, info);
            } else {
                throw std::runtime_error("reserved block type");
            }
            info.blocks.push_back(block);
        } while (!info.blocks.back().last);
        return info;
    }

private:
    struct Huffman {
        // (length, code) -> symbol, canonical.
        std::vector<std::vector<int>> byLength;
        Huffman(const unsigned* lengths, unsigned count) : byLength(16) {
            unsigned code = 0;
            for (unsigned len = 1; len < 16; ++len) {
                for (unsigned n = 0; n < count; ++n)
                    if (lengths[n] == len) byLength[len].push_back(static_cast<int>(n));
                first[len] = code;
                code = (code + static_cast<unsigned>(byLength[len].size())) << 1;
            }
        }
        unsigned first[16] = {};
    };

    unsigned bits(unsigned n) {
        unsigned v = 0;
        for (unsigned i = 0; i < n; ++i, ++bit_) {
            if (bit_ / 8 >= data_.size()) throw std::runtime_error("read past the data");
            v |= ((data_[bit_ / 8] >> (bit_ % 8)) & 1u) << i;
        }
        return v;
    }
    unsigned decode(const Huffman& h) {
        unsigned code = 0;
        for (unsigned len = 1; len < 16; ++len) {
            code = (code << 1) | bits(1);
            const unsigned index = code - h.first[len];
            if (code >= h.first[len] && index < h.byLength[len].size()) return static_cast<unsigned>(h.byLength[len][index]);
        }
        throw std::runtime_error("bad code");
    }
    void symbols(const std::vector<unsigned>& lengths, unsigned nlit, BlockInfo& block, StreamInfo& info) {
        static const unsigned lbase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const unsigned lext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const unsigned dbase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const unsigned dext[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        const Huffman lit(lengths.data(), nlit);
        const Huffman dist(lengths.data() + nlit, static_cast<unsigned>(lengths.size()) - nlit);
        for (;;) {
            const unsigned sym = decode(lit);
            if (sym < 256) {
                ++block.outputBytes;
            } else if (sym == 256) {
                return;
            } else {
                const unsigned length = lbase[sym - 257] + bits(lext[sym - 257]);
                const unsigned d = decode(dist);
                const unsigned distance = dbase[d] + bits(dext[d]);
                block.outputBytes += length;
                info.longestMatch = std::max(info.longestMatch, length);
                info.farthestMatch = std::max(info.farthestMatch, distance);
            }
        }
    }

    const Bytes& data_;
    std::size_t bit_ = 0;
};

// A unique scratch folder for one test.
inline std::filesystem::path scratchDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("tarvik-deflate-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace deflate_test
