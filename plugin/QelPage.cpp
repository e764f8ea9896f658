#include "plugin/QelPage.h"

#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/FormatSettings.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "platform/Windows.h"
#include "plugin/InfoPage.h"

namespace qel {
namespace {

// ExitWindowsEx: shut down and force.
constexpr UINT kShutdownForce = 5;

String MessageOf(const std::exception& e) {
    if (auto* ex = dynamic_cast<const Exception*>(&e)) return ex->Message();
    return e.what();
}

}  // namespace

TQelPage::TQelPage(std::unique_ptr<TBackupArchive> archive, String settingsPath, String pluginDataFolder)
    : archive_(std::move(archive)),
      settingsPath_(std::move(settingsPath)),
      pluginDataFolder_(std::move(pluginDataFolder)) {}

Int64 TQelPage::SettingsStamp() const { return (static_cast<Int64>(settingsDate_) << 32) ^ settingsSize_; }

bool TQelPage::Busy() const {
    if (archive_->Busy()) return true;
    TArchiveLock probe(settings_.ZipFile);
    return !probe.Held();
}

void TQelPage::SetStatus(const String& text) {
    if (status_ == text) return;
    status_ = text;
    if (OnStatus) OnStatus();
}

void TQelPage::LoadSettings() {
    bool first = !loaded_;
    settings_ = LoadQelSettings(settingsPath_);
    loaded_ = true;
    if (FileExists(settingsPath_)) {
        settingsDate_ = FileAge(settingsPath_);
        settingsSize_ = ReadWatchedFile(settingsPath_).Size;
    }
    if (first) LoadRestoreList();
}

void TQelPage::LoadRestoreList() {
    if (OnListLoading) OnListLoading(true);
    rows_.clear();
    try {
        archive_->SetZipName(settings_.ZipFile);
        if (FileExists(settings_.ZipFile)) rows_ = archive_->List();
    } catch (const std::exception& e) {
        // The page stays and says why its list is empty; the archive is left as it is.
        rows_.clear();
        SetStatus("Error: the archive " + settings_.ZipFile + " cannot be read. " + MessageOf(e));
    }
    if (OnListLoading) OnListLoading(false);
    Changed();
}

std::optional<LongWord> TQelPage::ContentCrc(const TWatchedFile& file) {
    const String& path = settings_.QelFile;
    if (crcCache_ && crcCache_->path == path && crcCache_->file == file) return crcCache_->crc;
    std::optional<LongWord> crc = FileCrc32(path);
    if (crc) crcCache_ = CrcCache{path, file, *crc};
    return crc;
}

bool TQelPage::HoldsNow(const TWatchedFile& file, const TCheckOptions& options) {
    return ArchiveHoldsFile(rows_, NamePart(settings_.QelFile), file, options, [&] { return ContentCrc(file); });
}

void TQelPage::Tick() {
    if (Busy()) return;
    // The check runs from a timer: what goes wrong is shown on the page, never thrown into
    // the host's message loop.
    try {
        Check();
    } catch (const std::exception& e) {
        SetStatus("Error: " + MessageOf(e));
    }
}

void TQelPage::Check() {
    if (FileExists(settingsPath_) &&
        (FileAge(settingsPath_) != settingsDate_ || ReadWatchedFile(settingsPath_).Size != settingsSize_)) {
        LoadSettings();
        SyncVantrelBox();
    } else if (readmePending_) {
        SyncVantrelBox();
    }
    SetStatus(kStatusChecking);
    if (!FileExists(settings_.QelFile)) {
        SetStatus(kStatusNoQelFile + settings_.QelFile);
        return;
    }
    TWatchedFile file = ReadWatchedFile(settings_.QelFile);
    SetStatus(kStatusCheckingFile);
    bool same = HoldsNow(file, {settings_.FileSize, settings_.FileDate});
    if (settings_.ClosePrg && watch_.ProgramClosed(settings_.AppPrg)) same = false;
    if (same) {
        gate_.Succeeded();
        // A readme change that failed stays in view until one succeeds; otherwise the person
        // sees that the file is safe, and in how many versions.
        SetStatus(readmeFailure_.empty() ? VersionsStatus() : readmeFailure_);
        return;
    }
    if (!gate_.Allows(GateKey(file), GetTickCount())) {
        SetStatus(failure_);
        return;
    }
    StartBackup();
}

String TQelPage::VersionsStatus() const {
    const String name = NamePart(settings_.QelFile);
    Integer n = 0;
    for (const auto& row : rows_) n += SameText(row.FileName, name) ? 1 : 0;
    return IntToStr(n) + (n == 1 ? " version of " : " versions of ") + name + " in the archive";
}

TBackupOutcome TQelPage::StartBackup() {
    if (Busy()) {
        SetStatus(kStatusBusy);
        return TBackupOutcome::Refused;
    }
    TArchiveLock lock(settings_.ZipFile);
    if (OnWorking) OnWorking(true);
    // Dates in every later text of the library use "-" from the first backup on.
    FormatSettings().DateSeparator = '-';
    // The retry gate keys a failure on the file as this attempt found it: a change made while
    // the attempt ran is a new version, backed up at the next check.
    attempt_ = ReadWatchedFile(settings_.QelFile);
    TBackupOutcome outcome = TBackupOutcome::Failed;
    try {
        outcome = RunBackup();
    } catch (const std::exception& e) {
        Fail(MessageOf(e));
    }
    if (OnWorking) OnWorking(false);
    LoadRestoreList();
    if (outcome == TBackupOutcome::Done && ReadWatchedFile(settings_.QelFile) == backedUp_) {
        // The engine just read these bytes: the new entry's CRC is the file's, no second read.
        for (const auto& row : rows_)
            if (SameText(row.FileName, NamePart(settings_.QelFile)) && static_cast<Int64>(row.Size) == backedUp_.Size)
                crcCache_ = CrcCache{settings_.QelFile, backedUp_, row.Crc};
        // A backup the archive does not show as the watched file (a name the archive stores
        // differently) would otherwise be made again on every check.
        if (!HoldsNow(backedUp_, {settings_.FileSize, settings_.FileDate})) {
            Fail("the archive does not show the backup just made as " + NamePart(settings_.QelFile));
            outcome = TBackupOutcome::Failed;
        }
    }
    return outcome;
}

TBackupOutcome TQelPage::RunBackup() {
    const String& file = settings_.QelFile;
    const TWatchedFile& watched = attempt_;
    if (!watched.Exists) {
        Fail("the watched file " + file + " does not exist");
        return TBackupOutcome::Failed;
    }
    if (SameText(ExpandFileName(file), ExpandFileName(settings_.ZipFile))) {
        Fail("the watched file is the archive itself");
        return TBackupOutcome::Failed;
    }
    if (!watched.Readable) {
        Fail("the watched file " + file + " cannot be read (locked or no access)");
        return TBackupOutcome::Failed;
    }
    String prefix = DatedPrefix(Now(), FormatSettings());
    // Two backups in one second would store two entries of one name, which no archive can
    // hold; the next check, a second later, makes this one.
    for (const auto& e : rows_)
        if (SameText(e.FullName, prefix + file)) return TBackupOutcome::NotDue;
    String folder = ExtractFilePath(settings_.ZipFile);
    if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder)) {
        Fail("the archive folder " + folder + " cannot be created");
        return TBackupOutcome::Failed;
    }
    String password = settings_.Password ? settings_.Pass : String();
    archive_->SetZipName(settings_.ZipFile);
    if (!archive_->AddDated(file, password, prefix, ArchiveCommentText())) {
        Fail("the watched file " + file + " could not be read into the archive");
        return TBackupOutcome::Failed;
    }
    backedUp_ = watched;
    gate_.Succeeded();
    failure_.clear();
    return TBackupOutcome::Done;
}

