#include "platform/Params.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace platform::detail {
namespace {

struct CommandLine {
    String program;  // Windows-style full path
    std::vector<String> args;
};

String ProgramPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return String();
        if (static_cast<std::size_t>(n) < buffer.size()) return String(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

CommandLine ReadCommandLine() {
    CommandLine c;
    String posix = ProgramPath();
    if (!posix.empty()) {
        std::replace(posix.begin(), posix.end(), '/', '\\');
        c.program = "Z:" + posix;
    }
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const String all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // NUL-terminated fields; the first is the program name as started, which ParamStr(0)
    // replaces by the full path.
    std::size_t pos = 0;
    bool first = true;
    while (pos < all.size()) {
        std::size_t end = all.find('\0', pos);
        if (end == String::npos) end = all.size();
        if (!first) c.args.push_back(all.substr(pos, end - pos));
        first = false;
        pos = end + 1;
    }
    return c;
}

const CommandLine& TheCommandLine() {
    static const CommandLine line = ReadCommandLine();
    return line;
}

}  // namespace
}  // namespace platform::detail

Integer ParamCount() { return static_cast<Integer>(platform::detail::TheCommandLine().args.size()); }

String ParamStr(Integer Index) {
    const auto& line = platform::detail::TheCommandLine();
    if (Index == 0) return line.program;
    if (Index < 0 || Index > static_cast<Integer>(line.args.size())) return String();
    return line.args[static_cast<std::size_t>(Index - 1)];
}

String ProgramFolder() {
    const String program = ParamStr(0);
    const std::size_t slash = program.rfind('\\');
    return slash == String::npos ? String() : program.substr(0, slash + 1);
}
