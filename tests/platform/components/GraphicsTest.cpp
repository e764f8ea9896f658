#include <gtest/gtest.h>

#include <cstring>

#include "FormsFixture.h"
#include "platform/Graphics.h"
#include "platform/ImgList.h"

namespace {

using forms_test::FormsTest;

void Put32(std::vector<Byte>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<Byte>(x >> (8 * i)));
}
void Put16(std::vector<Byte>& v, std::uint16_t x) {
    v.push_back(static_cast<Byte>(x));
    v.push_back(static_cast<Byte>(x >> 8));
}

// A BMP file built field by field.
std::vector<Byte> Bmp(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                      const std::vector<Byte>& rows, std::uint32_t compression = 0) {
    std::vector<Byte> v{'B', 'M'};
    std::uint32_t off = 14 + 40 + 4 * static_cast<std::uint32_t>(palette.size());
    Put32(v, off + static_cast<std::uint32_t>(rows.size()));  // file size
    Put32(v, 0);                                                // reserved
    Put32(v, off);                                              // offset of the rows
    Put32(v, 40);                                               // header size
    Put32(v, static_cast<std::uint32_t>(width));
    Put32(v, static_cast<std::uint32_t>(height));               // negative: top-down
    Put16(v, 1);                                                // planes
    Put16(v, static_cast<std::uint16_t>(bits));
    Put32(v, compression);
    Put32(v, static_cast<std::uint32_t>(rows.size()));
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, static_cast<std::uint32_t>(palette.size()));      // colours used
    Put32(v, 0);
    for (std::uint32_t c : palette) Put32(v, c);                // BGRx
    v.insert(v.end(), rows.begin(), rows.end());
    return v;
}

void Load(TBitmap& bmp, const std::vector<Byte>& bytes) {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    s.SetPosition(0);
    bmp.LoadFromStream(s);
}

TEST_F(FormsTest, BitmapSurvivesARoundTripThroughAFile) {
    TBitmap bmp(5, 3);  // 5 pixels: rows padded from 15 to 16 bytes
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) bmp.SetPixel(x, y, RGB(x * 40, y * 80, 7));
    String path = profile_->Win("pic.bmp");
    bmp.SaveToFile(path);
    std::string raw = profile_->ReadText(profile_->Scratch("pic.bmp"));
    ASSERT_EQ(raw.size(), 54u + 16u * 3u);
    EXPECT_EQ(raw.substr(0, 2), "BM");

    TBitmap back;
    back.LoadFromFile(path);
    ASSERT_EQ(back.Width(), 5);
    ASSERT_EQ(back.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(back.Pixel(x, y), static_cast<TColor>(RGB(x * 40, y * 80, 7)));
}

TEST(BitmapFormat, ReadsPaletteAndTopDownRows) {
    // 8 bits, 3x2, bottom-up: the first row in the file is the bottom one.
    std::vector<Byte> rows8{2, 1, 0, 0, /* bottom */ 0, 0, 1, 0 /* top */};
    TBitmap b8;
    Load(b8, Bmp(3, 2, 8, {0x000000, 0x0000FF, 0xFF0000}, rows8));
    EXPECT_EQ(b8.Pixel(2, 0), static_cast<TColor>(RGB(0, 0, 255)));  // palette 1 is blue (BGRx FF 00 00)
    EXPECT_EQ(b8.Pixel(0, 1), static_cast<TColor>(RGB(255, 0, 0)));
    EXPECT_EQ(b8.PixelFormat(), pf8bit);

    // 1 bit, 9x1: the ninth pixel sits in the high bit of the second byte.
    TBitmap b1;
    Load(b1, Bmp(9, 1, 1, {0x000000, 0xFFFFFF}, {0x80, 0x80, 0, 0}));
    EXPECT_EQ(b1.Pixel(0, 0), clWhite);
    EXPECT_EQ(b1.Pixel(1, 0), clBlack);
    EXPECT_EQ(b1.Pixel(8, 0), clWhite);

    // 4 bits, 2x1: high nibble first.
    TBitmap b4;
    Load(b4, Bmp(2, 1, 4, {0x000000, 0x00FF00}, {0x10, 0, 0, 0}));
    EXPECT_EQ(b4.Pixel(0, 0), static_cast<TColor>(RGB(0, 255, 0)));
    EXPECT_EQ(b4.Pixel(1, 0), clBlack);

    // 32 bits, top-down (negative height), BGRA.
    TBitmap b32;
    Load(b32, Bmp(1, -2, 32, {}, {1, 2, 3, 0xFF, 4, 5, 6, 0xFF}));
    EXPECT_EQ(b32.Pixel(0, 0), static_cast<TColor>(RGB(3, 2, 1)));
    EXPECT_EQ(b32.Pixel(0, 1), static_cast<TColor>(RGB(6, 5, 4)));
}

