#include "plugin/BackupRules.h"

#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/SysUtils.h"

namespace qel {

String NamePart(const String& path) {
    auto cut = path.find_last_of("\\/:");
    return cut == String::npos ? path : path.substr(cut + 1);
}

String FolderPart(const String& path) {
    auto cut = path.find_last_of("\\/:");
    return cut == String::npos ? String() : path.substr(0, cut + 1);
}

TWatchedFile ReadWatchedFile(const String& path) {
    TWatchedFile f;
    if (!FileExists(path)) return f;
    f.Exists = true;
    f.DosDate = FileAge(path);
    // Read access with read and write sharing: a read-only file, or one a program holds open
    // for writing, still gives its size, and nothing here can ever change the file.
    THandle h = FileOpen(path, fmOpenRead | fmShareDenyNone);
    if (h == INVALID_HANDLE_VALUE) {
        f.Size = -1;
        return f;
    }
    f.Readable = true;
    f.Size = FileSeek(h, 0, 2);
    FileClose(h);
    return f;
}

bool ArchiveHoldsFile(const std::vector<TArchiveEntry>& entries, const String& fileName, const TWatchedFile& file,
                      const TCheckOptions& options) {
    bool sameSize = !options.FileSize;
    bool sameDate = !options.FileDate;
    for (const auto& e : entries) {
        if (!SameText(e.FileName, fileName)) continue;
        if (options.FileSize && static_cast<Int64>(e.Size) == file.Size) sameSize = true;
        if (options.FileDate && DateTimeToFileDate(e.Date) == file.DosDate) sameDate = true;
    }
    return sameSize && sameDate;
}

String DatedPrefix(TDateTime when, const TFormatSettings& settings) {
    TFormatSettings dashed = settings;
    dashed.DateSeparator = '-';
    return DateTimeToStr(when, dashed) + "\\";
}

// The maker's web page, the same address the program's Help menu opens.
String ArchiveCommentText() { return "This backup made with corvex system by http://www.brenlo.com/"; }

}  // namespace qel
