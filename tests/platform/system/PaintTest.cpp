// Painting: WM_PAINT when invalid and idle, device contexts onto display lists, fixed fonts.
#include <cstring>

#include "platform/Canvas.h"
#include "WindowFixture.h"

using namespace window_test;
using platform::DrawOp;

class PaintTest : public WindowTest {};

TEST_F(PaintTest, PaintComesAfterPostedMessagesAndOnlyOncePerInvalidation) {
    HWND w = MakeTop("p", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    platform::ProcessMessages();
    Recorder::Get().log.clear();
    InvalidateRect(w, nullptr, TRUE_);
    InvalidateRect(w, nullptr, TRUE_);
    PostMessageA(w, WM_APP, 0, 0);
    platform::ProcessMessages();
    EXPECT_EQ(Recorder::Get().MessagesOf(w, {WM_APP, WM_PAINT, WM_ERASEBKGND}),
              (std::vector<UINT>{WM_APP, WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(PaintTest, SetRedrawOffSuppressesInvalidation) {
    HWND w = MakeTop("p", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    platform::ProcessMessages();
    SendMessageA(w, WM_SETREDRAW, 0, 0);
    InvalidateRect(w, nullptr, FALSE_);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE_));
    SendMessageA(w, WM_SETREDRAW, 1, 0);
    InvalidateRect(w, nullptr, FALSE_);
    EXPECT_TRUE(GetUpdateRect(w, &r, FALSE_));
}

TEST_F(PaintTest, BeginPaintDrawsOnAFreshDisplayListWithColoursAndFonts) {
    Recorder::Get().answers[WM_PAINT] = 0;  // painted here, not by the default procedure
    HWND w = MakeTop("p", WS_POPUP | WS_VISIBLE);
    Recorder::Get().onMessage = [](HWND h, UINT msg, WPARAM, LPARAM) {
        if (msg != WM_PAINT) return;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        RECT r{0, 0, 10, 10};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        LOGFONTA lf;
        lf.lfHeight = -13;
        lf.lfWeight = FW_BOLD;
        std::strcpy(lf.lfFaceName, "Tahoma");
        HFONT font = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(dc, font);
        SetTextColor(dc, RGB(255, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, 4, 5, "Hello", 5);
        SIZE size;
        GetTextExtentPoint32A(dc, "Hello", 5, &size);
        EXPECT_EQ(size.cx, 5 * 8);  // cell 15, character width 8
        EXPECT_EQ(size.cy, 15);
        SelectObject(dc, old);
        DeleteObject(font);
        MoveToEx(dc, 0, 0, nullptr);
        LineTo(dc, 5, 6);
        platform::CanvasOf(dc)->DrawImage(0x1234, 3, 1, 2, true);
        EndPaint(h, &ps);
    };
    platform::ProcessMessages();
    InvalidateRect(w, nullptr, FALSE_);
    platform::ProcessMessages();  // a second paint replaces the first list
    auto list = platform::WindowDisplayList(w);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].op, DrawOp::FillRect);
    EXPECT_EQ(list[0].color, RGB(1, 2, 3));
    EXPECT_EQ(list[1].op, DrawOp::Text);
    EXPECT_EQ(list[1].text, "Hello");
    EXPECT_EQ(list[1].from, (POINT{4, 5}));
    EXPECT_EQ(list[1].textColor, RGB(255, 0, 0));
    EXPECT_FALSE(list[1].opaque);
    EXPECT_EQ(list[1].font.name, "Tahoma");
    EXPECT_EQ(list[1].font.weight, FW_BOLD);
    EXPECT_EQ(list[2].op, DrawOp::Line);
    EXPECT_EQ(list[2].to, (POINT{5, 6}));
    EXPECT_EQ(list[3].op, DrawOp::Image);
    EXPECT_EQ(list[3].imageList, 0x1234u);
    EXPECT_EQ(list[3].imageIndex, 3);
}

TEST_F(PaintTest, GetDcAddsToTheListAndDrawTextAligns) {
    HWND w = MakeTop("p", WS_POPUP);
    platform::ClearWindowDisplayList(w);
    HDC dc = GetDC(w);
    RECT r{0, 0, 100, 20};
    DrawTextA(dc, "abcd", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT calc{0, 0, 0, 0};
    DrawTextA(dc, "abcd", 4, &calc, DT_CALCRECT);
    ReleaseDC(w, dc);
    EXPECT_EQ(platform::CanvasOf(dc), nullptr);  // released
    auto list = platform::WindowDisplayList(w);
    ASSERT_EQ(list.size(), 1u);
    // Default font: cell 13, width 7; "abcd" is 28 wide.
    EXPECT_EQ(list[0].from, (POINT{36, 3}));
    EXPECT_EQ(calc, (RECT{0, 0, 28, 13}));
    EXPECT_EQ(platform::WindowDisplayTexts(w), std::vector<String>{"abcd"});
}

struct MetricsCase {
    int height;
    int cell;
    int width;
};

class FontMetricsTest : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(FontMetricsTest, CellAndCharacterWidthAreFixed) {
    EXPECT_EQ(platform::FontCellHeight(GetParam().height), GetParam().cell);
    EXPECT_EQ(platform::FontCharWidth(GetParam().height), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Heights, FontMetricsTest,
                         ::testing::Values(MetricsCase{-11, 13, 7}, MetricsCase{-12, 14, 7}, MetricsCase{-1, 3, 2},
                                           MetricsCase{0, 13, 7}, MetricsCase{16, 16, 8}, MetricsCase{15, 15, 8}));

TEST(TextExtentTest, CountsCharactersNotBytes) {
    platform::FontSpec f;
    EXPECT_EQ(platform::TextExtent(f, "\xC3\xA9t\xC3\xA9").cx, 3 * 7);
    EXPECT_EQ(platform::TextExtent(f, "").cx, 0);
}

TEST_F(PaintTest, HiddenWindowsArePaintedWhenShown) {
    HWND w = MakeTop("hidden", WS_POPUP);
    InvalidateRect(w, nullptr, FALSE_);
    platform::ProcessMessages();
    EXPECT_EQ(Recorder::Get().Count(w, WM_PAINT), 0);
    ShowWindow(w, SW_SHOWNA);
    platform::ProcessMessages();
    EXPECT_EQ(Recorder::Get().Count(w, WM_PAINT), 1);
}

TEST_F(PaintTest, TheClassBackgroundMayNameASystemColour) {
    WNDCLASSA wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "TestFace";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1));
    static const ATOM registered = RegisterClassA(&wc);
    ASSERT_NE(registered, 0);
    HWND w = CreateWindowExA(0, "TestFace", "", WS_POPUP | WS_VISIBLE, 0, 0, 30, 20, nullptr, nullptr, nullptr, nullptr);
    made_.push_back(w);
    platform::ProcessMessages();
    auto list = platform::WindowDisplayList(w);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].op, DrawOp::FillRect);
    EXPECT_EQ(list[0].color, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(list[0].rect, (RECT{0, 0, 30, 20}));
}
