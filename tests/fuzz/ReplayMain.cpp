// Replay driver for the fuzz targets when libFuzzer is not used: runs the target once per
// input so that CTest exercises it (under the sanitizer build too).
//
//   fuzz_<target> [--write-seeds DIR] PATH...
//
// A PATH may be a folder (walked recursively), a zip archive, whose entries of the
// target's methods become inputs (declared size and flags in the five-byte header, once
// with the usual block size and once with one-byte blocks), or any other file, taken as
// an input as it is. With --write-seeds the inputs are also written to DIR, as a seed
// corpus for the real fuzzer.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzInput.h"
#include "tests/zip/DecoderTestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;
using zip::test::Bytes;

bool is_zip(const fs::path& p) {
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".zip";
}

std::vector<Bytes> inputs_from(const fs::path& path) {
    std::vector<Bytes> inputs;
    const Bytes file = zip::test::read_file(path.string());
    if (!is_zip(path)) {
        inputs.push_back(file);
        return inputs;
    }
    for (const auto& e : zip::test::zip_entries(file)) {
        if (!zip::fuzz::target_takes_method(e.method) || (e.flags & 1) || e.data.empty()) continue;
        const std::uint8_t selector = e.method >= 2 && e.method <= 5 ? static_cast<std::uint8_t>(e.method - 2)
                                                                      : static_cast<std::uint8_t>(e.flags & 6);
        for (std::uint8_t blocks : {std::uint8_t{0}, std::uint8_t{1 << 5}}) {
            Bytes in = {static_cast<Byte>(e.uncompressed_size), static_cast<Byte>(e.uncompressed_size >> 8),
                        static_cast<Byte>(e.uncompressed_size >> 16), static_cast<Byte>(e.uncompressed_size >> 24),
                        static_cast<Byte>(selector | blocks)};
            in.insert(in.end(), e.data.begin(), e.data.end());
            inputs.push_back(std::move(in));
        }
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path seeds;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--write-seeds" && i + 1 < argc) {
            seeds = argv[++i];
            fs::create_directories(seeds);
        } else if (fs::is_directory(arg)) {
            for (const auto& e : fs::recursive_directory_iterator(arg))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(arg)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "no such input: %s\n", arg.c_str());
            return 2;
        }
    }
    std::size_t count = 0;
    for (const auto& f : files) {
        for (const Bytes& in : inputs_from(f)) {
            LLVMFuzzerTestOneInput(in.data(), in.size());
            if (!seeds.empty()) {
                std::ofstream out(seeds / ("seed-" + std::to_string(count)), std::ios::binary);
                out.write(reinterpret_cast<const char*>(in.data()), static_cast<std::streamsize>(in.size()));
            }
            ++count;
        }
    }
    std::printf("replayed %zu inputs from %zu files\n", count, files.size());
    return count > 0 ? 0 : 1;
}
