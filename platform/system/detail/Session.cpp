// The profile and session folders, and the settings of calls between the session's processes.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "detail/CrossProcess.h"

namespace platform::detail {
namespace {

String Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? String(v) : String();
}

}  // namespace

String ProfileFolder() { return platform::ProfilePath(); }

String SessionFolderPath() {
    // One folder per profile: two profiles never see each other's windows, atoms or locks.
    if (String r = Env("XDG_RUNTIME_DIR"); !r.empty()) {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a of the profile's path
        for (unsigned char ch : ProfileFolder()) hash = (hash ^ ch) * 1099511628211ull;
        char name[32];
        std::snprintf(name, sizeof name, "/tarvik-%08x", static_cast<unsigned>(hash ^ (hash >> 32)));
        return r + name;
    }
    return ProfileFolder() + "/session";
}

// Creates a folder and its parents (the last one private to the user).
bool MakeFolders(const String& path) {
    if (path.empty()) return false;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/') continue;
        String part = path.substr(0, i);
        if (::mkdir(part.c_str(), i == path.size() ? 0700 : 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace platform::detail

namespace platform {

void SetCrossProcessSendTimeout(std::uint32_t millis) { detail::CrossProcess::Get().sendTimeoutMillis = millis; }

std::uint32_t CrossProcessSendTimeout() {
    std::uint32_t t = detail::CrossProcess::Get().sendTimeoutMillis;
    if (t) return t;
    if (const char* env = ::getenv("TARVIK_SEND_TIMEOUT_MS")) {
        char* end = nullptr;
        unsigned long v = std::strtoul(env, &end, 10);
        if (end && *end == '\0' && v > 0 && v < 600000) return static_cast<std::uint32_t>(v);
    }
    return 5000;
}

String SessionFolder() { return detail::SessionFolderPath(); }

}  // namespace platform
