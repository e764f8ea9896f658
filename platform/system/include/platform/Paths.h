// File-name text helpers of the class library, on Windows-style paths.
//
// Pure text work: nothing here touches the file system, except ExpandFileName, which reads
// the current folder of a drive. "\" and ":" delimit; "/" is accepted as a delimiter where
// the system accepts it (ExpandFileName). Names keep their case.
#pragma once

#include "platform/Types.h"

// "C:\a\b.txt" -> "C:\a\"  (up to and including the last "\" or ":")
String ExtractFilePath(const String& fileName);
// "C:\a\b.txt" -> "C:\a"; a root keeps its backslash ("C:\").
String ExtractFileDir(const String& fileName);
// "C:\a\b.txt" -> "b.txt"
String ExtractFileName(const String& fileName);
// "C:\a\b.txt" -> ".txt"; "" when the name has no ".".
String ExtractFileExt(const String& fileName);
// "C:\a" -> "C:"; "\\server\share\x" -> "\\server\share"; else "".
String ExtractFileDrive(const String& fileName);
// Replaces the extension (from the last "." of the name part) or appends extension.
String ChangeFileExt(const String& fileName, const String& extension);
String IncludeTrailingBackslash(const String& path);
String ExcludeTrailingBackslash(const String& path);
String IncludeTrailingPathDelimiter(const String& path);
String ExcludeTrailingPathDelimiter(const String& path);
// The full path: relative names are taken from the current folder of their drive, "."
// and ".." are resolved (never above the drive's root), "/" becomes "\". A trailing "\"
// stays. An empty name stays empty; "." gives the current folder.
String ExpandFileName(const String& fileName);
