// Folders and searches: creating and removing folders, FindFirst and FindNext with the
// system's wildcard rules, and the temporary folder and file names.
//
// One of the file functions (see Files.cpp).
#include "platform/SysUtils.h"
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "detail/FileFunctions.h"

namespace platform::detail {

struct FindState {
    struct Entry {
        std::string name;
        Integer attr = 0;
        Int64 size = 0;
        Integer time = 0;
    };
    std::vector<Entry> entries;
    std::size_t next = 0;
};

bool WildcardMatchWindows(const std::string& pattern, const std::string& name) {
    std::string p = UpperCase(pattern), n = UpperCase(name);
    if (p == "*" || p == "*.*") return true;
    auto glob = [](const std::string& pat, const std::string& text) {
        std::size_t pi = 0, ti = 0, star = std::string::npos, mark = 0;
        while (ti < text.size()) {
            if (pi < pat.size() && (pat[pi] == '?' || pat[pi] == text[ti])) {
                ++pi;
                ++ti;
            } else if (pi < pat.size() && pat[pi] == '*') {
                star = pi++;
                mark = ti;
            } else if (star != std::string::npos) {
                pi = star + 1;
                ti = ++mark;
            } else {
                return false;
            }
        }
        while (pi < pat.size() && pat[pi] == '*') ++pi;
        return pi == pat.size();
    };
    bool noDot = n.find('.') == std::string::npos;
    // "name.*" also matches "name", and "*." matches only names without extension.
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && noDot && glob(p.substr(0, p.size() - 2), n))
        return true;
    if (p.size() >= 2 && p.back() == '.') return noDot && glob(p.substr(0, p.size() - 1), n);
    return glob(p, n);
}

}  // namespace platform::detail

using namespace platform::detail;

