// What a walk of the folder tree must know of it: the kernel's pseudo file systems to stay out
// of, and folder identities to tell a folder reached again through a link.
//
// One of the file functions (see Files.cpp).
#include "platform/Files.h"

#include <linux/magic.h>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/Drives.h"

namespace platform {

bool IsPseudoFileSystem(const String& windowsPath) {
    // Kernel interfaces, not stored files: proc, sysfs, device and kernel-debugging trees.
    static constexpr unsigned long kPseudo[] = {
        PROC_SUPER_MAGIC, SYSFS_MAGIC,        DEVPTS_SUPER_MAGIC, DEBUGFS_MAGIC,  TRACEFS_MAGIC,
        SECURITYFS_MAGIC, SELINUX_MAGIC,      CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, PSTOREFS_MAGIC,
        EFIVARFS_MAGIC,   BINFMTFS_MAGIC,     BPF_FS_MAGIC,       NSFS_MAGIC,     HUGETLBFS_MAGIC,
    };
    const std::string posix = ToPosixPath(windowsPath);
    struct statfs fs {};
    if (posix.empty() || ::statfs(posix.c_str(), &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    if (std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo)) return true;
    if (type != TMPFS_MAGIC) return false;
    // devtmpfs gives the tmpfs number: it is told by the mount table.
    struct stat st {};
    if (::stat(posix.c_str(), &st) != 0) return false;
    FILE* mounts = ::setmntent("/proc/self/mounts", "r");
    if (!mounts) return false;
    bool found = false;
    while (const mntent* m = ::getmntent(mounts)) {
        struct stat mountPoint {};
        if (std::strcmp(m->mnt_type, "devtmpfs") == 0 && ::stat(m->mnt_dir, &mountPoint) == 0 &&
            mountPoint.st_dev == st.st_dev) {
            found = true;
            break;
        }
    }
    ::endmntent(mounts);
    return found;
}

bool GetFolderIdentity(const String& windowsPath, FolderId& id) {
    const std::string posix = ToPosixPath(windowsPath);
    struct stat st {};
    if (posix.empty() || ::stat(posix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace platform
