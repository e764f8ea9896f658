#include "manager/FolderIdentity.h"

#include <sys/stat.h>

#include "platform/Drives.h"

namespace manager {

bool FolderIdentity(const String& windowsPath, std::uint64_t& device, std::uint64_t& inode) {
    const std::string posix = platform::ToPosixPath(windowsPath);
    struct stat st {};
    if (posix.empty() || ::stat(posix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace manager
