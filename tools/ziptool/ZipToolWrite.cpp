// ziptool's write commands: they drive TZipper, so the interop tests and the benchmarks
// exercise the real update cycle.
//
//   ziptool add ARCHIVE FILE... [--level N] [--password P] [--comment TEXT] [--root DIR]
//                                [--replace] [--blocks SIZE[:FIRST]] [--span DIR,DIR,... --disk-size BYTES]
//   ziptool delete ARCHIVE PATTERN...
//   ziptool rename ARCHIVE ENTRY NEWFOLDER      (changes the stored folder of one entry)
//   ziptool comment ARCHIVE TEXT
//   ziptool sfx ARCHIVE STUB
//
// --root stores each file relative to DIR (files may be named relative to it). --blocks
// writes block files ARCHIVE.001, .002, ... of SIZE bytes (the first FIRST bytes). --span
// writes the archive across removable disks: drive A: of the layer's drive table (the
// profile must be a private one, $TARVIK_PROFILE) shows each DIR in turn, each with room
// for BYTES. Exit code 0 on success, 2 on an error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "platform/Paths.h"
#include "zip/Zipper.h"

namespace ziptool {

// The one usage text, for every command: printed on any wrong call.
int Usage() {
    std::fprintf(stderr,
                 "usage: ziptool list ARCHIVE [--password P]\n"
                 "       ziptool test ARCHIVE [--password P]\n"
                 "       ziptool extract ARCHIVE [--password P] [--dest DIR]\n"
                 "       ziptool add ARCHIVE FILE... [--level N] [--password P] [--comment TEXT] [--root DIR]\n"
                 "                   [--replace] [--blocks SIZE[:FIRST]] [--span DIR,DIR,... --disk-size BYTES]\n"
                 "       ziptool delete ARCHIVE PATTERN...\n"
                 "       ziptool rename ARCHIVE ENTRY NEWFOLDER\n"
                 "       ziptool comment ARCHIVE TEXT\n"
                 "       ziptool sfx ARCHIVE STUB\n"
                 "ARCHIVE of block files (--blocks): name any part, NAME.001 or the last one.\n");
    return 2;
}

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

int RunAdd(TZipper& z, const std::string& archive, std::vector<std::string> args) {
    std::vector<std::string> files;
    std::string comment, root, blocks, span;
    bool haveComment = false;
    long long diskSize = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= args.size()) throw Exception("missing value after " + a);
            return args[++i];
        };
        if (a == "--level") z.PackLevel = std::atoi(next().c_str());
        else if (a == "--password") z.Password = next();
        else if (a == "--comment") { comment = next(); haveComment = true; }
        else if (a == "--root") root = next();
        else if (a == "--replace") z.ZipAction = TZipAction::zaReplace;
        else if (a == "--blocks") blocks = next();
        else if (a == "--span") span = next();
        else if (a == "--disk-size") diskSize = std::atoll(next().c_str());
        else files.push_back(a);
    }
    String zipName = platform::FromPosixPath(archive);
    std::vector<std::string> media;
    if (!span.empty()) {
        if (std::getenv("TARVIK_PROFILE") == nullptr) throw Exception("--span needs a private profile ($TARVIK_PROFILE)");
        media = Split(span, ',');
        platform::AddDrive('A', platform::DriveKind::Removable, media[0], static_cast<UInt64>(diskSize));
        zipName = "A:\\" + ExtractFileName(zipName);
        z.SetMultiMode(TMultiMode::mmSpan);
        z.OnGetNextDisk = [media](TObject*, Integer disk, String& name) {
            if (disk < 1 || disk > static_cast<Integer>(media.size())) {
                name.clear();
                return;
            }
            platform::InsertMedium('A', media[disk - 1]);
        };
    }
    if (!blocks.empty()) {
        auto sizes = Split(blocks, ':');
        z.MultiZipInfo().BlockSize = std::atoi(sizes[0].c_str());
        z.MultiZipInfo().FirstBlockSize = std::atoi((sizes.size() > 1 ? sizes[1] : sizes[0]).c_str());
        z.SetMultiMode(TMultiMode::mmBlocks);
    }
    z.SetZipName(zipName);
    if (!root.empty()) {
        z.SetRootDir(platform::FromPosixPath(root));
        z.SetRelativePaths(true);
    }
    if (haveComment) z.SetZipComment(comment);
    for (const std::string& f : files) {
        std::string path = !root.empty() && !f.empty() && f[0] != '/' ? root + "/" + f : f;
        z.FilesList.Add(platform::FromPosixPath(path));
    }
    z.OnNoSuchFile = [](TObject*, const String& name) { std::fprintf(stderr, "ziptool: no such file: %s\n", name.c_str()); };
    z.OnEndZip = [](TObject*, const String& name, Int64 usize, Int64 csize, Int64) {
        std::printf("added: %s (%lld -> %lld)\n", name.c_str(), static_cast<long long>(usize),
                    static_cast<long long>(csize));
    };
    Integer added = z.Zip();
    if (added == 0 && haveComment) z.SaveModifiedZipFile();
    std::printf("%d file(s) added to %s\n", added, z.ZipName().c_str());
    return 0;
}

}  // namespace

// Runs a write command; -1 when argv names none.
int RunWriteCommand(int argc, char** argv) {
    if (argc < 2) return -1;
    const std::string command = argv[1];
    if (command != "add" && command != "delete" && command != "rename" && command != "comment" && command != "sfx")
        return -1;
    if (argc < 3) return Usage();
    const std::string archive = argv[2];
    std::vector<std::string> args(argv + 3, argv + argc);
    TZipper z;
    z.DoProcessMessages = false;
    try {
        if (command == "add") return RunAdd(z, archive, args);
        z.SetZipName(platform::FromPosixPath(archive));
        if (command == "delete") {
            for (const auto& pattern : args) {
                String spec = pattern;
                for (char& ch : spec)
                    if (ch == '/') ch = '\\';
                z.FilesList.Add(spec);
            }
            z.OnDeleteEntry = [](TObject*, const String& name, bool&) { std::printf("deleted: %s\n", name.c_str()); };
            z.DeleteEntries();
            return 0;
        }
        if (command == "rename") {
            if (args.size() != 2) return Usage();
            String wanted = args[0], folder = args[1];
            for (char& ch : wanted)
                if (ch == '/') ch = '\\';
            for (char& ch : folder)
                if (ch == '/') ch = '\\';
            z.ReadZip();
            for (Integer i = 0; i < z.Count(); ++i) {
                if (z.FullName(i) != wanted) continue;
                z.SetPathname(i, folder);
                z.SaveModifiedZipFile();
                return 0;
            }
            std::fprintf(stderr, "ziptool: no entry %s\n", args[0].c_str());
            return 2;
        }
        if (command == "comment") {
            if (args.size() != 1) return Usage();
            z.ReadZip();
            z.SetZipComment(args[0]);
            z.SaveModifiedZipFile();
            return 0;
        }
        if (args.size() != 1) return Usage();
        z.ReadZip();
        z.MakeSFX(platform::FromPosixPath(args[0]));
        return 0;
    } catch (const Exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "ziptool: error: %s\n", e.what());
        return 2;
    }
}

}  // namespace ziptool
