// Device contexts, drawing objects, system colours and rectangles on the headless desktop.
//
// A device context is a RecordingCanvas on its window's display list plus the objects
// selected into it. BeginPaint (Painting.cpp) starts the window's list afresh (a paint redraws
// everything); GetDC adds to it. Drawing objects are plain records: a font is a FontSpec, a
// brush and a pen a colour.
//
// This file sits below the window functions and the message queue: it reads a window's
// display list from the window table and never calls a window function or sends a message
// (see the layout note in CMakeLists.txt).
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <type_traits>

#include "platform/Canvas.h"
#include "platform/Style.h"
#include "platform/Windows.h"
#include "detail/WindowTable.h"
#include "platform/display/Hooks.h"

using platform::detail::WindowPtr;
using platform::detail::WindowState;
using platform::detail::WindowTable;

namespace {

enum class GdiKind { Font, Brush, Pen };

struct GdiObject {
    GdiKind kind = GdiKind::Brush;
    bool stock = false;
    platform::FontSpec font;
    COLORREF color = 0;
    bool clear = false;  // null brush or null pen
    int width = 1;
};

struct DeviceContext {
    HWND hwnd = nullptr;
    std::shared_ptr<platform::DisplayList> list;
    platform::RecordingCanvas canvas;
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    explicit DeviceContext(HWND h, std::shared_ptr<platform::DisplayList> l)
        : hwnd(h), list(std::move(l)), canvas(*list) {}
};

struct GdiState {
    std::mutex mutex;
    std::set<GdiObject*> objects;
    std::set<DeviceContext*> dcs;
};

GdiState& TheGdi() {
    static GdiState* state = new GdiState;
    return *state;
}

GdiObject* MakeStock(GdiKind kind, COLORREF color, bool clear) {
    auto* o = new GdiObject;
    o->kind = kind;
    o->stock = true;
    o->color = color;
    o->clear = clear;
    std::lock_guard lock(TheGdi().mutex);
    TheGdi().objects.insert(o);
    return o;
}

GdiObject* Object(HGDIOBJ h) {
    auto* o = reinterpret_cast<GdiObject*>(h);
    std::lock_guard lock(TheGdi().mutex);
    return TheGdi().objects.count(o) ? o : nullptr;
}

DeviceContext* Dc(HDC h) {
    auto* dc = reinterpret_cast<DeviceContext*>(h);
    std::lock_guard lock(TheGdi().mutex);
    return TheGdi().dcs.count(dc) ? dc : nullptr;
}

HGDIOBJ AsHandle(GdiObject* o) { return reinterpret_cast<HGDIOBJ>(o); }

HDC NewDc(HWND hwnd) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return nullptr;
    auto* dc = new DeviceContext(hwnd, w->display);
    dc->font = GetStockObject(DEFAULT_GUI_FONT);
    dc->brush = GetStockObject(WHITE_BRUSH);
    dc->pen = GetStockObject(BLACK_PEN);
    {
        std::lock_guard lock(TheGdi().mutex);
        TheGdi().dcs.insert(dc);
    }
    return reinterpret_cast<HDC>(dc);
}

void FreeDc(DeviceContext* dc) {
    // What was drawn reaches the display when the queue next waits.
    platform::display::NoteDamage(dc->hwnd);
    {
        std::lock_guard lock(TheGdi().mutex);
        TheGdi().dcs.erase(dc);
    }
    delete dc;
}

}  // namespace

namespace platform {

Canvas* CanvasOf(HDC dc) {
    DeviceContext* d = Dc(dc);
    return d ? &d->canvas : nullptr;
}

DisplayList WindowDisplayList(HWND hwnd) {
    WindowPtr w = WindowTable::Get().Find(hwnd);
    return w ? *w->display : DisplayList{};
}

void ClearWindowDisplayList(HWND hwnd) {
    if (WindowPtr w = WindowTable::Get().Find(hwnd)) w->display->clear();
}

std::vector<String> WindowDisplayTexts(HWND hwnd) {
    std::vector<String> out;
    for (const DrawItem& item : WindowDisplayList(hwnd))
        if (item.op == DrawOp::Text) out.push_back(item.text);
    return out;
}

}  // namespace platform

// ---- device contexts

HDC GetDC(HWND hwnd) { return NewDc(hwnd); }
HDC GetWindowDC(HWND hwnd) { return NewDc(hwnd); }

int ReleaseDC(HWND, HDC dc) {
    DeviceContext* d = Dc(dc);
    if (!d) return 0;
    FreeDc(d);
    return 1;
}

HWND WindowFromDC(HDC dc) {
    DeviceContext* d = Dc(dc);
    return d ? d->hwnd : nullptr;
}

