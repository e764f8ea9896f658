// Graphics of the component layer: colours, fonts, brushes, pens, the canvas wrapper over a
// device context, bitmaps with BMP reading and writing, icons and pictures.
//
// Colours are TColor values: an RGB value (0x00BBGGRR) or a system colour (0x80000000 plus
// the GetSysColor index). Fonts, brushes and pens make their GDI object on demand and drop it
// when they change. TCanvas draws through a device context of the window system, so drawing
// lands in the window's display list; it never owns the context it is given. Bitmaps keep
// their pixels in memory as 0x00RRGGBB-free COLORREF values (one per pixel, top row first).
#pragma once

#include <memory>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Object.h"
#include "platform/Streams.h"
#include "platform/Windows.h"

using TColor = Integer;
using TRect = RECT;
using TPoint = POINT;

inline TRect Rect(int Left, int Top, int Right, int Bottom) { return RECT{Left, Top, Right, Bottom}; }
inline TRect Bounds(int Left, int Top, int Width, int Height) { return RECT{Left, Top, Left + Width, Top + Height}; }
inline TPoint Point(int X, int Y) { return POINT{X, Y}; }

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
inline constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
inline constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
inline constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
inline constexpr TColor clMenu = SystemColor(COLOR_MENU);
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
inline constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
inline constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
inline constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
inline constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
inline constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
inline constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
inline constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
inline constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
inline constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
inline constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
inline constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
inline constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);

// The RGB value of a colour; system colours are looked up, clNone and clDefault give black.
COLORREF ColorToRGB(TColor Color);

TARVIK_EXCEPTION(EInvalidGraphic, Exception);
TARVIK_EXCEPTION(EInvalidGraphicOperation, Exception);
TARVIK_EXCEPTION(EResNotFound, Exception);

class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;
    const char* ClassName() const noexcept override { return "TGraphicsObject"; }

protected:
    virtual void Changed();
};

using TFontStyles = unsigned;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

// Screen resolution of the layer: sizes in points convert to pixel heights at 96 dpi.
inline constexpr int kPixelsPerInch = 96;

class TFont : public TGraphicsObject {
public:
    TFont() = default;
    ~TFont() override;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    const char* ClassName() const noexcept override { return "TFont"; }

    const String& Name() const { return name_; }
    void SetName(const String& Value);
    // Negative: character height in pixels; positive: cell height.
    Integer Height() const { return height_; }
    void SetHeight(Integer Value);
    // Points: -Height * 72 / 96 (rounded), as the class library reports it.
    Integer Size() const;
    void SetSize(Integer Value);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles Value);
    TColor Color() const { return color_; }
    void SetColor(TColor Value);

    // The GDI font, made on first use and dropped on every change.
    HFONT Handle();
    // The drawing description the canvas records.
    platform::FontSpec Spec() const;
    void Assign(TPersistent* Source) override;

protected:
    void Changed() override;

private:
    String name_ = "MS Sans Serif";
    Integer height_ = platform::kDefaultFontHeight;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    HFONT handle_ = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
public:
    TBrush() = default;
    ~TBrush() override;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;
    const char* ClassName() const noexcept override { return "TBrush"; }
    TColor Color() const { return color_; }
    void SetColor(TColor Value);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle Value);
    HBRUSH Handle();
    void Assign(TPersistent* Source) override;

protected:
    void Changed() override;

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    HBRUSH handle_ = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmXor };

class TPen : public TGraphicsObject {
public:
    TPen() = default;
    ~TPen() override;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;
    const char* ClassName() const noexcept override { return "TPen"; }
    TColor Color() const { return color_; }
    void SetColor(TColor Value);
    Integer Width() const { return width_; }
    void SetWidth(Integer Value);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle Value);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode Value);
    HPEN Handle();
    void Assign(TPersistent* Source) override;

protected:
    void Changed() override;

private:
    TColor color_ = clBlack;
    Integer width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
    HPEN handle_ = nullptr;
};

class TGraphic;

// Draws through a device context. The context comes from SetHandle or, for control
// canvases, from CreateHandle on first use.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    const char* ClassName() const noexcept override { return "TCanvas"; }

    HDC Handle();
    void SetHandle(HDC Value);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TFont* Font() { return &font_; }
    TBrush* Brush() { return &brush_; }
    TPen* Pen() { return &pen_; }
    void SetFont(TFont* Value) { font_.Assign(Value); }
    TPoint PenPos() const { return penPos_; }
    // Where (0, 0) of this canvas lies on its device context (graphic controls draw on their
    // parent's window).
    void SetOrigin(TPoint Value) { origin_ = Value; }
    TPoint Origin() const { return origin_; }

    void FillRect(const TRect& R);
    void FrameRect(const TRect& R);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.left, R.top, R.right, R.bottom); }
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void TextOut(int X, int Y, const String& Text);
    void TextRect(const TRect& R, int X, int Y, const String& Text);
    void DrawFocusRect(const TRect& R);
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& R, TGraphic* Graphic);

    // Fixed metrics of the layer's fonts; no device context needed.
    SIZE TextExtent(const String& Text) const;
    Integer TextWidth(const String& Text) const { return TextExtent(Text).cx; }
    Integer TextHeight(const String& Text) const { return TextExtent(Text).cy; }

