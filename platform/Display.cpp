// Headless answers until a display backend is chosen: nobody sees the windows, and the
// selections are kept inside the process.
#include "platform/Display.h"

namespace platform::display {

namespace {
String g_selections[2];
}

bool IsInteractive() { return false; }

String SelectionText(Selection which) { return g_selections[static_cast<int>(which)]; }

void SetSelectionText(Selection which, const String& text) { g_selections[static_cast<int>(which)] = text; }

}  // namespace platform::display
