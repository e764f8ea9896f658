// An exclusive advisory lock on a lock file, held for the lifetime of the object.
#pragma once

#include <string>

namespace platform::detail {

class FileLock {
public:
    // Blocks until the lock on posixPath (created when missing) is held.
    explicit FileLock(const std::string& posixPath);
    // Tries for at most timeoutMillis; never raises. Held() tells whether it got the lock.
    FileLock(const std::string& posixPath, unsigned timeoutMillis);
    ~FileLock();
    bool Held() const { return fd_ >= 0; }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

// Writes bytes to a POSIX path through a new file in the same folder that is flushed,
// fsynced and renamed over the old one; the folder is fsynced afterwards. Raises EOSError.
void WriteFileAtomically(const std::string& posixPath, const std::string& bytes);
// Reads a whole file; false when it does not exist or cannot be read.
bool ReadWholeFile(const std::string& posixPath, std::string& bytes);

// (inode, size, mtime) of a file, to notice that another process replaced it.
struct FileStamp {
    unsigned long long ino = 0, size = 0;
    long long mtimeNs = 0;
    bool exists = false;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& posixPath);

}  // namespace platform::detail
