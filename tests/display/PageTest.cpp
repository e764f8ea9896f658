// The web-browser control's pages, laid out and drawn by the renderer library without an X
// server: the templates' headings and table cells reach the pixels, links go where they point,
// the wheel scrolls and a resize lays the page out again.
#include <filesystem>
#include <fstream>

#include "RenderFixture.h"
#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/WebBrowser.h"
#include "platform/display/Library.h"

using platform::display::Image;
using platform::DrawItem;
using platform::DrawOp;

namespace {

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(platform::display::library::Open(), nullptr);
        char templ[] = "/tmp/tarvik-page-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        form = new TForm(Application);
        form->SetBounds(0, 0, 480, 360);
        browser = new TWebBrowser(form);
        browser->SetParent(form);
        browser->SetAlign(alClient);
        form->Show();
        platform::ClearShellExecuteCalls();
    }
    void TearDown() override {
        Application->DestroyComponents();
        Application->ProcessMessages();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    String Write(const char* name, const String& html) {
        std::ofstream(dir_ / name) << html;
        return (dir_ / name).string();
    }
    Image Render() {
        Image image;
        EXPECT_TRUE(platform::display::RenderToImage(form->Handle(), &image));
        return image;
    }
    // The text item drawn for exactly this text (after Render).
    DrawItem TextItem(const String& text, bool last = false) {
        DrawItem found;
        for (const DrawItem& item : platform::WindowDisplayList(browser->Handle()))
            if (item.op == DrawOp::Text && item.text == text) {
                found = item;
                if (!last) return found;
            }
        if (!found.text.empty()) return found;
        ADD_FAILURE() << "no text item \"" << text << "\"";
        return DrawItem{};
    }
    // Dark pixels inside the text item's box, in the form's image.
    int InkOf(const Image& image, const DrawItem& item) {
        SIZE size = platform::TextExtent(item.font, item.text);  // at least the box's start
        POINT origin{0, 0};
        MapWindowPoints(browser->Handle(), form->Handle(), &origin, 1);
        int ink = 0;
        for (int y = item.from.y; y < item.from.y + std::max<int>(size.cy, -item.font.height); ++y)
            for (int x = item.from.x; x < item.from.x + 2 * -item.font.height; ++x) {
                COLORREF c = image.At(origin.x + x, origin.y + y);
                ink += (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3 < 128 ? 1 : 0;
            }
        return ink;
    }
    POINT CentreOf(const DrawItem& item) {
        return POINT{item.from.x + 4, item.from.y + -item.font.height / 2};
    }
    void Click(POINT p) {
        browser->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        browser->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    std::filesystem::path dir_;
    TForm* form = nullptr;
    TWebBrowser* browser = nullptr;
};

TEST_F(PageTest, TemplatesDrawTheirHeadingLargeAndTheirTableCellsBesideTheirKeys) {
    struct Case {
        const char* file;
        const char* heading;
        const char* key;    // a table's first cell ("" for a page without a table)
        const char* value;  // the cell beside it
    };
    const Case cases[] = {
        {"resources/Templates/Default.htm", "Welcome", "", ""},
        {"resources/Templates/TemplateFolder.htm", "Folder:", "Name", "dfName"},
        {"resources/Templates/TemplateBackup.htm", "Backup", "", ""},
        {"resources/Help/Help.htm", "My", "", ""},
        {"plugin/data/Info.htm", "Selected", "File", "dtName"},
        {"plugin/data/QelHelp.htm", nullptr, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        browser->Navigate(String(TARVIK_SOURCE_DIR) + "/" + c.file);
        Image image = Render();
        platform::display::WritePng(image, (display_test::OutputDir() / (std::filesystem::path(c.file).stem().string() + ".png")).string());
        if (c.heading) {
            DrawItem heading = TextItem(c.heading);
            EXPECT_LE(heading.font.height, -15) << "a heading is larger than the text";
            EXPECT_GE(heading.font.weight, FW_BOLD);
            EXPECT_GT(InkOf(image, heading), 10);
        }
        if (*c.key) {
            DrawItem key = TextItem(c.key), value = TextItem(c.value, true);  // the heading may say it too
            EXPECT_EQ(key.from.y, value.from.y) << "one row";
            EXPECT_GT(value.from.x, key.from.x + platform::TextExtent(key.font, key.text).cx);
            EXPECT_GT(InkOf(image, value), 5);
        }
    }
}

TEST_F(PageTest, LinksNavigateLocallyAndHandWebAndMailLinksToTheShell) {
    Write("b.htm", "<h1>Second</h1>");
    const String a = Write("a.htm",
                           "<p><a href=\"b.htm\">local</a></p><p><a href=\"https://example.org/x\">web</a></p>"
                           "<p><a href=\"mailto:someone@example.org\">mail</a></p><p>plain</p>"
                           "<ol><li>one</li><li>two</li></ol><pre>  kept   spacing</pre>");
    browser->Navigate(a);
    platform::display::WritePng(Render(), (display_test::OutputDir() / "links.png").string());
    EXPECT_EQ(browser->LinkAt(CentreOf(TextItem("plain")).x, CentreOf(TextItem("plain")).y), "");
    const POINT web = CentreOf(TextItem("web")), mail = CentreOf(TextItem("mail")), local = CentreOf(TextItem("local"));
    Click(web);
    Click(mail);
    auto calls = platform::ShellExecuteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, "https://example.org/x");
    EXPECT_EQ(calls[1].file, "mailto:someone@example.org");
    EXPECT_EQ(browser->LocationName(), "a.htm");
    Click(local);
    EXPECT_EQ(browser->LocationName(), "b.htm");
    EXPECT_EQ(browser->DocumentText(), "<h1>Second</h1>");
}

TEST_F(PageTest, TheWheelScrollsTheContentAndAResizeLaysItOutAgain) {
    String html = "<p>first words of a page that is long enough to wrap when the window is narrow</p>";
    for (int i = 0; i < 60; ++i) html += "<p>line " + std::to_string(i) + "</p>";
    browser->Navigate(Write("long.htm", html));
    Render();
    const int before = TextItem("first").from.y;
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    Render();
    EXPECT_GT(browser->ScrollTop(), 0);
    EXPECT_EQ(TextItem("first").from.y, before - browser->ScrollTop());
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 120 * 100), 0);
    EXPECT_EQ(browser->ScrollTop(), 0) << "never above the top";
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120 * 200)), 0);
    const Integer wheeled = browser->ScrollTop();
    browser->Perform(WM_KEYDOWN, VK_HOME, 0);
    const int bar = browser->ClientWidth() - 4;  // the thumb, dragged to the track's end
    browser->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar, 5));
    browser->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar, browser->ClientHeight() * 2));
    browser->Perform(WM_LBUTTONUP, 0, MAKELPARAM(bar, browser->ClientHeight() * 2));
    EXPECT_EQ(browser->ScrollTop(), wheeled);
    browser->Perform(WM_KEYDOWN, VK_HOME, 0);

    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120 * 200)), 0);
    Render();
    EXPECT_LT(TextItem("59").from.y, form->ClientHeight()) << "scrolled to the end, the last line shows";
    form->SetBounds(0, 0, 160, 360);
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 120 * 100), 0);
    Render();
    EXPECT_GT(TextItem("narrow").from.y, TextItem("first").from.y) << "wrapped at the new width";
}

