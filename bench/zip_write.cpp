// Compression benchmark of the archive writer's deflate: size and speed per corpus file and level,
// against zlib's raw deflate (memLevel 8, 15-bit window) measured in the same run, and size
// against Info-ZIP zip's method-8 data for the same file and level.
//
// Every engine's output is inflated and compared with the input before anything is timed; a
// mismatch aborts the run. The machine is shared: times are the thread's CPU time, the engines
// take turns within each round so that a busy spell hits them alike, and each engine's best
// round counts. The summary per level gives the whole-corpus ratios and the median and the
// geometric mean of the per-file speed ratios (files of 4 KB and more). Usage: zip_write [--levels 1,6,9] [--files substring] [--min-ms N]
//                                           [--no-zip] [--no-update | --only-update]
// The last table times adding one small file to a 200 MB archive (zip_update_bench.h).
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "zip/Deflate.h"
#include "zip_update_bench.h"

namespace {

// Growing a buffer leaves the new bytes uninitialised: zlib's and libdeflate's output buffers are
// sized to the bound before each timed run, and zero-filling them would be timed as theirs.
template <typename T>
struct NoFillAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = NoFillAllocator<U>;
    };
    NoFillAllocator() = default;
    template <typename U>
    NoFillAllocator(const NoFillAllocator<U>&) {}
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using Bytes = std::vector<std::uint8_t, NoFillAllocator<std::uint8_t>>;
namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "zip_write: %s\n", text.c_str());
    std::exit(1);
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One compressor under test: compresses `input` at `level` into `out` (raw deflate data, or the
// stored bytes when `stored` comes back true).
struct Engine {
    const char* name;
    std::function<void(const Bytes& input, int level, Bytes& out, bool& stored)> compress;
};

// Ours: one Deflater per level, reused for every run as the writer reuses it per update.
void compressOurs(const Bytes& input, int level, Bytes& out, bool& stored) {
    static std::map<int, std::unique_ptr<zip::Deflater>> deflaters;
    auto& d = deflaters[level];
    if (!d) d = std::make_unique<zip::Deflater>(level);
    std::size_t pos = 0;
    std::size_t used = 0;
    const zip::DeflateSource source = [&](std::uint8_t* buffer, std::size_t count) {
        const std::size_t n = std::min(count, input.size() - pos);
        std::memcpy(buffer, input.data() + pos, n);
        pos += n;
        return n;
    };
    const zip::DeflateSink sink = [&](const std::uint8_t* data, std::size_t size) {
        if (out.size() < used + size) out.resize(std::max(2 * out.size(), used + size));
        std::memcpy(out.data() + used, data, size);
        used += size;
    };
    stored = d->compress(source, sink).method == 0;
    out.resize(used);
}

// zlib: raw deflate, memLevel 8, default strategy; the stream is reset between runs.
void compressZlib(const Bytes& input, int level, Bytes& out, bool& stored) {
    static std::map<int, z_stream*> streams;
    z_stream*& z = streams[level];
    if (!z) {
        z = new z_stream{};
        if (deflateInit2(z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) fail("deflateInit2");
    } else {
        deflateReset(z);
    }
    out.resize(deflateBound(z, input.size()));
    z->next_in = const_cast<Bytef*>(input.data());
    z->avail_in = static_cast<uInt>(input.size());
    z->next_out = out.data();
    z->avail_out = static_cast<uInt>(out.size());
    if (deflate(z, Z_FINISH) != Z_STREAM_END) fail("zlib deflate did not finish");
    out.resize(out.size() - z->avail_out);
    stored = false;
}

void compressLibdeflate(const Bytes& input, int level, Bytes& out, bool& stored) {
    static std::map<int, libdeflate_compressor*> compressors;
    auto*& c = compressors[level];
    if (!c) c = libdeflate_alloc_compressor(level);
    out.resize(libdeflate_deflate_compress_bound(c, input.size()));
    out.resize(libdeflate_deflate_compress(c, input.data(), input.size(), out.data(), out.size()));
    stored = false;
}

const Engine kEngines[] = {
    {"ours", compressOurs},
    {"zlib", compressZlib},
    {"libdeflate", compressLibdeflate},
};

Bytes inflateRaw(const Bytes& data, std::size_t size) {
    Bytes out(size + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    if (rc != Z_STREAM_END) out.clear();
    return out;
}

// Size of zip's method-8 data for the file at `level`; 0 when zip stored the file.
std::size_t zipSize(const fs::path& file, int level, const fs::path& scratch) {
    const fs::path archive = scratch / "bench.zip";
    fs::remove(archive);
    const std::string cmd = "zip -q -X -j -" + std::to_string(level) + " '" + archive.string() + "' '" +
                            file.string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) fail("zip failed: " + cmd);
    const Bytes z = readFile(archive);
    if (z.size() < 30) fail("short archive from zip");
    const unsigned method = z[8] | z[9] << 8;
    const std::size_t size = z[18] | z[19] << 8 | z[20] << 16 | std::size_t(z[21]) << 24;
    return method == 8 ? size : 0;
}

// Best time of each job over at least 3 rounds and until every job has run `minSeconds` in all;
// in a round every job runs once, in turn.
std::vector<double> secondsOf(const std::vector<std::function<void()>>& jobs, double minSeconds) {
    std::vector<double> best(jobs.size(), 1e30), total(jobs.size(), 0);
    for (int round = 0; round < 3 || *std::min_element(total.begin(), total.end()) < minSeconds; ++round) {
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            const double t0 = benchstats::ThreadCpuSeconds();
            jobs[k]();
            const double s = benchstats::ThreadCpuSeconds() - t0;
            best[k] = std::min(best[k], s);
            total[k] += s;
        }
    }
    return best;
}

struct Totals {
    double input = 0;
    std::map<std::string, double> size;
    std::map<std::string, double> seconds;
    double zip = 0;
    double oursWhereZip = 0;
    std::vector<double> speedZlib;  // per file of 4 KB and more: ours/zlib
    std::vector<double> speedLd;    // and ours/libdeflate
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> levels{1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::string filter;
    double minSeconds = 0.3;
    bool runZip = true;
    bool runUpdate = true;
    bool onlyUpdate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--levels" && i + 1 < argc) {
            levels.clear();
            for (const char* p = argv[++i]; *p;) {
                levels.push_back(std::atoi(p));
                while (*p && *p != ',') ++p;
                if (*p == ',') ++p;
            }
        } else if (arg == "--files" && i + 1 < argc) {
            filter = argv[++i];
        } else if (arg == "--min-ms" && i + 1 < argc) {
            minSeconds = std::atof(argv[++i]) / 1000;
        } else if (arg == "--no-zip") {
            runZip = false;
        } else if (arg == "--no-update") {
            runUpdate = false;
        } else if (arg == "--only-update") {
            onlyUpdate = true;
        } else {
            fail("unknown argument " + arg);
        }
    }

    const fs::path corpus = fs::path(TARVIK_SHARED_DIR) / "corpus";
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
        if (e.is_regular_file() && !fs::relative(e.path(), corpus).parent_path().empty() &&
            e.path().string().find(filter) != std::string::npos)
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    const fs::path scratch = fs::temp_directory_path() / ("tarvik-zip-write-" + std::to_string(::getpid()));
    fs::create_directories(scratch);

    std::printf("deflate benchmark: ours vs zlib %s (raw, memLevel 8, windowBits -15) and libdeflate; sizes vs zip 3.0\n",
                zlibVersion());
    const int core = benchstats::PinToCurrentCore();
    std::printf("corpus %s, %zu files; best of >= 3 runs and >= %.0f ms per engine; %s\n", corpus.c_str(),
                files.size(), minSeconds * 1000,
                core < 0 ? "not kept on one core" : ("on core " + std::to_string(core)).c_str());
    std::printf("%-26s %2s %9s %9s %9s %7s %9s %7s %8s %8s %8s %6s\n", "file", "lv", "input", "ours", "zlib", "o/zlib",
                "zip", "o/zip", "MB/s", "zlibMB/s", "ldMB/s", "speed");

    std::map<int, Totals> totals;
    if (onlyUpdate) levels.clear();
    for (int level : levels) {
        Totals& t = totals[level];
        for (const auto& file : files) {
            const Bytes input = readFile(file);
            std::map<std::string, Bytes> out;
            std::map<std::string, double> mbps;
            std::vector<std::function<void()>> jobs;
            for (const Engine& e : kEngines) {
                Bytes& o = out[e.name];
                bool stored = false;
                e.compress(input, level, o, stored);
                const Bytes back = stored ? o : inflateRaw(o, input.size());
                if (back != input) fail(std::string(e.name) + " round trip failed on " + file.string());
                jobs.push_back([&e, &input, level, &o] {
                    bool ignored = false;
                    e.compress(input, level, o, ignored);
                });
            }
            const std::vector<double> seconds = secondsOf(jobs, minSeconds);
            for (std::size_t k = 0; k < std::size(kEngines); ++k) {
                const Engine& e = kEngines[k];
                mbps[e.name] = input.size() / seconds[k] / 1e6;
                t.size[e.name] += out[e.name].size();
                t.seconds[e.name] += seconds[k];
            }
            if (input.size() >= 4096) {
                t.speedZlib.push_back(mbps["ours"] / mbps["zlib"]);
                t.speedLd.push_back(mbps["ours"] / mbps["libdeflate"]);
            }
            t.input += input.size();
            const std::size_t ours = out["ours"].size();
            const std::size_t zlib = out["zlib"].size();
            const std::size_t zip = runZip ? zipSize(file, level, scratch) : 0;
            if (zip) {
                t.zip += zip;
                t.oursWhereZip += ours;
            }
            char zipText[32] = "-";
            char zipRatio[32] = "-";
            if (zip) {
                std::snprintf(zipText, sizeof zipText, "%zu", zip);
                std::snprintf(zipRatio, sizeof zipRatio, "%.4f", double(ours) / zip);
            }
            std::printf("%-26s %2d %9zu %9zu %9zu %7.4f %9s %7s %8.1f %8.1f %8.1f %6.2f\n",
                        fs::relative(file, corpus).c_str(), level, input.size(), ours, zlib, double(ours) / zlib,
                        zipText, zipRatio, mbps["ours"], mbps["zlib"], mbps["libdeflate"], mbps["ours"] / mbps["zlib"]);
        }
    }

    std::printf("\nper level, whole corpus; then median / geometric mean of the per-file speed ratios (files of 4 KB "
                "and more):\n");
    std::printf("%2s %10s %10s %10s %8s %8s %9s %9s %9s %7s %13s %13s\n", "lv", "input", "ours", "zlib", "o/zlib", "o/zip",
                "MB/s", "zlibMB/s", "ldMB/s", "speed", "o/zlib md/gm", "o/ld md/gm");
    for (int level : levels) {
        Totals& t = totals[level];
        const double ours = t.input / t.seconds["ours"] / 1e6;
        const double zlib = t.input / t.seconds["zlib"] / 1e6;
        const double zlibMedian = benchstats::Median(t.speedZlib), zlibGeomean = benchstats::GeometricMean(t.speedZlib);
        const double ldMedian = benchstats::Median(t.speedLd), ldGeomean = benchstats::GeometricMean(t.speedLd);
        std::printf("%2d %10.0f %10.0f %10.0f %8.4f %8s %9.1f %9.1f %9.1f %7.2f %6.2f/%-6.2f %6.2f/%-6.2f\n", level,
                    t.input, t.size["ours"], t.size["zlib"], t.size["ours"] / t.size["zlib"],
                    t.zip ? std::to_string(t.oursWhereZip / t.zip).substr(0, 6).c_str() : "-", ours, zlib,
                    t.input / t.seconds["libdeflate"] / 1e6, ours / zlib, zlibMedian, zlibGeomean, ldMedian, ldGeomean);
    }
    if (runUpdate && !updatebench::Run(scratch)) fail("the update benchmark's archive did not read back");
    fs::remove_all(scratch);
    return 0;
}
