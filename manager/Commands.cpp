#include "manager/Commands.h"

namespace manager {

TFileMenuStates FileMenuStates(TRootKind root, Integer level, Int64 nodeKind) {
    TFileMenuStates s;
    switch (root) {
        case TRootKind::Backup:
            s.AddVisible = true;
            // A backup is never added on the root itself; a folder is.
            s.AddBackupEnabled = level > 0;
            s.BackupVisible = nodeKind == nkBackup;
            s.DeleteVisible = level > 0;
            s.SearchVisible = false;
            s.SaveVisible = false;
            break;
        case TRootKind::Actions:
        case TRootKind::History:
            s.AddVisible = false;
            s.BackupVisible = false;
            s.DeleteVisible = false;
            s.PropertiesEnabled = true;
            s.SearchVisible = root == TRootKind::History;
            s.SaveVisible = root == TRootKind::History;
            break;
        case TRootKind::None: break;
    }
    return s;
}

std::vector<TInstallEntry> InstallationEntries(const String& title, const String& programPath) {
    const String uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const String shell = "Software\\Classes\\directory\\shell";
    return {
        {uninstall, title, "DisplayName", title},
        {uninstall, title, "UninstallString", programPath + " -u"},
        {"Software\\Classes", "directory", "", ""},
        {shell, title, "", "Add to " + title},
        {shell + "\\" + title, "command", "", "\"" + programPath + "\" \"-a\" \"%1\""},
    };
}

}  // namespace manager
