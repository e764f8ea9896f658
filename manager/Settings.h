// The manager's seventeen user settings, and the registry operations that read and write them.
//
// The record is process-wide. It is loaded once when the main window is created and saved once
// when it closes; the options dialog changes it only in memory in between, so nothing reaches
// the registry between load and save. Each value is a REG_SZ named by its ident, in one subkey
// per section under HKEY_CURRENT_USER "Software\Brenlo\<title>"; Booleans are "1"/"0".
// Every access opens and closes the key by itself: no key stays open between calls.
#pragma once

#include "platform/Types.h"

namespace manager {

inline constexpr const char* kDefaultApplicationTitle = "My Corvex";
inline constexpr const char* kSettingsKeyBase = "Software\\Brenlo\\";
inline constexpr const char* kShortcutDescriptionText = "This is New Small backup system";

// Before the load every Boolean is false and every text empty; the load gives each a value.
struct TSettings {
    String Backup_Name;
    bool Backup_cReport = false;
    bool Backup_EReport = false;
    String Backup_eEmail;
    bool Backup_cSMS = false;
    String Backup_SMSNumber;

    bool Actions_cAdd = false;
    bool Actions_cCopy = false;
    bool Actions_cChecking = false;
    bool Actions_cBackup = false;
    bool Actions_rAdd = false;
    bool Actions_rCopy = false;
    bool Actions_rChecking = false;
    bool Actions_rBackup = false;

    String General_Style;
    bool General_cClosedM = false;
    bool General_cOnTop = false;
};

// The process-wide settings and the description every shortcut of the program gets.
extern TSettings Settings;
extern String ShortcutDescription;

// The application title names the settings key, the shortcuts and the installation entries.
// The program sets it at start, before the main window exists.
const String& ApplicationTitle();
void SetApplicationTitle(const String& title);
// "Software\Brenlo\" plus the application title.
String SettingsKeyPath();

// One setting. Section and Ident are trimmed of blanks and control characters; when either
// is then empty a read gives Default and a write does nothing. The settings key is created on
// first access; a key that cannot be created raises ERegistryException.
bool ReadRegBool(const String& Section, const String& Ident, bool Default);
String ReadRegStr(const String& Section, const String& Ident, const String& Default);
void WriteRegBool(const String& Section, const String& Ident, bool Value);
void WriteRegStr(const String& Section, const String& Ident, const String& Value);

// Every Boolean true and every text empty, as a first run reads them.
TSettings DefaultSettings();

// Reads all seventeen settings in their fixed order ("Backup", then "Actions", then
// "General"), texts defaulting to empty and Booleans to true, and sets ShortcutDescription.
// When a read raises, the settings after it keep their defaults.
// Applying General_cOnTop to the window is the main window's part.
void LoadSettings(TSettings& settings);
// Writes the seventeen settings in the same order. The main window first copies the state of
// its "Always on top" item into General_cOnTop, since that item holds the setting at run time.
void SaveSettings(const TSettings& settings);

}  // namespace manager
