// The real Tarvik on a desktop of the test's own: its Xvfb (one per case), a window manager
// (openbox, so that windows can be minimised and restored), and whatever panel the case starts.
// Everything is read back through the desktop's own tools (xdotool, xprop, import), as a
// person's desktop would see it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/common/X11Session.h"
#include "tests/manager_main/ProgramProcess.h"

namespace desktoptest {

using tarvik::test::RunTool;
using namespace e2e;

// A catalogue with a line the program drops: the file it writes back shows that it saved.
inline const std::string kDamagedCatalogue =
    "1|Good|1|||d|01/03/2024|6|7|-\r\nnot a catalogue line\r\n1|Also good|1|||d|01/03/2024|6|7|-\r\n";
inline const std::string kSavedCatalogue = "1|Good|1|||d|01/03/2024|6|7|-\r\n1|Also good|1|||d|01/03/2024|6|7|-\r\n";

// One Xvfb for the test program (ctest runs each case as a program of its own).
inline const auto* const g_xvfb = ::testing::AddGlobalTestEnvironment(new tarvik::test::XvfbEnvironment);

class DesktopProgram : public ::testing::Test {
protected:
    void SetUp() override {
        shots_ = std::filesystem::path(TARVIK_DESKTOP_OUTPUT_DIR) /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(shots_);
        // The desktop's own programs keep their settings in the sandbox, not in the person's home.
        openbox_ = Helper({"openbox", "--sm-disable"});
        ASSERT_TRUE(WaitUntil([] { return RunTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                                          std::string::npos; }))
            << "openbox did not start";
    }

    // A desktop program of the sandbox, its output in a file of its own.
    std::unique_ptr<Process> Helper(const std::vector<std::string>& args) {
        const std::string path = RunTool({"sh", "-c", "command -v \"$0\"", args[0]});
        std::vector<std::string> rest(args.begin() + 1, args.end());
        return std::make_unique<Process>(path, rest, box.Environment({"HOME=" + box.root.string()}),
                                         box.root / (args[0] + ".log"));
    }

    std::unique_ptr<Process> StartProgram() {
        WriteFile(box.Catalogue(), kDamagedCatalogue);
        auto p = std::make_unique<Process>((box.program / "Tarvik").string(), std::vector<std::string>{},
                                           box.Environment(), box.root / "stderr.txt");
        EXPECT_TRUE(p->WaitFor("Tarvik is running")) << Stderr();
        return p;
    }

    static bool WaitUntil(const std::function<bool()>& done, int millis = 20000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    std::string Stderr() const { return ReadFile(box.root / "stderr.txt"); }

    // The program's main window, once it is on the screen.
    std::string MainWindow(const Process& p) {
        std::string win;
        WaitUntil([&] {
            win = RunTool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(p.Pid()), "--name", "Corvex"});
            return !win.empty();
        });
        return win.substr(0, win.find('\n'));
    }
    // "Normal", "Iconic" or "Withdrawn", as the window manager keeps it.
    static std::string State(const std::string& win) {
        const std::string s = RunTool({"xprop", "-id", win, "WM_STATE"});
        for (const char* state : {"Normal", "Iconic", "Withdrawn"})
            if (s.find(std::string("window state: ") + state) != std::string::npos) return state;
        return "none";
    }
    void Minimise(const std::string& win) {
        RunTool({"xdotool", "windowminimize", win});
        ASSERT_TRUE(WaitUntil([&] { return State(win) == "Iconic"; })) << State(win);
    }
    // The main window the person gets back: shown, not minimised, drawn.
    bool Restored(const std::string& win) {
        return WaitUntil([&] {
            return State(win) == "Normal" &&
                   RunTool({"xwininfo", "-id", win}).find("Map State: IsViewable") != std::string::npos;
        });
    }
    // A window's place on the screen: x, y, width, height.
    static std::array<int, 4> Geometry(const std::string& win) {
        std::array<int, 4> g{};
        const std::string shell = RunTool({"xdotool", "getwindowgeometry", "--shell", win});
        const char* keys[] = {"X=", "Y=", "WIDTH=", "HEIGHT="};
        for (int i = 0; i < 4; ++i)
            if (auto at = shell.find(keys[i]); at != std::string::npos) g[i] = std::atoi(shell.c_str() + at + std::strlen(keys[i]));
        return g;
    }
    void Shot(const std::string& name) { RunTool({"import", "-window", "root", (shots_ / (name + ".png")).string()}); }

    Sandbox box;
    std::filesystem::path shots_;
    std::unique_ptr<Process> openbox_;
};

}  // namespace desktoptest
