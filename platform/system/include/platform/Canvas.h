// Drawing: one canvas interface, and the headless canvas that records a display list.
//
// Everything that paints (the component layer's TCanvas, the controls' paint code, the device
// contexts of the Win32 surface) draws through Canvas. Headless, each window keeps a display
// list of what would be drawn, with colours and fonts, and tests read it; a real display is
// one more Canvas implementation later. Fonts have fixed metrics so that layout is the same on
// every machine: a cell is |Height| + 2 pixels high for a negative Height (Height itself for a
// positive one), and every character is ceil(cell / 2) pixels wide.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Windows.h"

namespace platform {

// The default font: 8 point at 96 dpi.
inline constexpr int kDefaultFontHeight = -11;

struct FontSpec {
    String name = "MS Sans Serif";
    int height = kDefaultFontHeight;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    COLORREF color = 0;  // text colour the component layer carries with its fonts
};
bool operator==(const FontSpec& a, const FontSpec& b);

// Fixed metrics (see the header comment); height 0 means the default font.
int FontCellHeight(int height);
int FontCharWidth(int height);
// Characters are counted as UTF-8 code points.
int TextCharCount(std::string_view text);
SIZE TextExtent(const FontSpec& font, std::string_view text);
// Text cut to a width, as lists and headers show a cell too narrow for it: the whole text when
// it fits, else its longest start that fits with "…" after it; just "…", or nothing, when even
// that is too wide. Cuts fall between characters, never inside one.
String EllipsizeText(const FontSpec& font, std::string_view text, int width);

enum class DrawOp { FillRect, FrameRect, Rectangle, Line, Text, Image, FocusRect };

struct DrawItem {
    DrawOp op = DrawOp::FillRect;
    RECT rect;               // FillRect, FrameRect, Rectangle, FocusRect; Text: clip (empty = none)
    POINT from;              // Line start; Text and Image position
    POINT to;                // Line end
    COLORREF color = 0;      // brush colour (fills, rectangle interior) or pen colour (lines, frames)
    COLORREF penColor = 0;   // Rectangle outline
    bool brushClear = false; // Rectangle without interior
    String text;             // Text
    COLORREF textColor = 0;
    COLORREF bkColor = 0;
    bool opaque = false;     // Text drawn on bkColor
    FontSpec font;           // Text
    std::uintptr_t imageList = 0;  // Image: the list's identity
    int imageIndex = -1;
    bool enabled = true;     // Image drawn normal or greyed
};

using DisplayList = std::vector<DrawItem>;

class Canvas {
public:
    virtual ~Canvas();

    // Drawing state, as the GDI device context keeps it.
    FontSpec font;
    COLORREF brushColor = RGB(255, 255, 255);
    bool brushClear = false;
    COLORREF penColor = 0;
    int penWidth = 1;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT penPos;

    virtual void FillRect(const RECT& rect) = 0;           // brush colour
    virtual void FrameRect(const RECT& rect) = 0;          // one-pixel frame in the brush colour
    virtual void Rectangle(const RECT& rect) = 0;          // pen outline, brush interior
    virtual void LineTo(int x, int y) = 0;                 // from penPos, moves it
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual void TextRect(const RECT& clip, int x, int y, std::string_view text) = 0;
    virtual void DrawImage(std::uintptr_t imageList, int index, int x, int y, bool enabled) = 0;
    virtual void DrawFocusRect(const RECT& rect) = 0;

    void MoveTo(int x, int y) { penPos = POINT{x, y}; }
    SIZE TextExtent(std::string_view text) const { return platform::TextExtent(font, text); }
    int TextWidth(std::string_view text) const { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) const { return TextExtent(text).cy; }
};

// The headless canvas: appends every drawing call to a display list.
class RecordingCanvas : public Canvas {
public:
    explicit RecordingCanvas(DisplayList& list) : list_(&list) {}
    void FillRect(const RECT& rect) override;
    void FrameRect(const RECT& rect) override;
    void Rectangle(const RECT& rect) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text) override;
    void TextRect(const RECT& clip, int x, int y, std::string_view text) override;
    void DrawImage(std::uintptr_t imageList, int index, int x, int y, bool enabled) override;
    void DrawFocusRect(const RECT& rect) override;

    DisplayList& List() { return *list_; }

private:
    DrawItem TextItem(int x, int y, std::string_view text) const;
    DisplayList* list_;
};

// The canvas behind a device context from GetDC/BeginPaint (nullptr for an unknown one).
Canvas* CanvasOf(HDC dc);
// What has been drawn on a window: BeginPaint starts the list afresh, GetDC adds to it.
DisplayList WindowDisplayList(HWND hwnd);
void ClearWindowDisplayList(HWND hwnd);
// The texts drawn on a window, in drawing order (a convenience for tests).
std::vector<String> WindowDisplayTexts(HWND hwnd);

}  // namespace platform
