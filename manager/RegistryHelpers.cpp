#include "manager/RegistryHelpers.h"

#include "platform/SysUtils.h"

namespace manager {
namespace {

void OpenOrCreate(TRegistry& reg, const String& key) {
    if (!reg.OpenKey(key, true)) throw ERegistryException("Failed to create key " + key);
}

}  // namespace

String ReadRegIniString(const String& KeyPath, const String& Section, const String& Ident,
                        const String& Default) {
    const String keyPath = Trim(KeyPath), section = Trim(Section), ident = Trim(Ident);
    if (keyPath.empty() || section.empty() || ident.empty()) return Default;
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    OpenOrCreate(reg, keyPath);
    if (!reg.OpenKey(section, false) || !reg.ValueExists(ident)) return Default;
    return reg.ReadString(ident);
}

String RegIniString(const String& KeyPath, const String& Section, const String& Ident, bool ReadMode,
                    const String& Value) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!ReadMode) {
        OpenOrCreate(reg, KeyPath);
        if (!Section.empty()) OpenOrCreate(reg, Section);
        reg.WriteString(Ident, Value);
        return Value;
    }
    if (!reg.KeyExists(KeyPath) || !reg.OpenKeyReadOnly(KeyPath)) return Value;
    if (!Section.empty() && !reg.OpenKeyReadOnly(Section)) return Value;
    if (!reg.ValueExists(Ident)) return Value;
    return reg.ReadString(Ident);
}

String GetRegValue(HKEY RootKey, const String& KeyPath, const String& ValueName) {
    try {
        TRegistry reg;
        reg.RootKey = RootKey;
        if (!reg.OpenKeyReadOnly(KeyPath) || !reg.ValueExists(ValueName)) return String();
        String value = reg.ReadString(ValueName);
        const std::size_t zero = value.find('\0');
        if (zero != String::npos) value.resize(zero);
        return value;
    } catch (const Exception&) {
        return String();
    }
}

}  // namespace manager
