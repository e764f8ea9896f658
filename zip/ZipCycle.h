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

// Marks an archive as being rewritten by this process, so that a second component (or a
// nested call through the message loop) cannot rewrite it at the same time.
class RewriteClaim {
public:
    explicit RewriteClaim(const String& archive);
    ~RewriteClaim();
    RewriteClaim(const RewriteClaim&) = delete;
    RewriteClaim& operator=(const RewriteClaim&) = delete;
    void Also(const String& name);

private:
    std::vector<std::string> keys_;
};

}  // namespace zipwrite

struct TZipper::Cycle {
    std::unique_ptr<zipwrite::RewriteClaim> claim;
    // Released last, after the output removed what it left.
    std::unique_ptr<platform::detail::FileLock> lock;
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
