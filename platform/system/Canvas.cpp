#include "platform/Canvas.h"

#include <cstdlib>
#include <vector>

#include "platform/display/Hooks.h"

namespace platform {

bool operator==(const FontSpec& a, const FontSpec& b) {
    return a.name == b.name && a.height == b.height && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.color == b.color;
}

int FontCellHeight(int height) {
    if (height == 0) height = kDefaultFontHeight;
    return height < 0 ? -height + 2 : height;
}

int FontCharWidth(int height) { return (FontCellHeight(height) + 1) / 2; }

int TextCharCount(std::string_view text) {
    int count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;  // continuation bytes belong to the character before
    return count;
}

SIZE TextExtent(const FontSpec& font, std::string_view text) {
    if (auto measured = display::DisplayTextExtent(font, text)) return *measured;
    return SIZE{TextCharCount(text) * FontCharWidth(font.height), FontCellHeight(font.height)};
}

String EllipsizeText(const FontSpec& font, std::string_view text, int width) {
    if (TextExtent(font, text).cx <= width) return String(text);
    static constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026
    if (TextExtent(font, kEllipsis).cx > width) return String();
    // The byte offsets where characters start; a start of k characters ends at starts[k].
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    if (starts.empty()) return String(kEllipsis);  // malformed text: no character starts in it
    auto fits = [&](std::size_t count) {
        String cut(text.substr(0, starts[count]));
        cut += kEllipsis;
        return TextExtent(font, cut).cx <= width;
    };
    // Widths grow with the characters kept: the longest start that fits is found by halving.
    std::size_t lo = 0, hi = starts.size() - 1;  // the whole text does not fit, so fewer are kept
    while (lo < hi) {
        std::size_t mid = (lo + hi + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    String cut(text.substr(0, starts[lo]));
    return cut + String(kEllipsis);
}

Canvas::~Canvas() = default;

namespace {

// A drawing of a box in the brush's colour.
DrawItem BoxItem(DrawOp op, const RECT& rect, COLORREF brushColor) {
    DrawItem item;
    item.op = op;
    item.rect = rect;
    item.color = brushColor;
    return item;
}

}  // namespace

void RecordingCanvas::FillRect(const RECT& rect) { list_->push_back(BoxItem(DrawOp::FillRect, rect, brushColor)); }

void RecordingCanvas::FrameRect(const RECT& rect) { list_->push_back(BoxItem(DrawOp::FrameRect, rect, brushColor)); }

void RecordingCanvas::Rectangle(const RECT& rect) {
    DrawItem item = BoxItem(DrawOp::Rectangle, rect, brushColor);
    item.brushClear = brushClear;
    item.penColor = penColor;
    list_->push_back(std::move(item));
}

void RecordingCanvas::LineTo(int x, int y) {
    DrawItem item;
    item.op = DrawOp::Line;
    item.from = penPos;
    item.to = POINT{x, y};
    item.color = penColor;
    list_->push_back(std::move(item));
    penPos = POINT{x, y};
}

DrawItem RecordingCanvas::TextItem(int x, int y, std::string_view text) const {
    DrawItem item;
    item.op = DrawOp::Text;
    item.from = POINT{x, y};
    item.text = String(text);
    item.textColor = textColor;
    item.bkColor = bkColor;
    item.opaque = bkMode == OPAQUE;
    item.font = font;
    return item;
}

void RecordingCanvas::TextOut(int x, int y, std::string_view text) { list_->push_back(TextItem(x, y, text)); }

void RecordingCanvas::TextRect(const RECT& clip, int x, int y, std::string_view text) {
    DrawItem item = TextItem(x, y, text);
    item.rect = clip;
    list_->push_back(std::move(item));
}

void RecordingCanvas::DrawImage(std::uintptr_t imageList, int index, int x, int y, bool enabled) {
    DrawItem item;
    item.op = DrawOp::Image;
    item.imageList = imageList;
    item.imageIndex = index;
    item.from = POINT{x, y};
    item.enabled = enabled;
    list_->push_back(std::move(item));
}

void RecordingCanvas::DrawFocusRect(const RECT& rect) {
    DrawItem item;
    item.op = DrawOp::FocusRect;
    item.rect = rect;
    list_->push_back(std::move(item));
}

}  // namespace platform
