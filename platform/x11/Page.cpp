// The web-browser control's page layout: a litehtml document container that measures with the
// renderer's pango fonts and draws into plain display-list items (see platform/display/Page.h).
#include <litehtml/litehtml.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/Graphics.h"
#include "platform/Streams.h"
#include "platform/display/Page.h"
#include "Render.h"

namespace platform::x11 {
namespace {

// What a browser assumes before any page style: block elements, heading sizes, list and table
// defaults, monospace pre and code, and blue underlined links.
constexpr const char* kMasterCss = R"css(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset, h1, h2, h3, h4, h5, h6,
noframes, ol, p, ul, center, dir, hr, menu, pre { display: block; }
head, style, script, title, meta, link { display: none; }
li { display: list-item; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
tr { display: table-row; vertical-align: middle; }
thead { display: table-header-group; }
tbody { display: table-row-group; }
tfoot { display: table-footer-group; }
col { display: table-column; }
td, th { display: table-cell; padding: 2px 4px; vertical-align: inherit; text-align: left; }
th { font-weight: bold; }
caption { display: table-caption; text-align: center; }
body { margin: 8px; color: black; }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4, p, blockquote, ul, ol, dl { margin: 1em 0; }
h4 { font-weight: bold; }
h5 { font-size: .83em; margin: 1.5em 0; font-weight: bold; }
h6 { font-size: .75em; margin: 1.67em 0; font-weight: bold; }
b, strong { font-weight: bold; }
i, em, cite, var, address { font-style: italic; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; margin: 1em 0; }
ol, ul, dir, menu, dd { margin-left: 40px; }
ol { list-style-type: decimal; }
ul { list-style-type: disc; }
ol ul, ul ol, ul ul, ol ol { margin-top: 0; margin-bottom: 0; }
u, ins { text-decoration: underline; }
hr { border: 1px inset; margin: .5em 0; }
br { display: block; }
a:link, a[href] { color: #0645ad; text-decoration: underline; cursor: pointer; }
center { text-align: center; }
img { display: inline-block; }
)css";

using display::PagePicture;

// PNG through cairo, BMP through the layer's bitmap; anything else is no picture.
PagePicture DecodePicture(const std::vector<Byte>& bytes) {
    PagePicture out;
    static const Byte kPngSignature[] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() > 8 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), bytes.begin())) {
        struct Reader {
            const std::vector<Byte>* bytes;
            std::size_t at = 0;
        } reader{&bytes};
        auto read = [](void* closure, unsigned char* data, unsigned int length) -> cairo_status_t {
            auto* r = static_cast<Reader*>(closure);
            if (r->bytes->size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(data, r->bytes->data() + r->at, length);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        };
        cairo_surface_t* s = cairo_image_surface_create_from_png_stream(read, &reader);
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(s),
                                                               cairo_image_surface_get_height(s));
            cairo_t* cr = cairo_create(argb);
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_flush(argb);
            out.width = cairo_image_surface_get_width(argb);
            out.height = cairo_image_surface_get_height(argb);
            const unsigned char* data = cairo_image_surface_get_data(argb);
            const int stride = cairo_image_surface_get_stride(argb);
            out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
            for (int y = 0; y < out.height; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
                for (int x = 0; x < out.width; ++x) {
                    // Cairo keeps alpha premultiplied; pictures are straight.
                    std::uint32_t p = row[x], a = p >> 24;
                    if (a != 0 && a != 255) {
                        auto un = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, c * 255 / a); };
                        p = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
                    }
                    out.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)] = p;
                }
            }
            cairo_surface_destroy(argb);
        }
        cairo_surface_destroy(s);
        return out;
    }
    if (bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        try {
            TMemoryStream stream;
            stream.Write(bytes.data(), static_cast<Integer>(bytes.size()));
            stream.SetPosition(0);
            TBitmap bitmap;
            bitmap.LoadFromStream(stream);
            out.width = bitmap.Width();
            out.height = bitmap.Height();
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width; ++x) {
                    auto c = static_cast<COLORREF>(bitmap.Pixel(x, y));
                    out.argb.push_back(0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
                }
        } catch (const Exception&) {
            out = PagePicture{};  // a damaged file draws nothing
        }
    }
    return out;
}

// The picture at the size its box gives it (nearest pixel).
PagePicture Scaled(const PagePicture& from, int width, int height) {
    if (from.width == width && from.height == height) return from;
    PagePicture out;
    out.width = width;
    out.height = height;
    out.argb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                from.argb[static_cast<std::size_t>(y * from.height / height) * static_cast<std::size_t>(from.width) +
                          static_cast<std::size_t>(x * from.width / width)];
    return out;
}

COLORREF ColorOf(const litehtml::web_color& c) { return RGB(c.red, c.green, c.blue); }

RECT RectOf(const litehtml::position& p) { return RECT{p.x, p.y, p.x + p.width, p.y + p.height}; }