// ---- drawing objects

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) return nullptr;
    auto* o = new GdiObject;
    o->kind = GdiKind::Font;
    o->font.name = String(font->lfFaceName, strnlen(font->lfFaceName, sizeof font->lfFaceName));
    o->font.height = font->lfHeight;
    o->font.weight = font->lfWeight ? font->lfWeight : FW_NORMAL;
    o->font.italic = font->lfItalic != 0;
    o->font.underline = font->lfUnderline != 0;
    o->font.strikeOut = font->lfStrikeOut != 0;
    std::lock_guard lock(TheGdi().mutex);
    TheGdi().objects.insert(o);
    return AsHandle(o);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* o = new GdiObject;
    o->kind = GdiKind::Brush;
    o->color = color;
    std::lock_guard lock(TheGdi().mutex);
    TheGdi().objects.insert(o);
    return AsHandle(o);
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto* o = new GdiObject;
    o->kind = GdiKind::Pen;
    o->color = color;
    o->clear = style == PS_NULL;
    o->width = width;
    std::lock_guard lock(TheGdi().mutex);
    TheGdi().objects.insert(o);
    return AsHandle(o);
}

HGDIOBJ GetStockObject(int index) {
    static GdiObject* whiteBrush = MakeStock(GdiKind::Brush, RGB(255, 255, 255), false);
    static GdiObject* blackBrush = MakeStock(GdiKind::Brush, RGB(0, 0, 0), false);
    static GdiObject* nullBrush = MakeStock(GdiKind::Brush, 0, true);
    static GdiObject* whitePen = MakeStock(GdiKind::Pen, RGB(255, 255, 255), false);
    static GdiObject* blackPen = MakeStock(GdiKind::Pen, RGB(0, 0, 0), false);
    static GdiObject* nullPen = MakeStock(GdiKind::Pen, 0, true);
    static GdiObject* guiFont = MakeStock(GdiKind::Font, 0, false);
    switch (index) {
        case WHITE_BRUSH: return AsHandle(whiteBrush);
        case BLACK_BRUSH: return AsHandle(blackBrush);
        case NULL_BRUSH: return AsHandle(nullBrush);
        case WHITE_PEN: return AsHandle(whitePen);
        case BLACK_PEN: return AsHandle(blackPen);
        case NULL_PEN: return AsHandle(nullPen);
        case DEFAULT_GUI_FONT: return AsHandle(guiFont);
        default: return nullptr;
    }
}

// The system colours are the style's palette, so colours named by their system name match
// the parts the style draws.
DWORD GetSysColor(int index) { return platform::Style::Current().SystemColor(index); }

HBRUSH GetSysColorBrush(int index) {
    static std::mutex mutex;
    static GdiObject* brushes[COLOR_ENDCOLORS] = {};
    if (index < 0 || index >= COLOR_ENDCOLORS) return nullptr;
    std::lock_guard lock(mutex);
    if (!brushes[index]) brushes[index] = MakeStock(GdiKind::Brush, GetSysColor(index), false);
    return AsHandle(brushes[index]);
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiObject* o = Object(object);
    if (!o) return FALSE_;
    if (o->stock) return TRUE_;
    {
        std::lock_guard lock(TheGdi().mutex);
        TheGdi().objects.erase(o);
    }
    delete o;
    return TRUE_;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* d = Dc(dc);
    GdiObject* o = Object(object);
    if (!d || !o) return nullptr;
    HGDIOBJ old = nullptr;
    switch (o->kind) {
        case GdiKind::Font: {
            old = d->font;
            d->font = object;
            COLORREF keep = d->canvas.font.color;
            d->canvas.font = o->font;
            d->canvas.font.color = keep;
            break;
        }
        case GdiKind::Brush:
            old = d->brush;
            d->brush = object;
            d->canvas.brushColor = o->color;
            d->canvas.brushClear = o->clear;
            break;
        case GdiKind::Pen:
            old = d->pen;
            d->pen = object;
            d->canvas.penColor = o->color;
            d->canvas.penWidth = o->clear ? 0 : o->width;
            break;
    }
    return old;
}

int GetObjectA(HGDIOBJ object, int size, void* out) {
    GdiObject* o = Object(object);
    if (!o) return 0;
    if (o->kind == GdiKind::Font && out && size >= static_cast<int>(sizeof(LOGFONTA))) {
        LOGFONTA lf;
        lf.lfHeight = o->font.height;
        lf.lfWeight = o->font.weight;
        lf.lfItalic = o->font.italic;
        lf.lfUnderline = o->font.underline;
        lf.lfStrikeOut = o->font.strikeOut;
        std::strncpy(lf.lfFaceName, o->font.name.c_str(), sizeof lf.lfFaceName - 1);
        std::memcpy(out, &lf, sizeof lf);
        return sizeof lf;
    }
    return 0;
}

