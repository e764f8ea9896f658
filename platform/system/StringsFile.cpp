// Whole-file reading and writing of string lists.
//
// Saving rewrites the file the safe way: the new text goes to a new file in the same folder,
// which replaces the old one only once it is complete and on disk. Errors keep the class
// library's classes: EFOpenError when the file cannot be read, EFCreateError when it cannot
// be replaced, EWriteError when the disk fills up.
#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/Paths.h"
#include "platform/StringList.h"

void TStrings::LoadFromFile(const String& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const String& FileName) const {
    platform::AtomicFile file(FileName);
    SaveToStream(file.Stream());
    try {
        file.Commit();
    } catch (const EOSError& e) {
        throw EFCreateError("Cannot create file \"" + ExpandFileName(FileName) + "\". " +
                            SysErrorMessage(e.ErrorCode));
    }
}
