// Reading speed of the zip engine: inflate throughput against zlib's raw inflate and
// libdeflate, and CRC-32 throughput against zlib's crc32, on every corpus file and on
// their concatenation. Every engine's output is verified before it is timed; a mismatch
// aborts the run.
//
// The machine is shared: times are the thread's CPU time (time spent waiting for a core does
// not count), and the engines take turns within each round, so that a busy spell hits them
// alike; each engine's best round counts. The summary gives the median and the geometric mean
// of the per-file ratios (files of 4 KB and more), and the whole-corpus ratios.
//
// Usage: zip_read [corpus folder]   (default: the shared corpus)
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "zip/Crc32.h"
#include "zip/Decoder.h"
#include "zip/Inflate.h"
#include "zip_read_directory.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes read_file(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "MISMATCH: %s\n", what.c_str());
    std::exit(1);
}

Bytes zlib_deflate(const Bytes& input, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, input.size()));
    z.next_in = const_cast<unsigned char*>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) fail("zlib deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Gathers the output in a buffer the size of the output, as the other engines write
// theirs: it lends the buffer's room, so the decoder writes there in place, and copies
// whatever comes by write().
class BufferSink final : public zip::ByteSink {
public:
    explicit BufferSink(Bytes& buffer) : buffer_(buffer) {}
    void write(std::span<const Byte> data) override {
        if (data.size() > buffer_.size() - used_) fail("sink overflow");
        std::memcpy(buffer_.data() + used_, data.data(), data.size());
        used_ += data.size();
    }
    std::span<Byte> room() override { return {buffer_.data() + used_, buffer_.size() - used_}; }
    void placed(std::size_t n) override {
        if (n > buffer_.size() - used_) fail("sink overflow");
        used_ += n;
    }
    std::size_t used() const { return used_; }

private:
    Bytes& buffer_;
    std::size_t used_ = 0;
};

// One inflate engine: decodes `stream` into `out` (sized to the expected output) and
// returns the number of bytes produced.
struct InflateEngine {
    const char* name;
    std::function<std::size_t(const Bytes& stream, Bytes& out)> run;
};

std::vector<InflateEngine> inflate_engines() {
    static zip::Inflater inflater;
    static z_stream z = [] {
        z_stream s{};
        inflateInit2(&s, -15);
        return s;
    }();
    static libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
    return {
        {"ours",
         [](const Bytes& stream, Bytes& out) -> std::size_t {
             zip::MemorySource source(stream);
             BufferSink sink(out);
             if (inflater.run(source, sink, out.size()) != zip::DecodeStatus::Ok) return 0;
             return sink.used();
         }},
        {"zlib",
         [](const Bytes& stream, Bytes& out) -> std::size_t {
             inflateReset(&z);
             z.next_in = const_cast<unsigned char*>(stream.data());
             z.avail_in = static_cast<uInt>(stream.size());
             z.next_out = out.data();
             z.avail_out = static_cast<uInt>(out.size());
             if (inflate(&z, Z_FINISH) != Z_STREAM_END) return 0;
             return z.total_out;
         }},
        {"libdeflate",
         [](const Bytes& stream, Bytes& out) -> std::size_t {
             std::size_t n = 0;
             if (libdeflate_deflate_decompress(ld, stream.data(), stream.size(), out.data(), out.size(), &n) !=
                 LIBDEFLATE_SUCCESS)
                 return 0;
             return n;
         }},
    };
}

struct CrcEngine {
    const char* name;
    std::function<std::uint32_t(const Bytes&)> run;
};

std::vector<CrcEngine> crc_engines() {
    return {
        {"ours", [](const Bytes& b) { return zip::crc32::of(b); }},
        {"zlib", [](const Bytes& b) { return static_cast<std::uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size()))); }},
    };
}

