// The few calls the window system makes into the display (internal to the layer).
//
// The window table, painting and the queue's wait each call one of these at the place where
// a display must hear of a change; everything else of the backend stays out of those files.
#pragma once

#include <poll.h>

#include <functional>
#include <vector>

#include <optional>
#include <string_view>

#include "platform/Canvas.h"
#include "platform/Windows.h"

namespace platform::display {

// A top-level window was created or changed (title, rectangle, show state, owner, style).
void NoteTopLevel(HWND hwnd);
// A top-level window is being destroyed.
void NoteDestroyed(HWND hwnd);
// What is drawn inside hwnd's top-level window changed.
void NoteDamage(HWND hwnd);
// A top-level window is to come to the front and get the keyboard.
void NoteRaised(HWND hwnd);
// The mouse capture moved to hwnd (nullptr: released).
void NoteCapture(HWND hwnd);
// Redraws damaged windows now (a loop that pumps without waiting calls this when it is done).
void FlushDisplay();
// The screen's cursor (crDefault, or one shape over every window, such as the hourglass
// during long work) changed.
void NoteScreenCursor(short cursor);
// The screen's size: the display's when it has one, else the headless desktop's 1024 x 768.
SIZE ScreenSize();
// Text extent with the display's fonts; nullopt keeps the fixed metrics (headless).
std::optional<SIZE> DisplayTextExtent(const FontSpec& font, std::string_view text);
// Key messages the display posts carry this bit in lParam: their characters are posted with
// them, so TranslateMessage makes none a second time.
inline constexpr LPARAM kKeyCharsPosted = LPARAM{1} << 25;
// Shell_NotifyIcon's work on the desktop, once a person sees the program: true when the icon
// is shown there, or when only its record is kept (headless).
bool DesktopNotifyIcon(DWORD message, const NOTIFYICONDATAA& data);
// Reads what the display has sent (the queue calls this each time it looks for a message).
void PumpDisplay();
// Before the queue waits: redraws damaged windows and adds the display's descriptors.
// Returns true when the display already has events waiting (the wait must not block).
bool PrepareWait(std::vector<pollfd>& fds);

// Another connection the GUI thread listens to (the session bus of the tray icon): its
// descriptor joins the queue's wait, and `ready` runs each time the display is pumped. Only
// while a backend has been chosen. The id removes it again.
int AddEventSource(int fd, std::function<void()> ready);
void RemoveEventSource(int id);

}  // namespace platform::display
