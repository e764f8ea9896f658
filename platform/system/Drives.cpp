#include "platform/SysUtils.h"
#include "platform/Drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/SysErrors.h"
#include "platform/FileLock.h"
#include "detail/LayerState.h"
#include "detail/PathMap.h"

namespace platform::detail {
namespace {

constexpr std::size_t kRemovableLabelMax = 11;  // FAT
constexpr std::size_t kFixedLabelMax = 32;      // NTFS

struct DriveState {
    std::recursive_mutex mutex;
    bool loaded = false;
    FileStamp stamp;
    std::map<char, DriveInfo> table;       // letters other than C: and Z:
    std::map<std::string, String> labels;  // label of a drive folder or medium, by its POSIX path
    bool cwdReady = false;
    char currentDrive = 'Z';
    std::array<String, 26> cwd;  // "X:\..." per drive; empty: the root
};

DriveState& State() {
    static DriveState state;
    return state;
}

std::string TablePath() { return ProfilePath() + "/drives.txt"; }
std::string TableLockPath() { return ProfilePath() + "/drives.lock"; }

std::vector<std::string> SplitFields(const std::string& line, std::size_t count) {
    // The last field (a folder) takes the rest of the line, so it may hold "|".
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (fields.size() + 1 < count) {
        std::size_t bar = line.find('|', start);
        if (bar == std::string::npos) break;
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

void ParseTable(DriveState& s, const std::string& text) {
    s.table.clear();
    s.labels.clear();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("drive|", 0) == 0) {
            auto f = SplitFields(line.substr(6), 4);
            if (f.size() != 4 || f[0].size() != 1) continue;
            DriveInfo d;
            d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(f[0][0])));
            d.kind = f[1] == "removable" ? DriveKind::Removable : DriveKind::Fixed;
            d.quota = std::strtoull(f[2].c_str(), nullptr, 10);
            d.root = f[3];
            if (d.letter >= 'A' && d.letter <= 'Z' && d.letter != 'C' && d.letter != 'Z') s.table[d.letter] = d;
        } else if (line.rfind("label|", 0) == 0) {
            auto f = SplitFields(line.substr(6), 2);
            if (f.size() == 2) s.labels[f[1]] = f[0];
        }
    }
}

std::string FormatTable(const DriveState& s) {
    std::string out = "# Tarvik drive table: drive|letter|fixed or removable|quota bytes|folder; label|text|folder\n";
    for (const auto& [letter, d] : s.table)
        out += "drive|" + std::string(1, letter) + "|" + (d.kind == DriveKind::Removable ? "removable" : "fixed") + "|" +
               std::to_string(d.quota) + "|" + d.root + "\n";
    for (const auto& [root, label] : s.labels)
        if (!label.empty()) out += "label|" + label + "|" + root + "\n";
    return out;
}

void EnsureLoaded(DriveState& s) {
    FileStamp stamp = StampOf(TablePath());
    if (s.loaded && stamp == s.stamp) return;
    std::string text;
    if (stamp.exists) ReadWholeFile(TablePath(), text);
    ParseTable(s, text);
    s.stamp = stamp;
    s.loaded = true;
}

template <typename Fn>
void ModifyTable(Fn fn) {
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    FileLock lock(TableLockPath());
    s.loaded = false;  // read what other processes wrote, under the lock
    EnsureLoaded(s);
    fn(s);
    WriteFileAtomically(TablePath(), FormatTable(s));
    s.stamp = StampOf(TablePath());
}

char UpperLetter(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// "*" and "?" are legal in POSIX names, and a watched file may carry them: a name is taken as
// a pattern only by the functions that ask for one (FindFirst), everywhere else literally.
bool IsInvalidNameChar(unsigned char c) {
    return c < 32 || std::strchr("<>:\"|", c) != nullptr;
}

void InitCwd(DriveState& s) {
    if (s.cwdReady) return;
    s.cwd.fill(String());
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer)) {
        s.currentDrive = 'Z';
        s.cwd['Z' - 'A'] = platform::FromPosixPath(buffer);
    } else {
        s.currentDrive = 'C';
    }
    s.cwdReady = true;
}