// Best time per call of each job over several rounds; in a round every job runs in turn,
// each repeated until it takes a measurable while.
std::vector<double> best_seconds(const std::vector<std::function<void()>>& jobs, std::size_t bytes) {
    const std::size_t per_run = std::max<std::size_t>(1, (8u << 20) / std::max<std::size_t>(bytes, 1));
    // An input too large to repeat within a round gets more rounds instead: one run of it is
    // the most exposed to a busy spell.
    const int rounds = per_run > 1 ? 7 : 21;
    std::vector<double> best(jobs.size(), 1e30);
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            const double start = benchstats::ThreadCpuSeconds();
            for (std::size_t i = 0; i < per_run; ++i) jobs[k]();
            best[k] = std::min(best[k], (benchstats::ThreadCpuSeconds() - start) / static_cast<double>(per_run));
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path corpus = argc > 1 ? argv[1] : std::filesystem::path(TARVIK_SHARED_DIR) / "corpus";
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(corpus))
        if (e.is_regular_file() && e.path().extension() != ".md") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) fail("no corpus files in " + corpus.string());

    std::printf("zip_read: inflate (zlib level 6 streams) and CRC-32, best of 7 interleaved rounds of thread CPU time\n");
    const int core = benchstats::PinToCurrentCore();
    std::printf("engines: ours, zlib %s raw inflate, libdeflate %s; compiler %s; %s\n", zlibVersion(),
                LIBDEFLATE_VERSION_STRING, __VERSION__,
                core < 0 ? "not kept on one core" : ("on core " + std::to_string(core)).c_str());
    std::printf("%-22s %10s %7s | %9s %9s %9s %8s %8s | %8s %8s %7s\n", "file", "bytes", "ratio", "ours MB/s",
                "zlib MB/s", "ldef MB/s", "ours/zl", "ours/ld", "crc GB/s", "zlib GB/s", "ours/zl");

    Bytes all;
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const auto& f : files) {
        Bytes b = read_file(f);
        all.insert(all.end(), b.begin(), b.end());
        inputs.emplace_back(std::filesystem::relative(f, corpus).string(), std::move(b));
    }
    inputs.emplace_back("(all concatenated)", all);

    const auto inflaters = inflate_engines();
    const auto crcs = crc_engines();
    std::vector<double> ratio_zlib, ratio_ld, ratio_crc;
    for (const auto& item : inputs) {
        const std::string& name = item.first;
        const Bytes& input = item.second;  // a plain reference: lambdas below capture it
        const Bytes stream = zlib_deflate(input, 6);
        Bytes out(input.size());
        for (const auto& engine : inflaters) {
            std::fill(out.begin(), out.end(), 0);
            if (engine.run(stream, out) != input.size() || out != input)
                fail(std::string(engine.name) + " inflate of " + name);
        }
        std::vector<std::function<void()>> jobs;
        for (const auto& engine : inflaters) jobs.push_back([&] { engine.run(stream, out); });
        const std::vector<double> inflate_s = best_seconds(jobs, input.size());
        double mbps[3] = {};
        for (std::size_t k = 0; k < inflaters.size(); ++k) mbps[k] = static_cast<double>(input.size()) / inflate_s[k] / 1e6;

        const std::uint32_t expected = crcs[1].run(input);
        for (const auto& crc : crcs)
            if (crc.run(input) != expected) fail(std::string(crc.name) + " crc of " + name);
        volatile std::uint32_t sink = 0;
        jobs.clear();
        for (const auto& crc : crcs) jobs.push_back([&] { sink = sink ^ crc.run(input); });
        const std::vector<double> crc_s = best_seconds(jobs, input.size());
        double gbps[2] = {};
        for (std::size_t k = 0; k < crcs.size(); ++k) gbps[k] = static_cast<double>(input.size()) / crc_s[k] / 1e9;

        const double ratio = input.empty() ? 0 : static_cast<double>(stream.size()) / static_cast<double>(input.size());
        std::printf("%-22s %10zu %7.3f | %9.1f %9.1f %9.1f %8.2f %8.2f | %8.2f %8.2f %7.2f\n", name.c_str(), input.size(),
                    ratio, mbps[0], mbps[1], mbps[2], mbps[0] / mbps[1], mbps[0] / mbps[2], gbps[0], gbps[1],
                    gbps[0] / gbps[1]);
        if (&item == &inputs.back()) {
            std::printf("whole corpus (concatenated): inflate ours/zlib %.2f, ours/libdeflate %.2f; crc ours/zlib %.2f\n",
                        mbps[0] / mbps[1], mbps[0] / mbps[2], gbps[0] / gbps[1]);
        } else if (input.size() >= 4096) {
            ratio_zlib.push_back(mbps[0] / mbps[1]);
            ratio_ld.push_back(mbps[0] / mbps[2]);
            ratio_crc.push_back(gbps[0] / gbps[1]);
        }
    }
    using benchstats::GeometricMean, benchstats::Median;
    std::printf("per file of 4 KB and more (%zu files), median / geometric mean: inflate ours/zlib %.2f / %.2f, "
                "ours/libdeflate %.2f / %.2f; crc ours/zlib %.2f / %.2f\n",
                ratio_ld.size(), Median(ratio_zlib), GeometricMean(ratio_zlib), Median(ratio_ld), GeometricMean(ratio_ld),
                Median(ratio_crc), GeometricMean(ratio_crc));
    readbench::Run();
    return 0;
}
