// Fuzz target: any bytes as an archive. The directory is read, every entry and comment
// listed, and every entry extracted into a sink that keeps nothing. Hostile input must end
// in a clear exception of the engine, never a crash, a hang or unbounded memory.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/InputUnZipper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zip::fuzz::InputUnZipper z;
    z.data = data;
    z.size = size;
    z.SetZipName("A:\\fuzz.zip");
    z.IncompleteZipMode = (size & 1) ? TIncompleteZipMode::izAssumeBad : TIncompleteZipMode::izAssumeMulti;
    z.DoProcessMessages = false;
    z.DoAll = true;
    z.RecreateDirs = true;
    z.OverwriteMode = TUZOverwriteMode::Always;
    z.Password = "pw";
    try {
        z.ReadZip();
        for (Integer i = 0; i < z.Count(); ++i) {
            (void)z.FullName(i);
            (void)z.DateTime(i);
            try {
                (void)z.FileComment(i);
            } catch (const Exception&) {
            }
        }
        (void)z.ZipComment();
        z.UnZip();
    } catch (const Exception&) {
    }
    return 0;
}
