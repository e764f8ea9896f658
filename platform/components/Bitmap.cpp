// TBitmap: pixels in memory and the BMP file format; TIcon, an image and its mask, which converts
// to and from a bitmap.
//
// A BMP file is a 14-byte file header ("BM", file size, two reserved words, offset of the
// pixel rows) and an info header of at least 40 bytes (size, width, height - negative for
// top-down rows -, planes, bits per pixel, compression, image size, resolution, colours used,
// colours important), a palette of 4-byte BGRx entries for 8 bits and less, and rows padded
// to 4 bytes. Every size read is checked against the data before use.
#include <algorithm>
#include <cstring>

#include "platform/Graphics.h"

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitFields = 3;
constexpr std::int32_t kMaxSide = 32768;

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

std::uint32_t U32(const Byte* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t U16(const Byte* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put32(std::vector<Byte>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<Byte>(v >> (8 * i)));
}
void Put16(std::vector<Byte>& out, std::uint16_t v) {
    out.push_back(static_cast<Byte>(v));
    out.push_back(static_cast<Byte>(v >> 8));
}

int ShiftOf(std::uint32_t mask) {
    if (!mask) return 0;
    int s = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// A channel of a bit-field pixel scaled to 8 bits.
std::uint32_t Channel(std::uint32_t px, std::uint32_t mask) {
    if (!mask) return 0;
    std::uint32_t v = (px & mask) >> ShiftOf(mask);
    std::uint32_t max = mask >> ShiftOf(mask);
    return max ? (v * 255 + max / 2) / max : 0;
}

}  // namespace

void TBitmap::SetSize(Integer AWidth, Integer AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == width_ && AHeight == height_) return;
    std::vector<std::uint32_t> next(static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight), 0xFFFFFF);
    for (Integer y = 0; y < std::min(AHeight, height_); ++y)
        for (Integer x = 0; x < std::min(AWidth, width_); ++x)
            next[static_cast<std::size_t>(y) * AWidth + x] = pixels_[static_cast<std::size_t>(y) * width_ + x];
    pixels_ = std::move(next);
    width_ = AWidth;
    height_ = AHeight;
    Changed();
}

TColor TBitmap::Pixel(Integer X, Integer Y) const {
    if (X < 0 || Y < 0 || X >= width_ || Y >= height_) return clNone;
    return static_cast<TColor>(pixels_[static_cast<std::size_t>(Y) * width_ + X] & 0xFFFFFF);
}

void TBitmap::SetPixel(Integer X, Integer Y, TColor Color) {
    if (X < 0 || Y < 0 || X >= width_ || Y >= height_) return;
    pixels_[static_cast<std::size_t>(Y) * width_ + X] = ColorToRGB(Color);
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clDefault) return transparentColor_;
    return Empty() ? clNone : Pixel(0, height_ - 1);
}

void TBitmap::Assign(TPersistent* Source) {
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        if (b == this) return;
        width_ = b->width_;
        height_ = b->height_;
        pixels_ = b->pixels_;
        pixelFormat_ = b->pixelFormat_;
        transparent_ = b->transparent_;
        transparentColor_ = b->transparentColor_;
        Changed();
        return;
    }
    if (auto* i = dynamic_cast<TIcon*>(Source)) {
        Assign(&i->Image());
        return;
    }
    TGraphic::Assign(Source);
}

void TBitmap::CopyFrom(const TBitmap& Source, Integer X, Integer Y, Integer AWidth, Integer AHeight) {
    std::vector<std::uint32_t> next(static_cast<std::size_t>(std::max(AWidth, 0)) * std::max(AHeight, 0), 0xFFFFFF);
    for (Integer y = 0; y < AHeight; ++y)
        for (Integer x = 0; x < AWidth; ++x) {
            Integer sx = X + x, sy = Y + y;
            if (sx >= 0 && sy >= 0 && sx < Source.width_ && sy < Source.height_)
                next[static_cast<std::size_t>(y) * AWidth + x] = Source.pixels_[static_cast<std::size_t>(sy) * Source.width_ + sx];
        }
    width_ = std::max(AWidth, 0);
    height_ = std::max(AHeight, 0);
    pixels_ = std::move(next);
    pixelFormat_ = Source.pixelFormat_;
    Changed();
}