String CwdOf(DriveState& s, char letter) {
    InitCwd(s);
    const String& dir = s.cwd[letter - 'A'];
    return dir.empty() ? String(1, letter) + ":\\" : dir;
}

std::string JoinPosix(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Splits a Windows path into its drive letter and normalised components. "." and ".."
// are resolved here, so ".." stops at the root of the drive.
bool Normalize(const String& path, char& letter, std::vector<std::string>& comps, bool& trailing) {
    DriveState& s = State();
    String p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return false;  // no UNC paths
    std::lock_guard guard(s.mutex);
    InitCwd(s);
    String rest;
    if (p.size() >= 2 && p[1] == ':') {
        letter = UpperLetter(p[0]);
        if (letter < 'A' || letter > 'Z') return false;
        rest = p.substr(2);
    } else {
        letter = s.currentDrive;
        rest = p;
    }
    comps.clear();
    if (rest.empty() || rest[0] != '\\') {
        String base = CwdOf(s, letter);
        std::size_t i = 3;
        while (i < base.size()) {
            std::size_t j = base.find('\\', i);
            if (j == String::npos) j = base.size();
            if (j > i) comps.push_back(base.substr(i, j - i));
            i = j + 1;
        }
    }
    trailing = !rest.empty() && rest.back() == '\\';
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = rest.find('\\', i);
        if (j == String::npos) j = rest.size();
        std::string c = rest.substr(i, j - i);
        if (c == "..") {
            if (!comps.empty()) comps.pop_back();
        } else if (!c.empty() && c != ".") {
            comps.push_back(c);
        }
        i = j + 1;
    }
    return true;
}

// Finds name in dir: exact case first, then the first entry (in byte order) equal without
// regard to case. POSIX names holding "\" can never be named from here.
bool FindEntry(const std::string& dir, const std::string& name, std::string& found) {
    struct stat st {};
    if (::lstat(JoinPosix(dir, name).c_str(), &st) == 0) {
        found = name;
        return true;
    }
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    std::string best;
    bool any = false;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == ".." || !IsNameableFromWindows(n)) continue;
        if (SameText(n, name) && (!any || n < best)) {
            best = n;
            any = true;
        }
    }
    ::closedir(d);
    if (any) found = best;
    return any;
}

}  // namespace

bool IsNameableFromWindows(const std::string& posixName) {
    if (posixName.empty() || posixName.back() == '.' || posixName.back() == ' ') return false;
    for (unsigned char c : posixName)
        if (c == '\\' || IsInvalidNameChar(c)) return false;
    return true;
}

std::optional<DriveInfo> LookupDrive(char letter) {
    letter = UpperLetter(letter);
    if (letter == 'Z') return DriveInfo{'Z', DriveKind::Fixed, "/", 0};
    if (letter == 'C') return DriveInfo{'C', DriveKind::Fixed, ProfileDriveCPath(), 0};
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    EnsureLoaded(s);
    auto it = s.table.find(letter);
    if (it == s.table.end()) return std::nullopt;
    return it->second;
}

String MappedPath::windows() const {
    String out(1, drive.letter);
    out += ":\\";
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i) out += '\\';
        out += components[i];
    }
    return out;
}

