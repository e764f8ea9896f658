// What a test on a real display may read of this process's windows from outside: for each
// visible top-level window, its children as a person sees them (class, caption, place on the
// screen, visible, enabled, focused) and the texts drawn in each window with where they stand.
//
// It is read-only and exists only for tests: the program answers it only when it was started
// with TARVIK_TEST_PROBE=1 in its environment, and a probe never acts on a window (no message
// is sent to any window procedure). Without the switch the request is refused like a message
// to a window that is not there.
#pragma once

#include "platform/Types.h"

namespace platform::detail {

// True when this process was started with the test switch.
bool TestProbeEnabled();

// The answer, one line per window or drawn text, tab-separated:
//   W <handle> <parent> <class> <visible> <enabled> <focused> <left> <top> <right> <bottom> <caption>
//   T <handle> <x> <y> <colour> <text>
// Coordinates are the screen's (a text's top left corner), the colour is the text's COLORREF; texts have tabs and line breaks escaped as \t and \n.
String DescribeTopLevelWindows();

}  // namespace platform::detail
