// Colours, fonts, brushes, pens, the canvas over a device context, and the graphic base class.
//
// The bottom of the component layer's graphics: bitmaps and icons (Bitmap.cpp) and pictures
// (Picture.cpp) build on it, and it knows none of them (see the layout note in CMakeLists.txt).
#include "platform/Graphics.h"

#include <algorithm>
#include <cstring>

#include "detail/FileBytes.h"

COLORREF ColorToRGB(TColor Color) {
    if (Color == clNone || Color == clDefault) return 0;
    if (static_cast<unsigned>(Color) & 0x80000000u) return GetSysColor(static_cast<int>(Color & 0xFF));
    return static_cast<COLORREF>(Color) & 0x00FFFFFF;
}

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

// ---- font

TFont::~TFont() {
    if (handle_) DeleteObject(handle_);
}

void TFont::Changed() {
    if (handle_) {
        DeleteObject(handle_);
        handle_ = nullptr;
    }
    TGraphicsObject::Changed();
}

void TFont::SetName(const String& Value) {
    if (Value.empty() || Value == name_) return;
    name_ = Value;
    Changed();
}

void TFont::SetHeight(Integer Value) {
    if (Value == height_) return;
    height_ = Value;
    Changed();
}

Integer TFont::Size() const {
    // Rounded as MulDiv rounds: half away from zero.
    long v = -static_cast<long>(height_) * 72;
    long r = v >= 0 ? (v + kPixelsPerInch / 2) / kPixelsPerInch : -((-v + kPixelsPerInch / 2) / kPixelsPerInch);
    return static_cast<Integer>(r);
}

void TFont::SetSize(Integer Value) {
    long v = static_cast<long>(Value) * kPixelsPerInch;
    long r = v >= 0 ? (v + 36) / 72 : -((-v + 36) / 72);
    SetHeight(static_cast<Integer>(-r));
}

void TFont::SetStyle(TFontStyles Value) {
    if (Value == style_) return;
    style_ = Value;
    Changed();
}

void TFont::SetColor(TColor Value) {
    if (Value == color_) return;
    color_ = Value;
    TGraphicsObject::Changed();  // the colour is no part of the GDI font
}

platform::FontSpec TFont::Spec() const {
    platform::FontSpec s;
    s.name = name_;
    s.height = height_;
    s.weight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    s.italic = (style_ & fsItalic) != 0;
    s.underline = (style_ & fsUnderline) != 0;
    s.strikeOut = (style_ & fsStrikeOut) != 0;
    s.color = ColorToRGB(color_);
    return s;
}

HFONT TFont::Handle() {
    if (!handle_) {
        LOGFONTA lf;
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
        lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
        std::strncpy(lf.lfFaceName, name_.c_str(), sizeof lf.lfFaceName - 1);
        handle_ = CreateFontIndirectA(&lf);
    }
    return handle_;
}

