// What the page asks of its archive, so the page's logic can be tested without the zip
// engine and the engine used through one small surface. The zip-backed form is ZipArchive.
//
// Also the process-wide archive locks: every page of every backup lives in this one library,
// and two pages may name the same archive. An operation that rewrites an archive holds that
// archive's lock for its whole run, so no two operations ever rewrite one archive at once.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ArchiveLock.h"

#include "plugin/BackupRules.h"

namespace qel {

struct TExtractResult {
    enum Kind { Ok, BadPassword, Failed } Outcome = Failed;
    String TempFile;  // the extracted file, its CRC checked (Ok only)
    String Reason;    // why not (Failed)
};

class TBackupArchive {
public:
    virtual ~TBackupArchive() = default;
    virtual void SetZipName(const String& name) = 0;
    virtual String ZipName() const = 0;
    // True while an operation of this archive object runs (the message loop runs inside).
    virtual bool Busy() const = 0;
    // The entries in physical order (the oldest backup first); empty for a missing archive.
    virtual std::vector<TArchiveEntry> List() = 0;
    // Adds file as one new entry stored under storedPrefix followed by its full folder and
    // name, encrypted with password when that is not empty, and sets the archive comment.
    // Only the entry this call added is renamed. False when no entry was added.
    virtual bool AddDated(const String& file, const String& password, const String& storedPrefix,
                          const String& comment) = 0;
    // Adds file without any folder, encrypted with password when that is not empty. False
    // when no entry was added.
    virtual bool AddPlain(const String& file, const String& password) = 0;
    // Removes exactly the entries whose full name is fullName, taken literally; the count.
    virtual Integer RemoveExact(const String& fullName) = 0;
    // Extracts entry index (whose full name must still be fullName) into a new temporary file
    // inside folder; the CRC is checked before Ok is given.
    virtual TExtractResult ExtractToTemp(Integer index, const String& fullName, const String& password,
                                         const String& folder) = 0;
    // Writes stub followed by the archive to the archive's name with the extension ".EXE".
    virtual void MakeSFX(const String& stub) = 0;
    virtual String ZipComment() = 0;
    virtual LongWord ZipSize() = 0;

    // Told after each file the archive stored, while the operation runs (the page form's
    // ZipperEndZip).
    std::function<void(const String& FName, Int64 UncompressedSize, Int64 CompressedSize, Int64 CurrentZipSize)>
        OnEndZip;
};

// Holds the lock of one archive for its lifetime, when no other holder has it: the layer's
// archive lock (platform/ArchiveLock.h) as an operation, seen by every process. The rewrites
// the operation runs itself nest inside it; nothing else waits for it here.
class TArchiveLock {
public:
    explicit TArchiveLock(const String& archivePath);
    ~TArchiveLock();
    TArchiveLock(const TArchiveLock&) = delete;
    TArchiveLock& operator=(const TArchiveLock&) = delete;
    bool Held() const;

private:
    std::unique_ptr<platform::ArchiveLock> lock_;
};

}  // namespace qel
