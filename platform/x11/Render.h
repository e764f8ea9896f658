// Composition of a scene with cairo and pango, and text metrics with the same fonts.
//
// Used by the X11 backend for its windows and, without any X connection, by RenderToImage.
// The layer's fonts map onto the desktop's: every proportional face becomes the fontconfig
// "Sans" family, fixed-pitch faces "Monospace"; a negative height is the character height in
// pixels, a positive one the cell height.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <optional>
#include <string_view>

#include "platform/display/Scene.h"

namespace platform::x11 {

void RenderScene(const display::Scene& scene, cairo_t* cr);
SIZE MeasureText(const FontSpec& font, std::string_view text);
// The pango face the layer's font maps onto (owned by a cache; never freed).
PangoFontDescription* FontDescription(const FontSpec& font);

}  // namespace platform::x11