void TBitmap::LoadFromStream(TStream& Stream) {
    Int64 avail = Stream.Size() - Stream.Position();
    if (avail < 14 + 40 || avail > (Int64{1} << 31)) Invalid();
    std::vector<Byte> data(static_cast<std::size_t>(avail));
    Stream.ReadBuffer(data.data(), avail);
    const Byte* p = data.data();
    if (p[0] != 'B' || p[1] != 'M') Invalid();
    std::uint32_t offBits = U32(p + 10);
    const Byte* h = p + 14;
    std::uint32_t headerSize = U32(h);
    if (headerSize < 40 || 14 + static_cast<std::uint64_t>(headerSize) > data.size()) Invalid();
    std::int32_t w = static_cast<std::int32_t>(U32(h + 4));
    std::int32_t hh = static_cast<std::int32_t>(U32(h + 8));
    std::uint16_t bits = U16(h + 14);
    std::uint32_t compression = U32(h + 16);
    std::uint32_t clrUsed = U32(h + 32);
    bool topDown = hh < 0;
    if (hh == INT32_MIN) Invalid();
    std::int32_t height = topDown ? -hh : hh;
    if (w <= 0 || height <= 0 || w > kMaxSide || height > kMaxSide) Invalid();
    if (!(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32)) Invalid();
    if (!(compression == kBiRgb || (compression == kBiBitFields && bits == 32))) Invalid();

    std::uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF;
    if (compression == kBiBitFields) {
        // The masks follow a 40-byte header, or sit inside a larger one at the same place.
        if (14 + 40 + 12 > data.size()) Invalid();
        rMask = U32(h + 40);
        gMask = U32(h + 44);
        bMask = U32(h + 48);
    }
    std::vector<std::uint32_t> palette;
    if (bits <= 8) {
        std::uint32_t n = clrUsed ? clrUsed : (1u << bits);
        if (n > 256) Invalid();
        std::uint64_t palStart = 14 + static_cast<std::uint64_t>(headerSize) + (compression == kBiBitFields && headerSize == 40 ? 12 : 0);
        if (palStart + 4ull * n > data.size()) Invalid();
        for (std::uint32_t i = 0; i < n; ++i) {
            const Byte* e = p + palStart + 4 * i;
            palette.push_back(RGB(e[2], e[1], e[0]));
        }
    }
    std::uint64_t stride = ((static_cast<std::uint64_t>(w) * bits + 31) / 32) * 4;
    if (offBits < 14 + headerSize || offBits + stride * height > data.size()) Invalid();

    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * height);
    for (std::int32_t row = 0; row < height; ++row) {
        const Byte* r = p + offBits + stride * row;
        std::int32_t y = topDown ? row : height - 1 - row;
        std::uint32_t* out = px.data() + static_cast<std::size_t>(y) * w;
        for (std::int32_t x = 0; x < w; ++x) {
            std::uint32_t c = 0;
            switch (bits) {
                case 1:
                case 4:
                case 8: {
                    std::uint32_t bitPos = static_cast<std::uint32_t>(x) * bits;
                    std::uint32_t byte = r[bitPos / 8];
                    std::uint32_t index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                    if (index >= palette.size()) Invalid();
                    c = palette[index];
                    break;
                }
                case 24: c = RGB(r[3 * x + 2], r[3 * x + 1], r[3 * x]); break;
                case 32: {
                    std::uint32_t v = U32(r + 4 * x);
                    c = RGB(Channel(v, rMask), Channel(v, gMask), Channel(v, bMask)) | (v & 0xFF000000u);
                    break;
                }
                default: Invalid();
            }
            out[x] = c;
        }
    }
    width_ = w;
    height_ = height;
    pixels_ = std::move(px);
    pixelFormat_ = bits == 1 ? pf1bit : bits == 4 ? pf4bit : bits == 8 ? pf8bit : bits == 24 ? pf24bit : pf32bit;
    Changed();
}

void TBitmap::SaveToStream(TStream& Stream) const {
    const int bits = pixelFormat_ == pf32bit ? 32 : 24;
    const std::uint32_t stride = ((static_cast<std::uint32_t>(width_) * bits + 31) / 32) * 4;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height_);
    std::vector<Byte> out;
    out.reserve(54 + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width_));
    Put32(out, static_cast<std::uint32_t>(height_));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(bits));
    Put32(out, kBiRgb);
    Put32(out, imageSize);
    Put32(out, 3780);  // 96 dpi in pixels per metre
    Put32(out, 3780);
    Put32(out, 0);
    Put32(out, 0);
    for (Integer y = height_ - 1; y >= 0; --y) {
        std::size_t start = out.size();
        for (Integer x = 0; x < width_; ++x) {
            std::uint32_t c = pixels_[static_cast<std::size_t>(y) * width_ + x];
            out.push_back(GetBValue(c));
            out.push_back(GetGValue(c));
            out.push_back(GetRValue(c));
            if (bits == 32) out.push_back(static_cast<Byte>(c >> 24));
        }
        while (out.size() - start < stride) out.push_back(0);
    }
    Stream.WriteBuffer(out.data(), static_cast<Int64>(out.size()));
}

void TBitmap::LoadFromResourceData(const void* Data, std::size_t Size) {
    const auto* p = static_cast<const Byte*>(Data);
    TMemoryStream s;
    if (Size >= 2 && p[0] == 'B' && p[1] == 'M') {
        s.WriteBuffer(p, static_cast<Int64>(Size));
    } else {
        // A bitmap resource starts at the info header: put the file header before it.
        if (Size < 40) Invalid();
        std::uint32_t headerSize = U32(p);
        std::uint16_t bits = U16(p + 14);
        std::uint32_t compression = U32(p + 16);
        std::uint32_t clrUsed = U32(p + 32);
        std::uint32_t palette = bits <= 8 ? 4 * (clrUsed ? clrUsed : (1u << bits)) : 0;
        std::uint32_t masks = compression == kBiBitFields && headerSize == 40 ? 12 : 0;
        std::vector<Byte> header{'B', 'M'};
        Put32(header, static_cast<std::uint32_t>(14 + Size));
        Put32(header, 0);
        Put32(header, 14 + headerSize + palette + masks);
        s.WriteBuffer(header.data(), static_cast<Int64>(header.size()));
        s.WriteBuffer(p, static_cast<Int64>(Size));
    }
    s.SetPosition(0);
    LoadFromStream(s);
}

// ---- icons: a bitmap and its mask

void TIcon::Assign(TPersistent* Source) {
    if (auto* i = dynamic_cast<TIcon*>(Source)) {
        image_.Assign(&i->image_);
        mask_ = i->mask_;
        Changed();
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        image_.Assign(b);
        mask_.assign(static_cast<std::size_t>(b->Width()) * static_cast<std::size_t>(b->Height()), false);
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}
