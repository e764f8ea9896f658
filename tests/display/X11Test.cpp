// The main window on a real X server (its own Xvfb), driven as a person would through XTest
// (xdotool): it appears with its title, follows a resize, answers a click on the tree, closes
// through the window manager's message, and shows exactly what the offscreen renderer makes.
// Screenshots of what the test saw stay in the test folder.
#include <filesystem>
#include <fstream>

#include "platform/TestLoop.h"
#include "platform/display/Backend.h"
#include "platform/display/Library.h"
#include "platform/display/Render.h"
#include "tests/common/X11Session.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;
namespace display = platform::display;

namespace {

const auto* const g_xvfb = ::testing::AddGlobalTestEnvironment(new tarvik::test::XvfbEnvironment([] {
    ASSERT_TRUE(display::Choose("x11")) << "the X11 backend did not start on " << getenv("DISPLAY");
}));
using tarvik::test::RunTool;

class X11Test : public MainFixture {
protected:
    void SetUp() override {
        MainFixture::SetUp();
        platform::SetClock(nullptr);  // the display runs on real time
        shots_ = std::filesystem::path(TARVIK_RENDER_OUTPUT_DIR) / "x11";
        std::filesystem::create_directories(shots_);
    }
    // The X window of a top-level window, as the backend made it.
    std::string XWindow(HWND hwnd) {
        auto of = display::library::Entry<unsigned long (*)(HWND)>("TarvikX11WindowOf");
        return of ? std::to_string(of(hwnd)) : "0";
    }
    bool Pump(const std::function<bool()>& done, int millis = 5000) { return platform::RunLoopFor(done, millis, 10); }
    // Lets the loop go idle, so what was damaged has been drawn.
    void Settle() { Pump([] { return false; }, 150); }
    TFormMain* ShowMain() {
        TFormMain* f = Create();
        f->SetBounds(40, 40, 640, 480);
        f->Show();
        EXPECT_TRUE(Pump([&] { return XWindow(f->Handle()) != "0"; }));
        Settle();
        return f;
    }
    display::Image Screenshot(const std::string& window, const std::string& name) {
        std::string path = (shots_ / (name + ".png")).string();
        RunTool({"import", "-window", window, path});
        display::Image image;
        EXPECT_TRUE(display::ReadPng(path, &image)) << path;
        return image;
    }
    RECT NodeRect(TFormMain* f, TTreeExNode* node) {
        RECT r = node->ItemRect(true);
        MapWindowPoints(f->TreeEx->Handle(), f->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::filesystem::path shots_;
};

TEST_F(X11Test, TheMainWindowAppearsFollowsAResizeAndAnswersAClickOnTheTree) {
    TFormMain* f = ShowMain();
    const std::string win = XWindow(f->Handle());
    EXPECT_EQ(RunTool({"xdotool", "getwindowname", win}), f->Caption());

    // A person makes the window larger: the tree and the page follow.
    const int pageWidth = f->PageControl->Width(), treeHeight = f->TreeEx->Height();
    RunTool({"xdotool", "windowsize", win, "800", "600"});
    ASSERT_TRUE(Pump([&] { return f->ClientWidth() == 800 && f->ClientHeight() == 600; }))
        << f->ClientWidth() << "x" << f->ClientHeight();
    EXPECT_EQ(f->PageControl->Width(), pageWidth + 800 - 632);
    EXPECT_GT(f->TreeEx->Height(), treeHeight);

    // A click on a folder's node selects it and shows its page.
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->BackupRoot->SetExpanded(true);
    f->TreeEx->SetSelected(f->HistoryRoot);
    Settle();
    ASSERT_NE(f->CurrentNode, docs);
    RECT r = NodeRect(f, docs);
    RunTool({"xdotool", "mousemove", "--window", win, std::to_string(r.left + 5), std::to_string((r.top + r.bottom) / 2),
         "click", "1"});
    ASSERT_TRUE(Pump([&] { return f->CurrentNode == docs; }));
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:Docs");

    // What the person sees is what the offscreen renderer makes of the same window.
    Settle();
    display::Image screen = Screenshot(win, "main-after-click");
    display::Image offscreen;
    ASSERT_TRUE(display::RenderToImage(f->Handle(), &offscreen));
    display::Image diff;
    EXPECT_EQ(display::CompareImages(offscreen, screen, 0, &diff), 0);
}

TEST_F(X11Test, TheWindowManagersCloseRunsTheCloseStepAndSavesTheCatalogue) {
    TFormMain* f = ShowMain();
    Add(f->BackupRoot, "Docs", nkFolder);
    auto close = display::library::Entry<void (*)(HWND)>("TarvikX11RequestClose");
    ASSERT_NE(close, nullptr);
    const std::string catalogue = platform::ToPosixPath(f->BackupListFile);
    close(f->Handle());
    // The close step puts the window away (to the tray or the task bar) and saves the catalogue.
    ASSERT_TRUE(Pump([&] { return !IsWindowVisible(f->Handle()) || IsIconic(f->Handle()); }));
    EXPECT_TRUE(IsWindow(f->Handle()));
    const String saved = env.ReadText(catalogue);
    EXPECT_NE(saved.find("1|Docs|1|"), String::npos) << saved;
    Screenshot("root", "after-close");
}

}  // namespace
