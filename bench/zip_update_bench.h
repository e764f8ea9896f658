// Update benchmark of the archive writer: adding one small file to an archive of 1,000
// entries and 200 MB, against a plain copy of the archive made in the same run. The update
// writes a new file, makes it durable (fsync) and renames it over the old archive, whose
// blocks the file system then frees; so the fair baseline does the same: a copy into a new
// file, fsync, and a rename over an existing file of the same size. A copy with fsync over a
// truncated file and a copy without fsync are shown beside it.
// The result is checked (the new entry reads back, every entry's CRC tests) before timing.
// The three runs take turns in each round, so that a busy spell of the shared disk hits them
// alike; the table shows each one's best and median wall time and its CPU time (user and
// system), which the disk's other traffic does not inflate.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "platform/Drives.h"
#include "zip/Zipper.h"

namespace updatebench {

namespace fs = std::filesystem;

// Wall and CPU seconds of one run.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// Every run starts with no dirty data in the page cache: the copy without fsync leaves 200 MB
// of it, and its writeback would otherwise land on whichever run comes next.
inline Timing TimeOf(const std::function<void()>& run) {
    ::sync();
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds() - cpu};
}

// Best and median wall time and the median CPU time of several rounds.
struct Times {
    double best = 0;
    double median = 0;
    double cpu = 0;
};

inline Times Summarize(std::vector<Timing> t) {
    std::vector<double> wall, cpu;
    for (const Timing& x : t) {
        wall.push_back(x.wall);
        cpu.push_back(x.cpu);
    }
    return {*std::min_element(wall.begin(), wall.end()), benchstats::Median(wall), benchstats::Median(cpu)};
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
    std::vector<Timing> copyFair, copySync, copyPlain, ours;
    CopyFile(scratch / "big.zip", scratch / "replaced.zip", false);
    for (int round = 0; round < 5; ++round) {
        copyFair.push_back(TimeOf([&] {
            CopyFile(scratch / "big.zip", scratch / "fresh.zip", true);
            fs::rename(scratch / "fresh.zip", scratch / "replaced.zip");
        }));
        copySync.push_back(TimeOf([&] { CopyFile(scratch / "big.zip", scratch / "copy.zip", true); }));
        copyPlain.push_back(TimeOf([&] { CopyFile(scratch / "big.zip", scratch / "copy.zip", false); }));
        ours.push_back(TimeOf(update));
    }
    const Times fair = Summarize(copyFair), sync = Summarize(copySync), plain = Summarize(copyPlain),
                mine = Summarize(ours);
    std::printf("\nupdate: add one small file to an archive of 1,000 entries, %.0f MB; 5 rounds, runs in turn\n",
                size / 1e6);
    std::printf("%-24s %9s %9s %9s %11s %11s\n", "", "best s", "median s", "CPU s", "ours/x best", "ours/x med");
    std::printf("%-24s %9.3f %9.3f %9.3f %11s %11s\n", "update (ours)", mine.best, mine.median, mine.cpu, "-", "-");
    std::printf("%-24s %9.3f %9.3f %9.3f %11.2f %11.2f\n", "copy, fsync, rename over", fair.best, fair.median,
                fair.cpu, mine.best / fair.best, mine.median / fair.median);
    std::printf("%-24s %9.3f %9.3f %9.3f %11.2f %11.2f\n", "copy + fsync, truncated", sync.best, sync.median, sync.cpu,
                mine.best / sync.best, mine.median / sync.median);
    std::printf("%-24s %9.3f %9.3f %9.3f %11.2f %11.2f\n", "plain copy, no fsync", plain.best, plain.median, plain.cpu,
                mine.best / plain.best, mine.median / plain.median);
    fs::remove(scratch / "copy.zip");
    fs::remove(scratch / "replaced.zip");
    fs::remove(scratch / "big.zip");
    fs::remove_all(src);
    return true;
}

}  // namespace updatebench
