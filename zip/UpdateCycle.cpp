// The update cycle of TZipper: collect the files to add, keep, replace or drop the existing
// entries, add the new files, write the central directory and the end record, and put the
// new archive in place of the old one.
#include <algorithm>

#include "platform/DateTime.h"
#include "zip/BufferStream.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "zip/DirSearch.h"
#include "zip/ZipConstants.h"
#include "zip/ZipCycle.h"
#include "zip/ZipLib.h"

namespace {

bool HasFolderPart(const String& line) { return line.find_first_of("\\:") != String::npos; }

TDateTime EntryDate(const TZipHeaderInfo& entry) {
    TDateTime value = 0;
    return DosDateTimeToDateTime(entry.DateTime, value) ? value : Now();
}

bool IdentityOfStream(TStream& stream, TFileIdentity& id) {
    auto* file = dynamic_cast<TLFNFileStream*>(&stream);
    return file != nullptr && GetFileIdentity(file->FileHandle(), id);
}

}  // namespace

void TZipper::CollectNewFiles() {
    totalBytes_ = 0;
    bytesDone_ = 0;
    const bool freshen = ZipAction == TZipAction::zaFreshen;
    // Freshening keeps only files whose stored name the archive already holds.
    auto inArchive = [&](const String& fileName) {
        if (!directory_) return false;
        String stored = LowerCase(StoredPath(fileName) + ExtractFileName(fileName));
        for (Integer i = 0; i < directory_->Count(); ++i)
            if (LowerCase(directory_->Header(i)->FullName()) == stored) return true;
        return false;
    };
    auto checkSize = [](const String& name, Int64 size) {
        if (size > zipwrite::kMaxFileSize)
            throw EZipWriteError("The file \"" + name + "\" is 4 GiB or larger, which needs Zip64; this engine does not write Zip64");
    };
    std::vector<String> wildcards;
    for (Integer i = 0; i < FilesList.Count();) {
        String line = FilesList.Strings(i);
        if (IsWildcard(line)) {
            wildcards.push_back(line);
            FilesList.Delete(i);
            continue;
        }
        if (!HasFolderPart(line)) {
            line = rootDir_ + line;
            FilesList.SetStrings(i, line);
        }
        TSearchRec found;
        bool exists = FindFirst(line, faAnyFile, found) == 0;
        FindClose(found);
        if (!exists) {
            FilesList.Delete(i);
            if (OnNoSuchFile) OnNoSuchFile(this, line);
            continue;
        }
        if (freshen && !inArchive(line)) {
            FilesList.Delete(i);
            continue;
        }
        checkSize(line, found.Size);
        totalBytes_ += found.Size;
        ++i;
    }
    const String archive = LowerCase(ExpandFileName(zipName_));
    const String lockFile = LowerCase(platform::ArchiveLock::LockFileName(zipName_));
    for (const String& line : wildcards) {
        String folder = ExcludeTrailingBackslash(ExtractFilePath(line));
        if (folder.empty()) folder = ExcludeTrailingBackslash(rootDir_);
        TDirSearch search(folder, ExtractFileName(line), Recurse);
        for (;;) {
            TSearchRec entry;
            String fullName;
            search.NextFile(entry, fullName);
            if (fullName.empty()) break;
            const String name = LowerCase(ExpandFileName(fullName));
            if (name == archive || name == lockFile) continue;
            if (freshen && !inArchive(fullName)) continue;
            checkSize(fullName, entry.Size);
            FilesList.Add(fullName);
            totalBytes_ += entry.Size;
        }
    }
    if (FilesList.Count() > zipwrite::kMaxEntries)
        throw EZipWriteError("An archive holds at most 65,534 entries without Zip64; this engine does not write Zip64");
}

void TZipper::CheckEntryCount() const {
    if (cycle_->newDirectory->Count() >= zipwrite::kMaxEntries)
        throw EZipWriteError("An archive holds at most 65,534 entries without Zip64; this engine does not write Zip64");
}

void TZipper::RecordEntry(TZipWriteEntry* entry) {
    CheckEntryCount();
    cycle_->newNames->Add(entry);
    cycle_->newDirectory->Add(entry);
    ++cycle_->newEnd.EntriesThisDisk;
    ++cycle_->newEnd.TotalEntries;
}

