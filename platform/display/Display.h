// What the rest of the layer asks of the display a person sees.
//
// The window system, the components and the controls ask these few questions and nothing
// else about the display: whether a person is there to answer a dialog, and the two text
// selections (clipboard and primary) that edits copy to and paste from. The display backend
// (platform/display/Backend.h) answers them; headless, nobody is there and the selections live
// inside the process.
#pragma once

#include "platform/Types.h"

namespace platform::display {

// True when windows reach a real screen and a person can answer a modal form or a box.
bool IsInteractive();

enum class Selection { Clipboard, Primary };

// The text of a selection ("" when it holds none), and taking ownership of it with a text.
String SelectionText(Selection which);
void SetSelectionText(Selection which, const String& text);

}  // namespace platform::display
