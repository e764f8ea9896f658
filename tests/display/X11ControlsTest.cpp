// Controls on a real X server (its own Xvfb), worked as a person works them through XTest
// (xdotool): typing in two scripts and editing it back, the clipboard between edits and with
// another program (xclip), the tree's popup and drag and drop, the save dialog with its filter
// list, the wheel over a long page, and Tab through every control of the Options dialog.
// Menus, drop-down lists and modal forms run loops of their own that wait for the person; the
// test plays the person's next steps from inside those loops. Screenshots stay in the test
// folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <fstream>
#include <set>

#include "manager/Options.h"
#include "platform/CommonDialogs.h"
#include "platform/FileDialogForm.h"
#include "platform/MenuLoop.h"
#include "platform/TestLoop.h"
#include "platform/WebBrowser.h"
#include "platform/display/Backend.h"
#include "platform/display/Library.h"
#include "platform/display/Render.h"
#include "tests/common/X11Session.h"
#include "tests/display/X11Backend.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;
namespace display = platform::display;

namespace {

const auto* const g_xvfb = tarvik::test::AddX11Backend();
using tarvik::test::RunTool;

// A program started beside the test (a selection owner), stopped by its process id.
class Peer {
public:
    explicit Peer(std::vector<std::string> args) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Peer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Running() {
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = -1;
        return pid_ > 0;
    }

private:
    pid_t pid_ = -1;
};

class X11ControlsTest : public MainFixture {
protected:
    struct Step {
        std::function<bool()> when;
        std::function<void()> act;
    };

    void SetUp() override {
        MainFixture::SetUp();
        platform::SetClock(nullptr);  // the display runs on real time
        shots_ = std::filesystem::path(TARVIK_RENDER_OUTPUT_DIR) / "x11-controls";
        std::filesystem::create_directories(shots_);
    }
    void TearDown() override {
        StopPlaying();
        Application->DestroyComponents();
        MainFixture::TearDown();
    }

    std::string XWindow(HWND hwnd) {
        auto of = display::library::Entry<unsigned long (*)(HWND)>("TarvikX11WindowOf");
        return of && hwnd ? std::to_string(of(hwnd)) : "0";
    }
    bool Shown(HWND hwnd) { return hwnd && IsWindowVisible(hwnd) && XWindow(hwnd) != "0"; }
    bool Pump(const std::function<bool()>& done, int millis = 8000) { return platform::RunLoopFor(done, millis, 10); }
    void Settle() { Pump([] { return false; }, 150); }

