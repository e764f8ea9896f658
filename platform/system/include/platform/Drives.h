// Drive letters, volumes and current folders of the layer.
//
// Paths inside the system are Windows-style; this module maps them onto POSIX folders.
// Z: is "/", C: is <profile>/drive_c, and every other letter comes from the drive table file
// in the profile: a fixed drive is a folder; a removable drive shows one medium folder at a
// time (or none: "not ready"). Each has a volume label and an optional byte quota, which the
// file functions enforce on writes (a full floppy is a quota). Tests add drives, swap media
// and set labels and quotas through the platform:: functions below; the system's own calls
// (GetDriveTypeA, GetVolumeInformationA, ...) read the same table. The current folder is
// kept per drive inside the process: the process's POSIX working folder is never changed.
// POSIX names that no Windows path can spell (holding "\", ":", "*", ..., or ending in
// a dot or blank) are neither listed nor found. No UNC paths. This module never opens files; that is the file functions' job (platform/Files.h).
#pragma once

#include <string>

#include "platform/Types.h"

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// rootPathName "C:\" (any case; nullptr means the current drive).
UINT GetDriveTypeA(const char* rootPathName);
BOOL GetVolumeInformationA(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength,
                           DWORD* fileSystemFlags, char* fileSystemNameBuffer, DWORD fileSystemNameSize);
// Labels hold at most 11 characters on removable drives and 32 on fixed ones; nullptr clears.
BOOL SetVolumeLabelA(const char* rootPathName, const char* volumeName);
BOOL GetDiskFreeSpaceExA(const char* directoryName, UInt64* freeBytesAvailable, UInt64* totalNumberOfBytes,
                         UInt64* totalNumberOfFreeBytes);
// drive 0 is the current drive, 1 is A:; -1 when the drive is missing or not ready.
Int64 DiskFree(Byte drive);
Int64 DiskSize(Byte drive);

// Current folder: "C:\Work" (a root keeps its backslash).
String GetCurrentDir();
bool SetCurrentDir(const String& dir);
// Raises EInOutError when the folder does not exist.
void ChDir(const String& dir);
// drive 0 is the current drive, 1 is A:; a drive never entered gives its root.
void GetDir(Byte drive, String& dir);

namespace platform {

enum class DriveKind { Fixed, Removable };

// Adds or replaces a drive letter (not C: or Z:). For a removable drive posixFolder is the
// medium now inserted ("" for none). quotaBytes 0 means no quota.
void AddDrive(char letter, DriveKind kind, const std::string& posixFolder = std::string(), UInt64 quotaBytes = 0);
void RemoveDrive(char letter);
void InsertMedium(char letter, const std::string& posixFolder);
void EjectMedium(char letter);
// Sets the label of the medium or folder a letter shows now, without the system's limits.
void SetDriveLabel(char letter, const String& label);
void SetDriveQuota(char letter, UInt64 quotaBytes);

// "C:\a\B.txt" -> "<profile>/drive_c/a/b.txt" when b.txt exists (exact case first, then any
// case); "" for a path that cannot be mapped (unknown letter, no medium, UNC, bad name).
std::string ToPosixPath(const String& windowsPath);
// "/tmp/x" -> "Z:\tmp\x"; a relative POSIX path is taken from the process's working folder.
String FromPosixPath(const std::string& posixPath);

}  // namespace platform
