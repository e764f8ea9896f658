#include "manager/FileScan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Forms.h"
#include "platform/MessagePump.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

namespace {

constexpr Integer kAttrReadOnly = faReadOnly;
constexpr Integer kAttrHidden = faHidden;
constexpr Integer kAttrSystem = faSysFile;
constexpr Integer kAttrVolumeID = faVolumeID;
constexpr Integer kAttrDirectory = faDirectory;
constexpr Integer kAttrArchive = faArchive;

// The rest of FileSpecs after a ";" is cut to this many characters.
constexpr std::size_t kMaxSpecsRest = 10000;

// End of today: the reference moment the age of a file is counted from.
constexpr double kEndOfDay = 0.99999;

constexpr char kLeadDelimiters[] = " ";
constexpr char kTrailDelimiters[] = " ,.";

const Integer kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

template <class T>
bool Compare(T value, T against, TFileCompType how) {
    switch (how) {
    case fctNone: return true;
    case fctEqual: return value == against;
    case fctGreaterThan: return value > against;
    case fctLessThan: return value < against;
    case fctGreaterThanOrEqual: return value >= against;
    case fctLessThanOrEqual: return value <= against;
    }
    return true;
}

void UpperCaseAsciiInPlace(String& s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
}

// The searched text of a chunk: its bytes up to the read count or its first zero byte.
String ChunkText(const char* data, std::size_t count) {
    const char* zero = static_cast<const char*>(std::memchr(data, 0, count));
    return String(data, zero ? static_cast<std::size_t>(zero - data) : count);
}

// Restores the ready flag on every way out of a folder's file loop, errors included.
class ReadyFlag {
public:
    explicit ReadyFlag(bool& flag) : flag_(flag) { flag_ = false; }
    ~ReadyFlag() { flag_ = true; }
    ReadyFlag(const ReadyFlag&) = delete;
    ReadyFlag& operator=(const ReadyFlag&) = delete;

private:
    bool& flag_;
};

// Closes an open file search on every way out.
class SearchHandle {
public:
    SearchHandle() = default;
    ~SearchHandle() {
        if (open_) FindClose(rec);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;

    bool First(const String& path, Integer attr) {
        open_ = FindFirst(path, attr, rec) == 0;
        return open_;
    }
    bool Next() { return FindNext(rec) == 0; }

    TSearchRec rec;

private:
    bool open_ = false;
};

Integer DayLimit(Integer month, Integer year) {
    // While the month is not set no month length applies; the longest month bounds the day.
    if (month < 1 || month > 12) return 31;
    if (month == 2 && TFileScan::IsLeapYear(year)) return 29;
    return kMonthDays[month - 1];
}

void CheckYear(Integer value, const char* message) {
    if (value != 0 && value <= 1900) throw EInvalidStartEndDate(message);
}

void CheckMonth(Integer value, const char* message) {
    if (value < 0 || value > 12) throw EInvalidStartEndDate(message);
}

void CheckDay(Integer value, Integer month, Integer year, const char* message) {
    if (value != 0 && (value < 1 || value > DayLimit(month, year)))
        throw EInvalidStartEndDate(message);
}

}  // namespace

TFileScan::TFileScan(TComponent* AOwner) : TComponent(AOwner) {
    if (!dynamic_cast<TCustomForm*>(AOwner)) return;
    for (Integer i = 0; i < AOwner->ComponentCount(); ++i)
        if (auto* label = dynamic_cast<TLabel*>(AOwner->Components(i))) CurrInfoLabel = label;
    if (CurrInfoLabel) CurrInfoLabel->FreeNotification(this);
}

void TFileScan::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == CurrInfoLabel) CurrInfoLabel = nullptr;
}

TFileScan::~TFileScan() = default;

bool TFileScan::IsLeapYear(Integer Year) {
    return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
}

void TFileScan::SetStartYear(Integer value) {
    if (value == startYear_) return;
    CheckYear(value, "Invalid Start Year: Year Must be > 1900 - Or Equal 0");
    startYear_ = value;
}

void TFileScan::SetEndYear(Integer value) {
    if (value == endYear_) return;
    CheckYear(value, "Invalid End Year: Year Must be > 1900 or Equal 0");
    endYear_ = value;
}

