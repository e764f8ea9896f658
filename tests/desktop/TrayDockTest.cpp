// Tarvik's icon in a system tray that embeds it (Debian's trayer): docked at a square size
// with its picture and tip, and again in a tray that starts after the first ended; one click on it brings the minimised main window back; a right
// click opens the tray menu where the person clicked, and its "Close (my Corvex)" ends the
// program after saving.
#include "DesktopProgram.h"
#include "tests/common/SessionBus.h"

using namespace desktoptest;

namespace {

class TrayDockTest : public DesktopProgram {
protected:
    // The tray's docked icon: the window that carries the program's name and, as its title, the tip.
    static std::string Icon() {
        std::string win = RunTool({"xdotool", "search", "--name", "^Tarvik$"});
        return win.substr(0, win.find('\n'));
    }
    // The program's popup menu on the screen, if one is open.
    static std::string OpenMenu(const Process& p) {
        std::string all = RunTool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(p.Pid())});
        std::istringstream lines(all);
        for (std::string win; std::getline(lines, win);)
            if (RunTool({"xprop", "-id", win, "_NET_WM_WINDOW_TYPE"}).find("POPUP_MENU") != std::string::npos) return win;
        return "";
    }
    std::unique_ptr<Process> StartTray() {
        auto trayer = Helper({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32"});
        EXPECT_TRUE(WaitUntil([] {
            return !RunTool({"xdotool", "search", "--onlyvisible", "--classname", "panel"}).empty();
        })) << "trayer did not start";
        return trayer;
    }
    // The window stands on the root window itself, in no tray.
    static bool OnRoot(const std::string& win) {
        const std::string tree = RunTool({"xwininfo", "-children", "-id", win});
        const auto parent = tree.find("Parent window id:");
        return parent != std::string::npos &&
               tree.substr(parent, tree.find('\n', parent) - parent).find("(the root window)") != std::string::npos;
    }
    static void ClickAt(int x, int y, const char* button) {
        RunTool({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
        RunTool({"xdotool", "click", button});
    }
};

TEST_F(TrayDockTest, TheIconDocksSquareRestoresTheWindowAndItsMenuClosesTheProgramAfterSaving) {
    auto trayer = StartTray();
    auto p = StartProgram();
    const std::string main = MainWindow(*p);
    ASSERT_FALSE(main.empty()) << Stderr();

    // Docked: inside the panel, square, at the size the panel gives, titled with the tip.
    std::string icon;
    ASSERT_TRUE(WaitUntil([&] {
        icon = Icon();
        auto g = icon.empty() ? std::array<int, 4>{} : Geometry(icon);
        return g[2] >= 16 && g[2] == g[3] && g[1] < 32;
    })) << "no docked icon; " << Stderr();
    EXPECT_EQ(RunTool({"xdotool", "getwindowname", icon}), "Click for option's");
    const auto at = Geometry(icon);
    EXPECT_EQ(Stderr().find("no notification area"), std::string::npos) << Stderr();
    // The picture is drawn: the icon is not one flat colour.
    const std::string iconShot = (shots_ / "icon.png").string();
    RunTool({"import", "-window", icon, iconShot});
    EXPECT_NE(RunTool({"convert", iconShot, "-format", "%[fx:standard_deviation>0.05]", "info:"}), "0");
    Shot("docked");

    // The tray ends and another starts: the icon docks there again.
    trayer.reset();
    ASSERT_TRUE(WaitUntil([&] { return OnRoot(icon); }));
    trayer = StartTray();
    EXPECT_TRUE(WaitUntil([&] {
        return !OnRoot(icon) && RunTool({"xwininfo", "-id", icon}).find("IsViewable") != std::string::npos;
    })) << "not docked again";
    EXPECT_EQ(Geometry(icon), at);

    // Minimised, then one click on the icon: the window is back.
    Minimise(main);
    ClickAt(at[0] + at[2] / 2, at[1] + at[3] / 2, "1");
    EXPECT_TRUE(Restored(main)) << State(main);
    Shot("restored");

    // A right click opens the tray menu at the pointer, near the icon.
    const int cx = at[0] + at[2] / 2, cy = at[1] + at[3] / 2;
    ClickAt(cx, cy, "3");
    std::string menu;
    ASSERT_TRUE(WaitUntil([&] { return !(menu = OpenMenu(*p)).empty(); })) << "no tray menu";
    const auto m = Geometry(menu);
    EXPECT_TRUE(m[0] <= cx && cx < m[0] + m[2] && m[1] <= cy && cy <= m[1] + m[3])
        << "menu at " << m[0] << "," << m[1] << " " << m[2] << "x" << m[3] << ", click at " << cx << "," << cy;
    Shot("menu");

    // Its first item, "Close (my Corvex)", ends the program; the catalogue was written back.
    ClickAt(m[0] + 40, m[1] + 14, "1");
    EXPECT_EQ(p->Wait(), 0) << Stderr();
    EXPECT_EQ(ReadFile(box.Catalogue()), kSavedCatalogue);
    EXPECT_EQ(ReadFile(box.Catalogue().string() + ".bak"), kDamagedCatalogue);
}

TEST_F(TrayDockTest, WithoutATrayTheProgramSaysSoAndItsWindowStaysReachable) {
    tarvik::test::PrivateSessionBus bus;  // a session bus with no panel on it
    auto p = StartProgram();
    const std::string main = MainWindow(*p);
    ASSERT_FALSE(main.empty()) << Stderr();
    EXPECT_TRUE(WaitUntil([&] { return Stderr().find("no notification area was found") != std::string::npos; }))
        << Stderr();
    EXPECT_EQ(Icon(), "");
    Minimise(main);
    RunTool({"xdotool", "windowactivate", main});
    EXPECT_TRUE(Restored(main)) << State(main);
}

}  // namespace
