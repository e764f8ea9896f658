#include "platform/Modules.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/Drives.h"
#include "platform/Params.h"
#include "platform/SysErrors.h"

namespace {

thread_local String lastModuleError;

void Fail(DWORD code, const String& reason) {
    lastModuleError = reason;
    SetLastError(code);
}

DWORD StoreName(const String& name, char* buffer, DWORD size) {
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    DWORD n = static_cast<DWORD>(std::min<std::size_t>(name.size(), size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return n;
}

}  // namespace

HMODULE LoadLibraryA(const char* fileName) {
    if (!fileName || !*fileName) {
        Fail(ERROR_MOD_NOT_FOUND, "no library name");
        return nullptr;
    }
    std::string posix = platform::ToPosixPath(fileName);
    if (posix.empty() || ::access(posix.c_str(), F_OK) != 0) {
        Fail(ERROR_MOD_NOT_FOUND, String("cannot find ") + fileName);
        return nullptr;
    }
    // A name without "/" would make the loader search its own paths; ours is always a path.
    if (posix.find('/') == std::string::npos) posix = "./" + posix;
    ::dlerror();
    void* handle = ::dlopen(posix.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        Fail(ERROR_BAD_EXE_FORMAT, why ? why : "the loader refused the library");
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name) {
        Fail(ERROR_PROC_NOT_FOUND, "no module or no name");
        return nullptr;
    }
    ::dlerror();
    void* sym = ::dlsym(module, name);
    if (!sym) {
        const char* why = ::dlerror();
        Fail(ERROR_PROC_NOT_FOUND, why ? why : String("no export ") + name);
        return nullptr;
    }
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    return reinterpret_cast<FARPROC>(sym);
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) return FALSE_;
    return ::dlclose(module) == 0 ? TRUE_ : FALSE_;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    if (!module) return StoreName(ParamStr(0), buffer, size);
    link_map* map = nullptr;
    if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return StoreName(platform::FromPosixPath(map->l_name), buffer, size);
}

namespace platform {
String LastModuleError() { return lastModuleError; }
}  // namespace platform
