// Shared helpers of the zip tests: an unzipper whose archive files live in memory, and the
// third-party archive manifest flattened by Python into lines the tests can read.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Streams.h"
#include "zip/UnZipper.h"

namespace ziptest {

inline std::vector<Byte> ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<Byte>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Archive files by name; every open hands out a fresh stream over a copy of the bytes.
class MemoryUnZipper : public TUnZipper {
public:
    std::map<String, std::vector<Byte>> files;
    std::map<String, TDateTime> dates;
    std::map<String, String> labels;  // drive root -> volume label
    bool removable = false;
    int opens = 0;

protected:
    std::unique_ptr<TStream> OpenArchiveFile(const String& name, Word) override {
        auto it = files.find(name);
        if (it == files.end()) throw EFOpenError("Cannot open file \"" + name + "\"");
        ++opens;
        auto s = std::make_unique<TMemoryStream>();
        if (!it->second.empty()) s->WriteBuffer(it->second.data(), static_cast<Int64>(it->second.size()));
        s->SetPosition(0);
        current_ = name;
        return s;
    }
    TDateTime FileStreamDate(TStream&) override { return dates[current_]; }
    bool ArchiveFileExists(const String& name) override { return files.count(name) != 0; }
    bool IsRemovableDrive(const String&) override { return removable; }
    String VolumeLabel(const String& root) override { return labels[root]; }

public:
    // Output side in memory: finished files, folders, temporary files still open or left.
    struct OutFile {
        std::vector<Byte> bytes;
        LongWord dos = 0;
        LongWord attributes = 0;
    };
    std::map<String, OutFile> outputs;
    std::set<String> folders;
    std::map<String, std::shared_ptr<TMemoryStream>> temps;
    String current = "C:\\work";
    int tempCounter = 0;

protected:
    static String Trim(String s) {
        while (!s.empty() && s.back() == '\\') s.pop_back();
        return s;
    }
    bool FolderExists(const String& folder) override { return folders.count(Trim(folder)) != 0; }
    void ForceFolder(const String& folder) override {
        String f = Trim(folder);
        for (size_t i = 0; i <= f.size(); ++i)
            if (i == f.size() || f[i] == '\\') folders.insert(f.substr(0, i));
    }
    bool OutputFileExists(const String& name) override { return outputs.count(name) != 0; }
    std::unique_ptr<TStream> CreateTempOutput(const String& folder, String& tempName) override {
        tempName = folder + "~tmp" + std::to_string(++tempCounter);
        auto shared = std::make_shared<TMemoryStream>();
        temps[tempName] = shared;
        struct View : TStream {
            std::shared_ptr<TMemoryStream> s;
            Integer Read(void* b, Integer n) override { return s->Read(b, n); }
            Integer Write(const void* b, Integer n) override { return s->Write(b, n); }
            Int64 Seek(Int64 o, TSeekOrigin g) override { return s->Seek(o, g); }
        };
        auto v = std::make_unique<View>();
        v->s = shared;
        return v;
    }
    void CommitOutput(const String& tempName, const String& name, LongWord dos, const LongWord* attributes) override {
        OutFile f;
        f.bytes = temps.at(tempName)->Bytes();
        f.dos = dos;
        f.attributes = attributes ? *attributes : 0;
        outputs[name] = f;
        temps.erase(tempName);
    }
    void DiscardOutput(const String& tempName) override { temps.erase(tempName); }
    String CurrentFolder() override { return current; }
    void SetCurrentFolder(const String& folder) override { current = folder; }

private:
    String current_;
};

struct ManifestEntry {
    std::string name;
    unsigned crc = 0, csize = 0, usize = 0, method = 0;
    bool encrypted = false;
    bool dataMismatch = false;  // the data does not give the stored CRC
};

struct ManifestArchive {
    std::string path;  // relative to the testdata folder
    std::string password;
    std::string comment;
    std::vector<ManifestEntry> entries;
};

// Flattens manifest.json with Python: "A\tpath\tpassword\tcomment-hex" then "E\t..." lines.
inline std::vector<ManifestArchive> LoadManifest(const std::string& testdata) {
    std::string cmd =
        "python3 -c \"import json,sys\n"
        "m=json.load(open(sys.argv[1]))\n"
        "for f in m['files']:\n"
        "  if not f['path'].lower().endswith(('.zip','.jar','.bin','.notzip')): continue\n"
        "  print('A', f['path'], f.get('password') or '', (f.get('archive_comment') or '').encode('cp437','replace').hex(), sep='\\t')\n"
        "  for e in f.get('entries',[]):\n"
        "    print('E', e['name'].encode('utf-8','surrogateescape').hex(), e['crc32'], e['csize'], e['usize'], e['method'], int(e['encrypted']), int(str(e.get('my_crc_check') or '').startswith('MISMATCH')), sep='\\t')\n"
        "\" '" + testdata + "/manifest.json'";
    std::vector<ManifestArchive> out;
    // No test data beside the checkout: no cases, and no complaint from the reader on every listing.
    if (std::error_code missing; !std::filesystem::exists(testdata + "/manifest.json", missing)) return out;
    // CTest starts the binary once per case: the flattened manifest is kept beside the test
    // binaries and made again only when manifest.json is newer.
    namespace fs = std::filesystem;
    const fs::path cache = fs::path(TARVIK_BIN_DIR) / ".." / "tests" / "zip_manifest_v2.tsv";
    std::error_code ec;
    std::string text;
    if (fs::exists(cache, ec) && fs::last_write_time(cache, ec) >= fs::last_write_time(testdata + "/manifest.json", ec)) {
        std::ifstream in(cache, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
        if (pclose(p) == 0 && !text.empty()) {
            const fs::path temp = cache.string() + "." + std::to_string(::getpid());
            std::ofstream(temp, std::ios::binary) << text;
            fs::rename(temp, cache, ec);  // atomic: parallel cases never read half a file
        }
    }
    auto unhex = [](const std::string& h) {
        std::string s;
        for (size_t i = 0; i + 1 < h.size(); i += 2) s += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
        return s;
    };
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string item;
        while (std::getline(ss, item, '\t')) f.push_back(item);
        if (f.size() >= 2 && f[0] == "A") {
            ManifestArchive a;
            a.path = f[1];
            a.password = f.size() > 2 ? f[2] : "";
            a.comment = f.size() > 3 ? unhex(f[3]) : "";
            out.push_back(a);
        } else if (f.size() >= 7 && f[0] == "E" && !out.empty()) {
            ManifestEntry e;
            e.name = unhex(f[1]);
            e.crc = static_cast<unsigned>(std::stoul(f[2], nullptr, 16));
            e.csize = static_cast<unsigned>(std::stoul(f[3]));
            e.usize = static_cast<unsigned>(std::stoull(f[4]) & 0xFFFFFFFFu);
            e.method = static_cast<unsigned>(std::stoul(f[5]));
            e.encrypted = f[6] == "1";
            e.dataMismatch = f.size() > 7 && f[7] == "1";
            out.back().entries.push_back(e);
        }
    }
    return out;
}

inline void PrintTo(const ManifestArchive& a, std::ostream* os) { *os << a.path; }

inline std::string SlashName(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace ziptest

namespace ziptest {

// Runs a Python snippet that writes an archive to the BytesIO `buf` and returns its bytes.
// The snippet sees zipfile imported and `buf` ready.
inline std::vector<Byte> PythonZip(const std::string& body) {
    std::string script = "import io,sys,zipfile\nbuf=io.BytesIO()\n" + body + "\nsys.stdout.buffer.write(buf.getvalue())\n";
    std::string path = "/tmp/tarvik_pyzip_" + std::to_string(::getpid()) + ".py";
    {
        std::ofstream f(path);
        f << script;
    }
    std::vector<Byte> out;
    FILE* p = popen(("python3 " + path).c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
    pclose(p);
    std::remove(path.c_str());
    return out;
}

inline std::string Text(const std::vector<Byte>& b) { return std::string(b.begin(), b.end()); }

}  // namespace ziptest
