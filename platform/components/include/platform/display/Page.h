// A web page laid out for the web-browser control.
//
// The renderer library lays the HTML out (litehtml, text measured with the same pango fonts it
// draws with) and hands back plain display-list items in page coordinates plus the boxes of
// the page's links. The control records them into its own display list, moved by its scroll
// position, so what it paints stays a function of its state and the renderer needs nothing
// new. Without the renderer library (headless processes) nothing is laid out.
#pragma once

#include <vector>

#include "platform/Canvas.h"

namespace platform::display {

struct PageLink {
    RECT rect;    // page coordinates
    String href;  // as written in the page
};

struct PageLayout {
    int width = 0;   // the width it was laid out for
    int height = 0;  // the height of the content
    DisplayList items;
    std::vector<PageLink> links;
};

// True when the renderer library is loaded (a display is in use, or a window was rendered into
// an image); pages are laid out only then.
bool CanLayoutPages();
// A page painted before the renderer library was loaded (a process that renders a window into
// an image loads it only then) is noted, and painted again once the library is there.
void NotePageAwaitingRenderer(HWND hwnd);
void RepaintPagesAwaitingRenderer();
// Lays out html (UTF-8) for the width; false without the renderer library.
bool LayoutPage(const String& html, int width, PageLayout* out);
// The link under a point of the page, or nullptr.
const PageLink* LinkAt(const PageLayout& layout, POINT point);

}  // namespace platform::display
