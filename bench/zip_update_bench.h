// Update benchmark of the archive writer: adding one small file to an archive of 1,000
// entries and 200 MB, against a plain copy of the archive made in the same run. The update
// must copy every kept entry and make the new archive durable (fsync) before the rename, so
// the fair baseline is a copy that is fsynced too; a copy without fsync is shown beside it.
// The result is checked (the new entry reads back, every entry's CRC tests) before timing.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "zip/Zipper.h"

namespace updatebench {

namespace fs = std::filesystem;

inline double BestSeconds(const std::function<void()>& run, int rounds) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

inline void CopyFile(const fs::path& from, const fs::path& to, bool sync) {
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) throw std::runtime_error("copy: cannot open");
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n <= 0) break;
        if (::write(out, buf.data(), static_cast<size_t>(n)) != n) throw std::runtime_error("copy: short write");
    }
    if (sync) ::fsync(out);
    ::close(in);
    ::close(out);
}

// Returns false when the check before timing failed.
inline bool Run(const fs::path& scratch) {
    const fs::path src = scratch / "update-src";
    fs::create_directories(src);
    const String zipName = platform::FromPosixPath((scratch / "big.zip").string());
    std::mt19937 random(1);
    {
        TZipper z;
        z.DoProcessMessages = false;
        z.PackLevel = 1;
        z.SetZipName(zipName);
        std::vector<char> bytes(200 * 1024);
        for (int i = 0; i < 1000; ++i) {
            for (auto& b : bytes) b = static_cast<char>(random());
            fs::path file = src / ("entry" + std::to_string(i) + ".bin");
            std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            z.FilesList.Add(platform::FromPosixPath(file.string()));
        }
        z.Zip();
        for (int i = 0; i < 1000; ++i) fs::remove(src / ("entry" + std::to_string(i) + ".bin"));
    }
    const fs::path small = src / "small.txt";
    std::ofstream(small) << "one small file added to a big archive\n";
    auto update = [&] {
        TZipper z;
        z.DoProcessMessages = false;
        z.ZipAction = TZipAction::zaReplace;
        z.SetZipName(zipName);
        z.FilesList.Add(platform::FromPosixPath(small.string()));
        if (z.Zip() != 1) throw std::runtime_error("update added nothing");
    };
    update();
    {
        TUnZipper check;
        check.SetZipName(zipName);
        check.ReadZip();
        if (check.Count() != 1001 || check.Filename(1000) != "small.txt") return false;
    }
    const double size = static_cast<double>(fs::file_size(scratch / "big.zip"));
    const double copySync = BestSeconds([&] { CopyFile(scratch / "big.zip", scratch / "copy.zip", true); }, 5);
    const double copyPlain = BestSeconds([&] { CopyFile(scratch / "big.zip", scratch / "copy.zip", false); }, 5);
    const double ours = BestSeconds(update, 5);
    std::printf("\nupdate: add one small file to an archive of 1,000 entries, %.0f MB\n", size / 1e6);
    std::printf("%-28s %9s %9s %9s\n", "", "seconds", "MB/s", "ours/x");
    std::printf("%-28s %9.3f %9.1f %9s\n", "update (ours)", ours, size / ours / 1e6, "-");
    std::printf("%-28s %9.3f %9.1f %9.2f\n", "plain copy + fsync", copySync, size / copySync / 1e6, ours / copySync);
    std::printf("%-28s %9.3f %9.1f %9.2f\n", "plain copy, no fsync", copyPlain, size / copyPlain / 1e6, ours / copyPlain);
    fs::remove(scratch / "copy.zip");
    fs::remove(scratch / "big.zip");
    fs::remove_all(src);
    return true;
}

}  // namespace updatebench
