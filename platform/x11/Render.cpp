#include "Render.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace platform::x11 {
namespace {

using display::Scene;
using display::SceneLayer;

void SetColor(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void FillBox(cairo_t* cr, double x, double y, double w, double h, COLORREF c) {
    if (w <= 0 || h <= 0) return;
    SetColor(cr, c);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void FillRect(cairo_t* cr, const RECT& r, COLORREF c) { FillBox(cr, r.left, r.top, r.right - r.left, r.bottom - r.top, c); }

// A one-pixel frame just inside r.
void Frame(cairo_t* cr, const RECT& r, COLORREF c) {
    LONG w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    FillBox(cr, r.left, r.top, w, 1, c);
    FillBox(cr, r.left, r.bottom - 1, w, 1, c);
    FillBox(cr, r.left, r.top, 1, h, c);
    FillBox(cr, r.right - 1, r.top, 1, h, c);
}

bool IsMonospace(const String& face) {
    String f = face;
    std::transform(f.begin(), f.end(), f.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return f.find("courier") != String::npos || f.find("mono") != String::npos || f.find("fixed") != String::npos ||
           f.find("console") != String::npos;
}

// Pango font descriptions by the layer's font, made once each.
PangoFontDescription* Describe(const FontSpec& font) {
    struct Key {
        bool mono;
        int height, weight;
        bool italic;
        bool operator<(const Key& o) const {
            return std::tie(mono, height, weight, italic) < std::tie(o.mono, o.height, o.weight, o.italic);
        }
    };
    static std::map<Key, PangoFontDescription*> cache;
    Key key{IsMonospace(font.name), font.height ? font.height : kDefaultFontHeight, font.weight, font.italic};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, key.mono ? "Monospace" : "Sans");
    // The character height is the em size; a cell height holds some leading above it.
    int pixels = key.height < 0 ? -key.height : std::max(1, key.height * 4 / 5);
    pango_font_description_set_absolute_size(d, pixels * PANGO_SCALE);
    pango_font_description_set_weight(d, key.weight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, key.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    cache.emplace(key, d);
    return d;
}

// One layout for measuring, on a context of its own (no surface needed).
PangoLayout* MeasureLayout() {
    static PangoLayout* layout = [] {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoContext* context = pango_font_map_create_context(map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        return pango_layout_new(context);
    }();
    return layout;
}

void SetUp(PangoLayout* layout, const FontSpec& font, std::string_view text) {
    pango_layout_set_font_description(layout, Describe(font));
    // Text that is not UTF-8 is shown byte by byte rather than not at all.
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    } else {
        gchar* fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        pango_layout_set_text(layout, fixed, -1);
        g_free(fixed);
    }
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
}

void DrawText(cairo_t* cr, PangoLayout* layout, const DrawItem& item) {
    SetUp(layout, item.font, item.text);
    cairo_save(cr);
    if (item.rect.right > item.rect.left && item.rect.bottom > item.rect.top) {
        cairo_rectangle(cr, item.rect.left, item.rect.top, item.rect.right - item.rect.left, item.rect.bottom - item.rect.top);
        cairo_clip(cr);
    }
    if (item.opaque) {
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        FillBox(cr, item.from.x, item.from.y, w, h, item.bkColor);
    }
    SetColor(cr, item.textColor);
    cairo_move_to(cr, item.from.x, item.from.y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
}

void DrawImage(cairo_t* cr, const DrawItem& item) {
    display::ImagePixels image;
    if (!display::LookupImage(item.imageList, item.imageIndex, item.enabled, &image) || image.width <= 0) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    cairo_surface_flush(s);
    auto* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t p = image.argb[static_cast<std::size_t>(y) * image.width + x];
            row[x] = (p >> 24) ? p : 0;  // opaque or fully transparent: premultiplied as it is
        }
    }
    cairo_surface_mark_dirty(s);
    cairo_set_source_surface(cr, s, item.from.x, item.from.y);
    cairo_paint(cr);
    cairo_surface_destroy(s);
}

// Horizontal and vertical lines fill whole pixels, without the end point, as GDI draws them.
void DrawLine(cairo_t* cr, const DrawItem& item) {
    POINT a = item.from, b = item.to;
    if (a.y == b.y) {
        FillBox(cr, std::min(a.x, b.x) + (b.x < a.x ? 1 : 0), a.y, std::abs(b.x - a.x), 1, item.color);
    } else if (a.x == b.x) {
        FillBox(cr, a.x, std::min(a.y, b.y) + (b.y < a.y ? 1 : 0), 1, std::abs(b.y - a.y), item.color);
    } else {
        SetColor(cr, item.color);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, a.x + 0.5, a.y + 0.5);
        cairo_line_to(cr, b.x + 0.5, b.y + 0.5);
        cairo_stroke(cr);
    }
}

// The dotted focus frame, inverting what is beneath as the system's does.
void DrawFocus(cairo_t* cr, const RECT& r) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    LONG w = r.right - r.left, h = r.bottom - r.top;
    for (LONG x = 0; x < w; x += 2) {
        cairo_rectangle(cr, r.left + x, r.top, 1, 1);
        if (h > 1) cairo_rectangle(cr, r.left + x, r.bottom - 1, 1, 1);
    }
    for (LONG y = 2; y < h - 1; y += 2) {
        cairo_rectangle(cr, r.left, r.top + y, 1, 1);
        if (w > 1) cairo_rectangle(cr, r.right - 1, r.top + y, 1, 1);
    }
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawItems(cairo_t* cr, PangoLayout* layout, const DisplayList& list) {
    for (const DrawItem& item : list) {
        switch (item.op) {
            case DrawOp::FillRect: FillRect(cr, item.rect, item.color); break;
            case DrawOp::FrameRect: Frame(cr, item.rect, item.color); break;
            case DrawOp::Rectangle:
                if (!item.brushClear) FillRect(cr, item.rect, item.color);
                Frame(cr, item.rect, item.penColor);
                break;
            case DrawOp::Line: DrawLine(cr, item); break;
            case DrawOp::Text: DrawText(cr, layout, item); break;
            case DrawOp::Image: DrawImage(cr, item); break;
            case DrawOp::FocusRect: DrawFocus(cr, item.rect); break;
        }
    }
}

// The non-client frame of a child window: a flat line, and inside a sunken edge the field's
// own white.
void DrawFrame(cairo_t* cr, const SceneLayer& layer) {
    const RECT& f = layer.frame;
    const RECT& in = layer.insets;
    if (!in.left && !in.top && !in.right && !in.bottom) return;
    RECT inner{f.left + in.left, f.top + in.top, f.right - in.right, f.bottom - in.bottom};
    FillBox(cr, f.left, f.top, f.right - f.left, in.top, RGB(255, 255, 255));
    FillBox(cr, f.left, inner.bottom, f.right - f.left, in.bottom, RGB(255, 255, 255));
    FillBox(cr, f.left, inner.top, in.left, inner.bottom - inner.top, RGB(255, 255, 255));
    FillBox(cr, inner.right, inner.top, in.right, inner.bottom - inner.top, RGB(255, 255, 255));
    Frame(cr, f, layer.clientEdge ? RGB(130, 135, 144) : RGB(173, 173, 173));
}

void Clip(cairo_t* cr, const RECT& r) {
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
}

}  // namespace

void RenderScene(const Scene& scene, cairo_t* cr) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    FillBox(cr, 0, 0, scene.width, scene.height, scene.background);
    for (const SceneLayer& layer : scene.layers) {
        if (layer.frameClip.right > layer.frameClip.left) {
            cairo_save(cr);
            Clip(cr, layer.frameClip);
            DrawFrame(cr, layer);
            cairo_restore(cr);
        }
        if (layer.clip.right <= layer.clip.left || layer.clip.bottom <= layer.clip.top || !layer.list) continue;
        cairo_save(cr);
        Clip(cr, layer.clip);
        cairo_translate(cr, layer.origin.x, layer.origin.y);
        DrawItems(cr, layout, *layer.list);
        cairo_restore(cr);
    }
    cairo_restore(cr);
    g_object_unref(layout);
}

