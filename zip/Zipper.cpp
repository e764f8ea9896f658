// TZipper's properties and the update cycle. Adding one file is in AddFile.cpp, copying kept
// entries in EntryCopy.cpp, the output and its parts in ZipOutput.cpp.
#include "zip/Zipper.h"

#include <mutex>
#include <set>

#include "platform/DateTime.h"
#include "zip/BufferStream.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "zip/Deflate.h"
#include "zip/DirSearch.h"
#include "zip/WildMatch.h"
#include "zip/ZipConstants.h"
#include "zip/ZipCycle.h"
#include "zip/ZipLib.h"

namespace {

bool IdentityOfStream(TStream& stream, TFileIdentity& id) {
    auto* file = dynamic_cast<TLFNFileStream*>(&stream);
    return file != nullptr && GetFileIdentity(file->FileHandle(), id);
}

}  // namespace

namespace zipwrite {

RewriteClaim::RewriteClaim(const String& archive) {
    auto lock = LockArchive(archive);
    if (!lock) throw EZipWriteError("The archive \"" + archive + "\" is being rewritten by another operation");
    locks_.push_back(std::move(lock));
}

void RewriteClaim::Also(const String& name) {
    using platform::ArchiveLock;
    auto lock = std::make_unique<ArchiveLock>(name, ArchiveLock::Use::Rewrite, ArchiveLockTimeout());
    if (!lock->Held())
        throw EZipWriteError("The file \"" + name + "\" is being written by another " +
                             (lock->GetState() == ArchiveLock::State::BusyHere ? "operation" : "program"));
    locks_.push_back(std::move(lock));
}

bool RewriteClaim::Shared() const { return !locks_.empty() && locks_.front()->Shared(); }

}  // namespace zipwrite

void TMultiZipInfo::CopyFromSource(const TObject& source) {
    const auto* src = dynamic_cast<const TMultiZipInfo*>(&source);
    if (src == nullptr) throw EConvertError(String("Cannot assign a ") + source.ClassName() + " to a TMultiZipInfo");
    BlockSize = src->BlockSize;
    FirstBlockSize = src->FirstBlockSize;
    MultiMode = src->MultiMode;
    CheckDiskLabels = src->CheckDiskLabels;
    WriteDiskLabels = src->WriteDiskLabels;
}

TZipper::TZipper(TComponent* owner) : TUnZipper(owner) {}

TZipper::~TZipper() = default;

void TZipper::SetStorePaths(bool value) {
    if (value == storePaths_) return;
    storePaths_ = value;
    if (!value) storeVolumes_ = relativePaths_ = false;
}

void TZipper::SetRelativePaths(bool value) {
    if (value == relativePaths_) return;
    relativePaths_ = value;
    if (value) storePaths_ = Recurse = true;
}

void TZipper::SetStoreVolumes(bool value) {
    if (value == storeVolumes_) return;
    storeVolumes_ = value;
    if (value) storePaths_ = true;
}

void TZipper::SetCheckDiskLabels(bool value) {
    multiZipInfo_.CheckDiskLabels = value;
    TUnZipper::SetCheckDiskLabels(value);
}

void TZipper::SetMultiMode(TMultiMode value) {
    multiZipInfo_.MultiMode = value;
    TUnZipper::SetMultiMode(value);
}

void TZipper::AfterLoad() {
    SetCheckDiskLabels(multiZipInfo_.CheckDiskLabels);
    SetMultiMode(multiZipInfo_.MultiMode);
}

void TZipper::SetZipComment(const String& text) {
    if (static_cast<Int64>(text.size()) > zipwrite::kMaxArchiveComment)
        throw EZipWriteError("An archive comment may hold at most 65,506 bytes");
    TUnZipper::SetZipComment(text);
}

void TZipper::SetFileComment(Integer index, const String& text) {
    if (static_cast<Int64>(text.size()) > zipwrite::kMaxEntryComment)
        throw EZipWriteError("An entry comment may hold at most 65,535 bytes");
    TUnZipper::SetFileComment(index, text);
}

// ---- opening with an exact freshness test ----

void TZipper::OpenZipNow() {
    if (archive_) {
        // Kept open, but the name may reach another file now: another program replaced it.
        TFileIdentity open, named;
        if (IdentityOfStream(*archive_, open) && GetFileIdentity(zipName_, named) &&
            (open.Device != named.Device || open.Inode != named.Inode))
            archive_.reset();
    }
    if (!archive_) archive_ = OpenArchiveFile(zipName_, zipconst::kModeReadDenyWrite);
    TFileIdentity now;
    const bool known = IdentityOfStream(*archive_, now);
    if (directory_) {
        if (known && identityKnown_ && now == identity_) return;
        if (!known && !identityKnown_ && FileStreamDate(*archive_) == archiveDate_) return;
    }
    ReadZipDirectory();
    // A multi-disk archive leaves another disk open after the reading.
    identityKnown_ = endCentral_.ThisDisk == 0 ? known : IdentityOfStream(*archive_, now);
    identity_ = now;
}

