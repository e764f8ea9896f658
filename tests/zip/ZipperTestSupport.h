// Helpers of the writer tests: files in the case's scratch folder, peers run as black
// boxes (Info-ZIP unzip, 7zz, Python's zipfile), and what our own reader makes of an archive.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../common/TestProfile.h"
#include "platform/Paths.h"
#include "zip/Zipper.h"

namespace zipwritetest {

using Files = std::map<std::string, std::string>;  // stored name ("dir/a.txt") -> contents

struct RunResult {
    int code = -1;
    std::string output;
};

inline RunResult RunShell(const std::string& command) {
    RunResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(g());
    return s;
}

// Text that compresses like prose: words drawn from a small vocabulary.
inline std::string TextBytes(size_t n, unsigned seed) {
    static const char* words[] = {"backup ", "archive ", "the ", "of ", "zip ", "entry ", "\n", "data ", "file "};
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < n) s += words[g() % 9];
    s.resize(n);
    return s;
}

// A short stand-in for contents, so that a failed comparison prints readable lines.
inline std::string Digest(const std::string& bytes) {
    return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(std::hash<std::string>()(bytes));
}

inline Files Digests(const Files& files) {
    Files out;
    for (const auto& [name, bytes] : files) out[name] = Digest(bytes);
    return out;
}

// Every entry's bytes (digested) as a peer extracts them into a fresh folder.
inline Files ExtractedTree(const std::string& dir) {
    Files out;
    if (!std::filesystem::exists(dir)) return out;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            out[std::filesystem::relative(e.path(), dir).generic_string()] = Digest(ReadFile(e.path()));
    return out;
}

// unzip -t, 7zz t and zipfile.testzip() all pass, and all three extract exactly `expected`.
inline void ExpectPeersAccept(const std::string& zip, const Files& expected, const std::string& password,
                              const std::string& scratch) {
    const std::string pw = password.empty() ? "" : " -P " + Quote(password);
    RunResult t = RunShell("unzip -tq" + pw + " " + Quote(zip));
    EXPECT_EQ(t.code, 0) << "unzip -t: " << t.output;
    RunResult s = RunShell("7zz t -p" + Quote(password) + " " + Quote(zip));
    EXPECT_EQ(s.code, 0) << "7zz t: " << s.output;
    EXPECT_NE(s.output.find("Everything is Ok"), std::string::npos) << s.output;
    const std::string py = "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\nz.setpassword(sys.argv[2].encode())\n"
                           "bad=z.testzip()\nz.extractall(sys.argv[3])\nsys.exit(1 if bad else 0)\n";
    const std::string pyOut = scratch + "/x-python";
    RunResult p = RunShell("python3 -c " + Quote(py) + " " + Quote(zip) + " " + Quote(password) + " " + Quote(pyOut));
    EXPECT_EQ(p.code, 0) << "python: " << p.output;
    const std::string unzipOut = scratch + "/x-unzip", sevenOut = scratch + "/x-7zz";
    RunShell("LC_ALL=C.UTF-8 unzip -qo" + pw + " " + Quote(zip) + " -d " + Quote(unzipOut));
    RunShell("7zz x -y -p" + Quote(password) + " -o" + Quote(sevenOut) + " " + Quote(zip));
    const Files want = Digests(expected);
    EXPECT_EQ(ExtractedTree(unzipOut), want) << "unzip extraction of " << zip;
    EXPECT_EQ(ExtractedTree(sevenOut), want) << "7zz extraction of " << zip;
    EXPECT_EQ(ExtractedTree(pyOut), want) << "python extraction of " << zip;
    std::filesystem::remove_all(unzipOut);
    std::filesystem::remove_all(sevenOut);
    std::filesystem::remove_all(pyOut);
}

// Raw data of every entry as Python sees it: name -> (CRC, compressed bytes with header).
inline std::map<std::string, std::string> RawEntries(const std::string& zip) {
    const std::string py =
        "import zipfile,sys,struct\nf=open(sys.argv[1],'rb')\nfor i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
        "  f.seek(i.header_offset); h=f.read(30); n,e=struct.unpack('<HH',h[26:30]); f.seek(i.header_offset+30+n+e)\n"
        "  sys.stdout.write('%s\\t%08x\\t%s\\n'%(i.filename.encode('utf-8','surrogateescape').hex(),i.CRC,f.read(i.compress_size).hex()))\n";
    RunResult r = RunShell("python3 -c " + Quote(py) + " " + Quote(zip));
    std::map<std::string, std::string> out;
    size_t at = 0;
    while (at < r.output.size()) {
        size_t end = r.output.find('\n', at);
        if (end == std::string::npos) break;
        std::string line = r.output.substr(at, end - at);
        at = end + 1;
        size_t t1 = line.find('\t');
        if (t1 == std::string::npos) continue;
        out[line.substr(0, t1)] = line.substr(t1 + 1);
    }
    return out;
}

}  // namespace zipwritetest
