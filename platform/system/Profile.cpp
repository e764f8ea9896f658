#include "platform/Profile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/SysErrors.h"
#include "detail/LayerState.h"

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

[[noreturn]] void Refuse(const std::string& text, DWORD code) { throw EOSError(text, code); }

// The user's home: $HOME, else the password database's. Never a shared folder such as /tmp,
// where another user could have made the profile first.
std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return found->pw_dir;
    Refuse("Cannot locate the profile folder: $TARVIK_PROFILE, $XDG_DATA_HOME and $HOME are not set, and user " +
               std::to_string(::geteuid()) + " has no home folder.",
           ERROR_PATH_NOT_FOUND);
}

std::string LocateProfile() {
    if (const char* p = std::getenv("TARVIK_PROFILE"); p && *p) return p;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/tarvik";
    return HomeFolder() + "/.local/share/tarvik";
}

// Fixed page names live in the temporary folder, so no other user may reach into it: it must
// be a real folder of this user, and mode 0700.
void SecureTempFolder(const std::string& temp) {
    struct stat st {};
    if (::lstat(temp.c_str(), &st) != 0) {
        const DWORD code = detail::ErrorFromErrno(errno);
        Refuse("Cannot examine the private temporary folder \"" + temp + "\". " + SysErrorMessage(code), code);
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        Refuse("The private temporary folder \"" + temp + "\" is not a folder of this user; it is not used.",
               ERROR_ACCESS_DENIED);
    if ((st.st_mode & 07777) != 0700 && ::chmod(temp.c_str(), 0700) != 0) {
        const DWORD code = detail::ErrorFromErrno(errno);
        Refuse("Cannot make the private temporary folder \"" + temp + "\" private. " + SysErrorMessage(code), code);
    }
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
        MakeFolder(path + "/temp", 0700);
        SecureTempFolder(path + "/temp");
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