bool DirectoryExists(const String& directory) {
    MappedPath mapped;
    struct stat st {};
    return MapPath(directory, mapped) && mapped.exists && StatPath(mapped.posix, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const String& dir) {
    MappedPath mapped;
    if (!MapPath(dir, mapped)) return false;
    if (mapped.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!mapped.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (::mkdir(mapped.posix.c_str(), 0777) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool RemoveDir(const String& dir) {
    MappedPath mapped;
    struct stat st {};
    if (!MapExisting(dir, mapped, st)) return false;
    if (!S_ISDIR(st.st_mode) || mapped.isRoot()) {
        SetLastError(mapped.isRoot() ? ERROR_ACCESS_DENIED : ERROR_DIRECTORY);
        return false;
    }
    if (::rmdir(mapped.posix.c_str()) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool ForceDirectories(const String& dir) {
    if (dir.empty()) throw EInOutError("Unable to create directory", 0);
    String d = ExcludeTrailingBackslash(dir);
    if (d.size() < 3 || ExtractFilePath(d) == d) return true;
    // One mapping of the whole path, then a walk up to the deepest folder that exists and
    // one mkdir per missing level downward: mapping the path again at every level made deep
    // paths cost the cube of their depth.
    MappedPath mapped;
    if (!MapPath(d, mapped)) return false;
    struct stat st {};
    if (mapped.exists) {
        if (StatPath(mapped.posix, st) && S_ISDIR(st.st_mode)) return true;
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    // ends[i]: length of the POSIX path up to and including component i.
    const std::size_t n = mapped.components.size();
    std::vector<std::size_t> ends(n);
    std::size_t end = mapped.posix.size();
    for (std::size_t i = n; i-- > 0;) {
        ends[i] = end;
        end -= mapped.components[i].size() + 1;
    }
    std::size_t missing = n;  // the first level that does not exist
    while (missing > 0 && !StatPath(mapped.posix.substr(0, ends[missing - 1]), st)) --missing;
    if (missing > 0 && !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    for (std::size_t i = missing; i < n; ++i) {
        if (::mkdir(mapped.posix.substr(0, ends[i]).c_str(), 0777) != 0 && errno != EEXIST) {
            SetLastErrorFromErrno(errno);
            return false;
        }
    }
    return true;
}

Integer FindFirst(const String& path, Integer attr, TSearchRec& f) {
    f = TSearchRec();
    f.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    String dir = ExtractFilePath(path), pattern = ExtractFileName(path);
    if (pattern.empty()) return static_cast<Integer>(ERROR_FILE_NOT_FOUND);
    MappedPath mapped;
    struct stat st {};
    if (!MapPath(dir.empty() ? String(".") : dir, mapped) || !mapped.exists || !StatPath(mapped.posix, st) ||
        !S_ISDIR(st.st_mode))
        return static_cast<Integer>(ERROR_PATH_NOT_FOUND);
    auto state = std::make_shared<FindState>();
    auto consider = [&](const std::string& name, const struct stat& est) {
        FindState::Entry e;
        e.name = name;
        e.attr = AttrOf(name, est);
        e.size = S_ISREG(est.st_mode) ? static_cast<Int64>(est.st_size) : 0;
        e.time = DosDateFromUnix(est.st_mtim.tv_sec);
        if ((e.attr & f.ExcludeAttr) != 0 || !WildcardMatchWindows(pattern, name)) return;
        state->entries.push_back(e);
    };
    DIR* d = ::opendir(mapped.posix.c_str());
    if (!d) return static_cast<Integer>(ERROR_PATH_NOT_FOUND);
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // Only names the pattern takes are looked at further: a name without wildcards would
        // otherwise cost a stat of every file in the folder.
        if (!IsNameableFromWindows(name) || !WildcardMatchWindows(pattern, name)) continue;
        struct stat est {};
        std::string full = mapped.posix == "/" ? "/" + name : mapped.posix + "/" + name;
        if (::stat(full.c_str(), &est) != 0 && ::lstat(full.c_str(), &est) != 0) continue;
        consider(name, est);
    }
    ::closedir(d);
    std::sort(state->entries.begin(), state->entries.end(), [](const auto& a, const auto& b) {
        std::string ua = UpperCase(a.name), ub = UpperCase(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    if (!mapped.isRoot()) {
        // The system lists the folder itself and its parent first, except at a drive root.
        struct stat parent {};
        std::string up = mapped.posix.substr(0, mapped.posix.find_last_of('/'));
        if (up.empty()) up.assign(1, '/');
        std::size_t before = state->entries.size();
        static const std::string kSelf(1, '.'), kParent(2, '.');
        consider(kSelf, st);
        if (StatPath(up, parent)) consider(kParent, parent);
        std::rotate(state->entries.begin(), state->entries.begin() + static_cast<std::ptrdiff_t>(before),
                    state->entries.end());
    }
    if (state->entries.empty()) return static_cast<Integer>(ERROR_FILE_NOT_FOUND);
    f.FindHandle = state;
    return FindNext(f);
}

Integer FindNext(TSearchRec& f) {
    if (!f.FindHandle || f.FindHandle->next >= f.FindHandle->entries.size())
        return static_cast<Integer>(ERROR_NO_MORE_FILES);
    const FindState::Entry& e = f.FindHandle->entries[f.FindHandle->next++];
    f.Name = e.name;
    f.Attr = e.attr;
    f.Size = e.size;
    f.Time = e.time;
    return 0;
}

void FindClose(TSearchRec& f) { f.FindHandle.reset(); }

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
    String path = IncludeTrailingBackslash(platform::FromPosixPath(platform::ProfileTempPath()));
    if (!buffer || bufferLength < path.size() + 1) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

UINT GetTempFileNameA(const char* pathName, const char* prefixString, UINT unique, char* tempFileName) {
    String dir = IncludeTrailingBackslash(pathName ? pathName : "");
    String prefix = String(prefixString ? prefixString : "").substr(0, 3);
    auto nameOf = [&](UINT n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
        return dir + prefix + hex + ".TMP";
    };
    if (unique != 0) {
        String name = nameOf(unique);
        std::memcpy(tempFileName, name.c_str(), std::min<std::size_t>(name.size() + 1, 260));
        tempFileName[259] = 0;
        return unique & 0xFFFF;
    }
    if (!DirectoryExists(dir)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    UINT start = (platform::RandomUInt32() & 0xFFFF) | 1;
    for (UINT i = 0; i < 0xFFFF; ++i) {
        UINT n = ((start + i - 1) % 0xFFFF) + 1;
        String name = nameOf(n);
        MappedPath mapped;
        if (!MapPath(name, mapped)) return 0;
        if (mapped.exists) continue;
        int fd = ::open(mapped.posix.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            SetLastErrorFromErrno(errno);
            return 0;
        }
        ::close(fd);
        std::memcpy(tempFileName, name.c_str(), std::min<std::size_t>(name.size() + 1, 260));
        tempFileName[259] = 0;
        return n;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
