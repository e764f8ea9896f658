// TZipper: the component that writes archives. It derives from TUnZipper and inherits its
// archive name, directory, password, file list, events and Busy flag.
//
// Every change of an archive runs one update cycle (ProcessFiles): adding files, replacing
// or freshening entries, deleting entries, saving changed entry folders and a changed
// archive comment, and writing a self-extracting copy. The cycle never edits an archive in
// place: it writes a complete new archive (kept entries copied raw in their old order, new
// entries compressed after them) to a unique temporary file beside the archive and renames
// it over the archive only when everything was written and made durable. Whatever fails, or
// wherever the process dies, the archive is either the old one or the new one.
//
// The cycle refuses, with EZipWriteError and before anything is written where it can:
// anything that would need Zip64 (a file of 4 GiB or more, an archive past 4 GiB or 65,534
// entries, a name or comment too long), block sizes that cannot hold a header, multi-part
// output onto an existing archive or a multi-part archive as input, spanning without an
// OnGetNextDisk handler, an archive that changed behind the component while changes were
// pending or while the cycle ran, and a second cycle on an archive that another component of
// this process is rewriting. Calls while Busy raise EZipBusy.
#pragma once

#include <memory>

#include "platform/Files.h"
#include "zip/UnZipper.h"
#include "zip/WriteEntry.h"

enum class TZipAction : Byte { zaUpdate, zaReplace, zaFreshen };

namespace zipwrite {
class ZipOutput;
}
namespace zip {
class Deflater;
}

// Settings of multi-part output.
class TMultiZipInfo : public TPersistent {
public:
    const char* ClassName() const noexcept override { return "TMultiZipInfo"; }
    Integer BlockSize = 1457600;       // limit of every block file after the first
    Integer FirstBlockSize = 1457600;  // limit of the first block file
    TMultiMode MultiMode = TMultiMode::mmNone;
    bool CheckDiskLabels = true;   // reading: check the labels of spanned disks
    bool WriteDiskLabels = true;   // writing: label spanned disks "PKBACK# nnn"
    void CopyFromSource(const TObject& source);
};

class TZipper;

using TStartZipInfo = std::function<void(TObject* Sender, Integer NumFiles, Int64 TotalBytes,
                                         TEndCentral& EndCentralRecord, bool& StopNow)>;
using TStartZipEvent = std::function<void(TObject* Sender, const String& FName, TZipHeaderInfo& ZipHeader, bool& Skip)>;
// Sizes are 64-bit: an archive may pass 2 GiB.
using TEndZipFileEvent = std::function<void(TObject* Sender, const String& FName, Int64 UncompressedSize,
                                            Int64 CompressedSize, Int64 CurrentZipSize)>;
using TDisposeEvent = std::function<void(TObject* Sender, const String& FName, bool& Skip)>;
using TDeleteEvent = std::function<void(TObject* Sender, const String& FName, bool& Skip)>;
using TNoSuchFileEvent = std::function<void(TObject* Sender, const String& FName)>;

class TZipper : public TUnZipper {
public:
    explicit TZipper(TComponent* owner = nullptr);
    ~TZipper() override;

    // ---- published properties ----
    Integer PackLevel = 6;
    bool Recurse = false;
    bool Dispose = false;
    bool StorePaths() const { return storePaths_; }
    void SetStorePaths(bool value);
    bool RelativePaths() const { return relativePaths_; }
    void SetRelativePaths(bool value);
    bool StoreVolumes() const { return storeVolumes_; }
    void SetStoreVolumes(bool value);
    TZipAction ZipAction = TZipAction::zaUpdate;
    const TMultiZipInfo& MultiZipInfo() const { return multiZipInfo_; }
    TMultiZipInfo& MultiZipInfo() { return multiZipInfo_; }
    void SetMultiZipInfo(const TMultiZipInfo& value) { multiZipInfo_.CopyFromSource(value); }

    TStartZipInfo OnStartZipInfo;
    TStartZipEvent OnStartZip;
    TDisposeEvent OnDisposeFile;
    TEndZipFileEvent OnEndZip;
    TDeleteEvent OnDeleteEntry;
    TNoSuchFileEvent OnNoSuchFile;

    // Inherited accessors, kept in step with MultiZipInfo.
    bool CheckDiskLabels() const override { return multiZipInfo_.CheckDiskLabels; }
    void SetCheckDiskLabels(bool value) override;
    TMultiMode MultiMode() const override { return multiZipInfo_.MultiMode; }
    void SetMultiMode(TMultiMode value) override;
    // Saves pending changes to the old archive before taking the new name.
    void SetZipName(const String& name) override;
    // Changes the stored folder of the entry at index; written by the next cycle.
    void SetPathname(Integer index, const String& value);
    // Comments are refused when the format cannot hold them.
    void SetZipComment(const String& text);
    void SetFileComment(Integer index, const String& text);

    void AfterLoad();
    // Adds the files of FilesList; the number of files added (replacements included).
    Integer Zip();
    // Removes every entry that a line of FilesList matches.
    void DeleteEntries();
    // Rewrites the archive when entry folders or comments changed.
    void SaveModifiedZipFile();
    // Writes StubName followed by the archive to the archive's name with the extension ".EXE".
    void MakeSFX(const String& StubName);

protected:
    // Reads the directory again when the archive is not the file it was read from (device,
    // inode, size and modification time to the nanosecond), also when it is kept open.
    void OpenZipNow() override;

    // The update cycle.
    Integer ProcessFiles();
    void CollectNewFiles();
    void ProcessExisting();
    bool EntryMatches(const String& spec, const TZipHeaderInfo& entry) const;
    String StoredPath(const String& spec) const;
    String StoredFolderOfNewEntry(const String& fullName) const;
    void AddEntry(const String& fileName);
    void RecordEntry(TZipWriteEntry* entry);
    void CheckEntryCount() const;
    void WriteCentralDirectory();
    void InstallNewDirectory();
    void DisposeFiles();
    void CheckArchiveUnchanged(const char* when);

    // Adding one file.
    bool ZipOneFile(const String& fileName);
    // Kept entries.
    void CopyExistingEntry(TZipWriteEntry& entry);
    void LoadCarriedBytes(TZipWriteEntry& entry);
    // The single write path of compressed data: encryption, then the member temp file or
    // the output, then the message loop.
    void WriteBuffer(const Byte* data, size_t size);

    TMultiZipInfo multiZipInfo_;
    bool storePaths_ = false;
    bool relativePaths_ = false;
    bool storeVolumes_ = false;

private:
    struct Cycle;
    std::unique_ptr<Cycle> cycle_;  // exists only while a cycle runs
    bool deleteMode_ = false;
    bool sfxMode_ = false;
    String sfxName_;
    std::unique_ptr<TStream> stub_;
    // Which file the directory was read from, and whether that is known.
    TFileIdentity identity_;
    bool identityKnown_ = false;
};
