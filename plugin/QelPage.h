// The plug-in page's behaviour, apart from its controls: watching the file, the backup job,
// the secure backup, the readme archive, the restore list, restore, remove and the
// information page. The page form reads the controls, calls these and shows the result; the
// tests drive this class directly.
//
// Every operation that touches the archive is refused with a status text while the page's
// archive is busy or another page holds the same archive. A failed backup shows its reason
// and is tried again only when the watched file or the settings change, or after a minute.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "plugin/BackupArchive.h"
#include "plugin/ProgramWatch.h"
#include "plugin/QelSettings.h"

namespace qel {

// Status texts of the page's label.
inline constexpr const char* kStatusChecking = "Checking..";
inline constexpr const char* kStatusCheckingFile = "Checking...";
inline constexpr const char* kStatusNoQelFile = "Qel file do not exists ";
inline constexpr const char* kStatusBusy = "Busy: a backup of this archive is running, try again when it ends";

// The readme archive the "PanBox" option keeps in a backup archive.
inline constexpr const char* kReadmeName = "!ReadMe!.ZIP";

enum class TBackupOutcome { Done, NotDue, Refused, Failed };

class TQelPage {
public:
    TQelPage(std::unique_ptr<TBackupArchive> archive, String settingsPath, String pluginDataFolder);

    // Reads the settings file; the first load also fills the restore list.
    void LoadSettings();
    // The 500 ms check.
    void Tick();
    // A backup now (button, "Backup" command, the timer when due).
    TBackupOutcome StartBackup();
    // Closes the watched program when asked, backs up, and shuts the computer down when asked.
    TBackupOutcome SecureBackup();
    // Keeps the readme archive in the archive exactly when PanBox is on.
    void SyncVantrelBox();
    void LoadRestoreList();

    // Restores row to destFile: extracted and checked first, then put in place, asking before
    // it replaces a file. Success and failure are told in a box. True when restored.
    bool Restore(Integer row, const String& destFile);
    // Removes exactly the row's entry.
    bool Remove(Integer row);
    // Writes the self-extracting copy of the archive with stub in front. True when written;
    // the status tells why not.
    bool MakeExe(const String& stub);
    // Writes the information page for a row (or none); gives its path.
    String InfoPage(std::optional<Integer> row);

    // What the status says while the watched file is backed up: the versions the list holds.
    String VersionsStatus() const;
    const String& Status() const { return status_; }
    const TQelSettings& Settings() const { return settings_; }
    const std::vector<TArchiveEntry>& Rows() const { return rows_; }
    const String& SettingsPath() const { return settingsPath_; }
    const String& PluginDataFolder() const { return pluginDataFolder_; }
    TBackupArchive& Archive() { return *archive_; }
    // The texts a restore-list row shows: name, size, date, full name, comment.
    std::vector<String> RowTexts(Integer row) const;
    bool Busy() const;

    // Told after the restore list was loaded again, and after the status text changed.
    std::function<void()> OnChanged;
    std::function<void()> OnStatus;
    // Told when a load of the restore list starts (true) and ends (false), also when it fails.
    std::function<void(bool)> OnListLoading;
    // Told when a backup starts (true) and ends (false): the hourglass.
    std::function<void(bool)> OnWorking;
    // Told after a remove took exactly the row's entry: only that row goes, the others keep
    // their numbers.
    std::function<void(Integer row)> OnRowRemoved;

private:
    void Check();
    TBackupOutcome RunBackup();
    void Fail(const String& reason);
    void SetStatus(const String& text);
    void Changed() {
        if (OnChanged) OnChanged();
    }
    Int64 SettingsStamp() const;
    std::optional<LongWord> ContentCrc(const TWatchedFile& file);
    bool HoldsNow(const TWatchedFile& file, const TCheckOptions& options);
    TRetryGate::Key GateKey(const TWatchedFile& file) const { return {file, SettingsStamp()}; }

    std::unique_ptr<TBackupArchive> archive_;
    String settingsPath_;
    String pluginDataFolder_;
    TQelSettings settings_;
    bool loaded_ = false;
    bool readmePending_ = false;  // a readme change was refused while the archive was busy
    Integer settingsDate_ = 0;
    Int64 settingsSize_ = 0;
    TProgramWatch watch_;
    TRetryGate gate_;
    TWatchedFile backedUp_;  // the watched file as the last backup found it
    TWatchedFile attempt_;   // the watched file as the running backup found it at its start
    // The watched file's CRC for one state of it: read once per version, not on every check.
    struct CrcCache {
        String path;
        TWatchedFile file;
        LongWord crc = 0;
    };
    std::optional<CrcCache> crcCache_;
    String status_;
    String failure_;
    String readmeFailure_;
    std::vector<TArchiveEntry> rows_;
};

}  // namespace qel
