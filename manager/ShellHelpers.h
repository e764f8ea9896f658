// Shell helpers of the manager: the program's own shortcuts in the shell folders, and the
// temporary folder.
//
// A shortcut is named by the application title plus ".lnk" and lies in the folder that the
// registry's "Shell Folders" value names. When that value cannot be read there is no folder
// to put the shortcut in: the shortcut then neither exists nor is created or deleted.
#pragma once

#include "platform/Types.h"

namespace manager {

inline constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// "<shell folder>\<title>.lnk", or empty when the shell folder value cannot be read.
String ShortcutPath(const String& FolderName);

// True when a file exists at the shortcut path.
bool ShortcutExists(const String& FolderName);

// Create: makes the shortcut to the program (with Parameters less its leading blank as the
// arguments, and ShortcutDescription) unless a file already stands at its path; an existing
// file is left untouched. Delete: removes the file when present. A failed save or delete is
// not reported.
void MakeShortcut(const String& FolderName, bool Create, const String& Parameters);

// COM on the calling thread, which the shell-link objects of MakeShortcut need; the program
// holds it for its whole life. Initialize gives false when COM could not be started.
bool InitializeShellObjects();
void FinalizeShellObjects();

// Whether a file can be made in the folder (with its trailing backslash): an installed
// program's folder is not the person's to write.
bool CanWriteIn(const String& folder);

// The temporary folder with its trailing backslash, or empty when the system gives none.
String GetTempDirectory();

}  // namespace manager
