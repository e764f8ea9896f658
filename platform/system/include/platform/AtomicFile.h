// Atomic replacement of a file: the one way the system rewrites a file it keeps.
//
// The new contents go to a new file with a unique hidden name in the target's folder (so it
// counts against that drive's quota like any file). Commit() flushes and fsyncs it, gives it
// the old file's permissions, renames it over the target and fsyncs the folder. The old file
// is never deleted first, so every failure before the rename leaves it intact; an
// uncommitted temporary file is removed by the destructor. A target that is open in this
// process (no open shares deletion) or is read-only is not replaced. Every write is checked.
// Used by the INI files, the registry store, the drive table, the catalogue and the zip writer.
#pragma once

#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/Streams.h"

namespace platform {

class AtomicFile {
public:
    // Raises EFCreateError "Cannot create file "<target>". <reason>" when the temporary file
    // cannot be made (missing folder, drive not ready, ...).
    explicit AtomicFile(const String& windowsPath);
    static AtomicFile ForPosixPath(const std::string& posixPath);
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;
    ~AtomicFile();

    // Raises EWriteError "Cannot write to file "<target>". <reason>" (a full disk, ...).
    void Write(const void* data, std::size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    // The temporary file as a stream; its WriteBuffer raises on a short write.
    TStream& Stream();
    // Windows-style names of the target and of the temporary file.
    const String& TargetName() const { return target_; }
    const String& TempName() const { return temp_; }

    // Raises EOSError when the data could not be made durable or the target not replaced;
    // the old file then stays as it was.
    void Commit();

private:
    AtomicFile() = default;
    String target_, temp_;
    std::string targetPosix_, tempPosix_;
    THandle handle_ = INVALID_HANDLE_VALUE;
    int ownerFd_ = -1;  // holds the shared lock that marks the temporary file as in use
    std::unique_ptr<TStream> stream_;
    bool committed_ = false;
};

}  // namespace platform
