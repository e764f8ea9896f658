// Input: what a person does, turned into the layer's messages.
//
// A backend translates its events once, at the edge, and calls these; tests call them the
// same way without any display. Points are in the top-level window's client area, as a
// display reports them. Everything after this (capture, hit testing, focus, activation,
// double clicks, cursor, keyboard navigation) is the layer's and is tested headless.
//
//   mouse    capture first, else the deepest visible and enabled child under the point
//            (a disabled child leaves the mouse to its parent). A button press activates
//            the top-level window and focuses a tab-stop target; a press on a window that a
//            modal form disabled brings that form forward instead. Classes with CS_DBLCLKS
//            get WM_xBUTTONDBLCLK for a second press within GetDoubleClickTime() and
//            SM_CXDOUBLECLK x SM_CYDOUBLECLK pixels. The wheel goes to the capture, else
//            to the window under the pointer, as desktops send it (focused or not); a
//            window that does not scroll leaves it to DefWindowProc, which passes it to the
//            parent. Each move asks WM_SETCURSOR, then the control's and the screen's
//            cursor; while the screen's cursor is set (the hourglass of long work) every
//            top-level window shows it.
//   keys     WM_KEYDOWN/UP (WM_SYSKEY* with Alt) to the focused window, then WM_CHAR
//            (WM_SYSCHAR with Alt) once per UTF-8 byte of the text the input method made of
//            the key, lead byte first (edits put the bytes back into whole characters).
//            Tab and Shift+Tab move the focus through the tab stops of the window unless the
//            focused window asks for Tab (WM_GETDLGCODE DLGC_WANTTAB); Alt+letter presses
//            the control whose caption marks that letter with '&'. Return and Escape reach
//            the form's default and cancel buttons through the controls' key handling.
//            GetAsyncKeyState is the keyboard as the display reports it now; GetKeyState
//            changes as the key messages are read, so a handler sees the modifiers of its
//            own key even when the display has been read further ahead.
#pragma once

#include "platform/display/Hooks.h"

#include <optional>
#include <string_view>

#include "platform/Windows.h"
#include "platform/display/Backend.h"

namespace platform::display {

enum class MouseButton { Left, Right, Middle };

void InputMouseMove(HWND topLevel, POINT client, DWORD time);
void InputMouseButton(HWND topLevel, POINT client, MouseButton button, bool down, DWORD time);
// delta in WHEEL_DELTA units (120 per notch, positive away from the person).
void InputMouseWheel(HWND topLevel, POINT client, int delta, DWORD time);

// A key by virtual key; text is what the input method made of it (UTF-8, may be empty).
void InputKey(int virtualKey, bool down, std::string_view text, DWORD time);
// Characters an input method commits without a key of their own.
void InputText(std::string_view text);

// The window manager's side of a top-level window.
void InputConfigured(HWND topLevel, RECT clientOnScreen);  // moved or resized by the person
void InputCloseRequested(HWND topLevel);                    // the frame's close button
void InputFocusIn(HWND topLevel);                           // the window manager activated it
void InputIconic(HWND topLevel, bool iconic);               // minimised or restored from outside
void InputMaximized(HWND topLevel, bool maximized);         // maximised or restored from outside

// The shape the pointer has over hwnd now (WM_SETCURSOR answers go through SetPointerShape).
CursorShape PointerShapeAt(HWND hwnd, POINT client);
// Called while handling WM_SETCURSOR: sets the pointer over the window under it.
void SetPointerShape(CursorShape shape);
// The shape every top-level window shows while the screen's cursor is set (Screen->Cursor,
// such as the hourglass during long work), else nullopt.
std::optional<CursorShape> ScreenCursorShape();

// Bit of a key message's lParam: the characters of the key were posted already, so
// TranslateMessage makes none.
// WM_GETDLGCODE answer of a window that takes Tab itself, and one wheel notch.
inline constexpr LRESULT kDlgCodeWantTab = 0x0002;
inline constexpr int kWheelDelta = 120;

// The window that gets the keyboard: the focus, else the active top-level window.
HWND KeyboardTarget();
// The next (or previous) tab stop after from inside its top-level window, wrapping around.
HWND NextTabStop(HWND from, bool backwards);

}  // namespace platform::display
