// The scroll-bar family and the arithmetic of a bar's pieces.
#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "platform/ScrollBar.h"
#include "platform/Style.h"

namespace {

SCROLLINFO Info(int min, int max, UINT page, int pos) {
    SCROLLINFO s;
    s.fMask = SIF_ALL;
    s.nMin = min;
    s.nMax = max;
    s.nPage = page;
    s.nPos = pos;
    return s;
}

struct ThumbCase {
    const char* name;
    SCROLLINFO info;
    int wantTop;     // the thumb's place in a 100-pixel vertical bar (14-pixel arrows)
    int wantLength;
    bool enabled;
};

class ThumbLayout : public ::testing::TestWithParam<ThumbCase> {};

TEST_P(ThumbLayout, FollowsRangePageAndPosition) {
    const ThumbCase& t = GetParam();
    platform::ScrollGeometry g = platform::LayoutScrollBar(RECT{0, 0, 14, 100}, true, t.info);
    EXPECT_EQ(g.enabled, t.enabled);
    EXPECT_EQ(g.back.bottom, platform::kScrollBarSize);
    EXPECT_EQ(g.forward.top, 100 - platform::kScrollBarSize);
    if (!t.enabled) return;
    EXPECT_EQ(g.thumb.top, t.wantTop);
    EXPECT_EQ(g.thumb.bottom - g.thumb.top, t.wantLength);
}

// The track is 72 pixels; a page of a tenth gives a thumb shorter than the least (12).
INSTANTIATE_TEST_SUITE_P(
    Bars, ThumbLayout,
    ::testing::Values(ThumbCase{"AtTheStart", Info(0, 99, 50, 0), 14, 36, true},
                      ThumbCase{"AtTheEnd", Info(0, 99, 50, 50), 50, 36, true},
                      ThumbCase{"HalfWay", Info(0, 99, 50, 25), 32, 36, true},
                      ThumbCase{"SmallPageKeepsTheLeastThumb", Info(0, 99, 10, 90), 74, 12, true},
                      ThumbCase{"OffsetRange", Info(10, 109, 50, 60), 50, 36, true},
                      ThumbCase{"EverythingFits", Info(0, 9, 10, 0), 0, 0, false},
                      ThumbCase{"EmptyRange", Info(0, 0, 0, 0), 0, 0, false}),
    [](const auto& info) { return String(info.param.name); });

TEST(ScrollBarMath, HitTestAndThumbDragAgree) {
    SCROLLINFO info = Info(0, 99, 50, 25);
    platform::ScrollGeometry g = platform::LayoutScrollBar(RECT{0, 0, 14, 100}, true, info);
    using P = platform::ScrollPart;
    EXPECT_EQ(platform::HitScrollBar(g, POINT{5, 3}), P::LineBack);
    EXPECT_EQ(platform::HitScrollBar(g, POINT{5, 20}), P::PageBack);
    EXPECT_EQ(platform::HitScrollBar(g, POINT{5, 40}), P::Thumb);
    EXPECT_EQ(platform::HitScrollBar(g, POINT{5, 80}), P::PageForward);
    EXPECT_EQ(platform::HitScrollBar(g, POINT{5, 95}), P::LineForward);
    EXPECT_EQ(platform::HitScrollBar(g, POINT{20, 40}), P::None);
    // Every thumb place maps back to its position, and the ends reach the ends.
    for (int pos = 0; pos <= 50; ++pos) {
        info.nPos = pos;
        g = platform::LayoutScrollBar(RECT{0, 0, 14, 100}, true, info);
        int offset = g.thumb.top - g.track.top;
        int back = platform::ScrollPosAtThumbOffset(g, info, offset);
        EXPECT_LE(std::abs(back - pos), 1) << pos;
    }
    EXPECT_EQ(platform::ScrollPosAtThumbOffset(g, info, -40), 0);
    EXPECT_EQ(platform::ScrollPosAtThumbOffset(g, info, 400), 50);
}

class ScrollInfoTest : public window_test::WindowTest {};

TEST_F(ScrollInfoTest, PositionStaysWithinTheLastPageAndGoesWithTheWindow) {
    HWND w = MakeTop("scrolled");
    SCROLLINFO s = Info(0, 99, 20, 95);
    EXPECT_EQ(SetScrollInfo(w, SB_VERT, &s, FALSE_), 80);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 80);
    EXPECT_EQ(SetScrollPos(w, SB_VERT, -5, FALSE_), 80);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 0);
    int lo = -1, hi = -1;
    ASSERT_TRUE(GetScrollRange(w, SB_VERT, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 99);
    SetScrollRange(w, SB_HORZ, 0, 10, FALSE_);
    EXPECT_EQ(GetScrollPos(w, SB_HORZ), 0);
    SCROLLINFO none;
    none.fMask = SIF_ALL;
    EXPECT_FALSE(GetScrollInfo(nullptr, SB_VERT, &none));
    DestroyWindow(w);
    EXPECT_FALSE(GetScrollInfo(w, SB_VERT, &none));
}

}  // namespace
