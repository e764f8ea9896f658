#include "plugin/ProgramWatch.h"

namespace qel {
namespace {

// The caption buffer holds 129 characters: at most 128 of caption and the terminator.
constexpr int kCaptionBuffer = 129;

BOOL CollectWindow(HWND hwnd, LPARAM param) {
    auto* out = reinterpret_cast<std::vector<TTopWindow>*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE_;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner && owner != GetDesktopWindow()) return TRUE_;
    if (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return TRUE_;
    char buffer[kCaptionBuffer] = {};
    SendMessageA(hwnd, WM_GETTEXT, kCaptionBuffer, reinterpret_cast<LPARAM>(buffer));
    buffer[kCaptionBuffer - 1] = '\0';
    out->push_back({hwnd, String(buffer)});
    return TRUE_;
}

}  // namespace

std::vector<TTopWindow> ListProgramWindows() {
    std::vector<TTopWindow> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindProgramWindow(const String& caption) {
    HWND found = nullptr;
    for (const auto& w : ListProgramWindows())
        if (w.Caption == caption) found = w.Handle;
    return found;
}

bool TProgramWatch::ProgramClosed(const String& caption) {
    HWND now = FindProgramWindow(caption);
    bool closed = last_ != nullptr && last_ != now;
    last_ = now;
    return closed;
}

}  // namespace qel
