// The X11 backend library, loaded on demand (internal to the layer).
//
// libTarvikX11.so sits beside the layer's own library. It is opened at most once per process,
// only when the X11 backend is chosen or a window is rendered into an image; its entry points
// are plain C names looked up here.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace platform::display {

class Backend;
struct Scene;
struct PageLayout;

namespace library {

// Entry points of libTarvikX11.so.
using CreateBackendFn = Backend* (*)(const char* displayName, char* error, int errorSize);
using RenderSceneFn = bool (*)(const Scene* scene, std::uint32_t* argb, int width, int height);
using WritePngFn = bool (*)(const char* path, const std::uint32_t* argb, int width, int height);
using ReadPngFn = bool (*)(const char* path, std::uint32_t** argb, int* width, int* height);
using FreePixelsFn = void (*)(std::uint32_t* argb);
using LayoutPageFn = bool (*)(const char* html, int width, PageLayout* out);

// The library's handle (nullptr when it cannot be opened; *error says why).
void* Open(String* error = nullptr);
// True when the library has been opened (never opens it).
bool IsOpen();
// A named entry point, or nullptr.
void* Symbol(const char* name);

template <typename Fn>
Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(Symbol(name));
}

}  // namespace library
}  // namespace platform::display
