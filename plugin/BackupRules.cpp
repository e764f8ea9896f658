#include "plugin/BackupRules.h"

#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/SysUtils.h"
#include "zip/Crc32.h"

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
    TFileIdentity id;
    if (GetFileIdentity(path, id)) {
        f.ModifiedNs = id.ModifiedNs;
        f.Inode = id.Inode;
    }
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

std::optional<LongWord> FileCrc32(const String& path) {
    THandle h = FileOpen(path, fmOpenRead | fmShareDenyNone);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<Byte> block(1 << 16);
    std::uint32_t crc = zip::crc32::kCrcStart;
    Integer n = 0;
    while ((n = FileRead(h, block.data(), static_cast<Integer>(block.size()))) > 0)
        crc = zip::crc32::update(crc, block.data(), static_cast<std::size_t>(n));
    FileClose(h);
    if (n < 0) return std::nullopt;
    return static_cast<LongWord>(~crc);
}

bool ArchiveHoldsFile(const std::vector<TArchiveEntry>& entries, const String& fileName, const TWatchedFile& file,
                      const TCheckOptions& options, const TContentCrc& contentCrc) {
    bool sameSize = !options.FileSize;
    bool sameDate = !options.FileDate;
    const TArchiveEntry* twin = nullptr;  // newest of the file's size, one of its date first
    bool twinHasDate = false;
    for (const auto& e : entries) {
        if (!SameText(e.FileName, fileName)) continue;
        const bool size = static_cast<Int64>(e.Size) == file.Size;
        const bool date = DateTimeToFileDate(e.Date) == file.DosDate;
        if (options.FileSize && size) sameSize = true;
        if (options.FileDate && date) sameDate = true;
        if (size && (date || !twinHasDate)) {
            twin = &e;
            twinHasDate = date;
        }
    }
    if (!(sameSize && sameDate)) return false;
    if (!contentCrc || !twin || !(options.FileSize || options.FileDate)) return true;
    std::optional<LongWord> crc = contentCrc();
    // A file that cannot be read now cannot be backed up either: nothing to decide.
    return !crc || *crc == twin->Crc;
}

String DatedPrefix(TDateTime when, const TFormatSettings& settings) {
    TFormatSettings dashed = settings;
    dashed.DateSeparator = '-';
    return DateTimeToStr(when, dashed) + "\\";
}

// The maker's web page, the same address the program's Help menu opens.
String ArchiveCommentText() { return "This backup made with corvex system by http://www.brenlo.com/"; }

}  // namespace qel
