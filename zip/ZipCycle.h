// The state of one update cycle of TZipper, shared by the files that make up the cycle
// (UpdateCycle.cpp, AddFile.cpp, EntryCopy.cpp). It exists only while a cycle runs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zip/Deflate.h"
#include "zip/SortedZip.h"
#include "zip/ZipCrypt.h"
#include "zip/ZipOutput.h"
#include "zip/Zipper.h"

namespace zipwrite {

// Holds the layer's archive lock (platform/ArchiveLock.h) as a rewrite of the archive, and of
// any other file the cycle writes (Also), for the whole cycle. A holder on another thread or in
// another process is waited for, at most ArchiveLockTimeout() ms; a rewrite already running on
// this thread (a nested call through the message loop) is refused at once. Raises
// EZipWriteError when the archive stays held.
class RewriteClaim {
public:
    explicit RewriteClaim(const String& archive);
    RewriteClaim(const RewriteClaim&) = delete;
    RewriteClaim& operator=(const RewriteClaim&) = delete;
    void Also(const String& name);
    // Every process sees the claim on the archive: a temporary file of its name that no live
    // writer owns is a leftover.
    bool Shared() const;

private:
    std::vector<std::unique_ptr<platform::ArchiveLock>> locks_;
};

}  // namespace zipwrite

struct TZipper::Cycle {
    // Released last, after the output removed what it left.
    std::unique_ptr<zipwrite::RewriteClaim> claim;
    std::unique_ptr<zipwrite::ZipOutput> output;
    std::unique_ptr<zip::Deflater> deflater;
    std::unique_ptr<TSortedZip> newNames;      // ByName, not owning: the duplicate test
    std::unique_ptr<TSortedZip> newDirectory;  // physical order, owning
    TEndCentral newEnd;
    bool archiveExisted = false;
    Integer added = 0;
    std::vector<String> disposeList;
    // Entries a newer file replaces, by its line: the file is added after the kept entries,
    // and the old entry is copied there instead when the file cannot be added after all.
    std::map<String, std::unique_ptr<TZipWriteEntry>> replaced;
    // The old archive for raw copies: a second handle on the same file, read in large blocks.
    std::unique_ptr<TStream> copySource;
    Int64 archiveSize = 0;
    // Adding one file.
    std::unique_ptr<TStream> source;
    std::unique_ptr<zipwrite::MemberTemp> member;
    bool encrypting = false;
    zip::ZipKeys keys;
    Int64 percentBytes = 0;
    Int64 sourceSize = 0;
    Int64 bytesRead = 0;
    std::vector<Byte> scratch;
};
