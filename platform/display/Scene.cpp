#include "platform/display/Scene.h"

#include <algorithm>

#include "platform/ImgList.h"
#include "platform/detail/WindowTable.h"

namespace platform::display {
namespace {

using detail::WindowPtr;
using detail::WindowTable;

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return RECT{};
    return r;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// Adds w's visible children, bottom of the z-order first, each followed by its own children.
// originX/Y is w's client origin and clip w's visible client area, in top-level coordinates.
void AddChildren(Scene& scene, const detail::Window& w, POINT origin, const RECT& clip, bool enabled) {
    auto& table = WindowTable::Get();
    for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) {
        WindowPtr c = table.Find(*it);
        if (!c || c->state != detail::WindowState::Alive || !(c->style & WS_VISIBLE)) continue;
        RECT frame = c->rect;
        OffsetRect(&frame, origin.x, origin.y);
        RECT visibleFrame = Intersect(frame, clip);
        if (Empty(visibleFrame)) continue;
        RECT in = detail::FrameInsets(c->style, c->exStyle);
        RECT clientRect{frame.left + in.left, frame.top + in.top, frame.right - in.right, frame.bottom - in.bottom};
        SceneLayer layer;
        layer.hwnd = c->handle;
        layer.origin = POINT{clientRect.left, clientRect.top};
        layer.frame = frame;
        layer.insets = in;
        layer.clientEdge = (c->exStyle & WS_EX_CLIENTEDGE) != 0;
        layer.enabled = enabled && !(c->style & WS_DISABLED);
        layer.clip = Intersect(clientRect, clip);
        if (in.left || in.top || in.right || in.bottom) layer.frameClip = visibleFrame;
        layer.list = c->display;
        // A framed child whose client area is covered still shows its frame.
        if (!Empty(layer.clip) || in.left || in.top) {
            if (Empty(layer.clip)) layer.clip = RECT{};
            scene.layers.push_back(layer);
        }
        if (!Empty(layer.clip)) AddChildren(scene, *c, layer.origin, layer.clip, layer.enabled);
    }
}

}  // namespace

Scene BuildScene(HWND topLevel) {
    Scene scene;
    WindowPtr w = WindowTable::Get().Find(topLevel);
    if (!w || w->state != detail::WindowState::Alive) return scene;
    RECT client;
    GetClientRect(topLevel, &client);
    scene.width = client.right;
    scene.height = client.bottom;
    SceneLayer top;
    top.hwnd = topLevel;
    top.origin = POINT{0, 0};
    top.clip = client;
    top.frame = client;
    top.enabled = !(w->style & WS_DISABLED);
    top.list = w->display;
    scene.layers.push_back(top);
    // A disabled top-level (the owner of a modal form) still draws its children normally.
    AddChildren(scene, *w, top.origin, top.clip, true);
    return scene;
}

bool LookupImage(std::uintptr_t imageList, int index, bool enabled, ImagePixels* out) {
    TCustomImageList* list = TCustomImageList::FromHandle(reinterpret_cast<HIMAGELIST>(imageList));
    if (!list || index < 0 || index >= list->Count()) return false;
    TBitmap bitmap;
    list->GetBitmap(index, &bitmap);
    out->width = list->Width();
    out->height = list->Height();
    out->argb.assign(static_cast<std::size_t>(out->width) * static_cast<std::size_t>(out->height), 0);
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            if (list->IsTransparentPixel(index, x, y)) continue;
            auto c = static_cast<COLORREF>(bitmap.Pixel(x, y));
            std::uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (!enabled) {
                // Greyed as disabled items are: the brightness, lifted towards the face colour.
                std::uint32_t grey = (r * 30 + g * 59 + b * 11) / 100;
                r = g = b = 128 + grey / 2;
            }
            out->argb[static_cast<std::size_t>(y) * out->width + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return true;
}

}  // namespace platform::display