namespace {

// Sets one piece of a device context's drawing state and returns what it was; failed when
// the handle is no device context.
template <class T>
T ExchangeState(HDC dc, T platform::Canvas::*field, std::type_identity_t<T> value,
                std::type_identity_t<T> failed) {
    DeviceContext* d = Dc(dc);
    if (!d) return failed;
    T old = d->canvas.*field;
    d->canvas.*field = value;
    return old;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return ExchangeState(dc, &platform::Canvas::textColor, color, 0xFFFFFFFF);
}

COLORREF GetTextColor(HDC dc) {
    DeviceContext* d = Dc(dc);
    return d ? d->canvas.textColor : 0xFFFFFFFF;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    return ExchangeState(dc, &platform::Canvas::bkColor, color, 0xFFFFFFFF);
}

COLORREF GetBkColor(HDC dc) {
    DeviceContext* d = Dc(dc);
    return d ? d->canvas.bkColor : 0xFFFFFFFF;
}

int SetBkMode(HDC dc, int mode) {
    return ExchangeState(dc, &platform::Canvas::bkMode, mode, 0);
}

// A brush handle, or a system colour index plus one as window classes name their background.
GdiObject* BrushObject(HBRUSH brush) {
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value >= 1 && value <= COLOR_ENDCOLORS) return Object(GetSysColorBrush(static_cast<int>(value - 1)));
    return Object(brush);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    DeviceContext* d = Dc(dc);
    GdiObject* b = BrushObject(brush);
    if (!d || !rect || !b) return 0;
    if (b->clear) return 1;
    COLORREF keep = d->canvas.brushColor;
    d->canvas.brushColor = b->color;
    d->canvas.FillRect(*rect);
    d->canvas.brushColor = keep;
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    DeviceContext* d = Dc(dc);
    GdiObject* b = BrushObject(brush);
    if (!d || !rect || !b) return 0;
    COLORREF keep = d->canvas.brushColor;
    d->canvas.brushColor = b->color;
    d->canvas.FrameRect(*rect);
    d->canvas.brushColor = keep;
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    DeviceContext* d = Dc(dc);
    if (!d) return FALSE_;
    d->canvas.Rectangle(RECT{left, top, right, bottom});
    return TRUE_;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    DeviceContext* d = Dc(dc);
    if (!d) return FALSE_;
    if (previous) *previous = d->canvas.penPos;
    d->canvas.MoveTo(x, y);
    return TRUE_;
}

BOOL LineTo(HDC dc, int x, int y) {
    DeviceContext* d = Dc(dc);
    if (!d) return FALSE_;
    d->canvas.LineTo(x, y);
    return TRUE_;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    DeviceContext* d = Dc(dc);
    if (!d || (!text && length > 0)) return FALSE_;
    d->canvas.TextOut(x, y, std::string_view(text ? text : "", text ? static_cast<std::size_t>(std::max(length, 0)) : 0));
    return TRUE_;
}

int DrawTextA(HDC dc, LPCSTR text, int length, RECT* rect, UINT format) {
    DeviceContext* d = Dc(dc);
    if (!d || !rect) return 0;
    std::string_view s = text ? (length < 0 ? std::string_view(text) : std::string_view(text, static_cast<std::size_t>(length)))
                              : std::string_view();
    SIZE extent = d->canvas.TextExtent(s);
    if (format & DT_CALCRECT) {
        rect->right = rect->left + extent.cx;
        rect->bottom = rect->top + extent.cy;
        return extent.cy;
    }
    int x = rect->left;
    if (format & DT_CENTER)
        x = rect->left + (rect->right - rect->left - extent.cx) / 2;
    else if (format & DT_RIGHT)
        x = rect->right - extent.cx;
    int y = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = rect->top + (rect->bottom - rect->top - extent.cy) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        y = rect->bottom - extent.cy;
    if (format & DT_NOCLIP)
        d->canvas.TextOut(x, y, s);
    else
        d->canvas.TextRect(*rect, x, y, s);
    return extent.cy;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
    DeviceContext* d = Dc(dc);
    if (!d || !size) return FALSE_;
    *size = d->canvas.TextExtent(std::string_view(text ? text : "", text ? static_cast<std::size_t>(std::max(length, 0)) : 0));
    return TRUE_;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    DeviceContext* d = Dc(dc);
    if (!d || !metrics) return FALSE_;
    int cell = platform::FontCellHeight(d->canvas.font.height);
    *metrics = TEXTMETRICA{};
    metrics->tmHeight = cell;
    metrics->tmDescent = cell / 5;
    metrics->tmAscent = cell - metrics->tmDescent;
    metrics->tmInternalLeading = cell - std::abs(d->canvas.font.height < 0 ? d->canvas.font.height : cell);
    metrics->tmAveCharWidth = platform::FontCharWidth(d->canvas.font.height);
    metrics->tmMaxCharWidth = metrics->tmAveCharWidth;
    metrics->tmWeight = d->canvas.font.weight;
    return TRUE_;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    DeviceContext* d = Dc(dc);
    if (!d || !rect) return FALSE_;
    d->canvas.DrawFocusRect(*rect);
    return TRUE_;
}

// ---- rectangles

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE_;
    *rect = RECT{left, top, right, bottom};
    return TRUE_;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE_ : FALSE_;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom
               ? TRUE_
               : FALSE_;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE_;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE_;
}

BOOL InflateRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE_;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE_;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE_;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *out = RECT{};
        return FALSE_;
    }
    *out = r;
    return TRUE_;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE_;
    if (IsRectEmpty(a)) {
        *out = *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(out) ? FALSE_ : TRUE_;
}

BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && *a == *b ? TRUE_ : FALSE_; }