struct BadBmp {
    const char* name;
    std::vector<Byte> bytes;
};

class BitmapRejects : public ::testing::TestWithParam<BadBmp> {};

TEST_P(BitmapRejects, WithTheClassLibraryError) {
    TBitmap b;
    try {
        Load(b, GetParam().bytes);
        FAIL() << "accepted";
    } catch (EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Bitmap image is not valid");
    }
    EXPECT_TRUE(b.Empty());
}

std::vector<Byte> Truncated() {
    auto v = Bmp(4, 4, 24, {}, std::vector<Byte>(48, 0));
    v.resize(v.size() - 1);
    return v;
}
std::vector<Byte> BadMagic() {
    auto v = Bmp(1, 1, 24, {}, {0, 0, 0, 0});
    v[0] = 'X';
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitmapRejects,
    ::testing::Values(BadBmp{"Truncated", Truncated()}, BadBmp{"BadMagic", BadMagic()},
                      BadBmp{"ZeroWidth", Bmp(0, 1, 24, {}, {0, 0, 0, 0})},
                      BadBmp{"Huge", Bmp(100000, 100000, 24, {}, {0, 0, 0, 0})},
                      BadBmp{"PaletteIndexOutOfRange", Bmp(1, 1, 8, {0}, {5, 0, 0, 0})},
                      BadBmp{"RunLengthCompressed", Bmp(1, 1, 8, {0}, {0, 0, 0, 0}, 1)},
                      BadBmp{"SixteenBits", Bmp(1, 1, 16, {}, {0, 0, 0, 0})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Fonts, SizeAndHeightConvertAt96Dpi) {
    TFont f;
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
    f.SetSize(10);
    EXPECT_EQ(f.Height(), -13);
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.SetStyle(fsBold | fsItalic);
    f.SetStyle(fsBold | fsItalic);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(f.Spec().weight, FW_BOLD);
    EXPECT_TRUE(f.Spec().italic);
}

TEST(Colors, SystemColoursResolveThroughTheWindowSystem) {
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(clWindow), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ColorToRGB(clInfoBk), GetSysColor(COLOR_INFOBK));
}

TEST(ImageLists, AStripIsCutIntoImagesWithTheMaskColourTransparent) {
    TBitmap strip(48, 16);
    for (int x = 0; x < 48; ++x)
        for (int y = 0; y < 16; ++y) strip.SetPixel(x, y, x % 16 == 0 ? clFuchsia : RGB(x, y, 1));
    TImageList list(nullptr);
    TChangeLink link;
    int changes = 0;
    link.OnChange = [&](TObject*) { ++changes; };
    list.RegisterChanges(&link);
    EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(list.IsTransparentPixel(1, 0, 5));
    EXPECT_FALSE(list.IsTransparentPixel(1, 1, 5));
    TBitmap third;
    list.GetBitmap(2, &third);
    EXPECT_EQ(third.Width(), 16);
    EXPECT_EQ(third.Pixel(3, 4), static_cast<TColor>(RGB(35, 4, 1)));
    EXPECT_THROW(list.GetBitmap(3, &third), EInvalidOperation);
    EXPECT_EQ(TCustomImageList::FromHandle(list.Handle()), &list);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(changes, 2);
}

}  // namespace
