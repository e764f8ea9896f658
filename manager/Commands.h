// The rules behind the main window's commands that need no form: which File and popup items a
// node shows, where a new node goes, which nodes may be deleted or renamed in place, and the
// installation entries of the options dialog.
#pragma once

#include <optional>
#include <vector>

#include "manager/Catalogue.h"
#include "platform/Types.h"

namespace manager {

// The root a node lies under (the top-level ancestor, or the node itself).
enum class TRootKind { None, Backup, Actions, History };

// What the File menu and the tree popup change when they open; an empty value leaves the
// item as it is.
struct TFileMenuStates {
    std::optional<bool> AddVisible;
    std::optional<bool> AddBackupEnabled;
    std::optional<bool> BackupVisible;
    std::optional<bool> DeleteVisible;
    std::optional<bool> PropertiesEnabled;
    std::optional<bool> SearchVisible;
    std::optional<bool> SaveVisible;
};

// Level counts the ancestors (0 for a root); NodeKind is the node's own kind.
TFileMenuStates FileMenuStates(TRootKind root, Integer level, Int64 nodeKind);

// Only nodes below the Backup's root can be deleted; the roots themselves never.
inline bool CanDeleteNode(TRootKind root, Integer level) { return root == TRootKind::Backup && level > 0; }
// The roots keep their names; every node below them may be renamed in place.
inline bool CanEditNodeText(Integer level) { return level != 0; }
// A new node goes inside a folder, and beside anything else.
inline bool NewNodeGoesInside(Int64 nodeKind) { return nodeKind == nkFolder; }

// One registry entry of the installation: under HKEY_CURRENT_USER, KeyPath\Section, value
// Ident (empty: the subkey's default value).
struct TInstallEntry {
    String KeyPath;
    String Section;
    String Ident;
    String Value;
};
// The five entries in the order written: the uninstall entry's name and command, the folder
// class, the folder command's caption and its command line.
std::vector<TInstallEntry> InstallationEntries(const String& title, const String& programPath);

// The four shortcut folders in the order the options dialog shows and writes them, and the
// parameters each shortcut carries.
struct TShortcutPlace {
    const char* Folder;
    const char* Parameters;
};
inline constexpr TShortcutPlace kShortcutPlaces[] = {
    {"Desktop", ""}, {"Start Menu", ""}, {"Favorites", ""}, {"Startup", " -s"}};

}  // namespace manager
