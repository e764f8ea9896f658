// Directory and extraction part of the reading benchmark: reading the directory of a
// 65,000-entry archive, and extracting one 256 MiB entry while watching peak memory, which
// must not grow with the entry's size. Archives are written through the layer's files into
// a private profile; every result is verified before it is timed.
#pragma once

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "zip/UnZipper.h"
#include "zip/ZipConstants.h"
#include "zip/ZipRecords.h"

namespace readbench {

inline long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "MISMATCH: %s\n", what.c_str());
    std::exit(1);
}

// An archive of `count` stored entries of a few bytes each, named like a backup's entries.
inline void WriteManyEntries(const String& name, int count) {
    TFileStream out(name, fmCreate);
    std::vector<TZipHeaderInfo> headers(static_cast<size_t>(count));
    const Byte data[8] = {'e', 'n', 't', 'r', 'y', '0', '0', '\n'};
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, data, sizeof data));
    for (int i = 0; i < count; ++i) {
        TZipHeaderInfo& h = headers[static_cast<size_t>(i)];
        char dir[64];
        std::snprintf(dir, sizeof dir, "2026-01-%02d %06d", 1 + i % 28, i);
        h.SetDirectory(dir);
        h.SetFileName("C\\Data\\watched file.doc");
        h.Method = 0;
        h.CRC = crc;
        h.CompressedSize = h.UncompressedSize = sizeof data;
        h.DateTime = (0x5C21u << 16) | 0x6000;
        h.SaveLocalToStream(out);
        out.WriteBuffer(data, sizeof data);
    }
    TEndCentral end;
    end.CentralOffset = static_cast<LongWord>(out.Position());
    for (auto& h : headers) h.SaveCentralToStream(out);
    end.CentralSize = static_cast<LongWord>(out.Position()) - end.CentralOffset;
    end.TotalEntries = end.EntriesThisDisk = static_cast<Word>(count);
    end.SaveToStream(out);
}

// One deflated entry of `size` bytes, compressed in pieces so that writing it needs no
// memory of its size either.
inline void WriteBigEntry(const String& name, Int64 size) {
    TFileStream out(name, fmCreate);
    TZipHeaderInfo h;
    h.SetFileName("big.bin");
    h.SaveLocalToStream(out);
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<Byte> in(1 << 20), buf(1 << 20);
    uLong crc = crc32(0, nullptr, 0);
    Int64 done = 0, packed = 0;
    while (done < size) {
        const size_t n = static_cast<size_t>(std::min<Int64>(size - done, static_cast<Int64>(in.size())));
        for (size_t i = 0; i < n; ++i) in[i] = static_cast<Byte>(((done + static_cast<Int64>(i)) * 2654435761u) >> 24);
        crc = crc32(crc, in.data(), static_cast<uInt>(n));
        done += static_cast<Int64>(n);
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        const int flush = done == size ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buf.data();
            z.avail_out = static_cast<uInt>(buf.size());
            deflate(&z, flush);
            const size_t have = buf.size() - z.avail_out;
            out.WriteBuffer(buf.data(), static_cast<Int64>(have));
            packed += static_cast<Int64>(have);
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in != 0));
    }
    deflateEnd(&z);
    h.CRC = static_cast<LongWord>(crc);
    h.CompressedSize = static_cast<LongWord>(packed);
    h.UncompressedSize = static_cast<LongWord>(size);
    const Int64 central = out.Position();
    out.SetPosition(0);
    h.SaveLocalToStream(out);
    out.SetPosition(central);
    TEndCentral end;
    end.CentralOffset = static_cast<LongWord>(central);
    h.SaveCentralToStream(out);
    end.CentralSize = static_cast<LongWord>(out.Position() - central);
    end.TotalEntries = end.EntriesThisDisk = 1;
    end.SaveToStream(out);
}

inline void Run() {
    const std::string root = std::filesystem::temp_directory_path() / ("tarvik-bench-" + std::to_string(::getpid()));
    ::setenv("TARVIK_PROFILE", (root + "/profile").c_str(), 1);
    const String temp = platform::FromPosixPath(root);
    ForceDirectories(temp);

    std::printf("\ndirectory and extraction\n");
    const int kEntries = 65000;
    const String many = temp + "\\many.zip";
    WriteManyEntries(many, kEntries);
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        TUnZipper z;
        z.SetZipName(many);
        const auto start = std::chrono::steady_clock::now();
        z.ReadZip();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (z.Count() != kEntries || z.Filename(0) != "watched file.doc" || z.Entry(kEntries - 1).CompressedSize != 8)
            Fail("directory of the 65,000-entry archive");
        best = std::min(best, ms);
    }
    std::printf("read directory of %d entries: %.1f ms (goal under 100 ms)\n", kEntries, best);
    {
        TUnZipper z;
        z.SetZipName(many);
        z.ReadZip();
        for (TZipSortMode mode : {TZipSortMode::ByName, TZipSortMode::ByDate}) {
            const auto start = std::chrono::steady_clock::now();
            z.Sort(mode);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (z.Count() != kEntries) Fail("sorted view");
            std::printf("sort %d entries %s: %.1f ms\n", kEntries, mode == TZipSortMode::ByName ? "by name" : "by date", ms);
        }
    }

    for (Int64 mib : {32, 256}) {
        const String big = temp + "\\big" + std::to_string(mib) + ".zip";
        WriteBigEntry(big, mib << 20);
        const long before = PeakRssKiB();
        TUnZipper z;
        z.SetZipName(big);
        z.SetDestDir(temp + "\\out" + std::to_string(mib));
        z.DoAll = true;
        z.DoProcessMessages = false;
        const auto start = std::chrono::steady_clock::now();
        if (z.UnZip() != 1) Fail("extraction of the big entry (CRC)");
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const long after = PeakRssKiB();
        std::printf("extract %3lld MiB entry: %.2f s, %.0f MB/s, peak memory %ld KiB (grew %ld KiB)\n",
                    static_cast<long long>(mib), s, static_cast<double>(mib << 20) / s / 1e6, after, after - before);
        DeleteFile(big);
        DeleteFile(temp + "\\out" + std::to_string(mib) + "\\big.bin");
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

}  // namespace readbench
