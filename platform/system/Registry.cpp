#include "platform/Registry.h"

#include <cstring>
#include <set>

#include "platform/StringList.h"
#include "detail/PathMap.h"
#include "detail/RegistryStore.h"

using platform::detail::Lookup;
using platform::detail::RegistryStore;
using platform::detail::RegKey;
using platform::detail::RegOp;
using platform::detail::RegPath;
using platform::detail::RegValue;

// An open key: where it is, what it may do, and the changes it will write when closed.
struct HKEY__ {
    RegPath path;
    REGSAM access = 0;
    std::vector<RegOp> log;
};

namespace {

constexpr std::size_t kMaxKeyName = 255;

std::set<HKEY>& LiveKeys() {
    static std::set<HKEY> keys;
    return keys;
}

bool IsPredefined(HKEY key) {
    auto v = reinterpret_cast<std::uintptr_t>(key);
    return v >= 0x80000000u && v <= 0x80000003u;
}

// The path a handle stands for; HKEY_CLASSES_ROOT is the user's Software\Classes.
bool PathOf(HKEY key, RegPath& path, REGSAM& access) {
    if (IsPredefined(key)) {
        int root = static_cast<int>(reinterpret_cast<std::uintptr_t>(key) - 0x80000000u);
        path = RegPath();
        path.root = root;
        if (root == 0) path = RegPath{1, {"Software", "Classes"}};
        access = KEY_ALL_ACCESS;
        return true;
    }
    if (!LiveKeys().count(key)) return false;
    path = key->path;
    access = key->access;
    return true;
}

LONG SplitSubKey(const char* subKey, std::vector<String>& names) {
    names.clear();
    if (!subKey) return 0;
    String s = subKey;
    std::size_t i = 0;
    while (i <= s.size()) {
        std::size_t j = s.find('\\', i);
        if (j == String::npos) j = s.size();
        String n = s.substr(i, j - i);
        if (!n.empty()) {
            if (n.size() > kMaxKeyName || n.find_first_of("\r\n") != String::npos)
                return static_cast<LONG>(ERROR_INVALID_PARAMETER);
            names.push_back(n);
        }
        i = j + 1;
    }
    return 0;
}

// The code a failed commit gives: the system's own when the layer had one.
LONG CommitErrorCode(const Exception& e) {
    if (const auto* os = dynamic_cast<const EOSError*>(&e); os && os->ErrorCode) return static_cast<LONG>(os->ErrorCode);
    return static_cast<LONG>(ERROR_ACCESS_DENIED);
}

// Applies a change: kept in the handle until it is closed, or written at once for a root.
LONG Change(HKEY key, const RegOp& op) {
    if (!IsPredefined(key)) {
        RegistryStore::Instance().Record(key->log, op);
        return 0;
    }
    try {
        RegistryStore::Instance().Commit({op});
    } catch (const Exception& e) {
        return CommitErrorCode(e);
    }
    return 0;
}

HKEY NewHandle(const RegPath& path, REGSAM access) {
    HKEY h = new HKEY__;
    h->path = path;
    h->access = access;
    LiveKeys().insert(h);
    RegistryStore::Instance().AddOpenLog(&h->log);
    return h;
}

// The stored key an open handle stands for; null for a bad handle or a key deleted since.
// The caller holds the store's lock.
RegKey* StoredKey(HKEY key) {
    RegPath path;
    REGSAM access;
    if (!PathOf(key, path, access)) return nullptr;
    return Lookup(RegistryStore::Instance().View(), path);
}

// Canonical case of an existing path ("software" -> "Software").
RegPath Canonical(const RegPath& path) {
    RegPath out;
    out.root = path.root;
    const RegKey* key = RegistryStore::Instance().View().roots[path.root].get();
    for (const String& n : path.names) {
        key = key ? key->Find(n) : nullptr;
        out.names.push_back(key ? key->name : n);
    }
    return out;
}

String Quoted(const String& name) { return "'" + name + "'"; }

// The path of subKey below the open key; 0, or the error the caller returns. A caller that
// acts on the subkey itself (deleting it) needs one named: the key's own path is refused.
LONG PathBelow(HKEY key, const char* subKey, RegPath& path, bool needSubKey) {
    REGSAM access;
    std::vector<String> names;
    if (!PathOf(key, path, access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (LONG e = SplitSubKey(subKey, names)) return e;
    if (needSubKey && names.empty()) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    path.names.insert(path.names.end(), names.begin(), names.end());
    return 0;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM samDesired, HKEY* result) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    if (!result) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    if (LONG e = PathBelow(key, subKey, path, false)) return e;
    if (!Lookup(RegistryStore::Instance().View(), path)) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    *result = NewHandle(Canonical(path), samDesired);
    return 0;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM samDesired, void*, HKEY* result,
                     DWORD* disposition) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    if (!result) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    if (LONG e = PathBelow(key, subKey, path, false)) return e;
    bool existed = Lookup(RegistryStore::Instance().View(), path) != nullptr;
    HKEY h = NewHandle(Canonical(path), samDesired);
    if (!existed) {
        RegOp op;
        op.kind = RegOp::CreateKey;
        op.path = path;
        RegistryStore::Instance().Record(h->log, op);
    }
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = h;
    return 0;
}

LONG RegFlushKey(HKEY key) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    if (IsPredefined(key)) return 0;
    if (!LiveKeys().count(key)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (key->log.empty()) return 0;
    std::vector<RegOp> log = std::move(key->log);
    key->log.clear();
    try {
        RegistryStore::Instance().Commit(log);
    } catch (const Exception& e) {
        return CommitErrorCode(e);
    }
    return 0;
}

LONG RegCloseKey(HKEY key) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    if (IsPredefined(key)) return 0;
    if (!LiveKeys().count(key)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    LONG result = RegFlushKey(key);
    RegistryStore::Instance().RemoveOpenLog(&key->log);
    LiveKeys().erase(key);
    delete key;
    return result;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    REGSAM access;
    if (!PathOf(key, path, access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (!(access & KEY_QUERY_VALUE)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    if (data && !dataSize) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    RegKey* k = Lookup(RegistryStore::Instance().View(), path);
    RegValue* v = k ? k->FindValue(valueName ? valueName : "") : nullptr;
    if (!v) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    std::string bytes = v->data;
    if (v->type == REG_SZ || v->type == REG_EXPAND_SZ) bytes.push_back('\0');
    if (type) *type = v->type;
    DWORD needed = static_cast<DWORD>(bytes.size());
    if (!data) {
        if (dataSize) *dataSize = needed;
        return 0;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return static_cast<LONG>(ERROR_MORE_DATA);
    }
    std::memcpy(data, bytes.data(), bytes.size());
    *dataSize = needed;
    return 0;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    REGSAM access;
    if (!PathOf(key, path, access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (!(access & KEY_SET_VALUE)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    if (dataSize && !data) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    std::string bytes(reinterpret_cast<const char*>(data), dataSize);
    if (type == REG_SZ || type == REG_EXPAND_SZ) bytes = bytes.substr(0, bytes.find('\0'));
    else if (type == REG_DWORD && dataSize != 4) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    RegOp op;
    op.kind = RegOp::SetValue;
    op.path = path;
    op.value = RegValue{valueName ? valueName : "", type, bytes};
    return Change(key, op);
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    REGSAM access;
    if (!PathOf(key, path, access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (!(access & KEY_SET_VALUE)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    RegKey* k = Lookup(RegistryStore::Instance().View(), path);
    if (!k || !k->FindValue(valueName ? valueName : "")) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    RegOp op;
    op.kind = RegOp::DeleteValue;
    op.path = path;
    op.value.name = valueName ? valueName : "";
    return Change(key, op);
}

namespace {

LONG DeleteKeyImpl(HKEY key, const char* subKey, bool withSubkeys) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    RegPath path;
    if (LONG e = PathBelow(key, subKey, path, true)) return e;
    RegKey* k = Lookup(RegistryStore::Instance().View(), path);
    if (!k) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (!withSubkeys && !k->subkeys.empty()) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    RegOp op;
    op.kind = RegOp::DeleteTree;
    op.path = path;
    return Change(key, op);
}

}  // namespace

LONG RegDeleteKeyA(HKEY key, const char* subKey) { return DeleteKeyImpl(key, subKey, false); }

// --- TRegistry ---

TRegistry::TRegistry() = default;
TRegistry::TRegistry(REGSAM access) : Access(access) {}
// A destructor cannot report a failed write: writers call CloseKey() first, and this only
// lets the handle go (its changes are still tried, without a word when they fail).
TRegistry::~TRegistry() {
    if (currentKey_) RegCloseKey(currentKey_);
}

void TRegistry::SetRootKey(HKEY rootKey) {
    if (rootKey == rootKey_) return;
    CloseKey();
    rootKey_ = rootKey;
}

namespace {
String FailedToSet(const String& name) { return "Failed to set data for " + Quoted(name); }
}  // namespace

// The open key's changes reach the store here; when they cannot, the caller hears of it.
void TRegistry::CloseKey() {
    HKEY key = currentKey_;
    String path = currentPath_;
    currentKey_ = nullptr;
    currentPath_.clear();
    if (key && RegCloseKey(key) != 0) throw ERegistryException(FailedToSet(path));
}

HKEY TRegistry::BaseKey(bool relative) const { return relative && currentKey_ ? currentKey_ : rootKey_; }

bool TRegistry::OpenKey(const String& key, bool canCreate) {
    String s = key;
    bool relative = s.empty() || s[0] != '\\';
    if (!relative) s.erase(0, 1);
    HKEY temp = nullptr;
    bool ok;
    if (!canCreate || s.empty()) {
        ok = RegOpenKeyExA(BaseKey(relative), s.c_str(), 0, Access, &temp) == 0;
    } else {
        DWORD disposition;
        ok = RegCreateKeyExA(BaseKey(relative), s.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &temp,
                             &disposition) == 0;
    }
    if (!ok) return false;
    if (currentKey_ && relative) s = currentPath_ + "\\" + s;
    // The new key is in place before the old one's changes are written, so a failure there is
    // reported without leaking either handle.
    HKEY old = currentKey_;
    String oldPath = currentPath_;
    currentKey_ = temp;
    currentPath_ = s;
    if (old && RegCloseKey(old) != 0) throw ERegistryException(FailedToSet(oldPath));
    return true;
}

bool TRegistry::OpenKeyReadOnly(const String& key) {
    REGSAM old = Access;
    Access = KEY_READ;
    bool ok = OpenKey(key, false);
    Access = old;
    return ok;
}

bool TRegistry::CreateKey(const String& key) {
    String s = key;
    bool relative = s.empty() || s[0] != '\\';
    if (!relative) s.erase(0, 1);
    HKEY temp = nullptr;
    DWORD disposition;
    if (RegCreateKeyExA(BaseKey(relative), s.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &temp,
                        &disposition) != 0)
        throw ERegistryException("Failed to create key " + key);
    if (RegCloseKey(temp) != 0) throw ERegistryException("Failed to create key " + key);
    return true;
}

bool TRegistry::DeleteKey(const String& key) {
    String s = key;
    bool relative = s.empty() || s[0] != '\\';
    if (!relative) s.erase(0, 1);
    return DeleteKeyImpl(BaseKey(relative), s.c_str(), true) == 0;
}

bool TRegistry::KeyExists(const String& key) {
    String s = key;
    bool relative = s.empty() || s[0] != '\\';
    if (!relative) s.erase(0, 1);
    HKEY temp = nullptr;
    if (RegOpenKeyExA(BaseKey(relative), s.c_str(), 0, KEY_READ, &temp) != 0) return false;
    RegCloseKey(temp);
    return true;
}

bool TRegistry::HasSubKeys() {
    std::vector<String> names;
    GetKeyNames(names);
    return !names.empty();
}

void TRegistry::GetKeyNames(std::vector<String>& names) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    names.clear();
    if (RegKey* k = StoredKey(BaseKey(true)))
        for (const auto& [upper, child] : k->subkeys) names.push_back(child->name);
}

void TRegistry::GetValueNames(std::vector<String>& names) {
    std::lock_guard guard(RegistryStore::Instance().Mutex());
    names.clear();
    if (RegKey* k = StoredKey(BaseKey(true)))
        for (const RegValue& v : k->values) names.push_back(v.name);
}

bool TRegistry::ValueExists(const String& name) { return GetDataSize(name) >= 0; }

bool TRegistry::DeleteValue(const String& name) { return RegDeleteValueA(BaseKey(true), name.c_str()) == 0; }

TRegDataType TRegistry::GetDataType(const String& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(BaseKey(true), name.c_str(), nullptr, &type, nullptr, &size) != 0) return TRegDataType::rdUnknown;
    switch (type) {
    case REG_SZ: return TRegDataType::rdString;
    case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
    case REG_DWORD: return TRegDataType::rdInteger;
    case REG_BINARY: return TRegDataType::rdBinary;
    default: return TRegDataType::rdUnknown;
    }
}

Integer TRegistry::GetDataSize(const String& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(BaseKey(true), name.c_str(), nullptr, &type, nullptr, &size) != 0) return -1;
    return static_cast<Integer>(size);
}

String TRegistry::ReadString(const String& name) {
    Integer len = GetDataSize(name);
    if (len <= 0) return String();
    std::string buffer(static_cast<std::size_t>(len), '\0');
    DWORD type = 0, size = static_cast<DWORD>(len);
    if (RegQueryValueExA(BaseKey(true), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != 0)
        throw ERegistryException("Failed to get data for " + Quoted(name));
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for " + Quoted(name));
    return buffer.substr(0, buffer.find('\0'));
}

void TRegistry::PutData(const String& name, const void* data, DWORD size, DWORD type) {
    if (RegSetValueExA(currentKey_ ? currentKey_ : nullptr, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                       size) != 0)
        throw ERegistryException("Failed to set data for " + Quoted(name));
}

void TRegistry::WriteString(const String& name, const String& value) {
    PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

void TRegistry::WriteExpandString(const String& name, const String& value) {
    PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_EXPAND_SZ);
}

Integer TRegistry::ReadInteger(const String& name) {
    BYTE buffer[4] = {};
    DWORD type = 0, size = sizeof buffer;
    if (RegQueryValueExA(BaseKey(true), name.c_str(), nullptr, &type, buffer, &size) != 0)
        throw ERegistryException("Failed to get data for " + Quoted(name));
    if (type != REG_DWORD) throw ERegistryException("Invalid data type for " + Quoted(name));
    return static_cast<Integer>(static_cast<DWORD>(buffer[0]) | (static_cast<DWORD>(buffer[1]) << 8) |
                                (static_cast<DWORD>(buffer[2]) << 16) | (static_cast<DWORD>(buffer[3]) << 24));
}

void TRegistry::WriteInteger(const String& name, Integer value) {
    DWORD v = static_cast<DWORD>(value);
    BYTE bytes[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                     static_cast<BYTE>(v >> 24)};
    PutData(name, bytes, 4, REG_DWORD);
}

namespace {
void Fill(TStrings& list, const std::vector<String>& items) {
    list.BeginUpdate();
    list.Clear();
    for (const String& s : items) list.Add(s);
    list.EndUpdate();
}
}  // namespace

void TRegistry::GetKeyNames(TStrings& names) {
    std::vector<String> items;
    GetKeyNames(items);
    Fill(names, items);
}

void TRegistry::GetValueNames(TStrings& names) {
    std::vector<String> items;
    GetValueNames(items);
    Fill(names, items);
}
