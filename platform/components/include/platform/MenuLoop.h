// Popup menus as windows of their own, and the loop that runs while one is open.
//
// A popup menu (a component's popup, a tool button's drop-down, a sub-menu) is a top-level
// WS_POPUP window that never takes activation; the display shows it above everything and
// without a frame. While menus are open the menu loop owns the input: it takes every mouse
// and key message of the thread before it is dispatched, so the controls under the menu see
// nothing of it, and dispatches everything else (paint, timers, sends). The mouse hovers and
// picks, the keys move (arrows, Home, End), open and close sub-menus (Right, Left), pick
// (Return, Space, an item's "&" letter) and close (Escape); a press outside every menu
// closes them all and is not passed on. The picked item is returned, not clicked: the
// caller clicks it once every menu window is gone, as the platform's WM_COMMAND arrives
// after the menu has closed.
#pragma once

#include <functional>
#include <vector>

#include "platform/Menus.h"

namespace platform {

// The colours of menus and boxes, in one place so that the style object can take them over.
struct MenuPalette {
    COLORREF background;
    COLORREF border;
    COLORREF text;
    COLORREF disabledText;
    COLORREF shortcutText;
    COLORREF highlight;
    COLORREF highlightText;
    COLORREF separator;
};
const MenuPalette& MenuColors();

// Shows the visible sub-items of Items with the top-left corner at At (a screen point; the
// menu moves to stay on the screen, above At when there is no room below) and runs the menu
// loop. Returns the enabled item the person picked, or nullptr when the menus were closed.
// An item whose sub-menu opens is clicked first, as when a drop-down opens. Owner is the
// window the menus belong to (the active window when nullptr). Only one menu loop runs at a
// time: while one runs, a further call returns nullptr at once. OnSelect hears of each item
// the person moves onto (the form shows its hint).
TMenuItem* TrackMenu(TMenuItem& Items, POINT At, HWND Owner = nullptr,
                     std::function<void(TMenuItem*)> OnSelect = {});
// A bar of menus (a menu bar, or a tool bar serving as one) around the menus it drops down:
// Left in the outermost menu, or Right on an item without a sub-menu, closes the menus and
// leaves the bar a step to the neighbouring menu, which the bar then drops down.
class MenuBarScope {
public:
    MenuBarScope();
    ~MenuBarScope();
    MenuBarScope(const MenuBarScope&) = delete;
    MenuBarScope& operator=(const MenuBarScope&) = delete;
    // -1 or +1 after the person asked for the menu to the left or right, else 0; clears it.
    int TakeStep();
    void SetStep(int Step) { step_ = Step; }

private:
    MenuBarScope* outer_;
    int step_ = 0;
};
MenuBarScope* CurrentMenuBar();

// Closes the menus of the running loop with nothing picked.
void EndMenu();
// True while a menu loop runs.
bool InMenuLoop();

// What a test (or the display's own checks) can ask of the open menus.
// The menu windows, the first (outermost) first.
std::vector<HWND> OpenMenuWindows();
// The visible items of a menu window, separators included, top to bottom.
std::vector<TMenuItem*> MenuWindowItems(HWND MenuWindow);
// The highlighted item's index among them, -1 for none.
int MenuHotItem(HWND MenuWindow);
// An item's rectangle in the menu window's client coordinates.
RECT MenuItemRect(HWND MenuWindow, int Index);

}  // namespace platform
