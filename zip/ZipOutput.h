// The output of one archive update: a single new archive, block files of fixed size, or an
// archive spanned over removable disks, and the temporary member file that multi-part
// output compresses into first.
//
// Nothing is ever written under a final name. Every part goes to a unique temporary file in
// its target's own folder (platform::AtomicFile: checked writes, fsync, rename over the
// target, folder fsync). A single archive and block files are put in place by Commit() after
// the whole archive was written; a spanned disk's part is put in place when the next disk is
// asked for, since the disk leaves the drive then. An output that is dropped without Commit()
// removes its temporary files, and a Commit() that fails part way removes the block files it
// had already renamed, as does a spanned cycle that fails for the parts it finds in the drive.
// Multi-part output never replaces an existing file.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/ArchiveLock.h"
#include "zip/UnZipper.h"

namespace zipwrite {

struct OutputSettings {
    TMultiMode mode = TMultiMode::mmNone;
    // The single archive, the name the block files are derived from, or the first disk's file.
    String target;
    Int64 firstBlockSize = 0;
    Int64 blockSize = 0;
    bool writeDiskLabels = true;
    // The file of the next disk (one-based number); empty cancels. Required for spanning.
    std::function<String(Integer nextDisk, const String& currentName)> nextDiskName;
};

class ZipOutput {
public:
    explicit ZipOutput(OutputSettings settings);
    ~ZipOutput();
    ZipOutput(const ZipOutput&) = delete;
    ZipOutput& operator=(const ZipOutput&) = delete;

    // The name of block file n (one-based): the target with the extension ".nnn".
    static String BlockName(const String& target, Integer number);

    // Position in the current part, zero-based disk of the current part.
    Int64 Position() const { return written_ + static_cast<Int64>(buffer_.size()); }
    Integer Disk() const { return disk_; }
    // Room left in the current part; unlimited for a single archive.
    Int64 RoomLeft() const;
    bool MultiPart() const { return settings_.mode != TMultiMode::mmNone; }

    // Checked writes; a part can never grow past the 32-bit offsets of the format.
    void Write(const void* data, size_t size);
    void Write(const String& bytes) { Write(bytes.data(), bytes.size()); }
    // Rewrites bytes already written to the current part (a local header once its CRC and
    // sizes are known).
    void PatchAt(Int64 position, const String& bytes);
    // Copies count bytes of source (from its position) into the parts, changing parts where
    // one is full.
    void WriteAcrossParts(TStream& source, Int64 count);
    // Closes the current part and starts the next one.
    void NextDisk();
    // Writes what is buffered; labels the last disk of a spanned archive.
    void Finish();
    // Identity of the single output file as it stands (after Finish).
    TFileIdentity Identity();
    // Puts the parts in place.
    void Commit();
    // Final name of the current (after Commit: the last) part.
    const String& PartName() const { return partName_; }

private:
    void OpenPart(const String& name);
    void Flush();
    void LabelDisk();

    // A part already renamed into place; on failure it is removed again, but only while the
    // name still reaches that very file (another disk may be in the drive by then).
    struct Placed {
        String name;
        TFileIdentity identity;
    };
    void RemovePlaced();

    OutputSettings settings_;
    std::vector<Placed> placed_;
    bool done_ = false;
    std::vector<std::unique_ptr<platform::AtomicFile>> parts_;  // block files wait here
    std::unique_ptr<platform::AtomicFile> current_;
    String partName_;
    Integer disk_ = 0;
    Int64 written_ = 0;  // bytes of the current part already in its file
    Int64 roomLimit_ = 0;
    std::vector<Byte> buffer_;
};

// Takes the archive's lock as a rewrite, the way another writer's cycle does (RewriteClaim in
// ZipCycle.h is the cycle's own hold). Waits at most ArchiveLockTimeout() milliseconds for
// another holder, then raises EZipWriteError; null when this thread already rewrites it.
std::unique_ptr<platform::ArchiveLock> LockArchive(const String& archive);

// How long a cycle waits for another holder of its archive (30 seconds unless changed; tests
// shorten it): a holder that never lets go must not freeze the waiting thread.
unsigned ArchiveLockTimeout();
void SetArchiveLockTimeout(unsigned millis);

// Removes the temporary files (".NAME.xxxxxxxx.tmp" beside the archive) that a cycle killed
// before its swap left behind. A file whose writer is alive, in any process, is kept
// (platform::RemoveAbandonedTempFile). Returns how many it removed.
Integer RemoveStaleTemps(const String& archive);

// A file of the layer's private temporary folder with a unique name, removed on destruction.
class MemberTemp {
public:
    MemberTemp();
    ~MemberTemp();
    MemberTemp(const MemberTemp&) = delete;
    MemberTemp& operator=(const MemberTemp&) = delete;
    TStream& Stream() { return *stream_; }

private:
    String name_;
    std::unique_ptr<TFileStream> stream_;
};

}  // namespace zipwrite