bool IsMonospaceFace(const char* face) {
    String f = face ? face : "";
    std::transform(f.begin(), f.end(), f.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return f.find("mono") != String::npos || f.find("courier") != String::npos || f.find("consol") != String::npos;
}

class Container : public litehtml::document_container {
public:
    Container(int width, display::PageLayout* out) : width_(width), out_(out) {}
    virtual ~Container() = default;

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight, litehtml::font_style italic,
                                   unsigned int decoration, litehtml::font_metrics* fm) override {
        FontSpec font;
        font.name = IsMonospaceFace(faceName) ? "Monospace" : "Sans";
        font.height = -std::max(size, 1);
        font.weight = weight;
        font.italic = italic == litehtml::fontStyleItalic;
        font.underline = (decoration & litehtml::font_decoration_underline) != 0;
        font.strikeOut = (decoration & litehtml::font_decoration_linethrough) != 0;
        fonts_.push_back(font);
        if (fm) {
            static PangoLayout* layout = pango_layout_new(pango_font_map_create_context(pango_cairo_font_map_get_default()));
            pango_layout_set_font_description(layout, FontDescription(font));
            pango_layout_set_text(layout, "x", 1);
            PangoRectangle ink, logical;
            pango_layout_get_pixel_extents(layout, &ink, &logical);
            fm->height = logical.height;
            fm->ascent = pango_layout_get_baseline(layout) / PANGO_SCALE;
            fm->descent = fm->height - fm->ascent;
            fm->x_height = ink.height > 0 ? ink.height : fm->ascent / 2;
            fm->draw_spaces = font.underline || font.strikeOut;
        }
        return fonts_.size();
    }
    void delete_font(litehtml::uint_ptr) override {}
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) override {
        return MeasureText(Font(font), text).cx;
    }
    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr font, litehtml::web_color color,
                   const litehtml::position& pos) override {
        DrawItem item;
        item.op = DrawOp::Text;
        item.from = POINT{pos.x, pos.y};
        item.text = text;
        item.textColor = ColorOf(color);
        item.font = Font(font);
        out_->items.push_back(std::move(item));
        out_->contentWidth = std::max(out_->contentWidth, pos.x + pos.width);
    }
    int pt_to_px(int pt) const override { return pt * 96 / 72; }
    int get_default_font_size() const override { return 13; }
    const litehtml::tchar_t* get_default_font_name() const override { return "Sans"; }
    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override {
        // Numbered markers come through draw_text; these are the bullets.
        if (marker.marker_type == litehtml::list_style_type_none) return;
        RECT r = RectOf(marker.pos);
        if (marker.marker_type == litehtml::list_style_type_disc) {
            // The font's own bullet, round as a browser draws it, centred in the marker box.
            DrawItem item;
            item.op = DrawOp::Text;
            item.text = "\u2022";
            item.font = Font(marker.font);
            item.textColor = ColorOf(marker.color);
            SIZE size = MeasureText(item.font, item.text);
            item.from = POINT{r.left + (r.right - r.left - size.cx) / 2, r.top + (r.bottom - r.top - size.cy) / 2};
            out_->items.push_back(std::move(item));
            return;
        }
        int side = std::max<int>(3, (r.bottom - r.top) / 2);
        RECT b{r.left + (r.right - r.left - side) / 2, r.top + (r.bottom - r.top - side) / 2, 0, 0};
        b.right = b.left + side;
        b.bottom = b.top + side;
        Fill(b, ColorOf(marker.color), marker.marker_type == litehtml::list_style_type_circle ? DrawOp::FrameRect : DrawOp::FillRect);
    }
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) override { Picture(src); }
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*, litehtml::size& sz) override {
        const PagePicture& picture = Picture(src);
        sz.width = picture.width;
        sz.height = picture.height;
    }
    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override {
        if (bg.color.alpha != 0) Fill(RectOf(bg.clip_box), ColorOf(bg.color), DrawOp::FillRect);
        if (bg.image.empty()) return;
        const PagePicture& picture = Picture(bg.image.c_str());
        if (picture.width <= 0) return;
        const int w = bg.image_size.width > 0 ? bg.image_size.width : picture.width;
        const int h = bg.image_size.height > 0 ? bg.image_size.height : picture.height;
        DrawItem item;
        item.op = DrawOp::Image;
        item.from = POINT{bg.position_x, bg.position_y};
        item.rect = RECT{bg.position_x, bg.position_y, bg.position_x + w, bg.position_y + h};
        item.imageIndex = static_cast<int>(out_->pictures.size());
        out_->pictures.push_back(Scaled(picture, w, h));
        out_->contentWidth = std::max<int>(out_->contentWidth, item.rect.right);
        out_->items.push_back(std::move(item));
    }
    void draw_borders(litehtml::uint_ptr, const litehtml::borders& b, const litehtml::position& pos, bool) override {
        auto visible = [](const litehtml::border& side) {
            return side.width > 0 && side.style != litehtml::border_style_none && side.style != litehtml::border_style_hidden;
        };
        const int l = pos.left(), t = pos.top(), r = pos.right(), btm = pos.bottom();
        if (visible(b.top)) Fill(RECT{l, t, r, t + b.top.width}, ColorOf(b.top.color), DrawOp::FillRect);
        if (visible(b.bottom)) Fill(RECT{l, btm - b.bottom.width, r, btm}, ColorOf(b.bottom.color), DrawOp::FillRect);
        if (visible(b.left)) Fill(RECT{l, t, l + b.left.width, btm}, ColorOf(b.left.color), DrawOp::FillRect);
        if (visible(b.right)) Fill(RECT{r - b.right.width, t, r, btm}, ColorOf(b.right.color), DrawOp::FillRect);
    }
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
        if (tt == litehtml::text_transform_uppercase)
            for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (tt == litehtml::text_transform_lowercase)
            for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    // Pages are self-contained (styles inline); nothing is fetched.
    void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}
    void set_clip(const litehtml::position&, const litehtml::border_radiuses&, bool, bool) override {}
    void del_clip() override {}
    void get_client_rect(litehtml::position& client) const override {
        client = litehtml::position(0, 0, width_, 1 << 20);
    }
    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
                                                      const std::shared_ptr<litehtml::document>&) override {
        return nullptr;
    }
    void get_media_features(litehtml::media_features& media) const override {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = width_;
        media.height = media.device_height = 768;
        media.color = 8;
        media.monochrome = 0;
        media.color_index = 256;
        media.resolution = 96;
    }
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
        language = "en";
        culture.clear();
    }