// A word wider than the window (a long path) is not cut off: the page scrolls sideways by
// Shift and the wheel, the arrow keys and a click on the bar's track, up to the word's end.
TEST_F(PageTest, APageWiderThanTheWindowScrollsSideways) {
    const String word = "Z:\\" + String(120, 'w') + "\\end.txt";
    browser->Navigate(Write("wide.htm", "<p>start</p><p>" + word + "</p>"));
    Render();
    const int x = TextItem(word).from.x;
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(browser->ScrollLeft(), 0) << "the plain wheel scrolls up and down";
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -120), 0);
    Render();
    EXPECT_GT(browser->ScrollLeft(), 0);
    EXPECT_EQ(TextItem(word).from.x, x - browser->ScrollLeft());
    const Integer step = browser->ScrollLeft();
    browser->Perform(WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_GT(browser->ScrollLeft(), step);
    // A click on the track right of the thumb pages; at the far end the word's end shows.
    for (int i = 0; i < 20; ++i) Click(POINT{browser->ClientWidth() - 4, browser->ClientHeight() - 4});
    const Image image = Render();
    const DrawItem end = TextItem(word);
    int ink = 0;  // of the word's last letters, in the page's last 40 pixels
    for (int y = end.from.y; y < end.from.y - end.font.height; ++y)
        for (int x = browser->ClientWidth() - 40; x < browser->ClientWidth(); ++x) {
            const COLORREF c = image.At(x, y);
            ink += (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3 < 128 ? 1 : 0;
        }
    EXPECT_GT(ink, 10);
    const Integer far = browser->ScrollLeft();
    browser->Perform(WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(browser->ScrollLeft(), 0);
    // The thumb dragged to the track's end takes the page to its end, and the release ends the drag.
    const int bar = browser->ClientHeight() - 4;
    browser->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, bar));
    browser->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(browser->ClientWidth() * 2, bar));
    EXPECT_EQ(browser->ScrollLeft(), far);
    browser->Perform(WM_LBUTTONUP, 0, MAKELPARAM(browser->ClientWidth() * 2, bar));
    browser->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(10, bar));
    EXPECT_EQ(browser->ScrollLeft(), far);

    browser->Navigate(Write("narrow.htm", "<p>fits</p>"));
    Render();
    browser->Perform(WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -120), 0);
    EXPECT_EQ(browser->ScrollLeft(), 0) << "a page that fits does not move";
}

