#include "manager/Settings.h"

#include "platform/Registry.h"
#include "platform/SysUtils.h"

namespace manager {

namespace {

// Opens the settings key, creating it on first access.
void OpenSettingsKey(TRegistry& reg) {
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKey(SettingsKeyPath(), true))
        throw ERegistryException("Failed to create key " + SettingsKeyPath());
}

// The stored text of one value, or nothing when the section or the value is missing.
bool ReadValue(const String& section, const String& ident, String& value) {
    TRegistry reg;
    OpenSettingsKey(reg);
    if (!reg.OpenKey(section, false) || !reg.ValueExists(ident)) return false;
    // A value of another type is none we stored; like a missing one it gives the default
    // instead of stopping the load at that setting.
    const TRegDataType type = reg.GetDataType(ident);
    if (type != TRegDataType::rdString && type != TRegDataType::rdExpandString) return false;
    value = reg.ReadString(ident);
    return true;
}

void WriteValue(const String& section, const String& ident, const String& value) {
    TRegistry reg;
    OpenSettingsKey(reg);
    if (!reg.OpenKey(section, true))
        throw ERegistryException("Failed to create key " + section);
    reg.WriteString(ident, value);
    reg.CloseKey();  // raises when the value does not reach the store
}

}  // namespace

String ReadRegStr(const String& Section, const String& Ident, const String& Default) {
    const String section = Trim(Section), ident = Trim(Ident);
    if (section.empty() || ident.empty()) return Default;
    String value;
    return ReadValue(section, ident, value) ? value : Default;
}

bool ReadRegBool(const String& Section, const String& Ident, bool Default) {
    const String section = Trim(Section), ident = Trim(Ident);
    if (section.empty() || ident.empty()) return Default;
    String value;
    if (!ReadValue(section, ident, value)) return Default;
    // Stored as "1"/"0" and read back as an integer; anything that is no integer reads as the
    // default, any integer but 0 as true.
    Integer number = 0;
    if (!TryStrToInt(value, number)) return Default;
    return number != 0;
}

void WriteRegStr(const String& Section, const String& Ident, const String& Value) {
    const String section = Trim(Section), ident = Trim(Ident);
    if (section.empty() || ident.empty()) return;
    WriteValue(section, ident, Value);
}

void WriteRegBool(const String& Section, const String& Ident, bool Value) {
    WriteRegStr(Section, Ident, Value ? "1" : "0");
}

TSettings DefaultSettings() {
    TSettings d;
    for (bool TSettings::*b :
         {&TSettings::Backup_cReport, &TSettings::Backup_EReport, &TSettings::Backup_cSMS, &TSettings::Actions_cAdd,
          &TSettings::Actions_cCopy, &TSettings::Actions_cChecking, &TSettings::Actions_cBackup,
          &TSettings::Actions_rAdd, &TSettings::Actions_rCopy, &TSettings::Actions_rChecking,
          &TSettings::Actions_rBackup, &TSettings::General_cClosedM, &TSettings::General_cOnTop})
        d.*b = true;
    return d;
}

void LoadSettings(TSettings& s) {
    // A load that stops at an error leaves the settings after it as a first run has them, so
    // the history still writes and closing still only minimises.
    s = DefaultSettings();
    s.Backup_Name = ReadRegStr("Backup", "Backup_Name", "");
    s.Backup_cReport = ReadRegBool("Backup", "Backup_cReport", true);
    s.Backup_EReport = ReadRegBool("Backup", "Backup_EReport", true);
    s.Backup_eEmail = ReadRegStr("Backup", "Backup_eEmail", "");
    s.Backup_cSMS = ReadRegBool("Backup", "Backup_cSMS", true);
    s.Backup_SMSNumber = ReadRegStr("Backup", "Backup_SMSNumber", "");

    s.Actions_cAdd = ReadRegBool("Actions", "Actions_cAdd", true);
    s.Actions_cCopy = ReadRegBool("Actions", "Actions_cCopy", true);
    s.Actions_cChecking = ReadRegBool("Actions", "Actions_cChecking", true);
    s.Actions_cBackup = ReadRegBool("Actions", "Actions_cBackup", true);
    s.Actions_rAdd = ReadRegBool("Actions", "Actions_rAdd", true);
    s.Actions_rCopy = ReadRegBool("Actions", "Actions_rCopy", true);
    s.Actions_rChecking = ReadRegBool("Actions", "Actions_rChecking", true);
    s.Actions_rBackup = ReadRegBool("Actions", "Actions_rBackup", true);

    s.General_Style = ReadRegStr("General", "General_Style", "");
    s.General_cClosedM = ReadRegBool("General", "General_cClosedM", true);
    s.General_cOnTop = ReadRegBool("General", "General_cOnTop", true);

    ShortcutDescription = kShortcutDescriptionText;
}

void SaveSettings(const TSettings& s) {
    WriteRegStr("Backup", "Backup_Name", s.Backup_Name);
    WriteRegBool("Backup", "Backup_cReport", s.Backup_cReport);
    WriteRegBool("Backup", "Backup_EReport", s.Backup_EReport);
    WriteRegStr("Backup", "Backup_eEmail", s.Backup_eEmail);
    WriteRegBool("Backup", "Backup_cSMS", s.Backup_cSMS);
    WriteRegStr("Backup", "Backup_SMSNumber", s.Backup_SMSNumber);

    WriteRegBool("Actions", "Actions_cAdd", s.Actions_cAdd);
    WriteRegBool("Actions", "Actions_cCopy", s.Actions_cCopy);
    WriteRegBool("Actions", "Actions_cChecking", s.Actions_cChecking);
    WriteRegBool("Actions", "Actions_cBackup", s.Actions_cBackup);
    WriteRegBool("Actions", "Actions_rAdd", s.Actions_rAdd);
    WriteRegBool("Actions", "Actions_rCopy", s.Actions_rCopy);
    WriteRegBool("Actions", "Actions_rChecking", s.Actions_rChecking);
    WriteRegBool("Actions", "Actions_rBackup", s.Actions_rBackup);

    WriteRegStr("General", "General_Style", s.General_Style);
    WriteRegBool("General", "General_cClosedM", s.General_cClosedM);
    WriteRegBool("General", "General_cOnTop", s.General_cOnTop);
}

}  // namespace manager
