// What a person sees: windows composed into images, probed where it matters, and compared
// with golden images.
#include <cstring>
#include <filesystem>

#include "RenderFixture.h"
#include "controls/TreeEx.h"
#include "platform/Clock.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/display/Scene.h"

using namespace display_test;
using platform::display::Image;

namespace {

int Brightness(COLORREF c) { return (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3; }

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/tarvik-render-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        ::setenv("TARVIK_PROFILE", (dir_ / "profile").c_str(), 1);
        platform::ResetProfileForTests();
        platform::SetClock(&clock_);
        form = new TForm(Application);
        form->SetBounds(0, 0, 320, 240);
        form->Show();
    }
    void TearDown() override {
        Application->DestroyComponents();
        Application->ProcessMessages();
        platform::SetClock(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Image Render() {
        Image image;
        EXPECT_TRUE(platform::display::RenderToImage(form->Handle(), &image));
        return image;
    }
    // The label rectangle of a tree node, in the form's client coordinates.
    RECT LabelOf(TTreeEx* tree, TTreeExNode* node) {
        RECT r{};
        HTREEITEM item = node->ItemId();
        std::memcpy(static_cast<void*>(&r), &item, sizeof item);  // the item goes in, the rectangle comes out
        tree->Perform(TVM_GETITEMRECT, TRUE_, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(tree->Handle(), form->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::filesystem::path dir_;
    platform::ManualClock clock_;
    TForm* form = nullptr;
};

TEST_F(RenderTest, TheTreeShowsSelectionFocusChecksAndOwnColours) {
    auto* tree = new TTreeEx(form);
    tree->SetParent(form);
    tree->SetBounds(8, 8, 200, 160);
    tree->SetOptions(tree->Options().With(TTreeOption::toCheckSupport));
    tree->Items()->SetCheckType(ctCheckBox);
    TTreeExNode* plain = tree->Items()->AddChild(nullptr, "Plain");
    TTreeExNode* checked = tree->Items()->AddChild(nullptr, "Checked");
    TTreeExNode* unchecked = tree->Items()->AddChild(nullptr, "Unchecked");
    TTreeExNode* coloured = tree->Items()->AddChild(nullptr, "Coloured");
    for (TTreeExNode* n : {plain, coloured}) n->SetCheckType(ctNone);
    checked->SetCheckState(chChecked);
    coloured->Font()->SetColor(clRed);
    tree->SetSelected(plain);
    tree->SetFocus();
    InvalidateRect(tree->Handle(), nullptr, TRUE_);
    Image image = Render();
    ASSERT_EQ(image.width, form->ClientWidth());

    // The selected row: highlight behind its text, the dotted focus frame around the label.
    RECT sel = LabelOf(tree, plain);
    EXPECT_EQ(image.At(sel.left + 4, sel.top + 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_LT(Brightness(image.At(sel.left, sel.top)), 64) << "focus dot on the white field";
    EXPECT_GT(Brightness(image.At(sel.left + 1, sel.top)), 192) << "the frame is dotted";

    // The check images: a box on both rows, a mark only on the checked one.
    RECT on = LabelOf(tree, checked), off = LabelOf(tree, unchecked);
    int differing = 0, darkOn = 0;
    for (int y = 0; y < on.bottom - on.top; ++y) {
        for (int x = tree->Left(); x < on.left; ++x) {
            differing += image.At(x, on.top + y) != image.At(x, off.top + y);
            darkOn += Brightness(image.At(x, on.top + y)) < 160;
        }
    }
    EXPECT_GT(differing, 5);
    EXPECT_GT(darkOn, 10);

    // The node with a colour of its own draws its text in it.
    RECT col = LabelOf(tree, coloured);
    int red = 0;
    for (int y = col.top; y < col.bottom; ++y)
        for (int x = col.left; x < col.right + 20; ++x) {
            COLORREF c = image.At(x, y);
            red += GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100;
        }
    EXPECT_GT(red, 10);
    ExpectMatchesGolden(image, "tree");
}

LRESULT GreyTextProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r{0, 0, 200, 40};
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    TextOutA(dc, 4, 4, "Disabled \xC3\xA9\xE2\x82\xAC \xD0\x96", 18);
    EndPaint(hwnd, &ps);
    return 0;
}

TEST_F(RenderTest, DisabledTextIsGreyAndTextInAnyScriptDraws) {
    WNDCLASSA wc;
    wc.lpfnWndProc = GreyTextProc;
    wc.lpszClassName = "TestGreyText";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "TestGreyText", "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 40, form->Handle(), nullptr,
                             nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    Image image = Render();
    int ink = 0, darkest = 255, inkRight = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 10; x < 210; ++x) {
            int b = Brightness(image.At(x, y));
            if (b < 230) {
                ++ink;
                darkest = std::min(darkest, b);
                if (x > 90) ++inkRight;  // the accented, euro and Cyrillic letters
            }
        }
    EXPECT_GT(ink, 40);
    EXPECT_GT(inkRight, 10);
    EXPECT_GE(darkest, 100) << "grey, never black";
    EXPECT_LE(darkest, 160);
}

TEST_F(RenderTest, ChildrenAreClippedToTheirParentsAndHiddenOnesLeftOut) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 100, 50);
    panel->SetColor(clYellow);
    auto* inner = new TPanel(form);
    inner->SetParent(panel);
    inner->SetBounds(80, 10, 100, 20);  // runs past the panel's right edge
    inner->SetColor(clBlue);
    auto* hidden = new TPanel(form);
    hidden->SetParent(form);
    hidden->SetBounds(150, 10, 50, 50);
    hidden->SetColor(clRed);
    hidden->SetVisible(false);
    Image image = Render();
    EXPECT_EQ(image.At(15, 50), ColorToRGB(clYellow));
    EXPECT_EQ(image.At(100, 35), ColorToRGB(clBlue));
    EXPECT_NE(image.At(112, 35), ColorToRGB(clBlue)) << "clipped at the panel's edge";
    EXPECT_NE(image.At(170, 30), ColorToRGB(clRed));
    EXPECT_EQ(platform::display::BuildScene(form->Handle()).layers.size(), 3u);
}

}  // namespace