void TZipper::AddEntry(const String& fileName) {
    ++cycle_->added;
    if (Dispose) cycle_->disposeList.push_back(fileName);
}

void TZipper::ProcessExisting() {
    for (Integer i = 0; i < directory_->Count(); ++i) {
        TZipHeaderInfo* old = directory_->Header(i);
        if (old->HasComment() && !old->CommentLoaded()) LoadFileComment(*old, false);
        auto work = std::make_unique<TZipWriteEntry>();
        work->CopyEntry(*old);
        bool keep = true;
        for (Integer k = 0; k < FilesList.Count(); ++k) {
            const String line = FilesList.Strings(k);
            if (!EntryMatches(line, *work)) continue;
            if (!deleteMode_ && ZipAction != TZipAction::zaReplace &&
                EntryDate(*work) >= FileDateToDateTime(FileAge(line))) {
                FilesList.Delete(k);  // the entry is up to date
                break;
            }
            if (deleteMode_) {
                bool skip = false;
                if (OnDeleteEntry) OnDeleteEntry(this, work->FullName(), skip);
                if (skip) {
                    FilesList.Delete(k);
                    break;
                }
                keep = false;
                // A wildcard line goes on matching further entries.
                if (!IsWildcard(line)) FilesList.Delete(k);
                break;
            }
            // Replaced: the file is added after the kept entries, with the other new files,
            // so kept entries keep their order and added ones follow in the order added.
            if (cycle_->replaced.count(line) == 0) {
                cycle_->replaced[line] = std::move(work);
                keep = false;
            }
            break;
        }
        if (!keep) continue;
        CopyExistingEntry(*work);
        RecordEntry(work.release());
    }
}

void TZipper::WriteCentralDirectory() {
    Cycle& c = *cycle_;
    zipwrite::ZipOutput& out = *c.output;
    TEndCentral& end = c.newEnd;
    end.CentralStartDisk = static_cast<Word>(out.Disk());
    Int64 centralOffset = out.Position();
    Int64 earlierParts = 0;
    Int64 thisPart = 0;
    Word recordsHere = 0;
    for (Integer i = 0; i < c.newDirectory->Count(); ++i) {
        auto* entry = static_cast<TZipWriteEntry*>(c.newDirectory->Header(i));
        const String name = entry->NameBytes();
        const String record = entry->CentralRecordImage(name);
        if (out.MultiPart() && out.RoomLeft() < static_cast<Int64>(record.size())) {
            earlierParts += thisPart;
            thisPart = 0;
            recordsHere = 0;
            out.NextDisk();
            if (i == 0) {
                centralOffset = 0;
                end.CentralStartDisk = static_cast<Word>(out.Disk());
            }
            if (out.RoomLeft() < static_cast<Int64>(record.size()))
                throw EZipWriteError("A part cannot hold a central record of " + std::to_string(record.size()) + " bytes");
        }
        entry->CentralRecordPosition = static_cast<LongWord>(out.Position());
        out.Write(record);
        thisPart += static_cast<Int64>(record.size());
        ++recordsHere;
    }
    end.CentralOffset = static_cast<LongWord>(centralOffset);
    end.CentralSize = static_cast<LongWord>(earlierParts + thisPart);
    const String probe = EndRecordImage(end);
    if (out.MultiPart() && out.RoomLeft() < static_cast<Int64>(probe.size())) {
        out.NextDisk();
        recordsHere = 0;
        if (out.RoomLeft() < static_cast<Int64>(probe.size()))
            throw EZipWriteError("A part cannot hold the end record of " + std::to_string(probe.size()) + " bytes");
    }
    end.ThisDisk = static_cast<Word>(out.Disk());
    // Central records on the disk that holds the end record.
    end.EntriesThisDisk = out.MultiPart() ? recordsHere : end.TotalEntries;
    end.CommentPosition = static_cast<LongWord>(out.Position() + zipconst::kEndSize);
    out.Write(EndRecordImage(end));
}

void TZipper::CheckArchiveUnchanged(const char* when) {
    Cycle& c = *cycle_;
    if (!c.archiveExisted) {
        if (FileExists(zipName_))
            throw EZipWriteError("The archive \"" + zipName_ + "\" was created by someone else " + when +
                                 "; it was left as it is");
        return;
    }
    TFileIdentity named, open;
    bool same = identityKnown_ && GetFileIdentity(zipName_, named) && named == identity_;
    if (same && archive_ && IdentityOfStream(*archive_, open)) same = open == identity_;
    if (!same)
        throw EZipWriteError("The archive \"" + zipName_ + "\" changed " + when + "; it was left as it is");
}

