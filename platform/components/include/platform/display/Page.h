// A web page laid out for the web-browser control.
//
// The renderer library lays the HTML out (litehtml, text measured with the same pango fonts it
// draws with) and hands back plain display-list items in page coordinates plus the boxes of
// the page's links and the page's pictures (files beside the page, read through the caller). The control records them into its own display list, moved by its scroll
// position, so what it paints stays a function of its state and the renderer needs nothing
// new. Without the renderer library (headless processes) nothing is laid out.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Canvas.h"

namespace platform::display {

struct PageLink {
    RECT rect;    // page coordinates
    String href;  // as written in the page
};

// A picture of the page (an <img>, a background image) as drawn: scaled to its box,
// 0xAARRGGBB straight alpha, top row first.
struct PagePicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

struct PageLayout {
    int width = 0;   // the width it was laid out for
    int height = 0;  // the height of the content
    // The width of the content: more than `width` where a word or a table does not fit.
    int contentWidth = 0;
    // DrawOp::Image items name a picture by imageIndex and stand at from.
    DisplayList items;
    std::vector<PageLink> links;
    std::vector<PagePicture> pictures;
    // Given by the caller (and kept by the layout): the bytes of a picture's file, named as the
    // page writes it; PNG and BMP files are drawn. A picture that cannot be read takes no room.
    std::function<bool(const String& src, std::vector<Byte>* bytes)> readPicture;
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