protected:
    // Gives the canvas a context when it has none (control canvases get one from the window).
    virtual void CreateHandle() {}
    void RequireHandle();
    void Select();

private:
    HDC dc_ = nullptr;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    TPoint penPos_;
    TPoint origin_;
    TRect Shift(const TRect& R) const {
        return RECT{R.left + origin_.x, R.top + origin_.y, R.right + origin_.x, R.bottom + origin_.y};
    }
};

class TGraphic : public TPersistent {
public:
    TNotifyEvent OnChange;
    const char* ClassName() const noexcept override { return "TGraphic"; }
    virtual bool Empty() const = 0;
    virtual Integer Width() const = 0;
    virtual Integer Height() const = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) const = 0;
    void LoadFromFile(const String& FileName);
    void SaveToFile(const String& FileName) const;
    // Identity of the image for display lists.
    std::uintptr_t ImageId() const { return reinterpret_cast<std::uintptr_t>(this); }

protected:
    virtual void Changed();
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// A bitmap in memory. BMP files of 1, 4, 8, 24 and 32 bits per pixel (uncompressed, and
// 32-bit bit fields) are read; 24-bit files are written (32-bit when the bitmap came from
// one, so an alpha byte is kept). Bad files raise EInvalidGraphic "Bitmap image is not valid".
class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    TBitmap(Integer AWidth, Integer AHeight) { SetSize(AWidth, AHeight); }
    const char* ClassName() const noexcept override { return "TBitmap"; }

    bool Empty() const override { return width_ == 0 || height_ == 0; }
    Integer Width() const override { return width_; }
    Integer Height() const override { return height_; }
    void SetWidth(Integer Value) { SetSize(Value, height_); }
    void SetHeight(Integer Value) { SetSize(width_, Value); }
    // Keeps the pixels that still fit; new ones are white.
    void SetSize(Integer AWidth, Integer AHeight);
    TPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TPixelFormat Value) { pixelFormat_ = Value; }

    // The colour of one pixel as RGB (COLORREF); out of range reads give clNone.
    TColor Pixel(Integer X, Integer Y) const;
    void SetPixel(Integer X, Integer Y, TColor Color);
    // 0x00RRGGBB-free COLORREF values, top row first; alpha in the high byte for 32-bit files.
    const std::vector<std::uint32_t>& Pixels() const { return pixels_; }

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool Value) { transparent_ = Value; }
    // The colour of the bottom-left pixel unless set.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value) { transparentColor_ = Value; }

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override;
    // The data of a bitmap resource (platform/Resources.h): BMP file data, or a bitmap
    // resource as the system stores it, without the 14-byte file header.
    void LoadFromResourceData(const void* Data, std::size_t Size);
    void Assign(TPersistent* Source) override;
    // Copies a Width x Height part starting at (X, Y); parts outside read as white.
    void CopyFrom(const TBitmap& Source, Integer X, Integer Y, Integer AWidth, Integer AHeight);

private:
    Integer width_ = 0;
    Integer height_ = 0;
    std::vector<std::uint32_t> pixels_;
    TPixelFormat pixelFormat_ = pf24bit;
    bool transparent_ = false;
    TColor transparentColor_ = clDefault;
};

// An icon: an image and its mask, kept as a bitmap whose transparent pixels are masked.
class TIcon : public TGraphic {
public:
    TIcon() = default;
    const char* ClassName() const noexcept override { return "TIcon"; }
    bool Empty() const override { return image_.Empty(); }
    Integer Width() const override { return image_.Width(); }
    Integer Height() const override { return image_.Height(); }
    // Icons are stored as BMP data of their image.
    void LoadFromStream(TStream& Stream) override { image_.LoadFromStream(Stream); Changed(); }
    void SaveToStream(TStream& Stream) const override { image_.SaveToStream(Stream); }
    void Assign(TPersistent* Source) override;
    TBitmap& Image() { return image_; }
    const TBitmap& Image() const { return image_; }
    std::vector<bool>& Mask() { return mask_; }
    // A handle that names this icon in the window system's calls.
    HICON Handle() const { return Empty() ? nullptr : reinterpret_cast<HICON>(const_cast<TIcon*>(this)); }

private:
    TBitmap image_;
    std::vector<bool> mask_;
};

class TPicture : public TPersistent {
public:
    TPicture() = default;
    const char* ClassName() const noexcept override { return "TPicture"; }
    TNotifyEvent OnChange;
    TBitmap* Bitmap();
    TIcon* Icon();
    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(TGraphic* Value);
    Integer Width() const { return graphic_ ? graphic_->Width() : 0; }
    Integer Height() const { return graphic_ ? graphic_->Height() : 0; }
    // ".bmp" and ".ico" (stored as BMP data); other extensions raise EInvalidGraphic.
    void LoadFromFile(const String& FileName);
    void SaveToFile(const String& FileName) const;
    void Assign(TPersistent* Source) override;

private:
    void Changed();
    std::unique_ptr<TGraphic> graphic_;
};
