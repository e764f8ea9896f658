#include "zip/ZipOutput.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "zip/DirSearch.h"
#include "zip/WriteEntry.h"
#include "zip/ZipConstants.h"
#include "zip/ZipErrors.h"

namespace zipwrite {
namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr size_t kDirectWrite = 64 * 1024;

String DriveRoot(const String& name) {
    if (name.size() >= 2 && name[1] == ':') return String(1, name[0]) + ":\\";
    return String();
}

THandle HandleOf(platform::AtomicFile& file) {
    auto* stream = dynamic_cast<THandleStream*>(&file.Stream());
    return stream != nullptr ? stream->Handle() : INVALID_HANDLE_VALUE;
}

}  // namespace

ZipOutput::ZipOutput(OutputSettings settings) : settings_(std::move(settings)) {
    buffer_.reserve(kBufferSize);
    if (settings_.mode == TMultiMode::mmSpan && !settings_.nextDiskName)
        throw EZipWriteError("Spanning over disks needs a handler that names the next disk (OnGetNextDisk)");
    if (settings_.mode == TMultiMode::mmBlocks && (settings_.firstBlockSize <= 0 || settings_.blockSize <= 0))
        throw EZipWriteError("Block sizes must be positive");
    OpenPart(settings_.mode == TMultiMode::mmBlocks ? BlockName(settings_.target, 1) : settings_.target);
    if (settings_.mode == TMultiMode::mmBlocks) roomLimit_ = settings_.firstBlockSize;
}

// Uncommitted temporary files go with their AtomicFile; parts already in place are removed.
ZipOutput::~ZipOutput() {
    if (!done_) RemovePlaced();
}

void ZipOutput::RemovePlaced() {
    for (const Placed& part : placed_) {
        TFileIdentity now;
        if (GetFileIdentity(part.name, now) && now == part.identity) DeleteFile(part.name);
    }
    placed_.clear();
}

String ZipOutput::BlockName(const String& target, Integer number) {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".%3.3d", number);
    return ChangeFileExt(target, ext);
}

void ZipOutput::OpenPart(const String& name) {
    // Parts of a multi-part archive are new files: an old part of that name may be the only
    // copy of someone's data.
    if (MultiPart() && FileExists(name))
        throw EZipWriteError("The file \"" + name + "\" already exists; multi-part output never replaces a file");
    current_ = std::make_unique<platform::AtomicFile>(name);
    partName_ = name;
    written_ = 0;
    buffer_.clear();
    if (settings_.mode == TMultiMode::mmSpan) {
        String root = DriveRoot(name);
        Int64 free = root.empty() ? -1 : DiskFree(static_cast<Byte>(std::toupper(root[0]) - 'A' + 1));
        roomLimit_ = free < 0 ? 0 : free;
    }
}

Int64 ZipOutput::RoomLeft() const {
    if (settings_.mode == TMultiMode::mmNone) return std::numeric_limits<Int64>::max();
    return std::max<Int64>(0, roomLimit_ - Position());
}

void ZipOutput::Flush() {
    if (buffer_.empty()) return;
    current_->Write(buffer_.data(), buffer_.size());
    written_ += static_cast<Int64>(buffer_.size());
    buffer_.clear();
}

void ZipOutput::Write(const void* data, size_t size) {
    if (Position() + static_cast<Int64>(size) > kMaxOffset)
        throw EZipWriteError("The archive \"" + partName_ +
                             "\" would pass 4 GiB, which needs Zip64; this engine does not write Zip64");
    // Small records gather in the buffer; large blocks (copied entries) go straight to the
    // file, which spares copying every byte of a large archive once more.
    if (size < kDirectWrite && buffer_.size() + size <= kBufferSize) {
        const Byte* p = static_cast<const Byte*>(data);
        buffer_.insert(buffer_.end(), p, p + size);
        return;
    }
    Flush();
    if (size >= kDirectWrite) {
        current_->Write(data, size);
        written_ += static_cast<Int64>(size);
    } else {
        const Byte* p = static_cast<const Byte*>(data);
        buffer_.insert(buffer_.end(), p, p + size);
    }
}

void ZipOutput::PatchAt(Int64 position, const String& bytes) {
    if (position >= written_) {
        std::copy(bytes.begin(), bytes.end(), buffer_.begin() + (position - written_));
        return;
    }
    Flush();
    TStream& s = current_->Stream();
    s.SetPosition(position);
    current_->Write(bytes.data(), bytes.size());
    s.SetPosition(written_);
}

void ZipOutput::WriteAcrossParts(TStream& source, Int64 count) {
    std::vector<Byte> block(1 << 20);
    if (MultiPart() && count > 0 && RoomLeft() == 0) NextDisk();
    while (count > 0) {
        Int64 n = std::min<Int64>({count, RoomLeft(), static_cast<Int64>(block.size())});
        if (n <= 0) throw EZipWriteError("No room left on \"" + partName_ + "\"");
        source.ReadBuffer(block.data(), n);
        Write(block.data(), static_cast<size_t>(n));
        count -= n;
        if (MultiPart() && (RoomLeft() == 0)) NextDisk();
    }
}

