#include "platform/display/Page.h"

#include <set>

#include "platform/display/Library.h"

namespace platform::display {

namespace {

std::set<HWND>& Awaiting() {
    static std::set<HWND> windows;  // GUI thread only
    return windows;
}

}  // namespace

bool CanLayoutPages() { return library::IsOpen(); }

void NotePageAwaitingRenderer(HWND hwnd) { Awaiting().insert(hwnd); }

void RepaintPagesAwaitingRenderer() {
    if (!CanLayoutPages()) return;
    for (HWND hwnd : Awaiting())
        if (IsWindow(hwnd)) InvalidateRect(hwnd, nullptr, TRUE_);
    Awaiting().clear();
}

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
