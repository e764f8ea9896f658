// The main window on a real X server (its own Xvfb), driven as a person would through XTest
// (xdotool): it appears with its title, follows a resize, answers a click on the tree, closes
// through the window manager's message, and shows exactly what the offscreen renderer makes.
// Screenshots of what the test saw stay in the test folder.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/TestLoop.h"
#include "platform/display/Backend.h"
#include "platform/display/Library.h"
#include "platform/display/Render.h"
#include "tests/manager_main/MainTestFixture.h"

extern char** environ;

using namespace maintest;
namespace display = platform::display;

namespace {

// An Xvfb of the test's own, on the display number it picks itself.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char buf[32] = {};
        ssize_t n = 0, got = 0;
        while (got < static_cast<ssize_t>(sizeof buf) - 1 && (n = ::read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) {
            got += n;
            if (std::memchr(buf, '\n', static_cast<std::size_t>(got))) break;
        }
        ::close(fds[0]);
        ASSERT_GT(got, 0) << "Xvfb did not start";
        std::string display = ":" + std::string(buf, std::strcspn(buf, "\n"));
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("TARVIK_DISPLAY", "x11", 1);
        ASSERT_TRUE(display::Choose("x11")) << "the X11 backend did not start on " << display;
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

const auto* const g_xvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// Runs a command to its end; returns its output.
std::string RunTool(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while (rc == 0 && (n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (rc == 0) ::waitpid(pid, nullptr, 0);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

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
