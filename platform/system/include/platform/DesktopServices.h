// The Linux desktop's services behind the shell calls of the system: opening a document or
// an address in the person's own program (xdg-open), asking the login manager to power the
// computer off (logind), and the freedesktop desktop entries that stand beside the shell links.
//
// Headless, and in tests unless they ask for it, nothing here reaches the desktop: ShellExecute
// and ExitWindowsEx only record what they were asked. The display backend switches the
// services on when a person sees the program. The places of the desktop entries follow the
// XDG base-directory variables, so a test profile that redirects them keeps every file it makes
// inside the profile.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform::desktop {

// Whether ShellExecute and ExitWindowsEx act on the desktop (off until a display backend, or a
// test, switches them on).
bool ServicesLive();
void SetServicesLive(bool live);

// Starts `xdg-open target` with the target as its one argument, never through a shell. False,
// with the reason on stderr, when it cannot be started; its later exit status is only logged.
bool OpenWithDesktop(const std::string& target);

// Asks logind on the system bus to power off, letting it ask the person for authorisation.
// Empty on success, else the reason it gave.
std::string RequestPowerOff();

// Where desktop entries go: the desktop folder (XDG_DESKTOP_DIR of user-dirs.dirs, else
// ~/Desktop), the applications menu ($XDG_DATA_HOME/applications) and the programs started at
// login ($XDG_CONFIG_HOME/autostart). POSIX paths.
enum class Place { Desktop, Applications, Autostart };
std::string PlaceFolder(Place place);

struct DesktopEntry {
    std::string name;                 // Name=
    std::string comment;              // Comment=
    std::vector<std::string> command; // program and arguments, quoted into Exec=
    std::string icon;                 // Icon= (a name from the icon theme or an absolute path)
};

// The text of a desktop entry file.
std::string DesktopEntryText(const DesktopEntry& entry);
// The entry's file for a title: "<place>/<title>.desktop".
std::string DesktopEntryPath(Place place, const std::string& title);
// Writes the entry (atomically, mode 0755 as launchers on a desktop need); false on failure.
bool WriteDesktopEntry(Place place, const std::string& title, const DesktopEntry& entry);
void RemoveDesktopEntry(Place place, const std::string& title);

}  // namespace platform::desktop
