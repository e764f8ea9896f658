// The watched program's window: found by its exact caption among the top-level windows a user
// would see as programs (visible, no owner or the desktop as owner, not a tool window).
#pragma once

#include <vector>

#include "platform/Windows.h"

namespace qel {

struct TTopWindow {
    HWND Handle = nullptr;
    String Caption;  // at most 128 characters, as read with WM_GETTEXT
};

// The program windows in enumeration order.
std::vector<TTopWindow> ListProgramWindows();
// The last listed window whose caption equals caption exactly (case included), or null.
HWND FindProgramWindow(const String& caption);

// Notices the watched window going away: ProgramClosed is true once, on the first look
// after the window seen at the previous look has gone or changed.
class TProgramWatch {
public:
    bool ProgramClosed(const String& caption);
    void Remember(HWND window) { last_ = window; }
    HWND Last() const { return last_; }

private:
    HWND last_ = nullptr;
};

}  // namespace qel
