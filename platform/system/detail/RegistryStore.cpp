#include "detail/RegistryStore.h"

#include <cstdio>
#include <iostream>

#include "platform/SysUtils.h"
#include "platform/Drives.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/FileLock.h"
#include "detail/LayerState.h"
#include "detail/PathMap.h"

namespace platform::detail {
namespace {

constexpr const char* kHeader = "Tarvik Registry Store 1";
constexpr const char* kShellFoldersKey[] = {"Software", "Microsoft", "Windows", "CurrentVersion", "Explorer",
                                            "Shell Folders"};

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text at line[i]; i ends after the closing quote.
bool Unquote(const std::string& line, std::size_t& i, std::string& out) {
    if (i >= line.size() || line[i] != '"') return false;
    out.clear();
    for (++i; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= line.size()) return false;
        switch (line[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= line.size()) return false;
            int hi = HexDigit(line[i + 1]), lo = HexDigit(line[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

std::string FormatValue(const RegValue& v) {
    std::string name = v.name.empty() ? std::string("@") : Quote(v.name);
    if (v.type == REG_SZ) return name + "=" + Quote(v.data);
    if (v.type == REG_EXPAND_SZ) return name + "=str(2):" + Quote(v.data);
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = 0;
        for (int k = 3; k >= 0; --k) d = (d << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(k)]);
        char hex[16];
        std::snprintf(hex, sizeof hex, "dword:%08x", d);
        return name + "=" + hex;
    }
    std::string out = name + "=hex(" + std::to_string(v.type) + "):";
    for (std::size_t k = 0; k < v.data.size(); ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(v.data[k]));
        if (k) out += ',';
        out += hex;
    }
    return out;
}

bool ParseValue(const std::string& line, RegValue& v) {
    std::size_t i = 0;
    if (line[0] == '@') {
        v.name.clear();
        i = 1;
    } else if (!Unquote(line, i, v.name)) {
        return false;
    }
    if (i >= line.size() || line[i] != '=') return false;
    std::string rest = line.substr(i + 1);
    std::size_t j = 0;
    if (!rest.empty() && rest[0] == '"') {
        v.type = REG_SZ;
        return Unquote(rest, j, v.data) && j == rest.size();
    }
    if (rest.rfind("str(2):", 0) == 0) {
        v.type = REG_EXPAND_SZ;
        j = 7;
        return Unquote(rest, j, v.data) && j == rest.size();
    }
    if (rest.rfind("dword:", 0) == 0) {
        if (rest.size() != 14) return false;
        DWORD d = 0;
        for (std::size_t k = 6; k < 14; ++k) {
            int h = HexDigit(rest[k]);
            if (h < 0) return false;
            d = (d << 4) | static_cast<DWORD>(h);
        }
        v.type = REG_DWORD;
        v.data.assign(4, '\0');
        for (int k = 0; k < 4; ++k) v.data[static_cast<std::size_t>(k)] = static_cast<char>((d >> (8 * k)) & 0xFF);
        return true;
    }
    if (rest.rfind("hex(", 0) == 0) {
        std::size_t close = rest.find("):");
        if (close == std::string::npos || close == 4) return false;
        DWORD type = 0;
        for (std::size_t k = 4; k < close; ++k) {
            if (rest[k] < '0' || rest[k] > '9' || type > 100000000) return false;
            type = type * 10 + static_cast<DWORD>(rest[k] - '0');
        }
        v.type = type;
        v.data.clear();
        std::string bytes = rest.substr(close + 2);
        for (std::size_t k = 0; k < bytes.size();) {
            if (k + 1 >= bytes.size()) return false;
            int hi = HexDigit(bytes[k]), lo = HexDigit(bytes[k + 1]);
            if (hi < 0 || lo < 0) return false;
            v.data += static_cast<char>(hi * 16 + lo);
            k += 2;
            if (k < bytes.size() && bytes[k++] != ',') return false;
        }
        return true;
    }
    return false;
}

void FormatKey(const RegKey& key, const std::string& path, std::string& out) {
    out += "\n[" + path + "]\n";
    for (const RegValue& v : key.values) out += FormatValue(v) + "\n";
    for (const auto& [upper, child] : key.subkeys) FormatKey(*child, path + "\\" + child->name, out);
}

struct StoreState {
    std::recursive_mutex mutex;
    bool loaded = false;
    FileStamp stamp;
    RegTree fileTree;
    RegTree view;
    std::vector<std::vector<RegOp>*> openLogs;
    FileStamp reportedDamage;
};

StoreState& S() {
    static StoreState state;
    return state;
}

std::string StorePath() { return ProfilePath() + "/registry.reg"; }
std::string LockPath() { return ProfilePath() + "/registry.lock"; }

RegPath ShellFoldersPath() {
    RegPath p;
    p.root = 1;
    for (const char* n : kShellFoldersKey) p.names.emplace_back(n);
    return p;
}

// Adds the shell folders that the tree lacks; true when it added any.
bool AddMissingSeeds(RegTree& tree) {
    RegPath path = ShellFoldersPath();
    bool added = false;
    for (const char* name : kShellFolderNames) {
        RegKey* key = Lookup(tree, path);
        if (key && key->FindValue(name)) continue;
        RegOp op;
        op.kind = RegOp::SetValue;
        op.path = path;
        op.value = RegValue{name, REG_SZ, FromPosixPath(ProfileShellFolderPath(name))};
        Apply(tree, op);
        added = true;
    }
    return added;
}

// Reads the store file into tree; a damaged file is reported once and read as empty. False
// when the file is there but cannot be read: it reads as empty too, but must never be
// replaced by a tree that lacks what it holds.
bool ReadStore(RegTree& tree, bool& damaged, std::string& text) {
    tree = RegTree();
    damaged = false;
    text.clear();
    if (!ReadWholeFile(StorePath(), text)) return !StampOf(StorePath()).exists;
    std::string reason;
    if (ParseStore(text, tree, reason)) return true;
    damaged = true;
    tree = RegTree();
    FileStamp stamp = StampOf(StorePath());
    if (!(stamp == S().reportedDamage)) {
        S().reportedDamage = stamp;
        std::cerr << "Tarvik: the registry store \"" << StorePath() << "\" is damaged (" << reason
                  << "); it is read as empty and kept as \"" << StorePath() << ".damaged\" when next written.\n";
    }
    return true;
}

}  // namespace

RegKey* RegKey::Find(const String& child) const {
    auto it = subkeys.find(UpperCase(child));
    return it == subkeys.end() ? nullptr : it->second.get();
}

RegKey& RegKey::FindOrAdd(const String& child) {
    auto& slot = subkeys[UpperCase(child)];
    if (!slot) {
        slot = std::make_unique<RegKey>();
        slot->name = child;
    }
    return *slot;
}

RegValue* RegKey::FindValue(const String& valueName) {
    for (RegValue& v : values)
        if (SameText(v.name, valueName)) return &v;
    return nullptr;
}

std::unique_ptr<RegKey> RegKey::Clone() const {
    auto copy = std::make_unique<RegKey>();
    copy->name = name;
    copy->values = values;
    for (const auto& [upper, child] : subkeys) copy->subkeys[upper] = child->Clone();
    return copy;
}

RegTree::RegTree() {
    for (int i = 0; i < kRootCount; ++i) {
        roots[i] = std::make_unique<RegKey>();
        roots[i]->name = kRootNames[i];
    }
}

RegTree RegTree::Clone() const {
    RegTree copy;
    for (int i = 0; i < kRootCount; ++i) copy.roots[i] = roots[i]->Clone();
    return copy;
}

RegKey* Lookup(const RegTree& tree, const RegPath& path) {
    RegKey* key = tree.roots[path.root].get();
    for (const String& n : path.names) {
        key = key->Find(n);
        if (!key) return nullptr;
    }
    return key;
}

void Apply(RegTree& tree, const RegOp& op) {
    if (op.kind == RegOp::DeleteTree) {
        if (op.path.names.empty()) return;
        RegPath parent = op.path;
        parent.names.pop_back();
        if (RegKey* p = Lookup(tree, parent)) p->subkeys.erase(UpperCase(op.path.names.back()));
        return;
    }
    if (op.kind == RegOp::DeleteValue) {
        RegKey* key = Lookup(tree, op.path);
        if (!key) return;
        for (auto it = key->values.begin(); it != key->values.end(); ++it)
            if (SameText(it->name, op.value.name)) {
                key->values.erase(it);
                break;
            }
        return;
    }
    RegKey* key = tree.roots[op.path.root].get();
    for (const String& n : op.path.names) key = &key->FindOrAdd(n);
    if (op.kind == RegOp::SetValue) {
        if (RegValue* v = key->FindValue(op.value.name)) {
            v->type = op.value.type;
            v->data = op.value.data;
        } else {
            key->values.push_back(op.value);
        }
    }
}

std::string FormatStore(const RegTree& tree) {
    std::string out = std::string(kHeader) + "\n";
    for (int i = 0; i < kRootCount; ++i)
        for (const auto& [upper, child] : tree.roots[i]->subkeys)
            FormatKey(*child, std::string(kRootNames[i]) + "\\" + child->name, out);
    return out;
}

bool ParseStore(const std::string& text, RegTree& tree, std::string& reason) {
    tree = RegTree();
    RegKey* current = nullptr;
    std::size_t i = 0, lineNo = 0;
    while (i < text.size()) {
        std::size_t j = text.find('\n', i);
        if (j == std::string::npos) j = text.size();
        std::string line = text.substr(i, j - i);
        i = j + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto fail = [&](const char* why) {
            reason = "line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        if (lineNo == 1) {
            if (line != kHeader) return fail("no store header");
            continue;
        }
        if (line.empty()) continue;
        if (line[0] == '[') {
            if (line.back() != ']') return fail("unterminated key name");
            std::string path = line.substr(1, line.size() - 2);
            std::size_t k = 0;
            int root = -1;
            for (int r = 0; r < kRootCount; ++r) {
                std::string rn = kRootNames[r];
                if (path.compare(0, rn.size(), rn) == 0 && (path.size() == rn.size() || path[rn.size()] == '\\')) {
                    root = r;
                    k = rn.size();
                }
            }
            if (root < 0) return fail("unknown root key");
            current = tree.roots[root].get();
            while (k < path.size()) {
                std::size_t next = path.find('\\', k + 1);
                if (next == std::string::npos) next = path.size();
                std::string name = path.substr(k + 1, next - k - 1);
                if (name.empty()) return fail("empty key name");
                current = &current->FindOrAdd(name);
                k = next;
            }
            continue;
        }
        if (!current) return fail("value outside a key");
        RegValue v;
        if ((line[0] != '"' && line[0] != '@') || !ParseValue(line, v)) return fail("malformed value");
        if (RegValue* old = current->FindValue(v.name)) *old = v;
        else current->values.push_back(v);
    }
    if (lineNo == 0) {
        reason = "empty file";
        return false;
    }
    return true;
}

RegistryStore& RegistryStore::Instance() {
    static RegistryStore store;
    return store;
}

std::recursive_mutex& RegistryStore::Mutex() { return S().mutex; }

void RegistryStore::Rebuild() {
    StoreState& s = S();
    s.view = s.fileTree.Clone();
    for (auto* log : s.openLogs)
        for (const RegOp& op : *log) Apply(s.view, op);
}

void RegistryStore::Refresh(bool force) {
    StoreState& s = S();
    FileStamp stamp = StampOf(StorePath());
    if (s.loaded && stamp == s.stamp && !force) return;
    bool damaged;
    std::string text;
    ReadStore(s.fileTree, damaged, text);
    s.stamp = stamp;
    s.loaded = true;
    RegTree probe = s.fileTree.Clone();
    if (AddMissingSeeds(probe)) {
        // Seeds the shell folders (and replaces a damaged file, keeping a copy). A store that
        // cannot be written must not fail a read: the seeds then live in memory, and the
        // next write that reaches the store takes them along.
        try {
            Commit({});
            return;
        } catch (const Exception&) {
            s.fileTree = std::move(probe);
        }
    }
    Rebuild();
}

const RegTree& RegistryStore::View() {
    std::lock_guard guard(S().mutex);
    Refresh(false);
    return S().view;
}

void RegistryStore::Record(std::vector<RegOp>& log, const RegOp& op) {
    std::lock_guard guard(S().mutex);
    Refresh(false);
    log.push_back(op);
    Apply(S().view, op);
}

void RegistryStore::Commit(const std::vector<RegOp>& log) {
    StoreState& s = S();
    std::lock_guard guard(s.mutex);
    FileLock lock(LockPath());
    RegTree fresh;
    bool damaged;
    std::string text;
    if (!ReadStore(fresh, damaged, text))
        throw EOSError("Cannot read the registry store \"" + StorePath() + "\"; it is not replaced.", ERROR_ACCESS_DENIED);
    if (damaged) WriteFileAtomically(StorePath() + ".damaged", text);
    for (const RegOp& op : log) Apply(fresh, op);
    AddMissingSeeds(fresh);
    WriteFileAtomically(StorePath(), FormatStore(fresh));
    s.fileTree = std::move(fresh);
    s.stamp = StampOf(StorePath());
    s.loaded = true;
    Rebuild();
}

void RegistryStore::AddOpenLog(std::vector<RegOp>* log) {
    std::lock_guard guard(S().mutex);
    S().openLogs.push_back(log);
}

void RegistryStore::RemoveOpenLog(std::vector<RegOp>* log) {
    std::lock_guard guard(S().mutex);
    auto& logs = S().openLogs;
    for (auto it = logs.begin(); it != logs.end(); ++it)
        if (*it == log) {
            logs.erase(it);
            break;
        }
}

void RegistryStore::Reset() {
    StoreState& s = S();
    std::lock_guard guard(s.mutex);
    s.loaded = false;
    s.fileTree = RegTree();
    s.view = RegTree();
    s.reportedDamage = FileStamp();
}

void ResetRegistryState() { RegistryStore::Instance().Reset(); }

}  // namespace platform::detail
