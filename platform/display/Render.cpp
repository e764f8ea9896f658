#include "platform/display/Render.h"

#include <algorithm>
#include <cstdlib>

#include "platform/display/Library.h"
#include "platform/display/Page.h"
#include "platform/display/Scene.h"

namespace platform::display {

COLORREF Image::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool RenderToImage(HWND hwnd, Image* out) {
    auto render = library::Entry<library::RenderSceneFn>("TarvikRenderScene");
    if (!render || !out) return false;
    RepaintPagesAwaitingRenderer();
    // Paint what waits to be painted, as the display does before the queue waits.
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageA(&msg);
    HWND top = hwnd;
    while (HWND p = (GetWindowLongA(top, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) ? GetParent(top) : nullptr) top = p;
    Scene scene = BuildScene(top);
    out->width = scene.width;
    out->height = scene.height;
    out->argb.assign(static_cast<std::size_t>(std::max(scene.width, 0)) * static_cast<std::size_t>(std::max(scene.height, 0)), 0);
    if (scene.width <= 0 || scene.height <= 0) return true;
    return render(&scene, out->argb.data(), scene.width, scene.height);
}

bool WritePng(const Image& image, const String& path) {
    auto write = library::Entry<library::WritePngFn>("TarvikWritePng");
    return write && write(path.c_str(), image.argb.data(), image.width, image.height);
}

bool ReadPng(const String& path, Image* out) {
    auto read = library::Entry<library::ReadPngFn>("TarvikReadPng");
    auto release = library::Entry<library::FreePixelsFn>("TarvikFreePixels");
    if (!read || !release || !out) return false;
    std::uint32_t* pixels = nullptr;
    int w = 0, h = 0;
    if (!read(path.c_str(), &pixels, &w, &h)) return false;
    out->width = w;
    out->height = h;
    out->argb.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    release(pixels);
    return true;
}

int CompareImages(const Image& expected, const Image& actual, int channelTolerance, Image* diff) {
    const bool sameSize = expected.width == actual.width && expected.height == actual.height;
    if (diff) {
        diff->width = actual.width;
        diff->height = actual.height;
        diff->argb.assign(actual.argb.size(), 0xFF000000u);
    }
    if (!sameSize) return std::max(expected.width * expected.height, actual.width * actual.height);
    int count = 0;
    for (std::size_t i = 0; i < actual.argb.size(); ++i) {
        std::uint32_t a = expected.argb[i], b = actual.argb[i];
        bool differs = false;
        for (int shift = 0; shift < 24; shift += 8) {
            int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
            if (std::abs(ca - cb) > channelTolerance) differs = true;
        }
        count += differs ? 1 : 0;
        if (diff) {
            std::uint32_t grey = (((b >> 16) & 0xFF) + ((b >> 8) & 0xFF) + (b & 0xFF)) / 6 + 100;
            diff->argb[i] = differs ? 0xFFFF0000u : (0xFF000000u | (grey << 16) | (grey << 8) | grey);
        }
    }
    return count;
}

}  // namespace platform::display
