// Dynamic libraries: loading a plug-in library, finding its exports, and the file name of a
// loaded module.
//
// Libraries are named by Windows-style paths and opened with RTLD_NOW | RTLD_LOCAL, so a
// library whose symbols cannot all be bound fails to load instead of failing later in the
// middle of a call, and its symbols never satisfy another library's. Loading the same file
// again gives the same handle (the loader counts the loads). Failures return null with the
// last error set; the loader's own reason is kept for the caller's report.
#pragma once

#include "platform/Types.h"

using FARPROC = void (*)();

// The system's codes of the loader's failures.
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// The module of the library at fileName, or null (last error ERROR_MOD_NOT_FOUND when the path
// leads nowhere, ERROR_BAD_EXE_FORMAT when the loader refused the file).
HMODULE LoadLibraryA(const char* fileName);
// The export called name, or null (last error ERROR_PROC_NOT_FOUND).
FARPROC GetProcAddress(HMODULE module, const char* name);
// Drops one load of the library; the loader unloads it after its last one.
BOOL FreeLibrary(HMODULE module);
// Windows-style full path of the module's file (the program's for a null module) into buffer,
// cut to size - 1 characters and zero-terminated. Gives the number of characters stored, 0 on
// failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

namespace platform {
// The loader's reason for the last failed LoadLibraryA or GetProcAddress of this thread.
String LastModuleError();
// Typed lookup of an export: null when missing.
template <typename F>
F GetProcAddressAs(HMODULE module, const char* name) {
    return reinterpret_cast<F>(::GetProcAddress(module, name));
}
}  // namespace platform
