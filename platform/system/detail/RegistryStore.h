// The registry store behind Registry.h: the key tree, its text file, and the change logs of
// open keys.
#pragma once

#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform::detail {

struct RegValue {
    String name;
    DWORD type = 0;
    std::string data;  // texts without their terminating zero
};

struct RegKey {
    String name;
    std::vector<RegValue> values;                       // in creation order
    std::map<std::string, std::unique_ptr<RegKey>> subkeys;  // by upper-cased name

    RegKey* Find(const String& child) const;
    RegKey& FindOrAdd(const String& child);
    RegValue* FindValue(const String& valueName);
    std::unique_ptr<RegKey> Clone() const;
};

// The four roots, by the low bits of the predefined handles.
inline constexpr int kRootCount = 4;
inline constexpr const char* kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                       "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

struct RegTree {
    std::unique_ptr<RegKey> roots[kRootCount];
    RegTree();
    RegTree Clone() const;
};

// A key path from a root: the root index and the names below it, as the caller spelled them.
struct RegPath {
    int root = 1;
    std::vector<String> names;
};

struct RegOp {
    enum Kind { CreateKey, SetValue, DeleteValue, DeleteTree } kind = CreateKey;
    RegPath path;
    RegValue value;  // SetValue: the value; DeleteValue: its name
};

// Applies one change to a tree; keys on the way are created (a change never gets lost
// because another process deleted its key meanwhile).
void Apply(RegTree& tree, const RegOp& op);
RegKey* Lookup(const RegTree& tree, const RegPath& path);

// The text form. Parse gives false (and a reason) for a damaged file.
std::string FormatStore(const RegTree& tree);
bool ParseStore(const std::string& text, RegTree& tree, std::string& reason);

// The process's view of the store.
class RegistryStore {
public:
    static RegistryStore& Instance();
    // The tree as the file holds it now, plus the pending changes of open keys.
    const RegTree& View();
    // Records a change of an open key and applies it to the view.
    void Record(std::vector<RegOp>& log, const RegOp& op);
    // Writes a log into the store under its lock.
    void Commit(const std::vector<RegOp>& log);
    void AddOpenLog(std::vector<RegOp>* log);
    void RemoveOpenLog(std::vector<RegOp>* log);
    void Reset();
    std::recursive_mutex& Mutex();

private:
    void Refresh(bool force);
    void SeedShellFolders();
    void Rebuild();
};

}  // namespace platform::detail
