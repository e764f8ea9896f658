// How fast the main window reaches the screen: composing it at its default size, and the time
// from a click on a tree node to the node's page drawn. Goal: under 16 ms each (one frame).
// Runs headless with the X11 backend's renderer (no X server needed); prints the median and
// the worst of each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "manager/MainWindow.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/display/Backend.h"
#include "platform/display/Input.h"
#include "platform/display/Render.h"
#include "platform/display/Scene.h"

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2], worst = times.back();
    std::printf("%-44s median %7.2f ms  worst %7.2f ms  %s\n", what, median, worst, median < 16.0 ? "ok" : "OVER 16 ms");
}

POINT Middle(manager::TFormMain* f, TTreeExNode* node) {
    RECT r = node->ItemRect(true);
    MapWindowPoints(f->TreeEx->Handle(), f->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return POINT{r.left + 3, (r.top + r.bottom) / 2};
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    ::setenv("TARVIK_DISPLAY", "headless", 1);
    fs::path dir = fs::temp_directory_path() / ("tarvik-display-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("TARVIK_PROFILE", (dir / "profile").c_str(), 1);
    platform::ResetProfileForTests();
    platform::SetDialogHook([](platform::DialogRequest&) { return 0; });
    manager::SetProgramFilesFolder(platform::FromPosixPath(TARVIK_BIN_DIR));

    auto* f = new manager::TFormMain(Application);
    f->Show();
    Application->ProcessMessages();
    std::vector<TTreeExNode*> folders;
    for (int i = 0; i < 20; ++i) {
        TTreeExNode* n = f->TreeEx->Items()->AddChild(f->BackupRoot, "Folder " + std::to_string(i));
        n->SetNodeKind(nkFolder);
        folders.push_back(n);
    }
    f->BackupRoot->SetExpanded(true);
    Application->ProcessMessages();
    std::printf("main window client %dx%d, %zu layers\n", f->ClientWidth(), f->ClientHeight(),
                platform::display::BuildScene(f->Handle()).layers.size());

    platform::display::Image image;
    if (!platform::display::RenderToImage(f->Handle(), &image)) {
        std::fprintf(stderr, "the renderer library cannot be loaded\n");
        return 1;
    }
    const int rounds = 60;
    std::vector<double> compose, repaint, click, clickDraw;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        platform::display::RenderToImage(f->Handle(), &image);
        compose.push_back(Millis(Clock::now() - t0));
    }
    for (int i = 0; i < rounds; ++i) {
        RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        auto t0 = Clock::now();
        platform::display::RenderToImage(f->Handle(), &image);
        repaint.push_back(Millis(Clock::now() - t0));
    }
    for (int i = 0; i < rounds; ++i) {
        TTreeExNode* target = folders[static_cast<std::size_t>(i) % folders.size()];
        POINT p = Middle(f, target);
        auto t0 = Clock::now();
        platform::display::InputMouseButton(f->Handle(), p, platform::display::MouseButton::Left, true, 1000u * i);
        platform::display::InputMouseButton(f->Handle(), p, platform::display::MouseButton::Left, false, 1000u * i + 1);
        Application->ProcessMessages();
        auto t1 = Clock::now();
        platform::display::RenderToImage(f->Handle(), &image);
        click.push_back(Millis(Clock::now() - t0));
        clickDraw.push_back(Millis(Clock::now() - t1));
        if (f->CurrentNode != target) {
            std::fprintf(stderr, "the click did not select %s\n", target->Text().c_str());
            return 1;
        }
    }
    Report("compose the main window", compose);
    Report("repaint every window and compose", repaint);
    Report("click a tree node to its page drawn", click);
    Report("  of which painting and composing", clickDraw);
    f->Free();
    Application->ProcessMessages();
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
