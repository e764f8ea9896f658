// The directory side of TUnZipper: end record, spanned disks, central directory, the rebuild
// from local headers when the central directory is missing, and the sorted view.
#include <algorithm>
#include <cstdio>
#include <vector>

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

// Whether the four bytes at position hold the signature.
bool SignatureAt(TStream& s, Int64 position, LongWord signature) {
    if (position < 0) return false;
    Byte sig[4] = {};
    s.SetPosition(position);
    Integer got = 0;
    while (got < 4) {
        const Integer n = s.Read(sig + got, 4 - got);
        if (n <= 0) break;
        got += n;
    }
    return got == 4 && le::Get32(sig) == signature;
}

String Damaged(long long readable, long long promised) {
    return Format1("The archive is damaged: only %lld of its %lld entries could be read", readable, promised);
}

}  // namespace

// Every path that accepts an archive ends in the same checks: the entry count reconciled
// with what the end record promises, no entry starting where no local header can fit, and
// no two entries sharing bytes. An archive that fails one is refused whole: listing part of
// it would let an update write the part back as if it were all.
void TUnZipper::ReadZipDirectory() {
    const String lastDiskName = zipName_;
    archiveDate_ = FileStreamDate(*archive_);
    FreeDirectory();
    // A directory read again (the file changed) starts afresh: an earlier rebuild says
    // nothing about the archive as it is now.
    rebuilt_ = false;

    // Where the central directory starts when the stated offset misses it; -1 when it does not.
    Int64 relocated = -1;
    long long promised = -1;  // entries the end record counts; unknown without one
    const bool found = endCentral_.ReadFromStream(*archive_);
    if (found) {
        // Zip64 keeps the real counts and offsets in records this engine does not read.
        if (endCentral_.Zip64) throw EFatalUnzipError("Zip64 archives are not supported");
        promised = endCentral_.TotalEntries;
        currentDisk_ = endCentral_.ThisDisk;
        if (endCentral_.ThisDisk != 0) {
            String head = Upper3(zipName_);
            bool removable = head.size() >= 2 && head[1] == ':' && IsRemovableDrive(head);
            SetMultiMode(removable ? TMultiMode::mmSpan : TMultiMode::mmBlocks);
        } else {
            SetMultiMode(TMultiMode::mmNone);
        }
        if (endCentral_.CentralStartDisk != currentDisk_) SwapDisk(endCentral_.CentralStartDisk + 1);
        // A single file whose stated offset misses the directory: where the directory must
        // be, right in front of the end record. Bytes put in front of the archive (a
        // self-extracting stub) or lost from it move it there; which of the two happened is
        // decided by where the local headers are (ReadCentralDirectory).
        const Int64 expected = endCentral_.RecordPosition - static_cast<Int64>(endCentral_.CentralSize);
        if (SignatureAt(*archive_, endCentral_.CentralOffset, zipconst::kCentralSignature)) {
            archive_->SetPosition(endCentral_.CentralOffset);
        } else if (endCentral_.ThisDisk == 0 && expected != static_cast<Int64>(endCentral_.CentralOffset) &&
                   SignatureAt(*archive_, expected, zipconst::kCentralSignature)) {
            relocated = expected;
            archive_->SetPosition(expected);
        } else if (!RebuildFromLocalHeaders()) {
            if (promised > 0) throw EFatalUnzipError(Damaged(0, promised));
            SortView(SortMode);
            return;
        }
        if (!rebuilt_) {
            directory_ = std::make_unique<TSortedZip>(dupError);
            view_ = directory_.get();
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
    if (rebuilt_)
        MatchCentralToRebuilt(promised);
    else
        ReadCentralDirectory(relocated);
    CheckForOverlaps();
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

// Reads the records from the stream's position. A single file's directory is read by its
// size, record after record until the size is used up; the records must fill it exactly and
// be at least as many as the end record counts. More are taken: old writers stored the
// count modulo 65536, and a count lower than the records is the count that is wrong. A
// spanned directory is read by its count, and its records must add up to its size.
void TUnZipper::ReadCentralDirectory(Int64 relocated) {
    const bool multi = endCentral_.ThisDisk != 0;
    TNextDiskCallback next;
    if (MultiMode() != TMultiMode::mmNone)
        next = [this](TZipHeaderInfo& h, TStream*& s) { NextDiskForCentral(h, s); };
    const long long total = endCentral_.TotalEntries;
    const long long size = endCentral_.CentralSize;
    if (multi && total > zipconst::kMaxListSize)
        throw EFatalUnzipError(Format1("The archive holds %lld entries; at most %lld can be listed", total,
                                       zipconst::kMaxListSize));
    long long used = 0;
    long long count = 0;
    while (multi ? count < total : used < size) {
        if (count >= zipconst::kMaxListSize)
            throw EFatalUnzipError(Format1("The archive holds %lld entries; at most %lld can be listed", count + 1,
                                           zipconst::kMaxListSize));
        auto header = std::make_unique<TZipHeaderInfo>();
        TStream* stream = archive_.get();
        if (!header->ReadCentralFromStream(stream, next))
            throw EFatalUnzipError(Format1("The central directory is damaged: record %lld of %lld cannot be read",
                                           count + 1, std::max(total, count + 1)));
        used += header->CentralSize();
        ++count;
        try {
            directory_->Add(header.get());
        } catch (const EListError&) {
            throw EFatalUnzipError("The entries \"" + header->FullName() +
                                   Format1("\" and another share one local header (disk %lld, offset %lld)",
                                           header->DiskNumberStart, header->LocalHeaderOffset));
        }
        TZipHeaderInfo* added = header.release();
        if (multi && added->HasComment()) LoadFileComment(*added, false);
    }
    if (used != size)
        throw EFatalUnzipError(Format1("The central directory is damaged: its records take %lld bytes, the end "
                                       "record says %lld",
                                       used, size));
    if (!multi) {
        const long long counted = std::max<long long>(total, endCentral_.EntriesThisDisk);
        if (count < counted)
            throw EFatalUnzipError(Format1("The central directory is damaged: it holds %lld entries, the end record "
                                           "counts %lld",
                                           count, counted));
        // Records behind the stated size would be entries the end record hides: an update
        // would drop them.
        const Int64 end = archive_->Position();
        if (end + 4 <= endCentral_.RecordPosition && SignatureAt(*archive_, end, zipconst::kCentralSignature))
            throw EFatalUnzipError("The central directory is damaged: it holds more records than the end record says");
    }
    Int64 centralStart = endCentral_.CentralOffset;
    if (relocated >= 0) {
        // The directory was found where the end record puts its end. Offsets written for the
        // archive without the bytes in front are corrected by their length, as peers do;
        // when the local headers stand at the stated offsets, only the directory's offset
        // was wrong. Anything else means bytes were lost or added inside the archive.
        const Int64 shift = relocated - static_cast<Int64>(endCentral_.CentralOffset);
        const Integer shifted = LocalHeadersAt(shift), unshifted = LocalHeadersAt(0);
        const Integer n = directory_->Count();
        if (shifted != n && unshifted != n) throw EFatalUnzipError(Damaged(std::max(shifted, unshifted), n));
        if (shifted == n)
            for (Integer i = 0; i < n; ++i) directory_->Header(i)->LocalHeaderOffset += static_cast<LongWord>(shift);
        endCentral_.CentralOffset = static_cast<LongWord>(relocated);
        centralStart = relocated;
    }
    // An entry on the directory's own disk starts in front of the directory.
    for (Integer i = 0; i < directory_->Count(); ++i) {
        const TZipHeaderInfo* h = directory_->Header(i);
        if (h->DiskNumberStart == endCentral_.CentralStartDisk && !h->NeedsZip64() &&
            static_cast<Int64>(h->LocalHeaderOffset) + zipconst::kLocalSize > centralStart)
            throw EFatalUnzipError("The entry \"" + h->FullName() +
                                   Format1("\" has an impossible local header offset (%lld)", h->LocalHeaderOffset));
    }
}

// How many entries have a local header signature at their offset plus shift.
Integer TUnZipper::LocalHeadersAt(Int64 shift) {
    Integer n = 0;
    for (Integer i = 0; i < directory_->Count(); ++i)
        if (SignatureAt(*archive_, static_cast<Int64>(directory_->Header(i)->LocalHeaderOffset) + shift,
                        zipconst::kLocalSignature))
            ++n;
    return n;
}

// After a rebuild the central records behind the local data supply the central fields of
// the entries they match by offset. Offsets written without a stub that was put in front are
// matched with the stub's length added, as when the directory is read directly. Every
// record must match a rebuilt entry, and the rebuild must have found every entry the end
// record counts: otherwise entries are missing.
void TUnZipper::MatchCentralToRebuilt(long long promised) {
    std::vector<std::unique_ptr<TZipHeaderInfo>> records;
    LongWord lowest = 0xFFFFFFFF;
    while (static_cast<long long>(records.size()) < zipconst::kMaxListSize) {
        auto header = std::make_unique<TZipHeaderInfo>();
        TStream* stream = archive_.get();
        if (!header->ReadCentralFromStream(stream, TNextDiskCallback())) break;
        lowest = std::min(lowest, header->LocalHeaderOffset);
        records.push_back(std::move(header));
    }
    const long long found = directory_->Count();
    auto matches = [&](LongWord shift, bool apply) {
        long long n = 0;
        for (const auto& r : records) {
            TZipHeaderInfo key;
            key.DiskNumberStart = r->DiskNumberStart;
            key.LocalHeaderOffset = r->LocalHeaderOffset + shift;
            Integer position = 0;
            if (!directory_->Search(&key, position)) continue;
            ++n;
            if (!apply) continue;
            TZipHeaderInfo* listed = directory_->Header(position);
            listed->CopyFromSource(*r);
            listed->LocalHeaderOffset = key.LocalHeaderOffset;
        }
        return n;
    };
    const LongWord stub = found > 0 && !records.empty() && directory_->Header(0)->LocalHeaderOffset > lowest
                              ? directory_->Header(0)->LocalHeaderOffset - lowest
                              : 0;
    const LongWord shift = stub != 0 && matches(stub, false) > matches(0, false) ? stub : 0;
    const long long matched = matches(shift, true);
    const long long recordCount = static_cast<long long>(records.size());
    const long long expected = std::max({promised, recordCount, found + recordCount - matched});
    if (found < expected) {
        String text = Damaged(found, expected);
        for (const auto& r : records) {
            TZipHeaderInfo key;
            key.DiskNumberStart = r->DiskNumberStart;
            key.LocalHeaderOffset = r->LocalHeaderOffset + shift;
            Integer position = 0;
            if (directory_->Search(&key, position)) continue;
            text += "; the local header of \"" + r->FullName() +
                    Format1("\" (offset %lld) cannot be read", key.LocalHeaderOffset);
            break;
        }
        throw EFatalUnzipError(text);
    }
}

// Entries whose bytes overlap let a small archive expand into far more output than it holds
// (one compressed stream reused by every entry). In physical order, each entry's local
// header, data and descriptor must end before the next entry on its disk starts. The local
// header's own name and extra lengths and its own data descriptor flag count when it can be
// read (a descriptor that only the central record claims takes no room); otherwise, and for
// entries on disks not open now, the central ones stand in.
void TUnZipper::CheckForOverlaps() {
    TStream& s = *archive_;
    const Int64 back = s.Position();
    Int64 previousEnd = 0;
    const TZipHeaderInfo* previous = nullptr;
    for (Integer i = 0; i < directory_->Count(); ++i) {
        const TZipHeaderInfo* e = directory_->Header(i);
        if (previous != nullptr && previous->DiskNumberStart != e->DiskNumberStart) previous = nullptr;
        const Int64 start = e->LocalHeaderOffset;
        if (previous != nullptr && start < previousEnd)
            throw EFatalUnzipError("The entries \"" + previous->FullName() + "\" and \"" + e->FullName() +
                                   Format1("\" overlap (offsets %lld and %lld)", previous->LocalHeaderOffset,
                                           e->LocalHeaderOffset));
        Int64 lengths = static_cast<Int64>(e->NameLength) + e->ExtraLength;
        bool descriptor = e->HasDataDescriptor();
        Byte r[zipconst::kLocalSize];
        if (e->DiskNumberStart == currentDisk_) {
            s.SetPosition(start);
            if (s.Read(r, sizeof r) == static_cast<Integer>(sizeof r) && le::Get32(r) == zipconst::kLocalSignature) {
                lengths = static_cast<Int64>(le::Get16(r + 26)) + le::Get16(r + 28);
                descriptor = (le::Get16(r + 6) & zipconst::kFlagDataDescriptor) != 0;
            }
        }
        Int64 end = start + zipconst::kLocalSize + lengths + e->CompressedSize;
        // The shortest form of the descriptor (without its optional signature).
        if (descriptor) end += zipconst::kDataDescriptorSize - 4;
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
