// Child of the crash-safety test: adds one file to an archive with the zip component and
// reports each phase on standard output as it begins, so that the parent can kill it there.
//
//   zip_crash_child ARCHIVE FILE      (POSIX paths; the profile comes from $TARVIK_PROFILE)
//
// Phases: "copy" (kept entries are copied), "compress" (the new file is compressed),
// "finish" (central directory, then the new archive is put in place), "done".
#include <cstdio>

#include "platform/Drives.h"
#include "platform/Paths.h"
#include "zip/Zipper.h"

namespace {
void Say(const char* phase) {
    std::fputs(phase, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    try {
        TZipper z;
        z.DoProcessMessages = false;
        z.SetZipName(platform::FromPosixPath(argv[1]));
        z.FilesList.Add(platform::FromPosixPath(argv[2]));
        z.OnStartZipInfo = [](TObject*, Integer, Int64, TEndCentral&, bool&) { Say("compress"); };
        z.OnEndZip = [](TObject*, const String&, Int64, Int64, Int64) { Say("finish"); };
        Say("copy");
        z.Zip();
        Say("done");
    } catch (const Exception& e) {
        std::fprintf(stderr, "zip_crash_child: %s\n", e.what());
        return 1;
    }
    return 0;
}
