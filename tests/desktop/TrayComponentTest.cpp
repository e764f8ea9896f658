// The tray icon component itself on the desktop (in this process, on the X11 backend), with
// the choices the program leaves off: the tip and the picture follow the component in the tray
// (the tip shown by the icon itself while the pointer rests on it),
// minimising the main window through the window manager hides it into the icon, and a click
// on the icon can bring it back.
#include "DesktopProgram.h"
#include "controls/TrayIcon.h"
#include "platform/Forms.h"
#include "platform/TestLoop.h"
#include "platform/display/Backend.h"
#include "platform/display/Library.h"
#include "tests/common/TestProfile.h"

using namespace desktoptest;
namespace display = platform::display;

namespace {

// A square of one colour, as the tray should show it.
void Paint(TIcon& icon, TColor color) {
    icon.Image().SetSize(16, 16);
    for (Integer y = 0; y < 16; ++y)
        for (Integer x = 0; x < 16; ++x) icon.Image().SetPixel(x, y, color);
    icon.Mask().assign(16 * 16, false);
}

class TrayComponentTest : public DesktopProgram {
protected:
    static bool Pump(const std::function<bool()>& done) { return platform::RunLoopFor(done, 20000, 20); }
    static std::string XWindow(HWND hwnd) {
        auto of = display::library::Entry<unsigned long (*)(HWND)>("TarvikX11WindowOf");
        return of ? std::to_string(of(hwnd)) : "0";
    }
    // The colour at the middle of the docked icon, as "srgb(r,g,b)".
    std::string Middle(const std::string& icon) {
        const std::string shot = (shots_ / "icon.png").string();
        RunTool({"import", "-window", icon, shot});
        return RunTool({"convert", shot, "-gravity", "center", "-crop", "1x1+0+0", "-format", "%[pixel:p{0,0}]", "info:"});
    }

    tarvik::test::ScopedTestProfile profile;
};

TEST_F(TrayComponentTest, TipAndPictureFollowTheComponentAndMinimisingHidesIntoTheIcon) {
    ASSERT_TRUE(display::Choose("x11"));
    auto trayer = Helper({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32"});
    ASSERT_TRUE(WaitUntil([] { return !RunTool({"xdotool", "search", "--onlyvisible", "--classname", "panel"}).empty(); }));

    TForm* main = nullptr;
    Application->CreateForm(main);
    main->SetBounds(40, 60, 320, 200);
    main->Show();
    auto* tray = new TTrayIcon(main);
    TIcon red;
    Paint(red, clRed);
    tray->SetIcon(&red);
    tray->SetHint("First tip");
    tray->SetShowHint(true);
    tray->SetMinimizeToTray(true);
    tray->OnClick = [main](TObject*) { main->Show(); };
    tray->AfterLoad();

    std::string icon;
    ASSERT_TRUE(Pump([&] {
        icon = RunTool({"xdotool", "search", "--name", "^Tarvik$"});
        return !icon.empty() && RunTool({"xdotool", "getwindowname", icon}) == "First tip";
    }));
    EXPECT_TRUE(Pump([&] { return Middle(icon) == "srgb(255,0,0)"; })) << Middle(icon);

    TIcon blue;
    Paint(blue, clBlue);
    tray->SetIcon(&blue);
    tray->SetHint("Second tip");
    EXPECT_TRUE(Pump([&] { return RunTool({"xdotool", "getwindowname", icon}) == "Second tip"; }));
    EXPECT_TRUE(Pump([&] { return Middle(icon) == "srgb(0,0,255)"; })) << Middle(icon);

    // The tray leaves the tip to the icon: it shows while the pointer rests on the icon.
    const auto at = Geometry(icon);
    auto named = [] {
        const std::string tree = RunTool({"xwininfo", "-root", "-tree"});
        int n = 0;
        for (auto i = tree.find("\"Second tip\""); i != std::string::npos; i = tree.find("\"Second tip\"", i + 1)) ++n;
        return n;
    };
    RunTool({"xdotool", "mousemove", std::to_string(at[0] + at[2] / 2), std::to_string(at[1] + at[3] / 2)});
    EXPECT_TRUE(Pump([&] { return named() == 2; }));  // the icon and its tip
    Shot("tip");
    RunTool({"xdotool", "mousemove", "500", "500"});
    EXPECT_TRUE(Pump([&] { return named() == 1; }));

    // The person minimises the window: it goes into the icon, off the taskbar.
    const std::string win = XWindow(main->Handle());
    RunTool({"xdotool", "windowminimize", win});
    EXPECT_TRUE(Pump([&] { return !main->Visible(); }));
    EXPECT_TRUE(Pump([&] { return RunTool({"xwininfo", "-id", win}).find("IsUnMapped") != std::string::npos; }));
    Shot("in-tray");

    RunTool({"xdotool", "mousemove", std::to_string(at[0] + at[2] / 2), std::to_string(at[1] + at[3] / 2)});
    RunTool({"xdotool", "click", "1"});
    EXPECT_TRUE(Pump([&] {
        return main->Visible() && State(win) == "Normal" &&
               RunTool({"xwininfo", "-id", win}).find("IsViewable") != std::string::npos;
    })) << State(win);
    platform::RunLoopFor([] { return false; }, 300);  // drawn
    Shot("back");
    // Gone before the X server is: nothing talks to it at the program's exit.
    tray->Free();
    main->Free();
    Application->ProcessMessages();
}

}  // namespace
