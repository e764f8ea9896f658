// What the file functions (Files.cpp and the files beside it: FileNames, Directories,
// PseudoFileSystem) share: the open-file table's sharing rule and the lookup of a name's entry.
#pragma once

#include <sys/stat.h>

#include <initializer_list>
#include <string>

#include "platform/Files.h"
#include "detail/PathMap.h"

namespace platform::detail {

// Whether any of the files (null ones aside) is open through a handle of this process; sets
// the sharing error when one is. Emptying or replacing a file that someone has open would
// pull it from under them.
bool RefuseIfOpen(std::initializer_list<const struct stat*> files);

bool StatPath(const std::string& posix, struct stat& st);
// Maps fileName and requires that it exists; sets the last error otherwise.
bool MapExisting(const String& fileName, MappedPath& mapped, struct stat& st);
// The attributes the system shows for an entry of that name and kind.
Integer AttrOf(const std::string& name, const struct stat& st);

}  // namespace platform::detail