bool MapPath(const String& windowsPath, MappedPath& out) {
    char letter = 0;
    std::vector<std::string> comps;
    bool trailing = false;
    if (windowsPath.empty() || !Normalize(windowsPath, letter, comps, trailing)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    for (std::string& c : comps) {
        for (unsigned char ch : c)
            if (IsInvalidNameChar(ch)) {
                SetLastError(ERROR_INVALID_NAME);
                return false;
            }
        // The system drops trailing dots and blanks of a name: "a." names "a".
        while (!c.empty() && (c.back() == '.' || c.back() == ' ')) c.pop_back();
        if (c.empty()) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
    }
    auto drive = LookupDrive(letter);
    if (!drive) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    struct stat st {};
    if (drive->root.empty() || ::stat(drive->root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(drive->kind == DriveKind::Removable ? ERROR_NOT_READY : ERROR_PATH_NOT_FOUND);
        return false;
    }
    out = MappedPath();
    out.drive = *drive;
    out.posix = drive->root;
    bool found = true;
    for (std::size_t i = 0; i < comps.size(); ++i) {
        std::string name = comps[i];
        if (found) {
            std::string actual;
            if (FindEntry(out.posix, name, actual)) {
                name = actual;
            } else {
                found = false;
                out.parentExists = i + 1 == comps.size();
            }
        }
        out.components.push_back(name);
        out.posix = JoinPosix(out.posix, name);
    }
    out.exists = found;
    if (found) out.parentExists = true;
    return true;
}

UInt64 UsedBytes(const std::string& posixRoot) {
    UInt64 total = 0;
    DIR* d = ::opendir(posixRoot.c_str());
    if (!d) return 0;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        std::string p = JoinPosix(posixRoot, n);
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) total += UsedBytes(p);
        else if (S_ISREG(st.st_mode)) total += static_cast<UInt64>(st.st_size);
    }
    ::closedir(d);
    return total;
}

UInt64 FreeBytes(const DriveInfo& drive) {
    if (drive.quota > 0) {
        UInt64 used = UsedBytes(drive.root);
        return used >= drive.quota ? 0 : drive.quota - used;
    }
    struct statvfs vfs {};
    if (::statvfs(drive.root.c_str(), &vfs) != 0) return 0;
    return static_cast<UInt64>(vfs.f_bavail) * vfs.f_frsize;
}

void ResetDriveState() {
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    s.loaded = false;
    s.table.clear();
    s.labels.clear();
    s.cwdReady = false;
}

namespace {

// "C:\" (or "C:", any case, or nullptr for the current drive) -> the drive, with the last
// error set when it is missing or has no medium.
std::optional<DriveInfo> DriveOfRoot(const char* root, bool needMedium) {
    char letter;
    if (!root) {
        DriveState& s = State();
        std::lock_guard guard(s.mutex);
        InitCwd(s);
        letter = s.currentDrive;
    } else {
        std::string r = root;
        std::replace(r.begin(), r.end(), '/', '\\');
        if (r.size() < 2 || r[1] != ':' || (r.size() > 2 && r != std::string(r.substr(0, 2)) + "\\")) {
            SetLastError(ERROR_INVALID_NAME);
            return std::nullopt;
        }
        letter = UpperLetter(r[0]);
    }
    auto drive = LookupDrive(letter);
    if (!drive) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    struct stat st {};
    if (needMedium && (drive->root.empty() || ::stat(drive->root.c_str(), &st) != 0)) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    return drive;
}

String LabelOf(const DriveInfo& d) {
    if (d.letter == 'Z') return String();
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    EnsureLoaded(s);
    auto it = s.labels.find(d.root);
    return it == s.labels.end() ? String() : it->second;
}

DWORD SerialOf(const std::string& root) {
    DWORD h = 2166136261u;  // FNV-1a: stable across runs, distinct per medium
    for (unsigned char c : root) h = (h ^ c) * 16777619u;
    return h;
}

std::optional<DriveInfo> DriveByNumber(Byte drive) {
    char letter;
    if (drive == 0) {
        DriveState& s = State();
        std::lock_guard guard(s.mutex);
        InitCwd(s);
        letter = s.currentDrive;
    } else if (drive <= 26) {
        letter = static_cast<char>('A' + drive - 1);
    } else {
        return std::nullopt;
    }
    auto d = LookupDrive(letter);
    struct stat st {};
    if (!d || d->root.empty() || ::stat(d->root.c_str(), &st) != 0) return std::nullopt;
    return d;
}

}  // namespace
}  // namespace platform::detail

using namespace platform::detail;