private:
    // A picture by its name in the page, decoded once per layout (an empty one when it cannot be
    // read or decoded).
    const PagePicture& Picture(const char* src) {
        auto [it, added] = pictures_.try_emplace(src ? src : "");
        std::vector<Byte> bytes;
        if (added && out_->readPicture && out_->readPicture(it->first, &bytes)) it->second = DecodePicture(bytes);
        return it->second;
    }
    const FontSpec& Font(litehtml::uint_ptr font) const {
        static const FontSpec fallback;
        return font >= 1 && font <= fonts_.size() ? fonts_[font - 1] : fallback;
    }
    void Fill(const RECT& r, COLORREF color, DrawOp op) {
        if (r.right <= r.left || r.bottom <= r.top) return;
        DrawItem item;
        item.op = op;
        item.rect = r;
        item.color = color;
        out_->items.push_back(item);
        out_->contentWidth = std::max<int>(out_->contentWidth, r.right);
    }

    int width_;
    display::PageLayout* out_;
    std::vector<FontSpec> fonts_;
    std::map<String, PagePicture> pictures_;
};

// The boxes of an element's words, in document coordinates (get_placement adds up the parents'
// positions; inline boxes are relative to the containing block).
void CollectWordBoxes(const litehtml::element::ptr& el, const String& href, std::vector<display::PageLink>& links) {
    if (el->get_children_count() == 0) {
        litehtml::position box = el->get_placement();
        if (box.width > 0 && box.height > 0) links.push_back(display::PageLink{RectOf(box), href});
        return;
    }
    for (std::size_t i = 0; i < el->get_children_count(); ++i) CollectWordBoxes(el->get_child(static_cast<int>(i)), href, links);
}

// Collects the boxes of every <a href>.
void CollectLinks(const litehtml::element::ptr& el, std::vector<display::PageLink>& links) {
    if (!el) return;
    const char* tag = el->get_tagName();
    const char* href = el->get_attr("href");
    if (tag && href && std::string_view(tag) == "a") {
        CollectWordBoxes(el, href, links);
        return;
    }
    for (std::size_t i = 0; i < el->get_children_count(); ++i) CollectLinks(el->get_child(static_cast<int>(i)), links);
}

}  // namespace
}  // namespace platform::x11

extern "C" __attribute__((visibility("default"))) bool TarvikLayoutPage(const char* html, int width,
                                                                        platform::display::PageLayout* out) {
    using namespace platform::x11;
    static litehtml::context* context = [] {
        auto* c = new litehtml::context;  // kept for the process: documents share its master style
        c->load_master_stylesheet(kMasterCss);
        return c;
    }();
    auto readPicture = std::move(out->readPicture);
    *out = platform::display::PageLayout{};
    out->readPicture = std::move(readPicture);
    out->width = std::max(width, 1);
    Container container(out->width, out);
    litehtml::document::ptr doc = litehtml::document::createFromUTF8(html, &container, context);
    if (!doc) return false;
    doc->render(out->width);
    litehtml::position clip(0, 0, std::max(out->width, doc->width()), doc->height());
    doc->draw(0, 0, 0, &clip);
    out->height = doc->height();
    out->contentWidth = std::max(out->contentWidth, out->width);
    CollectLinks(doc->root(), out->links);
    return true;
}
