#include "ScanTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>


namespace scantest {

std::vector<std::string> CommandLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string current;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                lines.push_back(current);
                current.clear();
            } else {
                current += buffer[i];
            }
        }
    }
    if (!current.empty()) lines.push_back(current);
    ::pclose(pipe);
    return lines;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

namespace {

std::tm LocalNoon(int daysAgo) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    tm.tm_mday -= daysAgo;
    tm.tm_hour = 12;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    ::localtime_r(&t, &tm);
    return tm;
}

}  // namespace

void WriteFile(const std::string& path, const std::string& bytes, int daysAgo) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    std::tm tm = LocalNoon(daysAgo);
    const std::time_t t = std::mktime(&tm);
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("cannot date " + path);
}

std::string LocalDay(int daysAgo) {
    std::tm tm = LocalNoon(daysAgo);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

void OpenToOthers(const std::string& scratch) {
    ::chmod(std::filesystem::path(scratch).parent_path().c_str(), 0755);
    ::chmod(scratch.c_str(), 0755);
}

AsUnprivilegedUser::AsUnprivilegedUser() {
    if (::geteuid() != 0) return;
    if (::setegid(65534) != 0 || ::seteuid(65534) != 0) throw std::runtime_error("seteuid failed");
    switched_ = true;
}

AsUnprivilegedUser::~AsUnprivilegedUser() {
    if (!switched_) return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
}

}  // namespace scantest
