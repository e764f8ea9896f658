#include "manager/RegistryHelpers.h"

#include <cstring>
#include <vector>

#include "platform/SysUtils.h"

namespace manager {
namespace {

void OpenOrCreate(TRegistry& reg, const String& key) {
    if (!reg.OpenKey(key, true)) throw ERegistryException("Failed to create key " + key);
}

// The text of a value of the open key, or Default when it is missing or holds no text (a
// value someone else stored with another type is none of ours: it reads as not there).
String ReadText(TRegistry& reg, const String& Ident, const String& Default) {
    if (!reg.ValueExists(Ident)) return Default;
    const TRegDataType type = reg.GetDataType(Ident);
    if (type != TRegDataType::rdString && type != TRegDataType::rdExpandString) return Default;
    return reg.ReadString(Ident);
}

}  // namespace

String ReadRegIniString(const String& KeyPath, const String& Section, const String& Ident,
                        const String& Default) {
    const String keyPath = Trim(KeyPath), section = Trim(Section), ident = Trim(Ident);
    if (keyPath.empty() || section.empty() || ident.empty()) return Default;
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    OpenOrCreate(reg, keyPath);
    if (!reg.OpenKey(section, false)) return Default;
    return ReadText(reg, ident, Default);
}

String RegIniString(const String& KeyPath, const String& Section, const String& Ident, bool ReadMode,
                    const String& Value) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!ReadMode) {
        OpenOrCreate(reg, KeyPath);
        if (!Section.empty()) OpenOrCreate(reg, Section);
        reg.WriteString(Ident, Value);
        reg.CloseKey();  // raises when the value does not reach the store
        return Value;
    }
    if (!reg.KeyExists(KeyPath) || !reg.OpenKeyReadOnly(KeyPath)) return Value;
    if (!Section.empty() && !reg.OpenKeyReadOnly(Section)) return Value;
    return ReadText(reg, Ident, Value);
}

String GetRegValue(HKEY RootKey, const String& KeyPath, const String& ValueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey, KeyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != static_cast<LONG>(ERROR_SUCCESS_)) return String();
    // The buffer takes the whole value: a long folder path is never cut to a wrong one.
    String value;
    DWORD size = 0;
    if (RegQueryValueExA(key, ValueName.c_str(), nullptr, nullptr, nullptr, &size) == static_cast<LONG>(ERROR_SUCCESS_) && size > 0) {
        std::vector<BYTE> buffer(size);
        if (RegQueryValueExA(key, ValueName.c_str(), nullptr, nullptr, buffer.data(), &size) == static_cast<LONG>(ERROR_SUCCESS_)) {
            const auto* text = reinterpret_cast<const char*>(buffer.data());
            value.assign(text, strnlen(text, size));
        }
    }
    RegCloseKey(key);
    return value;
}

}  // namespace manager