void TZipper::InstallNewDirectory() {
    Cycle& c = *cycle_;
    FreeDirectory();
    directory_ = std::move(c.newDirectory);
    view_ = directory_.get();
    endCentral_.CopyFromSource(c.newEnd);
    endCentral_.Modified = false;
    rebuilt_ = false;
    currentDisk_ = c.output->Disk();
    NumDisks = currentDisk_ + 1;
    if (MultiMode() == TMultiMode::mmBlocks) zipName_ = c.output->PartName();
}

void TZipper::DisposeFiles() {
    for (const String& name : cycle_->disposeList) {
        bool skip = false;
        if (OnDisposeFile) OnDisposeFile(this, name, skip);
        if (!skip) DeleteFile(name);
    }
}

Integer TZipper::ProcessFiles() {
    SetBusy(true);
    const TZipSortMode savedSortMode = SortMode;
    const bool savedKeepOpen = KeepZipOpen;
    Integer added = 0;
    try {
        cycle_ = std::make_unique<Cycle>();
        Cycle& c = *cycle_;
        currentDisk_ = 0;
        KeepZipOpen = true;
        if (zipName_.empty()) throw EZipWriteError("No archive name is set");
        // Another program rewriting this archive is waited for; what it wrote is read afresh.
        c.claim = std::make_unique<zipwrite::RewriteClaim>(zipName_);
        if (sfxMode_) c.claim->Also(sfxName_);
        c.archiveExisted = FileExists(zipName_);
        const TMultiMode mode = MultiMode();
        // No other cycle runs on this archive now, so temporary files of its name are left
        // over from one that was killed before its swap.
        if (c.claim->Shared() && mode == TMultiMode::mmNone) zipwrite::RemoveStaleTemps(zipName_);
        if (c.archiveExisted && mode != TMultiMode::mmNone)
            throw EZipWriteError("Multi-part output is only written as a new archive; \"" + zipName_ + "\" exists");
        // Changes made to entries read from an archive that has since gone have nothing left
        // to apply to: a new archive without them would drop them unseen.
        if (!c.archiveExisted && directory_ && identityKnown_ && endCentral_.Modified)
            throw EZipWriteError("The archive \"" + zipName_ +
                                 "\" is gone since it was read; the pending changes were not saved");
        if (c.archiveExisted) {
            if (directory_ && identityKnown_ && endCentral_.Modified) {
                TFileIdentity named;
                if (!GetFileIdentity(zipName_, named) || !(named == identity_))
                    throw EZipWriteError("The archive \"" + zipName_ +
                                         "\" changed since it was read; the pending changes were not saved");
            }
            OpenZipNow();
            if (endCentral_.ThisDisk != 0 || MultiMode() != TMultiMode::mmNone)
                throw EZipWriteError("The multi-part archive \"" + zipName_ + "\" cannot be rewritten");
            if (rebuilt_)
                throw EZipWriteError("The archive \"" + zipName_ +
                                     "\" has no readable central directory; it is not rewritten");
            if (endCentral_.HasComment() && !endCentral_.Comment()) LoadZipComment(false);
        }
        SortView(TZipSortMode::ByNone);
        if (!deleteMode_ && FilesList.Count() > 0) CollectNewFiles();

        // Limits that can be decided before anything is written.
        if (endCentral_.Comment() && static_cast<Int64>(endCentral_.Comment()->size()) > zipwrite::kMaxArchiveComment)
            throw EZipWriteError("An archive comment may hold at most 65,506 bytes");
        if (mode == TMultiMode::mmBlocks) {
            Int64 need = zipconst::kEndSize + endCentral_.CommentLength;
            for (Integer i = 0; i < FilesList.Count(); ++i) {
                TZipWriteEntry probe;
                probe.SetFileName(ExtractFileName(FilesList.Strings(i)));
                probe.SetDirectory(StoredFolderOfNewEntry(FilesList.Strings(i)));
                need = std::max<Int64>(need, zipconst::kCentralSize + static_cast<Int64>(probe.NameBytes().size()));
            }
            Int64 smallest = std::min<Int64>(multiZipInfo_.BlockSize, multiZipInfo_.FirstBlockSize);
            if (smallest <= need)
                throw EZipWriteError("A block size of " + std::to_string(smallest) + " bytes cannot hold a header of " +
                                     std::to_string(need) + " bytes");
        }

        zipwrite::OutputSettings settings;
        settings.mode = mode;
        settings.target = sfxMode_ ? sfxName_ : zipName_;
        settings.firstBlockSize = multiZipInfo_.FirstBlockSize;
        settings.blockSize = multiZipInfo_.BlockSize;
        settings.writeDiskLabels = multiZipInfo_.WriteDiskLabels;
        if (OnGetNextDisk)
            settings.nextDiskName = [this](Integer disk, const String& current) {
                String name = current;
                OnGetNextDisk(this, disk, name);
                return name;
            };
        c.output = std::make_unique<zipwrite::ZipOutput>(settings);
        c.deflater = std::make_unique<zip::Deflater>(std::clamp(PackLevel, 0, 9));
        c.newNames = std::make_unique<TSortedZip>(dupError);
        c.newNames->OwnsObjects = false;
        c.newNames->SortMode = TZipSortMode::ByName;
        c.newDirectory = std::make_unique<TSortedZip>(dupError);
        if (sfxMode_ && stub_) {
            stub_->SetPosition(0);
            c.output->WriteAcrossParts(*stub_, stub_->Size());
        }
        if (c.archiveExisted) {
            c.newEnd.CopyFromSource(endCentral_);
            c.newEnd.EntriesThisDisk = 0;
            c.newEnd.TotalEntries = 0;
            ProcessExisting();
        } else {
            c.newEnd.SetComment(endCentral_.Comment());
        }
        if (!deleteMode_ && FilesList.Count() > 0) {
            bool stop = false;
            if (OnStartZipInfo) OnStartZipInfo(this, FilesList.Count(), totalBytes_, c.newEnd, stop);
            if (stop) throw EUserCanceled("User canceled Zip operation.");
            for (Integer i = 0; i < FilesList.Count(); ++i) {
                const String line = FilesList.Strings(i);
                if (ZipOneFile(line)) {
                    AddEntry(line);
                } else if (auto old = c.replaced.find(line); old != c.replaced.end() && old->second) {
                    // A newer file that could not be added leaves the old entry in the archive.
                    CopyExistingEntry(*old->second);
                    RecordEntry(old->second.release());
                }
            }
        }
        // Every line was handled: added, kept up to date, skipped or (delete mode) matched.
        FilesList.Clear();
        WriteCentralDirectory();
        c.output->Finish();
        const TFileIdentity newIdentity = c.output->MultiPart() ? TFileIdentity{} : c.output->Identity();

        // The old archive must still be the file this cycle read; then it may be replaced.
        CheckArchiveUnchanged("while it was being rewritten");
        archive_.reset();
        c.copySource.reset();
        try {
            c.output->Commit();
        } catch (const EZipWriteError&) {
            throw;
        } catch (const Exception& e) {
            throw EZipWriteError("The new archive could not be put in place of \"" + zipName_ + "\"; the old one is left as it is. " + e.what());
        }

        added = c.added;
        if (sfxMode_) {
            SortView(savedSortMode);
        } else {
            InstallNewDirectory();
            identity_ = newIdentity;
            identityKnown_ = !c.output->MultiPart();
            if (savedKeepOpen && !c.output->MultiPart()) {
                archive_ = OpenArchiveFile(zipName_, zipconst::kModeReadDenyWrite);
                TFileIdentity reopened;
                if (!IdentityOfStream(*archive_, reopened) || !(reopened == identity_)) identityKnown_ = false;
            }
            if (archive_) archiveDate_ = FileStreamDate(*archive_);
            if (!identityKnown_) FreeDirectory();
            SortView(savedSortMode);
            if (Dispose) DisposeFiles();
        }
    } catch (...) {
        cycle_.reset();  // the output removes what it wrote
        SortMode = savedSortMode;
        if (directory_) SortView(savedSortMode);
        KeepZipOpen = savedKeepOpen;
        CloseZipNow();
        SetBusy(false);
        throw;
    }
    cycle_.reset();
    KeepZipOpen = savedKeepOpen;
    CloseZipNow();
    SetBusy(false);
    return added;
}