    // The person's hands: the pointer over a client point of a control, clicks, keys, text.
    void MoveTo(TWinControl* c, POINT p) { MoveTo(c->Handle(), p); }
    void MoveTo(HWND hwnd, POINT p) {
        HWND top = hwnd;
        // GetParent of a top-level window names its owner.
        while (GetWindowLongA(top, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) top = GetParent(top);
        MapWindowPoints(hwnd, top, &p, 1);
        RunTool({"xdotool", "mousemove", "--window", XWindow(top), std::to_string(p.x), std::to_string(p.y)});
    }
    void ClickAt(HWND hwnd, POINT p, const char* button = "1") {
        MoveTo(hwnd, p);
        RunTool({"xdotool", "click", button});
    }
    // Keys go out one by one while the test keeps handling them, so each is read with the
    // modifiers held at its time. Inside a loop that waits for the person they are only sent:
    // that loop handles them.
    void Keys(std::vector<std::string> keys) {
        if (keys.front() == "type")
            keys.insert(keys.begin() + 1, {"--delay", "40"});
        else
            keys.insert(keys.begin(), {"key", "--delay", "40"});
        keys.insert(keys.begin(), "xdotool");
        auto tool = std::make_shared<Peer>(keys);
        if (insideLoop_) {
            background_.push_back(tool);
            return;
        }
        Pump([&] { return !tool->Running(); }, 20000);
    }
    void TypeText(const std::string& text) { Keys({"type", text}); }
    // A tool that the test must keep answering while it runs: xdotool typing characters the
    // keyboard map lacks (it maps each to a spare key only while typing it), a selection reader.
    std::string RunWhilePumping(std::vector<std::string> args) {
        std::string out;
        std::atomic<bool> done{false};
        std::thread tool([&] {
            out = RunTool(std::move(args));
            done = true;
        });
        Pump([&] { return done.load(); }, 20000);
        tool.join();
        return out;
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    // Plays the steps in order, each once its condition holds, while a loop that waits for the
    // person runs (an open menu or list, a modal form or box): a thread timer, which every such
    // loop dispatches, looks at them. After the deadline the person gives up (menus close, the
    // active form is closed): the test fails, it does not hang.
    void PlayInsideLoops(std::vector<Step> steps, int millis = 20000) {
        steps_ = std::move(steps);
        next_ = 0;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
        t_player = this;
        timer_ = SetTimer(nullptr, 0, 20, &PlayTick);
    }
    static void PlayTick(HWND, UINT, UINT_PTR, DWORD) {
        if (t_player) t_player->Tick();
    }
    void Tick() {
        if (insideLoop_) return;
        if (std::chrono::steady_clock::now() > deadline_) {
            StopPlaying();
            platform::EndMenu();
            if (HWND active = GetActiveWindow()) PostMessageA(active, WM_CLOSE, 0, 0);
            return;
        }
        // One thing at a time: the keys of the step before have all gone out.
        for (auto& tool : background_)
            if (tool->Running()) return;
        if (next_ >= steps_.size() || !steps_[next_].when()) return;
        insideLoop_ = true;
        steps_[next_++].act();
        insideLoop_ = false;
    }
    // A condition that holds once some time passed after the step before it ran: what that
    // step changed has been drawn by then.
    std::function<bool()> Later(int millis) {
        auto since = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
        return [since, millis] {
            if (!*since) *since = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - **since > std::chrono::milliseconds(millis);
        };
    }
    void StopPlaying() {
        if (timer_) KillTimer(nullptr, timer_);
        timer_ = 0;
        t_player = nullptr;
    }

    display::Image Screenshot(HWND hwnd, const std::string& name) {
        std::string path = (shots_ / (name + ".png")).string();
        RunTool({"import", "-window", hwnd ? XWindow(hwnd) : std::string("root"), path});
        display::Image image;
        EXPECT_TRUE(display::ReadPng(path, &image)) << path;
        return image;
    }

    TForm* ShowForm(int width, int height) {
        auto* form = new TForm(Application);
        form->SetBounds(60, 60, width, height);
        return form;
    }
    void Appear(TCustomForm* form) {
        form->Show();
        EXPECT_TRUE(Pump([&] { return Shown(form->Handle()); }));
        Settle();
    }
    // A form of class T on the screen.
    template <class T>
    T* ActiveFormOf() {
        std::vector<HWND> tops;
        EnumWindows(
            [](HWND h, LPARAM list) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
                return TRUE_;
            },
            reinterpret_cast<LPARAM>(&tops));
        for (HWND h : tops)
            if (auto* form = dynamic_cast<T*>(static_cast<TWinControl*>(GetPropA(h, "TarvikControl"))); form && Shown(h))
                return form;
        return nullptr;
    }
    TTreeExNode* Node(TFormMain* f, const char* text) {
        for (Integer i = 0; i < f->TreeEx->Items()->Count(); ++i)
            if (f->TreeEx->Items()->Item(i)->Text() == text) return f->TreeEx->Items()->Item(i);
        return nullptr;
    }
    POINT NodePoint(TTreeExNode* node) {
        RECT r = node->ItemRect(true);
        return POINT{r.left + 6, (r.top + r.bottom) / 2};
    }

    std::filesystem::path shots_;
    static inline X11ControlsTest* t_player = nullptr;  // whose steps the timer plays
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    UINT_PTR timer_ = 0;
    bool insideLoop_ = false;
    std::vector<std::shared_ptr<Peer>> background_;
};

TEST_F(X11ControlsTest, TheSaveDialogTakesAFilterFromItsListAndATypedName) {
    const String folder = env.Win("saves");
    std::filesystem::create_directories(env.Scratch("saves"));
    TSaveDialog dialog(nullptr);
    dialog.SetInitialDir(folder);
    dialog.SetFilter("Text files (*.txt)|*.txt|All files (*.*)|*.*");
    platform::TFileDialogForm* form = nullptr;
    std::string typed;
    auto find = [&] { return (form = ActiveFormOf<platform::TFileDialogForm>()) != nullptr; };
    PlayInsideLoops({
        // A click drops the filter combo's list down as a popup of its own; Down and Return
        // pick "All files".
        {find, [] {}},
        {Later(300), [&] { ClickAt(form->cbFilter->Handle(), POINT{form->cbFilter->Width() - 6, 8}); }},
        {[&] { return Shown(form->cbFilter->DropDownHandle()); }, [] {}},
        {Later(300),
         [&] {
             Screenshot(nullptr, "save-filter-list");
             Keys({"Down", "Return"});
         }},
        {[&] { return !form->cbFilter->DroppedDown() && form->cbFilter->ItemIndex() == 1; },
         [&] {
             ClickAt(form->eName->Handle(), POINT{5, 8});
             Keys({"ctrl+a", "BackSpace"});
         }},
        {[&] { return form->eName->Text().empty(); }, [&] { TypeText("report.log"); }},
        {[&] { return (typed = form->eName->Text()) == "report.log"; },
         [&] {
             Screenshot(form->Handle(), "save-dialog");
             Keys({"Return"});
         }},
    });
    ASSERT_TRUE(dialog.Execute()) << "stopped before step " << next_ << ", the name box holding " << typed;
    EXPECT_EQ(dialog.FileName(), folder + "\\report.log");
    EXPECT_EQ(dialog.FilterIndex(), 2);
}

TEST_F(X11ControlsTest, TypingInTwoScriptsAndEditingItBackByCharacters) {
    TForm* form = ShowForm(360, 120);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 300, 24);
    Appear(form);
    ClickAt(edit->Handle(), POINT{5, 10});
    ASSERT_TRUE(Pump([&] { return edit->Focused(); }));

