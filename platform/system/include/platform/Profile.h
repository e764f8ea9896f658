// The per-user profile folder that roots every per-user place of the layer.
//
// It is $TARVIK_PROFILE, else $XDG_DATA_HOME/tarvik, else ~/.local/share/tarvik (the home
// from the password database when $HOME is not set; no home at all is refused), and is
// created on first use with its fixed parts: drive C: ("drive_c"), the shell folders
// ("shell/AppData", "shell/Desktop", ...), and a private temporary folder ("temp", mode 0700).
// The registry store and the drive table live beside them. This module owns only the
// location and the folder skeleton; it never writes the stores themselves. Paths returned
// here are POSIX paths: only the layer's file functions use them.
#pragma once

#include <string>

namespace platform {

// The profile folder (no trailing slash), created with its skeleton when missing; raises
// EOSError when it cannot be located or created, or when its temporary folder is not a
// folder of this user (another user could read or plant files there).
const std::string& ProfilePath();
// <profile>/drive_c, <profile>/temp (0700), <profile>/shell/<Name>.
std::string ProfileDriveCPath();
std::string ProfileTempPath();
std::string ProfileShellFolderPath(const std::string& name);

// The shell folders seeded into the registry's "Shell Folders" key, in this order.
inline constexpr const char* kShellFolderNames[] = {"AppData", "Desktop", "Start Menu", "Favorites", "Startup"};

// Forgets every cached per-profile state of the layer (profile location, drive table,
// current folders, registry cache), so that a test may point $TARVIK_PROFILE elsewhere.
// Open files and registry keys must be closed first.
void ResetProfileForTests();

}  // namespace platform
