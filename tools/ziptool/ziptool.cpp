// ziptool: the zip engine's test driver. Lists, tests and extracts any archive through the
// engine, with POSIX paths on its command line turned into the layer's paths.
//
//   ziptool list|test|extract ARCHIVE [--password P] [--dest DIR]
//
// An archive written as block files (NAME.001, NAME.002, ...) is read from any of its parts.
//
// Exit code 0 when every entry was fine, 1 when some entry failed (bad CRC, bad password,
// not supported, a decoder's failure, which is printed with its reason), 2 on an error that
// ended the run or bad usage.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "zip/UnZipper.h"
#include "zip/ZipConstants.h"

namespace {

const char* MethodName(Word method) {
    switch (method) {
        case 0: return "stored";
        case 1: return "shrunk";
        case 2: case 3: case 4: case 5: return "reduced";
        case 6: return "imploded";
        case 8: return "deflated";
        case 9: return "deflate64";
        case 12: return "bzip2";
        case 14: return "lzma";
        case 99: return "aes";
        default: return "unknown";
    }
}

String DosDate(LongWord dos) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (dos >> 25), (dos >> 21) & 15,
                  (dos >> 16) & 31, (dos >> 11) & 31, (dos >> 5) & 63, (dos & 31) * 2);
    return text;
}

// The engine's block files are NAME.001, NAME.002, ...; the last one holds the directory.
bool IsBlockName(const String& name) {
    String ext = ExtractFileExt(name);
    return ext.size() == 4 && std::isdigit(static_cast<unsigned char>(ext[1])) &&
           std::isdigit(static_cast<unsigned char>(ext[2])) && std::isdigit(static_cast<unsigned char>(ext[3]));
}

String BlockName(const String& name, Integer number) {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".%3.3d", static_cast<int>(number));
    return ChangeFileExt(name, ext);
}

}  // namespace

namespace ziptool {
int RunWriteCommand(int argc, char** argv);  // ZipToolWrite.cpp
int Usage();
}
using ziptool::Usage;

int main(int argc, char** argv) {
    if (int rc = ziptool::RunWriteCommand(argc, argv); rc >= 0) return rc;
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if (command != "list" && command != "test" && command != "extract") return Usage();
    std::string archive = argv[2], password, dest;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc) {
            password = argv[++i];
        } else if (std::strcmp(argv[i], "--dest") == 0 && i + 1 < argc) {
            dest = argv[++i];
        } else {
            return Usage();
        }
    }
    TDiscardingUnZipper tester;
    TUnZipper extractor;
    TUnZipper& z = command == "test" ? static_cast<TUnZipper&>(tester) : extractor;
    int failures = 0;
    try {
        String zipName = platform::FromPosixPath(archive);
        // Block files written by the engine: whichever part is named, the last one of the
        // set is read first and the others are asked for by number.
        const bool blocks = IsBlockName(zipName) && FileExists(BlockName(zipName, 1));
        if (blocks) {
            Integer last = 1;
            while (last < 999 && FileExists(BlockName(zipName, last + 1))) ++last;
            zipName = BlockName(zipName, last);
        }
        z.SetZipName(zipName);
        z.Password = password;
        z.DoProcessMessages = false;
        // Split parts made by Info-ZIP: disk n is NAME.zNN beside the archive, the last disk is
        // the archive itself.
        z.OnGetNextDisk = [&](TObject*, Integer disk, String& name) {
            if (blocks) {
                name = FileExists(BlockName(zipName, disk)) ? BlockName(zipName, disk) : String();
                return;
            }
            char part[8];
            std::snprintf(part, sizeof part, ".z%02d", disk);
            String candidate = ChangeFileExt(zipName, part);
            name = FileExists(candidate) ? candidate : zipName;
        };
        if (command == "list") {
            z.ReadZip();
            for (Integer i = 0; i < z.Count(); ++i) {
                const TZipHeaderInfo& e = z.Entry(i);
                std::printf("%-9s %10u %10u %08x %s %s%s\n", MethodName(e.Method), e.UncompressedSize,
                            e.CompressedSize, e.CRC, DosDate(e.DateTime).c_str(), e.FullName().c_str(),
                            e.Encrypted() ? " (encrypted)" : "");
            }
            String comment = z.ZipComment();
            if (!comment.empty()) std::printf("comment: %s\n", comment.c_str());
            return 0;
        }
        z.DoAll = true;
        z.RecreateDirs = true;
        z.OverwriteMode = TUZOverwriteMode::Always;
        if (command == "extract") z.SetDestDir(dest.empty() ? GetCurrentDir() : platform::FromPosixPath(dest));
        z.OnEndUnZip = [&](TObject*, Integer index, const String&) {
            std::printf("%s: %s\n", command == "test" ? "ok" : "extracted", z.FullName(index).c_str());
        };
        z.OnBadCRC = [&](TObject*, Integer calc, Integer stored, Integer index) {
            ++failures;
            std::printf("bad CRC %08x (stored %08x): %s\n", static_cast<unsigned>(calc), static_cast<unsigned>(stored),
                        z.FullName(index).c_str());
        };
        z.OnSkippingFile = [&](TObject*, TSkipReason reason, Integer index) {
            ++failures;
            std::printf("skipped (%s): %s\n", reason == TSkipReason::skBadPassword ? "bad password" : "file exists",
                        z.FullName(index).c_str());
        };
        try {
            z.UnZip();
        } catch (const EFatalUnzipError& e) {
            // The run's report of entries it could not extract (it went on with the others).
            const std::string text = e.what();
            if (text.rfind("Cannot extract \"", 0) != 0) throw;
            std::fflush(stdout);
            std::printf("failed: %s\n", text.c_str());
            return 1;
        }
    } catch (const Exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "ziptool: error: %s\n", e.what());
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