UINT GetDriveTypeA(const char* rootPathName) {
    auto drive = DriveOfRoot(rootPathName, false);
    if (!drive) return DRIVE_NO_ROOT_DIR;
    return drive->kind == platform::DriveKind::Removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

BOOL GetVolumeInformationA(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                           char* fileSystemNameBuffer, DWORD fileSystemNameSize) {
    auto drive = DriveOfRoot(rootPathName, true);
    if (!drive) return 0;
    String label = LabelOf(*drive);
    String fs = drive->kind == platform::DriveKind::Removable ? "FAT" : "NTFS";
    if ((volumeNameBuffer && label.size() + 1 > volumeNameSize) ||
        (fileSystemNameBuffer && fs.size() + 1 > fileSystemNameSize)) {
        SetLastError(ERROR_BAD_LENGTH);
        return 0;
    }
    if (volumeNameBuffer) std::memcpy(volumeNameBuffer, label.c_str(), label.size() + 1);
    if (fileSystemNameBuffer) std::memcpy(fileSystemNameBuffer, fs.c_str(), fs.size() + 1);
    if (volumeSerialNumber) *volumeSerialNumber = SerialOf(drive->root);
    if (maximumComponentLength) *maximumComponentLength = 255;
    if (fileSystemFlags) *fileSystemFlags = 0x2 | 0x4;  // case-preserved names, Unicode on disk
    SetLastError(0);
    return 1;
}

BOOL SetVolumeLabelA(const char* rootPathName, const char* volumeName) {
    auto drive = DriveOfRoot(rootPathName, true);
    if (!drive) return 0;
    if (drive->letter == 'Z') {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    String label = volumeName ? volumeName : "";
    bool removable = drive->kind == platform::DriveKind::Removable;
    if (label.size() > (removable ? kRemovableLabelMax : kFixedLabelMax)) {
        SetLastError(ERROR_LABEL_TOO_LONG);
        return 0;
    }
    for (unsigned char c : label)
        if (c < 32 || std::strchr("*?/\\|.,;:+=[]<>\"", c)) {
            SetLastError(ERROR_INVALID_NAME);
            return 0;
        }
    if (removable) label = UpperCase(label);  // FAT keeps labels in upper case
    std::string root = drive->root;
    ModifyTable([&](DriveState& s) { s.labels[root] = label; });
    SetLastError(0);
    return 1;
}

BOOL GetDiskFreeSpaceExA(const char* directoryName, UInt64* freeBytesAvailable, UInt64* totalNumberOfBytes,
                         UInt64* totalNumberOfFreeBytes) {
    DriveInfo drive;
    if (directoryName) {
        MappedPath mapped;
        if (!MapPath(directoryName, mapped)) return 0;
        drive = mapped.drive;
    } else {
        auto d = DriveOfRoot(nullptr, true);
        if (!d) return 0;
        drive = *d;
    }
    UInt64 free = FreeBytes(drive);
    UInt64 total = drive.quota;
    if (total == 0) {
        struct statvfs vfs {};
        if (::statvfs(drive.root.c_str(), &vfs) == 0) total = static_cast<UInt64>(vfs.f_blocks) * vfs.f_frsize;
    }
    if (freeBytesAvailable) *freeBytesAvailable = free;
    if (totalNumberOfBytes) *totalNumberOfBytes = total;
    if (totalNumberOfFreeBytes) *totalNumberOfFreeBytes = free;
    SetLastError(0);
    return 1;
}

Int64 DiskFree(Byte drive) {
    auto d = DriveByNumber(drive);
    return d ? static_cast<Int64>(FreeBytes(*d)) : -1;
}

Int64 DiskSize(Byte drive) {
    auto d = DriveByNumber(drive);
    if (!d) return -1;
    if (d->quota > 0) return static_cast<Int64>(d->quota);
    struct statvfs vfs {};
    if (::statvfs(d->root.c_str(), &vfs) != 0) return -1;
    return static_cast<Int64>(static_cast<UInt64>(vfs.f_blocks) * vfs.f_frsize);
}

String GetCurrentDir() {
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    InitCwd(s);
    return CwdOf(s, s.currentDrive);
}

bool SetCurrentDir(const String& dir) {
    MappedPath mapped;
    if (!MapPath(dir, mapped)) return false;
    struct stat st {};
    if (!mapped.exists || ::stat(mapped.posix.c_str(), &st) != 0) {
        SetLastError(mapped.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    InitCwd(s);
    s.currentDrive = mapped.drive.letter;
    s.cwd[mapped.drive.letter - 'A'] = mapped.windows();
    return true;
}

void ChDir(const String& dir) {
    if (!SetCurrentDir(dir)) RaiseInOutError(static_cast<int>(GetLastError()));
}

void GetDir(Byte drive, String& dir) {
    DriveState& s = State();
    std::lock_guard guard(s.mutex);
    InitCwd(s);
    char letter = drive == 0 ? s.currentDrive : drive <= 26 ? static_cast<char>('A' + drive - 1) : 'C';
    dir = CwdOf(s, letter);
}

String ExpandFileName(const String& fileName) {
    if (fileName.empty()) return String();  // the system has no full form of an empty name
    char letter = 0;
    std::vector<std::string> comps;
    bool trailing = false;
    if (!Normalize(fileName, letter, comps, trailing)) return fileName;
    String out(1, letter);
    out += ":\\";
    for (std::size_t i = 0; i < comps.size(); ++i) {
        if (i) out += '\\';
        out += comps[i];
    }
    if (trailing && !comps.empty()) out += '\\';
    return out;
}

namespace platform {

void AddDrive(char letter, DriveKind kind, const std::string& posixFolder, UInt64 quotaBytes) {
    letter = UpperLetter(letter);
    if (letter < 'A' || letter > 'Z' || letter == 'C' || letter == 'Z')
        throw EInvalidOperation("Drive " + std::string(1, letter) + ": cannot be added");
    ModifyTable([&](DriveState& s) { s.table[letter] = DriveInfo{letter, kind, posixFolder, quotaBytes}; });
}

void RemoveDrive(char letter) {
    letter = UpperLetter(letter);
    ModifyTable([&](DriveState& s) { s.table.erase(letter); });
}

void InsertMedium(char letter, const std::string& posixFolder) {
    letter = UpperLetter(letter);
    ModifyTable([&](DriveState& s) {
        auto it = s.table.find(letter);
        if (it == s.table.end()) throw EInvalidOperation("No drive " + std::string(1, letter) + ":");
        it->second.root = posixFolder;
    });
}

void EjectMedium(char letter) { InsertMedium(letter, std::string()); }

void SetDriveLabel(char letter, const String& label) {
    auto drive = LookupDrive(letter);
    if (!drive || drive->root.empty() || drive->letter == 'Z')
        throw EInvalidOperation("Drive " + std::string(1, letter) + ": has no label to set");
    std::string root = drive->root;
    ModifyTable([&](DriveState& s) { s.labels[root] = label; });
}

void SetDriveQuota(char letter, UInt64 quotaBytes) {
    letter = UpperLetter(letter);
    ModifyTable([&](DriveState& s) {
        auto it = s.table.find(letter);
        if (it == s.table.end()) throw EInvalidOperation("No drive " + std::string(1, letter) + ":");
        it->second.quota = quotaBytes;
    });
}

std::string ToPosixPath(const String& windowsPath) {
    MappedPath mapped;
    if (!MapPath(windowsPath, mapped)) return std::string();
    return mapped.posix;
}

String FromPosixPath(const std::string& posixPath) {
    std::string p = posixPath;
    if (p.empty() || p[0] != '/') {
        char buffer[4096];
        std::string cwd = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
        p = cwd + "/" + p;
    }
    String out = "Z:\\";
    std::size_t i = 1;
    bool first = true;
    while (i <= p.size()) {
        std::size_t j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        std::string c = p.substr(i, j - i);
        if (!c.empty() && c != ".") {
            if (c == "..") {
                std::size_t cut = out.find_last_of('\\');
                if (cut > 2) out.erase(cut);
                else out.erase(3);
                first = out.size() == 3;
            } else {
                if (!first) out += '\\';
                out += c;
                first = false;
            }
        }
        i = j + 1;
    }
    return out;
}

}  // namespace platform
