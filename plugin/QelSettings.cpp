#include "plugin/QelSettings.h"

#include "platform/IniFiles.h"

namespace qel {

TQelSettings LoadQelSettings(const String& settingsPath) {
    TIniFile ini(settingsPath);
    const TQelSettings d;
    TQelSettings s;
    s.ZipFile = ini.ReadString(kSettingsSection, "ZipFile", d.ZipFile);
    s.CloseApp = ini.ReadBool(kSettingsSection, "CloseApp", d.CloseApp);
    s.AppPrg = ini.ReadString(kSettingsSection, "AppPrg", d.AppPrg);
    s.Pass = ini.ReadString(kSettingsSection, "Pass", d.Pass);
    s.QelFile = ini.ReadString(kSettingsSection, "QelFile", d.QelFile);
    s.Password = ini.ReadBool(kSettingsSection, "Password", d.Password);
    s.FileSize = ini.ReadBool(kSettingsSection, "FileSize", d.FileSize);
    s.FileDate = ini.ReadBool(kSettingsSection, "FileDate", d.FileDate);
    s.ClosePrg = ini.ReadBool(kSettingsSection, "ClosePrg", d.ClosePrg);
    s.PanBox = ini.ReadBool(kSettingsSection, "PanBox", d.PanBox);
    s.ShutDown = ini.ReadBool(kSettingsSection, "ShutDown", d.ShutDown);
    return s;
}

void SaveQelSettings(const String& settingsPath, const TQelSettings& s) {
    TIniFile ini(settingsPath);
    ini.WriteString(kSettingsSection, "ZipFile", s.ZipFile);
    ini.WriteBool(kSettingsSection, "CloseApp", s.CloseApp);
    ini.WriteString(kSettingsSection, "AppPrg", s.AppPrg);
    ini.WriteString(kSettingsSection, "Pass", s.Pass);
    ini.WriteString(kSettingsSection, "QelFile", s.QelFile);
    ini.WriteBool(kSettingsSection, "Password", s.Password);
    ini.WriteBool(kSettingsSection, "FileSize", s.FileSize);
    ini.WriteBool(kSettingsSection, "FileDate", s.FileDate);
    ini.WriteBool(kSettingsSection, "ClosePrg", s.ClosePrg);
    ini.WriteBool(kSettingsSection, "PanBox", s.PanBox);
    ini.WriteBool(kSettingsSection, "ShutDown", s.ShutDown);
}

}  // namespace qel