void TQelPage::Fail(const String& reason) {
    failure_ = "Backup failed: " + reason;
    gate_.Failed(GateKey(attempt_), GetTickCount());
    SetStatus(failure_);
}

TBackupOutcome TQelPage::SecureBackup() {
    if (Busy()) {
        SetStatus(kStatusBusy);
        return TBackupOutcome::Refused;
    }
    HWND program = FindProgramWindow(settings_.AppPrg);
    watch_.Remember(program);
    if (settings_.CloseApp && program) SendMessageA(program, WM_CLOSE, 0, 0);
    TBackupOutcome outcome = StartBackup();
    // A backup already made in this same second counts when it holds the file as it is now.
    if (outcome == TBackupOutcome::NotDue && HoldsNow(ReadWatchedFile(settings_.QelFile), {true, true}))
        outcome = TBackupOutcome::Done;
    // The computer is shut down only after a backup that was made: a failed one leaves the
    // user at the screen that tells why.
    if (settings_.ShutDown && outcome == TBackupOutcome::Done && !ExitWindowsEx(kShutdownForce, 0))
        MessageBoxA(nullptr, "The backup was made, but the computer could not be shut down.", "Secure backup",
                    MB_OK | MB_ICONWARNING);
    return outcome;
}

void TQelPage::SyncVantrelBox() {
    if (Busy()) {
        // Refused, not forgotten: the next check brings the archive in line.
        readmePending_ = true;
        SetStatus(kStatusBusy);
        return;
    }
    readmePending_ = false;
    readmeFailure_.clear();
    bool present = false;
    for (const auto& e : rows_)
        if (e.FileName == kReadmeName) present = true;
    if (present == settings_.PanBox) return;
    TArchiveLock lock(settings_.ZipFile);
    try {
        archive_->SetZipName(settings_.ZipFile);
        if (settings_.PanBox)
            archive_->AddPlain(pluginDataFolder_ + kReadmeName, settings_.Password ? settings_.Pass : String());
        else archive_->RemoveExact(kReadmeName);
    } catch (const std::exception& e) {
        readmeFailure_ = "Readme archive not changed: " + MessageOf(e);
        SetStatus(readmeFailure_);
    }
    LoadRestoreList();
}

