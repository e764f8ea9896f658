#include <gtest/gtest.h>

#include "platform/Graphics.h"
#include "platform/Resources.h"

namespace {

// A 2x1 24-bit bitmap resource as the system keeps it: info header, then the row.
const Byte kTwoPixels[] = {
    40, 0, 0, 0,  2, 0, 0, 0,  1, 0, 0, 0,  // header size, width 2, height 1
    1, 0, 24, 0,  0, 0, 0, 0,  8, 0, 0, 0,  // planes, 24 bits, uncompressed, image size
    0, 0, 0, 0,   0, 0, 0, 0,  0, 0, 0, 0,  // resolution, colours used
    0, 0, 0, 0,                             // colours important
    0, 0, 255,    255, 0, 0,   0, 0,        // red, blue (BGR), padding
};
const char kText[] = "S_STREAM data";

platform::ResourceRegistration g_bitmap(RT_BITMAP, "CHECK_TEST", kTwoPixels, sizeof kTwoPixels);
platform::ResourceRegistration g_raw("S_StringTable", "S_STREAM", kText, sizeof kText - 1);

TEST(ModuleResources, BitmapResourcesLoadByName) {
    TBitmap bmp;
    LoadBitmapFromResourceName(bmp, nullptr, "check_test");
    ASSERT_EQ(bmp.Width(), 2);
    EXPECT_EQ(bmp.Pixel(0, 0), clRed);
    EXPECT_EQ(bmp.Pixel(1, 0), clBlue);
    try {
        LoadBitmapFromResourceName(bmp, platform::ModuleInstance(), "MISSING");
        FAIL();
    } catch (EResNotFound& e) {
        EXPECT_EQ(e.Message(), "Resource MISSING not found");
    }
}

TEST(ModuleResources, RawResourcesThroughTheSystemCalls) {
    HRSRC r = FindResourceA(platform::ModuleInstance(), "S_STREAM", "S_StringTable");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, r), sizeof kText - 1);
    EXPECT_EQ(String(static_cast<const char*>(LockResource(LoadResource(nullptr, r))), SizeofResource(nullptr, r)),
              "S_STREAM data");
    EXPECT_EQ(FindResourceA(nullptr, "S_STREAM", RT_RCDATA), nullptr);
}

}  // namespace
