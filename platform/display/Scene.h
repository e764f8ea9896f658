// What a renderer draws for one top-level window, and the pixels of images it draws.
//
// BuildScene flattens a top-level window into layers: the window itself first, then its
// visible children in z-order (bottom first), each with its display list, its client origin
// and its clip (the part of its client area its ancestors leave visible), all in the
// top-level's client coordinates. A child with a border gets its non-client frame drawn by
// the renderer. Renderers (the X11 backend, RenderToImage) read nothing else of the layer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Canvas.h"

namespace platform::display {

struct SceneLayer {
    HWND hwnd = nullptr;
    POINT origin;     // client origin
    RECT clip;        // visible client area; empty layers are left out
    RECT frame;       // the whole window rectangle (frame included)
    RECT frameClip;   // visible part of the frame (empty: no frame drawn)
    RECT insets;      // frame widths; all zero for a window without a frame
    bool clientEdge = false;  // sunken edge (WS_EX_CLIENTEDGE) rather than a flat border
    bool enabled = true;
    std::shared_ptr<const DisplayList> list;
};

struct Scene {
    int width = 0;
    int height = 0;
    COLORREF background = RGB(240, 240, 240);  // under anything nobody painted
    std::vector<SceneLayer> layers;
};

Scene BuildScene(HWND topLevel);

// An image of an image list (index >= 0), in 0xAARRGGBB straight alpha, greyed when !enabled.
struct ImagePixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};
bool LookupImage(std::uintptr_t imageList, int index, bool enabled, ImagePixels* out);

}  // namespace platform::display
