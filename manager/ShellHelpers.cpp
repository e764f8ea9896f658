#include "manager/ShellHelpers.h"

#include "manager/RegistryHelpers.h"
#include "manager/Settings.h"
#include "platform/Files.h"

namespace manager {

String ShortcutPath(const String& FolderName) {
    const String folder = GetRegValue(HKEY_CURRENT_USER, kShellFoldersKey, FolderName);
    if (folder.empty()) return String();
    return folder + "\\" + ApplicationTitle() + ".lnk";
}

bool ShortcutExists(const String& FolderName) {
    const String path = ShortcutPath(FolderName);
    return !path.empty() && FileExists(path);
}

String GetTempDirectory() {
    char buffer[261];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return String();
    return String(buffer, length);
}

}  // namespace manager
