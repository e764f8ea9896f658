// What the window functions (Windows.cpp and the Window*.cpp beside it) share.
#pragma once

#include "platform/Windows.h"
#include "detail/MessageQueue.h"
#include "detail/WindowTable.h"

namespace platform::detail {

// A send inside the process: the window functions run on the thread of the window.
inline LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l) { return MessageQueue::SendLocal(hwnd, msg, w, l); }
// Copies s into buffer (at most maxCount - 1 characters and a zero); the characters copied.
int CopyOut(const String& s, LPSTR buffer, int maxCount);
// The top-level window that hwnd belongs to (itself for a top-level window).
HWND TopLevelOf(HWND hwnd);
// Whether hwnd is ancestor or lies anywhere below it.
bool IsInside(HWND ancestor, HWND hwnd);
// WM_SIZE and WM_MOVE for the window's rectangle and show state as they are.
void SendSizeAndMove(const Window& w);

}  // namespace platform::detail
