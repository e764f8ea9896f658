// The registry: the system's Reg* calls and the class library's TRegistry over the layer's
// own store.
//
// The store is one text file in the profile (an export-like layout: "[key path]" lines,
// then "name"=value lines). An open key collects its changes; closing it writes them under a
// file lock: the store is read afresh, the changes are applied, and the file is replaced
// atomically, so two processes writing at once lose nothing. Reads see the store as it is
// now plus the changes of keys still open in this process. Key and value names compare
// without regard to case and keep the case they were created with. HKEY_CLASSES_ROOT is the
// per-user "Software\Classes" of HKEY_CURRENT_USER. A damaged store is reported on stderr,
// read as empty, and kept beside the new one when it is next written; it never crashes.
// The shell folders ("Shell Folders" under Explorer) are seeded to <profile>/shell/<Name>.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/SysErrors.h"

class TStrings;
struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003u));

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;


LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM samDesired, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className, DWORD options, REGSAM samDesired,
                      void* securityAttributes, HKEY* result, DWORD* disposition);
// Writes the key's changes to the store (under the store's lock) and frees the handle.
LONG RegCloseKey(HKEY key);
LONG RegFlushKey(HKEY key);
// data nullptr asks for the size; a buffer too small gives ERROR_MORE_DATA. Texts come with
// their terminating zero, which the size counts.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// Fails with ERROR_ACCESS_DENIED when the key has subkeys.
LONG RegDeleteKeyA(HKEY key, const char* subKey);

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry {
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return rootKey_; }
    // Closes the open key first.
    void SetRootKey(HKEY rootKey);
    HKEY CurrentKey() const { return currentKey_; }
    const String& CurrentPath() const { return currentPath_; }
    REGSAM Access = KEY_ALL_ACCESS;

    // A key starting with "\" is taken from the root, any other from the open key.
    bool OpenKey(const String& key, bool canCreate);
    bool OpenKeyReadOnly(const String& key);
    // Writes the open key's changes; raises ERegistryException "Failed to set data for '<key>'"
    // when they do not reach the store. OpenKey and SetRootKey close the old key the same way.
    // The destructor cannot raise: a writer calls CloseKey() before the accessor goes.
    void CloseKey();
    // Raises ERegistryException "Failed to create key <key>".
    bool CreateKey(const String& key);
    // Deletes the key with all its subkeys.
    bool DeleteKey(const String& key);
    bool KeyExists(const String& key);
    bool HasSubKeys();
    void GetKeyNames(std::vector<String>& names);
    void GetKeyNames(TStrings& names);

    bool ValueExists(const String& name);
    bool DeleteValue(const String& name);
    void GetValueNames(std::vector<String>& names);
    void GetValueNames(TStrings& names);
    TRegDataType GetDataType(const String& name);
    Integer GetDataSize(const String& name);  // -1 when missing

    // A missing value reads as ""; a value of another type raises "Invalid data type for '<name>'".
    String ReadString(const String& name);
    void WriteString(const String& name, const String& value);
    void WriteExpandString(const String& name, const String& value);
    // A missing value raises "Failed to get data for '<name>'".
    Integer ReadInteger(const String& name);
    void WriteInteger(const String& name, Integer value);
    bool ReadBool(const String& name) { return ReadInteger(name) != 0; }
    void WriteBool(const String& name, bool value) { WriteInteger(name, value ? 1 : 0); }

private:
    HKEY BaseKey(bool relative) const;
    void PutData(const String& name, const void* data, DWORD size, DWORD type);

    HKEY rootKey_ = HKEY_CURRENT_USER;
    HKEY currentKey_ = nullptr;
    String currentPath_;
};