void ZipOutput::LabelDisk() {
    if (settings_.mode != TMultiMode::mmSpan || !settings_.writeDiskLabels) return;
    String root = DriveRoot(partName_);
    // Any removable drive: the reader checks the labels of every spanned disk, not only A: and B:.
    if (root.empty() || GetDriveTypeA(root.c_str()) != DRIVE_REMOVABLE) return;
    char label[32];
    std::snprintf(label, sizeof label, "%s%3.3d", zipconst::kDiskLabelPrefix, disk_ + 1);
    if (!SetVolumeLabelName(root, label))
        throw EZipWriteError("Cannot label disk " + std::to_string(disk_ + 1) + " in " + root);
}

void ZipOutput::NextDisk() {
    switch (settings_.mode) {
        case TMultiMode::mmNone: return;
        case TMultiMode::mmBlocks:
            Flush();
            parts_.push_back(std::move(current_));
            ++disk_;
            OpenPart(BlockName(settings_.target, disk_ + 1));
            roomLimit_ = settings_.blockSize;
            return;
        case TMultiMode::mmSpan: {
            // The disk leaves the drive now: its part must be complete and in place.
            Flush();
            {
                TFileIdentity id;
                GetFileIdentity(HandleOf(*current_), id);
                current_->Commit();
                placed_.push_back({partName_, id});
            }
            current_.reset();
            LabelDisk();
            String name = settings_.nextDiskName(disk_ + 2, partName_);
            if (name.empty()) throw EUserCanceled("User canceled Zip operation.");
            ++disk_;
            OpenPart(name);
            return;
        }
    }
}

void ZipOutput::Finish() {
    Flush();
}

TFileIdentity ZipOutput::Identity() {
    Flush();
    TFileIdentity id;
    if (!GetFileIdentity(HandleOf(*current_), id))
        throw EZipWriteError("Cannot read the state of the new archive \"" + partName_ + "\"");
    return id;
}

void ZipOutput::Commit() {
    Flush();
    // A block archive with a part missing is useless and would shadow a later attempt, so a
    // failure here removes the parts already renamed (the destructor does).
    for (auto& part : parts_) {
        TFileIdentity id;
        GetFileIdentity(HandleOf(*part), id);
        part->Commit();
        placed_.push_back({part->TargetName(), id});
    }
    current_->Commit();
    parts_.clear();
    LabelDisk();
    done_ = true;
}

std::unique_ptr<platform::ArchiveLock> LockArchive(const String& archive) {
    using platform::ArchiveLock;
    auto lock = std::make_unique<ArchiveLock>(archive, ArchiveLock::Use::Rewrite, ArchiveLockTimeout());
    switch (lock->GetState()) {
    case ArchiveLock::State::BusyElsewhere:
        throw EZipWriteError("The archive \"" + archive + "\" is being rewritten by another program");
    case ArchiveLock::State::BusyHere:
        return nullptr;
    default:
        return lock;
    }
}

namespace {
std::atomic<unsigned> archiveLockTimeout{30000};
}

unsigned ArchiveLockTimeout() { return archiveLockTimeout.load(); }
void SetArchiveLockTimeout(unsigned millis) { archiveLockTimeout.store(millis); }

Integer RemoveStaleTemps(const String& archive) {
    const String full = ExpandFileName(archive);
    const String folder = ExtractFilePath(full);
    // The names the writer gives its temporary files: "." + name (at most 200 bytes) + "." +
    // eight hex digits + ".tmp".
    // A longer name is cut, so the temporary files of another archive (under another lock)
    // could look the same: those are left alone.
    // The name as it stands on disk, compared exactly: "A.zip" beside "a.zip" is another archive.
    const std::string posix = platform::ToPosixPath(full);
    const String onDisk = posix.empty() ? ExtractFileName(full) : String(posix.substr(posix.find_last_of('/') + 1));
    if (onDisk.size() > 200) return 0;
    const String stem = "." + onDisk + ".";
    auto ours = [&](const String& name) {
        if (name.size() != stem.size() + 12 || name.compare(0, stem.size(), stem) != 0) return false;
        if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
        for (size_t i = stem.size(); i < stem.size() + 8; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
        return true;
    };
    std::vector<String> stale;
    TSearchRec found;
    for (Integer rc = FindFirst(folder + stem + "*.tmp", faHidden | faArchive | faReadOnly, found); rc == 0;
         rc = FindNext(found))
        if ((found.Attr & faDirectory) == 0 && ours(found.Name)) stale.push_back(folder + found.Name);
    FindClose(found);
    Integer removed = 0;
    for (const String& name : stale)
        if (platform::RemoveAbandonedTempFile(name)) ++removed;
    return removed;
}

MemberTemp::MemberTemp() {
    char folder[300] = {};
    char name[300] = {};
    if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "QZy", 0, name) == 0)
        throw EFCreateError("Cannot create a temporary file for the compressed data");
    name_ = name;
    try {
        stream_ = std::make_unique<TFileStream>(name_, fmOpenReadWrite | fmShareExclusive);
    } catch (...) {
        DeleteFile(name_);
        throw;
    }
}

MemberTemp::~MemberTemp() {
    stream_.reset();
    DeleteFile(name_);
}

}  // namespace zipwrite
