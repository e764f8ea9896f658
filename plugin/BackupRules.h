// What decides a backup, and the names it stores: logic that knows no window or control.
//
// A backup is due when no archive entry of the watched file's name (compared without regard
// to case) has its size, or none has its date, in the checks that are switched on; or when
// the watched program's window has gone. Dates compare as DOS date values, the form the
// archive keeps them in, so a file dated before 1980 (which the archive can only hold as
// 1980) matches its own backup instead of looking changed on every check.
//
// DOS dates have a 2-second grain: two saves within one slot that keep the size look alike.
// There the content decides (the file's CRC-32 against the entry's), so a changed file is
// always backed up and an unchanged one never again, also after a restart.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/FormatSettings.h"
#include "platform/Types.h"

namespace qel {

// One archive entry as the page lists it; Index is its physical position.
struct TArchiveEntry {
    Integer Index = 0;
    String FileName;
    String FullName;
    LongWord Size = 0;
    TDateTime Date = 0;
    String Comment;
    LongWord Crc = 0;  // CRC-32 of the entry's data
};

// Size and date of the watched file, taken without ever opening it for writing.
struct TWatchedFile {
    bool Exists = false;
    bool Readable = false;  // it opened for reading
    Int64 Size = 0;
    Integer DosDate = 0;    // the file system's date as a DOS date value (-1 when unknown)
    // Finer than the DOS date: two versions saved within one 2-second slot differ here.
    Int64 ModifiedNs = 0;
    UInt64 Inode = 0;
    bool operator==(const TWatchedFile&) const = default;
};
TWatchedFile ReadWatchedFile(const String& path);
// CRC-32 of the file's bytes; none when it cannot be read.
std::optional<LongWord> FileCrc32(const String& path);

struct TCheckOptions {
    bool FileSize = true;
    bool FileDate = true;
};

// True when the entries already hold the file in the checks that are on (an option that is
// off counts as matched). When they do and a check is on, contentCrc (when given) decides
// against the newest entry of the file's size, preferring one that also has its date: equal
// dates and sizes say nothing within one DOS time slot.
using TContentCrc = std::function<std::optional<LongWord>()>;
bool ArchiveHoldsFile(const std::vector<TArchiveEntry>& entries, const String& fileName, const TWatchedFile& file,
                      const TCheckOptions& options, const TContentCrc& contentCrc = {});

// The folder a backup is stored under: the date and time as text (short date and long time,
// "-" as the date separator), then "\". The file's full folder follows it.
String DatedPrefix(TDateTime when, const TFormatSettings& settings);
// The archive comment every backup sets.
String ArchiveCommentText();

// After a failed backup the page waits: it tries again only when the watched file or the
// settings changed, or a minute has passed, so a failure never rewrites the archive on
// every check.
class TRetryGate {
public:
    static constexpr std::uint64_t kRetryMillis = 60000;
    struct Key {
        TWatchedFile File;
        Int64 SettingsStamp = 0;
        bool operator==(const Key&) const = default;
    };
    bool Allows(const Key& key, std::uint64_t tick) const {
        return !failed_ || !(key == key_) || tick - failedTick_ >= kRetryMillis;
    }
    void Failed(const Key& key, std::uint64_t tick) {
        failed_ = true;
        key_ = key;
        failedTick_ = tick;
    }
    void Succeeded() { failed_ = false; }
    bool Waiting() const { return failed_; }

private:
    bool failed_ = false;
    Key key_;
    std::uint64_t failedTick_ = 0;
};

// The file name part of a Windows-style path (after the last "\", "/" or ":").
String NamePart(const String& path);
// The folder part with its trailing "\" (empty when the path has none).
String FolderPart(const String& path);

}  // namespace qel