void TFileScan::SetStartMonth(Integer value) {
    if (value == startMonth_) return;
    CheckMonth(value, "Invalid Start Month: Month Must be 0 < Month > 13 - Or Equal to 0");
    startMonth_ = value;
}

void TFileScan::SetEndMonth(Integer value) {
    if (value == endMonth_) return;
    CheckMonth(value, "Invalid End Month: Month Must be 0 < Month > 13 - Or Equal to 0");
    endMonth_ = value;
}

void TFileScan::SetStartDay(Integer value) {
    if (value == startDay_) return;
    CheckDay(value, startMonth_, startYear_, "Invalid Start Day: Day Must be 0 > Day < (Max for Month)");
    startDay_ = value;
}

void TFileScan::SetEndDay(Integer value) {
    if (value == endDay_) return;
    CheckDay(value, endMonth_, endYear_, "Invalid End Day: Day Must be 0 > Day < (Max for Month)");
    endDay_ = value;
}

void TFileScan::SetStartScan(bool value) {
    if (!value) return;
    stopRequested_ = false;
    limitReached_ = false;
    if (!AppendItems) FoundFiles.Clear();
    // A scan started from an event inside another has folders of its own to walk.
    std::vector<FolderId> outerFolders;
    outerFolders.swap(folderStack_);
    struct Restore {
        std::vector<FolderId>& stack;
        std::vector<FolderId>& outer;
        ~Restore() { stack.swap(outer); }
    } restore{folderStack_, outerFolders};
    if (OnStartSearch) OnStartSearch();
    if (SearchAllDrives) {
        const bool append = AppendItems;
        AppendItems = true;
        try {
            ScanAllDrives();
        } catch (...) {
            AppendItems = append;
            throw;
        }
        AppendItems = append;
    } else {
        ScanDirectory(Directory);
    }
    if (OnEndSearch) OnEndSearch();
}

void TFileScan::ScanAllDrives() {
    for (char letter = 'a'; letter <= 'z' && !ScanEnded(); ++letter) {
        const String root = String(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_UNKNOWN) ScanDirectory(root);
    }
}

void TFileScan::ScanDirectory(String Dir) {
    if (!ready_) return;
    // An empty folder name would mean the root of the current drive; scan nothing instead.
    if (Dir.empty()) return;
    ReadyFlag busy(ready_);
    const TDateTime reference = Date() + kEndOfDay;
    if (Dir.back() != '\\') Dir += '\\';
    // Z: is the root of the whole system: a walk of every drive must not descend into the
    // kernel's trees, where a file can block a content search forever (/proc/kmsg).
    if (platform::IsPseudoFileSystem(Dir)) return;

    // A folder reached again through a symlink while the walk is still inside it would
    // repeat forever; such a folder is passed over.
    FolderId id{};
    const bool known = platform::GetFolderIdentity(Dir, id);
    if (known && std::find(folderStack_.begin(), folderStack_.end(), id) != folderStack_.end())
        return;
    if (known) folderStack_.push_back(id);
    struct Pop {
        std::vector<FolderId>& stack;
        bool active;
        ~Pop() {
            if (active) stack.pop_back();
        }
    } pop{folderStack_, known};

    ScanFiles(Dir, reference);
    if (ScanEnded() || !IncSubDir) return;
    ready_ = true;  // so that the nested calls run
    ScanSubFolders(Dir);
}

void TFileScan::ScanFiles(const String& dir, TDateTime reference) {
    Integer mask = 0;
    if (FileType.count(ftReadOnly)) mask |= kAttrReadOnly;
    if (FileType.count(ftHidden)) mask |= kAttrHidden;
    if (FileType.count(ftSystem)) mask |= kAttrSystem;
    if (FileType.count(ftVolumeID)) mask |= kAttrVolumeID;
    if (FileType.count(ftArchive)) mask |= kAttrArchive;

    String rest = FileSpecs;
    for (;;) {
        const std::size_t semi = rest.find(';');
        const String pattern = rest.substr(0, semi);
        SearchHandle search;
        if (search.First(dir + pattern, mask)) {
            do {
                if (PassesFilters(dir, search.rec, reference)) {
                    if (OnFoundFile) OnFoundFile(dir, search.rec);
                    FoundFiles.Add(ResultLine(dir, search.rec));
                }
                platform::ProcessPendingMessages();
                if (CheckStopAndLimit()) return;
            } while (search.Next());
        }
        if (semi == String::npos) break;
        rest = rest.substr(semi + 1, kMaxSpecsRest);
    }
}

