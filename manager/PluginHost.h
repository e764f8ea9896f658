// The plug-in host: binding a backup's library and calling its five exports.
//
// Binding rule of every call site: when the library file does not exist nothing is loaded or
// called; otherwise, under the hourglass, the library is loaded and the export looked up by
// name; a library that does not load or lacks the export is reported once (never called) and the
// default cursor comes back after the call, also when an exception passes. Libraries are never
// freed. A null text from an export counts as empty.
#pragma once

#include <functional>
#include <map>

#include "platform/Modules.h"
#include "platform/PluginApi.h"
#include "platform/Types.h"

namespace manager {

// The cursor the host shows around each call into a library; the main window installs the
// component library's cursor here. Counts nest.
using TBusyCursorHook = std::function<void(bool busy)>;
void SetBusyCursorHook(TBusyCursorHook hook);

class THourglass {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

// Where a failure of a library is told (the history).
using TPluginReport = std::function<void(const String& message)>;

// The fields of a catalogue node the host reads and keeps.
struct TPluginNodeRef {
    Int64 NodeKind = 0;
    String SystemName;
    String BackupID;
    HMODULE* PluginHandle = nullptr;
    String* PluginChildID = nullptr;
};

enum class TBackupCommand { Backup, SecBac };

class TPluginHost {
public:
    TPluginHost() = default;
    TPluginHost(String pluginsFolder, String backupDataFolder)
        : pluginsFolder_(std::move(pluginsFolder)), backupDataFolder_(std::move(backupDataFolder)) {}

    void SetFolders(const String& pluginsFolder, const String& backupDataFolder) {
        pluginsFolder_ = pluginsFolder;
        backupDataFolder_ = backupDataFolder;
    }
    void SetReport(TPluginReport report) { report_ = std::move(report); }
    // What the exports receive from the host.
    void SetHostObjects(TApplication* application, HWND mainWindow, HWND panel) {
        application_ = application;
        mainWindow_ = mainWindow;
        panel_ = panel;
    }

    // PluginsFolder + SystemName + ".dll".
    String LibraryPath(const String& systemName) const { return pluginsFolder_ + systemName + ".dll"; }
    // BackupDataFolder + BackupID.
    String SettingsFile(const String& backupID) const { return backupDataFolder_ + backupID; }

    // The page request: loads the node's library at its first request and creates its page
    // (the command is the settings file), later sends "Refresh" + its page name.
    void ShowBackupPage(const TPluginNodeRef& node);
    // The backup request: never loads a library.
    void RunBackup(const TPluginNodeRef& node, TBackupCommand command);

    // The dialog's calls on a library path (loaded again at each use).
    struct TPluginText {
        String Name;         // "Name:?" when not known
        String Description;  // empty when not known
    };
    TPluginText ReadPluginText(const String& libraryPath);
    void ShowPluginInfo(const String& libraryPath);
    void ConfigurePlugin(const String& libraryPath, const String& settingsFile);

private:
    HMODULE Load(const String& libraryPath);
    template <typename F>
    F Export(HMODULE module, const char* name, const String& libraryPath);
    // Calls ProvaChild; keeps the result as the page name when none was known.
    void CallProvaChild(const TPluginNodeRef& node, const String& command);
    // Tells a library's failure once per start: again only when it changes. subject names
    // what failed (the library, or the library and an export); an empty message clears it.
    void Report(const String& subject, const String& message);

    String pluginsFolder_, backupDataFolder_;
    TPluginReport report_;
    std::map<String, String> reported_;  // subject -> the failure last told
    TApplication* application_ = nullptr;
    HWND mainWindow_ = nullptr;
    HWND panel_ = nullptr;
};

// The text of an export's result: null counts as empty.
inline String PluginText(const char* text) { return text ? String(text) : String(); }

}  // namespace manager
