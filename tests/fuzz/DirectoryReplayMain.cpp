// Replay driver of the directory fuzz target when libFuzzer is not used: every file under
// the given paths (folders are walked) is one whole input, archives included as they are.
//
//   fuzz_directory PATH...   (fuzz_listing likewise)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void RunFile(const fs::path& p, int& count) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        if (fs::is_directory(path)) {
            for (const auto& e : fs::recursive_directory_iterator(path))
                if (e.is_regular_file()) RunFile(e.path(), count);
        } else if (fs::is_regular_file(path)) {
            RunFile(path, count);
        }
    }
    std::printf("%s: %d inputs replayed\n", fs::path(argv[0]).filename().c_str(), count);
    return count > 0 ? 0 : 1;
}