void TFileScan::ScanSubFolders(const String& dir) {
    Integer mask = kAttrDirectory;
    if (DirType.count(dtReadOnly)) mask |= kAttrReadOnly;
    if (DirType.count(dtHidden)) mask |= kAttrHidden;
    if (DirType.count(dtSystem)) mask |= kAttrSystem;
    if (DirType.count(dtArchive)) mask |= kAttrArchive;

    SearchHandle search;
    if (!search.First(dir + "*.*", mask)) return;
    do {
        if (ScanEnded()) return;
        TSearchRec& entry = search.rec;
        // A name holding "." is never entered; that also passes over "." and "..".
        if ((entry.Attr & kAttrDirectory) == 0 || entry.Name.find('.') != String::npos) continue;
        if (OnFoundDirectory) OnFoundDirectory(dir, entry);
        ScanDirectory(dir + entry.Name);
    } while (search.Next());
}

bool TFileScan::CheckStopAndLimit() {
    if (stopRequested_) {
        FoundFiles.Add(kAbortedByUser);
        return true;
    }
    if (MatchLimit > 0 && FoundFiles.Count() >= MatchLimit) {
        FoundFiles.Add(kMatchLimitMet);
        limitReached_ = true;
        return true;
    }
    return false;
}

bool TFileScan::PassesFilters(const String& dir, const TSearchRec& entry, TDateTime reference) {
    // Sizes compare at 64 bits, so a file past 2 GiB never wraps to a negative size.
    bool sizeAndAge = Compare<Int64>(entry.Size, FileSize, FileSizeComp);
    const TDateTime modified = FileDateToDateTime(entry.Time);
    if (sizeAndAge && FileAgeComp != fctNone) {
        const auto age = static_cast<Int64>(std::trunc(reference - modified));
        sizeAndAge = Compare<Int64>(age, FileAge, FileAgeComp);
    }

    if (endYear_ != 0 && startYear_ == 0) {
        // Not through the setters: 1900 itself is below what they accept. The values stay.
        startYear_ = 1900;
        startMonth_ = 1;
        startDay_ = 1;
    }
    bool inRange = true;
    if (startYear_ != 0 && endYear_ != 0) {
        const TDateTime start = EncodeDate(startYear_, startMonth_, startDay_);
        const TDateTime end = EncodeDate(endYear_, endMonth_, endDay_);
        inRange = modified > start && modified < end;
    }

    // The content test does not look at the date range: a file outside it is still read, and
    // an unreadable one still reports its error line.
    bool content = true;
    // FIFOs, sockets and devices show as "system" entries: a FIFO would block the scan and a
    // device has no end, and neither holds searchable content, so neither is opened.
    const bool searchable = (entry.Attr & kAttrSystem) == 0;
    const bool searchAll = SearchStrings.Count() == 1 && SearchStrings[0] == "*";
    if (sizeAndAge && SearchStrings.Count() > 0 && !searchAll && !searchable) {
        content = false;
    } else if (sizeAndAge && SearchStrings.Count() > 0 && !searchAll) {
        const Integer result = ScanFile(dir + entry.Name);
        content = result >= 1;
        if (result < 0) FoundFiles.Add(kErrorScanning + dir + entry.Name);
    }
    return sizeAndAge && inRange && content;
}

String TFileScan::ResultLine(const String& dir, const TSearchRec& entry) const {
    String line = IncDirName ? dir + entry.Name : entry.Name;
    if (ShowSize) line += "  " + Format("%12.0n", {static_cast<double>(entry.Size)});
    if (ShowDate) {
        Word year, month, day, hour, minute, second, msec;
        const TDateTime modified = FileDateToDateTime(entry.Time);
        DecodeDate(modified, year, month, day);
        DecodeTime(modified, hour, minute, second, msec);
        const String date = Format("%4.2d/%2.2d/%2.2d", {year, month, day});
        const String time = Format("%2.2d:%2.2d:%2.2d", {hour, minute, second});
        line += "  " + Format("%10s", {date}) + "  " + Format("%8s", {time});
    }
    if (ShowAttr) {
        static constexpr struct {
            Integer bit;
            char letter;
        } kLetters[] = {{kAttrReadOnly, 'R'}, {kAttrHidden, 'H'},    {kAttrSystem, 'S'},
                        {kAttrVolumeID, 'V'}, {kAttrDirectory, 'D'}, {kAttrArchive, 'A'}};
        line += "  ";
        for (const auto& l : kLetters) line += (entry.Attr & l.bit) ? l.letter : '-';
    }
    return line;
}

