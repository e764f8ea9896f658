// The desktop's notification area behind Shell_NotifyIcon, once a person sees the program.
//
// Shell_NotifyIcon keeps its record of every icon as before; while the desktop's services are
// live it also hands each icon to the panel: as a StatusNotifierItem when the session bus has
// a watcher, else it says once on stderr that no notification area was found, and the icon's
// owner keeps its window on the taskbar. Clicks come back as the icon's callback messages,
// posted to its window as the shell would post them.
#pragma once

#include "platform/Menus.h"
#include "platform/Windows.h"

namespace platform {

// The menu the icon offers, for panels that show an icon's menu themselves (nullptr: none).
void SetNotifyIconMenu(HWND hwnd, UINT id, TPopupMenu* menu);

}  // namespace platform
