// The identity of a folder (device and inode of what its path leads to, symlinks followed),
// so that a walk can tell a folder it reached again through a symlink.
//
// This is a file-system query and belongs with the layer's file functions; it lives here only
// until the layer offers it.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace manager {

// False when the folder cannot be reached.
bool FolderIdentity(const String& windowsPath, std::uint64_t& device, std::uint64_t& inode);

}  // namespace manager
