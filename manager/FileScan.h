// TFileScan: the non-visual component that walks a folder tree (or every drive) and collects
// the files that pass its filters into FoundFiles, one text line per file.
//
// Filters: name patterns, attributes, size, age in days, a modification date range and a
// content search for one or more texts. A scan runs synchronously when StartScan is set and
// lets the message loop run once per file entry it examines, so events of the same thread can
// arrive in the middle; a scan started from such an event while a folder's files are being
// examined finds the ready flag cleared and scans nothing.
//
// The walk never follows a symlinked folder back into a folder it is already inside, never
// enters a folder of a kernel pseudo file system (proc, sysfs, devtmpfs, ...), never opens a
// FIFO, socket or device for the content search, and passes over a folder it cannot read as
// one that holds nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "platform/Components.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Object.h"
#include "platform/StringList.h"

class TLabel;

enum TFileAttr { ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftArchive, ftNormal };
using TFileType = std::set<TFileAttr>;
enum TDirAttr { dtReadOnly, dtHidden, dtSystem, dtArchive };
using TDirType = std::set<TDirAttr>;
enum TSearchType { st_And, st_Or, st_Not };
enum TStringSearchType { sst_Normal, sst_Word, sst_Prefix, sst_Suffix };
enum TFileCompType {
    fctNone,
    fctEqual,
    fctGreaterThan,
    fctLessThan,
    fctGreaterThanOrEqual,
    fctLessThanOrEqual
};

TARVIK_EXCEPTION(EInvalidStartEndDate, Exception);

// The events carry no sender.
using TFoundFileEvent = std::function<void(const String& DirPath, TSearchRec& FileInfo)>;
using TFoundDirectoryEvent = std::function<void(const String& DirPath, TSearchRec& DirInfo)>;
using TStartSearchEvent = std::function<void()>;
using TEndSearchEvent = std::function<void()>;
using TBeforeBufferScanEvent = std::function<void(const String& FileName, const char* SearchStrings,
                                                  const char* FileBuffer, Integer ReadCount,
                                                  bool CaseSense)>;
using TAfterBufferScanEvent =
    std::function<void(const String& FileName, const char* SearchStrings, const char* FileBuffer,
                       Integer ReadCount, bool CaseSense, bool ScanSuccessful)>;

// A component of its owner (freed with it, or earlier by whoever made it).
class TFileScan : public TComponent {
public:
    // Message lines the scan adds to FoundFiles beside the result lines.
    static constexpr const char* kErrorScanning = "*** Error Scanning: ";
    static constexpr const char* kAbortedByUser = "   ***** Search Aborted by User *****   ";
    static constexpr const char* kMatchLimitMet =
        "  *** Search Match Limit has been meet!  Search Stopped.";
    // Under st_And a found text is replaced by this marker, then every marker is dropped.
    static constexpr const char* kFoundMarker = "Flagged for Deletion!";
    // The content search reads files in chunks of this many bytes.
    static constexpr int kChunkSize = 30000;

    // When the owner is a form, CurrInfoLabel starts as the last label among its components.
    explicit TFileScan(TComponent* AOwner);
    ~TFileScan() override;
    const char* ClassName() const noexcept override { return "TFileScan"; }
    TFileScan(const TFileScan&) = delete;
    TFileScan& operator=(const TFileScan&) = delete;

    // Published properties that are plain fields.
    TDirType DirType;
    TFileType FileType{ftNormal};
    bool IncSubDir = true;
    String Directory = "C:\\";
    bool SearchAllDrives = false;
    String FileSpecs = "*.*";
    TStringList SearchStrings;
    TStringSearchType SearchStringType = sst_Normal;
    TSearchType SearchType = st_Or;
    bool CaseSense = false;
    Integer FileSize = 0;
    TFileCompType FileSizeComp = fctNone;
    Integer FileAge = 0;
    TFileCompType FileAgeComp = fctNone;
    // A status label of the owner form; the scan never writes to it. Cleared when that label
    // is freed first.
    TLabel* CurrInfoLabel = nullptr;
    bool ShowSize = false;
    bool ShowDate = false;
    bool ShowAttr = false;
    bool AppendItems = false;
    bool IncDirName = true;
    Integer MatchLimit = 0;

    // Writing true runs one whole scan and returns when it ends; it always reads back false.
    bool StartScan() const { return false; }
    void SetStartScan(bool value);

    // The modification date range; 0 means not set. The setters check the value and raise
    // EInvalidStartEndDate, keeping the old value, when it is out of range.
    Integer StartYear() const { return startYear_; }
    Integer StartMonth() const { return startMonth_; }
    Integer StartDay() const { return startDay_; }
    Integer EndYear() const { return endYear_; }
    Integer EndMonth() const { return endMonth_; }
    Integer EndDay() const { return endDay_; }
    void SetStartYear(Integer value);
    void SetStartMonth(Integer value);
    void SetStartDay(Integer value);
    void SetEndYear(Integer value);
    void SetEndMonth(Integer value);
    void SetEndDay(Integer value);

    TFoundFileEvent OnFoundFile;
    TFoundDirectoryEvent OnFoundDirectory;
    TStartSearchEvent OnStartSearch;
    TEndSearchEvent OnEndSearch;
    TBeforeBufferScanEvent OnBeforeBufferScan;
    TAfterBufferScanEvent OnAfterBufferScan;

    // The result lines and message lines of the scans, in the order produced.
    TStringList FoundFiles;

    // Asks a running scan to stop after the file it is examining (from an event handler or a
    // timer that runs inside the scan's message pump).
    void StopScan() { stopRequested_ = true; }

    static bool IsLeapYear(Integer Year);

    // The steps of a scan, open to tests.
    void ScanAllDrives();
    void ScanDirectory(String Dir);
    // 1 when the file's content matches, 0 when not, below 0 on an error.
    Integer ScanFile(const String& FileName);
    // 1 when SearchText occurs in Text under SearchStringType, 0 when not. Unless CaseSense,
    // Text is upper-cased in place (a to z only).
    Integer ScanBuffer(String& Text, const String& SearchText);
    bool CheckBounds(const String& Text, std::size_t pos, std::size_t len) const;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    using FolderId = platform::FolderId;

    bool PassesFilters(const String& dir, const TSearchRec& entry, TDateTime reference);
    String ResultLine(const String& dir, const TSearchRec& entry) const;
    bool ScanEnded() const { return stopRequested_ || limitReached_; }
    // After each file: the stop request and the match limit. True when the scan must end.
    bool CheckStopAndLimit();
    void ScanFiles(const String& dir, TDateTime reference);
    void ScanSubFolders(const String& dir);

    Integer startYear_ = 0, startMonth_ = 0, startDay_ = 0;
    Integer endYear_ = 0, endMonth_ = 0, endDay_ = 0;
    bool stopRequested_ = false;
    bool limitReached_ = false;
    bool ready_ = true;
    std::vector<FolderId> folderStack_;
};