// ---- public operations ----

Integer TZipper::Zip() {
    RequireIdle("add files");
    return ProcessFiles();
}

void TZipper::DeleteEntries() {
    RequireIdle("delete entries");
    deleteMode_ = true;
    try {
        ProcessFiles();
    } catch (...) {
        deleteMode_ = false;
        throw;
    }
    deleteMode_ = false;
}

void TZipper::SaveModifiedZipFile() {
    RequireIdle("save the archive");
    if (!endCentral_.Modified) return;
    FilesList.Clear();
    ProcessFiles();
    endCentral_.Modified = false;
    ReadZip();
}

void TZipper::SetZipName(const String& name) {
    if (AnsiSameText(name, zipName_)) return;
    RequireIdle("change the archive name");
    if (endCentral_.Modified && !zipName_.empty()) {
        FilesList.Clear();
        ProcessFiles();
        endCentral_.Modified = false;
    }
    TUnZipper::SetZipName(name);
    identityKnown_ = false;
}

void TZipper::SetPathname(Integer index, const String& value) {
    RequireIdle("change an entry's folder");
    TZipHeaderInfo* entry = ViewEntry(index);
    String dir = value;
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    if (dir == entry->Directory()) return;
    TZipWriteEntry probe;
    probe.CopyFromSource(*entry);
    probe.SetDirectory(dir);
    probe.NameBytes();  // refuses a name the format cannot hold
    entry->SetDirectory(dir);
    endCentral_.Modified = true;
}

void TZipper::MakeSFX(const String& StubName) {
    RequireIdle("write a self-extracting archive");
    if (zipName_.empty() || !FileExists(zipName_))
        throw EZipWriteError("There is no archive to make a self-extracting archive from");
    String target = ChangeFileExt(zipName_, ".EXE");
    if (AnsiSameText(ExpandFileName(target), ExpandFileName(zipName_)))
        throw EZipWriteError("The self-extracting archive would replace the archive \"" + zipName_ + "\" itself");
    if (MultiMode() != TMultiMode::mmNone)
        throw EZipWriteError("A self-extracting archive is written as one file; switch multi-part output off");
    stub_ = std::make_unique<TFileStream>(StubName, fmOpenRead | fmShareDenyWrite);
    sfxMode_ = true;
    sfxName_ = target;
    try {
        ProcessFiles();
    } catch (...) {
        sfxMode_ = false;
        sfxName_.clear();
        stub_.reset();
        throw;
    }
    sfxMode_ = false;
    sfxName_.clear();
    stub_.reset();
}

// ---- matching ----

String TZipper::StoredPath(const String& spec) const {
    if (!storePaths_) return String();
    String folder = ExtractFilePath(spec);
    if (relativePaths_) return folder.size() >= rootDir_.size() ? folder.substr(rootDir_.size()) : String();
    if (!storeVolumes_ && folder.size() >= 2 && folder[1] == ':') return folder.substr(std::min<size_t>(3, folder.size()));
    return folder;
}

bool TZipper::EntryMatches(const String& spec, const TZipHeaderInfo& entry) const {
    const String lowered = LowerCase(spec);
    const String full = LowerCase(entry.FullName());
    if (deleteMode_) {
        if (IsWildcard(lowered)) {
            bool withFolder = lowered.find('\\') != String::npos;
            return IsWildMatch(lowered, withFolder ? full : LowerCase(entry.FileName()));
        }
        return lowered == full;
    }
    return LowerCase(StoredPath(spec) + ExtractFileName(spec)) == full;
}

String TZipper::StoredFolderOfNewEntry(const String& fullName) const {
    if (!storePaths_) return String();
    String folder = ExcludeTrailingBackslash(ExtractFilePath(fullName)) + "\\";
    if (folder.size() >= 2 && folder.compare(folder.size() - 2, 2, "\\\\") == 0) folder.pop_back();
    if (!rootDir_.empty() && relativePaths_) {
        if (folder == rootDir_)
            folder.clear();
        else if (folder.compare(0, rootDir_.size(), rootDir_) == 0)
            folder = folder.substr(rootDir_.size());
    }
    if (!relativePaths_ && !storeVolumes_ && !folder.empty()) {
        if (folder.size() > 1 && folder[1] == ':') folder = folder.substr(std::min<size_t>(3, folder.size()));
        if (!folder.empty() && folder[0] == '\\') folder.erase(0, 1);
    }
    return folder;
}
