#include "platform/Profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include "platform/SysErrors.h"
#include "platform/detail/LayerState.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::optional<std::string> g_profile;

void MakeFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
        DWORD code = detail::ErrorFromErrno(errno);
        throw EOSError("Cannot create the profile folder \"" + path + "\". " + SysErrorMessage(code), code);
    }
}

void MakeFolders(const std::string& path) {
    // mkdir -p: the profile may be several levels below an existing folder.
    for (std::size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') MakeFolder(path.substr(0, i), 0755);
}

std::string LocateProfile() {
    if (const char* p = std::getenv("TARVIK_PROFILE"); p && *p) return p;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/tarvik";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/tarvik";
}

}  // namespace

const std::string& ProfilePath() {
    std::lock_guard lock(g_mutex);
    if (!g_profile) {
        std::string path = LocateProfile();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        MakeFolders(path);
        MakeFolder(path + "/drive_c", 0755);
        MakeFolder(path + "/shell", 0755);
        for (const char* name : kShellFolderNames) MakeFolder(path + "/shell/" + name, 0755);
        // Fixed page names live here, so no other user may plant a file under them.
        MakeFolder(path + "/temp", 0700);
        ::chmod((path + "/temp").c_str(), 0700);
        g_profile = path;
    }
    return *g_profile;
}

std::string ProfileDriveCPath() { return ProfilePath() + "/drive_c"; }
std::string ProfileTempPath() { return ProfilePath() + "/temp"; }
std::string ProfileShellFolderPath(const std::string& name) { return ProfilePath() + "/shell/" + name; }

void ResetProfileForTests() {
    {
        std::lock_guard lock(g_mutex);
        g_profile.reset();
    }
    detail::ResetDriveState();
    detail::ResetRegistryState();
}

}  // namespace platform