PangoFontDescription* FontDescription(const FontSpec& font) { return Describe(font); }

SIZE MeasureText(const FontSpec& font, std::string_view text) {
    PangoLayout* layout = MeasureLayout();
    SetUp(layout, font, text);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    return SIZE{w, h};
}

}  // namespace platform::x11

// ---- entry points for the layer (no X connection needed)

extern "C" __attribute__((visibility("default"))) bool TarvikRenderScene(const platform::display::Scene* scene,
                                                                         std::uint32_t* argb, int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(argb), CAIRO_FORMAT_ARGB32,
                                                             width, height, width * 4);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return false;
    cairo_t* cr = cairo_create(s);
    platform::x11::RenderScene(*scene, cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    cairo_surface_destroy(s);
    return true;
}

extern "C" __attribute__((visibility("default"))) bool TarvikWritePng(const char* path, const std::uint32_t* argb,
                                                                      int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride, argb + static_cast<std::ptrdiff_t>(y) * width,
                    static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(s);
    bool ok = cairo_surface_write_to_png(s, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

extern "C" __attribute__((visibility("default"))) bool TarvikReadPng(const char* path, std::uint32_t** argb, int* width,
                                                                     int* height) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return false;
    }
    // Drawn onto an opaque surface, so every format reads the same.
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    cairo_surface_t* rgb = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(rgb);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(rgb);
    auto* out = new std::uint32_t[static_cast<std::size_t>(w) * static_cast<std::size_t>(h)];
    unsigned char* data = cairo_image_surface_get_data(rgb);
    int stride = cairo_image_surface_get_stride(rgb);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) out[static_cast<std::size_t>(y) * w + x] = row[x] | 0xFF000000u;
    }
    cairo_surface_destroy(rgb);
    cairo_surface_destroy(s);
    *argb = out;
    *width = w;
    *height = h;
    return true;
}

extern "C" __attribute__((visibility("default"))) void TarvikFreePixels(std::uint32_t* argb) { delete[] argb; }
