#include "platform/display/Page.h"

#include "platform/display/Library.h"

namespace platform::display {

bool CanLayoutPages() { return library::IsOpen(); }

bool LayoutPage(const String& html, int width, PageLayout* out) {
    if (!CanLayoutPages() || !out) return false;
    auto layout = library::Entry<library::LayoutPageFn>("TarvikLayoutPage");
    return layout && layout(html.c_str(), width, out);
}

const PageLink* LinkAt(const PageLayout& layout, POINT point) {
    for (const PageLink& link : layout.links)
        if (PtInRect(&link.rect, point)) return &link;
    return nullptr;
}

}  // namespace platform::display
