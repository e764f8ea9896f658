// The module's check images: cut from CHECK_LIGHT with the desktop's button colours, shown by
// every tree control without state images of its own, rebuilt in place on a colour change.
#include "TreeTestSupport.h"

#include "controls/CheckImages.h"
#include "platform/Canvas.h"
#include "platform/Resources.h"

namespace {

// The colour of a picture's pixel, or clNone where the picture is transparent.
TColor PictureAt(const TCustomImageList& list, Integer index, Integer x, Integer y) {
    if (list.IsTransparentPixel(index, x, y)) return clNone;
    TBitmap bmp;
    list.GetBitmap(index, &bmp);
    return bmp.Pixel(x, y);
}

// Points of the pictures as drawn: the box's outer edge, its inner top-left edge, its middle,
// the circle's centre.
constexpr POINT kBoxEdge{2, 2}, kBoxInner{3, 3}, kMiddle{8, 8};

struct PictureCase {
    const char* name;
    Integer index;
    POINT at;
    enum { Transparent, Shadow, Face } expected;
};

class CheckPictures : public ::testing::TestWithParam<PictureCase> {};

TEST_P(CheckPictures, UseTheGivenShadowAndFaceColours) {
    const PictureCase& c = GetParam();
    const COLORREF shadow = RGB(10, 20, 30), face = RGB(40, 50, 60);
    TImageList list(nullptr);
    controls::detail::LoadCheckStrip(&list, "CHECK_LIGHT", shadow, face);
    ASSERT_EQ(list.Count(), 9);
    EXPECT_EQ(list.Width(), 16);
    EXPECT_EQ(list.Height(), 16);
    TColor expected = c.expected == PictureCase::Transparent ? clNone
                      : c.expected == PictureCase::Shadow    ? static_cast<TColor>(shadow)
                                                             : static_cast<TColor>(face);
    EXPECT_EQ(PictureAt(list, c.index, c.at.x, c.at.y), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strip, CheckPictures,
    ::testing::Values(PictureCase{"BlankHasNothing", 0, kMiddle, PictureCase::Transparent},
                      PictureCase{"BlankCorner", 0, {0, 0}, PictureCase::Transparent},
                      PictureCase{"EmptyBoxShowsTheTree", 1, kMiddle, PictureCase::Transparent},
                      PictureCase{"BoxEdgeIsFace", 1, kBoxEdge, PictureCase::Face},
                      PictureCase{"BoxInnerEdgeIsShadow", 1, kBoxInner, PictureCase::Shadow},
                      PictureCase{"CrossIsShadow", 2, kMiddle, PictureCase::Shadow},
                      PictureCase{"FilledBoxIsFace", 3, {10, 6}, PictureCase::Face},
                      PictureCase{"FilledCrossIsShadow", 4, kMiddle, PictureCase::Shadow},
                      PictureCase{"EmptyCircleShowsTheTree", 5, kMiddle, PictureCase::Transparent},
                      PictureCase{"DotIsShadow", 6, kMiddle, PictureCase::Shadow},
                      PictureCase{"FilledCircleIsFace", 7, kMiddle, PictureCase::Face},
                      PictureCase{"FilledDotIsShadow", 8, kMiddle, PictureCase::Shadow}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckImages, ModuleListFollowsTheSystemColours) {
    ASSERT_NE(CheckImages, nullptr);
    ASSERT_EQ(CheckImages->Count(), 9);
    EXPECT_EQ(PictureAt(*CheckImages, 3, 10, 6), static_cast<TColor>(ColorToRGB(clBtnFace)));
    EXPECT_EQ(PictureAt(*CheckImages, 2, kMiddle.x, kMiddle.y), static_cast<TColor>(ColorToRGB(clBtnShadow)));
}

TEST(CheckImages, StripOfPartSquaresYieldsTheWholeOnes) {
    // A 40 x 16 strip: two whole squares and half of a third.
    static std::vector<Byte> bytes = [] {
        TBitmap strip(40, 16);
        strip.SetPixel(20, 3, clRed);
        TMemoryStream ms;
        strip.SaveToStream(ms);
        std::vector<Byte> out(static_cast<size_t>(ms.Size()));
        ms.SetPosition(0);
        ms.ReadBuffer(out.data(), ms.Size());
        return out;
    }();
    static platform::ResourceRegistration registration(RT_BITMAP, "CHECK_PART_STRIP", bytes.data(), bytes.size());
    TImageList list(nullptr);
    controls::detail::LoadCheckStrip(&list, "CHECK_PART_STRIP", 0, 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(PictureAt(list, 1, 4, 3), clRed);
    EXPECT_EQ(PictureAt(list, 0, 4, 3), clNone);
}

TEST(CheckImages, MissingResourceIsNamed) {
    TImageList list(nullptr);
    try {
        controls::detail::LoadCheckStrip(&list, "NO_SUCH_STRIP", 0, 0);
        FAIL() << "no error";
    } catch (EResNotFound& e) {
        EXPECT_EQ(e.Message(), "Resource NO_SUCH_STRIP not found");
    }
}

HIMAGELIST StateList(TTreeEx* tree) {
    return reinterpret_cast<HIMAGELIST>(tree->Perform(TVM_GETIMAGELIST, TVSIL_STATE, 0));
}

TEST_F(TreeFixture, ChecksAreDrawnFromTheModuleImagesUnlessTheControlHasItsOwn) {
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    Items().SetCheckType(ctCheckBox);
    auto n = Build({"0:Off", "0:On"});
    n[1]->SetCheckState(chChecked);
    EXPECT_EQ(StateList(tree), CheckImages->Handle());
    auto drawn = [&] {
        platform::ClearWindowDisplayList(tree->Handle());
        InvalidateRect(tree->Handle(), nullptr, TRUE_);
        UpdateWindow(tree->Handle());
        std::vector<std::pair<std::uintptr_t, int>> images;
        for (const auto& item : platform::WindowDisplayList(tree->Handle()))
            if (item.op == platform::DrawOp::Image) images.emplace_back(item.imageList, item.imageIndex);
        return images;
    };
    auto module = reinterpret_cast<std::uintptr_t>(CheckImages->Handle());
    EXPECT_EQ(drawn(), (std::vector<std::pair<std::uintptr_t, int>>{{module, 1}, {module, 2}}));

    TImageList own(nullptr);
    tree->SetStateImages(&own);
    EXPECT_EQ(StateList(tree), own.Handle());
    tree->SetStateImages(nullptr);
    EXPECT_EQ(StateList(tree), CheckImages->Handle());
    // A new window takes the module's images again.
    tree->SetBorderStyle(bsNone);
    EXPECT_EQ(StateList(tree), CheckImages->Handle());
}

TEST_F(TreeFixture, ColourChangeRebuildsTheOneListInPlace) {
    TImageList* before = CheckImages;
    Integer changes = 0;
    CheckImages->OnChange = [&](TObject*) { ++changes; };
    TTreeEx* second = NewTree(form);
    tree->Perform(CM_SYSCOLORCHANGE, 0, 0);
    second->Perform(CM_SYSCOLORCHANGE, 0, 0);
    CheckImages->OnChange = nullptr;
    EXPECT_EQ(CheckImages, before);
    EXPECT_GT(changes, 0);
    EXPECT_EQ(CheckImages->Count(), 9);
    EXPECT_EQ(StateList(second), CheckImages->Handle());
}

}  // namespace
