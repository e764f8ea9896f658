// Global atoms, shared by the processes of the session.
//
// The table is one text file in the session folder ("atoms"), read and rewritten whole under
// an exclusive lock on "atoms.lock", one line per atom: number (hex), reference count and the
// escaped name. Names compare without regard to case and keep the case they were first added
// with; they hold at most 255 characters. "#nnn" names the integer atom nnn (below 0xC000),
// which needs no entry.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "platform/SysUtils.h"
#include "platform/Windows.h"
#include "detail/CrossProcess.h"
#include "detail/WindowTable.h"

namespace platform::detail {

bool MakeFolders(const String& path);

namespace {

constexpr ATOM kFirstStringAtom = 0xC000;
constexpr std::size_t kMaxAtomName = 255;

struct Entry {
    int refs = 0;
    String name;
};

class LockedTable {
public:
    LockedTable() {
        folder_ = SessionFolderPath();
        MakeFolders(folder_);
        lockFd_ = ::open((folder_ + "/atoms.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ >= 0) ::flock(lockFd_, LOCK_EX);
        Load();
    }
    ~LockedTable() {
        if (lockFd_ >= 0) {
            ::flock(lockFd_, LOCK_UN);
            ::close(lockFd_);
        }
    }
    LockedTable(const LockedTable&) = delete;
    LockedTable& operator=(const LockedTable&) = delete;

    bool ok() const { return lockFd_ >= 0; }
    std::map<ATOM, Entry>& entries() { return entries_; }

    std::optional<ATOM> Find(const String& name) const {
        String key = UpperCase(name);
        for (auto& [atom, e] : entries_)
            if (UpperCase(e.name) == key) return atom;
        return std::nullopt;
    }

    bool Save() {
        String path = folder_ + "/atoms";
        String tmp = path + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            for (auto& [atom, e] : entries_) {
                out << std::hex << atom << ' ' << std::dec << e.refs << ' ';
                for (char c : e.name) {
                    if (c == '\\')
                        out << "\\\\";
                    else if (c == '\n')
                        out << "\\n";
                    else
                        out << c;
                }
                out << '\n';
            }
            if (!out.flush()) return false;
        }
        return ::rename(tmp.c_str(), path.c_str()) == 0;
    }

private:
    void Load() {
        std::ifstream in(folder_ + "/atoms", std::ios::binary);
        String line;
        while (std::getline(in, line)) {
            std::size_t a = line.find(' ');
            std::size_t b = a == String::npos ? a : line.find(' ', a + 1);
            if (b == String::npos) continue;
            auto atom = static_cast<ATOM>(std::strtoul(line.substr(0, a).c_str(), nullptr, 16));
            int refs = std::atoi(line.substr(a + 1, b - a - 1).c_str());
            String raw = line.substr(b + 1);
            String name;
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\\' && i + 1 < raw.size()) {
                    ++i;
                    name += raw[i] == 'n' ? '\n' : raw[i];
                } else {
                    name += raw[i];
                }
            }
            if (atom >= kFirstStringAtom && refs > 0) entries_[atom] = Entry{refs, name};
        }
    }

    String folder_;
    int lockFd_ = -1;
    std::map<ATOM, Entry> entries_;
};

// "#123" names the integer atom 123; 0 when the name is not of that form.
ATOM IntegerAtom(const String& name) {
    if (name.size() < 2 || name[0] != '#') return 0;
    unsigned long v = 0;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        v = v * 10 + static_cast<unsigned long>(name[i] - '0');
        if (v >= kFirstStringAtom) return 0;
    }
    return static_cast<ATOM>(v);
}

}  // namespace

}  // namespace platform::detail

using platform::detail::IntegerAtom;
using platform::detail::LockedTable;

ATOM GlobalAddAtomA(LPCSTR name) {
    if (!name || !*name || std::strlen(name) > platform::detail::kMaxAtomName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (ATOM a = IntegerAtom(name)) return a;
    LockedTable table;
    if (!table.ok()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    auto& entries = table.entries();
    if (auto found = table.Find(name)) {
        ++entries[*found].refs;
        if (!table.Save()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
        return *found;
    }
    ATOM atom = platform::detail::kFirstStringAtom;
    while (entries.count(atom)) {
        if (atom == 0xFFFF) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        ++atom;
    }
    entries[atom] = platform::detail::Entry{1, name};
    if (!table.Save()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return atom;
}

ATOM GlobalFindAtomA(LPCSTR name) {
    if (!name || !*name || std::strlen(name) > platform::detail::kMaxAtomName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (ATOM a = IntegerAtom(name)) return a;
    LockedTable table;
    if (auto found = table.Find(name)) return *found;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

ATOM GlobalDeleteAtom(ATOM atom) {
    if (atom == 0) return 0;
    if (atom < platform::detail::kFirstStringAtom) return 0;  // integer atoms have no entry
    LockedTable table;
    auto& entries = table.entries();
    auto it = entries.find(atom);
    if (it == entries.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--it->second.refs <= 0) entries.erase(it);
    if (!table.Save()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return atom;
    }
    return 0;
}

UINT GlobalGetAtomNameA(ATOM atom, LPSTR buffer, int size) {
    if (!buffer || size <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    String name;
    if (atom == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        buffer[0] = '\0';
        return 0;
    }
    if (atom < platform::detail::kFirstStringAtom) {
        name = "#" + std::to_string(atom);
    } else {
        LockedTable table;
        auto it = table.entries().find(atom);
        if (it == table.entries().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            buffer[0] = '\0';
            return 0;
        }
        name = it->second.name;
    }
    std::size_t n = std::min<std::size_t>(name.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}
