// The directory side of TUnZipper: end record, spanned disks, central directory, the rebuild
// from local headers when the central directory is missing, and the sorted view.
#include <cstdio>

#include "platform/MessagePump.h"
#include "zip/UnZipper.h"
#include "zip/ZipConstants.h"
#include "zip/ZipLib.h"

namespace {

String Upper3(const String& name) {
    String s = name.substr(0, 3);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

String Format1(const char* format, long long a, long long b = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

void TUnZipper::ReadZipDirectory() {
    const String lastDiskName = zipName_;
    archiveDate_ = FileStreamDate(*archive_);
    FreeDirectory();

    const bool found = endCentral_.ReadFromStream(*archive_);
    if (found) {
        // Zip64 keeps the real counts and offsets in records this engine does not read.
        if (endCentral_.Zip64) throw EFatalUnzipError("Zip64 archives are not supported");
        currentDisk_ = endCentral_.ThisDisk;
        if (endCentral_.ThisDisk != 0) {
            String head = Upper3(zipName_);
            bool removable = head.size() >= 2 && head[1] == ':' && IsRemovableDrive(head);
            SetMultiMode(removable ? TMultiMode::mmSpan : TMultiMode::mmBlocks);
        } else {
            SetMultiMode(TMultiMode::mmNone);
        }
        if (endCentral_.CentralStartDisk != currentDisk_) SwapDisk(endCentral_.CentralStartDisk + 1);
        Byte sig[4] = {};
        archive_->SetPosition(endCentral_.CentralOffset);
        Integer got = archive_->Read(sig, 4);
        if (got == 4 && le::Get32(sig) == zipconst::kCentralSignature) {
            archive_->Seek(-4, soCurrent);
            directory_ = std::make_unique<TSortedZip>(dupError);
            view_ = directory_.get();
        } else if (!RebuildFromLocalHeaders()) {
            SortView(SortMode);
            return;
        }
    } else {
        if (OnInCompleteZip) OnInCompleteZip(this, IncompleteZipMode);
        if (IncompleteZipMode == TIncompleteZipMode::izAssumeMulti) throw EIncompleteZip("Incomplete Zip File");
        if (!RebuildFromLocalHeaders()) {
            SortView(SortMode);
            return;
        }
    }

    const Integer thisDisk = endCentral_.ThisDisk;
    const bool multi = thisDisk != 0;
    TNextDiskCallback next;
    if (!rebuilt_ && MultiMode() != TMultiMode::mmNone)
        next = [this](TZipHeaderInfo& h, TStream*& s) { NextDiskForCentral(h, s); };
    const Integer total = endCentral_.TotalEntries;
    if (total > zipconst::kMaxListSize)
        throw EFatalUnzipError(Format1("The archive holds %lld entries; at most %lld can be listed", total,
                                       zipconst::kMaxListSize));
    for (Integer i = 0; i < total; ++i) {
        auto header = std::make_unique<TZipHeaderInfo>();
        TStream* stream = archive_.get();
        bool ok = header->ReadCentralFromStream(stream, next);
        if (!ok) {
            // After a rebuild the central records are optional extras; without one, a record
            // that cannot be read means the directory is damaged, and a partial directory
            // must not pass for the whole archive (an update would drop the rest).
            if (rebuilt_) break;
            throw EFatalUnzipError(Format1("The central directory is damaged: record %lld of %lld cannot be read",
                                           i + 1, total));
        }
        if (!rebuilt_) {
            if (!multi && !header->NeedsZip64() &&
                static_cast<Int64>(header->LocalHeaderOffset) + zipconst::kLocalSize >
                    static_cast<Int64>(endCentral_.CentralOffset))
                throw EFatalUnzipError("The entry \"" + header->FullName() +
                                       Format1("\" has an impossible local header offset (%lld)",
                                               header->LocalHeaderOffset));
            try {
                directory_->Add(header.get());
            } catch (const EListError&) {
                throw EFatalUnzipError("The entries \"" + header->FullName() +
                                       Format1("\" and another share one local header (disk %lld, offset %lld)",
                                               header->DiskNumberStart, header->LocalHeaderOffset));
            }
            TZipHeaderInfo* added = header.release();
            if (multi && added->HasComment()) LoadFileComment(*added, false);
        } else {
            Integer position = 0;
            if (directory_->Search(header.get(), position)) {
                TZipHeaderInfo* listed = directory_->Header(position);
                LongWord offset = listed->LocalHeaderOffset;
                listed->CopyFromSource(*header);
                listed->LocalHeaderOffset = offset;
            }
        }
    }
    if (!rebuilt_ && !multi) CheckForOverlaps();
    if (multi && endCentral_.HasComment()) {
        if (currentDisk_ != thisDisk) SwapDisk(thisDisk + 1);
        LoadZipComment(false);
    }
    NumDisks = thisDisk + 1;
    currentDisk_ = thisDisk;
    // Split parts have names of their own: the archive keeps the name of its last part (the
    // one that holds the end record), or the next opening would look for it in another part.
    if (MultiMode() == TMultiMode::mmBlocks && zipName_ != lastDiskName) {
        archive_.reset();
        archive_ = OpenArchiveFile(lastDiskName, zipconst::kModeReadDenyWrite);
        zipName_ = lastDiskName;
        archiveDate_ = FileStreamDate(*archive_);
    }
    SortView(SortMode);
}

// Entries whose bytes overlap let a small archive expand into far more output than it holds
// (one compressed stream reused by every entry). In physical order, each entry's local
// header, data and descriptor must end before the next entry starts. The local header's own
// name and extra lengths count when it can be read; otherwise the central ones stand in.
void TUnZipper::CheckForOverlaps() {
    TStream& s = *archive_;
    const Int64 back = s.Position();
    Int64 previousEnd = 0;
    const TZipHeaderInfo* previous = nullptr;
    for (Integer i = 0; i < directory_->Count(); ++i) {
        const TZipHeaderInfo* e = directory_->Header(i);
        const Int64 start = e->LocalHeaderOffset;
        if (previous != nullptr && start < previousEnd)
            throw EFatalUnzipError("The entries \"" + previous->FullName() + "\" and \"" + e->FullName() +
                                   Format1("\" overlap (offsets %lld and %lld)", previous->LocalHeaderOffset,
                                           e->LocalHeaderOffset));
        Int64 lengths = static_cast<Int64>(e->NameLength) + e->ExtraLength;
        Byte r[zipconst::kLocalSize];
        s.SetPosition(start);
        if (s.Read(r, sizeof r) == static_cast<Integer>(sizeof r) && le::Get32(r) == zipconst::kLocalSignature)
            lengths = static_cast<Int64>(le::Get16(r + 26)) + le::Get16(r + 28);
        Int64 end = start + zipconst::kLocalSize + lengths + e->CompressedSize;
        // The shortest form of the descriptor (without its optional signature).
        if (e->HasDataDescriptor()) end += zipconst::kDataDescriptorSize - 4;
        previous = e;
        previousEnd = e->NeedsZip64() ? start + zipconst::kLocalSize : end;
    }
    s.SetPosition(back);
}

bool TUnZipper::RebuildFromLocalHeaders() {
    rebuilt_ = true;
    FreeDirectory();
    TStream& s = *archive_;
    s.SetPosition(0);
    // Looks for "PK\3\4" a byte at a time; a byte that breaks the sequence may start it again.
    static const Byte kSig[4] = {'P', 'K', 3, 4};
    int matched = 0;
    long long scanned = 0;
    Byte b = 0;
    while (matched < 4) {
        if (s.Read(&b, 1) != 1) return false;
        if (b == kSig[matched]) {
            ++matched;
            continue;
        }
        matched = b == 'P' ? 1 : 0;
        if (matched == 0) {
            ++scanned;
            if (DoProcessMessages && scanned % zipconst::kRebuildPumpInterval == 0) platform::ProcessPendingMessages();
        }
    }
    s.Seek(-4, soCurrent);
    directory_ = std::make_unique<TSortedZip>(dupError);
    view_ = directory_.get();
    const Int64 size = s.Size();
    for (;;) {
        auto header = std::make_unique<TZipHeaderInfo>();
        if (!header->ReadLocalFromStream(s)) break;
        // The list holds at most this many entries; more local headers are refused the way
        // a central directory with too many entries is.
        if (directory_->Count() >= zipconst::kMaxListSize)
            throw EFatalUnzipError(Format1("The archive holds %lld entries; at most %lld can be listed",
                                           static_cast<long long>(directory_->Count()) + 1, zipconst::kMaxListSize));
        Int64 skip = static_cast<Int64>(header->CompressedSize) + header->ExtraLength;
        if (header->HasDataDescriptor()) skip += zipconst::kDataDescriptorSize;
        // A size that reaches past the end of the file ends the scan: the next header
        // cannot lie there.
        if (s.Position() + skip > size) {
            directory_->Add(header.release());
            s.SetPosition(size);
            break;
        }
        directory_->Add(header.release());
        s.Seek(skip, soCurrent);
    }
    endCentral_.ThisDisk = 0;
    endCentral_.CentralStartDisk = 0;
    currentDisk_ = 0;
    endCentral_.CentralOffset = static_cast<LongWord>(s.Position());
    endCentral_.TotalEntries = static_cast<Word>(directory_->Count());
    endCentral_.EntriesThisDisk = endCentral_.TotalEntries;
    NumDisks = 1;
    return true;
}

void TUnZipper::Sort(TZipSortMode mode) {
    RequireIdle("sort the archive");
    SortView(mode);
}

void TUnZipper::SortView(TZipSortMode mode) {
    if (view_ != nullptr && view_ != directory_.get()) {
        delete view_;
        view_ = nullptr;
    }
    if (mode == TZipSortMode::ByNone || !directory_) {
        view_ = directory_.get();
    } else {
        auto view = std::make_unique<TSortedZip>(dupAccept);
        view->OwnsObjects = false;
        view->SortMode = mode;
        view->FillFrom(*directory_);
        view_ = view.release();
    }
    SortMode = mode;
}

bool TUnZipper::DiskLabelMatches(Integer disk) {
    if (MultiMode() != TMultiMode::mmSpan) return true;
    String label = LeftStr(VolumeLabel(Upper3(zipName_)), 11);
    char number[16];
    std::snprintf(number, sizeof number, "%3.3d", disk);
    return label.size() >= 3 && RightStr(label, 3) == number;
}

TStream* TUnZipper::SwapDisk(Integer disk) {
    archive_.reset();
    String name = zipName_;
    for (;;) {
        if (OnGetNextDisk)
            OnGetNextDisk(this, disk, name);
        else
            name.clear();
        if (CheckDiskLabels() && !name.empty() && !DiskLabelMatches(disk)) continue;
        if (name.empty()) throw EUserCanceled("User canceled loading new disk.");
        if (!ArchiveFileExists(name)) continue;
        break;
    }
    archive_ = OpenArchiveFile(name, zipconst::kModeRead);
    currentDisk_ = disk - 1;
    archiveDate_ = FileStreamDate(*archive_);
    zipName_ = name;  // directly: the directory stays loaded
    return archive_.get();
}

void TUnZipper::NextDiskForCentral(TZipHeaderInfo&, TStream*& stream) { stream = SwapDisk(currentDisk_ + 2); }