void TFont::Assign(TPersistent* Source) {
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        if (f == this) return;
        name_ = f->name_;
        height_ = f->height_;
        style_ = f->style_;
        color_ = f->color_;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

// ---- brush and pen

TBrush::~TBrush() {
    if (handle_) DeleteObject(handle_);
}

void TBrush::Changed() {
    if (handle_) {
        DeleteObject(handle_);
        handle_ = nullptr;
    }
    TGraphicsObject::Changed();
}

void TBrush::SetColor(TColor Value) {
    if (Value == color_ && style_ != bsClear) return;
    color_ = Value;
    if (style_ == bsClear) style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
    if (Value == style_) return;
    style_ = Value;
    Changed();
}

HBRUSH TBrush::Handle() {
    if (!handle_) handle_ = style_ == bsClear ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(ColorToRGB(color_));
    return handle_;
}

void TBrush::Assign(TPersistent* Source) {
    if (auto* b = dynamic_cast<TBrush*>(Source)) {
        color_ = b->color_;
        style_ = b->style_;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

TPen::~TPen() {
    if (handle_) DeleteObject(handle_);
}

void TPen::Changed() {
    if (handle_) {
        DeleteObject(handle_);
        handle_ = nullptr;
    }
    TGraphicsObject::Changed();
}

void TPen::SetColor(TColor Value) {
    if (Value == color_) return;
    color_ = Value;
    Changed();
}

void TPen::SetWidth(Integer Value) {
    if (Value == width_ || Value < 0) return;
    width_ = Value;
    Changed();
}

void TPen::SetStyle(TPenStyle Value) {
    if (Value == style_) return;
    style_ = Value;
    Changed();
}

void TPen::SetMode(TPenMode Value) {
    if (Value == mode_) return;
    mode_ = Value;
    Changed();
}

HPEN TPen::Handle() {
    if (!handle_) {
        int style = style_ == psClear ? PS_NULL : style_ == psDash ? PS_DASH : style_ == psDot ? PS_DOT : PS_SOLID;
        handle_ = CreatePen(style, width_, ColorToRGB(color_));
    }
    return handle_;
}

void TPen::Assign(TPersistent* Source) {
    if (auto* p = dynamic_cast<TPen*>(Source)) {
        color_ = p->color_;
        width_ = p->width_;
        style_ = p->style_;
        mode_ = p->mode_;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

// ---- canvas

TCanvas::TCanvas() { font_.SetColor(clBlack); }

TCanvas::~TCanvas() = default;

HDC TCanvas::Handle() {
    RequireHandle();
    return dc_;
}

void TCanvas::SetHandle(HDC Value) { dc_ = Value; }

void TCanvas::RequireHandle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
}

void TCanvas::Select() {
    RequireHandle();
    SelectObject(dc_, font_.Handle());
    SelectObject(dc_, brush_.Handle());
    SelectObject(dc_, pen_.Handle());
    SetTextColor(dc_, ColorToRGB(font_.Color()));
    if (brush_.Style() == bsClear) {
        SetBkMode(dc_, TRANSPARENT);
    } else {
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, ColorToRGB(brush_.Color()));
    }
    if (platform::Canvas* c = platform::CanvasOf(dc_)) c->font = font_.Spec();
}

void TCanvas::FillRect(const TRect& R) {
    Select();
    TRect r = Shift(R);
    ::FillRect(dc_, &r, brush_.Handle());
}

void TCanvas::FrameRect(const TRect& R) {
    Select();
    TRect r = Shift(R);
    ::FrameRect(dc_, &r, brush_.Handle());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    Select();
    ::Rectangle(dc_, X1 + origin_.x, Y1 + origin_.y, X2 + origin_.x, Y2 + origin_.y);
}

void TCanvas::MoveTo(int X, int Y) {
    RequireHandle();
    MoveToEx(dc_, X + origin_.x, Y + origin_.y, nullptr);
    penPos_ = POINT{X, Y};
}

void TCanvas::LineTo(int X, int Y) {
    Select();
    ::LineTo(dc_, X + origin_.x, Y + origin_.y);
    penPos_ = POINT{X, Y};
}

void TCanvas::TextOut(int X, int Y, const String& Text) {
    Select();
    TextOutA(dc_, X + origin_.x, Y + origin_.y, Text.c_str(), static_cast<int>(Text.size()));
    penPos_ = POINT{X + TextWidth(Text), Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const String& Text) {
    Select();
    if (platform::Canvas* c = platform::CanvasOf(dc_))
        c->TextRect(Shift(R), X + origin_.x, Y + origin_.y, Text);
    else
        TextOutA(dc_, X + origin_.x, Y + origin_.y, Text.c_str(), static_cast<int>(Text.size()));
}

void TCanvas::DrawFocusRect(const TRect& R) {
    RequireHandle();
    TRect r = Shift(R);
    ::DrawFocusRect(dc_, &r);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    RequireHandle();
    if (platform::Canvas* c = platform::CanvasOf(dc_)) c->DrawImage(Graphic->ImageId(), -1, X + origin_.x, Y + origin_.y, true);
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) { Draw(R.left, R.top, Graphic); }

SIZE TCanvas::TextExtent(const String& Text) const { return platform::TextExtent(font_.Spec(), Text); }

// ---- graphics

void TGraphic::Changed() {
    if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const String& FileName) {
    std::vector<Byte> bytes = platform::detail::ReadFileBytes(FileName);
    TMemoryStream stream;
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& FileName) const {
    TMemoryStream stream;
    SaveToStream(stream);
    platform::detail::WriteFileBytes(FileName, stream.Bytes());
}