    RunWhilePumping({"xdotool", "type", "--delay", "60", "Grüße Мир"});
    ASSERT_TRUE(Pump([&] { return edit->Text() == "Grüße Мир"; })) << edit->Text();
    // Backspace takes the last character (two bytes), Home and Right step over characters,
    // Shift+Right selects them, typing replaces the selection.
    Keys({"BackSpace", "Home", "Right", "Right", "shift+Right", "shift+Right"});
    ASSERT_TRUE(Pump([&] { return edit->SelText() == "üß"; })) << edit->Text() << " / " << edit->SelText();
    EXPECT_EQ(edit->Text(), "Grüße Ми");
    TypeText("uess");
    Keys({"End", "BackSpace", "BackSpace"});
    TypeText("Welt");
    ASSERT_TRUE(Pump([&] { return edit->Text() == "Gruesse Welt"; })) << edit->Text();
    Keys({"ctrl+Left", "shift+End"});
    ASSERT_TRUE(Pump([&] { return edit->SelText() == "Welt"; })) << edit->SelText();
    Settle();
    Screenshot(form->Handle(), "edit-two-scripts");
}

TEST_F(X11ControlsTest, CopyAndPasteBetweenEditsAndWithAnotherProgram) {
    TForm* form = ShowForm(360, 120);
    auto* from = new TEdit(form);
    auto* to = new TEdit(form);
    for (auto* e : {from, to}) e->SetParent(form);
    from->SetBounds(10, 10, 300, 24);
    to->SetBounds(10, 50, 300, 24);
    from->SetText("Ελληνικά and more");
    Appear(form);

    ClickAt(from->Handle(), POINT{5, 10});
    Keys({"ctrl+a", "ctrl+c"});
    ClickAt(to->Handle(), POINT{5, 10});
    ASSERT_TRUE(Pump([&] { return to->Focused(); }));
    Keys({"ctrl+v"});
    ASSERT_TRUE(Pump([&] { return to->Text() == from->Text(); })) << to->Text();

    // Another program reads what was copied (the test keeps serving the selection meanwhile) ...
    EXPECT_EQ(RunWhilePumping({"timeout", "5", "xclip", "-o", "-selection", "clipboard"}), "Ελληνικά and more");

    // ... and offers text of its own, which a paste takes.
    std::ofstream(shots_ / "peer.txt") << "from the peer ✓";
    Peer peer({"xclip", "-quiet", "-selection", "clipboard", "-i", (shots_ / "peer.txt").string()});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (RunWhilePumping({"timeout", "5", "xclip", "-o", "-selection", "clipboard"}) != "from the peer ✓" &&
           std::chrono::steady_clock::now() < until)
        Pump([] { return false; }, 50);
    Keys({"ctrl+a", "ctrl+v"});
    ASSERT_TRUE(Pump([&] { return to->Text() == "from the peer ✓"; })) << to->Text();
}

TEST_F(X11ControlsTest, TheTreesPopupOpensByRightClickAndItsItemIsPicked) {
    TFormMain* f = Create();
    f->SetBounds(40, 40, 640, 480);
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->BackupRoot->SetExpanded(true);
    Appear(f);

    // The right click opens the popup (its loop runs until the person picks); the person picks
    // "Delete" and answers the question with Return.
    HWND menu = nullptr;
    PlayInsideLoops({
        {[&] { return !platform::OpenMenuWindows().empty() && Shown(platform::OpenMenuWindows().front()); },
         [&] {
             menu = platform::OpenMenuWindows().front();
             Screenshot(nullptr, "tree-popup");
             auto items = platform::MenuWindowItems(menu);
             for (std::size_t i = 0; i < items.size(); ++i)
                 if (items[i]->Caption() == "Delete") ClickAt(menu, Centre(platform::MenuItemRect(menu, static_cast<int>(i))));
         }},
        {[&] { return GetActiveWindow() && GetActiveWindow() != f->Handle() && Shown(GetActiveWindow()); },
         [&] {
             Screenshot(GetActiveWindow(), "tree-popup-question");
             MoveTo(GetActiveWindow(), POINT{10, 10});
             Keys({"Return"});
         }},
    });
    ClickAt(f->TreeEx->Handle(), NodePoint(docs), "3");
    ASSERT_TRUE(Pump([&] { return Node(f, "Docs") == nullptr; }, 20000));
    EXPECT_NE(menu, nullptr);
    EXPECT_FALSE(IsWindow(menu));
}

TEST_F(X11ControlsTest, AFolderNodeDraggedOntoAnotherMovesUnderIt) {
    TFormMain* f = Create();
    f->SetBounds(40, 40, 640, 480);
    TTreeExNode* a = Add(f->BackupRoot, "Alpha", nkFolder);
    TTreeExNode* b = Add(f->BackupRoot, "Beta", nkFolder);
    f->BackupRoot->SetExpanded(true);
    // The window itself moves nothing; the drop here does, as a form that allows it would.
    f->TreeEx->SetDragMode(dmAutomatic);
    f->TreeEx->OnDragOver = [&](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; };
    f->TreeEx->OnDragDrop = [&](TObject*, TObject*, int x, int y) {
        TTreeExNode* target = f->TreeEx->NodeAtPoint(x, y);
        TTreeExNode* dragged = f->TreeEx->Selected();  // a drag selects the node it takes
        if (!target || !dragged || target == dragged) return;
        Add(target, dragged->Text().c_str(), dragged->NodeKind());
        dragged->Delete();
    };
    Appear(f);

    const POINT from = NodePoint(a), to = NodePoint(b);
    MoveTo(f->TreeEx, from);
    RunTool({"xdotool", "mousedown", "1"});
    for (int i = 1; i <= 6; ++i) {
        MoveTo(f->TreeEx, POINT{from.x + (to.x - from.x) * i / 6 + 2, from.y + (to.y - from.y) * i / 6});
        Settle();
    }
    Screenshot(f->Handle(), "tree-dragging");
    RunTool({"xdotool", "mouseup", "1"});
    ASSERT_TRUE(Pump([&] { return Node(f, "Alpha") && Node(f, "Alpha")->Parent() == b; })) << "dropped onto Beta";
    Settle();
    EXPECT_FALSE(b->DropTarget()) << "no drop highlight stays";
    Screenshot(f->Handle(), "tree-dropped");
}

TEST_F(X11ControlsTest, TheWheelScrollsALongPage) {
    String html = "<h1>Long page</h1>";
    for (int i = 0; i < 80; ++i) html += "<p>paragraph " + std::to_string(i) + "</p>";
    std::ofstream(env.Scratch("long.htm")) << html;
    TForm* form = ShowForm(420, 300);
    auto* browser = new TWebBrowser(form);
    browser->SetParent(form);
    browser->SetAlign(alClient);
    browser->Navigate(env.Win("long.htm"));
    Appear(form);
    // Over the page and focused, so the wheel reaches it whichever window the display gives it to.
    ClickAt(browser->Handle(), POINT{200, 150});
    ASSERT_TRUE(Pump([&] { return browser->Focused(); }));
    RunWhilePumping({"xdotool", "click", "--repeat", "3", "--delay", "60", "5"});
    ASSERT_TRUE(Pump([&] { return browser->ScrollTop() > 0; }));
    Settle();
    const Integer down = browser->ScrollTop();
    RunWhilePumping({"xdotool", "click", "4"});
    ASSERT_TRUE(Pump([&] { return browser->ScrollTop() < down; }));
    Settle();
    Screenshot(form->Handle(), "page-scrolled");
}

TEST_F(X11ControlsTest, TabReachesEveryControlOfTheOptionsDialog) {
    TFormMain* f = Create();
    f->SetBounds(40, 40, 640, 480);
    Appear(f);
    TFormOptions* options = nullptr;
    std::vector<HWND> visited;
    std::set<HWND> stops;
    auto find = [&] { return (options = ActiveFormOf<TFormOptions>()) != nullptr; };
    // Every visible, enabled tab stop of the dialog, read through the layer.
    std::function<void(HWND)> collect = [&](HWND parent) {
        for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
            if (!IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
            if (GetWindowLongA(h, GWL_STYLE) & static_cast<LONG>(WS_TABSTOP)) stops.insert(h);
            collect(h);
        }
    };
    int presses = 0;
    std::function<void()> tab = [&] {
        visited.push_back(GetFocus());
        ++presses;
        Keys({"Tab"});
    };
    std::vector<Step> steps{{find, [&] {
                                 collect(options->Handle());
                                 MoveTo(options->Handle(), POINT{5, 5});
                                 Screenshot(options->Handle(), "options");
                             }}};
    for (int i = 0; i < 40; ++i) {
        steps.push_back({[&, i] { return presses == i && (i == 0 || GetFocus() != visited.back()); }, tab});
    }
    steps.push_back({[&] { return presses == 40; }, [&] { ClickAt(options->cmdCancel->Handle(), POINT{10, 8}); }});
    PlayInsideLoops(std::move(steps), 40000);
    f->ShowOptions();
    ASSERT_NE(options, nullptr);
    std::set<HWND> reached(visited.begin(), visited.end());
    for (HWND h : stops) {
        auto* c = static_cast<TWinControl*>(GetPropA(h, "TarvikControl"));
        EXPECT_TRUE(reached.count(h)) << (c ? c->Name() : String("?")) << " is never reached by Tab";
    }
    EXPECT_GE(stops.size(), 5u);
}

}  // namespace
