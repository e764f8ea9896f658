// The display questions, answered by the process's backend.
#include "platform/display/Display.h"

#include "platform/display/Backend.h"

namespace platform::display {

bool IsInteractive() { return Current().IsInteractive(); }

String SelectionText(Selection which) { return Current().SelectionText(which); }

void SetSelectionText(Selection which, const String& text) { Current().SetSelectionText(which, text); }

}  // namespace platform::display
