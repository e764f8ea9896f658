// Message boxes and input boxes as forms of the layer, for the person at the display.
//
// MessageBoxA, MessageDlg, ShowMessage, Application->MessageBox, InputBox and InputQuery all
// reach platform::ShowDialog; when no hook answers and a person is at the display, the box
// runner installed here shows the box as a modal form: caption, icon, text, the buttons of
// the MB_ flags with the default button focused. Return presses the focused button (the
// default one at first), Escape the cancel button (the only button of a one-button box),
// Tab, Shift+Tab and the arrows move between the buttons, a button's "&" letter presses it.
// Closing the box by the window manager answers as Escape would, or the box's default
// answer when it has no cancel button.
#pragma once

#include "platform/Dialogs.h"

namespace platform {

// Installs the runner (the application object does this once per process).
void InstallBoxForms();

// The buttons of a box, in order: caption and answer.
struct BoxButton {
    String caption;
    int answer;
};
std::vector<BoxButton> BoxButtons(UINT type);
// Index in BoxButtons of the default button (MB_DEFBUTTONn), and of the cancel button (-1: none).
int BoxDefaultButton(UINT type);
int BoxCancelButton(UINT type);

}  // namespace platform