Integer TFileScan::ScanFile(const String& FileName) {
    std::vector<String> work;
    for (Integer i = 0; i < SearchStrings.Count(); ++i) work.push_back(SearchStrings[i]);

    const HFILE file = _lopen(FileName.c_str(), OF_READ | OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR) return -1;
    struct Closer {
        HFILE h;
        ~Closer() { _lclose(h); }
    } closer{file};
    const auto readChunk = [file](char* buffer) -> Integer {
        const UINT n = _lread(file, buffer, kChunkSize);
        return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<Integer>(n);
    };

    try {
        std::vector<char> chunk(kChunkSize + 2);
        Integer readCount = readChunk(chunk.data());
        if (readCount < 0) return -2;
        String text = ChunkText(chunk.data(), static_cast<std::size_t>(readCount));
        Integer chunkNumber = 1;
        bool found = false;
        while (readCount >= 1 && !found) {
            for (String& searchText : work) {
                if (OnBeforeBufferScan)
                    OnBeforeBufferScan(FileName, searchText.c_str(), text.c_str(), chunkNumber, CaseSense);
                const Integer hit = ScanBuffer(text, searchText);
                if (hit < 0) return -2;
                if (OnAfterBufferScan)
                    OnAfterBufferScan(FileName, searchText.c_str(), text.c_str(), chunkNumber, CaseSense,
                                      hit == 1);
                if (hit == 1) {
                    if (SearchType != st_And) {
                        found = true;
                        break;
                    }
                    searchText = kFoundMarker;
                }
            }
            if (found) break;
            if (SearchType == st_And) {
                std::erase(work, String(kFoundMarker));
                if (work.empty()) {
                    found = true;
                    break;
                }
            }
            // Carry the tail that could hold the start of a text straddling two chunks.
            std::size_t longest = 0;
            for (const String& s : work) longest = std::max(longest, s.size());
            const std::size_t carry = std::min(longest, text.size());
            String carried = text.substr(text.size() - carry);

            readCount = readChunk(chunk.data());
            if (readCount < 0) return -2;
            text = carried + ChunkText(chunk.data(), static_cast<std::size_t>(readCount));
            ++chunkNumber;
        }
        if (SearchType == st_Not) return found ? 0 : 1;
        return found ? 1 : 0;
    } catch (const Exception&) {
        return -2;
    }
}

Integer TFileScan::ScanBuffer(String& Text, const String& SearchText) {
    // Like the zero-terminated search it matches, an empty text is never found.
    if (SearchText.empty()) return 0;
    String wanted = SearchText;
    if (!CaseSense) {
        UpperCaseAsciiInPlace(Text);
        UpperCaseAsciiInPlace(wanted);
    }
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = Text.find(wanted, from);
        if (pos == String::npos) return 0;
        if (SearchStringType == sst_Normal || CheckBounds(Text, pos, wanted.size())) return 1;
        // Resume after the rejected occurrence: overlapping occurrences are not tried.
        from = pos + wanted.size();
    }
}

bool TFileScan::CheckBounds(const String& Text, std::size_t pos, std::size_t len) const {
    const auto isIn = [](const char* set, char ch) { return std::strchr(set, ch) != nullptr && ch != 0; };
    const bool leadOk = pos == 0 || isIn(kLeadDelimiters, Text[pos - 1]);
    const bool trailOk = pos + len >= Text.size() || isIn(kTrailDelimiters, Text[pos + len]);
    switch (SearchStringType) {
    case sst_Prefix: return leadOk;
    case sst_Suffix: return trailOk;
    case sst_Word: return leadOk && trailOk;
    case sst_Normal: return true;
    }
    return true;
}