TEST_F(PageTest, PicturesBesideThePageAreDrawnInTheirBoxes) {
    // A red PNG, and a blue bitmap the page draws twice its size.
    Image red;
    red.width = 20;
    red.height = 10;
    red.argb.assign(200, 0xFFE00000u);
    ASSERT_TRUE(platform::display::WritePng(red, (dir_ / "red.png").string()));
    TBitmap blue(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) blue.SetPixel(x, y, static_cast<TColor>(RGB(0, 0, 200)));
    std::filesystem::create_directories(dir_ / "pics");
    TMemoryStream bmp;
    blue.SaveToStream(bmp);
    std::ofstream(dir_ / "pics" / "blue.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.Bytes().data()), static_cast<std::streamsize>(bmp.Bytes().size()));
    browser->Navigate((Write("pictures.htm",
        "<p id=a><img src=\"red.png\"></p><p><img src=\"pics/blue.bmp\" width=\"16\" height=\"8\"> after</p>"
        "<p><img src=\"missing.png\">end</p>")));
    Image image = Render();
    platform::display::WritePng(image, (display_test::OutputDir() / "pictures.png").string());
    std::vector<DrawItem> pictures;
    for (const DrawItem& item : platform::WindowDisplayList(browser->Handle()))
        if (item.op == DrawOp::Image) pictures.push_back(item);
    ASSERT_EQ(pictures.size(), 2u) << "a missing picture draws nothing";
    POINT origin{0, 0};
    MapWindowPoints(browser->Handle(), form->Handle(), &origin, 1);
    auto at = [&](const DrawItem& item, int dx, int dy) { return image.At(origin.x + item.from.x + dx, origin.y + item.from.y + dy); };
    EXPECT_EQ(at(pictures[0], 10, 5), RGB(0xE0, 0, 0));
    EXPECT_EQ(at(pictures[1], 15, 7), RGB(0, 0, 200)) << "drawn at the size the page asks";
    EXPECT_EQ(at(pictures[1], 17, 2), RGB(255, 255, 255));
    EXPECT_GE(TextItem("after").from.x, pictures[1].from.x + 16);
}

}  // namespace
