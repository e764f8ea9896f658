// Mapping of Windows-style paths onto POSIX paths, for the file functions of the layer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace platform::detail {

struct DriveInfo {
    char letter = 0;
    DriveKind kind = DriveKind::Fixed;
    std::string root;  // POSIX folder; "" for a removable drive without medium
    UInt64 quota = 0;  // 0: none
};

std::optional<DriveInfo> LookupDrive(char letter);

struct MappedPath {
    DriveInfo drive;
    std::string posix;                   // the mapped path
    std::vector<std::string> components; // Windows components below the root, as resolved
    bool exists = false;                 // every component was found
    bool parentExists = false;           // every component but the last was found
    bool isRoot() const { return components.empty(); }
    String windows() const;              // "X:\a\b" with the resolved case
};

// Resolves a Windows path: existing components by exact case, then without regard to case;
// the first missing component and those after it as given. False (and the last error set)
// for a path that names no usable drive or holds an invalid name.
bool MapPath(const String& windowsPath, MappedPath& out);

// Bytes in use under a folder (regular files), for quotas.
UInt64 UsedBytes(const std::string& posixRoot);
// Free bytes of a drive: its quota minus the bytes in use, else what the file system reports.
UInt64 FreeBytes(const DriveInfo& drive);

// True when some Windows path can name this POSIX entry: no "\", none of <>:"|?* or
// control characters, and no trailing dot or blank (the system drops those from a name).
// Other entries are not listed and not found, so every listed name can be opened.
bool IsNameableFromWindows(const std::string& posixName);


}  // namespace platform::detail