std::vector<String> TQelPage::RowTexts(Integer row) const {
    const TArchiveEntry& e = rows_.at(static_cast<std::size_t>(row));
    return {e.FileName, IntToStr(e.Size), DateTimeToStr(e.Date), e.FullName, e.Comment};
}

bool TQelPage::Restore(Integer row, const String& destFile) {
    if (row < 0 || row >= static_cast<Integer>(rows_.size())) return false;
    if (Busy()) {
        SetStatus(kStatusBusy);
        return false;
    }
    const TArchiveEntry entry = rows_[static_cast<std::size_t>(row)];
    TExtractResult result;
    {
        TArchiveLock lock(settings_.ZipFile);
        try {
            result = archive_->ExtractToTemp(entry.Index, entry.FullName, settings_.Pass, ExtractFilePath(destFile));
        } catch (const std::exception& e) {
            result.Outcome = TExtractResult::Failed;
            result.Reason = MessageOf(e);
        }
    }
    auto tell = [](const String& text, UINT icon) { MessageBoxA(nullptr, text.c_str(), "Restore", MB_OK | icon); };
    if (result.Outcome == TExtractResult::BadPassword) {
        tell("Wrong password: " + entry.FileName + " was not restored.", MB_ICONERROR);
        return false;
    }
    if (result.Outcome != TExtractResult::Ok) {
        tell("Restore of " + entry.FileName + " failed: " + result.Reason, MB_ICONERROR);
        return false;
    }
    if (FileExists(destFile)) {
        String question = "Replace existing file " + destFile + "?";
        if (MessageBoxA(nullptr, question.c_str(), "Restore", MB_YESNO | MB_ICONQUESTION) != IDYES) {
            DeleteFile(result.TempFile);
            SetStatus("Restore cancelled; " + destFile + " kept");
            return false;
        }
    }
    if (!MoveFileExA(result.TempFile.c_str(), destFile.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        String reason = SysErrorMessage(GetLastError());
        DeleteFile(result.TempFile);
        tell("Restore of " + entry.FileName + " failed: " + destFile + " cannot be written. " + reason, MB_ICONERROR);
        return false;
    }
    tell(entry.FileName + " restored to " + destFile, MB_ICONINFORMATION);
    return true;
}

bool TQelPage::Remove(Integer row) {
    if (row < 0 || row >= static_cast<Integer>(rows_.size())) return false;
    if (Busy()) {
        SetStatus(kStatusBusy);
        return false;
    }
    Integer removed = 0;
    std::vector<TArchiveEntry> now;
    {
        TArchiveLock lock(settings_.ZipFile);
        archive_->SetZipName(settings_.ZipFile);
        removed = archive_->RemoveExact(rows_[static_cast<std::size_t>(row)].FullName);
        now = archive_->List();
    }
    // Exactly the row's entry went and nothing else changed: only that row goes, and the
    // others keep their numbers. Anything else (another program changed the archive too)
    // loads the list again.
    bool onlyThat = removed == 1 && now.size() + 1 == rows_.size();
    for (std::size_t i = 0, j = 0; onlyThat && i < now.size(); ++i, ++j) {
        if (j == static_cast<std::size_t>(row)) ++j;
        onlyThat = now[i].FullName == rows_[j].FullName;
    }
    if (onlyThat) {
        rows_.erase(rows_.begin() + row);
        if (OnRowRemoved) OnRowRemoved(row);
    } else {
        LoadRestoreList();
    }
    return removed > 0;
}

bool TQelPage::MakeExe(const String& stub) {
    if (Busy()) {
        SetStatus(kStatusBusy);
        return false;
    }
    TArchiveLock lock(settings_.ZipFile);
    try {
        archive_->SetZipName(settings_.ZipFile);
        archive_->MakeSFX(stub);
    } catch (const std::exception& e) {
        SetStatus("Make EXE failed: " + MessageOf(e));
        return false;
    }
    return true;
}

String TQelPage::InfoPage(std::optional<Integer> row) {
    std::optional<TInfoRow> info;
    if (row && *row >= 0 && *row < static_cast<Integer>(rows_.size())) {
        auto t = RowTexts(*row);
        info = TInfoRow{t[0], t[1], t[2], t[3], t[4]};
    }
    TInfoArchive archive;
    archive.ZipName = archive_->ZipName();
    if (!Busy() && FileExists(archive.ZipName)) {
        archive.ZipComment = archive_->ZipComment();
        archive.ZipSize = archive_->ZipSize();
    }
    return BuildInfoPage(pluginDataFolder_ + "Info.htm", info, archive);
}

}  // namespace qel
