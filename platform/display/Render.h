// Rendering a window into an image without any X server, for tests and tools.
//
// The composition is the X11 backend's own (the same library, never connected to a display),
// so what a test probes here is what a person sees. Images are 0xAARRGGBB, top row first.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Windows.h"

namespace platform::display {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;

    // The pixel as a COLORREF (RGB order of the layer); out of range reads as black.
    COLORREF At(int x, int y) const;
};

// Paints what is pending (the queue's WM_PAINT for every invalid window) and renders the
// top-level window of hwnd into *out. False when the renderer library cannot be loaded.
bool RenderToImage(HWND hwnd, Image* out);
bool WritePng(const Image& image, const String& path);
bool ReadPng(const String& path, Image* out);

// Compares two images pixel by pixel: a pixel differs when a channel differs by more than
// channelTolerance. Returns the count of differing pixels (every pixel when sizes differ) and
// writes, when diff is given, an image that shows the differing pixels red on grey.
int CompareImages(const Image& expected, const Image& actual, int channelTolerance, Image* diff = nullptr);

}  // namespace platform::display
